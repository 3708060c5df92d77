// The decoder's inner loops and what they share (internal to the decoder).
//
// UnpackFile makes its checks (refill, end of input, flush, the window's
// deferred zeros) before a step; the step functions then run further steps
// for as long as none of those checks could act, which they know from two
// figures fixed at their start. Each returns after at least one step, with
// the bit reader, the window position, bytes_left and the mode's state
// written back; on an order to read new tables it reads them before it
// returns.
#pragma once

#include <cstdint>

#include "archive/archive_format.h"
#include "archive/bit_input.h"

// Refill before a step once the read position passes this: a step reads at
// most 51 bits, a peek three bytes, so the step stays inside the buffer.
inline constexpr uint32_t kMainRefillAbove = kInputBufferSize - 30;
static_assert(kMainRefillAbove >= kInputBufferSize - kInputCarry);
// A step produces at most one match; flush before one that starts with less
// free room than this.
inline constexpr uint32_t kFlushRoom = 270;
static_assert(kFlushRoom > rar::kMaxMatchLength);

// The last read position (byte) at which a step may start without the
// loop's checks.
int32_t StepInputLimit();

// Steps may start while fewer bytes than this have been produced: below it
// bytes_left stays >= 0, no flush is due and the deferred zeros stay ahead.
int32_t StepOutputBudget();

// Steps of multimedia (audio) mode.
void AudioSteps();

// The LZ steps through entry tables and the multimedia rounds are built
// twice on x86-64: for any such processor, and for those with AVX2 and
// BMI2, whose three-operand shifts leave the loop fewer moves and free the
// shift count's register (about 3.5% faster on LZ-coded modules), and into
// whose rounds the AVX2 error sums are inlined rather than called through
// a pointer (3% fewer instructions on MOD files; the shifts alone gained
// the rounds nothing).
// The second is taken where the processor has them, chosen on first use;
// tests can choose either.
enum class StepPath { kPortable, kX86V3 };
bool StepPathAvailable(StepPath path);
// The path the loops take from now on (one not available: kPortable).
void UseStepPath(StepPath path);
StepPath CurrentStepPath();

#if defined(__x86_64__) && defined(__GNUC__)
#define QUARB_STEPS_X86_V3 1
#define QUARB_X86_V3_TARGET __attribute__((target("avx2,bmi,bmi2,popcnt")))
#endif
