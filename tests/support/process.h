// Child processes for the tests and benchmarks that run the real programs:
// starting them with a changed environment, running them to the end with
// their outputs collected, waiting for them with a limit, stopping them,
// running shell commands, starting an X server of one's own and polling for
// a state.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace test_process {

using namespace std::chrono_literals;
using Millis = std::chrono::milliseconds;

// Runs a shell command and returns its standard output without the trailing
// line ends.
std::string Shell(const std::string& command);

// The text in single quotes for the shell.
std::string Quoted(const std::string& text);

// Whether `program` names an executable file: one in a folder of PATH when it
// holds no '/'.
bool OnPath(const std::string& program);

// Starts argv[0] (looked up in PATH when it holds no '/') with `env` changed:
// "NAME=value" sets a variable, a bare "NAME" removes it. The child inherits
// the standard streams. -1 when no process could be made; a program that
// cannot be run ends with status 127.
pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env);

// The exit status once the process has ended (-signal when killed), or
// kStillRunning when it runs on past `limit` (a limit of 0 asks without
// waiting). A pid of -1 (no process) gives kStillRunning at once.
inline constexpr int kStillRunning = -1000;
int WaitExit(pid_t pid, Millis limit);

// Kills and reaps the process if it is still there; sets `pid` to -1.
void Kill(pid_t& pid);

// Asks the process to end (SIGTERM), kills it if it is still there after
// `grace`, and reaps it; sets `pid` to -1.
void Stop(pid_t& pid, Millis grace = 1s);

// A program run to its end: its exit status (-signal when killed), or
// kStillRunning when it ran on past the limit and was killed for it; what it
// wrote on standard output and standard error.
struct Result {
  int status = kStillRunning;
  std::string out, err;
};

// Runs argv as Spawn does, with standard input empty and both outputs
// collected, and waits for it for up to `limit`. A child that could not be
// started has status 127 and the reason in `err`.
Result Run(const std::vector<std::string>& argv, const std::vector<std::string>& env, Millis limit);

// True when Wine itself failed a run: its client lost the connection to the
// prefix's wineserver ("wine client error:0: recvmsg: Connection reset by
// peer"), which happens now and then when the server of an idle prefix
// exits just as a program starts, with tests running side by side. Such a
// run is worth making again; the program never started.
inline bool WineClientFailed(const Result& r) {
  return r.status != 0 && r.err.find("wine client error") != std::string::npos;
}

// A virtual X server: its process, and its display as ":N".
struct XServer {
  pid_t pid = -1;
  std::string display;
};

// Starts Xvfb (one 1024x768x24 screen, no TCP) on a display number of its own
// choosing and waits until it accepts clients, for up to `limit`. Stop the
// server with Stop(server.pid). On failure the pid is -1 and `why` says what
// went wrong; nothing is left running.
XServer StartXvfb(std::string* why, Millis limit = 10s);

// Polls `done` until it holds or `limit` has passed; whether it held.
bool WaitUntil(const std::function<bool()>& done, Millis limit, Millis every = 100ms);

}  // namespace test_process
