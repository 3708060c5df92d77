// A tracker module in memory, independent of any file format.
//
// The score compiler fills a Module; the format writers (format_writers.h)
// turn it into ProTracker, Scream Tracker 3 or FastTracker 2 files. Notes are
// tracker keyboard positions: 0 is C-0 and a sample plays at kReferenceRate
// samples a second at kReferenceNote ("C-5"), an octave per 12 steps.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace songs {

inline constexpr int kReferenceNote = 60;
inline constexpr int kReferenceRate = 8363;
inline constexpr int kNoNote = -1;
inline constexpr int kNoteOff = -2;  // stop the channel's note
inline constexpr int kPatternRows = 64;

// Effects the songs use; each writer maps them to its format's letters.
enum class Fx : uint8_t {
  kNone,
  kArpeggio,      // param: high nibble second note, low nibble third note (semitones)
  kPortaUp,
  kPortaDown,
  kTonePorta,     // slide towards the cell's note
  kVibrato,       // param: speed << 4 | depth
  kVolumeSlide,   // param: up << 4 | down
  kPositionJump,  // param: order index
  kPatternBreak,  // param: row of the next pattern (plain number)
  kSetSpeed,      // ticks per row, 1..31
  kSetTempo,      // beats per minute, 32..255
  kNoteCut,       // param: tick
  kNoteDelay,     // param: tick
  kSetPanning,    // param: 0 (left) .. 255 (right)
  kRetrigger,     // param: ticks between retriggers
};

struct Cell {
  int note = kNoNote;       // tracker note, kNoteOff or kNoNote
  int instrument = 0;       // 1-based sample number, 0 for none
  int volume = -1;          // 0..64, or -1 for none
  Fx fx = Fx::kNone;
  int param = 0;

  bool operator==(const Cell&) const = default;
};

struct Pattern {
  int rows = kPatternRows;
  int channels = 0;
  std::vector<Cell> cells;  // row-major

  Pattern() = default;
  Pattern(int row_count, int channel_count)
      : rows(row_count), channels(channel_count), cells(static_cast<size_t>(row_count * channel_count)) {}
  Cell& at(int row, int channel) { return cells[static_cast<size_t>(row * channels + channel)]; }
  const Cell& at(int row, int channel) const { return cells[static_cast<size_t>(row * channels + channel)]; }
  bool operator==(const Pattern&) const = default;
};

// A volume envelope in ticks and levels 0..64; used by formats that have them.
struct Envelope {
  std::vector<std::pair<int, int>> points;  // (tick, level), ticks increasing
  int sustain = -1;                         // point held until the note is released
};

struct Sample {
  std::string name;
  std::vector<float> data;  // -1..1; writers quantise to their sample width
  uint32_t loop_start = 0;
  uint32_t loop_length = 0;  // 0: plays once
  int volume = 64;           // default volume 0..64
  Envelope envelope;         // empty: none
  int fadeout = 0;           // after release, for formats with envelopes
};

struct Module {
  std::string title;
  int channels = 4;
  int speed = 6;     // ticks per row
  int tempo = 125;   // beats per minute (a tick is 2.5 / tempo seconds)
  int global_volume = 64;
  std::vector<int> panning;  // per channel, 0 (left) .. 255 (right); empty: the format's default
  std::vector<Sample> samples;
  std::vector<Pattern> patterns;
  std::vector<int> order;    // pattern indices in playing order
};

}  // namespace songs
