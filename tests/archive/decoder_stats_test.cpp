// The counting engine (quarb_engine_stats) counts every kind of symbol it
// decodes and every table block it reads.
#include <gtest/gtest.h>

#include "archive/archive_format.h"
#include "archive/decoder_stats.h"
#include "tools/common/file_io.h"
#include "tests/archive/extract_helpers.h"
#include "tests/archive/stream_writer.h"

namespace {

using namespace testing_helpers;

TEST(DecoderStats, CountsSymbolKindsAndTableBlocks) {
  StreamWriter s;
  Expected e;
  s.LzTables();
  s.Literals("abcdef");
  e.Text("abcdef");
  s.Match(4, 6);
  e.Copy(6, 4);
  s.Main(256);
  e.Copy(6, 4);
  s.Recent(1, 0);
  e.Copy(6, 2);
  s.Short(0, 2);
  e.Copy(3, 2);
  s.Short(1, 0);
  e.Copy(5, 2);
  s.Main(269);
  s.AudioTables(3);
  for (uint32_t symbol : {0, 0, 0, 0, 0}) {
    s.AudioSymbol(symbol);
    e.Byte(0);
  }
  s.AudioSymbol(256);
  s.AudioTables(4);
  s.AudioSymbol(0);
  e.Byte(0);
  // A table block after the last symbol, taken up by the look past the end.
  s.AudioSymbol(256);
  s.LzTables();

  ResetDecoderStats();
  ASSERT_EQ(Extract(ArchiveOf({Compressed("f", s.Packed(), e.bytes)}), "f"), e.bytes);
  const DecoderStats& d = decoder_stats;
  EXPECT_EQ(d.literals, 6u);
  EXPECT_EQ(d.long_match, 1u);
  EXPECT_EQ(d.repeat_last, 1u);
  EXPECT_EQ(d.recent_distance, 1u);
  EXPECT_EQ(d.short_match, 2u);
  EXPECT_EQ(d.lz_new_tables, 1u);
  EXPECT_EQ(d.audio_bytes, 6u);
  EXPECT_EQ(d.audio_new_tables, 2u);
  EXPECT_EQ(d.lz_table_blocks, 2u);
  EXPECT_EQ(d.audio_table_blocks[2], 1u);
  EXPECT_EQ(d.audio_table_blocks[3], 1u);
  EXPECT_EQ(d.audio_table_blocks[0] + d.audio_table_blocks[1], 0u);
  // Bytes by where they came from: 4 + 4 + 2 + 2 + 2 from matches, five
  // bytes with three channels and one with four.
  EXPECT_EQ(d.match_bytes, 14u);
  EXPECT_EQ(d.literals + d.match_bytes + d.audio_bytes, e.bytes.size());
  EXPECT_EQ(d.audio_bytes_by_channels[2], 5u);
  EXPECT_EQ(d.audio_bytes_by_channels[3], 1u);
  EXPECT_EQ(d.audio_bytes_by_channels[0] + d.audio_bytes_by_channels[1], 0u);
  // LZ to three channels, three to four, four back to LZ; the first block
  // after the reset is no switch.
  EXPECT_EQ(d.mode_switches, 3u);
  EXPECT_EQ(d.last_table_mode, 0);
  // Too little is left after each table block for derived tables to pay.
  EXPECT_EQ(d.lz_entry_builds, 0u);
  EXPECT_EQ(d.lz_bytes_without_entries, d.literals + d.match_bytes);

  ResetDecoderStats();
  EXPECT_EQ(decoder_stats.literals, 0u);
  EXPECT_EQ(decoder_stats.mode_switches, 0u);
  EXPECT_EQ(decoder_stats.last_table_mode, -1);
}

TEST(DecoderStats, TheMultimediaRecordingIsMostlyDecodedInAudioMode) {
  Bytes image = tools::ReadWholeFile(std::string(QUARB_TEST_DATA_DIR) +
                                     "/rar2/junrar-BoatModernEnglish-audio-text-unpack20.rar");
  ResetDecoderStats();
  std::optional<Bytes> wav = Extract(image, "BoatModernEnglish.wav");
  ASSERT_TRUE(wav);
  // 16-bit mono samples are coded as two byte channels.
  EXPECT_GT(decoder_stats.audio_table_blocks[1], 0u);
  EXPECT_GT(decoder_stats.audio_bytes, wav->size() / 2);
  const DecoderStats& d = decoder_stats;
  uint64_t by_channels = 0;
  for (uint64_t n : d.audio_bytes_by_channels) by_channels += n;
  EXPECT_EQ(by_channels, d.audio_bytes);
  EXPECT_EQ(d.literals + d.match_bytes + d.audio_bytes, wav->size());
  // Most multimedia bytes go through the rounds, most of them as pairs
  // from a pair table built for them.
  EXPECT_GT(d.audio_round_bytes, d.audio_bytes / 2);
  EXPECT_LE(d.audio_round_bytes, d.audio_bytes);
  EXPECT_GT(d.audio_round_runs, 0u);
  EXPECT_GT(d.pair_table_builds, 0u);
  EXPECT_GT(PairHits(d), PairMisses(d));
  EXPECT_LE(2 * PairHits(d), d.audio_round_bytes);
  EXPECT_GT(d.audio_step_runs, 0u);
}

}  // namespace
