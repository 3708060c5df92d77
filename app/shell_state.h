// The player shell's state: one instance of each, living from start-up to the
// return of the entry function, shared by start-up, the main loop and the main
// window. Everything runs on the one thread that enters the program.
#pragma once

#include <cstdint>

#include "data/memory_archive.h"
#include "data/playlist.h"
#include "platform/playback/bass.h"
#include "platform/win32.h"

class CSkin;

extern HINSTANCE instance_handle;
extern CSkin* skin;              // the skin of the main window
extern MemoryArchive* archive;   // the unscrambled archive image
extern Playlist playlist;
extern HDC background_dc;        // the clean skin image that wipes the track line
extern HWND main_window;
extern HMUSIC music;             // the music last loaded
extern int32_t current_index;    // -1: no current track
extern PlaylistEntry* current_entry;  // entry of the last PlayEntry that succeeded
extern int32_t paused;
extern int32_t clicked;          // a click was dispatched in this pass of the loop
extern int32_t inactive;         // selects the long window title
// The skin surface was restored since the track line was last drawn: the next
// line drawn asks for a repaint, so that it shows even when the repaint that
// the restore asked for came first (at start-up it may be the first message).
extern int32_t line_needs_repaint;
extern HCURSOR hand_cursor;
extern HCURSOR arrow_cursor;

// Puts every variable back to its value at program start (for tests that run
// the shell more than once in a process).
void ResetShellState();
