#include "songwindow/controller/notation_menu.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "feedback/signals.h"
#include "notation/braille_reader.h"
#include "settings/lang_texts.h"
#include "songwindow/controller/braille_editor.h"
#include "tests/songwindow/command_rig.h"

namespace songwindowtest {
namespace {

std::vector<std::string> Cp(const std::vector<std::string>& utf8) {
  std::vector<std::string> lines;
  for (const std::string& line : utf8) {
    lines.push_back(W(line));
  }
  return lines;
}

// The menu as "caption=text" entries, submenus as "[caption: ...]", separators as "|".
std::string Shape(const std::vector<TNotationMenuItem>& items) {
  std::string out;
  for (const TNotationMenuItem& item : items) {
    out += out.empty() ? "" : " ";
    switch (item.Kind) {
      case TNotationEntry::Submenu:
        out += "[" + U(item.Caption) + ": " + Shape(item.Items) + "]";
        break;
      case TNotationEntry::Separator:
        out += "|";
        break;
      case TNotationEntry::Insert:
        out += U(item.Caption) + "=" + U(item.Text);
        break;
    }
  }
  return out;
}

struct BuildCase {
  const char* name;
  std::vector<std::string> lines;
  const char* shape;
  std::vector<std::string> rewritten;
};

TEST(NotationMenu, BuildsSubmenusItemsAndSeparators) {
  UnloadLanguage();
  const BuildCase cases[] = {
      {"submenu closed by a dash", {"+Notes", "Whole=c", "-", "Bar=!"}, "[Notes: Whole=c] Bar=!", {"", "1=c", "", "2=!"}},
      {"language group falls back to its text", {"{12=Пауза}=m"}, "Пауза=m", {"1=m"}},
      {"group of an id alone gives nothing", {"{12} rest=m"}, " rest=m", {"1=m"}},
      {"dash at the top level is a separator", {"A=a", "-", "B=b"}, "A=a | B=b", {"1=a", "2=", "3=b"}},
      {"plus signs are not counted", {"++Outer", "+Inner", "X=x", "-", "Y=y"}, "[Outer: [Inner: X=x] Y=y]",
       {"", "", "1=x", "", "2=y"}},
      {"caption without text, empty line", {"Nothing", ""}, "Nothing= =", {"1=", "2="}},
      {"a brace group of a brace gives a plain brace", {"Harmony={{}$C}"}, "Harmony={$C}", {"1={$C}"}},
      {"an unclosed brace stays", {"Open={$"}, "Open={$", {"1={$"}},
  };
  for (const BuildCase& c : cases) {
    std::vector<std::string> lines = Cp(c.lines);
    const std::vector<TNotationMenuItem> menu = BuildNotationMenu(lines);
    EXPECT_EQ(Shape(menu), c.shape) << c.name;
    EXPECT_EQ(lines, Cp(c.rewritten)) << c.name;
  }
}

TEST(NotationMenu, LanguageGroupTakesTheLoadedText) {
  ASSERT_TRUE(LoadLanguageFile(std::string(VELTO_SOURCE_DIR) + "/resources/Languages/English.lng"));
  std::string text;
  std::string caption;
  GetCaption(W("+{284=Пауза}, {1451=целая}=m"), text, caption);
  EXPECT_EQ(caption, "Rest, Whole or 16th");
  EXPECT_EQ(text, "m");
  UnloadLanguage();
  GetCaption(W("{284=Пауза}=m"), text, caption);
  EXPECT_EQ(U(caption), "Пауза");
}

// A window on the command song whose program folder holds a menu file.
class InsertMenuTest : public CommandTest {
 protected:
  void WriteMenu(const std::vector<std::string>& utf8) {
    std::ofstream file(rig_.home.Dir().Path() + "Resources/qem.zel", std::ios::binary);
    for (const std::string& line : utf8) {
      file << W(line) << "\r\n";
    }
  }
  // The editor shows `line` with the caret at `caret`, focused.
  void Line(const std::string& line, uint16_t caret) {
    rig_.editors.notes = line;
    rig_.editors.caret = rig_.editors.anchor = caret;
    rig_.editors.notes_focused = true;
  }
};

TEST_F(InsertMenuTest, ChosenItemIsInsertedAsOneUndoStep) {
  WriteMenu({"+Ноты", "Ре четвертная=S", "-", "Пусто", "Тактовая черта=(k"});
  window_.InitialMenuBraileNotation();
  EXPECT_TRUE(window_.Actions["QEMHelper"].Enabled);
  GoTo(2, 2);  // Drums, measure 2, voice 1: "y"
  Line("!PP", 2);
  rig_.windowDialogs.answers[TWindowDialog::NotationMenu] = [this] { window_.InsertBraileNotation(1); };
  const int32_t count = UndoCount();
  window_.QEMHelper();
  ASSERT_EQ(rig_.windowDialogs.shown, std::vector<TWindowDialog>{TWindowDialog::NotationMenu});
  EXPECT_EQ(rig_.editors.notes, "!PSP");
  EXPECT_EQ(rig_.editors.caret, 3);
  EXPECT_EQ(Track(2)->MusicStrings[1], "!PSP");
  EXPECT_EQ(UndoCount(), count + 1);
  EXPECT_EQ(UndoLabel(), "Ре четвертная");
  EXPECT_TRUE(window_.Modified);
  // The note the text ends sounds (D of octave 5) and, undescribed, the text is said.
  EXPECT_NE(std::find(rig_.preview.sent.begin(), rig_.preview.sent.end(), "on 0 9 62 81"), rig_.preview.sent.end());
  EXPECT_EQ(rig_.speaker.said, std::vector<std::string>{"S S"});
  EXPECT_TRUE(window_.LastAuditionText.empty());
  RestoreNewest();
  EXPECT_EQ(Track(2)->MusicStrings[1], "!PP");
}

TEST_F(InsertMenuTest, TheMenuFollowsTheLanguageAndIsOffWhenEmpty) {
  WriteMenu({"+{1450=Ноты}", "{1481=Точка}=."});
  ASSERT_TRUE(LoadLanguageFile(std::string(VELTO_SOURCE_DIR) + "/resources/Languages/English.lng"));
  window_.SetLanguage();
  UnloadLanguage();
  EXPECT_EQ(Shape(window_.NotationMenu), "[Notes: Dot=.]");
  rig_.editors.notes_focused = true;
  window_.NotesEdit1Enter();
  EXPECT_TRUE(window_.Actions["QEMHelper"].Enabled);
  WriteMenu({});
  window_.SetLanguage();
  EXPECT_TRUE(window_.NotationMenu.empty());
  window_.NotesEdit1Enter();
  window_.ShowTreck(smSilent);
  EXPECT_FALSE(window_.Actions["QEMHelper"].Enabled);
}

TEST_F(InsertMenuTest, DotModeSpellsTheInsertedText) {
  WriteMenu({"Тактовая черта=(k"});
  window_.InitialMenuBraileNotation();
  GoTo(1, 2);
  Line("", 0);
  rig_.locks.num = true;
  window_.InsertBraileNotation(1);
  EXPECT_EQ(rig_.editors.notes, "(k");
  EXPECT_EQ(rig_.speaker.said, (std::vector<std::string>{"S  Первая Вторая Шестая", "S  Первая Третья"}));
}

TEST_F(InsertMenuTest, EmptyTextUnknownItemAndMissingFile) {
  WriteMenu({"Пусто", "-"});
  window_.InitialMenuBraileNotation();
  GoTo(1, 2);
  Line("!P", 2);
  const int32_t count = UndoCount();
  window_.InsertBraileNotation(1);  // no text: nothing happens
  window_.InsertBraileNotation(2);  // the separator inserts nothing either: an error
  window_.InsertBraileNotation(9);
  EXPECT_EQ(rig_.editors.notes, "!P");
  EXPECT_EQ(UndoCount(), count);
  EXPECT_EQ(rig_.signaller.kinds, (std::vector<uint8_t>{sError, sError}));

  std::filesystem::remove(rig_.home.Dir().Path() + "Resources/qem.zel");
  window_.InitialMenuBraileNotation();
  EXPECT_TRUE(window_.NotationMenu.empty());
  EXPECT_FALSE(window_.Actions["QEMHelper"].Enabled);
  rig_.signaller.kinds.clear();
  window_.QEMHelper();
  EXPECT_TRUE(rig_.windowDialogs.shown.empty());
  EXPECT_EQ(rig_.signaller.kinds, std::vector<uint8_t>{sError});
}

TEST_F(InsertMenuTest, EnterOutsideAdvancedEditingOpensTheMenu) {
  WriteMenu({"Точка=."});
  window_.InitialMenuBraileNotation();
  GoTo(1, 2);
  Line("!P", 2);
  window_.Editor().KeyPress(U'\r');
  EXPECT_EQ(rig_.windowDialogs.shown, std::vector<TWindowDialog>{TWindowDialog::NotationMenu});
}

TEST_F(InsertMenuTest, PasteReplacesAnEmptyVoiceAndClearSelection) {
  GoTo(1, 2);
  Line("m", 1);
  rig_.clipboard.text = "!P";
  window_.PasteFromKey();
  EXPECT_EQ(rig_.editors.notes, "!P");
  EXPECT_EQ(UndoLabel(), "вставку из буфера");
  Line("!PSN", 4);
  rig_.editors.anchor = 2;
  window_.CopyInKey();
  EXPECT_EQ(rig_.clipboard.text, "SN");
  window_.DeleteSelection();
  EXPECT_EQ(rig_.editors.notes, "!P");
  EXPECT_EQ(UndoLabel(), "очистку выделения");
  window_.SelectAll();
  EXPECT_EQ(rig_.editors.anchor, 0);
  EXPECT_EQ(rig_.editors.caret, 2);
}

// How a menu item's text reads: the reader's kind and what it set.
struct TReading {
  TSignKind kind = TSignKind::None;
  bool whole = false;  // every character read, no error
  int32_t step = 0, value = 0, octave = 0;
  TKeySign accidental = TKeySign::No;
  uint8_t tuplet = 0;
  TVoiceState voice;
  uint8_t transposition = 128;
  std::vector<TSignKind> pending;
};

// Reads text as voice 1 of a 4/4 measure at octave 5, in the middle of the measure or at
// its start (signatures are read only there).
TReading ReadItem(const std::string& text, bool measureStart, uint8_t num = 4) {
  TReaderContext ctx;
  ctx.Voices[1].TimeNum = num;
  ctx.Voices[1].TimeDen = 4;
  ctx.Voices[1].Octave = 5;
  ctx.MeasureStart = measureStart;
  TMeasureText measure(text);
  TErrorRecord errors;
  TReading r;
  uint8_t counter = 1;
  r.tuplet = 1;
  std::string token;
  TVoiceState& v = ctx.Voices[1];
  r.kind = ReadBrailleToken(ctx, measure, token, v.Step, r.value, v.Octave, r.accidental, counter, r.tuplet, errors, 1);
  r.whole = measure.Empty() && errors.Code() == 0;
  r.step = v.Step;
  r.octave = v.Octave;
  r.voice = v;
  r.transposition = ctx.Transposition;
  r.pending = ctx.PendingSigns;
  return r;
}

// The kind, or, for a sign that ends the text, the rest the reader fills the measure with
// after it, carrying the sign.
bool ReadsAs(const TReading& r, TSignKind kind) {
  return r.kind == kind || (r.kind == TSignKind::Note && r.step == 0 &&
                            std::find(r.pending.begin(), r.pending.end(), kind) != r.pending.end());
}

bool Starts(const std::string& text, const char* prefix) {
  return text.rfind(prefix, 0) == 0;
}

// The number at the end of a caption ("Группа из 5": 5).
int32_t TrailingNumber(const std::string& caption) {
  const size_t digits = caption.find_last_not_of("0123456789");
  return std::stoi(caption.substr(digits + 1));
}

void Walk(const std::vector<TNotationMenuItem>& items, std::vector<const TNotationMenuItem*>& out) {
  for (const TNotationMenuItem& item : items) {
    if (item.Kind == TNotationEntry::Submenu) {
      Walk(item.Items, out);
    } else if (item.Kind == TNotationEntry::Insert) {
      out.push_back(&item);
    }
  }
}

// Each item of the installed menu, by its built-in caption, reads as the sign it names.
TEST(NotationMenu, EveryInstalledItemReadsAsItsSign) {
  UnloadLanguage();
  std::vector<std::string> lines;
  ASSERT_TRUE(ReadMenuFile(std::string(VELTO_SOURCE_DIR) + "/resources/Resources/qem.zel", lines));
  std::vector<const TNotationMenuItem*> items;
  const std::vector<TNotationMenuItem> menu = BuildNotationMenu(lines);
  Walk(menu, items);
  ASSERT_GT(items.size(), 100u);
  const char* steps[] = {"Пауза", "До", "Ре", "Ми", "Фа", "Соль", "Ля", "Си"};
  const char* values[] = {"Целая", "Половинная", "Четвертная", "Восьмая"};
  const char* octaves[] = {"Субконтр", "Контр", "Большая", "Малая", "Первая", "Вторая", "Третья", "Четвёртая", "Пятая"};
  const char* accidentals[] = {"Дубль-бемоль", "Бемоль", "Бекар", "Диез", "Дубль-диез"};
  const TKeySign signs[] = {TKeySign::DoubleFlat, TKeySign::Flat, TKeySign::Natural, TKeySign::Sharp, TKeySign::DoubleSharp};
  const char* intervals[] = {"Секунда", "Терция", "Кварта", "Квинта", "Секста", "Септима", "Октава"};
  const std::map<std::string, TSignKind> plain = {
      {"Точка", TSignKind::Dot}, {"Лига", TSignKind::Slur}, {"Двойная лига (фразировка)", TSignKind::DoubleSlur},
      {"Лига держания", TSignKind::Tie}, {"Лига держания аккорда", TSignKind::ChordTie},
      {"Лига держания всех нот аккорда", TSignKind::ChordTieAll}, {"Стаккато", TSignKind::Staccato},
      {"Стаккато на весь пассаж", TSignKind::Staccato}, {"Стаккатиссимо", TSignKind::Staccatissimo},
      {"Стаккатиссимо на весь пассаж", TSignKind::Staccatissimo}, {"Крещендо", TSignKind::Crescendo},
      {"Крупные длительности", TSignKind::LargeValues}, {"Мелкие длительности", TSignKind::SmallValues},
      {"Разделитель голосов", TSignKind::InAccord}, {"Конечная тактовая черта", TSignKind::FinalBar},
      {"Вызов блока (далее имя и точка)", TSignKind::BlockCall}, {"Метка (далее имя и знак >)", TSignKind::Label},
      {"Гармония (далее аккорд и закрывающая скобка)", TSignKind::AttachedText},
      {"MIDI-данные (далее байты и закрывающая скобка)", TSignKind::AttachedHex},
  };
  for (const TNotationMenuItem* item : items) {
    const std::string caption = U(item->Caption);
    const std::string& text = item->Text;
    SCOPED_TRACE(caption + " = " + text);
    bool named = false;
    for (int s = 0; s < 8; ++s) {
      for (int v = 0; v < 4; ++v) {
        if (caption == std::string(steps[s]) + ", " + values[v] + " или " +
                           (v == 0 ? "шестнадцатая" : v == 1 ? "тридцать вторая" : v == 2 ? "шестьдесят четвёртая"
                                                                                         : "сто двадцать восьмая")) {
          const TReading r = ReadItem(text, false);
          EXPECT_EQ(r.kind, TSignKind::Note);
          EXPECT_EQ(r.step, s);
          EXPECT_EQ(r.value, 1 << v);
          EXPECT_TRUE(r.whole);
          named = true;
        }
      }
    }
    for (int o = 0; o < 9; ++o) {
      if (Starts(caption, octaves[o])) {
        const TReading r = ReadItem(text, false);
        EXPECT_EQ(r.kind, TSignKind::Octave);
        EXPECT_EQ(r.octave, o + 1);
        EXPECT_TRUE(r.whole);
        named = true;
      }
    }
    for (int a = 0; a < 5; ++a) {
      if (caption == accidentals[a]) {
        const TReading r = ReadItem(text, false);
        EXPECT_EQ(r.kind, TSignKind::None);  // an accidental is a prefix of the next note
        EXPECT_EQ(r.accidental, signs[a]);
        EXPECT_TRUE(r.whole);
        named = true;
      }
    }
    for (int i = 0; i < 7; ++i) {
      if (caption == intervals[i]) {
        const TReading r = ReadItem(text, false);
        EXPECT_EQ(r.kind, TSignKind::Interval);
        EXPECT_EQ(r.value, i + 2);
        EXPECT_TRUE(r.whole);
        named = true;
      }
    }
    if (auto found = plain.find(caption); found != plain.end()) {
      const TReading r = ReadItem(text, false);
      EXPECT_TRUE(ReadsAs(r, found->second));
      EXPECT_TRUE(r.whole);
      named = true;
    }
    if (caption == "Триоль" || Starts(caption, "Группа из ")) {
      const TReading r = ReadItem(text, false);
      EXPECT_EQ(r.tuplet, caption == "Триоль" ? 3 : TrailingNumber(caption));
      EXPECT_TRUE(r.whole);
      named = true;
    }
    if (Starts(caption, "Размер ")) {
      const size_t slash = caption.find('/');
      const TReading r = ReadItem(text, true);
      const size_t blank = caption.find(' ') + 1;
      EXPECT_EQ(r.voice.TimeNum, std::stoi(caption.substr(blank, slash - blank)));
      EXPECT_EQ(r.voice.TimeDen, TrailingNumber(caption));
      EXPECT_EQ(r.pending, std::vector<TSignKind>{TSignKind::Signature});
      named = true;
    }
    if (Starts(caption, "Диезов при ключе") || Starts(caption, "Бемолей при ключе")) {
      const TReading r = ReadItem(text, true);
      EXPECT_EQ(r.voice.Key, (Starts(caption, "Диез") ? 1 : -1) * TrailingNumber(caption));
      EXPECT_EQ(r.voice.TimeNum, 4);
      EXPECT_EQ(r.pending, std::vector<TSignKind>{TSignKind::Signature});
      named = true;
    }
    if (Starts(caption, "Ключ ")) {
      const TReading r = ReadItem(text, false);
      EXPECT_TRUE(ReadsAs(r, TSignKind::Clef));
      EXPECT_TRUE(IsClefSign(text.substr(0, 3)) || IsClefSign(text.substr(0, 4)));
      EXPECT_EQ(r.transposition, caption.find("октавой ниже") != std::string::npos ? 116 : 128);
      EXPECT_TRUE(r.whole);
      named = true;
    }
    if (Starts(caption, "Правая рука") || Starts(caption, "Левая рука")) {
      const TReading r = ReadItem(text, false);
      EXPECT_EQ(r.voice.Mode, Starts(caption, "Правая") ? kHandDownward
                              : caption.find("аккордеона") != std::string::npos ? kHandAccordion
                                                                                : kHandUpward);
      EXPECT_TRUE(r.whole);
      named = true;
    }
    if (caption == "Пауза на весь такт") {
      const TReading r = ReadItem(text, true, 3);  // fills a 3/4 measure: a dotted half rest
      EXPECT_EQ(r.kind, TSignKind::Note);
      EXPECT_EQ(r.step, 0);
      EXPECT_EQ(r.value, 2);
      named = true;
    }
    EXPECT_TRUE(named) << "no sign named by this caption";
  }
}

}  // namespace
}  // namespace songwindowtest
