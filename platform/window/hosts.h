// Choosing where windows appear. One call at start-up picks the host; it
// also resets the window system (every window, class and queued message of a
// previous host is dropped without messages), so tests call it per case.
// Without a call, the first window-system call uses the headless host.
#pragma once

// A real window through SDL2 (X11 or Wayland). The display is opened at the
// first call that needs it.
void UseSdlHost();

// A virtual 1024 by 768 screen driven and observed through
// platform/window/headless.h.
void UseHeadlessHost();

// Drops every window and closes the host's connection to the display.
void ShutdownHost();
