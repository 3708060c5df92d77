// CSkin turns a borderless window into a skinned, shaped one.
//
// It owns the skin bitmap, an off-screen surface holding it (the skin surface,
// which others draw the track line onto) and a region built from region data.
// Attach gives the window the region, subclasses it with SkinWindowProc (which
// paints the surface and turns every left-button press into a drag) and stores
// the object as the window property "skin". From a successful SetWindowRgn on,
// the region belongs to the window system, so Attach is called at most once.
#pragma once

#include <cstdint>

#include "platform/win32.h"

class CSkin {
 public:
  // Loads bitmap `bitmap_id` and region data "BINARY" `region_id` of the
  // program. Throws the text "Unable to retrieve the skin." on failure.
  CSkin(WORD region_id, WORD bitmap_id);
  virtual ~CSkin();

  CSkin(const CSkin&) = delete;
  CSkin& operator=(const CSkin&) = delete;

  bool Attach(HWND window);
  bool Detach();
  // False when not attached; otherwise invalidates the whole window, erasing.
  bool RequestRepaint();

  bool IsAttached() const { return attached; }
  int32_t Width() const { return width; }
  int32_t Height() const { return height; }
  HDC Surface() const { return surface; }

  static LRESULT CALLBACK SkinWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

 private:
  void Release();

  HWND window = nullptr;
  WNDPROC previous_proc = nullptr;
  HRGN region = nullptr;
  HDC surface = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ previous_object = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  bool attached = false;
  bool region_given = false;  // the window system owns `region` now
};
