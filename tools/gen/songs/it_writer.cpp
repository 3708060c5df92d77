// Impulse Tracker module writer: sample mode (no instruments), 8-bit signed
// samples, notes with a volume column, speed and tempo commands.
#include <stdexcept>
#include <string>

#include "tools/gen/songs/byte_writer.h"
#include "tools/gen/songs/format_writers.h"

namespace songs {
namespace {

[[noreturn]] void Refuse(const std::string& what) { throw std::runtime_error("IT: " + what); }

constexpr int kNoteOffValue = 255;

// The packed rows of a pattern: for each cell with something in it, the
// channel (with bit 7: a mask follows), the mask of what follows, then the
// note, sample, volume and command; a 0 ends each row.
Bytes PackPattern(const Pattern& p, int pattern_index) {
  Bytes out;
  for (int row = 0; row < p.rows; ++row) {
    for (int ch = 0; ch < p.channels; ++ch) {
      const Cell& c = p.at(row, ch);
      const std::string where = "pattern " + std::to_string(pattern_index) + " row " + std::to_string(row);
      int mask = 0;
      if (c.note != kNoNote) mask |= 1;
      if (c.instrument != 0) mask |= 2;
      if (c.volume >= 0) mask |= 4;
      int command = 0, value = c.param & 0xFF;
      switch (c.fx) {
        case Fx::kNone: break;
        case Fx::kSetSpeed: command = 'A' - '@'; break;
        case Fx::kSetTempo: command = 'T' - '@'; break;
        case Fx::kPatternBreak: command = 'C' - '@'; break;
        case Fx::kPositionJump: command = 'B' - '@'; break;
        default: Refuse("an effect this writer does not carry, at " + where);
      }
      if (command != 0) mask |= 8;
      if (mask == 0) continue;
      out.push_back(static_cast<uint8_t>((ch + 1) | 0x80));
      out.push_back(static_cast<uint8_t>(mask));
      if (mask & 1) {
        int note = c.note == kNoteOff ? kNoteOffValue : c.note;
        if (c.note != kNoteOff && (note < 0 || note > 119)) Refuse("note out of range at " + where);
        out.push_back(static_cast<uint8_t>(note));
      }
      if (mask & 2) out.push_back(static_cast<uint8_t>(c.instrument));
      if (mask & 4) {
        if (c.volume > 64) Refuse("volume out of range at " + where);
        out.push_back(static_cast<uint8_t>(c.volume));
      }
      if (mask & 8) {
        out.push_back(static_cast<uint8_t>(command));
        out.push_back(static_cast<uint8_t>(value));
      }
    }
    out.push_back(0);
  }
  return out;
}

}  // namespace

Bytes WriteIt(const Module& module) {
  if (module.channels < 1 || module.channels > 64) Refuse("1 to 64 channels");
  if (module.samples.size() > 99) Refuse("at most 99 samples");
  if (module.order.empty() || module.order.size() > 255) Refuse("1 to 255 orders");
  if (module.patterns.size() > 200) Refuse("at most 200 patterns");

  const size_t orders = module.order.size() + 1;  // ends in 255
  const size_t samples = module.samples.size();
  const size_t patterns = module.patterns.size();

  ByteWriter out;
  out.Text("IMPM", 4);
  out.Text(module.title, 26);
  out.U16le(0x1004);  // pattern highlight: 4 rows a beat, 16 a bar
  out.U16le(static_cast<uint32_t>(orders));
  out.U16le(0);  // instruments
  out.U16le(static_cast<uint32_t>(samples));
  out.U16le(static_cast<uint32_t>(patterns));
  out.U16le(0x0214);  // made with: 2.14
  out.U16le(0x0200);  // compatible with: 2.00
  out.U16le(0x0001 | 0x0008);  // stereo, linear slides
  out.U16le(0);                // special
  out.U8(std::clamp(module.global_volume * 2, 0, 128));
  out.U8(48);  // mix volume
  out.U8(module.speed);
  out.U8(module.tempo);
  out.U8(128);  // panning separation
  out.U8(0);    // pitch wheel depth
  out.U16le(0);
  out.U32le(0);  // no message
  out.U32le(0);
  for (int ch = 0; ch < 64; ++ch) {
    int pan = 32;
    if (ch < static_cast<int>(module.panning.size())) pan = (module.panning[ch] * 64 + 127) / 255;
    out.U8(ch < module.channels ? pan : 32 | 128);  // 128: channel off
  }
  for (int ch = 0; ch < 64; ++ch) out.U8(64);
  for (int o : module.order) {
    if (o < 0 || o >= static_cast<int>(patterns)) Refuse("an order names no pattern");
    out.U8(o);
  }
  out.U8(255);

  // Offsets of the sample headers and patterns, filled in once known.
  const size_t sample_offsets = out.size();
  out.Zeros(4 * samples);
  const size_t pattern_offsets = out.size();
  out.Zeros(4 * patterns);
  auto patch32 = [&](size_t at, uint32_t v) {
    out.Put16le(at, v & 0xFFFF);
    out.Put16le(at + 2, v >> 16);
  };

  std::vector<size_t> sample_headers;
  for (size_t i = 0; i < samples; ++i) {
    const Sample& s = module.samples[i];
    patch32(sample_offsets + 4 * i, static_cast<uint32_t>(out.size()));
    sample_headers.push_back(out.size());
    const bool loops = s.loop_length > 0;
    out.Text("IMPS", 4);
    out.Text("", 12);
    out.U8(0);
    out.U8(64);  // global volume
    out.U8(s.data.empty() ? 0 : (0x01 | (loops ? 0x10 : 0)));
    out.U8(std::clamp(s.volume, 0, 64));
    out.Text(s.name, 26);
    out.U8(0x01);  // signed samples
    out.U8(32);    // default panning, unused
    out.U32le(static_cast<uint32_t>(s.data.size()));
    out.U32le(loops ? s.loop_start : 0);
    out.U32le(loops ? s.loop_start + s.loop_length : 0);
    out.U32le(kReferenceRate);
    out.U32le(0);
    out.U32le(0);
    out.U32le(0);  // sample data offset, patched below
    out.U32le(0);  // no vibrato
  }
  for (size_t i = 0; i < patterns; ++i) {
    const Pattern& p = module.patterns[i];
    if (p.channels != module.channels) Refuse("a pattern of another channel count");
    patch32(pattern_offsets + 4 * i, static_cast<uint32_t>(out.size()));
    const Bytes packed = PackPattern(p, static_cast<int>(i));
    out.U16le(static_cast<uint32_t>(packed.size()));
    out.U16le(static_cast<uint32_t>(p.rows));
    out.U32le(0);
    out.bytes().insert(out.bytes().end(), packed.begin(), packed.end());
  }
  for (size_t i = 0; i < samples; ++i) {
    patch32(sample_headers[i] + 0x48, static_cast<uint32_t>(out.size()));
    for (float v : module.samples[i].data) out.U8(Quantise(v, 127) & 0xFF);
  }
  return out.bytes();
}

}  // namespace songs
