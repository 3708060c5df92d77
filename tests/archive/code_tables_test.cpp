// Table blocks: how code lengths are read, kept and turned into tables, and
// the look past the end of a file's data.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "archive/bit_input.h"
#include "archive/code_tables.h"
#include "tests/archive/bit_writer.h"
#include "tests/archive/decoder_helpers.h"

namespace {

using namespace testing_helpers;

using Lengths = std::vector<uint8_t>;

// The start of a table block with the flat pre-code; symbols follow.
BitWriter BlockStart(bool audio, bool keep, uint32_t channels = 1) {
  BitWriter w;
  w.Put(audio, 1);
  w.Put(keep, 1);
  if (audio) w.Put(channels - 1, 2);
  for (int i = 0; i < 19; ++i) w.Put(5, 4);
  return w;
}

void Pre(BitWriter& w, uint32_t symbol) { FlatPrecode().Write(w, symbol); }

Lengths Previous() {
  return Lengths(engine::tables.previous_lengths, engine::tables.previous_lengths + rar::kMaxTableLengths);
}

void SetPrevious(uint8_t value) {
  std::memset(engine::tables.previous_lengths, value, rar::kMaxTableLengths);
}

void ReadBlock(const BitWriter& w) {
  Lengths bytes = w.bytes();
  bytes.resize(bytes.size() + 8, 0);
  LoadBits(bytes);
  ReadCodeTables();
}

TEST(CodeTables, WithoutBit14TheLengthsAreThePrecodeSymbols) {
  SetPrevious(9);
  Lengths lengths(rar::kLzLengths);
  for (size_t i = 0; i < lengths.size(); ++i) lengths[i] = static_cast<uint8_t>(i % 16);
  BitWriter w;
  WriteTableBlock(w, false, 1, lengths);
  ReadBlock(w);
  EXPECT_FALSE(engine::tables.audio_mode);
  Lengths expected = lengths;
  expected.resize(rar::kMaxTableLengths, 0);  // the clear reaches the whole array
  EXPECT_EQ(Previous(), expected);
  EXPECT_EQ(BitsConsumed(), w.bit_count());
  EXPECT_EQ(engine::tables.main_table.count, 298u);
  EXPECT_EQ(engine::tables.distance_table.count, 48u);
  EXPECT_EQ(engine::tables.repeat_table.count, 28u);
}

TEST(CodeTables, WithBit14TheSymbolsAreAddedModulo16) {
  SetPrevious(3);
  BitWriter w = BlockStart(false, true);
  for (uint32_t i = 0; i < rar::kLzLengths; ++i) Pre(w, i == 0 ? 15 : i % 16);
  ReadBlock(w);
  Lengths got = Previous();
  EXPECT_EQ(got[0], 2);  // 3 + 15 wraps to 2
  EXPECT_EQ(got[1], 4);
  EXPECT_EQ(got[13], 0);  // 3 + 13 = 16
  EXPECT_EQ(got[373], (3 + 373 % 16) % 16);
  EXPECT_EQ(got[374], 3) << "not read: keeps its value";
  EXPECT_EQ(got[1027], 3);
}

TEST(CodeTables, RunsAtTheirLimits) {
  SetPrevious(0);
  BitWriter w = BlockStart(false, false);
  Pre(w, 7);
  Pre(w, 16);
  w.Put(3, 2);  // six more 7s
  Pre(w, 5);
  Pre(w, 17);
  w.Put(7, 3);  // ten zeros
  Pre(w, 4);
  Pre(w, 18);
  w.Put(0x7F, 7);  // 138 zeros
  Pre(w, 9);
  Pre(w, 16);
  w.Put(0, 2);  // three more 9s
  Pre(w, 17);
  w.Put(0, 3);  // three zeros
  Pre(w, 18);
  w.Put(0, 7);  // eleven zeros
  uint32_t written = 1 + 6 + 1 + 10 + 1 + 138 + 1 + 3 + 3 + 11;  // 175
  for (uint32_t i = written; i < rar::kLzLengths; ++i) Pre(w, 1);
  ReadBlock(w);
  Lengths got = Previous();
  Lengths expected;
  expected.insert(expected.end(), 7, 7);
  expected.push_back(5);
  expected.insert(expected.end(), 10, 0);
  expected.push_back(4);
  expected.insert(expected.end(), 138, 0);
  expected.insert(expected.end(), 4, 9);
  expected.insert(expected.end(), 14, 0);
  expected.insert(expected.end(), rar::kLzLengths - written, 1);
  ASSERT_EQ(expected.size(), rar::kLzLengths);
  EXPECT_EQ(Lengths(got.begin(), got.begin() + rar::kLzLengths), expected);
  EXPECT_EQ(BitsConsumed(), w.bit_count());
}

TEST(CodeTables, ARunPastTheLastLengthIsCutAndEndsTheBlock) {
  SetPrevious(0);
  BitWriter w = BlockStart(false, false);
  for (uint32_t i = 0; i < rar::kLzLengths - 10; ++i) Pre(w, 2);
  Pre(w, 18);
  w.Put(0x7F, 7);  // 138 zeros, 10 of them fit
  uint64_t block_end = w.bit_count();
  Pre(w, 3);  // not part of the block
  ReadBlock(w);
  Lengths got = Previous();
  EXPECT_EQ(got[rar::kLzLengths - 11], 2);
  for (uint32_t i = rar::kLzLengths - 10; i < rar::kLzLengths; ++i) EXPECT_EQ(got[i], 0) << i;
  EXPECT_EQ(BitsConsumed(), block_end);

  // The same with a repeat of the previous length.
  SetPrevious(0);
  BitWriter r = BlockStart(false, false);
  for (uint32_t i = 0; i < rar::kLzLengths - 2; ++i) Pre(r, 6);
  Pre(r, 16);
  r.Put(3, 2);
  ReadBlock(r);
  EXPECT_EQ(Previous()[rar::kLzLengths - 1], 6);
  EXPECT_EQ(Previous()[rar::kLzLengths], 0);
  EXPECT_EQ(BitsConsumed(), r.bit_count());
}

TEST(CodeTables, ARepeatAtTheFirstPositionRepeatsZero) {
  SetPrevious(11);
  BitWriter w = BlockStart(false, true);  // even when differences are coded
  Pre(w, 16);
  w.Put(0, 2);
  for (uint32_t i = 3; i < rar::kLzLengths; ++i) Pre(w, 0);
  ReadBlock(w);
  Lengths got = Previous();
  EXPECT_EQ(got[0], 0);
  EXPECT_EQ(got[2], 0);
  EXPECT_EQ(got[3], 11);
}

TEST(CodeTables, LengthsABlockDoesNotReachKeepTheirValuesAcrossModes) {
  SetPrevious(0);
  engine::tables.current_channel = 0;
  // Four channels: all 1028 lengths, 5 everywhere.
  BitWriter audio = BlockStart(true, false, 4);
  for (uint32_t i = 0; i < rar::kMaxTableLengths; ++i) Pre(audio, 5);
  ReadBlock(audio);
  EXPECT_TRUE(engine::tables.audio_mode);
  EXPECT_EQ(engine::tables.channel_count, 4u);
  // LZ with differences: only the first 374 change.
  BitWriter lz = BlockStart(false, true);
  for (uint32_t i = 0; i < rar::kLzLengths; ++i) Pre(lz, 1);
  ReadBlock(lz);
  Lengths got = Previous();
  EXPECT_EQ(got[0], 6);
  EXPECT_EQ(got[373], 6);
  EXPECT_EQ(got[374], 5);
  EXPECT_EQ(got[1027], 5);
  // Back to four channels with differences of 0: the audio tables see the
  // LZ lengths at the front and their own further on.
  BitWriter back = BlockStart(true, true, 4);
  for (uint32_t i = 0; i < rar::kMaxTableLengths; ++i) Pre(back, 0);
  ReadBlock(back);
  EXPECT_EQ(Previous(), got);
}

TEST(CodeTables, AudioBlocksSetTheChannelCountAndKeepTheRotationWhenTheyCan) {
  auto audio_block = [](uint32_t channels) {
    BitWriter w = BlockStart(true, false, channels);
    for (uint32_t i = 0; i < rar::kAudioSymbols * channels; ++i) Pre(w, 9);
    return w;
  };
  engine::tables.current_channel = 3;
  ReadBlock(audio_block(2));
  EXPECT_EQ(engine::tables.channel_count, 2u);
  EXPECT_EQ(engine::tables.current_channel, 0u);
  engine::tables.current_channel = 3;
  ReadBlock(audio_block(4));
  EXPECT_EQ(engine::tables.current_channel, 3u);
}

// An LZ table block in which main symbol 269 and the literal 'A' have
// codes, and the code of 269 itself.
Lengths LzLengthsWith269() {
  Lengths lengths(rar::kLzLengths, 0);
  lengths['A'] = 1;
  lengths[269] = 1;
  return lengths;
}

TEST(CheckEndOfData, NeedsFiveBytesLeftToLookForANewTableBlock) {
  Lengths lengths = LzLengthsWith269();
  for (uint32_t left : {4u, 5u}) {
    SCOPED_TRACE(left);
    BitWriter w;
    WriteTableBlock(w, false, 1, lengths);
    w.PadBytes(0);
    uint32_t table_bytes = static_cast<uint32_t>(w.bytes().size());
    w.PadBytes(left);
    LoadBits(w.bytes());
    ReadCodeTables();
    engine::input.byte_pos = table_bytes;
    engine::input.bit_pos = 0;
    CheckEndOfData();
    // The padding decodes as 'A' (code 0): one bit when looked at.
    EXPECT_EQ(BitsConsumed(), table_bytes * 8 + (left == 5 ? 1 : 0));
  }
}

TEST(CheckEndOfData, TakesUpATableBlockAnnouncedAfterTheLastSymbol) {
  Lengths first = LzLengthsWith269();
  CanonicalCode main(Lengths(first.begin(), first.begin() + 298));
  BitWriter w;
  WriteTableBlock(w, false, 1, first);
  uint64_t data_end_bits = w.bit_count();
  main.Write(w, 269);
  Lengths second(rar::kAudioSymbols * 3, 8);
  WriteTableBlock(w, true, 3, second);
  LoadBits(w.bytes());
  ReadCodeTables();
  EXPECT_EQ(BitsConsumed(), data_end_bits);
  CheckEndOfData();
  EXPECT_EQ(BitsConsumed(), w.bit_count());
  EXPECT_TRUE(engine::tables.audio_mode);
  EXPECT_EQ(engine::tables.channel_count, 3u);
}

TEST(CheckEndOfData, DoesNothingAfterARefillThatReadNothing) {
  LoadBits(Lengths(kInputBufferSize, 0));
  engine::input.byte_pos = 8170;
  RefillInput(false);
  EXPECT_EQ(engine::input.byte_pos, 10u);
  EXPECT_EQ(engine::input.data_end, 10u);
  CheckEndOfData();
  EXPECT_EQ(engine::input.byte_pos, 10u);
  EXPECT_EQ(engine::input.bit_pos, 0u);
}

}  // namespace
