#include "tools/extract/archive_listing.h"

#include <cstring>

#include "archive/archive_format.h"

namespace tools {

Listing ListArchive(const uint8_t* data, size_t size) {
  Listing listing;
  if (size < rar::kSignatureSize + rar::kMainHeaderSize ||
      (std::memcmp(data, rar::kSignature, rar::kSignatureSize) != 0 &&
       std::memcmp(data, rar::kAlternativeSignature, rar::kSignatureSize) != 0)) {
    return listing;
  }
  listing.is_archive = true;
  const rar::MainHeader main = rar::ParseMainHeader(data + rar::kSignatureSize);
  listing.solid = (main.flags & rar::kMainSolid) != 0;
  uint64_t pos = rar::kSignatureSize + static_cast<uint64_t>(main.header_size);
  bool past_old_sub_block = false;
  while (pos < size) {
    const uint8_t* b = data + pos;
    uint64_t left = size - pos;
    if (left < rar::kBlockHeaderSize) {
      listing.damage = "a block at offset " + std::to_string(pos) + " is cut short";
      break;
    }
    const rar::BlockHeader block = rar::ParseBlockHeader(b);
    bool has_data = (block.flags & rar::kLongBlock) != 0;
    // A long block's header holds at least its data size.
    const uint32_t long_header = rar::kDataSizeAt + 4;
    if (block.header_size < rar::kBlockHeaderSize ||
        (has_data && (left < long_header || block.header_size < long_header))) {
      listing.damage = "the block at offset " + std::to_string(pos) + " has a bad header size";
      break;
    }
    uint64_t next = pos + block.header_size + (has_data ? rar::LoadLe32(b + rar::kDataSizeAt) : 0);
    if (block.block_type == rar::kFileBlock) {
      if (left < rar::kFileHeaderSize) {
        listing.damage = "the file header at offset " + std::to_string(pos) + " is damaged";
        break;
      }
      const rar::FileHeader h = rar::ParseFileHeader(b);
      if (!rar::HeaderHoldsName(h) || left < rar::kFileHeaderSize + h.name_size) {
        listing.damage = "the file header at offset " + std::to_string(pos) + " is damaged";
        break;
      }
      ListedEntry e;
      static_cast<rar::FileHeader&>(e) = h;
      e.offset = static_cast<uint32_t>(pos);
      // Names flagged as Unicode carry an encoded form after a NUL; the
      // 8-bit part before it is the name the reader matches.
      e.name.assign(reinterpret_cast<const char*>(b + rar::kFileHeaderSize), h.name_size);
      e.name.resize(std::strlen(e.name.c_str()));
      e.after_old_sub_block = past_old_sub_block;
      listing.entries.push_back(e);
    } else if (block.block_type == rar::kOldSubBlock) {
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
