#include "data/memory_archive.h"

#include <cstring>

uint32_t ReadArchiveBytes(MemoryArchive* archive, void* dest, uint32_t length) {
  // Compare in 64 bits so that offset + length cannot wrap around.
  if (static_cast<uint64_t>(archive->offset) + length > archive->size) return 0;
  if (length == 0) return 0;
  std::memcpy(dest, archive->data + archive->offset, length);
  archive->offset += length;
  return length;
}

void UnscrambleArchiveImage(MemoryArchive& archive) {
  uint8_t* p = archive.data;
  if (p == nullptr) return;
  for (uint32_t i = 0; i < archive.size; ++i) p[i] ^= kArchiveKey;
}
