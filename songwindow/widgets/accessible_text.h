// The accessible interface of the program's text fields (QLineEdit, QPlainTextEdit,
// QTextEdit; a combo box that is not editable reads as its choice), answered from the
// widgets' public API. Screen readers ask it for characters, words and lines around the
// caret; every offset from 0 to the length is answered, and an offset outside the text
// gets an empty answer.
#pragma once

#include <QAccessible>
#include <QString>

// Where a text unit lies relative to an offset.
enum class TUnitPlace { Before, At, After };

// A range of text: [Start, End). Start = End = -1 for an offset outside the text.
struct TTextRange {
  int Start = -1;
  int End = -1;
  bool operator==(const TTextRange&) const = default;
};

// The unit of kind `boundary` at, before or after `offset` in `text`. A word is a run of
// non-blank characters (the blanks between words are a unit of their own at an offset,
// and skipped before and after one); in a one-line field a line, sentence and paragraph
// are the whole field; in a multi-line field they are a text line with its line end.
// At the length: the last character has no unit, the last word only if nothing follows
// it, the last line always. No unit: an empty range at the offset.
TTextRange FindTextUnit(const QString& text, bool multiLine, QAccessible::TextBoundaryType boundary,
                        int offset, TUnitPlace place);

// The part of `before` that a change to `after` replaces: [Start, End) of `before`, and
// the text put there. Nothing differs: an empty range and an empty text.
struct TTextChange {
  int Start = 0;
  int End = 0;
  QString Inserted;
  bool operator==(const TTextChange&) const = default;
};
TTextChange FindTextChange(const QString& before, const QString& after);

// While it lives, the field's own events of its text, caret and selection do not reach
// the screen reader: the program sets a field's text and caret quietly and tells the
// reader once with AnnounceTextChange.
class TQuietField {
 public:
  explicit TQuietField(QObject* field);
  ~TQuietField();
  TQuietField(const TQuietField&) = delete;
  TQuietField& operator=(const TQuietField&) = delete;

 private:
  QObject* previous_;
};

// A field as the screen reader knows it: its text, caret and selection [SelStart, SelEnd).
struct TFieldState {
  QString Text;
  int Caret = 0;
  int SelStart = 0;
  int SelEnd = 0;
  bool operator==(const TFieldState&) const = default;
};

// What made a change of a field that the program tells the screen reader of.
enum class TChangeCause {
  Edit,     // a key the reader heard: the cells removed and inserted, as Qt tells of a typed key
  Command,  // a window command, whose key the reader never hears (a shortcut): nothing is
            // told removed, for a reader takes a removal for its last Backspace or Delete
            // and speaks the removed text; cells only added are told as an edit's
  NewLine,  // a line of another place shown in place of the old one: told as a command's,
            // the new line inserted whole
};

// Tells the screen reader what the program changed in a field. An edit: the cells removed
// and inserted where the texts differ, with the caret where it is now, else the caret
// moved. A command's change or a new line that removes cells: the new text inserted whole
// at the start with the caret (readers read the field anew at each change, so the Braille
// line shows the new text), or, when the field is now empty, the caret moved, for the
// focused field the selection told instead (a reader drops a caret move to where it saw
// the caret last, and reads the field anew at a selection event without saying anything).
// Then the selection if it changed.
void AnnounceTextChange(QObject* field, const TFieldState& before, const TFieldState& after,
                        TChangeCause cause);
class QLineEdit;
// A one-line field filled by the program: its new text reaches the screen reader as the
// cells changed, with the caret where the field puts it (at the end).
void SetFieldText(QLineEdit& edit, const QString& text);

class QWidget;
// Gives `widget` the accessible name when it differs from the one it has: Qt tells the
// screen reader of every name set, and the reader asks the program again for each.
void SetAccessibleName(QWidget& widget, const QString& name);

// Where AnnounceTextChange sends its events; none: to Qt (the screen reader).
using TTextEventSink = void (*)(QAccessibleEvent*);
void SetTextEventSink(TTextEventSink sink);

// Installs the factory of the text fields' interface. Call after the QApplication is
// made (the factories installed last are asked first) and before any widget is made.
void InstallAccessibleText();
