// The program's one window: class "disk", a borderless pop-up of the skin's
// size in the middle of the screen, and the title rule: "QUARB II" while
// active, "QUARB II - [ <title> ]" while inactive once an entry has played.
#pragma once

#include "platform/win32.h"

inline constexpr char kWindowTitle[] = "QUARB II";
inline constexpr char kWindowClass[] = "disk";
inline constexpr int kIconResourceId = 109;

// Registers the class and creates the (hidden) window; null on failure.
HWND CreateMainWindow(int width, int height, const char* class_name, const char* title);
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
void UpdateWindowTitle();
