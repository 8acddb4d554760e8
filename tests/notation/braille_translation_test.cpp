#include "notation/braille_translation.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/support/braille_examples.h"
#include "tests/support/translation_helpers.h"

namespace {

class TranslationTest : public ::testing::Test {
 protected:
  std::shared_ptr<TNoteList> Translate(const std::vector<std::string>& lines) {
    TTranslateOptions options;
    options.Cache = &cache;
    return TranslateBrailleText(lines, 1, errors, options);
  }
  // Voice 1 of every measure, or the error as "error CODE: TEXT".
  std::vector<TPartNotes> Voice1(const std::string& text) {
    auto list = Translate({text});
    std::vector<TPartNotes> out;
    if (errors.Code() != 0) {
      TErrors e = errors.Get();
      out.push_back({"error " + std::to_string(e.Code) + ": " + e.Text});
      return out;
    }
    for (const auto& measure : DescribeNotes(list.get())) {
      out.push_back(measure[0]);
    }
    return out;
  }
  TMeasureCache cache;
  TErrorRecord errors;
};

// Every real melody translates to its keys, durations and ties.
TEST_F(TranslationTest, RealMelodies) {
  const auto& examples = BrailleExamples();
  ASSERT_EQ(examples.size(), 30u);
  for (const TBrailleExample& e : examples) {
    auto list = Translate(e.MusicLines);
    ASSERT_EQ(errors.Code(), 0) << e.Name << ": " << errors.Get().Text << " in measure " << errors.Get().Measure;
    std::vector<std::vector<std::string>> got;
    std::vector<std::pair<int, int>> ties;
    for (const TNoteRec* n = list->First; n != nullptr; n = n->Next) {
      if (got.size() < n->Measure) {
        got.resize(n->Measure);
      }
      if (n->Articulation == TShtrih::Legatisimo) {
        ties.emplace_back(n->Measure - 1, static_cast<int>(got[n->Measure - 1].size()));
      }
      got[n->Measure - 1].push_back(DescribeNote(*n));
      EXPECT_EQ(n->Voice, 1);
    }
    std::vector<std::vector<std::string>> expected;
    for (const auto& measure : e.Expected) {
      expected.emplace_back();
      for (const TExpectedNote& n : measure) {
        expected.back().push_back((n.Key ? std::to_string(*n.Key) : "r") + ":" + n.Duration);
      }
    }
    EXPECT_EQ(got, expected) << e.Name;
    EXPECT_EQ(ties, e.Ties) << e.Name;
    ASSERT_NE(list->First, nullptr);
    ASSERT_TRUE(list->First->Signature.has_value()) << e.Name;
    EXPECT_EQ(list->First->Signature->Key, e.Key) << e.Name;
  }
}

struct ValueCase {
  const char* text;
  std::vector<TPartNotes> notes;
};

TEST_F(TranslationTest, ValueResolution) {
  const ValueCase cases[] = {
      {"Vd4!PPPP", {{"60:1/4", "60:1/4", "60:1/4", "60:1/4"}}},
      {"Vd64!PPPP", {{"60:1/64", "60:1/64", "60:1/64", "60:1/64"}}},
      {"Vc4!PPPP", {{"error 2: "}}},
      {"Vd4B((1!yP", {{"error 16: 1/4"}}},
      {"Vag16!yy", {{"error 4: "}}},
      {"Vb4!PYedj", {{"60:1/4", "64:1/16", "62:1/16", "60:1/16", "59:1/16"}}},
      {"Vd4!2ddd2ddd2ddd2ddd",
       {{"60:1/12", "60:1/12", "60:1/12", "60:1/12", "60:1/12", "60:1/12", "60:1/12", "60:1/12", "60:1/12",
         "60:1/12", "60:1/12", "60:1/12"}}},
      {"Vc4,((1!yzYyzYyzYyzY",
       {{"60:1/16", "62:1/16", "64:1/16", "60:1/16", "62:1/16", "64:1/16", "60:1/16", "62:1/16", "64:1/16",
         "60:1/16", "62:1/16", "64:1/16"}}},
      {"Vc4B((1!P", {{"60:1/4", "r:1/2"}}},
      {"Vf8B((1!d", {{"60:1/8", "r:1/2", "r:1/8"}}},
      {"Vc4!P", {{"error 3: "}}},
      {"Vc4!nB(1P", {{"60:1/2", "60:1/4"}}},
      {"Vd4 m", {{"r:1/1"}, {"r:1/1"}}},
      {"Vc4!2dd", {{"error 5: "}}},
  };
  for (const ValueCase& c : cases) {
    errors.Reset();
    EXPECT_EQ(Voice1(c.text), c.notes) << c.text;
  }
}

TEST_F(TranslationTest, SyntaxErrors) {
  struct Case {
    const char* text;
    uint8_t code;
    uint8_t voice;
    uint32_t measure;
    const char* detail;
  };
  const Case cases[] = {
      {"Vd4.!PPPP", 1, 1, 1, "!PPPP"},
      {"Vd4!PPPP Ac!PPPP", 1, 1, 2, "!PPPP"},
      {"Vd4!PPPP!", 1, 1, 1, ""},
      {"Vd4!PPPP()", 6, 1, 1, ""},
      {"!PPPP", 8, 1, 1, "!PPPP"},
      {"Vd4!PPPP()PPPP", 1, 2, 1, "PPPP"},
      {"Vd4!PKcP9PP", 14, 1, 1, "PP"},
      {"Vd4!P<a>UPPP", 9, 1, 1, "PPP"},
      {"Vd4!P)b.UPPP", 10, 1, 1, "PPP"},
      {"Vd4!vUPPP", 1, 1, 1, "PPP"},
      {"Vd4!L1,5.PPPP", 5, 1, 1, "L1,5.PPPP"},
      {"MMMMMMMMVd4!PPPP", 11, 1, 1, "!PPPP"},
      {"Vbfg4!PPPP", 12, 1, 1, "!PPPP"},
      {"Vd4_).9", 1, 1, 1, ""},
      {"Vd4_).!P/PPP", 41, 1, 1, "PPP"},
  };
  for (const Case& c : cases) {
    errors.Reset();
    auto list = Translate({c.text});
    EXPECT_EQ(list, nullptr) << c.text;
    TErrors e = errors.Get();
    EXPECT_EQ(e.Code, c.code) << c.text;
    EXPECT_EQ(e.Voice, c.voice) << c.text;
    EXPECT_EQ(e.Measure, c.measure) << c.text;
    EXPECT_EQ(e.Text, c.detail) << c.text;
    EXPECT_EQ(e.Source, 2) << c.text;
  }
}

TEST_F(TranslationTest, TooManyVoices) {
  std::string text = "Vd4!PPPP";
  for (int v = 2; v <= 52; ++v) {
    text += "()!PPPP";
  }
  EXPECT_EQ(Translate({text}), nullptr);
  EXPECT_EQ(errors.Code(), 7);
  EXPECT_EQ(errors.Get().Voice, 51);
}

TEST_F(TranslationTest, Intervals) {
  const ValueCase cases[] = {
      {"Vd4!PUPPP", {{"60+64:1/4", "60:1/4", "60:1/4", "60:1/4"}}},
      {"Vd4K).!PUPPP", {{"60+57:1/4", "60:1/4", "60:1/4", "60:1/4"}}},
      {"Vd4!P_9PPP", {{"60+72+67:1/4", "60:1/4", "60:1/4", "60:1/4"}}},
      {"Vd4!PL_PPP", {{"60+48:1/4", "60:1/4", "60:1/4", "60:1/4"}}},
      // the octave sign of an interval leaves the next note near the main note
      {"Vd4!P@UQTw", {{"60+88:1/4", "65:1/4", "67:1/4", "71:1/4"}}},
      // accidental memory carries from a note to an interval of the same step
      {"Vd4!(SP/PP", {{"61:1/4", "60+61:1/4", "60:1/4", "60:1/4"}}},
      // a doubled interval repeats on the following notes
      {"Vd4!PUUSNP9", {{"60+64:1/4", "62+65:1/4", "64+67:1/4", "60+64+67:1/4"}}},
      {"(((Vd4!PUUSNQ", {{"60+63:1/4", "62+65:1/4", "63+67:1/4", "65+68:1/4"}}},
  };
  for (const ValueCase& c : cases) {
    errors.Reset();
    EXPECT_EQ(Voice1(c.text), c.notes) << c.text;
  }
}

TEST_F(TranslationTest, VoicesOfAMeasure) {
  auto list = Translate({"Vd4!PPPP()!TTTT()m", "NNNN()!SSSS"});
  ASSERT_EQ(errors.Code(), 0) << errors.Get().Text;
  auto measures = DescribeNotes(list.get());
  ASSERT_EQ(measures.size(), 2u);
  EXPECT_EQ(measures[0], (std::vector<TPartNotes>{{"60:1/4", "60:1/4", "60:1/4", "60:1/4"},
                                                   {"67:1/4", "67:1/4", "67:1/4", "67:1/4"},
                                                   {"r:1/1"}}));
  EXPECT_EQ(measures[1], (std::vector<TPartNotes>{{"64:1/4", "64:1/4", "64:1/4", "64:1/4"},
                                                   {"62:1/4", "62:1/4", "62:1/4", "62:1/4"}}));
  // voice 1 runs through both measures; voice 2 inherits the time signature
  EXPECT_EQ(list->First->Next->Next->Next->Next->Measure, 2u);
  ASSERT_NE(list->First->VoiceChain, nullptr);
  EXPECT_TRUE(list->First->VoiceChain->Signature.has_value());
  EXPECT_EQ(list->First->VoiceChain->Voice, 2);
}

TEST_F(TranslationTest, MeasureSeparators) {
  auto a = DescribeNotes(Translate({"Vb4!PP PP\rPP\nPP", "PP\r\n\r\nPP  PP"}).get());
  EXPECT_EQ(a.size(), 7u);
}

TEST_F(TranslationTest, AttachedSignsAndTexts) {
  std::string seenText;
  TTranslateOptions options;
  options.Cache = &cache;
  options.FindBlock = [&](uint8_t track, std::string& text) {
    EXPECT_EQ(track, 7);
    seenText = text;
    if (text == "speed:2") {
      text = "tempo:2";
    }
  };
  auto list = TranslateBrailleText({"Vd4{$h}{&0aFF}<top>)speed:2.)vib.85!PB((1)/l!Vh.PcPS"}, 7, errors, options);
  ASSERT_EQ(errors.Code(), 0) << errors.Get().Text;
  const TNoteRec* n = list->First;
  EXPECT_EQ(seenText, "speed:2.)vib");
  EXPECT_EQ(n->AttachedText, "h");
  EXPECT_EQ(n->AttachedBytes, (std::vector<uint8_t>{0x0a, 0xff}));
  EXPECT_EQ(n->LabelText, "top");
  EXPECT_EQ(n->BlockText, "speed:2.)vib");
  EXPECT_EQ(n->Articulation, TShtrih::Staccato);
  EXPECT_EQ(n->OrnamentNumber, 1);
  EXPECT_FALSE(GCommandWordSeen);  // "speed" is no command word
  n = n->Next;
  EXPECT_EQ(n->Clef, ")/l");
  EXPECT_EQ(n->Transposition, 140);
  EXPECT_EQ(n->Articulation, TShtrih::Legato);
  EXPECT_EQ(n->ValueKind, kValueKindLarge);
  Translate({"Vd4)Tempo:120.!PPPP"});
  EXPECT_TRUE(GCommandWordSeen);
  Translate({"Vd4!PPPP"});
  EXPECT_FALSE(GCommandWordSeen);  // reset by every translation
}

TEST_F(TranslationTest, AccordionLeftHand) {
  // bass C (octave 3, doubled), then a C major chord button
  auto notes = Voice1("Vd4_).PP9PP");
  EXPECT_EQ(notes, (std::vector<TPartNotes>{{"36+48:1/4", "60+72+64+76+67+79:1/4", "36+48:1/4", "36+48:1/4"}}));
  // an octave interval merges the next chord into the note before it
  notes = Voice1("Vd4_).P_T9PPP");
  EXPECT_EQ(notes, (std::vector<TPartNotes>{{"36+43+67+79+59+71+62+74:1/4", "36+48:1/4", "36+48:1/4", "36+48:1/4"}}));
}

TEST_F(TranslationTest, SameTextSameNotes) {
  const std::string text = "Vd4!PPPP BcBc";  // the error leaves the repeat counter half-way
  auto first = DescribeNotes(Translate({text}).get());
  uint8_t firstCode = errors.Code();
  auto second = DescribeNotes(Translate({text}).get());
  EXPECT_EQ(first, second);
  EXPECT_EQ(errors.Code(), firstCode);
}

// A signature followed by signs without a note: the rests that fill the measure carry it.
TEST_F(TranslationTest, SignatureOfAMeasureWithoutNotes) {
  struct Case {
    const char* text;
    int32_t key;
  };
  for (const Case& c : {Case{"Vc8M", 0}, Case{"((Vc8M", -2}, Case{"Vc8(k)", 0}, Case{"Vc8", 0}}) {
    auto list = Translate({c.text});
    ASSERT_EQ(errors.Code(), 0) << c.text;
    ASSERT_NE(list, nullptr) << c.text;
    ASSERT_TRUE(list->First->Signature.has_value()) << c.text;
    EXPECT_EQ(list->First->Signature->Numerator, 3) << c.text;
    EXPECT_EQ(list->First->Signature->Denominator, 8) << c.text;
    EXPECT_EQ(list->First->Signature->Key, c.key) << c.text;
  }
}

// Random text over the alphabet ends in notes or an error code, never a crash or hang.
TEST_F(TranslationTest, HostileInput) {
  const std::string alphabet =
      "abcdefghijklmnopqrstuvwxyzABKLMNOPQSTUVYZ0123456789!.,@()\\*[]_/<>{}$&:;- \r\n";
  std::mt19937 random(77);
  int translated = 0;
  for (int round = 0; round < 1500; ++round) {
    std::string s = round % 3 == 0 ? "Vd4!" : (round % 3 == 1 ? "MMVc8_)." : "");
    size_t length = random() % 60;
    for (size_t i = 0; i < length; ++i) {
      s += random() % 10 == 0 ? static_cast<char>(0x80 + random() % 128) : alphabet[random() % alphabet.size()];
    }
    errors.Reset();
    auto list = Translate({s});
    EXPECT_TRUE(list != nullptr || errors.Code() != 0 || SplitMeasures({s}).empty()) << s;
    translated += list != nullptr;
  }
  EXPECT_GT(translated, 0);
}

}  // namespace
