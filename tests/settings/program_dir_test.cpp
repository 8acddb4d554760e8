#include "settings/program_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "settings/settings.h"
#include "tests/support/keep.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(ProgramDir, OptionThenEnvironmentThenTheExecutablesFolderAndSetupMakesTemp) {
  TKeep keep(ProgramDir);
  const char* home = std::getenv("VELTO_HOME");
  const std::string savedHome = home != nullptr ? home : "";
  const std::string exeDir = ExecutableDir();
  EXPECT_EQ(exeDir, std::filesystem::read_symlink("/proc/self/exe").parent_path().string() + "/");
  ::setenv("VELTO_HOME", "", 1);
  EXPECT_EQ(ChooseProgramDir(), exeDir);
  ::setenv("VELTO_HOME", "/opt/velto", 1);
  EXPECT_EQ(ChooseProgramDir(), "/opt/velto/");
  EXPECT_EQ(ChooseProgramDir("/home/me/velto/"), "/home/me/velto/");
  ::setenv("VELTO_HOME", savedHome.c_str(), 1);

  TTempDir dir;
  std::filesystem::create_directories(dir.Path() + "resources");  // found whatever its case
  ASSERT_TRUE(SetupProgramDir(dir.Path()));
  EXPECT_EQ(ProgramDir, dir.Path());
  EXPECT_TRUE(std::filesystem::is_directory(dir.Path() + "resources/temp"));
  EXPECT_FALSE(std::filesystem::exists(dir.Path() + "Resources"));
}

}  // namespace
