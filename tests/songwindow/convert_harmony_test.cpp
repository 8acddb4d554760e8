// Harmony written out as notes: the expansion of a voice from the control track's chords,
// and the window command that prepares the song, asks, and writes the voice as one undo step.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "base/errors.h"
#include "base/note_arithmetic.h"
#include "feedback/signals.h"
#include "harmony/harmonizer.h"
#include "notation/braille_translation.h"
#include "notation/translator.h"
#include "playback/transport.h"
#include "render/render_globals.h"
#include "songwindow/parts/harmony_expansion.h"
#include "tests/songwindow/command_rig.h"

namespace songwindowtest {
namespace {

// ---- The expansion ----

// Control notes as the song preparation leaves them: the bass as the note, tenor, alto and
// soprano as its intervals.
class ExpandHarmonyTest : public ::testing::Test {
 protected:
  // A quarter chord (keys are step, octave pairs: bass, tenor, alto, soprano); a bass step
  // of 0 makes a rest without chord.
  TNoteRec* Chord(std::array<std::pair<int32_t, int32_t>, 4> voices) {
    TNoteRec* n = list_.NewNote();
    n->Step = voices[0].first;
    n->Octave = voices[0].second;
    n->Value = 4;
    n->ValueKind = kValueKindLarge;
    for (size_t k = 1; k < 4 && n->Step > 0; ++k) {
      n->Intervals.push_back(TIntervalRec{static_cast<uint8_t>(voices[k].first),
                                          static_cast<uint8_t>(voices[k].second), TKeySign::No, 0});
    }
    (last_ == nullptr ? list_.First : last_->Next) = n;
    last_ = n;
    return n;
  }
  // C4 G4 C5 E5 and G3 D4 B4 G5 (bass, tenor, alto, soprano), four times.
  void Cadences() {
    for (int i = 0; i < 2; ++i) {
      Chord({{{1, 4}, {5, 4}, {1, 5}, {3, 5}}});
      Chord({{{5, 3}, {2, 4}, {7, 4}, {5, 5}}});
    }
    list_.First->Signature = TSignatureRec{4, 4, 0};
  }
  static THarmonyChoiceAt Always(THarmonyChoice choice) {
    return [choice](long double) { return std::optional<THarmonyChoice>(choice); };
  }
  // Each note's keys, the note first ("r" for a rest).
  static std::vector<std::string> Keys(const TNoteList& list) {
    std::vector<std::string> out;
    for (const TNoteRec* n = list.First; n != nullptr; n = n->Next) {
      std::string text = n->Step == 0 ? "r" : std::to_string(MidiKeyOf(n->Step, n->Accidental, n->Octave));
      for (const TIntervalRec& iv : n->Intervals) {
        text += "+" + std::to_string(MidiKeyOf(iv.Step, iv.Accidental, iv.Octave));
      }
      out.push_back(text);
    }
    return out;
  }

  TNoteList list_;
  TNoteRec* last_ = nullptr;
};

TEST_F(ExpandHarmonyTest, EachNoteTakesTheTonesItsSwitchesChoose) {
  Cadences();
  struct Case {
    const char* name;
    THarmonyChoice choice;
    std::vector<std::string> first2;  // the first two notes
    bool took;
  };
  const Case cases[] = {
      {"tenor alone (first member, no melody)", {false, {true, false, false}, false}, {"55", "50"}, true},
      {"the bass (kept note) alone", {true, {false, false, false}, false}, {"48", "43"}, true},
      {"alto and soprano: the alto becomes the note", {false, {false, true, true}, false}, {"60+64", "59+67"}, true},
      {"all four", {true, {true, true, true}, false}, {"48+55+60+64", "43+50+59+67"}, true},
      {"nothing switched on: rests", {false, {false, false, false}, false}, {"r", "r"}, false},
  };
  for (const Case& c : cases) {
    const THarmonyExpansion e = ExpandHarmony(list_.First, 1920, Always(c.choice));
    ASSERT_TRUE(e.Notes) << c.name;
    const std::vector<std::string> keys = Keys(*e.Notes);
    ASSERT_EQ(keys.size(), 4u) << c.name;
    EXPECT_EQ(std::vector<std::string>(keys.begin(), keys.begin() + 2), c.first2) << c.name;
    EXPECT_EQ(keys[2], keys[0]) << c.name;
    EXPECT_EQ(e.TookTones, c.took) << c.name;
    EXPECT_TRUE(e.Notes->First->Signature) << c.name << ": the signature goes with the first note";
  }
}

TEST_F(ExpandHarmonyTest, RepeatedTonesAreTiedOnlyUnderTheTieSwitch) {
  // The same chord twice, then a rest on the control track with the same tones kept.
  Chord({{{1, 5}, {3, 5}, {5, 5}, {1, 6}}});
  Chord({{{1, 5}, {3, 5}, {5, 5}, {1, 6}}});
  Chord({{{1, 5}, {3, 5}, {6, 5}, {1, 6}}});
  Chord({{{0, 0}, {0, 0}, {0, 0}, {0, 0}}});
  list_.First->Signature = TSignatureRec{4, 4, 0};
  for (const bool tie : {true, false}) {
    const THarmonyExpansion e = ExpandHarmony(list_.First, 1920, Always({true, {true, true, false}, tie}));
    ASSERT_TRUE(e.Notes);
    const TNoteRec* a = e.Notes->First;
    const TNoteRec* b = a->Next;
    EXPECT_EQ(a->Articulation == TShtrih::Legatisimo, tie);
    EXPECT_EQ(b->Articulation == TShtrih::Legatisimo, tie) << "C5 again in the third chord";
    EXPECT_EQ(a->Intervals[1].Flag == kIntervalTied, tie);
    EXPECT_EQ(b->Intervals[1].Flag, 0) << "G5 goes to A5";
    EXPECT_NE(b->Next->Articulation, TShtrih::Legatisimo) << "no tie into the control track's rest";
    const std::vector<std::string> lines = ExpansionLines(e.Notes->First, 1920);
    ASSERT_EQ(lines.size(), 1u);
    // Read back, the tied tones hold over: the reader gives the notes Legatisimo.
    TErrorRecord errors;
    TMeasureCache cache;
    TTranslateOptions options;
    options.Cache = &cache;
    auto read = TranslateBrailleText(lines, 1, errors, options);
    ASSERT_EQ(errors.Code(), 0) << lines[0];
    ASSERT_TRUE(read);
    EXPECT_EQ(Keys(*read), Keys(*e.Notes)) << lines[0];
    EXPECT_EQ(read->First->Articulation == TShtrih::Legatisimo, tie) << lines[0];
    EXPECT_EQ(lines[0].find("Ac") != std::string::npos, tie) << lines[0];
  }
}

TEST_F(ExpandHarmonyTest, AsksAtEachNoteStartUnderItsTimeSignature) {
  for (int i = 0; i < 6; ++i) {
    Chord({{{1, 4}, {5, 4}, {1, 5}, {3, 5}}});
  }
  list_.First->Signature = TSignatureRec{4, 4, 0};
  list_.First->Next->Next->Next->Next->Signature = TSignatureRec{3, 4, 0};  // a quarter: 640 ticks
  std::vector<long double> asked;
  const THarmonyExpansion e = ExpandHarmony(list_.First, 1920, [&](long double tick) {
    asked.push_back(tick);
    return std::optional<THarmonyChoice>(THarmonyChoice{true, {}, false});
  });
  ASSERT_TRUE(e.Notes);
  EXPECT_EQ(asked, (std::vector<long double>{0, 480, 960, 1440, 1920, 2560}));
  EXPECT_EQ(ExpansionLines(e.Notes->First, 1920).size(), 2u);
}

TEST_F(ExpandHarmonyTest, AFailureHalfWayGivesNoNotes) {
  Cadences();
  int asked = 0;
  const THarmonyExpansion e = ExpandHarmony(list_.First, 1920, [&](long double) {
    return ++asked == 3 ? std::nullopt : std::optional<THarmonyChoice>(THarmonyChoice{true, {}, false});
  });
  EXPECT_FALSE(e.Notes);
  EXPECT_EQ(asked, 3) << "nothing is asked after the failure";
}

TEST(WithVoiceTextsTest, ReplacesOneVoicePerMeasureAndFillsWhatIsMissing) {
  const std::vector<std::string> lines = {"a()b()c", "d", "e()f"};
  EXPECT_EQ(WithVoiceTexts(lines, 2, {"X", "Y"}), (std::vector<std::string>{"a()X()c", "d()Y", "e()f"}));
  EXPECT_EQ(WithVoiceTexts(lines, 1, {"X", "Y", "Z", "W"}),
            (std::vector<std::string>{"X()b()c", "Y", "Z()f", "W"}));
  EXPECT_EQ(WithVoiceTexts({"a()b"}, 2, {"m"}), (std::vector<std::string>{"a"})) << "an empty voice at the end goes";
}

// ---- The window command ----

// A melody of four measures on the control track, each note with a harmony reference, and
// a choir track whose first voice switches on parts of the harmony (or the lines `more`).
std::vector<std::string> ChoirSong(const std::string& switches, const std::vector<std::string>& more = {}) {
  std::vector<std::string> song = {"4 0 0 1 1 1 1", "Общее",
                                   "Vd4{$majt53}!N{$s53}Q{$d53}S{$t53}N",
                                   "{$s6}Q{$d53}S{$t53}N{$d53}S",
                                   "{$t53}N{$s53}Q{$d7}S{$t53}N",
                                   "{$s53}Q{$d53}S{$t53}n"};
  const std::vector<std::string> choir =
      more.empty() ? std::vector<std::string>{"Vd4" + switches + "m()Vd4!y", "m", "m()Vd4!y"} : more;
  song.push_back(std::to_string(choir.size()) + " 0 1 1 1 1 1");
  song.push_back("Хор");
  song.insert(song.end(), choir.begin(), choir.end());
  return song;
}

class ConvertHarmonyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* file : {"qem.hrm", "qem.blk"}) {
      std::filesystem::copy_file(std::string(VELTO_SOURCE_DIR) + "/resources/Resources/" + file,
                                 rig_.home.Dir().Path() + "Resources/" + file);
    }
    GErrors.Reset();
  }
  void TearDown() override {
    Transport().Stop();
    GErrors.Reset();
  }
  void Load(const std::vector<std::string>& song) {
    LoadSongText(window_, song);
    window_.CurrentTrack = window_.HeadTreck->Next;
    window_.CurrentTrack->Voice = 1;
    window_.CurrentMeasure = 2;
    window_.ShowTreck(smSilent);
    rig_.speaker.said.clear();
    rig_.signaller.kinds.clear();
  }
  PTreck Choir() { return window_.HeadTreck->Next; }
  // The track's music text composed with the control track's, translated.
  std::shared_ptr<TNoteList> Translated() {
    std::vector<std::string> composed;
    ComposeTrackText(composed, window_.HeadTreck->MusicStrings, Choir()->MusicStrings);
    TErrorRecord errors;
    TMeasureCache cache;
    TTranslateOptions options;
    options.Cache = &cache;
    auto list = TranslateBrailleText(composed, 1, errors, options);
    EXPECT_EQ(errors.Code(), 0) << errors.Get().Text;
    return list;
  }
  // The harmonizer's chord of every control note, bass first, with the note's length.
  std::vector<std::string> HarmonizerChords() {
    auto list = Translated();
    long double position = 0;
    EXPECT_TRUE(list && HarmonizeNotes(*list, position, 1920)) << GErrors.Get().Text;
    return list ? ChordsOf(list->First) : std::vector<std::string>{};
  }
  // Keys of each note of a voice run (sorted, "+"-joined) and its length.
  static std::vector<std::string> ChordsOf(const TNoteRec* first) {
    std::vector<std::string> out;
    for (const TNoteRec* n = first; n != nullptr; n = n->Next) {
      std::vector<int> keys;
      if (n->Step > 0) {
        keys.push_back(MidiKeyOf(n->Step, n->Accidental, n->Octave));
      }
      for (const TIntervalRec& iv : n->Intervals) {
        keys.push_back(MidiKeyOf(iv.Step, iv.Accidental, iv.Octave));
      }
      std::sort(keys.begin(), keys.end());
      std::string text;
      for (int k : keys) {
        text += (text.empty() ? "" : "+") + std::to_string(k);
      }
      out.push_back((text.empty() ? "r" : text) + ":" + n->Length().ToString());
    }
    return out;
  }
  // Voice `voice` (1-based, the track's own) of every measure, one run.
  std::vector<std::string> VoiceChords(const TNoteList& list, int voice) {
    std::vector<std::string> out;
    for (const TNoteRec* n = list.First; n != nullptr;) {
      const TNoteRec* chain = n;
      for (int v = 0; v < voice && chain != nullptr; ++v) {
        chain = chain->VoiceChain;
      }
      for (const std::string& c : ChordsOf(chain)) {
        out.push_back(c);
      }
      const uint32_t measure = n->Measure;
      while (n != nullptr && n->Measure == measure) {
        n = n->Next;
      }
    }
    return out;
  }
  bool RenderStateFreed() {
    for (PTreck t = window_.HeadTreck; t != nullptr; t = t->Next) {
      if (t->NoteList) {
        return false;
      }
    }
    return true;
  }
  std::string UndoLabel() { return U(window_.Undo().Label()); }
  int32_t UndoCount() { return window_.Undo().State().Count; }

  TWindowRig rig_;
  TSongWindow window_{rig_.Ports(), 1, "qem"};
};

TEST_F(ConvertHarmonyTest, TheVoiceBecomesTheHarmonizersChordsAndUndoBringsTheMelodyBack) {
  Load(ChoirSong("{$b+t+a+s+}"));
  const std::vector<std::string> chords = HarmonizerChords();
  ASSERT_EQ(chords.size(), 15u);
  const std::vector<std::string> before = Choir()->MusicStrings;
  const int32_t snapshots = UndoCount();
  rig_.questions.answers = {mbOk};
  window_.ConvertHarmonyInNotes();

  ASSERT_EQ(rig_.questions.asked.size(), 1u);
  EXPECT_EQ(rig_.questions.asked[0],
            "0 Вы уверены, что хотите преобразовать гармонические ссылки для трека Хор, в голосе 1? "
            "При этом все прочие ноты данного голоса будут утеряны!");
  auto after = Translated();
  ASSERT_TRUE(after);
  EXPECT_EQ(VoiceChords(*after, 1), chords);
  EXPECT_EQ(VoiceChords(*after, 2), (std::vector<std::string>{"60:1/1", "60:1/1"})) << "voice 2 stays";
  EXPECT_EQ(UndoCount(), snapshots + 1);
  EXPECT_EQ(UndoLabel(), "преобразование гармонических ссылок голоса 1");
  EXPECT_TRUE(window_.Modified);
  EXPECT_EQ(window_.CurrentMeasure, 2);
  EXPECT_EQ(window_.CurrentTrack, Choir());
  EXPECT_TRUE(RenderStateFreed());
  EXPECT_EQ(rig_.signaller.kinds.front(), sTrack);

  TSongUndo song(window_);
  ASSERT_TRUE(window_.Undo().Opened(song));
  EXPECT_EQ(Choir()->MusicStrings, before);
}

TEST_F(ConvertHarmonyTest, ASwitchFromMeasureThreeOnChangesTheTonesFromThere) {
  Load(ChoirSong("{$b+}", {"Vd4{$b+}m()Vd4!y", "m", "{$b-s+}m()Vd4!y", "m"}));
  const std::vector<std::string> chords = HarmonizerChords();
  rig_.questions.answers = {mbOk};
  window_.ConvertHarmonyInNotes();
  auto after = Translated();
  ASSERT_TRUE(after);
  const std::vector<std::string> voice = VoiceChords(*after, 1);
  ASSERT_EQ(voice.size(), chords.size());
  // Measures 1 and 2 (eight notes) keep the bass, the rest the soprano: the lowest and
  // the highest key of each chord.
  for (size_t i = 0; i < chords.size(); ++i) {
    const std::string keys = chords[i].substr(0, chords[i].find(':'));
    const std::string want = i < 8 ? keys.substr(0, keys.find('+')) : keys.substr(keys.rfind('+') + 1);
    EXPECT_EQ(voice[i], want + chords[i].substr(chords[i].find(':'))) << i;
  }
}

// Runs that leave the voice as it was and take no snapshot.
TEST_F(ConvertHarmonyTest, RefusedOrFailedRunsLeaveTheVoiceAsItWas) {
  std::vector<std::string> noHarmony = ChoirSong("{$b+}");
  std::copy_n(std::vector<std::string>{"Vd4!NQSN", "QSNS", "NQSN", "QSn"}.begin(), 4, noHarmony.begin() + 2);
  std::vector<std::string> noFunction = ChoirSong("{$b+}");
  noFunction[4] = "{$t53}N{$qq}Q{$d7}S{$t53}N";
  struct Case {
    const char* name;
    std::vector<std::string> song;
    bool controlCurrent;
    std::vector<int> answers;
    std::vector<std::string> boxes;  // kinds of the boxes shown (0 the question, 3 an error)
    std::vector<std::string> said;   // everything spoken
    std::vector<uint8_t> signals;    // every signal given
    int32_t measureAfter;
  };
  // The place of the error shown: measure 3, voice 1 and its text.
  const std::vector<std::string> choirAt3 = {"I Такт 3", "S Голос 1", "S {$b+}m"};
  // An error in the control track's line goes to that track first.
  const std::vector<std::string> controlAt3 = {"I 0- Сонг: Общее", "S {$t53}N{$qq}Q{$d7}S{$t53}N", "I Такт 3",
                                               "S Голос 1", "S {$t53}N{$qq}Q{$d7}S{$t53}N"};
  const Case cases[] = {
      {"the control track is current", ChoirSong("{$b+}"), true, {}, {}, {}, {sError}, 2},
      {"Cancel in the question", ChoirSong("{$b+}"), false, {mbCancel}, {"0"}, {}, {sTrack}, 2},
      {"a song without harmony references", noHarmony, false, {mbOk}, {"0"},
       {"I В песне нет гармонических ссылок: голос не изменён"}, {sTrack, sError}, 2},
      {"a voice that switches on no part", ChoirSong("{$l+}"), false, {mbOk}, {"0"},
       {"I Голос 1 не включает ни одной партии гармонии (b+, t+, a+, s+): голос не изменён"}, {sTrack, sError}, 2},
      {"a part switched on twice, in measure 3: error 32 half way", ChoirSong("{$b+}", {"Vd4{$b+}m", "m", "{$b+}m"}),
       false, {mbOk}, {"0", "3"}, choirAt3, {sTrack}, 3},
      {"a harmony reference without a function: the harmonizer's error", noFunction, false, {}, {"3"}, controlAt3,
       {sTrack}, 3},
  };
  for (const Case& c : cases) {
    Load(c.song);
    if (c.controlCurrent) {
      window_.CurrentTrack = window_.HeadTreck;
      window_.ShowTreck(smSilent);
    }
    rig_.speaker.said.clear();
    rig_.signaller.kinds.clear();
    rig_.questions.asked.clear();
    rig_.questions.answers.assign(c.answers.begin(), c.answers.end());
    const std::vector<std::string> before = Choir()->MusicStrings;
    const std::vector<std::string> control = window_.HeadTreck->MusicStrings;
    const int32_t snapshots = UndoCount();
    window_.ConvertHarmonyInNotes();
    EXPECT_EQ(Choir()->MusicStrings, before) << c.name;
    EXPECT_EQ(window_.HeadTreck->MusicStrings, control) << c.name;
    EXPECT_EQ(UndoCount(), snapshots) << c.name;
    std::vector<std::string> boxes;
    for (const std::string& asked : rig_.questions.asked) {
      boxes.push_back(asked.substr(0, 1));
    }
    EXPECT_EQ(boxes, c.boxes) << c.name;
    EXPECT_EQ(rig_.speaker.said, c.said) << c.name;
    EXPECT_EQ(rig_.signaller.kinds, c.signals) << c.name;
    EXPECT_EQ(window_.CurrentMeasure, c.measureAfter) << c.name;
    EXPECT_TRUE(RenderStateFreed()) << c.name;
    EXPECT_EQ(GErrors.Code(), 0) << c.name << ": an error is shown at once, not left for the timer";
    EXPECT_FALSE(Transport().Busy()) << c.name;
  }
}

// Questions that press Stop and try to play while the box is open.
class TStoppingQuestions : public IQuestions {
 public:
  explicit TStoppingQuestions(TVelto& song) : song_(song) {}
  int Ask(const std::string&, uint8_t) override {
    busy = Transport().Busy();
    played = Transport().Play(song_, TPlayOptions{});
    Transport().Stop();
    return mbOk;
  }
  bool busy = false;
  bool played = true;

 private:
  TVelto& song_;
};

TEST_F(ConvertHarmonyTest, AStopWhileTheQuestionIsOpenCancelsAndNothingElsePlaysMeanwhile) {
  Load(ChoirSong("{$b+}"));
  TStoppingQuestions questions(window_);
  TSongWindowPorts ports = rig_.Ports();
  ports.Questions = &questions;
  TSongWindow window(ports, 3, "qem");
  LoadSongText(window, ChoirSong("{$b+}"));
  window.CurrentTrack = window.HeadTreck->Next;
  window.ShowTreck(smSilent);  // the editors (shared with window_) show this window's place
  const std::vector<std::string> before = window.CurrentTrack->MusicStrings;
  window.ConvertHarmonyInNotes();
  EXPECT_TRUE(questions.busy);
  EXPECT_FALSE(questions.played) << "no play starts while the song is rendered here";
  EXPECT_EQ(window.CurrentTrack->MusicStrings, before);
  EXPECT_FALSE(Transport().Busy());
}

}  // namespace
}  // namespace songwindowtest
