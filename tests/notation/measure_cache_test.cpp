#include "notation/measure_cache.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "notation/braille_translation.h"
#include "tests/support/translation_helpers.h"

namespace {

std::filesystem::path TempFile(const char* name) {
  auto dir = std::filesystem::temp_directory_path() / ("velto_cache_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  return dir / name;
}

TEST(MeasureCache, SavesAndLoadsLines) {
  TMeasureCache cache;
  cache.Add("1:PPPP", "lPlPlPlP");
  cache.Add("0.75:n.", "ln");
  cache.Add("1:PPPP", "sPsPsPsP");  // replaces
  auto path = TempFile("qem.dur");
  ASSERT_TRUE(cache.Save(path.string()));
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(bytes, "1:PPPP=sPsPsPsP\r\n0.75:n.=ln\r\n");
  TMeasureCache loaded;
  ASSERT_TRUE(loaded.Load(path.string()));
  EXPECT_EQ(loaded.Size(), 2u);
  EXPECT_EQ(loaded.Find("0.75:n."), "ln");
  EXPECT_FALSE(loaded.Load((path.parent_path() / "missing.dur").string()));
  EXPECT_EQ(loaded.Size(), 0u);
  std::filesystem::remove_all(path.parent_path());
}

TEST(MeasureCache, LoadAcceptsAnyLineEndAndDropsLinesWithoutEquals) {
  auto path = TempFile("mixed.dur");
  {
    std::ofstream out(path, std::ios::binary);
    out << "a=1\nnonsense\rb=2\r\n=3\r\nc=";
  }
  TMeasureCache cache;
  ASSERT_TRUE(cache.Load(path.string()));
  EXPECT_EQ(cache.Size(), 3u);
  EXPECT_EQ(cache.Find("b"), "2");
  EXPECT_EQ(cache.Find("c"), "");
  EXPECT_EQ(cache.Find("nonsense"), std::nullopt);
  std::filesystem::remove_all(path.parent_path());
}

class CacheTranslationTest : public ::testing::Test {
 protected:
  std::vector<std::string> Notes(const std::string& text) {
    TTranslateOptions options;
    options.Cache = &cache;
    auto list = TranslateBrailleText({text}, 1, errors, options);
    if (errors.Code() != 0) {
      return {"error " + std::to_string(errors.Code())};
    }
    return DescribeNotes(list.get())[0][0];
  }
  TMeasureCache cache;
  TErrorRecord errors;
};

TEST_F(CacheTranslationTest, SolvedMeasuresAreStoredAndReused) {
  EXPECT_EQ(Notes("Vd4!PPPP"), (std::vector<std::string>{"60:1/4", "60:1/4", "60:1/4", "60:1/4"}));
  EXPECT_EQ(cache.Find("1:PPPP"), "lPlPlPlP");
  // Two readings fit 17/16; a stored solution settles it.
  EXPECT_EQ(Notes("Vag16!yy"), (std::vector<std::string>{"error 4"}));
  cache.Add("1.0625:yy", "lysy");
  EXPECT_EQ(Notes("Vag16!yy"), (std::vector<std::string>{"60:1/1", "60:1/16"}));
  cache.Add("1.0625:yy", "syly");
  EXPECT_EQ(Notes("Vag16!yy"), (std::vector<std::string>{"60:1/16", "60:1/1"}));
}

TEST_F(CacheTranslationTest, BadLinesAreIgnored) {
  const char* bad[] = {"ly", "lyly", "lysx", "lysy", "", "lysyly"};
  for (const char* solution : bad) {
    cache.Add("1.0625:yly", solution);  // the second cell is fixed large
    EXPECT_EQ(Notes("Vag16!yB(1y"), (std::vector<std::string>{"60:1/16", "60:1/1"})) << solution;
    EXPECT_EQ(cache.Find("1.0625:yly"), "syly") << solution;  // replaced by the search's solution
  }
}

}  // namespace
