// The CRC-32 on every path (block folding, wide or not, where the processor
// has it; eight bytes at a time; byte by byte) against the bit-at-a-time
// definition.
#include <gtest/gtest.h>

#include <initializer_list>
#include <random>
#include <vector>

#include "archive/crc32.h"

namespace {

uint32_t BitwiseCrc(uint32_t crc, const uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    crc ^= p[i];
    for (int k = 0; k < 8; ++k) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
  }
  return crc;
}

std::vector<CrcPath> AvailablePaths() {
  std::vector<CrcPath> paths;
  for (CrcPath path : {CrcPath::kTables, CrcPath::kFolding, CrcPath::kWideFolding}) {
    if (CrcPathAvailable(path)) paths.push_back(path);
  }
  return paths;
}

// Lengths past 256 take the wide fold's 128-byte loop, its 32-byte one and
// the 16-byte blocks and bytes after it.
TEST(Crc32, EveryLengthAndAlignmentMatchesTheDefinitionOnEachPath) {
  BuildCrcTable();
  std::mt19937 rng(99);
  std::vector<uint8_t> data(1200);
  for (uint8_t& b : data) b = static_cast<uint8_t>(rng());
  for (CrcPath path : AvailablePaths()) {
    for (size_t offset = 0; offset < 16; ++offset) {
      for (size_t length = 0; length + offset <= data.size(); length += (length < 600 ? 1 : 37)) {
        uint32_t start = static_cast<uint32_t>(rng());
        ASSERT_EQ(Crc32By(path, start, data.data() + offset, length),
                  BitwiseCrc(start, data.data() + offset, length))
            << "path " << static_cast<int>(path) << " offset " << offset << " length " << length;
      }
    }
  }
}

TEST(Crc32, LargeBuffersInPiecesOrWhole) {
  std::mt19937 rng(7);
  std::vector<uint8_t> data((1 << 20) + 77);
  for (uint8_t& b : data) b = static_cast<uint8_t>(rng());
  uint32_t expected = ~BitwiseCrc(0xFFFFFFFFu, data.data(), data.size());
  EXPECT_EQ(Crc32Of(data.data(), data.size()), expected);
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t at = 0; at < data.size();) {
    size_t n = std::min<size_t>(data.size() - at, 1 + rng() % 5000);
    crc = Crc32(crc, data.data() + at, n);
    at += n;
  }
  EXPECT_EQ(~crc, expected);
  for (CrcPath path : AvailablePaths()) {
    EXPECT_EQ(~Crc32By(path, 0xFFFFFFFFu, data.data(), data.size()), expected) << static_cast<int>(path);
  }
}

}  // namespace
