#include "songwindow/dialogs/view/range_dialogs_view.h"
#include "songwindow/widgets/qt_text.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "songwindow/widgets/apply_colours.h"

namespace {

// OK (the default button, so Enter in a field presses it) and Cancel, in a row.
QPushButton* AddButtons(QDialog& dialog, QVBoxLayout& layout, const std::string& ok, const std::string& cancel) {
  auto* row = new QHBoxLayout();
  auto* okButton = new QPushButton(ToQt(ok), &dialog);
  okButton->setObjectName("OkButton");
  okButton->setDefault(true);
  auto* cancelButton = new QPushButton(ToQt(cancel), &dialog);
  cancelButton->setObjectName("CancelButton");
  row->addWidget(okButton);
  row->addWidget(cancelButton);
  layout.addLayout(row);
  QObject::connect(cancelButton, &QPushButton::clicked, &dialog, &QDialog::reject);
  return okButton;
}

QLineEdit* NumberEdit(const char* name, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  edit->setContextMenuPolicy(Qt::DefaultContextMenu);
  return edit;
}

}  // namespace

TMeasureRangeView::TMeasureRangeView(TMeasureRangeDialog& dialog, QWidget* parent)
    : QDialog(parent), dialog_(dialog) {
  SetUpDialog(*this, dialog.Caption);
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout();
  from_ = NumberEdit("WithTacktEdit", this);
  to_ = NumberEdit("ToTacktEdit", this);
  form->addRow(BoundLabel(dialog.FromLabel, from_, this), from_);
  form->addRow(BoundLabel(dialog.ToLabel, to_, this), to_);
  layout->addLayout(form);
  voices_ = new QListWidget(this);
  voices_->setObjectName("Voice");
  QLabel* voiceLabel = BoundLabel(dialog.VoiceLabel, voices_, this);
  for (const std::string& voice : dialog.Voices) {
    voices_->addItem(ToQt(voice));
  }
  if (dialog.Voices.empty()) {
    voiceLabel->hide();
    voices_->hide();
  } else {
    voices_->setCurrentRow(0);
    dialog.Voice = 0;
  }
  layout->addWidget(voiceLabel);
  layout->addWidget(voices_);
  ok_ = AddButtons(*this, *layout, dialog.OkCaption, dialog.CancelCaption);
  QObject::connect(voices_, &QListWidget::currentRowChanged, this, [this](int row) { dialog_.Voice = row; });
  QObject::connect(ok_, &QPushButton::clicked, this, [this] {
    dialog_.Ok();
    accept();
  });
  // Esc, Cancel and closing the frame.
  QObject::connect(this, &QDialog::rejected, this, [this] { dialog_.Cancel(); });
  from_binding_ = new TNumberFieldBinding(*from_, dialog.From, [this] { Mirror(); });
  to_binding_ = new TNumberFieldBinding(*to_, dialog.To, [this] { Mirror(); });
  ApplyColours(*this);
  from_->setFocus();
}

// The fields lose the focus while they are taken down: the controller hears no more.
TMeasureRangeView::~TMeasureRangeView() {
  from_binding_->Release();
  to_binding_->Release();
}

void TMeasureRangeView::Mirror() {
  from_binding_->Mirror();
  to_binding_->Mirror();
}

TGoToView::TGoToView(TGoToDialog& dialog, QWidget* parent) : QDialog(parent), dialog_(dialog) {
  SetUpDialog(*this, dialog.Caption);
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout();
  measure_ = NumberEdit("GoTackt", this);
  voice_ = NumberEdit("GoVoice", this);
  form->addRow(BoundLabel(dialog.MeasureLabel, measure_, this), measure_);
  form->addRow(BoundLabel(dialog.VoiceLabel, voice_, this), voice_);
  layout->addLayout(form);
  QPushButton* ok = AddButtons(*this, *layout, dialog.OkCaption, dialog.CancelCaption);
  ok->setObjectName("ButtonOk");
  QObject::connect(ok, &QPushButton::clicked, this, [this] {
    dialog_.Ok();
    accept();
  });
  QObject::connect(this, &QDialog::rejected, this, [this] { dialog_.Cancel(); });
  measure_binding_ = new TNumberFieldBinding(*measure_, dialog.Measure, [this] { Mirror(); });
  voice_binding_ = new TNumberFieldBinding(*voice_, dialog.Voice, [this] { Mirror(); });
  ApplyColours(*this);
  measure_->setFocus();
}

TGoToView::~TGoToView() {
  measure_binding_->Release();
  voice_binding_->Release();
}

void TGoToView::Mirror() {
  measure_binding_->Mirror();
  voice_binding_->Mirror();
}
