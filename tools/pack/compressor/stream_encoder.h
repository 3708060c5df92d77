// The compressor proper: codes files as one decoder stream.
//
// A StreamEncoder mirrors everything the decoder keeps from one file to the
// next (window, match history, tables, multimedia predictors), so that in a
// solid archive each file is coded as the continuation of the one before.
// For each stretch of input it chooses between LZ coding and multimedia
// coding with 1 to 4 channels, and between keeping the current tables and
// sending new ones, by what codes smaller.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace pack {

class StreamEncoder {
 public:
  // `solid`: files will follow one another in one stream, most of them
  // continuing the one before (tables are then chosen to last).
  StreamEncoder(int level, bool solid);
  ~StreamEncoder();
  StreamEncoder(const StreamEncoder&) = delete;
  StreamEncoder& operator=(const StreamEncoder&) = delete;

  // The packed data of one file. With `continues` the decoder carries its
  // state over from the previous file coded here (the solid continuation
  // flag of the file header must then be set); without it both sides start
  // afresh. `progress` gets the input bytes done so far.
  std::vector<uint8_t> EncodeFile(const uint8_t* data, size_t size, bool continues,
                                  const std::function<void(uint64_t)>& progress = {});

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace pack
