#include "tools/gen/pictures/button_painter.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "tools/gen/pictures/layout.h"
#include "tools/gen/pictures/paint.h"

namespace {

// Symbols in pixel art, drawn at an offset inside the button. They are the
// ones people know from tape decks: |<<  >  ||  >>|, and _ and x.
const std::vector<const char*> kPreviousSymbol = {
    "#..#..#",
    "#.##.##",
    "#######",
    "#.##.##",
    "#..#..#",
};
const std::vector<const char*> kNextSymbol = {
    "#..#..#",
    "##.##.#",
    "#######",
    "##.##.#",
    "#..#..#",
};
const std::vector<const char*> kPlaySymbol = {
    "#...",
    "##..",
    "###.",
    "####",
    "###.",
    "##..",
    "#...",
};
const std::vector<const char*> kPauseSymbol = {
    "##.##",
    "##.##",
    "##.##",
    "##.##",
    "##.##",
};
const std::vector<const char*> kMinimiseSymbol = {
    "###",
};
const std::vector<const char*> kCloseSymbol = {
    "#...#",
    ".#.#.",
    "..#..",
    ".#.#.",
    "#...#",
};

// A raised key: a bevelled rim (lit from the top left) around a brushed
// face, the symbol lit in the accent colour. Corners are softened so the
// key reads as rounded even at 7 pixels.
void PaintKey(Image& skin, Box box, const std::vector<const char*>& symbol, int sx, int sy,
              Rgb face_top, Rgb face_bottom, Rgb lit) {
  VerticalGradient(skin, box, face_top, face_bottom);
  Bevel(skin, box, Mix(face_top, Hex(0xFFFFFF), 0.45f), Scale(face_bottom, 0.45f));
  for (int cx : {box.left, box.right - 1}) {
    for (int cy : {box.top, box.bottom - 1}) skin.Blend(cx, cy, Scale(face_bottom, 0.6f), 0.7f);
  }
  DrawPattern(skin, box.left + sx, box.top + sy, symbol, lit);
}

void PaintTray(Image& skin) {
  // A recessed pill under the transport keys, open to the band above.
  const Box tray{166, 226, 236, 240};
  const float r = 6;
  auto inside = [&](float x, float y) {
    const float cx = std::clamp(x, tray.left + r, tray.right - r);
    const float cy = std::clamp(y, tray.top + r, tray.bottom - r);
    return std::hypot(x - cx, y - cy) < r;
  };
  FillShape(skin, {tray.left - 1, tray.top, tray.right + 1, tray.bottom + 2},
            [&](float x, float y) { return inside(x, y - 1); }, Hex(0x8196B4), 0.35f);
  PaintShape(skin, tray, inside, [&](float, float y) {
    return Mix(Hex(0x0B0F17), Hex(0x1C2433), (y - tray.top) / tray.height());
  });
}

}  // namespace

void PaintButtons(Image& skin) {
  PaintTray(skin);
  const Rgb key_top = Hex(0x5F7392), key_bottom = Hex(0x2E3A4F);
  const Rgb cyan = Hex(0x9FEAFF);
  PaintKey(skin, layout::kPrevious, kPreviousSymbol, 2, 3, key_top, key_bottom, cyan);
  PaintKey(skin, layout::kPlay, kPlaySymbol, 4, 2, key_top, key_bottom, Hex(0x8CFFB4));
  PaintKey(skin, layout::kPause, kPauseSymbol, 3, 3, key_top, key_bottom, cyan);
  PaintKey(skin, layout::kNext, kNextSymbol, 1, 3, key_top, key_bottom, cyan);
  PaintKey(skin, layout::kMinimise, kMinimiseSymbol, 2, 4, Hex(0x66799A), Hex(0x354359),
           Hex(0xF2F8FF));
  PaintKey(skin, layout::kClose, kCloseSymbol, 1, 1, Hex(0xD9606A), Hex(0x8A2430),
           Hex(0xFFE8E8));
}
