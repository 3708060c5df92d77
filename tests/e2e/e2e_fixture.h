// The fixture of the end-to-end tests: one player program (e2e_player.h) on
// the X server, what it runs with, and how it is waited for and cleaned up.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>

#include "e2e_player.h"
#include "e2e_sound.h"
#include "e2e_support.h"

namespace e2e {

// Geometry in gtest's messages.
inline std::ostream& operator<<(std::ostream& out, const Geometry& g) {
  return out << "(" << g.x << ", " << g.y << ") " << g.width << " by " << g.height;
}

// A plain white X window (tests/e2e/other_window.cpp): another program to
// give activation to, or something to see through the player's shape.
inline std::string OtherWindowProgram() { return QUARB_BUILD_DIR "/tests/e2e_other_window"; }

class PlayerSession : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no X display (run under scripts/with-xvfb)";
    ASSERT_EQ(program_.Missing(), "") << program_.name();
    ASSERT_TRUE(screen_.ok());
    static int runs = 0;
    dir_ = (std::filesystem::temp_directory_path() /
            ("quarb-e2e-" + std::to_string(getpid()) + "-" + std::to_string(++runs)))
               .string();
    std::filesystem::create_directories(dir_);
  }

  void TearDown() override {
    // The recorded sound of a failed test is kept for a look (16-bit or
    // 32-bit float stereo at 44100 Hz, see e2e_sound.h).
    const std::string sound = program_.SoundFile(dir_);
    if (HasFailure() && std::filesystem::exists(sound)) {
      const std::string kept = program_.OutputDir() + "/e2e-failed-" +
                               ::testing::UnitTest::GetInstance()->current_test_info()->name() + "-" +
                               (program_.windows() ? "windows" : "linux") + ".raw";
      std::error_code ignored;
      std::filesystem::copy_file(sound, kept, std::filesystem::copy_options::overwrite_existing, ignored);
    }
    Kill(player_);
    Kill(other_);
    program_.CleanUp();
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }

  // Starts `exe` of `program` with its sound recorded (files in `dir`) and
  // waits for its window (by either title: the window manager may be slow
  // to give it activation); 0 when none came.
  unsigned long StartPlayer(const PlayerProgram& program, const std::string& exe, const std::string& dir) {
    player_ = program.StartRecording(exe, dir);
    window_ = 0;
    WaitUntil([&] { return (window_ = screen_.FindIf(IsPlayerTitle)) != 0; }, program.first_window());
    return window_;
  }
  unsigned long StartPlayer() { return StartPlayer(program_, program_.player(), dir_); }

  // The player's exit status once it has ended (it is then forgotten), or
  // kStillRunning while it runs on past `limit` (TearDown kills it then).
  int PlayerExit(Millis limit = 10s) {
    const int status = WaitExit(player_, limit);
    if (status != kStillRunning) player_ = -1;
    return status;
  }

  std::string WindowId() const { return std::to_string(window_); }

  // The title as `xdotool getwindowname` reads it (in UTF-8).
  std::string WindowName() { return Shell("xdotool getwindowname " + WindowId() + " 2>/dev/null"); }
  bool WaitForName(const std::string& name, Millis limit = 5s) {
    return WaitUntil([&] { return WindowName() == name; }, limit);
  }

  // The player's window as on the screen now, 400 by 246.
  static Image WindowPicture() { return Screenshot(kLeft, kTop, kWidth, kHeight); }

  // The window's picture once it holds still (two screenshots in a row
  // alike) and shows what `wanted` asks for; empty when it did not come
  // within `limit`.
  static Image SteadyPicture(const std::function<bool(const Image&)>& wanted, Millis limit = 15s) {
    Image last, steady;
    WaitUntil(
        [&] {
          Image now = WindowPicture();
          const bool done = !now.empty() && now == last && wanted(now);
          last = std::move(now);
          if (done) steady = last;
          return done;
        },
        limit, 150ms);
    return steady;
  }
  static bool HasTrackLine(const Image& window) { return WhiteInBand(window).size() > 50; }

  // A click on a client point of the player's window, which must still be
  // centred where it appeared: a window that moved (a move left on by the
  // window manager, which would then follow the pointer) fails the test here
  // rather than through a click on the wrong spot.
  void ClickHotspot(Point point) {
    MovePointer(kLeft + point.x, kTop + point.y);
    EXPECT_EQ(screen_.GeometryOf(window_), (Geometry{kLeft, kTop, kWidth, kHeight})) << "the player's window moved";
    Click(kLeft + point.x, kTop + point.y);
  }

  // Starts the plain white window and returns its id (empty when it did
  // not come).
  std::string StartOtherWindow() {
    other_ = Spawn({OtherWindowProgram()}, {});
    return Shell("timeout 10 xdotool search --sync --name '^other window$' | head -n1");
  }

  PlayerProgram program_ = PlayerProgram::FromEnvironment();
  XScreen screen_;
  std::string dir_;
  pid_t player_ = -1;
  pid_t other_ = -1;
  unsigned long window_ = 0;
};

}  // namespace e2e
