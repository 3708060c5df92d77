// Damaged copies of the real archives: every truncation and thousands of
// random bit flips must end, either with the right file or with a clean
// failure. Run under the sanitizers as well (scripts/test-sanitized), which
// sets QUARB_SWEEP_SAMPLE=N: then only every cut near a block boundary and
// one in N of the others are tried, and one in N of the flips.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "archive/archive_format.h"
#include "tests/archive/extract_helpers.h"
#include "tests/archive/extract_prefix.h"
#include "tools/common/file_io.h"
#include "tools/extract/archive_listing.h"

namespace {

using namespace testing_helpers;
namespace fs = std::filesystem;

struct Entry {
  std::string name;
  uint32_t start = 0;  // block start
  uint32_t end = 0;    // end of the packed data
  Bytes content;
};

struct Archive {
  std::string file;
  Bytes image;
  std::vector<Entry> entries;  // the compressed entries the decoder supports
};

const std::vector<Archive>& Archives() {
  static const std::vector<Archive> archives = [] {
    std::vector<Archive> out;
    fs::path dir = fs::path(QUARB_TEST_DATA_DIR) / "rar2";
    for (const char* file : {"clamav-clam-v2.rar", "rarfile-rar2-unix-owner.rar",
                             "junrar-BoatModernEnglish-audio-text-unpack20.rar",
                             "junrar-BoatModernEnglish-regular-unpack20.rar",
                             "sharpcompress-Rar2.rar"}) {
      Archive a;
      a.file = file;
      a.image = tools::ReadWholeFile((dir / file).string());
      tools::Listing listing = tools::ListArchive(a.image.data(), a.image.size());
      for (const tools::ListedEntry& e : listing.entries) {
        if (e.method == rar::kMethodStored || (e.flags & rar::kFileDirectory) == rar::kFileDirectory) {
          continue;
        }
        Entry entry;
        entry.name = e.name.substr(0, e.name.find('\0'));
        entry.start = e.offset;
        entry.end = e.offset + e.header_size + e.packed_size;
        std::optional<Bytes> content = Extract(a.image, entry.name);
        if (!content) throw std::runtime_error(a.file + ": " + entry.name + " does not extract");
        entry.content = *content;
        a.entries.push_back(entry);
      }
      out.push_back(std::move(a));
    }
    return out;
  }();
  return archives;
}

// The entry whose block reaches past `offset`, the first such.
const Entry* EntryAt(const Archive& a, uint32_t offset) {
  for (const Entry& e : a.entries) {
    if (offset < e.end) return &e;
  }
  return nullptr;
}

TEST(Robustness, EveryTruncationEndsWithTheFileOrACleanFailure) {
  const uint32_t every = SweepSampleEvery();
  size_t failures = 0;
  size_t successes = 0;
  for (const Archive& a : Archives()) {
    SCOPED_TRACE(a.file);
    ASSERT_FALSE(a.entries.empty());
    for (uint32_t size = 0; size < a.image.size(); ++size) {
      const Entry* e = EntryAt(a, size);
      if (e == nullptr) continue;
      if (size % every != 0 && size >= e->start + 64 && size + 16 < e->end) continue;
      std::optional<Bytes> out = ExtractPrefix(a.image, size, e->name);
      if (out) {
        ASSERT_EQ(*out, e->content) << "cut at " << size;
        ++successes;
      } else {
        ++failures;
      }
    }
  }
  // Cutting into the wanted file's data loses it.
  EXPECT_GT(failures, 100000u / every);
  EXPECT_EQ(successes, 0u);
}

TEST(Robustness, RandomBitFlipsEndWithTheFileOrACleanFailure) {
  std::mt19937 rng(0x5EED);
  const std::vector<Archive>& archives = Archives();
  const int rounds = static_cast<int>(4000 / SweepSampleEvery());
  int failures = 0;
  for (int round = 0; round < rounds; ++round) {
    const Archive& a = archives[rng() % archives.size()];
    const Entry& e = a.entries[rng() % a.entries.size()];
    Bytes image = a.image;
    // Mostly into the wanted file's block, sometimes anywhere before its end.
    int flips = 1 + static_cast<int>(rng() % 3);
    for (int i = 0; i < flips; ++i) {
      uint32_t from = round % 4 == 0 ? 0 : e.start;
      uint32_t at = from + rng() % (e.end - from);
      image[at] ^= static_cast<uint8_t>(1u << (rng() % 8));
    }
    std::optional<Bytes> out = Extract(image, e.name);
    if (out) {
      ASSERT_EQ(*out, e.content) << a.file << " round " << round;
      const uint32_t crc = e.start + rar::kFileCrcAt;
      ASSERT_TRUE(std::equal(image.begin() + crc, image.begin() + crc + 4, a.image.begin() + crc))
          << a.file << " round " << round << ": extracted with a damaged CRC-32";
    } else {
      ++failures;
    }
  }
  EXPECT_GT(failures, rounds * 3 / 4);
}

// Each bit of the wanted file's fixed header flipped in turn: the file comes
// back or the extraction fails cleanly, and a flip in the file's CRC-32
// always fails it.
TEST(Robustness, FlipsInTheWantedFilesHeaderEndWithTheFileOrACleanFailure) {
  for (const Archive& a : Archives()) {
    SCOPED_TRACE(a.file);
    for (const Entry& e : a.entries) {
      SCOPED_TRACE(e.name);
      int crc_flips = 0;
      for (uint32_t at = e.start; at < e.start + rar::kFileHeaderSize; ++at) {
        for (int bit = 0; bit < 8; ++bit) {
          Bytes image = a.image;
          image[at] ^= static_cast<uint8_t>(1u << bit);
          std::optional<Bytes> out = Extract(image, e.name);
          const uint32_t crc = e.start + rar::kFileCrcAt;
          if (at >= crc && at < crc + 4) {
            EXPECT_EQ(out, std::nullopt) << "CRC byte " << at - crc << ", bit " << bit;
            ++crc_flips;
          } else if (out) {
            ASSERT_EQ(*out, e.content) << "header byte " << at - e.start << ", bit " << bit;
          }
        }
      }
      EXPECT_EQ(crc_flips, 32);
    }
  }
}

}  // namespace
