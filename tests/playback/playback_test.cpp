// The playback layer against SDL's disk audio driver: everything the device is
// fed lands in a file, which is compared with libopenmpt rendering the same
// module on its own. Positions are taken from the layer's frame counters
// under the device lock, never from a clock.
#include "platform/playback/bass.h"

#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "platform/playback/playback_probe.h"
#include "tests/playback/mod_writer.h"

namespace fs = std::filesystem;

namespace {

constexpr DWORD kPlayerOptions = 0x816;
constexpr DWORD kOnceOptions = kPlayerOptions & ~BASS_MUSIC_LOOP;

// Polls until `done` holds. The deadline only keeps a stalled output from
// hanging the run; nothing is measured against it.
bool WaitFor(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

uint64_t MusicFrames(HMUSIC handle) {
  uint64_t frames = 0;
  EXPECT_TRUE(PlaybackMusicFrames(handle, &frames));
  return frames;
}

// libopenmpt alone: the song from its start, in the same buffer sizes the
// output asks for. Stops early at the end of a song that does not loop.
std::vector<float> Reference(const std::vector<uint8_t>& module, bool loop, uint64_t frames, int rate,
                             int chunk) {
  openmpt_module* m = openmpt_module_create_from_memory2(module.data(), module.size(), nullptr, nullptr,
                                                         nullptr, nullptr, nullptr, nullptr, nullptr);
  EXPECT_NE(m, nullptr);
  if (m == nullptr) return {};
  openmpt_module_set_repeat_count(m, loop ? -1 : 0);
  std::vector<float> out(frames * 2);
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

class PlaybackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("quarb-playback-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    output_ = dir_ / "out.raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", output_.c_str(), 1);
    // A few milliseconds per buffer instead of real time keeps the tests short.
    setenv("SDL_DISKAUDIODELAY", "4", 1);
  }

  void TearDown() override {
    BASS_Free();
    fs::remove_all(dir_);
  }

  void Init() {
    ASSERT_TRUE(BASS_Init(-1, 44100, 0x20, nullptr));
    rate_ = PlaybackOutputRate();
    buffer_ = PlaybackBufferFrames();
    ASSERT_EQ(rate_, 44100);
    ASSERT_GT(buffer_, 0);
  }

  // Everything the mixer produced, as interleaved stereo floats, numbered
  // from its first frame. Complete once BASS_Free has closed the device.
  //
  // SDL may write some silence to the device before the mixer starts, so the
  // file is aligned on the first sound: `anchor` is the mixer frame at which
  // a music sounding like `reference` began, the first sound of the run.
  std::vector<float> Output(uint64_t anchor, const std::vector<float>& reference) {
    std::ifstream in(output_, std::ios::binary);
    std::vector<char> raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<float> samples(raw.size() / sizeof(float));
    std::memcpy(samples.data(), raw.data(), samples.size() * sizeof(float));

    auto first_sound = [](const std::vector<float>& v) {
      return static_cast<uint64_t>(std::find_if(v.begin(), v.end(), [](float x) { return x != 0; }) - v.begin()) / 2;
    };
    const uint64_t heard_at = first_sound(samples);
    const uint64_t expected_at = anchor + first_sound(reference);
    EXPECT_GE(heard_at, expected_at) << "sound before the music started";
    if (heard_at < expected_at) return {};
    const uint64_t lead = heard_at - expected_at;
    EXPECT_EQ(lead % buffer_, 0u) << "the file is not aligned on whole buffers";
    samples.erase(samples.begin(), samples.begin() + 2 * lead);
    return samples;
  }

  fs::path dir_;
  fs::path output_;
  int rate_ = 0;
  int buffer_ = 0;
};

// Frames [at, at + count) of the output equal frames [from, from + count) of `expected`.
void ExpectSameFrames(const std::vector<float>& output, uint64_t at, const std::vector<float>& expected,
                      uint64_t from, uint64_t count) {
  ASSERT_LE((at + count) * 2, output.size()) << "output too short";
  ASSERT_LE((from + count) * 2, expected.size()) << "reference too short";
  for (uint64_t i = 0; i < count * 2; ++i)
    ASSERT_EQ(output[at * 2 + i], expected[from * 2 + i]) << "first difference at output frame " << at + i / 2;
}

void ExpectSilent(const std::vector<float>& output, uint64_t at, uint64_t count) {
  ASSERT_LE((at + count) * 2, output.size()) << "output too short";
  for (uint64_t i = at * 2; i < (at + count) * 2; ++i)
    ASSERT_EQ(output[i], 0.0f) << "sound at output frame " << i / 2;
}

float Peak(const std::vector<float>& output, uint64_t at, uint64_t count) {
  float peak = 0;
  for (uint64_t i = at * 2; i < (at + count) * 2 && i < output.size(); ++i) peak = std::max(peak, std::fabs(output[i]));
  return peak;
}

TEST_F(PlaybackTest, PlaysAModuleFromMemoryAfterTheCallerFreedIt) {
  Init();
  const std::vector<uint8_t> module = WriteMod(SquareWaveSong());
  auto caller = std::make_unique<std::vector<uint8_t>>(module);
  const HMUSIC music = BASS_MusicLoad(TRUE, caller->data(), 0, static_cast<DWORD>(caller->size()), kPlayerOptions);
  ASSERT_NE(music, 0u);
  std::fill(caller->begin(), caller->end(), 0xAA);
  caller.reset();

  uint64_t start, end, heard;
  {
    PlaybackOutputLock still;
    ASSERT_TRUE(BASS_MusicPlay(music));
    start = PlaybackFramesMixed();
  }
  ASSERT_TRUE(WaitFor([&] { return MusicFrames(music) >= static_cast<uint64_t>(rate_); }));
  {
    PlaybackOutputLock still;
    end = PlaybackFramesMixed();
    heard = MusicFrames(music);
  }
  ASSERT_TRUE(WaitFor([&] { return PlaybackFramesMixed() >= end + 2 * buffer_; }));
  ASSERT_TRUE(BASS_Free());

  const std::vector<float> reference = Reference(module, true, heard, rate_, buffer_);
  const std::vector<float> output = Output(start, reference);
  EXPECT_EQ(end - start, heard);
  EXPECT_GT(Peak(output, start, heard), 0.1f);
  ExpectSameFrames(output, start, reference, 0, heard);
}

// BASS_Pause and BASS_Stop both halt the song where it is; BASS_Start goes on
// from exactly that frame.
struct Halt {
  const char* name;
  BOOL (*call)();
};

void PrintTo(const Halt& halt, std::ostream* out) { *out << halt.name; }

class HaltTest : public PlaybackTest, public ::testing::WithParamInterface<Halt> {};

TEST_P(HaltTest, HaltHoldsTheSongAndStartContinuesIt) {
  BOOL (*halt)() = GetParam().call;
  Init();
  const std::vector<uint8_t> module = WriteMod(SquareWaveSong());
  const HMUSIC music = BASS_MusicLoad(TRUE, module.data(), 0, static_cast<DWORD>(module.size()), kPlayerOptions);
  ASSERT_NE(music, 0u);
  const uint64_t stretch = rate_ / 2;

  uint64_t played, halted, restarted, last, song_at_halt, song_at_last;
  {
    PlaybackOutputLock still;
    ASSERT_TRUE(BASS_MusicPlay(music));
    played = PlaybackFramesMixed();
  }
  ASSERT_TRUE(WaitFor([&] { return MusicFrames(music) >= stretch; }));
  {
    PlaybackOutputLock still;
    ASSERT_TRUE(halt());
    halted = PlaybackFramesMixed();
    song_at_halt = MusicFrames(music);
  }
  ASSERT_TRUE(WaitFor([&] { return PlaybackFramesMixed() >= halted + stretch; }));
  EXPECT_EQ(MusicFrames(music), song_at_halt) << "the song moved on while the output was halted";
  {
    PlaybackOutputLock still;
    ASSERT_TRUE(BASS_Start());
    restarted = PlaybackFramesMixed();
  }
  ASSERT_TRUE(WaitFor([&] { return MusicFrames(music) >= song_at_halt + stretch; }));
  {
    PlaybackOutputLock still;
    ASSERT_TRUE(BASS_Pause());
    last = PlaybackFramesMixed();
    song_at_last = MusicFrames(music);
  }
  ASSERT_TRUE(WaitFor([&] { return PlaybackFramesMixed() >= last + 2 * buffer_; }));
  ASSERT_TRUE(BASS_Free());

  const std::vector<float> reference = Reference(module, true, song_at_last, rate_, buffer_);
  const std::vector<float> output = Output(played, reference);
  EXPECT_EQ(halted - played, song_at_halt);
  EXPECT_EQ(last - restarted, song_at_last - song_at_halt);
  ExpectSameFrames(output, played, reference, 0, song_at_halt);
  ExpectSilent(output, halted, restarted - halted);
  ExpectSameFrames(output, restarted, reference, song_at_halt, song_at_last - song_at_halt);
}

INSTANTIATE_TEST_SUITE_P(PauseAndStop, HaltTest,
                         ::testing::Values(Halt{"Pause", &BASS_Pause}, Halt{"Stop", &BASS_Stop}),
                         [](const ::testing::TestParamInfo<Halt>& info) { return info.param.name; });

TEST_F(PlaybackTest, FreeingThePlayingMusicSilencesItAtOnce) {
  Init();
  const std::vector<uint8_t> module = WriteMod(SquareWaveSong());
  const HMUSIC music = BASS_MusicLoad(TRUE, module.data(), 0, static_cast<DWORD>(module.size()), kPlayerOptions);
  ASSERT_NE(music, 0u);
  uint64_t played, freed;
  {
    PlaybackOutputLock still;
    ASSERT_TRUE(BASS_MusicPlay(music));
    played = PlaybackFramesMixed();
  }
  ASSERT_TRUE(WaitFor([&] { return MusicFrames(music) >= static_cast<uint64_t>(rate_ / 4); }));
  {
    PlaybackOutputLock still;
    ASSERT_TRUE(BASS_MusicFree(music));
    freed = PlaybackFramesMixed();
  }
  ASSERT_TRUE(WaitFor([&] { return PlaybackFramesMixed() >= freed + rate_ / 4; }));

  // The handle is gone; the output goes on without it.
  uint64_t unused;
  EXPECT_FALSE(PlaybackMusicFrames(music, &unused));
  EXPECT_FALSE(BASS_MusicPlay(music));
  EXPECT_FALSE(BASS_MusicFree(music));
  EXPECT_TRUE(BASS_Start());
  ASSERT_TRUE(BASS_Free());

  const std::vector<float> output = Output(played, Reference(module, true, freed - played, rate_, buffer_));
  EXPECT_GT(Peak(output, played, freed - played), 0.1f);
  ExpectSilent(output, freed, rate_ / 4);
}

TEST_F(PlaybackTest, LoopingRepeatsTheSongAndPlayingOnceEndsInSilence) {
  Init();
  const std::vector<uint8_t> module = WriteMod(ShortSong());
  const uint64_t length = Reference(module, false, 10 * rate_, rate_, buffer_).size() / 2;
  ASSERT_GT(length, 0u);
  ASSERT_LT(length, static_cast<uint64_t>(rate_)) << "the short song is meant to be short";

  const HMUSIC once = BASS_MusicLoad(TRUE, module.data(), 0, static_cast<DWORD>(module.size()), kOnceOptions);
  const HMUSIC looping = BASS_MusicLoad(TRUE, module.data(), 0, static_cast<DWORD>(module.size()), kPlayerOptions);
  ASSERT_NE(once, 0u);
  ASSERT_NE(looping, 0u);
  ASSERT_NE(once, looping);

  uint64_t once_at, looping_at, again_at, end;
  {
    PlaybackOutputLock still;
    ASSERT_TRUE(BASS_MusicPlay(once));
    once_at = PlaybackFramesMixed();
  }
  ASSERT_TRUE(WaitFor([&] { return PlaybackFramesMixed() >= once_at + length + 4 * buffer_; }));
  EXPECT_EQ(MusicFrames(once), length);

  // Switching to another music leaves the first one loaded.
  uint64_t looped;
  {
    PlaybackOutputLock still;
    ASSERT_TRUE(BASS_MusicPlay(looping));
    looping_at = PlaybackFramesMixed();
  }
  ASSERT_TRUE(WaitFor([&] { return MusicFrames(looping) > 3 * length; }));
  {
    PlaybackOutputLock still;
    looped = MusicFrames(looping);
    // A music that has ended plays again from its start.
    ASSERT_TRUE(BASS_MusicPlay(once));
    again_at = PlaybackFramesMixed();
  }
  ASSERT_TRUE(WaitFor([&] { return PlaybackFramesMixed() >= again_at + length + 2 * buffer_; }));
  end = PlaybackFramesMixed();
  ASSERT_TRUE(BASS_Free());

  const std::vector<float> single = Reference(module, false, length, rate_, buffer_);
  const std::vector<float> output = Output(once_at, single);
  ExpectSameFrames(output, once_at, single, 0, length);
  ExpectSilent(output, once_at + length, looping_at - once_at - length);
  EXPECT_EQ(again_at - looping_at, looped);
  ExpectSameFrames(output, looping_at, Reference(module, true, looped, rate_, buffer_), 0, looped);
  ExpectSameFrames(output, again_at, single, 0, length);
  ASSERT_LT(again_at + length, end);
}

TEST_F(PlaybackTest, PlayingTheCurrentMusicAgainRestartsIt) {
  Init();
  const std::vector<uint8_t> module = WriteMod(SquareWaveSong());
  const HMUSIC music = BASS_MusicLoad(TRUE, module.data(), 0, static_cast<DWORD>(module.size()), kPlayerOptions);
  ASSERT_NE(music, 0u);
  uint64_t played, replayed, heard;
  {
    PlaybackOutputLock still;
    ASSERT_TRUE(BASS_MusicPlay(music));
    played = PlaybackFramesMixed();
  }
  ASSERT_TRUE(WaitFor([&] { return MusicFrames(music) >= static_cast<uint64_t>(rate_ / 2); }));
  {
    PlaybackOutputLock still;
    ASSERT_TRUE(BASS_MusicPlay(music));
    replayed = PlaybackFramesMixed();
    EXPECT_EQ(MusicFrames(music), 0u);
  }
  ASSERT_TRUE(WaitFor([&] { return MusicFrames(music) >= static_cast<uint64_t>(rate_ / 2); }));
  {
    PlaybackOutputLock still;
    ASSERT_TRUE(BASS_Pause());
    heard = MusicFrames(music);
  }
  ASSERT_TRUE(WaitFor([&] { return PlaybackFramesMixed() >= replayed + heard + 2 * buffer_; }));
  ASSERT_TRUE(BASS_Free());
  const std::vector<float> reference = Reference(module, true, heard, rate_, buffer_);
  ExpectSameFrames(Output(played, reference), replayed, reference, 0, heard);
}

TEST_F(PlaybackTest, WithoutTheStereoOptionBothChannelsCarryTheSameMix) {
  Init();
  const std::vector<uint8_t> module = WriteMod(SquareWaveSong());
  struct Run {
    DWORD options;
    uint64_t start = 0, end = 0;
  } runs[] = {{kPlayerOptions}, {kPlayerOptions & ~BASS_MUSIC_STEREO}};
  for (Run& run : runs) {
    const HMUSIC music = BASS_MusicLoad(TRUE, module.data(), 0, static_cast<DWORD>(module.size()), run.options);
    ASSERT_NE(music, 0u);
    {
      PlaybackOutputLock still;
      ASSERT_TRUE(BASS_MusicPlay(music));
      run.start = PlaybackFramesMixed();
    }
    ASSERT_TRUE(WaitFor([&] { return MusicFrames(music) >= static_cast<uint64_t>(rate_ / 4); }));
    {
      PlaybackOutputLock still;
      ASSERT_TRUE(BASS_MusicFree(music));
      run.end = PlaybackFramesMixed();
    }
  }
  ASSERT_TRUE(WaitFor([&] { return PlaybackFramesMixed() >= runs[1].end + 2 * buffer_; }));
  ASSERT_TRUE(BASS_Free());

  // The song pans its four channels hard left and right, so the stereo mix
  // differs between the sides; the mono mix never does.
  const std::vector<float> output =
      Output(runs[0].start, Reference(module, true, runs[0].end - runs[0].start, rate_, buffer_));
  auto differing = [&](const Run& run) {
    size_t count = 0;
    for (uint64_t f = run.start; f < run.end && 2 * f + 1 < output.size(); ++f)
      count += output[2 * f] != output[2 * f + 1];
    return count;
  };
  EXPECT_GT(differing(runs[0]), static_cast<size_t>(rate_ / 8));
  EXPECT_GT(Peak(output, runs[1].start, runs[1].end - runs[1].start), 0.1f);
  EXPECT_EQ(differing(runs[1]), 0u);
}

TEST_F(PlaybackTest, DataThatIsNotAModuleLoadsAsZero) {
  Init();
  const std::string text(4096, 'x');
  EXPECT_EQ(BASS_MusicLoad(TRUE, text.data(), 0, static_cast<DWORD>(text.size()), kPlayerOptions), 0u);

  std::mt19937 random(1234);
  std::vector<uint8_t> noise(20000);
  for (uint8_t& b : noise) b = static_cast<uint8_t>(random());
  EXPECT_EQ(BASS_MusicLoad(TRUE, noise.data(), 0, static_cast<DWORD>(noise.size()), kPlayerOptions), 0u);

  // Without a length the extent of the bytes is unknown: nothing is read.
  const std::vector<uint8_t> module = WriteMod(SquareWaveSong());
  EXPECT_EQ(BASS_MusicLoad(TRUE, module.data(), 0, 0, kPlayerOptions), 0u);
  EXPECT_EQ(BASS_MusicLoad(TRUE, nullptr, 0, 100, kPlayerOptions), 0u);
  // Only the header of a module is not a module.
  EXPECT_EQ(BASS_MusicLoad(TRUE, module.data(), 0, 600, kPlayerOptions), 0u);

  EXPECT_NE(BASS_MusicLoad(TRUE, module.data(), 0, static_cast<DWORD>(module.size()), kPlayerOptions), 0u);
}

TEST_F(PlaybackTest, LoadsFromAFileRange) {
  Init();
  const std::vector<uint8_t> module = WriteMod(SquareWaveSong());
  const fs::path path = dir_ / "song.bin";
  {
    std::ofstream out(path, std::ios::binary);
    out << std::string(100, 'j');
    out.write(reinterpret_cast<const char*>(module.data()), static_cast<std::streamsize>(module.size()));
  }
  EXPECT_NE(BASS_MusicLoad(FALSE, path.c_str(), 100, 0, kPlayerOptions), 0u);
  EXPECT_NE(BASS_MusicLoad(FALSE, path.c_str(), 100, static_cast<DWORD>(module.size()), kPlayerOptions), 0u);
  EXPECT_EQ(BASS_MusicLoad(FALSE, path.c_str(), 100, static_cast<DWORD>(module.size() + 1), kPlayerOptions), 0u);
  EXPECT_EQ(BASS_MusicLoad(FALSE, path.c_str(), 100 + module.size(), 0, kPlayerOptions), 0u);
  EXPECT_EQ(BASS_MusicLoad(FALSE, (dir_ / "missing.mod").c_str(), 0, 0, kPlayerOptions), 0u);
}

TEST_F(PlaybackTest, InitFailsCleanlyWhenNoDeviceOpens) {
  setenv("SDL_AUDIODRIVER", "quarb-no-such-driver", 1);
  EXPECT_FALSE(BASS_Init(-1, 44100, 0x20, nullptr));
  EXPECT_FALSE(BASS_Start());
  EXPECT_EQ(BASS_MusicLoad(TRUE, "x", 0, 1, kPlayerOptions), 0u);
  EXPECT_FALSE(BASS_Free());

  // Nothing is left half-open: a working driver initialises afterwards.
  setenv("SDL_AUDIODRIVER", "disk", 1);
  EXPECT_TRUE(BASS_Init(-1, 44100, 0x20, nullptr));
}

TEST_F(PlaybackTest, CallsOutsideAnInitialisedOutputFail) {
  const std::vector<uint8_t> module = WriteMod(ShortSong());
  const DWORD size = static_cast<DWORD>(module.size());
  EXPECT_FALSE(BASS_Start());
  EXPECT_FALSE(BASS_Stop());
  EXPECT_FALSE(BASS_Pause());
  EXPECT_EQ(BASS_MusicLoad(TRUE, module.data(), 0, size, kPlayerOptions), 0u);
  EXPECT_FALSE(BASS_MusicPlay(1));
  EXPECT_FALSE(BASS_MusicFree(1));
  EXPECT_FALSE(BASS_Free());

  EXPECT_FALSE(BASS_Init(-1, 0, 0, nullptr));
  EXPECT_FALSE(BASS_Init(-1, 1000000, 0, nullptr));
  EXPECT_FALSE(BASS_Init(0, 44100, 0, nullptr));
  EXPECT_FALSE(BASS_Init(1000, 44100, 0, nullptr));
  Init();
  EXPECT_FALSE(BASS_Init(-1, 44100, 0x20, nullptr)) << "already initialised";

  const HMUSIC music = BASS_MusicLoad(TRUE, module.data(), 0, size, kPlayerOptions);
  ASSERT_NE(music, 0u);
  EXPECT_FALSE(BASS_MusicFree(0));
  EXPECT_FALSE(BASS_MusicPlay(0));
  EXPECT_FALSE(BASS_MusicPlay(music + 1));
  EXPECT_TRUE(BASS_MusicPlay(music));
  EXPECT_TRUE(BASS_Pause());
  EXPECT_TRUE(BASS_Pause());
  EXPECT_TRUE(BASS_Start());
  EXPECT_TRUE(BASS_Start());
  EXPECT_TRUE(BASS_Stop());

  // BASS_Free releases the music with everything else.
  EXPECT_TRUE(BASS_Free());
  EXPECT_FALSE(BASS_MusicPlay(music));
  EXPECT_FALSE(BASS_MusicFree(music));
  EXPECT_FALSE(BASS_Free());

  // A second life starts clean.
  Init();
  EXPECT_FALSE(BASS_MusicPlay(music));
  EXPECT_NE(BASS_MusicLoad(TRUE, module.data(), 0, size, kPlayerOptions), 0u);
}

}  // namespace
