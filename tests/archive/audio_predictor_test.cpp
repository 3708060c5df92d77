// The multimedia predictor: what a channel predicts, how its errors are
// summed, and when and how far its weights move.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "archive/audio_predictor.h"
#include "archive/code_tables.h"

namespace {

void FreshChannels(uint32_t channels) {
  ResetAudioPredictors();
  decoder_tables.channel_count = channels;
  decoder_tables.current_channel = 0;
}

// Decodes symbols in the stream's channel order, as the decoder's loop does.
std::vector<uint8_t> Decode(const std::vector<uint32_t>& symbols) {
  std::vector<uint8_t> out;
  for (uint32_t s : symbols) {
    out.push_back(DecodeAudioByte(s));
    if (++decoder_tables.current_channel == decoder_tables.channel_count) {
      decoder_tables.current_channel = 0;
    }
  }
  return out;
}

TEST(AudioPredictor, AFreshChannelPredictsZero) {
  for (auto [symbol, byte] : {std::pair{0u, 0}, {1u, 255}, {5u, 251}, {200u, 56}}) {
    FreshChannels(1);
    EXPECT_EQ(DecodeAudioByte(symbol), byte) << symbol;
  }
  FreshChannels(1);
  DecodeAudioByte(5);
  EXPECT_EQ(audio_predictors[0].prev_delta, -5);
  EXPECT_EQ(cross_delta, -5);
  EXPECT_EQ(audio_predictors[0].prev_byte, 251);
}

TEST(AudioPredictor, WithZeroWeightsTheChannelsLastByteIsPredicted) {
  FreshChannels(1);
  // Each byte is the one before minus the symbol, modulo 256.
  EXPECT_EQ(Decode({10, 0, 0, 3, 250, 0}), (std::vector<uint8_t>{246, 246, 246, 243, 249, 249}));
  // With three channels each keeps its own last byte.
  FreshChannels(3);
  EXPECT_EQ(Decode({1, 2, 3, 1, 0, 1}), (std::vector<uint8_t>{255, 254, 253, 254, 254, 252}));
}

TEST(AudioPredictor, ErrorSumsFollowTheSymbolReadAsSigned) {
  FreshChannels(1);
  DecodeAudioByte(128);  // counts as -128: e = -1024, all terms still 0
  const AudioPredictor& p = audio_predictors[0];
  for (uint32_t sum : p.error_sums) EXPECT_EQ(sum, 1024u);
  EXPECT_EQ(p.prev_byte, 128);  // 0 - 128 modulo 256
  FreshChannels(1);
  DecodeAudioByte(3);    // byte 253, delta -3
  DecodeAudioByte(255);  // e = -8; h0 = -3, h1 = -3, cross_delta = -3
  EXPECT_EQ(p.error_sums[0], 24u + 8u);
  EXPECT_EQ(p.error_sums[1], 24u + 5u);   // |-8 - (-3)|
  EXPECT_EQ(p.error_sums[2], 24u + 11u);  // |-8 + (-3)|
  EXPECT_EQ(p.error_sums[9], 24u + 5u);
  EXPECT_EQ(p.error_sums[10], 24u + 11u);
}

TEST(AudioPredictor, AWeightMovesOnEachChannelsThirtySecondByte) {
  // Alternating symbols 1 and 255 make the delta swing, so that adding the
  // latest delta (S2, S10 and the like) errs least: weight 0 steps up.
  FreshChannels(2);
  std::vector<uint32_t> symbols;
  for (int i = 0; i < 64; ++i) symbols.push_back((i / 2) % 2 ? 255 : 1);
  Decode(std::vector<uint32_t>(symbols.begin(), symbols.begin() + 62));
  EXPECT_EQ(audio_predictors[0].sample_count, 31u);
  EXPECT_NE(audio_predictors[0].error_sums[0], 0u);
  int32_t before[5];
  std::memcpy(before, audio_predictors[0].weights, sizeof before);
  Decode({symbols[62]});  // channel 0's 32nd byte: the 63rd of the stream
  EXPECT_EQ(audio_predictors[0].sample_count, 32u);
  for (uint32_t sum : audio_predictors[0].error_sums) EXPECT_EQ(sum, 0u);
  EXPECT_NE(std::memcmp(before, audio_predictors[0].weights, sizeof before), 0);
  EXPECT_NE(audio_predictors[1].error_sums[0], 0u);
  Decode({symbols[63]});  // and channel 1's at the 64th
  for (uint32_t sum : audio_predictors[1].error_sums) EXPECT_EQ(sum, 0u);
}

TEST(AudioPredictor, ZerosLeaveEverySumAtZeroAndNoWeightMoves) {
  FreshChannels(1);
  Decode(std::vector<uint32_t>(32, 0));
  for (int32_t w : audio_predictors[0].weights) EXPECT_EQ(w, 0);
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

TEST(AudioPredictor, WithOneChannelTheCrossDeltaIsTheChannelsOwn) {
  FreshChannels(1);
  AudioPredictor& p = audio_predictors[0];
  Decode({20, 3});  // bytes 236, 233: the last delta is -3
  EXPECT_EQ(cross_delta, p.prev_delta);
  // So w0 and w4 weigh the same term: either adds the whole last delta.
  AudioPredictor saved = p;
  p.weights[0] = 8;
  EXPECT_EQ(DecodeAudioByte(0), 230);
  FreshChannels(1);
  p = saved;
  cross_delta = -3;
  p.weights[4] = 8;
  EXPECT_EQ(DecodeAudioByte(0), 230);
}

}  // namespace
