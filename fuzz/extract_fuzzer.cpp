// libFuzzer target: ExtractFile on arbitrary archive images.
//
// The input is the image. The fuzzer walks its blocks the way the reader does
// to find file names, then extracts each of the first few by name (in a solid
// archive every file before it is decoded too) and a name that is absent.
// Anything may fail; nothing may crash, hang, leak or hand back a file whose
// size or CRC-32 differs from its header's.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "archive/crc32.h"
#include "archive/extract.h"

namespace {

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Names of the first file blocks, found by the reader's walk.
std::vector<std::string> FileNames(const uint8_t* data, size_t size, size_t most) {
  std::vector<std::string> names;
  if (size < 20) return names;
  uint64_t pos = 7 + static_cast<uint64_t>(Le16(data + 7 + 5));
  while (names.size() < most && pos + 32 <= size) {
    const uint8_t* b = data + pos;
    uint16_t flags = Le16(b + 3);
    uint16_t header_size = Le16(b + 5);
    if (header_size < 7) break;
    uint64_t next = pos + header_size + ((flags & 0x8000) ? Le32(b + 7) : 0);
    if (b[2] == 0x74) {
      size_t length = std::min<size_t>(Le16(b + 26), 259);
      length = std::min<size_t>(length, size - pos - 32);
      std::string name(reinterpret_cast<const char*>(b + 32), length);
      names.push_back(name.substr(0, name.find('\0')));
    }
    if (b[2] == 0x77 || next <= pos) break;
    pos = next;
  }
  return names;
}

void ExtractAndCheck(std::vector<uint8_t>& image, const std::string& name) {
  MemoryArchive archive{image.data(), static_cast<uint32_t>(image.size()), 0};
  uint8_t* buffer = nullptr;
  uint32_t size = 0;
  if (!ExtractFile(&buffer, &size, name.c_str(), &archive, nullptr)) {
    if (buffer != nullptr || size != 0) std::abort();
    return;
  }
  if (buffer == nullptr) std::abort();
  const FileHeader& h = extract_state.file_header;
  if (size != h.unpacked_size || Crc32Of(buffer, size) != h.file_crc) std::abort();
  std::free(buffer);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 24)) return 0;
  std::vector<uint8_t> image(data, data + size);
  for (const std::string& name : FileNames(data, size, 4)) ExtractAndCheck(image, name);
  ExtractAndCheck(image, "no such file");
  return 0;
}
