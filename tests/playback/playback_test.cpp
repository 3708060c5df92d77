// The playback layer against SDL's disk audio driver: everything the device is
// fed lands in a file, which is compared with libopenmpt rendering the same
// module on its own. Positions are taken from the layer's frame counters
// with the mixer held still, never from a clock.
#include "platform/playback/bass.h"

#include <gtest/gtest.h>

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

#include "platform/playback/outputs.h"
#include "platform/playback/playback_probe.h"
#include "tests/playback/mod_writer.h"
#include "tests/playback/reference_audio.h"

namespace fs = std::filesystem;

namespace {

constexpr DWORD kPlayerOptions = 0x816;
constexpr DWORD kOnceOptions = kPlayerOptions & ~BASS_MUSIC_LOOP;

uint64_t MusicFrames(HMUSIC handle) {
  uint64_t frames = 0;
  EXPECT_TRUE(PlaybackMusicFrames(handle, &frames));
  return frames;
}

class PlaybackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("quarb-playback-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    output_ = dir_ / "out.raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", output_.c_str(), 1);
    // A few milliseconds per buffer instead of real time keeps the tests short.
    setenv("SDL_DISKAUDIODELAY", "4", 1);
    UseSdlOutput();
    module_ = WriteMod(SquareWaveSong());
  }

  void TearDown() override {
    BASS_Free();
    fs::remove_all(dir_);
  }

  void Init() {
    ASSERT_TRUE(BASS_Init(-1, 44100, 0x20, nullptr));
    ASSERT_EQ(PlaybackOutputRate(), 44100);
    buffer_ = PlaybackBufferFrames();
    ASSERT_GT(buffer_, 0);
  }

  HMUSIC Load(const std::vector<uint8_t>& module, DWORD options = kPlayerOptions) {
    HMUSIC music = BASS_MusicLoad(TRUE, module.data(), 0, static_cast<DWORD>(module.size()), options);
    EXPECT_NE(music, 0u);
    return music;
  }

  // Runs `call` with the mixer held still; returns the mixer frame at which it
  // took effect.
  static uint64_t At(const std::function<void()>& call) {
    PlaybackOutputLock still;
    call();
    return PlaybackFramesMixed();
  }

  // Polls until `done` holds. The deadline only keeps a stalled output from
  // hanging the run; nothing is measured against it.
  static void WaitUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done()) {
      ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the output stalled";
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  static void WaitForMusic(HMUSIC music, uint64_t frames) {
    WaitUntil([&] { return MusicFrames(music) >= frames; });
  }

  // Lets the mixer run a little past `frame`, so the file holds it, and
  // closes the output.
  void Close(uint64_t frame) {
    WaitUntil([&] { return PlaybackFramesMixed() >= frame + 2 * buffer_; });
    ASSERT_TRUE(BASS_Free());
  }

  // What the mixer produced, numbered from its first frame; read after Close.
  // SDL may write some silence to the device before the mixer starts, so the
  // file is aligned on the first sound: `anchor` is the mixer frame at which a
  // music sounding like `reference` began, the first sound of the run.
  Samples Output(uint64_t anchor, const Samples& reference) {
    std::ifstream in(output_, std::ios::binary);
    std::vector<char> raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Samples samples(raw.size() / sizeof(float));
    std::memcpy(samples.data(), raw.data(), samples.size() * sizeof(float));
    auto first_sound = [](const Samples& v) {
      return static_cast<uint64_t>(std::find_if(v.begin(), v.end(), [](float x) { return x != 0; }) - v.begin()) / 2;
    };
    const uint64_t heard_at = first_sound(samples);
    const uint64_t expected_at = anchor + first_sound(reference);
    EXPECT_GE(heard_at, expected_at) << "sound before the music started";
    if (heard_at < expected_at) return {};
    EXPECT_EQ((heard_at - expected_at) % buffer_, 0u) << "the file is not aligned on whole buffers";
    samples.erase(samples.begin(), samples.begin() + 2 * (heard_at - expected_at));
    return samples;
  }

  fs::path dir_;
  fs::path output_;
  int buffer_ = 0;
  std::vector<uint8_t> module_;  // the square-wave song, about 7.7 s
};

TEST_F(PlaybackTest, PlaysAModuleFromMemoryAfterTheCallerFreedIt) {
  Init();
  auto caller = std::make_unique<std::vector<uint8_t>>(module_);
  const HMUSIC music = Load(*caller);
  std::fill(caller->begin(), caller->end(), 0xAA);
  caller.reset();

  const uint64_t start = At([&] { ASSERT_TRUE(BASS_MusicPlay(music)); });
  WaitForMusic(music, 44100);
  uint64_t heard = 0;
  const uint64_t end = At([&] { heard = MusicFrames(music); });
  Close(end);

  const Samples reference = Reference(module_, true, heard, buffer_);
  const Samples output = Output(start, reference);
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
  Init();
  const HMUSIC music = Load(module_);
  const uint64_t stretch = 22050;
  uint64_t song_at_halt = 0, song_at_end = 0;

  const uint64_t played = At([&] { ASSERT_TRUE(BASS_MusicPlay(music)); });
  WaitForMusic(music, stretch);
  const uint64_t halted = At([&] {
    ASSERT_TRUE(GetParam().call());
    song_at_halt = MusicFrames(music);
  });
  WaitUntil([&] { return PlaybackFramesMixed() >= halted + stretch; });
  EXPECT_EQ(MusicFrames(music), song_at_halt) << "the song moved on while the output was halted";
  const uint64_t restarted = At([&] { ASSERT_TRUE(BASS_Start()); });
  WaitForMusic(music, song_at_halt + stretch);
  const uint64_t end = At([&] {
    ASSERT_TRUE(BASS_Pause());
    song_at_end = MusicFrames(music);
  });
  Close(end);

  const Samples reference = Reference(module_, true, song_at_end, buffer_);
  const Samples output = Output(played, reference);
  EXPECT_EQ(halted - played, song_at_halt);
  EXPECT_EQ(end - restarted, song_at_end - song_at_halt);
  ExpectSameFrames(output, played, reference, 0, song_at_halt);
  ExpectSilent(output, halted, restarted - halted);
  ExpectSameFrames(output, restarted, reference, song_at_halt, song_at_end - song_at_halt);
}

INSTANTIATE_TEST_SUITE_P(PauseAndStop, HaltTest,
                         ::testing::Values(Halt{"Pause", &BASS_Pause}, Halt{"Stop", &BASS_Stop}),
                         [](const ::testing::TestParamInfo<Halt>& info) { return info.param.name; });

TEST_F(PlaybackTest, FreeingThePlayingMusicSilencesItAtOnce) {
  Init();
  const HMUSIC music = Load(module_);
  const uint64_t played = At([&] { ASSERT_TRUE(BASS_MusicPlay(music)); });
  WaitForMusic(music, 11025);
  const uint64_t freed = At([&] { ASSERT_TRUE(BASS_MusicFree(music)); });

  // The handle is gone; the output goes on without it.
  uint64_t unused;
  EXPECT_FALSE(PlaybackMusicFrames(music, &unused));
  EXPECT_FALSE(BASS_MusicPlay(music));
  EXPECT_FALSE(BASS_MusicFree(music));
  EXPECT_TRUE(BASS_Start());
  Close(freed + 11025);

  const Samples output = Output(played, Reference(module_, true, freed - played, buffer_));
  EXPECT_GT(Peak(output, played, freed - played), 0.1f);
  ExpectSilent(output, freed, 11025);
}

TEST_F(PlaybackTest, LoopingRepeatsTheSongAndPlayingOnceEndsInSilence) {
  Init();
  const std::vector<uint8_t> module = WriteMod(ShortSong());
  const Samples single = Reference(module, false, 441000, buffer_);
  const uint64_t length = single.size() / 2;
  ASSERT_GT(length, 0u);
  ASSERT_LT(length, 44100u) << "the short song is meant to be short";
  const HMUSIC once = Load(module, kOnceOptions);
  const HMUSIC looping = Load(module, kPlayerOptions);
  ASSERT_NE(once, looping);

  const uint64_t once_at = At([&] { ASSERT_TRUE(BASS_MusicPlay(once)); });
  WaitUntil([&] { return PlaybackFramesMixed() >= once_at + length + 4 * buffer_; });
  EXPECT_EQ(MusicFrames(once), length);

  // Switching to another music leaves the first one loaded, and a music that
  // has ended plays again from its start.
  const uint64_t looping_at = At([&] { ASSERT_TRUE(BASS_MusicPlay(looping)); });
  WaitForMusic(looping, 3 * length + 1);
  uint64_t looped = 0;
  const uint64_t again_at = At([&] {
    looped = MusicFrames(looping);
    ASSERT_TRUE(BASS_MusicPlay(once));
  });
  Close(again_at + length);

  const Samples output = Output(once_at, single);
  ExpectSameFrames(output, once_at, single, 0, length);
  ExpectSilent(output, once_at + length, looping_at - once_at - length);
  EXPECT_EQ(again_at - looping_at, looped);
  ExpectSameFrames(output, looping_at, Reference(module, true, looped, buffer_), 0, looped);
  ExpectSameFrames(output, again_at, single, 0, length);
}

TEST_F(PlaybackTest, PlayingTheCurrentMusicAgainRestartsIt) {
  Init();
  const HMUSIC music = Load(module_);
  const uint64_t played = At([&] { ASSERT_TRUE(BASS_MusicPlay(music)); });
  WaitForMusic(music, 22050);
  const uint64_t replayed = At([&] {
    ASSERT_TRUE(BASS_MusicPlay(music));
    EXPECT_EQ(MusicFrames(music), 0u);
  });
  WaitForMusic(music, 22050);
  uint64_t heard = 0;
  const uint64_t end = At([&] {
    ASSERT_TRUE(BASS_Pause());
    heard = MusicFrames(music);
  });
  Close(end);
  const Samples reference = Reference(module_, true, heard, buffer_);
  ExpectSameFrames(Output(played, reference), replayed, reference, 0, heard);
}

TEST_F(PlaybackTest, WithoutTheStereoOptionBothChannelsCarryTheSameMix) {
  Init();
  uint64_t start[2], end[2];
  const DWORD options[2] = {kPlayerOptions, kPlayerOptions & ~BASS_MUSIC_STEREO};
  for (int run = 0; run < 2; ++run) {
    const HMUSIC music = Load(module_, options[run]);
    start[run] = At([&] { ASSERT_TRUE(BASS_MusicPlay(music)); });
    WaitForMusic(music, 11025);
    end[run] = At([&] { ASSERT_TRUE(BASS_MusicFree(music)); });
  }
  Close(end[1]);

  // The song pans its four channels hard left and right, so the stereo mix
  // differs between the sides; the mono mix never does.
  const Samples output = Output(start[0], Reference(module_, true, end[0] - start[0], buffer_));
  auto differing = [&](int run) {
    size_t count = 0;
    for (uint64_t f = start[run]; f < end[run] && 2 * f + 1 < output.size(); ++f)
      count += output[2 * f] != output[2 * f + 1];
    return count;
  };
  EXPECT_GT(differing(0), 5000u);
  EXPECT_GT(Peak(output, start[1], end[1] - start[1]), 0.1f);
  EXPECT_EQ(differing(1), 0u);
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
  EXPECT_EQ(BASS_MusicLoad(TRUE, module_.data(), 0, 0, kPlayerOptions), 0u);
  EXPECT_EQ(BASS_MusicLoad(TRUE, nullptr, 0, 100, kPlayerOptions), 0u);
  // The header of a module alone is no module.
  EXPECT_EQ(BASS_MusicLoad(TRUE, module_.data(), 0, 600, kPlayerOptions), 0u);
  EXPECT_NE(Load(module_), 0u);
}

TEST_F(PlaybackTest, LoadsFromAFileRange) {
  Init();
  const fs::path path = dir_ / "song.bin";
  {
    std::ofstream out(path, std::ios::binary);
    out << std::string(100, 'j');
    out.write(reinterpret_cast<const char*>(module_.data()), static_cast<std::streamsize>(module_.size()));
  }
  const DWORD size = static_cast<DWORD>(module_.size());
  EXPECT_NE(BASS_MusicLoad(FALSE, path.c_str(), 100, 0, kPlayerOptions), 0u);
  EXPECT_NE(BASS_MusicLoad(FALSE, path.c_str(), 100, size, kPlayerOptions), 0u);
  EXPECT_EQ(BASS_MusicLoad(FALSE, path.c_str(), 100, size + 1, kPlayerOptions), 0u);
  EXPECT_EQ(BASS_MusicLoad(FALSE, path.c_str(), 100 + size, 0, kPlayerOptions), 0u);
  EXPECT_EQ(BASS_MusicLoad(FALSE, (dir_ / "missing.mod").c_str(), 0, 0, kPlayerOptions), 0u);
}

TEST_F(PlaybackTest, InitFailsCleanlyWhenNoDeviceOpens) {
  setenv("SDL_AUDIODRIVER", "quarb-no-such-driver", 1);
  EXPECT_FALSE(BASS_Init(-1, 44100, 0x20, nullptr));
  EXPECT_FALSE(BASS_Start());
  EXPECT_EQ(BASS_MusicLoad(TRUE, module_.data(), 0, static_cast<DWORD>(module_.size()), kPlayerOptions), 0u);
  EXPECT_FALSE(BASS_Free());

  // Nothing is left half-open: a working driver initialises afterwards.
  setenv("SDL_AUDIODRIVER", "disk", 1);
  EXPECT_TRUE(BASS_Init(-1, 44100, 0x20, nullptr));
}

TEST_F(PlaybackTest, CallsOutsideAnInitialisedOutputFail) {
  EXPECT_FALSE(BASS_Start());
  EXPECT_FALSE(BASS_Stop());
  EXPECT_FALSE(BASS_Pause());
  EXPECT_EQ(BASS_MusicLoad(TRUE, module_.data(), 0, static_cast<DWORD>(module_.size()), kPlayerOptions), 0u);
  EXPECT_FALSE(BASS_MusicPlay(1));
  EXPECT_FALSE(BASS_MusicFree(1));
  EXPECT_FALSE(BASS_Free());

  EXPECT_FALSE(BASS_Init(-1, 0, 0, nullptr));
  EXPECT_FALSE(BASS_Init(-1, 1000000, 0, nullptr));
  EXPECT_FALSE(BASS_Init(0, 44100, 0, nullptr));
  EXPECT_FALSE(BASS_Init(1000, 44100, 0, nullptr));
  Init();
  EXPECT_FALSE(BASS_Init(-1, 44100, 0x20, nullptr)) << "already initialised";

  const HMUSIC music = Load(module_);
  EXPECT_FALSE(BASS_MusicFree(0));
  EXPECT_FALSE(BASS_MusicPlay(0));
  EXPECT_FALSE(BASS_MusicPlay(music + 1));
  EXPECT_TRUE(BASS_MusicPlay(music));
  EXPECT_TRUE(BASS_Pause());
  EXPECT_TRUE(BASS_Pause());
  EXPECT_TRUE(BASS_Start());
  EXPECT_TRUE(BASS_Stop());

  // BASS_Free releases the music with everything else; a second life starts clean.
  EXPECT_TRUE(BASS_Free());
  EXPECT_FALSE(BASS_MusicPlay(music));
  EXPECT_FALSE(BASS_Free());
  Init();
  EXPECT_FALSE(BASS_MusicPlay(music));
  EXPECT_NE(Load(module_), 0u);
}

}  // namespace
