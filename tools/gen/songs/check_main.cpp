// quarb-songcheck: renders modules as the player would and reports what a
// listener would notice.
//
//   quarb-songcheck [--wav DIR] MODULE...
//
// Exits 1 when a module does not load, clips, has a gap of silence longer
// than two seconds, or plays for less than 60 or more than 180 seconds.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/common/file_io.h"
#include "tools/gen/songs/analysis.h"

int main(int argc, char** argv) {
  std::string wav_dir;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--wav" && i + 1 < argc) wav_dir = argv[++i];
    else if (!arg.empty() && arg[0] == '-') {
      std::fprintf(stderr, "usage: quarb-songcheck [--wav DIR] MODULE...\n");
      return 2;
    } else files.push_back(arg);
  }
  if (files.empty()) {
    std::fprintf(stderr, "usage: quarb-songcheck [--wav DIR] MODULE...\n");
    return 2;
  }
  int status = 0;
  std::printf("%-22s %4s %7s %6s %6s %7s %7s %7s %6s\n", "file", "chan", "length", "peak", "rms", "quiet s",
              "silence", "clipped", "R-L");
  for (const std::string& file : files) {
    try {
      std::string wav;
      if (!wav_dir.empty()) wav = (std::filesystem::path(wav_dir) / std::filesystem::path(file).filename()).string() + ".wav";
      songs::Analysis a = songs::AnalyseModule(tools::ReadWholeFile(file), wav);
      bool bad = a.clipped > 0 || a.longest_silence > 2.0 || a.duration < 60 || a.duration > 180;
      std::printf("%-22s %4d %6.1fs %6.3f %6.3f %7.4f %6.2fs %7lld %6.2f%s\n",
                  std::filesystem::path(file).filename().c_str(), a.channels, a.duration, a.peak, a.rms,
                  a.quietest_second, a.longest_silence, static_cast<long long>(a.clipped), a.balance,
                  bad ? "  <- check" : "");
      if (bad) status = 1;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s: %s\n", file.c_str(), e.what());
      status = 1;
    }
  }
  return status;
}
