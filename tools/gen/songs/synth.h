// The disk's instruments, synthesised: short looped chip waveforms and
// noise-based drums. Everything is deterministic (the noise comes from a fixed
// shift register), so the generated files never change between runs.
#pragma once

#include <string>

#include "tools/gen/songs/module.h"

namespace songs::synth {

enum class Wave { kSquare, kPulse25, kPulse12, kTriangle, kSaw, kSine, kOrgan, kPwm };

// A pitched instrument. One period is `cycle` samples long; at kReferenceRate
// a 32-sample period sounds middle C at kReferenceNote, so every doubling of
// `cycle` lowers the instrument an octave. The first `decay_cycles` periods
// fade from full level to `sustain` (the formats without envelopes hear the
// fade from the sample itself); the loop then holds `loop_cycles` periods at
// that level. kPwm sweeps the pulse width once across its loop.
struct ToneSpec {
  Wave wave = Wave::kSquare;
  int cycle = 32;
  int decay_cycles = 0;
  float sustain = 1.0f;
  int loop_cycles = 1;
  float level = 0.8f;
};

Sample Tone(const std::string& name, const ToneSpec& spec, int volume = 64);

// MIDI note number an instrument of period `cycle` sounds at kReferenceNote.
int MidiAtReference(int cycle);

// Drums, sampled at twice kReferenceRate: they sound as made one octave above
// kReferenceNote (kDrumNote).
inline constexpr int kDrumNote = kReferenceNote + 12;
Sample Kick(const std::string& name, int volume = 64);
Sample Snare(const std::string& name, int volume = 64);
Sample HiHat(const std::string& name, bool open, int volume = 64);
Sample Tom(const std::string& name, int volume = 64);
Sample Crash(const std::string& name, int volume = 64);
Sample Clap(const std::string& name, int volume = 64);

}  // namespace songs::synth
