// The command-line tools, run as a user runs them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/tools/tool_runner.h"
#include "tools/common/file_io.h"

namespace {

namespace fs = std::filesystem;

using Result = testing_helpers::ToolResult;

class ToolsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("quarb-tools-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "in" / "Sub");
    Write("in/hello.txt", "hello\n");
    Write("in/Sub/Mixed Case.BIN", std::string("\0\1\2\3", 4));
    Write("in/empty", "");
  }
  void TearDown() override { fs::remove_all(dir_); }

  void Write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name, std::ios::binary) << text;
  }
  std::string Read(const std::string& name) {
    auto bytes = tools::ReadWholeFile(dir_ / name);
    return std::string(bytes.begin(), bytes.end());
  }

  Result Run(const std::string& tool, const std::string& args) { return testing_helpers::RunTool(dir_, tool, args); }

  fs::path dir_;
};

TEST_F(ToolsTest, PackListAndExtract) {
  Result pack = Run("quarb-pack", "-o disk.rar -C in hello.txt Sub empty");
  ASSERT_EQ(pack.status, 0) << pack.err;

  Result list = Run("quarb-extract", "--list disk.rar");
  ASSERT_EQ(list.status, 0) << list.err;
  EXPECT_NE(list.out.find("hello.txt"), std::string::npos);
  EXPECT_NE(list.out.find("Sub\\Mixed Case.BIN"), std::string::npos);
  EXPECT_NE(list.out.find("363a3020"), std::string::npos) << "CRC-32 of hello\\n:\n" << list.out;

  Result to_stdout = Run("quarb-extract", "disk.rar HELLO.TXT");
  EXPECT_EQ(to_stdout.status, 0);
  EXPECT_EQ(to_stdout.out, "hello\n");

  Result to_file = Run("quarb-extract", "disk.rar 'sub/mixed case.bin' -o out.bin");
  EXPECT_EQ(to_file.status, 0) << to_file.err;
  EXPECT_EQ(Read("out.bin"), std::string("\0\1\2\3", 4));

  EXPECT_EQ(Run("quarb-extract", "disk.rar empty -o empty.out").status, 0);
  EXPECT_TRUE(fs::exists(dir_ / "empty.out"));
  EXPECT_EQ(fs::file_size(dir_ / "empty.out"), 0u);
}

TEST_F(ToolsTest, ScrambledSolidAlternativeImage) {
  ASSERT_EQ(Run("quarb-pack", "-o image.bin --solid --signature alternative --scramble "
                              "--name-as playlist.csv in/hello.txt")
                .status,
            0);
  Result plain = Run("quarb-extract", "image.bin playlist.csv");
  EXPECT_NE(plain.status, 0);
  EXPECT_NE(plain.err.find("--scrambled"), std::string::npos) << plain.err;
  Result ok = Run("quarb-extract", "--scrambled image.bin playlist.csv");
  EXPECT_EQ(ok.status, 0) << ok.err;
  EXPECT_EQ(ok.out, "hello\n");
  std::string head = Read("image.bin").substr(0, 7);
  for (char& c : head) c = static_cast<char>(c ^ 0x5E);
  EXPECT_EQ(head, "KwindE!");
}

TEST_F(ToolsTest, FailuresSayWhyAndLeaveNoOutputBehind) {
  ASSERT_EQ(Run("quarb-pack", "-o disk.rar -C in hello.txt").status, 0);

  Result missing = Run("quarb-extract", "disk.rar nothing.txt -o out");
  EXPECT_NE(missing.status, 0);
  EXPECT_NE(missing.err.find("no file named 'nothing.txt'"), std::string::npos) << missing.err;
  EXPECT_FALSE(fs::exists(dir_ / "out"));

  // Flip a byte of the stored data: the CRC no longer matches.
  std::string image = Read("disk.rar");
  image[image.size() - 2] ^= 0x20;
  Write("bad.rar", image);
  Result crc = Run("quarb-extract", "bad.rar hello.txt -o out");
  EXPECT_NE(crc.status, 0);
  EXPECT_NE(crc.err.find("damaged"), std::string::npos) << crc.err;
  EXPECT_FALSE(fs::exists(dir_ / "out"));

  // Cut the archive inside the file's data.
  Write("short.rar", Read("disk.rar").substr(0, image.size() - 3));
  Result cut = Run("quarb-extract", "short.rar hello.txt -o out");
  EXPECT_NE(cut.status, 0);
  EXPECT_FALSE(fs::exists(dir_ / "out"));
  EXPECT_NE(Run("quarb-extract", "--list short.rar").status, 0);

  Write("garbage.rar", "this is not an archive at all");
  Result garbage = Run("quarb-extract", "garbage.rar x");
  EXPECT_NE(garbage.status, 0);
  EXPECT_NE(garbage.err.find("not a RAR archive"), std::string::npos) << garbage.err;

  EXPECT_NE(Run("quarb-extract", "no-such-file.rar x").status, 0);
}

TEST_F(ToolsTest, PackNeverLeavesAHalfWrittenArchive) {
  Write("disk.rar", "previous contents");
  Result bad = Run("quarb-pack", "-o disk.rar in/hello.txt in/does-not-exist");
  EXPECT_NE(bad.status, 0);
  EXPECT_NE(bad.err.find("does-not-exist"), std::string::npos) << bad.err;
  EXPECT_EQ(Read("disk.rar"), "previous contents");
  for (const auto& entry : fs::directory_iterator(dir_)) {
    EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos) << entry.path();
  }
  EXPECT_EQ(Run("quarb-pack", "in/hello.txt").status, 2) << "no -o";
  EXPECT_EQ(Run("quarb-pack", "-o x.rar --signature odd in/hello.txt").status, 2);
}

}  // namespace
