// A read-only walk over every block of an archive, for listing and for telling
// the user why an extraction failed. It reads more than the extraction engine
// does (it walks past blocks the engine stops at) and never fails silently:
// damage is described in `damage`.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/archive_format.h"

namespace tools {

// A file block: its header's fields as the reader parses them (the data
// starts at offset + header_size), and where it stands.
struct ListedEntry : rar::FileHeader {
  std::string name;
  uint32_t offset = 0;               // block start in the archive
  bool after_old_sub_block = false;  // the extraction engine never reaches it
};

struct Listing {
  bool is_archive = false;
  bool solid = false;
  std::vector<ListedEntry> entries;
  std::string damage;  // empty when the walk reached the end of the image cleanly
};

Listing ListArchive(const uint8_t* data, size_t size);

}  // namespace tools
