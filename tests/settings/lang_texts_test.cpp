#include "settings/lang_texts.h"

#include <gtest/gtest.h>

#include "feedback/message_box.h"
#include "tests/support/test_support.h"

namespace {

using testsupport::TScopedLanguage;
using testsupport::TTempDir;
using testsupport::W;

TEST(LangStr, AnswersQuestionMarksWithoutALanguage) {
  UnloadLanguage();
  EXPECT_EQ(LangStr(15), "???");
  EXPECT_EQ(LangStrOr(15, "Отменить"), W("Отменить"));
}

TEST(LangStr, LooksTextsUpByNumber) {
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

TEST(LangStr, LanguageIdDefaultsToRussian) {
  TScopedLanguage language({"1=one"});
  EXPECT_EQ(LanguageId, "ru");
}

TEST(LoadLanguageFile, KeepsTheLoadedTableWhenAFileIsMissing) {
  TScopedLanguage language({"id=de", "1=eins"});
  EXPECT_FALSE(LoadLanguageFile("/nonexistent/velto.lng"));
  EXPECT_EQ(LangStr(1), "eins");
  EXPECT_EQ(LanguageId, "de");
}

TEST(LoadLanguageFile, AcceptsEveryLineEnd) {
  TTempDir dir;
  testsupport::WriteBytes(dir.File("mixed.lng"), "1=a\r\n2=b\n3=c\r4=d");
  ASSERT_TRUE(LoadLanguageFile(dir.File("mixed.lng")));
  EXPECT_EQ(LangStr(1), "a");
  EXPECT_EQ(LangStr(2), "b");
  EXPECT_EQ(LangStr(3), "c");
  EXPECT_EQ(LangStr(4), "d");
  UnloadLanguage();
}

TEST(SplitTextLines, EndsLinesAtCrLfLfAndCr) {
  struct Case {
    std::string Bytes;
    std::vector<std::string> Lines;
  };
  const Case cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\n", {"a"}},
      {"a\r\n\r\n", {"a", ""}},
      {"a\n\nb", {"a", "", "b"}},
      {"a\rb\r\nc\n", {"a", "b", "c"}},
      {"\n", {""}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SplitTextLines(c.Bytes), c.Lines) << c.Bytes;
  }
}

TEST(SubstituteArgs, FillsPlaceHoldersWithoutPrintf) {
  struct Case {
    std::string Pattern;
    std::vector<std::string_view> Args;
    std::string Expected;
  };
  const Case cases[] = {
      {"Measure %d of %s", {"3", "12"}, "Measure 3 of 12"},
      {"%s%s%s%n", {"x"}, "x%n"},
      {"100%%", {}, "100%"},
      {"ends with %", {}, "ends with %"},
      {"%u%x", {"7"}, "7%x"},
  };
  for (const Case& c : cases) {
    std::string got;
    switch (c.Args.size()) {
      case 0:
        got = SubstituteArgs(c.Pattern, {});
        break;
      case 1:
        got = SubstituteArgs(c.Pattern, {c.Args[0]});
        break;
      default:
        got = SubstituteArgs(c.Pattern, {c.Args[0], c.Args[1]});
        break;
    }
    EXPECT_EQ(got, c.Expected) << c.Pattern;
  }
}

TEST(LangMessageBox, CaptionsButtonsAndAnswers) {
  auto boxes = std::make_shared<TScriptedMessageBoxes>(std::vector<int>{mbCancel, mbNo});
  SetMessageBoxes(boxes);
  EXPECT_EQ(LangMessageBox("q", 0), mbCancel);
  EXPECT_EQ(LangMessageBox("q", 2), mbNo);
  EXPECT_EQ(LangMessageBox("q", 2), mbYes) << "an empty script takes the first button";
  EXPECT_EQ(LangMessageBox("i", 1), mbOk);
  EXPECT_EQ(LangMessageBox("e", 3), mbOk);
  EXPECT_EQ(LangMessageBox("none", 4), mbNone);
  {
    TScopedLanguage language({"432=Question", "434=Failure"});
    LangMessageBox("q", 0);
    LangMessageBox("e", 3);
    LangMessageBox("i", 1);
  }
  SetMessageBoxes(nullptr);

  struct Expected {
    std::string Caption;
    uint32_t Flags;
  };
  const Expected expected[] = {
      {W("Вопрос"), 33},     {W("Вопрос"), 35}, {W("Вопрос"), 35}, {W("Информация"), 64},
      {W("Ошибка"), 16},     {"Question", 33},  {"Failure", 16},   {W("Информация"), 64},
  };
  const auto shown = boxes->Shown();
  ASSERT_EQ(shown.size(), std::size(expected)) << "kind 4 shows nothing";
  for (size_t i = 0; i < shown.size(); ++i) {
    EXPECT_EQ(shown[i].Caption, expected[i].Caption) << i;
    EXPECT_EQ(shown[i].Flags, expected[i].Flags) << i;
  }
}

TEST(ScriptedMessageBoxes, EchoesInUtf8) {
  std::ostringstream echo;
  TScriptedMessageBoxes boxes({}, &echo);
  boxes.Show({W("Строка\rдве"), W("Ошибка"), 3, 16});
  EXPECT_EQ(echo.str(), "Ошибка: Строка\nдве\n");
}

}  // namespace
