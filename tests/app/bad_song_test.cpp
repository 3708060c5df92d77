// The whole player with the real playback layer (libopenmpt on SDL's disk
// audio driver) and the headless host: songs that are not modules, an empty
// one and a truncated one in the playlist leave the player running, and the
// song after them plays and is heard.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <thread>
#include <unistd.h>

#include "platform/playback/bass.h"
#include "platform/playback/playback_probe.h"
#include "tests/app/player_fixture.h"

namespace {

using namespace player_testing;
namespace fs = std::filesystem;

// Polls until `done` holds. The deadline only keeps a stalled output from
// hanging the run; nothing is measured against it.
void WaitUntil(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!done()) {
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the output stalled";
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

uint64_t Heard(HMUSIC handle) {
  uint64_t frames = 0;
  return PlaybackMusicFrames(handle, &frames) ? frames : 0;
}

class BadSongTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("quarb-bad-song-" + std::to_string(getpid()));
    fs::create_directories(dir_);
    output_ = dir_ / "out.raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", output_.c_str(), 1);
    // A few milliseconds per buffer instead of real time keeps the test short.
    setenv("SDL_DISKAUDIODELAY", "4", 1);
    UseHeadlessHost();
    ResetShellState();
  }

  void TearDown() override {
    if (skin != nullptr || archive != nullptr) {
      if (IsWindow(main_window)) DestroyWindow(main_window);
      ShutDown();
    }
    InstallResourceTable(nullptr, 0);
    ResetShellState();
    fs::remove_all(dir_);
  }

  void StartWith(const Bytes& image) {
    resources_ = EmbeddedCopies();
    resources_[{kBinary, 107}] = image;
    for (auto& [key, bytes] : resources_) {
      table_.push_back({key.first == kBinary ? "BINARY" : nullptr, key.first, key.second, bytes.data(),
                        static_cast<DWORD>(bytes.size())});
    }
    InstallResourceTable(table_.data(), table_.size());
    int status = 0;
    ASSERT_TRUE(StartUp(GetModuleHandleA(nullptr), &status)) << "stopped with " << status;
  }

  void ClickNext() {
    const RECT& r = kHotspotRects[static_cast<int>(Hotspot::kNext)];
    const headless::WindowRecord* w = headless::Record(main_window);
    headless::Click(w->x + (r.left + r.right) / 2, w->y + (r.top + r.bottom) / 2);
    for (int i = 0; i < 3; ++i) MainLoopPass();
  }

  // The output keeps being fed: the mixer moves on by a few buffers.
  static void ExpectOutputRuns() {
    const uint64_t mixed = PlaybackFramesMixed();
    WaitUntil([&] { return PlaybackFramesMixed() >= mixed + 4 * static_cast<uint64_t>(PlaybackBufferFrames()); });
  }

  // Loudest sample among the last `frames` frames the device was given.
  float TailPeak(size_t frames) {
    std::ifstream in(output_, std::ios::binary);
    std::vector<char> raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t count = raw.size() / sizeof(float);
    const float* samples = reinterpret_cast<const float*>(raw.data());
    float peak = 0;
    for (size_t i = count > 2 * frames ? count - 2 * frames : 0; i < count; ++i)
      peak = std::max(peak, std::fabs(samples[i]));
    return peak;
  }

  fs::path dir_;
  fs::path output_;
  std::map<ResourceKey, Bytes> resources_;
  std::vector<ResourceEntry> table_;
};

TEST_F(BadSongTest, SongsThatCannotPlayAreSkippedOverAndTheNextOneIsHeard) {
  const Bytes harbour = DiskFile("songs\\harbour.mod");
  const Bytes orbit = DiskFile("songs\\orbit.s3m");
  ASSERT_GT(harbour.size(), 1500u);
  ASSERT_FALSE(orbit.empty());
  StartWith(DiskImage({
      {"playlist.csv", Text("Harbour;harbour.mod\nNotes;notes.txt\nNothing;empty.mod\nCut;cut.mod\nOrbit;orbit.s3m\n")},
      {"font.fnt", DiskFile("font.fnt")},
      {"harbour.mod", harbour},
      {"notes.txt", Text("These are the liner notes, not a module.\n")},
      {"empty.mod", {}},
      {"cut.mod", Bytes(harbour.begin(), harbour.begin() + 1500)},
      {"orbit.s3m", orbit},
  }));
  ASSERT_NE(music, 0u);
  const HMUSIC first = music;
  WaitUntil([&] { return Heard(first) >= 4410; });

  // Text is no module: the first song is gone and nothing plays, but the
  // player and its output run on, and the entry is named on the skin.
  ClickNext();
  EXPECT_EQ(current_index, 1);
  EXPECT_EQ(music, 0u);
  uint64_t unused = 0;
  EXPECT_FALSE(PlaybackMusicFrames(first, &unused)) << "the first song was released";
  EXPECT_EQ(current_entry, &playlist.entries[0]) << "the title still names the last song that started";
  EXPECT_TRUE(IsWindow(main_window));
  ExpectOutputRuns();

  // An empty file and a module cut short: whatever the decoder makes of
  // them, the player goes on.
  ClickNext();
  EXPECT_EQ(current_index, 2);
  EXPECT_EQ(music, 0u) << "no bytes, no music";
  ClickNext();
  EXPECT_EQ(current_index, 3);
  EXPECT_TRUE(IsWindow(main_window));
  ExpectOutputRuns();

  // The song after them plays from its start and is heard.
  ClickNext();
  EXPECT_EQ(current_index, 4);
  ASSERT_NE(music, 0u);
  EXPECT_EQ(current_entry, &playlist.entries[4]);
  const HMUSIC last = music;
  WaitUntil([&] { return Heard(last) >= 44100; });
  for (int i = 0; i < 5; ++i) MainLoopPass();
  EXPECT_TRUE(IsWindow(main_window));
  EXPECT_EQ(ShutDown(), 0);
  EXPECT_GT(TailPeak(22050), 0.05f) << "the last song was not heard";
}

}  // namespace
