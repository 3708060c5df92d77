// The multimedia predictor: what a channel predicts, how its errors are
// summed, and when and how far its weights move.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "archive/audio_predictor.h"

namespace {

// A fresh stream's predictors, fed symbols in the stream's channel order as
// the decoder's loop does.
struct Stream {
  AudioState state{};
  uint32_t channels;
  uint32_t channel = 0;

  explicit Stream(uint32_t n) : channels(n) {}
  AudioPredictor& Channel(uint32_t c) { return state.channels[c]; }
  uint8_t Byte(uint32_t symbol) {
    uint8_t byte = DecodeAudioByte(state.channels[channel], state.cross_delta, symbol);
    if (++channel == channels) channel = 0;
    return byte;
  }
  std::vector<uint8_t> Decode(const std::vector<uint32_t>& symbols) {
    std::vector<uint8_t> out;
    for (uint32_t s : symbols) out.push_back(Byte(s));
    return out;
  }
};

TEST(AudioPredictor, AFreshChannelPredictsZero) {
  for (auto [symbol, byte] : {std::pair{0u, 0}, {1u, 255}, {5u, 251}, {200u, 56}}) {
    EXPECT_EQ(Stream(1).Byte(symbol), byte) << symbol;
  }
  Stream s(1);
  s.Byte(5);
  EXPECT_EQ(s.Channel(0).prev_delta, -5);
  EXPECT_EQ(s.state.cross_delta, -5);
  EXPECT_EQ(s.Channel(0).prev_byte, 251);
}

TEST(AudioPredictor, WithZeroWeightsTheChannelsLastByteIsPredicted) {
  // Each byte is the one before minus the symbol, modulo 256.
  EXPECT_EQ(Stream(1).Decode({10, 0, 0, 3, 250, 0}), (std::vector<uint8_t>{246, 246, 246, 243, 249, 249}));
  // With three channels each keeps its own last byte.
  EXPECT_EQ(Stream(3).Decode({1, 2, 3, 1, 0, 1}), (std::vector<uint8_t>{255, 254, 253, 254, 254, 252}));
}

TEST(AudioPredictor, ErrorSumsFollowTheSymbolReadAsSigned) {
  Stream one(1);
  one.Byte(128);  // counts as -128: e = -1024, all terms still 0
  for (uint32_t sum : one.Channel(0).error_sums) EXPECT_EQ(sum, 1024u);
  EXPECT_EQ(one.Channel(0).prev_byte, 128);  // 0 - 128 modulo 256
  Stream s(1);
  const AudioPredictor& p = s.Channel(0);
  s.Byte(3);    // byte 253, delta -3
  s.Byte(255);  // e = -8; h0 = -3, h1 = -3, cross_delta = -3
  EXPECT_EQ(p.error_sums[0], 24u + 8u);
  EXPECT_EQ(p.error_sums[1], 24u + 5u);   // |-8 - (-3)|
  EXPECT_EQ(p.error_sums[2], 24u + 11u);  // |-8 + (-3)|
  EXPECT_EQ(p.error_sums[9], 24u + 5u);
  EXPECT_EQ(p.error_sums[10], 24u + 11u);
}

TEST(AudioPredictor, AWeightMovesOnEachChannelsThirtySecondByte) {
  // Alternating symbols 1 and 255 make the delta swing, so that adding the
  // latest delta (S2, S10 and the like) errs least: weight 0 steps up.
  Stream s(2);
  std::vector<uint32_t> symbols;
  for (int i = 0; i < 64; ++i) symbols.push_back((i / 2) % 2 ? 255 : 1);
  s.Decode(std::vector<uint32_t>(symbols.begin(), symbols.begin() + 62));
  EXPECT_EQ(s.Channel(0).sample_count, 31u);
  EXPECT_NE(s.Channel(0).error_sums[0], 0u);
  int32_t before[5];
  std::memcpy(before, s.Channel(0).weights, sizeof before);
  s.Byte(symbols[62]);  // channel 0's 32nd byte: the 63rd of the stream
  EXPECT_EQ(s.Channel(0).sample_count, 32u);
  for (uint32_t sum : s.Channel(0).error_sums) EXPECT_EQ(sum, 0u);
  EXPECT_NE(std::memcmp(before, s.Channel(0).weights, sizeof before), 0);
  EXPECT_NE(s.Channel(1).error_sums[0], 0u);
  s.Byte(symbols[63]);  // and channel 1's at the 64th
  for (uint32_t sum : s.Channel(1).error_sums) EXPECT_EQ(sum, 0u);
}

TEST(AudioPredictor, ZerosLeaveEverySumAtZeroAndNoWeightMoves) {
  Stream s(1);
  s.Decode(std::vector<uint32_t>(32, 0));
  for (int32_t w : s.Channel(0).weights) EXPECT_EQ(w, 0);
}

TEST(AudioPredictor, AdaptationPicksTheLowestSumAndStaysWithinItsBounds) {
  AudioPredictor p{};
  auto adapt_towards = [&p](uint32_t lowest) {
    for (uint32_t& s : p.error_sums) s = 100;
    p.error_sums[lowest] = 50;
    AdaptWeights(p);
  };
  for (int i = 0; i < 40; ++i) adapt_towards(1);  // S1: w0 down
  EXPECT_EQ(p.weights[0], -17);
  for (int i = 0; i < 40; ++i) adapt_towards(10);  // S10: w4 up
  EXPECT_EQ(p.weights[4], 16);
  adapt_towards(6);  // S6: w2 up
  adapt_towards(7);  // S7: w3 down
  EXPECT_EQ(p.weights[2], 1);
  EXPECT_EQ(p.weights[3], -1);
  for (uint32_t s : p.error_sums) EXPECT_EQ(s, 0u);
  // Ties go to the lower index, so S0 wins a tie and nothing moves.
  for (uint32_t& s : p.error_sums) s = 7;
  AdaptWeights(p);
  EXPECT_EQ(p.weights[0], -17);
  EXPECT_EQ(p.weights[1], 0);
  for (uint32_t& s : p.error_sums) s = 7;
  p.error_sums[0] = 9;
  AdaptWeights(p);  // S1 and S2 tie below S0: S1, w0 down (already at -17)
  EXPECT_EQ(p.weights[0], -17);
  EXPECT_EQ(p.weights[1], 0);
}

TEST(AudioPredictor, TheWeightStepMovesOneWeightOneStepWithinItsBounds) {
  // Every sum that can win, against every weight it can meet.
  for (uint32_t best = 0; best < 11; ++best) {
    for (int32_t w = -17; w <= 16; ++w) {
      int32_t weights[5] = {3, -3, 5, -5, 7};
      int32_t expected[5] = {3, -3, 5, -5, 7};
      if (best != 0) {
        const uint32_t j = (best - 1) / 2;
        weights[j] = w;
        expected[j] = best % 2 == 1 ? std::max(w - 1, -17) : std::min(w + 1, 16);
      }
      StepWeight(weights, best);
      for (int k = 0; k < 5; ++k) ASSERT_EQ(weights[k], expected[k]) << "S" << best << ", w " << w;
    }
  }
}

TEST(AudioPredictor, TheSmallestSumIsTheFirstOfTheSmallest) {
  uint32_t sums[11] = {9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9};
  EXPECT_EQ(SmallestErrorSum(sums), 0u);
  sums[10] = 8;
  EXPECT_EQ(SmallestErrorSum(sums), 10u);
  sums[4] = 8;
  EXPECT_EQ(SmallestErrorSum(sums), 4u);
  sums[0] = 0;
  EXPECT_EQ(SmallestErrorSum(sums), 0u);
}

TEST(AudioPredictor, WithOneChannelTheCrossDeltaIsTheChannelsOwn) {
  Stream s(1);
  s.Decode({20, 3});  // bytes 236, 233: the last delta is -3
  EXPECT_EQ(s.state.cross_delta, s.Channel(0).prev_delta);
  // So w0 and w4 weigh the same term: either adds the whole last delta.
  const AudioState saved = s.state;
  s.Channel(0).weights[0] = 8;
  EXPECT_EQ(s.Byte(0), 230);
  s.state = saved;
  s.Channel(0).weights[4] = 8;
  EXPECT_EQ(s.Byte(0), 230);
}

TEST(AudioPredictor, EncodingGivesTheSymbolThatDecodesToTheByte) {
  AudioState encoder{}, decoder{};
  for (uint32_t i = 0; i < 5000; ++i) {
    const uint8_t byte = static_cast<uint8_t>(i * i / 7 + (i % 13) * 9);
    const uint32_t c = i % 3;
    const uint8_t symbol = EncodeAudioByte(encoder.channels[c], encoder.cross_delta, byte);
    ASSERT_EQ(DecodeAudioByte(decoder.channels[c], decoder.cross_delta, symbol), byte) << i;
  }
  EXPECT_EQ(std::memcmp(&encoder, &decoder, sizeof encoder), 0) << "both sides in the same state";
}

}  // namespace
