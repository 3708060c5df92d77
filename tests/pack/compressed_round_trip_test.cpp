// Compressed archives written by the packer come back byte for byte through
// ExtractFile, at every level, solid or not, scrambled or not.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <tuple>

#include "tests/archive/extract_helpers.h"
#include "tests/pack/sample_data.h"

namespace {

using pack::Bytes;
using testing_helpers::Extract;

struct Entry {
  std::string name;
  uint8_t method;
  uint16_t flags;
};

// The file blocks of a plain (not scrambled) image, in order.
std::vector<Entry> Entries(const Bytes& image) {
  std::vector<Entry> out;
  size_t pos = 7 + 13;
  while (pos + 32 <= image.size()) {
    const uint8_t* b = image.data() + pos;
    uint16_t flags = static_cast<uint16_t>(b[3] | (b[4] << 8));
    uint32_t header = b[5] | (b[6] << 8);
    uint32_t packed = b[7] | (b[8] << 8) | (b[9] << 16) | (static_cast<uint32_t>(b[10]) << 24);
    uint32_t name_size = b[26] | (b[27] << 8);
    out.push_back({std::string(b + 32, b + 32 + name_size), b[25], flags});
    pos += header + packed;
  }
  return out;
}

Bytes Pack(const std::vector<pack::InputFile>& files, int level, bool solid, bool scramble = false) {
  pack::PackOptions options;
  options.level = level;
  options.solid = solid;
  options.scramble = scramble;
  options.signature = scramble ? pack::Signature::kAlternative : pack::Signature::kStandard;
  Bytes image = pack::BuildArchive(files, options);
  if (scramble) {
    MemoryArchive view{image.data(), static_cast<uint32_t>(image.size()), 0};
    UnscrambleArchiveImage(view);
  }
  return image;
}

void ExpectEveryFileBack(const Bytes& image, const std::vector<pack::InputFile>& files) {
  for (const pack::InputFile& f : files) {
    std::optional<Bytes> got = Extract(image, f.name);
    ASSERT_TRUE(got.has_value()) << f.name;
    ASSERT_EQ(got->size(), f.data.size()) << f.name;
    EXPECT_TRUE(*got == f.data) << f.name << ": contents differ";
  }
}

std::vector<pack::InputFile> EdgeFiles() {
  Bytes all(256);
  for (int i = 0; i < 256; ++i) all[i] = static_cast<uint8_t>(i);
  Bytes ramp;
  for (int r = 0; r < 40; ++r) ramp.insert(ramp.end(), all.begin(), all.end());
  Bytes runs(70000, 'a');
  runs.insert(runs.end(), 300, 'b');
  runs.insert(runs.end(), 5000, 0);
  return {{"empty", {}, 0},
          {"one", {0x42}, 0},
          {"all-bytes", all, 0},
          {"ramp", ramp, 0},
          {"runs", runs, 0},
          {"text.txt", sample_data::Text(40000, 1), 0},
          {"noise.bin", sample_data::Random(20000, 2), 0},
          {"empty-again", {}, 0}};
}

class EveryLevel : public ::testing::TestWithParam<int> {};

TEST_P(EveryLevel, EdgeFilesComeBackInEveryLayout) {
  std::vector<pack::InputFile> files = EdgeFiles();
  for (bool solid : {false, true}) {
    for (bool scramble : {false, true}) {
      SCOPED_TRACE(testing::Message() << "solid " << solid << " scrambled " << scramble);
      ExpectEveryFileBack(Pack(files, GetParam(), solid, scramble), files);
    }
  }
}

TEST_P(EveryLevel, PcmOfOneToFourChannels) {
  std::vector<pack::InputFile> files;
  for (int channels = 1; channels <= 4; ++channels) {
    files.push_back({"pcm" + std::to_string(channels), sample_data::Pcm(60000 / channels, channels, channels), 0});
  }
  size_t total = 0;
  for (const pack::InputFile& f : files) total += f.data.size();
  for (bool solid : {false, true}) {
    Bytes image = Pack(files, GetParam(), solid);
    ExpectEveryFileBack(image, files);
    EXPECT_LT(image.size(), total * 3 / 4) << "sample data shrinks by a quarter at least";
  }
}

// Modules mix pattern data (LZ) and sample bodies (multimedia); in a solid
// stream text and samples alternate, so tables and modes change at the start
// of files as well as inside them.
TEST_P(EveryLevel, ModulesAndMixedContentInOneStream) {
  std::vector<pack::InputFile> files = {
      {"song1.mod", sample_data::Module(6, 5, 1), 0},
      {"notes.txt", sample_data::Text(3000, 2), 0},
      {"song2.mod", sample_data::Module(3, 9, 2), 0},
      {"raw.pcm", sample_data::Pcm(8000, 2, 3), 0},
      {"tiny.txt", sample_data::Text(30, 4), 0},
      {"song3.mod", sample_data::Module(1, 2, 3), 0},
  };
  for (bool solid : {false, true}) {
    SCOPED_TRACE(testing::Message() << "solid " << solid);
    ExpectEveryFileBack(Pack(files, GetParam(), solid), files);
  }
}

// The decoder reads its input through an 8 KiB buffer and looks past the end
// of each file's data for a table block; files whose packed data ends on
// either side of the buffer's edges must still decode exactly.
TEST_P(EveryLevel, PackedDataEndingAroundTheInputBufferEdges) {
  std::vector<pack::InputFile> files;
  for (size_t size = 8100; size <= 8240; size += 7) {
    files.push_back({"r" + std::to_string(size), sample_data::Random(size, static_cast<uint32_t>(size)), 0});
    files.push_back({"t" + std::to_string(size), sample_data::Text(size * 3, static_cast<uint32_t>(size)), 0});
  }
  ExpectEveryFileBack(Pack(files, GetParam(), true), files);
}

INSTANTIATE_TEST_SUITE_P(Levels, EveryLevel, ::testing::Range(1, 6));

// Matches reach back across most of the 1 MiB window, the window wraps, and
// distances beyond it must not be used.
TEST(Compressed, DataLargerThanTheWindow) {
  Bytes block = sample_data::Random(200000, 9);
  Bytes data;
  for (int i = 0; i < 16; ++i) {
    data.insert(data.end(), block.begin() + (i * 7919) % 1000, block.end());
    Bytes text = sample_data::Text(5000, i);
    data.insert(data.end(), text.begin(), text.end());
  }
  data.resize(3 * 1024 * 1024, 0x11);
  std::vector<pack::InputFile> files = {{"big", data, 0}, {"after", sample_data::Text(9000, 1), 0}};
  for (int level : {1, 3, 5}) {
    SCOPED_TRACE(level);
    Bytes image = Pack(files, level, true);
    EXPECT_LT(image.size(), data.size() / 3);
    ExpectEveryFileBack(image, files);
  }
}

// The farthest a match can reach is the window's size itself: the decoder
// then copies the byte its write position still holds from 1 MiB before.
TEST(Compressed, MatchesReachingBackExactlyOneWindow) {
  const size_t window = 1 << 20;
  Bytes data = sample_data::Random(window + 30000, 12);
  std::copy(data.begin() + 500, data.begin() + 30000, data.begin() + window + 500);
  for (int level : {3, 5}) {
    SCOPED_TRACE(level);
    Bytes image = Pack({{"far", data, 0}}, level, false);
    EXPECT_LT(image.size(), data.size() - 20000) << "the repeat was coded as matches";
    ExpectEveryFileBack(image, {{"far", data, 0}});
  }
}

TEST(Compressed, FiveHundredSmallFilesInOneSolidStream) {
  std::vector<pack::InputFile> files;
  for (int i = 0; i < 500; ++i) {
    Bytes data = i % 50 == 7 ? Bytes{} : sample_data::Text(100 + (i * 37) % 900, i);
    if (i % 61 == 3) data = sample_data::Random(300, i);
    files.push_back({pack::ArchiveName("dir/file" + std::to_string(i) + ".txt"), data, 0});
  }
  for (int level : {1, 5}) {
    SCOPED_TRACE(level);
    Bytes image = Pack(files, level, true, level == 5);
    std::vector<Entry> entries = Entries(image);
    ASSERT_EQ(entries.size(), files.size());
    for (size_t i = 0; i < entries.size(); ++i) {
      EXPECT_EQ(entries[i].method, '0' + level) << "every file of a solid stream is compressed";
      EXPECT_EQ((entries[i].flags & 0x0010) != 0, i > 0) << "continuation flag of file " << i;
    }
    if (level == 5) {
      ExpectEveryFileBack(image, files);
    } else {
      ExpectEveryFileBack(image, {files[0], files[7], files[250], files[499]});
    }
  }
}

TEST(Compressed, MethodFollowsTheLevelAndUnshrinkableFilesAreStored) {
  std::vector<pack::InputFile> files = {
      {"text", sample_data::Text(5000, 1), 0}, {"noise", sample_data::Random(5000, 2), 0}, {"empty", {}, 0}};
  for (int level = 0; level <= 5; ++level) {
    std::vector<Entry> entries = Entries(Pack(files, level, false));
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].method, '0' + level);
    EXPECT_EQ(entries[1].method, '0') << "random data does not shrink";
    EXPECT_EQ(entries[2].method, '0');
  }
}

TEST(Compressed, LevelsOutsideZeroToFiveAreRefused) {
  pack::PackOptions options;
  options.level = 6;
  EXPECT_THROW(pack::BuildArchive({{"a", {1, 2, 3}, 0}}, options), std::runtime_error);
  options.level = -1;
  EXPECT_THROW(pack::BuildArchive({{"a", {1, 2, 3}, 0}}, options), std::runtime_error);
}

}  // namespace
