// The playback layer's rules over the recording output: the test runs the
// mixer itself, buffer by buffer, so every frame of the output stream is known
// exactly. The recording starts with the mixer's first frame, so an output
// frame is a mixer frame (PlaybackFramesMixed) without any alignment. These
// run wherever the layer builds (under Wine too); playback_test.cpp checks
// the same rules, and the options, through a real SDL device.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/playback/bass.h"
#include "platform/playback/outputs.h"
#include "platform/playback/playback_probe.h"
#include "platform/playback/recording_output.h"
#include "tests/playback/mod_writer.h"
#include "tests/playback/reference_audio.h"

namespace fs = std::filesystem;

namespace {

constexpr DWORD kPlayerOptions = 0x816;

uint64_t MusicFrames(HMUSIC handle) {
  uint64_t frames = 0;
  EXPECT_TRUE(PlaybackMusicFrames(handle, &frames));
  return frames;
}

void SetVariable(const char* name, const char* value) {
#ifdef _WIN32
  _putenv_s(name, value);  // "" removes it
#else
  if (*value == '\0')
    unsetenv(name);
  else
    setenv(name, value, 1);
#endif
}

class RecordedPlaybackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseRecordingOutput();
    RecordingOutputRefuseOpen(false);
    module_ = WriteMod(SquareWaveSong());
  }

  void TearDown() override {
    BASS_Free();
    RecordingOutputRefuseOpen(false);
    UseDefaultOutput();
  }

  void Init(DWORD rate = 44100) {
    ASSERT_TRUE(BASS_Init(-1, rate, 0x20, nullptr));
    ASSERT_TRUE(RecordingOutputIsOpen());
    ASSERT_EQ(PlaybackOutputRate(), static_cast<int>(rate));
    buffer_ = PlaybackBufferFrames();
    ASSERT_EQ(buffer_, 1024);
  }

  HMUSIC Load(const std::vector<uint8_t>& module, DWORD options = kPlayerOptions) {
    HMUSIC music = BASS_MusicLoad(TRUE, module.data(), 0, static_cast<DWORD>(module.size()), options);
    EXPECT_NE(music, 0u);
    return music;
  }

  // Runs the mixer for `buffers` whole buffers; returns the output frame
  // reached.
  uint64_t Pump(int buffers) {
    const size_t frames = static_cast<size_t>(buffers) * static_cast<size_t>(buffer_);
    EXPECT_EQ(RecordingOutputPump(frames), frames);
    EXPECT_EQ(RecordingOutputSamples().size(), 2 * PlaybackFramesMixed());
    return PlaybackFramesMixed();
  }

  static const Samples& Output() { return RecordingOutputSamples(); }

  Samples SongReference(uint64_t frames, bool loop = true) const { return Reference(module_, loop, frames, buffer_); }

  int buffer_ = 0;
  std::vector<uint8_t> module_;  // the square-wave song, about 7.7 s
};

TEST_F(RecordedPlaybackTest, ASongIsHeardFromTheNextFrameExactlyAsLibopenmptRendersIt) {
  Init();
  const uint64_t start = Pump(3);
  EXPECT_EQ(start, 3u * buffer_);
  auto caller = std::make_unique<std::vector<uint8_t>>(module_);
  const HMUSIC music = Load(*caller);
  std::fill(caller->begin(), caller->end(), 0xAA);  // the layer keeps its own copy
  caller.reset();
  ASSERT_TRUE(BASS_MusicPlay(music));
  EXPECT_EQ(MusicFrames(music), 0u);

  const uint64_t end = Pump(43);
  EXPECT_EQ(MusicFrames(music), end - start);
  ExpectSilent(Output(), 0, start);
  ExpectSameFrames(Output(), start, SongReference(end - start), 0, end - start);
  EXPECT_GT(Peak(Output(), start, end - start), 0.1f);
}

TEST_F(RecordedPlaybackTest, TheMixerRendersAtTheRateTheOutputRuns) {
  Init(22050);
  const HMUSIC music = Load(module_);
  ASSERT_TRUE(BASS_MusicPlay(music));
  const uint64_t end = Pump(20);
  ExpectSameFrames(Output(), 0, Reference(module_, true, end, buffer_, 22050), 0, end);
}

// BASS_Pause and BASS_Stop both halt the song where it is, the output running
// on in silence; BASS_Start goes on from exactly that frame.
struct Halt {
  const char* name;
  BOOL (*call)();
};
void PrintTo(const Halt& halt, std::ostream* out) { *out << halt.name; }

class RecordedHaltTest : public RecordedPlaybackTest, public ::testing::WithParamInterface<Halt> {};

TEST_P(RecordedHaltTest, HaltHoldsTheSongAndStartContinuesIt) {
  Init();
  const HMUSIC music = Load(module_);
  ASSERT_TRUE(BASS_MusicPlay(music));
  const uint64_t halted = Pump(10);
  ASSERT_TRUE(GetParam().call());
  ASSERT_TRUE(GetParam().call()) << "halting twice is harmless";
  const uint64_t started = Pump(5);
  EXPECT_EQ(MusicFrames(music), halted) << "the song moved on while the output was halted";
  ASSERT_TRUE(BASS_Start());
  ASSERT_TRUE(BASS_Start()) << "starting twice is harmless";
  const uint64_t end = Pump(10);

  const Samples reference = SongReference(end - (started - halted));
  ExpectSameFrames(Output(), 0, reference, 0, halted);
  ExpectSilent(Output(), halted, started - halted);
  ExpectSameFrames(Output(), started, reference, halted, end - started);
}

TEST_P(RecordedHaltTest, AMusicChosenWhileHaltedWaitsForStart) {
  Init();
  ASSERT_TRUE(GetParam().call());
  const HMUSIC music = Load(module_);
  ASSERT_TRUE(BASS_MusicPlay(music));
  const uint64_t started = Pump(4);
  EXPECT_EQ(MusicFrames(music), 0u);
  ASSERT_TRUE(BASS_Start());
  const uint64_t end = Pump(4);
  ExpectSilent(Output(), 0, started);
  ExpectSameFrames(Output(), started, SongReference(end - started), 0, end - started);
}

INSTANTIATE_TEST_SUITE_P(PauseAndStop, RecordedHaltTest,
                         ::testing::Values(Halt{"Pause", &BASS_Pause}, Halt{"Stop", &BASS_Stop}),
                         [](const ::testing::TestParamInfo<Halt>& info) { return info.param.name; });

TEST_F(RecordedPlaybackTest, PlayRestartsAHeardMusicAndSwitchingLeavesTheOtherWhereItWas) {
  Init();
  const HMUSIC first = Load(module_);
  const HMUSIC second = Load(module_);
  ASSERT_TRUE(BASS_MusicPlay(first));
  ASSERT_TRUE(BASS_MusicPlay(first)) << "not heard yet: stays at its start";
  const uint64_t switched = Pump(8);
  ASSERT_TRUE(BASS_MusicPlay(second));
  EXPECT_EQ(MusicFrames(first), switched) << "the first music stays loaded where it stopped";
  const uint64_t replayed = Pump(4);
  EXPECT_EQ(MusicFrames(first), switched);
  ASSERT_TRUE(BASS_MusicPlay(first));
  EXPECT_EQ(MusicFrames(first), 0u);
  const uint64_t end = Pump(6);

  const Samples reference = SongReference(switched);
  ExpectSameFrames(Output(), 0, reference, 0, switched);
  ExpectSameFrames(Output(), switched, reference, 0, replayed - switched);
  ExpectSameFrames(Output(), replayed, reference, 0, end - replayed);
}

TEST_F(RecordedPlaybackTest, FreeingSilencesThePlayingMusicAtOnceAndLeavesTheOthers) {
  Init();
  const HMUSIC playing = Load(module_);
  const HMUSIC other = Load(module_);
  ASSERT_TRUE(BASS_MusicPlay(playing));
  const uint64_t other_freed = Pump(4);
  ASSERT_TRUE(BASS_MusicFree(other));
  const uint64_t freed = Pump(4);
  ASSERT_TRUE(BASS_MusicFree(playing));
  const uint64_t end = Pump(4);

  ExpectSameFrames(Output(), 0, SongReference(freed), 0, freed);
  EXPECT_GT(Peak(Output(), other_freed, freed - other_freed), 0.1f);
  ExpectSilent(Output(), freed, end - freed);
  uint64_t unused;
  EXPECT_FALSE(PlaybackMusicFrames(playing, &unused));
  EXPECT_FALSE(BASS_MusicPlay(playing));
  EXPECT_FALSE(BASS_MusicFree(playing));
  EXPECT_FALSE(BASS_MusicFree(other));
}

TEST_F(RecordedPlaybackTest, InitOpensOnlyTheDevicesThereAreAndFailsCleanlyWithoutOne) {
  EXPECT_FALSE(BASS_Init(0, 44100, 0, nullptr));
  EXPECT_FALSE(BASS_Init(-2, 44100, 0, nullptr));
  EXPECT_FALSE(BASS_Init(2, 44100, 0, nullptr)) << "the recording output has one device";
  EXPECT_FALSE(RecordingOutputIsOpen());
  ASSERT_TRUE(BASS_Init(1, 44100, 0, nullptr));
  ASSERT_TRUE(BASS_Free());

  RecordingOutputRefuseOpen(true);
  EXPECT_FALSE(BASS_Init(-1, 44100, 0x20, nullptr));
  EXPECT_FALSE(RecordingOutputIsOpen());
  EXPECT_EQ(PlaybackOutputRate(), 0);
  EXPECT_FALSE(BASS_Start());
  EXPECT_EQ(BASS_MusicLoad(TRUE, module_.data(), 0, static_cast<DWORD>(module_.size()), kPlayerOptions), 0u);
  EXPECT_FALSE(BASS_Free());
  RecordingOutputRefuseOpen(false);
  Init();
  EXPECT_FALSE(BASS_Init(-1, 44100, 0x20, nullptr)) << "already initialised";
  EXPECT_EQ(Pump(2), 2u * buffer_) << "the open output is left as it was";
}

TEST_F(RecordedPlaybackTest, FreeClosesTheOutputAndHandlesAreNeverReusedAcrossSessions) {
  Init();
  const HMUSIC a = Load(module_);
  const HMUSIC b = Load(module_);
  EXPECT_EQ(b, a + 1);
  ASSERT_TRUE(BASS_MusicFree(a));
  const HMUSIC c = Load(module_);
  EXPECT_EQ(c, b + 1) << "a freed handle is not handed out again";
  ASSERT_TRUE(BASS_MusicPlay(c));
  const uint64_t mixed = Pump(3);

  ASSERT_TRUE(BASS_Free());
  EXPECT_FALSE(RecordingOutputIsOpen());
  EXPECT_EQ(RecordingOutputPump(1024), 0u) << "the mixer runs no more";
  EXPECT_EQ(PlaybackFramesMixed(), mixed) << "the final count of the session";
  EXPECT_EQ(Output().size(), 2 * mixed) << "the recording outlives the output";

  Init();
  EXPECT_TRUE(Output().empty());
  EXPECT_EQ(PlaybackFramesMixed(), 0u);
  for (HMUSIC old : {a, b, c}) {
    EXPECT_FALSE(BASS_MusicPlay(old));
    EXPECT_FALSE(BASS_MusicFree(old));
  }
  const HMUSIC d = Load(module_);
  EXPECT_GT(d, c);
}

TEST_F(RecordedPlaybackTest, CallsUnderTheProbeLockTakeEffectAtOneFrameAndFreeFailsUnderIt) {
  Init();
  const HMUSIC music = Load(module_);
  const uint64_t played = Pump(2);
  {
    PlaybackOutputLock still;
    ASSERT_TRUE(BASS_MusicPlay(music));
    EXPECT_EQ(PlaybackFramesMixed(), played);
    // The lock is the output's, taken again by the mixer on this thread.
    EXPECT_EQ(Pump(2), played + 2u * buffer_);
    EXPECT_FALSE(BASS_Free()) << "would wait forever for a mixer held still";
    EXPECT_TRUE(RecordingOutputIsOpen());
  }
  const uint64_t end = Pump(2);
  EXPECT_EQ(MusicFrames(music), end - played);
  ExpectSameFrames(Output(), played, SongReference(end - played), 0, end - played);
  EXPECT_TRUE(BASS_Free());
}

// The trace of bench/measure-player: its events in order, and the mixer's
// "first" and "sound" for the buffer that holds the song's start.
TEST_F(RecordedPlaybackTest, TheTraceNotesInitPlayFirstFramesAndSound) {
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  const fs::path trace = fs::temp_directory_path() / ("quarb-trace-" + std::to_string(stamp) + ".txt");
  fs::remove(trace);
  SetVariable("QUARB_AUDIO_TRACE", trace.string().c_str());
  Init();
  SetVariable("QUARB_AUDIO_TRACE", "");
  Pump(2);
  const HMUSIC music = Load(module_);
  ASSERT_TRUE(BASS_MusicPlay(music));
  Pump(2);
  ASSERT_TRUE(BASS_Free());

  std::ifstream in(trace);
  std::vector<std::string> events;
  uint64_t last_time = 0;
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    std::string event;
    uint64_t time = 0, handle = 0;
    fields >> event >> time;
    EXPECT_GE(time, last_time) << line;
    last_time = time;
    if (fields >> handle) {
      EXPECT_EQ(handle, music) << line;
      event += " handle";
    }
    events.push_back(event);
  }
  in.close();
  fs::remove(trace);
  EXPECT_EQ(events, (std::vector<std::string>{"init", "play handle", "first handle", "sound"}));
}

}  // namespace
