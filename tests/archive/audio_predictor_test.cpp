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

TEST(AudioPredictor, HistoryHoldsTheLastDeltaAndItsChanges) {
  FreshChannels(1);
  Decode({0xFB, 0xFE, 0x00, 0x04});  // bytes 5, 7, 7, 3: deltas 5, 2, 0, -4
  const AudioPredictor& p = audio_predictors[0];
  // Before the fourth call the history shifted in the third call's delta.
  EXPECT_EQ(p.prev_delta, -4);
  EXPECT_EQ(p.history[0], 0);        // last delta seen at the fourth call
  EXPECT_EQ(p.history[1], 0 - 2);    // its change
  EXPECT_EQ(p.history[2], 2 - 5);    // the change before
  EXPECT_EQ(p.history[3], 5 - 0);
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

TEST(AudioPredictor, WeightsShapeThePrediction) {
  FreshChannels(1);
  AudioPredictor& p = audio_predictors[0];
  p.prev_byte = 100;
  p.prev_delta = 10;  // becomes h0
  p.weights[0] = 8;   // adds the whole last delta
  EXPECT_EQ(DecodeAudioByte(0), 110);
  // With one channel cross_delta is the channel's own last delta, so w4
  // weighs the same term as w0.
  FreshChannels(1);
  p.prev_byte = 100;
  p.prev_delta = 10;
  cross_delta = 10;
  p.weights[4] = -8;
  EXPECT_EQ(DecodeAudioByte(0), 90);
  // The prediction is shifted arithmetically: -1/8 rounds down.
  FreshChannels(1);
  p.prev_byte = 0;
  p.prev_delta = -1;
  p.weights[0] = 1;
  EXPECT_EQ(DecodeAudioByte(0), 255);
}

}  // namespace
