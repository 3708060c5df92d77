// Shorthands the scores use to declare their instruments.
#pragma once

#include <string>

#include "tools/gen/songs/score.h"
#include "tools/gen/songs/synth.h"

namespace songs {

inline Instrument Pitched(const std::string& name, const synth::ToneSpec& spec, int volume = 64) {
  return {synth::Tone(name, spec, volume), synth::MidiAtReference(spec.cycle)};
}

inline Instrument Unpitched(Sample sample) { return {std::move(sample), kReferenceNote}; }

inline Voice MelodyVoice(int channel, int instrument, std::string notes, int volume = -1) {
  Voice v;
  v.kind = VoiceKind::kMelody;
  v.channel = channel;
  v.instrument = instrument;
  v.text = std::move(notes);
  v.volume = volume;
  return v;
}

inline Voice PatternVoice(int channel, int instrument, std::string grid, int low, int volume = -1, int tone = 0) {
  Voice v;
  v.kind = VoiceKind::kPattern;
  v.channel = channel;
  v.instrument = instrument;
  v.text = std::move(grid);
  v.low = low;
  v.volume = volume;
  v.tone = tone;
  return v;
}

inline Voice DrumVoice(int channel, std::string grid, int volume = -1) {
  Voice v;
  v.kind = VoiceKind::kDrums;
  v.channel = channel;
  v.text = std::move(grid);
  v.volume = volume;
  return v;
}

inline Voice EchoVoice(int channel, int source, int delay, int volume) {
  Voice v;
  v.kind = VoiceKind::kEcho;
  v.channel = channel;
  v.source = source;
  v.delay = delay;
  v.volume = volume;
  return v;
}

}  // namespace songs
