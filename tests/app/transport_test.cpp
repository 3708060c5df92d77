// The main loop, the hotspots and the transport rules.
#include "tests/app/player_fixture.h"

namespace {

using namespace player_testing;

const char kThreeSongs[] = "Alpha;a.mod\nBeta;b.mod\nGamma;c.mod\n";

class TransportTest : public PlayerTest {
 protected:
  void StartWith(const std::string& playlist_text, const std::vector<std::string>& songs,
                 const std::vector<std::string>& missing = {}) {
    resources_[{kBinary, 107}] = DiskWithPlaylist(playlist_text, songs, missing);
    Start();
    BassDoubleClearCalls();
  }
  void StartThree() { StartWith(kThreeSongs, {"a.mod", "b.mod", "c.mod"}); }
};

TEST_F(TransportTest, NextAndPreviousWrapAroundTheEnds) {
  StartThree();
  ClickHotspot(Hotspot::kPrevious);
  EXPECT_EQ(current_index, 2) << "previous on entry 0 plays the last";
  EXPECT_EQ(LastLoadedCrc(), CrcOfText("module c.mod"));
  ClickHotspot(Hotspot::kNext);
  EXPECT_EQ(current_index, 0) << "next on the last entry plays entry 0";
  EXPECT_EQ(LastLoadedCrc(), CrcOfText("module a.mod"));
  ClickHotspot(Hotspot::kNext);
  EXPECT_EQ(current_index, 1);
  ClickHotspot(Hotspot::kPrevious);
  EXPECT_EQ(current_index, 0);
}

TEST_F(TransportTest, ChangingTrackWhilePlayingRestartsOutputAndLoadsTheNewSong) {
  StartThree();
  HMUSIC first = music;
  ClickHotspot(Hotspot::kNext);
  EXPECT_EQ(BassDoubleCallNames(), "BASS_Stop BASS_Start BASS_MusicFree BASS_MusicLoad BASS_MusicPlay");
  EXPECT_EQ(BassDoubleCalls()[2].handle, first) << "the old music is freed";
  EXPECT_EQ(BassDoubleCalls()[4].handle, music);
  EXPECT_EQ(BassDoubleState().current, music);
  EXPECT_EQ(current_entry, &playlist.entries[1]);
}

TEST_F(TransportTest, PlayWhilePlayingRestartsTheEntry) {
  StartThree();
  ClickHotspot(Hotspot::kPlay);
  EXPECT_EQ(BassDoubleCallNames(), "BASS_Stop BASS_Start BASS_MusicFree BASS_MusicLoad BASS_MusicPlay");
  EXPECT_EQ(LastLoadedCrc(), CrcOfText("module a.mod"));
  EXPECT_EQ(current_index, 0);
}

TEST_F(TransportTest, PauseTwiceReturnsToTheSameMusic) {
  StartThree();
  HMUSIC playing = music;
  ClickHotspot(Hotspot::kPause);
  EXPECT_EQ(paused, 1);
  EXPECT_FALSE(BassDoubleState().running);
  ClickHotspot(Hotspot::kPause);
  EXPECT_EQ(paused, 0);
  EXPECT_EQ(BassDoubleCallNames(), "BASS_Pause BASS_Start");
  EXPECT_TRUE(BassDoubleState().running);
  EXPECT_EQ(BassDoubleState().current, playing);
}

TEST_F(TransportTest, ChangingTrackWhilePausedResumesThePausedMusic) {
  StartThree();
  HMUSIC playing = music;
  ClickHotspot(Hotspot::kPause);
  BassDoubleClearCalls();
  headless::ActivateOtherWindow();
  Passes(2);
  ClickHotspot(Hotspot::kNext);
  EXPECT_EQ(BassDoubleCallNames(), "BASS_Start") << "nothing is stopped, freed or loaded";
  EXPECT_EQ(BassDoubleState().current, playing);
  EXPECT_EQ(paused, 0);
  EXPECT_EQ(current_index, 1);
  EXPECT_EQ(current_entry, &playlist.entries[1]);
  EXPECT_EQ(Surface(), SurfaceWithLine("02: Beta")) << "the track line names the chosen entry";
}

TEST_F(TransportTest, PlayWhilePausedResumesRatherThanRestarts) {
  StartThree();
  ClickHotspot(Hotspot::kPause);
  BassDoubleClearCalls();
  ClickHotspot(Hotspot::kPlay);
  EXPECT_EQ(BassDoubleCallNames(), "BASS_Start");
  EXPECT_EQ(paused, 0);
}

TEST_F(TransportTest, AFailedExtractionWhilePausedKeepsPaused) {
  StartWith("Alpha;a.mod\nGone;gone.mod\n", {"a.mod", "gone.mod"}, {"gone.mod"});
  ClickHotspot(Hotspot::kPause);
  BassDoubleClearCalls();
  Bytes before = Surface();
  ClickHotspot(Hotspot::kNext);
  EXPECT_EQ(BassDoubleCallNames(), "BASS_Start");
  EXPECT_EQ(paused, 1);
  EXPECT_EQ(current_index, 1);
  EXPECT_EQ(current_entry, &playlist.entries[0]);
}

TEST_F(TransportTest, AFailedExtractionWhilePlayingChangesOnlyTheIndex) {
  StartWith("Alpha;a.mod\nGone;gone.mod\n", {"a.mod", "gone.mod"}, {"gone.mod"});
  HMUSIC playing = music;
  Passes(1);
  ClickHotspot(Hotspot::kNext);
  EXPECT_EQ(BassDoubleCallNames(), "BASS_Stop BASS_Start");
  EXPECT_EQ(music, playing);
  EXPECT_EQ(current_index, 1);
  EXPECT_EQ(current_entry, &playlist.entries[0]);
  EXPECT_EQ(Title(), "QUARB II");
}

TEST_F(TransportTest, ALoadThatFailsLeavesNoMusicAndTheEntryUnchanged) {
  StartThree();
  BassDoubleFailNext(BassFunction::MusicLoad);
  Bytes before = Surface();
  ClickHotspot(Hotspot::kNext);
  EXPECT_EQ(BassDoubleCallNames(), "BASS_Stop BASS_Start BASS_MusicFree BASS_MusicLoad");
  EXPECT_EQ(music, 0u);
  EXPECT_EQ(current_entry, &playlist.entries[0]);
  EXPECT_EQ(current_index, 1);
  EXPECT_TRUE(BassDoubleState().loaded.empty());
}

TEST_F(TransportTest, APlayThatFailsKeepsTheHandleForTheNextFree) {
  StartThree();
  BassDoubleFailNext(BassFunction::MusicPlay);
  ClickHotspot(Hotspot::kNext);
  HMUSIC kept = music;
  EXPECT_NE(kept, 0u);
  EXPECT_EQ(current_entry, &playlist.entries[0]);
  BassDoubleClearCalls();
  ClickHotspot(Hotspot::kNext);
  EXPECT_EQ(BassDoubleCalls()[2].function, BassFunction::MusicFree);
  EXPECT_EQ(BassDoubleCalls()[2].handle, kept);
  EXPECT_EQ(current_entry, &playlist.entries[2]);
}

TEST_F(TransportTest, HotspotEdgesAndThePointerShape) {
  StartThree();
  const struct {
    int x, y;
    bool hand;
  } points[] = {
      {173, 227, true},  {182, 236, true},  {183, 230, false}, {178, 237, false}, {172, 230, false},
      {187, 227, true},  {196, 236, true},  {197, 230, false}, {203, 230, true},  {212, 230, true},
      {213, 230, false}, {219, 230, true},  {228, 236, true},  {229, 230, false}, {224, 237, false},
      {384, 3, true},    {390, 9, true},    {391, 5, false},   {392, 3, true},    {398, 9, true},
      {399, 5, false},   {395, 10, false},  {10, 10, false},   {-50, -50, false}, {600, 400, false},
  };
  for (const auto& p : points) {
    POINT s = Screen(p.x, p.y);
    headless::MovePointer(s.x, s.y);
    Passes(1);
    EXPECT_EQ(headless::CursorShape(), p.hand ? 32649 : 32512) << p.x << "," << p.y;
  }
  EXPECT_EQ(BassDoubleCallNames(), "") << "pointer moves alone do nothing";
}

TEST_F(TransportTest, ClicksOutsideHotspotsOrOnTheirEdgesDoNothing) {
  StartThree();
  ClickAt(183, 230);  // right edge of previous
  ClickAt(224, 237);  // bottom edge of next
  ClickAt(100, 100);
  EXPECT_EQ(BassDoubleCallNames(), "");
  EXPECT_EQ(current_index, 0);
  EXPECT_TRUE(IsWindow(main_window));
}

TEST_F(TransportTest, ADragFromOutsideTheHotspotsOnlyMovesTheWindow) {
  StartThree();
  POINT from = Screen(60, 120);
  headless::Drag(from.x, from.y, from.x + 50, from.y + 40);
  Passes(4);
  EXPECT_EQ(BassDoubleCallNames(), "");
  const headless::WindowRecord* r = headless::Record(main_window);
  EXPECT_EQ(r->x, 312 + 50);
  EXPECT_EQ(r->y, 261 + 40);
}

TEST_F(TransportTest, ADragThatEndsOnAHotspotIsAClickThere) {
  StartThree();
  // Pressing on the skin and letting go on "next": the window followed the
  // pointer, so the release lands on the same client point it started from.
  POINT from = Screen(223, 231);
  headless::Drag(from.x, from.y, from.x + 5, from.y + 5);
  Passes(4);
  EXPECT_EQ(current_index, 1);
}

TEST_F(TransportTest, EscapeAndTheCloseHotspotEndTheLoop) {
  StartThree();
  ClickHotspot(Hotspot::kClose);
  EXPECT_FALSE(IsWindow(main_window));
  EXPECT_EQ(ShutDown(), 0);

  ResetShellState();
  UseHeadlessHost();
  BassDoubleReset();
  StartThree();
  headless::PressKey('A');
  Passes(3);
  EXPECT_TRUE(IsWindow(main_window)) << "other keys do nothing";
  headless::PressKey(VK_ESCAPE);
  RunMainLoop();
  EXPECT_FALSE(IsWindow(main_window));
}

TEST_F(TransportTest, TheTrackLineIsDrawnCentredAndRedrawingChangesNothing) {
  StartThree();
  Passes(1);
  Bytes once = Surface();
  EXPECT_EQ(once, SurfaceWithLine("01: Alpha"));
  EXPECT_NE(once, SurfaceWithLine(nullptr));
  Passes(5);
  EXPECT_EQ(Surface(), once);
  // The next repaint shows it.
  InvalidateRect(main_window, nullptr, FALSE);
  Passes(2);
  const headless::WindowRecord* r = headless::Record(main_window);
  Bytes frame(reinterpret_cast<const uint8_t*>(r->frame.data()),
              reinterpret_cast<const uint8_t*>(r->frame.data() + r->frame.size()));
  EXPECT_EQ(frame, once);
}

// Windows may deliver the paint that start-up asked for as the loop's very
// first message, before any line is drawn; the line must still be seen, and
// a track change shows its new line the same way.
TEST_F(TransportTest, ANewLineIsShownEvenWhenThePaintCameBeforeIt) {
  StartThree();
  auto presented = [] {
    const headless::WindowRecord* r = headless::Record(main_window);
    return Bytes(reinterpret_cast<const uint8_t*>(r->frame.data()),
                 reinterpret_cast<const uint8_t*>(r->frame.data() + r->frame.size()));
  };
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  EXPECT_EQ(presented(), SurfaceWithLine(nullptr)) << "painted before the first line";
  Passes(3);
  EXPECT_EQ(presented(), SurfaceWithLine("01: Alpha"));

  const int frames = headless::Record(main_window)->frames;
  Passes(10);
  EXPECT_EQ(headless::Record(main_window)->frames, frames) << "an unchanged line asks for no repaint";

  ClickHotspot(Hotspot::kNext);
  Passes(2);
  EXPECT_EQ(presented(), SurfaceWithLine("02: Beta"));
}

TEST_F(TransportTest, PlayEntryWipesTheOldLine) {
  StartThree();
  Passes(1);
  ClickHotspot(Hotspot::kNext);
  Passes(1);
  EXPECT_EQ(Surface(), SurfaceWithLine("02: Beta")) << "no trace of the old line";
}

TEST_F(TransportTest, TrackNumbersHaveAtLeastTwoDigits) {
  std::string text;
  std::vector<std::string> songs;
  for (int i = 1; i <= 100; ++i) {
    text += "Song " + std::to_string(i) + ";s" + std::to_string(i) + ".mod\n";
    songs.push_back("s" + std::to_string(i) + ".mod");
  }
  StartWith(text, songs);
  Passes(1);
  EXPECT_EQ(Surface(), SurfaceWithLine("01: Song 1"));
  ClickHotspot(Hotspot::kPrevious);
  EXPECT_EQ(current_index, 99);
  Passes(1);
  EXPECT_EQ(Surface(), SurfaceWithLine("100: Song 100"));
}

TEST_F(TransportTest, LongTitlesAreCutToA255CharacterLine) {
  std::string title(259, 'W');
  StartWith(title + ";a.mod\n", {"a.mod"});
  Passes(1);
  std::string line = "01: " + title;
  line.resize(255);
  EXPECT_EQ(Surface(), SurfaceWithLine(line.c_str()));
}

TEST(TrackLineX, CentresOn400PixelsTruncatingTowardZero) {
  EXPECT_EQ(TrackLineX(0), 200);
  EXPECT_EQ(TrackLineX(399), 0);
  EXPECT_EQ(TrackLineX(400), 0);
  EXPECT_EQ(TrackLineX(401), 0);
  EXPECT_EQ(TrackLineX(403), -1);
  EXPECT_EQ(TrackLineX(INT32_MIN), static_cast<int32_t>((400 - static_cast<int64_t>(INT32_MIN)) / 2));
}

}  // namespace
