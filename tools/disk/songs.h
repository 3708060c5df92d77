// The songs of a disk: module files named on the command line, or found in
// folders, each loaded once with libopenmpt to prove the player can play it
// and to read its title.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace disk {

struct Song {
  std::string path;          // where it was read
  std::string archive_name;  // its name in the disk's archive: the file name
  std::vector<uint8_t> bytes;
  std::string title;         // the module's own title (UTF-8), or empty
  std::string format;        // libopenmpt's short name of the format ("xm", ...)
};

// The module files the arguments name, in order: a file as it is, a folder
// as the module files in it and in its subfolders, in name order. Files in a
// folder whose extension is no module format libopenmpt knows are left out
// and listed in `skipped`. A file named twice is taken once. Throws std::runtime_error ("PATH: reason") for a
// path that does not exist.
std::vector<std::string> FindSongFiles(const std::vector<std::string>& arguments,
                                       std::vector<std::string>* skipped);

// Reads and loads one song. Throws std::runtime_error ("PATH: reason") when
// it cannot be read or libopenmpt cannot load it.
Song LoadSong(const std::string& path);

// The title a playlist entry gets without a playlist of the user's: the
// module's own, else the file name without its extension.
std::string DefaultTitle(const Song& song);

}  // namespace disk
