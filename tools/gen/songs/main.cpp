// quarb-gen-songs: writes the disk's songs and playlist.
//
//   quarb-gen-songs DISK_DIR     writes DISK_DIR/songs/* and DISK_DIR/playlist.csv
//
// Every file is written whole or not at all. Harmony warnings from the scores
// are printed for the composer; they do not stop the run.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "tools/common/file_io.h"
#include "tools/gen/songs/disk.h"

int main(int argc, char** argv) {
  if (argc != 2 || argv[1][0] == '-') {
    std::fprintf(stderr, "usage: quarb-gen-songs DISK_DIR\n");
    return 2;
  }
  std::filesystem::path disk = argv[1];
  try {
    std::filesystem::create_directories(disk / "songs");
    std::string playlist;
    for (const songs::Song& song : songs::DiskSongs()) {
      std::vector<std::string> warnings;
      songs::Module module = songs::Compile(song, &warnings);
      songs::Bytes bytes = songs::WriteSong(module, song.format);
      tools::WriteFileAtomically((disk / "songs" / song.file).string(), bytes.data(), bytes.size());
      for (const std::string& w : warnings) std::fprintf(stderr, "  warning: %s\n", w.c_str());
      std::printf("songs/%-16s %7zu bytes  %3zu patterns  %5.1f s  %s\n", song.file.c_str(), bytes.size(),
                  module.patterns.size(), songs::PlayingSeconds(song), song.title.c_str());
      // The archive stores names with DOS separators; the player matches either.
      playlist += song.title + ";songs\\" + song.file + "\n";
    }
    tools::WriteFileAtomically((disk / "playlist.csv").string(),
                               reinterpret_cast<const uint8_t*>(playlist.data()), playlist.size());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quarb-gen-songs: %s\n", e.what());
    return 1;
  }
  return 0;
}
