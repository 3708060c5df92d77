// quarb-disk: turns a folder of modules into a standalone player, from the
// prebuilt players shipped beside it, with no compiler.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "data/font_descriptor.h"
#include "tools/common/file_io.h"
#include "tools/disk/defaults.h"
#include "tools/disk/pictures.h"
#include "tools/disk/player_image.h"
#include "tools/disk/playlist_text.h"
#include "tools/disk/program_path.h"
#include "tools/disk/songs.h"
#include "tools/pack/archive_writer.h"

namespace fs = std::filesystem;

namespace {

const char kUsage[] =
    "usage: quarb-disk -o OUT [options] SONGS...\n"
    "Writes a standalone player of the SONGS (module files, or folders of them).\n"
    "  -o, --output OUT       the player to write (replaced atomically)\n"
    "  --target SYSTEM        'linux' or 'windows' (default: this system's)\n"
    "  --playlist FILE        'title;file name' lines (default: one entry a song,\n"
    "                         in the order given, titled with the module's title)\n"
    "  --skin FILE.bmp        a 400 by 246 skin (default: the built-in one)\n"
    "  --key-colour RRGGBB    pixels of this colour of the skin are outside the window\n"
    "  --mask FILE.bmp        a black-and-white picture of the skin's size:\n"
    "                         white inside the window, black outside\n"
    "  --font FILE.fnt        a font descriptor; its page (128 by 128, 8 bits a\n"
    "                         pixel) is the BMP its 'page' line names\n"
    "  --icon FILE.ico        the window's icon\n"
    "  --player FILE          the prebuilt player to start from (default: the one\n"
    "                         shipped beside quarb-disk)\n"
    "  -q, --quiet            report nothing but errors\n"
    "Without --key-colour or --mask the window keeps the built-in shape.\n";

constexpr uint64_t kProgressThreshold = 4u << 20;

struct Options {
  std::string output;
  disk::Target target =
#ifdef _WIN32
      disk::Target::kWindows;
#else
      disk::Target::kLinux;
#endif
  std::string playlist, skin, mask, key_colour, font, icon, player;
  bool quiet = false;
  std::vector<std::string> songs;
};

[[noreturn]] void UsageError(const std::string& message) {
  std::fprintf(stderr, "quarb-disk: %s\n%s", message.c_str(), kUsage);
  std::exit(2);
}

void Note(const Options& o, const std::string& text) {
  if (!o.quiet) std::fprintf(stderr, "quarb-disk: %s\n", text.c_str());
}

Options ParseArguments(int argc, char** argv) {
  Options o;
  bool only_songs = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) UsageError(arg + " needs a value");
      return argv[++i];
    };
    if (only_songs || arg.empty() || arg[0] != '-' || arg == "-") {
      o.songs.push_back(arg);
    } else if (arg == "--") {
      only_songs = true;
    } else if (arg == "-h" || arg == "--help") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    } else if (arg == "-o" || arg == "--output") {
      o.output = value();
    } else if (arg == "--target") {
      const std::string t = value();
      if (t == "linux") o.target = disk::Target::kLinux;
      else if (t == "windows") o.target = disk::Target::kWindows;
      else UsageError("unknown target '" + t + "' (linux or windows)");
    } else if (arg == "--playlist") {
      o.playlist = value();
    } else if (arg == "--skin") {
      o.skin = value();
    } else if (arg == "--mask") {
      o.mask = value();
    } else if (arg == "--key-colour" || arg == "--key-color") {
      o.key_colour = value();
    } else if (arg == "--font") {
      o.font = value();
    } else if (arg == "--icon") {
      o.icon = value();
    } else if (arg == "--player") {
      o.player = value();
    } else if (arg == "-q" || arg == "--quiet") {
      o.quiet = true;
    } else {
      UsageError("unknown option " + arg);
    }
  }
  if (o.output.empty()) UsageError("no output (-o OUT)");
  if (!o.mask.empty() && !o.key_colour.empty()) UsageError("--mask and --key-colour exclude each other");
  if (o.songs.empty()) UsageError("no songs");
  return o;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return s;
}

std::string ReadText(const std::string& path) {
  std::vector<uint8_t> bytes = tools::ReadWholeFile(path);
  return std::string(bytes.begin(), bytes.end());
}

// The font: the descriptor and its page, checked as the player reads them.
struct Font {
  std::vector<uint8_t> descriptor;
  GlyphTable glyphs{};
  std::vector<uint8_t> page;  // bitmap resource 168
};

Font LoadFont(const Options& o) {
  Font font;
  std::string page_path;
  std::vector<uint8_t> page_file;
  if (o.font.empty()) {
    font.descriptor = disk_defaults::FontDescriptor();
    page_path = "the built-in font page";
    page_file = disk_defaults::FontPage();
  } else {
    font.descriptor = tools::ReadWholeFile(o.font);
  }
  const char* text = reinterpret_cast<const char*>(font.descriptor.data());
  const uint32_t length = static_cast<uint32_t>(font.descriptor.size());
  std::vector<uint32_t> refused;
  ParseFontDescriptor(text, length, font.glyphs, &refused);
  const std::string name = o.font.empty() ? "the built-in font" : o.font;
  if (!refused.empty())
    throw std::runtime_error(name + ":" + std::to_string(refused.front()) +
                             ": a char line the player cannot read (it needs char id= x= y= width= height= "
                             "xoffset= yoffset= xadvance=, with an id from 0 to 254)");
  bool any = false;
  for (const GlyphMetrics& g : font.glyphs.glyphs) any = any || g.xadvance != 0 || g.width != 0;
  if (!any) throw std::runtime_error(name + ": no char lines: the font draws nothing");

  if (!o.font.empty()) {
    // The page is the file its "page" line names, beside the descriptor.
    const std::string descriptor(text, length);
    const size_t page = descriptor.find("\npage ");
    const size_t file = page == std::string::npos ? page : descriptor.find("file=\"", page);
    const size_t end = file == std::string::npos ? file : descriptor.find('"', file + 6);
    if (end == std::string::npos || descriptor.find('\n', page + 1) < end)
      throw std::runtime_error(o.font + ": no page line naming the font page (page id=0 file=\"...\")");
    page_path = (fs::path(o.font).parent_path() / descriptor.substr(file + 6, end - file - 6)).string();
    page_file = tools::ReadWholeFile(page_path);
  }
  const disk::Picture picture = disk::ReadBmp(page_path, page_file);
  if (picture.width != 128 || picture.height != 128 || picture.bits_per_pixel != 8)
    throw std::runtime_error(page_path + ": the font page is " + std::to_string(picture.width) + " by " +
                             std::to_string(picture.height) + " with " + std::to_string(picture.bits_per_pixel) +
                             " bits a pixel; the player needs 128 by 128 with 8");
  font.page = disk::BitmapResource(picture);
  return font;
}

std::vector<disk::Song> LoadSongs(const Options& o) {
  std::vector<std::string> skipped;
  const std::vector<std::string> files = disk::FindSongFiles(o.songs, &skipped);
  for (const std::string& s : skipped) Note(o, "not a module, left out: " + s);
  if (files.empty()) throw std::runtime_error("no songs: no module files among the songs given");
  std::vector<disk::Song> songs;
  // Names in the archive compare without regard to case, as the player's do;
  // the playlist and the font descriptor have theirs.
  std::map<std::string, std::string> taken = {{"playlist.csv", "the playlist"}, {"font.fnt", "the font"}};
  for (const std::string& file : files) {
    disk::Song song = disk::LoadSong(file);
    auto [it, fresh] = taken.emplace(Lower(song.archive_name), file);
    if (!fresh)
      throw std::runtime_error(file + ": the disk already has a file named " + song.archive_name + " (" +
                               it->second + ")");
    songs.push_back(std::move(song));
  }
  return songs;
}

std::vector<disk::Entry> MakeEntries(const Options& o, const std::vector<disk::Song>& songs, const Font& font) {
  std::vector<disk::Entry> entries;
  if (o.playlist.empty()) {
    for (const disk::Song& s : songs) entries.push_back({disk::DefaultTitle(s), s.archive_name});
  } else {
    entries = disk::ParsePlaylistFile(o.playlist, ReadText(o.playlist));
    // An entry names a song by its file name, with or without the folders
    // before it.
    std::map<std::string, std::string> by_name;
    for (const disk::Song& s : songs) by_name[Lower(s.archive_name)] = s.archive_name;
    std::vector<bool> used(songs.size());
    for (size_t i = 0; i < entries.size(); ++i) {
      std::string name = entries[i].file_name;
      const size_t slash = name.find_last_of("/\\");
      if (slash != std::string::npos) name = name.substr(slash + 1);
      auto it = by_name.find(Lower(name));
      if (it == by_name.end())
        throw std::runtime_error(o.playlist + ": entry " + std::to_string(i + 1) + " names " +
                                 entries[i].file_name + ", which is none of the songs");
      entries[i].file_name = it->second;
    }
    for (const disk::Song& s : songs) {
      const bool listed = std::any_of(entries.begin(), entries.end(),
                                      [&](const disk::Entry& e) { return e.file_name == s.archive_name; });
      if (!listed) Note(o, s.path + " is in no entry of the playlist: packed, but never played");
    }
  }
  for (disk::Entry& e : entries) {
    std::vector<std::string> replaced;
    const std::string shown = disk::ToPlayerText(e.title, font.glyphs, &replaced);
    for (const std::string& r : replaced)
      Note(o, "title \"" + e.title + "\" (" + e.file_name + "): " + r + " cannot be shown, replaced by '?'");
    e.title = shown;
  }
  disk::CheckEntries(entries);
  return entries;
}

disk::DiskResources LoadPictures(const Options& o, disk::DiskResources r) {
  const std::string skin_path = o.skin.empty() ? "the built-in skin" : o.skin;
  const disk::Picture skin =
      disk::ReadBmp(skin_path, o.skin.empty() ? disk_defaults::Skin() : tools::ReadWholeFile(o.skin));
  if (skin.width != 400 || skin.height != 246)
    throw std::runtime_error(skin_path + ": the skin is " + std::to_string(skin.width) + " by " +
                             std::to_string(skin.height) + "; the player's is 400 by 246");
  r.skin = disk::BitmapResource(skin);
  if (!o.key_colour.empty()) {
    r.region = disk::RegionData(disk::RegionFromKeyColour(skin, disk::ParseColour(o.key_colour)));
  } else if (!o.mask.empty()) {
    const disk::Picture mask = disk::ReadBmp(o.mask, tools::ReadWholeFile(o.mask));
    r.region = disk::RegionData(disk::RegionFromMask(mask, skin, o.mask));
  } else {
    r.region = disk_defaults::Region();
  }
  if (o.icon.empty()) {
    r.icon = disk_defaults::Icon();
  } else {
    r.icon = tools::ReadWholeFile(o.icon);
    disk::CheckIcon(o.icon, r.icon);
  }
  return r;
}

// Titles are 8-bit text for the player; a terminal wants UTF-8.
std::string Latin1ToUtf8(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::string Size(uint64_t bytes) {
  std::string digits = std::to_string(bytes);
  for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) digits.insert(static_cast<size_t>(i), ",");
  return digits + " bytes";
}

}  // namespace

int main(int argc, char** argv) {
  const Options o = ParseArguments(argc, argv);
  int shown = -1;
  try {
    // Everything is read and checked before anything is written.
    const std::string player_path =
        o.player.empty() ? disk::FindPlayer(o.target, argc > 0 ? argv[0] : nullptr) : o.player;
    const std::vector<uint8_t> player = tools::ReadWholeFile(player_path);
    disk::ProgramTarget(player, player_path);
    const std::vector<disk::Song> songs = LoadSongs(o);
    const Font font = LoadFont(o);
    const std::vector<disk::Entry> entries = MakeEntries(o, songs, font);
    disk::DiskResources resources = LoadPictures(o, {});
    resources.font_page = font.page;

    // The disk, as the shipped one: solid, level 5, the alternative
    // signature, scrambled.
    std::vector<pack::InputFile> files;
    const std::string playlist = disk::PlaylistText(entries);
    const uint32_t time = pack::DosTime(std::getenv("SOURCE_DATE_EPOCH")
                                            ? std::strtoll(std::getenv("SOURCE_DATE_EPOCH"), nullptr, 10)
                                            : static_cast<int64_t>(std::time(nullptr)));
    files.push_back({"playlist.csv", std::vector<uint8_t>(playlist.begin(), playlist.end()), time});
    files.push_back({"font.fnt", font.descriptor, time});
    uint64_t total = 0;
    for (const disk::Song& s : songs) {
      files.push_back({pack::ArchiveName(s.archive_name), s.bytes, time});
      total += s.bytes.size();
    }
    pack::PackOptions options;
    options.solid = true;
    options.level = 5;
    options.signature = pack::Signature::kAlternative;
    options.scramble = true;
    pack::Progress progress;
    if (!o.quiet && total >= kProgressThreshold) {
      progress = [&](uint64_t done, uint64_t all) {
        const int percent = all ? static_cast<int>(done * 100 / all) : 100;
        if (percent == shown) return;
        shown = percent;
        std::fprintf(stderr, "\rquarb-disk: packing, %3d%% of %.1f MiB", percent, all / 1048576.0);
        std::fflush(stderr);
      };
    }
    resources.image = pack::BuildArchive(files, options, progress);
    if (shown >= 0) std::fputc('\n', stderr);
    shown = -1;

    const std::vector<uint8_t> output = disk::MakePlayer(o.target, player, player_path, resources);
    tools::WriteFileAtomically(o.output, output.data(), output.size(), /*executable=*/true);

    if (!o.quiet) {
      for (size_t i = 0; i < entries.size(); ++i)
        std::printf("%02zu: %s\n", i + 1, Latin1ToUtf8(entries[i].title).c_str());
      for (const disk::Song& s : songs)
        std::printf("  %-32s %14s  %s\n", s.archive_name.c_str(), Size(s.bytes.size()).c_str(), s.format.c_str());
      std::printf("archive: %s (the songs: %s)\n", Size(resources.image.size()).c_str(), Size(total).c_str());
      std::printf("%s: %s, a player for %s\n", o.output.c_str(), Size(output.size()).c_str(),
                  o.target == disk::Target::kLinux ? "Linux" : "Windows");
    }
  } catch (const std::exception& e) {
    if (shown >= 0) std::fputc('\n', stderr);
    std::fprintf(stderr, "quarb-disk: %s\n", e.what());
    return 1;
  }
  return 0;
}
