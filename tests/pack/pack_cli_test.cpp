// quarb-pack's compression options, run as a user runs them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/pack/sample_data.h"
#include "tests/tools/tool_runner.h"
#include "tools/common/file_io.h"

namespace {

namespace fs = std::filesystem;

using Result = testing_helpers::ToolResult;

class PackCli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("quarb-pack-cli-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "in");
    Write("in/text.txt", sample_data::Text(30000, 1));
    Write("in/song.mod", sample_data::Module(4, 4, 2));
    Write("in/empty", {});
  }
  void TearDown() override { fs::remove_all(dir_); }

  void Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::ofstream(dir_ / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }
  std::vector<uint8_t> Read(const std::string& name) { return tools::ReadWholeFile(dir_ / name); }

  Result Run(const std::string& tool, const std::string& args) { return testing_helpers::RunTool(dir_, tool, args); }

  fs::path dir_;
};

TEST_F(PackCli, EveryLevelWritesAnArchiveTheExtractorReads) {
  size_t stored = 0;
  for (int level = 0; level <= 5; ++level) {
    SCOPED_TRACE(level);
    std::string archive = "disk" + std::to_string(level) + ".rar";
    Result pack = Run("quarb-pack", "-" + std::to_string(level) + " --solid -o " + archive + " -C in .");
    ASSERT_EQ(pack.status, 0) << pack.err;
    EXPECT_EQ(pack.err, "") << "no progress report for small inputs";
    for (const char* name : {"text.txt", "song.mod", "empty"}) {
      Result out = Run("quarb-extract", archive + " " + name + " -o " + name + ".out");
      ASSERT_EQ(out.status, 0) << out.err;
      EXPECT_EQ(Read(std::string(name) + ".out"), Read(std::string("in/") + name)) << name;
    }
    size_t size = fs::file_size(dir_ / archive);
    if (level == 0) stored = size;
    else EXPECT_LT(size, stored / 2) << "compressed";
  }
}

TEST_F(PackCli, RefusesUnknownLevelsAndKeepsTheOldArchive) {
  ASSERT_EQ(Run("quarb-pack", "-1 -o disk.rar in/text.txt").status, 0);
  std::vector<uint8_t> before = Read("disk.rar");
  Result bad = Run("quarb-pack", "-7 -o disk.rar in/song.mod");
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("-7"), std::string::npos) << bad.err;
  Result missing = Run("quarb-pack", "-5 -o disk.rar in/no-such-file");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("no-such-file"), std::string::npos) << missing.err;
  EXPECT_EQ(Read("disk.rar"), before);
}

TEST_F(PackCli, ReportsProgressForLargeInputsUnlessQuiet) {
  Write("in/large.txt", sample_data::Text(5 << 20, 3));
  Result loud = Run("quarb-pack", "-1 -o big.rar in/large.txt");
  ASSERT_EQ(loud.status, 0) << loud.err;
  EXPECT_NE(loud.err.find("100%"), std::string::npos) << loud.err;
  Result quiet = Run("quarb-pack", "-1 -q -o big2.rar in/large.txt");
  ASSERT_EQ(quiet.status, 0);
  EXPECT_EQ(quiet.err, "");
  EXPECT_EQ(Read("big.rar"), Read("big2.rar"));
}

}  // namespace
