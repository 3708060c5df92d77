// Start-up and shutdown of the whole player, with their exit statuses.
#include "tests/app/player_fixture.h"

namespace {

using namespace player_testing;

class StartupTest : public PlayerTest {};

TEST_F(StartupTest, BuildsEverythingInOrderAndPlaysTheFirstEntry) {
  Start();
  // Audio is initialised before the window exists, with no window.
  const auto& calls = BassDoubleCalls();
  ASSERT_GE(calls.size(), 1u);
  EXPECT_EQ(calls[0].function, BassFunction::Init);
  EXPECT_EQ(calls[0].device, -1);
  EXPECT_EQ(calls[0].freq, 44100u);
  EXPECT_EQ(calls[0].flags, 0x20u);
  EXPECT_EQ(calls[0].window, nullptr);
  EXPECT_EQ(BassDoubleCallNames(),
            "BASS_Init BASS_Stop BASS_Start BASS_MusicFree BASS_MusicLoad BASS_MusicPlay");
  EXPECT_EQ(calls[3].handle, 0u) << "the first free is of no music";
  EXPECT_EQ(calls[4].mem, TRUE);
  EXPECT_EQ(calls[4].flags, 0x816u);
  EXPECT_EQ(calls[4].offset, 0u);

  // The first entry of the shipped playlist is what was loaded.
  ASSERT_GT(playlist.count, 0);
  Bytes first = DiskFile(playlist.entries[0].file_name);
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(calls[4].bytes, first);
  EXPECT_EQ(current_index, 0);
  EXPECT_EQ(current_entry, &playlist.entries[0]);
  EXPECT_EQ(paused, 0);

  // The window: the skin's size, centred on the 1024 by 768 screen, shown,
  // shaped, titled.
  const headless::WindowRecord* window = headless::Record(main_window);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->width, 400);
  EXPECT_EQ(window->height, 246);
  EXPECT_EQ(window->x, 312);
  EXPECT_EQ(window->y, 261);
  EXPECT_TRUE(window->visible);
  EXPECT_TRUE(window->shaped);
  EXPECT_EQ(window->title, "QUARB II");
  EXPECT_TRUE(window->has_icon);
  EXPECT_TRUE(skin->IsAttached());
}

TEST_F(StartupTest, ANormalRunEndsWithStatusZeroAfterStoppingAndFreeingAudio) {
  headless::PressKey(VK_ESCAPE);
  EXPECT_EQ(RunWinMain(), 0);
  std::string names = BassDoubleCallNames();
  EXPECT_EQ(names.substr(names.size() - std::string("BASS_Stop BASS_Free").size()), "BASS_Stop BASS_Free");
  EXPECT_FALSE(BassDoubleState().initialised);
  EXPECT_EQ(skin, nullptr);
  EXPECT_EQ(archive, nullptr);
  EXPECT_FALSE(IsWindow(main_window));
}

TEST_F(StartupTest, TheWindowManagersCloseEndsTheRunToo) {
  Start();
  headless::CloseByWindowManager(main_window);
  RunMainLoop();
  EXPECT_FALSE(IsWindow(main_window));
  EXPECT_EQ(ShutDown(), 0);
}

TEST_F(StartupTest, FailedAudioShowsTheMessageBeforeAnyWindowAndReturnsOne) {
  RecordingOutputRefuseOpen(true);  // as on a machine without a sound device
  EXPECT_EQ(RunWinMain(), 1);
  ASSERT_EQ(headless::MessageBoxes().size(), 1u);
  const headless::MessageBoxRecord& box = headless::MessageBoxes()[0];
  EXPECT_EQ(box.owner, nullptr);
  EXPECT_EQ(box.text, "Unable to init BASS");
  EXPECT_EQ(box.caption, "Oh my...");
  EXPECT_EQ(box.type, 0x30u);
  EXPECT_EQ(main_window, nullptr);
  EXPECT_EQ(BassDoubleCallNames(), "BASS_Init");
  // What was built is not released: the process ends here.
  delete skin;
  skin = nullptr;
  delete archive;
  archive = nullptr;
}

TEST_F(StartupTest, AWindowThatCannotBeCreatedEndsWithMinusOne) {
  headless::RefuseWindowCreation(true);
  EXPECT_EQ(RunWinMain(), -1);
  EXPECT_EQ(main_window, nullptr);
  EXPECT_EQ(BassDoubleCallNames(), "BASS_Init") << "no track is started";
  EXPECT_TRUE(headless::MessageBoxes().empty()) << "and nothing is shown";
  headless::RefuseWindowCreation(false);
}

TEST_F(StartupTest, AMissingSkinStopsWithStatusTwoAndTheMessage) {
  for (ResourceKey missing : {ResourceKey{2, 102}, ResourceKey{kBinary, 103}}) {
    resources_ = EmbeddedCopies();
    resources_.erase(missing);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(RunWinMain(), 2);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Unable to retrieve the skin.\n");
    EXPECT_EQ(skin, nullptr);
    EXPECT_EQ(BassDoubleCallNames(), "");
  }
}

TEST_F(StartupTest, UnusableRegionDataIsAMissingSkin) {
  resources_[{kBinary, 103}].resize(20);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(RunWinMain(), 2);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Unable to retrieve the skin.\n");
}

TEST_F(StartupTest, MissingContentStopsInOrderWithStatusThree) {
  struct Case {
    const char* what;
    Bytes image;
    const char* message;
  };
  std::vector<Case> cases = {
      {"no image", {}, "archive image is missing"},
      {"not an archive", Text("garbage that is no archive"), "\"playlist.csv\""},
      {"no playlist", DiskImage({{"font.fnt", DiskFile("font.fnt")}}), "\"playlist.csv\""},
      {"no font", DiskImage({{"playlist.csv", Text("A;a.mod\n")}}), "\"font.fnt\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    resources_ = EmbeddedCopies();
    if (c.image.empty()) {
      resources_.erase({kBinary, 107});
    } else {
      resources_[{kBinary, 107}] = c.image;
    }
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(RunWinMain(), 3);
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(c.message), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << "one line: " << err;
    EXPECT_EQ(skin, nullptr) << "what was built is released";
    EXPECT_EQ(archive, nullptr);
    EXPECT_EQ(BassDoubleCallNames(), "") << "audio is never touched";
  }
}

TEST_F(StartupTest, AnEmptyPlaylistRunsWithoutTrackOrTransport) {
  resources_[{kBinary, 107}] = DiskWithPlaylist("", {});
  Start();
  EXPECT_EQ(playlist.count, 0);
  EXPECT_EQ(current_index, -1);
  EXPECT_EQ(BassDoubleCallNames(), "BASS_Init");
  Bytes clean = SurfaceWithLine(nullptr);
  for (Hotspot h : {Hotspot::kPrevious, Hotspot::kPlay, Hotspot::kPause, Hotspot::kNext}) {
    ClickHotspot(h);
  }
  EXPECT_EQ(BassDoubleCallNames(), "BASS_Init") << "the transport does nothing";
  EXPECT_EQ(current_index, -1);
  EXPECT_EQ(Surface(), clean) << "and no track line is drawn";
  ClickHotspot(Hotspot::kClose);
  EXPECT_FALSE(IsWindow(main_window));
}

TEST_F(StartupTest, AFailedFirstEntryLeavesThePlayerRunning) {
  resources_[{kBinary, 107}] = DiskWithPlaylist("Gone;gone.mod\nHere;here.mod\n", {"gone.mod", "here.mod"}, {"gone.mod"});
  Start();
  EXPECT_EQ(current_index, 0);
  EXPECT_EQ(current_entry, nullptr);
  EXPECT_EQ(BassDoubleCallNames(), "BASS_Init BASS_Stop BASS_Start");
  ClickHotspot(Hotspot::kNext);
  EXPECT_EQ(current_entry, &playlist.entries[1]);
  EXPECT_EQ(LastLoadedCrc(), CrcOfText("module here.mod"));
}

}  // namespace
