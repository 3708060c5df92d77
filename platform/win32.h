// Everything the player asks of Windows, in one include.
//
// On Windows this is the real API: <windows.h>, with USER32, GDI32 and
// KERNEL32 answering. Elsewhere it is our own Win32-shaped layer: the basic
// types, the resource calls, the software GDI and the window system.
#pragma once

#ifdef _WIN32
#include "platform/win32_types.h"
#else
#include "platform/gdi/gdi.h"
#include "platform/resources.h"
#include "platform/win32_types.h"
#include "platform/window/window.h"
#endif
