// The module commands, the module editor and the module manager, driven through plain
// calls: the files in a Modules folder of the test's own program folder, the dialogs
// answered by script.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "feedback/message_box.h"
#include "feedback/signals.h"
#include "platform/text_lines.h"
#include "settings/lang_texts.h"
#include "songwindow/dialogs/module_editor.h"
#include "songwindow/dialogs/module_manager.h"
#include "songwindow/parts/module_files.h"
#include "tests/songwindow/song_window_fakes.h"

namespace {

using namespace songwindowtest;
namespace fs = std::filesystem;

using TLines = std::vector<std::string>;

// The control track attaches swing to all tracks; the piano attaches dynamics by an
// indented line with a capital and a comment; the bass names swing and humanize itself.
const TLines kSong = {
    "1 1 0 1 1 1 1", "Общее", "Vd4m",  "module swing",                            //
    "1 3 1 1 1 1 1", "Piano", "a",     "  Module dynamics {loud}", "let x=1", "module lost",  //
    "1 2 2 1 1 1 1", "Bass",  "b",     "module swing", "module humanize",
};

class ModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UnloadLanguage();
    FreeListLabel.clear();
    FreeListPos = CommonListPos = TrackListPos = 0;
    ModuleNameBuffer.clear();
    modules_ = fs::path(ProgramDir) / "Modules";
    fs::create_directories(modules_);
    Write("Swing.blk", {"block swing", "endblock"});
    Write("dynamics.blk", {"block crescendo", "endblock", "  Block  Fade", "endblock"});
    Write("dynamics.Txt", {"Dynamics"});
    Write("humanize.BLK", {"function human", "endfunction"});
    LoadSongText(window_, kSong);
    window_.CurrentTrack = Track(1);
    window_.ShowTreck(smSilent);
    rig_.speaker.said.clear();
    rig_.signaller.kinds.clear();
  }
  void TearDown() override {
    FreeListLabel.clear();
    FreeListPos = CommonListPos = TrackListPos = 0;
  }
  void Write(const std::string& name, const TLines& lines) { ASSERT_TRUE(WriteTextLines(modules_ / name, lines)); }
  PTreck Track(int number) const {
    PTreck track = window_.HeadTreck;
    for (int i = 0; i < number; ++i) {
      track = track->Next;
    }
    return track;
  }
  static std::vector<std::string> Names(const std::vector<std::string>& cp1251) {
    std::vector<std::string> names;
    for (const std::string& name : cp1251) {
      names.push_back(U(name));
    }
    return names;
  }
  TLines Program(int number) const {
    TLines lines;
    for (const std::string& line : Track(number)->ProgramStrings) {
      lines.push_back(U(line));
    }
    return lines;
  }
  std::vector<std::string> Sorted(std::vector<std::string> names) const {
    std::sort(names.begin(), names.end());
    return names;
  }

  TWindowRig rig_;
  TSongWindow window_{rig_.Ports(), 1, "qem"};
  fs::path modules_;
};

// ---- The module manager -------------------------------------------------------------

TEST_F(ModuleTest, ManagerListsModulesByTheirProgramLines) {
  TModuleManagerDialog manager(window_);
  EXPECT_EQ(Names(manager.Lists[mlCommon]), TLines{"swing"});
  EXPECT_EQ(Names(manager.Lists[mlTrack]), TLines{"dynamics"});
  EXPECT_EQ(Names(manager.Lists[mlFree]), TLines{"humanize"});
  EXPECT_TRUE(manager.TrackListEnabled);
  EXPECT_EQ(U(manager.Labels[mlFree]), "Свободные модули (используйте контекстное меню):");
  EXPECT_EQ(U(manager.Labels[mlTrack]), "Подключенные модули к треку Piano:");
  EXPECT_EQ(U(manager.Action("InTreck").Caption), "Подключить только к треку Piano");
}

TEST_F(ModuleTest, ManagerOffersActionsByList) {
  struct TCase {
    TModuleList list;
    std::vector<std::string> offered;
    const char* inFree;
  };
  const std::vector<TCase> cases = {
      {mlFree, {"InCommon", "InTreck", "InFree", "HelpModule", "Editing", "NewName", "NewModule", "CloseWindow"},
       "Удалить модуль"},
      {mlCommon, {"InTreck", "InFree", "HelpModule", "Editing", "CloseWindow"}, "Отключить"},
      {mlTrack, {"InCommon", "InFree", "HelpModule", "Editing", "CloseWindow"}, "Отключить"},
  };
  TModuleManagerDialog manager(window_);
  for (const TCase& c : cases) {
    manager.Enter(c.list);
    std::vector<std::string> offered;
    for (const TModuleAction& action : manager.Actions) {
      if (action.Visible) {
        offered.push_back(action.Name);
      }
    }
    EXPECT_EQ(Sorted(offered), Sorted(c.offered)) << c.list;
    EXPECT_EQ(U(manager.Action("InFree").Caption), c.inFree) << c.list;
    EXPECT_EQ(manager.Selected[c.list], 0) << "the first entry is chosen the first time";
  }
}

TEST_F(ModuleTest, ForTheControlTrackTheTrackListIsDisabledAndNeverOffered) {
  window_.CurrentTrack = Track(0);
  TModuleManagerDialog manager(window_);
  EXPECT_FALSE(manager.TrackListEnabled);
  EXPECT_TRUE(manager.Lists[mlTrack].empty());
  for (TModuleList list : {mlFree, mlCommon}) {
    manager.Enter(list);
    EXPECT_FALSE(manager.Offered("InTreck")) << list;
    manager.InTreck();
  }
  EXPECT_TRUE(manager.Lists[mlTrack].empty());
}

TEST_F(ModuleTest, MovingToTheTrackWritesModuleLinesOnceAtTheTopOnClosing) {
  {
    TModuleManagerDialog manager(window_);
    manager.Enter(mlFree);
    manager.InTreck();
    EXPECT_EQ(Names(manager.Lists[mlTrack]), (TLines{"dynamics", "humanize"}));
    EXPECT_EQ(manager.Focus, mlTrack);
    EXPECT_EQ(manager.Selected[mlTrack], 1);  // the moved module
    EXPECT_EQ(rig_.signaller.kinds, std::vector<uint8_t>{sOk});
    EXPECT_EQ(Program(1)[0], "  Module dynamics {loud}") << "nothing written before closing";
    manager.Close();
  }
  // The last list entry first; the indented line replaced, a missing module's line kept.
  const TLines expected = {"Module humanize", "Module dynamics", "let x=1", "module lost"};
  EXPECT_EQ(Program(1), expected);
  EXPECT_TRUE(window_.Modified);
  // Opening and closing again changes nothing and takes no undo step.
  const int32_t steps = window_.Undo().State().Count;
  for (int i = 0; i < 2; ++i) {
    TModuleManagerDialog manager(window_);
    manager.Close();
  }
  EXPECT_EQ(Program(1), expected);
  EXPECT_EQ(window_.Undo().State().Count, steps);
}

// Closing without a change leaves every program as written (lower case, indented, with a
// comment): the song is not changed and asks nothing when it is closed.
TEST_F(ModuleTest, ClosingWithoutAChangeLeavesTheProgramsAsWritten) {
  Track(2)->ProgramStrings = {"module humanize"};  // no line that all tracks' swing takes off
  const int32_t steps = window_.Undo().State().Count;
  for (PTreck current : {Track(1), Track(0)}) {
    window_.CurrentTrack = current;
    TModuleManagerDialog manager(window_);
    manager.Enter(mlFree);
    manager.Close();
  }
  EXPECT_EQ(Program(0), TLines{"module swing"});
  EXPECT_EQ(Program(1), (TLines{"  Module dynamics {loud}", "let x=1", "module lost"}));
  EXPECT_EQ(Program(2), TLines{"module humanize"});
  EXPECT_FALSE(window_.Modified);
  EXPECT_EQ(window_.Undo().State().Count, steps);
}

TEST_F(ModuleTest, AModuleAttachedToAllTracksLeavesTheOtherTracksWithOneBoxPerLine) {
  TModuleManagerDialog manager(window_);
  manager.Enter(mlFree);
  manager.InCommon();  // humanize, which the bass names too
  EXPECT_EQ(Names(manager.Lists[mlCommon]), (TLines{"swing", "humanize"}));
  manager.Close();
  EXPECT_EQ(Program(0), (TLines{"Module humanize", "Module swing"}));
  EXPECT_EQ(Program(2), TLines{});
  ASSERT_EQ(rig_.questions.asked.size(), 2u);
  EXPECT_EQ(rig_.questions.asked[0],
            "1 Модуль swing, подключенный для всех треков, продублирован также и на треке Bass, "
            "следовательно, он будет удалён с данного трека!");
  EXPECT_NE(rig_.questions.asked[1].find("Модуль humanize"), std::string::npos);
}

TEST_F(ModuleTest, AModuleOfBothTheControlAndTheCurrentTrackIsListedForAllAndLeavesTheTrack) {
  Track(1)->ProgramStrings.push_back("module SWING");
  TModuleManagerDialog manager(window_);
  EXPECT_EQ(Names(manager.Lists[mlCommon]), TLines{"swing"});
  EXPECT_EQ(Names(manager.Lists[mlTrack]), TLines{"dynamics"});
  manager.Close();
  EXPECT_EQ(Program(1), (TLines{"Module dynamics", "let x=1", "module lost"}));
}

TEST_F(ModuleTest, DeletingAFreeModuleAsksAboutItsDescriptionAndCancelKeepsBoth) {
  window_.CurrentTrack = Track(0);
  for (int answer : {mbCancel, mbOk}) {
    rig_.questions.asked.clear();
    rig_.questions.answers = {answer};
    TModuleManagerDialog manager(window_);
    manager.Enter(mlFree);  // dynamics, humanize
    ASSERT_EQ(Names(manager.Lists[mlFree]), (TLines{"dynamics", "humanize"}));
    manager.Select(mlFree, 0);
    manager.InFree();
    ASSERT_EQ(rig_.questions.asked.size(), 1u);
    EXPECT_EQ(rig_.questions.asked[0], "0 Вы действительно хотите удалить модуль dynamics вместе с его описанием?");
    EXPECT_EQ(fs::exists(modules_ / "dynamics.blk"), answer == mbCancel);
    EXPECT_EQ(fs::exists(modules_ / "dynamics.Txt"), answer == mbCancel);
    if (answer == mbOk) {
      EXPECT_EQ(Names(manager.Lists[mlFree]), TLines{"humanize"});
      EXPECT_EQ(manager.Selected[mlFree], 0);
    }
  }
}

// Each refusal says why, interrupting; Esc (an empty name) gives the signal alone.
TEST_F(ModuleTest, RenamingRefusesNamesThatAreNoPlainModuleNames) {
  window_.CurrentTrack = Track(0);
  const std::string blanks = "I В имени модуля не может быть пробелов и знаков / и \\";
  const std::string signs = "I Имя модуля: только буквы, цифры, точки, запятые, подчёркивания и минус в начале";
  const std::string dots = "I Имя модуля не может состоять из одних точек";
  const std::vector<std::pair<const char*, TLines>> cases = {
      {"", {}},        {"two words", {blanks}}, {"a/b", {blanks}}, {"x\\y", {blanks}}, {"$$", {signs}},
      {"a+b", {signs}}, {".", {dots}},          {"..", {dots}},    {"...", {dots}},
  };
  for (const auto& [typed, spoken] : cases) {
    TModuleManagerDialog manager(window_);
    manager.Enter(mlFree);
    manager.Select(mlFree, 1);  // humanize
    rig_.signaller.kinds.clear();
    rig_.speaker.said.clear();
    rig_.windowDialogs.answers[TWindowDialog::ModuleName] = [typed] { ModuleNameBuffer = typed; };
    manager.NewName();
    EXPECT_EQ(rig_.signaller.kinds, std::vector<uint8_t>{sError}) << typed;
    EXPECT_EQ(rig_.speaker.said, spoken) << typed;
    EXPECT_EQ(Names(manager.Lists[mlFree]), (TLines{"dynamics", "humanize"})) << typed;
  }
  EXPECT_TRUE(fs::exists(modules_ / "humanize.BLK"));
}

TEST_F(ModuleTest, RenamingKeepsTheTypedCapitalsAndTakesTheDescriptionAlong) {
  window_.CurrentTrack = Track(0);
  TModuleManagerDialog manager(window_);
  manager.Enter(mlFree);
  rig_.windowDialogs.answers[TWindowDialog::ModuleName] = [] {
    EXPECT_EQ(U(TModuleNameDialog().Name), "dynamics");  // the dialog shows the old name
    ModuleNameBuffer = "Loudness";
  };
  manager.NewName();
  EXPECT_EQ(Names(manager.Lists[mlFree]), (TLines{"Loudness", "humanize"}));
  EXPECT_TRUE(fs::exists(modules_ / "Loudness.Blk"));
  EXPECT_TRUE(fs::exists(modules_ / "Loudness.Txt"));
  EXPECT_FALSE(fs::exists(modules_ / "dynamics.blk"));
  // Attached under its new name, it is found again when the manager opens.
  manager.InCommon();
  manager.Close();
  EXPECT_EQ(Program(0)[0], "Module Loudness");
  TModuleManagerDialog again(window_);
  EXPECT_EQ(Names(again.Lists[mlCommon]), (TLines{"loudness", "swing"}));
}

// A module taken off all tracks and renamed: every line that named it follows it, so that
// no line names a module that is gone.
TEST_F(ModuleTest, ARenamedModuleTakesEveryLineThatNamedItAlong) {
  TModuleManagerDialog manager(window_);
  manager.Enter(mlCommon);
  manager.InFree();  // swing, attached to all tracks when the manager opened
  ASSERT_EQ(Names(manager.Lists[mlFree]), (TLines{"humanize", "swing"}));
  for (const char* typed : {"Groove", "Shuffle"}) {
    rig_.windowDialogs.answers[TWindowDialog::ModuleName] = [typed] { ModuleNameBuffer = typed; };
    manager.NewName();
  }
  ASSERT_EQ(Names(manager.Lists[mlFree]), (TLines{"humanize", "Shuffle"}));
  manager.InTreck();
  manager.Close();
  EXPECT_TRUE(fs::exists(modules_ / "Shuffle.Blk"));
  EXPECT_EQ(Program(0), TLines{});
  EXPECT_EQ(Program(1), (TLines{"Module Shuffle", "Module dynamics", "let x=1", "module lost"}));
  EXPECT_EQ(Program(2), (TLines{"Module Shuffle", "module humanize"}));
}

// Renaming over another module would lose it: refused with a message.
TEST_F(ModuleTest, RenamingOntoAnExistingModuleIsRefusedWithAMessage) {
  window_.CurrentTrack = Track(0);
  TModuleManagerDialog manager(window_);
  manager.Enter(mlFree);
  manager.Select(mlFree, 1);  // humanize
  for (const char* typed : {"SWING", "Dynamics"}) {
    rig_.questions.asked.clear();
    rig_.windowDialogs.answers[TWindowDialog::ModuleName] = [typed] { ModuleNameBuffer = typed; };
    manager.NewName();
    ASSERT_EQ(rig_.questions.asked.size(), 1u) << typed;
    EXPECT_EQ(rig_.questions.asked[0], "1 Модуль " + std::string(typed) + " уже есть: имя не изменено!");
  }
  EXPECT_EQ(ReadTextLines(modules_ / "Swing.blk"), (TLines{"block swing", "endblock"}));
  EXPECT_EQ(ReadTextLines(modules_ / "humanize.BLK"), (TLines{"function human", "endfunction"}));
  // Its own name in other capitals is no other module.
  rig_.windowDialogs.answers[TWindowDialog::ModuleName] = [] { ModuleNameBuffer = "Humanize"; };
  manager.NewName();
  EXPECT_TRUE(fs::exists(modules_ / "Humanize.Blk"));
  EXPECT_EQ(Names(manager.Lists[mlFree]), (TLines{"dynamics", "Humanize"}));
}

TEST_F(ModuleTest, DescriptionAndEditingOpenTheFilesFoundInTheModulesFolder) {
  TModuleManagerDialog manager(window_);
  std::vector<std::string> opened;
  rig_.windowDialogs.answers[TWindowDialog::ModuleEditor] = [&] {
    opened.push_back(fs::path(window_.EditModuleFile).filename().string() + ":" +
                     std::to_string(window_.EditModuleLine));
  };
  window_.EditModuleFile = "/elsewhere/old.blk";
  window_.EditModuleLine = 7;
  manager.Enter(mlTrack);  // dynamics: has a description
  manager.HelpModule();
  EXPECT_EQ(window_.EditModuleFile, "/elsewhere/old.blk");  // given back
  EXPECT_EQ(window_.EditModuleLine, 7);
  manager.Enter(mlCommon);  // swing: none
  manager.HelpModule();
  EXPECT_EQ(rig_.questions.asked, TLines{"1 Описание модуля не найдено!"});
  manager.Editing();
  EXPECT_EQ(opened, (TLines{"dynamics.Txt:1", "Swing.blk:1"}));
  EXPECT_EQ(window_.EditModuleFile, (modules_ / "Swing.blk").string());
  window_.EditModuleLine = 5;
  manager.Editing();  // the same module keeps its line
  EXPECT_EQ(opened.back(), "Swing.blk:5");
}

TEST_F(ModuleTest, ANewModuleIsListedAndChosenInTheFreeList) {
  TModuleManagerDialog manager(window_);
  manager.Enter(mlFree);
  rig_.windowDialogs.answers[TWindowDialog::ModuleEditor] = [&] {
    EXPECT_TRUE(window_.EditModuleFile.empty());
    window_.EditModuleFile = (modules_ / "Arp.blk").string();
    ASSERT_TRUE(WriteTextLines(window_.EditModuleFile, {"block arp", "endblock"}));
  };
  manager.NewModule();
  EXPECT_EQ(Sorted(Names(manager.Lists[mlFree])), (TLines{"arp", "humanize"}));
  EXPECT_EQ(U(manager.Lists[mlFree][static_cast<size_t>(manager.Selected[mlFree])]), "arp");
  EXPECT_EQ(FreeListPos, manager.Selected[mlFree] + 1);
}

TEST_F(ModuleTest, TheUsageHintGoesWithTheFirstKeyForTheRestOfTheRun) {
  {
    TModuleManagerDialog manager(window_);
    manager.FreeListKey();
    EXPECT_EQ(U(manager.Labels[mlFree]), "Свободные модули:");
  }
  TModuleManagerDialog again(window_);
  EXPECT_EQ(U(again.Labels[mlFree]), "Свободные модули:");
}

TEST_F(ModuleTest, TheManagerCommandShowsTheTrackAndGivesTheProgramEditorTheFocus) {
  rig_.windowDialogs.answers[TWindowDialog::ModuleManager] = [&] {
    TModuleManagerDialog manager(window_);
    manager.Enter(mlFree);
    manager.InTreck();
    manager.Close();
  };
  window_.MasteringModuls();
  EXPECT_EQ(rig_.windowDialogs.shown, std::vector<TWindowDialog>{TWindowDialog::ModuleManager});
  EXPECT_EQ(rig_.editors.program.at(0), "Module humanize");  // the editor shows the new line
  EXPECT_TRUE(rig_.editors.program_focused);
  ASSERT_EQ(rig_.speaker.said.size(), 2u);
  EXPECT_NE(rig_.speaker.said[0].find("Piano"), std::string::npos);
  // What is said names the field that has the focus, never the Braille line.
  EXPECT_EQ(rig_.speaker.said[1], "S Обработчик для текущего трека:");
  EXPECT_EQ(U(window_.Undo().Label()), "Подключение модулей");
}

// ---- The module commands ------------------------------------------------------------

TEST_F(ModuleTest, TheProgramLineAtTheCaretOpensItsModuleInsideTheModulesFolder) {
  struct TCase {
    const char* line;
    const char* opened;  // file name, or "" when nothing opens
    const char* answer;  // signal or box
  };
  fs::create_directories(fs::path(ProgramDir) / "secret");
  ASSERT_TRUE(WriteTextLines(fs::path(ProgramDir) / "secret" / "x.blk", {"block x", "endblock"}));
  const std::vector<TCase> cases = {
      {"  MODULE   Swing {the groove}", "Swing.blk", ""},
      {"module humanize", "humanize.BLK", ""},
      {"let x=1", "", "error signal"},
      {"module x/../../secret/x", "", "error 19"},
      {"module missing", "", "error 19"},
  };
  for (const TCase& c : cases) {
    rig_.windowDialogs.shown.clear();
    rig_.signaller.kinds.clear();
    rig_.questions.asked.clear();
    window_.EditModuleFile.clear();
    rig_.editors.program = {"let y=2", W(c.line)};
    rig_.editors.line = 1;
    window_.EditingModuleFromProgram();
    if (*c.opened != 0) {
      EXPECT_EQ(rig_.windowDialogs.shown, std::vector<TWindowDialog>{TWindowDialog::ModuleEditor}) << c.line;
      EXPECT_EQ(window_.EditModuleFile, (modules_ / c.opened).string());
      EXPECT_EQ(window_.EditModuleLine, 1);
      continue;
    }
    EXPECT_TRUE(rig_.windowDialogs.shown.empty()) << c.line;
    if (std::string(c.answer) == "error signal") {
      EXPECT_EQ(rig_.signaller.kinds, std::vector<uint8_t>{sError}) << c.line;
    } else {
      ASSERT_EQ(rig_.questions.asked.size(), 1u) << c.line;
      EXPECT_EQ(rig_.questions.asked[0].rfind("3 Piano программный текст!", 0), 0u) << rig_.questions.asked[0];
    }
  }
}

TEST_F(ModuleTest, TheLastModuleIsOpenedAgainOnlyOnceThereIsOne) {
  window_.EditingLastModul();
  EXPECT_EQ(rig_.signaller.kinds, std::vector<uint8_t>{sError});
  EXPECT_TRUE(rig_.windowDialogs.shown.empty());
  window_.EditModuleFile = (modules_ / "Swing.blk").string();
  window_.EditingLastModul();
  EXPECT_EQ(rig_.windowDialogs.shown, std::vector<TWindowDialog>{TWindowDialog::ModuleEditor});
}

// ---- The module editor --------------------------------------------------------------

TEST_F(ModuleTest, ADescriptionOpensReadOnlyUnderItsCaption) {
  Write("Arpeggio.txt", {"Broken chords", "up and down"});
  window_.EditModuleFile = (modules_ / "Arpeggio.txt").string();
  window_.EditModuleLine = 2;
  TModuleEditorDialog editor(window_);
  EXPECT_EQ(U(editor.Caption), "Описание модуля Arpeggio");
  EXPECT_TRUE(editor.ReadOnly);
  EXPECT_EQ(editor.CaretLine, 2);
  EXPECT_TRUE(editor.Close("changed", 1));  // nothing to save
  EXPECT_TRUE(rig_.questions.asked.empty());
}

TEST_F(ModuleTest, AMissingFileOpensANewModule) {
  window_.EditModuleFile = (modules_ / "gone.blk").string();
  TModuleEditorDialog editor(window_);
  EXPECT_TRUE(window_.EditModuleFile.empty());
  EXPECT_EQ(U(editor.Caption), "Новый Модуль");
  EXPECT_TRUE(editor.Lines.empty());
  EXPECT_TRUE(editor.Close("", 1));  // empty: no question
  EXPECT_TRUE(rig_.questions.asked.empty());
}

TEST_F(ModuleTest, ClosingAChangedModuleAsksAndSavesOrKeepsIt) {
  const fs::path file = modules_ / "Swing.blk";
  struct TCase {
    int answer;
    bool closes;
    TLines saved;
  };
  const std::vector<TCase> cases = {
      {mbCancel, false, {"block swing", "endblock"}},
      {mbNo, true, {"block swing", "endblock"}},
      {mbYes, true, {"block swing", "let v=1", "endblock"}},
  };
  for (const TCase& c : cases) {
    window_.EditModuleFile = file.string();
    TModuleEditorDialog editor(window_);
    EXPECT_EQ(U(editor.Caption), "Swing.blk");
    EXPECT_TRUE(editor.Close("block swing\nendblock", 2)) << "unchanged: no question";
    rig_.questions.asked.clear();
    rig_.questions.answers = {c.answer};
    EXPECT_EQ(editor.Close("block swing\nlet v=1\nendblock", 3), c.closes);
    EXPECT_EQ(rig_.questions.asked, TLines{"2 Модуль\rSwing.blk\rбыл изменён. Сохранить его?"});
    EXPECT_EQ(ReadTextLines(file), c.saved);
    EXPECT_EQ(window_.EditModuleLine, 3);
  }
}

TEST_F(ModuleTest, ANewModuleIsSavedWhereTheUserChoosesAndItsPlaceIsChecked) {
  fs::create_directories(fs::path(ProgramDir) / "Other");
  struct TCase {
    fs::path chosen;
    fs::path written;  // empty = the file chosen
    const char* warning;  // "" = none
  };
  const std::vector<TCase> cases = {
      {modules_ / "Fresh.blk", {}, ""},
      {fs::path(ProgramDir) / "Other" / "Fresh.blk", {}, "неверный путь"},
      {modules_ / "Fresh.txt", {}, "неверное расширение"},
      {fs::path(ProgramDir) / "Other" / "Fresh.txt", {}, "неверное расширение и неверный путь"},
      {modules_ / "Testmod", modules_ / "Testmod.BLK", ""},  // the dialog's default extension
  };
  for (const TCase& c : cases) {
    const fs::path written = c.written.empty() ? c.chosen : c.written;
    window_.EditModuleFile.clear();
    rig_.questions.asked.clear();
    rig_.questions.answers = {mbYes};
    rig_.dialogs.answer = c.chosen.string();
    TModuleEditorDialog editor(window_);
    EXPECT_TRUE(editor.Close("block fresh\nendblock", 1));
    EXPECT_EQ(ReadTextLines(written), (TLines{"block fresh", "endblock"}));
    EXPECT_EQ(window_.EditModuleFile, written.string());
    ASSERT_GE(rig_.questions.asked.size(), 1u);
    EXPECT_EQ(rig_.questions.asked[0], "2 Сохранить Новый Модуль?");
    if (*c.warning == 0) {
      EXPECT_EQ(rig_.questions.asked.size(), 1u);
    } else {
      ASSERT_EQ(rig_.questions.asked.size(), 2u);
      EXPECT_EQ(rig_.questions.asked[1], "3 Данный файл не может быть использован программой в качестве модуля, так "
                                         "как он имеет " + std::string(c.warning) + "!");
    }
  }
  EXPECT_FALSE(fs::exists(modules_ / "Testmod"));
  EXPECT_EQ(Names(ModuleNamesInFolder()), (TLines{"dynamics", "fresh", "humanize", "swing", "testmod"}));
  EXPECT_EQ(rig_.dialogs.places.back(), "Сохранение Нового Модуля|" + modules_.string() + "|NewModule.BLK");
  // The save dialog cancelled keeps the editor open.
  window_.EditModuleFile.clear();
  rig_.questions.answers = {mbYes};
  rig_.dialogs.answer.reset();
  TModuleEditorDialog editor(window_);
  EXPECT_FALSE(editor.Close("x", 1));
}

// "swing" typed for a new module names Swing.blk, which the save dialog did not ask about.
TEST_F(ModuleTest, ANewModuleNamedAsAnExistingOneReplacesItOnlyOnceAgreed) {
  for (const int answer : {mbCancel, mbOk}) {
    window_.EditModuleFile.clear();
    rig_.questions.asked.clear();
    rig_.questions.answers = {mbYes, answer};
    rig_.dialogs.answer = (modules_ / "swing").string();
    TModuleEditorDialog editor(window_);
    EXPECT_EQ(editor.Close("block new\nendblock", 1), answer == mbOk);
    EXPECT_EQ(rig_.questions.asked,
              (TLines{"2 Сохранить Новый Модуль?", "0 Swing.blk уже есть. Заменить его?"}));
    const TLines kept = answer == mbOk ? TLines{"block new", "endblock"} : TLines{"block swing", "endblock"};
    EXPECT_EQ(ReadTextLines(modules_ / "Swing.blk"), kept);
    EXPECT_EQ(Names(ModuleNamesInFolder()), (TLines{"dynamics", "humanize", "swing"}));
  }
}

TEST_F(ModuleTest, F2AndShiftF2StepThroughTheBlockHeaders) {
  window_.EditModuleFile = (modules_ / "dynamics.blk").string();
  TModuleEditorDialog editor(window_);
  const std::string text = "block crescendo\nendblock\n  Block  Fade\nendblock";
  EXPECT_EQ(editor.NextBlock(text, 1), 3);  // capitals and blanks still head a block
  EXPECT_EQ(rig_.speaker.said, TLines{"I   Block  Fade"});  // spoken as written
  EXPECT_EQ(editor.NextBlock(text, 3), 0);
  EXPECT_EQ(editor.PriorBlock(text, 3), 1);
  EXPECT_EQ(editor.PriorBlock(text, 1), 0);
  EXPECT_EQ(rig_.speaker.said.size(), 2u);
}

TEST_F(ModuleTest, ModuleFilesAreFoundWhateverTheirCaseAndNeverOutsideTheFolder) {
  EXPECT_EQ(ExistingModuleFile("swing", kModuleExt), modules_ / "Swing.blk");
  EXPECT_EQ(ExistingModuleFile("HUMANIZE", kModuleExt), modules_ / "humanize.BLK");
  EXPECT_EQ(ExistingModuleFile("dynamics", kDescriptionExt), modules_ / "dynamics.Txt");
  for (const char* name : {"", "../Modules/swing", "a/b", "..\\x"}) {
    EXPECT_FALSE(ExistingModuleFile(name, kModuleExt).has_value()) << name;
  }
  EXPECT_EQ(Sorted(Names(ModuleNamesInFolder())), (TLines{"dynamics", "humanize", "swing"}));
}

}  // namespace
