#include "songwindow/dialogs/view/instrument_dialogs_view.h"
#include "songwindow/widgets/qt_text.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QVBoxLayout>

#include "songwindow/widgets/apply_colours.h"
#include "songwindow/widgets/accessible_text.h"

namespace {

QPushButton* Button(const std::string& caption, const char* name, QWidget* parent) {
  auto* button = new QPushButton(ToQt(caption), parent);
  button->setObjectName(name);
  button->setAutoDefault(false);
  return button;
}

QLineEdit* NumberEdit(const char* name, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  return edit;
}

// A character key other than a digit or Backspace (which the dialogs drop).
bool OtherCharacter(const QKeyEvent& key) {
  const QString text = key.text();
  if (text.isEmpty() || text.front() < QChar(' ') || text.front() == QChar(0x7F)) {
    return false;
  }
  return (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier)) == 0 && !text.front().isDigit();
}

void ShowLabel(QLabel& label, QWidget& field, const std::string& caption) {
  label.setText(ToQt(caption));
  field.setAccessibleName(AccessibleNameOf(caption));
}

}  // namespace

TDialogTimer::TDialogTimer() {
  timer_.setSingleShot(true);
  QObject::connect(&timer_, &QTimer::timeout, this, [this] {
    if (Fired) {
      Fired();
    }
  });
}

void TDialogTimer::Start(int32_t intervalMs) {
  timer_.start(intervalMs);
}

void TDialogTimer::Stop() {
  timer_.stop();
}

// ---- The instruments dialog ----------------------------------------------------------

TInstrumentsView::TInstrumentsView(TInstrumentsDialog& dialog, TDialogTimer& timer, QWidget* parent)
    : QDialog(parent), dialog_(dialog), timer_(timer) {
  SetUpDialog(*this, dialog.Caption);
  auto* layout = new QVBoxLayout(this);
  list_ = new QListWidget(this);
  list_->setObjectName("Instrument");
  for (const std::string& item : dialog.Items) {
    list_->addItem(ToQt(item));
  }
  list_->setCurrentRow(dialog.Item);
  list_label_ = BoundLabel(dialog.ListLabel, list_, this);
  list_label_->setObjectName("InstrumentText");
  layout->addWidget(list_label_);
  layout->addWidget(list_);
  auto* form = new QFormLayout();
  bank_ = NumberEdit("BanckEdit", this);
  QLabel* bankLabel = BoundLabel(dialog.BankLabel, bank_, this);
  bankLabel->setObjectName("BanckText");
  form->addRow(bankLabel, bank_);
  layout->addLayout(form);
  auto* row = new QHBoxLayout();
  QPushButton* play = Button(dialog.PlayCaption, "ButtonPlay", this);
  QPushButton* insert = Button(dialog.InsertCaption, "ButtonInsert", this);
  QPushButton* cancel = Button(dialog.CancelCaption, "ButtonCancel", this);
  row->addWidget(play);
  row->addWidget(insert);
  row->addWidget(cancel);
  layout->addLayout(row);
  setTabOrder(list_, play);
  setTabOrder(play, insert);
  setTabOrder(insert, cancel);
  setTabOrder(cancel, bank_);

  QObject::connect(list_, &QListWidget::currentRowChanged, this, [this](int row) { dialog_.Select(row); });
  QObject::connect(play, &QPushButton::clicked, this, [this] { dialog_.Play(); });
  QObject::connect(insert, &QPushButton::clicked, this, [this] { Insert(); });
  QObject::connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  // Esc, Cancel and closing the frame alike.
  QObject::connect(this, &QDialog::rejected, this, [this] { dialog_.Cancel(); });
  timer_.Fired = [this] { dialog_.Tick(); };
  bank_binding_ = new TNumberFieldBinding(*bank_, dialog.Bank, [this] { Mirror(); });
  // After the binding, so that these keys are seen first.
  list_->installEventFilter(this);
  bank_->installEventFilter(this);
  ApplyColours(*this);
  list_->setFocus();
}

TInstrumentsView::~TInstrumentsView() {
  timer_.Fired = nullptr;
  timer_.Stop();
  list_->removeEventFilter(this);
  bank_->removeEventFilter(this);
  bank_binding_->Release();
}

void TInstrumentsView::Mirror() {
  bank_binding_->Mirror();
  ShowLabel(*list_label_, *list_, dialog_.ListLabel);
}

void TInstrumentsView::Insert() {
  dialog_.Insert();
  accept();
}

bool TInstrumentsView::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) {
    dialog_.Activate();
  }
  return QDialog::event(event);
}

bool TInstrumentsView::eventFilter(QObject* watched, QEvent* event) {
  if (watched != list_ && watched != bank_) {
    return false;
  }
  if (event->type() == QEvent::FocusOut && watched == list_) {
    dialog_.ListLeft();
    Mirror();
    return false;
  }
  if (event->type() != QEvent::KeyPress) {
    return false;
  }
  const auto* key = static_cast<QKeyEvent*>(event);
  switch (key->key()) {
    case Qt::Key_Escape:
      reject();
      return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      Insert();
      return true;
    case Qt::Key_Space:
      if (!key->isAutoRepeat()) {
        dialog_.Play();
      }
      return true;
    default:
      return false;
  }
}

// ---- The drum table ------------------------------------------------------------------

TDrumsView::TDrumsView(TDrumsDialog& dialog, QWidget* parent) : QDialog(parent), dialog_(dialog) {
  SetUpDialog(*this, dialog.Caption);
  auto* layout = new QVBoxLayout(this);
  list_ = new QListWidget(this);
  list_->setObjectName("Spisok");
  for (const std::string& item : dialog.Items) {
    list_->addItem(ToQt(item));
  }
  list_->setCurrentRow(dialog.Item);
  list_label_ = BoundLabel(dialog.ListLabel, list_, this);
  list_label_->setObjectName("SpisokText");
  layout->addWidget(list_label_);
  layout->addWidget(list_);
  auto* form = new QFormLayout();
  note_ = new QLineEdit(this);
  note_->setObjectName("NotaEdit");
  note_->setReadOnly(true);
  kit_ = NumberEdit("InstrumentEdit", this);
  form->addRow(BoundLabel(dialog.NoteLabel, note_, this), note_);
  form->addRow(BoundLabel(dialog.KitLabel, kit_, this), kit_);
  layout->addLayout(form);
  auto* row = new QHBoxLayout();
  QPushButton* play = Button(dialog.PlayCaption, "ButtonPlay", this);
  QPushButton* close = Button(dialog.CloseCaption, "ButtonClose", this);
  row->addWidget(play);
  row->addWidget(close);
  layout->addLayout(row);
  setTabOrder(list_, note_);
  setTabOrder(note_, play);
  setTabOrder(play, close);
  setTabOrder(close, kit_);

  QObject::connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
    dialog_.Select(row);
    Mirror();
  });
  QObject::connect(play, &QPushButton::clicked, this, [this] { dialog_.Play(); });
  QObject::connect(close, &QPushButton::clicked, this, &QDialog::reject);
  QObject::connect(this, &QDialog::rejected, this, [this] { dialog_.Close(); });
  kit_binding_ = new TNumberFieldBinding(*kit_, dialog.Kit, [this] { Mirror(); });
  for (QWidget* field : {static_cast<QWidget*>(list_), static_cast<QWidget*>(note_), static_cast<QWidget*>(kit_)}) {
    field->installEventFilter(this);
  }
  Mirror();
  ApplyColours(*this);
  list_->setFocus();
}

TDrumsView::~TDrumsView() {
  for (QWidget* field : {static_cast<QWidget*>(list_), static_cast<QWidget*>(note_), static_cast<QWidget*>(kit_)}) {
    field->removeEventFilter(this);
  }
  kit_binding_->Release();
}

void TDrumsView::Mirror() {
  kit_binding_->Mirror();
  SetFieldText(*note_, ToQt(dialog_.Note));
  ShowLabel(*list_label_, *list_, dialog_.ListLabel);
}

bool TDrumsView::eventFilter(QObject* watched, QEvent* event) {
  if (watched != list_ && watched != note_ && watched != kit_) {
    return false;
  }
  if (event->type() == QEvent::FocusOut && watched == list_) {
    dialog_.ListLeft();
    Mirror();
    return false;
  }
  if (event->type() != QEvent::KeyPress) {
    return false;
  }
  const auto* key = static_cast<QKeyEvent*>(event);
  switch (key->key()) {
    case Qt::Key_Escape:
      reject();
      return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
      if (!key->isAutoRepeat()) {
        dialog_.Play();
      }
      return true;
    default:
      return OtherCharacter(*key);  // dropped
  }
}
