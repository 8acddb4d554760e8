#include "songwindow/controller/braille_editor.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "base/errors.h"
#include "feedback/signals.h"
#include "model/song_file.h"
#include "playback/player_state.h"
#include "settings/lang_texts.h"
#include "tests/support/test_support.h"
#include "tests/songwindow/song_window_fakes.h"

namespace {

using namespace songwindowtest;

// A control track and a melody of three measures.
const std::vector<std::string> kSong = {"1 0 0 1 0 0 0", "Общее", "Vd4m",
                                        "3 0 1 1 0 0 0", "Мелодия", "!PSNQ", "PcSNQ", "aAЯ"};

struct TNamedKey {
  const char* Name;
  uint16_t Key;
  char32_t Char;
};

constexpr TNamedKey kKeys[] = {
    {"Left", vkLeft, 0},      {"Right", vkRight, 0},          {"Delete", vkDelete, 0},
    {"Up", vkUp, 0},          {"Down", vkDown, 0},          {"Home", vkHome, 0},
    {"Back", vkBack, 8},      {"Space", vkSpace, U' '},       {"Enter", vkReturn, 13},
    {"KpPlus", vkAdd, U'+'},  {"ScrollLock", vkScroll, 0},    {"NumLock", vkNumLock, 0},
    {"Num1", vkNumpad0 + 1, U'1'}, {"Num3", vkNumpad0 + 3, U'3'}, {"Num4", vkNumpad0 + 4, U'4'}, {"Num5", vkNumpad0 + 5, U'5'},
    {"Num7", vkNumpad0 + 7, U'7'}, {"Num8", vkNumpad0 + 8, U'8'}, {"Num9", vkNumpad0 + 9, U'9'},
};

// One key as a user presses it: down, its character, up. "Ctrl+" holds Ctrl; "Ctrl-"
// holds it at the key down only (let go before the key); "Type:c" types the (UTF-8)
// character c.
void Press(TBrailleEditor& editor, std::string name) {
  TShiftState shift;
  TShiftState up;
  if (name.starts_with("Ctrl+") || name.starts_with("Ctrl-")) {
    shift.Ctrl = true;
    up.Ctrl = name[4] == '+';
    name = name.substr(5);
  } else {
    up = shift;
  }
  if (name.starts_with("Type:")) {
    const std::u32string chars = Utf8ToChars(name.substr(5));
    editor.KeyDown(vkOther, shift);
    editor.KeyPress(chars.at(0));
    editor.KeyUp(vkOther, shift);
    return;
  }
  for (const TNamedKey& key : kKeys) {
    if (name == key.Name) {
      editor.KeyDown(key.Key, shift);
      if (key.Char != 0) {
        editor.KeyPress(key.Char);
      }
      editor.KeyUp(key.Key, up);
      return;
    }
  }
  FAIL() << "no key " << name;
}

struct TCase {
  const char* name;
  int measure;
  uint16_t caret;
  bool scroll;
  bool num;
  const char* keys;  // blank-separated
  std::vector<std::string> said;
  std::vector<uint8_t> signals;  // kinds; + 100 played regardless of the settings (the beep)
  std::vector<std::string> midi;
  const char* line;
  uint16_t caretAfter;
  const char* undoLabel;  // nullptr: no snapshot
};

class BrailleEditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DotFlags.fill(false);
    LastDeletedChar = 0;
    GErrors.Reset();
  }
  void TearDown() override {
    GPlayer.Playing = false;
    GPlayer.Pause = false;
    UnloadLanguage();
  }
  // The window on measure `measure` with the caret at `caret` and nothing recorded yet.
  void Show(TWindowRig& rig, TSongWindow& window, const TCase& c) {
    LoadSongText(window, kSong);
    window.CurrentMeasure = c.measure;
    window.ShowTreck(smSilent);
    rig.editors.caret = rig.editors.anchor = c.caret;
    rig.locks.scroll = c.scroll;
    rig.locks.num = c.num;
    rig.speaker.said.clear();
  }
  void Run(const std::vector<TCase>& cases) {
    for (const TCase& c : cases) {
      SetUp();
      TWindowRig rig;
      TSongWindow window(rig.Ports(), 1, "qem");
      Show(rig, window, c);
      const std::string before = window.Undo().Label();
      std::istringstream keys(c.keys);
      for (std::string key; keys >> key;) {
        Press(window.Editor(), key);
      }
      EXPECT_EQ(rig.speaker.said, c.said) << c.name;
      EXPECT_EQ(rig.signaller.kinds, c.signals) << c.name;
      EXPECT_EQ(rig.preview.sent, c.midi) << c.name;
      EXPECT_EQ(U(rig.editors.notes), c.line) << c.name;
      EXPECT_EQ(rig.editors.caret, c.caretAfter) << c.name;
      EXPECT_EQ(c.undoLabel != nullptr ? W(c.undoLabel) : before, window.Undo().Label()) << c.name;
      EXPECT_EQ(window.Modified, c.undoLabel != nullptr || std::string(c.keys) == "Delete") << c.name;
    }
  }
};

TEST_F(BrailleEditorTest, KeySequencesAnswerAsTheUserExpects) {
  const std::vector<std::string> none;
  Run({
      {"dots 1-2-4-5 and keypad plus type g", 1, 1, false, true, "Num7 Num4 Num8 Num5 KpPlus",
       {"I 1", "I 2", "I 4", "I 5", "I ", "S Первая", "S Вторая", "S Четвёртая", "S Пятая"}, {},
       {"off", "on 0 0 65 81"}, "!gPSNQ", 2, "ввод g"},
      {"dot 4 alone types A", 1, 1, false, true, "Num8 KpPlus", {"I 4", "I ", "S Четвёртая"}, {}, none,
       "!APSNQ", 2, "ввод A"},
      {"six dots type *, a second press takes a dot off", 1, 1, false, true, "Num9 Num1 Num1 KpPlus",
       {"I Шеститочие", "I Снято", "I 3", "I ", "S Первая", "S Вторая", "S Третья", "S Четвёртая", "S Пятая",
        "S Шестая"},
       {}, {"off", "on 0 0 65 81"}, "!*PSNQ", 2, "ввод *"},
      {"keypad plus without a dot only signals", 1, 1, false, true, "KpPlus", {}, {sError}, none, "!PSNQ", 1,
       nullptr},
      {"typing x", 1, 5, false, false, "Type:x", {}, {}, none, "!PSNQx", 6, "ввод x"},
      {"typing in advanced editing beeps", 1, 5, true, false, "Type:x", {}, {100 + sError}, none, "!PSNQ", 5,
       nullptr},
      {"a character outside the code page and control characters", 1, 5, false, false,
       "Type:中 Type:\x7f Type:\x01", {}, {sError}, none, "!PSNQ", 5, nullptr},
      {"Backspace over c speaks it", 2, 2, false, false, "Back", {"I c"}, {}, none, "PSNQ", 1, "Удаление c"},
      {"Backspace that deletes nothing says no cell a Delete took", 2, 0, false, false, "Delete Back",
       {"I c"}, {}, none, "cSNQ", 0, "Удаление P"},
      {"Right at the end goes to the next measure", 1, 5, false, false, "Right", {"I Такт 2", "S PcSNQ"}, {},
       none, "PcSNQ", 0, nullptr},
      {"Left at 0 names the bar line, then goes back", 2, 0, false, false, "Left Left",
       {"I Тактовая черта", "I Такт 1", "S !PSNQ"}, {}, none, "!PSNQ", 5, nullptr},
      {"the capital signal on A and Я, not on a", 3, 0, false, false, "Right Right Left Left",
       {"I A", "I Я", "I A", "I a"}, {sCaps, sCaps, sCaps}, none, "aAЯ", 0, nullptr},
      {"Right onto a note sounds it", 1, 0, false, false, "Right", {"I P"}, {sCaps}, {"off", "on 0 0 60 81"},
       "!PSNQ", 1, nullptr},
      // Space previews the note under the caret (c, the P after the octave sign) once: one
      // note-on and one answer (the cell, as Right onto it says), whatever its character does.
      {"Space previews the note at the caret once", 1, 1, false, false, "Space", {"I P"}, {},
       {"off", "on 0 0 60 81"}, "!PSNQ", 1, nullptr},
      // The first token deleted: the caret stays at the start and the new first note is
      // described (D), none is skipped.
      {"advanced Delete takes the token and describes the next", 2, 0, true, false, "Delete",
       {"I Ре, четвертная"}, {}, {"off", "on 0 0 62 81"}, "SNQ", 0, "Удаление Pc"},
      {"advanced Delete inside the line describes the note after it", 2, 2, true, false, "Delete",
       {"I Ми, четвертная"}, {}, {"off", "on 0 0 64 81"}, "PcNQ", 2, "Удаление S"},
      {"advanced Backspace takes the token before the caret", 2, 5, true, false, "Back",
       {"I Фа, четвертная"}, {}, {"off", "on 0 0 65 81"}, "PcSN", 4, "Удаление Q"},
      {"Ctrl+Right moves by notes and on into the next measure", 1, 3, false, false, "Ctrl+Right Ctrl+Right",
       {"I Q", "I P", "S Такт 2"}, {sCaps}, {"off", "on 0 0 65 81", "off", "on 0 0 60 81"}, "PcSNQ", 0, nullptr},
      {"Enter in advanced editing on an empty place", 1, 5, true, false, "Enter",
       {"I Нечего редактировать!"}, {100 + sError}, none, "!PSNQ", 5, nullptr},
      {"a notation error ends advanced editing", 3, 0, true, false, "Right",
       {"I Режим продвинутого редактирования выключен", "I a"}, {sError}, none, "aAЯ", 0, nullptr},
      {"the lock keys", 1, 0, false, false, "ScrollLock NumLock ScrollLock",
       {"I Режим продвинутого редактирования включен", "I Точечный режим включен",
        "I Режим продвинутого редактирования выключен"},
       {}, none, "!PSNQ", 0, nullptr},
  });
}

// What the key table says of Space and of a typed note: Space sounds the note at the caret
// once and says its cells, and describes it (once) only in advanced editing; a typed note
// is sounded and not described.
TEST_F(BrailleEditorTest, SpaceSaysTheCellsAndDescribesOnlyInAdvancedEditing) {
  const std::vector<std::string> d = {"off", "on 0 0 62 81"};
  Run({
      {"Space on D says its cell", 1, 2, false, false, "Space", {"I S"}, {}, d, "!PSNQ", 2, nullptr},
      {"Space on D in advanced editing describes it", 1, 2, true, false, "Space", {"I Ре, четвертная"}, {}, d,
       "!PSNQ", 2, nullptr},
      {"a typed D is sounded, not described", 1, 5, false, false, "Type:S", {}, {}, d, "!PSNQS", 6, "ввод S"},
  });
}

// A key answers once: its release says nothing more when Ctrl was let go before it (the
// release then comes without Ctrl).
TEST_F(BrailleEditorTest, AKeyAnswersOnceWhicheverKeyIsLetGoFirst) {
  Run({
      {"Ctrl+Right twice, Ctrl let go first", 1, 3, false, false, "Ctrl-Right Ctrl-Right",
       {"I Q", "I P", "S Такт 2"}, {sCaps}, {"off", "on 0 0 65 81", "off", "on 0 0 60 81"}, "PcSNQ", 0, nullptr},
  });
  // A window command's key (Alt+Right: its press went to the window) let go after Alt,
  // after a Right of the editor's own.
  {
    SetUp();
    TWindowRig rig;
    TSongWindow window(rig.Ports(), 1, "qem");
    Show(rig, window, {"", 1, 0, false, false, "", {}, {}, {}, "", 0, nullptr});
    Press(window.Editor(), "Right");
    rig.speaker.said.clear();
    window.NextTackt();
    const std::vector<std::string> command = rig.speaker.said;
    window.Editor().KeyUp(vkMenu, {});
    window.Editor().KeyUp(vkRight, {});
    EXPECT_EQ(rig.speaker.said, command);
    EXPECT_EQ(command, (std::vector<std::string>{"I Такт 2", "S PcSNQ"}));
  }
  // Every key with Ctrl, anywhere in the line, in plain and advanced editing: the same
  // answer as with Ctrl held to the end.
  for (const char* key : {"Right", "Left", "Back", "Delete", "Up", "Down", "Space", "Enter"}) {
    for (uint16_t caret = 0; caret <= 5; ++caret) {
      for (bool scroll : {false, true}) {
        std::vector<std::string> said[2];
        std::string line[2];
        for (int held = 0; held < 2; ++held) {
          SetUp();
          TWindowRig rig;
          TSongWindow window(rig.Ports(), 1, "qem");
          Show(rig, window, {"", 2, caret, scroll, false, "", {}, {}, {}, "", 0, nullptr});
          Press(window.Editor(), std::string(held != 0 ? "Ctrl+" : "Ctrl-") + key);
          said[held] = rig.speaker.said;
          line[held] = U(rig.editors.notes);
        }
        const std::string name = std::string(key) + " at " + std::to_string(caret) + (scroll ? " advanced" : "");
        EXPECT_EQ(said[0], said[1]) << name;
        EXPECT_EQ(line[0], line[1]) << name;
      }
    }
  }
}

// The translator is named in the track's program text: the window knows it before any play.
TEST_F(BrailleEditorTest, AdvancedEditingOnATranslatedTrackChangesNothing) {
  TWindowRig rig;
  TSongWindow window(rig.Ports(), 1, "qem");
  Show(rig, window, {"", 1, 0, true, false, "", {}, {}, {}, "", 0, nullptr});
  std::filesystem::create_directories(rig.home.Dir().File("Translator"));
  testsupport::WriteBytes(rig.home.Dir().File("Translator/t.cnv"), "x=P\r\n");
  window.CurrentTrack->ProgramStrings = {"translator t"};
  window.ShowTreck(smSilent);
  for (const char* key : {"Delete", "Enter"}) {
    rig.locks.scroll = true;
    rig.speaker.said.clear();
    Press(window.Editor(), key);
    EXPECT_EQ(U(rig.editors.notes), "!PSNQ") << key;
    EXPECT_FALSE(rig.locks.scroll) << key;
    EXPECT_FALSE(window.Actions["aAdvancedEditing"].Checked) << key;
    EXPECT_EQ(rig.speaker.said.at(0), "I Режим продвинутого редактирования выключен") << key;
    EXPECT_EQ(GErrors.Code(), 0) << key;
  }
}

// The voice is the user's: a measure with fewer voices shows an empty editor and moving on
// keeps the voice (measure 1 has three voices, measure 2 one).
TEST_F(BrailleEditorTest, MovingByMeasuresKeepsTheVoice) {
  TWindowRig rig;
  TSongWindow window(rig.Ports(), 1, "qem");
  LoadSongText(window, {"1 0 0 1 0 0 0", "Общее", "Vd4m", "2 0 1 1 0 0 0", "Мелодия", "!PSN()QQp()NNo", "SSOO"});
  window.ShowTreck(smSilent);
  Press(window.Editor(), "Down");
  Press(window.Editor(), "Down");
  EXPECT_EQ(window.CurrentTrack->Voice, 3);
  rig.editors.caret = rig.editors.anchor = static_cast<int32_t>(rig.editors.notes.size());
  rig.speaker.said.clear();
  Press(window.Editor(), "Right");
  EXPECT_EQ(window.CurrentMeasure, 2);
  EXPECT_EQ(window.CurrentTrack->Voice, 3);
  EXPECT_EQ(rig.editors.notes, "");
  Press(window.Editor(), "Left");
  EXPECT_EQ(window.CurrentMeasure, 1);
  EXPECT_EQ(window.CurrentTrack->Voice, 3);
  EXPECT_EQ(rig.speaker.said, (std::vector<std::string>{"I Такт 2", "I Такт 1", "S NNo"}));
  EXPECT_EQ(window.CurrentTrack->MusicStrings, (std::vector<std::string>{"!PSN()QQp()NNo", "SSOO"}));
}

// A notation error met in advanced editing is shown: the error signal, advanced editing
// off, the caret at the error, and the message box naming the error and the signs from it
// on, as export names them.
TEST_F(BrailleEditorTest, ANotationErrorInAdvancedEditingIsExplained) {
  const struct {
    const char* line;
    const char* keys;
    const char* box;
    uint16_t caret;
  } cases[] = {
      {"%%Vc4!P", "Right", "3 Мелодия нотный текст!\rСинтаксическая ошибка!\r%%Vc4!P", 0},
      {"Vd4!PS+NQ", "Home Right", "3 Мелодия нотный текст!\rСинтаксическая ошибка!\r+NQ", 6},
  };
  for (const auto& c : cases) {
    TWindowRig rig;
    TSongWindow window(rig.Ports(), 1, "qem");
    LoadSongText(window, {"1 0 0 1 0 0 0", "Общее", "Vd4m", "1 0 1 1 0 0 0", "Мелодия", c.line});
    window.ShowTreck(smSilent);
    rig.locks.scroll = true;
    std::istringstream keys(c.keys);
    for (std::string key; keys >> key;) {
      Press(window.Editor(), key);
    }
    EXPECT_FALSE(rig.locks.scroll) << c.line;
    EXPECT_EQ(rig.signaller.kinds, std::vector<uint8_t>{sError}) << c.line;
    EXPECT_EQ(rig.questions.asked, std::vector<std::string>{c.box}) << c.line;
    EXPECT_EQ(rig.editors.notes, c.line);
    EXPECT_EQ(rig.editors.caret, c.caret) << c.line;
    EXPECT_FALSE(window.Actions["aAdvancedEditing"].Checked) << c.line;
  }
}

// The play keys that cannot act yet (Ctrl, Shift or Alt with Space) say nothing and sound
// nothing; an empty interrupting text would silence the screen reader.
TEST_F(BrailleEditorTest, PlayKeysSayNothing) {
  for (TShiftState shift : {TShiftState{false, true, false}, TShiftState{true, false, false},
                            TShiftState{true, false, true}, TShiftState{true, true, false}}) {
    TWindowRig rig;
    TSongWindow window(rig.Ports(), 1, "qem");
    Show(rig, window, {"", 1, 0, false, false, "", {}, {}, {}, "", 0, nullptr});
    window.Editor().KeyDown(vkSpace, shift);
    window.Editor().KeyPress(U' ');
    window.Editor().KeyUp(vkSpace, shift);
    EXPECT_EQ(rig.speaker.said, std::vector<std::string>{});
    EXPECT_EQ(rig.preview.sent, std::vector<std::string>{});
    EXPECT_EQ(rig.editors.notes, "!PSNQ");
  }
  TWindowRig rig;
  TSongWindow window(rig.Ports(), 1, "qem");
  Show(rig, window, {"", 1, 0, false, false, "", {}, {}, {}, "", 0, nullptr});
  Press(window.Editor(), "Space");  // plain Space on the first sign: a preview of no note
  for (const std::string& said : rig.speaker.said) {
    EXPECT_NE(said, "I ");
  }
}

// Pasted and cut text is typing: an undo step, Modified, the line committed; a line too
// long for a song file is refused at the paste with a spoken reason.
TEST_F(BrailleEditorTest, PasteAndCutAreTyping) {
  TWindowRig rig;
  TSongWindow window(rig.Ports(), 1, "qem");
  Show(rig, window, {"", 1, 1, false, false, "", {}, {}, {}, "", 0, nullptr});
  TBrailleEditor& editor = window.Editor();
  EXPECT_TRUE(editor.Paste("SS\r\nO"));
  EXPECT_EQ(rig.editors.notes, "!SSOPSNQ");
  EXPECT_EQ(rig.editors.caret, 4);
  EXPECT_TRUE(window.Modified);
  EXPECT_EQ(U(window.Undo().Label()), "Вставка");
  EXPECT_EQ(window.CurrentTrack->MusicStrings[0], "!SSOPSNQ");
  rig.editors.caret = 1, rig.editors.anchor = 4;
  EXPECT_EQ(editor.Cut(), "SSO");
  EXPECT_EQ(rig.editors.notes, "!PSNQ");
  EXPECT_EQ(U(window.Undo().Label()), "Вырезание SSO");
  EXPECT_EQ(window.CurrentTrack->MusicStrings[0], "!PSNQ");
  EXPECT_EQ(editor.Cut(), "");  // nothing selected

  EXPECT_FALSE(editor.Paste(std::string(kMaxSongLineBytes, 'S')));
  EXPECT_EQ(rig.speaker.said.back(), "I Строка длиннее 262144 байт: вставка отменена");
  EXPECT_EQ(rig.editors.notes, "!PSNQ");
  EXPECT_EQ(window.CurrentTrack->MusicStrings[0], "!PSNQ");
  EXPECT_FALSE(editor.Paste("中"));
  rig.locks.scroll = true;
  EXPECT_FALSE(editor.Paste("S"));
  EXPECT_EQ(rig.signaller.kinds, (std::vector<uint8_t>{100 + sError, sError, 100 + sError}));
  EXPECT_EQ(rig.editors.notes, "!PSNQ");
}

// A character typed into a measure line that a song file could not hold any longer is
// refused with a spoken reason, like a paste: the line is neither cut nor grown.
TEST_F(BrailleEditorTest, TypingIntoAFullLineIsRefusedAndSaid) {
  TWindowRig rig;
  TSongWindow window(rig.Ports(), 1, "qem");
  Show(rig, window, {"", 1, 0, false, false, "", {}, {}, {}, "", 0, nullptr});
  const std::string full = "!" + std::string(kMaxSongLineBytes - 1, 'S');
  ASSERT_TRUE(window.Editor().Paste(full.substr(5)));  // "!PSNQ" + the rest: full
  ASSERT_EQ(window.CurrentTrack->MusicStrings[0].size(), kMaxSongLineBytes);
  const std::string line = rig.editors.notes;
  const std::string label = window.Undo().Label();
  rig.signaller.kinds.clear();
  rig.editors.caret = rig.editors.anchor = 1;
  Press(window.Editor(), "Type:S");
  EXPECT_EQ(rig.editors.notes, line);
  EXPECT_EQ(window.CurrentTrack->MusicStrings[0].size(), kMaxSongLineBytes);
  EXPECT_EQ(window.Undo().Label(), label) << "no undo step for a refused character";
  EXPECT_EQ(rig.speaker.said.back(), "I Строка длиннее 262144 байт: вставка отменена");
  EXPECT_EQ(rig.signaller.kinds, std::vector<uint8_t>{100 + sError});
}

// Past caret 65,535 of a long measure the keys edit and move at the caret, not at a
// caret wrapped to 16 bits.
TEST_F(BrailleEditorTest, KeysAtTheEndOfAMeasureOfMoreThan65535CellsActThere) {
  const std::string line = "!" + std::string(69999, 'S');
  const int32_t end = static_cast<int32_t>(line.size());
  const struct {
    const char* key;
    int32_t caret;
    std::string notesAfter;
    int32_t caretAfter;
  } cases[] = {
      {"Type:d", end, line + "d", end + 1},
      {"Back", end, line.substr(0, end - 1), end - 1},
      {"Left", end, line, end - 1},
      {"Right", end - 1, line, end},
      {"Delete", end - 1, line.substr(0, end - 1), end - 1},
  };
  for (const auto& c : cases) {
    TWindowRig rig;
    TSongWindow window(rig.Ports(), 1, "qem");
    LoadSongText(window, {"1 0 0 1 0 0 0", "Общее", "Vd4m", "1 0 1 1 0 0 0", "Мелодия", line});
    window.ShowTreck(smSilent);
    rig.editors.caret = rig.editors.anchor = c.caret;
    Press(window.Editor(), c.key);
    EXPECT_EQ(rig.editors.notes.size(), c.notesAfter.size()) << c.key;
    EXPECT_TRUE(rig.editors.notes == c.notesAfter) << c.key;
    EXPECT_EQ(rig.editors.caret, c.caretAfter) << c.key;
    EXPECT_EQ(rig.editors.anchor, c.caretAfter) << c.key;
  }
}

TEST_F(BrailleEditorTest, SpaceWhilePlayingPausesAndResumes) {
  TWindowRig rig;
  TSongWindow window(rig.Ports(), 1, "qem");
  Show(rig, window, {"", 1, 2, false, false, "", {}, {}, {}, "", 0, nullptr});
  GPlayer.Playing = true;
  Press(window.Editor(), "Space");
  EXPECT_TRUE(GPlayer.Pause.load());
  Press(window.Editor(), "Space");
  EXPECT_FALSE(GPlayer.Pause.load());
  EXPECT_EQ(rig.speaker.said, std::vector<std::string>{"I Пауза"});
  EXPECT_EQ(U(rig.editors.notes), "!PSNQ");
}

TEST_F(BrailleEditorTest, APreviewLastsUntilTheTimerEndsIt) {
  TWindowRig rig;
  TSongWindow window(rig.Ports(), 1, "qem");
  Show(rig, window, {"", 1, 0, false, false, "", {}, {}, {}, "", 0, nullptr});
  Press(window.Editor(), "Right");
  EXPECT_EQ(rig.timer.armedMs, 800);
  window.Editor().Audition().TimerNoteOnTimer();
  EXPECT_EQ(rig.timer.armedMs, 0);
  EXPECT_EQ(rig.preview.sent.back(), "off");
}

TEST_F(BrailleEditorTest, TheEnglishLanguageFileSpeaksEnglish) {
  ASSERT_TRUE(LoadLanguageFile(std::string(VELTO_SOURCE_DIR) + "/resources/Languages/English.lng"));
  Run({
      {"dots", 1, 1, false, true, "Num8 Num9 Num3", {"I 4", "I Six dots", "I All off"}, {}, {}, "!PSNQ", 1,
       nullptr},
      {"bar line", 2, 0, false, false, "Left", {"I Bar line"}, {}, {}, "PcSNQ", 0, nullptr},
      {"typing", 1, 5, false, false, "Type:x", {}, {}, {}, "!PSNQx", 6, "input x"},
      {"a description", 2, 5, true, false, "Back", {"I F, duration: 4"}, {}, {"off", "on 0 0 65 81"}, "PcSN", 4,
       "Deleting Q"},
  });
}

// Dot mode switched on while the keyboard's own Num Lock is off: the screen reader would
// take the keypad, so the window says how to turn it on. Off, or lit, or unknown: nothing.
TEST_F(BrailleEditorTest, DotModeOnWithTheKeyboardsNumLockOffSaysToTurnItOn) {
  const std::string on = "I Точечный режим включен";
  const std::string hint =
      "S Num Lock клавиатуры выключен: цифровой блок забирает программа экранного доступа. "
      "Нажмите Num Lock, затем Ctrl+Enter.";
  struct TCase {
    const char* how;
    std::optional<bool> lit;
    bool dotModeBefore;
    std::vector<std::string> said;
  };
  const TCase cases[] = {
      {"key", false, false, {on, hint}},
      {"menu", false, false, {on, hint}},
      {"key", true, false, {on}},
      {"menu", std::nullopt, false, {on}},
      {"key", false, true, {"I Точечный режим выключен"}},
  };
  for (const TCase& c : cases) {
    TWindowRig rig;
    TSongWindow window(rig.Ports(), 1, "qem");
    Show(rig, window, {"", 1, 0, false, c.dotModeBefore, "", {}, {}, {}, "", 0, nullptr});
    rig.lights.lit = c.lit;
    std::string(c.how) == "key" ? Press(window.Editor(), "NumLock") : window.Editor().PointModeExecute();
    EXPECT_EQ(rig.speaker.said, c.said) << c.how << " " << c.lit.value_or(true);
    EXPECT_EQ(rig.locks.num, !c.dotModeBefore);
  }
}

TEST(BrailleCells, SpellNamesTheDotsOfEveryCell) {
  TWindowRig rig;
  TSongWindow window(rig.Ports(), 1, "qem");
  LoadSongText(window, kSong);
  for (uint8_t dots = 1; dots < 64; ++dots) {
    const char c = DotCellChar(dots);
    ASSERT_NE(c, 0) << int(dots);
    EXPECT_EQ(CharDots(c), dots) << c;
  }
  EXPECT_EQ(U(window.Editor().Spell("g")), " Первая Вторая Четвёртая Пятая");
  EXPECT_EQ(U(window.Editor().Spell("")), "Тактовая черта");
  EXPECT_EQ(U(window.Editor().Spell("C")), "C недопустимый символ");
}

TEST(BrailleCells, BracketsAroundTheCaret) {
  struct TCase {
    const char* text;
    int32_t pos;
    bool outside;
  };
  const TCase cases[] = {
      {"", 0, true},          {"P<lab>S", 3, false}, {"P<lab>S", 6, false}, {"P<lab>S", 7, true},
      {"P)blk.S", 4, false},  {"P)blk.S", 7, true},  {"()P", 3, true},      {")/l", 2, true},
      {"P{$x}S", 3, false},   {"P{$x}S", 6, true},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(IsOutsideBrackets(c.text, c.pos), c.outside) << c.text << " " << c.pos;
  }
}

}  // namespace
