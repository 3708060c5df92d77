#include "data/memory_archive.h"

#include <gtest/gtest.h>

#include <vector>

#include "data/archive_image.h"
#include "platform/resources.h"

namespace {

std::vector<uint8_t> Counting(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 7 + 3);
  return v;
}

TEST(ReadArchiveBytes, DeliversWholeRequestsOrNothing) {
  std::vector<uint8_t> image = Counting(10);
  MemoryArchive archive{image.data(), 10, 0};
  uint8_t dest[16] = {};

  EXPECT_EQ(ReadArchiveBytes(&archive, dest, 0), 0u);  // empty request
  EXPECT_EQ(archive.offset, 0u);

  archive.offset = 4;
  std::fill(std::begin(dest), std::end(dest), 0xAA);
  EXPECT_EQ(ReadArchiveBytes(&archive, dest, 7), 0u);  // one byte too many
  EXPECT_EQ(archive.offset, 4u);
  EXPECT_EQ(dest[0], 0xAA) << "a refused read must not write";

  EXPECT_EQ(ReadArchiveBytes(&archive, dest, 6), 6u);  // ends exactly at the end
  EXPECT_EQ(archive.offset, 10u);
  EXPECT_EQ(dest[0], image[4]);
  EXPECT_EQ(dest[5], image[9]);
  EXPECT_EQ(ReadArchiveBytes(&archive, dest, 1), 0u);
  EXPECT_EQ(archive.offset, 10u);
}

TEST(ReadArchiveBytes, ReadsTheWholeImage) {
  std::vector<uint8_t> image = Counting(300);
  MemoryArchive archive{image.data(), 300, 0};
  std::vector<uint8_t> dest(300);
  EXPECT_EQ(ReadArchiveBytes(&archive, dest.data(), 300), 300u);
  EXPECT_EQ(dest, image);
}

TEST(ReadArchiveBytes, NeverWrapsAroundNearTheTopOfTheRange) {
  std::vector<uint8_t> image = Counting(8);
  MemoryArchive archive{image.data(), 8, 4};
  uint8_t dest[4];
  EXPECT_EQ(ReadArchiveBytes(&archive, dest, 0xFFFFFFFFu), 0u);
  EXPECT_EQ(ReadArchiveBytes(&archive, dest, 0xFFFFFFFDu), 0u);
  EXPECT_EQ(archive.offset, 4u);
}

TEST(ReadArchiveBytes, EmptyImageReadsNothing) {
  MemoryArchive archive{nullptr, 0, 0};
  uint8_t dest[1];
  EXPECT_EQ(ReadArchiveBytes(&archive, dest, 1), 0u);
  EXPECT_EQ(ReadArchiveBytes(&archive, dest, 0), 0u);
}

TEST(UnscrambleArchiveImage, XorsEveryByteAndIsItsOwnInverse) {
  std::vector<uint8_t> stored = Counting(257);
  std::vector<uint8_t> image = stored;
  MemoryArchive archive{image.data(), static_cast<uint32_t>(image.size()), 0};
  UnscrambleArchiveImage(archive);
  for (size_t i = 0; i < stored.size(); ++i) ASSERT_EQ(image[i], stored[i] ^ 0x5E) << i;
  UnscrambleArchiveImage(archive);
  EXPECT_EQ(image, stored);
}

class ArchiveImageTest : public ::testing::Test {
 protected:
  void TearDown() override { InstallResourceTable(nullptr, 0); }
};

TEST_F(ArchiveImageTest, OpensResource107AndUnscramblesItInPlace) {
  std::vector<uint8_t> stored = {'R' ^ 0x5E, 'a' ^ 0x5E, 0x00, 0xFF};
  std::vector<uint8_t> resource = stored;
  std::vector<uint8_t> other = {1, 2, 3};
  ResourceEntry table[] = {
      {"BINARY", 0, 103, other.data(), 3},
      {nullptr, 2, 107, other.data(), 3},  // a bitmap with the same id is not it
      {"binary", 0, 107, resource.data(), 4},
  };
  InstallResourceTable(table, 3);
  MemoryArchive* archive = OpenArchiveImage();
  ASSERT_NE(archive, nullptr);
  EXPECT_EQ(archive->data, resource.data()) << "the image is used where it lies";
  EXPECT_EQ(archive->size, 4u);
  EXPECT_EQ(archive->offset, 0u);
  for (size_t i = 0; i < stored.size(); ++i) EXPECT_EQ(resource[i], stored[i] ^ 0x5E);
  delete archive;
  EXPECT_EQ(resource[0], 'R') << "deleting the record leaves the bytes alone";
}

TEST_F(ArchiveImageTest, MissingResourceGivesAnEmptyImage) {
  InstallResourceTable(nullptr, 0);
  EXPECT_EQ(LoadBinaryResource(107), nullptr);
  EXPECT_EQ(BinaryResourceSize(107), 0u);
  MemoryArchive* archive = OpenArchiveImage();
  EXPECT_EQ(archive->data, nullptr);
  EXPECT_EQ(archive->size, 0u);
  uint8_t dest[1];
  EXPECT_EQ(ReadArchiveBytes(archive, dest, 1), 0u);
  delete archive;
}

}  // namespace
