// Shaping an SDL window through the X Shape extension. Kept apart because
// the X11 headers define names (Window, None, Bool, ...) that clash with ours.
#pragma once

#include <vector>

#include "platform/win32_types.h"

struct SDL_Window;

namespace winsys {

// Sets the window's bounding (and so input) shape to the union of `rects`,
// or removes the shape for null. False when the window is not an X11 window
// or the server has no Shape extension.
bool ApplyX11Shape(SDL_Window* window, const std::vector<RECT>* rects);

}  // namespace winsys
