// What the end-to-end tests share: child processes, the X server (finding
// windows, input, screenshots) and the shipped playlist. The tests run under
// scripts/with-xvfb, which gives them an X server of their own (1024 by 768)
// with openbox as the window manager.
#pragma once

#include "skin/skin_layout.h"
#include "tests/support/process.h"

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct _XDisplay;  // Xlib's Display, kept out of this header (its macros clash with gtest's names)

namespace e2e {

using namespace std::chrono_literals;
using Millis = std::chrono::milliseconds;

// ---- Processes (tests/support/process.h) ----

using test_process::Kill;
using test_process::kStillRunning;
using test_process::Quoted;
using test_process::Shell;
using test_process::Spawn;
using test_process::WaitExit;
using test_process::WaitUntil;

// ---- Pictures ----

struct Image {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;  // 8 bits a sample, rows top to bottom

  bool empty() const { return rgb.empty(); }
  const uint8_t* At(int x, int y) const { return &rgb[3 * (static_cast<size_t>(y) * width + x)]; }
  uint8_t* At(int x, int y) { return &rgb[3 * (static_cast<size_t>(y) * width + x)]; }
  bool IsWhite(int x, int y) const {
    const uint8_t* p = At(x, y);
    return p[0] == 255 && p[1] == 255 && p[2] == 255;
  }
  Image Crop(int left, int top, int w, int h) const;
  bool operator==(const Image& other) const = default;
};

// A rectangle of the screen (the whole screen by default), as the X server
// holds it: read from the root window, so it includes every window's
// pixels but not the pointer. (Not through xwd: when windows of several
// visuals are on the screen, as with SDL's DirectColor windows, xwd composes
// the picture window by window from their rectangles and shows a shaped
// window's cut-away parts black.)
Image Screenshot(int left = 0, int top = 0, int width = 1024, int height = 768);
// Through netpbm's pnmtopng.
bool WritePng(const Image& image, const std::string& path);
// An uncompressed 24-bit BMP file, such as resources/skin.bmp.
Image ReadBmp24(const std::string& path);

// ---- The X server ----

struct Geometry {
  int x = 0, y = 0, width = 0, height = 0;  // x, y relative to the root window
  bool operator==(const Geometry& other) const = default;
};

// An Xlib connection of the test's own, to look at windows without spawning
// a tool for every question. Windows that vanish while they are looked at
// (the window manager's frames, a message box going away) simply do not
// match: X errors are ignored.
class XScreen {
 public:
  XScreen();
  ~XScreen();
  XScreen(const XScreen&) = delete;
  XScreen& operator=(const XScreen&) = delete;
  bool ok() const { return display_ != nullptr; }

  // A viewable window anywhere in the tree titled exactly `title` (its
  // _NET_WM_NAME, else WM_NAME: SDL titles its message boxes in UTF-8 only,
  // which `xdotool search --name` does not read), or 0.
  unsigned long Find(const std::string& title);
  // The same for a title that `matches`.
  unsigned long FindIf(const std::function<bool(const std::string&)>& matches);
  std::string Title(unsigned long window);
  bool Viewable(unsigned long window);
  Geometry GeometryOf(unsigned long window);
  // The names of the atoms in an ATOM property (such as _NET_WM_STATE).
  std::vector<std::string> Atoms(unsigned long window, const char* property);

 private:
  std::string Property(unsigned long window, const char* name, unsigned long type);
  unsigned long Search(unsigned long window, const std::function<bool(const std::string&)>& matches);

  ::_XDisplay* display_;
};

// Waits for a viewable window titled `title`, by Xlib; 0 when none came.
unsigned long WaitForWindow(XScreen& screen, const std::string& title, Millis limit);

// Whether a title is one of the player's main window: "QUARB II" while it is
// active, "QUARB II - [ <title> ]" while it is not.
bool IsPlayerTitle(const std::string& title);

// ---- Input, through xdotool ----

void MovePointer(int x, int y);
// A press and a release of the left button at (x, y), a human click apart.
void Click(int x, int y);
// Gives the window activation (and so the keyboard) and presses `key` there.
void PressKeyIn(unsigned long window, const std::string& key);

// ---- The player's window and content ----

inline constexpr int kScreenWidth = 1024, kScreenHeight = 768;
inline constexpr int kWidth = skin_layout::kWidth, kHeight = skin_layout::kHeight;
// Centred on the 1024 by 768 screen.
inline constexpr int kLeft = (kScreenWidth - kWidth) / 2, kTop = (kScreenHeight - kHeight) / 2;

// Client points inside the hotspots: their centres.
struct Point {
  int x, y;
};
constexpr Point Centre(int hotspot) {
  return Point{skin_layout::kHotspots[hotspot].CentreX(), skin_layout::kHotspots[hotspot].CentreY()};
}
inline constexpr Point kPrevious = Centre(skin_layout::kPrevious), kPlay = Centre(skin_layout::kPlay),
                       kPause = Centre(skin_layout::kPause), kNext = Centre(skin_layout::kNext),
                       kMinimise = Centre(skin_layout::kMinimise), kClose = Centre(skin_layout::kClose);

// White pixels of the track-line band (y 205 to 227, skin_layout.h) of a window-sized
// picture, as y * 400 + x.
std::vector<int> WhiteInBand(const Image& window);

std::string Latin1ToUtf8(const std::string& text);

struct PlaylistEntry {
  std::string title;  // Latin-1, as in the file
  std::string song;   // path of the module in the source tree
};
// The shipped playlist, read from resources/disk/playlist.csv.
std::vector<PlaylistEntry> Playlist();

std::string SourceDir();

}  // namespace e2e
