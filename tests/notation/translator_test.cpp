#include "notation/translator.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/text_lines.h"
#include "settings/settings.h"
#include "tests/support/keep.h"
#include "tests/support/temp_dir.h"

namespace {

struct ApplyCase {
  const char* name;
  std::vector<std::string> rules;
  std::string text;
  std::string expected;
};

void PrintTo(const ApplyCase& c, std::ostream* os) { *os << c.name; }

class ApplyTranslatorTable : public testing::TestWithParam<ApplyCase> {};

TEST_P(ApplyTranslatorTable, RewritesLeftSides) {
  const ApplyCase& c = GetParam();
  TTranslatorCover cover;
  int32_t caret = -1;
  EXPECT_EQ(ApplyTranslator(c.text, c.rules, 2, cover, caret), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ApplyTranslatorTable,
    testing::Values(
        ApplyCase{"Plain", {"ab=PS", "c4=N"}, "abc4ab", "PSNPS"},
        ApplyCase{"FirstRuleInListOrderWins", {"a=Q", "ab=PS"}, "ab", "Qb"},
        ApplyCase{"BlockTextUntouched", {"ab=PS"}, "ab<ab>ab", "PS<ab>PS"},
        ApplyCase{"BraceTextUntouched", {"ab=PS"}, "{$ab}ab", "{$ab}PS"},
        ApplyCase{"LabelUntouchedUpToDot", {"ab=PS"}, "P)ab.ab", "P)ab.PS"},
        ApplyCase{"InAccordNeverRewritten", {"()=Z", "ab=PS"}, "ab()ab", "PS()PS"},
        ApplyCase{"VAtVoiceStartIsANumber", {"Vb=zz"}, "VbP", "VbP"},
        ApplyCase{"VAfterANoteIsRewritten", {"Vb=zz"}, "PVb", "Pzz"},
        ApplyCase{"VAfterInAccordIsANumber", {"Vb=zz"}, "P()Vb", "P()Vb"},
        ApplyCase{"VoiceStartKeptOverOctaveSign", {"Vb=zz"}, "(Vb", "(Vb"},
        ApplyCase{"EmptyLeftSidesIgnored", {"=P", "a=", "=", "no rule", "b=S"}, "aPb", "PS"},
        // An empty right side deletes what its left side matches.
        ApplyCase{"EmptyRightSideDeletes", {"ab=", "c=P"}, "abc", "P"},
        ApplyCase{"DeletingEverything", {"ab=", "c="}, "abcab", ""},
        ApplyCase{"DeletingOnlyInNormalText", {"x="}, "xP<x>{x}P)x.x", "P<x>{x}P)x."},
        // A deleting rule first in the list does not keep a later right side from being
        // copied whole (the S of PS stays S), nor does it copy nothing forever.
        ApplyCase{"DeletingRuleBeforeARightSide", {"x=", "S=Q", "ab=PS"}, "PSxS", "PSQ"},
        // The deleted piece leaves no voice start: the V after it is a rule's left side.
        ApplyCase{"DeletingAtAVoiceStart", {"x=", "Vb=zz"}, "xVb()xVb", "zz()zz"},
        ApplyCase{"EmptyRuleList", {}, "abc", "abc"}),
    [](const testing::TestParamInfo<ApplyCase>& info) { return std::string(info.param.name); });

struct CaretCase {
  int32_t caret;
  int32_t expectedCaret;
  std::string coverLeft;
  int32_t coverLength;
};

// "xabyz": "ab" (positions 1 and 2) grows into five characters.
TEST(ApplyTranslator, KeepsTheCaretOnItsPlace) {
  const CaretCase cases[] = {{0, 0, "", 0},    // before the piece
                             {1, 1, "ab", 5},  // on its first character
                             {2, 1, "ab", 5},  // inside it
                             {3, 6, "", 0},    // just after it
                             {4, 7, "", 0}};   // further behind
  for (const CaretCase& c : cases) {
    TTranslatorCover cover;
    int32_t caret = c.caret;
    EXPECT_EQ(ApplyTranslator("xabyz", {"ab=PSNQT"}, 2, cover, caret), "xPSNQTyz");
    EXPECT_EQ(caret, c.expectedCaret) << c.caret;
    EXPECT_EQ(cover.Left, c.coverLeft) << c.caret;
    EXPECT_EQ(cover.Length, c.coverLength) << c.caret;
  }
  TTranslatorCover cover;
  int32_t caret = 4;  // on the "z" of "ababz": it moves over every replacement before it
  EXPECT_EQ(ApplyTranslator("ababz", {"ab=PSN"}, 2, cover, caret), "PSNPSNz");
  EXPECT_EQ(caret, 6);
}

// "xabyz" with "ab" deleted: the caret in the piece goes to where it was, behind it moves
// two places to the left.
TEST(ApplyTranslator, KeepsTheCaretOverADeletedPiece) {
  const CaretCase cases[] = {{0, 0, "", 0}, {1, 1, "ab", 0}, {2, 1, "ab", 0}, {3, 1, "", 0}, {4, 2, "", 0}};
  for (const CaretCase& c : cases) {
    TTranslatorCover cover;
    int32_t caret = c.caret;
    EXPECT_EQ(ApplyTranslator("xabyz", {"ab="}, 2, cover, caret), "xyz");
    EXPECT_EQ(caret, c.expectedCaret) << c.caret;
    EXPECT_EQ(cover.Left, c.coverLeft) << c.caret;
    EXPECT_EQ(cover.Length, c.coverLength) << c.caret;
  }
}

TEST(ApplyTranslator, FlagsTextThatARuleWouldHaveProduced) {
  TTranslatorCover cover;
  int32_t caret = -1;
  GUntranslatedText = 0;
  ApplyTranslator("ab", {"ab=PS"}, 2, cover, caret);
  EXPECT_EQ(GUntranslatedText, 0);
  ApplyTranslator("xPS", {"ab=PS"}, 2, cover, caret);
  EXPECT_EQ(GUntranslatedText, 2);
  ApplyTranslator("PS", {"ab=PS"}, 1, cover, caret);
  EXPECT_EQ(GUntranslatedText, 3);
  GUntranslatedText = 0;
  ApplyTranslator("<PS>{PS}", {"ab=PS"}, 1, cover, caret);
  ApplyTranslator("PS", {"PS=PS"}, 1, cover, caret);  // a rule that spells itself
  ApplyTranslator("PSN", {"ab="}, 1, cover, caret);    // a deleting rule spells nothing
  EXPECT_EQ(GUntranslatedText, 0);
}

struct ReverseCase {
  const char* name;
  std::vector<std::string> rules;
  std::string text;
  std::string expected;
};

void PrintTo(const ReverseCase& c, std::ostream* os) { *os << c.name; }

class TranslateTextTable : public testing::TestWithParam<ReverseCase> {};

TEST_P(TranslateTextTable, RewritesRightSidesBack) {
  const ReverseCase& c = GetParam();
  EXPECT_EQ(TranslateText(c.text, c.rules), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TranslateTextTable,
    testing::Values(
        ReverseCase{"Plain", {"ab=PS", "c4=N"}, "PSNPS", "abc4ab"},
        ReverseCase{"LeftSidesKept", {"ab=PS"}, "abPS", "abab"},
        ReverseCase{"BlockAndBracesUntouched", {"ab=PS"}, "<PS>{PS}PS", "<PS>{PS}ab"},
        ReverseCase{"InAccordNeverRewritten", {"ab=()"}, "P()P", "P()P"},
        ReverseCase{"VAtVoiceStart", {"ab=Vb"}, "VbP()Vb", "VbP()Vb"},
        ReverseCase{"EmptySidesIgnored", {"=P", "a=", "="}, "aPa", "aPa"},
        // What a deleting rule took away cannot come back; the rest goes back as usual.
        ReverseCase{"DeletedTextStaysAway", {"q=", "ab=PS"}, "PSP", "abP"},
        ReverseCase{"EmptyRuleList", {}, "PSN", "PSN"}),
    [](const testing::TestParamInfo<ReverseCase>& info) { return std::string(info.param.name); });

TEST(Translator, ApplyThenReverseGivesTheShorthandBack) {
  const std::vector<std::string> rules = {"do4=P", "re4=S", "mi8=f", "p4=v"};
  const std::string shorthand = "do4re4mi8p4()re4do4";
  TTranslatorCover cover;
  int32_t caret = -1;
  const std::string braille = ApplyTranslator(shorthand, rules, 2, cover, caret);
  EXPECT_EQ(braille, "PSfv()SP");
  EXPECT_EQ(TranslateText(braille, rules), shorthand);
}

TEST(ComposeTrackText, PadsTheShorterListAndJoinsVoices) {
  HeadTranslatorRules = {"cc=P"};
  TranslatorRules = {"dd=S"};
  std::vector<std::string> out = {"old"};
  ComposeTrackText(out, {"cc", ""}, {"dd", "ddP", "", "T"});
  EXPECT_EQ(out, (std::vector<std::string>{"P()S", "m()SP", "m()m", "m()T"}));
  HeadTranslatorRules.clear();
  TranslatorRules.clear();
}

// A program folder in a temporary directory with one translator file.
class TrackDirectives : public testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_.Path() + "Translator");
    WriteBytes(dir_.File("Translator/Jazz.cnv"), "ab=PS\r\n");
    ProgramDir = dir_.Path();
  }
  TKeep<std::string> keep_{ProgramDir};
  TTempDir dir_;
};

// The lengths "numticks" rescales are checked through the real song preparation.
TEST_F(TrackDirectives, NumticksIsClampedAndOtherTextIgnored) {
  struct Case {
    std::string line;
    int32_t expected;
  };
  for (const Case& c : {Case{"numticks 960", 960}, Case{"numticks 1", 3},
                        Case{"numticks 99999", 65535}, Case{"numticks 0000000000000000007", 7},
                        Case{"numticks x", 1920}, Case{"numticks 12a", 1920}}) {
    int32_t ticks = 1920;
    std::string path;
    EXPECT_TRUE(ReadTrackDirectives({c.line}, nullptr, ticks, path)) << c.line;
    EXPECT_EQ(ticks, c.expected) << c.line;
  }
}

TEST_F(TrackDirectives, TranslatorFilesAreFoundOrRefused) {
  int32_t ticks = 1920;
  std::string path;
  EXPECT_TRUE(ReadTrackDirectives({"translator jazz"}, nullptr, ticks, path));
  EXPECT_EQ(path, dir_.File("Translator/Jazz.cnv"));
  EXPECT_TRUE(ReadTrackDirectives({"translatoroff"}, nullptr, ticks, path));
  EXPECT_EQ(path, "*");
  path.clear();
  EXPECT_FALSE(ReadTrackDirectives({"translator blues", "translatoroff"}, nullptr, ticks, path));
  EXPECT_EQ(path, "");  // reading stopped at the missing file
  EXPECT_FALSE(ReadTrackDirectives({"translator ../translator/jazz"}, nullptr, ticks, path));
  EXPECT_FALSE(ReadTrackDirectives({"translator .."}, nullptr, ticks, path));
}

// The sample translator of the installation: syllables (code page 1251) to Braille cells.
TEST(SampleTranslator, RewritesSyllablesIntoBraille) {
  const std::optional<std::vector<std::string>> lines =
      ReadTextLines(std::string(VELTO_SOURCE_DIR) + "/resources/Translator/Solfeggio.cnv");
  ASSERT_TRUE(lines.has_value());
  const std::vector<std::string>& rules = *lines;
  const std::string doQuarter = "\xE4\xEE" "4";    // "до4"
  const std::string solEighth = "\xF1\xEE\xEB\xFC" "8";  // "соль8"
  TTranslatorCover cover;
  int32_t caret = -1;
  const std::string braille = ApplyTranslator(doQuarter + solEighth, rules, 2, cover, caret);
  EXPECT_EQ(braille, "Ph");
  EXPECT_EQ(TranslateText(braille, rules), doQuarter + solEighth);
}

}  // namespace
