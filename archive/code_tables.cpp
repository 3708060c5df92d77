#include "archive/code_tables.h"

#include <cstring>

#include "archive/bit_input.h"
#include "archive/decoder_stats.h"
#include "archive/engine_state.h"

namespace {

// The refill thresholds leave room for the longest read that follows them:
// a block header with the pre-code lengths (80 bits), or one length symbol
// with its run field (22 bits), each peeked three bytes at a time.
constexpr uint32_t kHeaderRefillAbove = kInputBufferSize - 25;
constexpr uint32_t kSymbolRefillAbove = kInputBufferSize - 5;

uint32_t ReadBits(PackedBitReader& in, uint32_t n) {
  uint32_t value = PeekBits16(in) >> (16 - n);
  SkipBits(in, n);
  return value;
}

}  // namespace

void ReadCodeTables() {
  DecoderTables& t = engine::tables;
  PackedBitReader& r = engine::input;
  if (r.byte_pos > kHeaderRefillAbove) RefillInput(false);

  uint32_t header = PeekBits16(r);
  t.audio_mode = (header & 0x8000) != 0;
  if ((header & 0x4000) == 0) std::memset(t.previous_lengths, 0, sizeof t.previous_lengths);
  SkipBits(r, 2);

  uint32_t total;
  if (t.audio_mode) {
    t.channel_count = ((header >> 12) & 3) + 1;
    if (t.current_channel >= t.channel_count) t.current_channel = 0;
    SkipBits(r, 2);
    total = rar::kAudioSymbols * t.channel_count;
    QUARB_COUNT(audio_table_blocks[t.channel_count - 1]);
    QUARB_COUNT_TABLE_MODE(t.channel_count);
  } else {
    total = rar::kLzLengths;
    QUARB_COUNT(lz_table_blocks);
    QUARB_COUNT_TABLE_MODE(0);
  }

  uint8_t precode_lengths[rar::kPrecodeSymbols];
  for (uint8_t& length : precode_lengths) length = static_cast<uint8_t>(ReadBits(r, rar::kPrecodeLengthBits));
  BuildHuffmanTable(precode_lengths, t.precode_table, rar::kPrecodeSymbols);

  // Starts as the previous lengths, so that whatever this block does not
  // reach keeps its value for the next block that reads further.
  uint8_t length[rar::kMaxTableLengths];
  std::memcpy(length, t.previous_lengths, sizeof length);
  uint32_t i = 0;
  while (i < total) {
    if (r.byte_pos > kSymbolRefillAbove) RefillInput(false);
    // Symbols through a register until the next one would need a refill.
    BitRegister in(r);
    do {
      in.TopUp();
      uint32_t s = DecodeSymbol(in, t.precode_table);
      if (s < rar::kPrecodeRepeat) {
        length[i] = static_cast<uint8_t>((t.previous_lengths[i] + s) & 15);
        ++i;
      } else {
        const rar::PrecodeRun& r = rar::kPrecodeRuns[s - rar::kPrecodeRepeat];
        uint32_t run = in.Take(r.extra_bits) + r.shortest;
        uint8_t repeated = s == rar::kPrecodeRepeat && i > 0 ? length[i - 1] : 0;
        for (; run > 0 && i < total; --run) length[i++] = repeated;
      }
    } while (i < total && in.Position() < (kSymbolRefillAbove + 1) * 8);
    in.Store(r);
  }

  if (t.audio_mode) {
    for (uint32_t k = 0; k < t.channel_count; ++k) {
      BuildHuffmanTable(length + rar::kAudioSymbols * k, t.audio_tables[k], rar::kAudioSymbols, kAudioFastBits);
    }
    ++t.audio_generation;
  } else {
    BuildHuffmanTable(length, t.main_table, rar::kMainSymbols);
    BuildHuffmanTable(length + rar::kMainSymbols, t.distance_table, rar::kDistanceSymbols);
    BuildHuffmanTable(length + rar::kMainSymbols + rar::kDistanceSymbols, t.repeat_table,
                      rar::kRepeatSymbols);
    ++t.lz_generation;
  }
  std::memcpy(t.previous_lengths, length, sizeof length);
}

void CheckEndOfData() {
  DecoderTables& t = engine::tables;
  PackedBitReader& r = engine::input;
  if (r.data_end < r.byte_pos + 5) return;
  if (t.audio_mode) {
    if (DecodeSymbol(r, t.audio_tables[t.current_channel]) == rar::kAudioNewTables) {
      QUARB_COUNT(audio_new_tables);
      ReadCodeTables();
    }
  } else if (DecodeSymbol(r, t.main_table) == rar::kNewTables) {
    QUARB_COUNT(lz_new_tables);
    ReadCodeTables();
  }
}
