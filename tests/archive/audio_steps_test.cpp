// Whole audio streams through ExtractFile, long enough for the predictors
// to adapt many times, against the plain predictor, on each build of the
// loops: every channel count, codes short enough to pair and long ones,
// table blocks that cut in at any channel or at any byte of a period, LZ
// stretches, the input refill, the window's wrap and a solid stream.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "archive/archive_format.h"
#include "archive/audio_predictor.h"
#include "archive/bit_input.h"
#include "tests/archive/extract_helpers.h"
#include "tests/archive/step_paths.h"
#include "tests/archive/stream_writer.h"

namespace {

using namespace testing_helpers;

// Writes audio symbols with a code per channel and keeps the bytes that the
// plain predictor makes of them.
class AudioStream {
 public:
  StreamWriter s;
  Expected e;

  // A table block of `channels` channels; channel c's code is Code(variant + c).
  void Tables(uint32_t channels, uint32_t variant) {
    Lengths all;
    codes_.clear();
    for (uint32_t c = 0; c < channels; ++c) {
      Lengths one = Code(variant + c);
      all.insert(all.end(), one.begin(), one.end());
      codes_.emplace_back(one);
      symbols_[c] = Symbols(one);
    }
    WriteTableBlock(s.bits, true, channels, all);
    channels_ = channels;
    if (channel_ >= channels) channel_ = 0;
  }
  void Byte(uint32_t symbol) {
    codes_[channel_].Write(s.bits, symbol);
    e.Byte(DecodeAudioByte(predictors_.channels[channel_], predictors_.cross_delta, symbol));
    channel_ = (channel_ + 1) % channels_;
  }
  // `n` bytes of symbols drawn from the current channel's code, the short
  // codes most often.
  void Bytes(size_t n, std::mt19937& rng) {
    for (size_t i = 0; i < n; ++i) {
      const std::vector<uint32_t>& pool = symbols_[channel_];
      uint32_t pick = rng() % 100;
      size_t index = pick < 85 ? rng() % 12 : pick < 97 ? rng() % 40 : rng() % pool.size();
      Byte(pool[index]);
    }
  }
  void NewTables() { codes_[channel_].Write(s.bits, 256); }

  // Codes of four to 15 bits over 0-255 and 256, no two alike: a dozen short
  // codes, the rest of nine bits and more, 256 of six bits.
  static Lengths Code(uint32_t variant) {
    Lengths l(257, 0);
    for (uint32_t k = 0; k < 12; ++k) l[(k * 37 + variant * 11) % 256] = static_cast<uint8_t>(4 + (k + variant) % 2);
    for (uint32_t k = 0; k < 256; ++k) {
      uint32_t s = (k * 97 + variant * 5) % 256;
      if (l[s] == 0) l[s] = static_cast<uint8_t>(k < 100 ? 9 + k % 2 : 12 + k % 4);
    }
    l[256] = 6;
    return l;
  }

 private:
  // The symbols with a code, short codes first.
  static std::vector<uint32_t> Symbols(const Lengths& l) {
    std::vector<uint32_t> out;
    for (uint8_t len = 1; len < 16; ++len) {
      for (uint32_t s = 0; s < 256; ++s) {
        if (l[s] == len) out.push_back(s);
      }
    }
    return out;
  }

  AudioState predictors_{};
  std::vector<CanonicalCode> codes_;
  std::vector<uint32_t> symbols_[4];
  uint32_t channels_ = 1;
  uint32_t channel_ = 0;
};

std::optional<Bytes> ExtractOnly(const AudioStream& a) {
  return Extract(ArchiveOf({Compressed("f", a.s.Packed(), a.e.bytes)}), "f");
}

using AudioSteps = OnEachStepPath;

TEST_P(AudioSteps, ManyBytesOnOneToFourChannels) {
  for (uint32_t channels = 1; channels <= 4; ++channels) {
    SCOPED_TRACE("channels " + std::to_string(channels));
    std::mt19937 rng(channels);
    AudioStream a;
    a.s.LzTables();
    a.s.Main(269);
    a.Tables(channels, channels);
    a.Bytes(5 * kInputBufferSize, rng);  // several refills of the input
    ASSERT_EQ(ExtractOnly(a), a.e.bytes);
  }
}

TEST_P(AudioSteps, TableBlocksCutInAtAnyChannelAndLzStretchesBetween) {
  std::mt19937 rng(77);
  AudioStream a;
  a.Tables(2, 0);
  for (int block = 0; block < 120; ++block) {
    a.Bytes(rng() % 90, rng);
    a.NewTables();
    if (block % 9 == 4) {
      // Through LZ mode and back: the predictors wait.
      a.s.LzTables();
      a.s.Literals("lz");
      a.e.Text("lz");
      a.s.Main(269);
    }
    a.Tables(1 + rng() % 4, block);
  }
  a.Bytes(100, rng);
  ASSERT_EQ(ExtractOnly(a), a.e.bytes);
}

TEST_P(AudioSteps, FilesLongerThanTheWindowWrapAndFlush) {
  for (uint32_t channels : {1u, 3u}) {
    SCOPED_TRACE("channels " + std::to_string(channels));
    std::mt19937 rng(channels + 100);
    AudioStream a;
    a.Tables(channels, 5);
    a.Bytes((1u << 20) + 70001, rng);
    ASSERT_EQ(ExtractOnly(a), a.e.bytes);
  }
}

TEST_P(AudioSteps, ASolidStreamCarriesThePredictorsAcrossFiles) {
  std::mt19937 rng(9);
  AudioStream a;
  a.Tables(3, 2);
  a.Bytes(1001, rng);  // ends inside a period of every channel
  Bytes one = a.e.bytes;
  Bytes first = a.s.Packed();
  a.s.bits = BitWriter();
  a.Bytes(2000, rng);
  Bytes two(a.e.bytes.begin() + one.size(), a.e.bytes.end());
  Bytes image = ArchiveOf({Compressed("one", first, one),
                           Compressed("two", a.s.Packed(), two, rar::kFileSolidContinuation)},
                          rar::kMainSolid);
  EXPECT_EQ(Extract(image, "two"), two);
}

// One channel goes two bytes a look-up: new tables after every count of
// bytes from 0 to 70, so that the stop falls on each byte of a period, on
// either byte of a pair, and with codes that pair and codes that do not.
TEST_P(AudioSteps, OneChannelStopsAtEveryByteOfAPeriod) {
  std::mt19937 rng(31);
  AudioStream a;
  a.Tables(1, 0);
  for (uint32_t n = 0; n <= 70; ++n) {
    a.Bytes(n, rng);
    a.NewTables();
    a.Tables(1, n % 3);
  }
  a.Bytes(33, rng);
  ASSERT_EQ(ExtractOnly(a), a.e.bytes);
}

INSTANTIATE_TEST_SUITE_P(Paths, AudioSteps, kEveryStepPath, StepPathName);

}  // namespace
