// Archives written by the original archiver (tests/fixtures/rar2, see MANIFEST.md
// there): every entry the reader supports must extract with the size and
// CRC-32 its header gives.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "archive/archive_format.h"
#include "tests/archive/extract_helpers.h"
#include "tools/common/file_io.h"
#include "tools/extract/archive_listing.h"

namespace {

using namespace testing_helpers;
namespace fs = std::filesystem;

const fs::path kDir = fs::path(QUARB_TEST_DATA_DIR) / "rar2";

struct Counts {
  int stored = 0;
  int compressed = 0;
};

bool Supported(const tools::ListedEntry& e) {
  bool split = (e.flags & 0x0003) != 0;
  bool directory = (e.flags & rar::kFileDirectory) == rar::kFileDirectory;
  bool encrypted = (e.flags & rar::kFileEncrypted) != 0;
  if (split || directory || encrypted) return false;
  if (e.method == rar::kMethodStored) return e.version_needed >= 13 && e.version_needed <= 20;
  return e.version_needed == 20;
}

// The 8-bit part of a name; names with the Unicode flag carry more after a NUL.
std::string PlainName(const std::string& name) { return name.substr(0, name.find('\0')); }

// Extracts every supported entry of every archive; compressed ones only when
// `with_compressed`.
Counts CheckAll(bool with_compressed) {
  Counts counts;
  for (const auto& item : fs::recursive_directory_iterator(kDir)) {
    if (!item.is_regular_file() || item.path().extension() != ".rar") continue;
    Bytes image = tools::ReadWholeFile(item.path().string());
    tools::Listing listing = tools::ListArchive(image.data(), image.size());
    EXPECT_TRUE(listing.is_archive) << item.path();
    for (const tools::ListedEntry& e : listing.entries) {
      if (!Supported(e)) continue;
      bool stored = e.method == rar::kMethodStored;
      if (!stored && !with_compressed) continue;
      SCOPED_TRACE(item.path().filename().string() + ": " + PlainName(e.name));
      std::optional<Bytes> data = Extract(image, PlainName(e.name));
      if (!data) {
        ADD_FAILURE() << "extraction failed";
        continue;
      }
      EXPECT_EQ(data->size(), e.unpacked_size);
      EXPECT_EQ(Crc32Of(data->data(), data->size()), e.file_crc);
      ++(stored ? counts.stored : counts.compressed);
    }
  }
  return counts;
}

TEST(Conformance, EveryStoredEntryExtractsWithItsCrc) {
  Counts counts = CheckAll(false);
  // MANIFEST.md lists 17 such entries (6 in archives of RAR 1.5/2.x, 11 in
  // archives of RAR 3.x with extended times after the name).
  EXPECT_EQ(counts.stored, 17);
}

TEST(Conformance, EveryCompressedEntryOfVersion20ExtractsWithItsCrc) {
  Counts counts = CheckAll(true);
  EXPECT_EQ(counts.stored, 17);
  // MANIFEST.md lists 7 such entries in 5 archives.
  EXPECT_EQ(counts.compressed, 7);
}

TEST(Conformance, TheRecordingDecodesAlikeInRegularAndMultimediaMode) {
  Bytes wav = tools::ReadWholeFile((kDir / "expected" / "junrar-BoatModernEnglish.wav").string());
  ASSERT_EQ(wav.size(), 56464u);
  for (const char* archive : {"junrar-BoatModernEnglish-regular-unpack20.rar",
                              "junrar-BoatModernEnglish-audio-text-unpack20.rar"}) {
    SCOPED_TRACE(archive);
    Bytes image = tools::ReadWholeFile((kDir / archive).string());
    EXPECT_EQ(Extract(image, "BoatModernEnglish.wav"), wav);
  }
}

TEST(Conformance, KnownContentsOfStoredEntries) {
  Bytes nopsw = tools::ReadWholeFile((kDir / "rarfile-rar202-comment-nopsw.rar").string());
  EXPECT_EQ(Extract(nopsw, "FILE1.TXT"), Text("file1\r\n"));
  EXPECT_EQ(Extract(nopsw, "file2.txt"), Text("file2\r\n"));
  Bytes rar15 = tools::ReadWholeFile((kDir / "rarfile-rar15-comment.rar").string());
  EXPECT_EQ(Extract(rar15, "FILE2.TXT"), Text("baaaar\r\n"));
  Bytes boat = tools::ReadWholeFile((kDir / "junrar-BoatModernEnglish-regular-unpack20.rar").string());
  std::optional<Bytes> license = Extract(boat, "license.txt");
  ASSERT_TRUE(license);
  EXPECT_EQ(std::string(license->begin(), license->end()).substr(0, 21), "UofG Language Modules");
}

TEST(Conformance, EntriesTheReaderCannotDecodeFailCleanly) {
  // Encrypted without a password, and data of the RAR 1.5 algorithm.
  Bytes psw = tools::ReadWholeFile((kDir / "rarfile-rar202-comment-psw.rar").string());
  EXPECT_EQ(Extract(psw, "FILE1.TXT"), std::nullopt);
  Bytes rar15 = tools::ReadWholeFile((kDir / "rarfile-rar15-comment.rar").string());
  EXPECT_EQ(Extract(rar15, "FILE1.TXT"), std::nullopt);
  Bytes dos = tools::ReadWholeFile((kDir / "junrar-BoatModernEnglish-regular-unpack15-dos.rar").string());
  EXPECT_EQ(Extract(dos, "LICENSE.TXT"), std::nullopt);
  // A file after an old-style sub-block is out of the reader's reach, but the
  // one before it is not.
  Bytes owner = tools::ReadWholeFile((kDir / "rarfile-rar2-unix-owner.rar").string());
  EXPECT_EQ(Extract(owner, "nothing-here"), std::nullopt);
}

}  // namespace
