// Headers that lie about sizes: nothing is decoded or allocated for a file
// that the bytes present in the image could never deliver. (Found by the
// fuzzer: a 983-byte image claiming 1.9 GB made every extraction allocate,
// clear and checksum it.) Uses the counting engine to see whether the
// decoder ran.
#include <gtest/gtest.h>

#include "archive/decoder_stats.h"
#include "tests/archive/extract_helpers.h"
#include "tests/archive/stream_writer.h"

namespace {

using namespace testing_helpers;

uint64_t TableBlocksRead() {
  return decoder_stats.lz_table_blocks + decoder_stats.audio_table_blocks[0] +
         decoder_stats.audio_table_blocks[1] + decoder_stats.audio_table_blocks[2] +
         decoder_stats.audio_table_blocks[3];
}

// A compressed file whose data is a table block and `literals` bytes 'a'.
pack::FileBlock Claiming(uint32_t packed_size, uint32_t unpacked_size, size_t literals = 4) {
  StreamWriter s;
  s.LzTables();
  for (size_t i = 0; i < literals; ++i) s.Literal('a');
  pack::FileBlock block = Compressed("f", s.Packed(), Bytes(literals, 'a'));
  block.packed_size_from_data = false;
  block.packed_size = packed_size;
  block.unpacked_size = unpacked_size;
  return block;
}

TEST(HostileInput, SizesBeyondWhatTheImageHoldsFailBeforeDecoding) {
  ResetDecoderStats();
  // The fuzzer's find: 1.16 GB of packed data claimed, 1.9 GB of output.
  EXPECT_EQ(Extract(ArchiveOf({Claiming(1164209769u, 1918980641u)}), "f"), std::nullopt);
  EXPECT_EQ(Extract(ArchiveOf({Claiming(0x7FFFFFFFu, 0x7FFFFFFFu)}), "f"), std::nullopt);
  pack::FileBlock stored = Stored("s", Text("ten bytes!"));
  stored.packed_size_from_data = false;
  stored.packed_size = 0xF0000000u;
  stored.unpacked_size = 0xE0000000u;
  EXPECT_EQ(Extract(ArchiveOf({stored}), "s"), std::nullopt);
  EXPECT_EQ(TableBlocksRead(), 0u);
}

TEST(HostileInput, TheBoundIsWhatThePresentBytesCouldYield) {
  pack::FileBlock block = Claiming(0, 0);
  uint32_t present = static_cast<uint32_t>(block.data.size());
  block.packed_size = present + 1000;  // more claimed than the image holds
  // At most 260 bytes per code and a code per bit.
  block.unpacked_size = present * 2080;
  ResetDecoderStats();
  EXPECT_EQ(Extract(ArchiveOf({block}), "f"), std::nullopt);
  EXPECT_EQ(TableBlocksRead(), 1u) << "within the bound: decoded, then judged";
  block.unpacked_size = present * 2080 + 1;
  ResetDecoderStats();
  EXPECT_EQ(Extract(ArchiveOf({block}), "f"), std::nullopt);
  EXPECT_EQ(TableBlocksRead(), 0u) << "past it: refused at once";
}

TEST(HostileInput, NoFileOutgrowsTheDecodersSigned32BitCount) {
  // Over a megabyte of packed data present: what it could yield passes 2^31,
  // and the decoder's count of output is the bound.
  pack::FileBlock block = Claiming(0, 0);
  block.packed_size_from_data = true;
  block.data.resize((1u << 20) + 100000, 0);
  for (uint32_t size : {0x80000000u, 0xFFFFFFFFu}) {
    block.unpacked_size = size;
    ResetDecoderStats();
    EXPECT_EQ(Extract(ArchiveOf({block}), "f"), std::nullopt) << size;
    EXPECT_EQ(TableBlocksRead(), 0u) << size << ": refused at once";
  }
}

TEST(HostileInput, WellFormedFilesAreUnaffected) {
  pack::FileBlock block = Claiming(0, 0, 300);
  block.packed_size_from_data = true;
  block.unpacked_size = 300;
  EXPECT_EQ(Extract(ArchiveOf({block}), "f"), Bytes(300, 'a'));
}

}  // namespace
