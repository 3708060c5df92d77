#include <gtest/gtest.h>

#include <random>
#include <tuple>

#include "tests/archive/extract_helpers.h"

namespace {

using namespace testing_helpers;

std::vector<pack::InputFile> SampleFiles() {
  std::mt19937 rng(7);
  Bytes big(3 * 1024 * 1024);
  for (uint8_t& b : big) b = static_cast<uint8_t>(rng());
  return {
      {"empty.bin", {}, 0},
      {"one", {0x42}, 0},
      {pack::ArchiveName("Songs/Deep/Track One.MOD"), Text("M.K. not a real module"), 0},
      {pack::ArchiveName("songs/deep/track two.s3m"), Text("SCRM"), 0},
      {"big.raw", big, 0},
  };
}

class RoundTrip : public ::testing::TestWithParam<std::tuple<bool, pack::Signature, bool>> {};

TEST_P(RoundTrip, EveryFileComesBackByName) {
  auto [solid, signature, scramble] = GetParam();
  std::vector<pack::InputFile> files = SampleFiles();
  pack::PackOptions options;
  options.solid = solid;
  options.signature = signature;
  options.scramble = scramble;
  Bytes image = pack::BuildArchive(files, options);
  if (scramble) {
    MemoryArchive plain{image.data(), static_cast<uint32_t>(image.size()), 0};
    UnscrambleArchiveImage(plain);
  }
  EXPECT_EQ(Extract(image, "EMPTY.BIN"), Bytes{});
  EXPECT_EQ(Extract(image, "one"), Bytes{0x42});
  EXPECT_EQ(Extract(image, "songs/deep/track one.mod"), files[2].data);
  EXPECT_EQ(Extract(image, "Songs\\Deep\\Track Two.S3M"), files[3].data);
  EXPECT_EQ(Extract(image, "big.raw"), files[4].data);
  EXPECT_EQ(Extract(image, "missing"), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(AllLayouts, RoundTrip,
                         ::testing::Combine(::testing::Bool(),
                                            ::testing::Values(pack::Signature::kStandard,
                                                              pack::Signature::kAlternative),
                                            ::testing::Bool()));

TEST(BuildArchive, WritesTheHeadersTheFormatExpects) {
  Bytes image = pack::BuildArchive({{"a\\b", Text("xyz"), pack::DosTime(0)}}, {true, pack::Signature::kStandard, false});
  ASSERT_GE(image.size(), 7u + 13 + 32 + 3 + 3);
  EXPECT_EQ(Bytes(image.begin(), image.begin() + 7), (Bytes{0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00}));
  const uint8_t* main = image.data() + 7;
  EXPECT_EQ(main[2], 0x73);
  EXPECT_EQ(main[3] & 0x08, 0x08) << "solid flag";
  EXPECT_EQ(main[5] | (main[6] << 8), 13);
  EXPECT_EQ(main[0] | (main[1] << 8), Crc32Of(main + 2, 11) & 0xFFFF);
  const uint8_t* file = main + 13;
  EXPECT_EQ(file[2], 0x74);
  EXPECT_EQ(file[24], 20) << "unpack version";
  EXPECT_EQ(file[25], 0x30) << "stored";
  EXPECT_EQ(file[0] | (file[1] << 8), Crc32Of(file + 2, 30 + 3) & 0xFFFF);
  EXPECT_EQ(file[16] | (file[17] << 8) | (file[18] << 16) | (uint32_t(file[19]) << 24), Crc32Of("xyz", 3));
  // 1980-01-01 00:00:00 is the earliest DOS time.
  EXPECT_EQ(pack::DosTime(0), (1u << 21) | (1u << 16));
  EXPECT_EQ(pack::DosTime(1700000000), 0x576EB1AAu);  // 2023-11-14 22:13:20 UTC
}

TEST(BuildArchive, RefusesNamesTheFormatCannotCarry) {
  EXPECT_THROW(pack::BuildArchive({{"", Text("x"), 0}}, {}), std::runtime_error);
  EXPECT_THROW(pack::BuildArchive({{std::string(70000, 'a'), Text("x"), 0}}, {}), std::runtime_error);
}

}  // namespace
