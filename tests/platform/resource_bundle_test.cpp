// Resources appended to a program's file: written by quarb-disk, found by the
// player at start-up in place of its compiled-in table.
#include "platform/resource_bundle.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/resources.h"

namespace {

using resource_bundle::Entry;
using resource_bundle::Status;
using Bytes = std::vector<uint8_t>;

std::vector<Entry> SampleEntries() {
  return {{"BINARY", 0, 107, {1, 2, 3, 4, 5}},
          {"", 2, 102, Bytes(1000, 0x42)},
          {"", 14, 109, {}},
          {"binary", 0, 103, {9}}};
}

// A stand-in for an executable with a bundle after it.
Bytes Program(const Bytes& bundle) {
  Bytes file(4096);
  for (size_t i = 0; i < file.size(); ++i) file[i] = static_cast<uint8_t>(i * 7);
  file.insert(file.end(), bundle.begin(), bundle.end());
  return file;
}

TEST(ResourceBundle, WhatIsWrittenIsReadBackAndItsStartIsFound) {
  const std::vector<Entry> entries = SampleEntries();
  const Bytes file = Program(resource_bundle::Write(entries));
  std::vector<Entry> read;
  std::string error;
  ASSERT_EQ(resource_bundle::Read(file.data(), file.size(), &read, &error), Status::kValid) << error;
  ASSERT_EQ(read.size(), entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(read[i].type_name, entries[i].type_name);
    EXPECT_EQ(read[i].type_id, entries[i].type_id);
    EXPECT_EQ(read[i].id, entries[i].id);
    EXPECT_EQ(read[i].bytes, entries[i].bytes);
  }
  EXPECT_EQ(resource_bundle::Start(file.data(), file.size()), 4096u);

  // A program without a bundle, or too short to hold a trailer.
  const Bytes plain = Program({});
  EXPECT_EQ(resource_bundle::Read(plain.data(), plain.size(), &read, &error), Status::kNone);
  EXPECT_EQ(resource_bundle::Start(plain.data(), plain.size()), plain.size());
  EXPECT_EQ(resource_bundle::Read(plain.data(), 10, &read, &error), Status::kNone);
}

// Every single changed byte of the bundle or its trailer is caught: the
// bundle is either refused as damaged, or (when the change hits the magic
// word) not seen at all. Never a bundle with other contents.
TEST(ResourceBundle, AnyDamagedByteIsRefused) {
  const Bytes good = Program(resource_bundle::Write(SampleEntries()));
  for (size_t at = 4096; at < good.size(); ++at) {
    Bytes bad = good;
    bad[at] ^= 0x10;
    std::vector<Entry> read;
    std::string error;
    const Status status = resource_bundle::Read(bad.data(), bad.size(), &read, &error);
    const bool in_magic = at >= good.size() - 8;
    EXPECT_EQ(status, in_magic ? Status::kNone : Status::kDamaged) << "byte " << at;
    EXPECT_TRUE(read.empty());
    if (status == Status::kDamaged) {
      EXPECT_FALSE(error.empty());
    }
  }
}

// A bundle whose CRC matches but whose fields lie (as a hostile file could
// be made): sizes past the end, a huge count, a type that is both named and
// numbered. The CRC is recomputed by writing the forged body through Write's
// own trailer layout.
Bytes Forged(const Bytes& body) {
  // Write() of no entries gives "count 0" + trailer; replace its body.
  Bytes empty = resource_bundle::Write({});
  Bytes trailer(empty.end() - resource_bundle::kTrailerSize, empty.end());
  uint32_t crc = 0xFFFFFFFFu;
  for (uint8_t b : body) {
    crc ^= b;
    for (int k = 0; k < 8; ++k) crc = (crc & 1) ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
  }
  crc = ~crc;
  for (int i = 0; i < 8; ++i) trailer[i] = static_cast<uint8_t>(static_cast<uint64_t>(body.size()) >> (8 * i));
  for (int i = 0; i < 4; ++i) trailer[8 + i] = static_cast<uint8_t>(crc >> (8 * i));
  Bytes out = body;
  out.insert(out.end(), trailer.begin(), trailer.end());
  return out;
}

TEST(ResourceBundle, FieldsThatLieAreRefusedEvenWithAGoodChecksum) {
  const std::vector<Bytes> bodies = {
      {0xFF, 0xFF, 0xFF, 0xFF},                                   // four billion entries
      {1, 0, 0, 0, 2, 0, 102, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0, 0},   // data size past the end
      {1, 0, 0, 0, 2, 0, 102, 0, 1, 0, 0, 0, 'B', 0, 0, 0, 0},    // named and numbered
      {1, 0, 0, 0, 0, 0, 102, 0, 0, 0, 0, 0, 0, 0, 0, 0},         // neither
      {0, 0, 0, 0, 7},                                            // a byte after the last entry
      {1, 0},                                                     // the count cut short
  };
  for (size_t i = 0; i < bodies.size(); ++i) {
    const Bytes file = Program(Forged(bodies[i]));
    std::vector<Entry> read;
    std::string error;
    EXPECT_EQ(resource_bundle::Read(file.data(), file.size(), &read, &error), Status::kDamaged) << "body " << i;
    EXPECT_EQ(error.find("CRC"), std::string::npos) << "body " << i << " reached its fields: " << error;
  }
  // A trailer that claims more bytes than the file has.
  Bytes file = resource_bundle::Write({});
  file[7] = 0x7F;
  std::vector<Entry> read;
  std::string error;
  EXPECT_EQ(resource_bundle::Read(file.data(), file.size(), &read, &error), Status::kDamaged);
}

class AppendedResourcesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = std::filesystem::temp_directory_path() / ("quarb-bundle-" + std::to_string(getpid()));
  }
  void TearDown() override {
    InstallResourceTable(nullptr, 0);
    std::filesystem::remove(path_);
  }
  void WriteFile(const Bytes& bytes) {
    std::ofstream(path_, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }
  std::filesystem::path path_;
};

TEST_F(AppendedResourcesTest, TheAppendedTableIsTheOneThePlayerSees) {
  WriteFile(Program(resource_bundle::Write(SampleEntries())));
  std::string error;
  ASSERT_EQ(InstallAppendedResources(path_.c_str(), &error), AppendedResources::kInstalled) << error;
  HRSRC image = FindResourceA(nullptr, MAKEINTRESOURCEA(107), "BINARY");
  ASSERT_NE(image, nullptr);
  ASSERT_EQ(SizeofResource(nullptr, image), 5u);
  auto* bytes = static_cast<uint8_t*>(LockResource(LoadResource(nullptr, image)));
  EXPECT_EQ(bytes[4], 5);
  bytes[0] ^= 0x5E;  // writable, as the archive image must be
  EXPECT_NE(FindResourceA(nullptr, MAKEINTRESOURCEA(102), RT_BITMAP), nullptr);
  EXPECT_NE(FindResourceA(nullptr, MAKEINTRESOURCEA(103), "BINARY"), nullptr) << "type names ignore case";
  EXPECT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(168), RT_BITMAP), nullptr);
}

TEST_F(AppendedResourcesTest, NoBundleLeavesTheTableAloneAndADamagedOneIsReported) {
  WriteFile(Program({}));
  std::string error;
  EXPECT_EQ(InstallAppendedResources(path_.c_str(), &error), AppendedResources::kNone);
  EXPECT_EQ(InstallAppendedResources((path_.string() + ".missing").c_str(), &error), AppendedResources::kNone);

  Bytes file = Program(resource_bundle::Write(SampleEntries()));
  file[4096 + 20] ^= 1;
  WriteFile(file);
  EXPECT_EQ(InstallAppendedResources(path_.c_str(), &error), AppendedResources::kDamaged);
  EXPECT_NE(error.find("CRC"), std::string::npos) << error;
  EXPECT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(107), "BINARY"), nullptr) << "nothing installed";
}

}  // namespace
