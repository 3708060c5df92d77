// The Huffman layer: table building, and decoding through the look-up of the
// first bits, checked against a straightforward decoder that follows the
// bounds alone.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "archive/bit_input.h"
#include "archive/huffman.h"
#include "tests/archive/bit_writer.h"
#include "tests/archive/decoder_helpers.h"

namespace {

using namespace testing_helpers;

// The plain definition: bounds and positions from the length counts, the
// symbols in code order, and a decode that bisects the bounds (at most four
// comparisons) for the lowest length whose bound lies above the peeked bits.
struct PlainTable {
  uint32_t count = 0;
  uint32_t limit[16] = {};
  uint32_t pos[16] = {};
  uint32_t symbols[298] = {};

  void Build(const std::vector<uint8_t>& lengths) {
    uint32_t n[16] = {};
    for (uint8_t l : lengths) ++n[l & 15];
    n[0] = 0;
    uint32_t c = 0;
    for (int l = 1; l < 16; ++l) {
      c = (c + n[l]) * 2;
      limit[l] = std::min<uint32_t>(c << (15 - l), 0xFFFF);
      pos[l] = pos[l - 1] + n[l - 1];
    }
    uint32_t next[16];
    std::copy(pos, pos + 16, next);
    for (uint32_t i = 0; i < lengths.size(); ++i) {
      if (lengths[i] != 0) symbols[next[lengths[i] & 15]++] = i;
    }
    count = static_cast<uint32_t>(lengths.size());
  }

  uint32_t Decode(uint32_t peek, uint32_t& len) const {
    uint32_t v = peek & 0xFFFE;
    if (v < limit[8]) {
      if (v < limit[4]) {
        len = v < limit[2] ? (v < limit[1] ? 1 : 2) : (v < limit[3] ? 3 : 4);
      } else {
        len = v < limit[6] ? (v < limit[5] ? 5 : 6) : (v < limit[7] ? 7 : 8);
      }
    } else if (v < limit[12]) {
      len = v < limit[10] ? (v < limit[9] ? 9 : 10) : (v < limit[11] ? 11 : 12);
    } else if (v < limit[14]) {
      len = v < limit[13] ? 13 : 14;
    } else {
      len = 15;
    }
    uint32_t index = ((v - limit[len - 1]) >> (16 - len)) + pos[len];
    return index < count ? symbols[index] : symbols[0];
  }
};

// Decodes every 16-bit input with both and compares symbol and bits used,
// with each width of the fast look-up; the table objects persist, so stale
// symbols from earlier builds count too.
void ExpectSameDecoding(const std::vector<uint8_t>& lengths, HuffmanTable& table,
                        PlainTable& plain) {
  plain.Build(lengths);
  for (uint32_t fast_bits : {kFastBits, kAudioFastBits}) {
    BuildHuffmanTable(lengths.data(), table, static_cast<uint32_t>(lengths.size()), fast_bits);
    for (int l = 0; l < 16; ++l) {
      ASSERT_EQ(table.limit[l], plain.limit[l]) << l;
      ASSERT_EQ(table.pos[l], plain.pos[l]) << l;
    }
    for (uint32_t peek = 0; peek < 0x10000; ++peek) {
      LoadBits({static_cast<uint8_t>(peek >> 8), static_cast<uint8_t>(peek), 0x5A});
      uint32_t expected_len;
      uint32_t expected = plain.Decode(peek, expected_len);
      ASSERT_EQ(DecodeSymbol(engine::input, table), expected) << "peek " << peek << " fast " << fast_bits;
      ASSERT_EQ(BitsConsumed(), expected_len) << "peek " << peek << " fast " << fast_bits;
    }
  }
}

TEST(BitInput, PeeksSixteenBitsAtAnyBitPositionAndSkips) {
  LoadBits({0b10110011, 0b01010101, 0b11110000, 0b00001111});
  EXPECT_EQ(PeekBits16(engine::input), 0b1011001101010101u);
  SkipBits(engine::input, 3);
  EXPECT_EQ(PeekBits16(engine::input), 0b1001101010101111u);
  SkipBits(engine::input, 9);
  EXPECT_EQ(engine::input.byte_pos, 1u);
  EXPECT_EQ(engine::input.bit_pos, 4u);
  EXPECT_EQ(PeekBits16(engine::input), 0b0101111100000000u);
  SkipBits(engine::input, 16);
  EXPECT_EQ(BitsConsumed(), 28u);
}

TEST(Huffman, MatchesThePlainDecoderOnEveryInput) {
  HuffmanTable table{};
  PlainTable plain;
  std::mt19937 rng(20240607);
  std::vector<std::vector<uint8_t>> codes;
  // Complete: one code of each length 1 to 14 and two of 15.
  std::vector<uint8_t> deep(298, 0);
  for (int i = 0; i < 14; ++i) deep[i * 20] = static_cast<uint8_t>(i + 1);
  deep[290] = 15;
  deep[297] = 15;
  codes.push_back(deep);
  codes.push_back(FlatLengths(298));            // 512 codes of 9 bits, 298 used
  codes.push_back(std::vector<uint8_t>(19, 5));  // incomplete
  codes.push_back(std::vector<uint8_t>(48, 0));  // empty: stale symbols show
  codes.push_back(std::vector<uint8_t>(257, 1)); // grossly over-subscribed
  for (int round = 0; round < 12; ++round) {
    std::vector<uint8_t> random(round % 2 ? 298 : 257);
    for (uint8_t& l : random) l = static_cast<uint8_t>(rng() % 3 == 0 ? 0 : rng() % 16);
    codes.push_back(random);
  }
  // Lengths above 15 keep their low four bits.
  std::vector<uint8_t> high(28);
  for (size_t i = 0; i < high.size(); ++i) high[i] = static_cast<uint8_t>(0x30 | (i % 6));
  codes.push_back(high);
  for (size_t i = 0; i < codes.size(); ++i) {
    SCOPED_TRACE("code " + std::to_string(i));
    ExpectSameDecoding(codes[i], table, plain);
  }
}

TEST(Huffman, SingleCodeOfOneBitTakesOneBit) {
  std::vector<uint8_t> lengths(19, 0);
  lengths[7] = 1;
  HuffmanTable table{};
  BuildHuffmanTable(lengths.data(), table, 19);
  LoadBits({0x7F, 0xFF, 0});
  EXPECT_EQ(DecodeSymbol(engine::input, table), 7u);
  EXPECT_EQ(BitsConsumed(), 1u);
}

TEST(Huffman, CompleteCodeReachesItsLastFifteenBitCode) {
  std::vector<uint8_t> lengths(298, 0);
  for (int i = 0; i < 14; ++i) lengths[i] = static_cast<uint8_t>(i + 1);
  lengths[200] = 15;
  lengths[297] = 15;
  HuffmanTable table{};
  BuildHuffmanTable(lengths.data(), table, 298);
  EXPECT_EQ(table.limit[15], 0xFFFFu);  // 0x10000 clamped
  LoadBits({0xFF, 0xFF, 0xFF});
  EXPECT_EQ(DecodeSymbol(engine::input, table), 297u);
  EXPECT_EQ(BitsConsumed(), 15u);
  // Every code as the writer of streams assigns it.
  CanonicalCode code(lengths);
  for (uint32_t s : {0u, 5u, 13u, 200u, 297u}) {
    BitWriter w;
    code.Write(w, s);
    w.Put(0, 16);
    LoadBits(w.bytes());
    EXPECT_EQ(DecodeSymbol(engine::input, table), s);
    EXPECT_EQ(BitsConsumed(), lengths[s]);
  }
}

TEST(Huffman, UnusedCodeSpaceGivesTheFirstSymbolAfterFifteenBits) {
  // Symbol 7 has 0000, the other 18 have 00010 to 10011; from 10100 on the
  // code space is unused and every index lies past the 19 symbols.
  std::vector<uint8_t> lengths(19, 5);
  lengths[7] = 4;
  HuffmanTable table{};
  BuildHuffmanTable(lengths.data(), table, 19);
  for (uint32_t peek : {0xA000u, 0xA7FFu, 0xFFFFu}) {
    LoadBits({static_cast<uint8_t>(peek >> 8), static_cast<uint8_t>(peek), 0});
    EXPECT_EQ(DecodeSymbol(engine::input, table), 7u) << peek;
    EXPECT_EQ(BitsConsumed(), 15u) << peek;
  }
  LoadBits({0x98, 0x00, 0x00});  // 10011: the last code in use
  EXPECT_EQ(DecodeSymbol(engine::input, table), 18u);
  EXPECT_EQ(BitsConsumed(), 5u);
}

TEST(Huffman, EmptyCodeTakesFifteenBitsAndYieldsWhatEarlierBuildsLeft) {
  HuffmanTable table{};
  std::vector<uint8_t> lengths(28, 0);
  lengths[17] = 1;
  lengths[3] = 1;
  BuildHuffmanTable(lengths.data(), table, 28);  // symbols: 3, 17
  std::vector<uint8_t> empty(28, 0);
  BuildHuffmanTable(empty.data(), table, 28);
  for (uint32_t limit : table.limit) EXPECT_EQ(limit, 0u);
  LoadBits({0x00, 0x00, 0x00});
  EXPECT_EQ(DecodeSymbol(engine::input, table), 3u);  // index 0
  EXPECT_EQ(BitsConsumed(), 15u);
  LoadBits({0x00, 0x02, 0x00});
  EXPECT_EQ(DecodeSymbol(engine::input, table), 17u);  // index 1
  LoadBits({0xFF, 0xFE, 0x00});
  EXPECT_EQ(DecodeSymbol(engine::input, table), 3u);  // past the list: symbols[0]
}

}  // namespace
