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

Dib Make(int bits, int width, int height, std::vector<uint32_t> pixels, std::vector<uint32_t> table = {}) {
  Dib dib;
  dib.bits = bits, dib.width = width, dib.height = height;
  dib.pixels = std::move(pixels), dib.table = std::move(table);
  return dib;
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
  std::vector<uint32_t> indices, grey;
  for (uint32_t i = 0; i < 15; ++i) indices.push_back(i * 17), grey.push_back(i * 17 * 0x010101u);
  ExpectLoads(Make(8, 5, 3, indices, GreyTable()), 5, 3, grey);  // rows padded from 5 to 8 bytes
  ExpectLoads(Make(8, 5, -3, indices, GreyTable()), 5, 3, grey);
}

TEST_F(LoadBitmapTest, OtherPalettisedDepthsAndShortColourTables) {
  ExpectLoads(Make(1, 10, 1, {1, 0, 0, 1, 1, 0, 1, 0, 0, 1}, {0x000000, 0xFFFFFF}), 10, 1,
              {0xFFFFFF, 0, 0, 0xFFFFFF, 0xFFFFFF, 0, 0xFFFFFF, 0, 0, 0xFFFFFF});
  std::vector<uint32_t> sixteen = GreyTable();
  sixteen.resize(16);
  ExpectLoads(Make(4, 3, -2, {15, 1, 14, 2, 13, 3}, sixteen), 3, 2,
              {0x0F0F0F, 0x010101, 0x0E0E0E, 0x020202, 0x0D0D0D, 0x030303});
  // biClrUsed 2: the rows start after two entries, and indices past them are black.
  Dib dib = Make(8, 4, 1, {1, 0, 2, 255}, {0x102030, 0x405060});
  dib.colours_used = 2;
  ExpectLoads(dib, 4, 1, {0x405060, 0x102030, 0, 0});
  // The core header's colour table has three bytes an entry.
  dib = Make(8, 2, 2, {0, 255, 128, 64}, GreyTable());
  dib.header_size = 12;
  ExpectLoads(dib, 2, 2, {0, 0xFFFFFF, 0x808080, 0x404040});
}

TEST_F(LoadBitmapTest, TwentyFourAndThirtyTwoBits) {
  const std::vector<uint32_t> colours = {0xFF0000, 0x00FF00, 0x0000FF, 0x123456, 0xABCDEF, 0x010203};
  ExpectLoads(Make(24, 3, 2, colours), 3, 2, colours);  // 9 bytes a row, padded to 12
  ExpectLoads(Make(24, 3, -2, colours), 3, 2, colours);
  // An optional colour table before 24-bit rows is skipped.
  Dib dib = Make(24, 1, 1, {0x123456}, {0x999999, 0x888888});
  dib.colours_used = 2;
  ExpectLoads(dib, 1, 1, {0x123456});
  // The fourth byte of a 32-bit pixel is dropped.
  const std::vector<uint32_t> stored = {0xFF112233, 0x80445566, 0x00778899, 0x7FAABBCC};
  const std::vector<uint32_t> xrgb = {0x112233, 0x445566, 0x778899, 0xAABBCC};
  ExpectLoads(Make(32, 2, 2, stored), 2, 2, xrgb);
  ExpectLoads(Make(32, 2, -2, stored), 2, 2, xrgb);
}

TEST_F(LoadBitmapTest, BitfieldsAndSixteenBits) {
  // Masks after the info header, then inside a version 5 header.
  Dib dib = Make(32, 2, 1, {0x00332211, 0xFF665544});
  dib.compression = BI_BITFIELDS;
  dib.masks = {0x000000FF, 0x0000FF00, 0x00FF0000};
  ExpectLoads(dib, 2, 1, {0x112233, 0x445566});
  dib.header_size = 124;
  ExpectLoads(dib, 2, 1, {0x112233, 0x445566});
  // 5-6-5 masks, and the plain 16-bit default of 5-5-5.
  dib = Make(16, 3, 1, {0xF800, 0x07E0, 0x001F});
  dib.compression = BI_BITFIELDS;
  dib.masks = {0xF800, 0x07E0, 0x001F};
  ExpectLoads(dib, 3, 1, {0xFF0000, 0x00FF00, 0x0000FF});
  ExpectLoads(Make(16, 3, 1, {0x7C00, 0x03E0, 0x0010}), 3, 1, {0xFF0000, 0x00FF00, 0x000084});
}

TEST_F(LoadBitmapTest, EveryTruncationIsRefused) {
  Dib dibs[] = {Make(8, 3, 2, std::vector<uint32_t>(6, 7), GreyTable()), Make(24, 3, -2, std::vector<uint32_t>(6, 1)),
                Make(32, 1, 1, {1}), Make(8, 1, 1, {1}, GreyTable())};
  dibs[2].compression = BI_BITFIELDS, dibs[2].masks = {0xFF0000, 0xFF00, 0xFF};
  dibs[3].header_size = 12;
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
  const Dib good = Make(24, 2, 2, {0, 0, 0, 0});
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
  // Missing and named resources are not found.
  EXPECT_EQ(LoadBitmapA(nullptr, MAKEINTRESOURCEA(6)), nullptr);
  EXPECT_EQ(LoadBitmapA(nullptr, "5"), nullptr);
}

// Random damage to the headers, colour tables and sizes of valid DIBs: each
// load either gives a bitmap of a size the header allows or null, and never
// reads outside the bytes (run under the sanitizer build to see the latter).
TEST_F(LoadBitmapTest, DamagedDataNeverReadsOutOfBounds) {
  std::mt19937 rng(7);
  Dib seeds[] = {Make(8, 9, 4, std::vector<uint32_t>(36, 3), GreyTable()), Make(32, 3, -3, std::vector<uint32_t>(9, 5)),
                 Make(4, 7, 3, std::vector<uint32_t>(21, 2), {1, 2, 3})};
  seeds[1].header_size = 108, seeds[1].compression = BI_BITFIELDS, seeds[1].masks = {0xFF0000, 0xFF00, 0xFF};
  seeds[2].colours_used = 3;
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
