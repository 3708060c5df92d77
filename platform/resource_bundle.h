// Resources appended to a built player: how quarb-disk gives a prebuilt Linux
// player a disk of its own without a compiler or linker.
//
// The bundle is written after the last byte of the executable (the system's
// loader ignores what follows the ELF image's segments) and ends in a
// trailer, so a program finds it by reading its own file backwards:
//
//   entries     u32 count, then per entry: u16 numeric type (0 for a named
//               one), u16 id, u32 name length, the type name, u32 size, bytes
//   trailer     u64 size of the entries, u32 CRC-32 of the entries,
//               u32 version (1), 8 bytes "QUARBRES"
//
// All numbers little-endian. A player that finds a bundle uses its resources
// instead of the ones compiled into it; one whose bundle is damaged stops
// rather than play something else. Pure C++: quarb-disk writes bundles on
// every system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace resource_bundle {

inline constexpr char kMagic[8] = {'Q', 'U', 'A', 'R', 'B', 'R', 'E', 'S'};
inline constexpr uint32_t kVersion = 1;
inline constexpr size_t kTrailerSize = 24;

struct Entry {
  std::string type_name;  // "BINARY", or empty for a numeric type
  uint16_t type_id = 0;   // 2 bitmap, 14 group icon, ... when type_name is empty
  uint16_t id = 0;
  std::vector<uint8_t> bytes;
};

// The bundle with its trailer, to append to an executable.
std::vector<uint8_t> Write(const std::vector<Entry>& entries);

enum class Status {
  kNone,     // the file ends in no trailer: nothing was appended
  kValid,    // `entries` holds the bundle
  kDamaged,  // a trailer, but the bundle does not check out (`error` says why)
};

// Reads the bundle at the end of `file`, which holds the whole file.
Status Read(const uint8_t* file, size_t size, std::vector<Entry>* entries, std::string* error);

// Where the bundle of `file` begins (its size without the bundle); `size`
// when there is none or it is damaged. quarb-disk replaces a bundle by
// cutting the file there.
size_t Start(const uint8_t* file, size_t size);

}  // namespace resource_bundle
