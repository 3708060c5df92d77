// The disk image as the player gets it: embedded, scrambled, and holding a
// playlist whose every song extracts, loads and plays.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "archive/extract.h"
#include "data/archive_image.h"
#include "platform/resources.h"
#include "tools/common/file_io.h"
#include "tools/gen/songs/analysis.h"
#include "tools/gen/songs/disk.h"

namespace {

struct Line {
  std::string title;
  std::string file;
};

class Disk : public ::testing::Test {
 protected:
  // The image is unscrambled in place, so it is opened once for every test.
  static void SetUpTestSuite() {
    size_t count = 0;
    const ResourceEntry* table = EmbeddedResourceTable(&count);
    InstallResourceTable(table, count);
    const uint8_t* stored = LoadBinaryResource(kArchiveResourceId);
    uint32_t size = BinaryResourceSize(kArchiveResourceId);
    if (stored && size >= 7) scrambled_signature_ = std::string(reinterpret_cast<const char*>(stored), 7);
    archive_ = OpenArchiveImage();
  }
  static void TearDownTestSuite() {
    delete archive_;
    archive_ = nullptr;
  }

  static std::vector<uint8_t> Extract(const std::string& name) {
    uint8_t* buffer = nullptr;
    uint32_t size = 0;
    int ok = ExtractFile(&buffer, &size, name.c_str(), archive_, nullptr);
    std::unique_ptr<uint8_t, decltype(&std::free)> owned(buffer, &std::free);
    if (!ok) ADD_FAILURE() << name << " does not extract";
    return ok ? std::vector<uint8_t>(buffer, buffer + size) : std::vector<uint8_t>{};
  }

  static std::vector<Line> Playlist() {
    std::vector<uint8_t> bytes = Extract("playlist.csv");
    std::string text(bytes.begin(), bytes.end());
    std::vector<Line> lines;
    size_t start = 0, end;
    while ((end = text.find('\n', start)) != std::string::npos) {
      std::string line = text.substr(start, end - start);
      size_t semicolon = line.find(';');
      EXPECT_NE(semicolon, std::string::npos) << line;
      lines.push_back({line.substr(0, semicolon), line.substr(semicolon + 1)});
      start = end + 1;
    }
    EXPECT_EQ(start, text.size()) << "text after the last line end";
    return lines;
  }

  static inline MemoryArchive* archive_ = nullptr;
  static inline std::string scrambled_signature_;
};

TEST_F(Disk, ImageIsStoredScrambledWithTheAlternativeSignature) {
  ASSERT_EQ(scrambled_signature_.size(), 7u);
  std::string plain;
  for (char c : scrambled_signature_) plain += static_cast<char>(c ^ kArchiveKey);
  EXPECT_EQ(plain, "KwindE!");
  ASSERT_NE(archive_->data, nullptr);
  EXPECT_EQ(std::memcmp(archive_->data, "KwindE!", 7), 0);
}

TEST_F(Disk, PlaylistAndFontExtractAsCommitted) {
  EXPECT_EQ(Extract("playlist.csv"), tools::ReadWholeFile(QUARB_DISK_DIR "/playlist.csv"));
  EXPECT_EQ(Extract("font.fnt"), tools::ReadWholeFile(QUARB_DISK_DIR "/font.fnt"));
}

TEST_F(Disk, PlaylistNamesTheSongsWithLatin1Titles) {
  std::vector<Line> lines = Playlist();
  const std::vector<std::string> titles = {"Harbour Lights", "Caf\xE9 Polaris", "Glass Tundra",
                                           "Fr\xFChlingsmarkt", "Slow Orbit", "Midnight Relay"};
  ASSERT_EQ(lines.size(), titles.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i].title, titles[i]);
    EXPECT_EQ(lines[i].file.find('\r'), std::string::npos);
    EXPECT_EQ(lines[i].file.rfind("songs\\", 0), 0u) << lines[i].file;
    // "NN: title" in a font about 7 pixels wide fits the 400-pixel skin.
    EXPECT_LE((4 + lines[i].title.size()) * 7, 400u) << lines[i].title;
  }
}

TEST_F(Disk, EverySongExtractsLoadsAndPlays) {
  std::vector<Line> lines = Playlist();
  ASSERT_FALSE(lines.empty());
  for (const Line& line : lines) {
    SCOPED_TRACE(line.file);
    std::vector<uint8_t> song = Extract(line.file);
    ASSERT_FALSE(song.empty());
    songs::Analysis a = songs::AnalyseModule(song);
    EXPECT_GE(a.duration, 60.0);
    EXPECT_LE(a.duration, 180.0);
    EXPECT_NEAR(a.rendered, a.duration, 1.0);
    EXPECT_GT(a.rms, 0.05);
    EXPECT_GT(a.quietest_second, 0.02) << "a second that is almost silent";
    EXPECT_LT(a.longest_silence, 1.0);
    EXPECT_EQ(a.clipped, 0);
    EXPECT_LT(a.peak, 0.95);
  }
}

TEST_F(Disk, SongFilesAreWhatTheirScoresMake) {
  // A score changed without regenerating (scripts/generate-content) fails here.
  for (const songs::Song& song : songs::DiskSongs()) {
    SCOPED_TRACE(song.file);
    songs::Bytes made = songs::WriteSong(songs::Compile(song), song.format);
    EXPECT_TRUE(made == tools::ReadWholeFile(QUARB_DISK_DIR "/songs/" + song.file));
  }
}

}  // namespace
