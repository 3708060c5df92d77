// Reading and replacing the resources of a 64-bit Windows program (PE32+),
// without a compiler or linker: quarb-disk uses it to turn the prebuilt
// quarb.exe into a player with the musician's own disk image and skin.
//
// Input files are untrusted. Every function throws std::runtime_error, with a
// reason a user can act on, for anything it cannot read or cannot safely
// change; it never reads outside the bytes it was given.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace pe {

// A resource type or name: a number, or a string (UTF-8 here, UTF-16 in the
// file). Write numbers as uint16_t{...}: a plain int does not convert.
using ResourceId = std::variant<uint16_t, std::string>;

// The numeric types the player uses.
inline constexpr uint16_t kTypeBitmap = 2;      // a .bmp without its 14-byte file header
inline constexpr uint16_t kTypeIcon = 3;        // one image of an .ico
inline constexpr uint16_t kTypeGroupIcon = 14;  // the .ico's directory, naming icons by id

struct Resource {
  ResourceId type;  // e.g. kTypeBitmap, or "BINARY"
  ResourceId name;  // e.g. 107
  uint16_t language = 1033;
  std::vector<uint8_t> data;

  friend bool operator==(const Resource&, const Resource&) = default;
};

// The program's resources in the order of its resource directory (named
// types first, then by id; the same within a type). The code page of each
// data entry is not kept. An executable without resources gives none.
std::vector<Resource> ReadResources(const std::vector<uint8_t>& exe);

// A copy of `exe` whose resources are exactly `resources`, in any order; the
// rest of the program is unchanged. String types and names are stored in
// upper case (ASCII letters only), as FindResource looks them up, so a later
// ReadResources gives them in upper case. Two resources with the same type,
// name and language (after that) are refused.
//
// Where the new resources go: if the section holding the resource directory
// is the program's last, in memory and in the file, it is rewritten in place
// with its new size; otherwise (GNU ld puts .reloc after .rsrc) a section
// ".rsrc2" is added after the last one and the old resource bytes stay where
// they were, unused, so that no other section moves. Either way the resource
// section is readable and writable initialized data. Bytes after the last
// section (an overlay, such as a symbol table) are kept after the new data;
// the COFF symbol table pointer follows them. A signature (certificate
// table) is removed, as it could not match the changed program. The header's
// CheckSum is recomputed.
std::vector<uint8_t> ReplaceResources(const std::vector<uint8_t>& exe,
                                      const std::vector<Resource>& resources);

// The checksum the optional header's CheckSum field should hold for `exe`
// (the field's own value does not count). Windows checks it only for
// drivers and a few system files, but GNU ld fills it in, so we keep it true.
uint32_t Checksum(const std::vector<uint8_t>& exe);

}  // namespace pe
