#include "songwindow/widgets/accessible_text.h"

#include <QAbstractSpinBox>
#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QFontMetrics>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include <algorithm>
#include <vector>

namespace {

enum class TUnitKind { Char, Word, Line, Whole };

// One piece of the text; `Counts` is false for the blanks between words.
struct TUnit {
  int Start;
  int End;
  bool Counts;
};

TUnitKind KindOf(QAccessible::TextBoundaryType boundary, bool multiLine) {
  switch (boundary) {
    case QAccessible::CharBoundary:
      return TUnitKind::Char;
    case QAccessible::WordBoundary:
      return TUnitKind::Word;
    case QAccessible::SentenceBoundary:
    case QAccessible::ParagraphBoundary:
    case QAccessible::LineBoundary:
      return multiLine ? TUnitKind::Line : TUnitKind::Whole;
    case QAccessible::NoBoundary:
      break;
  }
  return TUnitKind::Whole;
}

// The units of `kind` that cover the text, in order. A text that ends with a line end
// has an empty last line.
std::vector<TUnit> Units(const QString& text, TUnitKind kind) {
  const int length = static_cast<int>(text.size());
  std::vector<TUnit> units;
  switch (kind) {
    case TUnitKind::Char:
      for (int i = 0; i < length;) {
        const bool pair = i + 1 < length && text[i].isHighSurrogate() && text[i + 1].isLowSurrogate();
        units.push_back({i, i + (pair ? 2 : 1), true});
        i += pair ? 2 : 1;
      }
      break;
    case TUnitKind::Word:
      for (int i = 0; i < length;) {
        const bool blank = text[i].isSpace();
        int end = i + 1;
        while (end < length && text[end].isSpace() == blank) {
          ++end;
        }
        units.push_back({i, end, !blank});
        i = end;
      }
      break;
    case TUnitKind::Line:
      for (int i = 0;;) {
        const auto lineEnd = static_cast<int>(text.indexOf(QLatin1Char('\n'), i));
        if (lineEnd < 0) {
          units.push_back({i, length, true});
          break;
        }
        units.push_back({i, lineEnd + 1, true});
        i = lineEnd + 1;
      }
      break;
    case TUnitKind::Whole:
      units.push_back({0, length, true});
      break;
  }
  return units;
}

}  // namespace

TTextRange FindTextUnit(const QString& text, bool multiLine, QAccessible::TextBoundaryType boundary,
                        int offset, TUnitPlace place) {
  const int length = static_cast<int>(text.size());
  if (offset < 0 || offset > length) {
    return {};
  }
  const TUnitKind kind = KindOf(boundary, multiLine);
  const std::vector<TUnit> units = Units(text, kind);
  TTextRange at{offset, offset};
  const auto holder = std::find_if(units.begin(), units.end(), [offset](const TUnit& unit) {
    return unit.Start <= offset && offset < unit.End;
  });
  if (holder != units.end()) {
    at = {holder->Start, holder->End};
  } else if (kind != TUnitKind::Char && !units.empty() && units.back().End == length &&
             units.back().Counts) {
    at = {units.back().Start, units.back().End};  // the last word or line ends here
  }
  if (place == TUnitPlace::At) {
    return at;
  }
  if (place == TUnitPlace::Before) {
    for (auto unit = units.rbegin(); unit != units.rend(); ++unit) {
      if (unit->Counts && unit->Start < unit->End && unit->End <= at.Start) {
        return {unit->Start, unit->End};
      }
    }
  } else {
    for (const TUnit& unit : units) {
      if (unit.Counts && unit.Start < unit.End && unit.Start >= at.End) {
        return {unit.Start, unit.End};
      }
    }
  }
  return {offset, offset};
}

TTextChange FindTextChange(const QString& before, const QString& after) {
  const auto shorter = static_cast<int>(std::min(before.size(), after.size()));
  int head = 0;
  while (head < shorter && before[head] == after[head]) {
    ++head;
  }
  int tail = 0;
  while (tail < shorter - head && before[before.size() - 1 - tail] == after[after.size() - 1 - tail]) {
    ++tail;
  }
  // A surrogate pair is never cut.
  if (head > 0 && head < before.size() && before[head].isLowSurrogate()) {
    --head;
  }
  const auto end = static_cast<int>(before.size()) - tail;
  const auto insertedEnd = static_cast<int>(after.size()) - tail;
  return {head, std::max(head, end), after.mid(head, std::max(0, insertedEnd - head))};
}

namespace {

QObject* gQuietField = nullptr;
QAccessible::UpdateHandler gDelivery = nullptr;  // the handler in place before the quiet one

bool IsTextEvent(QAccessible::Event type) {
  switch (type) {
    case QAccessible::TextInserted:
    case QAccessible::TextRemoved:
    case QAccessible::TextUpdated:
    case QAccessible::TextCaretMoved:
    case QAccessible::TextSelectionChanged:
    case QAccessible::TextColumnChanged:
    case QAccessible::ValueChanged:
      return true;
    default:
      return false;
  }
}

// Passes every event on but the quiet field's text events.
void QuietUpdate(QAccessibleEvent* event) {
  QObject* source = event->object();
  if (source == nullptr && event->accessibleInterface() != nullptr) {
    source = event->accessibleInterface()->object();
  }
  if (gQuietField != nullptr && IsTextEvent(event->type()) &&
      (source == gQuietField || (source != nullptr && gQuietField->children().contains(source)))) {
    return;
  }
  if (gDelivery != nullptr) {
    gDelivery(event);
    return;
  }
  // Qt's own delivery: no handler.
  QAccessible::installUpdateHandler(nullptr);
  QAccessible::updateAccessibility(event);
  QAccessible::installUpdateHandler(&QuietUpdate);
}

}  // namespace

TQuietField::TQuietField(QObject* field) : previous_(gQuietField) {
  if (previous_ == nullptr) {
    gDelivery = QAccessible::installUpdateHandler(&QuietUpdate);
  }
  gQuietField = field;
}

TQuietField::~TQuietField() {
  gQuietField = previous_;
  if (previous_ == nullptr) {
    QAccessible::installUpdateHandler(gDelivery);
  }
}

namespace {

TTextEventSink gSink = nullptr;

void Deliver(QAccessibleEvent* event) {
  gSink != nullptr ? gSink(event) : QAccessible::updateAccessibility(event);
}

}  // namespace

void SetAccessibleName(QWidget& widget, const QString& name) {
  if (widget.accessibleName() != name) {
    widget.setAccessibleName(name);
  }
}

void SetTextEventSink(TTextEventSink sink) {
  gSink = sink;
}

void AnnounceTextChange(QObject* field, const TFieldState& before, const TFieldState& after,
                        TChangeCause cause) {
  const bool newLine = cause == TChangeCause::NewLine && before.Text != after.Text;
  if ((gSink == nullptr && !QAccessible::isActive()) || field == nullptr || (before == after && !newLine)) {
    return;
  }
  TTextChange change = FindTextChange(before.Text, after.Text);
  QString removed = before.Text.mid(change.Start, change.End - change.Start);
  if (newLine || (cause == TChangeCause::Command && !removed.isEmpty())) {
    // Told as the new text, never as the old one removed.
    change = {0, 0, after.Text};
    removed.clear();
  }
  // The focused field emptied with nothing told removed: a reader drops a caret move to
  // where it last saw the caret and keeps showing the old text; a selection event makes it
  // read the field again and says nothing. (A reader shows any field a selection event
  // names: another field keeps its caret event.)
  const auto* widget = qobject_cast<const QWidget*>(field);
  const bool emptied = after.Text.isEmpty() && before.Text != after.Text && removed.isEmpty() &&
                       widget != nullptr && widget->hasFocus();
  if (removed.isEmpty() && !change.Inserted.isEmpty()) {
    QAccessibleTextInsertEvent inserted(field, change.Start, change.Inserted);
    inserted.setCursorPosition(after.Caret);
    Deliver(&inserted);
  } else if (!removed.isEmpty() && change.Inserted.isEmpty()) {
    QAccessibleTextRemoveEvent gone(field, change.Start, removed);
    gone.setCursorPosition(after.Caret);
    Deliver(&gone);
  } else if (!removed.isEmpty()) {
    QAccessibleTextUpdateEvent updated(field, change.Start, removed, change.Inserted);
    updated.setCursorPosition(after.Caret);
    Deliver(&updated);
  } else if (!emptied && (before.Caret != after.Caret || newLine || before.Text != after.Text)) {
    QAccessibleTextCursorEvent moved(field, after.Caret);
    Deliver(&moved);
  }
  if (emptied || before.SelStart != after.SelStart || before.SelEnd != after.SelEnd) {
    QAccessibleTextSelectionEvent selected(field, after.SelStart, after.SelEnd);
    selected.setCursorPosition(after.Caret);
    Deliver(&selected);
  }
}

void SetFieldText(QLineEdit& edit, const QString& text) {
  if (edit.text() == text) {
    return;
  }
  const auto state = [&edit] {
    TFieldState now{edit.text(), edit.cursorPosition(), 0, 0};
    if (edit.hasSelectedText()) {
      now.SelStart = edit.selectionStart();
      now.SelEnd = edit.selectionEnd();
    }
    return now;
  };
  const TFieldState before = state();
  {
    const TQuietField quiet(&edit);
    edit.setText(text);
  }
  AnnounceTextChange(&edit, before, state(), TChangeCause::Edit);
}

namespace {

// What every text field answers; the widget kinds supply the reading and editing.
class TAccessibleTextField : public QAccessibleWidget,
                             public QAccessibleTextInterface,
                             public QAccessibleEditableTextInterface {
 public:
  explicit TAccessibleTextField(QWidget* widget, QAccessible::Role role = QAccessible::EditableText)
      : QAccessibleWidget(widget, role) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TextInterface) {
      return static_cast<QAccessibleTextInterface*>(this);
    }
    if (type == QAccessible::EditableTextInterface) {
      return static_cast<QAccessibleEditableTextInterface*>(this);
    }
    return QAccessibleWidget::interface_cast(type);
  }

  QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    state.editable = !ReadOnly();
    state.readOnly = ReadOnly();
    state.selectableText = true;
    state.multiLine = MultiLine();
    state.passwordEdit = Masked();
    return state;
  }

  QString text(QAccessible::Text kind) const override {
    QString result;
    if (kind == QAccessible::Value) {
      result = Shown();
    }
    if (result.isEmpty()) {
      result = QAccessibleWidget::text(kind);
    }
    if (result.isEmpty() && kind == QAccessible::Description) {
      result = Placeholder();
    }
    return result;
  }

  void setText(QAccessible::Text kind, const QString& text) override {
    if (kind == QAccessible::Value) {
      replaceText(0, characterCount(), text);
    } else {
      QAccessibleWidget::setText(kind, text);
    }
  }

  // Text.
  void selection(int selectionIndex, int* startOffset, int* endOffset) const override {
    const TTextRange selected = Selected();
    const bool has = selectionIndex == 0 && selected.Start < selected.End;
    *startOffset = has ? selected.Start : -1;
    *endOffset = has ? selected.End : -1;
  }
  int selectionCount() const override {
    const TTextRange selected = Selected();
    return selected.Start < selected.End ? 1 : 0;
  }
  // A field holds one selection: adding one replaces it.
  void addSelection(int startOffset, int endOffset) override { setSelection(0, startOffset, endOffset); }
  void removeSelection(int selectionIndex) override {
    if (selectionIndex == 0) {
      MoveCaret(cursorPosition());
    }
  }
  void setSelection(int selectionIndex, int startOffset, int endOffset) override {
    if (selectionIndex == 0) {
      Select(Clamped(startOffset), Clamped(endOffset));
    }
  }
  int cursorPosition() const override { return Clamped(Caret()); }
  void setCursorPosition(int position) override { MoveCaret(Clamped(position)); }
  QString text(int startOffset, int endOffset) const override {
    const QString shown = Shown();
    const int length = static_cast<int>(shown.size());
    const int start = std::clamp(startOffset, 0, length);
    const int end = endOffset < 0 ? length : std::clamp(endOffset, start, length);
    return shown.mid(start, end - start);
  }
  QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                           int* endOffset) const override {
    return Unit(offset, boundaryType, TUnitPlace::Before, startOffset, endOffset);
  }
  QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                          int* endOffset) const override {
    return Unit(offset, boundaryType, TUnitPlace::After, startOffset, endOffset);
  }
  QString textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                       int* endOffset) const override {
    return Unit(offset, boundaryType, TUnitPlace::At, startOffset, endOffset);
  }
  int characterCount() const override { return static_cast<int>(Shown().size()); }
  QString attributes(int offset, int* startOffset, int* endOffset) const override {
    // No attributes, over the whole text, so that a reader walking the runs moves on.
    (void)offset;
    *startOffset = 0;
    *endOffset = characterCount();
    return QString();
  }
  QRect characterRect(int offset) const override {
    const int length = characterCount();
    return offset < 0 || offset > length ? QRect() : CharacterBox(offset, length);
  }
  int offsetAtPoint(const QPoint& point) const override {
    int offset = CaretAt(point);
    // The caret place nearest the point lies after the character under its right half.
    if (offset > 0 && characterRect(offset - 1).contains(point)) {
      --offset;
    }
    return offset;
  }
  void scrollToSubstring(int startIndex, int endIndex) override {
    MoveCaret(Clamped(endIndex));
    MoveCaret(Clamped(startIndex));
  }

  // Editable text: through the widget's own editing, never in a read-only field.
  void deleteText(int startOffset, int endOffset) override { replaceText(startOffset, endOffset, QString()); }
  void insertText(int offset, const QString& text) override { replaceText(offset, offset, text); }
  void replaceText(int startOffset, int endOffset, const QString& text) override {
    if (ReadOnly()) {
      return;
    }
    const int start = Clamped(std::min(startOffset, endOffset));
    Replace(start, std::max(start, Clamped(std::max(startOffset, endOffset))), text);
  }

 protected:
  virtual QString Shown() const = 0;
  virtual bool MultiLine() const = 0;
  virtual bool ReadOnly() const = 0;
  virtual bool Masked() const { return false; }
  virtual QString Placeholder() const = 0;
  virtual int Caret() const = 0;
  virtual TTextRange Selected() const = 0;
  virtual void Select(int anchor, int caret) = 0;
  virtual void MoveCaret(int position) = 0;
  virtual void Replace(int start, int end, const QString& text) = 0;
  // The screen box of the character at `offset` (0..length: the place after the last).
  virtual QRect CharacterBox(int offset, int length) const = 0;
  // The caret place nearest a screen point; -1 outside the field.
  virtual int CaretAt(const QPoint& point) const = 0;

  int Clamped(int offset) const { return std::clamp(offset, 0, characterCount()); }

  static int CharacterWidth(const QFontMetrics& metrics, const QString& shown, int offset) {
    const bool character = offset < shown.size() && shown[offset] != QLatin1Char('\n');
    return std::max(1, character ? metrics.horizontalAdvance(shown.mid(offset, 1)) : metrics.averageCharWidth());
  }

 private:
  QString Unit(int offset, QAccessible::TextBoundaryType boundary, TUnitPlace place, int* startOffset,
               int* endOffset) const {
    const QString shown = Shown();
    if (offset == -1) {
      offset = static_cast<int>(shown.size());  // the usual names of the end and of the caret
    } else if (offset == -2) {
      offset = cursorPosition();
    }
    const TTextRange range = FindTextUnit(shown, MultiLine(), boundary, offset, place);
    *startOffset = range.Start;
    *endOffset = range.End;
    return range.Start < 0 ? QString() : shown.mid(range.Start, range.End - range.Start);
  }
};

class TAccessibleLineEdit : public TAccessibleTextField {
 public:
  explicit TAccessibleLineEdit(QWidget* widget, QAccessible::Role role = QAccessible::EditableText)
      : TAccessibleTextField(widget, role) {}

 protected:
  virtual QLineEdit* Edit() const { return qobject_cast<QLineEdit*>(object()); }

  // A password shows as many stars as the field shows characters.
  QString Shown() const override {
    const QLineEdit* edit = Edit();
    if (edit == nullptr) {
      return QString();
    }
    return Masked() ? QString(edit->displayText().size(), QLatin1Char('*')) : edit->displayText();
  }
  bool MultiLine() const override { return false; }
  bool ReadOnly() const override { return Edit() == nullptr || Edit()->isReadOnly(); }
  bool Masked() const override { return Edit() != nullptr && Edit()->echoMode() != QLineEdit::Normal; }
  QString Placeholder() const override { return Edit() != nullptr ? Edit()->placeholderText() : QString(); }
  int Caret() const override { return Edit() != nullptr ? Edit()->cursorPosition() : 0; }
  TTextRange Selected() const override {
    const QLineEdit* edit = Edit();
    if (edit == nullptr || !edit->hasSelectedText()) {
      return {Caret(), Caret()};
    }
    return {edit->selectionStart(), edit->selectionEnd()};
  }
  void Select(int anchor, int caret) override {
    if (QLineEdit* edit = Edit()) {
      edit->setSelection(anchor, caret - anchor);
    }
  }
  void MoveCaret(int position) override {
    if (QLineEdit* edit = Edit()) {
      edit->setCursorPosition(position);
    }
  }
  void Replace(int start, int end, const QString& text) override {
    QLineEdit* edit = Edit();
    if (edit == nullptr) {
      return;
    }
    if (start < end) {
      edit->setSelection(start, end - start);
    } else {
      edit->setCursorPosition(start);
    }
    if (text.isEmpty()) {
      edit->del();
    } else {
      edit->insert(text);
    }
  }
  // Measured from the caret, whose box the field gives with its scrolling and margins.
  QRect CharacterBox(int offset, int length) const override {
    const QLineEdit* edit = Edit();
    if (edit == nullptr) {
      return QRect();
    }
    const QString shown = edit->displayText();
    const QFontMetrics metrics(edit->font());
    const QRect caret = edit->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    const int caretPlace = std::clamp(edit->cursorPosition(), 0, length);
    const int x = caret.center().x() + metrics.horizontalAdvance(shown.left(offset)) -
                  metrics.horizontalAdvance(shown.left(caretPlace));
    return QRect(edit->mapToGlobal(QPoint(x, caret.top())),
                 QSize(CharacterWidth(metrics, shown, offset), caret.height()));
  }
  int CaretAt(const QPoint& point) const override {
    QLineEdit* edit = Edit();
    const QPoint local = edit != nullptr ? edit->mapFromGlobal(point) : QPoint();
    if (edit == nullptr || !edit->rect().contains(local)) {
      return -1;
    }
    return std::clamp(edit->cursorPositionAt(local), 0, characterCount());
  }
};

// A spin box: its text is its line edit's; its value and steps are the box's own.
class TAccessibleSpinBox final : public TAccessibleLineEdit, public QAccessibleValueInterface {
 public:
  explicit TAccessibleSpinBox(QAbstractSpinBox* box) : TAccessibleLineEdit(box, QAccessible::SpinBox) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::ValueInterface) {
      return static_cast<QAccessibleValueInterface*>(this);
    }
    return TAccessibleLineEdit::interface_cast(type);
  }
  QString text(QAccessible::Text kind) const override {
    if (kind == QAccessible::Value && Box() != nullptr) {
      return Box()->text();
    }
    return TAccessibleLineEdit::text(kind);
  }
  QAccessible::State state() const override { return QAccessibleWidget::state(); }

  // Value: the box's "value", "minimum", "maximum" and "singleStep" properties.
  QVariant currentValue() const override { return Property("value"); }
  void setCurrentValue(const QVariant& value) override {
    if (QAbstractSpinBox* box = Box(); box != nullptr && !box->isReadOnly()) {
      box->setProperty("value", value);
    }
  }
  QVariant maximumValue() const override { return Property("maximum"); }
  QVariant minimumValue() const override { return Property("minimum"); }
  QVariant minimumStepSize() const override { return Property("singleStep"); }

  // Actions: the steps up and down, besides the widget's own.
  QStringList actionNames() const override {
    return QStringList{increaseAction(), decreaseAction()} + TAccessibleLineEdit::actionNames();
  }
  void doAction(const QString& name) override {
    QAbstractSpinBox* box = Box();
    if (box != nullptr && name == increaseAction()) {
      box->stepUp();
    } else if (box != nullptr && name == decreaseAction()) {
      box->stepDown();
    } else {
      TAccessibleLineEdit::doAction(name);
    }
  }

 protected:
  QAbstractSpinBox* Box() const { return qobject_cast<QAbstractSpinBox*>(object()); }
  QLineEdit* Edit() const override {
    return Box() != nullptr ? Box()->findChild<QLineEdit*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
  }
  bool ReadOnly() const override { return Box() == nullptr || Box()->isReadOnly(); }
  bool Masked() const override { return false; }
  QVariant Property(const char* name) const { return Box() != nullptr ? Box()->property(name) : QVariant(); }
};

// QPlainTextEdit and QTextEdit: a document shown in a scrolled viewport.
template <class TEdit>
class TAccessibleDocumentEdit final : public TAccessibleTextField {
 public:
  explicit TAccessibleDocumentEdit(TEdit* edit) : TAccessibleTextField(edit) {}

 protected:
  TEdit* Edit() const { return qobject_cast<TEdit*>(object()); }

  QString Shown() const override { return Edit() != nullptr ? Edit()->document()->toPlainText() : QString(); }
  bool MultiLine() const override { return true; }
  bool ReadOnly() const override { return Edit() == nullptr || Edit()->isReadOnly(); }
  QString Placeholder() const override { return Edit() != nullptr ? Edit()->placeholderText() : QString(); }
  int Caret() const override { return Edit() != nullptr ? Edit()->textCursor().position() : 0; }
  TTextRange Selected() const override {
    if (Edit() == nullptr) {
      return {0, 0};
    }
    const QTextCursor cursor = Edit()->textCursor();
    return {cursor.selectionStart(), cursor.selectionEnd()};
  }
  void Select(int anchor, int caret) override {
    if (TEdit* edit = Edit()) {
      QTextCursor cursor = edit->textCursor();
      cursor.setPosition(anchor);
      cursor.setPosition(caret, QTextCursor::KeepAnchor);
      edit->setTextCursor(cursor);
    }
  }
  void MoveCaret(int position) override {
    if (TEdit* edit = Edit()) {
      QTextCursor cursor = edit->textCursor();
      cursor.setPosition(position);
      edit->setTextCursor(cursor);
      edit->ensureCursorVisible();
    }
  }
  void Replace(int start, int end, const QString& text) override {
    if (TEdit* edit = Edit()) {
      QTextCursor cursor = edit->textCursor();
      cursor.setPosition(start);
      cursor.setPosition(end, QTextCursor::KeepAnchor);
      cursor.insertText(text);
      edit->setTextCursor(cursor);
    }
  }
  QRect CharacterBox(int offset, int /*length*/) const override {
    const TEdit* edit = Edit();
    if (edit == nullptr) {
      return QRect();
    }
    QTextCursor cursor(edit->document());
    cursor.setPosition(offset);
    const QRect caret = edit->cursorRect(cursor);
    const QFontMetrics metrics(edit->font());
    return QRect(edit->viewport()->mapToGlobal(caret.topLeft()),
                 QSize(CharacterWidth(metrics, Shown(), offset), caret.height()));
  }
  int CaretAt(const QPoint& point) const override {
    const TEdit* edit = Edit();
    const QPoint local = edit != nullptr ? edit->viewport()->mapFromGlobal(point) : QPoint();
    if (edit == nullptr || !edit->viewport()->rect().contains(local)) {
      return -1;
    }
    return std::clamp(edit->cursorForPosition(local).position(), 0, characterCount());
  }
};

// A combo box that is not editable: its chosen item is also its text, so that a screen
// reader says the choice with the label (Orca reads a combo box's value from its text
// when it offers no selection, and Qt 6.4 offers none). The name is the choice, as Qt's.
class TAccessibleChoice final : public TAccessibleTextField {
 public:
  explicit TAccessibleChoice(QComboBox* box) : TAccessibleTextField(box, QAccessible::ComboBox) {}

  QString text(QAccessible::Text kind) const override {
    if (kind == QAccessible::Name && Box() != nullptr) {
      return Box()->currentText();
    }
    return TAccessibleTextField::text(kind);
  }
  QAccessible::State state() const override {
    QAccessible::State state = TAccessibleTextField::state();
    state.expandable = true;
    state.expanded = Box() != nullptr && Box()->view() != nullptr && Box()->view()->isVisible();
    return state;
  }
  // The list of choices, as Qt gives it.
  int childCount() const override { return View() != nullptr ? 1 : 0; }
  QAccessibleInterface* child(int index) const override {
    return index == 0 && View() != nullptr ? QAccessible::queryAccessibleInterface(View()) : nullptr;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    return child != nullptr && View() != nullptr && child->object() == View() ? 0 : -1;
  }

 protected:
  QString Shown() const override { return Box() != nullptr ? Box()->currentText() : QString(); }
  bool MultiLine() const override { return false; }
  bool ReadOnly() const override { return true; }
  QString Placeholder() const override { return QString(); }
  int Caret() const override { return 0; }
  TTextRange Selected() const override { return {0, 0}; }
  void Select(int, int) override {}
  void MoveCaret(int) override {}
  void Replace(int, int, const QString&) override {}
  // The choice stands at the box's left, after its margin.
  QRect CharacterBox(int offset, int length) const override {
    const QComboBox* box = Box();
    if (box == nullptr) {
      return QRect();
    }
    const QString shown = Shown();
    const QFontMetrics metrics(box->font());
    const int x = metrics.averageCharWidth() + metrics.horizontalAdvance(shown.left(std::min(offset, length)));
    return QRect(box->mapToGlobal(QPoint(x, 0)), QSize(CharacterWidth(metrics, shown, offset), box->height()));
  }
  int CaretAt(const QPoint& point) const override {
    const QComboBox* box = Box();
    return box != nullptr && box->rect().contains(box->mapFromGlobal(point)) ? 0 : -1;
  }

 private:
  QComboBox* Box() const { return qobject_cast<QComboBox*>(object()); }
  QAbstractItemView* View() const { return Box() != nullptr ? Box()->view() : nullptr; }
};

QAccessibleInterface* TextFieldFactory(const QString& className, QObject* object) {
  if (className == QLatin1String("QLineEdit")) {
    if (auto* edit = qobject_cast<QLineEdit*>(object)) {
      return new TAccessibleLineEdit(edit);
    }
  } else if (className == QLatin1String("QSpinBox") || className == QLatin1String("QDoubleSpinBox") ||
             className == QLatin1String("QAbstractSpinBox")) {
    if (auto* box = qobject_cast<QAbstractSpinBox*>(object)) {
      return new TAccessibleSpinBox(box);
    }
  } else if (className == QLatin1String("QComboBox")) {
    if (auto* box = qobject_cast<QComboBox*>(object); box != nullptr && !box->isEditable()) {
      return new TAccessibleChoice(box);
    }
  } else if (className == QLatin1String("QPlainTextEdit")) {
    if (auto* edit = qobject_cast<QPlainTextEdit*>(object)) {
      return new TAccessibleDocumentEdit<QPlainTextEdit>(edit);
    }
  } else if (className == QLatin1String("QTextEdit")) {
    if (auto* edit = qobject_cast<QTextEdit*>(object)) {
      return new TAccessibleDocumentEdit<QTextEdit>(edit);
    }
  }
  return nullptr;
}

}  // namespace

void InstallAccessibleText() {
  QAccessible::installFactory(&TextFieldFactory);
}
