// What the SDL host does to its windows through Xlib directly: shaping them
// with the X Shape extension, and mapping and withdrawing them without SDL's
// wait for the window manager, which has no time limit and hangs for good
// when the window manager does not answer. Kept apart because the X11
// headers define names (Window, None, Bool, ...) that clash with ours.
#pragma once

#include <vector>

#include "platform/win32_types.h"

struct SDL_Window;

namespace winsys {

// Sets the window's bounding (and so input) shape to the union of `rects`,
// or removes the shape for null. False when the window is not an X11 window
// or the server has no Shape extension.
bool ApplyX11Shape(SDL_Window* window, const std::vector<RECT>* rects);

// Maps the window (which also brings an iconified one back), or withdraws
// it, and returns at once. False when the window is not an X11 window.
bool MapX11Window(SDL_Window* window);
bool WithdrawX11Window(SDL_Window* window);

// The X connection of the window (an Xlib Display), or null when the window
// is not an X11 window.
void* X11DisplayOf(SDL_Window* window);

// Replaces Xlib's default handlers, which end the process: a protocol error
// (say, a request about a window that was destroyed meanwhile, as happens
// while SDL closes its connections) is ignored, and a lost connection to the
// display ends the process at once with `lost_display_status`, after one
// line on standard error, rather than going through destructors that would
// talk to the dead connection again.
void InstallX11ErrorHandlers(int lost_display_status);

// Whether anything may be waiting for the program on the X connection:
// events Xlib has already read, or bytes on the socket. Costs at most one
// poll() and never blocks.
bool X11InputPending(void* display);

}  // namespace winsys
