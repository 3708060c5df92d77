// What bass.cpp relies on from the system's output (audio_output.h): SDL2 on
// Linux, here over its disk driver; waveOut on Windows, which needs a sound
// device (under Wine, an ALSA configuration such as a file PCM). Where the
// system has none, only the failing open is checked.
#include "platform/playback/audio_output.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <thread>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <mmsystem.h>

#include "platform/playback/winmm_threads.h"
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// Polls until `done` holds; the deadline only keeps a stalled output from
// hanging the run.
void WaitUntil(const std::function<bool()>& done) {
  const auto deadline = Clock::now() + std::chrono::seconds(20);
  while (!done()) {
    ASSERT_LT(Clock::now(), deadline) << "the output stalled";
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

class AudioOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    output_ = MakeWaveOutOutput();
    has_device_ = waveOutGetNumDevs() > 0;
#else
    file_ = fs::temp_directory_path() / ("quarb-output-" + std::to_string(::getpid()) + ".raw");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", file_.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "4", 1);
    output_ = MakeSdlOutput();
    has_device_ = true;
#endif
  }

  void TearDown() override {
    output_->Close();
    if (!file_.empty()) fs::remove(file_);
  }

  // Counts the mixer's calls and notes the thread they come from.
  bool Open(int device = -1) {
    return output_->Open(
        device, 44100, 1024,
        [this](float* out, size_t frames) {
          for (size_t i = 0; i < 2 * frames; ++i) out[i] = 0.25f;
          last_frames_ = frames;
          if (std::this_thread::get_id() == test_thread_) on_test_thread_ = true;
          in_mixer_ = true;
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
          in_mixer_ = false;
          ++calls_;
        },
        &format_);
  }

  // Lets the output run for a while; the mixer's calls since.
  int CallsDuring(std::chrono::milliseconds time) {
    const int before = calls_;
    std::this_thread::sleep_for(time);
    return calls_ - before;
  }

  std::unique_ptr<AudioOutput> output_;
  bool has_device_ = false;
  fs::path file_;
  AudioOutput::Format format_;
  std::atomic<int> calls_{0};
  std::atomic<size_t> last_frames_{0};
  std::atomic<bool> in_mixer_{false};
  std::atomic<bool> on_test_thread_{false};
  const std::thread::id test_thread_ = std::this_thread::get_id();
};

TEST_F(AudioOutputTest, OpensOnlyDevicesThereAre) {
  EXPECT_FALSE(Open(0));
  EXPECT_FALSE(Open(1000));
  EXPECT_EQ(Open(-1), has_device_);
  EXPECT_FALSE(Open(-1)) << "already open";
}

TEST_F(AudioOutputTest, TheMixerRunsOnTheOutputsThreadFromStartUntilClose) {
  if (!has_device_) GTEST_SKIP() << "no sound device";
  ASSERT_TRUE(Open());
  EXPECT_EQ(format_.rate, 44100);
  EXPECT_EQ(format_.buffer_frames, 1024);
  EXPECT_EQ(CallsDuring(std::chrono::milliseconds(100)), 0) << "mixing before Start";

  output_->Start();
  WaitUntil([&] { return calls_ >= 5; });
  EXPECT_EQ(last_frames_, 1024u);
  EXPECT_FALSE(on_test_thread_);

  output_->Close();
  EXPECT_FALSE(in_mixer_) << "Close returned during a mixer call";
  EXPECT_EQ(CallsDuring(std::chrono::milliseconds(100)), 0) << "mixing after Close";

  // And again, on the same output.
  calls_ = 0;
  ASSERT_TRUE(Open());
  output_->Start();
  WaitUntil([&] { return calls_ >= 2; });
}

TEST_F(AudioOutputTest, TheLockHoldsTheMixerAndIsRecursive) {
  if (!has_device_) GTEST_SKIP() << "no sound device";
  ASSERT_TRUE(Open());
  output_->Start();
  WaitUntil([&] { return calls_ >= 2; });

  output_->Lock();
  output_->Lock();
  EXPECT_FALSE(in_mixer_);
  EXPECT_EQ(CallsDuring(std::chrono::milliseconds(150)), 0);
  output_->Unlock();
  EXPECT_EQ(CallsDuring(std::chrono::milliseconds(100)), 0) << "still locked once";
  output_->Unlock();
  const int before = calls_;
  WaitUntil([&] { return calls_ >= before + 2; });
}

#ifdef _WIN32
// Wine's winmm ends the thread it plays devices from after the last close;
// a process exiting meanwhile can be killed by Wine. So once Close returns,
// every thread winmm started for the device has ended, each time.
TEST_F(AudioOutputTest, UnderWineCloseReturnsOnceWinmmsDeviceThreadEnded) {
  if (!winmm_threads::UnderWine()) GTEST_SKIP() << "not under Wine";
  if (!has_device_) GTEST_SKIP() << "no sound device";
  for (int round = 1; round <= 3; ++round) {
    calls_ = 0;
    ASSERT_TRUE(Open());
    output_->Start();
    WaitUntil([&] { return calls_ >= 2; });
    std::vector<HANDLE> playing = winmm_threads::Open();
    EXPECT_FALSE(playing.empty()) << "round " << round << ": no thread of winmm's while playing";

    output_->Close();
    size_t running = 0;
    for (HANDLE thread : playing) {
      if (WaitForSingleObject(thread, 0) == WAIT_TIMEOUT) ++running;
      CloseHandle(thread);
    }
    EXPECT_EQ(running, 0u) << "round " << round << ": winmm's threads still running after Close";
  }
}
#endif

}  // namespace
