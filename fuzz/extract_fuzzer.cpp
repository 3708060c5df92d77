// libFuzzer target: ExtractFile on arbitrary archive images.
//
// The input is the image. The fuzzer walks its blocks the way the reader does
// to find file names, then extracts each of the first few by name (in a solid
// archive every file before it is decoded too) and a name that is absent.
// Anything may fail; nothing may crash, hang, leak or hand back a file whose
// size or CRC-32 differs from its header's.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "archive/archive_format.h"
#include "archive/crc32.h"
#include "archive/extract.h"

namespace {

struct WalkedFile {
  std::string name;
  rar::FileHeader header;
};

// The file blocks, found by the reader's walk.
std::vector<WalkedFile> FileBlocks(const uint8_t* data, size_t size) {
  std::vector<WalkedFile> files;
  if (size < rar::kSignatureSize + rar::kMainHeaderSize) return files;
  uint64_t pos = rar::kSignatureSize + uint64_t{rar::ParseMainHeader(data + rar::kSignatureSize).header_size};
  while (pos + rar::kFileHeaderSize <= size) {
    const uint8_t* b = data + pos;
    const rar::FileHeader h = rar::ParseFileHeader(b);
    if (h.header_size < rar::kBlockHeaderSize) break;
    uint64_t next = pos + h.header_size + ((h.flags & rar::kLongBlock) ? h.packed_size : 0);
    if (h.block_type == rar::kFileBlock) {
      size_t length = std::min<size_t>(h.name_size, rar::kMaxNameLength);
      length = std::min<size_t>(length, size - pos - rar::kFileHeaderSize);
      std::string name(reinterpret_cast<const char*>(b + rar::kFileHeaderSize), length);
      files.push_back({name.substr(0, name.find('\0')), h});
    }
    if (h.block_type == rar::kOldSubBlock || next <= pos) break;
    pos = next;
  }
  return files;
}

// Extracts `name`; a file handed back must have the size and CRC-32 of the
// first block of that name in `files` (the reader's walk finds it first).
void ExtractAndCheck(std::vector<uint8_t>& image, const std::string& name,
                     const std::vector<WalkedFile>& files) {
  MemoryArchive archive{image.data(), static_cast<uint32_t>(image.size()), 0};
  uint8_t* buffer = nullptr;
  uint32_t size = 0;
  if (!ExtractFile(&buffer, &size, name.c_str(), &archive, nullptr)) {
    if (buffer != nullptr || size != 0) std::abort();
    return;
  }
  if (buffer == nullptr) std::abort();
  auto found = std::find_if(files.begin(), files.end(),
                            [&](const WalkedFile& f) { return NamesMatch(f.name.c_str(), name.c_str()); });
  if (found == files.end()) std::abort();
  const rar::FileHeader& h = found->header;
  if (size != h.unpacked_size || Crc32Of(buffer, size) != h.file_crc) std::abort();
  std::free(buffer);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 24)) return 0;
  std::vector<uint8_t> image(data, data + size);
  const std::vector<WalkedFile> files = FileBlocks(data, size);
  for (size_t i = 0; i < files.size() && i < 4; ++i) ExtractAndCheck(image, files[i].name, files);
  ExtractAndCheck(image, "no such file", files);
  return 0;
}
