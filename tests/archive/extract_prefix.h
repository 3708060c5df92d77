// ExtractFile over the first bytes of an image, as a truncated image would be
// read: shared by the sweeps over damaged archives.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

// The poisoning macros do nothing without AddressSanitizer; compilers without
// its header (a Windows cross-build) get the same no-ops here.
#if __has_include(<sanitizer/asan_interface.h>)
#include <sanitizer/asan_interface.h>
#else
#define ASAN_POISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#define ASAN_UNPOISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#endif

#include "archive/extract.h"
#include "data/memory_archive.h"

namespace testing_helpers {

// ExtractFile over the first `size` bytes of `image`, read in place; nullopt
// when it fails, which must leave a null buffer and size 0. Under
// AddressSanitizer the bytes after the cut are unaddressable meanwhile, so a
// read past the end of the image is reported rather than served from bytes a
// truly truncated image would not have.
inline std::optional<std::vector<uint8_t>> ExtractPrefix(const std::vector<uint8_t>& image, uint32_t size,
                                                         const std::string& name) {
  uint8_t* data = const_cast<uint8_t*>(image.data());
  ASAN_POISON_MEMORY_REGION(data + size, image.size() - size);
  MemoryArchive archive{data, size, 0};
  uint8_t* buffer = reinterpret_cast<uint8_t*>(1);
  uint32_t length = 12345;
  int ok = ExtractFile(&buffer, &length, name.c_str(), &archive, nullptr);
  ASAN_UNPOISON_MEMORY_REGION(data + size, image.size() - size);
  if (!ok) {
    EXPECT_EQ(buffer, nullptr) << name << " failed at " << size << " with a buffer";
    EXPECT_EQ(length, 0u) << name << " failed at " << size << " with a size";
    return std::nullopt;
  }
  std::vector<uint8_t> out(buffer, buffer + length);
  std::free(buffer);
  return out;
}

}  // namespace testing_helpers
