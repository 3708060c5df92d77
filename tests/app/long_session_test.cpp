// A long session: a thousand clicks and a thousand activation changes in a
// row leave the player exactly as a few would, with nothing left behind.
// (Heap leaks are LeakSanitizer's to find when the suite runs under it; the
// GDI's and the playback layer's own tables are counted here.)
#include <cstring>

#include "tests/app/player_fixture.h"

namespace {

using namespace player_testing;

const char kThreeSongs[] = "Alpha;a.mod\nBeta;b.mod\nGamma;c.mod\n";
const char* const kLines[] = {"01: Alpha", "02: Beta", "03: Gamma"};

class LongSessionTest : public PlayerTest {
 protected:
  void SetUp() override {
    PlayerTest::SetUp();
    resources_[{kBinary, 107}] = DiskWithPlaylist(kThreeSongs, {"a.mod", "b.mod", "c.mod"});
  }

  // The window as presented matches the skin surface.
  void ExpectPresentedSurface() {
    const headless::WindowRecord* r = headless::Record(main_window);
    ASSERT_EQ(r->frame.size() * 4, Surface().size());
    EXPECT_EQ(0, std::memcmp(r->frame.data(), Surface().data(), Surface().size()));
  }
};

TEST_F(LongSessionTest, AThousandTransportClicksFollowTheRulesAndLeakNothing) {
  Start();
  Passes(2);
  const size_t gdi_objects = gdi_internal::LiveObjectCount();

  // Previous, play, pause and next in turn: the pause click before every
  // next makes half of the track changes happen while paused.
  const Hotspot order[] = {Hotspot::kPrevious, Hotspot::kPlay, Hotspot::kPause, Hotspot::kNext};
  const char* const songs[] = {"module a.mod", "module b.mod", "module c.mod"};
  int32_t index = 0;
  for (int i = 0; i < 1000; ++i) {
    const Hotspot hotspot = order[i % 4];
    const int32_t was_paused = paused;
    const HMUSIC before = music;
    BassDoubleClearCalls();
    ClickHotspot(hotspot);
    if (hotspot == Hotspot::kPrevious) index = index == 0 ? 2 : index - 1;
    if (hotspot == Hotspot::kNext) index = index == 2 ? 0 : index + 1;

    ASSERT_EQ(current_index, index) << "click " << i;
    if (hotspot == Hotspot::kPause) {
      ASSERT_EQ(paused, !was_paused) << "click " << i;
      ASSERT_EQ(music, before) << "click " << i;
    } else if (was_paused) {
      // Changing track while paused resumes the paused music.
      ASSERT_EQ(BassDoubleCallNames(), "BASS_Start") << "click " << i;
      ASSERT_EQ(music, before) << "click " << i;
      ASSERT_EQ(paused, 0) << "click " << i;
    } else {
      ASSERT_NE(music, before) << "click " << i;
      ASSERT_EQ(LastLoadedCrc(), CrcOfText(songs[index])) << "click " << i;
      ASSERT_EQ(current_entry, &playlist.entries[index]) << "click " << i;
    }
    ASSERT_EQ(BassDoubleState().running, paused == 0) << "click " << i;
    ASSERT_EQ(BassDoubleState().current, music) << "click " << i;
    ASSERT_EQ(BassDoubleState().loaded.size(), 1u) << "replaced musics are freed, click " << i;
  }
  Passes(3);

  EXPECT_EQ(gdi_internal::LiveObjectCount(), gdi_objects) << "GDI objects were left behind";
  EXPECT_EQ(Surface(), SurfaceWithLine(kLines[index])) << "the skin holds exactly the current track line";
  ExpectPresentedSurface();
  EXPECT_EQ(Title(), "QUARB II");
  EXPECT_TRUE(IsWindow(main_window));
}

TEST_F(LongSessionTest, AThousandActivationChangesKeepTheTitleRuleAndLeakNothing) {
  Start();
  Passes(2);
  const size_t gdi_objects = gdi_internal::LiveObjectCount();
  const std::string long_title = "QUARB II - [ Alpha ]";

  // Another program takes activation and gives it back; the window manager
  // minimises and restores the window; the minimise hotspot does too.
  for (int i = 0; i < 1000; ++i) {
    switch (i % 5) {
      case 0:
        headless::ActivateOtherWindow();
        Passes(2);
        ASSERT_EQ(inactive, 1) << "change " << i;
        ASSERT_EQ(Title(), long_title) << "change " << i;
        break;
      case 1:
      case 4:
        if (i % 5 == 4) headless::RestoreByWindowManager(main_window);
        headless::ActivateWindow(main_window);
        Passes(3);
        ASSERT_EQ(inactive, 0) << "change " << i;
        ASSERT_EQ(Title(), "QUARB II") << "change " << i;
        break;
      case 2:
        headless::MinimizeByWindowManager(main_window, i % 2 ? headless::MinimizeOrder::kMinimizeFirst
                                                             : headless::MinimizeOrder::kFocusLossFirst);
        Passes(3);
        ASSERT_EQ(inactive, 0) << "minimised by the platform, change " << i;
        ASSERT_EQ(Title(), "QUARB II") << "change " << i;
        headless::RestoreByWindowManager(main_window);
        headless::ActivateWindow(main_window);
        Passes(3);
        break;
      case 3:
        ClickHotspot(Hotspot::kMinimise);
        ASSERT_EQ(inactive, 1) << "minimised by the hotspot, change " << i;
        ASSERT_EQ(Title(), long_title) << "change " << i;
        break;
    }
  }
  Passes(3);

  EXPECT_EQ(gdi_internal::LiveObjectCount(), gdi_objects) << "GDI objects were left behind";
  EXPECT_FALSE(headless::Record(main_window)->minimized);
  EXPECT_EQ(Surface(), SurfaceWithLine(kLines[0]));
  ExpectPresentedSurface();
  EXPECT_EQ(current_entry, &playlist.entries[0]) << "activation changes touch nothing of the transport";
  EXPECT_EQ(paused, 0);
}

}  // namespace
