// Songs written as scores: chord progressions, note lists and rhythm grids,
// compiled into a Module.
//
// Time is counted in rows: four rows a beat, sixteen a bar (4/4). A Section is
// a stretch of bars over a chord progression in which every channel is played
// by one Voice; a Song plays its sections in the order of its arrangement and
// returns to `loop_to` at the end. Each section starts a new pattern; a
// section shorter than a pattern ends it early with a pattern break.
//
// Chord progressions: "Am F:8 G:8 C/E %" - a chord symbol per bar, or per
// `:rows`; "%" repeats the previous chord. Symbols are a root (C, F#, Bb), a
// quality (m 7 m7 maj7 6 m6 sus2 sus4 7sus4 dim aug add9 madd9 m9) and an
// optional bass note after '/'.
//
// Voice texts, by kind:
//  - kMelody: notes "e5:4 g5:2 a5" (name, octave with c4 = middle C, rows;
//    the length carries over), "r" rests, "-" holds; suffixes "~" vibrato,
//    "^" slide into the note, "!" accent, "?" soft. "|" checks that a bar
//    line falls there.
//  - kPattern: one character a row, repeated over the section, resolved
//    against the chord sounding at that row: R bass note, 3 5 7 chord tones
//    above it, 8 T F the same an octave up, L the fifth below, N the next
//    chord's bass note, A and B a semitone below and above it; x the bass
//    note with an arpeggio of the next two chord tones, held with the
//    arpeggio; p the voice's `tone` of the chord voiced within its octave;
//    "." continues, "-" stops the note.
//  - kDrums: one character a row, each a drum of the song's kit.
//  - kEcho: repeats voice `source` of the section `delay` rows later at its
//    own volume.
#pragma once

#include <string>
#include <vector>

#include "tools/gen/songs/format_writers.h"
#include "tools/gen/songs/module.h"

namespace songs {

enum class Format { kMod, kS3m, kXm };

struct Instrument {
  Sample sample;
  int midi_at_reference;  // MIDI note it sounds at kReferenceNote
};

// A drum of the song's kit: its grid character, instrument, volume and note.
struct Drum {
  char symbol;
  int instrument;  // 1-based
  int volume;      // -1: the sample's own
  int note;        // tracker note
};

enum class VoiceKind { kMelody, kPattern, kDrums, kEcho };

struct Voice {
  VoiceKind kind = VoiceKind::kMelody;
  int channel = 0;
  int instrument = 1;  // 1-based; drums take theirs from the kit
  std::string text;
  int volume = -1;     // -1: the sample's own
  int low = 36;        // kPattern: lowest MIDI note of the bass-note window
  int tone = 0;        // kPattern 'p': which tone of the voicing
  int transpose = 0;   // semitones
  int source = -1;     // kEcho: index of the voice echoed
  int delay = 3;       // kEcho: rows
  int vibrato = 0x43;  // speed << 4 | depth
  int slide = 0x18;    // tone portamento speed
};

struct Section {
  std::string name;
  std::string chords;
  std::vector<Voice> voices;
  int transpose = 0;  // applied to chords and notes alike
  int tempo = 0;      // set at the section's start; 0 keeps the tempo
};

struct Song {
  std::string title;  // shown by the player; Latin-1
  std::string file;   // file name under songs/, e.g. "harbour.mod"
  Format format = Format::kMod;
  int channels = 4;
  int speed = 6;
  int tempo = 125;
  std::vector<int> panning;  // per channel, 0..255; empty: the format's own
  std::string key;           // "A minor", "F major", "D dorian": checked against the melody
  std::vector<Instrument> instruments;
  std::vector<Drum> kit;
  std::vector<Section> sections;
  std::vector<std::string> arrangement;  // section names in playing order
  int loop_to = 0;                        // arrangement index played after the last
};

struct Chord {
  int root = 0;             // pitch class, C = 0
  int bass = 0;             // pitch class of the lowest note
  std::vector<int> tones;   // intervals above the root, root first
};

// Parses a chord symbol; throws std::invalid_argument naming it when unknown.
Chord ParseChord(const std::string& symbol);

// MIDI note of a name such as "c4", "f#3", "bb2"; throws when malformed.
int ParseNoteName(const std::string& name);

// Builds the module. Throws std::runtime_error naming the song, section and
// bar of a score that cannot be played; adds to `warnings` melody notes that
// clash with the chord or the key.
Module Compile(const Song& song, std::vector<std::string>* warnings = nullptr);

// The song in its format.
Bytes WriteSong(const Module& module, Format format);

// Seconds the song plays before it loops.
double PlayingSeconds(const Song& song);

}  // namespace songs
