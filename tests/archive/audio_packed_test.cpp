// The predictor of the rounds against the plain one: the same bytes, and
// the same predictor records whenever its state is stored back, over random
// and adversarial symbol streams on one to four channels, with the error
// sums taken each way the processor allows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "archive/audio_error_sums.h"
#include "archive/audio_packed.h"
#include "archive/audio_predictor.h"
#include "archive/huffman.h"

namespace {

// Decodes `symbols` (channels in turn) with the plain predictor
// (DecodeAudioByte) and with PackedChannel on copies, the error sums taken
// by `path` at each period's end, and the state stored back and loaded again
// every `split` bytes; every byte and every stored record must agree.
// Each channel starts from `weights` if given.
void ExpectSameAsPlain(uint32_t channels, const std::vector<uint32_t>& symbols, size_t split,
                       ErrorSumsPath path = ErrorSumsPath::kScalar, const int32_t* weights = nullptr) {
  AudioState plain{};
  const bool fused = channels == 1;
  AudioPredictor records[4] = {};
  if (weights != nullptr) {
    for (uint32_t c = 0; c < channels; ++c) {
      std::copy(weights, weights + 5, plain.channels[c].weights);
      std::copy(weights, weights + 5, records[c].weights);
    }
  }
  PackedChannel packed[4];
  AudioChannelLog logs[4];
  PeriodSums sums[4];
  uint32_t stretch[4] = {};  // bytes logged since the sums were last taken
  int16_t stream_deltas[4][kLogBytes];  // the stream's last delta before each
  uint32_t decoded[4] = {};
  int64_t cross = 0;
  auto load = [&] {
    for (uint32_t c = 0; c < channels; ++c) {
      ASSERT_TRUE(LoadPacked(packed[c], logs[c], sums[c], records[c], fused));
      stretch[c] = 0;
      decoded[c] = 0;
    }
  };
  auto store_and_compare = [&](size_t at) {
    for (uint32_t c = 0; c < channels; ++c) {
      AddErrorSumsBy(path, logs[c], stream_deltas[c], stretch[c], sums[c]);
      StorePacked(packed[c], logs[c], stretch[c], sums[c], records[c], decoded[c]);
      ASSERT_EQ(std::memcmp(&records[c], &plain.channels[c], sizeof records[c]), 0)
          << "channel " << c << " after byte " << at;
    }
    ASSERT_EQ(cross, plain.cross_delta) << "after byte " << at;
  };
  load();
  for (size_t i = 0; i < symbols.size(); ++i) {
    uint32_t c = static_cast<uint32_t>(i % channels);
    uint8_t expected = DecodeAudioByte(plain.channels[c], plain.cross_delta, symbols[i]);
    stream_deltas[c][stretch[c]] = static_cast<int16_t>(cross);
    // The terms as the rounds take them: a byte on its own, or the first
    // or second byte of a pair entry (every length a pair can have), in
    // alternate blocks.
    uint64_t term = audio_packed_detail::kSymbolTerms[symbols[i]];
    if ((i / 1000) % 2 == 0 && i % 2 == 0 && i + 1 < symbols.size()) {
      term = PackedPairEntry(symbols[i], symbols[i + 1], 2 + (i / 2) % (kPairBits - 1));
    } else if ((i / 1000) % 2 == 0 && i % 2 == 1) {
      term = PairSecondTerm(PackedPairEntry(symbols[i - 1], symbols[i], 2 + (i / 2) % (kPairBits - 1)));
    } else if ((i / 500) % 2 == 1 && i % 2 == 0) {
      // The first symbol of an entry without a pair (every length it can have).
      term = PackedSingleEntry(symbols[i], 1 + (i / 2) % kAudioFastBits);
    }
    uint8_t byte = fused ? DecodePacked<true>(packed[c], logs[c], stretch[c], symbols[i], term, cross)
                         : DecodePacked<false>(packed[c], logs[c], stretch[c], symbols[i], term, cross);
    ASSERT_EQ(byte, expected) << "byte " << i << ", channel " << c;
    ++stretch[c];
    if ((records[c].sample_count + ++decoded[c]) % 32 == 0) {
      AddErrorSumsBy(path, logs[c], stream_deltas[c], stretch[c], sums[c]);
      FinishPackedPeriod(packed[c], records[c], SmallestSum(sums[c]), sums[c], fused);
      StartNextStretch(logs[c], stretch[c]);
      stretch[c] = 0;
    }
    if ((i + 1) % split == 0) {
      store_and_compare(i);
      load();
    }
  }
  store_and_compare(symbols.size());
}

std::vector<uint32_t> Random(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint32_t> s(n);
  for (uint32_t& v : s) v = rng() & 0xFF;
  return s;
}

// Small errors around 0, as from a predictor that tracks a smooth signal.
std::vector<uint32_t> Small(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint32_t> s(n);
  for (uint32_t& v : s) v = (rng() % 7 + 253) & 0xFF;
  return s;
}

std::vector<uint32_t> Repeat(size_t n, std::vector<uint32_t> pattern) {
  std::vector<uint32_t> s(n);
  for (size_t i = 0; i < n; ++i) s[i] = pattern[i % pattern.size()];
  return s;
}

TEST(AudioPacked, GiveThePlainBytesAndStateOnOneToFourChannels) {
  for (uint32_t channels = 1; channels <= 4; ++channels) {
    SCOPED_TRACE("channels " + std::to_string(channels));
    ExpectSameAsPlain(channels, Random(4000, channels), 4000);
    ExpectSameAsPlain(channels, Small(4000, 10 + channels), 4000);
  }
}

TEST(AudioPacked, HoldUnderTheLargestErrorsAndWeightsAtTheirBounds) {
  for (uint32_t channels = 1; channels <= 4; ++channels) {
    SCOPED_TRACE("channels " + std::to_string(channels));
    // -128 on every byte: the largest error term, sums near their maximum.
    ExpectSameAsPlain(channels, Repeat(3000, {128}), 3000);
    // The extremes in turn: deltas swing across their whole range.
    ExpectSameAsPlain(channels, Repeat(3000, {127, 128}), 3000);
    ExpectSameAsPlain(channels, Repeat(3000, {127, 127, 128, 128, 0}), 3000);
    // Swings that keep one adaptation direction until the weights stop at
    // -17 and 16, then zeros, where S0 wins the ties.
    std::vector<uint32_t> s = Repeat(6000, {1, 1, 255, 255});
    std::vector<uint32_t> zeros(500, 0);
    s.insert(s.end(), zeros.begin(), zeros.end());
    ExpectSameAsPlain(channels, s, s.size());
  }
}

TEST(AudioPacked, StoreAndLoadAnywhereInAPeriod) {
  for (uint32_t channels = 1; channels <= 4; ++channels) {
    SCOPED_TRACE("channels " + std::to_string(channels));
    for (size_t split : {1, 7, 31, 33, 64}) {
      SCOPED_TRACE("split " + std::to_string(split));
      ExpectSameAsPlain(channels, Random(700, 40 + static_cast<uint32_t>(split)), split);
    }
  }
}

// Weights that a block of other channel counts left behind. With a single
// channel the stream's delta is the channel's own, so its weight never moves
// there, but one that several channels moved still counts.
TEST(AudioPacked, StartFromWeightsThatOtherChannelCountsLeft) {
  std::mt19937 rng(77);
  for (int round = 0; round < 8; ++round) {
    int32_t weights[5];
    for (int32_t& w : weights) w = static_cast<int32_t>(rng() % 34) - 17;
    if (round == 0) std::fill(weights, weights + 5, 16);
    if (round == 1) std::fill(weights, weights + 5, -17);
    for (uint32_t channels = 1; channels <= 4; ++channels) {
      SCOPED_TRACE("round " + std::to_string(round) + ", channels " + std::to_string(channels));
      ExpectSameAsPlain(channels, Random(1500, 200 + round), 1500, ErrorSumsPath::kScalar, weights);
      ExpectSameAsPlain(channels, Small(1500, 300 + round), 97, ErrorSumsPath::kScalar, weights);
    }
  }
}

TEST(AudioPacked, EveryWayOfTakingTheSumsGivesThePlainRecords) {
  for (ErrorSumsPath path : {ErrorSumsPath::kScalar, ErrorSumsPath::kSse2, ErrorSumsPath::kAvx2}) {
    if (!ErrorSumsPathAvailable(path)) continue;
    SCOPED_TRACE("path " + std::to_string(static_cast<int>(path)));
    for (uint32_t channels = 1; channels <= 4; ++channels) {
      SCOPED_TRACE("channels " + std::to_string(channels));
      ExpectSameAsPlain(channels, Random(3000, 70 + channels), 3000, path);
      ExpectSameAsPlain(channels, Repeat(2000, {128}), 2000, path);
      // Stretches of every length from 1 to 32, lanes cut anywhere.
      for (size_t split : {1, 5, 9, 15, 17, 23, 31}) {
        ExpectSameAsPlain(channels, Small(600, 90 + static_cast<uint32_t>(split)), split, path);
      }
    }
  }
}

// A pair entry is told from a single symbol's and from 0 by one test, for
// every symbol and every length each can have.
TEST(AudioPacked, PairsAreToldFromSingleSymbolsAndFromNothing) {
  EXPECT_FALSE(PairFound(0));
  for (uint32_t s0 = 0; s0 < 256; ++s0) {
    for (uint32_t length = 1; length <= kAudioFastBits; ++length) {
      const uint64_t single = PackedSingleEntry(s0, length);
      EXPECT_FALSE(PairFound(single)) << s0 << " " << length;
      EXPECT_EQ(single & 63, length);
      EXPECT_EQ(PairFirstSymbol(single), s0);
      // The first symbol's term as a pair entry's: the same top twelve bits.
      EXPECT_EQ(single >> 52, PackedPairEntry(s0, 0, 2) >> 52);
    }
    for (uint32_t length = 2; length <= kPairBits; ++length) {
      EXPECT_TRUE(PairFound(PackedPairEntry(s0, 255 - s0, length))) << s0 << " " << length;
    }
  }
}

// The pair tables of the rounds, built from the parts of their entries,
// against the general builder with the rounds' entries, on audio-like,
// random, incomplete, over-subscribed and empty codes.
TEST(AudioPacked, PackedPairTablesAreThoseOfTheGeneralBuilder) {
  std::mt19937 rng(4242);
  auto check = [](const std::vector<uint8_t>& la, const std::vector<uint8_t>& lb) {
    HuffmanTable a{}, b{};
    BuildHuffmanTable(la.data(), a, 257, kAudioFastBits);
    BuildHuffmanTable(lb.data(), b, 257, kAudioFastBits);
    std::vector<uint64_t> general(1u << kPairBits), packed(1u << kPairBits);
    BuildPairEntries(a, b, 256, general.data(), PackedPairEntry, PackedSingleEntry);
    BuildPackedPairs(a, b, packed.data());
    for (uint32_t v = 0; v < (1u << kPairBits); ++v) ASSERT_EQ(packed[v], general[v]) << "entry " << v;
  };
  std::vector<uint8_t> audio(257, 0);
  audio[0] = 2;
  audio[256] = 3;
  audio[1] = 3;
  audio[255] = 4;
  for (uint32_t s = 2; s < 200; ++s) audio[s] = static_cast<uint8_t>(9 + s % 7);
  std::vector<uint8_t> flat(257, 8), empty(257, 0), short_codes(257, 0);
  for (uint32_t s = 240; s < 257; ++s) short_codes[s] = 4;  // 256 among them
  check(audio, audio);
  check(audio, short_codes);
  check(short_codes, audio);
  check(short_codes, short_codes);
  check(flat, flat);
  check(empty, audio);
  check(audio, empty);
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE("random " + std::to_string(round));
    std::vector<uint8_t> x(257), y(257);
    for (uint8_t& l : x) l = static_cast<uint8_t>(rng() % 3 == 0 ? 0 : 1 + rng() % (round % 2 ? 6 : 15));
    for (uint8_t& l : y) l = static_cast<uint8_t>(rng() % 3 == 0 ? 0 : 1 + rng() % (round % 3 ? 12 : 15));
    check(x, y);
  }
}

TEST(AudioPacked, RefuseARecordThatDecodingNeverReaches) {
  AudioPredictor p{};
  PackedChannel packed;
  AudioChannelLog log;
  PeriodSums sums;
  EXPECT_TRUE(LoadPacked(packed, log, sums, p, false));
  // Weights at their bounds are fine; beyond them the multiply's bounds fail.
  p.weights[2] = -17;
  p.weights[4] = 16;
  EXPECT_TRUE(LoadPacked(packed, log, sums, p, true));
  p.weights[4] = 17;
  EXPECT_FALSE(LoadPacked(packed, log, sums, p, false));
  p.weights[4] = 0;
  // A history whose oldest delta lies outside -128 to 127.
  p.history[0] = -128;
  p.history[3] = 1;
  EXPECT_FALSE(LoadPacked(packed, log, sums, p, false));
  p.history[3] = 0;
  EXPECT_TRUE(LoadPacked(packed, log, sums, p, false));
  // A sum that the rest of its period could carry past 16 bits: 31 bytes to
  // go after the first.
  p.sample_count = 1;
  p.error_sums[7] = 1279;
  EXPECT_TRUE(LoadPacked(packed, log, sums, p, false));
  p.error_sums[7] = 1280;
  EXPECT_FALSE(LoadPacked(packed, log, sums, p, false));
}

// The smallest sum each way against the plain search, on sums with many ties.
TEST(AudioPacked, TheSmallestSumIsTheFirstOfTheSmallest) {
  std::mt19937 rng(5);
  for (int round = 0; round < 20000; ++round) {
    PeriodSums sums;
    ClearPeriodSums(sums);
    const uint32_t spread = round % 3 == 0 ? 3 : round % 3 == 1 ? 40 : kPeriodSumsLimit + 1;
    for (uint32_t k = 0; k < 11; ++k) sums.lanes[k] = static_cast<uint16_t>(rng() % spread);
    uint32_t plain[11];
    for (uint32_t k = 0; k < 11; ++k) plain[k] = sums.lanes[k];
    const uint32_t expected = SmallestErrorSum(plain);
    for (ErrorSumsPath path : {ErrorSumsPath::kScalar, ErrorSumsPath::kSse2, ErrorSumsPath::kAvx2}) {
      if (!ErrorSumsPathAvailable(path)) continue;
      ASSERT_EQ(SmallestSumBy(path, sums), expected) << "path " << static_cast<int>(path);
    }
  }
}

// The sums of a stretch each way against the plain predictor's sums, byte by
// byte, on logs of random symbols and deltas over their whole range, for
// every stretch length and on top of sums already there.
TEST(AudioPacked, EveryWayOfTakingTheSumsAddsThePlainSums) {
  std::mt19937 rng(11);
  for (int round = 0; round < 3000; ++round) {
    AudioChannelLog log;
    int16_t cross[kLogBytes];
    for (int16_t& d : log.deltas) d = static_cast<int16_t>(static_cast<int>(rng() % 256) - 128);
    for (uint8_t& s : log.symbols) s = static_cast<uint8_t>(round % 4 == 0 ? 128 + rng() % 2 * 127 : rng());
    for (int16_t& d : cross) d = static_cast<int16_t>(static_cast<int>(rng() % 256) - 128);
    const uint32_t n = static_cast<uint32_t>(round % (kLogBytes + 1));
    PeriodSums start;
    ClearPeriodSums(start);
    for (uint32_t k = 0; k < 11; ++k) start.lanes[k] = static_cast<uint16_t>(rng() % 1000);

    uint32_t plain[11] = {};
    for (uint32_t j = 0; j < n; ++j) {
      const int16_t* d = log.deltas + kLogLead + j;
      AddErrors(plain, log.symbols[j], {d[-1], d[-1] - d[-2], d[-2] - d[-3], d[-3] - d[-4], cross[j]});
    }
    for (ErrorSumsPath path : {ErrorSumsPath::kScalar, ErrorSumsPath::kSse2, ErrorSumsPath::kAvx2}) {
      if (!ErrorSumsPathAvailable(path)) continue;
      PeriodSums sums = start;
      AddErrorSumsBy(path, log, cross, n, sums);
      for (uint32_t k = 0; k < 11; ++k) {
        ASSERT_EQ(sums.lanes[k], start.lanes[k] + plain[k])
            << "path " << static_cast<int>(path) << ", " << n << " bytes, S" << k;
      }
      for (uint32_t k = 11; k < 16; ++k) ASSERT_EQ(sums.lanes[k], 0xFFFF) << "lane " << k;
    }
  }
}

}  // namespace
