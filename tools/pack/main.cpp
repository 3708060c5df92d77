// quarb-pack: writes a RAR 2.0 archive of the given files.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/common/file_io.h"
#include "tools/pack/archive_writer.h"

namespace {

const char kUsage[] =
    "usage: quarb-pack -o OUT [options] [-C DIR] [--name-as NAME] FILE...\n"
    "Writes a RAR 2.0 archive holding the FILEs (directories are added with\n"
    "everything below them).\n"
    "  -o, --output OUT        the archive to write (replaced atomically)\n"
    "  -0                      store files uncompressed (the default)\n"
    "  -1 ... -5               compress: -1 fastest, -5 smallest; outside solid\n"
    "                          archives a file that does not shrink is stored\n"
    "  --solid                 mark the archive solid\n"
    "  --signature KIND        'standard' (Rar!) or 'alternative' (KwindE!)\n"
    "  --scramble              XOR every byte with 0x5E, as the player embeds it\n"
    "  -C DIR                  read the FILEs that follow relative to DIR\n"
    "  --name-as NAME          store the next FILE under NAME\n"
    "  -q, --quiet             no progress report on standard error\n"
    "The file times come from SOURCE_DATE_EPOCH when it is set, else from the files.\n";

// Inputs smaller than this are packed without a progress report.
constexpr uint64_t kProgressThreshold = 4u << 20;

struct Source {
  std::string path;  // on disk
  std::string name;  // in the archive
};

[[noreturn]] void UsageError(const std::string& message) {
  std::fprintf(stderr, "quarb-pack: %s\n%s", message.c_str(), kUsage);
  std::exit(2);
}

std::string CleanName(std::string name) {
  while (name.rfind("./", 0) == 0) name.erase(0, 2);
  while (!name.empty() && name[0] == '/') name.erase(0, 1);
  return name;
}

void AddPath(const std::string& dir, const std::string& arg, const std::string& name_as,
             std::vector<Source>& out) {
  std::filesystem::path path = dir.empty() ? std::filesystem::path(arg) : std::filesystem::path(dir) / arg;
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    if (!name_as.empty()) UsageError("--name-as names one file, not the directory " + arg);
    std::vector<Source> found;
    for (auto it = std::filesystem::recursive_directory_iterator(path, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
      if (!it->is_regular_file()) continue;
      // With "/" between the parts on every system.
      std::string relative = (std::filesystem::path(arg) / it->path().lexically_relative(path)).generic_string();
      found.push_back({it->path().string(), CleanName(relative)});
    }
    if (ec) throw std::runtime_error(path.string() + ": " + ec.message());
    std::sort(found.begin(), found.end(), [](const Source& a, const Source& b) { return a.name < b.name; });
    out.insert(out.end(), found.begin(), found.end());
    return;
  }
  out.push_back({path.string(), name_as.empty() ? CleanName(arg) : name_as});
}

int64_t FileTime(const std::string& path) {
  if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH")) return std::strtoll(epoch, nullptr, 10);
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 ? st.st_mtime : 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string output;
  pack::PackOptions options;
  std::vector<Source> sources;
  std::string dir, name_as;
  bool quiet = false;
  int shown = -1;  // percentage last reported, -1 before the first report
  try {
    for (int i = 1; i < argc; ++i) {
      std::string arg = argv[i];
      auto value = [&](const char* what) -> std::string {
        if (i + 1 >= argc) UsageError(std::string(what) + " needs a value");
        return argv[++i];
      };
      if (arg == "-h" || arg == "--help") {
        std::fputs(kUsage, stdout);
        return 0;
      } else if (arg == "-o" || arg == "--output") {
        output = value("-o");
      } else if (arg.size() == 2 && arg[0] == '-' && arg[1] >= '0' && arg[1] <= '9') {
        if (arg[1] > '5') UsageError("unknown level " + arg + " (-0 to -5)");
        options.level = arg[1] - '0';
      } else if (arg == "-q" || arg == "--quiet") {
        quiet = true;
      } else if (arg == "--solid") {
        options.solid = true;
      } else if (arg == "--scramble") {
        options.scramble = true;
      } else if (arg == "--signature") {
        std::string kind = value("--signature");
        if (kind == "standard") options.signature = pack::Signature::kStandard;
        else if (kind == "alternative") options.signature = pack::Signature::kAlternative;
        else UsageError("unknown signature '" + kind + "' (standard or alternative)");
      } else if (arg == "-C") {
        dir = value("-C");
      } else if (arg == "--name-as") {
        name_as = value("--name-as");
      } else if (arg.size() > 1 && arg[0] == '-') {
        UsageError("unknown option " + arg);
      } else {
        AddPath(dir, arg, name_as, sources);
        name_as.clear();
      }
    }
    if (output.empty()) UsageError("no output archive (-o OUT)");
    if (sources.empty()) UsageError("no files to pack");
    if (!name_as.empty()) UsageError("--name-as " + name_as + " is not followed by a file");

    std::vector<pack::InputFile> files;
    for (const Source& s : sources) {
      files.push_back({pack::ArchiveName(s.name), tools::ReadWholeFile(s.path), pack::DosTime(FileTime(s.path))});
    }
    uint64_t total = 0;
    for (const pack::InputFile& f : files) total += f.data.size();
    pack::Progress progress;
    const bool report = !quiet && options.level > 0 && total >= kProgressThreshold;
    if (report) {
      progress = [&](uint64_t done, uint64_t all) {
        int percent = all ? static_cast<int>(done * 100 / all) : 100;
        if (percent == shown) return;
        shown = percent;
        std::fprintf(stderr, "\rquarb-pack: %3d%% of %.1f MiB", percent, all / 1048576.0);
        std::fflush(stderr);
      };
    }
    pack::Bytes archive = pack::BuildArchive(files, options, progress);
    if (report) std::fprintf(stderr, "\n");
    tools::WriteFileAtomically(output, archive.data(), archive.size());
  } catch (const std::exception& e) {
    if (shown >= 0) std::fputc('\n', stderr);
    std::fprintf(stderr, "quarb-pack: %s\n", e.what());
    return 1;
  }
  return 0;
}
