#include "feedback/error_messages.h"

#include <gtest/gtest.h>

#include "base/error_sources.h"
#include "base/errors.h"
#include "feedback/message_box.h"
#include "tests/support/test_support.h"

namespace {

using testsupport::TScopedLanguage;
using testsupport::W;

// The language texts the two-text and quoted codes use.
const std::vector<std::string> kLanguage = {
    "id=xx",    "108=Unknown", "120=Division by zero", "163=No harmony", "165=Measure",
    "166=Category", "175=Time", "176=Beat", "443=MIDI port", "434=Error box",
    "2126=A",   "2127=B",
};

class ErrorMessagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GHandlerErrorMessage.Set(W("Моя ошибка 100%s"));
    HarmonyFailText.clear();
  }
  void TearDown() override { GHandlerErrorMessage.Set(""); }
};

struct TMessageCase {
  const char* Name;
  bool Handler;  // ReportHandlerError's table, else ReportSongError's
  uint8_t Code;
  const char* Expected;  // UTF-8, "\r" between lines
};

// Place "P" and detail "D" throughout.
const TMessageCase kBuiltInCases[] = {
    {"code 0 is unknown", false, 0, "P\rНе известная ошибка!\rD"},
    {"code 2 ends in Cyrillic A on a line of its own", false, 2,
     "P\rДлительности такта не соответствуют заданному размеру!\rКатегория А\rD"},
    {"code 3 ends in Cyrillic Б on a line of its own", false, 3,
     "P\rДлительности такта не соответствуют заданному размеру!\rКатегория Б\rD"},
    {"code 7 keeps its leading !", false, 7, "P\r!Слишком много объеденителей!\rD"},
    {"code 12 has two lines", false, 12,
     "P\rОшибка тактового размера!\rНеверная длительность доли!\rD"},
    {"code 17 is not a song code", false, 17, "P\rНе известная ошибка!\rD"},
    {"handler code 4 has no !", true, 4, "P\rДеление на ноль\rD"},
    {"handler code 28 is unknown", true, 28, "P\rНе известная ошибка!\rD"},
    {"handler code 39 is unknown", true, 39, "P\rНе известная ошибка!\rD"},
};

const TMessageCase kLanguageCases[] = {
    {"code 0 takes text 108", false, 0, "P\rUnknown!\rD"},
    {"code 2 adds the language's A", false, 2, "P\rMeasure!\rCategory A\rD"},
    {"code 3 adds the language's B", false, 3, "P\rMeasure!\rCategory B\rD"},
    {"code 12 marks both texts", false, 12, "P\rTime!\rBeat!\rD"},
    {"code 18 takes text 443", false, 18, "P\rMIDI port!\rD"},
    {"code 4 falls back when text 167 is missing", false, 4, "P\rТребуются уточнители!\rD"},
    {"handler code 4 gains a !", true, 4, "P\rDivision by zero!\rD"},
};

std::string MessageOf(const TMessageCase& c) {
  return c.Handler ? HandlerErrorMessage(c.Code, "D", "P") : SongErrorMessage(c.Code, "D", "P");
}

TEST_F(ErrorMessagesTest, BuiltInTextsWithoutALanguageAndLanguageTextsWhenLoaded) {
  for (const TMessageCase& c : kBuiltInCases) {
    EXPECT_EQ(MessageOf(c), W(c.Expected)) << c.Name;
  }
  EXPECT_EQ(SongErrorMessage(39, "", ""), W("\rФайл повреждён или имеет не поддерживаемый формат!\r"))
      << "an empty place still gives the first line";
  {
    // A two-text code needs both texts.
    TScopedLanguage language({"165=Measure", "175=Time"});
    EXPECT_EQ(SongErrorMessage(2, "D", "P"),
              W("P\rДлительности такта не соответствуют заданному размеру!\rКатегория А\rD"));
    EXPECT_EQ(SongErrorMessage(12, "D", "P"),
              W("P\rОшибка тактового размера!\rНеверная длительность доли!\rD"));
  }
  TScopedLanguage language(kLanguage);
  ASSERT_TRUE(language.Loaded());
  for (const TMessageCase& c : kLanguageCases) {
    EXPECT_EQ(MessageOf(c), W(c.Expected)) << c.Name;
  }
}

// Code 25 quotes the handler's own text as it is (its "%s" is no format), without "!".
TEST_F(ErrorMessagesTest, Code25QuotesTheHandlersOwnTextOrGivesTheUnknownError) {
  EXPECT_EQ(SongErrorMessage(25, "D", "P"), W("P\rМоя ошибка 100%s\rD"));
  EXPECT_EQ(HandlerErrorMessage(25, "D", "P"), W("P\rМоя ошибка 100%s\rD"));
  GHandlerErrorMessage.Set("");
  EXPECT_EQ(HandlerErrorMessage(25, "D", "P"), W("P\rНе известная ошибка!\rD"));
  TScopedLanguage language(kLanguage);
  EXPECT_EQ(SongErrorMessage(25, "D", "P"), W("P\rUnknown!\rD"));
}

// An ordinary detail (a handler line, a measure) stands whole; only a runaway text is cut,
// with its note in the user's language. Control bytes are escaped.
TEST_F(ErrorMessagesTest, OnlyARunawayDetailIsCutAndItsControlBytesEscaped) {
  const std::string line = "let " + std::string(120, 'a') + " = (1";
  EXPECT_EQ(HandlerErrorMessage(5, line, "P"), W("P\rПеременная не инициирована!\r") + line);
  const std::string measure = "a\rb\x01" + std::string(100000, '!');
  const std::string kept = "a\\rb\\x01" + std::string(996, '!');
  EXPECT_EQ(SongErrorMessage(1, measure, "P"),
            W("P\rСинтаксическая ошибка!\r") + kept + W("... (всего символов: 100004)"));
  TScopedLanguage language({"117=Syntax error", "2159=... (%s characters)"});
  EXPECT_EQ(SongErrorMessage(1, measure, "P"), "P\rSyntax error!\r" + kept + "... (100004 characters)");
}

// The reason is the program's own sentence and names a file or a track: it stays whole;
// the user's text it quotes is cut when runaway, and so is a detail alone.
TEST_F(ErrorMessagesTest, AReasonStaysWholeAndOnlyTheQuotedTextIsShortened) {
  const std::string place = "/songs/" + std::string(200, 'p') + ".qem";
  const std::string reason = "line 12: the header of track 2 (seven numbers) was expected here, " +
                             std::string(100, 'r');
  EXPECT_EQ(SongErrorMessage(39, "", place, reason),
            place + W("\rФайл повреждён или имеет не поддерживаемый формат!\r") + reason);
  EXPECT_EQ(HandlerErrorMessage(4, std::string(1001, 'q'), "P", reason),
            W("P\rДеление на ноль\r") + reason + "\r" + std::string(1000, 'q') + W("... (всего символов: 1001)"));
}

TEST_F(ErrorMessagesTest, Code29AddsTheHarmonizersReason) {
  HarmonyFailText = W("нет аккорда");
  EXPECT_EQ(SongErrorMessage(29, "D", "P"), W("P\rНевозможно гармонизовать!\rнет аккорда\rD"));
  TScopedLanguage language(kLanguage);
  EXPECT_EQ(SongErrorMessage(29, "D", "P"), W("P\rNo harmony!\rнет аккорда\rD"));
}

TEST_F(ErrorMessagesTest, LanguageTextsAreNeverFormats) {
  TScopedLanguage language({"117=%s%n%d 100%"});
  EXPECT_EQ(SongErrorMessage(1, "%s", "%n"), "%n\r%s%n%d 100%!\r%s");
}

TEST_F(ErrorMessagesTest, ReportersShowAnErrorBoxAndLeaveGErrorsAlone) {
  auto boxes = std::make_shared<TScriptedMessageBoxes>();
  SetMessageBoxes(boxes);
  TErrors e;
  e.Code = 12;
  e.Text = "x";
  GErrors.Set(e);
  ReportSongError(12, "D", "P");
  ReportHandlerError(4, "D", "P");
  SetMessageBoxes(nullptr);
  EXPECT_EQ(GErrors.Code(), 12);
  GErrors.Reset();

  const auto shown = boxes->Shown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].Text, SongErrorMessage(12, "D", "P"));
  EXPECT_EQ(shown[0].Kind, 3);
  EXPECT_EQ(shown[0].Flags, 16u);
  EXPECT_EQ(shown[0].Caption, W("Ошибка"));
  EXPECT_EQ(shown[1].Text, W("P\rДеление на ноль\rD"));
}

}  // namespace
