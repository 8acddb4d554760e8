#include "settings/lang_texts.h"

#include <gtest/gtest.h>

#include "tests/support/test_support.h"

namespace {

using testsupport::TScopedLanguage;
using testsupport::W;

TEST(LangStr, LooksTextsUpByNumberAndAnswersQuestionMarksOtherwise) {
  UnloadLanguage();
  EXPECT_EQ(LangStr(15), "???");
  EXPECT_EQ(LangStrOr(15, "Отменить"), W("Отменить"));
  TScopedLanguage language({"id=en", "15=", "16=Отменить", "17=a=b", "18 =spaced", "16=second",
                            "no equals sign", "19=%s"});
  ASSERT_TRUE(language.Loaded());
  EXPECT_EQ(LanguageId, "en");
  EXPECT_EQ(LangStr(15), "???") << "an empty text counts as missing";
  EXPECT_EQ(LangStr(16), W("Отменить")) << "code page 1251 bytes, first line wins";
  EXPECT_EQ(LangStr(17), "a=b") << "only the first = splits";
  EXPECT_EQ(LangStr(18), "???") << "the name is the exact text before =";
  EXPECT_EQ(LangStr(20), "???");
  EXPECT_EQ(LangStr(19), "%s");
  EXPECT_EQ(LangStrOr(16, "x"), W("Отменить"));
}

TEST(LoadLanguageFile, ReadsEveryLineEndAndKeepsTheTableWhenAFileIsMissing) {
  TTempDir dir;
  WriteBytes(dir.File("mixed.lng"), "1=a\r\n2=b\n3=c\r4=d");
  ASSERT_TRUE(LoadLanguageFile(dir.File("mixed.lng")));
  EXPECT_EQ(LanguageId, "ru") << "without an id line";
  EXPECT_EQ(LangStr(1) + LangStr(2) + LangStr(3) + LangStr(4), "abcd");
  EXPECT_FALSE(LoadLanguageFile("/nonexistent/velto.lng"));
  EXPECT_EQ(LangStr(4), "d");
  UnloadLanguage();
}

// The text is never handed to printf: "%s", "%d" and "%u" take the next argument.
TEST(SubstituteArgs, FillsPlaceHoldersWithoutPrintf) {
  EXPECT_EQ(SubstituteArgs("Measure %d of %s", {"3", "12"}), "Measure 3 of 12");
  EXPECT_EQ(SubstituteArgs("%s%s%s%n", {"x"}), "x%n");
  EXPECT_EQ(SubstituteArgs("100%%", {}), "100%");
  EXPECT_EQ(SubstituteArgs("ends with %", {}), "ends with %");
  EXPECT_EQ(SubstituteArgs("%u%x", {"7"}), "7%x");
}

}  // namespace
