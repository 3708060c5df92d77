#include "tools/extract/archive_listing.h"

#include <cstring>

#include "archive/archive_format.h"

namespace tools {

namespace {

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

Listing ListArchive(const uint8_t* data, size_t size) {
  Listing listing;
  if (size < 7 + rar::kMainHeaderSize ||
      (std::memcmp(data, rar::kSignature, 7) != 0 && std::memcmp(data, rar::kAlternativeSignature, 7) != 0)) {
    return listing;
  }
  listing.is_archive = true;
  const uint8_t* main = data + 7;
  listing.solid = (Le16(main + 3) & rar::kMainSolid) != 0;
  uint64_t pos = 7 + static_cast<uint64_t>(Le16(main + 5));
  bool past_old_sub_block = false;
  while (pos < size) {
    const uint8_t* b = data + pos;
    uint64_t left = size - pos;
    if (left < 7) {
      listing.damage = "a block at offset " + std::to_string(pos) + " is cut short";
      break;
    }
    uint8_t type = b[2];
    uint16_t flags = Le16(b + 3);
    uint16_t header_size = Le16(b + 5);
    bool has_data = (flags & rar::kLongBlock) != 0;
    if (header_size < 7 || (has_data && (left < 11 || header_size < 11))) {
      listing.damage = "the block at offset " + std::to_string(pos) + " has a bad header size";
      break;
    }
    uint64_t next = pos + header_size + (has_data ? Le32(b + 7) : 0);
    if (type == rar::kFileBlock) {
      if (left < rar::kFileHeaderSize || header_size < rar::kFileHeaderSize + Le16(b + 26) ||
          left < rar::kFileHeaderSize + Le16(b + 26)) {
        listing.damage = "the file header at offset " + std::to_string(pos) + " is damaged";
        break;
      }
      ListedEntry e;
      e.offset = static_cast<uint32_t>(pos);
      e.flags = flags;
      e.packed_size = Le32(b + 7);
      e.unpacked_size = Le32(b + 11);
      e.file_crc = Le32(b + 16);
      e.version_needed = b[24];
      e.method = b[25];
      // Names flagged as Unicode carry an encoded form after a NUL; the
      // 8-bit part before it is the name the reader matches.
      e.name.assign(reinterpret_cast<const char*>(b + 32), Le16(b + 26));
      e.name.resize(std::strlen(e.name.c_str()));
      e.after_old_sub_block = past_old_sub_block;
      listing.entries.push_back(e);
    } else if (type == rar::kOldSubBlock) {
      past_old_sub_block = true;
    }
    if (next > size) {
      listing.damage = "the block at offset " + std::to_string(pos) + " reaches past the end of the archive";
      break;
    }
    pos = next;
  }
  return listing;
}

}  // namespace tools
