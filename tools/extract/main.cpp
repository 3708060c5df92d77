// quarb-extract: extracts one file by name from a RAR 2.0 archive, or lists it.
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "archive/archive_format.h"
#include "archive/extract.h"
#include "data/memory_archive.h"
#include "tools/common/file_io.h"
#include "tools/extract/archive_listing.h"

namespace {

const char kUsage[] =
    "usage: quarb-extract [--scrambled] ARCHIVE NAME [-o OUT]\n"
    "       quarb-extract [--scrambled] --list ARCHIVE\n"
    "Extracts the file NAME (case and / or \\ do not matter) to OUT, or to\n"
    "standard output without -o; --list prints every file entry.\n"
    "  --scrambled   the archive is a player image (every byte XORed with 0x5E)\n";

[[noreturn]] void UsageError(const std::string& message) {
  std::fprintf(stderr, "quarb-extract: %s\n%s", message.c_str(), kUsage);
  std::exit(2);
}

std::string MethodName(uint8_t method) {
  if (method == rar::kMethodStored) return "stored";
  if (method >= rar::kMethodFastest && method <= rar::kMethodBest) {
    return "m" + std::to_string(method - rar::kMethodStored);
  }
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%02x", method);
  return buf;
}

void PrintListing(const tools::Listing& listing) {
  std::printf("%-40s %10s %10s %8s %-6s %3s %6s\n", "name", "packed", "unpacked", "crc32", "method",
              "ver", "flags");
  for (const tools::ListedEntry& e : listing.entries) {
    std::printf("%-40s %10" PRIu32 " %10" PRIu32 " %08" PRIx32 " %-6s %3u 0x%04x\n", e.name.c_str(),
                e.packed_size, e.unpacked_size, e.file_crc, MethodName(e.method).c_str(),
                e.version_needed, e.flags);
  }
}

// Why ExtractFile failed, as far as the listing can tell.
std::string Diagnose(const tools::Listing& listing, const std::string& archive, const std::string& name) {
  for (const tools::ListedEntry& e : listing.entries) {
    if (!NamesMatch(e.name.c_str(), name.c_str())) continue;
    if (e.after_old_sub_block) return "'" + e.name + "' lies after an old-style sub-block, which the reader does not walk past";
    if (!rar::VersionSupported(e.version_needed)) {
      return "'" + e.name + "' needs unpack version " + std::to_string(e.version_needed) + ", outside " +
             std::to_string(rar::kMinVersion) + "-" + std::to_string(rar::kMaxVersion);
    }
    if (e.flags & rar::kFileEncrypted) return "'" + e.name + "' is encrypted, which is not supported";
    return "'" + e.name + "' is damaged (its data does not match its CRC-32)";
  }
  if (!listing.damage.empty()) return archive + " is damaged: " + listing.damage;
  return "no file named '" + name + "' in " + archive;
}

}  // namespace

int main(int argc, char** argv) {
  bool scrambled = false, list = false;
  std::string output;
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--scrambled") {
      scrambled = true;
    } else if (arg == "--list" || arg == "-l") {
      list = true;
    } else if (arg == "-o" || arg == "--output") {
      if (i + 1 >= argc) UsageError("-o needs a value");
      output = argv[++i];
    } else if (arg.size() > 1 && arg[0] == '-') {
      UsageError("unknown option " + arg);
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.size() != (list ? 1u : 2u)) UsageError(list ? "--list takes one ARCHIVE" : "need ARCHIVE and NAME");
  const std::string& archive_path = positional[0];

  std::vector<uint8_t> image;
  try {
    image = tools::ReadWholeFile(archive_path);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quarb-extract: %s\n", e.what());
    return 1;
  }
  if (image.size() > rar::kMaxArchiveSize) {
    std::fprintf(stderr, "quarb-extract: %s: archives of 2 GiB or more are not supported\n", archive_path.c_str());
    return 1;
  }
  MemoryArchive archive;
  archive.data = image.data();
  archive.size = static_cast<uint32_t>(image.size());
  if (scrambled) UnscrambleArchiveImage(archive);

  tools::Listing listing = tools::ListArchive(image.data(), image.size());
  if (!listing.is_archive) {
    std::fprintf(stderr, "quarb-extract: %s: not a RAR archive%s\n", archive_path.c_str(),
                 scrambled ? "" : " (a player image needs --scrambled)");
    return 1;
  }
  if (list) {
    PrintListing(listing);
    if (!listing.damage.empty()) {
      std::fprintf(stderr, "quarb-extract: %s is damaged: %s\n", archive_path.c_str(), listing.damage.c_str());
      return 1;
    }
    return 0;
  }

  const std::string& name = positional[1];
  if (name.size() > rar::kMaxNameLength) {
    std::fprintf(stderr, "quarb-extract: names are at most %u bytes long\n", unsigned{rar::kMaxNameLength});
    return 2;
  }
  uint8_t* buffer = nullptr;
  uint32_t size = 0;
  if (!ExtractFile(&buffer, &size, name.c_str(), &archive, nullptr)) {
    std::fprintf(stderr, "quarb-extract: %s\n", Diagnose(listing, archive_path, name).c_str());
    return 1;
  }
  int status = 0;
  try {
    if (output.empty() || output == "-") {
      tools::WriteStandardOutput(buffer, size);
    } else {
      tools::WriteFileAtomically(output, buffer, size);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quarb-extract: %s\n", e.what());
    status = 1;
  }
  std::free(buffer);
  return status;
}
