#include "tools/pack/compressor/audio_model.h"

namespace pack {

uint8_t AudioModel::Encode(int channel, uint8_t actual) {
  return EncodeAudioByte(state_.channels[channel], state_.cross_delta, actual);
}

}  // namespace pack
