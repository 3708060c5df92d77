#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_internal.h"

namespace {

BITMAP Describe(HGDIOBJ bitmap) {
  BITMAP info{};
  EXPECT_EQ(GetObjectA(bitmap, sizeof info, &info), static_cast<int>(sizeof info));
  return info;
}

TEST(GdiObjectsTest, ANewDcHasAOneByOneBitmapAndTheWhiteBrush) {
  HDC dc = CreateCompatibleDC(nullptr);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(Describe(GetCurrentObject(dc, OBJ_BITMAP)).bmWidth, 1);
  EXPECT_EQ(Describe(GetCurrentObject(dc, OBJ_BITMAP)).bmHeight, 1);
  EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), GetStockObject(WHITE_BRUSH));
  // A DC made for another DC is just as good; one made for a dead DC is not.
  HDC other = CreateCompatibleDC(dc);
  EXPECT_NE(other, nullptr);
  EXPECT_TRUE(DeleteDC(other));
  EXPECT_TRUE(DeleteDC(dc));
  EXPECT_EQ(CreateCompatibleDC(dc), nullptr);
}

TEST(GdiObjectsTest, SelectObjectReturnsThePreviousObjectOfThatKind) {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP a = CreateCompatibleBitmap(dc, 4, 3);
  HBITMAP b = CreateCompatibleBitmap(dc, 2, 2);
  HGDIOBJ original = SelectObject(dc, a);
  EXPECT_EQ(Describe(original).bmWidth, 1);
  EXPECT_EQ(SelectObject(dc, b), a);
  HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  EXPECT_EQ(SelectObject(dc, black), GetStockObject(WHITE_BRUSH));
  EXPECT_EQ(SelectObject(dc, a), b);  // the brush did not change the bitmap
  EXPECT_EQ(SelectObject(dc, GetStockObject(WHITE_BRUSH)), black);
  EXPECT_EQ(SelectObject(dc, original), a);
  // Regions and unknown handles are not selected, and change nothing.
  HRGN region = CreateRectRgn(0, 0, 1, 1);
  EXPECT_EQ(SelectObject(dc, region), nullptr);
  EXPECT_EQ(SelectObject(dc, reinterpret_cast<HGDIOBJ>(0x1234)), nullptr);
  EXPECT_EQ(GetCurrentObject(dc, OBJ_BITMAP), original);
  EXPECT_TRUE(DeleteObject(region));
  EXPECT_TRUE(DeleteObject(a));
  EXPECT_TRUE(DeleteObject(b));
  EXPECT_TRUE(DeleteDC(dc));
}

TEST(GdiObjectsTest, SelectedObjectsCannotBeDeletedAndABitmapLivesInOneDc) {
  HDC first = CreateCompatibleDC(nullptr);
  HDC second = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(first, 2, 2);
  HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  HGDIOBJ original = SelectObject(first, bitmap);
  HGDIOBJ white = SelectObject(first, brush);
  EXPECT_EQ(SelectObject(second, bitmap), nullptr);
  EXPECT_FALSE(DeleteObject(bitmap));
  EXPECT_FALSE(DeleteObject(brush));
  EXPECT_EQ(Describe(bitmap).bmWidth, 2);  // still there
  EXPECT_EQ(SelectObject(first, bitmap), bitmap);  // again into the same DC is fine
  // Deselected, the bitmap can move; deleting the DC frees what it held.
  SelectObject(first, original);
  SelectObject(first, white);
  EXPECT_EQ(SelectObject(second, bitmap), original);
  EXPECT_TRUE(DeleteObject(brush));
  EXPECT_TRUE(DeleteDC(second));
  EXPECT_TRUE(DeleteObject(bitmap));
  EXPECT_TRUE(DeleteDC(first));
}

TEST(GdiObjectsTest, CallsOnDeletedOrWrongHandlesFail) {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, 3, 3);
  HBRUSH brush = CreateSolidBrush(RGB(9, 9, 9));
  HRGN region = CreateRectRgn(0, 0, 2, 2);
  EXPECT_FALSE(DeleteDC(reinterpret_cast<HDC>(bitmap)));
  EXPECT_FALSE(DeleteObject(dc));  // a DC goes with DeleteDC only
  EXPECT_EQ(GetObjectA(dc, sizeof(BITMAP), nullptr), 0);
  EXPECT_EQ(gdi_internal::BitmapPixels(reinterpret_cast<HBITMAP>(dc), nullptr, nullptr), nullptr);
  ASSERT_TRUE(DeleteObject(bitmap));
  ASSERT_TRUE(DeleteObject(brush));
  ASSERT_TRUE(DeleteObject(region));
  BITMAP info{};
  EXPECT_EQ(GetObjectA(bitmap, sizeof info, &info), 0);
  EXPECT_EQ(SelectObject(dc, bitmap), nullptr);
  EXPECT_EQ(SelectObject(dc, brush), nullptr);
  EXPECT_FALSE(DeleteObject(bitmap));
  EXPECT_FALSE(DeleteObject(brush));
  EXPECT_FALSE(DeleteObject(region));
  EXPECT_EQ(GetObjectType(bitmap), 0u);
  EXPECT_EQ(gdi_internal::BitmapPixels(bitmap, nullptr, nullptr), nullptr);
  EXPECT_FALSE(gdi_internal::RegionRects(region, nullptr));
  // New objects reuse the table's slots, never the old handles' meaning.
  HBITMAP newer = CreateCompatibleBitmap(dc, 5, 5);
  EXPECT_NE(newer, bitmap);
  EXPECT_EQ(GetObjectA(bitmap, sizeof info, &info), 0);
  EXPECT_TRUE(DeleteObject(newer));
  ASSERT_TRUE(DeleteDC(dc));
  EXPECT_FALSE(DeleteDC(dc));
  EXPECT_EQ(SelectObject(dc, GetStockObject(BLACK_BRUSH)), nullptr);
  EXPECT_EQ(CreateCompatibleBitmap(dc, 2, 2), nullptr);
}

TEST(GdiObjectsTest, StockObjectsSurviveDeletion) {
  HGDIOBJ black = GetStockObject(BLACK_BRUSH);
  ASSERT_NE(black, nullptr);
  EXPECT_NE(black, GetStockObject(WHITE_BRUSH));
  EXPECT_EQ(GetStockObject(-1), nullptr);
  EXPECT_EQ(GetStockObject(99), nullptr);
  EXPECT_TRUE(DeleteObject(black));
  LOGBRUSH brush{};
  ASSERT_EQ(GetObjectA(black, sizeof brush, &brush), static_cast<int>(sizeof brush));
  EXPECT_EQ(brush.lbColor, 0u);
  // The 1 by 1 bitmap of a new DC is stock too: shared, never deleted.
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ one = GetCurrentObject(dc, OBJ_BITMAP);
  EXPECT_TRUE(DeleteObject(one));
  EXPECT_EQ(Describe(one).bmWidth, 1);
  EXPECT_TRUE(DeleteDC(dc));
}

TEST(GdiObjectsTest, BitmapsAreDescribedBlackAndSizeChecked) {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, 400, 246);
  BITMAP info = Describe(bitmap);
  EXPECT_EQ(info.bmType, 0);
  EXPECT_EQ(info.bmWidth, 400);
  EXPECT_EQ(info.bmHeight, 246);
  EXPECT_EQ(info.bmWidthBytes, 1600);
  EXPECT_EQ(info.bmPlanes, 1);
  EXPECT_EQ(info.bmBitsPixel, 32);
  EXPECT_EQ(info.bmBits, nullptr);
  const uint32_t* pixels = gdi_internal::BitmapPixels(bitmap, nullptr, nullptr);
  EXPECT_EQ(std::vector<uint32_t>(pixels, pixels + 400 * 246), std::vector<uint32_t>(400 * 246, 0));
  EXPECT_EQ(GetObjectA(bitmap, 0, nullptr), static_cast<int>(sizeof(BITMAP)));
  unsigned char small[sizeof(BITMAP) - 1];
  std::memset(small, 0x5A, sizeof small);
  EXPECT_EQ(GetObjectA(bitmap, sizeof small, small), 0);
  EXPECT_EQ(small[0], 0x5A);
  EXPECT_TRUE(DeleteObject(bitmap));
  // An empty size gives the shared 1 by 1 bitmap, as on Windows.
  EXPECT_EQ(Describe(CreateCompatibleBitmap(dc, 0, 5)).bmWidth, 1);
  EXPECT_EQ(CreateCompatibleBitmap(dc, -1, 5), nullptr);
  EXPECT_EQ(CreateCompatibleBitmap(dc, 100000, 100000), nullptr);
  EXPECT_EQ(CreateCompatibleBitmap(nullptr, 2, 2), nullptr);
  EXPECT_EQ(gdi_internal::CreateScreenBitmap(0, 10), nullptr);
  EXPECT_EQ(gdi_internal::CreateScreenBitmap(1 << 30, 1 << 30), nullptr);
  EXPECT_TRUE(DeleteDC(dc));
}

// Region data as stored: a 32-byte header and nCount rectangles, all 32-bit
// little-endian numbers.
std::vector<uint8_t> RegionData(uint32_t header_size, uint32_t type, uint32_t count, const std::vector<RECT>& rects) {
  std::vector<uint8_t> out(32 + 16 * rects.size());
  uint32_t header[8] = {header_size, type, count, static_cast<uint32_t>(16 * rects.size()), 0, 0, 400, 246};
  std::memcpy(out.data(), header, sizeof header);
  if (!rects.empty()) std::memcpy(out.data() + 32, rects.data(), 16 * rects.size());
  return out;
}

HRGN Region(const std::vector<uint8_t>& data, size_t size) {
  return ExtCreateRegion(nullptr, static_cast<DWORD>(size), reinterpret_cast<const RGNDATA*>(data.data()));
}

HRGN Region(const std::vector<uint8_t>& data) { return Region(data, data.size()); }

bool Same(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(GdiRegionTest, TheWholeWindowRectangle) {
  std::vector<uint8_t> data = RegionData(32, RDH_RECTANGLES, 1, {{0, 0, 400, 246}});
  ASSERT_EQ(data.size(), 48u);
  HRGN region = Region(data);
  std::vector<RECT> rects;
  ASSERT_TRUE(gdi_internal::RegionRects(region, &rects));
  ASSERT_EQ(rects.size(), 1u);
  EXPECT_TRUE(Same(rects[0], RECT{0, 0, 400, 246}));
  EXPECT_TRUE(PtInRegion(region, 399, 245));
  EXPECT_FALSE(PtInRegion(region, 400, 0));
  EXPECT_TRUE(DeleteObject(region));
}

TEST(GdiRegionTest, TheUnionOfTheNonEmptyRectangles) {
  // Two empty rectangles among them: zero width, and right before left.
  std::vector<RECT> given = {{0, 0, 10, 2}, {5, 5, 5, 9}, {3, 1, 4, 8}, {7, 7, 6, 8}, {-2, 4, 0, 6}};
  std::vector<uint8_t> data = RegionData(32, RDH_RECTANGLES, 5, given);
  // Region data need not be aligned.
  std::vector<uint8_t> shifted(1);
  shifted.insert(shifted.end(), data.begin(), data.end());
  HRGN region = ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()),
                                reinterpret_cast<const RGNDATA*>(shifted.data() + 1));
  std::vector<RECT> rects;
  ASSERT_TRUE(gdi_internal::RegionRects(region, &rects));
  EXPECT_EQ(rects.size(), 3u);
  RECT box{};
  EXPECT_EQ(GetRgnBox(region, &box), COMPLEXREGION);
  EXPECT_TRUE(Same(box, RECT{-2, 0, 10, 8}));
  EXPECT_TRUE(PtInRegion(region, 3, 7));
  EXPECT_TRUE(PtInRegion(region, -1, 5));
  EXPECT_FALSE(PtInRegion(region, 5, 6));  // only in an empty rectangle
  EXPECT_TRUE(DeleteObject(region));
  // No rectangles at all: a valid, empty region.
  HRGN empty = Region(RegionData(32, RDH_RECTANGLES, 0, {}));
  EXPECT_EQ(GetRgnBox(empty, &box), NULLREGION);
  EXPECT_TRUE(DeleteObject(empty));
}

TEST(GdiRegionTest, MalformedRegionDataIsRefused) {
  const std::vector<RECT> one = {{0, 0, 4, 4}};
  EXPECT_EQ(Region(RegionData(31, RDH_RECTANGLES, 1, one)), nullptr);
  EXPECT_EQ(Region(RegionData(33, RDH_RECTANGLES, 1, one)), nullptr);
  EXPECT_EQ(Region(RegionData(32, 2, 1, one)), nullptr);
  EXPECT_EQ(Region(RegionData(32, RDH_RECTANGLES, 2, one)), nullptr);  // one rectangle short
  EXPECT_EQ(Region(RegionData(32, RDH_RECTANGLES, 1, one), 47), nullptr);
  EXPECT_EQ(Region(RegionData(32, RDH_RECTANGLES, 0, {}), 31), nullptr);
  // Counts whose byte size wraps 32 bits to something small.
  EXPECT_EQ(Region(RegionData(32, RDH_RECTANGLES, 0x10000000, one)), nullptr);
  EXPECT_EQ(Region(RegionData(32, RDH_RECTANGLES, 0xFFFFFFFF, one)), nullptr);
  std::vector<uint8_t> good = RegionData(32, RDH_RECTANGLES, 1, one);
  XFORM identity{1, 0, 0, 1, 0, 0};
  EXPECT_EQ(ExtCreateRegion(&identity, 48, reinterpret_cast<const RGNDATA*>(good.data())), nullptr);
  EXPECT_EQ(ExtCreateRegion(nullptr, 48, nullptr), nullptr);
}

}  // namespace
