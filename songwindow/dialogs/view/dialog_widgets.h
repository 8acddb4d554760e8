// Pieces the window's dialogs share: labels bound to their fields, accessible names, the
// number fields' key binding, and the frame every dialog gets.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QObject>
#include <QPlainTextEdit>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "songwindow/parts/number_field.h"

// A caption (code page 1251) without its accelerator mark and trailing colon.
QString AccessibleNameOf(const std::string& caption);

// A label with `caption` bound to `field`, which takes the caption as its accessible name.
QLabel* BoundLabel(const std::string& caption, QWidget* field, QWidget* parent);

// A line edit showing song text (code page 1251): it holds every line a song file may hold,
// where a QLineEdit keeps 32,767 characters unless told, so that nothing is cut.
QLineEdit* SongTextLineEdit(const std::string& cp1251, QWidget* parent);
void HoldWholeSongLines(QLineEdit& edit);

// A modal dialog captioned `caption`, its text given by the program's language.
void SetUpDialog(QDialog& dialog, const std::string& caption);

// Binds a line edit to a number field: only digits are typed, a paste goes through the
// field (refused when it is no number the field takes), the step keys act on release,
// and the field's corrections are shown. `changed` runs after each change (the dialog shows
// its other fields again).
// A line edit that, entered by Tab or a shortcut, keeps its caret instead of selecting its
// text: a key types at the caret, and a screen reader never hears a selection made and
// dropped by moving on.
class TCaretKeepingLineEdit : public QLineEdit {
 public:
  using QLineEdit::QLineEdit;

 protected:
  void focusInEvent(QFocusEvent* event) override;
};

class TNumberFieldBinding : public QObject {
 public:
  TNumberFieldBinding(QLineEdit& edit, TNumberField& field, std::function<void()> changed);
  // Shows the field's text, selected when the field's rule corrected it.
  void Mirror();
  // Stops watching the line edit (before the dialog is taken down).
  void Release();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLineEdit& edit_;
  TNumberField& field_;
  std::function<void()> changed_;
};

// The plain text editor of a dialog (track text, module): no wrapping, Tab leaves it,
// named by `label`, holding `lines` (code page 1251).
QPlainTextEdit* PlainTextEditor(const std::string& label, const std::vector<std::string>& lines, QWidget* parent);

// Find, find next and replace in a plain text editor (the track text and module editors):
// the texts asked in small prompts captioned findCaption and replaceCaption; the search text
// is kept for Find next; nothingFound runs when Find finds nothing, replaced with the number
// of texts Replace put in.
class TPlainTextSearch {
 public:
  TPlainTextSearch(QPlainTextEdit& text, std::string findCaption, std::string replaceCaption,
                   std::function<void()> nothingFound, std::function<void(int32_t)> replaced);
  void Find(bool again);
  // Asks for the two texts, then replaces from the caret.
  void Replace();
  // Every occurrence of what from the caret (the selection's start) to the end, matched as
  // Find matches (case ignored), becomes with, in one undo step of the editor; each search
  // goes on after the text put in. The caret ends after the last text put in. The count.
  int32_t ReplaceFromCaret(const QString& what, const QString& with);

 private:
  QPlainTextEdit& text_;
  std::string find_caption_;
  std::string replace_caption_;
  std::function<void()> nothing_found_;
  std::function<void(int32_t)> replaced_;
  QString find_text_;
};
