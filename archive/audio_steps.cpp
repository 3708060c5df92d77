// The steps of multimedia (audio) mode: one symbol of the current channel's
// table, one byte from that channel's predictor, the next channel.
//
// Most bytes go through rounds: one byte per channel in turn from channel 0
// (two bytes with a single channel), unrolled for the channel count, with
// the predictors in registers (audio_lanes.h) and two symbols decoded with
// one look-up wherever both codes are short. Rounds run only while a whole
// round is sure to pass the checks that single steps make before every
// step; single steps, through the plain predictor, take the rest: up to
// channel 0, near the end of the input or of the output allowed.
#include <algorithm>
#include <utility>

#include "archive/audio_lanes.h"
#include "archive/audio_predictor.h"
#include "archive/bit_input.h"
#include "archive/code_tables.h"
#include "archive/decoder_stats.h"
#include "archive/decoder_steps.h"
#include "archive/extract.h"
#include "archive/huffman.h"
#include "archive/sliding_window.h"

namespace {

#ifdef QUARB_AUDIO_LANES

// Pair tables of the channels that rounds take two at a time: channels 0
// and 1 (0 and 0 with a single channel), and 2 and 3. Built when rounds
// first need them after a table block.
struct AudioPairs {
  uint32_t table[2][1u << kPairBits];
  uint32_t generation;
  uint32_t channels;
  bool built;
};
AudioPairs audio_pairs;

void UpdatePairs() {
  const DecoderTables& t = decoder_tables;
  AudioPairs& p = audio_pairs;
  if (!p.built || p.generation != t.audio_generation || p.channels != t.channel_count) {
    const HuffmanTable* a = t.audio_tables;
    if (t.channel_count == 1) {
      BuildPairTable(a[0], a[0], 256, p.table[0]);
    } else {
      BuildPairTable(a[0], a[1], 256, p.table[0]);
      if (t.channel_count == 4) BuildPairTable(a[2], a[3], 256, p.table[1]);
    }
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
};

// Rounds of kChannels bytes (two with a single channel) from channel 0,
// channels taken two at a time through a pair table where both codes are
// short enough. Each look-up (a pair, or a single code) is made before the
// top-up that goes with it, from bits already in the register, so that the
// top-up's load is off the path from one look-up to the next: a top-up
// leaves at least 56 bits, a look-up and its codes take at most 30, so at
// least 26 remain for the next look-up, and a code takes at most 15.
// Returns kChannels, or the channel whose symbol 256 stopped the rounds
// (its code consumed, the bytes before it produced), or kNoRounds when a
// predictor does not fit the registers (see LoadAudioLanes).
constexpr uint32_t kNoRounds = 8;

template <uint32_t kChannels>
uint32_t AudioRounds(BitRegister& in, uint8_t*& out, const RoundLimits& limits,
                     int32_t& stream_delta) {
  constexpr uint32_t kRound = kChannels == 1 ? 2 : kChannels;
  constexpr bool kFused = kChannels == 1;
  using Channels = std::make_integer_sequence<uint32_t, kChannels>;
  // One variable per channel, not an array: the compiler keeps separate
  // variables in registers more readily.
  AudioLanes l0, l1, l2, l3;
  auto lanes = [&]<uint32_t c>(std::integral_constant<uint32_t, c>) -> AudioLanes& {
    if constexpr (c == 0) return l0;
    if constexpr (c == 1) return l1;
    if constexpr (c == 2) return l2;
    if constexpr (c == 3) return l3;
  };
  bool fit = [&]<uint32_t... c>(std::integer_sequence<uint32_t, c...>) {
    return (LoadAudioLanes(lanes(std::integral_constant<uint32_t, c>{}), audio_predictors[c],
                           kFused) && ...);
  }(Channels{});
  if (!fit) return kNoRounds;

  // Where each channel stands in its 32-byte period. With one channel a
  // count of the bytes to the period's end; with more, all channels move on
  // by one byte a round, and bit k of `period_ends` is set when a channel's
  // period ends after a number of rounds that is k modulo 32.
  uint32_t phase[kChannels];
  uint32_t period_ends = 0;
  for (uint32_t c = 0; c < kChannels; ++c) {
    phase[c] = audio_predictors[c].sample_count % 32;
    period_ends |= 1u << ((32 - phase[c]) % 32);
  }
  uint32_t left = 32 - phase[0];
  uint32_t rounds = 0;

  // Everything in locals, not through the references: a store of an output
  // byte could alias them, and the compiler would reload them after every
  // byte.
  uint64_t bits = in.bits;
  const uint8_t* next = in.next;
  uint32_t available = in.available;
  uint8_t* const start = out;
  uint8_t* o = out;
  int32_t cross = stream_delta;
  const uint8_t* const out_last = limits.out_last;
  const uint8_t* const next_limit = limits.next_limit;
  uint32_t stopped = kChannels;

  auto top_up = [&] {
    bits |= LoadBigEndian64(next) >> available;
    next += (63 - available) >> 3;
    available |= 56;
  };
  auto consume = [&](uint32_t n) {
    bits <<= n;
    available -= n;
  };
  // Ends the periods that end with `done` bytes on each channel that has
  // `done` bytes (channels below `below`).
  auto finish_periods = [&]<uint32_t... c>(std::integer_sequence<uint32_t, c...>, uint32_t done,
                                           uint32_t below) {
    ([&] {
      if (c < below && (phase[c] + done) % 32 == 0) {
        FinishAudioPeriod(lanes(std::integral_constant<uint32_t, c>{}),
                          audio_predictors[c].weights, kFused);
      }
    }(), ...);
  };
  // The byte of step j from its symbol.
  auto byte = [&]<uint32_t j>(std::integral_constant<uint32_t, j>, uint32_t symbol) {
    constexpr uint32_t c = j % kChannels;
    QUARB_COUNT(audio_bytes);
    AudioLanes& l = lanes(std::integral_constant<uint32_t, c>{});
    o[j] = DecodeAudioLanes<kFused>(l, symbol, cross);
    if constexpr (kChannels == 1) {
      if (--left == 0) [[unlikely]] {
        FinishAudioPeriod(l, audio_predictors[0].weights, true);
        left = 32;
      }
    }
  };
  // Step j on its own, from `entry` (its fast entry, looked up before the
  // top-up); false on symbol 256.
  auto single = [&]<uint32_t j>(std::integral_constant<uint32_t, j> step, uint32_t entry) {
    const HuffmanTable& table = decoder_tables.audio_tables[j % kChannels];
    if (entry == 0) [[unlikely]] entry = DecodeEntryInline(table, static_cast<uint32_t>(bits >> 48));
    consume(entry & 15);
    uint32_t symbol = entry >> kFastSymbolShift;
    if (symbol == 256) [[unlikely]] {
      stopped = j % kChannels;
      o += j;
      return false;
    }
    byte(step, symbol);
    return true;
  };
  auto fast_entry = [&](uint32_t channel) {
    return uint32_t{decoder_tables.audio_tables[channel].fast[bits >> (64 - kFastBits)]};
  };
  // Steps j and j + 1; false on symbol 256.
  auto pair = [&]<uint32_t j>(std::integral_constant<uint32_t, j> step) {
    uint32_t entry = audio_pairs.table[j / 2][bits >> (64 - kPairBits)];
    top_up();
    if (entry == 0) [[unlikely]] {
      constexpr std::integral_constant<uint32_t, j + 1> second;
      return single(step, fast_entry(j % kChannels)) &&
             single(second, fast_entry((j + 1) % kChannels));
    }
    consume(entry & 63);
    byte(step, (entry >> 16) & 0xFF);
    byte(std::integral_constant<uint32_t, j + 1>{}, entry >> 24);
    return true;
  };

  top_up();
  while (o <= out_last && next < next_limit) {
    bool whole;
    if constexpr (kChannels == 3) {
      whole = pair(std::integral_constant<uint32_t, 0>{}) && [&] {
        uint32_t entry = fast_entry(2);
        top_up();
        return single(std::integral_constant<uint32_t, 2>{}, entry);
      }();
    } else if constexpr (kChannels == 4) {
      whole = pair(std::integral_constant<uint32_t, 0>{}) &&
              pair(std::integral_constant<uint32_t, 2>{});
    } else {
      whole = pair(std::integral_constant<uint32_t, 0>{});
    }
    if (!whole) break;
    o += kRound;
    if constexpr (kChannels > 1) {
      ++rounds;
      if ((period_ends >> (rounds % 32)) & 1) [[unlikely]] {
        finish_periods(Channels{}, rounds, kChannels);
      }
    }
  }

  // A round that a symbol 256 cut short: its channels below `stopped` have
  // one byte more, which may end their periods.
  if constexpr (kChannels > 1) {
    if (stopped < kChannels) finish_periods(Channels{}, rounds + 1, stopped);
  }
  // Bytes per channel: one a round, and one more below a channel that
  // stopped a round; with one channel, all of them.
  auto decoded = [&](uint32_t c) {
    if constexpr (kChannels == 1) return static_cast<uint32_t>(o - start);
    return rounds + (stopped < kChannels && c < stopped ? 1 : 0);
  };
  [&]<uint32_t... c>(std::integer_sequence<uint32_t, c...>) {
    (StoreAudioLanes(lanes(std::integral_constant<uint32_t, c>{}), audio_predictors[c], decoded(c)),
     ...);
  }(Channels{});
  in.bits = bits;
  in.next = next;
  in.available = available;
  out = o;
  stream_delta = cross;
  return stopped;
}

#endif  // QUARB_AUDIO_LANES

}  // namespace

void AudioSteps() {
  DecoderTables& t = decoder_tables;
  SlidingWindow& w = sliding_window;
  PackedBitReader& r = bit_reader;
  // Steps may start while the position is below this bit.
  const int64_t in_end = (int64_t{StepInputLimit()} + 1) * 8;
  const int32_t budget = StepOutputBudget();
  BitRegister in(r.buffer, r.byte_pos, r.bit_pos);
  uint8_t* const data = w.data;
  uint32_t write_pos = w.write_pos;
  int32_t produced = 0;
  uint32_t channel = t.current_channel;
  const uint32_t channels = t.channel_count;
  bool new_tables = false;
#ifdef QUARB_AUDIO_LANES
  // Rounds stop where a round could start a code at or beyond in_end, or
  // pass the output allowed or the end of the window. The register's next
  // byte is never behind the read position, so a limit on it is a safe one.
  const uint32_t round = channels == 1 ? 2 : channels;
  RoundLimits limits;
  int64_t next_end = (in_end - int64_t{round - 1} * kMaxCodeLength) / 8;
  limits.next_limit = r.buffer + std::max<int64_t>(next_end, 0);
  bool lanes_fit = true;
#endif
  for (;;) {
#ifdef QUARB_AUDIO_LANES
    int64_t last = std::min<int64_t>(int64_t{write_pos} + (budget - produced), kWindowBytes) - round;
    // With a single channel the rounds take the channel's last delta for
    // the stream's; a step of its own makes it so.
    if (channel == 0 && last >= write_pos && in.next < limits.next_limit && lanes_fit &&
        (channels != 1 || cross_delta == audio_predictors[0].prev_delta)) {
      limits.out_last = data + last;
      uint8_t* out = data + write_pos;
      UpdatePairs();
      uint32_t stopped;
      switch (channels) {
        case 1: stopped = AudioRounds<1>(in, out, limits, cross_delta); break;
        case 2: stopped = AudioRounds<2>(in, out, limits, cross_delta); break;
        case 3: stopped = AudioRounds<3>(in, out, limits, cross_delta); break;
        default: stopped = AudioRounds<4>(in, out, limits, cross_delta); break;
      }
      uint32_t done = static_cast<uint32_t>(out - (data + write_pos));
      write_pos = (write_pos + done) & kWindowMask;
      produced += static_cast<int32_t>(done);
      if (stopped == kNoRounds) {
        lanes_fit = false;
      } else if (stopped < channels) {
        channel = stopped;
        new_tables = true;
        break;
      }
    }
#endif
    // One step at a time. The loop's checks have cleared the first step.
    if (produced != 0 && (produced >= budget || in.Position() >= in_end)) break;
    in.TopUp();
    uint32_t s = DecodeSymbol(in, t.audio_tables[channel]);
    if (s == 256) {
      new_tables = true;
      break;
    }
    QUARB_COUNT(audio_bytes);
    data[write_pos] = DecodeAudioByteInline(audio_predictors[channel], s);
    write_pos = (write_pos + 1) & kWindowMask;
    if (++channel == channels) channel = 0;
    produced += 1;
  }
  in.Store();
  w.write_pos = write_pos;
  t.current_channel = channel;
  bytes_left -= produced;
  if (new_tables) {
    QUARB_COUNT(audio_new_tables);
    ReadCodeTables();
  }
}
