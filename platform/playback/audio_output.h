// Where the playback layer's sound goes: one audio device, behind a small
// interface, so that the layer's rules (bass.cpp) know nothing of the system
// that plays the frames. Each backend lives in a file of its own; which one
// BASS_Init opens is chosen in one place, platform/playback/outputs.h.
//
// The contract every backend keeps:
// - Open opens the system's default device (-1) or its n-th (1..n) for stereo
//   32-bit float frames at `rate` Hz, asking for buffers of `buffer_frames`,
//   and reports the rate and buffer size it got. It starts nothing: the mixer
//   is first called after Start. On failure nothing is left open.
// - The mixer fills the frames it is given; it runs on the output's own
//   thread (or the pumping thread, for the recording output), always with the
//   lock held.
// - Lock excludes the mixer while held. It is recursive: the thread holding
//   it may take it again.
// - Close waits for a mixer call in progress, stops the thread and releases
//   the device; the mixer is not called again. It must not be called with the
//   lock held. Open may follow.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>

class AudioOutput {
 public:
  // Fills `frames` interleaved stereo frames (2 * frames floats) at `out`.
  using Mixer = std::function<void(float* out, size_t frames)>;

  struct Format {
    int rate = 0;           // Hz
    int buffer_frames = 0;  // frames the mixer is asked for at a time (at most)
  };

  virtual ~AudioOutput() = default;

  virtual bool Open(int device, int rate, int buffer_frames, Mixer mixer, Format* actual) = 0;
  virtual void Start() = 0;
  virtual void Lock() = 0;
  virtual void Unlock() = 0;
  virtual void Close() = 0;
};

// The output chosen in outputs.h, new and closed; called by BASS_Init.
std::unique_ptr<AudioOutput> MakeChosenOutput();

// The backends, one file each.
#ifdef _WIN32
std::unique_ptr<AudioOutput> MakeWaveOutOutput();  // waveout_output.cpp
#else
std::unique_ptr<AudioOutput> MakeSdlOutput();  // sdl_output.cpp
#endif
std::unique_ptr<AudioOutput> MakeRecordingOutput();  // recording_output.cpp
