#include "settings/program_dir.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "settings/settings.h"

namespace {

class ProgramDirChoice : public testing::Test {
 protected:
  void SetUp() override {
    const char* home = std::getenv("VELTO_HOME");
    savedHome_ = home != nullptr ? std::optional<std::string>(home) : std::nullopt;
    savedDir_ = ProgramDir;
    ::unsetenv("VELTO_HOME");
  }
  void TearDown() override {
    if (savedHome_) {
      ::setenv("VELTO_HOME", savedHome_->c_str(), 1);
    } else {
      ::unsetenv("VELTO_HOME");
    }
    ProgramDir = savedDir_;
  }
  std::optional<std::string> savedHome_;
  std::string savedDir_;
};

TEST_F(ProgramDirChoice, OptionThenEnvironmentThenTheExecutablesFolder) {
  const std::string exeDir = ExecutableDir();
  EXPECT_EQ(exeDir, std::filesystem::read_symlink("/proc/self/exe").parent_path().string() + "/");
  EXPECT_EQ(ChooseProgramDir(), exeDir);
  ::setenv("VELTO_HOME", "", 1);
  EXPECT_EQ(ChooseProgramDir(), exeDir);
  ::setenv("VELTO_HOME", "/opt/velto", 1);
  EXPECT_EQ(ChooseProgramDir(), "/opt/velto/");
  EXPECT_EQ(ChooseProgramDir("/home/me/velto/"), "/home/me/velto/");
}

TEST_F(ProgramDirChoice, SetupCreatesTheTempFolder) {
  const auto home = std::filesystem::temp_directory_path() /
                    ("velto-home-" + std::to_string(::getpid()));
  std::filesystem::remove_all(home);
  std::filesystem::create_directories(home / "resources");  // found whatever its case
  ASSERT_TRUE(SetupProgramDir(home.string()));
  EXPECT_EQ(ProgramDir, home.string() + "/");
  EXPECT_TRUE(std::filesystem::is_directory(home / "resources" / "temp"));
  EXPECT_FALSE(std::filesystem::exists(home / "Resources"));
  std::filesystem::remove_all(home);
}

}  // namespace
