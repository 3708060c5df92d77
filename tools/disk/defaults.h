// The built-in content a disk takes where the musician gives none: the
// player's own skin, region data, font (descriptor and page) and icon,
// compiled into quarb-disk from resources/ (cmake/embed_files.cmake).
#pragma once

#include <cstdint>
#include <vector>

namespace disk_defaults {

std::vector<uint8_t> Skin();            // resources/skin.bmp
std::vector<uint8_t> Region();          // resources/region.bin
std::vector<uint8_t> FontPage();        // resources/font.bmp
std::vector<uint8_t> FontDescriptor();  // resources/disk/font.fnt
std::vector<uint8_t> Icon();            // resources/icon.ico

}  // namespace disk_defaults
