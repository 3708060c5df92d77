#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_internal.h"
#include "platform/resources.h"

namespace {

// What a test DIB is made of. Pixels are given top-down: colour-table indices
// for up to 8 bits, raw stored values for 16 and 32 bits, XRGB for 24 bits.
struct Dib {
  uint32_t header_size = 40;
  int width = 0;
  int height = 0;  // as stored: negative for top-down
  int bits = 8;
  uint32_t compression = BI_RGB;
  uint32_t colours_used = 0;
  std::vector<uint32_t> table;  // XRGB colour-table entries
  std::vector<uint32_t> masks;  // written after a 40-byte header, else inside it
  std::vector<uint32_t> pixels;
};

void Put16(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  out[at] = v & 0xFF;
  out[at + 1] = (v >> 8) & 0xFF;
}
void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = (v >> (8 * i)) & 0xFF;
}

std::vector<uint8_t> Build(const Dib& dib) {
  std::vector<uint8_t> out(dib.header_size, 0);
  Put32(out, 0, dib.header_size);
  if (dib.header_size == 12) {
    Put16(out, 4, dib.width);
    Put16(out, 6, dib.height);
    Put16(out, 8, 1);
    Put16(out, 10, dib.bits);
  } else {
    Put32(out, 4, dib.width);
    Put32(out, 8, static_cast<uint32_t>(dib.height));
    Put16(out, 12, 1);
    Put16(out, 14, dib.bits);
    Put32(out, 16, dib.compression);
    Put32(out, 32, dib.colours_used);
  }
  if (dib.header_size == 40) out.resize(40 + 4 * dib.masks.size());
  for (size_t i = 0; i < dib.masks.size(); ++i) Put32(out, 40 + 4 * i, dib.masks[i]);
  for (uint32_t c : dib.table) {
    out.push_back(c & 0xFF);
    out.push_back((c >> 8) & 0xFF);
    out.push_back((c >> 16) & 0xFF);
    if (dib.header_size != 12) out.push_back(0);
  }
  const int64_t rows = dib.height < 0 ? -int64_t{dib.height} : dib.height;
  // Headers that promise more pixels than given get no rows at all.
  if (dib.width <= 0 || static_cast<int64_t>(dib.pixels.size()) < dib.width * rows) return out;
  const size_t stride = ((static_cast<size_t>(dib.width) * dib.bits + 31) / 32) * 4;
  for (int64_t r = 0; r < rows; ++r) {
    // Stored rows run bottom-up unless the height is negative.
    const int64_t y = dib.height < 0 ? r : rows - 1 - r;
    std::vector<uint8_t> row(stride, 0);
    for (int x = 0; x < dib.width; ++x) {
      uint32_t v = dib.pixels[static_cast<size_t>(y) * dib.width + x];
      switch (dib.bits) {
        case 1:
        case 4:
        case 8: {
          int per_byte = 8 / dib.bits;
          row[x / per_byte] |= v << (8 - dib.bits * (x % per_byte + 1));
          break;
        }
        case 16: Put16(row, 2 * x, v); break;
        case 24:
          row[3 * x] = v & 0xFF, row[3 * x + 1] = (v >> 8) & 0xFF, row[3 * x + 2] = (v >> 16) & 0xFF;
          break;
        case 32: Put32(row, 4 * x, v); break;
      }
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

std::vector<uint32_t> GreyTable() {
  std::vector<uint32_t> table;
  for (uint32_t i = 0; i < 256; ++i) table.push_back(i * 0x010101);
  return table;
}

class LoadBitmapTest : public ::testing::Test {
 protected:
  void TearDown() override { InstallResourceTable(nullptr, 0); }

  // Installs the bytes as bitmap resource 5 and loads it.
  HBITMAP Load(std::vector<uint8_t> bytes) {
    bytes_ = std::move(bytes);
    entry_ = ResourceEntry{nullptr, 2, 5, bytes_.data(), static_cast<DWORD>(bytes_.size())};
    InstallResourceTable(&entry_, 1);
    return LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(5));
  }

  // Loads the DIB and expects the given size and top-down XRGB pixels.
  void ExpectLoads(const Dib& dib, int width, int height, const std::vector<uint32_t>& xrgb) {
    HBITMAP bitmap = Load(Build(dib));
    ASSERT_NE(bitmap, nullptr);
    BITMAP info{};
    ASSERT_EQ(GetObjectA(bitmap, sizeof info, &info), static_cast<int>(sizeof info));
    EXPECT_EQ(info.bmWidth, width);
    EXPECT_EQ(info.bmHeight, height);
    EXPECT_EQ(info.bmWidthBytes, 4 * width);
    EXPECT_EQ(info.bmBitsPixel, 32);
    const uint32_t* pixels = gdi_internal::BitmapPixels(bitmap, nullptr, nullptr);
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(std::vector<uint32_t>(pixels, pixels + width * height), xrgb);
    EXPECT_TRUE(DeleteObject(bitmap));
  }

  std::vector<uint8_t> bytes_;
  ResourceEntry entry_{};
};

TEST_F(LoadBitmapTest, EightBitGreyBottomUpAndTopDown) {
  Dib dib;
  dib.width = 5;  // rows padded from 5 to 8 bytes
  dib.height = 3;
  dib.table = GreyTable();
  std::vector<uint32_t> expected;
  for (int i = 0; i < 15; ++i) {
    dib.pixels.push_back(i * 17);
    expected.push_back(i * 17 * 0x010101u);
  }
  ExpectLoads(dib, 5, 3, expected);
  dib.height = -3;
  ExpectLoads(dib, 5, 3, expected);
}

TEST_F(LoadBitmapTest, ShortColourTableAndIndicesPastIt) {
  Dib dib;
  dib.width = 4;
  dib.height = 1;
  dib.colours_used = 2;
  dib.table = {0x102030, 0x405060};
  dib.pixels = {1, 0, 2, 255};  // 2 and 255 lie past the table: black
  ExpectLoads(dib, 4, 1, {0x405060, 0x102030, 0, 0});
}

TEST_F(LoadBitmapTest, OneAndFourBitIndices) {
  Dib one;
  one.bits = 1;
  one.width = 10;
  one.height = 2;
  one.table = {0x000000, 0xFFFFFF};
  std::vector<uint32_t> expected;
  for (int i = 0; i < 20; ++i) {
    one.pixels.push_back((i * 7 >> 2) & 1);
    expected.push_back(one.pixels.back() ? 0xFFFFFF : 0);
  }
  ExpectLoads(one, 10, 2, expected);

  Dib four;
  four.bits = 4;
  four.width = 3;
  four.height = -2;
  four.table = GreyTable();
  four.table.resize(16);
  four.pixels = {15, 1, 14, 2, 13, 3};
  ExpectLoads(four, 3, 2, {15 * 0x010101u, 0x010101, 14 * 0x010101u, 2 * 0x010101u, 13 * 0x010101u, 3 * 0x010101u});
}

TEST_F(LoadBitmapTest, TwentyFourBitBottomUpAndTopDown) {
  Dib dib;
  dib.bits = 24;
  dib.width = 3;  // 9 bytes a row, padded to 12
  dib.height = 2;
  dib.pixels = {0xFF0000, 0x00FF00, 0x0000FF, 0x123456, 0xABCDEF, 0x010203};
  ExpectLoads(dib, 3, 2, dib.pixels);
  dib.height = -2;
  ExpectLoads(dib, 3, 2, dib.pixels);
}

TEST_F(LoadBitmapTest, TwentyFourBitSkipsAnOptionalColourTable) {
  Dib dib;
  dib.bits = 24;
  dib.width = 1;
  dib.height = 1;
  dib.colours_used = 2;
  dib.table = {0x999999, 0x888888};
  dib.pixels = {0x123456};
  ExpectLoads(dib, 1, 1, {0x123456});
}

TEST_F(LoadBitmapTest, ThirtyTwoBitDropsTheTopByte) {
  Dib dib;
  dib.bits = 32;
  dib.width = 2;
  dib.height = 2;
  dib.pixels = {0xFF112233, 0x80445566, 0x00778899, 0x7FAABBCC};
  ExpectLoads(dib, 2, 2, {0x112233, 0x445566, 0x778899, 0xAABBCC});
  dib.height = -2;
  ExpectLoads(dib, 2, 2, {0x112233, 0x445566, 0x778899, 0xAABBCC});
}

TEST_F(LoadBitmapTest, BitfieldsAfterTheInfoHeaderAndInsideAVersionFiveHeader) {
  Dib dib;
  dib.bits = 32;
  dib.compression = BI_BITFIELDS;
  dib.width = 2;
  dib.height = 1;
  dib.masks = {0x000000FF, 0x0000FF00, 0x00FF0000};  // stored as R, G, B from low to high
  dib.pixels = {0x00332211, 0xFF665544};
  ExpectLoads(dib, 2, 1, {0x112233, 0x445566});
  dib.header_size = 124;
  ExpectLoads(dib, 2, 1, {0x112233, 0x445566});

  Dib sixteen;
  sixteen.bits = 16;
  sixteen.compression = BI_BITFIELDS;
  sixteen.width = 3;
  sixteen.height = 1;
  sixteen.masks = {0xF800, 0x07E0, 0x001F};  // 5-6-5
  sixteen.pixels = {0xF800, 0x07E0, 0x001F};
  ExpectLoads(sixteen, 3, 1, {0xFF0000, 0x00FF00, 0x0000FF});
}

TEST_F(LoadBitmapTest, SixteenBitDefaultsToFiveFiveFive) {
  Dib dib;
  dib.bits = 16;
  dib.width = 3;
  dib.height = 1;
  dib.pixels = {0x7C00, 0x03E0, 0x0010};
  ExpectLoads(dib, 3, 1, {0xFF0000, 0x00FF00, 0x000084});
}

TEST_F(LoadBitmapTest, CoreHeaderWithThreeByteColourTable) {
  Dib dib;
  dib.header_size = 12;
  dib.width = 2;
  dib.height = 2;
  dib.table = GreyTable();
  dib.pixels = {0, 255, 128, 64};
  ExpectLoads(dib, 2, 2, {0, 0xFFFFFF, 0x808080, 0x404040});
}

TEST_F(LoadBitmapTest, EveryTruncationIsRefused) {
  Dib dibs[4];
  dibs[0].width = 3, dibs[0].height = 2, dibs[0].table = GreyTable(), dibs[0].pixels.assign(6, 7);
  dibs[1].bits = 24, dibs[1].width = 3, dibs[1].height = -2, dibs[1].pixels.assign(6, 0x123456);
  dibs[2].bits = 32, dibs[2].compression = BI_BITFIELDS, dibs[2].width = 1, dibs[2].height = 1;
  dibs[2].masks = {0xFF0000, 0xFF00, 0xFF}, dibs[2].pixels = {1};
  dibs[3].header_size = 12, dibs[3].bits = 8, dibs[3].width = 1, dibs[3].height = 1;
  dibs[3].table = GreyTable(), dibs[3].pixels = {1};
  for (const Dib& dib : dibs) {
    std::vector<uint8_t> whole = Build(dib);
    HBITMAP full = Load(whole);
    ASSERT_NE(full, nullptr);
    DeleteObject(full);
    for (size_t n = 0; n < whole.size(); ++n) {
      // A copy of exactly n bytes, so that reading past it is a fault.
      EXPECT_EQ(Load(std::vector<uint8_t>(whole.begin(), whole.begin() + n)), nullptr) << n << " bytes";
    }
  }
}

TEST_F(LoadBitmapTest, MalformedHeadersAreRefused) {
  Dib good;
  good.bits = 24;
  good.width = 2;
  good.height = 2;
  good.pixels.assign(4, 0);
  HBITMAP loaded = Load(Build(good));
  ASSERT_NE(loaded, nullptr);
  DeleteObject(loaded);

  auto refused = [&](auto change) {
    Dib dib = good;
    change(dib);
    return Load(Build(dib)) == nullptr;
  };
  EXPECT_TRUE(refused([](Dib& d) { d.width = 0; }));
  EXPECT_TRUE(refused([](Dib& d) { d.width = -2; }));
  EXPECT_TRUE(refused([](Dib& d) { d.height = 0; }));
  EXPECT_TRUE(refused([](Dib& d) { d.bits = 7; }));
  EXPECT_TRUE(refused([](Dib& d) { d.bits = 0; }));
  EXPECT_TRUE(refused([](Dib& d) { d.compression = BI_RLE8; }));
  EXPECT_TRUE(refused([](Dib& d) { d.compression = BI_BITFIELDS; }));  // not for 24 bits
  EXPECT_TRUE(refused([](Dib& d) { d.colours_used = 0xFFFFFFFF; }));   // a table past the end
  EXPECT_TRUE(refused([](Dib& d) { d.bits = 8, d.colours_used = 257; }));
  EXPECT_TRUE(refused([](Dib& d) { d.width = 1000; }));                // rows past the end
  EXPECT_TRUE(refused([](Dib& d) { d.height = -2147483647 - 1; }));
  EXPECT_TRUE(refused([](Dib& d) { d.width = 100000, d.height = 100000; }));

  std::vector<uint8_t> bytes = Build(good);
  for (uint32_t size : {0u, 39u, 41u, 64u, 0xFFFFFFFFu}) {
    Put32(bytes, 0, size);
    EXPECT_EQ(Load(bytes), nullptr) << size;
  }
  bytes = Build(good);
  Put16(bytes, 12, 2);  // two planes
  EXPECT_EQ(Load(bytes), nullptr);
}

TEST_F(LoadBitmapTest, MissingOrNamedResourcesAreNotFound) {
  Dib dib;
  dib.width = 1, dib.height = 1, dib.table = GreyTable(), dib.pixels = {0};
  HBITMAP loaded = Load(Build(dib));
  ASSERT_NE(loaded, nullptr);
  DeleteObject(loaded);
  EXPECT_EQ(LoadBitmapA(nullptr, MAKEINTRESOURCEA(6)), nullptr);
  EXPECT_EQ(LoadBitmapA(nullptr, "5"), nullptr);
}

// Random damage to the headers, colour tables and sizes of valid DIBs: each
// load either gives a bitmap of a size the header allows or null, and never
// reads outside the bytes (run under the sanitizer build to see the latter).
TEST_F(LoadBitmapTest, DamagedDataNeverReadsOutOfBounds) {
  std::mt19937 rng(7);
  Dib seeds[3];
  seeds[0].width = 9, seeds[0].height = 4, seeds[0].table = GreyTable(), seeds[0].pixels.assign(36, 3);
  seeds[1].header_size = 108, seeds[1].bits = 32, seeds[1].compression = BI_BITFIELDS;
  seeds[1].width = 3, seeds[1].height = -3, seeds[1].masks = {0xFF0000, 0xFF00, 0xFF}, seeds[1].pixels.assign(9, 5);
  seeds[2].bits = 4, seeds[2].width = 7, seeds[2].height = 3, seeds[2].colours_used = 3;
  seeds[2].table = {1, 2, 3}, seeds[2].pixels.assign(21, 2);
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint8_t> bytes = Build(seeds[round % 3]);
    int damage = 1 + rng() % 4;
    for (int i = 0; i < damage; ++i) {
      // Mostly the first 64 bytes, where the header and the table begin.
      size_t at = rng() % 4 ? rng() % 64 : rng() % bytes.size();
      bytes[at % bytes.size()] = static_cast<uint8_t>(rng());
    }
    if (rng() % 4 == 0) bytes.resize(rng() % bytes.size());
    HBITMAP bitmap = Load(bytes);
    if (bitmap) {
      BITMAP info{};
      ASSERT_EQ(GetObjectA(bitmap, sizeof info, &info), static_cast<int>(sizeof info));
      EXPECT_GT(info.bmWidth, 0);
      EXPECT_GT(info.bmHeight, 0);
      // Every row must have come from the data.
      EXPECT_LE(static_cast<size_t>(info.bmHeight), bytes.size());
      EXPECT_TRUE(DeleteObject(bitmap));
    }
  }
}

}  // namespace
