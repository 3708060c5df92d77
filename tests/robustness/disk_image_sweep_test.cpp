// The player's own disk image, damaged the ways a copied or stored file gets
// damaged: cut off at every length, and with bits flipped anywhere in it.
// Whatever the damage, extracting "playlist.csv", "font.fnt" or a song ends,
// either with the file exactly as the undamaged image gives it or with a clean
// failure (null buffer, size 0).
//
// The image is solid, so extracting a file decodes every file before it; the
// sweeps are arranged so that each cut is paid for once, by the file it cuts
// into. QUARB_SWEEP_SAMPLE=N (the sanitized run sets it) keeps every cut near
// a block boundary but only one in N of the others, and one in N of the flips.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "archive/archive_format.h"
#include "archive/extract.h"
#include "data/archive_image.h"
#include "data/memory_archive.h"
#include "platform/resources.h"
#include "tests/archive/extract_helpers.h"
#include "tests/archive/extract_prefix.h"
#include "tools/extract/archive_listing.h"

namespace {

using Bytes = std::vector<uint8_t>;
using testing_helpers::ExtractPrefix;

struct Member {
  std::string name;
  uint32_t start = 0;       // block start
  uint32_t data_start = 0;  // packed data, right after the header
  uint32_t data_end = 0;    // end of the packed data, where the next block starts
  Bytes content;            // as the undamaged image gives it
};

struct DiskImage {
  Bytes plain;  // unscrambled
  std::vector<Member> members;  // in archive order
};

const DiskImage& Disk() {
  static DiskImage* disk = [] {
    auto* d = new DiskImage;
    size_t count = 0;
    const ResourceEntry* table = EmbeddedResourceTable(&count);
    InstallResourceTable(table, count);
    const uint8_t* stored = LoadBinaryResource(kArchiveResourceId);
    uint32_t size = BinaryResourceSize(kArchiveResourceId);
    if (stored == nullptr) return d;
    d->plain.assign(stored, stored + size);
    for (uint8_t& b : d->plain) b ^= kArchiveKey;

    tools::Listing listing = tools::ListArchive(d->plain.data(), d->plain.size());
    for (const tools::ListedEntry& e : listing.entries) {
      Member m;
      m.name = e.name;
      m.start = e.offset;
      m.data_start = e.offset + e.header_size;
      m.data_end = m.data_start + e.packed_size;
      std::optional<Bytes> content = ExtractPrefix(d->plain, size, m.name);
      if (content) m.content = std::move(*content);
      d->members.push_back(std::move(m));
    }
    return d;
  }();
  return *disk;
}

TEST(DiskImage, HoldsThePlaylistTheFontAndEverySongItNames) {
  const DiskImage& disk = Disk();
  ASSERT_FALSE(disk.plain.empty());
  auto find = [&](const std::string& name) -> const Member* {
    for (const Member& m : disk.members) {
      if (NamesMatch(m.name.c_str(), name.c_str())) return &m;
    }
    return nullptr;
  };
  ASSERT_NE(find("font.fnt"), nullptr);
  const Member* playlist = find("playlist.csv");
  ASSERT_NE(playlist, nullptr);
  std::string text(playlist->content.begin(), playlist->content.end());
  size_t songs = 0;
  for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
    std::string file = text.substr(at, end - at);
    file = file.substr(file.find(';') + 1);
    EXPECT_NE(find(file), nullptr) << file;
    ++songs;
  }
  EXPECT_GT(songs, 0u);
  for (const Member& m : disk.members) {
    EXPECT_FALSE(m.content.empty()) << m.name << " does not extract from the undamaged image";
    EXPECT_LT(m.data_start, m.data_end) << m.name;
  }
  EXPECT_EQ(disk.members.back().data_end, disk.plain.size());
}

// A stretch of cuts into one file's block, from the end of the previous
// file's data up to the end of this file's; long files come in several
// stretches so that they run in parallel.
struct CutRange {
  size_t member;
  uint32_t from, to;
  int part;
};

void PrintTo(const CutRange& r, std::ostream* os) { *os << "cuts " << r.from << " to " << r.to; }

std::vector<CutRange> CutRanges() {
  constexpr uint32_t kStretch = 8192;
  const std::vector<Member>& members = Disk().members;
  std::vector<CutRange> ranges;
  for (size_t i = 0; i < members.size(); ++i) {
    uint32_t from = i == 0 ? 0 : members[i - 1].data_end;
    for (int part = 0; from < members[i].data_end; ++part, from += kStretch) {
      ranges.push_back({i, from, std::min(from + kStretch, members[i].data_end), part});
    }
  }
  return ranges;
}

std::string ParamName(const std::string& file, int part) {
  std::string name = file;
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return part < 0 ? name : name + "_" + std::to_string(part);
}

class DiskImageCuts : public ::testing::TestWithParam<CutRange> {
 protected:
  static void SetUpTestSuite() { image_ = Disk().plain; }
  static inline Bytes image_;  // the one copy the cuts are made in
};

// Every cut into a file's block: the file comes back whole or not at all,
// and no file after the cut is found.
TEST_P(DiskImageCuts, EndWithTheFileOrAFailure) {
  const std::vector<Member>& members = Disk().members;
  const CutRange range = GetParam();
  const Member& m = members[range.member];
  const uint32_t every = testing_helpers::SweepSampleEvery();

  size_t cuts = 0, whole = 0;
  for (uint32_t cut = range.from; cut < range.to; ++cut) {
    // Near the block's boundaries the reader changes what it is reading;
    // those cuts are always tried.
    bool near_boundary = cut < m.data_start + 64 || cut + 16 >= m.data_end;
    if (!near_boundary && cut % every != 0) continue;
    ++cuts;
    std::optional<Bytes> out = ExtractPrefix(image_, cut, m.name);
    if (out) {
      ASSERT_EQ(*out, m.content) << m.name << " from an image cut at " << cut;
      ++whole;
      EXPECT_GE(cut, m.data_start) << m.name << " extracted without its data";
    }
    size_t after = members.size() - range.member - 1;
    if (after > 0 && cuts % 16 == 0) {
      const Member& later = members[range.member + 1 + cuts / 16 % after];
      EXPECT_FALSE(ExtractPrefix(image_, cut, later.name)) << later.name << " found beyond a cut at " << cut;
    }
  }
  RecordProperty("cuts", static_cast<int>(cuts));
  RecordProperty("whole", static_cast<int>(whole));
  EXPECT_GT(cuts, 0u);
}

INSTANTIATE_TEST_SUITE_P(EachFile, DiskImageCuts, ::testing::ValuesIn(CutRanges()),
                         [](const ::testing::TestParamInfo<CutRange>& info) {
                           return ParamName(Disk().members[info.param.member].name, info.param.part);
                         });

// Cutting after a file's data takes nothing from it, wherever the cut lies.
class DiskImageCutsAfter : public ::testing::TestWithParam<size_t> {};

TEST_P(DiskImageCutsAfter, LeaveTheFileWhole) {
  const DiskImage& disk = Disk();
  Bytes image = disk.plain;
  const Member& m = disk.members[GetParam()];
  std::set<uint32_t> cuts = {m.data_end, static_cast<uint32_t>(image.size())};
  for (size_t later = GetParam() + 1; later < disk.members.size(); ++later) {
    const Member& n = disk.members[later];
    for (uint32_t cut : {n.start + 1, n.start + 7, n.data_start, (n.data_start + n.data_end) / 2, n.data_end - 1}) {
      cuts.insert(cut);
    }
  }
  for (uint32_t cut : cuts) {
    std::optional<Bytes> out = ExtractPrefix(image, cut, m.name);
    ASSERT_TRUE(out) << m.name << " lost to a cut at " << cut << " after its data";
    ASSERT_EQ(*out, m.content) << m.name << " changed by a cut at " << cut;
  }
}

INSTANTIATE_TEST_SUITE_P(EachFile, DiskImageCutsAfter, ::testing::Range<size_t>(0, Disk().members.size()),
                         [](const ::testing::TestParamInfo<size_t>& info) {
                           return ParamName(Disk().members[info.param].name, -1);
                         });

// Bit flips anywhere in the image: one to three per round, either scattered
// over the whole image or clustered as in one damaged sector, and one file of
// the image wanted. It comes back as it was or not at all; damage that lies
// wholly after the file's data cannot touch it. Shards run in parallel.
class DiskImageFlips : public ::testing::TestWithParam<int> {};

TEST_P(DiskImageFlips, EndWithTheFileOrAFailure) {
  const DiskImage& disk = Disk();
  ASSERT_FALSE(disk.members.empty());
  const uint32_t size = static_cast<uint32_t>(disk.plain.size());
  const int rounds = static_cast<int>(1000 / testing_helpers::SweepSampleEvery());
  std::mt19937 rng(0xF11Bu + static_cast<unsigned>(GetParam()));

  int lost = 0, kept = 0;
  for (int round = 0; round < rounds; ++round) {
    const Member& m = disk.members[rng() % disk.members.size()];
    Bytes image = disk.plain;
    int flips = 1 + static_cast<int>(rng() % 3);
    uint32_t first = rng() % size;
    uint32_t lowest = first;
    for (int i = 0; i < flips; ++i) {
      uint32_t at = first;
      if (i > 0) at = round % 3 == 0 ? rng() % size : std::min<uint32_t>(size - 1, first + rng() % 512);
      image[at] ^= static_cast<uint8_t>(1u << (rng() % 8));
      lowest = std::min(lowest, at);
    }
    std::optional<Bytes> out = ExtractPrefix(image, size, m.name);
    if (out) {
      ASSERT_EQ(*out, m.content) << m.name << ", round " << round;
      const uint32_t crc = m.start + rar::kFileCrcAt;
      ASSERT_TRUE(std::equal(image.begin() + crc, image.begin() + crc + 4, disk.plain.begin() + crc))
          << m.name << " extracted with a damaged CRC-32, round " << round;
      ++kept;
    } else {
      ASSERT_LT(lowest, m.data_end) << m.name << " lost to damage after it, round " << round;
      ++lost;
    }
  }
  RecordProperty("lost", lost);
  RecordProperty("kept", kept);
  // Most flips land before the wanted file's end, and a solid stream carries
  // damage onwards: many rounds must fail, or the damage went unnoticed.
  EXPECT_GT(lost, rounds / 8);
}

INSTANTIATE_TEST_SUITE_P(Shards, DiskImageFlips, ::testing::Range(0, 4));

// Each bit of a file's fixed header flipped in turn: the file comes back or
// not at all, and a flip in its CRC-32 always loses it.
class DiskImageHeaderFlips : public ::testing::TestWithParam<size_t> {};

TEST_P(DiskImageHeaderFlips, EndWithTheFileOrAFailure) {
  const DiskImage& disk = Disk();
  const Member& m = disk.members[GetParam()];
  const uint32_t size = static_cast<uint32_t>(disk.plain.size());
  Bytes image = disk.plain;
  for (uint32_t at = m.start; at < m.start + rar::kFileHeaderSize; ++at) {
    for (int bit = 0; bit < 8; ++bit) {
      image[at] ^= static_cast<uint8_t>(1u << bit);
      std::optional<Bytes> out = ExtractPrefix(image, size, m.name);
      image[at] ^= static_cast<uint8_t>(1u << bit);
      const uint32_t crc = m.start + rar::kFileCrcAt;
      if (at >= crc && at < crc + 4) {
        EXPECT_FALSE(out) << m.name << ": CRC byte " << at - crc << ", bit " << bit;
      } else if (out) {
        ASSERT_EQ(*out, m.content) << m.name << ": header byte " << at - m.start << ", bit " << bit;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EachFile, DiskImageHeaderFlips, ::testing::Range<size_t>(0, Disk().members.size()),
                         [](const ::testing::TestParamInfo<size_t>& info) {
                           return ParamName(Disk().members[info.param].name, -1);
                         });

}  // namespace
