#include "tools/gen/songs/score.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <sstream>
#include <stdexcept>

namespace songs {
namespace {

constexpr int kRowsPerBar = 16;

int Mod12(int v) { return ((v % 12) + 12) % 12; }

// Semitones above C of "C", "F#", "Bb" (-1 for "Cb", 12 for "B#"); `used`
// gets the characters read.
int ParseLetter(const std::string& text, size_t& used) {
  static const int kLetters[7] = {9, 11, 0, 2, 4, 5, 7};  // a b c d e f g
  if (text.empty()) throw std::invalid_argument("empty note name");
  char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
  if (letter < 'a' || letter > 'g') throw std::invalid_argument("bad note name '" + text + "'");
  int semitones = kLetters[letter - 'a'];
  used = 1;
  if (text.size() > 1 && (text[1] == '#' || text[1] == 'b')) {
    semitones += text[1] == '#' ? 1 : -1;
    used = 2;
  }
  return semitones;
}

int ParsePitchClass(const std::string& text, size_t& used) { return Mod12(ParseLetter(text, used)); }

struct Span {
  int start;
  int rows;
  Chord chord;
};

// A section's chords, row by row.
class Timeline {
 public:
  Timeline(const std::string& text, int transpose) {
    std::istringstream in(text);
    std::string token;
    int row = 0;
    while (in >> token) {
      std::string symbol = token;
      int rows = kRowsPerBar;
      size_t colon = token.find(':');
      if (colon != std::string::npos) {
        symbol = token.substr(0, colon);
        rows = std::stoi(token.substr(colon + 1));
        if (rows <= 0) throw std::invalid_argument("chord length must be positive in '" + token + "'");
      }
      Chord chord;
      if (symbol == "%") {
        if (spans_.empty()) throw std::invalid_argument("'%' with no chord before it");
        chord = spans_.back().chord;
      } else {
        chord = ParseChord(symbol);
        chord.root = Mod12(chord.root + transpose);
        chord.bass = Mod12(chord.bass + transpose);
      }
      spans_.push_back({row, rows, chord});
      row += rows;
    }
    if (spans_.empty()) throw std::invalid_argument("no chords");
    rows_ = row;
  }
  int rows() const { return rows_; }
  const Chord& At(int row) const { return spans_[IndexAt(row)].chord; }
  // The chord after the one sounding at `row` (the first one at the end).
  const Chord& Next(int row) const {
    size_t i = IndexAt(row) + 1;
    return spans_[i < spans_.size() ? i : 0].chord;
  }

 private:
  size_t IndexAt(int row) const {
    size_t i = 0;
    while (i + 1 < spans_.size() && spans_[i + 1].start <= row) ++i;
    return i;
  }
  std::vector<Span> spans_;
  int rows_ = 0;
};

std::vector<int> ScaleOf(const std::string& key) {
  std::istringstream in(key);
  std::string tonic, mode;
  in >> tonic >> mode;
  size_t used;
  int t = ParsePitchClass(tonic, used);
  static const std::map<std::string, std::vector<int>> kModes = {
      {"major", {0, 2, 4, 5, 7, 9, 11}},      {"minor", {0, 2, 3, 5, 7, 8, 10}},
      {"harmonic", {0, 2, 3, 5, 7, 8, 11}},   {"dorian", {0, 2, 3, 5, 7, 9, 10}},
      {"mixolydian", {0, 2, 4, 5, 7, 9, 10}},
  };
  auto it = kModes.find(mode);
  if (it == kModes.end()) throw std::invalid_argument("unknown mode in key '" + key + "'");
  std::vector<int> scale;
  for (int step : it->second) scale.push_back(Mod12(t + step));
  return scale;
}

bool Contains(const std::vector<int>& v, int x) { return std::find(v.begin(), v.end(), x) != v.end(); }

std::string NoteName(int midi) {
  static const char* kNames[12] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
  return std::string(kNames[Mod12(midi)]) + std::to_string(midi / 12 - 1);
}

std::string BarOf(int row) { return "bar " + std::to_string(row / kRowsPerBar + 1); }

// Compiles one section into a grid of its rows.
class SectionCompiler {
 public:
  SectionCompiler(const Song& song, const Section& section, std::vector<std::string>* warnings)
      : song_(song), section_(section), timeline_(section.chords, section.transpose),
        grid_(timeline_.rows(), song.channels), warnings_(warnings), scale_(ScaleOf(song.key)) {}

  Pattern Run() {
    std::vector<bool> taken(static_cast<size_t>(song_.channels), false);
    for (size_t i = 0; i < section_.voices.size(); ++i) {
      const Voice& v = section_.voices[i];
      if (v.channel < 0 || v.channel >= song_.channels) Fail("voice " + std::to_string(i + 1) + " has no such channel");
      if (taken[static_cast<size_t>(v.channel)]) Fail("two voices on channel " + std::to_string(v.channel + 1));
      taken[static_cast<size_t>(v.channel)] = true;
      switch (v.kind) {
        case VoiceKind::kMelody: Melody(v); break;
        case VoiceKind::kPattern: PatternVoice(v); break;
        case VoiceKind::kDrums: Drums(v); break;
        case VoiceKind::kEcho:
          if (v.source < 0 || static_cast<size_t>(v.source) >= i) Fail("an echo must follow the voice it repeats");
          Echo(v, section_.voices[static_cast<size_t>(v.source)]);
          break;
      }
    }
    return grid_;
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const {
    throw std::runtime_error(song_.title + ", section " + section_.name + ": " + what);
  }

  const Instrument& InstrumentOf(int number) const {
    if (number < 1 || number > static_cast<int>(song_.instruments.size()))
      Fail("no instrument " + std::to_string(number));
    return song_.instruments[static_cast<size_t>(number - 1)];
  }

  // Writes a note onset; MIDI pitch in, tracker note out.
  void Note(int row, const Voice& v, int midi, int volume) {
    const Instrument& inst = InstrumentOf(v.instrument);
    Cell& cell = grid_.at(row, v.channel);
    cell.note = midi - inst.midi_at_reference + kReferenceNote;
    cell.instrument = v.instrument;
    // A note with its instrument starts at the sample's volume anyway.
    cell.volume = volume == inst.sample.volume ? -1 : volume;
  }

  void Effect(int row, int channel, Fx fx, int param) {
    Cell& cell = grid_.at(row, channel);
    if (cell.fx != Fx::kNone) return;  // a note's own effect wins
    cell.fx = fx;
    cell.param = param;
  }

  void Melody(const Voice& v) {
    std::string text;
    for (char c : v.text) text += c == '|' ? std::string(" | ") : std::string(1, c);
    std::istringstream in(text);
    std::string token;
    int row = 0, length = 4;
    bool vibrato = false;
    while (in >> token) {
      if (token == "|") {
        if (row % kRowsPerBar != 0) Fail("bar line at row " + std::to_string(row % kRowsPerBar) + " of " + BarOf(row));
        continue;
      }
      size_t end = token.find_first_of(":~^!?");
      std::string head = token.substr(0, end);
      std::string rest = end == std::string::npos ? "" : token.substr(end);
      if (!rest.empty() && rest[0] == ':') {
        size_t digits = 1;
        while (digits < rest.size() && std::isdigit(static_cast<unsigned char>(rest[digits]))) ++digits;
        if (digits == 1) Fail("'" + token + "' has no length after ':'");
        length = std::stoi(rest.substr(1, digits - 1));
        rest = rest.substr(digits);
      }
      if (length <= 0) Fail("'" + token + "' has no length");
      if (row + length > grid_.rows) Fail("the melody runs past the section's end at '" + token + "'");
      if (head == "-") {
        if (vibrato) for (int r = row; r < row + length; ++r) Effect(r, v.channel, Fx::kVibrato, v.vibrato);
        row += length;
        continue;
      }
      vibrato = false;
      if (head == "r") {
        grid_.at(row, v.channel).note = kNoteOff;
        row += length;
        continue;
      }
      int midi;
      try {
        midi = ParseNoteName(head) + v.transpose + section_.transpose;
      } catch (const std::invalid_argument& e) {
        Fail(e.what());
      }
      int volume = v.volume >= 0 ? v.volume : InstrumentOf(v.instrument).sample.volume;
      for (char mod : rest) {
        if (mod == '!') volume = std::min(64, volume + 12);
        else if (mod == '?') volume = std::max(0, volume - 16);
      }
      Note(row, v, midi, volume);
      if (rest.find('^') != std::string::npos) {
        Effect(row, v.channel, Fx::kTonePorta, v.slide);
        if (length > 1) Effect(row + 1, v.channel, Fx::kTonePorta, 0);
      }
      if (rest.find('~') != std::string::npos) {
        vibrato = true;
        for (int r = row + 2; r < row + length; ++r) Effect(r, v.channel, Fx::kVibrato, v.vibrato);
      }
      Check(row, length, midi);
      row += length;
    }
  }

  // Notes that clash with the harmony are reported, not refused: the composer decides.
  void Check(int row, int length, int midi) {
    if (!warnings_) return;
    const Chord& chord = timeline_.At(row);
    std::vector<int> chord_pcs;
    for (int t : chord.tones) chord_pcs.push_back(Mod12(chord.root + t));
    chord_pcs.push_back(chord.bass);
    int pc = Mod12(midi);
    std::string where = song_.title + ", " + section_.name + " " + BarOf(row) + " row " +
                        std::to_string(row % kRowsPerBar) + ": " + NoteName(midi);
    std::vector<int> scale;
    for (int s : scale_) scale.push_back(Mod12(s + section_.transpose));
    if (!Contains(scale, pc) && !Contains(chord_pcs, pc)) {
      warnings_->push_back(where + " is outside the key");
    } else if (row % 8 == 0 && length >= 4 && !Contains(chord_pcs, pc)) {
      warnings_->push_back(where + " held on a strong beat is no chord tone");
    }
  }

  // The bass note of `chord` in the voice's window.
  int BassNote(const Voice& v, const Chord& chord) const {
    return v.low + Mod12(chord.bass - v.low) + v.transpose;
  }
  static int Above(int base, int pc) { return base + Mod12(pc - base); }

  void PatternVoice(const Voice& v) {
    std::string cells;
    for (char c : v.text) if (c != ' ' && c != '|') cells += c;
    if (cells.empty()) Fail("an empty pattern");
    const Instrument& inst = InstrumentOf(v.instrument);
    int volume = v.volume >= 0 ? v.volume : inst.sample.volume;
    int arpeggio = 0;
    for (int row = 0; row < grid_.rows; ++row) {
      char c = cells[static_cast<size_t>(row) % cells.size()];
      const Chord& chord = timeline_.At(row);
      int bass = BassNote(v, chord);
      auto tone = [&](size_t i) {
        return i < chord.tones.size() ? Above(bass, chord.root + chord.tones[i]) : bass + 12;
      };
      int midi = -1;
      switch (c) {
        case '.':
          if (arpeggio) Effect(row, v.channel, Fx::kArpeggio, arpeggio);
          continue;
        case '-':
          grid_.at(row, v.channel).note = kNoteOff;
          arpeggio = 0;
          continue;
        case 'R': midi = bass; break;
        case '3': midi = tone(1); break;
        case '5': midi = tone(2); break;
        case '7': midi = tone(3); break;
        case '8': midi = bass + 12; break;
        case 'T': midi = tone(1) + 12; break;
        case 'F': midi = tone(2) + 12; break;
        case 'L': midi = tone(2) - 12; break;
        case 'N': midi = BassNote(v, timeline_.Next(row)); break;
        case 'A': midi = BassNote(v, timeline_.Next(row)) - 1; break;
        case 'B': midi = BassNote(v, timeline_.Next(row)) + 1; break;
        case 'x': {
          std::vector<int> steps;
          for (size_t i = 0; i < chord.tones.size() && i < 3; ++i) {
            int step = Mod12(chord.root + chord.tones[i] - chord.bass);
            if (step != 0 && !Contains(steps, step)) steps.push_back(step);
          }
          std::sort(steps.begin(), steps.end());
          if (steps.size() < 2) Fail("chord at " + BarOf(row) + " has too few tones for an arpeggio");
          arpeggio = steps[0] << 4 | steps[1];
          midi = bass;
          break;
        }
        case 'p': {
          size_t first = chord.tones.size() >= 4 ? 1 : 0;
          std::vector<int> voicing;
          for (size_t i = first; i < chord.tones.size() && voicing.size() < 3; ++i)
            voicing.push_back(v.low + Mod12(chord.root + chord.tones[i] - v.low));
          std::sort(voicing.begin(), voicing.end());
          midi = voicing[static_cast<size_t>(v.tone) % voicing.size()] + v.transpose;
          break;
        }
        default:
          Fail(std::string("unknown pattern character '") + c + "'");
      }
      if (c != 'x') arpeggio = 0;
      Note(row, v, midi, volume);
      if (arpeggio) Effect(row, v.channel, Fx::kArpeggio, arpeggio);
    }
  }

  void Drums(const Voice& v) {
    std::string cells;
    for (char c : v.text) if (c != ' ' && c != '|') cells += c;
    if (cells.empty()) Fail("an empty drum pattern");
    for (int row = 0; row < grid_.rows; ++row) {
      char c = cells[static_cast<size_t>(row) % cells.size()];
      if (c == '.') continue;
      if (c == '-') {
        grid_.at(row, v.channel).note = kNoteOff;
        continue;
      }
      auto drum = std::find_if(song_.kit.begin(), song_.kit.end(), [c](const Drum& d) { return d.symbol == c; });
      if (drum == song_.kit.end()) Fail(std::string("no drum '") + c + "' in the kit");
      const Instrument& inst = InstrumentOf(drum->instrument);
      Cell& cell = grid_.at(row, v.channel);
      cell.note = drum->note;
      cell.instrument = drum->instrument;
      int volume = drum->volume >= 0 ? drum->volume : inst.sample.volume;
      if (v.volume >= 0) volume = volume * v.volume / 64;
      cell.volume = volume == inst.sample.volume ? -1 : volume;
    }
  }

  void Echo(const Voice& v, const Voice& source) {
    for (int row = 0; row + v.delay < grid_.rows; ++row) {
      const Cell& from = grid_.at(row, source.channel);
      if (from.note == kNoNote) continue;
      Cell& to = grid_.at(row + v.delay, v.channel);
      to.note = from.note;
      if (from.note != kNoteOff) {
        to.instrument = from.instrument;
        to.volume = v.volume;
      }
    }
  }

  const Song& song_;
  const Section& section_;
  Timeline timeline_;
  Pattern grid_;
  std::vector<std::string>* warnings_;
  std::vector<int> scale_;
};

// Puts a song-wide effect into a channel with a free effect column at `row`.
void PlaceEffect(Pattern& grid, int row, Fx fx, int param, const std::string& where) {
  for (int ch = grid.channels - 1; ch >= 0; --ch) {
    Cell& cell = grid.at(row, ch);
    // A note-off or a volume may need the effect column of one-column formats.
    if (cell.fx == Fx::kNone && cell.note != kNoteOff && cell.volume < 0) {
      cell.fx = fx;
      cell.param = param;
      return;
    }
  }
  throw std::runtime_error(where + ": no free effect column at row " + std::to_string(row));
}

const Section& FindSection(const Song& song, const std::string& name) {
  for (const Section& s : song.sections)
    if (s.name == name) return s;
  throw std::runtime_error(song.title + ": the arrangement names a missing section '" + name + "'");
}

}  // namespace

Chord ParseChord(const std::string& symbol) {
  static const std::map<std::string, std::vector<int>> kQualities = {
      {"", {0, 4, 7}},         {"m", {0, 3, 7}},          {"7", {0, 4, 7, 10}},
      {"m7", {0, 3, 7, 10}},   {"maj7", {0, 4, 7, 11}},   {"6", {0, 4, 7, 9}},
      {"m6", {0, 3, 7, 9}},    {"sus2", {0, 2, 7}},       {"sus4", {0, 5, 7}},
      {"7sus4", {0, 5, 7, 10}}, {"dim", {0, 3, 6}},       {"aug", {0, 4, 8}},
      {"add9", {0, 4, 7, 14}}, {"madd9", {0, 3, 7, 14}},  {"m9", {0, 3, 7, 10, 14}},
  };
  if (symbol.empty() || !std::isupper(static_cast<unsigned char>(symbol[0])))
    throw std::invalid_argument("bad chord '" + symbol + "'");
  Chord chord;
  size_t used;
  chord.root = ParsePitchClass(symbol, used);
  chord.bass = chord.root;
  std::string rest = symbol.substr(used);
  size_t slash = rest.find('/');
  if (slash != std::string::npos) {
    std::string bass = rest.substr(slash + 1);
    size_t bass_used;
    if (bass.empty() || !std::isupper(static_cast<unsigned char>(bass[0]))) throw std::invalid_argument("bad chord '" + symbol + "'");
    chord.bass = ParsePitchClass(bass, bass_used);
    if (bass_used != bass.size()) throw std::invalid_argument("bad chord '" + symbol + "'");
    rest = rest.substr(0, slash);
  }
  auto it = kQualities.find(rest);
  if (it == kQualities.end()) throw std::invalid_argument("unknown chord quality in '" + symbol + "'");
  chord.tones = it->second;
  return chord;
}

int ParseNoteName(const std::string& name) {
  size_t used;
  int semitones = ParseLetter(name, used);
  if (!std::islower(static_cast<unsigned char>(name[0])) || used + 1 != name.size() ||
      !std::isdigit(static_cast<unsigned char>(name[used])))
    throw std::invalid_argument("bad note '" + name + "'");
  return 12 * (name[used] - '0' + 1) + semitones;
}

Module Compile(const Song& song, std::vector<std::string>* warnings) {
  if (song.arrangement.empty()) throw std::runtime_error(song.title + ": empty arrangement");
  if (song.loop_to < 0 || song.loop_to >= static_cast<int>(song.arrangement.size()))
    throw std::runtime_error(song.title + ": loop_to is outside the arrangement");
  Module module;
  module.title = song.title;
  module.channels = song.channels;
  module.speed = song.speed;
  module.tempo = song.tempo;
  module.panning = song.panning;
  for (const Instrument& inst : song.instruments) module.samples.push_back(inst.sample);

  // Each arrangement entry's tempo; explicit wherever the song can arrive with another.
  std::vector<int> tempos;
  bool changes = false;
  for (const std::string& name : song.arrangement) {
    const Section& s = FindSection(song, name);
    tempos.push_back(s.tempo ? s.tempo : (tempos.empty() ? song.tempo : tempos.back()));
    changes = changes || tempos.back() != song.tempo;
  }

  std::vector<int> section_order_start;
  for (size_t a = 0; a < song.arrangement.size(); ++a) {
    const Section& section = FindSection(song, song.arrangement[a]);
    std::string where = song.title + ", section " + section.name;
    Pattern grid;
    try {
      grid = SectionCompiler(song, section, warnings).Run();
    } catch (const std::invalid_argument& e) {
      throw std::runtime_error(where + ": " + e.what());
    }
    bool last = a + 1 == song.arrangement.size();
    // The other formats carry the starting speed and tempo in their headers;
    // ProTracker starts at 6 and 125 and needs effects for anything else. A
    // section the song loops back to restates its tempo when tempos change.
    bool mod = song.format == Format::kMod;
    if (a == 0 && mod && song.speed != 6) PlaceEffect(grid, 0, Fx::kSetSpeed, song.speed, where);
    if ((a == 0 && mod && tempos[a] != 125) || (a > 0 && section.tempo) ||
        (changes && static_cast<int>(a) == song.loop_to))
      PlaceEffect(grid, 0, Fx::kSetTempo, tempos[a], where);
    if (a == 0 && song.format == Format::kMod && !song.panning.empty()) {
      for (int ch = 0; ch < song.channels; ++ch) {
        Cell& cell = grid.at(0, ch);
        if (cell.fx != Fx::kNone || cell.note == kNoteOff || cell.volume >= 0)
          throw std::runtime_error(where + ": no room for channel " + std::to_string(ch + 1) + "'s panning");
        cell.fx = Fx::kSetPanning;
        cell.param = song.panning[static_cast<size_t>(ch)];
      }
    }
    section_order_start.push_back(static_cast<int>(module.order.size()));
    int rows = grid.rows;
    for (int start = 0; start < rows; start += kPatternRows) {
      Pattern pattern(kPatternRows, song.channels);
      int used = std::min(kPatternRows, rows - start);
      for (int r = 0; r < used; ++r)
        for (int ch = 0; ch < song.channels; ++ch) pattern.at(r, ch) = grid.at(start + r, ch);
      bool final_chunk = start + kPatternRows >= rows;
      if (final_chunk && last) {
        // The loop target's first pattern index is known: sections come in order.
        int target = song.loop_to < static_cast<int>(section_order_start.size())
                         ? section_order_start[static_cast<size_t>(song.loop_to)] : 0;
        PlaceEffect(pattern, used - 1, Fx::kPositionJump, target, where);
      } else if (used < kPatternRows) {
        PlaceEffect(pattern, used - 1, Fx::kPatternBreak, 0, where);
      }
      auto same = std::find(module.patterns.begin(), module.patterns.end(), pattern);
      module.order.push_back(static_cast<int>(same - module.patterns.begin()));
      if (same == module.patterns.end()) module.patterns.push_back(std::move(pattern));
    }
  }
  return module;
}

Bytes WriteSong(const Module& module, Format format) {
  switch (format) {
    case Format::kMod: return WriteMod(module);
    case Format::kS3m: return WriteS3m(module);
    case Format::kXm: return WriteXm(module);
  }
  throw std::logic_error("unknown format");
}

double PlayingSeconds(const Song& song) {
  double seconds = 0;
  int tempo = song.tempo;
  for (const std::string& name : song.arrangement) {
    const Section& s = FindSection(song, name);
    if (s.tempo) tempo = s.tempo;
    seconds += Timeline(s.chords, 0).rows() * song.speed * 2.5 / tempo;
  }
  return seconds;
}

}  // namespace songs
