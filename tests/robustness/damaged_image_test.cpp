// The real player, built with a damaged disk image in place of the good one,
// run without a display: it stops in order, before any window or sound, with
// exit status 3 and one line on standard error that names the file it could
// not extract. Under the sanitized run a leak would change both.
//
// The Windows build runs the same test on its own damaged players, under
// Wine: QUARB_PLAYER_RUNNER names the program that runs them ("wine"), and
// QUARB_DAMAGED_CUT, _PLAYLIST and _FONT name the players.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/startup.h"
#include "tests/support/process.h"

namespace {

// The player of a kind: the one named in the environment, or the one built
// beside this test.
std::string Player(const char* variable, const char* built) {
  const char* named = std::getenv(variable);
  return named != nullptr && *named != '\0' ? named : built;
}

// Runs `program` with no display and no window manager to reach, collecting
// both outputs. A player that never ends is killed after a minute. A run
// that Wine itself failed before the player could start is made again, at
// most twice; the player's own failures stand.
test_process::Result RunWithoutDisplay(const std::string& program) {
  const char* runner = std::getenv("QUARB_PLAYER_RUNNER");
  std::vector<std::string> argv{program};
  if (runner != nullptr && *runner != '\0') argv.insert(argv.begin(), runner);
  auto run_once = [&] {
    return test_process::Run(argv, {"DISPLAY", "WAYLAND_DISPLAY", "SDL_AUDIODRIVER=dummy"},
                             std::chrono::minutes(1));
  };
  test_process::Result run = run_once();
  for (int again = 0; again < 2 && test_process::WineClientFailed(run); ++again) run = run_once();
  if (run.status == test_process::kStillRunning) ADD_FAILURE() << program << " did not stop within a minute";
  return run;
}

void ExpectOrderlyStop(const std::string& program, const std::string& file) {
  SCOPED_TRACE(program);
  const test_process::Result run = RunWithoutDisplay(program);
  EXPECT_EQ(run.status, kExitNoContent) << run.err;
  EXPECT_EQ(run.out, "");
  ASSERT_FALSE(run.err.empty());
  EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "more than one line:\n" << run.err;
  EXPECT_NE(run.err.find("\"" + file + "\""), std::string::npos) << run.err;
}

TEST(DamagedImage, CutShortStopsAtThePlaylist) {
  ExpectOrderlyStop(Player("QUARB_DAMAGED_CUT", QUARB_DAMAGED_CUT), "playlist.csv");
}

TEST(DamagedImage, AFlippedBitInThePlaylistStopsAtThePlaylist) {
  ExpectOrderlyStop(Player("QUARB_DAMAGED_PLAYLIST", QUARB_DAMAGED_PLAYLIST), "playlist.csv");
}

TEST(DamagedImage, AFlippedBitInTheFontStopsAtTheFontAfterThePlaylistWasRead) {
  ExpectOrderlyStop(Player("QUARB_DAMAGED_FONT", QUARB_DAMAGED_FONT), "font.fnt");
}

}  // namespace
