// Long LZ streams, written symbol by symbol at random, through ExtractFile
// against a plain model of the window and the match history: every kind of
// main symbol, codes longer than the first look-up's bits in all three
// tables, matches of every length and distance (overlapping ones, ones that
// reach before the file's start or a whole window back), new tables on the
// way, and files longer than the window; through each path the processor
// allows (decoder_steps.h).
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "archive/decoder_steps.h"
#include "tests/archive/extract_helpers.h"
#include "tests/archive/step_paths.h"
#include "tests/archive/stream_writer.h"

namespace {

using namespace testing_helpers;

// Codes from 5 to 15 bits in all three tables: some literals, match symbols
// and slots short, the rest long, some of them exactly as long as the main
// look-up's bits (11) or the others' (10).
Lengths MixedLzLengths(uint32_t variant) {
  Lengths l(374, 0);
  for (uint32_t s = 0; s < 256; ++s) {
    l[s] = static_cast<uint8_t>(s % 16 == variant % 16 ? 6 : 9 + (s + variant) % 7);
  }
  for (uint32_t s = 256; s < 298; ++s) {
    l[s] = static_cast<uint8_t>((s + variant) % 5 == 0 ? 11 + s % 5 : 6 + s % 4);
  }
  for (uint32_t d = 0; d < 48; ++d) l[298 + d] = static_cast<uint8_t>(d < 36 ? 7 + d % 3 : 10 + d % 6);
  for (uint32_t r = 0; r < 28; ++r) l[346 + r] = static_cast<uint8_t>(r < 20 ? 6 + r % 2 : 10 + r % 6);
  return l;
}

// The match history as the decoder keeps it.
struct History {
  uint32_t ring[4] = {};
  uint32_t next = 0;
  uint32_t prev_length = 0;
  uint32_t prev_distance = 0;
  void Push(uint32_t d) { ring[next++ & 3] = d; }
};

void Copy(Expected& e, History& h, uint32_t distance, uint32_t length, bool remember = true) {
  h.Push(distance);
  if (remember) {
    h.prev_distance = distance;
    h.prev_length = length;
  }
  e.Copy(distance, length);
}

// Writes `steps` random symbols of every kind and keeps their bytes.
void RandomSymbols(StreamWriter& s, Expected& e, History& h, uint32_t steps, std::mt19937& rng) {
  for (uint32_t i = 0; i < steps; ++i) {
    uint32_t kind = rng() % 20;
    if (kind < 8) {
      uint8_t b = static_cast<uint8_t>(rng() % 4 == 0 ? rng() : 'a' + rng() % 4);
      s.Literal(b);
      e.Byte(b);
    } else if (kind < 13) {
      // Near (often shorter than the length), far and whole-window
      // distances; coded lengths up to 258.
      uint32_t pick = rng() % 10;
      uint32_t distance = pick < 5   ? 1 + rng() % 40
                          : pick < 9 ? 1 + rng() % 300000
                                     : (1u << 20) - rng() % 80;
      uint32_t coded = rng() % 4 == 0 ? 3 + rng() % 256 : 3 + rng() % 30;
      s.Match(coded, distance);
      Copy(e, h, distance, coded + (distance >= 0x2000) + (distance >= 0x40000));
    } else if (kind < 15) {
      uint32_t k = rng() % 8;
      uint32_t extra = rng() % (1u << rar::kShortDistanceExtraBits[k]);
      s.Short(k, extra);
      Copy(e, h, rar::kShortDistanceBase[k] + 1 + extra, 2);
    } else if (kind < 18) {
      uint32_t which = rng() % 4;
      uint32_t slot = rng() % 28;
      uint32_t extra = rng() % (1u << rar::kLengthExtraBits[slot]);
      s.Recent(which, slot, extra);
      uint32_t distance = h.ring[(h.next - 1 - which) & 3];
      uint32_t length = rar::kLengthBase[slot] + 2 + extra + (distance >= 0x101) +
                        (distance >= 0x2000) + (distance >= 0x40000);
      Copy(e, h, distance, length);
    } else {
      s.Main(256);
      Copy(e, h, h.prev_distance, h.prev_length, false);
    }
  }
}

std::optional<Bytes> ExtractOnly(const StreamWriter& s, const Bytes& content) {
  return Extract(ArchiveOf({Compressed("f", s.Packed(), content)}), "f");
}

// Each test runs on each path of the loops.
using LzSteps = OnEachStepPath;

TEST_P(LzSteps, RandomSymbolsOfEveryKindWithLongAndShortCodes) {
  for (uint32_t seed = 1; seed <= 4; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    StreamWriter s;
    Expected e;
    History h;
    s.LzTables(MixedLzLengths(seed));
    // The first symbols come before any match: 256 repeats nothing, 257-260
    // take distance 0.
    RandomSymbols(s, e, h, 20000, rng);
    ASSERT_EQ(ExtractOnly(s, e.bytes), e.bytes);
  }
}

TEST_P(LzSteps, NewTablesOnTheWay) {
  std::mt19937 rng(11);
  StreamWriter s;
  Expected e;
  History h;
  s.LzTables(MixedLzLengths(0));
  for (uint32_t block = 1; block <= 30; ++block) {
    RandomSymbols(s, e, h, rng() % 700, rng);
    s.Main(269);
    s.LzTables(block % 3 == 0 ? FlatLzLengths() : MixedLzLengths(block), block % 2 == 0);
  }
  RandomSymbols(s, e, h, 500, rng);
  ASSERT_EQ(ExtractOnly(s, e.bytes), e.bytes);
}

TEST_P(LzSteps, FilesLongerThanTheWindow) {
  std::mt19937 rng(5);
  StreamWriter s;
  Expected e;
  History h;
  s.LzTables(MixedLzLengths(3));
  while (e.bytes.size() < (5u << 20) / 2) RandomSymbols(s, e, h, 1000, rng);
  ASSERT_EQ(ExtractOnly(s, e.bytes), e.bytes);
}

INSTANTIATE_TEST_SUITE_P(Paths, LzSteps, kEveryStepPath, StepPathName);

TEST(LzStepPaths, ThePortableOneIsAlwaysThereAndAMissingOneFallsBackToIt) {
  const StepPath saved = CurrentStepPath();
  EXPECT_TRUE(StepPathAvailable(StepPath::kPortable));
  UseStepPath(StepPath::kPortable);
  EXPECT_EQ(CurrentStepPath(), StepPath::kPortable);
  UseStepPath(StepPath::kX86V3);
  EXPECT_EQ(CurrentStepPath(), StepPathAvailable(StepPath::kX86V3) ? StepPath::kX86V3 : StepPath::kPortable);
  UseStepPath(saved);
}

}  // namespace
