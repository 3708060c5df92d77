// An off-by-default timeline of the output, for measuring latencies from
// outside the process (bench/measure-player).
//
// When the environment variable QUARB_AUDIO_TRACE names a file at BASS_Init,
// the layer appends one line per event to it, each stamped with the
// CLOCK_MONOTONIC time in nanoseconds (on Windows, QueryPerformanceCounter's
// time), which other processes can compare with their own clock:
//   init <ns>             the output opened
//   play <ns> <handle>    BASS_MusicPlay made a music current
//   first <ns> <handle>   the mixer rendered that music's first frames
//   sound <ns>            a mixer buffer holds sound after only silence
// Mixer events are stamped when the buffer is handed to the device. Without
// the variable nothing is checked or written beyond one test of a flag.
#pragma once

#include <cstddef>
#include <cstdint>

namespace audio_trace {

// Reads the variable and opens the file; called by BASS_Init.
void Open();
// Closes the file; called by BASS_Free.
void Close();
bool Enabled();

void Note(const char* event, uint64_t handle = 0, bool with_handle = false);
// Called by the mixer after filling a buffer of `samples` floats.
void Mixed(const float* buffer, size_t samples);

}  // namespace audio_trace
