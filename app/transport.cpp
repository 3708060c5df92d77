#include "app/transport.h"

#include <cstdio>
#include <cstdlib>

#include "app/main_window.h"
#include "app/shell_state.h"
#include "archive/extract.h"
#include "data/font.h"
#include "skin/skin.h"
#include "skin/skin_layout.h"

namespace {
constexpr RECT ToRect(const skin_layout::Box& b) { return RECT{b.left, b.top, b.right, b.bottom}; }
}  // namespace

const RECT kHotspotRects[6] = {
    ToRect(skin_layout::kHotspots[skin_layout::kPrevious]), ToRect(skin_layout::kHotspots[skin_layout::kPlay]),
    ToRect(skin_layout::kHotspots[skin_layout::kPause]),    ToRect(skin_layout::kHotspots[skin_layout::kNext]),
    ToRect(skin_layout::kHotspots[skin_layout::kMinimise]), ToRect(skin_layout::kHotspots[skin_layout::kClose]),
};

namespace {

bool PlaylistIsEmpty() { return playlist.count <= 0; }

void RunHotspot(Hotspot hotspot) {
  const int32_t count = playlist.count;
  switch (hotspot) {
    case Hotspot::kPrevious:
      if (PlaylistIsEmpty()) return;  // there is no entry to go back to
      PlayTrack(current_index == -1 || current_index == 0 ? count - 1 : current_index - 1);
      break;
    case Hotspot::kPlay:
      if (PlaylistIsEmpty()) return;
      if (current_index == -1) current_index = 0;
      PlayTrack(current_index);
      break;
    case Hotspot::kPause:
      if (PlaylistIsEmpty()) return;
      TogglePause();
      break;
    case Hotspot::kNext:
      if (PlaylistIsEmpty()) return;
      PlayTrack(current_index < count - 1 ? current_index + 1 : 0);
      break;
    case Hotspot::kMinimise:
      ShowWindow(main_window, SW_MINIMIZE);
      inactive = 1;
      UpdateWindowTitle();
      break;
    case Hotspot::kClose:
      DestroyWindow(main_window);
      break;
    case Hotspot::kNone:
      break;
  }
}

}  // namespace

Hotspot HotspotAt(POINT point) {
  for (int i = 0; i < 6; ++i) {
    if (PtInRect(&kHotspotRects[i], point)) return static_cast<Hotspot>(i);
  }
  return Hotspot::kNone;
}

void MainLoopPass() {
  clicked = 0;
  MSG message;
  if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  POINT point{};
  GetCursorPos(&point);
  ScreenToClient(main_window, &point);
  Hotspot hotspot = HotspotAt(point);
  if (hotspot != Hotspot::kNone) {
    SetCursor(hand_cursor);
    if (clicked == 1) RunHotspot(hotspot);
  } else {
    SetCursor(arrow_cursor);
  }
  DrawTrackLine();
  Sleep(10);
}

void RunMainLoop() {
  while (IsWindow(main_window)) MainLoopPass();
}

void DrawTrackLine() {
  if (current_index < 0 || current_index >= playlist.count) return;
  // At most 255 characters: a longer line is cut here.
  char line[256];
  std::snprintf(line, sizeof line, "%02d: %s", current_index + 1, playlist.entries[current_index].title);
  DrawString(TrackLineX(MeasureString(line)), kTrackLineY, line);
  if (line_needs_repaint) {
    line_needs_repaint = 0;
    InvalidateRect(main_window, nullptr, FALSE);
  }
}

int32_t TrackLineX(int32_t width) {
  // In 64 bits: a hostile font can make any width.
  return static_cast<int32_t>((kTrackLineCentre - static_cast<int64_t>(width)) / 2);
}

int32_t PlayTrack(int32_t index) {
  current_index = index;
  if (index < 0 || index >= playlist.count) return 0;
  return PlayEntry(&playlist.entries[index]);
}

int32_t PlayEntry(PlaylistEntry* entry) {
  if (paused == 0) BASS_Stop();
  BASS_Start();
  uint8_t* module = nullptr;
  uint32_t size = 0;
  if (!ExtractFile(&module, &size, entry->file_name, archive, nullptr)) return 0;
  if (paused == 0) {
    BASS_MusicFree(music);
    music = BASS_MusicLoad(TRUE, module, 0, size, kMusicLoadOptions);
    if (music == 0) {
      std::free(module);
      return 0;
    }
    if (!BASS_MusicPlay(music)) {
      std::free(module);
      return 0;
    }
  }
  current_entry = entry;
  paused = 0;
  UpdateWindowTitle();
  std::free(module);
  BitBlt(skin->Surface(), 0, 0, skin->Width(), skin->Height(), background_dc, 0, 0, SRCCOPY);
  InvalidateRect(main_window, nullptr, FALSE);
  line_needs_repaint = 1;
  return 1;
}

void TogglePause() {
  if (paused == 1) {
    BASS_Start();
    paused = 0;
  } else {
    BASS_Pause();
    paused = 1;
  }
}
