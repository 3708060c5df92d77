#include "archive/lz_entries.h"

#include "archive/archive_format.h"

namespace {

constexpr uint32_t Entry(uint32_t extra, uint32_t rest) { return extra | (extra << 6) | rest; }

// The entries of every symbol, for codes of 0 bits.
struct SymbolEntries {
  uint32_t main[rar::kMainSymbols];
  uint32_t distance[rar::kDistanceSymbols];
  uint32_t repeat[rar::kRepeatSymbols];
};

const SymbolEntries& Entries() {
  static const SymbolEntries entries = [] {
    SymbolEntries e{};
    for (uint32_t s = 0; s < rar::kMainSymbols; ++s) e.main[s] = MainEntryOf(s);
    for (uint32_t s = 0; s < rar::kDistanceSymbols; ++s) e.distance[s] = DistanceEntryOf(s);
    for (uint32_t s = 0; s < rar::kRepeatSymbols; ++s) e.repeat[s] = RepeatEntryOf(s);
    return e;
  }();
  return entries;
}

}  // namespace

uint32_t MainEntryOf(uint32_t s) {
  if (s < rar::kLiteralCount) return (kLiteral << 24) | (s << 16);
  if (s == rar::kRepeatLast) return kRepeatLast << 24;
  if (s < rar::kShortFirst) return (kRecentMatch << 24) | ((s - rar::kRecentFirst + 1) << 16);
  if (s < rar::kNewTables) {
    uint32_t k = s - rar::kShortFirst;
    return Entry(rar::kShortDistanceExtraBits[k],
                 (kShortMatch << 24) | ((rar::kShortDistanceBase[k] + rar::kDistanceBias) << 16));
  }
  if (s == rar::kNewTables) return kNewTables << 24;
  uint32_t k = s - rar::kMatchFirst;
  return Entry(rar::kLengthExtraBits[k],
               (kLongMatch << 24) | ((rar::kLengthBase[k] + rar::kMatchLengthBase) << 16));
}

uint32_t DistanceEntryOf(uint32_t slot) {
  return Entry(rar::kDistanceExtraBits[slot], (rar::kDistanceBase[slot] + rar::kDistanceBias) << 11);
}

uint32_t RepeatEntryOf(uint32_t slot) {
  return Entry(rar::kLengthExtraBits[slot], (rar::kLengthBase[slot] + rar::kRecentLengthBase) << 11);
}

void BuildLzEntries(const DecoderTables& t, LzEntries& e) {
  const SymbolEntries& by_symbol = Entries();
  BuildFastEntries(t.main_table, by_symbol.main, e.main, kMainEntryBits);
  BuildFastEntries(t.distance_table, by_symbol.distance, e.distance, kFastBits);
  BuildFastEntries(t.repeat_table, by_symbol.repeat, e.repeat, kFastBits);
}
