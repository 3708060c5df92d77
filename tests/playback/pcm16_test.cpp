// The float to 16-bit PCM conversion of the waveOut output.
#include "platform/playback/pcm16.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <limits>
#include <vector>

namespace {

TEST(Pcm16Test, EverySixteenBitValueComesBackFromItsFloat) {
  for (int value = -32767; value <= 32767; ++value) {
    const float sample = static_cast<float>(value / 32767.0);
    ASSERT_EQ(Pcm16FromFloat(sample), value) << sample;
  }
}

TEST(Pcm16Test, RoundsToTheNearestValueWithHalvesAwayFromZero) {
  EXPECT_EQ(Pcm16FromFloat(0.5f), 16384);  // 16383.5
  EXPECT_EQ(Pcm16FromFloat(-0.5f), -16384);
  for (int value : {0, 1, 2, 100, 20000, 32765}) {
    // The float nearest the point half way to the next value, and its
    // neighbours. The exact product with 32767 decides (a double holds it
    // exactly); summing in float pushes some just below the point over it.
    const float nearest = static_cast<float>((value + 0.5) / 32767.0);
    for (float sample : {std::nextafter(nearest, 0.0f), nearest, std::nextafter(nearest, 1.0f)}) {
      const int expected = static_cast<double>(sample) * 32767.0 < value + 0.5 ? value : value + 1;
      EXPECT_EQ(Pcm16FromFloat(sample), expected) << value;
      EXPECT_EQ(Pcm16FromFloat(-sample), -expected) << value;
    }
  }
}

TEST(Pcm16Test, ClampsWhatLiesBeyondFullScaleAndSilencesNaN) {
  const float inf = std::numeric_limits<float>::infinity();
  const std::vector<float> in = {1.0f, 1.0001f, 3.5f, inf, -1.0f, -1.0001f, -3.5f, -inf,
                                 std::numeric_limits<float>::quiet_NaN(), 0.0f, -0.0f};
  const std::vector<int16_t> expected = {32767, 32767, 32767, 32767, -32767, -32767, -32767, -32767, 0, 0, 0};
  std::vector<int16_t> out(in.size(), 1234);
  ConvertToPcm16(in.data(), out.data(), in.size());
  EXPECT_EQ(out, expected);
}

}  // namespace
