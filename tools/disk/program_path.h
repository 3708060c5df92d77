// Where quarb-disk finds the prebuilt players it starts from.
#pragma once

#include <string>

#include "tools/disk/player_image.h"

namespace disk {

// The prebuilt player for `target` shipped with quarb-disk: beside the
// running program (quarb, quarb.exe), or in ../lib/quarb/ from there (where
// the Debian package and `make windows` put the Windows one). Throws
// std::runtime_error naming the places looked at when there is none.
std::string FindPlayer(Target target, const char* argv0);

}  // namespace disk
