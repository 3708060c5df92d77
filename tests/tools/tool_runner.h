// Runs a command-line tool as a user runs it, from a working directory, with
// its outputs collected: shared by the tests of quarb-pack, quarb-extract and
// quarb-disk.
//
// The tools built beside the test are run, unless QUARB_TOOLS_DIR names other
// ones: the Windows build runs these same tests on its .exe files, through
// QUARB_TOOL_RUNNER ("wine").
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/process.h"

namespace testing_helpers {

// The exit status (-signal when killed, test_process::kStillRunning when it
// ran past the limit), standard output and standard error.
using ToolResult = test_process::Result;

inline std::string ToolCommand(const std::string& tool) {
  const char* dir = std::getenv("QUARB_TOOLS_DIR");
  const char* runner = std::getenv("QUARB_TOOL_RUNNER");
  if (dir == nullptr || *dir == '\0') return test_process::Quoted(std::string(QUARB_BIN_DIR) + "/" + tool);
  std::string command = test_process::Quoted(std::string(dir) + "/" + tool + ".exe");
  if (runner != nullptr && *runner != '\0') command = std::string(runner) + " " + command;
  return command;
}

// `args` are given to the shell as they stand (quote what needs it). A tool
// that runs on for five minutes is killed. A run that Wine failed before the
// tool could answer is made again, at most twice: the tools write their
// outputs whole or not at all, so a second run finds what the first would.
inline ToolResult RunTool(const std::filesystem::path& dir, const std::string& tool, const std::string& args) {
  const std::string command = "cd " + test_process::Quoted(dir.string()) + " && exec " + ToolCommand(tool) + " " + args;
  ToolResult r = test_process::Run({"/bin/sh", "-c", command}, {}, std::chrono::minutes(5));
  for (int again = 0; again < 2 && test_process::WineClientFailed(r); ++again) {
    r = test_process::Run({"/bin/sh", "-c", command}, {}, std::chrono::minutes(5));
  }
  return r;
}

}  // namespace testing_helpers
