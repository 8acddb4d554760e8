#include "harmony/harmony_text.h"

#include <gtest/gtest.h>

namespace {

class HarmonyTextTest : public testing::Test {
 protected:
  void SetUp() override {
    rules_.Lads = {TLads{"maj", 0, {}}, TLads{"min", 1, {0, 0, 0, 0, 0, 0, 1}}};
    rules_.Steps = {TSteps{"dd", 2, 1}, TSteps{"d", 5, 0}, TSteps{"t", 1, 0}, TSteps{"", 3, 0}};
    ParseChordLine(rules_.Chords, "53c", "1351");
    ParseChordLine(rules_.Chords, "53c", "1513");
    ParseChordLine(rules_.Chords, "53b", "1531");
    ParseChordLine(rules_.Chords, "7c", "1357");
    rules_.Directives = {"=yesframes", "par=yesparallelisms", "melb=harmonybass",
                         "holds=sopranoprior", "rep=repetitionbasstrue", "x=unknownkeyword"};
  }
  THarmonyRules rules_;
};

TEST_F(HarmonyTextTest, ReadsModeStepAndChord) {
  HarmonyState s;
  ASSERT_TRUE(ReadHarmonyText("Maj DD7", rules_, s));
  EXPECT_EQ(s.NamedLad->Name, "maj");
  EXPECT_EQ(s.Step.Name, "dd");
  ASSERT_EQ(s.Chords.size(), 1u);
  EXPECT_EQ(s.Chords[0].Degrees[3], 7);
  EXPECT_FALSE(s.StepsRef);
}

TEST_F(HarmonyTextTest, PositionLetterAndSopranoDegreeNarrowTheCandidates) {
  struct Case {
    std::string text;
    size_t candidates;
  };
  for (const Case& c : {Case{"t53", 3}, Case{"t53c", 2}, Case{"t53b", 1}, Case{"t53c3", 1},
                        Case{"t53c5", 0}, Case{"t53u", 3}, Case{"t53m", 0}, Case{"t99", 0}}) {
    HarmonyState s;
    ASSERT_TRUE(ReadHarmonyText(c.text, rules_, s)) << c.text;
    EXPECT_EQ(s.Chords.size(), c.candidates) << c.text;
  }
}

TEST_F(HarmonyTextTest, DirectivesAreTakenOffTheFrontInAnyOrder) {
  HarmonyState s;
  ASSERT_TRUE(ReadHarmonyText("holds melb x par min d53", rules_, s));
  EXPECT_EQ(s.Hold[kSoprano], 1);
  EXPECT_EQ(s.MelodyVoice, kBass);
  EXPECT_EQ(s.AllowParallels, 1);
  EXPECT_EQ(s.NoFrames, 0);  // a directive with an empty word is never taken
  EXPECT_EQ(s.AllowBassRepetition, 0);
  EXPECT_EQ(s.NamedLad->Name, "min");
  EXPECT_EQ(s.Chords.size(), 3u);
}

TEST_F(HarmonyTextTest, ReferenceAfterTheEqualsSign) {
  HarmonyState s;
  ASSERT_TRUE(ReadHarmonyText("t53=min d", rules_, s));
  ASSERT_TRUE(s.LadRef && s.StepsRef);
  EXPECT_EQ(s.LadRef->Name, "min");
  EXPECT_EQ(s.StepsRef->Name, "d");
  EXPECT_EQ(s.Chords.size(), 3u);
  HarmonyState other;
  ASSERT_TRUE(ReadHarmonyText("t53=dx", rules_, other));
  EXPECT_FALSE(other.StepsRef);  // the step must match whole
}

TEST_F(HarmonyTextTest, NoStepIsAFailure) {
  for (const std::string text : {"maj", "", "par", "x53", "maj 53"}) {
    HarmonyState s;
    EXPECT_FALSE(ReadHarmonyText(text, rules_, s)) << text;
  }
}

TEST(HarmonyDirectives, EveryKeywordSetsItsFlag) {
  HarmonyState s;
  for (const char* k : {"yesparallelisms", "yesmoveallvoices", "nomovebasssoprano",
                        "repetitionbasstrue", "yesincreasedinterval", "yesbassqvartaquinta",
                        "basstenorunisonstrue", "yesframes", "bassprior", "notenorprior",
                        "harmonyalto"}) {
    EXPECT_TRUE(ApplyHarmonyDirective(k, s)) << k;
  }
  EXPECT_FALSE(ApplyHarmonyDirective("nonsense", s));
  EXPECT_EQ(s.AllowParallels + s.AllowAllVoicesSameWay + s.AllowBassRepetition + s.AllowAugmented +
                s.AllowBassLeaps + s.AllowBassTenorUnison + s.NoFrames,
            7);
  EXPECT_EQ(s.BassSopranoFree, 0);
  EXPECT_EQ(s.Hold[kBass], 1);
  EXPECT_EQ(s.Vary[kTenor], 1);
  EXPECT_EQ(s.MelodyVoice, kAlto);
  EXPECT_TRUE(ApplyHarmonyDirective("repetitionbassfalse", s));
  EXPECT_TRUE(ApplyHarmonyDirective("basstenorunisonsfalse", s));
  EXPECT_EQ(s.AllowBassRepetition + s.AllowBassTenorUnison, 0);
}

}  // namespace
