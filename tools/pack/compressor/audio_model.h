// The multimedia predictor run forwards: for each byte of a channel the
// symbol sent is the prediction minus the byte (modulo 256). The encoder
// must move every weight and sum exactly as the decoder does, so it runs the
// decoder's own predictor (archive/audio_predictor.h).
#pragma once

#include <cstdint>

#include "archive/audio_predictor.h"

namespace pack {

class AudioModel {
 public:
  // The symbol that makes the decoder produce `actual` on `channel`; the
  // model advances as the decoder's does.
  uint8_t Encode(int channel, uint8_t actual);

  const AudioPredictor& Channel(int channel) const { return state_.channels[channel]; }

 private:
  AudioState state_{};
};

}  // namespace pack
