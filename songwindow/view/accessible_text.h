// The accessible interface of the program's text fields (QLineEdit, QPlainTextEdit,
// QTextEdit), answered from the widgets' public API. Screen readers ask it for characters,
// words and lines around the caret; every offset from 0 to the length is answered, and
// an offset outside the text gets an empty answer.
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

// Installs the factory of the text fields' interface. Call after the QApplication is
// made (the factories installed last are asked first) and before any widget is made.
void InstallAccessibleText();
