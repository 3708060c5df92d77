#include "platform/playback/bass_double.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "platform/playback/recording_output.h"

namespace {

class BassDoubleTest : public ::testing::Test {
 protected:
  void SetUp() override { BassDoubleReset(); }
  void TearDown() override { BassDoubleReset(); }
};

std::vector<uint8_t> Bytes(const char* text) { return std::vector<uint8_t>(text, text + std::strlen(text)); }

TEST_F(BassDoubleTest, RecordsEveryCallWithItsArgumentsInOrder) {
  ASSERT_TRUE(BASS_Init(-1, 44100, 0x20, nullptr));
  auto song = std::make_unique<std::vector<uint8_t>>(Bytes("123456789"));
  const HMUSIC music = BASS_MusicLoad(TRUE, song->data(), 0, static_cast<DWORD>(song->size()), 0x816);
  song.reset();  // the record keeps its own copy
  BASS_MusicPlay(music);
  BASS_Stop();
  BASS_Free();

  EXPECT_EQ(BassDoubleCallNames(), "BASS_Init BASS_MusicLoad BASS_MusicPlay BASS_Stop BASS_Free");
  const std::vector<BassCall>& calls = BassDoubleCalls();
  ASSERT_EQ(calls.size(), 5u);
  EXPECT_EQ(calls[0].device, -1);
  EXPECT_EQ(calls[0].freq, 44100u);
  EXPECT_EQ(calls[0].flags, 0x20u);
  EXPECT_EQ(calls[0].result, 1u);
  EXPECT_EQ(calls[1].mem, TRUE);
  EXPECT_EQ(calls[1].length, 9u);
  EXPECT_EQ(calls[1].flags, 0x816u);
  EXPECT_EQ(calls[1].bytes, Bytes("123456789"));
  EXPECT_EQ(calls[1].result, music);
  EXPECT_EQ(calls[2].handle, music);

  BassDoubleClearCalls();
  EXPECT_TRUE(BassDoubleCalls().empty());
  EXPECT_EQ(BassDoubleCallNames(), "");
}

// The answers are the layer's own: these are its rules, seen through the
// double, over the recording output and with any bytes taken for a song.
TEST_F(BassDoubleTest, AnswersAsTheLayerDoes) {
  const std::vector<uint8_t> song = Bytes("song");
  EXPECT_FALSE(BASS_Start()) << "nothing works before BASS_Init";
  EXPECT_EQ(BASS_MusicLoad(TRUE, song.data(), 0, 4, 0x816), 0u);
  EXPECT_FALSE(BASS_Init(0, 44100, 0, nullptr)) << "device 0 is no device";
  EXPECT_FALSE(BASS_Init(-1, 1000, 0, nullptr)) << "a rate libopenmpt cannot render";

  ASSERT_TRUE(BASS_Init(-1, 44100, 0x20, nullptr));
  EXPECT_TRUE(RecordingOutputIsOpen());
  EXPECT_FALSE(BASS_Init(-1, 44100, 0x20, nullptr)) << "already initialised";
  EXPECT_TRUE(BassDoubleState().running);
  EXPECT_EQ(BASS_MusicLoad(TRUE, song.data(), 0, 0, 0x816), 0u) << "a memory load needs its length";

  const HMUSIC first = BASS_MusicLoad(TRUE, song.data(), 0, 4, 0x816);
  const HMUSIC second = BASS_MusicLoad(TRUE, song.data(), 0, 4, 0x816);
  ASSERT_NE(first, 0u);
  ASSERT_NE(first, second);
  EXPECT_TRUE(BASS_MusicPlay(first));
  EXPECT_TRUE(BASS_Pause());
  EXPECT_FALSE(BassDoubleState().running);
  EXPECT_EQ(BassDoubleState().current, first);
  EXPECT_TRUE(BASS_Start());
  EXPECT_TRUE(BassDoubleState().running);

  EXPECT_FALSE(BASS_MusicFree(0));
  EXPECT_TRUE(BASS_MusicFree(first));
  EXPECT_EQ(BassDoubleState().current, 0u);
  EXPECT_FALSE(BASS_MusicPlay(first)) << "a freed handle is unknown";
  EXPECT_EQ(BassDoubleState().loaded, std::vector<HMUSIC>{second});

  EXPECT_TRUE(BASS_Free());
  EXPECT_FALSE(RecordingOutputIsOpen());
  EXPECT_FALSE(BassDoubleState().initialised);
  EXPECT_TRUE(BassDoubleState().loaded.empty());
  EXPECT_FALSE(BASS_Free());
}

TEST_F(BassDoubleTest, QueuedFailuresAnswerTheNextCallsInTurn) {
  BassDoubleFailNext(BassFunction::Init);
  EXPECT_FALSE(BASS_Init(-1, 44100, 0x20, nullptr));
  EXPECT_FALSE(BassDoubleState().initialised) << "a queued failure does not reach the layer";
  EXPECT_TRUE(BASS_Init(-1, 44100, 0x20, nullptr)) << "a queued failure is used once";

  const std::vector<uint8_t> song = Bytes("song");
  BassDoubleFailNext(BassFunction::MusicLoad);
  BassDoubleFailNext(BassFunction::MusicLoad);
  EXPECT_EQ(BASS_MusicLoad(TRUE, song.data(), 0, 4, 0x816), 0u);
  EXPECT_EQ(BASS_MusicLoad(TRUE, song.data(), 0, 4, 0x816), 0u);
  EXPECT_TRUE(BassDoubleState().loaded.empty());
  const HMUSIC music = BASS_MusicLoad(TRUE, song.data(), 0, 4, 0x816);
  ASSERT_NE(music, 0u);

  BassDoubleFailNext(BassFunction::MusicPlay);
  EXPECT_FALSE(BASS_MusicPlay(music));
  EXPECT_EQ(BassDoubleState().current, 0u) << "a failed play changes nothing";
  EXPECT_TRUE(BASS_MusicPlay(music));
  EXPECT_EQ(BassDoubleState().current, music);
  EXPECT_EQ(BassDoubleCalls()[5].result, 0u);

  BassDoubleFailNext(BassFunction::Stop);
  BassDoubleReset();
  EXPECT_TRUE(BassDoubleCalls().empty());
  EXPECT_FALSE(BassDoubleState().initialised);
  ASSERT_TRUE(BASS_Init(-1, 44100, 0x20, nullptr));
  EXPECT_TRUE(BASS_Stop()) << "a reset drops the queued failures";
}

}  // namespace
