// ProTracker module writer.
#include <stdexcept>
#include <string>

#include "tools/gen/songs/byte_writer.h"
#include "tools/gen/songs/format_writers.h"

namespace songs {
namespace {

// Amiga periods of finetune 0 for the three octaves ProTracker plays,
// starting at tracker note 48.
constexpr int kPeriods[36] = {
    856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453,
    428, 404, 381, 360, 339, 320, 302, 285, 269, 254, 240, 226,
    214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120, 113,
};
constexpr int kLowestNote = 48;

[[noreturn]] void Refuse(const std::string& what) { throw std::runtime_error("MOD: " + what); }

std::string Where(int pattern, int row, int channel) {
  return "pattern " + std::to_string(pattern) + " row " + std::to_string(row) + " channel " +
         std::to_string(channel + 1);
}

// Effect number and parameter of a cell, volume folded in where there is room.
void EncodeEffect(const Module& module, const Cell& cell, const std::string& where, int& fx, int& param) {
  fx = 0;
  param = 0;
  switch (cell.fx) {
    case Fx::kNone: break;
    case Fx::kArpeggio: fx = 0x0; param = cell.param; break;
    case Fx::kPortaUp: fx = 0x1; param = cell.param; break;
    case Fx::kPortaDown: fx = 0x2; param = cell.param; break;
    case Fx::kTonePorta: fx = 0x3; param = cell.param; break;
    case Fx::kVibrato: fx = 0x4; param = cell.param; break;
    case Fx::kSetPanning: fx = 0x8; param = cell.param; break;
    case Fx::kVolumeSlide: fx = 0xA; param = cell.param; break;
    case Fx::kPositionJump: fx = 0xB; param = cell.param; break;
    case Fx::kPatternBreak: fx = 0xD; param = Bcd(cell.param); break;
    case Fx::kRetrigger: fx = 0xE; param = 0x90 | (cell.param & 0xF); break;
    case Fx::kNoteCut: fx = 0xE; param = 0xC0 | (cell.param & 0xF); break;
    case Fx::kNoteDelay: fx = 0xE; param = 0xD0 | (cell.param & 0xF); break;
    case Fx::kSetSpeed:
      if (cell.param < 1 || cell.param > 31) Refuse("speed out of range at " + where);
      fx = 0xF; param = cell.param; break;
    case Fx::kSetTempo:
      if (cell.param < 32 || cell.param > 255) Refuse("tempo out of range at " + where);
      fx = 0xF; param = cell.param; break;
  }
  bool has_effect = cell.fx != Fx::kNone;
  if (cell.note == kNoteOff) {
    if (has_effect) Refuse("a note-off and an effect share " + where);
    fx = 0xE; param = 0xC0;
    has_effect = true;
  }
  if (cell.volume >= 0) {
    // A new note starts at its sample's volume, so that volume needs no effect.
    bool implied = cell.note >= 0 && cell.instrument > 0 &&
                   module.samples[static_cast<size_t>(cell.instrument - 1)].volume == cell.volume;
    if (!implied) {
      if (has_effect) Refuse("a volume and an effect share " + where);
      fx = 0xC; param = cell.volume;
    }
  }
}

}  // namespace

Bytes WriteMod(const Module& module) {
  const char* tag = nullptr;
  if (module.channels == 4) tag = "M.K.";
  else if (module.channels == 6) tag = "6CHN";
  else if (module.channels == 8) tag = "8CHN";
  else Refuse("4, 6 or 8 channels, not " + std::to_string(module.channels));
  if (module.samples.size() > 31) Refuse("at most 31 samples");
  if (module.order.empty() || module.order.size() > 128) Refuse("1 to 128 orders");
  if (module.patterns.size() > 64) Refuse("at most 64 patterns");
  if (module.global_volume != 64) Refuse("no global volume");

  ByteWriter out;
  out.Text(module.title, 20);
  for (size_t i = 0; i < 31; ++i) {
    if (i >= module.samples.size()) {
      out.Zeros(22 + 2 + 1 + 1);
      out.U16be(0);
      out.U16be(1);
      continue;
    }
    const Sample& s = module.samples[i];
    size_t length = s.data.size() + (s.data.size() & 1);
    if (length > 0x1FFFE) Refuse("sample " + s.name + " is longer than 131070 bytes");
    if (s.loop_length > 0 && ((s.loop_start | s.loop_length) & 1))
      Refuse("sample " + s.name + " loops at an odd offset or length");
    if (s.volume < 0 || s.volume > 64) Refuse("sample " + s.name + " volume out of range");
    out.Text(s.name, 22);
    out.U16be(static_cast<uint32_t>(length / 2));
    out.U8(1);  // finetune
    out.U8(s.volume);
    if (s.loop_length > 0) {
      out.U16be(s.loop_start / 2);
      out.U16be(s.loop_length / 2);
    } else {
      out.U16be(0);
      out.U16be(1);
    }
  }
  out.U8(static_cast<int>(module.order.size()));
  out.U8(127);
  int highest = 0;
  for (size_t i = 0; i < 128; ++i) {
    int p = i < module.order.size() ? module.order[i] : 0;
    if (p < 0 || p >= static_cast<int>(module.patterns.size())) Refuse("order names a missing pattern");
    highest = std::max(highest, p);
    out.U8(p);
  }
  out.Text(tag, 4);

  for (int p = 0; p <= highest; ++p) {
    const Pattern& pattern = module.patterns[static_cast<size_t>(p)];
    if (pattern.rows != 64 || pattern.channels != module.channels) Refuse("patterns have 64 rows of every channel");
    for (int row = 0; row < 64; ++row) {
      for (int ch = 0; ch < module.channels; ++ch) {
        const Cell& cell = pattern.at(row, ch);
        std::string where = Where(p, row, ch);
        int period = 0;
        if (cell.note >= 0) {
          int index = cell.note - kLowestNote;
          if (index < 0 || index >= 36) Refuse("note " + std::to_string(cell.note) + " outside the Amiga range at " + where);
          period = kPeriods[index];
        }
        if (cell.instrument < 0 || cell.instrument > static_cast<int>(module.samples.size()))
          Refuse("missing sample at " + where);
        int fx = 0, param = 0;
        EncodeEffect(module, cell, where, fx, param);
        out.U8((cell.instrument & 0xF0) | (period >> 8));
        out.U8(period & 0xFF);
        out.U8((cell.instrument & 0x0F) << 4 | fx);
        out.U8(param & 0xFF);
      }
    }
  }
  for (const Sample& s : module.samples) {
    for (float v : s.data) out.U8(Quantise(v, 127) & 0xFF);
    if (s.data.size() & 1) out.U8(0);
  }
  return std::move(out.bytes());
}

}  // namespace songs
