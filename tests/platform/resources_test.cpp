#include "platform/resources.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

class ResourcesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    size_t count = 0;
    const ResourceEntry* table = EmbeddedResourceTable(&count);
    InstallResourceTable(table, count);
  }
  void TearDown() override { InstallResourceTable(nullptr, 0); }
};

std::string Bytes(HRSRC r) {
  HGLOBAL loaded = LoadResource(nullptr, r);
  const char* p = static_cast<const char*>(LockResource(loaded));
  return p ? std::string(p, SizeofResource(nullptr, r)) : std::string();
}

TEST_F(ResourcesTest, EmbeddedFilesAreFoundByTypeAndId) {
  EXPECT_EQ(Bytes(FindResourceA(nullptr, MAKEINTRESOURCEA(7), "BINARY")), "hello");
  EXPECT_EQ(Bytes(FindResourceA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(7), "binary")), "hello");
  // Bitmap resources are stored without the 14-byte file header.
  EXPECT_EQ(Bytes(FindResourceA(nullptr, MAKEINTRESOURCEA(9), RT_BITMAP)), "DIBDATA");
}

TEST_F(ResourcesTest, WrongTypeIdOrModuleFindsNothing) {
  EXPECT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(7), RT_BITMAP), nullptr);
  EXPECT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(8), "BINARY"), nullptr);
  EXPECT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(9), "BINARY"), nullptr);
  EXPECT_EQ(FindResourceA(nullptr, "7", "BINARY"), nullptr);
  EXPECT_EQ(FindResourceA(reinterpret_cast<HMODULE>(0x1234), MAKEINTRESOURCEA(7), "BINARY"), nullptr);
  EXPECT_EQ(LoadResource(nullptr, nullptr), nullptr);
  EXPECT_EQ(LockResource(nullptr), nullptr);
  EXPECT_EQ(SizeofResource(nullptr, nullptr), 0u);
}

TEST_F(ResourcesTest, BytesAreWritableInPlace) {
  HRSRC r = FindResourceA(nullptr, MAKEINTRESOURCEA(7), "BINARY");
  char* p = static_cast<char*>(LockResource(LoadResource(nullptr, r)));
  p[0] = 'j';
  EXPECT_EQ(Bytes(r), "jello");
  p[0] = 'h';
}

}  // namespace
