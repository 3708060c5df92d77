// Child processes for the tests and benchmarks that run the real programs:
// starting them with a changed environment, waiting for them with a limit,
// running shell commands and polling for a state.
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

// Starts argv[0] (looked up in PATH when it holds no '/') with `env` changed:
// "NAME=value" sets a variable, a bare "NAME" removes it.
pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env);

// The exit status once the process has ended (-signal when killed), or
// kStillRunning when it runs on past `limit`.
inline constexpr int kStillRunning = -1000;
int WaitExit(pid_t pid, Millis limit);

// Kills and reaps the process if it is still there; sets `pid` to -1.
void Kill(pid_t& pid);

// Polls `done` until it holds or `limit` has passed; whether it held.
bool WaitUntil(const std::function<bool()>& done, Millis limit, Millis every = 100ms);

}  // namespace test_process
