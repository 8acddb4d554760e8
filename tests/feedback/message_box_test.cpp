#include "feedback/message_box.h"

#include <gtest/gtest.h>

#include <sstream>

#include "tests/support/test_support.h"

namespace {

using testsupport::TScopedLanguage;
using testsupport::W;

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

  const std::pair<std::string, uint32_t> expected[] = {
      {W("Вопрос"), 33}, {W("Вопрос"), 35}, {W("Вопрос"), 35}, {W("Информация"), 64},
      {W("Ошибка"), 16}, {"Question", 33},  {"Failure", 16},   {W("Информация"), 64},
  };
  const auto shown = boxes->Shown();
  ASSERT_EQ(shown.size(), std::size(expected)) << "kind 4 shows nothing";
  for (size_t i = 0; i < shown.size(); ++i) {
    EXPECT_EQ(std::pair(shown[i].Caption, shown[i].Flags), expected[i]) << i;
  }
}

TEST(ScriptedMessageBoxes, EchoesInUtf8) {
  std::ostringstream echo;
  TScriptedMessageBoxes boxes({}, &echo);
  boxes.Show({W("Строка\rдве"), W("Ошибка"), 3, 16, {}, 0});
  EXPECT_EQ(echo.str(), "Ошибка: Строка\nдве\n");
}

// A choice box carries its choices to the shown side and answers with an index; without
// a script it takes its default choice.
TEST(LangChoiceBox, ChoicesAndDefault) {
  auto boxes = std::make_shared<TScriptedMessageBoxes>(std::vector<int>{2, -1});
  SetMessageBoxes(boxes);
  const std::vector<std::string> choices = {"keep", "elsewhere", "overwrite"};
  EXPECT_EQ(LangChoiceBox("changed", choices, 0), 2);
  EXPECT_EQ(LangChoiceBox("changed", choices, 0), -1);
  EXPECT_EQ(LangChoiceBox("deleted", choices, 1), 1);
  SetMessageBoxes(nullptr);
  const auto shown = boxes->Shown();
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[2].Choices, choices);
  EXPECT_EQ(shown[2].DefaultChoice, 1);
  EXPECT_EQ(shown[2].Caption, W("Вопрос"));
}

}  // namespace
