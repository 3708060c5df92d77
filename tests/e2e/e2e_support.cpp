#include "e2e_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace e2e {

// ---- Pictures ----

Image Image::Crop(int left, int top, int w, int h) const {
  Image out;
  if (left < 0 || top < 0 || left + w > width || top + h > height) return out;
  out.width = w;
  out.height = h;
  out.rgb.resize(3 * static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    std::memcpy(out.At(0, y), At(left, top + y), 3 * static_cast<size_t>(w));
  return out;
}

bool WritePng(const Image& image, const std::string& path) {
  const std::string ppm = path + ".ppm";
  {
    std::ofstream out(ppm, std::ios::binary);
    out << "P6\n" << image.width << " " << image.height << "\n255\n";
    out.write(reinterpret_cast<const char*>(image.rgb.data()), static_cast<std::streamsize>(image.rgb.size()));
    if (!out) return false;
  }
  const test_process::Result png = test_process::Run({"pnmtopng", ppm}, {}, 1min);
  unlink(ppm.c_str());
  if (png.status != 0) return false;
  std::ofstream out(path, std::ios::binary);
  out.write(png.out.data(), static_cast<std::streamsize>(png.out.size()));
  return static_cast<bool>(out);
}

Image ReadBmp24(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto u32 = [&](size_t at) {
    return static_cast<uint32_t>(bytes[at]) | static_cast<uint32_t>(bytes[at + 1]) << 8 |
           static_cast<uint32_t>(bytes[at + 2]) << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
  };
  if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M') return Image{};
  const uint32_t offset = u32(10);
  const int width = static_cast<int32_t>(u32(18));
  const int height = static_cast<int32_t>(u32(22));  // positive: rows bottom to top
  const int bits = bytes[28] | bytes[29] << 8;
  if (bits != 24 || u32(30) != 0 || width <= 0 || height <= 0) return Image{};
  const size_t stride = (3 * static_cast<size_t>(width) + 3) / 4 * 4;
  if (offset + stride * height > bytes.size()) return Image{};
  Image image;
  image.width = width;
  image.height = height;
  image.rgb.resize(3 * static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = &bytes[offset + stride * (height - 1 - y)];
    for (int x = 0; x < width; ++x) {
      uint8_t* p = image.At(x, y);
      p[0] = row[3 * x + 2];  // stored blue, green, red
      p[1] = row[3 * x + 1];
      p[2] = row[3 * x];
    }
  }
  return image;
}

// ---- The X server ----

namespace {
int IgnoreXError(Display*, XErrorEvent*) { return 0; }
}  // namespace

namespace {
// The bit position of the lowest set bit of a colour mask, and its width.
int Shift(unsigned long mask) {
  int shift = 0;
  while (mask != 0 && (mask & 1) == 0) mask >>= 1, ++shift;
  return shift;
}
int Bits(unsigned long mask) {
  int bits = 0;
  for (; mask != 0; mask >>= 1) bits += mask & 1;
  return bits;
}
}  // namespace

Image Screenshot(int left, int top, int width, int height) {
  Image image;
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return image;
  XSetErrorHandler(IgnoreXError);
  XImage* raw = XGetImage(display, DefaultRootWindow(display), left, top, static_cast<unsigned>(width),
                          static_cast<unsigned>(height), AllPlanes, ZPixmap);
  if (raw != nullptr) {
    // The root window's visual is a TrueColor one: each pixel holds its
    // red, green and blue in the masks' bits.
    const unsigned long masks[3] = {raw->red_mask, raw->green_mask, raw->blue_mask};
    const int shifts[3] = {Shift(masks[0]), Shift(masks[1]), Shift(masks[2])};
    const int bits[3] = {Bits(masks[0]), Bits(masks[1]), Bits(masks[2])};
    image.width = width;
    image.height = height;
    image.rgb.resize(3 * static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const unsigned long pixel = XGetPixel(raw, x, y);
        uint8_t* out = image.At(x, y);
        for (int c = 0; c < 3; ++c) {
          const unsigned long value = (pixel & masks[c]) >> shifts[c];
          out[c] = static_cast<uint8_t>(bits[c] >= 8 ? value >> (bits[c] - 8) : value << (8 - bits[c]));
        }
      }
    XDestroyImage(raw);
  }
  XCloseDisplay(display);
  return image;
}

XScreen::XScreen() : display_(XOpenDisplay(nullptr)) { XSetErrorHandler(IgnoreXError); }

XScreen::~XScreen() {
  if (display_ != nullptr) XCloseDisplay(display_);
}

std::string XScreen::Property(unsigned long window, const char* name, unsigned long type) {
  Atom actual_type = 0;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  std::string value;
  if (XGetWindowProperty(display_, window, XInternAtom(display_, name, False), 0, 1024, False, type, &actual_type,
                         &format, &items, &after, &data) == Success &&
      data != nullptr) {
    // 32-bit items come as longs.
    value.assign(reinterpret_cast<char*>(data), items * (format == 32 ? sizeof(long) : format / 8));
  }
  if (data != nullptr) XFree(data);
  return value;
}

std::string XScreen::Title(unsigned long window) {
  std::string title = Property(window, "_NET_WM_NAME", AnyPropertyType);
  return title.empty() ? Property(window, "WM_NAME", AnyPropertyType) : title;
}

bool XScreen::Viewable(unsigned long window) {
  XWindowAttributes attributes{};
  return XGetWindowAttributes(display_, window, &attributes) && attributes.map_state == IsViewable;
}

Geometry XScreen::GeometryOf(unsigned long window) {
  XWindowAttributes attributes{};
  Geometry g;
  if (!XGetWindowAttributes(display_, window, &attributes)) return g;
  Window child = 0;
  XTranslateCoordinates(display_, window, DefaultRootWindow(display_), 0, 0, &g.x, &g.y, &child);
  g.width = attributes.width;
  g.height = attributes.height;
  return g;
}

std::vector<std::string> XScreen::Atoms(unsigned long window, const char* property) {
  const std::string value = Property(window, property, XA_ATOM);
  std::vector<std::string> names;
  for (size_t at = 0; at + sizeof(Atom) <= value.size(); at += sizeof(Atom)) {
    Atom atom = 0;
    std::memcpy(&atom, value.data() + at, sizeof atom);
    if (char* name = XGetAtomName(display_, atom)) {
      names.emplace_back(name);
      XFree(name);
    }
  }
  return names;
}

unsigned long XScreen::Find(const std::string& title) {
  return FindIf([&](const std::string& t) { return t == title; });
}

unsigned long XScreen::FindIf(const std::function<bool(const std::string&)>& matches) {
  if (display_ == nullptr) return 0;
  XSync(display_, False);
  return Search(DefaultRootWindow(display_), matches);
}

unsigned long XScreen::Search(unsigned long window, const std::function<bool(const std::string&)>& matches) {
  if (Viewable(window) && matches(Title(window))) return window;
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  unsigned long found = 0;
  if (XQueryTree(display_, window, &root, &parent, &children, &count)) {
    for (unsigned int i = 0; i < count && found == 0; ++i) found = Search(children[i], matches);
    if (children != nullptr) XFree(children);
  }
  return found;
}

unsigned long WaitForWindow(XScreen& screen, const std::string& title, Millis limit) {
  unsigned long window = 0;
  WaitUntil([&] { return (window = screen.Find(title)) != 0; }, limit);
  return window;
}

bool IsPlayerTitle(const std::string& title) {
  return title == "QUARB II" || (title.rfind("QUARB II - [ ", 0) == 0 && title.size() >= 15 &&
                                 title.compare(title.size() - 2, 2, " ]") == 0);
}

// ---- Input ----

void MovePointer(int x, int y) { Shell("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y)); }

void Click(int x, int y) {
  // Held as long as a person holds a button. The Windows player under Wine
  // hands every press on its window to the window manager as the start of a
  // move (_NET_WM_MOVERESIZE); a press and release a few microseconds apart,
  // as `xdotool click` makes them, is over before openbox takes the pointer,
  // and openbox then drags the window along with the pointer until the next
  // press.
  MovePointer(x, y);
  Shell("xdotool mousedown 1");
  std::this_thread::sleep_for(150ms);
  Shell("xdotool mouseup 1");
}

void PressKeyIn(unsigned long window, const std::string& key) {
  // Through the keyboard's focus: Wine ignores key events sent to a window
  // (`xdotool key --window`, XSendEvent).
  Shell("xdotool windowactivate --sync " + std::to_string(window) + " >/dev/null 2>&1");
  Shell("xdotool key " + key);
}

// ---- The player's window and content ----

std::vector<int> WhiteInBand(const Image& window) {
  std::vector<int> white;
  if (window.width != kWidth || window.height != kHeight) return white;
  for (int y = skin_layout::kTrackTextTop; y < skin_layout::kTrackTextBottom; ++y)
    for (int x = 0; x < kWidth; ++x)
      if (window.IsWhite(x, y)) white.push_back(y * kWidth + x);
  return white;
}

std::string Latin1ToUtf8(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::string SourceDir() { return QUARB_SOURCE_DIR; }

std::vector<PlaylistEntry> Playlist() {
  const std::string disk = SourceDir() + "/resources/disk/";
  std::ifstream in(disk + "playlist.csv", std::ios::binary);
  std::vector<PlaylistEntry> entries;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t semicolon = line.find(';');
    if (semicolon == std::string::npos) continue;
    std::string song = line.substr(semicolon + 1);
    for (char& c : song)
      if (c == '\\') c = '/';
    entries.push_back({line.substr(0, semicolon), disk + song});
  }
  return entries;
}

}  // namespace e2e
