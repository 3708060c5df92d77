// Scream Tracker 3 module writer.
#include <stdexcept>
#include <string>

#include "tools/gen/songs/byte_writer.h"
#include "tools/gen/songs/format_writers.h"

namespace songs {
namespace {

[[noreturn]] void Refuse(const std::string& what) { throw std::runtime_error("S3M: " + what); }

// Effect letter (A = 1) and parameter of a cell.
void EncodeEffect(const Cell& cell, const std::string& where, int& command, int& info) {
  info = cell.param & 0xFF;
  switch (cell.fx) {
    case Fx::kNone: command = 0; info = 0; break;
    case Fx::kSetSpeed:
      if (cell.param < 1 || cell.param > 255) Refuse("speed out of range at " + where);
      command = 'A' - '@'; break;
    case Fx::kPositionJump: command = 'B' - '@'; break;
    case Fx::kPatternBreak: command = 'C' - '@'; info = Bcd(cell.param); break;
    case Fx::kVolumeSlide: command = 'D' - '@'; break;
    case Fx::kPortaDown: command = 'E' - '@'; break;
    case Fx::kPortaUp: command = 'F' - '@'; break;
    case Fx::kTonePorta: command = 'G' - '@'; break;
    case Fx::kVibrato: command = 'H' - '@'; break;
    case Fx::kArpeggio: command = 'J' - '@'; break;
    case Fx::kRetrigger: command = 'Q' - '@'; info = cell.param & 0xF; break;
    case Fx::kNoteCut: command = 'S' - '@'; info = 0xC0 | (cell.param & 0xF); break;
    case Fx::kNoteDelay: command = 'S' - '@'; info = 0xD0 | (cell.param & 0xF); break;
    case Fx::kSetPanning: command = 'S' - '@'; info = 0x80 | ((cell.param * 15 + 127) / 255); break;
    case Fx::kSetTempo:
      if (cell.param < 32 || cell.param > 255) Refuse("tempo out of range at " + where);
      command = 'T' - '@'; break;
  }
}

}  // namespace

Bytes WriteS3m(const Module& module) {
  if (module.channels < 1 || module.channels > 16) Refuse("1 to 16 channels");
  if (module.samples.size() > 99) Refuse("at most 99 samples");
  if (module.order.empty() || module.order.size() > 254) Refuse("1 to 254 orders");
  if (module.patterns.size() > 100) Refuse("at most 100 patterns");

  size_t orders = module.order.size() + (module.order.size() & 1);  // kept even, as ST3 does
  size_t instruments = module.samples.size();
  size_t patterns = module.patterns.size();

  ByteWriter out;
  out.Text(module.title, 28);
  out.U8(0x1A);
  out.U8(16);  // module type: ST3
  out.U16le(0);
  out.U16le(static_cast<uint32_t>(orders));
  out.U16le(static_cast<uint32_t>(instruments));
  out.U16le(static_cast<uint32_t>(patterns));
  out.U16le(0);       // flags
  out.U16le(0x1320);  // created with ST 3.20
  out.U16le(2);       // samples are unsigned
  out.Text("SCRM", 4);
  out.U8(module.global_volume);
  out.U8(module.speed);
  out.U8(module.tempo);
  out.U8(0x80 | 48);  // stereo, mixing volume 48
  out.U8(0);          // click removal
  out.U8(252);        // the channel pan table follows the pointers
  out.Zeros(8);
  out.U16le(0);       // no special data
  // Channel settings: left channels L1.., right ones R1.., the rest unused.
  int left = 0, right = 0;
  for (int ch = 0; ch < 32; ++ch) {
    if (ch >= module.channels) {
      out.U8(255);
      continue;
    }
    int pan = module.panning.empty() ? (ch % 4 == 0 || ch % 4 == 3 ? 64 : 192) : module.panning[static_cast<size_t>(ch)];
    if (pan < 128 && left < 8) out.U8(left++);
    else if (right < 8) out.U8(8 + right++);
    else out.U8(left++);
  }
  for (size_t i = 0; i < orders; ++i) {
    int p = i < module.order.size() ? module.order[i] : 255;
    if (i < module.order.size() && (p < 0 || p >= static_cast<int>(patterns))) Refuse("order names a missing pattern");
    out.U8(p);
  }
  size_t pointers = out.size();
  out.Zeros(2 * (instruments + patterns));
  for (int ch = 0; ch < 32; ++ch) {
    int pan = ch < module.channels && !module.panning.empty() ? module.panning[static_cast<size_t>(ch)] : -1;
    out.U8(pan < 0 ? 0 : 0x20 | ((pan * 15 + 127) / 255));
  }

  // Instrument headers; their sample pointers are filled in once the data is placed.
  std::vector<size_t> header_at;
  for (size_t i = 0; i < instruments; ++i) {
    const Sample& s = module.samples[i];
    out.AlignTo(16);
    header_at.push_back(out.size());
    out.Put16le(pointers + 2 * i, static_cast<uint32_t>(out.size() / 16));
    if (s.volume < 0 || s.volume > 64) Refuse("sample " + s.name + " volume out of range");
    out.U8(1);  // a sample
    out.Text("", 12);
    out.Zeros(3);  // data pointer, set below
    out.U32le(static_cast<uint32_t>(s.data.size()));
    out.U32le(s.loop_start);
    out.U32le(s.loop_start + s.loop_length);
    out.U8(s.volume);
    out.U8(0);
    out.U8(0);  // not packed
    out.U8(s.loop_length > 0 ? 1 : 0);
    out.U32le(kReferenceRate);
    out.Zeros(12);
    out.Text(s.name, 28);
    out.Text("SCRS", 4);
  }

  for (size_t p = 0; p < patterns; ++p) {
    const Pattern& pattern = module.patterns[p];
    if (pattern.rows != 64 || pattern.channels != module.channels) Refuse("patterns have 64 rows of every channel");
    out.AlignTo(16);
    size_t start = out.size();
    out.Put16le(pointers + 2 * (instruments + p), static_cast<uint32_t>(start / 16));
    out.U16le(0);  // packed length, set below
    for (int row = 0; row < 64; ++row) {
      for (int ch = 0; ch < module.channels; ++ch) {
        const Cell& cell = pattern.at(row, ch);
        std::string where = "pattern " + std::to_string(p) + " row " + std::to_string(row) +
                            " channel " + std::to_string(ch + 1);
        int command = 0, info = 0;
        EncodeEffect(cell, where, command, info);
        int what = ch;
        if (cell.note != kNoNote || cell.instrument > 0) what |= 0x20;
        if (cell.volume >= 0) what |= 0x40;
        if (command != 0) what |= 0x80;
        if (what == ch) continue;
        out.U8(what);
        if (what & 0x20) {
          int note = 255;
          if (cell.note == kNoteOff) {
            note = 254;
          } else if (cell.note >= 0) {
            if (cell.note < 12 || cell.note > 107) Refuse("note " + std::to_string(cell.note) + " out of range at " + where);
            note = (cell.note / 12 - 1) << 4 | (cell.note % 12);
          }
          if (cell.instrument < 0 || cell.instrument > static_cast<int>(instruments)) Refuse("missing sample at " + where);
          out.U8(note);
          out.U8(cell.instrument);
        }
        if (what & 0x40) {
          if (cell.volume > 64) Refuse("volume out of range at " + where);
          out.U8(cell.volume);
        }
        if (what & 0x80) {
          out.U8(command);
          out.U8(info);
        }
      }
      out.U8(0);
    }
    out.Put16le(start, static_cast<uint32_t>(out.size() - start));
  }

  for (size_t i = 0; i < instruments; ++i) {
    out.AlignTo(16);
    uint32_t pointer = static_cast<uint32_t>(out.size() / 16);
    out.bytes()[header_at[i] + 13] = static_cast<uint8_t>(pointer >> 16);
    out.Put16le(header_at[i] + 14, pointer & 0xFFFF);
    for (float v : module.samples[i].data) out.U8((Quantise(v, 127) + 128) & 0xFF);
  }
  return std::move(out.bytes());
}

}  // namespace songs
