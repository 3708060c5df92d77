// The window icon: a 32 by 32 record in the skin's colours, on a transparent
// background.
#pragma once

#include "tools/gen/pictures/image.h"

Image PaintIcon();
