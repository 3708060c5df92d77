// The steps of multimedia (audio) mode: one symbol of the current channel's
// table, one byte from that channel's predictor, the next channel.
//
// Most bytes go through rounds: one byte per channel in turn from channel 0
// (two bytes with a single channel), unrolled for the channel count, with
// the predictors in registers (audio_packed.h), their error sums taken a
// stretch at a time (audio_error_sums.h), and two symbols decoded with one
// look-up wherever both codes are short. Rounds run only while a whole
// round is sure to pass the checks that single steps make before every
// step; single steps, through the plain predictor, take the rest: up to
// channel 0, near the end of the input or of the output allowed.
#include <algorithm>
#include <utility>

#include "archive/audio_error_sums.h"
#include "archive/audio_error_sums_x86.h"
#include "archive/audio_packed.h"
#include "archive/audio_predictor.h"
#include "archive/audio_stretch_bytes.h"
#include "archive/bit_input.h"
#include "archive/code_tables.h"
#include "archive/decoder_stats.h"
#include "archive/decoder_steps.h"
#include "archive/engine_state.h"
#include "archive/huffman.h"
#include "archive/sliding_window.h"

namespace {

// The pair tables for the current audio tables (audio_packed.h).
void UpdatePairs() {
  const DecoderTables& t = engine::tables;
  AudioPairTables& p = engine::audio_pairs;
  if (!p.built || p.generation != t.audio_generation || p.channels != t.channel_count) {
    const HuffmanTable* a = t.audio_tables;
    static_assert(rar::kAudioNewTables == 256);
    if (t.channel_count == 1) {
      BuildPackedPairs(a[0], a[0], p.table[0]);
    } else {
      BuildPackedPairs(a[0], a[1], p.table[0]);
      if (t.channel_count == 4) BuildPackedPairs(a[2], a[3], p.table[1]);
    }
    QUARB_COUNT(pair_table_builds);
    p.generation = t.audio_generation;
    p.channels = t.channel_count;
    p.built = true;
  }
}

// Where rounds may go: they start while `out` is at most `out_last` and
// the register's next byte is below `next_limit`.
struct RoundLimits {
  const uint8_t* out_last;
  const uint8_t* next_limit;
  const uint8_t* next_limit_two;  // the same for two rounds
};

// The error sums of a stretch, and the smallest of a period's: on the
// loop built for AVX2 and BMI2 straight from the AVX2 kernels, inlined;
// otherwise through the path chosen at run time.
template <bool kV3>
[[gnu::always_inline]] inline void StretchSums(const AudioChannelLog& log, const int16_t* cross, uint32_t n,
                                               PeriodSums& sums) {
#ifdef QUARB_STEPS_X86_V3
  if constexpr (kV3) {
    error_sums_x86::Avx2Sums(log, cross, n, sums);
    return;
  }
#endif
  AddErrorSums(log, cross, n, sums);
}
template <bool kV3>
[[gnu::always_inline]] inline uint32_t PeriodSmallest(const PeriodSums& sums) {
#ifdef QUARB_STEPS_X86_V3
  if constexpr (kV3) return error_sums_x86::Sse41Smallest(sums);
#endif
  return SmallestSum(sums);
}

// BitRegister::TopUp on the register's fields in the rounds' locals, where
// only the low six bits of `available` count (a pair's whole entry is taken
// off it).
[[gnu::always_inline]] inline void TopUpRounds(uint64_t& bits, const uint8_t*& next, uint64_t& available) {
  bits |= LoadBigEndian64(next) >> (available & 63);
  next += ((63 - available) & 63) >> 3;
  available |= 56;
}

// For the lambdas of the loop below: inlined however large it grows, so
// that what they capture stays in registers.
#if defined(__GNUC__)
#define QUARB_INLINE __attribute__((always_inline))
#else
#define QUARB_INLINE
#endif

// A stretch of rounds of two bytes, two steps of one look-up wherever both
// codes fit: a single channel's bytes two at a time (kChannels 1), or a
// byte of each of two channels (kChannels 2). Up to `max_rounds` rounds,
// under the same limits and with the same look-ahead as the rounds of
// AudioRoundsOf. Returns the bytes decoded and sets `stop` when a symbol 256
// ended the stretch (its code consumed). Each byte goes to `out` as it is
// decoded, or with kLogOnly (the loop built for AVX2) is only logged, as
// its delta, and the caller writes the stretch's bytes when it ends
// (audio_stretch_bytes.h): the last bytes and the output pointer then leave
// the loop's registers. A loop of its own with one index for the output and
// the logs: the bit register, the predictors and the index then all stay in
// registers, where the rounds' general form spilled some of them to the
// stack on every pair.
template <uint32_t kChannels, bool kLogOnly>
[[gnu::always_inline]] inline uint32_t PairStretch(uint64_t& bits_io, const uint8_t*& next_io,
                                                   uint64_t& available_io, PackedChannel& ch0, PackedChannel& ch1,
                                                   int64_t& cross, AudioChannelLog* logs, uint8_t* out,
                                                   uint32_t max_rounds, const RoundLimits& limits, bool& stop) {
  static_assert(kChannels == 1 || kChannels == 2);
  constexpr bool kFused = kChannels == 1;
  uint64_t bits = bits_io;
  const uint8_t* next = next_io;
  uint64_t available = available_io;
  PackedChannel c0 = ch0;
  PackedChannel c1{};  // a single channel has no second
  if constexpr (!kFused) c1 = ch1;
  int64_t x = cross;
  const uint64_t* const pairs = engine::audio_pairs.table[0];
  const HuffmanTable* const tables = engine::tables.audio_tables;
  uint32_t j = 0;    // rounds done
  uint32_t cut = 0;  // bytes of a round that a symbol 256 cut short

  auto top_up = [&]() QUARB_INLINE { TopUpRounds(bits, next, available); };
  auto look_up = [&]() QUARB_INLINE { return pairs[bits >> (64 - kPairBits)]; };
  // Step k of round j: where its symbol goes in the logs, and its byte.
  auto symbol_slot = [&]<uint32_t k>(std::integral_constant<uint32_t, k>) QUARB_INLINE -> uint8_t& {
    if constexpr (kFused) return logs[0].symbols[2 * j + k];
    return logs[k].symbols[j];
  };
  auto predict = [&]<uint32_t k>(std::integral_constant<uint32_t, k>, uint64_t term) QUARB_INLINE {
    QUARB_COUNT(audio_bytes);
    QUARB_COUNT(audio_round_bytes);
    QUARB_COUNT(audio_bytes_by_channels[kChannels - 1]);
    if constexpr (kLogOnly) {
      if constexpr (kFused) {
        PredictPackedDelta<true>(c0, logs[0], 2 * j + k, term, x);
      } else {
        PredictPackedDelta<false>(k == 0 ? c0 : c1, logs[k], j, term, x);
      }
    } else if constexpr (kFused) {
      out[2 * j + k] = PredictPacked<true>(c0, logs[0], 2 * j + k, term, x);
    } else {
      out[2 * j + k] = PredictPacked<false>(k == 0 ? c0 : c1, logs[k], j, term, x);
    }
  };
  constexpr std::integral_constant<uint32_t, 0> kFirst;
  constexpr std::integral_constant<uint32_t, 1> kSecond;
  // Step k's code on its own; false on symbol 256.
  auto single = [&]<uint32_t k>(std::integral_constant<uint32_t, k> step) QUARB_INLINE {
    const HuffmanTable& table = tables[kFused ? 0 : k];
    uint32_t entry = table.fast[bits >> (64 - kAudioFastBits)];
    if (entry == 0) [[unlikely]] entry = DecodeEntryInline(table, static_cast<uint32_t>(bits >> 48));
    bits <<= entry & 15;
    available -= entry & 15;
    const uint32_t symbol = entry >> kFastSymbolShift;
    if (symbol == rar::kAudioNewTables) [[unlikely]] return false;
    symbol_slot(step) = static_cast<uint8_t>(symbol);
    predict(step, audio_packed_detail::kSymbolTerms[symbol]);
    return true;
  };
  // A round from `entry`, looked up before the top-up that goes with it;
  // false on symbol 256, with the bytes before it produced. Without kTopUp
  // the register is topped up only if the two codes need a look-up each.
  auto round = [&]<bool kTopUp>(uint64_t entry, std::bool_constant<kTopUp>) QUARB_INLINE {
    if constexpr (kTopUp) top_up();
    if (!PairFound(entry)) [[unlikely]] {
      QUARB_COUNT(pair_misses_by_channels[kChannels - 1]);
      if constexpr (!kTopUp) top_up();
      if (entry == 0) {
        if (!single(kFirst)) return false;
      } else {
        // The first symbol from the entry (never 256), the second on its own.
        bits <<= entry & 63;
        available -= entry & 63;
        symbol_slot(kFirst) = static_cast<uint8_t>(PairFirstSymbol(entry));
        predict(kFirst, entry);
      }
      if (!single(kSecond)) {
        cut = 1;
        return false;
      }
      ++j;
      return true;
    }
    QUARB_COUNT(pair_hits_by_channels[kChannels - 1]);
    bits <<= entry & 63;
    available -= entry;
    if constexpr (kFused) {
      StorePairSymbols(logs[0].symbols + 2 * j, entry);
    } else {
      logs[0].symbols[j] = static_cast<uint8_t>(PairFirstSymbol(entry));
      logs[1].symbols[j] = static_cast<uint8_t>(PairSecondSymbol(entry));
    }
    predict(kFirst, entry);
    predict(kSecond, PairSecondTerm(entry));
    ++j;
    return true;
  };

  stop = false;
  // Two rounds a top-up: it leaves at least 56 bits, the first round takes
  // at most kPairBits (12) bits (or 30 when it takes two look-ups, after
  // which the second still has 26), and a round that takes two look-ups
  // tops up first. So at least 14 bits are left after each of the loops'
  // rounds, as after the rounds' first top-up, enough for the next look-up,
  // and the first look-up here needs no top-up before it.
  static_assert(56 - kPairBits - 30 >= kPairBits);
  // First the rounds that cannot reach the input's limit, whatever their
  // codes: the loop then checks only its count. The register's next byte
  // lies at most 63 bits past what the codes have taken, and a round takes
  // at most two codes.
  const ptrdiff_t input_room = limits.next_limit_two - next;
  const ptrdiff_t sure_pairs =  // pairs of rounds, at most 64
      input_room > 8 ? std::min<ptrdiff_t>((8 * input_room - 64) / (4 * kMaxCodeLength), 64) : 0;
  const uint32_t unchecked = std::min(max_rounds, 2 * static_cast<uint32_t>(sure_pairs));
  while (j + 2 <= unchecked) {
    if (!round(look_up(), std::true_type{}) || !round(look_up(), std::false_type{})) {
      stop = true;
      break;
    }
  }
  while (!stop && j + 2 <= max_rounds && next < limits.next_limit_two) {
    if (!round(look_up(), std::true_type{}) || !round(look_up(), std::false_type{})) {
      stop = true;
      break;
    }
  }
  while (!stop && j < max_rounds && next < limits.next_limit) stop = !round(look_up(), std::true_type{});

  bits_io = bits;
  next_io = next;
  available_io = available;
  ch0 = c0;
  if constexpr (!kFused) ch1 = c1;
  cross = x;
  return 2 * j + cut;
}

// Rounds of kChannels bytes (two with a single channel) from channel 0,
// channels taken two at a time through a pair table where both codes are
// short enough. Each look-up (a pair, or a single code) is made before the
// top-up that goes with it, from bits already in the register, so that the
// top-up's load is off the path from one look-up to the next: a top-up
// leaves at least 56 bits, a look-up and its codes take at most 30, so at
// least 26 remain for the next look-up, and a code takes at most 15.
//
// The rounds run in stretches that end where the first channel's 32-byte
// period ends; there the error sums of each channel's stretch are taken
// and the channels whose periods ended adapt (audio_packed.h). With a
// single channel a round is two of its bytes, and rounds start only on an
// even count, so that no period ends inside a round. With one or two
// channels the stretches are PairStretch's.
//
// Returns kChannels, or the channel whose symbol 256 stopped the rounds
// (its code consumed, the bytes before it produced), or kNoRounds when a
// predictor record is one that decoding never reaches (see LoadPacked).
constexpr uint32_t kNoRounds = 8;

template <uint32_t kChannels, bool kV3>
[[gnu::always_inline]] inline uint32_t AudioRoundsOf(BitRegister& in, uint8_t*& out,
                                                     const RoundLimits& limits, int32_t& stream_delta) {
  constexpr bool kFused = kChannels == 1;
  constexpr uint32_t kRound = kFused ? 2 : kChannels;
  constexpr uint32_t kPerChannel = kFused ? 2 : 1;  // bytes of each channel a round
  using Channels = std::make_integer_sequence<uint32_t, kChannels>;
  // One variable per channel, not an array: the compiler keeps separate
  // variables in registers more readily.
  PackedChannel c0, c1, c2, c3;
  auto channel = [&]<uint32_t c>(std::integral_constant<uint32_t, c>) -> PackedChannel& {
    if constexpr (c == 0) return c0;
    if constexpr (c == 1) return c1;
    if constexpr (c == 2) return c2;
    if constexpr (c == 3) return c3;
  };
  AudioChannelLog logs[kChannels];
  PeriodSums sums[kChannels];
  uint32_t phase[kChannels];    // where each channel stands in its period
  uint32_t decoded[kChannels];  // bytes of each channel before the current stretch
  bool fit = [&]<uint32_t... c>(std::integer_sequence<uint32_t, c...>) {
    return (LoadPacked(channel(std::integral_constant<uint32_t, c>{}), logs[c], sums[c],
                       engine::audio.channels[c], kFused) &&
            ...);
  }(Channels{});
  // With a single channel a period must not end inside a round; the caller
  // starts rounds on an even count (a stretch of no rounds would go on
  // forever).
  if (!fit || (kFused && engine::audio.channels[0].sample_count % 2 != 0)) return kNoRounds;
  QUARB_COUNT(audio_round_runs);
  for (uint32_t c = 0; c < kChannels; ++c) {
    phase[c] = engine::audio.channels[c].sample_count % 32;
    decoded[c] = 0;
  }

  // Everything in locals, not through the references: a store of an output
  // byte could alias them, and the compiler would reload them after every
  // byte.
  uint64_t bits = in.bits;
  const uint8_t* next = in.next;
  // Only the low six bits count: a pair's whole entry is taken off, and its
  // length, in its low six bits, never exceeds them.
  uint64_t available = in.available;
  uint8_t* o = out;
  int64_t cross = stream_delta;
  const uint8_t* const out_last = limits.out_last;
  const uint8_t* const next_limit = limits.next_limit;
  uint32_t stopped = kChannels;
  uint32_t j = 0;    // rounds of the current stretch, whose bytes start at o
  uint32_t cut = 0;  // bytes of a round that a symbol 256 cut short

  auto top_up = [&] { TopUpRounds(bits, next, available); };
  auto consume = [&](uint32_t n) {
    bits <<= n;
    available -= n;
  };
  // The byte of step s of the round from its symbol.
  auto byte = [&]<uint32_t s>(std::integral_constant<uint32_t, s>, uint32_t symbol, uint64_t term) {
    constexpr uint32_t c = s % kChannels;
    QUARB_COUNT(audio_bytes);
    QUARB_COUNT(audio_round_bytes);
    QUARB_COUNT(audio_bytes_by_channels[kChannels - 1]);
    o[j * kRound + s] = DecodePacked<kFused>(channel(std::integral_constant<uint32_t, c>{}), logs[c],
                                j * kPerChannel + s / kChannels, symbol, term, cross);
  };
  // Step s on its own, from `entry` (its fast entry, looked up before the
  // top-up); false on symbol 256.
  auto single = [&]<uint32_t s>(std::integral_constant<uint32_t, s> step, uint32_t entry) {
    const HuffmanTable& table = engine::tables.audio_tables[s % kChannels];
    if (entry == 0) [[unlikely]] entry = DecodeEntryInline(table, static_cast<uint32_t>(bits >> 48));
    consume(entry & 15);
    uint32_t symbol = entry >> kFastSymbolShift;
    if (symbol == rar::kAudioNewTables) [[unlikely]] {
      stopped = s % kChannels;
      cut = s;
      return false;
    }
    byte(step, symbol, audio_packed_detail::kSymbolTerms[symbol]);
    return true;
  };
  auto fast_entry = [&](uint32_t c) {
    return uint32_t{engine::tables.audio_tables[c].fast[bits >> (64 - kAudioFastBits)]};
  };
  // Steps s and s + 1 (three or four channels); false on symbol 256.
  auto pair = [&]<uint32_t s>(std::integral_constant<uint32_t, s> step) {
    const uint64_t entry = engine::audio_pairs.table[s / 2][bits >> (64 - kPairBits)];
    top_up();
    if (!PairFound(entry)) [[unlikely]] {
      QUARB_COUNT(pair_misses_by_channels[kChannels - 1]);
      constexpr std::integral_constant<uint32_t, s + 1> second;
      if (entry == 0) {
        return single(step, fast_entry(s % kChannels)) && single(second, fast_entry((s + 1) % kChannels));
      }
      // The first symbol from the entry (never 256), the second on its own.
      consume(entry & 63);
      byte(step, PairFirstSymbol(entry), entry);
      return single(second, fast_entry((s + 1) % kChannels));
    }
    QUARB_COUNT(pair_hits_by_channels[kChannels - 1]);
    bits <<= entry & 63;
    available -= entry;
    byte(step, PairFirstSymbol(entry), entry);
    byte(std::integral_constant<uint32_t, s + 1>{}, PairSecondSymbol(entry), PairSecondTerm(entry));
    return true;
  };

  top_up();
  for (;;) {
    // Rounds until the first period ends.
    uint32_t n = 32;
    for (uint32_t c = 0; c < kChannels; ++c) n = std::min(n, (32 - phase[c]) / kPerChannel);
    // And no further than the output allows.
    const uint32_t room = o <= out_last ? static_cast<uint32_t>((out_last - o) / kRound) + 1 : 0;
    const uint32_t last_round = std::min(n, room);
    j = 0;
    if constexpr (kChannels <= 2) {
      bool stop;
      const uint32_t bytes =
          PairStretch<kChannels, kV3>(bits, next, available, c0, c1, cross, logs, o, last_round, limits, stop);
      j = bytes / 2;
      cut = bytes % 2;
      if (stop) stopped = kFused ? 0 : cut;
    } else {
      while (stopped == kChannels && j < last_round && next < next_limit) {
        bool whole;
        if constexpr (kChannels == 3) {
          whole = pair(std::integral_constant<uint32_t, 0>{}) && [&] {
            uint32_t entry = fast_entry(2);
            top_up();
            return single(std::integral_constant<uint32_t, 2>{}, entry);
          }();
        } else {
          whole = pair(std::integral_constant<uint32_t, 0>{}) &&
                  pair(std::integral_constant<uint32_t, 2>{});
        }
        if (!whole) break;
        ++j;
      }
    }
    // Each channel's bytes in the stretch: one a round (two with a single
    // channel), and one more below a channel that stopped a round.
    uint32_t count[kChannels];
    for (uint32_t c = 0; c < kChannels; ++c) {
      count[c] = kFused ? 2 * j + cut : j + (stopped < kChannels && c < stopped ? 1 : 0);
    }
#ifdef QUARB_STEPS_X86_V3
    if constexpr (kChannels <= 2 && kV3) {
      uint32_t prev[2] = {c0.prev, c1.prev};
      error_sums_x86::Avx2WriteStretchBytes(logs, kChannels, count, prev, o);
      c0.prev = prev[0];
      c1.prev = prev[1];
    }
#endif
    uint32_t smallest[kChannels] = {};  // for the periods that end here
    for (uint32_t c = 0; c < kChannels; ++c) {
      StretchSums<kV3>(logs[c], StreamDeltas(logs, kChannels, c), count[c], sums[c]);
      if (phase[c] + count[c] == 32) smallest[c] = PeriodSmallest<kV3>(sums[c]);
    }
    // The periods that end here adapt: at the end of the stretch, or, in a
    // round that a symbol 256 cut short, with the extra byte of a channel
    // below the one that stopped it.
    const bool more = j == n;
    [&]<uint32_t... c>(std::integer_sequence<uint32_t, c...>) {
      ([&] {
        PackedChannel& ch = channel(std::integral_constant<uint32_t, c>{});
        phase[c] += count[c];
        if (phase[c] == 32) {
          FinishPackedPeriod(ch, engine::audio.channels[c], smallest[c], sums[c], kFused);
          phase[c] = 0;
        }
        if (more) {
          StartNextStretch(logs[c], count[c]);
          decoded[c] += count[c];
        } else {
          StorePacked(ch, logs[c], count[c], sums[c], engine::audio.channels[c], decoded[c] + count[c]);
        }
      }(), ...);
    }(Channels{});
    o += j * kRound + cut;
    // Otherwise stopped by a symbol 256 or at a limit.
    if (!more) break;
  }

  in.bits = bits;
  in.next = next;
  in.available = static_cast<uint32_t>(available & 63);
  out = o;
  stream_delta = static_cast<int32_t>(cross);
  return stopped;
}

// The rounds built for each path (decoder_steps.h).
template <uint32_t kChannels>
[[gnu::noinline]] uint32_t AudioRoundsPortable(BitRegister& in, uint8_t*& out, const RoundLimits& limits,
                                               int32_t& stream_delta) {
  return AudioRoundsOf<kChannels, false>(in, out, limits, stream_delta);
}
#ifdef QUARB_STEPS_X86_V3
template <uint32_t kChannels>
[[gnu::noinline]] QUARB_X86_V3_TARGET uint32_t AudioRoundsV3(BitRegister& in, uint8_t*& out,
                                                             const RoundLimits& limits,
                                                             int32_t& stream_delta) {
  return AudioRoundsOf<kChannels, true>(in, out, limits, stream_delta);
}
#endif

template <uint32_t kChannels>
uint32_t AudioRounds(BitRegister& in, uint8_t*& out, const RoundLimits& limits, int32_t& stream_delta) {
#ifdef QUARB_STEPS_X86_V3
  if (CurrentStepPath() == StepPath::kX86V3) return AudioRoundsV3<kChannels>(in, out, limits, stream_delta);
#endif
  return AudioRoundsPortable<kChannels>(in, out, limits, stream_delta);
}

}  // namespace

void AudioSteps() {
  DecoderTables& t = engine::tables;
  SlidingWindow& w = engine::window;
  PackedBitReader& r = engine::input;
  // Steps may start while the position is below this bit.
  const int64_t in_end = (int64_t{StepInputLimit()} + 1) * 8;
  const int32_t budget = StepOutputBudget();
  BitRegister in(r);
  uint8_t* const data = w.data;
  const uint32_t mask = w.mask;
  uint32_t write_pos = w.write_pos;
  int32_t produced = 0;
  uint32_t channel = t.current_channel;
  const uint32_t channels = t.channel_count;
  bool new_tables = false;
  // Rounds stop where a round could start a code at or beyond in_end, or
  // pass the output allowed or the end of the window. The register's next
  // byte is never behind the read position, so a limit on it is a safe one.
  const uint32_t round = channels == 1 ? 2 : channels;
  RoundLimits limits;
  int64_t next_end = (in_end - int64_t{round - 1} * kMaxCodeLength) / 8;
  limits.next_limit = r.buffer + std::max<int64_t>(next_end, 0);
  int64_t next_end_two = (in_end - int64_t{2 * round - 1} * kMaxCodeLength) / 8;
  limits.next_limit_two = r.buffer + std::max<int64_t>(next_end_two, 0);
  bool rounds_fit = true;
  for (;;) {
    int64_t last = std::min<int64_t>(int64_t{write_pos} + (budget - produced), w.size) - round;
    // Rounds take the last channel's last delta for the stream's (so it is
    // whenever steps have come round to channel 0; not always just after a
    // table block), and with a single channel they start on an even count.
    // Steps of their own make it so.
    if (channel == 0 && last >= write_pos && in.next < limits.next_limit && rounds_fit &&
        engine::audio.cross_delta == engine::audio.channels[channels - 1].prev_delta &&
        (channels != 1 || engine::audio.channels[0].sample_count % 2 == 0)) {
      limits.out_last = data + last;
      uint8_t* out = data + write_pos;
      UpdatePairs();
      uint32_t stopped;
      switch (channels) {
        case 1: stopped = AudioRounds<1>(in, out, limits, engine::audio.cross_delta); break;
        case 2: stopped = AudioRounds<2>(in, out, limits, engine::audio.cross_delta); break;
        case 3: stopped = AudioRounds<3>(in, out, limits, engine::audio.cross_delta); break;
        default: stopped = AudioRounds<4>(in, out, limits, engine::audio.cross_delta); break;
      }
      uint32_t done = static_cast<uint32_t>(out - (data + write_pos));
      write_pos = (write_pos + done) & mask;
      produced += static_cast<int32_t>(done);
      if (stopped == kNoRounds) {
        rounds_fit = false;
      } else if (stopped < channels) {
        channel = stopped;
        new_tables = true;
        break;
      }
    }
    // One step at a time. The loop's checks have cleared the first step.
    if (produced != 0 && (produced >= budget || in.Position() >= in_end)) break;
    in.TopUp();
    uint32_t s = DecodeSymbol(in, t.audio_tables[channel]);
    if (s == rar::kAudioNewTables) {
      new_tables = true;
      break;
    }
    QUARB_COUNT(audio_bytes);
    QUARB_COUNT(audio_bytes_by_channels[channels - 1]);
    data[write_pos] = DecodeAudioByte(engine::audio.channels[channel], engine::audio.cross_delta, s);
    write_pos = (write_pos + 1) & mask;
    if (++channel == channels) channel = 0;
    produced += 1;
  }
  QUARB_COUNT(audio_step_runs);
  in.Store(r);
  w.write_pos = write_pos;
  t.current_channel = channel;
  engine::bytes_left -= produced;
  if (new_tables) {
    QUARB_COUNT(audio_new_tables);
    ReadCodeTables();
  }
}
