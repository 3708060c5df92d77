#include <gtest/gtest.h>

#include "archive/archive_format.h"
#include "tests/archive/extract_helpers.h"
#include "tests/archive/stream_writer.h"

namespace {

using namespace testing_helpers;

TEST(NamesMatch, IgnoresAsciiCaseAndSeparators) {
  EXPECT_TRUE(NamesMatch("A\\B.TXT", "a/b.txt"));
  EXPECT_TRUE(NamesMatch("A\\B.TXT", "a_b.txt"));
  EXPECT_TRUE(NamesMatch("", ""));
  EXPECT_FALSE(NamesMatch("a.txt", "a.txt "));
  EXPECT_FALSE(NamesMatch("ab", "a"));
  // Only a-z are folded: bytes of 0x80 and above must match exactly.
  EXPECT_FALSE(NamesMatch("\xE9t\xE9.mod", "\xC9T\xC9.MOD"));
  EXPECT_TRUE(NamesMatch("\xE9t\xE9.mod", "\xE9T\xE9.MOD"));
}

TEST(ExtractFile, FindsAStoredFileByNameAmongOthers) {
  Bytes image = ArchiveOf({Stored("one.txt", Text("first")), Stored("dir\\Two.TXT", Text("second")),
                           Stored("three", Text("third"))});
  EXPECT_EQ(Extract(image, "dir/two.txt"), Text("second"));
  EXPECT_EQ(Extract(image, "THREE"), Text("third"));
  EXPECT_EQ(Extract(image, "one.txt"), Text("first"));
  EXPECT_EQ(Extract(image, "four"), std::nullopt);
  EXPECT_EQ(Extract(image, "one"), std::nullopt);
}

TEST(ExtractFile, TheFirstMatchingBlockWins) {
  Bytes image = ArchiveOf({Stored("a/x", Text("first")), Stored("A\\X", Text("second"))});
  EXPECT_EQ(Extract(image, "a\\x"), Text("first"));
}

TEST(ExtractFile, AcceptsBothSignaturesAndNothingElse) {
  auto blocks = {Stored("f", Text("data"))};
  EXPECT_EQ(Extract(ArchiveOf(blocks, 0, pack::Signature::kStandard), "f"), Text("data"));
  EXPECT_EQ(Extract(ArchiveOf(blocks, 0, pack::Signature::kAlternative), "f"), Text("data"));

  Bytes wrong = ArchiveOf(blocks);
  wrong[6] = 0x01;  // "Rar!" 1A 07 01 is a later format
  EXPECT_EQ(Extract(wrong, "f"), std::nullopt);
  Bytes scrambled = ArchiveOf(blocks);
  for (uint8_t& b : scrambled) b ^= 0x5E;
  EXPECT_EQ(Extract(scrambled, "f"), std::nullopt);
  // Every byte of either signature counts, each of its bits.
  for (pack::Signature signature : {pack::Signature::kStandard, pack::Signature::kAlternative}) {
    for (size_t at = 0; at < 7; ++at) {
      for (int bit = 0; bit < 8; ++bit) {
        Bytes image = ArchiveOf(blocks, 0, signature);
        image[at] ^= static_cast<uint8_t>(1u << bit);
        EXPECT_EQ(Extract(image, "f"), std::nullopt) << "byte " << at << ", bit " << bit;
      }
    }
  }
}

TEST(ExtractFile, FailsCleanlyOnImagesTooShortForTheHeaders) {
  Bytes image = ArchiveOf({Stored("f", Text("data"))});
  for (size_t n : {0, 3, 6, 7, 19}) {
    EXPECT_EQ(Extract(Bytes(image.begin(), image.begin() + n), "f"), std::nullopt) << n;
  }
  EXPECT_EQ(Extract(image, "f"), Text("data"));
}

TEST(ExtractFile, EmptyStoredFileGivesAValidEmptyBuffer) {
  Bytes image = ArchiveOf({Stored("empty", {})});
  MemoryArchive archive{image.data(), static_cast<uint32_t>(image.size()), 0};
  uint8_t* buffer = nullptr;
  uint32_t size = 99;
  ASSERT_EQ(ExtractFile(&buffer, &size, "empty", &archive, nullptr), 1);
  EXPECT_NE(buffer, nullptr);
  EXPECT_EQ(size, 0u);
  std::free(buffer);
}

TEST(ExtractFile, WrongHeaderCrcsAreNotChecked) {
  pack::FileBlock block = Stored("f", Text("payload"));
  block.header_crc = 0x1234;
  Bytes image;
  pack::AppendSignature(image, pack::Signature::kStandard);
  pack::AppendMainHeader(image, 0, {}, 0xBEEF);
  pack::AppendFileBlock(image, block);
  EXPECT_EQ(Extract(image, "f"), Text("payload"));
}

TEST(ExtractFile, CrcMismatchFailsAndTheArchiveStaysUsable) {
  pack::FileBlock bad = Stored("bad", Text("payload"));
  bad.file_crc ^= 1;
  Bytes image = ArchiveOf({bad, Stored("good", Text("fine"))});
  EXPECT_EQ(Extract(image, "bad"), std::nullopt);
  MemoryArchive archive{image.data(), static_cast<uint32_t>(image.size()), 0};
  uint8_t* buffer = nullptr;
  uint32_t size = 0;
  EXPECT_EQ(ExtractFile(&buffer, &size, "bad", &archive, nullptr), 0);
  ASSERT_EQ(ExtractFile(&buffer, &size, "good", &archive, nullptr), 1) << "same record, next call";
  EXPECT_EQ(Bytes(buffer, buffer + size), Text("fine"));
  std::free(buffer);
  ASSERT_EQ(ExtractFile(&buffer, &size, "good", &archive, nullptr), 1) << "twice in a row";
  EXPECT_EQ(Bytes(buffer, buffer + size), Text("fine"));
  std::free(buffer);
}

TEST(ExtractFile, EveryBitOfTheFileCrcCounts) {
  // A stored file and a compressed one, each before a file that must stay
  // reachable.
  StreamWriter s;
  s.LzTables();
  s.Literals("compressed payload");
  const std::vector<pack::FileBlock> files = {Stored("stored", Text("stored payload")),
                                              Compressed("packed", s.Packed(), Text("compressed payload"))};
  for (const pack::FileBlock& file : files) {
    SCOPED_TRACE(file.name);
    ASSERT_EQ(Extract(ArchiveOf({file, Stored("next", Text("n"))}), file.name),
              Bytes(file.name == "stored" ? Text("stored payload") : Text("compressed payload")));
    for (int bit = 0; bit < 32; ++bit) {
      pack::FileBlock bad = file;
      bad.file_crc ^= 1u << bit;
      Bytes image = ArchiveOf({bad, Stored("next", Text("n"))});
      EXPECT_EQ(Extract(image, file.name), std::nullopt) << "bit " << bit;
      EXPECT_EQ(Extract(image, "next"), Text("n")) << "bit " << bit;
    }
  }
}

TEST(ExtractFile, OtherBlockTypesAreSkippedButAnOldSubBlockEndsTheWalk) {
  Bytes image;
  pack::AppendSignature(image, pack::Signature::kStandard);
  pack::AppendMainHeader(image, 0);
  pack::AppendRawBlock(image, 0x75, 0x0000, Text("a comment block"));
  pack::AppendRawBlock(image, 0x7A, 0x8000, Text("sub"), Text("its data"));
  pack::AppendFileBlock(image, Stored("f", Text("reached")));
  pack::AppendRawBlock(image, 0x77, 0x8000, Text("xx"), Text("rootroot"));
  pack::AppendFileBlock(image, Stored("g", Text("hidden")));
  EXPECT_EQ(Extract(image, "f"), Text("reached"));
  EXPECT_EQ(Extract(image, "g"), std::nullopt);
}

TEST(ExtractFile, OnlyTheLongBlockFlagAddsADataSize) {
  // Every other flag set: the block ends with its header, whatever the four
  // bytes after the common part say. A header of the least size, 7 bytes,
  // is walked past too.
  Bytes image;
  pack::AppendSignature(image, pack::Signature::kStandard);
  pack::AppendMainHeader(image, 0);
  Bytes body = Text("size and more");
  body[0] = 0x10;  // read as a data size: 16 bytes
  body[1] = body[2] = body[3] = 0;
  pack::AppendRawBlock(image, 0x7A, 0x7FFF, body);
  pack::AppendRawBlock(image, 0x75, 0x0000, {});
  pack::AppendFileBlock(image, Stored("f", Text("reached")));
  const size_t first = rar::kSignatureSize + rar::kMainHeaderSize;
  ASSERT_EQ(rar::ParseBlockHeader(&image[first]).header_size, 7 + 13);
  ASSERT_EQ(rar::ParseBlockHeader(&image[first + 20]).header_size, rar::kBlockHeaderSize);
  EXPECT_EQ(Extract(image, "f"), Text("reached"));
}

TEST(ExtractFile, MalformedBlocksEndTheWalk) {
  // A block whose header_size is below 7 cannot be walked past.
  pack::FileBlock tiny = Stored("x", Text("1"));
  tiny.block_type = 0x7A;
  tiny.header_size = 6;
  EXPECT_EQ(Extract(ArchiveOf({tiny, Stored("f", Text("after"))}), "f"), std::nullopt);
  // Nor one whose data size wraps the position back (2^32 - 40 bytes of data).
  pack::FileBlock back = Stored("x", Text("1"));
  back.packed_size_from_data = false;
  back.packed_size = 0xFFFFFFD8u;
  EXPECT_EQ(Extract(ArchiveOf({back, Stored("f", Text("after"))}), "f"), std::nullopt);
}

TEST(ExtractFile, DataStartsAfterTheWholeHeader) {
  // Real archives carry more header after the name (an embedded comment,
  // extended times); the data begins where header_size says.
  pack::FileBlock block = Stored("f.txt", Text("the data"));
  block.extra = Text("\x0d\x00\x75\x00\x00comment");
  EXPECT_EQ(Extract(ArchiveOf({block, Stored("g", Text("next"))}), "F.TXT"), Text("the data"));
  EXPECT_EQ(Extract(ArchiveOf({block, Stored("g", Text("next"))}), "g"), Text("next"));
}

TEST(ExtractFile, LongNamesMatchOnTheFirst259Bytes) {
  std::string name(300, 'n');
  name[0] = 'L';
  Bytes image = ArchiveOf({Stored(name, Text("long")), Stored("short", Text("s"))});
  EXPECT_EQ(Extract(image, std::string(259, 'n').replace(0, 1, "l")), Text("long"));
  EXPECT_EQ(Extract(image, "short"), Text("s"));
}

TEST(ExtractFile, HeaderTooSmallForItsNameIsDamage) {
  pack::FileBlock block = Stored("name.txt", Text("abc"));
  block.header_size = rar::kFileHeaderSize + 4;  // less than the fixed part and the 8 name bytes
  Bytes image = ArchiveOf({block});
  EXPECT_EQ(Extract(image, "name.txt"), std::nullopt);
  // One byte short: the data would start at the name's last byte, and the
  // CRC is that of what would be read from there.
  block.header_size = rar::kFileHeaderSize + 8 - 1;
  block.file_crc = Crc32Of("tab", 3);
  EXPECT_EQ(Extract(ArchiveOf({block}), "name.txt"), std::nullopt);
  // Exactly the name: fine.
  block.header_size = rar::kFileHeaderSize + 8;
  block.file_crc = Crc32Of("abc", 3);
  EXPECT_EQ(Extract(ArchiveOf({block}), "name.txt"), Text("abc"));
}

TEST(ExtractFile, ImpossibleSizesFailBeforeAnythingIsAllocated) {
  // A stored file cannot hold more than its packed bytes.
  pack::FileBlock stored = Stored("s", Text("abc"));
  stored.unpacked_size = 0xFFFFFFF0u;
  EXPECT_EQ(Extract(ArchiveOf({stored}), "s"), std::nullopt);
  // A compressed code yields at most 260 bytes, so a byte at most 2080.
  pack::FileBlock packed = Stored("c", Bytes(10, 0));
  packed.method = 0x33;
  packed.unpacked_size = 20801;
  EXPECT_EQ(Extract(ArchiveOf({packed}), "c"), std::nullopt);
  packed.unpacked_size = 0xFFFFFFFFu;
  EXPECT_EQ(Extract(ArchiveOf({packed}), "c"), std::nullopt);
}

// An earlier file whose size is impossible: in a solid archive it is
// decoded on the way to the wanted one, so the wanted one fails with it; in
// a plain archive earlier files are skipped and not judged.
TEST(ExtractFile, AnImpossibleEarlierFileFailsOnlyASolidArchive) {
  pack::FileBlock liar = Stored("liar", Text("abc"));
  liar.unpacked_size = 0xFFFFFFF0u;
  const pack::FileBlock wanted = Stored("wanted", Text("ok"));
  EXPECT_EQ(Extract(ArchiveOf({liar, wanted}), "wanted"), Text("ok"));
  EXPECT_EQ(Extract(ArchiveOf({liar, wanted}, rar::kMainSolid), "wanted"), std::nullopt);
}

TEST(ExtractFile, TruncatedStoredDataFailsEvenWhenZerosWouldMatch) {
  // The announced 64 bytes are zeros, but the image ends before them: the
  // reader must not hand back zeros it never read.
  Bytes zeros(64, 0);
  Bytes image = ArchiveOf({Stored("z", zeros)});
  image.resize(image.size() - 1);
  EXPECT_EQ(Extract(image, "z"), std::nullopt);
}

TEST(ExtractFile, VersionIsCheckedOnlyForFilesThatAreProcessed) {
  pack::FileBlock newer = Stored("newer", Text("v21"));
  newer.version_needed = 21;
  pack::FileBlock older = Stored("older", Text("v12"));
  older.version_needed = 12;
  pack::FileBlock wanted = Stored("wanted", Text("ok"));
  // Not solid: files before the wanted one are not read.
  EXPECT_EQ(Extract(ArchiveOf({newer, older, wanted}), "wanted"), Text("ok"));
  EXPECT_EQ(Extract(ArchiveOf({newer, wanted}), "newer"), std::nullopt);
  // Solid: every file up to the wanted one is processed.
  EXPECT_EQ(Extract(ArchiveOf({newer, wanted}, rar::kMainSolid), "wanted"), std::nullopt);
  EXPECT_EQ(Extract(ArchiveOf({older, wanted}, rar::kMainSolid), "wanted"), std::nullopt);
  for (uint8_t v : {13, 15, 20}) {
    pack::FileBlock ok = Stored("x", Text("x"));
    ok.version_needed = v;
    EXPECT_EQ(Extract(ArchiveOf({ok, wanted}, rar::kMainSolid), "wanted"), Text("ok")) << int(v);
  }
}

TEST(ExtractFile, OnlyTheSolidFlagMakesAnArchiveSolid) {
  // Files before the wanted one are processed only in a solid archive, and
  // a file of version 21 fails when processed.
  pack::FileBlock newer = Stored("newer", Text("v21"));
  newer.version_needed = 21;
  pack::FileBlock wanted = Stored("wanted", Text("ok"));
  EXPECT_EQ(Extract(ArchiveOf({newer, wanted}, 0xFFFF & ~rar::kMainSolid), "wanted"), Text("ok"));
  EXPECT_EQ(Extract(ArchiveOf({newer, wanted}, rar::kMainSolid), "wanted"), std::nullopt);
}

TEST(ExtractFile, OnlyTheContinuationFlagCarriesTheStreamOn) {
  // Two files, each a whole stream with its own table block: the second is
  // decoded from its start only when it does not continue the first (its
  // table block would be read as symbols otherwise).
  StreamWriter one, two;
  one.LzTables();
  one.Literals("one");
  Lengths other = FlatLzLengths();
  other['t'] = 3;
  two.LzTables(other);
  two.Literals("two");
  const uint16_t every_other = 0x7FFF & ~rar::kFileSolidContinuation;
  Bytes fresh = ArchiveOf({Compressed("one", one.Packed(), Text("one")),
                           Compressed("two", two.Packed(), Text("two"), every_other)},
                          rar::kMainSolid);
  EXPECT_EQ(Extract(fresh, "two"), Text("two"));
  Bytes continued = ArchiveOf({Compressed("one", one.Packed(), Text("one")),
                               Compressed("two", two.Packed(), Text("two"), rar::kFileSolidContinuation)},
                              rar::kMainSolid);
  EXPECT_EQ(Extract(continued, "two"), std::nullopt);
}

TEST(ExtractFile, PackedDataEndsWhereItsSizeSays) {
  // The stream's last two bytes lie in the image right after the data the
  // header announces; they are not the file's.
  StreamWriter s;
  Expected e;
  s.LzTables();
  for (int i = 0; i < 40; ++i) {
    s.Literal(static_cast<uint8_t>('a' + i % 26));
    e.Byte(static_cast<uint8_t>('a' + i % 26));
  }
  pack::FileBlock block = Compressed("f", s.Packed(), e.bytes);
  EXPECT_EQ(Extract(ArchiveOf({block}), "f"), e.bytes);
  block.packed_size_from_data = false;
  block.packed_size = static_cast<uint32_t>(block.data.size() - 2);
  EXPECT_EQ(Extract(ArchiveOf({block}), "f"), std::nullopt);
}

TEST(ExtractFile, MainHeaderSizePlacesTheFirstBlock) {
  Bytes image;
  pack::AppendSignature(image, pack::Signature::kStandard);
  pack::AppendMainHeader(image, 0, Text("an archive comment of some length"));
  pack::AppendFileBlock(image, Stored("f", Text("found")));
  EXPECT_EQ(Extract(image, "f"), Text("found"));
}

TEST(ExtractFile, EncryptedFilesAreJudgedByTheirCrc) {
  // Without a password the bytes are taken as they are; here they happen to
  // be the plain file, so the CRC check passes.
  pack::FileBlock block = Stored("e", Text("plain"));
  block.flags |= rar::kFileEncrypted;
  EXPECT_EQ(Extract(ArchiveOf({block}), "e"), Text("plain"));
}

TEST(ExtractFile, CompressedFilesWithDamagedDataFailCleanly) {
  pack::FileBlock block = Stored("c", Text("not really compressed data"));
  block.method = 0x33;
  block.unpacked_size = 100;
  EXPECT_EQ(Extract(ArchiveOf({block}), "c"), std::nullopt);
}

TEST(ExtractFile, NullArgumentsFail) {
  Bytes image = ArchiveOf({Stored("f", Text("x"))});
  MemoryArchive archive{image.data(), static_cast<uint32_t>(image.size()), 0};
  uint8_t* buffer = nullptr;
  uint32_t size = 1;
  EXPECT_EQ(ExtractFile(&buffer, &size, nullptr, &archive, nullptr), 0);
  EXPECT_EQ(ExtractFile(&buffer, &size, "f", nullptr, nullptr), 0);
  EXPECT_EQ(buffer, nullptr);
  EXPECT_EQ(size, 0u);
}

TEST(Crc32, MatchesKnownValuesWhicheverWayTheBytesArrive) {
  EXPECT_EQ(Crc32Of("123456789", 9), 0xCBF43926u);
  EXPECT_EQ(Crc32Of("", 0), 0u);
  EXPECT_EQ(Crc32Of("foo\n", 4), 0x7E3265A8u);
  // The register may be carried across calls of any length.
  Bytes data(1000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 31 + (i >> 3));
  uint32_t whole = Crc32Of(data.data(), data.size());
  for (size_t split : {1, 7, 8, 9, 500, 999}) {
    uint32_t crc = Crc32(0xFFFFFFFFu, data.data(), split);
    crc = Crc32(crc, data.data() + split, data.size() - split);
    EXPECT_EQ(~crc, whole) << split;
  }
}

}  // namespace
