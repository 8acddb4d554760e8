// The block wizard and the translator picker, opened by their commands on a compiled song
// and answered through scripted dialogs; the block tag finder on its own.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/errors.h"
#include "feedback/signals.h"
#include "settings/lang_texts.h"
#include "songwindow/dialogs/block_wizard.h"
#include "songwindow/dialogs/translator_picker.h"
#include "songwindow/parts/block_tag.h"
#include "tests/songwindow/song_window_fakes.h"

namespace {

using namespace songwindowtest;

struct TTagCase {
  const char* Line;
  int32_t Caret;
  int32_t First;
  int32_t Last;
  const char* Text;
};

TEST(BlockTagTest, FindsTheTagAtTheCaretOrThePlaceBeforeTheNote) {
  const TTagCase cases[] = {
      {")arp:3.!PSNQ", 2, 1, 8, "arp:3"},
      {")arp:3.!PSNQ", 7, 1, 8, "arp:3"},   // just after the "."
      {"PS)arp.NQ", 4, 3, 8, "arp"},
      {")a.)b.P", 4, 4, 7, "b"},           // two calls joined
      {")a()b", 1, 1, 3, "a"},              // "()" ends the voice and the tag
      {")x:a<b.P", 1, 1, 8, "x:a<b"},       // inside a tag only "." ends it
      {"!PSNQ", 0, 1, 1, ""},               // before the note's octave sign
      {"PSNQ", 2, 3, 3, ""},
      {"Vd4", 3, 4, 4, ""},                 // a voice sign alone: at the end
      {"<)x.>P", 2, 0, 0, ""},              // inside a label
      {"P/Q", 1, 0, 0, ""},                 // a sign that takes no tag
  };
  for (const TTagCase& c : cases) {
    const TBlockTagPlace place = FindBlockTag(c.Line, c.Caret);
    EXPECT_EQ(place.First, c.First) << c.Line << " " << c.Caret;
    EXPECT_EQ(place.Last, c.Last) << c.Line << " " << c.Caret;
    EXPECT_EQ(place.Text, c.Text) << c.Line << " " << c.Caret;
  }
}

TEST(BlockTagTest, ParametersAreWrittenWithoutBlanksAndRefusedWhenTheyEndATag) {
  const std::pair<const char*, const char*> compact[] = {
      {"sin(1)", "sin(1)"}, {"Sin (1)", "sin(1)"}, {" x + 1 ", "x+1"}, {"(a) mod (2)", "(a)mod(2)"}, {"-3", "-3"}};
  for (const auto& [text, want] : compact) {
    EXPECT_EQ(CompactParameter(text), want) << text;
  }
  const std::pair<const char*, const char*> breaking[] = {
      {"1.5", "."}, {"a;b", ";"}, {"rnd()", "()"}, {"sin 1", " "}, {"(a)mod(2)", ""}, {"a<b", ""}};
  for (const auto& [text, want] : breaking) {
    EXPECT_EQ(TagBreakingText(text), want) << text;
  }
}

// A block library with a block of two parameters, one without parameters and a function.
const char* const kLibrary =
    "block arp\r\n%0 Arpeggio\r\n%1 Speed \"1\"\r\n%2 Step \"2\"\r\nbreak\r\nendblock\r\n"
    "block solo\r\n%0 Only a description\r\nbreak\r\nendblock\r\n"
    "function twice\r\nbreak\r\nendfunction\r\n";

class HandlerDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UnloadLanguage();
    GErrors.Reset();
    const TTempDir& dir = rig_.home.Dir();
    WriteBytes(dir.File("Resources/qem.blk"), kLibrary);
    std::filesystem::create_directories(dir.File("Translator"));
    WriteBytes(dir.File("Translator/ABC.cnv"), "dd=P\r\n");
    WriteBytes(dir.File("Translator/Xyz.cnv"), "q=P\r\n");
    std::filesystem::create_directories(dir.File("Translator/bad.cnv"));  // listed, cannot be read
  }
  void TearDown() override {
    GErrors.Reset();
    BlockWizardName.clear();
    BlockWizardParams.clear();
  }
  // The song with the melody's music and program lines; the melody current, caret at `caret`.
  void Load(const std::vector<std::string>& music, const std::vector<std::string>& program = {},
            const std::vector<std::string>& headProgram = {}) {
    std::vector<std::string> song = {"1 0 0 1 0 0 0", "Общее", "Vd4m"};
    song.insert(song.end(), headProgram.begin(), headProgram.end());
    song[0] = "1 " + std::to_string(headProgram.size()) + " 0 1 0 0 0";
    song.push_back(std::to_string(music.size()) + " " + std::to_string(program.size()) + " 1 1 0 0 0");
    song.push_back("Мелодия");
    song.insert(song.end(), music.begin(), music.end());
    song.insert(song.end(), program.begin(), program.end());
    LoadSongText(window_, song);
    window_.CurrentTrack = window_.HeadTreck->Next;
    window_.ShowTreck(smSilent);
    rig_.speaker.said.clear();
    rig_.signaller.kinds.clear();
  }
  void F10At(uint16_t caret, std::function<void(TBlockWizardDialog&)> user) {
    rig_.editors.caret = rig_.editors.anchor = caret;
    rig_.windowDialogs.answers[TWindowDialog::BlockWizard] = [this, user] {
      TBlockWizardDialog dialog(window_);
      user(dialog);
    };
    window_.BlockObrabotchik();
  }
  std::string Line() const { return window_.CurrentTrack->MusicStrings.at(0); }

  TWindowRig rig_;
  TSongWindow window_{rig_.Ports(), 1, "qem"};
};

TEST_F(HandlerDialogsTest, WizardOpensOnTheTagAndWritesTheChangedParameter) {
  Load({")arp:3.!PSNQ"});
  const int32_t undoBefore = window_.Undo().State().Count;
  F10At(2, [](TBlockWizardDialog& d) {
    // Functions are not offered; the tag's block and values are shown.
    EXPECT_EQ(d.Blocks, (std::vector<std::string>{W("[нет]"), "arp", "solo"}));
    EXPECT_EQ(d.Selected, 1);
    EXPECT_EQ(d.Description, "Arpeggio");
    ASSERT_EQ(d.Tabs.size(), 2u);
    EXPECT_EQ(d.Parameter, "3");
    d.SelectTab(1);
    EXPECT_EQ(d.ParameterCaption, "Step ");
    EXPECT_EQ(d.Parameter, "2");
    d.SetParameter("5");
    EXPECT_TRUE(d.Ok());
  });
  EXPECT_EQ(Line(), ")arp:3;5.!PSNQ");
  EXPECT_EQ(window_.Undo().State().Count, undoBefore + 1);
  EXPECT_EQ(U(window_.Undo().Label()), "Блок-обработчик");
  EXPECT_EQ(rig_.windowDialogs.shown, std::vector<TWindowDialog>{TWindowDialog::BlockWizard});
}

struct TWizardCase {
  const char* Name;
  const char* Line;
  uint16_t Caret;
  int Block;                // entry chosen (-1: keep)
  std::vector<const char*> Values;  // typed into the tabs in turn
  const char* Result;
};

TEST_F(HandlerDialogsTest, WizardAnswersTable) {
  const TWizardCase cases[] = {
      {"defaults at the end are omitted", ")arp:3.!PSNQ", 1, -1, {"1", "2"}, ")arp.!PSNQ"},
      {"a default before a changed value stays", ")arp.!PSNQ", 1, -1, {"1", "7"}, ")arp:1;7.!PSNQ"},
      {"no block removes the tag", ")arp:3.!PSNQ", 1, 0, {}, "!PSNQ"},
      {"a new tag before the note", "!PSNQ", 0, 1, {"4"}, ")arp:4.!PSNQ"},
      {"a block without parameters drops the tag's values", ")solo:1;2.!PSNQ", 1, -1, {}, ")solo.!PSNQ"},
      {"a function call written without blanks", ")arp.!PSNQ", 1, -1, {"Sin (1)"}, ")arp:sin(1).!PSNQ"},
  };
  for (const TWizardCase& c : cases) {
    Load({c.Line});
    F10At(c.Caret, [&](TBlockWizardDialog& d) {
      if (c.Block >= 0) {
        d.SelectBlock(c.Block);
      }
      for (size_t i = 0; i < c.Values.size(); ++i) {
        d.SelectTab(static_cast<int32_t>(i));
        d.SetParameter(c.Values[i]);
      }
      EXPECT_TRUE(d.Ok()) << c.Name;
    });
    EXPECT_EQ(Line(), c.Result) << c.Name;
  }
}

// The tag used to be normalised whole and its parameters went unchecked: a parameter that
// ends the tag or is no expression now keeps the wizard open on its tab, said or shown.
TEST_F(HandlerDialogsTest, WizardRefusesParametersThatBreakTheTagOrDoNotParse) {
  const std::pair<const char*, const char*> bad[] = {
      {"1.5", "I Параметр 2: Знак «.» нельзя писать"}, {"a;b", "I Параметр 2: Знак «;»"},
      {"rnd()", "I Параметр 2: Знак «()»"}, {"sin 1", "I Параметр 2: Пробел в параметре блока"}};
  for (const auto& [value, said] : bad) {
    Load({")arp.!PSNQ"});
    F10At(1, [&](TBlockWizardDialog& d) {
      d.SelectTab(1);
      d.SetParameter(value);
      rig_.speaker.said.clear();
      EXPECT_FALSE(d.Ok()) << value;
      EXPECT_EQ(d.Tab, 1);
      ASSERT_FALSE(rig_.speaker.said.empty());
      EXPECT_EQ(rig_.speaker.said[0].rfind(said, 0), 0u) << rig_.speaker.said[0];
      d.Cancel();
    });
    EXPECT_EQ(Line(), ")arp.!PSNQ") << value;
  }
  Load({")arp.!PSNQ"});
  F10At(1, [&](TBlockWizardDialog& d) {
    d.SetParameter("foo+1");
    EXPECT_FALSE(d.Ok());
    ASSERT_EQ(rig_.questions.asked.size(), 1u);
    EXPECT_NE(rig_.questions.asked[0].find("Параметр 1:"), std::string::npos) << rig_.questions.asked[0];
    EXPECT_NE(rig_.questions.asked[0].find("foo"), std::string::npos) << rig_.questions.asked[0];
    d.Cancel();
  });
  EXPECT_EQ(Line(), ")arp.!PSNQ");
}

// F1 opens the module editor on the description of the chosen block's module; the window's
// module place is given back afterwards.
TEST_F(HandlerDialogsTest, WizardHelpShowsTheDescriptionOfTheBlocksModule) {
  const TTempDir& dir = rig_.home.Dir();
  std::filesystem::create_directories(dir.File("Modules"));
  WriteBytes(dir.File("Modules/swing.blk"), "block swing\r\n%0 Swing\r\nbreak\r\nendblock\r\n");
  WriteBytes(dir.File("Modules/swing.Txt"), "Swing eighths\r\n");
  Load({")swing.!PSNQ"}, {}, {"module swing"});
  window_.EditModuleFile = "/elsewhere/old.blk";
  window_.EditModuleLine = 7;
  std::string opened;
  rig_.windowDialogs.answers[TWindowDialog::ModuleEditor] = [&] {
    opened = std::filesystem::path(window_.EditModuleFile).filename().string() + ":" +
             std::to_string(window_.EditModuleLine);
  };
  F10At(2, [](TBlockWizardDialog& d) {
    d.Help();
    d.Cancel();
  });
  EXPECT_EQ(opened, "swing.Txt:1");
  EXPECT_EQ(window_.EditModuleFile, "/elsewhere/old.blk");
  EXPECT_EQ(window_.EditModuleLine, 7);
}

TEST_F(HandlerDialogsTest, WizardCancelledOrRefusedPlaceChangesNothing) {
  Load({")arp:3.!PSNQ"});
  const int32_t undoBefore = window_.Undo().State().Count;
  F10At(2, [](TBlockWizardDialog& d) { d.Cancel(); });
  EXPECT_EQ(Line(), ")arp:3.!PSNQ");
  EXPECT_EQ(window_.Undo().State().Count, undoBefore);
  // A wizard closed without an answer (the dialog's frame) changes nothing either.
  rig_.editors.caret = 2;
  rig_.windowDialogs.answers.clear();
  window_.BlockObrabotchik();
  EXPECT_EQ(Line(), ")arp:3.!PSNQ");
  // A caret inside a label: the error signal, no wizard.
  Load({"<lab>!PSNQ"});
  rig_.windowDialogs.shown.clear();
  F10At(2, [](TBlockWizardDialog&) { ADD_FAILURE() << "no wizard expected"; });
  EXPECT_TRUE(rig_.windowDialogs.shown.empty());
  EXPECT_NE(std::find(rig_.signaller.kinds.begin(), rig_.signaller.kinds.end(), sError + 100), rig_.signaller.kinds.end());
}

// A compile that fails on a handler shows its box at once, then the handler editor has the
// focus with its caret on the error's line (the midiout directive is hidden).
TEST_F(HandlerDialogsTest, AHandlerErrorTakesTheFocusToItsLine) {
  for (void (TSongWindow::*command)() :
       {&TSongWindow::BlockObrabotchik, &TSongWindow::Translatoring, &TSongWindow::ConvertHarmonyInNotes}) {
    Load({"!PSNQ"}, {"{$$$midiout=1$$$}", "tempo 90", "module nosuch"});
    rig_.editors.notes_focused = true;
    rig_.questions.asked.clear();
    (window_.*command)();
    ASSERT_EQ(rig_.questions.asked.size(), 1u);
    EXPECT_NE(rig_.questions.asked[0].find("Модуль не найден!"), std::string::npos);
    EXPECT_EQ(GErrors.Code(), 0);
    EXPECT_TRUE(rig_.editors.ProgramHasFocus());
    EXPECT_EQ(rig_.editors.line, 1);
  }
}

TEST_F(HandlerDialogsTest, WizardWorksInTheTrackTranslatorsShorthand) {
  Load({")arp.!ddSNQ"}, {"Translator abc"});
  F10At(1, [](TBlockWizardDialog& d) {
    d.SetParameter("9");
    EXPECT_TRUE(d.Ok());
  });
  EXPECT_EQ(Line(), ")arp:9.!ddSNQ");
}

TEST_F(HandlerDialogsTest, PickerListsTranslatorsAndSelectsTheOneInEffect) {
  Load({"!ddSNQ"}, {"Translator ABC"});
  TTranslatorPickerDialog picker(window_);
  EXPECT_EQ(picker.Translators, (std::vector<std::string>{W("[нет]"), "abc", "bad", "xyz"}));
  EXPECT_EQ(picker.Selected, 1);
  EXPECT_EQ(U(picker.TrackName), "Мелодия");
}

struct TPickerCase {
  const char* Name;
  std::vector<std::string> HeadProgram;
  std::vector<std::string> Program;
  std::string Music;
  bool FromHead;
  int Choice;
  std::string Music2;
  std::vector<std::string> Program2;
  std::vector<std::string> HeadProgram2;
};

TEST_F(HandlerDialogsTest, PickerConvertsTheMusicAndRewritesTheDirectives) {
  const TPickerCase cases[] = {
      {"own translator to another", {}, {"Translator abc", "tempo 90"}, "!ddSNQ", false, 3, "!qSNQ", {"Translator xyz", "tempo 90"}, {}},
      {"own translator removed", {}, {"translator abc"}, "!ddSNQ", false, 0, "!PSNQ", {}, {}},
      {"inherited translator switched off", {"Translator abc"}, {}, "!ddSNQ", false, 0, "!PSNQ", {"TranslatorOff"}, {"Translator abc"}},
      {"back to the control track's translator", {"Translator xyz"}, {"Translator abc"}, "!ddSNQ", false, 3, "!qSNQ", {}, {"Translator xyz"}},
      {"the control track's translator converts its followers", {}, {}, "!PSNQ", true, 1, "!ddSNQ", {}, {"Translator abc"}},
  };
  for (const TPickerCase& c : cases) {
    Load({c.Music}, c.Program, c.HeadProgram);
    if (c.FromHead) {
      window_.CurrentTrack = window_.HeadTreck;
      window_.ShowTreck(smSilent);
    }
    rig_.windowDialogs.answers[TWindowDialog::TranslatorPicker] = [&] {
      TTranslatorPickerDialog picker(window_);
      picker.Selected = c.Choice;
      EXPECT_TRUE(picker.Ok()) << c.Name;
    };
    window_.Translatoring();
    EXPECT_EQ(GErrors.Code(), 0) << c.Name << " " << GErrors.Get().Text;
    const PTreck melody = window_.HeadTreck->Next;
    EXPECT_EQ(melody->MusicStrings.at(0), c.Music2) << c.Name;
    EXPECT_EQ(melody->ProgramStrings, c.Program2) << c.Name;
    EXPECT_EQ(window_.HeadTreck->ProgramStrings, c.HeadProgram2) << c.Name;
    EXPECT_EQ(U(window_.Undo().Label()), "Преобразование трека") << c.Name;
  }
}

// The old rules used to be applied before the new ones were loaded: a translator that
// cannot be read left the track converted back and without its directive.
TEST_F(HandlerDialogsTest, PickerChangesNothingWhenTheNewTranslatorCannotBeRead) {
  Load({"!ddSNQ"}, {"Translator abc"});
  const int32_t undoBefore = window_.Undo().State().Count;
  rig_.windowDialogs.answers[TWindowDialog::TranslatorPicker] = [&] {
    TTranslatorPickerDialog picker(window_);
    picker.Selected = 2;  // "bad"
    EXPECT_FALSE(picker.Ok());
    ASSERT_FALSE(rig_.speaker.said.empty());
    EXPECT_EQ(rig_.speaker.said.back(), "I Не удаётся прочитать транслятор bad: трек не изменён");
    picker.Cancel();
  };
  window_.Translatoring();
  EXPECT_EQ(window_.CurrentTrack->MusicStrings.at(0), "!ddSNQ");
  EXPECT_EQ(window_.CurrentTrack->ProgramStrings, std::vector<std::string>{"Translator abc"});
  EXPECT_EQ(window_.Undo().State().Count, undoBefore);
}

TEST_F(HandlerDialogsTest, PickerChoosingTheTranslatorInEffectChangesNothing) {
  Load({"!ddSNQ"}, {"Translator   ABC {mine}"});
  rig_.windowDialogs.answers[TWindowDialog::TranslatorPicker] = [&] {
    TTranslatorPickerDialog picker(window_);
    rig_.signaller.kinds.clear();
    EXPECT_TRUE(picker.Ok());
    EXPECT_EQ(rig_.signaller.kinds, std::vector<uint8_t>{sOk});
  };
  window_.Translatoring();
  EXPECT_EQ(window_.CurrentTrack->MusicStrings.at(0), "!ddSNQ");
  EXPECT_EQ(window_.CurrentTrack->ProgramStrings, std::vector<std::string>{"Translator   ABC {mine}"});
}

}  // namespace
