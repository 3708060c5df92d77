// Runs a command-line tool as a user runs it, from a working directory, with
// its outputs collected: shared by the tests of quarb-pack and quarb-extract.
//
// The tools built beside the test are run, unless QUARB_TOOLS_DIR names other
// ones: the Windows build runs these same tests on its .exe files, through
// QUARB_TOOL_RUNNER ("wine").
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/common/file_io.h"

namespace testing_helpers {

struct ToolResult {
  int status;
  std::string out;
  std::string err;
};

inline std::string ToolCommand(const std::string& tool) {
  const char* dir = std::getenv("QUARB_TOOLS_DIR");
  const char* runner = std::getenv("QUARB_TOOL_RUNNER");
  if (dir == nullptr || *dir == '\0') return "'" + std::string(QUARB_BIN_DIR) + "/" + tool + "'";
  std::string command = "'" + std::string(dir) + "/" + tool + ".exe'";
  if (runner != nullptr && *runner != '\0') command = std::string(runner) + " " + command;
  return command;
}

// `args` are given to the shell as they stand (quote what needs it).
inline ToolResult RunTool(const std::filesystem::path& dir, const std::string& tool, const std::string& args) {
  const std::string out = (dir / "stdout").string(), err = (dir / "stderr").string();
  const std::string command =
      "cd '" + dir.string() + "' && " + ToolCommand(tool) + " " + args + " >'" + out + "' 2>'" + err + "'";
  const int raw = std::system(command.c_str());
  auto text = [](const std::string& path) {
    std::vector<uint8_t> b = tools::ReadWholeFile(path);
    return std::string(b.begin(), b.end());
  };
  ToolResult r{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, text(out), text(err)};
  std::filesystem::remove(out);
  std::filesystem::remove(err);
  return r;
}

}  // namespace testing_helpers
