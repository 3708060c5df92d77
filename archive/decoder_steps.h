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

// Refill before a step once the read position passes this: a step reads at
// most 51 bits, a peek three bytes, so the step stays inside the buffer.
inline constexpr uint32_t kMainRefillAbove = 8162;
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
