// The Windows player under Wine draws what the Linux player draws, pixel for
// pixel: both run one after the other on the same X server and are
// screenshotted in the same states. Needs both builds: the Windows build
// runs it (QUARB_E2E_PLAYER=windows, see e2e_player.h), under
// scripts/with-xvfb.
//
// On a difference, both pictures and a picture of the differences (differing
// pixels magenta over the Linux picture darkened) are written to
// e2e-pixels/ in QUARB_E2E_OUTPUT_DIR.
#include <filesystem>
#include <thread>

#include "e2e_fixture.h"

namespace e2e {
namespace {

struct States {
  Image first_song;      // as it comes up
  Image after_next;      // after a click on next, the pointer moved off the window
  Image over_a_hotspot;  // the pointer resting on the play hotspot
};

class PixelIdentity : public PlayerSession {
 protected:
  // Runs `program` through the states; what failed is reported, and the
  // states not reached are left empty. The player is gone afterwards.
  States Capture(const PlayerProgram& program, const std::string& dir) {
    States states;
    std::filesystem::create_directories(dir);
    MovePointer(5, 5);  // off the window, where the player is to come up
    if (StartPlayer(program, program.player(), dir) == 0) {
      ADD_FAILURE() << program.name() << ": the player's window did not appear";
    } else if (GoThrough(program, states)) {
      PressKeyIn(window_, "Escape");
      EXPECT_EQ(PlayerExit(), 0) << program.name() << ": Escape";
    }
    Kill(player_);
    program.CleanUp();
    return states;
  }

  bool GoThrough(const PlayerProgram& program, States& states) {
    states.first_song = SteadyPicture(HasTrackLine);
    if (states.first_song.empty()) {
      ADD_FAILURE() << program.name() << ": no track line drawn";
      return false;
    }
    const std::vector<int> line1 = WhiteInBand(states.first_song);
    ClickHotspot(kNext);
    MovePointer(5, 5);
    states.after_next = SteadyPicture([&](const Image& w) { return HasTrackLine(w) && WhiteInBand(w) != line1; });
    if (states.after_next.empty()) {
      ADD_FAILURE() << program.name() << ": the track line did not change after a click on next";
      return false;
    }
    // The player sets the pointer's shape on every pass of its loop; the
    // rest gives it a few passes. A screenshot (xwd's, or Screenshot's read
    // of the root window) does not include the pointer, so what is compared
    // is the window under it: a hotspot has no look of its own for the
    // pointer over it.
    MovePointer(kLeft + kPlay.x, kTop + kPlay.y);
    std::this_thread::sleep_for(300ms);
    states.over_a_hotspot = SteadyPicture([](const Image&) { return true; });
    return true;
  }

  // Fails with the first differing pixels, and writes the pictures, when
  // the two differ.
  void Compare(const std::string& state, const Image& linux_picture, const Image& windows_picture) {
    if (linux_picture.empty() || windows_picture.empty()) {
      ADD_FAILURE() << state << ": not reached by " << (linux_picture.empty() ? "the Linux" : "the Windows")
                    << " player";
      return;
    }
    if (linux_picture == windows_picture) return;
    Image difference = linux_picture;
    int count = 0;
    std::string first;
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        const uint8_t* a = linux_picture.At(x, y);
        const uint8_t* b = windows_picture.At(x, y);
        uint8_t* d = difference.At(x, y);
        if (a[0] == b[0] && a[1] == b[1] && a[2] == b[2]) {
          for (int c = 0; c < 3; ++c) d[c] = a[c] / 4;
          continue;
        }
        d[0] = 255, d[1] = 0, d[2] = 255;
        if (++count <= 8) {
          first += " (" + std::to_string(x) + ", " + std::to_string(y) + "): Linux " + std::to_string(a[0]) + "," +
                   std::to_string(a[1]) + "," + std::to_string(a[2]) + " Windows " + std::to_string(b[0]) + "," +
                   std::to_string(b[1]) + "," + std::to_string(b[2]) + ";";
        }
      }
    const std::string out = program_.OutputDir() + "/e2e-pixels";
    std::filesystem::create_directories(out);
    WritePng(linux_picture, out + "/" + state + "-linux.png");
    WritePng(windows_picture, out + "/" + state + "-windows.png");
    WritePng(difference, out + "/" + state + "-difference.png");
    ADD_FAILURE() << state << ": " << count << " pixels differ (pictures in " << out << "); first" << first;
  }
};

TEST_F(PixelIdentity, TheWindowsPlayerUnderWineDrawsWhatTheLinuxPlayerDraws) {
  if (!program_.windows()) GTEST_SKIP() << "compares the Windows player with the Linux one: QUARB_E2E_PLAYER=windows";
  const States linux_states = Capture(PlayerProgram::Linux(), dir_ + "/linux");
  const States windows_states = Capture(program_, dir_ + "/windows");
  Compare("first-song", linux_states.first_song, windows_states.first_song);
  Compare("after-next", linux_states.after_next, windows_states.after_next);
  Compare("over-a-hotspot", linux_states.over_a_hotspot, windows_states.over_a_hotspot);
}

}  // namespace
}  // namespace e2e
