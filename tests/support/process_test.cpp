// The child-process helper as the tests and benchmarks use it: outputs kept
// apart and read whole, statuses, limits, environment changes, stopping, and
// an X server of one's own.
#include "tests/support/process.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <string>

namespace {

using namespace test_process;
using Clock = std::chrono::steady_clock;

Millis Since(Clock::time_point start) { return std::chrono::duration_cast<Millis>(Clock::now() - start); }

TEST(Run, KeepsBothOutputsApartAndWholeWithTheExitStatus) {
  // More than a pipe holds on each stream, standard error while standard
  // output is still open: a reader of one stream at a time would stall.
  const Result run = test_process::Run({"/bin/sh", "-c",
                          "yes out | head -c 300000; yes err | head -c 200000 >&2; cat; echo end; exit 3"},
                         {}, 30s);
  EXPECT_EQ(run.status, 3);
  ASSERT_EQ(run.out.size(), 300000u + 4) << "standard input is empty, so cat adds nothing";
  EXPECT_EQ(run.out.substr(0, 8), "out\nout\n");
  EXPECT_EQ(run.out.substr(run.out.size() - 4), "end\n");
  ASSERT_EQ(run.err.size(), 200000u);
  EXPECT_EQ(run.err.find("out"), std::string::npos);
}

TEST(Run, SignalsMissingProgramsAndLimitsAreTold) {
  EXPECT_EQ(test_process::Run({"/bin/sh", "-c", "kill -TERM $$"}, {}, 10s).status, -SIGTERM);
  EXPECT_EQ(test_process::Run({"quarb-no-such-program"}, {}, 10s).status, 127);

  const auto start = Clock::now();
  const Result run = test_process::Run({"/bin/sh", "-c", "echo started; exec sleep 30"}, {}, 300ms);
  EXPECT_EQ(run.status, kStillRunning);
  EXPECT_EQ(run.out, "started\n") << "what came before the limit is kept";
  EXPECT_LT(Since(start), 5s);
}

TEST(Run, EndsWithTheChildEvenWhenWhatItStartedHoldsTheOutputsOpen) {
  const auto start = Clock::now();
  const Result run = test_process::Run({"/bin/sh", "-c", "sleep 20 & echo $!"}, {}, 30s);
  EXPECT_LT(Since(start), 5s);
  EXPECT_EQ(run.status, 0);
  ASSERT_FALSE(run.out.empty());
  kill(std::atoi(run.out.c_str()), SIGKILL);
}

TEST(Run, ChangesOnlyTheNamedVariables) {
  setenv("QUARB_PT_GONE", "x", 1);
  setenv("QUARB_PT_GONE_NOT", "kept", 1);
  const Result run = test_process::Run({"/bin/sh", "-c", "echo \"$QUARB_PT_SET|${QUARB_PT_GONE-unset}|$QUARB_PT_GONE_NOT\""},
                         {"QUARB_PT_SET=a=b", "QUARB_PT_GONE"}, 10s);
  EXPECT_EQ(run.out, "a=b|unset|kept\n");
  EXPECT_STREQ(std::getenv("QUARB_PT_GONE"), "x") << "this process's own environment is left alone";
  unsetenv("QUARB_PT_GONE");
  unsetenv("QUARB_PT_GONE_NOT");
}

TEST(Processes, StopKillsWhatIgnoresTheRequestAndWaitsForNoOtherChild) {
  // A child that ignores SIGTERM is killed once the grace has passed, and
  // reaped.
  pid_t stubborn = Spawn({"/bin/sh", "-c", "trap '' TERM; exec sleep 30"}, {});
  ASSERT_GT(stubborn, 0);
  const pid_t was = stubborn;
  const std::string comm = "/proc/" + std::to_string(was) + "/comm";
  ASSERT_TRUE(WaitUntil([&] { return Shell("cat " + comm + " 2>/dev/null") == "sleep"; }, 5s, 10ms))
      << "the shell set its trap and became sleep";
  const auto start = Clock::now();
  Stop(stubborn, 300ms);
  EXPECT_GE(Since(start), 300ms) << "SIGTERM was not ignored: the test proves nothing";
  EXPECT_LT(Since(start), 5s);
  EXPECT_EQ(stubborn, -1);
  EXPECT_EQ(waitpid(was, nullptr, WNOHANG), -1) << "reaped already";

  // No process to wait for does not take another child's status.
  pid_t done = Spawn({"/bin/sh", "-c", "exit 5"}, {});
  ASSERT_GT(done, 0);
  ASSERT_TRUE(WaitUntil(
      [done] {
        siginfo_t info{};
        return waitid(P_PID, done, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == done;
      },
      5s, 10ms));
  EXPECT_EQ(WaitExit(-1, 200ms), kStillRunning);
  EXPECT_EQ(WaitExit(done, 5s), 5);
}

TEST(Processes, OnPathFindsOnlyExecutableFiles) {
  EXPECT_TRUE(OnPath("sh"));
  EXPECT_TRUE(OnPath("/bin/sh"));
  EXPECT_FALSE(OnPath("quarb-no-such-program"));
  EXPECT_FALSE(OnPath("/etc/passwd"));
  EXPECT_FALSE(OnPath("/bin"));
  EXPECT_FALSE(OnPath(""));
}

TEST(Processes, AnXServerOfOnesOwnServesClientsUntilStopped) {
  if (!OnPath("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
  std::string why;
  XServer server = StartXvfb(&why);
  ASSERT_GT(server.pid, 0) << why;
  ASSERT_EQ(server.display.substr(0, 1), ":");
  EXPECT_EQ(test_process::Run({"xprop", "-root", "-display", server.display}, {}, 10s).status, 0);
  Stop(server.pid);
  EXPECT_EQ(server.pid, -1);
  EXPECT_NE(test_process::Run({"xprop", "-root", "-display", server.display}, {}, 10s).status, 0);
}

}  // namespace
