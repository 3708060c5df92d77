// Multimedia (audio) mode: up to four interleaved channels of 8-bit samples,
// each byte coded as its difference from a prediction.
//
// Every channel has an adaptive linear predictor over its last byte, its last
// deltas and the stream's latest delta (`cross_delta`, shared by all
// channels). After every 32 bytes of a channel one of its five weights moves
// one step towards the setting that would have erred least over that period;
// weights stay within -17 and 16. The state runs on across table blocks and
// across the files of a solid stream; only a fresh stream resets it.
#pragma once

#include <cstdint>

#include "archive/code_tables.h"

struct AudioPredictor {
  int32_t weights[5];
  int32_t history[4];      // last delta, its change, and the two changes before
  int32_t prev_delta;      // -128 to 127
  uint32_t error_sums[11];
  uint32_t sample_count;
  int32_t prev_byte;       // 0 to 255
};

extern AudioPredictor audio_predictors[kMaxChannels];
extern int32_t cross_delta;

// The byte for `symbol` (0-255) on the current channel
// (decoder_tables.current_channel), which it does not advance.
uint8_t DecodeAudioByte(uint32_t symbol);

// One adaptation step, run by DecodeAudioByte on a channel's every 32nd byte.
void AdaptWeights(AudioPredictor& p);

// Zero predictors and cross_delta: the state of a fresh stream.
void ResetAudioPredictors();
