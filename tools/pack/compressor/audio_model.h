// The multimedia predictor as the decoder runs it, run forwards: for each
// byte of a channel it predicts the byte from the channel's last byte, its
// recent deltas and the stream's last delta, and the symbol sent is the
// prediction minus the byte (modulo 256). The encoder must move every weight
// and sum exactly as the decoder does, so this mirrors its arithmetic step
// for step.
#pragma once

#include <cstdint>

namespace pack {

struct AudioChannelModel {
  int32_t weights[5] = {};
  int32_t history[4] = {};
  int32_t prev_delta = 0;
  uint32_t error_sums[11] = {};
  uint32_t sample_count = 0;
  int32_t prev_byte = 0;
};

class AudioModel {
 public:
  // The symbol that makes the decoder produce `actual` on `channel`; the
  // model advances as the decoder's does.
  uint8_t Encode(int channel, uint8_t actual);

  const AudioChannelModel& Channel(int channel) const { return channels_[channel]; }

 private:
  AudioChannelModel channels_[4];
  int32_t cross_delta_ = 0;
};

}  // namespace pack
