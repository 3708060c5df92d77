// The skin's six buttons: four transport buttons on a small tray under the
// track band, minimise and close in the title strip. Every button's pixels
// stay inside its hotspot rectangle.
#pragma once

#include "tools/gen/pictures/image.h"

void PaintButtons(Image& skin);
