// A prebuilt player given a disk of its own: its resources replaced, with no
// compiler or linker.
//
// Linux: the resources are appended to the player's file as a checked bundle
// (platform/resource_bundle.h), which the player reads before its own table.
// Windows: they become the program's PE resources (tools/disk/pe_resources.h),
// found by FindResourceA as ever.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace disk {

using Bytes = std::vector<uint8_t>;

enum class Target { kLinux, kWindows };

// What a disk is made of, in the form the player's resources take.
struct DiskResources {
  Bytes skin;       // bitmap 102: the .bmp file without its file header
  Bytes region;     // "BINARY" 103: region data
  Bytes image;      // "BINARY" 107: the scrambled archive
  Bytes font_page;  // bitmap 168
  Bytes icon;       // icon 109: a whole .ico file
};

// Which system a program is for, from its first bytes; throws
// std::runtime_error for neither an ELF nor a PE file.
Target ProgramTarget(const Bytes& program, const std::string& path);

// The player with `resources` in place of its own. Throws std::runtime_error
// when the player is not one of `target`'s programs or cannot be rewritten.
Bytes MakePlayer(Target target, const Bytes& player, const std::string& player_path,
                 const DiskResources& resources);

}  // namespace disk
