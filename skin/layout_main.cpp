// quarb-layout: prints the skin's layout (skin/skin_layout.h) as shell
// variables, for the scripts that click the player:
//   eval "$(build/bin/quarb-layout)"; xdotool mousemove $((X + HOTSPOT_NEXT_X)) ...
// Each hotspot gives HOTSPOT_<NAME>_X and _Y (its centre) and _LEFT, _TOP,
// _RIGHT, _BOTTOM; then SKIN_WIDTH, SKIN_HEIGHT and TRACK_LINE_Y.
#include <cctype>
#include <cstdio>
#include <string>

#include "skin/skin_layout.h"

int main() {
  for (int i = 0; i < skin_layout::kHotspotCount; ++i) {
    std::string name = skin_layout::kHotspotNames[i];
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const skin_layout::Box& b = skin_layout::kHotspots[i];
    std::printf("HOTSPOT_%s_X=%d HOTSPOT_%s_Y=%d HOTSPOT_%s_LEFT=%d HOTSPOT_%s_TOP=%d HOTSPOT_%s_RIGHT=%d "
                "HOTSPOT_%s_BOTTOM=%d\n",
                name.c_str(), b.CentreX(), name.c_str(), b.CentreY(), name.c_str(), b.left, name.c_str(), b.top,
                name.c_str(), b.right, name.c_str(), b.bottom);
  }
  std::printf("SKIN_WIDTH=%d SKIN_HEIGHT=%d TRACK_LINE_Y=%d\n", skin_layout::kWidth, skin_layout::kHeight,
              skin_layout::kTrackLineY);
  return 0;
}
