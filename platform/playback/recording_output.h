// An output with no device and no thread of its own, for tests of the
// playback layer: the mixer runs only when the test pumps it, so what was
// heard, and where, follows from the calls alone, never from timing.
//
// Chosen with UseRecordingOutput() (outputs.h). It has one device: BASS_Init
// with -1 or 1 opens it, other numbers fail. It reports the rate and buffer
// size BASS_Init asks for. Everything here is meant for the thread that makes
// the BASS_* calls.
#pragma once

#include <cstddef>
#include <vector>

// Runs the mixer for `frames` frames, in calls of the buffer size (the last
// one shorter when `frames` is not a multiple of it), holding the output's
// lock around each call as a device's thread does, and appends what it
// produced to the recording. Returns the frames produced: 0 unless a
// recording output is open and started.
size_t RecordingOutputPump(size_t frames);

// Everything the mixer produced since the recording output last opened,
// interleaved stereo; still there after it closed.
const std::vector<float>& RecordingOutputSamples();

// True between a successful open and the close (BASS_Init to BASS_Free).
bool RecordingOutputIsOpen();

// While set, opening fails as it does when a system has no sound device.
void RecordingOutputRefuseOpen(bool refuse);
