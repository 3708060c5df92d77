// Listening by numbers: renders a module through libopenmpt, as the player
// does, and measures what a listener would notice: length, level, clipping
// and gaps of silence.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace songs {

struct Analysis {
  std::string title;
  int channels = 0;
  double duration = 0;        // libopenmpt's length of one pass through the song
  double rendered = 0;        // seconds actually rendered
  double peak = 0;            // largest absolute sample, 1.0 = full scale
  double rms = 0;             // over the whole song
  double quietest_second = 0; // RMS of the quietest whole second
  double longest_silence = 0; // seconds, windows of 50 ms below -60 dBFS
  int64_t clipped = 0;        // samples at or above full scale
  double balance = 0;         // (R - L) / (R + L) of the RMS, 0 is centred
};

// Renders one pass at 44100 Hz stereo. Throws std::runtime_error when
// libopenmpt cannot load the bytes. `wav_path`, when not empty, receives the
// rendering as a 16-bit WAV file.
Analysis AnalyseModule(const std::vector<uint8_t>& bytes, const std::string& wav_path = "");

}  // namespace songs
