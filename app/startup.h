// The program's entry: builds everything from the embedded resources in a
// fixed order, plays the first entry, runs the main loop and shuts down.
//
// Exit statuses: 0 after a normal run; 1 when audio output cannot be
// initialised (after the message box); 2 when the skin cannot be built;
// 3 when the archive image, "playlist.csv" or "font.fnt" cannot be
// extracted; -1 when the main window cannot be created. The stops with 2 and
// 3 print one line on standard error and release what was built.
#pragma once

#include "platform/win32.h"

inline constexpr int kExitAudioFailed = 1;
inline constexpr int kExitNoSkin = 2;
inline constexpr int kExitNoContent = 3;
inline constexpr int kExitNoWindow = -1;

inline constexpr WORD kRegionResourceId = 103;
inline constexpr WORD kSkinBitmapId = 102;
inline constexpr WORD kFontPageId = 168;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show);

// WinMain in its three stages, for tests that drive the main loop pass by
// pass: StartUp builds everything and plays entry 0, returning true when the
// player runs and otherwise false with the exit status in `status`;
// ShutDown tears down after the loop and returns the status of a normal run.
bool StartUp(HINSTANCE instance, int* status);
int ShutDown();
