#include "tests/playback/reference_audio.h"

#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cmath>

Samples Reference(const std::vector<uint8_t>& module, bool loop, uint64_t frames, int chunk, int rate) {
  openmpt_module* m = openmpt_module_create_from_memory2(module.data(), module.size(), nullptr, nullptr,
                                                         nullptr, nullptr, nullptr, nullptr, nullptr);
  EXPECT_NE(m, nullptr);
  if (m == nullptr) return {};
  openmpt_module_set_repeat_count(m, loop ? -1 : 0);
  Samples out(frames * 2);
  uint64_t done = 0;
  while (done < frames) {
    size_t want = static_cast<size_t>(std::min<uint64_t>(chunk, frames - done));
    size_t got = openmpt_module_read_interleaved_float_stereo(m, rate, want, &out[done * 2]);
    if (got == 0) break;
    done += got;
  }
  openmpt_module_destroy(m);
  out.resize(done * 2);
  return out;
}

void ExpectSameFrames(const Samples& output, uint64_t at, const Samples& expected, uint64_t from, uint64_t count) {
  ASSERT_LE((at + count) * 2, output.size()) << "output too short";
  ASSERT_LE((from + count) * 2, expected.size()) << "reference too short";
  for (uint64_t i = 0; i < count * 2; ++i)
    ASSERT_EQ(output[at * 2 + i], expected[from * 2 + i]) << "first difference at output frame " << at + i / 2;
}

void ExpectSilent(const Samples& output, uint64_t at, uint64_t count) {
  ASSERT_LE((at + count) * 2, output.size()) << "output too short";
  for (uint64_t i = at * 2; i < (at + count) * 2; ++i) ASSERT_EQ(output[i], 0.0f) << "sound at output frame " << i / 2;
}

float Peak(const Samples& output, uint64_t at, uint64_t count) {
  float peak = 0;
  for (uint64_t i = at * 2; i < (at + count) * 2 && i < output.size(); ++i) peak = std::max(peak, std::fabs(output[i]));
  return peak;
}
