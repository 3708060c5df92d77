// Where things are on the skin. The hotspots are the player's own fixed
// rectangles (right and bottom edges outside); the buttons are drawn exactly
// inside them, so that what the user sees is what the player hit-tests.
#pragma once

#include "skin/skin_layout.h"
#include "tools/gen/pictures/paint.h"

namespace layout {

constexpr int kWidth = skin_layout::kWidth;
constexpr int kHeight = skin_layout::kHeight;

constexpr Box FromLayout(skin_layout::Box b) { return Box{b.left, b.top, b.right, b.bottom}; }
constexpr Box kPrevious = FromLayout(skin_layout::kHotspots[skin_layout::kPrevious]);
constexpr Box kPlay = FromLayout(skin_layout::kHotspots[skin_layout::kPlay]);
constexpr Box kPause = FromLayout(skin_layout::kHotspots[skin_layout::kPause]);
constexpr Box kNext = FromLayout(skin_layout::kHotspots[skin_layout::kNext]);
constexpr Box kMinimise = FromLayout(skin_layout::kHotspots[skin_layout::kMinimise]);
constexpr Box kClose = FromLayout(skin_layout::kHotspots[skin_layout::kClose]);

// The player writes the track line with the pen at y 209, centred on x 200,
// by OR-ing white glyph pixels: it needs a dark band under it.
constexpr int kPenY = skin_layout::kTrackLineY;
constexpr Box kTrackBand = FromLayout(skin_layout::kTrackBand);  // bevel included

constexpr Box kTitleStrip{3, 1, 397, 12};

}  // namespace layout
