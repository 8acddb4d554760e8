// A program folder the program cannot write in is named with what it needs and why.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "app/shell.h"
#include "platform/codec1251.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;

const std::string kNeeds = "Программе нужна папка ";

TEST(ProgramFolder, AFolderThatTakesFilesHasNoProblemAndKeepsNoProbe) {
  testsupport::TTempDir dir;
  EXPECT_EQ(ProgramFolderProblem(dir.Path()), "");
  EXPECT_TRUE(fs::is_directory(dir.Path() + "Resources/temp"));
  EXPECT_TRUE(fs::is_empty(dir.Path() + "Resources/temp"));
}

TEST(ProgramFolder, ATempThatIsNoFolderIsNamedWithTheReason) {
  testsupport::TTempDir dir;
  fs::create_directories(dir.Path() + "Resources");
  testsupport::WriteBytes(dir.Path() + "Resources/temp", "");
  const std::string text = Cp1251ToUtf8(ProgramFolderProblem(dir.Path()));
  EXPECT_EQ(text.rfind(kNeeds + dir.Path() + ", в которую можно записывать", 0), 0u) << text;
  EXPECT_NE(text.find("Не удаётся сохранить файл " + dir.Path() +
                      "Resources/temp/velto-start.probe: Часть пути не папка"),
            std::string::npos)
      << text;
}

TEST(ProgramFolder, AReadOnlyFolderIsNamedWithTheReason) {
  if (::geteuid() == 0) {
    GTEST_SKIP() << "root writes in a read-only folder";
  }
  testsupport::TTempDir dir;
  fs::create_directories(dir.Path() + "Resources/temp");
  ::chmod((dir.Path() + "Resources/temp").c_str(), 0555);
  const std::string text = Cp1251ToUtf8(ProgramFolderProblem(dir.Path()));
  ::chmod((dir.Path() + "Resources/temp").c_str(), 0755);
  EXPECT_NE(text.find("нельзя записать (Нет доступа)"), std::string::npos) << text;
}

}  // namespace
