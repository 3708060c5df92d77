// Where things are on the player's skin: the window's size, the six hotspots
// and the band the track line is written in. Plain C++ (no platform types),
// so that the player, the picture generator, the tests, the benchmarks and,
// through quarb-layout, the scripts all take it from here.
#pragma once

namespace skin_layout {

// Left, top, right, bottom in client pixels; the right and bottom edges lie
// outside (the PtInRect rule).
struct Box {
  int left, top, right, bottom;
  constexpr int CentreX() const { return (left + right) / 2; }
  constexpr int CentreY() const { return (top + bottom) / 2; }
};

// The size of the shipped skin (bitmap 102); the player takes its window's
// size from the bitmap itself.
inline constexpr int kWidth = 400;
inline constexpr int kHeight = 246;

// The hotspots in the order the main loop tests them.
enum HotspotIndex { kPrevious, kPlay, kPause, kNext, kMinimise, kClose, kHotspotCount };
inline constexpr Box kHotspots[kHotspotCount] = {
    {173, 227, 183, 237},  // previous
    {187, 227, 197, 237},  // play
    {203, 227, 213, 237},  // pause
    {219, 227, 229, 237},  // next
    {384, 3, 391, 10},     // minimise
    {392, 3, 399, 10},     // close
};
inline constexpr const char* kHotspotNames[kHotspotCount] = {"previous", "play", "pause",
                                                             "next",     "minimise", "close"};

// The track line: the pen at y 209, centred on 400 pixels (a fixed number,
// not the skin's width). Its white glyphs fall in the band, which the skin
// keeps dark; the band includes the skin's bevel around it.
inline constexpr int kTrackLineY = 209;
inline constexpr int kTrackLineCentre = 400;
inline constexpr Box kTrackBand{8, 204, 392, 226};
// The rows the glyphs of the track line can reach.
inline constexpr int kTrackTextTop = 205, kTrackTextBottom = 228;

}  // namespace skin_layout
