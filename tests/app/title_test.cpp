// The window title: "QUARB II" while active, the long form while inactive.
#include "tests/app/player_fixture.h"

namespace {

using namespace player_testing;

class TitleTest : public PlayerTest {
 protected:
  void SetUp() override {
    PlayerTest::SetUp();
    resources_[{kBinary, 107}] =
        DiskWithPlaylist("Caf\xE9 Nocturne;a.mod\nBeta;b.mod\nGone;gone.mod\n", {"a.mod", "b.mod", "gone.mod"}, {"gone.mod"});
  }
};

TEST_F(TitleTest, ActiveWindowShowsTheShortTitle) {
  Start();
  Passes(2);
  EXPECT_EQ(Title(), "QUARB II");
}

TEST_F(TitleTest, AnotherWindowTakingActivationShowsTheCurrentEntry) {
  Start();
  headless::ActivateOtherWindow();
  Passes(2);
  EXPECT_EQ(inactive, 1);
  EXPECT_EQ(Title(), "QUARB II - [ Caf\xE9 Nocturne ]");
  headless::ActivateWindow(main_window);
  Passes(2);
  EXPECT_EQ(Title(), "QUARB II");
}

TEST_F(TitleTest, TheTitleNamesTheLastEntryThatStartedNotTheChosenOne) {
  Start();
  ClickHotspot(Hotspot::kNext);
  ClickHotspot(Hotspot::kNext);  // "Gone" cannot be extracted
  EXPECT_EQ(current_index, 2);
  headless::ActivateOtherWindow();
  Passes(2);
  EXPECT_EQ(Title(), "QUARB II - [ Beta ]");
}

TEST_F(TitleTest, BeforeAnyEntryPlayedTheTitleStaysShort) {
  resources_[{kBinary, 107}] = DiskWithPlaylist("Gone;gone.mod\n", {"gone.mod"}, {"gone.mod"});
  Start();
  EXPECT_EQ(current_entry, nullptr);
  headless::ActivateOtherWindow();
  Passes(2);
  EXPECT_EQ(inactive, 1);
  EXPECT_EQ(Title(), "QUARB II");
}

TEST_F(TitleTest, MinimisedByTheWindowManagerKeepsTheShortTitle) {
  for (auto order : {headless::MinimizeOrder::kFocusLossFirst, headless::MinimizeOrder::kMinimizeFirst}) {
    Start();
    headless::MinimizeByWindowManager(main_window, order);
    headless::AdvanceClock(1000);
    Passes(4);
    EXPECT_TRUE(headless::Record(main_window)->minimized);
    EXPECT_EQ(inactive, 0);
    EXPECT_EQ(Title(), "QUARB II");
    DestroyWindow(main_window);
    ShutDown();
    ResetShellState();
    UseHeadlessHost();
    BassDoubleReset();
  }
}

TEST_F(TitleTest, TheMinimiseHotspotShowsTheLongTitleUntilActivatedAgain) {
  Start();
  ClickHotspot(Hotspot::kMinimise);
  EXPECT_TRUE(headless::Record(main_window)->minimized);
  EXPECT_EQ(inactive, 1);
  EXPECT_EQ(Title(), "QUARB II - [ Caf\xE9 Nocturne ]");
  Passes(3);
  EXPECT_EQ(Title(), "QUARB II - [ Caf\xE9 Nocturne ]");
  headless::RestoreByWindowManager(main_window);
  headless::ActivateWindow(main_window);
  Passes(3);
  EXPECT_EQ(inactive, 0);
  EXPECT_EQ(Title(), "QUARB II");
}

TEST_F(TitleTest, ChangingTrackWhilePausedNamesTheNewEntry) {
  Start();
  ClickHotspot(Hotspot::kPause);
  ClickHotspot(Hotspot::kNext);
  headless::ActivateOtherWindow();
  Passes(2);
  EXPECT_EQ(Title(), "QUARB II - [ Beta ]");
}

}  // namespace
