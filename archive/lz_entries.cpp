#include "archive/lz_entries.h"

#include "archive/lz_decoder.h"

namespace {

constexpr uint32_t Entry(uint32_t extra, uint32_t rest) { return extra | (extra << 6) | rest; }

// The entries of every symbol, for codes of 0 bits.
struct SymbolEntries {
  uint32_t main[kMainSymbols];
  uint32_t distance[kDistanceSymbols];
  uint32_t repeat[kRepeatSymbols];
};

const SymbolEntries& Entries() {
  static const SymbolEntries entries = [] {
    SymbolEntries e{};
    for (uint32_t s = 0; s < kMainSymbols; ++s) e.main[s] = MainEntryOf(s);
    for (uint32_t s = 0; s < kDistanceSymbols; ++s) e.distance[s] = DistanceEntryOf(s);
    for (uint32_t s = 0; s < kRepeatSymbols; ++s) e.repeat[s] = RepeatEntryOf(s);
    return e;
  }();
  return entries;
}

}  // namespace

uint32_t MainEntryOf(uint32_t s) {
  if (s < 256) return (kLiteral << 24) | (s << 16);
  if (s == 256) return kRepeatLast << 24;
  if (s < 261) return (kRecentMatch << 24) | ((s & 3) << 16);
  if (s < 269) {
    uint32_t k = s - 261;
    return Entry(ShortDistanceExtraBits[k], (kShortMatch << 24) | ((ShortDistanceBase[k] + 1u) << 16));
  }
  if (s == 269) return kNewTables << 24;
  uint32_t k = s - 270;
  return Entry(LengthExtraBits[k], (kLongMatch << 24) | ((LengthBase[k] + 3u) << 16));
}

uint32_t DistanceEntryOf(uint32_t slot) {
  return Entry(DistanceExtraBits[slot], (DistanceBase[slot] + 1) << 11);
}

uint32_t RepeatEntryOf(uint32_t slot) {
  return Entry(LengthExtraBits[slot], (LengthBase[slot] + 2u) << 11);
}

void BuildLzEntries(LzEntries& e) {
  const DecoderTables& t = decoder_tables;
  const SymbolEntries& by_symbol = Entries();
  BuildFastEntries(t.main_table, by_symbol.main, e.main);
  BuildFastEntries(t.distance_table, by_symbol.distance, e.distance);
  BuildFastEntries(t.repeat_table, by_symbol.repeat, e.repeat);
}
