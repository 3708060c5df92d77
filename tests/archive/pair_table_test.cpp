// Two codes with one look-up: the pair table against two decodes through
// the bounds, on every 16-bit input.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "archive/huffman.h"

namespace {

using Lengths = std::vector<uint8_t>;

// Sixteen 4-bit codes: most pairs fit.
Lengths ShortCodes() {
  Lengths l(257, 0);
  for (uint32_t s = 0; s < 16; ++s) l[s] = 4;
  return l;
}

// Audio-like: a few short codes, the rest long, symbol 256 among the
// shortest (it must never pair), and a complete code reaching 15 bits.
Lengths AudioLike() {
  Lengths l(257, 0);
  l[0] = 2;
  l[256] = 3;
  l[1] = 3;
  l[255] = 4;
  for (uint32_t s = 2; s < 200; ++s) l[s] = static_cast<uint8_t>(9 + s % 7);
  return l;
}

// LZ-like: the main alphabet, every fifth symbol short.
Lengths MainLike() {
  Lengths l(298, 0);
  for (uint32_t s = 0; s < 298; ++s) l[s] = static_cast<uint8_t>(s % 5 == 0 ? 5 : 10);
  return l;
}

// Checks every input against two decodes through the bounds: the entry is
// the pair where both codes lie within the pair bits and both symbols are
// below `below`; with `singles`, where only the first code lies within the
// first kAudioFastBits bits and its symbol is below `below`, that symbol and its
// length alone; 0 everywhere else. Returns the inputs that found a pair.
uint32_t ExpectEntriesOfTwoDecodes(const Lengths& first_lengths, const Lengths& second_lengths,
                                   uint32_t below, bool singles) {
  HuffmanTable first{}, second{};
  BuildHuffmanTable(first_lengths.data(), first, static_cast<uint32_t>(first_lengths.size()), kAudioFastBits);
  BuildHuffmanTable(second_lengths.data(), second, static_cast<uint32_t>(second_lengths.size()),
                    kAudioFastBits);
  std::vector<uint32_t> pairs(1u << kPairBits);
  auto make_pair = [](uint32_t s0, uint32_t s1, uint32_t length) { return (s1 << 24) | (s0 << 16) | length; };
  auto make_single = [](uint32_t s0, uint32_t length) { return 0x8000u | (s0 << 16) | length; };
  if (singles)
    BuildPairEntries(first, second, below, pairs.data(), make_pair, make_single);
  else
    BuildPairEntries(first, second, below, pairs.data(), make_pair);
  uint32_t taken = 0;
  for (uint32_t v = 0; v < 0x10000; ++v) {
    // The 16 bits, then bits that differ from input to input.
    uint32_t input = (v << 16) | ((v * 40503u) & 0xFFFF);
    uint32_t l0, l1;
    uint32_t s0 = DecodeSymbolSlow(first, input >> 16, l0);
    uint32_t s1 = DecodeSymbolSlow(second, (input << l0) >> 16, l1);
    uint32_t expected = 0;
    if (s0 < below && s1 < below && l0 + l1 <= kPairBits) {
      expected = make_pair(s0, s1, l0 + l1);
      ++taken;
    } else if (singles && s0 < below && l0 <= kAudioFastBits) {
      expected = make_single(s0, l0);
    }
    const uint32_t entry = pairs[v >> (16 - kPairBits)];
    EXPECT_EQ(entry, expected) << "input " << v;
    if (entry != expected) return taken;
  }
  return taken;
}

uint32_t ExpectPairsOfTwoDecodes(const Lengths& first, const Lengths& second, uint32_t below) {
  return ExpectEntriesOfTwoDecodes(first, second, below, false);
}

void ExpectPairsOrSinglesOfDecodes(const Lengths& first, const Lengths& second, uint32_t below) {
  ExpectEntriesOfTwoDecodes(first, second, below, true);
}

TEST(PairTable, SingleEntriesWhereOnlyTheFirstCodeFits) {
  std::mt19937 rng(3301);
  const Lengths short_codes = ShortCodes();
  const Lengths audio = AudioLike();
  ExpectPairsOrSinglesOfDecodes(audio, audio, 256);
  ExpectPairsOrSinglesOfDecodes(audio, short_codes, 256);
  ExpectPairsOrSinglesOfDecodes(short_codes, audio, 256);
  ExpectPairsOrSinglesOfDecodes(Lengths(298, 9), Lengths(298, 9), 256);  // singles everywhere
  ExpectPairsOrSinglesOfDecodes(MainLike(), MainLike(), 100);
  for (int round = 0; round < 6; ++round) {
    SCOPED_TRACE("random " + std::to_string(round));
    Lengths a(257), b(257);
    for (uint8_t& l : a) l = static_cast<uint8_t>(rng() % 3 == 0 ? 0 : 1 + rng() % 12);
    for (uint8_t& l : b) l = static_cast<uint8_t>(rng() % 3 == 0 ? 0 : 1 + rng() % 12);
    ExpectPairsOrSinglesOfDecodes(a, b, 256);
  }
}

TEST(PairTable, AgreesWithTwoDecodesOnEveryInput) {
  std::mt19937 rng(1207);
  const Lengths short_codes = ShortCodes();
  EXPECT_EQ(ExpectPairsOfTwoDecodes(short_codes, short_codes, 256), 0x10000u);
  const Lengths audio = AudioLike();
  ExpectPairsOfTwoDecodes(audio, short_codes, 256);
  ExpectPairsOfTwoDecodes(short_codes, audio, 256);
  // LZ literals: the main table with itself, matches (256 and above) never
  // paired; a bound below 256 leaves out more.
  const Lengths main = MainLike();
  ExpectPairsOfTwoDecodes(main, main, 256);
  ExpectPairsOfTwoDecodes(main, main, 100);
  // Ten bits and one: the longest first code that still pairs.
  Lengths ten(298, 10), one(257, 0);
  ten[0] = 1;
  one[5] = 1;
  EXPECT_GT(ExpectPairsOfTwoDecodes(ten, one, 256), 0x4000u);  // more than 1 + 1 bits
  // Nine bits each: no two fit.
  EXPECT_EQ(ExpectPairsOfTwoDecodes(Lengths(298, 9), Lengths(298, 9), 256), 0u);
  // Random, incomplete and over-subscribed codes, and an empty one.
  for (int round = 0; round < 6; ++round) {
    SCOPED_TRACE("random " + std::to_string(round));
    Lengths a(257), b(257);
    for (uint8_t& l : a) l = static_cast<uint8_t>(rng() % 3 == 0 ? 0 : 1 + rng() % 8);
    for (uint8_t& l : b) l = static_cast<uint8_t>(rng() % 2 == 0 ? 0 : 2 + rng() % 14);
    ExpectPairsOfTwoDecodes(a, b, 256);
  }
  ExpectPairsOfTwoDecodes(short_codes, Lengths(257, 0), 256);
}

}  // namespace
