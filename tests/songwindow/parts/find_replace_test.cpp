// Find and replace: the search and replace engines on music and program lines, the
// dialog's controller, and the window's Find, Find next and Replace commands.
#include "songwindow/parts/find_replace.h"

#include <gtest/gtest.h>

#include "feedback/signals.h"
#include "settings/lang_texts.h"
#include "songwindow/dialogs/find_dialog.h"
#include "tests/songwindow/command_rig.h"

namespace {

using namespace songwindowtest;

std::vector<std::string> Lines(const std::vector<std::string>& utf8) {
  std::vector<std::string> lines;
  for (const std::string& line : utf8) {
    lines.push_back(songwindowtest::W(line));
  }
  return lines;
}

TFindOptions Options(const std::string& what, const std::string& with = "", bool caseSensitive = false,
                     bool restricted = false) {
  return {songwindowtest::W(what), songwindowtest::W(with), caseSensitive, restricted};
}

TEST(FindReplaceEngine, LowerCaseCoversLatinAndCyrillicCapitals) {
  EXPECT_EQ(U(LowerCaseCyr(songwindowtest::W("ДО Do АЯ Ёж"))), "до do ая Ёж");
  EXPECT_EQ(U(LowerCaseCyr(songwindowtest::W("до,x1()-_@[]"))), "до,x1()-_@[]");
  FindCaseSensitive = true;
  EXPECT_EQ(U(NormalizeCase(songwindowtest::W("ДО"))), "ДО");
  FindCaseSensitive = false;
  EXPECT_EQ(U(NormalizeCase(songwindowtest::W("ДО"))), "до");
}

TEST(FindReplaceEngine, MusicSearchGoesOnFromAfterTheCaret) {
  struct TCase {
    const char* what;
    std::vector<std::string> lines;
    TMusicPlace caret;
    bool caseSensitive;
    bool voiceOnly;
    std::optional<TMusicPlace> want;
  };
  const TCase cases[] = {
      // The a at the caret is passed over; the next one is in measure 2.
      {"a", {"ca", "a"}, {1, 1, 1}, false, false, TMusicPlace{2, 1, 0}},
      {"a", {"ca", "a"}, {1, 1, 0}, false, false, TMusicPlace{1, 1, 1}},
      // Case: ДО finds до and Do finds dO without the case box; with it, neither.
      {"ДО", {"x", "zдо"}, {1, 1, 0}, false, false, TMusicPlace{2, 1, 1}},
      {"ДО", {"x", "zдо"}, {1, 1, 0}, true, false, std::nullopt},
      {"Do", {"x", "dO"}, {1, 1, 0}, false, false, TMusicPlace{2, 1, 0}},
      // Ё is no capital of the folding: Ё does not find ё, nor ё Ё; each finds itself.
      {"Ё", {"x", "ё"}, {1, 1, 0}, false, false, std::nullopt},
      {"ё", {"x", "Ё"}, {1, 1, 0}, false, false, std::nullopt},
      {"Ё", {"ё", "xЁ"}, {1, 1, 0}, false, false, TMusicPlace{2, 1, 1}},
      // The voices before the current one in the current measure are not searched.
      {"a", {"ab()cd()ab"}, {1, 2, 0}, false, false, TMusicPlace{1, 3, 0}},
      // abc and def with the caret in voice 1: "de" is in voice 2, the caret before d.
      {"de", {"abc()def"}, {1, 1, 0}, false, false, TMusicPlace{1, 2, 0}},
      // The current voice only: other voices passed, voice 2 of every later measure visited.
      {"a", {"x()a", "a()x", "x()ya"}, {1, 2, 0}, false, true, TMusicPlace{3, 2, 1}},
      {"a", {"x()a", "a()x", "x()ya"}, {1, 2, 0}, false, false, TMusicPlace{2, 1, 0}},
      // A search never reaches across a separator; nothing after a trailing one, nor in an
      // empty line; the caret's measure past the last finds nothing.
      {"b()c", {"ab()cd"}, {1, 1, 0}, false, false, std::nullopt},
      {"()", {"a()", ""}, {1, 1, 0}, false, false, std::nullopt},
      {"a", {"a"}, {2, 1, 0}, false, false, std::nullopt},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(FindInMusic(Lines(c.lines), c.caret, Options(c.what, "", c.caseSensitive, c.voiceOnly)), c.want)
        << c.what << " in " << c.lines.front();
  }
}

TEST(FindReplaceEngine, ProgramSearchWithWholeWordsPassesMatchesInsideWords) {
  const std::vector<std::string> lines = {"notes keynote note_a a.note", "x=note(1)", "  note"};
  struct TCase {
    TProgramPlace caret;
    bool wholeWord;
    std::optional<TProgramPlace> want;
  };
  const TCase cases[] = {
      {{0, 0}, true, TProgramPlace{2, 1}},   // "_" and "." are word characters, "=" and "(" not
      {{0, 0}, false, TProgramPlace{9, 0}},  // keynote without the option
      {{2, 1}, true, TProgramPlace{2, 2}},   // the match at the caret is passed over
      {{2, 2}, true, std::nullopt},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(FindInProgram(lines, c.caret, Options("Note", "", false, c.wholeWord)), c.want)
        << c.caret.Column << "," << c.caret.Line << " whole " << c.wholeWord;
  }
  EXPECT_TRUE(WholeWordAt("(note)", 1, 4));
  EXPECT_FALSE(WholeWordAt("-note", 1, 4));
  EXPECT_FALSE(WholeWordAt("note1", 0, 4));
}

TEST(FindReplaceEngine, ReplaceAllGoesOnAfterTheTextPutIn) {
  struct TCase {
    const char* what;
    const char* with;
    std::vector<std::string> lines;
    TMusicPlace caret;
    bool voiceOnly;
    std::vector<std::string> want;
    int32_t count;
    int32_t caretOffset;  // -1: left as it was
  };
  const TCase cases[] = {
      // Each a doubled once, the one at the caret included; the search resumes after "aa".
      {"a", "aa", {"a()a", "ba"}, {1, 1, 0}, false, {"aa()aa", "baa"}, 3, 2},
      {"a", "aa", {"aaa"}, {1, 1, 0}, false, {"aaaaaa"}, 3, 6},
      // From the caret on in the current voice; the voices before it in full.
      {"a", "b", {"aXa()a"}, {1, 1, 1}, false, {"aXb()b"}, 2, 3},
      {"a", "b", {"a()a"}, {1, 2, 0}, false, {"b()b"}, 2, 1},
      {"a", "b", {"a()a", "a()a"}, {1, 2, 0}, true, {"a()b", "a()b"}, 2, 1},
      // A replacement that makes a separator is not searched again.
      {"a", "a()a", {"a"}, {1, 1, 0}, false, {"a()a"}, 1, 4},
      // The separator belongs to the voice before it.
      {"()", "", {"a()b()c"}, {1, 1, 0}, false, {"abc"}, 2, 2},
      {"Я", "я", {"ЯЯ"}, {1, 1, 0}, false, {"яя"}, 2, 2},
      {"q", "r", {"a"}, {1, 1, 0}, false, {"a"}, 0, -1},
  };
  for (const TCase& c : cases) {
    std::vector<std::string> lines = Lines(c.lines);
    int32_t caret = -1;
    EXPECT_EQ(ReplaceInMusic(lines, c.caret, Options(c.what, c.with, false, c.voiceOnly), caret), c.count)
        << c.what << " in " << c.lines.front();
    EXPECT_EQ(lines, Lines(c.want)) << c.what << " in " << c.lines.front();
    EXPECT_EQ(caret, c.caretOffset) << c.what << " in " << c.lines.front();
  }
}

TEST(FindReplaceEngine, ProgramReplaceAllTakesWholeWordsAndTerminates) {
  std::vector<std::string> lines = {"a a", "xa"};
  EXPECT_EQ(ReplaceInProgram(lines, {0, 0}, Options("a", "aa")), 3);
  EXPECT_EQ(lines, (std::vector<std::string>{"aa aa", "xaa"}));
  lines = {"note keynote Note", "note"};
  EXPECT_EQ(ReplaceInProgram(lines, {0, 0}, Options("note", "n", false, true)), 3);
  EXPECT_EQ(lines, (std::vector<std::string>{"n keynote n", "n"}));
  // From the caret: the match under it included, the ones before it not.
  lines = {"note note", "note"};
  EXPECT_EQ(ReplaceInProgram(lines, {5, 0}, Options("note", "x")), 2);
  EXPECT_EQ(lines, (std::vector<std::string>{"note x", "x"}));
}

class FindDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UnloadLanguage();
    FindText.clear();
    ReplaceText.clear();
  }
  TWindowRig rig_;
  TSongWindow window_{rig_.Ports(), 1, "qem"};
};

TEST_F(FindDialogTest, CaptionsFollowTheModeAndTheEditorSearched) {
  struct TCase {
    uint8_t mode;
    bool handler;
    const char* caption;
    const char* whatLabel;
    const char* voiceCaption;
    const char* ok;
    bool caseChecked;
  };
  const TCase cases[] = {
      {1, false, "Поиск в нотном тексте трека", "Что искать:", "Только в текущем голосе", "Найти", true},
      {2, true, "Замена в обработчике трека", "Заменить:", "Слово целиком", "Заменить далее", false},
  };
  for (const TCase& c : cases) {
    FindDialogMode = c.mode;
    FindInHandler = c.handler;
    TFindDialog dialog(window_);
    EXPECT_EQ(FindDialogMode, 0);  // anything but OK is Cancel
    EXPECT_EQ(dialog.ReplaceMode, c.mode == 2);
    EXPECT_EQ(U(dialog.Caption), c.caption);
    EXPECT_EQ(U(dialog.WhatLabel), c.whatLabel);
    EXPECT_EQ(U(dialog.WithLabel), "На:");
    EXPECT_EQ(U(dialog.VoiceCaption), c.voiceCaption);
    EXPECT_EQ(U(dialog.OkCaption), c.ok);
    EXPECT_EQ(dialog.CaseSensitive, c.caseChecked);
    EXPECT_FALSE(dialog.VoiceOnly);
  }
  ASSERT_TRUE(LoadLanguageFile(std::string(VELTO_SOURCE_DIR) + "/resources/Languages/English.lng"));
  FindDialogMode = 2;
  FindInHandler = false;
  TFindDialog english(window_);
  EXPECT_EQ(english.Caption, "Replace in the track's music text");
  EXPECT_EQ(english.WhatLabel, "Replace:");
  EXPECT_EQ(english.OkCaption, "Replace onward");
  // The search text's label asks its question in either language.
  const std::pair<const char*, const char*> questions[] = {{"English.lng", "Find what?"},
                                                           {"Russian.lng", "Что искать?"}};
  for (const auto& [file, label] : questions) {
    ASSERT_TRUE(LoadLanguageFile(std::string(VELTO_SOURCE_DIR) + "/resources/Languages/" + file));
    FindDialogMode = 1;
    EXPECT_EQ(U(TFindDialog(window_).WhatLabel), label) << file;
  }
  UnloadLanguage();
}

TEST_F(FindDialogTest, TextsAreKeptAndFindKeepsTheReplacementItDidNotShow) {
  ReplaceText = "q";
  FindDialogMode = 1;
  {
    TFindDialog dialog(window_);
    EXPECT_EQ(dialog.With, "q");
    ASSERT_TRUE(dialog.SetWhat("до"));
    dialog.SetWith("");  // the hidden field
    dialog.VoiceOnly = true;
    dialog.Ok();
  }
  EXPECT_EQ(FindDialogMode, 1);
  EXPECT_EQ(U(FindText), "до");
  EXPECT_EQ(ReplaceText, "q");
  EXPECT_TRUE(FindCaseSensitive);
  EXPECT_TRUE(FindVoiceOnly);
  // Cancelled: both texts kept for the next opening, FindDialogMode 0.
  FindDialogMode = 2;
  {
    TFindDialog dialog(window_);
    EXPECT_EQ(U(dialog.What), "до");
    ASSERT_TRUE(dialog.SetWhat("x"));
    ASSERT_TRUE(dialog.SetWith("y"));
    dialog.Cancel();
  }
  EXPECT_EQ(FindDialogMode, 0);
  EXPECT_EQ(FindText, "x");
  EXPECT_EQ(ReplaceText, "y");
  // A character outside code page 1251 is refused with the error signal.
  TFindDialog dialog(window_);
  EXPECT_FALSE(dialog.SetWhat("\xE2\x98\x83"));
  EXPECT_EQ(dialog.What, "x");
  EXPECT_EQ(rig_.signaller.kinds, std::vector<uint8_t>{sError});
}

class FindCommandsTest : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    UnloadLanguage();
    FindText.clear();
    ReplaceText.clear();
  }
  // The dialog answered as the user would: the texts typed, OK or Cancel.
  void Answer(const std::string& what, const std::string& with = "", bool ok = true, bool voiceOnly = false) {
    rig_.windowDialogs.answers[TWindowDialog::Find] = [this, what, with, ok, voiceOnly] {
      TFindDialog dialog(window_);
      dialog.SetWhat(what);
      dialog.SetWith(with);
      dialog.VoiceOnly = voiceOnly;
      ok ? dialog.Ok() : dialog.Cancel();
    };
  }
};

TEST_F(FindCommandsTest, FindMovesToTheMatchAndSpeaksThePlace) {
  window_.FindNext(TFocusField::Notes);  // before any confirmed Find
  EXPECT_EQ(rig_.signaller.kinds, std::vector<uint8_t>{sError});
  Answer("e", "", false);
  window_.Find(TFocusField::Notes);  // cancelled: no search
  EXPECT_EQ(window_.CurrentMeasure, 1);
  EXPECT_FALSE(window_.FindConfirmed);
  Answer("e");
  rig_.signaller.kinds.clear();
  window_.Find(TFocusField::Notes);
  EXPECT_EQ(window_.CurrentMeasure, 3);
  EXPECT_EQ(window_.CurrentTrack->Voice, 1);
  EXPECT_EQ(rig_.speaker.said, (std::vector<std::string>{"I Такт 3", "S Голос 1", "S e"}));
  EXPECT_EQ(rig_.editors.caret, 0);
  EXPECT_TRUE(window_.Actions["FindNext"].Enabled);
  EXPECT_TRUE(rig_.signaller.kinds.empty());
  // Find next: nothing after it, the error signal and the place kept.
  window_.FindNext(TFocusField::Notes);
  EXPECT_EQ(window_.CurrentMeasure, 3);
  EXPECT_EQ(rig_.signaller.kinds, std::vector<uint8_t>{sError});
  EXPECT_EQ(rig_.windowDialogs.shown.size(), 2u);  // Find next opens no dialog
}

TEST_F(FindCommandsTest, WholeWordSearchInTheHandlerLeavesTheCaretOnNoRejectedMatch) {
  rig_.editors.program = {"keynote x", "note_a y", "z=note"};
  rig_.editors.column = 0;
  rig_.editors.line = 0;
  Answer("note", "", true, true);
  window_.Find(TFocusField::Program);
  EXPECT_EQ(rig_.editors.column, 2);
  EXPECT_EQ(rig_.editors.line, 2);
  EXPECT_EQ(rig_.speaker.said, std::vector<std::string>{"I z=note"});
  // Nothing further: the caret stays where it was.
  window_.FindNext(TFocusField::Program);
  EXPECT_EQ(rig_.editors.column, 2);
  EXPECT_EQ(rig_.editors.line, 2);
  EXPECT_EQ(rig_.signaller.kinds, std::vector<uint8_t>{sError});
  rig_.editors.line = 0;
  rig_.editors.column = 0;
  rig_.editors.program = {"keynote", "notes"};
  window_.FindNext(TFocusField::Program);
  EXPECT_EQ(rig_.editors.column, 0);
  EXPECT_EQ(rig_.editors.line, 0);
}

TEST_F(FindCommandsTest, ReplaceIsOneUndoStepAndNoneWhenNothingChanges) {
  const int32_t undoBefore = UndoCount();
  Answer("q", "r");
  window_.Zamen(TFocusField::Notes);
  EXPECT_EQ(rig_.signaller.kinds, std::vector<uint8_t>{sError});
  EXPECT_EQ(UndoCount(), undoBefore);
  EXPECT_FALSE(window_.Modified);
  EXPECT_TRUE(rig_.questions.asked.empty());

  // "a" by "aa": measure 1 voice 1 from the caret on; every later measure in full.
  Track(1)->MusicStrings = {"a()b()a", "ba", "a"};
  Track(1)->Voice = 1;
  GoTo(1, 1);
  Answer("a", "aa");
  window_.Zamen(TFocusField::Notes);
  EXPECT_EQ(window_.CurrentTrack->MusicStrings, (std::vector<std::string>{"aa()b()aa", "baa", "aa"}));
  EXPECT_EQ(UndoCount(), undoBefore + 1);
  EXPECT_EQ(UndoLabel(), "замену");
  EXPECT_TRUE(window_.Modified);
  EXPECT_EQ(rig_.signaller.kinds, std::vector<uint8_t>{sOk});
  EXPECT_EQ(rig_.questions.asked, std::vector<std::string>{"1 Всего произведено замен: 4"});
  EXPECT_EQ(window_.CurrentMeasure, 1);
  EXPECT_EQ(rig_.editors.caret, 2);  // after the text put into the current voice
  RestoreNewest();
  EXPECT_EQ(Track(1)->MusicStrings, (std::vector<std::string>{"a()b()a", "ba", "a"}));
}

TEST_F(FindCommandsTest, ReplaceInTheHandlerChangesTheProgramLines) {
  rig_.editors.program = {"note keynote", "note"};
  rig_.editors.column = 0;
  rig_.editors.line = 0;
  Answer("note", "key", true, true);
  window_.Zamen(TFocusField::Program);
  EXPECT_EQ(rig_.editors.program, (std::vector<std::string>{"key keynote", "key"}));
  EXPECT_EQ(window_.CurrentTrack->ProgramStrings, rig_.editors.program);
  EXPECT_EQ(UndoLabel(), "замену");
  EXPECT_EQ(rig_.questions.asked, std::vector<std::string>{"1 Всего произведено замен: 2"});
}

}  // namespace
