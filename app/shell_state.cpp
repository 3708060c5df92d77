#include "app/shell_state.h"

#include <cstring>

#include "data/font.h"

HINSTANCE instance_handle = nullptr;
CSkin* skin = nullptr;
MemoryArchive* archive = nullptr;
Playlist playlist;
HDC background_dc = nullptr;
HWND main_window = nullptr;
HMUSIC music = 0;
int32_t current_index = -1;
PlaylistEntry* current_entry = nullptr;
int32_t paused = 0;
int32_t clicked = 0;
int32_t inactive = 0;
int32_t line_needs_repaint = 0;
HCURSOR hand_cursor = nullptr;
HCURSOR arrow_cursor = nullptr;

void ResetShellState() {
  instance_handle = nullptr;
  skin = nullptr;
  archive = nullptr;
  std::memset(&playlist, 0, sizeof playlist);
  std::memset(&glyph_table, 0, sizeof glyph_table);
  background_dc = nullptr;
  font_dc = nullptr;
  font_mask = nullptr;
  text_surface = nullptr;
  main_window = nullptr;
  music = 0;
  current_index = -1;
  current_entry = nullptr;
  paused = 0;
  clicked = 0;
  inactive = 0;
  line_needs_repaint = 0;
  hand_cursor = nullptr;
  arrow_cursor = nullptr;
}
