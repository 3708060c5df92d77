#include "platform/playback/bass_double.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

namespace {

class BassDoubleTest : public ::testing::Test {
 protected:
  void SetUp() override { BassDoubleReset(); }
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
  EXPECT_EQ(calls[1].bytes_crc, 0xCBF43926u);  // the standard check value of CRC-32
  EXPECT_EQ(calls[1].result, music);
  EXPECT_EQ(calls[2].handle, music);

  BassDoubleClearCalls();
  EXPECT_TRUE(BassDoubleCalls().empty());
  EXPECT_EQ(BassDoubleCallNames(), "");
}

TEST_F(BassDoubleTest, ModelsWhatWouldBeHeard) {
  const std::vector<uint8_t> song = Bytes("song");
  EXPECT_FALSE(BASS_Start()) << "nothing works before BASS_Init";
  EXPECT_EQ(BASS_MusicLoad(TRUE, song.data(), 0, 4, 0x816), 0u);

  ASSERT_TRUE(BASS_Init(-1, 44100, 0x20, nullptr));
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
  EXPECT_FALSE(BassDoubleState().initialised);
  EXPECT_TRUE(BassDoubleState().loaded.empty());
  EXPECT_FALSE(BASS_Free());
}

TEST_F(BassDoubleTest, QueuedResultsAnswerTheNextCallsInTurn) {
  BassDoubleQueueResult(BassFunction::Init, 0);
  EXPECT_FALSE(BASS_Init(-1, 44100, 0x20, nullptr));
  EXPECT_FALSE(BassDoubleState().initialised);
  EXPECT_TRUE(BASS_Init(-1, 44100, 0x20, nullptr)) << "a queued result is used once";

  const std::vector<uint8_t> song = Bytes("song");
  BassDoubleQueueResult(BassFunction::MusicLoad, 0);
  BassDoubleQueueResult(BassFunction::MusicLoad, 77);
  EXPECT_EQ(BASS_MusicLoad(TRUE, song.data(), 0, 4, 0x816), 0u);
  EXPECT_EQ(BASS_MusicLoad(TRUE, song.data(), 0, 4, 0x816), 77u);
  EXPECT_EQ(BassDoubleState().loaded, std::vector<HMUSIC>{77});

  BassDoubleQueueResult(BassFunction::MusicPlay, 0);
  EXPECT_FALSE(BASS_MusicPlay(77));
  EXPECT_EQ(BassDoubleState().current, 0u) << "a failed play changes nothing";
  EXPECT_TRUE(BASS_MusicPlay(77));
  EXPECT_EQ(BassDoubleState().current, 77u);
  EXPECT_EQ(BassDoubleCalls()[4].result, 0u);

  BassDoubleReset();
  EXPECT_TRUE(BassDoubleCalls().empty());
  EXPECT_FALSE(BassDoubleState().initialised);
}

}  // namespace
