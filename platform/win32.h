// Everything the player asks of Windows, in one include: the basic types,
// the resource calls, the software GDI and the window system.
#pragma once

#include "platform/gdi/gdi.h"
#include "platform/resources.h"
#include "platform/win32_types.h"
#include "platform/window/window.h"
