// The real player, built with a damaged disk image in place of the good one,
// run without a display: it stops in order, before any window or sound, with
// exit status 3 and one line on standard error that names the file it could
// not extract. Under the sanitized run a leak would change both.
//
// The Windows build runs the same test on its own damaged players, under
// Wine: QUARB_PLAYER_RUNNER names the program that runs them ("wine"), and
// QUARB_DAMAGED_CUT, _PLAYLIST and _FONT name the players.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <cstdlib>
#include <string>

#include "app/startup.h"

namespace {

struct Run {
  int status = -1;  // exit status, or -signal
  std::string out, err;
};

// The player of a kind: the one named in the environment, or the one built
// beside this test.
std::string Player(const char* variable, const char* built) {
  const char* named = std::getenv(variable);
  return named != nullptr && *named != '\0' ? named : built;
}

// Runs `program` with no display and no window manager to reach, collecting
// both outputs. A player that never ends is killed after a minute.
Run RunWithoutDisplay(const std::string& program) {
  const char* runner = std::getenv("QUARB_PLAYER_RUNNER");
  int out_pipe[2], err_pipe[2];
  if (pipe2(out_pipe, O_CLOEXEC) != 0 || pipe2(err_pipe, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "pipe: " << std::strerror(errno);
    return {};
  }
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out_pipe[1], STDOUT_FILENO);
    dup2(err_pipe[1], STDERR_FILENO);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (runner != nullptr && *runner != '\0')
      execlp(runner, runner, program.c_str(), static_cast<char*>(nullptr));
    else
      execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);

  Run run;
  pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&run.out, &run.err};
  int open_pipes = 2;
  while (open_pipes > 0) {
    int ready = poll(fds, 2, 60000);
    if (ready == 0) {
      ADD_FAILURE() << program << " did not stop";
      kill(pid, SIGKILL);
      break;
    }
    if (ready < 0 && errno == EINTR) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(n));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_pipes;
      }
    }
  }
  for (pollfd& f : fds) {
    if (f.fd >= 0) close(f.fd);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
  return run;
}

void ExpectOrderlyStop(const std::string& program, const std::string& file) {
  SCOPED_TRACE(program);
  Run run = RunWithoutDisplay(program);
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
