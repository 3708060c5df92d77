// What the packer writes, seen through the decoder's symbol counts: each kind
// of LZ symbol and the multimedia mode show up where the data calls for them.
#include <gtest/gtest.h>

#include "archive/decoder_stats.h"
#include "tests/archive/extract_helpers.h"
#include "tests/pack/sample_data.h"

namespace {

using pack::Bytes;

// Packs `data` alone and extracts it with the counters reset; returns them.
DecoderStats CountsFor(const Bytes& data, int level) {
  pack::PackOptions options;
  options.level = level;
  Bytes image = pack::BuildArchive({{"file", data, 0}}, options);
  ResetDecoderStats();
  std::optional<Bytes> got = testing_helpers::Extract(image, "file");
  EXPECT_TRUE(got.has_value() && *got == data) << "round trip";
  return decoder_stats;
}

// Fixed-layout records: a constant field, then random bytes. The constant
// field is the same match (length and distance) every time.
Bytes Records(int count) {
  Bytes random = sample_data::Random(count * 5, 1);
  Bytes out;
  for (int i = 0; i < count; ++i) {
    for (char c : std::string("record-header:")) out.push_back(static_cast<uint8_t>(c));
    out.insert(out.end(), random.begin() + i * 5, random.begin() + i * 5 + 5);
  }
  return out;
}

// Random bytes in which pairs of bytes recur a few dozen bytes later and
// nothing longer does: only matches of length 2 pay.
Bytes Pairs(size_t size) {
  Bytes out = sample_data::Random(size, 2);
  for (size_t i = 64; i + 2 < size; i += 9) {
    size_t from = i - 5 - (i * 7) % 50;
    out[i] = out[from];
    out[i + 1] = out[from + 1];
  }
  return out;
}

class SymbolKinds : public ::testing::TestWithParam<int> {};

TEST_P(SymbolKinds, TextUsesLiteralsMatchesAndRecentDistances) {
  DecoderStats s = CountsFor(sample_data::Text(200000, 3), GetParam());
  EXPECT_GT(s.literals, 0u);
  EXPECT_GT(s.long_match, 1000u);
  EXPECT_GT(s.recent_distance, 0u);
  EXPECT_EQ(s.audio_bytes, 0u);
  EXPECT_EQ(s.lz_table_blocks, 1 + s.lz_new_tables);
}

TEST_P(SymbolKinds, RepeatedRecordsUseThePreviousMatchAgain) {
  const int records = 3000;
  DecoderStats s = CountsFor(Records(records), GetParam());
  EXPECT_GT(s.repeat_last, 0u);
  // Lazy matching and the cost-driven parse see that a literal and the
  // previous match again beat a match one byte longer far back; greedy
  // matching (level 1) mostly takes the longer one.
  if (GetParam() >= 2) {
    EXPECT_GT(s.repeat_last, records * 9 / 10u);
  }
}

TEST_P(SymbolKinds, NearbyPairsUseShortMatches) {
  DecoderStats s = CountsFor(Pairs(60000), GetParam());
  EXPECT_GT(s.short_match, 1000u);
}

TEST_P(SymbolKinds, ChangingStatisticsBringNewTables) {
  Bytes data = sample_data::Text(150000, 4);
  Bytes other = Records(8000);
  data.insert(data.end(), other.begin(), other.end());
  Bytes more = sample_data::Text(150000, 5);
  data.insert(data.end(), more.begin(), more.end());
  DecoderStats s = CountsFor(data, GetParam());
  EXPECT_GE(s.lz_new_tables, 2u);
  EXPECT_EQ(s.lz_table_blocks, 1 + s.lz_new_tables);
}

TEST_P(SymbolKinds, SampleDataIsCodedInMultimediaModeWithItsChannelCount) {
  for (int channels = 1; channels <= 4; ++channels) {
    SCOPED_TRACE(channels);
    Bytes pcm = sample_data::Pcm(40000, channels, channels);
    DecoderStats s = CountsFor(pcm, GetParam());
    EXPECT_GT(s.audio_bytes, pcm.size() * 9 / 10);
    EXPECT_GE(s.audio_table_blocks[channels - 1], 1u);
  }
}

// Text, then samples, then text again in one file: the stream switches into
// multimedia mode through symbol 269 and back out through symbol 256.
TEST_P(SymbolKinds, ModeSwitchesInsideAFile) {
  Bytes data = sample_data::Text(60000, 6);
  Bytes pcm = sample_data::Pcm(80000, 1, 7);
  data.insert(data.end(), pcm.begin(), pcm.end());
  Bytes text = sample_data::Text(60000, 8);
  data.insert(data.end(), text.begin(), text.end());
  DecoderStats s = CountsFor(data, GetParam());
  EXPECT_GE(s.lz_new_tables, 1u);
  EXPECT_GE(s.audio_new_tables, 1u);
  EXPECT_GT(s.audio_bytes, 70000u);
  EXPECT_GT(s.long_match, 1000u);
}

TEST_P(SymbolKinds, ModulesCodeTheirSamplesInMultimediaMode) {
  Bytes song = sample_data::Module(8, 6, 11);
  DecoderStats s = CountsFor(song, GetParam());
  EXPECT_GT(s.audio_bytes, song.size() / 2);
  EXPECT_GT(s.long_match + s.repeat_last + s.recent_distance, 0u) << "the pattern data is LZ-coded";
}

INSTANTIATE_TEST_SUITE_P(Levels, SymbolKinds, ::testing::Range(1, 6));

// Small files of one solid stream do not each bring their own tables: the
// tables carry over from file to file and are renewed now and then.
TEST(SolidStream, SmallFilesShareTables) {
  std::vector<pack::InputFile> files;
  for (int i = 0; i < 200; ++i) {
    files.push_back({"note" + std::to_string(i), sample_data::Text(200 + (i * 53) % 700, i), 0});
  }
  for (int level : {1, 5}) {
    SCOPED_TRACE(level);
    pack::PackOptions options;
    options.level = level;
    options.solid = true;
    Bytes image = pack::BuildArchive(files, options);
    ResetDecoderStats();
    std::optional<Bytes> last = testing_helpers::Extract(image, "note199");  // decodes all 200
    ASSERT_TRUE(last.has_value());
    EXPECT_EQ(*last, files.back().data);
    EXPECT_LT(decoder_stats.lz_table_blocks, 40u);
    EXPECT_GT(decoder_stats.literals + decoder_stats.long_match, 0u);
  }
}

}  // namespace
