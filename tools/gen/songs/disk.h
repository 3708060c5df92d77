// The disk's songs in playlist order, each written in scores/.
#pragma once

#include <vector>

#include "tools/gen/songs/score.h"

namespace songs {

Song HarbourLights();
Song CafePolaris();
Song GlassTundra();
Song Fruehlingsmarkt();
Song SlowOrbit();
Song MidnightRelay();

inline std::vector<Song> DiskSongs() {
  return {HarbourLights(), CafePolaris(), GlassTundra(), Fruehlingsmarkt(), SlowOrbit(), MidnightRelay()};
}

}  // namespace songs
