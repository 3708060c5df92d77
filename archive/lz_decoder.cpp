#include "archive/lz_decoder.h"

#include <algorithm>
#include <cstring>

#include "archive/archive_format.h"
#include "archive/bit_input.h"
#include "archive/code_tables.h"
#include "archive/decoder_stats.h"
#include "archive/decoder_steps.h"
#include "archive/engine_state.h"
#include "archive/lz_entries.h"
#include "archive/sliding_window.h"

namespace {

// A step tops up its bit register before the main symbol and again before
// the rest of a match, which reads at most 36 bits (length 5, distance 15,
// distance extra 16). Steps start at byte kMainRefillAbove at the latest, well
// inside the reach of the register's loads.
void LzSteps() {
  const DecoderTables& t = engine::tables;
  // A copy in registers for the run; written back whenever the run ends.
  MatchHistory m = engine::matches;
  SlidingWindow& w = engine::window;
  PackedBitReader& r = engine::input;
  // Steps may start while the position is below this bit.
  const int64_t in_end = (int64_t{StepInputLimit()} + 1) * 8;
  const int32_t budget = StepOutputBudget();
  int32_t produced = 0;
  BitRegister in(r);
  uint8_t* const data = w.data;
  const uint32_t mask = w.mask;
  uint32_t write_pos = w.write_pos;
  // Hands the run's registers back to the engine.
  auto write_back = [&] {
    in.Store(r);
    w.write_pos = write_pos;
    engine::matches = m;
    engine::bytes_left -= produced;
    QUARB_COUNT(lz_step_runs);
    QUARB_COUNT_ADD(lz_bytes_without_entries, produced);
  };
  // The look-up of each step's main symbol is made before the top-up, from
  // bits already there, so that the top-up's load does not delay it: a step
  // leaves at least 10 bits (a match tops up again after its main symbol),
  // and the top-up only fills in bits below those.
  uint32_t entry = t.main_table.fast[in.bits >> (64 - kFastBits)];
  do {
    in.TopUp();
    uint32_t s;
    if (entry != 0) {
      s = entry >> kFastSymbolShift;
      // The entry's low six bits are the code length: the shift takes it whole.
      in.bits <<= entry & 63;
      in.available -= entry & 15;
    } else {
      uint32_t code_length;
      s = DecodeSymbolSlow(t.main_table, in.Peek16(), code_length);
      in.Skip(code_length);
    }
    if (s < rar::kLiteralCount) {
      QUARB_COUNT(literals);
      data[write_pos] = static_cast<uint8_t>(s);
      write_pos = (write_pos + 1) & mask;
      produced += 1;
    } else if (s >= rar::kMatchFirst) {
      // The commonest match first: coded length and distance.
      QUARB_COUNT(long_match);
      in.TopUp();
      uint32_t k = s - rar::kMatchFirst;
      uint32_t length = rar::kLengthBase[k] + rar::kMatchLengthBase + in.Take(rar::kLengthExtraBits[k]);
      uint32_t slot = DecodeSymbol(in, t.distance_table);
      uint32_t distance =
          rar::kDistanceBase[slot] + rar::kDistanceBias + in.Take(rar::kDistanceExtraBits[slot]);
      length += rar::LengthBonus(rar::LengthCoding::kWithDistance, distance);
      m.prev_distance = distance;
      m.prev_length = length;
      m.Push(distance);
      write_pos = CopyMatchAt(w, write_pos, distance, length);
      produced += static_cast<int32_t>(length);
      QUARB_COUNT_ADD(match_bytes, length);
    } else if (s == rar::kNewTables) {
      QUARB_COUNT(lz_new_tables);
      write_back();
      ReadCodeTables();
      return;
    } else {
      in.TopUp();
      uint32_t distance;
      uint32_t length;
      if (s >= rar::kShortFirst) {
        QUARB_COUNT(short_match);
        uint32_t k = s - rar::kShortFirst;
        distance = rar::kShortDistanceBase[k] + rar::kDistanceBias + in.Take(rar::kShortDistanceExtraBits[k]);
        length = rar::kShortMatchLength;
      } else if (s != rar::kRepeatLast) {
        QUARB_COUNT(recent_distance);
        distance = m.Recent(s - rar::kRecentFirst + 1);
        uint32_t slot = DecodeSymbol(in, t.repeat_table);
        length = rar::kLengthBase[slot] + rar::kRecentLengthBase + in.Take(rar::kLengthExtraBits[slot]);
        length += rar::LengthBonus(rar::LengthCoding::kAtRecentDistance, distance);
      } else {
        QUARB_COUNT(repeat_last);
        distance = m.prev_distance;
        length = m.prev_length;
      }
      if (s != rar::kRepeatLast) {
        m.prev_distance = distance;
        m.prev_length = length;
      }
      m.Push(distance);
      write_pos = CopyMatchAt(w, write_pos, distance, length);
      produced += static_cast<int32_t>(length);
      QUARB_COUNT_ADD(match_bytes, length);
    }
    entry = t.main_table.fast[in.bits >> (64 - kFastBits)];
  } while (produced < budget && in.Position() < in_end);
  write_back();
}

// Entry tables for the current LZ tables (lz_entries.h). Building them
// costs about as much as decoding a few thousand bytes, so a file whose
// rest is shorter than this goes through LzSteps without them.
constexpr int32_t kEntriesWorthFrom = 2048;

const LzEntries* CurrentLzEntries() {
  const DecoderTables& t = engine::tables;
  LzEntryTables& e = engine::lz_entries;
  if (!e.built || e.generation != t.lz_generation) {
    if (engine::bytes_left < kEntriesWorthFrom) return nullptr;
    BuildLzEntries(t, e.entries);
    QUARB_COUNT(lz_entry_builds);
    e.generation = t.lz_generation;
    e.built = true;
  }
  return &e.entries;
}

// LzSteps through the entry tables. A step tops up before its main code
// and a match again before the rest of it (at most 31 bits); up to three
// literals go with one top-up. A main entry is looked up before the
// top-up, from at least 11 bits already there (kMainEntryBits), and so is
// a match's second code, from at least 36.
// Steps go on while the register's next byte is below the input limit: a
// safe test, as that byte is never behind the read position, which leaves
// the last few steps before the limit to single calls.
[[gnu::always_inline]] inline void LzStepsFastOf(const LzEntries& le) {
  const DecoderTables& t = engine::tables;
  MatchHistory m = engine::matches;
  SlidingWindow& w = engine::window;
  PackedBitReader& r = engine::input;
  const uint8_t* const next_limit = r.buffer + StepInputLimit() + 1;
  const int32_t budget = StepOutputBudget();
  int32_t produced = 0;
  BitRegister in(r);
  // In locals: a store of an output byte could alias them otherwise.
  uint64_t bits = in.bits;
  const uint8_t* next = in.next;
  uint32_t available = in.available;
  uint8_t* const data = w.data;
  const uint32_t mask = w.mask;
  uint32_t write_pos = w.write_pos;
  auto top_up = [&] {
    bits |= LoadBigEndian64(next) >> available;
    next += (63 - available) >> 3;
    available |= 56;
  };
  auto consume = [&](uint32_t n) {
    bits <<= n;
    available -= n;
  };
  auto peek16 = [&] { return static_cast<uint32_t>(bits >> 48); };
  // The entry of a code longer than the look-up's bits, through the bounds.
  auto long_code_entry = [&](const HuffmanTable& table, uint32_t (*entry_of)(uint32_t)) {
    uint32_t code_length;
    uint32_t slot = DecodeSymbolSlow(table, peek16(), code_length);
    return entry_of(slot) + code_length;
  };
  // Hands the run's registers back to the engine.
  auto write_back = [&] {
    in.bits = bits;
    in.next = next;
    in.available = available;
    in.Store(r);
    w.write_pos = write_pos;
    engine::matches = m;
    engine::bytes_left -= produced;
    QUARB_COUNT(lz_step_runs);
  };
  static_assert(56 - 3 * kMaxCodeLength >= kMainEntryBits, "three literals to a top-up");
  uint32_t entry = le.main[bits >> (64 - kMainEntryBits)];
  do {
    top_up();
    if (entry == 0) [[unlikely]] {
      uint32_t length;
      uint32_t s = DecodeSymbolSlow(t.main_table, peek16(), length);
      entry = MainEntryOf(s) + length;
    }
    if (EntryKind(entry) == kLiteral) {
      // This literal and up to two more without a top-up: it left at least
      // 56 bits, three literal codes take at most 45, and the 11 of the
      // next look-up remain.
      auto literal = [&] {
        QUARB_COUNT(literals);
        data[write_pos] = static_cast<uint8_t>(EntryValue(entry));
        write_pos = (write_pos + 1) & mask;
        produced += 1;
        consume(EntryConsume(entry));
        entry = le.main[bits >> (64 - kMainEntryBits)];
        return IsLiteralEntry(entry) && produced < budget;
      };
      if (literal() && literal()) literal();
      continue;
    } else {
      uint32_t kind = EntryKind(entry);
      uint32_t extra = EntryExtra(bits, entry);
      consume(EntryConsume(entry));
      // The second code's look-up from the bits before the top-up (at least
      // 36 after the main code and its extra bits), so that the top-up's
      // merge waits beside the look-up rather than before it.
      const uint32_t second_index = static_cast<uint32_t>(bits >> (64 - kFastBits));
      top_up();
      uint32_t distance, length;
      if (kind == kLongMatch) {
        QUARB_COUNT(long_match);
        uint32_t d = le.distance[second_index];
        if (d == 0) [[unlikely]] d = long_code_entry(t.distance_table, DistanceEntryOf);
        distance = EntryBase(d) + EntryExtra(bits, d);
        consume(EntryConsume(d));
        length = EntryValue(entry) + extra + rar::LengthBonus(rar::LengthCoding::kWithDistance, distance);
        m.prev_distance = distance;
        m.prev_length = length;
      } else if (kind == kShortMatch) {
        QUARB_COUNT(short_match);
        distance = EntryValue(entry) + extra;
        length = rar::kShortMatchLength;
        m.prev_distance = distance;
        m.prev_length = length;
      } else if (kind == kRecentMatch) {
        QUARB_COUNT(recent_distance);
        distance = m.Recent(EntryValue(entry));
        uint32_t rp = le.repeat[second_index];
        if (rp == 0) [[unlikely]] rp = long_code_entry(t.repeat_table, RepeatEntryOf);
        length = EntryBase(rp) + EntryExtra(bits, rp);
        consume(EntryConsume(rp));
        length += rar::LengthBonus(rar::LengthCoding::kAtRecentDistance, distance);
        m.prev_distance = distance;
        m.prev_length = length;
      } else if (kind == kRepeatLast) {
        QUARB_COUNT(repeat_last);
        distance = m.prev_distance;
        length = m.prev_length;
      } else {
        QUARB_COUNT(lz_new_tables);
        write_back();
        ReadCodeTables();
        return;
      }
      m.Push(distance);
      write_pos = CopyMatchAt(w, write_pos, distance, length);
      produced += static_cast<int32_t>(length);
      QUARB_COUNT_ADD(match_bytes, length);
    }
    entry = le.main[bits >> (64 - kMainEntryBits)];
  } while (produced < budget && next < next_limit);
  write_back();
}

// The loop built for each path (decoder_steps.h).
[[gnu::noinline]] void LzStepsFastPortable(const LzEntries& le) { LzStepsFastOf(le); }
#ifdef QUARB_STEPS_X86_V3
[[gnu::noinline]] QUARB_X86_V3_TARGET void LzStepsFastV3(const LzEntries& le) { LzStepsFastOf(le); }
#endif

void LzStepsFast(const LzEntries& le) {
#ifdef QUARB_STEPS_X86_V3
  if (CurrentStepPath() == StepPath::kX86V3) {
    LzStepsFastV3(le);
    return;
  }
#endif
  LzStepsFastPortable(le);
}

}  // namespace

namespace {

StepPath& PathInUse() {
  static StepPath path = [] {
#ifdef QUARB_STEPS_X86_V3
    // This may run before main, perhaps before the runtime has looked at the processor.
    __builtin_cpu_init();
#endif
    return StepPathAvailable(StepPath::kX86V3) ? StepPath::kX86V3 : StepPath::kPortable;
  }();
  return path;
}

}  // namespace

bool StepPathAvailable(StepPath path) {
  if (path == StepPath::kPortable) return true;
#ifdef QUARB_STEPS_X86_V3
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2") &&
         __builtin_cpu_supports("popcnt");
#else
  return false;
#endif
}

void UseStepPath(StepPath path) { PathInUse() = StepPathAvailable(path) ? path : StepPath::kPortable; }

StepPath CurrentStepPath() { return PathInUse(); }

int32_t StepInputLimit() {
  const PackedBitReader& r = engine::input;
  int32_t limit = static_cast<int32_t>(kMainRefillAbove);
  if (r.source_exhausted) limit = std::min(limit, r.real_end - 1);
  return limit;
}

int32_t StepOutputBudget() {
  const SlidingWindow& w = engine::window;
  int64_t budget = int64_t{engine::bytes_left} + 1;
  uint32_t pending = (w.write_pos - w.flush_pos) & w.mask;
  budget = std::min<int64_t>(budget, rar::kWindowSize - (kFlushRoom - 1) - pending);
  if (w.unwritten_tail) budget = std::min<int64_t>(budget, int64_t{w.size} - kFlushRoom - w.write_pos);
  return static_cast<int32_t>(budget);
}

void UnpackFile() {
  SlidingWindow& w = engine::window;
  PackedBitReader& r = engine::input;
  int32_t& bytes_left = engine::bytes_left;
  ExtractState& s = engine::extract;
  const bool continues = engine::ContinuesStream();
  if (!continues) engine::ResetStream();
  RefillInput(true);
  if (!continues) ReadCodeTables();
  s.stream_started = true;

  --bytes_left;
  while (bytes_left >= 0) {
    if (r.byte_pos > kMainRefillAbove) RefillInput(false);
    // Damaged or truncated data: what is left would be decoded from stale
    // bytes, possibly forever (a table block announced over and over).
    if (InputUsedUp(r)) break;
    if (((w.write_pos - w.flush_pos) & w.mask) > rar::kWindowSize - kFlushRoom) FlushWindow();
    if (w.unwritten_tail && w.write_pos >= w.size - kFlushRoom) ClearUnwrittenTail();
    if (engine::tables.audio_mode) {
      AudioSteps();
    } else if (const LzEntries* entries = CurrentLzEntries()) {
      LzStepsFast(*entries);
    } else {
      LzSteps();
    }
  }
  CheckEndOfData();
  FlushWindow();
}
