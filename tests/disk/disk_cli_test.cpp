// quarb-disk run as a musician runs it: a folder of songs in, a player out;
// and every bad input refused by name, with nothing written.
//
// The players made are for QUARB_DISK_TARGET (linux, the default, or
// windows); the Windows build runs these tests for Windows players, with the
// Linux quarb-disk and with quarb-disk.exe under Wine (tests/tools/tool_runner.h).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "archive/extract.h"
#include "data/memory_archive.h"
#include "platform/resource_bundle.h"
#include "tests/disk/test_songs.h"
#include "tests/tools/tool_runner.h"
#include "tools/common/file_io.h"
#include "tools/disk/defaults.h"
#include "tools/disk/pe_resources.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using testing_helpers::ToolResult;

class DiskCli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("quarb-disk-cli-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "songs");
    for (const test_songs::TestSong& s : test_songs::OneOfEach()) Write("songs/" + s.file_name, s.bytes);
  }
  void TearDown() override { fs::remove_all(dir_); }

  void Write(const std::string& name, const Bytes& bytes) {
    fs::create_directories((dir_ / name).parent_path());
    std::ofstream(dir_ / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }
  void WriteText(const std::string& name, const std::string& text) { Write(name, Bytes(text.begin(), text.end())); }
  Bytes Read(const std::string& name) { return tools::ReadWholeFile((dir_ / name).string()); }

  static std::string TargetName() {
    const char* target = std::getenv("QUARB_DISK_TARGET");
    return target != nullptr && *target != '\0' ? target : "linux";
  }
  ToolResult Run(const std::string& args) {
    return testing_helpers::RunTool(dir_, "quarb-disk", "--target " + TargetName() + " " + args);
  }

  // The resources of a player made by quarb-disk, either kind, as entries
  // of a bundle: a type name or number, an id, the bytes.
  std::vector<resource_bundle::Entry> Resources(const std::string& name) {
    const Bytes player = Read(name);
    std::vector<resource_bundle::Entry> entries;
    if (player.size() > 2 && player[0] == 'M' && player[1] == 'Z') {
      for (const pe::Resource& r : pe::ReadResources(player)) {
        resource_bundle::Entry e;
        if (const auto* type = std::get_if<std::string>(&r.type)) e.type_name = *type;
        else e.type_id = std::get<uint16_t>(r.type);
        e.id = std::get<uint16_t>(r.name);
        e.bytes = r.data;
        entries.push_back(e);
      }
      return entries;
    }
    std::string error;
    EXPECT_EQ(resource_bundle::Read(player.data(), player.size(), &entries, &error), resource_bundle::Status::kValid)
        << error;
    return entries;
  }
  static Bytes Find(const std::vector<resource_bundle::Entry>& entries, const std::string& type, uint16_t type_id,
                    uint16_t id) {
    for (const auto& e : entries)
      if (e.type_name == type && e.type_id == type_id && e.id == id) return e.bytes;
    ADD_FAILURE() << "no resource " << type << type_id << "/" << id;
    return {};
  }
  // A file of the disk image (resource 107, scrambled).
  static std::string DiskFile(Bytes image, const std::string& name) {
    MemoryArchive archive{image.data(), static_cast<uint32_t>(image.size()), 0};
    UnscrambleArchiveImage(archive);
    uint8_t* data = nullptr;
    uint32_t size = 0;
    if (!ExtractFile(&data, &size, name.c_str(), &archive, nullptr)) return "<missing>";
    std::string out(reinterpret_cast<char*>(data), size);
    std::free(data);
    return out;
  }

  // A bad input: a message naming the problem, a failure status, and the
  // output as it was before (here: a file that must stay untouched).
  void ExpectRefused(const std::string& args, const std::string& message) {
    SCOPED_TRACE(args);
    WriteText("out", "the old output");
    ToolResult r = Run("-q -o out " + args);
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    EXPECT_EQ(Read("out"), Bytes({'t', 'h', 'e', ' ', 'o', 'l', 'd', ' ', 'o', 'u', 't', 'p', 'u', 't'}));
    for (const auto& entry : fs::directory_iterator(dir_))
      EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos) << entry.path();
  }

  fs::path dir_;
};

TEST_F(DiskCli, AFolderOfSongsBecomesAPlayerWithTheirTitles) {
  // Songs in the order given: a file first, then a folder in name order.
  ToolResult r = Run("-o mine songs/third.xm songs");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  struct stat st{};
  ASSERT_EQ(::stat((dir_ / "mine").c_str(), &st), 0);
  if (TargetName() == "linux") {
    EXPECT_TRUE(st.st_mode & S_IXUSR) << "the player can be run";
  }

  const auto resources = Resources("mine");
  // On Windows the icon is a group and its one image.
  ASSERT_EQ(resources.size(), TargetName() == "linux" ? 5u : 6u);
  const Bytes image = Find(resources, "BINARY", 0, 107);
  EXPECT_EQ(image[0] ^ 0x5E, 'K') << "scrambled, with the alternative signature";
  EXPECT_EQ(DiskFile(image, "playlist.csv"),
            "Fast Tune;third.xm\nMod Tune;first.mod\nImpulse Tune;fourth.it\nScream Tune;second.s3m\n");
  const Bytes it = test_songs::OneOfEach()[3].bytes;
  EXPECT_EQ(DiskFile(image, "fourth.it"), std::string(it.begin(), it.end()));
  const Bytes font = disk_defaults::FontDescriptor();
  EXPECT_EQ(DiskFile(image, "font.fnt"), std::string(font.begin(), font.end()));
  EXPECT_EQ(Find(resources, "BINARY", 0, 103), disk_defaults::Region()) << "the built-in shape";
  EXPECT_EQ(Find(resources, "", 2, 102).size(), disk_defaults::Skin().size() - 14);

  // The report: each song's size, the archive's and the output's.
  EXPECT_NE(r.out.find("01: Fast Tune"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("first.mod"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("archive: "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("mine: "), std::string::npos) << r.out;
}

TEST_F(DiskCli, APlaylistOfTheUsersOwnChoosesTitlesAndOrder) {
  WriteText("list.csv", "Zweite Nummer \xC3\xBC;second.s3m\r\nThe IT;songs/fourth.it\n");
  ToolResult r = Run("-o mine --playlist list.csv songs");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(DiskFile(Find(Resources("mine"), "BINARY", 0, 107), "playlist.csv"),
            "Zweite Nummer \xFC;second.s3m\nThe IT;fourth.it\n")
      << "titles in the player's code page, names as in the archive";
  EXPECT_NE(r.err.find("first.mod is in no entry"), std::string::npos) << r.err;
}

TEST_F(DiskCli, AKeyColourCutsTheWindowsShapeOutOfTheSkin) {
  // The built-in skin with its top-left 20 by 20 pixels painted magenta.
  Bytes skin = disk_defaults::Skin();
  const uint32_t offset = skin[10] | skin[11] << 8;
  const int bpp = skin[28];
  ASSERT_EQ(bpp, 24);
  const int row = (400 * 3 + 3) / 4 * 4;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) {
      uint8_t* p = &skin[offset + static_cast<size_t>(245 - y) * row + 3 * x];  // bottom-up rows
      p[0] = 0xFF, p[1] = 0x00, p[2] = 0xFF;
    }
  Write("skin.bmp", skin);
  ToolResult r = Run("-o mine --skin skin.bmp --key-colour FF00FF songs");
  ASSERT_EQ(r.status, 0) << r.err;
  const Bytes region = Find(Resources("mine"), "BINARY", 0, 103);
  ASSERT_EQ(region.size(), 32u + 16 * 2);
  const std::vector<int32_t> expected = {20, 0, 400, 20, 0, 20, 400, 246};
  for (size_t i = 0; i < expected.size(); ++i) {
    int32_t v;
    std::memcpy(&v, region.data() + 32 + 4 * i, 4);
    EXPECT_EQ(v, expected[i]) << i;
  }
}

TEST_F(DiskCli, EveryBadInputIsNamedAndNothingIsWritten) {
  WriteText("bad/noise.xm", "this is not a module at all");
  ExpectRefused("songs bad/noise.xm", "bad/noise.xm: libopenmpt cannot load it");

  Write("other/first.mod", test_songs::OneOfEach()[0].bytes);
  ExpectRefused("songs other", "the disk already has a file named first.mod");

  fs::create_directories(dir_ / "empty");
  ExpectRefused("empty", "no songs");

  WriteText("list.csv", "One;first.mod\nTwo second.s3m\n");
  ExpectRefused("--playlist list.csv songs", "list.csv:2: no \";\"");
  WriteText("list.csv", "One;missing.mod\n");
  ExpectRefused("--playlist list.csv songs", "names missing.mod, which is none of the songs");
  std::string many;
  for (int i = 0; i < 257; ++i) many += "Song;first.mod\n";
  WriteText("many.csv", many);
  ExpectRefused("--playlist many.csv songs", "257 entries: the player shows at most 256");
  WriteText("long.csv", std::string(300, 'L') + ";first.mod\n");
  ExpectRefused("--playlist long.csv songs", "the title has 300 bytes, at most 259 fit");

  Write("page.bmp", disk_defaults::FontPage());
  ExpectRefused("--skin page.bmp songs", "page.bmp: the skin is 128 by 128");
  WriteText("text.bmp", "BM but not really");
  ExpectRefused("--skin text.bmp songs", "text.bmp: ");
  Write("skin.bmp", disk_defaults::Skin());
  ExpectRefused("--skin skin.bmp --mask page.bmp songs", "page.bmp: the mask is 128 by 128");

  WriteText("font/bad.fnt", "info face=x\npage id=0 file=\"page.bmp\"\nchar id=65 x=1 y=1\n");
  ExpectRefused("--font font/bad.fnt songs", "font/bad.fnt:3: a char line the player cannot read");
  const Bytes good_font = disk_defaults::FontDescriptor();
  Write("font/good.fnt", good_font);
  Write("font/font.bmp", disk_defaults::Skin());
  ExpectRefused("--font font/good.fnt songs", "font.bmp: the font page is 400 by 246 with 24 bits");

  WriteText("icon.ico", "not an icon");
  ExpectRefused("--icon icon.ico songs", "icon.ico: not an icon file");

  ExpectRefused("--player songs/first.mod songs", "songs/first.mod: not a program");
  ExpectRefused("nowhere", "nowhere: no such file or folder");
}

TEST_F(DiskCli, WrongUseIsAUsageError) {
  ToolResult r = Run("songs");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("no output"), std::string::npos) << r.err;
  r = Run("-o x --target amiga songs");
  EXPECT_EQ(r.status, 2);
  r = Run("-o x --mask m.bmp --key-colour 000000 songs");
  EXPECT_EQ(r.status, 2);
  EXPECT_FALSE(fs::exists(dir_ / "x"));
}

// A Windows player made by the Linux tool: its icon becomes the icon group
// and images Windows keeps. The Windows build puts its player where the
// Linux quarb-disk looks for it (build/lib/quarb/quarb.exe).
TEST_F(DiskCli, AWindowsPlayerGetsTheDiskAsItsResources) {
  if (TargetName() != "windows") GTEST_SKIP() << "run by the Windows build's tests";
  ToolResult r = Run("-o mine.exe songs");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<pe::Resource> resources = pe::ReadResources(Read("mine.exe"));
  Bytes group;
  int icons = 0, bitmaps = 0;
  for (const pe::Resource& res : resources) {
    if (res.type == pe::ResourceId(pe::kTypeGroupIcon)) group = res.data;
    icons += res.type == pe::ResourceId(pe::kTypeIcon);
    bitmaps += res.type == pe::ResourceId(pe::kTypeBitmap);
  }
  EXPECT_EQ(bitmaps, 2);
  ASSERT_GE(group.size(), 6u + 14);
  EXPECT_EQ(group[4], icons) << "the group names every icon image";
  EXPECT_EQ(group[6 + 12], 1) << "by id";
}

}  // namespace
