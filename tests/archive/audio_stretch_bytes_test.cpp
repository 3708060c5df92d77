// The bytes of a stretch of audio rounds, written from the logged deltas
// when the stretch ends (with AVX2, where the processor has it), against
// the running sums taken one byte at a time: every length of stretch on one
// and two channels, the round cut short after channel 0, and nothing
// written past the stretch.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "archive/audio_error_sums.h"
#include "archive/audio_stretch_bytes.h"

namespace {

#ifdef QUARB_ERROR_SUMS_X86

using Writer = void (*)(const AudioChannelLog*, uint32_t, const uint32_t*, uint32_t*, uint8_t*);

struct NamedWriter {
  std::string name;
  Writer write;
};

// The writers this processor can run (the rounds that use them run only
// where it has AVX2).
std::vector<NamedWriter> Writers() {
  std::vector<NamedWriter> writers;
  if (ErrorSumsPathAvailable(ErrorSumsPath::kAvx2)) {
    writers.push_back({"avx2", error_sums_x86::Avx2WriteStretchBytes});
  }
  return writers;
}

constexpr uint8_t kUntouched = 0xA5;

// Fills the logs with random deltas (all 32 of each, whatever the stretch's
// length, as a log holds its earlier stretches), writes a stretch of
// `counts` with `write`, and checks it against the bytes made one at a time.
void ExpectStretch(const NamedWriter& writer, uint32_t channels, const uint32_t* counts, std::mt19937& rng) {
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
  writer.write(logs, channels, counts, prev, out);
  const std::string where = writer.name + ", " + std::to_string(channels) + " channel(s), " +
                            std::to_string(counts[0]) + "+" + std::to_string(channels == 2 ? counts[1] : 0);
  ASSERT_EQ(std::memcmp(out, expected, sizeof out), 0) << where;
  for (uint32_t c = 0; c < channels; ++c) EXPECT_EQ(prev[c], expected_prev[c]) << where << ", channel " << c;
}

TEST(AudioStretchBytes, EveryLengthOnOneAndTwoChannelsAndACutRound) {
  if (Writers().empty()) GTEST_SKIP() << "the processor lacks AVX2";
  std::mt19937 rng(20261208);
  for (const NamedWriter& writer : Writers()) {
    for (int repeat = 0; repeat < 8; ++repeat) {
      for (uint32_t n = 0; n <= kLogBytes; ++n) {
        const uint32_t one[1] = {n};
        ExpectStretch(writer, 1, one, rng);
        const uint32_t two[2] = {n, n};
        ExpectStretch(writer, 2, two, rng);
        // A symbol 256 on channel 1 ends the stretch with channel 0 ahead.
        if (n < kLogBytes) {
          const uint32_t cut[2] = {n + 1, n};
          ExpectStretch(writer, 2, cut, rng);
        }
      }
    }
  }
}

TEST(AudioStretchBytes, RunningSumsWrapAroundAtEveryByte) {
  if (Writers().empty()) GTEST_SKIP() << "the processor lacks AVX2";
  // The largest steps each way, so that the sums wrap on every byte and a
  // carry between the halves of a vector would show.
  for (const NamedWriter& writer : Writers()) {
    for (int16_t step : {int16_t{127}, int16_t{-128}}) {
      AudioChannelLog logs[2];
      for (AudioChannelLog& log : logs) {
        for (int16_t& d : log.deltas) d = step;
      }
      const uint32_t counts[2] = {kLogBytes, kLogBytes};
      uint32_t prev[2] = {255, 0};
      uint8_t out[2 * kLogBytes];
      writer.write(logs, 2, counts, prev, out);
      for (uint32_t i = 0; i < kLogBytes; ++i) {
        for (uint32_t c = 0; c < 2; ++c) {
          const uint32_t start = c == 0 ? 255 : 0;
          ASSERT_EQ(out[2 * i + c], static_cast<uint8_t>(start + (i + 1) * static_cast<uint32_t>(step)))
              << writer.name << ", step " << step << ", byte " << i << " of channel " << c;
        }
      }
    }
  }
}

#endif  // QUARB_ERROR_SUMS_X86

}  // namespace
