// The software GDI: the Win32 graphics calls the player is written against,
// with Windows' names, signatures, constants and results.
//
// Every bitmap is 32-bit XRGB (0x00RRGGBB), the screen's format; the unused
// top byte of a pixel is always 0. Handles are opaque ids checked on every
// call: an unknown or deleted handle makes the call fail as on Windows (0,
// FALSE or null) and never reaches freed memory. Stock objects cannot be
// deleted (DeleteObject returns TRUE and does nothing). A bitmap is selected
// into at most one device context at a time, and neither a selected bitmap nor
// a selected brush can be deleted. Single-threaded: call from one thread only.
#pragma once

#include "platform/win32_types.h"

// Colours as the calls take them: 0x00BBGGRR.
#define RGB(r, g, b) \
  (static_cast<COLORREF>(static_cast<BYTE>(r) | (static_cast<WORD>(static_cast<BYTE>(g)) << 8) | \
                         (static_cast<DWORD>(static_cast<BYTE>(b)) << 16)))
#define GetRValue(c) (static_cast<BYTE>(c))
#define GetGValue(c) (static_cast<BYTE>((c) >> 8))
#define GetBValue(c) (static_cast<BYTE>((c) >> 16))

// Ternary raster operations: the operation's index in bits 16 to 23.
#define SRCCOPY 0x00CC0020u
#define SRCPAINT 0x00EE0086u
#define SRCAND 0x008800C6u
#define SRCINVERT 0x00660046u
#define SRCERASE 0x00440328u
#define NOTSRCCOPY 0x00330008u
#define NOTSRCERASE 0x001100A6u
#define MERGECOPY 0x00C000CAu
#define MERGEPAINT 0x00BB0226u
#define PATCOPY 0x00F00021u
#define PATPAINT 0x00FB0A09u
#define PATINVERT 0x005A0049u
#define DSTINVERT 0x00550009u
#define BLACKNESS 0x00000042u
#define WHITENESS 0x00FF0062u

// Stock objects.
#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define HOLLOW_BRUSH NULL_BRUSH

// Object types, as GetObjectType and GetCurrentObject use them.
#define OBJ_BRUSH 2
#define OBJ_DC 3
#define OBJ_BITMAP 7
#define OBJ_REGION 8
#define OBJ_MEMDC 10

// Brush styles.
#define BS_SOLID 0
#define BS_NULL 1
#define BS_HOLLOW BS_NULL

// Bitmap compressions.
#define BI_RGB 0
#define BI_RLE8 1
#define BI_RLE4 2
#define BI_BITFIELDS 3

// Region data, and the region kinds GetRgnBox gives (0 for a bad handle).
#define RDH_RECTANGLES 1
#define NULLREGION 1
#define SIMPLEREGION 2
#define COMPLEXREGION 3

struct BITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;
  LPVOID bmBits;
};

struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};

struct RGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
};

struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};

struct LOGBRUSH {
  UINT lbStyle;
  COLORREF lbColor;
  ULONG_PTR lbHatch;
};

struct RGNDATAHEADER {
  DWORD dwSize;
  DWORD iType;
  DWORD nCount;
  DWORD nRgnSize;
  RECT rcBound;
};

struct RGNDATA {
  RGNDATAHEADER rdh;
  char Buffer[1];
};

struct XFORM {
  float eM11;
  float eM12;
  float eM21;
  float eM22;
  float eDx;
  float eDy;
};

static_assert(sizeof(BITMAPINFOHEADER) == 40);
static_assert(sizeof(RGNDATAHEADER) == 32);

// Bitmaps. LoadBitmapA reads an RT_BITMAP resource (a packed DIB: 1, 4, 8,
// 16, 24 or 32 bits, BI_RGB or BI_BITFIELDS, bottom-up or top-down) and gives
// null for malformed or truncated data. CreateCompatibleBitmap gives an
// all-black bitmap.
HBITMAP LoadBitmapA(HINSTANCE instance, LPCSTR name);
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);

// Memory device contexts: a new one has a 1 by 1 bitmap and the white brush
// selected. `reference` may be null (the screen).
HDC CreateCompatibleDC(HDC reference);
BOOL DeleteDC(HDC dc);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
HGDIOBJ GetCurrentObject(HDC dc, UINT type);

// Objects of every kind.
BOOL DeleteObject(HGDIOBJ object);
int GetObjectA(HANDLE object, int size, LPVOID buffer);
DWORD GetObjectType(HGDIOBJ object);
HGDIOBJ GetStockObject(int index);
HBRUSH CreateSolidBrush(COLORREF colour);

// Regions: the union of the rectangles given.
HRGN ExtCreateRegion(const XFORM* transform, DWORD size, const RGNDATA* data);
HRGN CreateRectRgn(int left, int top, int right, int bottom);
int GetRgnBox(HRGN region, LPRECT box);
BOOL PtInRegion(HRGN region, int x, int y);

// Bit-block transfers with any of the 256 ternary raster operations, clipped
// to the destination's bitmap and, when the operation reads it, the source's.
BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC src, int src_x, int src_y, DWORD rop);
BOOL PatBlt(HDC dest, int x, int y, int width, int height, DWORD rop);
// Paints the rectangle (right and bottom excluded) with a brush other than the
// DC's own, as the window system's background erase does.
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
