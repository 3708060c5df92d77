// The running player: the main loop, the six hotspots and the transport.
//
// Each pass of the loop handles at most one window message, acts on a click
// dispatched in that pass if the pointer lies in a hotspot, draws the track
// line onto the skin surface and sleeps 10 ms. Changing the track while paused
// resumes the paused music while the track line names the chosen entry.
#pragma once

#include <cstdint>

#include "data/playlist.h"
#include "platform/win32.h"
#include "skin/skin_layout.h"

enum class Hotspot { kPrevious, kPlay, kPause, kNext, kMinimise, kClose, kNone };

// Hotspot rectangles in client pixels, in the order they are tested
// (skin/skin_layout.h).
extern const RECT kHotspotRects[6];

inline constexpr int32_t kTrackLineY = skin_layout::kTrackLineY;
inline constexpr int32_t kTrackLineCentre = skin_layout::kTrackLineCentre;  // centred on 400 pixels
inline constexpr uint32_t kMusicLoadOptions = 0x816;

// Runs passes until main_window no longer exists.
void RunMainLoop();
// One pass; exposed for tests.
void MainLoopPass();

Hotspot HotspotAt(POINT client_point);
int32_t PlayTrack(int32_t index);
int32_t PlayEntry(PlaylistEntry* entry);
void TogglePause();
// Draws "%02d: %s" of the current entry centred at y 209 (nothing without one);
// the first line drawn after a track started also invalidates the window.
void DrawTrackLine();
// Where a track line of `width` pixels starts: (400 - width) / 2, truncated
// toward zero.
int32_t TrackLineX(int32_t width);
