#include "archive/audio_predictor.h"

#include <cstring>

AudioPredictor audio_predictors[rar::kMaxChannels];
int32_t cross_delta;

uint8_t DecodeAudioByte(uint32_t symbol) {
  return DecodeAudioByteInline(audio_predictors[decoder_tables.current_channel], symbol);
}

void AdaptWeights(AudioPredictor& p) {
  uint32_t* s = p.error_sums;
  uint32_t best = 0;
  for (uint32_t i = 1; i < 11; ++i) {
    if (s[i] < s[best]) best = i;
  }
  std::memset(p.error_sums, 0, sizeof p.error_sums);
  StepWeight(p.weights, best);
}

void ResetAudioPredictors() {
  std::memset(audio_predictors, 0, sizeof audio_predictors);
  cross_delta = 0;
}
