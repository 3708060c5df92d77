#include "archive/audio_error_sums.h"

#include "archive/audio_error_sums_x86.h"
#include "archive/audio_predictor.h"

namespace {

// The plain predictor's sums (audio_predictor.h), byte by byte, with the
// terms each byte had: h0 to h3 from the logged deltas before it.
void ScalarSums(const AudioChannelLog& log, const int16_t* cross, uint32_t n, PeriodSums& period) {
  uint32_t sums[11] = {};
  for (uint32_t j = 0; j < n; ++j) {
    const int16_t* d = log.deltas + kLogLead + j;
    AddErrors(sums, log.symbols[j], {d[-1], d[-1] - d[-2], d[-2] - d[-3], d[-3] - d[-4], cross[j]});
  }
  for (uint32_t k = 0; k < 11; ++k) period.lanes[k] = static_cast<uint16_t>(period.lanes[k] + sums[k]);
}

uint32_t ScalarSmallest(const PeriodSums& sums) { return SmallestErrorSum(sums.lanes); }

// The two functions of each path.
struct PathFunctions {
  void (*sums)(const AudioChannelLog&, const int16_t*, uint32_t, PeriodSums&);
  uint32_t (*smallest)(const PeriodSums&);
};

PathFunctions Functions(ErrorSumsPath path) {
#ifdef QUARB_ERROR_SUMS_X86
  using namespace error_sums_x86;
  if (path == ErrorSumsPath::kAvx2) return {Avx2Sums, Sse41Smallest};
  if (path == ErrorSumsPath::kSse2) return {Sse2Sums, Sse2Smallest};
#endif
  (void)path;
  return {ScalarSums, ScalarSmallest};
}

ErrorSumsPath FastestPath() {
#ifdef QUARB_ERROR_SUMS_X86
  // This may run before main, perhaps before the runtime has looked at the processor.
  __builtin_cpu_init();
#endif
  if (ErrorSumsPathAvailable(ErrorSumsPath::kAvx2)) return ErrorSumsPath::kAvx2;
  if (ErrorSumsPathAvailable(ErrorSumsPath::kSse2)) return ErrorSumsPath::kSse2;
  return ErrorSumsPath::kScalar;
}

// Chosen on first use, so that no order of start-up can find it unset.
const PathFunctions& Fastest() {
  static const PathFunctions fastest = Functions(FastestPath());
  return fastest;
}

PathFunctions Usable(ErrorSumsPath path) {
  return Functions(ErrorSumsPathAvailable(path) ? path : ErrorSumsPath::kScalar);
}

}  // namespace

bool ErrorSumsPathAvailable(ErrorSumsPath path) {
  switch (path) {
    case ErrorSumsPath::kScalar:
      return true;
#ifdef QUARB_ERROR_SUMS_X86
    case ErrorSumsPath::kSse2:
      return true;
    case ErrorSumsPath::kAvx2:
      return __builtin_cpu_supports("avx2");
#endif
    default:
      return false;
  }
}

void AddErrorSumsBy(ErrorSumsPath path, const AudioChannelLog& log, const int16_t* cross, uint32_t n,
                    PeriodSums& sums) {
  Usable(path).sums(log, cross, n, sums);
}

uint32_t SmallestSumBy(ErrorSumsPath path, const PeriodSums& sums) {
  return Usable(path).smallest(sums);
}

void AddErrorSums(const AudioChannelLog& log, const int16_t* cross, uint32_t n, PeriodSums& sums) {
  Fastest().sums(log, cross, n, sums);
}

uint32_t SmallestSum(const PeriodSums& sums) { return Fastest().smallest(sums); }

