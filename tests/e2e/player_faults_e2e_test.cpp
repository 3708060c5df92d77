// The real player on a virtual X server when its audio output cannot be
// opened: the message box appears on the X server before any window of the
// player, waits for the user, and the process then ends with status 1.
// Runs on the Linux or the Windows player (e2e_player.h), under
// scripts/with-xvfb, which sets DISPLAY.
#include <fstream>
#include <iterator>
#include <thread>

#include "e2e_fixture.h"

namespace e2e {
namespace {

class PlayerFaultsEndToEnd : public PlayerSession {};

TEST_F(PlayerFaultsEndToEnd, WithoutAudioTheMessageBoxWaitsForTheUserAndTheStatusIsOne) {
  player_ = program_.StartWithoutAudio(program_.player(), dir_);
  const unsigned long box = WaitForWindow(screen_, "Oh my...", program_.first_window());
  ASSERT_NE(box, 0u) << "no message box titled \"Oh my...\" appeared";
  if (program_.windows()) {
    // Wine draws the box itself, its text in a control; the box's X window
    // is an ordinary one (Wine marks only owned windows as dialogs).
    const std::vector<std::string> controls = program_.ControlTexts("Oh my...");
    bool found = false;
    std::string all;
    for (const std::string& control : controls) {
      found = found || control == "Static\tUnable to init BASS";
      all += " [" + control + "]";
    }
    EXPECT_TRUE(found) << "the box's controls:" << all;
  } else {
    EXPECT_EQ(screen_.Atoms(box, "_NET_WM_WINDOW_TYPE"), std::vector<std::string>{"_NET_WM_WINDOW_TYPE_DIALOG"});
  }
  EXPECT_EQ(screen_.FindIf(IsPlayerTitle), 0u) << "the message comes before any window of the player";

  // The player waits for the box to be dismissed.
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(PlayerExit(0ms), kStillRunning) << "the player ended while its message was up";

  // Return presses the box's only button, OK.
  PressKeyIn(box, "Return");
  EXPECT_EQ(PlayerExit(), 1);
  EXPECT_EQ(screen_.Find("Oh my..."), 0u) << "the box is gone";
  EXPECT_EQ(screen_.FindIf(IsPlayerTitle), 0u) << "and no window of the player was ever made";
}

// The X server goes away under the running player: it ends at once, with
// status 4 and one line saying why, instead of spinning on the dead
// connection (it used to, for ever, ignoring SIGTERM).
TEST_F(PlayerFaultsEndToEnd, ALostDisplayEndsThePlayerAtOnce) {
  if (program_.windows()) GTEST_SKIP() << "the Linux player's own window system";
  // A server of the test's own, to take away.
  std::string why;
  test_process::XServer server = test_process::StartXvfb(&why);
  ASSERT_GT(server.pid, 0) << why;
  const std::string err = dir_ + "/stderr";
  player_ = Spawn({"/bin/sh", "-c", "exec \"$0\" 2>\"$1\"", program_.player(), err},
                  {"DISPLAY=" + server.display, "SDL_AUDIODRIVER=dummy"});
  std::this_thread::sleep_for(2s);  // its window is up by now
  test_process::Stop(server.pid);
  EXPECT_EQ(PlayerExit(5s), 4);
  std::ifstream in(err);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "quarb: the connection to the display was lost\n");
}

}  // namespace
}  // namespace e2e
