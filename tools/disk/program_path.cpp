#include "tools/disk/program_path.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

#include <filesystem>
#include <stdexcept>
#include <vector>

namespace disk {

namespace fs = std::filesystem;

namespace {

// The folder of the running program.
fs::path ProgramFolder(const char* argv0) {
#ifdef _WIN32
  char path[MAX_PATH * 4];
  const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  if (n > 0 && n < sizeof path) return fs::path(std::string(path, n)).parent_path();
#else
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) return self.parent_path();
#endif
  return argv0 != nullptr ? fs::absolute(fs::path(argv0)).parent_path() : fs::current_path();
}

}  // namespace

std::string FindPlayer(Target target, const char* argv0) {
  const std::string name = target == Target::kLinux ? "quarb" : "quarb.exe";
  const fs::path folder = ProgramFolder(argv0);
  const std::vector<fs::path> places = {folder / name, folder / ".." / "lib" / "quarb" / name};
  std::string looked;
  for (const fs::path& place : places) {
    std::error_code ec;
    if (fs::is_regular_file(place, ec)) return place.lexically_normal().string();
    looked += (looked.empty() ? "" : ", ") + place.lexically_normal().string();
  }
  throw std::runtime_error(std::string("no prebuilt player for ") +
                           (target == Target::kLinux ? "Linux" : "Windows") + " (looked for " + looked +
                           "); name one with --player");
}

}  // namespace disk
