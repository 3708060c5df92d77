// Makes damaged copies of the player's scrambled disk image, for the players
// that embed them (quarb_damaged_image_test).
//
//   damage_image cut  IN OUT NAME         the image ends in the middle of NAME's data
//   damage_image flip IN OUT NAME [KEEP]  one bit of NAME's data flipped, so that
//                                         NAME no longer extracts (and KEEP still
//                                         does, when given)
//
// The damage is checked with the engine itself before the image is written,
// so that a player built on it is sure to meet it.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "archive/extract.h"
#include "data/memory_archive.h"
#include "tools/common/file_io.h"
#include "tools/extract/archive_listing.h"

namespace {

using Bytes = std::vector<uint8_t>;

[[noreturn]] void Fail(const std::string& why) {
  std::fprintf(stderr, "damage_image: %s\n", why.c_str());
  std::exit(1);
}

bool Extracts(Bytes plain, const std::string& name) {
  MemoryArchive archive{plain.data(), static_cast<uint32_t>(plain.size()), 0};
  uint8_t* buffer = nullptr;
  uint32_t size = 0;
  int ok = ExtractFile(&buffer, &size, name.c_str(), &archive, nullptr);
  std::free(buffer);
  return ok != 0;
}

// Where NAME's packed data lies: [first, end).
void DataOf(const Bytes& plain, const std::string& name, uint32_t* first, uint32_t* end) {
  tools::Listing listing = tools::ListArchive(plain.data(), plain.size());
  for (const tools::ListedEntry& e : listing.entries) {
    if (!NamesMatch(e.name.c_str(), name.c_str())) continue;
    *first = e.offset + e.header_size;
    *end = *first + e.packed_size;
    if (*first >= *end || *end > plain.size()) Fail(name + " has no data to damage");
    return;
  }
  Fail("no " + name + " in the image");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5 || argc > 6) {
    std::fprintf(stderr, "usage: damage_image cut|flip IN OUT NAME [KEEP]\n");
    return 2;
  }
  const std::string mode = argv[1], in = argv[2], out = argv[3], name = argv[4];
  const std::string keep = argc == 6 ? argv[5] : "";
  try {
    Bytes plain = tools::ReadWholeFile(in);
    for (uint8_t& b : plain) b ^= kArchiveKey;
    if (!Extracts(plain, name)) Fail(name + " does not extract from the undamaged image");
    uint32_t first = 0, end = 0;
    DataOf(plain, name, &first, &end);

    if (mode == "cut") {
      plain.resize(first + (end - first) / 2);
      if (Extracts(plain, name)) Fail(name + " survives the cut");
    } else if (mode == "flip") {
      // From the middle of the data outwards, the first bit that does it.
      std::optional<uint32_t> found;
      const uint32_t middle = first + (end - first) / 2;
      for (uint32_t step = 0; !found && step < 2 * (end - first); ++step) {
        uint32_t at = step % 2 ? middle - (step + 1) / 2 : middle + step / 2;
        if (at < first || at >= end) continue;
        for (int bit = 0; bit < 8 && !found; ++bit) {
          plain[at] ^= static_cast<uint8_t>(1u << bit);
          if (!Extracts(plain, name) && (keep.empty() || Extracts(plain, keep))) {
            found = at;
          } else {
            plain[at] ^= static_cast<uint8_t>(1u << bit);
          }
        }
      }
      if (!found) Fail("no single bit of " + name + " breaks it" + (keep.empty() ? "" : " and keeps " + keep));
    } else {
      Fail("unknown damage '" + mode + "'");
    }

    for (uint8_t& b : plain) b ^= kArchiveKey;
    tools::WriteFileAtomically(out, plain.data(), plain.size());
  } catch (const std::exception& error) {
    Fail(error.what());
  }
  return 0;
}
