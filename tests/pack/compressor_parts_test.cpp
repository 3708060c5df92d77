// The compressor's parts: code lengths and codes, slots, the match finder and
// the multimedia predictor, each checked against what the decoder does.
#include <gtest/gtest.h>

#include <queue>
#include <random>

#include "archive/audio_predictor.h"
#include "archive/code_tables.h"
#include "archive/huffman.h"
#include "tests/pack/sample_data.h"
#include "tools/pack/compressor/audio_model.h"
#include "tools/pack/compressor/code_slots.h"
#include "tools/pack/compressor/huffman_lengths.h"
#include "tools/pack/compressor/lz_codes.h"
#include "tools/pack/compressor/match_finder.h"
#include "tools/pack/compressor/table_block.h"

namespace {

using pack::codes::kDistanceBase;
using pack::codes::kDistanceExtraBits;

double KraftSum(const std::vector<uint8_t>& lengths) {
  double sum = 0;
  for (uint8_t l : lengths) {
    if (l) sum += std::ldexp(1.0, -l);
  }
  return sum;
}

uint64_t Cost(const std::vector<uint64_t>& freqs, const std::vector<uint8_t>& lengths) {
  return pack::CodedBits(freqs, lengths.data());
}

// Cost of an unrestricted Huffman code: the sum of the merged weights.
uint64_t HuffmanCost(const std::vector<uint64_t>& freqs) {
  std::priority_queue<uint64_t, std::vector<uint64_t>, std::greater<>> q;
  for (uint64_t f : freqs) {
    if (f) q.push(f);
  }
  if (q.size() == 1) return q.top();
  uint64_t cost = 0;
  while (q.size() > 1) {
    uint64_t a = q.top();
    q.pop();
    uint64_t b = q.top();
    q.pop();
    cost += a + b;
    q.push(a + b);
  }
  return cost;
}

TEST(CodeLengths, AreHuffmanCodesWhenTheLimitDoesNotBind) {
  std::mt19937 rng(5);
  for (int round = 0; round < 50; ++round) {
    std::vector<uint64_t> freqs(298, 0);
    for (uint64_t& f : freqs) f = rng() % 3 == 0 ? 0 : 1 + rng() % 1000;
    // With room to spare the limit cannot bind, and the code is a Huffman code.
    std::vector<uint8_t> free = pack::LimitedCodeLengths(freqs, 40);
    EXPECT_EQ(Cost(freqs, free), HuffmanCost(freqs));
    std::vector<uint8_t> limited = pack::LimitedCodeLengths(freqs);
    if (*std::max_element(free.begin(), free.end()) <= 15) {
      EXPECT_EQ(limited, free);
    }
    EXPECT_GE(Cost(freqs, limited), Cost(freqs, free));
    EXPECT_DOUBLE_EQ(KraftSum(limited), 1.0) << "a complete code";
  }
}

TEST(CodeLengths, StayWithinFifteenBitsForSkewedFrequencies) {
  // Fibonacci weights would need a code of 297 bits without the limit.
  std::vector<uint64_t> freqs(298);
  uint64_t a = 1, b = 1;
  for (uint64_t& f : freqs) {
    f = a;
    uint64_t next = std::min<uint64_t>(a + b, uint64_t{1} << 50);
    a = b;
    b = next;
  }
  std::vector<uint8_t> lengths = pack::LimitedCodeLengths(freqs, 15);
  for (uint8_t l : lengths) {
    EXPECT_GE(l, 1);
    EXPECT_LE(l, 15);
  }
  EXPECT_DOUBLE_EQ(KraftSum(lengths), 1.0);
  // The pre-code alphabet of 19 symbols under the same kind of skew.
  std::vector<uint64_t> small(freqs.begin(), freqs.begin() + 19);
  std::vector<uint8_t> small_lengths = pack::LimitedCodeLengths(small, 15);
  EXPECT_LE(*std::max_element(small_lengths.begin(), small_lengths.end()), 15);
  EXPECT_DOUBLE_EQ(KraftSum(small_lengths), 1.0);
}

TEST(CodeLengths, GiveALoneSymbolOneBitAndUnusedSymbolsNone) {
  std::vector<uint64_t> freqs(257, 0);
  freqs[256] = 7;
  std::vector<uint8_t> lengths = pack::LimitedCodeLengths(freqs);
  EXPECT_EQ(lengths[256], 1);
  EXPECT_EQ(std::count(lengths.begin(), lengths.end(), 0), 256);
  EXPECT_EQ(pack::LimitedCodeLengths(std::vector<uint64_t>(19, 0)), std::vector<uint8_t>(19, 0));
}

// Every code, followed by any bits, decodes to its own symbol and length
// with the decoder's table built from the same lengths.
TEST(CanonicalCodes, DecodeToTheirSymbolsWithTheDecodersTables) {
  std::mt19937 rng(8);
  for (int round = 0; round < 20; ++round) {
    std::vector<uint64_t> freqs(298, 0);
    for (uint64_t& f : freqs) f = rng() % 4 == 0 ? 0 : 1 + (rng() % 50) * (rng() % 50) * (rng() % 50);
    if (round == 0) {
      freqs.assign(298, 0);
      freqs[77] = 1;
    }
    std::vector<uint8_t> lengths = pack::LimitedCodeLengths(freqs);
    std::vector<uint16_t> codes = pack::CanonicalCodes(lengths);
    HuffmanTable table;
    BuildHuffmanTable(lengths.data(), table, 298);
    for (uint32_t s = 0; s < 298; ++s) {
      if (lengths[s] == 0) continue;
      uint32_t tail = rng() & ((1u << (16 - lengths[s])) - 1);
      uint32_t peek = (uint32_t{codes[s]} << (16 - lengths[s])) | tail;
      uint32_t length = 0;
      ASSERT_EQ(DecodeFromPeek(table, peek, length), s) << "round " << round;
      ASSERT_EQ(length, lengths[s]);
    }
  }
}

// The second bit of a table block says whether its lengths are differences
// against the previous block's.
bool CodedAsDifferences(const std::vector<uint8_t>& block) { return (block[0] & 0x40) != 0; }

TEST(TableBlocks, NearlyUnchangedTablesGoAsDifferencesWithinTheKnownLengths) {
  std::mt19937 rng(3);
  std::vector<uint64_t> freqs(pack::codes::kLzLengths);
  for (uint64_t& f : freqs) f = rng() % 5 == 0 ? 0 : 1 + rng() % 300;
  std::vector<uint64_t> main_freqs(freqs.begin(), freqs.begin() + 298);
  pack::TableBlock lz;
  lz.lengths = pack::LimitedCodeLengths(main_freqs);
  lz.lengths.resize(pack::codes::kLzLengths, 5);

  pack::TableHistory history;
  history.Reset();
  pack::BitWriter first;
  pack::WriteTableBlock(first, history, lz);
  std::vector<uint8_t> first_bytes = first.Finish();

  pack::TableBlock changed = lz;
  for (int i = 0; i < 298; i += 37) changed.lengths[i] = static_cast<uint8_t>(1 + changed.lengths[i] % 15);
  pack::BitWriter second;
  pack::WriteTableBlock(second, history, changed);
  std::vector<uint8_t> second_bytes = second.Finish();
  EXPECT_TRUE(CodedAsDifferences(second_bytes));
  EXPECT_LT(second_bytes.size(), first_bytes.size());

  // Four audio channels need 1028 lengths; the decoder is sure of only the
  // 374 the last block set, so the block goes without differences.
  pack::TableBlock audio;
  audio.audio = true;
  audio.channels = 4;
  for (int ch = 0; ch < 4; ++ch) {
    audio.lengths.insert(audio.lengths.end(), 255, 8);  // a complete code: 255 of 8 bits, 2 of 9
    audio.lengths.insert(audio.lengths.end(), 2, 9);
  }
  pack::BitWriter third;
  pack::WriteTableBlock(third, history, audio);
  EXPECT_FALSE(CodedAsDifferences(third.Finish()));
  EXPECT_EQ(history.known, 4 * 257);
}

TEST(Slots, CoverEveryLengthAndDistanceExactlyOnce) {
  using namespace pack::codes;
  for (uint32_t v = 0; v < 256; ++v) {
    int slot = LengthSlot(v);
    EXPECT_GE(v, kLengthBase[slot]);
    EXPECT_LT(v, kLengthBase[slot] + (1u << kLengthExtraBits[slot]));
    int short_slot = ShortDistanceSlot(v);
    EXPECT_GE(v, kShortDistanceBase[short_slot]);
    EXPECT_LT(v, kShortDistanceBase[short_slot] + (1u << kShortDistanceExtraBits[short_slot]));
  }
  for (uint32_t v = 0; v < kMaxDistance; ++v) {
    int slot = DistanceSlot(v);
    ASSERT_GE(v, kDistanceBase[slot]);
    ASSERT_LT(v, kDistanceBase[slot] + (1u << kDistanceExtraBits[slot])) << v;
  }
  EXPECT_EQ(DistanceSlot(kMaxDistance - 1), 47);
}

TEST(MatchFinder, FindsTheLongestMatchAtTheNearestDistance) {
  std::vector<uint8_t> buf = sample_data::Random(5000, 3);
  // The same 40 bytes at 1000 (nearer) and at 200; 60 bytes at 200 match.
  std::copy(buf.begin() + 4000, buf.begin() + 4060, buf.begin() + 200);
  std::copy(buf.begin() + 4000, buf.begin() + 4040, buf.begin() + 1000);
  pack::MatchFinder finder;
  finder.Configure(16, 64, 258, 258);
  pack::Match matches[pack::MatchFinder::kMaxMatches];
  int n = 0;
  for (uint32_t pos = 0; pos <= 4000; ++pos) n = finder.Find(buf.data(), pos, 5000, 260, matches);
  ASSERT_GE(n, 2);
  EXPECT_EQ(matches[n - 1].length, 60u);
  EXPECT_EQ(matches[n - 1].distance, 3800u);
  EXPECT_EQ(matches[n - 2].length, 40u);
  EXPECT_EQ(matches[n - 2].distance, 3000u);
}

TEST(MatchFinder, NeverReachesFurtherThanTheWindow) {
  const uint32_t window = pack::codes::kWindowSize;
  std::vector<uint8_t> buf = sample_data::Random(window + 4096, 4);
  std::copy(buf.begin() + 10, buf.begin() + 50, buf.begin() + window + 11);   // 2^20 + 1 back
  std::copy(buf.begin() + 100, buf.begin() + 140, buf.begin() + window + 100);  // exactly 2^20 back
  pack::MatchFinder finder;
  finder.Configure(16, 1 << 20, 258, 258);
  pack::Match matches[pack::MatchFinder::kMaxMatches];
  for (uint32_t pos = 0; pos < buf.size(); ++pos) {
    int n = finder.Find(buf.data(), pos, static_cast<uint32_t>(buf.size()), 260, matches);
    for (int i = 0; i < n; ++i) ASSERT_LE(matches[i].distance, window) << pos;
    if (pos == window + 11) {
      EXPECT_TRUE(n == 0 || matches[n - 1].length < 40);
    }
    if (pos == window + 100) {
      ASSERT_GT(n, 0);
      EXPECT_EQ(matches[n - 1].distance, window);
    }
  }
}

// The symbols the encoder sends make the decoder's predictor produce the
// original bytes, for 1 to 4 interleaved channels, with the weights moving.
TEST(AudioModel, SymbolsDecodeToTheOriginalBytes) {
  for (int channels = 1; channels <= 4; ++channels) {
    SCOPED_TRACE(channels);
    std::vector<uint8_t> data = sample_data::Pcm(20000, channels, 7);
    std::vector<uint8_t> noise = sample_data::Random(3000, 9);
    data.insert(data.end(), noise.begin(), noise.end());
    AudioState decoder{};
    pack::AudioModel model;
    for (size_t i = 0; i < data.size(); ++i) {
      int ch = static_cast<int>(i % channels);
      uint8_t symbol = model.Encode(ch, data[i]);
      ASSERT_EQ(DecodeAudioByte(decoder.channels[ch], decoder.cross_delta, symbol), data[i]) << "byte " << i;
    }
    bool moved = false;
    for (int ch = 0; ch < channels; ++ch) {
      for (int w = 0; w < 5; ++w) moved |= model.Channel(ch).weights[w] != 0;
    }
    EXPECT_TRUE(moved) << "the weights adapted";
  }
}

// Stats of `literals` literal bytes and `matches` long matches; `matches`
// alone when there are no literals.
pack::LzStats TokenStats(uint64_t literals, uint64_t matches) {
  pack::LzStats stats;
  for (uint32_t b = 0; b < 256; ++b) stats.main[b] = literals / 256;
  stats.main['e'] += literals % 256;
  stats.main[pack::codes::kMatchFirst] = matches;
  stats.main[pack::codes::kNewTables] = 1000;  // a table block is no token
  return stats;
}

TEST(DecodingPrices, ATokenAmongTheOtherKindCostsMore) {
  const pack::DecodingPrices among_literals = pack::DecodingPricesOf(TokenStats(9000, 1000));
  const pack::DecodingPrices among_matches = pack::DecodingPricesOf(TokenStats(1000, 9000));
  EXPECT_GT(among_literals.match, among_matches.match);
  EXPECT_GT(among_matches.literal, among_literals.literal);
  // Among literals a match costs far more than a literal; among matches a
  // literal breaks the run, and costs more than a match.
  EXPECT_GT(among_literals.match, among_literals.literal + 3);
  EXPECT_GT(among_matches.literal, among_matches.match);
  // Nothing known: midway, not as if all tokens were of one kind.
  const pack::DecodingPrices none = pack::DecodingPricesOf(pack::LzStats{});
  EXPECT_DOUBLE_EQ(none.literal, (among_literals.literal + among_matches.literal) / 2);
  EXPECT_GT(none.literal, 0.0);
}

TEST(DecodingPrices, GoIntoTheLiteralAndMatchPricesButNotTheTableBlocks) {
  const pack::LzStats stats = TokenStats(9000, 1000);
  const pack::DecodingPrices decoding = pack::DecodingPricesOf(stats);
  const pack::LzPrices priced = pack::LzPrices::FromStats(stats);
  // The same frequencies' information alone, by the same rounding: a
  // literal of a byte seen 35 times in 10,000 tokens and 1,000 table
  // blocks, a match seen 1,000 times.
  const double total = 9000 + 1000 + 1000;
  const auto bits = [&](double count) { return std::lround(-std::log2(count / total) * pack::kPriceScale); };
  EXPECT_NEAR(priced.Literal('a'), bits(35) + decoding.literal * pack::kPriceScale, 1.0);
  EXPECT_NEAR(priced.main[pack::codes::kMatchFirst], bits(1000) + decoding.match * pack::kPriceScale, 1.0);
  EXPECT_NEAR(priced.main[pack::codes::kNewTables], bits(1000), 1.0);
}

}  // namespace

