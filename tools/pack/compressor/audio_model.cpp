#include "tools/pack/compressor/audio_model.h"

#include <cstdlib>

namespace pack {

namespace {

int32_t Signed8(uint32_t v) { return static_cast<int8_t>(static_cast<uint8_t>(v)); }

// After every 32 bytes of a channel the weight whose term would have made the
// smallest error moves one step that way; ties keep the lower index, and the
// plain error S0 wins them all.
void AdaptWeights(AudioChannelModel& p) {
  int m = 0;
  for (int i = 1; i < 11; ++i) {
    if (p.error_sums[i] < p.error_sums[m]) m = i;
  }
  for (uint32_t& s : p.error_sums) s = 0;
  if (m == 0) return;
  int32_t& w = p.weights[(m - 1) / 2];
  if (m & 1) {
    if (w >= -16) --w;
  } else {
    if (w < 16) ++w;
  }
}

}  // namespace

uint8_t AudioModel::Encode(int channel, uint8_t actual) {
  AudioChannelModel& p = channels_[channel];
  int32_t* h = p.history;
  const int32_t* w = p.weights;
  ++p.sample_count;
  h[3] = h[2];
  h[2] = h[1];
  h[1] = p.prev_delta - h[0];
  h[0] = p.prev_delta;
  int32_t acc = 8 * p.prev_byte + w[0] * h[0] + w[1] * h[1] + w[2] * h[2] + w[3] * h[3] + w[4] * cross_delta_;
  uint32_t predicted = static_cast<uint32_t>(acc >> 3) & 0xFF;
  uint8_t symbol = static_cast<uint8_t>(predicted - actual);

  int32_t e = 8 * Signed8(symbol);
  uint32_t* s = p.error_sums;
  s[0] += std::abs(e);
  s[1] += std::abs(e - h[0]);
  s[2] += std::abs(e + h[0]);
  s[3] += std::abs(e - h[1]);
  s[4] += std::abs(e + h[1]);
  s[5] += std::abs(e - h[2]);
  s[6] += std::abs(e + h[2]);
  s[7] += std::abs(e - h[3]);
  s[8] += std::abs(e + h[3]);
  s[9] += std::abs(e - cross_delta_);
  s[10] += std::abs(e + cross_delta_);

  int32_t delta = Signed8(actual - static_cast<uint32_t>(p.prev_byte));
  p.prev_delta = delta;
  cross_delta_ = delta;
  p.prev_byte = actual;
  if ((p.sample_count & 0x1F) == 0) AdaptWeights(p);
  return symbol;
}

}  // namespace pack
