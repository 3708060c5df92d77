#include "platform/window/x11_window.h"

#include <unistd.h>

#include <SDL.h>
#include <SDL_syswm.h>

#if defined(SDL_VIDEO_DRIVER_X11)
#include <X11/Xlib.h>
#include <X11/extensions/shape.h>
#include <poll.h>
#endif

#include <algorithm>
#include <climits>

namespace winsys {

#if defined(SDL_VIDEO_DRIVER_X11)
namespace {

bool X11Of(SDL_Window* window, Display** display, ::Window* xwindow) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return false;
  *display = info.info.x11.display;
  *xwindow = info.info.x11.window;
  return true;
}

}  // namespace
#endif

bool MapX11Window(SDL_Window* window) {
#if defined(SDL_VIDEO_DRIVER_X11)
  Display* display = nullptr;
  ::Window xwindow = 0;
  if (!X11Of(window, &display, &xwindow)) return false;
  XMapRaised(display, xwindow);
  XFlush(display);
  return true;
#else
  (void)window;
  return false;
#endif
}

bool WithdrawX11Window(SDL_Window* window) {
#if defined(SDL_VIDEO_DRIVER_X11)
  Display* display = nullptr;
  ::Window xwindow = 0;
  if (!X11Of(window, &display, &xwindow)) return false;
  XWithdrawWindow(display, xwindow, DefaultScreen(display));
  XFlush(display);
  return true;
#else
  (void)window;
  return false;
#endif
}

void* X11DisplayOf(SDL_Window* window) {
#if defined(SDL_VIDEO_DRIVER_X11)
  Display* display = nullptr;
  ::Window xwindow = 0;
  return X11Of(window, &display, &xwindow) ? display : nullptr;
#else
  (void)window;
  return nullptr;
#endif
}

bool X11InputPending(void* opaque) {
#if defined(SDL_VIDEO_DRIVER_X11)
  Display* display = static_cast<Display*>(opaque);
  if (display == nullptr) return true;
  // No XFlush here: with XCB it also reads the connection, which is what
  // this check is there to avoid; SDL and the calls above flush what they send.
  if (XQLength(display) > 0) return true;  // read already, without taking the display's lock
  pollfd connection{ConnectionNumber(display), POLLIN, 0};
  return poll(&connection, 1, 0) != 0;  // an error counts as pending: let SDL see it
#else
  (void)opaque;
  return true;
#endif
}

bool ApplyX11Shape(SDL_Window* window, const std::vector<RECT>* rects) {
#if defined(SDL_VIDEO_DRIVER_X11)
  Display* display = nullptr;
  ::Window xwindow = 0;
  if (!X11Of(window, &display, &xwindow)) return false;
  int event_base = 0;
  int error_base = 0;
  if (!XShapeQueryExtension(display, &event_base, &error_base)) return false;
  if (rects == nullptr) {
    XShapeCombineMask(display, xwindow, ShapeBounding, 0, 0, None, ShapeSet);
  } else {
    // X rectangles are 16-bit; the window system's are not.
    std::vector<XRectangle> xrects;
    xrects.reserve(rects->size());
    for (const RECT& r : *rects) {
      long left = std::clamp<long>(r.left, SHRT_MIN, SHRT_MAX);
      long top = std::clamp<long>(r.top, SHRT_MIN, SHRT_MAX);
      long right = std::clamp<long>(r.right, left, left + USHRT_MAX);
      long bottom = std::clamp<long>(r.bottom, top, top + USHRT_MAX);
      if (right <= left || bottom <= top) continue;
      xrects.push_back(XRectangle{static_cast<short>(left), static_cast<short>(top),
                                  static_cast<unsigned short>(right - left),
                                  static_cast<unsigned short>(bottom - top)});
    }
    XShapeCombineRectangles(display, xwindow, ShapeBounding, 0, 0, xrects.data(), static_cast<int>(xrects.size()),
                            ShapeSet, Unsorted);
  }
  XFlush(display);
  return true;
#else
  (void)window;
  (void)rects;
  return false;
#endif
}

namespace {

int lost_status = 1;

int IgnoreProtocolError(Display*, XErrorEvent*) { return 0; }

int LeaveOnLostDisplay(Display*) {
  static const char kMessage[] = "quarb: the connection to the display was lost\n";
  // Only what is safe here: the process may be in any state.
  ssize_t ignored = write(2, kMessage, sizeof kMessage - 1);
  (void)ignored;
  _exit(lost_status);
}

}  // namespace

void InstallX11ErrorHandlers(int lost_display_status) {
  lost_status = lost_display_status;
  XSetErrorHandler(IgnoreProtocolError);
  XSetIOErrorHandler(LeaveOnLostDisplay);
}

}  // namespace winsys
