// FastTracker 2 module writer.
#include <stdexcept>
#include <string>

#include "tools/gen/songs/byte_writer.h"
#include "tools/gen/songs/format_writers.h"

namespace songs {
namespace {

[[noreturn]] void Refuse(const std::string& what) { throw std::runtime_error("XM: " + what); }

// FT2 note 1 is C-0 of its keyboard, and its C-4 (49) plays a sample of relative
// note 0 at 8363 Hz, the rate our notes give at kReferenceNote.
constexpr int kNoteOffset = 49 - kReferenceNote;

void EncodeEffect(const Cell& cell, const std::string& where, int& fx, int& param) {
  param = cell.param & 0xFF;
  switch (cell.fx) {
    case Fx::kNone: fx = 0; param = 0; break;
    case Fx::kArpeggio: fx = 0x0; break;
    case Fx::kPortaUp: fx = 0x1; break;
    case Fx::kPortaDown: fx = 0x2; break;
    case Fx::kTonePorta: fx = 0x3; break;
    case Fx::kVibrato: fx = 0x4; break;
    case Fx::kSetPanning: fx = 0x8; break;
    case Fx::kVolumeSlide: fx = 0xA; break;
    case Fx::kPositionJump: fx = 0xB; break;
    case Fx::kPatternBreak: fx = 0xD; param = Bcd(cell.param); break;
    case Fx::kRetrigger: fx = 0xE; param = 0x90 | (cell.param & 0xF); break;
    case Fx::kNoteCut: fx = 0xE; param = 0xC0 | (cell.param & 0xF); break;
    case Fx::kNoteDelay: fx = 0xE; param = 0xD0 | (cell.param & 0xF); break;
    case Fx::kSetSpeed:
      if (cell.param < 1 || cell.param > 31) Refuse("speed out of range at " + where);
      fx = 0xF; break;
    case Fx::kSetTempo:
      if (cell.param < 32 || cell.param > 255) Refuse("tempo out of range at " + where);
      fx = 0xF; break;
  }
}

void WritePattern(ByteWriter& out, const Module& module, const Pattern& pattern, size_t index, bool first) {
  if (pattern.rows < 1 || pattern.rows > 256 || pattern.channels != module.channels)
    Refuse("pattern " + std::to_string(index) + " has a bad shape");
  out.U32le(9);
  out.U8(0);
  out.U16le(static_cast<uint32_t>(pattern.rows));
  size_t size_at = out.size();
  out.U16le(0);
  size_t start = out.size();
  for (int row = 0; row < pattern.rows; ++row) {
    for (int ch = 0; ch < module.channels; ++ch) {
      Cell cell = pattern.at(row, ch);
      std::string where = "pattern " + std::to_string(index) + " row " + std::to_string(row) +
                          " channel " + std::to_string(ch + 1);
      int volume = cell.volume >= 0 ? 0x10 + cell.volume : 0;
      if (cell.volume > 64) Refuse("volume out of range at " + where);
      int fx = 0, param = 0;
      EncodeEffect(cell, where, fx, param);
      // XM keeps channel panning nowhere but in the patterns: the song's first
      // row sets it, in the effect column or else the volume column.
      if (first && row == 0 && !module.panning.empty()) {
        int pan = module.panning[static_cast<size_t>(ch)];
        if (cell.fx == Fx::kNone) {
          fx = 0x8;
          param = pan;
        } else if (volume == 0) {
          volume = 0xC0 | (pan >> 4);
        } else {
          Refuse("no room for the channel's panning at " + where);
        }
      }
      int note = 0;
      if (cell.note == kNoteOff) {
        note = 97;
      } else if (cell.note >= 0) {
        note = cell.note + kNoteOffset;
        if (note < 1 || note > 96) Refuse("note " + std::to_string(cell.note) + " out of range at " + where);
      }
      if (cell.instrument < 0 || cell.instrument > static_cast<int>(module.samples.size()))
        Refuse("missing instrument at " + where);
      int flags = 0x80 | (note ? 1 : 0) | (cell.instrument ? 2 : 0) | (volume ? 4 : 0) |
                  (fx ? 8 : 0) | (param ? 16 : 0);
      out.U8(flags);
      if (note) out.U8(note);
      if (cell.instrument) out.U8(cell.instrument);
      if (volume) out.U8(volume);
      if (fx) out.U8(fx);
      if (param) out.U8(param);
    }
  }
  size_t packed = out.size() - start;
  if (packed > 0xFFFF) Refuse("pattern " + std::to_string(index) + " packs to more than 64 KiB");
  out.Put16le(size_at, static_cast<uint32_t>(packed));
}

void WriteInstrument(ByteWriter& out, const Sample& s) {
  const Envelope& env = s.envelope;
  if (env.points.size() > 12) Refuse("instrument " + s.name + " has more than 12 envelope points");
  if (s.volume < 0 || s.volume > 64) Refuse("instrument " + s.name + " volume out of range");
  out.U32le(263);
  out.Text(s.name, 22);
  out.U8(0);
  out.U16le(1);
  out.U32le(40);
  out.Zeros(96);  // every key plays sample 0
  int previous = -1;
  for (size_t i = 0; i < 12; ++i) {
    if (i < env.points.size()) {
      auto [tick, level] = env.points[i];
      if (tick <= previous || tick > 0xFFFF || level < 0 || level > 64)
        Refuse("instrument " + s.name + " has a bad envelope point");
      previous = tick;
      out.U16le(static_cast<uint32_t>(tick));
      out.U16le(static_cast<uint32_t>(level));
    } else {
      out.U32le(0);
    }
  }
  out.Zeros(48);  // no panning envelope
  out.U8(static_cast<int>(env.points.size()));
  out.U8(0);
  bool sustain = env.sustain >= 0 && env.sustain < static_cast<int>(env.points.size());
  out.U8(sustain ? env.sustain : 0);
  out.U8(0);  // envelope loop start and end
  out.U8(0);
  out.Zeros(3);  // panning sustain and loop
  out.U8(env.points.empty() ? 0 : (1 | (sustain ? 2 : 0)));
  out.U8(0);
  out.Zeros(4);  // automatic vibrato
  out.U16le(static_cast<uint32_t>(s.fadeout));
  out.Zeros(22);

  out.U32le(static_cast<uint32_t>(2 * s.data.size()));
  out.U32le(2 * s.loop_start);
  out.U32le(2 * s.loop_length);
  out.U8(s.volume);
  out.U8(0);                                    // finetune
  out.U8((s.loop_length > 0 ? 1 : 0) | 0x10);  // forward loop, 16-bit
  out.U8(128);                                  // centre
  out.U8(0);                                    // relative note
  out.U8(0);
  out.Text(s.name, 22);
  int last = 0;
  for (float v : s.data) {
    int value = Quantise(v, 32767);
    out.U16le(static_cast<uint32_t>((value - last) & 0xFFFF));
    last = value;
  }
}

}  // namespace

Bytes WriteXm(const Module& module) {
  if (module.channels < 2 || module.channels > 32 || module.channels % 2) Refuse("an even count of 2 to 32 channels");
  if (module.samples.size() > 128) Refuse("at most 128 instruments");
  if (module.order.empty() || module.order.size() > 256) Refuse("1 to 256 orders");
  if (module.patterns.size() > 256) Refuse("at most 256 patterns");
  if (!module.panning.empty() && module.panning.size() != static_cast<size_t>(module.channels))
    Refuse("one panning per channel");

  ByteWriter out;
  out.Text("Extended Module: ", 17);
  out.Text(module.title, 20);
  out.U8(0x1A);
  out.Text("quarb-gen-songs", 20, ' ');
  out.U16le(0x0104);
  out.U32le(276);
  out.U16le(static_cast<uint32_t>(module.order.size()));
  out.U16le(0);  // restart position; the songs loop with a position jump
  out.U16le(static_cast<uint32_t>(module.channels));
  out.U16le(static_cast<uint32_t>(module.patterns.size()));
  out.U16le(static_cast<uint32_t>(module.samples.size()));
  out.U16le(1);  // linear frequencies
  out.U16le(static_cast<uint32_t>(module.speed));
  out.U16le(static_cast<uint32_t>(module.tempo));
  for (size_t i = 0; i < 256; ++i) {
    int p = i < module.order.size() ? module.order[i] : 0;
    if (p < 0 || p >= static_cast<int>(module.patterns.size())) Refuse("order names a missing pattern");
    out.U8(p);
  }
  for (size_t p = 0; p < module.patterns.size(); ++p)
    WritePattern(out, module, module.patterns[p], p, static_cast<int>(p) == module.order[0]);
  for (const Sample& s : module.samples) WriteInstrument(out, s);
  return std::move(out.bytes());
}

}  // namespace songs
