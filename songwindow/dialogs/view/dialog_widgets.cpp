#include "songwindow/dialogs/view/dialog_widgets.h"

#include <QInputDialog>
#include <QTextCursor>
#include <QTextDocument>
#include "songwindow/widgets/qt_text.h"
#include "songwindow/widgets/accessible_text.h"

#include <QFocusEvent>
#include <QKeyEvent>

#include <optional>

#include "model/song_file.h"
#include "platform/codec1251.h"
#include "songwindow/parts/key_codes.h"

QString AccessibleNameOf(const std::string& caption) {
  QString name = ToQt(caption);
  name.remove('&');
  while (name.endsWith(':')) {
    name.chop(1);
  }
  return name.trimmed();
}

QLabel* BoundLabel(const std::string& caption, QWidget* field, QWidget* parent) {
  auto* label = new QLabel(ToQt(caption), parent);
  label->setBuddy(field);
  field->setAccessibleName(AccessibleNameOf(caption));
  return label;
}

void HoldWholeSongLines(QLineEdit& edit) {
  edit.setMaxLength(static_cast<int>(kMaxSongLineBytes));
}

QLineEdit* SongTextLineEdit(const std::string& cp1251, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  HoldWholeSongLines(*edit);  // before the text, which would be cut at the default length
  edit->setText(ToQt(cp1251));
  return edit;
}

void SetUpDialog(QDialog& dialog, const std::string& caption) {
  dialog.setWindowTitle(ToQt(caption));
  dialog.setModal(true);
  dialog.setAttribute(Qt::WA_DeleteOnClose, false);
}

TNumberFieldBinding::TNumberFieldBinding(QLineEdit& edit, TNumberField& field, std::function<void()> changed)
    : QObject(&edit), edit_(edit), field_(field), changed_(std::move(changed)) {
  edit_.setReadOnly(field_.ReadOnly);
  edit_.installEventFilter(this);
  // Typed and pasted text alike goes through the field.
  QObject::connect(&edit_, &QLineEdit::textEdited, this, [this](const QString& text) {
    const std::optional<std::string> cp1251 = Utf8ToCp1251Exact(text.toStdString());
    if (!field_.Edited(cp1251.value_or("?"))) {
      SetFieldText(edit_, ToQt(field_.Text));
    }
    changed_();
  });
  Mirror();
}

void TNumberFieldBinding::Mirror() {
  const QString text = ToQt(field_.Text);
  SetFieldText(edit_, text);
  if (field_.SelectAll) {
    edit_.selectAll();
    field_.SelectAll = false;
  }
}

void TNumberFieldBinding::Release() {
  edit_.removeEventFilter(this);
}

bool TNumberFieldBinding::eventFilter(QObject* watched, QEvent* event) {
  if (watched != &edit_) {
    return false;
  }
  switch (event->type()) {
    case QEvent::KeyPress: {
      const auto* key = static_cast<QKeyEvent*>(event);
      const QString text = key->text();
      const bool types = !text.isEmpty() && text.front() >= QChar(' ') && text.front() != QChar(0x7F);
      const bool command = (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) != 0;
      // Other characters are dropped as typed.
      return types && !command && !TNumberField::Accepts(text.front().unicode());
    }
    case QEvent::KeyRelease: {
      const auto* key = static_cast<QKeyEvent*>(event);
      if (key->isAutoRepeat()) {
        return false;
      }
      uint16_t vk = vkNone;
      switch (key->key()) {
        case Qt::Key_PageUp: vk = vkPrior; break;
        case Qt::Key_PageDown: vk = vkNext; break;
        case Qt::Key_Up: vk = vkUp; break;
        case Qt::Key_Down: vk = vkDown; break;
        case Qt::Key_Home: vk = vkHome; break;
        case Qt::Key_End: vk = vkEnd; break;
        default: return false;
      }
      if (field_.KeyUp(vk)) {
        changed_();
        edit_.end(false);
      }
      return false;
    }
    case QEvent::FocusOut:
      if (!field_.RuleWhileTyping) {
        field_.Confirm();
        field_.SelectAll = false;
        changed_();
      }
      return false;
    default:
      return false;
  }
}

QPlainTextEdit* PlainTextEditor(const std::string& label, const std::vector<std::string>& lines, QWidget* parent) {
  auto* text = new QPlainTextEdit(parent);
  text->setObjectName("RichEdit");
  text->setLineWrapMode(QPlainTextEdit::NoWrap);
  text->setTabChangesFocus(true);
  text->setAccessibleName(AccessibleNameOf(label));
  QStringList joined;
  for (const std::string& line : lines) {
    joined.append(ToQt(line));
  }
  text->setPlainText(joined.join('\n'));
  return text;
}

TPlainTextSearch::TPlainTextSearch(QPlainTextEdit& text, std::string findCaption, std::string replaceCaption,
                                   std::function<void()> nothingFound, std::function<void(int32_t)> replaced)
    : text_(text),
      find_caption_(std::move(findCaption)),
      replace_caption_(std::move(replaceCaption)),
      nothing_found_(std::move(nothingFound)),
      replaced_(std::move(replaced)) {}

void TPlainTextSearch::Find(bool again) {
  if (!again || find_text_.isEmpty()) {
    bool ok = false;
    const QString what = QInputDialog::getText(&text_, ToQt(find_caption_), AccessibleNameOf(find_caption_),
                                               QLineEdit::Normal, find_text_, &ok);
    if (!ok || what.isEmpty()) {
      return;
    }
    find_text_ = what;
  }
  if (!text_.find(find_text_)) {
    nothing_found_();
  }
}

void TPlainTextSearch::Replace() {
  if (text_.isReadOnly()) {
    return;
  }
  const QString title = ToQt(replace_caption_);
  bool ok = false;
  const QString what = QInputDialog::getText(&text_, title, AccessibleNameOf(find_caption_), QLineEdit::Normal,
                                             find_text_, &ok);
  if (!ok || what.isEmpty()) {
    return;
  }
  find_text_ = what;
  const QString with =
      QInputDialog::getText(&text_, title, AccessibleNameOf(replace_caption_), QLineEdit::Normal, QString(), &ok);
  if (!ok) {
    return;
  }
  replaced_(ReplaceFromCaret(what, with));
}

int32_t TPlainTextSearch::ReplaceFromCaret(const QString& what, const QString& with) {
  if (what.isEmpty() || text_.isReadOnly()) {
    return 0;
  }
  QTextDocument* document = text_.document();
  QTextCursor at(document);
  at.setPosition(text_.textCursor().selectionStart());
  QTextCursor edit(document);
  int32_t count = 0;
  // The document's find with no flags is the one Find uses: case ignored.
  for (QTextCursor found = document->find(what, at); !found.isNull(); found = document->find(what, at)) {
    if (count == 0) {
      edit.beginEditBlock();  // one undo step for all of them
    }
    found.insertText(with);
    at = found;
    ++count;
  }
  if (count > 0) {
    edit.endEditBlock();
    text_.setTextCursor(at);
  }
  return count;
}

void TCaretKeepingLineEdit::focusInEvent(QFocusEvent* event) {
  const Qt::FocusReason reason = event->reason();
  if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason) {
    QFocusEvent kept(event->type(), Qt::OtherFocusReason);
    QLineEdit::focusInEvent(&kept);
    return;
  }
  QLineEdit::focusInEvent(event);
}
