#include "notation/measure_cache.h"

#include <gtest/gtest.h>

#include "notation/braille_translation.h"
#include "tests/support/temp_dir.h"
#include "tests/support/translation_helpers.h"

namespace {

TEST(MeasureCache, SavesAndLoadsLinesOfAnyLineEndDroppingLinesWithoutEquals) {
  TTempDir dir;
  TMeasureCache cache;
  cache.Add("1:PPPP", "lPlPlPlP");
  cache.Add("0.75:n.", "ln");
  cache.Add("1:PPPP", "sPsPsPsP");  // replaces
  ASSERT_TRUE(cache.Save(dir.File("qem.dur")));
  EXPECT_EQ(ReadBytes(dir.File("qem.dur")), "1:PPPP=sPsPsPsP\r\n0.75:n.=ln\r\n");
  TMeasureCache loaded;
  ASSERT_TRUE(loaded.Load(dir.File("qem.dur")));
  EXPECT_EQ(loaded.Size(), 2u);
  EXPECT_EQ(loaded.Find("0.75:n."), "ln");
  EXPECT_FALSE(loaded.Load(dir.File("missing.dur")));
  EXPECT_EQ(loaded.Size(), 0u);
  WriteBytes(dir.File("mixed.dur"), "a=1\nnonsense\rb=2\r\n=3\r\nc=");
  ASSERT_TRUE(loaded.Load(dir.File("mixed.dur")));
  EXPECT_EQ(loaded.Size(), 3u);
  EXPECT_EQ(loaded.Find("b"), "2");
  EXPECT_EQ(loaded.Find("c"), "");
  EXPECT_EQ(loaded.Find("nonsense"), std::nullopt);
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
