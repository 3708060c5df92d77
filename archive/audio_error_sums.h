// The eleven error sums of multimedia mode, taken a stretch of a channel's
// bytes at a time from a log of those bytes, with vector instructions: the
// bytes of the stretch side by side in 16-bit lanes, eight (SSE2) or sixteen
// (AVX2, where the processor has it) at a time, one accumulator per sum, and
// the lanes added up once at the end. Then the smallest of the eleven,
// without a branch.
#pragma once

#include <cstdint>

// The deltas that the sums of a stretch look back on: four for the terms
// of its first byte, five for the history stored back.
inline constexpr uint32_t kLogLead = 5;
// The longest stretch: one period.
inline constexpr uint32_t kLogBytes = 32;

// One channel's bytes of the current stretch, and its deltas before it.
struct AudioChannelLog {
  // deltas[kLogLead + j]: the channel's delta at its byte j of the stretch;
  // below kLogLead, its deltas before the stretch, oldest first.
  int16_t deltas[kLogLead + kLogBytes];
  uint8_t symbols[kLogBytes];  // byte j's symbol
};

// Where the stream's last delta before each byte of channel c's stretch
// stands, when all channels' stretches start together on channel 0 and
// channel c - 1's last delta (channel 0: the last channel's) was the
// stream's last at the start: in the log of the channel before, at the same
// byte, or one byte back for channel 0.
inline const int16_t* StreamDeltas(const AudioChannelLog* logs, uint32_t channels, uint32_t c) {
  return c > 0 ? logs[c - 1].deltas + kLogLead : logs[channels - 1].deltas + kLogLead - 1;
}

// The sums of the current period, S0 to S10 in lanes 0 to 10. Lanes 11 to
// 15 hold 0xFFFF, so that the smallest of all sixteen is one of the eleven.
// A period's sums stay below 32 x 1279, well within 16 bits.
struct PeriodSums {
  alignas(16) uint16_t lanes[16];
};
inline constexpr uint32_t kPeriodSumsLimit = 32 * 1279;

// All eleven at zero.
inline void ClearPeriodSums(PeriodSums& sums) {
  static constexpr PeriodSums kClear = {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}};
  sums = kClear;
}

// S(k) += the sum of byte 0 to n - 1 (n at most kLogBytes) of `log`, whose
// byte j came after the stream delta cross[j]: with e = 8 x the symbol read
// as signed and the terms h0 to h3 and the stream's delta, S0 adds |e|,
// S(2k+1) |e - term k| and S(2k+2) |e + term k|.
void AddErrorSums(const AudioChannelLog& log, const int16_t* cross, uint32_t n, PeriodSums& sums);

// The index of the smallest sum, the lowest index on a tie.
uint32_t SmallestSum(const PeriodSums& sums);

// The ways the functions above can take, for tests that check each one.
enum class ErrorSumsPath { kScalar, kSse2, kAvx2 };
bool ErrorSumsPathAvailable(ErrorSumsPath path);
void AddErrorSumsBy(ErrorSumsPath path, const AudioChannelLog& log, const int16_t* cross, uint32_t n,
                    PeriodSums& sums);
uint32_t SmallestSumBy(ErrorSumsPath path, const PeriodSums& sums);
