// A disk of a musician's own, made by quarb-disk from songs this test writes
// (one each of MOD, S3M, XM and IT), played by the player it made: each
// song's title as the playlist rule gives it, each song heard from its start
// after a click on next, round to the first again. And a skin of one's own
// whose key colour cuts the window's shape. Runs on the Linux or the Windows
// player (e2e_player.h), under scripts/with-xvfb; the disk is made by the
// Linux quarb-disk from that very player.
#include <fstream>

#include "e2e_fixture.h"
#include "tests/disk/test_songs.h"

namespace e2e {
namespace {

class DiskEndToEnd : public PlayerSession {
 protected:
  void SetUp() override {
    PlayerSession::SetUp();
    if (IsSkipped()) return;
    songs_ = test_songs::OneOfEach();
    for (const test_songs::TestSong& s : songs_) Write("songs/" + s.file_name, s.bytes);
  }

  void Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::filesystem::path path = std::filesystem::path(dir_) / name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }

  // quarb-disk's player of the songs (and `options`), from the player under test.
  std::string MakeDisk(const std::string& options) {
    const std::string out = dir_ + (program_.windows() ? "/mine.exe" : "/mine");
    const std::string command = Quoted(std::string(QUARB_BIN_DIR) + "/quarb-disk") + " -q --target " +
                                (program_.windows() ? "windows" : "linux") + " --player " +
                                Quoted(program_.player()) + " -o " + Quoted(out) + " " + options + " " +
                                Quoted(dir_ + "/songs") + " 2>&1; echo status $?";
    const std::string result = Shell(command);
    EXPECT_NE(result.find("status 0"), std::string::npos) << result;
    return out;
  }

  std::string TitleOf(size_t i) { return "QUARB II - [ " + songs_[i].title + " ]"; }

  std::vector<test_songs::TestSong> songs_;
};

TEST_F(DiskEndToEnd, EverySongPlaysInTurnUnderItsOwnTitle) {
  const std::string disk = MakeDisk("");
  ASSERT_NE(StartPlayer(program_, disk, dir_), 0u) << program_.name() << ": the disk's window did not appear";
  // The songs as the player renders them; the folder's name order is the
  // playlist's: first.mod, fourth.it, second.s3m, third.xm.
  const std::vector<size_t> order = {0, 3, 1, 2};
  std::vector<Sound> rendered;
  for (size_t i : order) rendered.push_back(RenderSong(dir_ + "/songs/" + songs_[i].file_name, 1.0));

  std::string other;
  const std::string sound = program_.SoundFile(dir_);
  size_t heard_from = 0;
  std::vector<int> last_line;
  for (size_t step = 0; step <= order.size(); ++step) {
    const size_t entry = step % order.size();
    SCOPED_TRACE("entry " + std::to_string(entry + 1) + ", " + songs_[order[entry]].file_name);
    // The song is heard from its start.
    size_t start = kNotFound;
    WaitUntil(
        [&] {
          start = FindSongStart(ReadSound(sound, program_.sound_format()), heard_from, rendered[entry]);
          return start != kNotFound;
        },
        15s, 250ms);
    EXPECT_NE(start, kNotFound) << "not heard after frame " << heard_from;
    // The track line changed, and the title names the entry.
    const Image window = SteadyPicture([&](const Image& w) { return HasTrackLine(w) && WhiteInBand(w) != last_line; });
    ASSERT_FALSE(window.empty()) << "the track line did not change";
    last_line = WhiteInBand(window);
    // The other window comes once the player has settled: under Wine, a
    // window that takes the focus while the player's is still appearing
    // leaves Wine believing the player active (no WM_ACTIVATE reaches it).
    if (other.empty()) {
      other = StartOtherWindow();
      ASSERT_FALSE(other.empty()) << "the other window did not appear";
    }
    // (Asked again if need be: under Wine the player may still be taking
    // the activation the window manager gave it when it appeared.)
    EXPECT_TRUE(WaitUntil(
        [&] {
          Shell("xdotool windowactivate --sync " + other + " >/dev/null 2>&1");
          return WaitForName(TitleOf(order[entry]), 1s);
        },
        10s))
        << "title \"" << WindowName() << "\"";
    ASSERT_TRUE(WaitUntil(
        [&] {
          Shell("xdotool windowactivate --sync " + WindowId() + " >/dev/null 2>&1");
          return WaitForName("QUARB II", 1s);
        },
        10s));

    heard_from = RecordedFrames(sound, program_.sound_format());
    ClickHotspot(kNext);
  }
  const Sound all = ReadSound(sound, program_.sound_format());
  EXPECT_GT(Peak(all, 0, all.frames()), 0.05) << "silent";
  PressKeyIn(window_, "Escape");
  EXPECT_EQ(PlayerExit(), 0);
}

TEST_F(DiskEndToEnd, AKeyColouredSkinShapesTheWindow) {
  // The shipped skin with its top-left 24 by 24 pixels in magenta, the key.
  std::ifstream in(SourceDir() + "/resources/skin.bmp", std::ios::binary);
  std::vector<uint8_t> skin((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(skin.size(), 54u);
  const uint32_t offset = skin[10] | skin[11] << 8 | skin[12] << 16;
  const size_t row = (kWidth * 3 + 3) / 4 * 4;
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 24; ++x) {
      uint8_t* p = &skin[offset + static_cast<size_t>(kHeight - 1 - y) * row + 3 * x];  // bottom-up, BGR
      p[0] = 0xFF, p[1] = 0x00, p[2] = 0xFF;
    }
  Write("skin.bmp", skin);
  const std::string disk = MakeDisk("--skin " + Quoted(dir_ + "/skin.bmp") + " --key-colour FF00FF");

  // The white window beneath the player's top-left corner.
  const std::string other = StartOtherWindow();
  ASSERT_FALSE(other.empty()) << "the other window did not appear";
  Shell("xdotool windowmove " + other + " " + std::to_string(kLeft - 40) + " " + std::to_string(kTop - 40));
  const unsigned long other_id = std::stoul(other);
  ASSERT_TRUE(WaitUntil([&] { return screen_.GeometryOf(other_id).x <= kLeft - 8; }, 5s));

  ASSERT_NE(StartPlayer(program_, disk, dir_), 0u) << program_.name() << ": the disk's window did not appear";
  const Image window = SteadyPicture(HasTrackLine);
  ASSERT_FALSE(window.empty());
  int white_in_key = 0, magenta_anywhere = 0;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const uint8_t* p = window.At(x, y);
      magenta_anywhere += p[0] == 255 && p[1] == 0 && p[2] == 255;
      if (x < 24 && y < 24) white_in_key += window.IsWhite(x, y);
    }
  EXPECT_EQ(white_in_key, 24 * 24) << "the key-coloured corner shows the window beneath";
  EXPECT_EQ(magenta_anywhere, 0) << "no key colour is drawn";
  PressKeyIn(window_, "Escape");
  EXPECT_EQ(PlayerExit(), 0);
}

}  // namespace
}  // namespace e2e
