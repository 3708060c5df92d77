// The bytes of a stretch of audio rounds, written from the logged deltas
// when the stretch ends (with AVX2, where the processor has it), against
// the running sums taken one byte at a time: every length of stretch on one
// and two channels, the round cut short after channel 0, and nothing
// written past the stretch.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "archive/audio_error_sums.h"
#include "archive/audio_stretch_bytes.h"

namespace {

#ifdef QUARB_ERROR_SUMS_X86

// The rounds that write their bytes this way run only where the processor
// has AVX2.
bool HasAvx2() { return ErrorSumsPathAvailable(ErrorSumsPath::kAvx2); }

constexpr uint8_t kUntouched = 0xA5;

// Fills the logs with random deltas (all 32 of each, whatever the stretch's
// length, as a log holds its earlier stretches), writes a stretch of
// `counts`, and checks it against the bytes made one at a time.
void ExpectStretch(uint32_t channels, const uint32_t* counts, std::mt19937& rng) {
  AudioChannelLog logs[2];
  std::uniform_int_distribution<int> delta(-128, 127), byte(0, 255);
  for (AudioChannelLog& log : logs) {
    for (int16_t& d : log.deltas) d = static_cast<int16_t>(delta(rng));
  }
  uint32_t prev[2] = {static_cast<uint32_t>(byte(rng)), static_cast<uint32_t>(byte(rng))};
  uint8_t expected[2 * kLogBytes + 8];
  std::memset(expected, kUntouched, sizeof expected);
  uint32_t expected_prev[2] = {prev[0], prev[1]};
  for (uint32_t c = 0; c < channels; ++c) {
    for (uint32_t i = 0; i < counts[c]; ++i) {
      expected_prev[c] = (expected_prev[c] + static_cast<uint32_t>(logs[c].deltas[kLogLead + i])) & 0xFF;
      expected[i * channels + c] = static_cast<uint8_t>(expected_prev[c]);
    }
  }
  uint8_t out[sizeof expected];
  std::memset(out, kUntouched, sizeof out);
  error_sums_x86::Avx2WriteStretchBytes(logs, channels, counts, prev, out);
  const std::string where = std::to_string(channels) + " channel(s), " +
                            std::to_string(counts[0]) + "+" + std::to_string(channels == 2 ? counts[1] : 0);
  ASSERT_EQ(std::memcmp(out, expected, sizeof out), 0) << where;
  for (uint32_t c = 0; c < channels; ++c) EXPECT_EQ(prev[c], expected_prev[c]) << where << ", channel " << c;
}

TEST(AudioStretchBytes, EveryLengthOnOneAndTwoChannelsAndACutRound) {
  if (!HasAvx2()) GTEST_SKIP() << "the processor lacks AVX2";
  std::mt19937 rng(20261208);
  for (int repeat = 0; repeat < 8; ++repeat) {
    for (uint32_t n = 0; n <= kLogBytes; ++n) {
      const uint32_t one[1] = {n};
      ExpectStretch(1, one, rng);
      const uint32_t two[2] = {n, n};
      ExpectStretch(2, two, rng);
      // A symbol 256 on channel 1 ends the stretch with channel 0 ahead.
      if (n < kLogBytes) {
        const uint32_t cut[2] = {n + 1, n};
        ExpectStretch(2, cut, rng);
      }
    }
  }
}

TEST(AudioStretchBytes, RunningSumsWrapAroundAtEveryByte) {
  if (!HasAvx2()) GTEST_SKIP() << "the processor lacks AVX2";
  // The largest steps each way, so that the sums wrap on every byte and a
  // carry between the halves of a vector would show.
  for (int16_t step : {int16_t{127}, int16_t{-128}}) {
    AudioChannelLog logs[2];
    for (AudioChannelLog& log : logs) {
      for (int16_t& d : log.deltas) d = step;
    }
    const uint32_t counts[2] = {kLogBytes, kLogBytes};
    uint32_t prev[2] = {255, 0};
    uint8_t out[2 * kLogBytes];
    error_sums_x86::Avx2WriteStretchBytes(logs, 2, counts, prev, out);
    for (uint32_t i = 0; i < kLogBytes; ++i) {
      for (uint32_t c = 0; c < 2; ++c) {
        const uint32_t start = c == 0 ? 255 : 0;
        ASSERT_EQ(out[2 * i + c], static_cast<uint8_t>(start + (i + 1) * static_cast<uint32_t>(step)))
            << "step " << step << ", byte " << i << " of channel " << c;
      }
    }
  }
}

#endif  // QUARB_ERROR_SUMS_X86

}  // namespace
