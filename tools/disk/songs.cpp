#include "tools/disk/songs.h"

#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <stdexcept>

#include "tools/common/file_io.h"

namespace disk {

namespace fs = std::filesystem;

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return s;
}

// libopenmpt's list of extensions, "mod;s3m;xm;...".
const std::set<std::string>& ModuleExtensions() {
  static const std::set<std::string> extensions = [] {
    std::set<std::string> out;
    const char* list = openmpt_get_supported_extensions();
    std::string all = list ? list : "";
    openmpt_free_string(list);
    size_t start = 0;
    while (start <= all.size()) {
      size_t end = all.find(';', start);
      if (end == std::string::npos) end = all.size();
      if (end > start) out.insert(Lower(all.substr(start, end - start)));
      start = end + 1;
    }
    return out;
  }();
  return extensions;
}

bool HasModuleExtension(const fs::path& path) {
  std::string extension = path.extension().string();
  if (extension.size() < 2) return false;
  return ModuleExtensions().count(Lower(extension.substr(1))) != 0;
}

// A string libopenmpt allocated, copied and freed.
std::string Take(const char* text) {
  std::string out = text ? text : "";
  openmpt_free_string(text);
  return out;
}

}  // namespace

std::vector<std::string> FindSongFiles(const std::vector<std::string>& arguments,
                                       std::vector<std::string>* skipped) {
  std::vector<std::string> files;
  // A file named twice (on its own and in its folder, say) is one song, in
  // its first place.
  std::set<fs::path> seen;
  auto add = [&](const fs::path& path) {
    std::error_code ec;
    fs::path key = fs::weakly_canonical(path, ec);
    if (ec) key = path;
    if (seen.insert(key).second) files.push_back(path.string());
  };
  for (const std::string& argument : arguments) {
    const fs::path path(argument);
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (ec || !fs::exists(status)) throw std::runtime_error(argument + ": no such file or folder");
    if (!fs::is_directory(status)) {
      add(path);
      continue;
    }
    std::vector<fs::path> found;
    for (auto it = fs::recursive_directory_iterator(path, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
      if (!it->is_regular_file()) continue;
      if (HasModuleExtension(it->path())) {
        found.push_back(it->path());
      } else if (skipped != nullptr) {
        skipped->push_back(it->path().string());
      }
    }
    if (ec) throw std::runtime_error(argument + ": " + ec.message());
    // Name order, by the path below the folder, the same on every system.
    std::sort(found.begin(), found.end(), [&](const fs::path& a, const fs::path& b) {
      return a.lexically_relative(path).generic_string() < b.lexically_relative(path).generic_string();
    });
    for (const fs::path& p : found) add(p);
  }
  return files;
}

Song LoadSong(const std::string& path) {
  Song song;
  song.path = path;
  song.archive_name = fs::path(path).filename().string();
  song.bytes = tools::ReadWholeFile(path);
  if (song.bytes.empty()) throw std::runtime_error(path + ": libopenmpt cannot load it: the file is empty");

  int error = 0;
  const char* message = nullptr;
  openmpt_module* module =
      openmpt_module_create_from_memory2(song.bytes.data(), song.bytes.size(), openmpt_log_func_silent, nullptr,
                                         openmpt_error_func_ignore, nullptr, &error, &message, nullptr);
  if (module == nullptr) {
    std::string reason = Take(message);
    if (reason.empty()) reason = Take(openmpt_error_string(error));
    throw std::runtime_error(path + ": libopenmpt cannot load it" + (reason.empty() ? "" : ": " + reason));
  }
  openmpt_free_string(message);
  song.title = Take(openmpt_module_get_metadata(module, "title"));
  song.format = Take(openmpt_module_get_metadata(module, "type"));
  openmpt_module_destroy(module);
  return song;
}

std::string DefaultTitle(const Song& song) {
  // Titles of only blanks count as none: a tracker leaves the field empty so.
  if (song.title.find_first_not_of(" \t") != std::string::npos) {
    size_t end = song.title.find_last_not_of(" \t");
    return song.title.substr(0, end + 1);
  }
  return fs::path(song.path).stem().string();
}

}  // namespace disk
