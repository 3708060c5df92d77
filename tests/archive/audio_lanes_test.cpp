// The predictor in registers against the plain one: the same bytes, and
// the same predictor records whenever the registers are stored back, over
// random and adversarial symbol streams on one to four channels.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "archive/audio_lanes.h"
#include "archive/audio_predictor.h"
#include "archive/code_tables.h"

#ifdef QUARB_AUDIO_LANES

namespace {

// Decodes `symbols` (channels in turn) with DecodeAudioByte on the global
// predictors and with AudioLanes on copies, storing the lanes back and
// loading them again every `split` bytes; every byte and every stored state
// must agree.
void ExpectSameAsPlain(uint32_t channels, const std::vector<uint32_t>& symbols, size_t split) {
  ResetAudioPredictors();
  decoder_tables.channel_count = channels;
  decoder_tables.current_channel = 0;
  const bool fused = channels == 1;
  AudioPredictor records[4] = {};
  AudioLanes lanes[4];
  uint32_t decoded[4] = {};
  int32_t cross = 0;
  auto load = [&] {
    for (uint32_t c = 0; c < channels; ++c) {
      ASSERT_TRUE(LoadAudioLanes(lanes[c], records[c], fused));
      decoded[c] = 0;
    }
  };
  auto store_and_compare = [&](size_t at) {
    for (uint32_t c = 0; c < channels; ++c) {
      StoreAudioLanes(lanes[c], records[c], decoded[c]);
      ASSERT_EQ(std::memcmp(&records[c], &audio_predictors[c], sizeof records[c]), 0)
          << "channel " << c << " after byte " << at;
    }
    ASSERT_EQ(cross, cross_delta) << "after byte " << at;
  };
  load();
  for (size_t i = 0; i < symbols.size(); ++i) {
    uint32_t c = static_cast<uint32_t>(i % channels);
    decoder_tables.current_channel = c;
    uint8_t expected = DecodeAudioByte(symbols[i]);
    uint8_t byte = fused ? DecodeAudioLanes<true>(lanes[c], symbols[i], cross)
                         : DecodeAudioLanes<false>(lanes[c], symbols[i], cross);
    ASSERT_EQ(byte, expected) << "byte " << i << ", channel " << c;
    if ((records[c].sample_count + ++decoded[c]) % 32 == 0) {
      FinishAudioPeriod(lanes[c], records[c].weights, fused);
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

TEST(AudioLanes, GiveThePlainBytesAndStateOnOneToFourChannels) {
  for (uint32_t channels = 1; channels <= 4; ++channels) {
    SCOPED_TRACE("channels " + std::to_string(channels));
    ExpectSameAsPlain(channels, Random(4000, channels), 4000);
    ExpectSameAsPlain(channels, Small(4000, 10 + channels), 4000);
  }
}

TEST(AudioLanes, HoldUnderTheLargestErrorsAndWeightsAtTheirBounds) {
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

TEST(AudioLanes, StoreAndLoadAnywhereInAPeriod) {
  for (uint32_t channels = 1; channels <= 4; ++channels) {
    SCOPED_TRACE("channels " + std::to_string(channels));
    for (size_t split : {1, 7, 31, 33, 64}) {
      SCOPED_TRACE("split " + std::to_string(split));
      ExpectSameAsPlain(channels, Random(700, 40 + static_cast<uint32_t>(split)), split);
    }
  }
}

TEST(AudioLanes, RefuseARecordWhoseSumsCouldOutgrowTheLanes) {
  AudioPredictor p{};
  AudioLanes lanes;
  EXPECT_TRUE(LoadAudioLanes(lanes, p, false));
  p.error_sums[4] = 0xFFFF;
  EXPECT_FALSE(LoadAudioLanes(lanes, p, false));
  p.error_sums[4] = 0;
  p.history[3] = 40000;
  EXPECT_FALSE(LoadAudioLanes(lanes, p, false));
}

}  // namespace

#endif  // QUARB_AUDIO_LANES
