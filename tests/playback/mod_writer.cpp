#include "tests/playback/mod_writer.h"

#include <algorithm>
#include <stdexcept>

namespace {

constexpr int kSampleSlots = 31;
constexpr uint16_t kOctaveOne[12] = {856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453};

void PutBig16(std::vector<uint8_t>& out, size_t value) {
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value));
}

void PutText(std::vector<uint8_t>& out, const std::string& text, size_t size) {
  for (size_t i = 0; i < size; ++i) out.push_back(i < text.size() ? static_cast<uint8_t>(text[i]) : 0);
}

ModSample SquareInstrument() {
  ModSample sample;
  sample.data = SquareWave(32, 16, 96);
  sample.loop_start = 0;
  sample.loop_length = sample.data.size();
  return sample;
}

}  // namespace

uint16_t NotePeriod(int octave, int semitone) {
  return static_cast<uint16_t>(kOctaveOne[semitone] >> (octave - 1));
}

std::vector<int8_t> SquareWave(size_t period, size_t cycles, int8_t amplitude) {
  std::vector<int8_t> data;
  for (size_t c = 0; c < cycles; ++c)
    for (size_t i = 0; i < period; ++i)
      data.push_back(i < period / 2 ? amplitude : static_cast<int8_t>(-amplitude));
  return data;
}

std::vector<uint8_t> WriteMod(const ModSong& song) {
  if (song.samples.size() > kSampleSlots || song.patterns.empty() || song.patterns.size() > 64 ||
      song.order.empty() || song.order.size() > 128)
    throw std::invalid_argument("song does not fit a 4-channel module");

  std::vector<uint8_t> out;
  PutText(out, song.title, 20);
  for (int slot = 0; slot < kSampleSlots; ++slot) {
    ModSample empty;
    const ModSample& s = slot < static_cast<int>(song.samples.size()) ? song.samples[slot] : empty;
    PutText(out, "", 22);
    PutBig16(out, s.data.size() / 2);
    out.push_back(0);  // finetune
    out.push_back(s.volume);
    PutBig16(out, s.loop_length ? s.loop_start / 2 : 0);
    PutBig16(out, s.loop_length ? s.loop_length / 2 : 1);  // 1 word: no loop
  }
  out.push_back(static_cast<uint8_t>(song.order.size()));
  out.push_back(127);
  for (size_t i = 0; i < 128; ++i) out.push_back(i < song.order.size() ? song.order[i] : 0);
  PutText(out, "M.K.", 4);

  // The file holds as many patterns as the highest one the order names.
  const size_t stored = *std::max_element(song.order.begin(), song.order.end()) + 1u;
  for (size_t p = 0; p < stored; ++p) {
    const ModPattern empty{};
    const ModPattern& pattern = p < song.patterns.size() ? song.patterns[p] : empty;
    for (const auto& row : pattern)
      for (const ModCell& cell : row) {
        out.push_back(static_cast<uint8_t>((cell.sample & 0xF0) | ((cell.period >> 8) & 0x0F)));
        out.push_back(static_cast<uint8_t>(cell.period));
        out.push_back(static_cast<uint8_t>(((cell.sample & 0x0F) << 4) | (cell.effect & 0x0F)));
        out.push_back(cell.param);
      }
  }
  for (const ModSample& s : song.samples)
    for (int8_t v : s.data) out.push_back(static_cast<uint8_t>(v));
  return out;
}

ModSong SquareWaveSong() {
  ModSong song;
  song.title = "square test";
  song.samples.push_back(SquareInstrument());
  ModPattern pattern{};
  static const int kMelody[8] = {0, 4, 7, 12, 7, 4, 2, 5};
  for (int row = 0; row < kModRows; row += 4) {
    const int step = kMelody[(row / 4) % 8];
    for (int ch = 0; ch < kModChannels; ++ch) {
      const int semitone = (step + 3 * ch) % 12;
      const int octave = 1 + (step + 3 * ch) / 12 % 3;
      pattern[row][ch] = ModCell{NotePeriod(octave, semitone), 1, 0, 0};
    }
  }
  song.patterns.push_back(pattern);
  song.order = {0};
  return song;
}

ModSong ShortSong() {
  ModSong song;
  song.title = "short test";
  song.samples.push_back(SquareInstrument());
  ModPattern pattern{};
  pattern[0][0] = ModCell{NotePeriod(2, 0), 1, 0xF, 3};  // speed 3
  pattern[0][1] = ModCell{NotePeriod(2, 7), 1, 0, 0};
  pattern[3][0].effect = 0xD;                            // break after row 3
  song.patterns.push_back(pattern);
  song.order = {0};
  return song;
}
