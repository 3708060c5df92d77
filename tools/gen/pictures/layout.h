// Where things are on the skin. The hotspots are the player's own fixed
// rectangles (right and bottom edges outside); the buttons are drawn exactly
// inside them, so that what the user sees is what the player hit-tests.
#pragma once

#include "tools/gen/pictures/paint.h"

namespace layout {

constexpr int kWidth = 400;
constexpr int kHeight = 246;

constexpr Box kPrevious{173, 227, 183, 237};
constexpr Box kPlay{187, 227, 197, 237};
constexpr Box kPause{203, 227, 213, 237};
constexpr Box kNext{219, 227, 229, 237};
constexpr Box kMinimise{384, 3, 391, 10};
constexpr Box kClose{392, 3, 399, 10};

// The player writes the track line with the pen at y 209, centred on x 200,
// by OR-ing white glyph pixels: it needs a dark band under it.
constexpr int kPenY = 209;
constexpr Box kTrackBand{8, 204, 392, 226};  // bevel included

constexpr Box kTitleStrip{3, 1, 397, 12};

}  // namespace layout
