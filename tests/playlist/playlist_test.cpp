#include "data/playlist.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// A zeroed table, as the player's is at start-up.
std::unique_ptr<Playlist> EmptyPlaylist() { return std::make_unique<Playlist>(); }

// Parses `text` from a heap block of exactly its size, so that a read past the
// end is caught by the sanitizer build.
std::unique_ptr<Playlist> Parse(const std::string& text, Playlist* into = nullptr) {
  std::unique_ptr<Playlist> owned;
  if (into == nullptr) {
    owned = EmptyPlaylist();
    into = owned.get();
  }
  std::vector<char> exact(text.begin(), text.end());
  ParsePlaylist(exact.data(), exact.size(), *into);
  return owned;
}

bool AllZero(const char* field) {
  for (int i = 0; i < kPlaylistFieldSize; ++i)
    if (field[i] != 0) return false;
  return true;
}

TEST(ParsePlaylist, ReadsOneEntryPerCompleteLine) {
  auto p = Parse("First Song;song1.mod\nSecond;dir/song2.xm\n");
  ASSERT_EQ(p->count, 2);
  EXPECT_STREQ(p->entries[0].title, "First Song");
  EXPECT_STREQ(p->entries[0].file_name, "song1.mod");
  EXPECT_STREQ(p->entries[1].title, "Second");
  EXPECT_STREQ(p->entries[1].file_name, "dir/song2.xm");
}

TEST(ParsePlaylist, IgnoresALastLineWithoutItsLineEnd) {
  auto p = Parse("First Song;song1.mod\nSecond;song2.xm");
  EXPECT_EQ(p->count, 1);
  EXPECT_TRUE(AllZero(p->entries[1].title));
  EXPECT_TRUE(AllZero(p->entries[1].file_name));
}

TEST(ParsePlaylist, TakesFieldsByteForByte) {
  auto p = Parse(";untitled.mod\nNo file;\n  Blanks  ; spaced.s3m \nA;b;c.it\nDos;dos.mod\r\n");
  ASSERT_EQ(p->count, 5);
  EXPECT_STREQ(p->entries[0].title, "");
  EXPECT_STREQ(p->entries[0].file_name, "untitled.mod");
  EXPECT_STREQ(p->entries[1].title, "No file");
  EXPECT_STREQ(p->entries[1].file_name, "");
  EXPECT_STREQ(p->entries[2].title, "  Blanks  ");
  EXPECT_STREQ(p->entries[2].file_name, " spaced.s3m ");
  EXPECT_STREQ(p->entries[3].title, "A");
  EXPECT_STREQ(p->entries[3].file_name, "b;c.it");
  EXPECT_STREQ(p->entries[4].file_name, "dos.mod\r");
}

TEST(ParsePlaylist, ALineWithoutSemicolonJoinsTheNextOne) {
  auto p = Parse("\nOnly;only.mod\n");
  ASSERT_EQ(p->count, 1);
  EXPECT_STREQ(p->entries[0].title, "\nOnly");
  EXPECT_STREQ(p->entries[0].file_name, "only.mod");

  p = Parse("intro text\nmore\nTitle;t.mod\nNext;n.mod\n");
  ASSERT_EQ(p->count, 2);
  EXPECT_STREQ(p->entries[0].title, "intro text\nmore\nTitle");
  EXPECT_STREQ(p->entries[1].title, "Next");
}

TEST(ParsePlaylist, TextEndsAtTheFirstNulByte) {
  std::string text("One;one.mod\nTw", 14);
  text += '\0';
  text += "o;two.mod\nThree;three.mod\n";
  auto p = Parse(text);
  EXPECT_EQ(p->count, 1);
  EXPECT_STREQ(p->entries[0].file_name, "one.mod");

  p = Parse(std::string("\0A;a.mod\n", 9));
  EXPECT_EQ(p->count, 0);
}

TEST(ParsePlaylist, ReadsNothingBeyondTheGivenLength) {
  const char text[] = "One;one.mod\nTwo;two.mod\n";
  auto p = EmptyPlaylist();
  ParsePlaylist(text, 12, *p);  // stops right after the first line end
  EXPECT_EQ(p->count, 1);

  p = EmptyPlaylist();
  ParsePlaylist(text, 0, *p);
  EXPECT_EQ(p->count, 0);
  ParsePlaylist(static_cast<const char*>(nullptr), 5, *p);
  EXPECT_EQ(p->count, 0);
}

TEST(ParsePlaylist, AppendsAfterTheEntriesAlreadyThere) {
  auto p = EmptyPlaylist();
  Parse("A;a.mod\n", p.get());
  Parse("B;b.mod\nC;c.mod\n", p.get());
  ASSERT_EQ(p->count, 3);
  EXPECT_STREQ(p->entries[0].title, "A");
  EXPECT_STREQ(p->entries[1].title, "B");
  EXPECT_STREQ(p->entries[2].file_name, "c.mod");
}

TEST(ParsePlaylist, EmptyTextOrNoLineEndLeavesTheTableEmpty) {
  EXPECT_EQ(Parse("")->count, 0);
  EXPECT_EQ(Parse("Title;file.mod")->count, 0);
  EXPECT_EQ(Parse("no separators at all")->count, 0);
}

// Each field holds 259 bytes and its terminating NUL. Longer fields are cut;
// the line still ends where its "\n" is, so the next line is read intact.
TEST(ParsePlaylist, CutsFieldsLongerThanTheirBuffer) {
  const std::string fits(259, 't');
  const std::string too_long(260, 'u');
  const std::string much_too_long(5000, 'v');
  auto p = Parse(fits + ";" + fits + "\n" + too_long + ";" + much_too_long + "\nAfter;after.mod\n");
  ASSERT_EQ(p->count, 3);
  EXPECT_EQ(std::string(p->entries[0].title), fits);
  EXPECT_EQ(std::string(p->entries[0].file_name), fits);
  EXPECT_EQ(std::string(p->entries[1].title), too_long.substr(0, 259));
  EXPECT_EQ(p->entries[1].title[259], '\0');
  EXPECT_EQ(std::string(p->entries[1].file_name), much_too_long.substr(0, 259));
  EXPECT_EQ(p->entries[1].file_name[259], '\0');
  EXPECT_STREQ(p->entries[2].title, "After");
  EXPECT_STREQ(p->entries[2].file_name, "after.mod");
}

TEST(ParsePlaylist, StopsAtTheTableSize) {
  std::string text;
  for (int i = 0; i < 300; ++i) text += "Song " + std::to_string(i) + ";s" + std::to_string(i) + ".mod\n";
  auto p = Parse(text);
  ASSERT_EQ(p->count, kPlaylistMaxEntries);
  EXPECT_STREQ(p->entries[255].title, "Song 255");
  EXPECT_STREQ(p->entries[255].file_name, "s255.mod");

  // A full table takes nothing more; a nearly full one takes what fits.
  Parse("Extra;extra.mod\n", p.get());
  EXPECT_EQ(p->count, kPlaylistMaxEntries);
  EXPECT_STREQ(p->entries[255].title, "Song 255");

  p = EmptyPlaylist();
  p->count = 254;
  Parse("A;a\nB;b\nC;c\n", p.get());
  EXPECT_EQ(p->count, 256);
  EXPECT_STREQ(p->entries[255].title, "B");
}

TEST(ParsePlaylist, StopsWhereTheTextRunsOutBeforeASeparator) {
  // No ';' after the last complete entry: the trailing line is no entry.
  auto p = Parse("A;a.mod\nno separator here\n");
  EXPECT_EQ(p->count, 1);
  EXPECT_TRUE(AllZero(p->entries[1].title));

  // A ';' but no line end after it.
  p = Parse("A;a.mod\nheader line\nB;b.mod");
  EXPECT_EQ(p->count, 1);
  EXPECT_TRUE(AllZero(p->entries[1].title));
  EXPECT_TRUE(AllZero(p->entries[1].file_name));
}

TEST(ParsePlaylist, LeavesACorruptCountAlone) {
  auto p = EmptyPlaylist();
  p->count = -3;
  Parse("A;a.mod\n", p.get());
  EXPECT_EQ(p->count, -3);
  EXPECT_TRUE(AllZero(p->entries[0].title));
}

}  // namespace
