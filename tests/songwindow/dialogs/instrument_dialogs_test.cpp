#include "songwindow/dialogs/instrument_dialogs.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "feedback/signals.h"
#include "settings/lang_texts.h"
#include "songwindow/dialogs/general_midi_names.h"
#include "songwindow/parts/key_codes.h"
#include "tests/songwindow/song_window_fakes.h"

namespace {

using namespace songwindowtest;

const std::string kMark = " {$$$GenerallMidiInstrumentsHelper$$$}";

// A single-shot timer that the test fires by hand.
struct TShotTimer : INoteTimer {
  void Start(int32_t intervalMs) override { armed = true, ms = intervalMs; }
  void Stop() override { armed = false; }
  bool armed = false;
  int32_t ms = 0;
};

// The control track, a melody on channel 1 (port 2 by its directive when `port`) with the
// program lines given, and drums on channel 10.
std::vector<std::string> Song(const std::vector<std::string>& program, bool port = false) {
  std::vector<std::string> lines = {"1 0 0 1 0 0 0", "Общее", "m"};
  lines.push_back("1 " + std::to_string(program.size() + (port ? 1 : 0)) + " 1 1 0 0 0");
  lines.push_back("Мелодия");
  lines.push_back("a");
  if (port) {
    lines.push_back("{$$$midiout=2$$$}");
  }
  lines.insert(lines.end(), program.begin(), program.end());
  lines.insert(lines.end(), {"1 0 10 1 0 0 0", "Drums", "x"});
  return lines;
}

class InstrumentDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UnloadLanguage();
    Reset();
    Load({});
  }
  void TearDown() override { Reset(); }
  static void Reset() {
    LastInstrumentItem = 0, LastBank = 0, InstrumentListLabel.clear(), AuditionKey = 0, AuditionCountdown = 0;
    LastDrumKit = 0, LastDrumElement = 0, DrumListLabel.clear(), DrumAuditionKey = 0;
  }
  void Load(const std::vector<std::string>& program, bool port = false) {
    LoadSongText(window_, Song(program, port));
    Melody();
  }
  void Melody() { Show(window_.HeadTreck->Next); }
  void Drums() { Show(window_.HeadTreck->Next->Next); }
  void Show(TTreck* track) {
    window_.CurrentTrack = track;
    window_.ShowTreck(smSilent);
    rig_.speaker.said.clear();
    rig_.signaller.kinds.clear();
    rig_.preview.sent.clear();
  }
  // Fires the timer until it is no longer armed (at most `most` times); the ticks fired.
  int RunTimer(TInstrumentsDialog& dialog, int most = 1000) {
    int ticks = 0;
    while (timer_.armed && ticks < most) {
      timer_.armed = false;
      dialog.Tick();
      ++ticks;
    }
    return ticks;
  }
  TWindowRig rig_;
  TShotTimer timer_;
  TSongWindow window_{rig_.Ports(), 1, "qem"};
};

TEST_F(InstrumentDialogsTest, ListsTheGeneralMidiInstrumentsAndDrumsWithTheirNumbers) {
  TInstrumentsDialog instruments(window_, timer_);
  ASSERT_EQ(instruments.Items.size(), 128u);
  EXPECT_EQ(U(instruments.Items[0]), "0 - Acoustic Grand Piano - Фортепиано");
  EXPECT_EQ(U(instruments.Items[40]), "40 - Violin - Скрипка альт");
  EXPECT_EQ(U(instruments.Items[127]), "127 - Gunshot - Выстрел");
  TDrumsDialog drums(window_);
  ASSERT_EQ(drums.Items.size(), 61u);
  EXPECT_EQ(U(drums.Items[0]), "27 - High Q");
  EXPECT_EQ(U(drums.Items[8]), "35 - Acoustic Bass Drum");
  EXPECT_EQ(U(drums.Items[60]), "87 - Open Surdo");
}

// Every name has its text in each language file, and the items read it.
TEST_F(InstrumentDialogsTest, EveryLanguageFileNamesEveryInstrumentAndDrum) {
  namespace fs = std::filesystem;
  for (const auto& entry : fs::directory_iterator(fs::path(VELTO_SOURCE_DIR) / "resources" / "Languages")) {
    ASSERT_TRUE(LoadLanguageFile(entry.path().string())) << entry.path();
    for (int program = 0; program < kGmInstrumentCount; ++program) {
      EXPECT_NE(LangStr(kGmInstrumentTextBase + program), "???") << entry.path() << " program " << program;
    }
    for (int key = kGmFirstDrumKey; key <= kGmLastDrumKey; ++key) {
      EXPECT_NE(LangStr(kGmDrumTextBase + key), "???") << entry.path() << " key " << key;
    }
    TInstrumentsDialog dialog(window_, timer_);
    EXPECT_EQ(dialog.Items[73], "73 - " + LangStr(kGmInstrumentTextBase + 73));
    EXPECT_NE(LangStr(kGmInstrumentTextBase + 73).find("Flute"), std::string::npos) << entry.path();
  }
  UnloadLanguage();
}

TEST_F(InstrumentDialogsTest, DrumKeysAreWrittenAsTheirNotes) {
  const std::pair<int, const char*> cases[] = {
      {0, "Ре-Диез Контр-Октава"},    {60, "Ре-Диез Третья-Октава"}, {8, "Си Контр-Октава"},
      {33, "До Первая-Октава"},       {19, "Си-Бемоль Большая-Октава"}, {15, "Фа-Диез Большая-Октава"},
      {41, "Соль-Диез Первая-Октава"}, {21, "До Малая-Октава"}, {25, "Ми Малая-Октава"},
  };
  for (const auto& [index, want] : cases) {
    EXPECT_EQ(U(DrumNoteName(index)), want) << index;
  }
}

TEST_F(InstrumentDialogsTest, InsertWritesTheBlockOnceAtItsPlaceWithTheCaretAfterIt) {
  struct TCase {
    const char* what;
    std::vector<std::string> program;
    int32_t caretLine;
    uint32_t bank;
    int32_t item;
    std::vector<std::string> want;
    int32_t wantCaretLine;
  };
  const std::string c0 = "Controller 0 In 2" + kMark;
  const std::string c32 = "Controller 32 In 44" + kMark;
  const std::string in5 = "Instrument 5" + kMark;
  const std::vector<std::string> bank300 = {c0, c32, in5};
  const TCase cases[] = {
      {"empty program: the block between two empty lines", {}, 0, 300, 5, {"", c0, c32, in5, ""}, 3},
      {"at the caret's line", {"a", "b"}, 1, 300, 5, {"a", "", c0, c32, in5, "", "b"}, 4},
      {"caret past the end", {"a"}, 7, 300, 5, {"a", "", c0, c32, in5, ""}, 4},
      {"a block inserted before is replaced in its place",
       {"a", "Controller 0 In 0" + kMark, "Controller 32 In 0" + kMark, "Instrument 1" + kMark, "b"}, 4, 300, 5,
       {"a", c0, c32, in5, "b"}, 4},
      {"scattered block lines: one block where the first stood",
       {"Instrument 1" + kMark, "a", "Controller 0 In 0" + kMark}, 1, 0, 0,
       {"Controller 0 In 0" + kMark, "Controller 32 In 0" + kMark, "Instrument 0" + kMark, "a"}, 3},
      {"the highest bank", {}, 0, 16383, 127,
       {"", "Controller 0 In 127" + kMark, "Controller 32 In 127" + kMark, "Instrument 127" + kMark, ""}, 3},
  };
  for (const TCase& c : cases) {
    Load(c.program);
    rig_.editors.column = 2;
    rig_.editors.line = c.caretLine;
    TInstrumentsDialog dialog(window_, timer_);
    dialog.Bank.Set(c.bank);
    dialog.Item = c.item;
    EXPECT_TRUE(dialog.Insert()) << c.what;
    EXPECT_EQ(window_.CurrentTrack->ProgramStrings, c.want) << c.what;
    EXPECT_EQ(rig_.editors.program, c.want) << c.what;
    EXPECT_EQ(rig_.editors.line, c.wantCaretLine) << c.what;
    EXPECT_EQ(rig_.editors.column, 2) << c.what;
    EXPECT_EQ(rig_.signaller.kinds, std::vector<uint8_t>{sOk}) << c.what;
    EXPECT_EQ(rig_.preview.sent.back(), "reset 0") << c.what;
    EXPECT_EQ(LastBank, c.bank) << c.what;
    EXPECT_EQ(LastInstrumentItem, c.item) << c.what;
    EXPECT_TRUE(dialog.Closed()) << c.what;
  }
}

TEST_F(InstrumentDialogsTest, InsertCountsTheProgramLinesTheEditorHides) {
  Load({"a", "b"}, true);  // the port directive comes first and is not shown
  ASSERT_EQ(rig_.editors.program, (std::vector<std::string>{"a", "b"}));
  rig_.editors.line = 1;  // on "b"
  TInstrumentsDialog dialog(window_, timer_);
  dialog.Item = 40;
  ASSERT_TRUE(dialog.Insert());
  const std::string in = "Instrument 40" + kMark;
  EXPECT_EQ(window_.CurrentTrack->ProgramStrings,
            (std::vector<std::string>{"{$$$midiout=2$$$}", "a", "", "Controller 0 In 0" + kMark,
                                      "Controller 32 In 0" + kMark, in, "", "b"}));
  EXPECT_EQ(rig_.preview.sent.back(), "reset 2");  // the track's own port
}

TEST_F(InstrumentDialogsTest, InsertIsOneUndoStepThatBringsTheProgramBack) {
  Load({"a"});
  TInstrumentsDialog dialog(window_, timer_);
  ASSERT_TRUE(dialog.Insert());
  EXPECT_EQ(U(window_.Undo().Label()), "установку инструмента");
  EXPECT_TRUE(window_.Modified);
}

TEST_F(InstrumentDialogsTest, TheBankFieldHoldsZeroTo16383AndStepsStopAtItsEnds) {
  struct TCase {
    const char* start;
    uint16_t key;      // vkNone: `typed` is typed instead
    const char* typed;
    const char* want;
    bool spoken;
  };
  const TCase cases[] = {
      {"5", vkNone, "16384", "16383", false}, {"5", vkNone, "99999", "16383", false},
      {"5", vkNone, "300", "300", false},     {"5", vkNone, "", "0", false},
      {"5", vkEnd, "", "16383", true},        {"5", vkHome, "", "0", true},
      {"5", vkNext, "", "0", true},           {"0", vkNext, "", "0", true},
      {"16380", vkPrior, "", "16383", true},  {"16383", vkUp, "", "16383", true},
      {"0", vkDown, "", "0", true},           {"7", vkPrior, "", "17", true},
  };
  for (const TCase& c : cases) {
    TInstrumentsDialog dialog(window_, timer_);
    dialog.Bank.Text = c.start;
    rig_.speaker.said.clear();
    if (c.key == vkNone) {
      EXPECT_TRUE(dialog.Bank.Edited(c.typed)) << c.typed;
    } else {
      EXPECT_TRUE(dialog.Bank.KeyUp(c.key)) << c.start << " key " << c.key;
    }
    EXPECT_EQ(dialog.Bank.Text, c.want) << c.start << " " << c.key << " " << c.typed;
    EXPECT_EQ(rig_.speaker.said.size(), c.spoken ? 1u : 0u) << c.start << " " << c.key;
    if (c.spoken && !rig_.speaker.said.empty()) {
      EXPECT_EQ(rig_.speaker.said[0], std::string("I ") + c.want);
    }
  }
  TInstrumentsDialog dialog(window_, timer_);
  EXPECT_FALSE(dialog.Bank.Edited("12a"));
  EXPECT_EQ(dialog.Bank.Text, "0");
}

TEST_F(InstrumentDialogsTest, SuccessivePlaysClimbAndWrapTheAuditionKey) {
  TInstrumentsDialog dialog(window_, timer_);
  dialog.Activate();
  dialog.Item = 19;
  std::vector<std::string> want;
  int key = 60;
  for (const int next : {70, 80, 90, 100, 30, 40}) {
    dialog.Play();
    want.push_back("noteoff 0 0 " + std::to_string(key) + " 81");
    want.push_back("program 0 0 19");
    want.push_back("on 0 0 " + std::to_string(next) + " 81");
    key = next;
  }
  EXPECT_EQ(rig_.preview.sent, want);
  EXPECT_EQ(LastInstrumentItem, 19);
}

TEST_F(InstrumentDialogsTest, SelectingAnItemSoundsTheKeyWithThatInstrumentOnTheTrackChannel) {
  window_.CurrentTrack->Channel = 3;
  window_.HeadTreck->MidiOut = 4;  // the track has no port of its own: the song's
  TInstrumentsDialog dialog(window_, timer_);
  dialog.Activate();
  dialog.Select(73);
  EXPECT_EQ(rig_.preview.sent, (std::vector<std::string>{"noteoff 4 2 60 81", "program 4 2 73", "on 4 2 60 81"}));
  EXPECT_EQ(AuditionCountdown, 255);
  EXPECT_TRUE(timer_.armed);
  EXPECT_EQ(timer_.ms, 10);
}

// After the countdown the note is stopped once and the timer rests until the next audition.
TEST_F(InstrumentDialogsTest, TheAuditionNoteStopsOnceAfter255Ticks) {
  TInstrumentsDialog dialog(window_, timer_);
  dialog.Activate();
  dialog.Select(0);
  rig_.preview.sent.clear();
  EXPECT_EQ(RunTimer(dialog, 254), 254);
  EXPECT_TRUE(rig_.preview.sent.empty());
  EXPECT_EQ(RunTimer(dialog), 1);
  EXPECT_EQ(rig_.preview.sent, std::vector<std::string>{"noteoff 0 0 60 81"});
  EXPECT_FALSE(timer_.armed);
  dialog.Tick();  // a tick that was already queued
  EXPECT_EQ(rig_.preview.sent.size(), 1u);
  dialog.Play();
  EXPECT_EQ(RunTimer(dialog), 255);
  EXPECT_EQ(rig_.preview.sent.back(), "noteoff 0 0 70 81");
}

TEST_F(InstrumentDialogsTest, CancelKeepsTheChoicesAndResetsThePortOnce) {
  TInstrumentsDialog dialog(window_, timer_);
  dialog.Activate();
  dialog.Select(12);
  dialog.Bank.Edited("77");
  rig_.preview.sent.clear();
  dialog.Cancel();
  dialog.Cancel();  // the frame closing after the button
  EXPECT_EQ(rig_.preview.sent, std::vector<std::string>{"reset 0"});
  EXPECT_EQ(LastBank, 77);
  EXPECT_EQ(LastInstrumentItem, 12);
  EXPECT_EQ(AuditionKey, 0);
  EXPECT_FALSE(timer_.armed);
  EXPECT_EQ(U(InstrumentListLabel), "Инструменты:");
  TInstrumentsDialog again(window_, timer_);
  EXPECT_EQ(again.Item, 12);
  EXPECT_EQ(again.Bank.Text, "77");
}

TEST_F(InstrumentDialogsTest, TheUsageHintShowsUntilTheListIsFirstLeft) {
  {
    TInstrumentsDialog dialog(window_, timer_);
    EXPECT_EQ(U(dialog.ListLabel), "Инструменты (Space - воспроизвести, Enter - вставить в обработчик):");
    dialog.ListLeft();
    EXPECT_EQ(U(dialog.ListLabel), "Инструменты:");
  }
  TInstrumentsDialog dialog(window_, timer_);
  EXPECT_EQ(U(dialog.ListLabel), "Инструменты:");
  TDrumsDialog drums(window_);
  EXPECT_EQ(U(drums.ListLabel), "Барабан (чтобы воспроизвести нажмите Space):");
  drums.ListLeft();
  TDrumsDialog again(window_);
  EXPECT_EQ(U(again.ListLabel), "Барабан:");
}

TEST_F(InstrumentDialogsTest, OnTheControlTrackNothingIsHeard) {
  Show(window_.HeadTreck);
  TInstrumentsDialog dialog(window_, timer_);
  dialog.Activate();
  dialog.Select(3);
  dialog.Play();
  RunTimer(dialog);
  dialog.Cancel();
  EXPECT_EQ(rig_.preview.sent, std::vector<std::string>{"reset 0"});
}

// The note-off of a drum goes where its note-on went: a played drum on the track's channel,
// a selected one on the drum channel.
TEST_F(InstrumentDialogsTest, DrumNotesStopOnTheChannelTheySounded) {
  TDrumsDialog dialog(window_);  // on the melody track, channel 1
  dialog.Kit.Edited("25");
  dialog.Select(8);
  dialog.Play();
  dialog.Select(9);
  dialog.Select(10);
  EXPECT_EQ(rig_.preview.sent, (std::vector<std::string>{
                                   "program 0 9 25", "on 0 9 35 81",                         // select
                                   "noteoff 0 9 35 81", "program 0 9 25", "on 0 0 35 81",    // play
                                   "noteoff 0 0 35 81", "program 0 9 25", "on 0 9 36 81",    // select
                                   "noteoff 0 9 36 81", "program 0 9 25", "on 0 9 37 81",
                               }));
  EXPECT_EQ(rig_.speaker.said,
            (std::vector<std::string>{"I Си Контр-Октава", "I До Большая-Октава", "I До-Диез Большая-Октава"}));
  EXPECT_EQ(LastDrumElement, 10);
  EXPECT_EQ(DrumAuditionKey, 37);
}

TEST_F(InstrumentDialogsTest, TheDrumKitFieldHolds0To127AndEveryChangeIsKept) {
  Drums();
  struct TCase {
    const char* start;
    uint16_t key;
    const char* typed;
    const char* want;
  };
  const TCase cases[] = {
      {"5", vkNone, "200", "127"}, {"5", vkNone, "99999", "127"}, {"5", vkNone, "", "0"},
      {"5", vkNext, "", "0"},      {"120", vkPrior, "", "127"},   {"5", vkEnd, "", "127"},
      {"5", vkHome, "", "0"},      {"5", vkUp, "", "6"},          {"0", vkDown, "", "0"},
  };
  for (const TCase& c : cases) {
    TDrumsDialog dialog(window_);
    dialog.Kit.Text = c.start;
    rig_.speaker.said.clear();
    if (c.key == vkNone) {
      EXPECT_TRUE(dialog.Kit.Edited(c.typed));
    } else {
      EXPECT_TRUE(dialog.Kit.KeyUp(c.key));
      EXPECT_EQ(rig_.speaker.said, std::vector<std::string>{std::string("I ") + c.want}) << c.start << " " << c.key;
    }
    EXPECT_EQ(dialog.Kit.Text, c.want) << c.start << " " << c.key << " " << c.typed;
    EXPECT_EQ(std::to_string(LastDrumKit), c.want);
  }
}

TEST_F(InstrumentDialogsTest, TheDrumTableOpensOnTheLastElementAndClosingResetsThePortOnce) {
  Drums();
  LastDrumKit = 16;
  LastDrumElement = 33;
  TDrumsDialog dialog(window_);
  EXPECT_EQ(dialog.Item, 33);
  EXPECT_EQ(U(dialog.Note), "До Первая-Октава");
  EXPECT_EQ(dialog.Kit.Text, "16");
  dialog.Play();
  dialog.Close();
  dialog.Close();
  EXPECT_EQ(rig_.preview.sent, (std::vector<std::string>{"program 0 9 16", "on 0 9 60 81", "reset 0"}));
  EXPECT_EQ(U(DrumListLabel), "Барабан:");
}

TEST_F(InstrumentDialogsTest, TheCommandsOpenTheirDialogOnlyOnTheirKindOfTrack) {
  struct TCase {
    const char* what;
    int track;  // 0 control, 1 melody, 2 drums
    bool instruments;
    bool shown;
  };
  const TCase cases[] = {
      {"instruments on a melody", 1, true, true},   {"instruments on the control track", 0, true, false},
      {"instruments on the drums", 2, true, false}, {"drums on the drums", 2, false, true},
      {"drums on a melody", 1, false, false},
  };
  for (const TCase& c : cases) {
    Show(c.track == 0 ? window_.HeadTreck : c.track == 1 ? window_.HeadTreck->Next : window_.HeadTreck->Next->Next);
    rig_.windowDialogs.shown.clear();
    rig_.editors.program_focused = false;
    c.instruments ? window_.Instruments() : window_.Drums();
    const TWindowDialog which = c.instruments ? TWindowDialog::Instruments : TWindowDialog::Drums;
    EXPECT_EQ(rig_.windowDialogs.shown, c.shown ? std::vector<TWindowDialog>{which} : std::vector<TWindowDialog>{})
        << c.what;
    EXPECT_EQ(rig_.signaller.kinds, c.shown ? std::vector<uint8_t>{} : std::vector<uint8_t>{sError}) << c.what;
    EXPECT_EQ(rig_.editors.program_focused, c.shown && c.instruments) << c.what;
  }
}

TEST_F(InstrumentDialogsTest, TheInstrumentsCommandShowsTheInsertedBlockAndSpeaksTheTrack) {
  Load({"a"});
  rig_.windowDialogs.answers[TWindowDialog::Instruments] = [this] {
    TInstrumentsDialog dialog(window_, timer_);
    dialog.Item = 24;
    dialog.Insert();
  };
  window_.Instruments();
  EXPECT_EQ(rig_.editors.program,
            (std::vector<std::string>{"", "Controller 0 In 0" + kMark, "Controller 32 In 0" + kMark,
                                      "Instrument 24" + kMark, "", "a"}));
  EXPECT_EQ(rig_.editors.line, 3);
  EXPECT_TRUE(rig_.editors.program_focused);
  // The track, then the field that has the focus, never the Braille line.
  EXPECT_EQ(rig_.speaker.said, (std::vector<std::string>{"I 1- Трек: Мелодия", "S Обработчик для текущего трека:"}));
}

}  // namespace
