#include "songwindow/controller/note_audition.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "base/note_arithmetic.h"
#include "settings/settings.h"
#include "songwindow/controller/braille_editor.h"
#include "tests/support/braille_examples.h"
#include "tests/support/test_support.h"
#include "tests/songwindow/song_window_fakes.h"

namespace {

using namespace songwindowtest;

class ModeTalkScope {
 public:
  explicit ModeTalkScope(int32_t bits) : saved_(ModeTalk) { ModeTalk = bits; }
  ~ModeTalkScope() { ModeTalk = saved_; }

 private:
  int32_t saved_;
};

TEST(SpellNote, EachBitAddsItsPart) {
  struct TCase {
    int32_t bits;
    TNoteSpelling note;
    const char* said;  // nullptr: no description
    bool extras;
  };
  TNoteSpelling cSharp;
  cSharp.Step = 1, cSharp.Accidental = TKeySign::Sharp, cSharp.Octave = 5, cSharp.Value = 4;
  TNoteSpelling smallE;
  smallE.Step = 3, smallE.Accidental = TKeySign::DoubleFlat, smallE.Octave = 3, smallE.Value = 2;
  smallE.ValueKind = kValueKindSmall;
  TNoteSpelling rest;
  rest.Value = 1;
  TNoteSpelling signed3;
  signed3.Step = 5, signed3.Value = 8, signed3.ValueKind = kValueKindLarge, signed3.HasSignature = true;
  signed3.Beats = 3, signed3.BeatValue = 4, signed3.KeySignature = -3;
  TNoteSpelling marked;
  marked.Step = 2, marked.Value = 4, marked.LabelText = "L", marked.BlockText = "a.b(c.d)";
  marked.MidiText = "90", marked.HarmonyText = "Am", marked.Articulation = TShtrih::Staccato;
  const TCase cases[] = {
      {7163, cSharp, "До Диез, четвертная%points%%league%", false},
      {tkName | tkAccidental | tkOctave | tkDuration, smallE, "Ми Дубльбемоль Большой-октавы, тридцать вторая%points%",
       false},
      {tkName | tkDuration | tkBothDurations, rest, "Пауза, целая или шестнадцатая%points%", false},
      {tkName | tkDuration | tkSignature, signed3, "Соль, восьмая%points%, Тактовый размер 3 4, при ключе 3 беммоль",
       true},
      {tkName | tkSignature | tkBlocks | tkHarmony | tkLabel | tkMidiData | tkArticulation, marked,
       "Ре, стаккато, блок-обработчик a, блок-обработчик b(c.d), Гармония Am, Метка L, Есть MIDI-данные", true},
      {0, marked, nullptr, false},
  };
  for (const TCase& c : cases) {
    ModeTalkScope bits(c.bits);
    std::string said = "untouched";
    bool extras = true;
    EXPECT_EQ(SpellNote(said, extras, c.note), c.said != nullptr) << c.bits;
    EXPECT_EQ(U(said), c.said != nullptr ? c.said : "untouched") << c.bits;
    EXPECT_EQ(extras, c.extras) << c.bits;
  }
}

// Only the octaves of the octave signs have a name: the language's texts after them are
// other words (207 "octave", 208 "sharp").
TEST(SpellNote, OctavesBeyondTheSignsAreNotNamed) {
  testsupport::TScopedLanguage language({"191=C", "207=octave", "208=sharp"});
  ModeTalkScope bits(tkName | tkOctave);
  for (const int32_t octave : {10, 11}) {
    TNoteSpelling c;
    c.Step = 1, c.Octave = octave, c.Value = 4;
    std::string said;
    bool extras = false;
    EXPECT_TRUE(SpellNote(said, extras, c));
    EXPECT_EQ(U(said), "C") << octave;
  }
}

// A window with a control track and one melody track whose measures are given.
struct TAuditionRig {
  explicit TAuditionRig(const std::vector<std::string>& melody, const std::string& control = "Vd4m") {
    std::vector<std::string> song = {"1 0 0 1 0 0 0", "Общее", control,
                                     std::to_string(melody.size()) + " 0 1 1 0 0 0", "Мелодия"};
    song.insert(song.end(), melody.begin(), melody.end());
    LoadSongText(window, song);
    window.ShowTreck(smSilent);
    rig.locks.scroll = true;
  }
  // PlayNote at (measure, caret) of the current voice, with LastAuditionText cleared.
  TAudition At(int32_t measure, int32_t caret, bool soundIntervals = false) {
    window.CurrentMeasure = measure;
    window.ShowTreck(smSilent);
    rig.preview.sent.clear();
    return window.Editor().Audition().PlayNote({measure, caret, true, soundIntervals, true});
  }
  TWindowRig rig;
  TSongWindow window{rig.Ports(), 1, "qem"};
};

TEST(PlayNote, TheNoteAtTheCaret) {
  struct TCase {
    const char* name;
    const char* line;
    int32_t caret;
    bool soundIntervals;
    const char* said;  // the description, "" for none
    std::vector<std::string> midi;
    const char* token;
  };
  const TCase cases[] = {
      {"a quarter with a dot", "!P.S", 2, false, "До, четвертная точка", {"off", "on 0 0 60 81"}, "P"},
      {"two dots", "!P..S", 2, false, "До, четвертная точка точка", {"off", "on 0 0 60 81"}, "P"},
      {"a tie", "!PAcP", 2, false, "До, четвертная лига держания", {"off", "on 0 0 60 81"}, "P"},
      {"a rest sounds nothing", "!Pv", 3, false, "Пауза, четвертная", {}, "v"},
      {"a sharp is kept through the measure", "!MPSP", 5, false, "До Диез, четвертная", {"off", "on 0 0 61 81"},
       "P"},
      {"a written interval at the caret", "!PU", 3, true, "", {"off", "on 0 0 64 81"}, ""},
      {"a doubled interval repeats on the next note", "!PUUS", 5, false, "Ре, четвертная",
       {"off", "on 0 0 62 81", "on 0 0 65 81"}, "S"},
      {"not on a note", "!PS", 1, false, "", {}, ""},
  };
  for (const TCase& c : cases) {
    TAuditionRig a({"!P", c.line});  // measure 1 would name its time signature
    const TAudition r = a.At(2, c.caret, c.soundIntervals);
    EXPECT_EQ(U(r.Description), c.said) << c.name;
    EXPECT_EQ(a.rig.preview.sent, c.midi) << c.name;
    EXPECT_EQ(r.TokenText, c.token) << c.name;
    EXPECT_EQ(a.rig.speaker.said.empty(), *c.said == '\0') << c.name;
  }
}

TEST(PlayNote, SoundsOnceAndOnTheTrackChannel) {
  TAuditionRig a({"!PSNQ"}, "Vd4!P");
  EXPECT_EQ(a.At(1, 2).SelStart, 1);
  EXPECT_EQ(a.rig.preview.sent, (std::vector<std::string>{"off", "on 0 0 60 81"}));
  a.rig.preview.sent.clear();
  a.window.Editor().Audition().PlayNote({1, 2, true, false, true});
  EXPECT_TRUE(a.rig.preview.sent.empty()) << "the same note is not sounded again";
  {
    ModeTalkScope off(0);
    const TAudition r = a.At(1, 3);
    EXPECT_FALSE(r.Described);
    EXPECT_TRUE(r.Found);
    EXPECT_EQ(a.rig.preview.sent, (std::vector<std::string>{"off", "on 0 0 62 81"}));
  }
  a.window.CurrentTrack = a.window.HeadTreck;  // the control track reads its own line twice
  a.window.CurrentTrack->MidiOut = 2;
  a.At(1, 5);
  EXPECT_EQ(a.rig.preview.sent, (std::vector<std::string>{"off", "on 2 0 60 81"}));
}

TEST(PlayNote, TheCaretGoesThroughTheTranslator) {
  TAuditionRig a({"!P()!до4ре4"});
  const std::filesystem::path rules = std::filesystem::path(ProgramDir) / "Translator" / "t.cnv";
  std::filesystem::create_directories(rules.parent_path());
  std::ofstream(rules) << W("до4=P\r\nре4=S\r\n");
  // The translator is named in the track's program text; the window reads it there.
  a.window.CurrentTrack->ProgramStrings = {"translator t"};
  a.window.CurrentTrack->Voice = 2;
  for (int32_t caret : {2, 3, 4}) {
    const TAudition r = a.At(1, caret);
    EXPECT_EQ(U(r.TokenText), "до4") << caret;
    EXPECT_EQ(a.rig.preview.sent, (std::vector<std::string>{"off", "on 0 0 60 81"})) << caret;
  }
  EXPECT_EQ(U(a.At(1, 7).Description), "Ре, четвертная");
}

// The name, accidental and octave spoken for a note, as a MIDI key (-1 for a rest).
int KeyOfDescription(const std::string& utf8) {
  static const std::map<std::string, int32_t> kSteps = {{"До", 1}, {"Ре", 2}, {"Ми", 3}, {"Фа", 4},
                                                        {"Соль", 5}, {"Ля", 6}, {"Си", 7}};
  static const std::map<std::string, TKeySign> kAccidentals = {
      {"Дубльбемоль", TKeySign::DoubleFlat}, {"Бемоль", TKeySign::Flat}, {"Бекар", TKeySign::Natural},
      {"Диез", TKeySign::Sharp}, {"Дубльдиез", TKeySign::DoubleSharp}};
  static const std::vector<std::string> kOctaves = {"Суб-контр-октавы", "Контр-октавы", "Большой-октавы",
                                                    "Малой-октавы", "Первой-октавы", "Второй-октавы",
                                                    "Третьей-октавы", "Четвёртой-октавы", "Пятой-октавы"};
  std::istringstream words(utf8);
  std::string name;
  words >> name;
  if (name == "Пауза") {
    return -1;
  }
  TKeySign accidental = TKeySign::No;
  int32_t octave = 0;
  for (std::string word; words >> word;) {
    if (kAccidentals.count(word) != 0) {
      accidental = kAccidentals.at(word);
    }
    for (size_t o = 0; o < kOctaves.size(); ++o) {
      octave = word == kOctaves[o] ? static_cast<int32_t>(o) + 1 : octave;
    }
  }
  return kSteps.count(name) != 0 && octave != 0 ? MidiKeyOf(kSteps.at(name), accidental, octave) : -2;
}

// Upper number digits of a time signature's numerator: 1..9 are a..i, 0 is j.
std::string UpperDigits(const std::string& number) {
  std::string digits;
  for (char d : number) {
    digits += d == '0' ? 'j' : static_cast<char>('a' + (d - '1'));
  }
  return digits;
}

TEST(PlayNote, WalkingTheReferenceMelodiesNamesTheirNotes) {
  const auto& examples = BrailleExamples();
  ASSERT_FALSE(examples.empty());
  ModeTalkScope bits(tkName | tkAccidental | tkOctave);
  for (const TBrailleExample& e : examples) {
    const size_t slash = e.Time.find('/');
    TAuditionRig a(e.MusicLines, "V" + UpperDigits(e.Time.substr(0, slash)) + e.Time.substr(slash + 1) + "m");
    for (size_t m = 0; m < e.MusicLines.size(); ++m) {
      std::vector<int> heard;
      for (size_t caret = 1; caret <= e.MusicLines[m].size(); ++caret) {
        a.window.LastAuditionText.clear();
        const TAudition r = a.window.Editor().Audition().PlayNote(
            {static_cast<int32_t>(m) + 1, static_cast<int32_t>(caret), true, false, false});
        if (r.Described) {
          heard.push_back(KeyOfDescription(U(r.Description)));
        }
      }
      std::vector<int> expected;
      for (const TExpectedNote& n : e.Expected[m]) {
        expected.push_back(n.Key.value_or(-1));
      }
      EXPECT_EQ(heard, expected) << e.Name << " measure " << m + 1 << ": " << e.MusicLines[m];
    }
  }
}

// PlayNote at (measure, caret) through the window's kept states gives what a walk of a
// fresh audition gives.
void ExpectKeptAgreesWithAFreshWalk(TAuditionRig& a, int32_t measure, int32_t caret) {
  const TAudition kept = a.At(measure, caret);
  const std::vector<std::string> keptMidi = a.rig.preview.sent;
  a.window.LastAuditionText.clear();
  a.rig.preview.sent.clear();
  TNoteAudition fresh(a.window);
  const TAudition walked = fresh.PlayNote({measure, caret, true, false, true});
  const uint16_t voice = a.window.CurrentTrack->Voice;
  EXPECT_EQ(kept.Description, walked.Description) << measure << "/" << voice << "/" << caret;
  EXPECT_EQ(kept.SelStart, walked.SelStart) << measure << "/" << voice << "/" << caret;
  EXPECT_EQ(keptMidi, a.rig.preview.sent) << measure << "/" << voice << "/" << caret;
}

// Kept reader states give what a walk from measure 1 gives, also after an earlier measure
// changed.
TEST(PlayNote, KeptStatesAgreeWithAFreshWalk) {
  const char* voices[] = {"PSNQ", "TOwP", "defghijd", "PQ.e", "yz", "MPSNQ", "r(s"};
  std::vector<std::string> melody;
  for (size_t m = 0; m < 40; ++m) {
    melody.push_back(std::string(m == 0 ? "!" : "") + voices[m % 7] + "()" + (m == 0 ? "!" : "") +
                     voices[(m + 3) % 7] + "()" + (m == 0 ? "K" : "") + voices[(m + 5) % 7]);
  }
  TAuditionRig a(melody);
  const auto compare = [&](int32_t measure, uint16_t voice) {
    a.window.CurrentTrack->Voice = voice;
    for (int32_t caret = 1; caret <= 8; ++caret) {
      ExpectKeptAgreesWithAFreshWalk(a, measure, caret);
    }
  };
  for (int32_t measure : {1, 8, 9, 17, 33, 40}) {
    compare(measure, 2);
  }
  a.window.CurrentTrack->MusicStrings[11] = "AdPS()KTOwP()yz";  // octaves change from measure 12 on
  for (int32_t measure : {33, 17, 12, 40}) {
    compare(measure, 1);
    compare(measure, 3);
  }
}

// In a long measure the state kept shortly before the caret serves the next keys, as the
// caret moves on or back, and not once the measure changed before it.
TEST(PlayNote, AStateKeptInsideALongMeasureAgreesWithAFreshWalk) {
  const char* pieces[] = {"!PSNQ", "!TOwP", "!defghijd", "!yz"};  // each from its octave sign
  std::string voice2;
  for (size_t i = 0; voice2.size() < 5000; ++i) {
    voice2 += pieces[i % 4];
  }
  TAuditionRig a({"!PSNQ()" + voice2, "PSNQ"});
  a.window.CurrentTrack->Voice = 2;
  const auto end = static_cast<int32_t>(voice2.size());
  const auto lastP = static_cast<int32_t>(voice2.rfind("!PSNQ")) + 2;  // the caret after its P
  for (int32_t caret : {end - 40, end - 39, end - 2, end, end - 30, end - 1500, end - 1499, lastP}) {
    ExpectKeptAgreesWithAFreshWalk(a, 1, caret);
  }
  // A sharp well before the kept place holds for every later P of the measure.
  a.window.CurrentTrack->MusicStrings[0].insert(7 + voice2.find("!PSNQ", 1000) + 1, "M");
  ExpectKeptAgreesWithAFreshWalk(a, 1, lastP + 1);
  ExpectKeptAgreesWithAFreshWalk(a, 2, 3);
  // Nor once an earlier measure changed: here the octave the long measure starts from.
  std::string scale;
  while (scale.size() < 4000) {
    scale += "PSNQ";
  }
  TAuditionRig b({"!PSNQ", scale});
  const auto last = static_cast<int32_t>(scale.size());
  ExpectKeptAgreesWithAFreshWalk(b, 2, last - 1);
  b.window.CurrentTrack->MusicStrings[0] = "KPSNQ";
  ExpectKeptAgreesWithAFreshWalk(b, 2, last);
}

}  // namespace
