#include "data/archive_image.h"

#include "platform/win32.h"

uint8_t* LoadBinaryResource(int id) {
  HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(id), "BINARY");
  HGLOBAL loaded = LoadResource(nullptr, resource);
  return static_cast<uint8_t*>(LockResource(loaded));
}

uint32_t BinaryResourceSize(int id) {
  HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(id), "BINARY");
  LoadResource(nullptr, resource);
  return SizeofResource(nullptr, resource);
}

MemoryArchive* OpenArchiveImage() {
  MemoryArchive* archive = new MemoryArchive;
  archive->offset = 0;
  archive->data = LoadBinaryResource(kArchiveResourceId);
  archive->size = BinaryResourceSize(kArchiveResourceId);
  UnscrambleArchiveImage(*archive);
  return archive;
}
