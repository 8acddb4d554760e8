#include "notation/braille_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "notation/signatures.h"

namespace {

using K = TSignKind;

// A reader context with voice 1 in 4/4 at octave 5, as in the middle of a measure.
class ReaderTest : public ::testing::Test {
 protected:
  struct Result {
    TSignKind kind;
    std::string token;
    std::string rest;
    std::vector<TSignKind> pending;
  };

  ReaderTest() { Fresh(); }
  // A fresh context: voice 1 in 4/4 at octave 5.
  void Fresh() {
    ctx.Reset();
    ctx.Voices[1].TimeNum = 4;
    ctx.Voices[1].TimeDen = 4;
    ctx.Voices[1].Octave = 5;
  }

  Result Read(const std::string& s, uint8_t voice = 1) {
    TMeasureText text(s);
    return Next(text, voice);
  }
  Result Next(TMeasureText& text, uint8_t voice = 1) {
    TVoiceState& v = ctx.Voices[voice];
    std::string token;
    TSignKind kind = ReadBrailleToken(ctx, text, token, v.Step, value, v.Octave, accidental, tupletCounter,
                                      tupletNumber, errors, voice);
    return {kind, token, std::string(text.Rest()), ctx.PendingSigns};
  }

  TReaderContext ctx;
  TErrorRecord errors;
  int32_t value = 0;
  TKeySign accidental = TKeySign::No;
  uint8_t tupletCounter = 1;
  uint8_t tupletNumber = 1;
};

struct MatchCase {
  const char* text;
  TSignKind kind;
  const char* token;
  std::vector<TSignKind> pending;
  int32_t octave;  // voice octave afterwards
};

TEST_F(ReaderTest, LongestSignWins) {
  const MatchCase cases[] = {
      {"A", K::Octave, "A", {}, 2},
      {"AAy", K::Note, "AAy", {}, 1},
      {"Ac", K::Tie, "Ac", {}, 5},
      {"AAc", K::Slur, "AAc", {}, 1},
      {"Bd", K::Note, "Bd", {}, 3},
      {"Bc", K::ChordTie, "Bc", {}, 5},
      {"B((1d", K::Note, "B((1d", {K::LargeValues}, 5},
      {"B(1d", K::Note, "B(1d", {K::LargeValues}, 5},
      {",((1d", K::Note, ",((1d", {K::SmallValues}, 5},
      {",(1d", K::Note, ",(1d", {K::SmallValues}, 5},
      {",d", K::Note, ",d", {}, 8},
      {",,d", K::Note, ",,d", {}, 9},
      {",8d", K::Note, ",8d", {K::Staccatissimo}, 5},
      {",8,8d", K::Note, ",8,8d", {K::Staccatissimo}, 5},
      {"!d", K::Note, "!d", {}, 5},
      {"!5", K::Ornament, "!5", {K::Ornament}, 5},
      {"!6d", K::Note, "!6d", {K::Ornament}, 5},
      {"5d", K::Note, "5d", {K::Ornament}, 5},
      {")cr.d", K::Note, ")cr.d", {K::Crescendo}, 5},
      {")/l", K::Clef, ")/l", {K::Clef}, 5},
      {"B)VKk", K::Clef, "B)VKk", {K::Clef}, 5},
      {")tempo:120.d", K::Note, ")tempo:120.d", {K::BlockCall}, 5},
      {"<mark>d", K::Note, "<mark>d", {K::Label}, 5},
      {"K).d", K::Note, "K).d", {}, 5},
      {"K).B((1d", K::Note, "K).B((1d", {K::LargeValues}, 5},
      {"Kd", K::Note, "Kd", {}, 6},
      {"Kc", K::ChordTieAll, "Kc", {}, 5},
      {"L).d", K::Note, "L).d", {}, 5},
      {"L3.d", K::Note, "L3.d", {}, 5},
      {"Ld", K::Note, "Ld", {}, 4},
      {"(k.d", K::FinalBar, "(k.", {}, 5},
      {"(k!", K::FinalBar, "(k!", {}, 5},
      {"(k", K::FinalBar, "(k", {}, 5},
      {"()d", K::InAccord, "()", {}, 5},
      {"(e", K::Note, "(e", {}, 5},
      {"((e", K::Note, "((e", {}, 5},
      {"cc", K::DoubleSlur, "cc", {}, 5},
      {"c", K::Slur, "c", {}, 5},
      {".", K::Dot, ".", {}, 5},
      {"99", K::Interval, "99", {}, 5},
      {"9", K::Interval, "9", {}, 5},
      {"8!Y", K::Note, "8!Y", {K::Staccato}, 5},
      {"88d", K::Note, "88d", {K::Staccato}, 5},
      {"{$tempo}d", K::Note, "{$tempo}d", {K::AttachedText}, 5},
      {"{&0A1b}d", K::Note, "{&0A1b}d", {K::AttachedHex}, 5},
      {"  \t!d", K::Note, "!d", {}, 5},
      {"\xC0", K::None, "", {}, 5},
      {"{x}", K::None, "", {}, 5},
  };
  for (const MatchCase& c : cases) {
    Fresh();
    Result r = Read(c.text);
    EXPECT_EQ(r.kind, c.kind) << c.text;
    EXPECT_EQ(r.token, c.token) << c.text;
    EXPECT_EQ(r.pending, c.pending) << c.text;
    EXPECT_EQ(ctx.Voices[1].Octave, c.octave) << c.text;
    EXPECT_EQ(errors.Code(), 0) << c.text;
  }
}

TEST_F(ReaderTest, SignEffects) {
  Read("K).B((1d");
  EXPECT_EQ(ctx.Voices[1].Mode, kHandDownward);
  EXPECT_EQ(ctx.Voices[1].ValueMode, kValueModeLarge);
  Read("_).L).B(1d");
  EXPECT_EQ(ctx.Voices[1].Mode, kHandUpward);
  EXPECT_EQ(ctx.Voices[1].ValueMode, kValueModeNone);
  Read(")a.)b.d");
  EXPECT_EQ(ctx.BlockText, "a.)b");
  Read("<name>d");
  EXPECT_EQ(ctx.LabelText, "name");
  Read("{&0A1b}d");
  EXPECT_EQ(ctx.HexText, "0a1b");
  Read(")ULl!Vh.d");
  EXPECT_EQ(ctx.LastClef, ")ULl");
  EXPECT_EQ(ctx.Transposition, 140);
  Read(")/k.V5d");
  EXPECT_EQ(ctx.Transposition, 121);
  Read("M5d");
  EXPECT_EQ(ctx.OrnamentNumber, 1);
  EXPECT_EQ(ctx.OrnamentAccidental, TKeySign::Sharp);
  EXPECT_EQ(accidental, TKeySign::No);
  Read("88d");
  EXPECT_TRUE(ctx.Voices[1].StaccatoPassage);
  Read("8d");
  EXPECT_FALSE(ctx.Voices[1].StaccatoPassage);
  Read("L5.d");
  EXPECT_EQ(tupletNumber, 5);
  EXPECT_EQ(tupletCounter, 6);
  Read("2d");
  EXPECT_EQ(tupletNumber, 3);
  EXPECT_EQ(tupletCounter, 4);
}

TEST_F(ReaderTest, NotesNeedAnOctaveFirst) {
  ctx.Voices[1].Octave = 0;
  Result r = Read("!Y");
  EXPECT_EQ(r.kind, K::Note);
  EXPECT_EQ(ctx.Voices[1].Step, 3);
  EXPECT_EQ(value, 1);
  EXPECT_EQ(ctx.Voices[1].Octave, 5);
  EXPECT_TRUE(ctx.OctaveSignGiven);
  ctx.Voices[2].Octave = 0;
  r = Read("Y", 2);
  EXPECT_EQ(r.kind, K::None);
  EXPECT_EQ(r.rest, "Y");
}

TEST_F(ReaderTest, NearestPositionRule) {
  struct Case {
    const char* first;
    const char* second;
    int32_t octave;
  };
  const Case cases[] = {{"!j", "d", 6}, {"!i", "d", 6}, {"!j", "e", 6}, {"!d", "j", 4},
                        {"!e", "j", 4}, {"!d", "i", 4}, {"!d", "g", 5}, {"!e", "i", 5}};
  for (const Case& c : cases) {
    Fresh();
    ctx.Voices[1].Octave = 0;
    Read(c.first);
    Read(c.second);
    EXPECT_EQ(ctx.Voices[1].Octave, c.octave) << c.first << c.second;
  }
}

// The nearest-position rule carries a melody past B10 and back down again: its keys are
// held at 127 up there, its octave inside a byte however far it climbs.
TEST_F(ReaderTest, OctavesRisePastTheKeysAndComeBack) {
  TMeasureText top(",,jdefghijdj");
  std::vector<int32_t> keys;
  while (!top.Empty() && Next(top).kind == K::Note) {
    keys.push_back(MidiKeyOf(ctx.Voices[1].Step, accidental, ctx.Voices[1].Octave));
  }
  EXPECT_EQ(keys, (std::vector<int32_t>{119, 120, 122, 124, 125, 127, 127, 127, 127, 127}));
  for (const int scales : {40, 300}) {  // C5 up a scale at a time, then down as many
    Fresh();
    std::string up = "!";
    std::string down;
    for (int i = 0; i < scales; ++i) {
      up += "defghij";
      down += "jihgfed";
    }
    TMeasureText text(up + down);
    int32_t peak = 0;
    while (!text.Empty() && Next(text).kind == K::Note) {
      peak = std::max(peak, ctx.Voices[1].Octave);
    }
    EXPECT_EQ(peak, std::min(4 + scales, kHighestNoteOctave)) << scales;
    EXPECT_EQ(ctx.Voices[1].Octave, scales == 40 ? 5 : 1) << scales;
  }
}

TEST_F(ReaderTest, AccidentalMemoryLastsTheMeasure) {
  TMeasureText text("(ee");
  Next(text);
  EXPECT_EQ(accidental, TKeySign::Flat);
  Next(text);
  EXPECT_EQ(accidental, TKeySign::Flat);
  ctx.MeasureStart = true;
  Read("e");
  EXPECT_EQ(accidental, TKeySign::No);
}

TEST_F(ReaderTest, IntervalOctaveSignBelongsToTheInterval) {
  ctx.Voices[1].Octave = 4;
  Result r = Read("!U");
  EXPECT_EQ(r.kind, K::Interval);
  EXPECT_EQ(value, 3);
  EXPECT_EQ(ctx.IntervalOctave, 5);
  EXPECT_EQ(ctx.Voices[1].Octave, 4);
  Read("99");
  EXPECT_TRUE(ctx.IntervalDoubled);
  EXPECT_EQ(ctx.IntervalOctave, 0);
  Read("9");
  EXPECT_FALSE(ctx.IntervalDoubled);
}

TEST_F(ReaderTest, OctaveSignBeforeARestOrClefIsUndone) {
  ctx.Voices[1].Octave = 4;
  Read("Kv");
  EXPECT_EQ(ctx.Voices[1].Octave, 4);
  EXPECT_EQ(ctx.Voices[1].Step, 0);
  EXPECT_EQ(value, 4);
  Read("@)/l");
  EXPECT_EQ(ctx.Voices[1].Octave, 4);
}

TEST_F(ReaderTest, ChordTieRepeat) {
  Read("!f");
  TMeasureText text("BcBc");
  std::vector<TSignKind> kinds;
  for (int i = 0; i < 6 && !text.Empty(); ++i) {
    kinds.push_back(Next(text).kind);
  }
  EXPECT_EQ(kinds, (std::vector<TSignKind>{K::ChordTie, K::Note, K::ChordTie, K::Note, K::ChordTie, K::ChordTie}));
  EXPECT_EQ(ctx.Voices[1].Step, 3);
}

TEST_F(ReaderTest, TooManyPendingSigns) {
  std::string signs;
  for (int i = 0; i < 26; ++i) {
    signs += "85";  // staccato, ornament: two signs
  }
  EXPECT_EQ(Read(signs.substr(1) + "d").kind, K::Note);
  EXPECT_EQ(ctx.PendingSigns.size(), 51u);
  EXPECT_EQ(Read(signs + "d").kind, K::None);
}

struct TupletCase {
  const char* text;
  uint8_t code;
  uint8_t number;
};

TEST_F(ReaderTest, TupletNumbersMustBeWhole) {
  const TupletCase cases[] = {{"L5.d", 0, 5}, {"L12.d", 0, 12}, {"L1,5.d", 5, 1}, {"L-5.d", 5, 1},
                              {"L300.d", 5, 1}, {"L0.d", 5, 1},  {"L1.d", 5, 1}};
  for (const TupletCase& c : cases) {
    errors.Reset();
    tupletNumber = 1;
    Read(c.text);
    EXPECT_EQ(errors.Code(), c.code) << c.text;
    EXPECT_EQ(tupletNumber, c.number) << c.text;
  }
}

// Measure starts: signatures, inheritance and whole-measure rests.
class MeasureStartTest : public ReaderTest {
 protected:
  Result Start(const std::string& s, uint8_t voice = 1) {
    ctx.MeasureStart = true;
    return Read(s, voice);
  }
};

struct SignatureCase {
  const char* text;
  int32_t keyBefore;
  uint8_t code;
  int32_t key;
  uint8_t num, den;
};

TEST_F(MeasureStartTest, Signatures) {
  const SignatureCase cases[] = {
      {"MMVd4!d", 0, 0, 2, 4, 4},        {"((Vc4!d", 0, 0, -2, 3, 4},    {"\\\\MVf8!d", -2, 0, 1, 6, 8},
      {"MVb4!d", -1, 11, -1, 0, 0},      {"MMMMMMMMVd4!d", 0, 11, 7, 0, 0}, {"\\Vd4!d", 0, 11, 0, 0, 0},
      {"Vbfg4!d", 0, 12, 0, 0, 0},       {"Vc3!d", 0, 12, 0, 0, 0},      {"V4!d", 0, 12, 0, 0, 0},
      {"Vbj2!d", 0, 0, 0, 20, 2},        {"Vc128!d", 0, 0, 0, 3, 128},   {"Vc256!d", 0, 12, 0, 0, 0},
  };
  for (const SignatureCase& c : cases) {
    errors.Reset();
    ctx.Voices[1].Key = c.keyBefore;
    Result r = Start(c.text);
    EXPECT_EQ(errors.Code(), c.code) << c.text;
    EXPECT_EQ(ctx.Voices[1].Key, c.key) << c.text;
    if (c.code == 0) {
      EXPECT_EQ(r.kind, K::Note) << c.text;
      EXPECT_EQ(r.pending, std::vector<TSignKind>{K::Signature}) << c.text;
      EXPECT_EQ(ctx.Voices[1].TimeNum, c.num) << c.text;
      EXPECT_EQ(ctx.Voices[1].TimeDen, c.den) << c.text;
    } else {
      EXPECT_EQ(r.kind, K::None) << c.text;
    }
  }
}

TEST_F(MeasureStartTest, MixedKeySignsAreNoSignature) {
  TMeasureText text("(MVb4");
  std::string token;
  EXPECT_FALSE(ReadSignatures(ctx, text, token, 1, errors));
  EXPECT_EQ(text.Rest(), "(MVb4");
}

TEST_F(MeasureStartTest, VoicesInheritFromBelow) {
  ctx.Voices[1].Key = 3;
  Result r = Start("!d", 2);
  EXPECT_EQ(r.kind, K::Note);
  EXPECT_EQ(r.pending, std::vector<TSignKind>{K::Signature});
  EXPECT_EQ(ctx.Voices[2].TimeNum, 4);
  EXPECT_EQ(ctx.Voices[2].Key, 3);
  ctx.Voices[1] = TVoiceState();
  ctx.Voices[2] = TVoiceState();
  Start("!d", 2);
  EXPECT_EQ(errors.Code(), 8);
}

TEST_F(MeasureStartTest, MeasureStartEndsWithTheFirstNote) {
  TMeasureText text("Vc4PMVb4");
  ctx.MeasureStart = true;
  EXPECT_EQ(Next(text).kind, K::Note);
  EXPECT_FALSE(ctx.MeasureStart);
  EXPECT_EQ(Next(text).kind, K::Interval);  // a sharp and a fourth, not a new signature
  EXPECT_EQ(ctx.Voices[1].Key, 0);
  EXPECT_EQ(ctx.Voices[1].TimeNum, 3);
}

TEST_F(MeasureStartTest, WholeMeasureRests) {
  struct Case {
    uint8_t num, den;
    const char* text;
    const char* rest;  // text left after the first rest cell
    int32_t value;
  };
  const Case cases[] = {{3, 4, "m", ".", 2}, {4, 4, "m", "", 1}, {6, 8, "m()!d", ".()!d", 2},
                        {2, 4, "()!d", "()!d", 2}};
  for (const Case& c : cases) {
    ctx.Voices[1].TimeNum = c.num;
    ctx.Voices[1].TimeDen = c.den;
    Result r = Start(c.text);
    EXPECT_EQ(r.kind, K::Note) << c.text;
    EXPECT_EQ(ctx.Voices[1].Step, 0) << c.text;
    EXPECT_EQ(value, c.value) << c.text;
    EXPECT_EQ(r.rest, c.rest) << c.text;
  }
}

TEST(MeasureRestCells, FillTheMeasure) {
  struct Case {
    uint8_t num, den;
    const char* cells;
  };
  const Case cases[] = {{4, 4, "m"},   {3, 4, "u."},    {6, 8, "u."},   {5, 4, "mv"},  {9, 4, "mmv"},
                        {7, 8, "u.."}, {13, 8, "m.x"},  {1, 8, "x"},    {3, 16, "x."}, {2, 2, "m"},
                        {1, 16, "m"},  {5, 16, "vm"}, {17, 16, "m,(1m"}, {12, 8, "m."}, {1, 3, ""},    {0, 4, ""}};
  for (const Case& c : cases) {
    EXPECT_EQ(MeasureRestCells(c.num, c.den), c.cells) << int(c.num) << "/" << int(c.den);
  }
}

}  // namespace
