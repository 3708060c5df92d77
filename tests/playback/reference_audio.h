// What the playback tests compare the layer's output with: libopenmpt
// rendering the same module on its own, and checks over interleaved stereo
// float samples.
#pragma once

#include <cstdint>
#include <vector>

using Samples = std::vector<float>;  // interleaved stereo

// The song from its start, rendered in pieces of `chunk` frames (the buffer
// size the output asks for, since libopenmpt's output depends on it), at
// `rate` Hz. Stops early at the end of a song that does not loop.
Samples Reference(const std::vector<uint8_t>& module, bool loop, uint64_t frames, int chunk, int rate = 44100);

// Frames [at, at + count) of the output equal frames [from, from + count) of
// `expected`. Fatal failures: use ASSERT_NO_FATAL_FAILURE where it matters.
void ExpectSameFrames(const Samples& output, uint64_t at, const Samples& expected, uint64_t from, uint64_t count);

void ExpectSilent(const Samples& output, uint64_t at, uint64_t count);

// The loudest sample of frames [at, at + count).
float Peak(const Samples& output, uint64_t at, uint64_t count);
