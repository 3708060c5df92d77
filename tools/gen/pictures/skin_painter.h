// Paints the player's skin: a 400 by 246 picture with its own frame (the
// window has none), the logo, a record, a spectrum display, the dark band the
// player writes the track line on, and the six buttons inside their hotspots.
#pragma once

#include <string>

#include "tools/gen/pictures/image.h"

// `font_path` is an outline font for the logo and the small labels. Throws
// std::runtime_error when it cannot be opened.
Image PaintSkin(const std::string& font_path);
