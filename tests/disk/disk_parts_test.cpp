// The parts of quarb-disk: songs and titles, the playlist's limits, the
// window's region from a skin, the checks of pictures, and the player with
// its new resources appended.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "archive/extract.h"
#include "data/memory_archive.h"
#include "platform/resource_bundle.h"
#include "tests/disk/test_songs.h"
#include "tools/disk/defaults.h"
#include "tools/disk/pictures.h"
#include "tools/disk/player_image.h"
#include "tools/disk/playlist_text.h"
#include "tools/disk/songs.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

GlyphTable DefaultFont() {
  const Bytes text = disk_defaults::FontDescriptor();
  GlyphTable table{};
  ParseFontDescriptor(reinterpret_cast<const char*>(text.data()), static_cast<uint32_t>(text.size()), table);
  return table;
}

class TempDir : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("quarb-disk-parts-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Write(const std::string& name, const Bytes& bytes) {
    const fs::path path = dir_ / name;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return path.string();
  }
  fs::path dir_;
};

using Songs = TempDir;

TEST_F(Songs, EachFormatLoadsWithItsTitleAndFoldersComeInNameOrder) {
  for (const test_songs::TestSong& s : test_songs::OneOfEach()) Write("music/" + s.file_name, s.bytes);
  Write("music/notes.txt", {'h', 'i'});
  Write("music/sub/zz.mod", test_songs::OneOfEach()[0].bytes);
  std::vector<std::string> skipped;
  const std::vector<std::string> files = disk::FindSongFiles({(dir_ / "music").string()}, &skipped);
  std::vector<std::string> names;
  for (const std::string& f : files) names.push_back(fs::path(f).filename().string());
  EXPECT_EQ(names, (std::vector<std::string>{"first.mod", "fourth.it", "second.s3m", "zz.mod", "third.xm"}));
  ASSERT_EQ(skipped.size(), 1u);
  EXPECT_NE(skipped[0].find("notes.txt"), std::string::npos);

  const std::vector<std::string> formats = {"mod", "it", "s3m", "mod", "xm"};
  const std::vector<std::string> titles = {"Mod Tune", "Impulse Tune", "Scream Tune", "Mod Tune", "Fast Tune"};
  for (size_t i = 0; i < files.size(); ++i) {
    const disk::Song song = disk::LoadSong(files[i]);
    EXPECT_EQ(song.format, formats[i]) << files[i];
    EXPECT_EQ(disk::DefaultTitle(song), titles[i]) << files[i];
  }
}

TEST_F(Songs, AnUntitledSongIsNamedByItsFileAndANonModuleIsRefusedByName) {
  const std::string untitled = Write("My Song.xm", songs::WriteXm(test_songs::Tune("   ", 0)));
  EXPECT_EQ(disk::DefaultTitle(disk::LoadSong(untitled)), "My Song");

  const std::string text = Write("readme.mod", {'n', 'o', 't', ' ', 'a', ' ', 's', 'o', 'n', 'g'});
  try {
    disk::LoadSong(text);
    FAIL() << "a text file loaded as a song";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find(text + ": libopenmpt cannot load it"), std::string::npos) << e.what();
  }
  const std::string empty = Write("empty.it", {});
  EXPECT_THROW(disk::LoadSong(empty), std::runtime_error);
  EXPECT_THROW(disk::FindSongFiles({(dir_ / "missing").string()}, nullptr), std::runtime_error);
}

TEST(PlayerText, LatinOneStaysAndTheRestIsReplacedAndReported) {
  const GlyphTable font = DefaultFont();
  std::vector<std::string> replaced;
  EXPECT_EQ(disk::ToPlayerText("Fr\xC3\xBChling", font, &replaced), "Fr\xFChling");  // ü is Latin-1
  EXPECT_TRUE(replaced.empty());
  EXPECT_EQ(disk::ToPlayerText("\xE2\x82\xAC 5; ok\t", font, &replaced), "? 5? ok?");  // € ; tab
  ASSERT_EQ(replaced.size(), 3u);
  EXPECT_NE(replaced[0].find("U+20AC"), std::string::npos) << replaced[0];
  EXPECT_NE(replaced[1].find("U+003B"), std::string::npos) << replaced[1];
  // Bytes that are not UTF-8 are taken as Latin-1 (a file written so).
  replaced.clear();
  EXPECT_EQ(disk::ToPlayerText("Caf\xE9", font, &replaced), "Caf\xE9");
  EXPECT_TRUE(replaced.empty());
  // A character the font has no glyph for, though Latin-1 has it.
  GlyphTable sparse = font;
  sparse.glyphs[0xE9] = GlyphMetrics{};
  EXPECT_EQ(disk::ToPlayerText("Caf\xC3\xA9", sparse, &replaced), "Caf?");
  EXPECT_EQ(replaced.size(), 1u);
}

TEST(Playlist, TheUsersFileIsReadAndALineWithoutASemicolonIsNamed) {
  const std::vector<disk::Entry> entries =
      disk::ParsePlaylistFile("p.csv", "One;a.mod\r\n\nTwo;songs/b.xm\nThree;c;d.it");
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].file_name, "a.mod") << "a Windows line end is no part of the name";
  EXPECT_EQ(entries[2].title, "Three");
  EXPECT_EQ(entries[2].file_name, "c;d.it");
  try {
    disk::ParsePlaylistFile("p.csv", "One;a.mod\nTwo b.xm\n");
    FAIL();
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "p.csv:2: no \";\" between title and file name");
  }
}

TEST(Playlist, EveryLimitOfThePlayerIsCheckedAtItsBoundary) {
  auto entries = [](size_t count, size_t title_length = 5) {
    std::vector<disk::Entry> out;
    for (size_t i = 0; i < count; ++i) out.push_back({std::string(title_length, 'x'), "s" + std::to_string(i) + ".mod"});
    return out;
  };
  EXPECT_NO_THROW(disk::CheckEntries(entries(256)));
  EXPECT_THROW(disk::CheckEntries(entries(257)), std::runtime_error);
  EXPECT_THROW(disk::CheckEntries({}), std::runtime_error);

  // "01: " + 251 characters is the longest track line, 255.
  EXPECT_NO_THROW(disk::CheckEntries(entries(1, 251)));
  EXPECT_THROW(disk::CheckEntries(entries(1, 252)), std::runtime_error);
  // From entry 100 the number takes three digits.
  std::vector<disk::Entry> hundred = entries(100);
  hundred[99].title = std::string(251, 'x');
  EXPECT_THROW(disk::CheckEntries(hundred), std::runtime_error);
  hundred[99].title = std::string(250, 'x');
  EXPECT_NO_THROW(disk::CheckEntries(hundred));

  std::vector<disk::Entry> long_name = entries(1);
  long_name[0].file_name = std::string(259, 'n');
  EXPECT_NO_THROW(disk::CheckEntries(long_name));
  long_name[0].file_name += 'n';
  EXPECT_THROW(disk::CheckEntries(long_name), std::runtime_error);
  std::vector<disk::Entry> broken = entries(1);
  broken[0].file_name = "a\nb.mod";
  EXPECT_THROW(disk::CheckEntries(broken), std::runtime_error);

  EXPECT_EQ(disk::PlaylistText({{"A", "a.mod"}, {"B", "b.it"}}), "A;a.mod\nB;b.it\n");
}

// The rectangles cover exactly the inside pixels, none overlap, and rows
// with the same runs share rectangles.
void ExpectCovers(const std::vector<disk::Rect>& rects, int w, int h, const std::function<bool(int, int)>& inside) {
  std::vector<int> covered(static_cast<size_t>(w * h));
  for (const disk::Rect& r : rects)
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) ++covered[static_cast<size_t>(y * w + x)];
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) ASSERT_EQ(covered[static_cast<size_t>(y * w + x)], inside(x, y) ? 1 : 0) << x << "," << y;
}

TEST(Region, ShapesBecomeFewRectanglesThatCoverExactlyTheInside) {
  auto notch = [](int x, int y) { return !(x < 24 && y < 24); };
  std::vector<disk::Rect> rects = disk::RegionOf(400, 246, notch);
  ExpectCovers(rects, 400, 246, notch);
  EXPECT_EQ(rects.size(), 2u) << "the rows below the notch are one band";

  auto disc = [](int x, int y) { return (x - 50) * (x - 50) + (y - 40) * (y - 40) < 35 * 35; };
  rects = disk::RegionOf(100, 80, disc);
  ExpectCovers(rects, 100, 80, disc);
  EXPECT_LT(rects.size(), 70u);

  auto stripes = [](int x, int) { return x % 4 < 2; };
  rects = disk::RegionOf(16, 10, stripes);
  ExpectCovers(rects, 16, 10, stripes);
  EXPECT_EQ(rects.size(), 4u) << "four columns, each one rectangle";
}

TEST(Region, KeyColourAndMaskGiveRegionDataThePlayerTakes) {
  disk::Picture skin;
  skin.width = 4;
  skin.height = 3;
  skin.pixels = {0xFF00FF, 1, 1, 0xFF00FF,  //
                 1, 1, 1, 1,                //
                 0xFF00FF, 1, 1, 0xFF00FF};
  const Bytes data = disk::RegionData(disk::RegionFromKeyColour(skin, 0xFF00FF));
  auto at = [&](size_t i) {
    uint32_t v;
    std::memcpy(&v, data.data() + 4 * i, 4);
    return static_cast<int32_t>(v);
  };
  ASSERT_EQ(data.size(), 32u + 16 * 3);
  EXPECT_EQ(at(0), 32);
  EXPECT_EQ(at(1), 1);
  EXPECT_EQ(at(2), 3);
  EXPECT_EQ(at(3), 48);
  EXPECT_EQ((std::vector<int32_t>{at(4), at(5), at(6), at(7)}), (std::vector<int32_t>{0, 0, 4, 3})) << "bounds";
  EXPECT_EQ((std::vector<int32_t>{at(8), at(9), at(10), at(11)}), (std::vector<int32_t>{1, 0, 3, 1}));
  EXPECT_EQ((std::vector<int32_t>{at(12), at(13), at(14), at(15)}), (std::vector<int32_t>{0, 1, 4, 2}));

  disk::Picture mask = skin;
  mask.pixels = {0, 0xFFFFFF, 0xFFFFFF, 0, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0, 0xFFFFFF, 0xFFFFFF, 0};
  EXPECT_EQ(disk::RegionData(disk::RegionFromMask(mask, skin, "m.bmp")), data);
  mask.pixels[5] = 0x808080;
  EXPECT_THROW(disk::RegionFromMask(mask, skin, "m.bmp"), std::runtime_error) << "grey is neither";
  mask.width = 3;
  EXPECT_THROW(disk::RegionFromMask(mask, skin, "m.bmp"), std::runtime_error) << "another size";

  skin.pixels.assign(12, 0xFF00FF);
  EXPECT_THROW(disk::RegionData(disk::RegionFromKeyColour(skin, 0xFF00FF)), std::runtime_error) << "nothing left";
  EXPECT_EQ(disk::ParseColour("#ff00FF"), 0xFF00FFu);
  EXPECT_THROW(disk::ParseColour("ff00f"), std::runtime_error);
  EXPECT_THROW(disk::ParseColour("gg0000"), std::runtime_error);
}

TEST(Pictures, TheBuiltInOnesPassAndDamagedOnesAreRefused) {
  const disk::Picture skin = disk::ReadBmp("skin.bmp", disk_defaults::Skin());
  EXPECT_EQ(skin.width, 400);
  EXPECT_EQ(skin.height, 246);
  const disk::Picture page = disk::ReadBmp("font.bmp", disk_defaults::FontPage());
  EXPECT_EQ(page.bits_per_pixel, 8);
  EXPECT_EQ(disk::BitmapResource(page).size(), disk_defaults::FontPage().size() - 14);

  Bytes cut = disk_defaults::Skin();
  cut.resize(cut.size() / 2);
  EXPECT_THROW(disk::ReadBmp("cut.bmp", cut), std::runtime_error);
  EXPECT_THROW(disk::ReadBmp("text.bmp", Bytes{'h', 'e', 'l', 'l', 'o'}), std::runtime_error);

  EXPECT_NO_THROW(disk::CheckIcon("icon.ico", disk_defaults::Icon()));
  Bytes icon = disk_defaults::Icon();
  icon[2] = 2;  // a cursor file
  EXPECT_THROW(disk::CheckIcon("c.cur", icon), std::runtime_error);
  icon = disk_defaults::Icon();
  icon.resize(30);
  EXPECT_THROW(disk::CheckIcon("cut.ico", icon), std::runtime_error);
  EXPECT_THROW(disk::CheckIcon("skin.ico", disk_defaults::Skin()), std::runtime_error);
}

TEST(LinuxPlayer, TheDiskIsAppendedAndReplacesAnEarlierOne) {
  Bytes player = {0x7F, 'E', 'L', 'F'};
  player.resize(5000, 0x90);
  disk::DiskResources r;
  r.skin = {1};
  r.region = {2, 2};
  r.image = {3, 3, 3};
  r.font_page = {4};
  r.icon = {5};
  const Bytes once = disk::MakePlayer(disk::Target::kLinux, player, "quarb", r);
  EXPECT_TRUE(std::equal(player.begin(), player.end(), once.begin())) << "the program itself is unchanged";
  std::vector<resource_bundle::Entry> entries;
  std::string error;
  ASSERT_EQ(resource_bundle::Read(once.data(), once.size(), &entries, &error), resource_bundle::Status::kValid);
  ASSERT_EQ(entries.size(), 5u);
  EXPECT_EQ(entries[0].type_name, "BINARY");
  EXPECT_EQ(entries[0].id, 107);
  EXPECT_EQ(entries[0].bytes, r.image);
  EXPECT_EQ(entries[4].type_id, 14);
  EXPECT_EQ(entries[4].id, 109);

  r.image = {9};
  const Bytes twice = disk::MakePlayer(disk::Target::kLinux, once, "mine", r);
  ASSERT_EQ(resource_bundle::Read(twice.data(), twice.size(), &entries, &error), resource_bundle::Status::kValid);
  EXPECT_EQ(entries[0].bytes, r.image);
  EXPECT_EQ(twice.size(), once.size() - 2) << "one bundle, not two";

  EXPECT_THROW(disk::MakePlayer(disk::Target::kWindows, player, "quarb", r), std::runtime_error);
  EXPECT_THROW(disk::ProgramTarget(Bytes{'#', '!'}, "script"), std::runtime_error);
}

}  // namespace
