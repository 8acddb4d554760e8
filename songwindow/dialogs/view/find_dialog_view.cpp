#include "songwindow/dialogs/view/find_dialog_view.h"
#include "songwindow/widgets/qt_text.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "songwindow/dialogs/view/dialog_widgets.h"
#include "songwindow/widgets/apply_colours.h"

TFindDialogView::TFindDialogView(TFindDialog& dialog, QWidget* parent) : QDialog(parent), dialog_(dialog) {
  SetUpDialog(*this, dialog.Caption);
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout();
  what_ = SongTextLineEdit(dialog.What, this);
  what_->setObjectName("FindEdit1");
  with_ = SongTextLineEdit(dialog.With, this);
  with_->setObjectName("FindEdit2");
  QLabel* withLabel = BoundLabel(dialog.WithLabel, with_, this);
  form->addRow(BoundLabel(dialog.WhatLabel, what_, this), what_);
  form->addRow(withLabel, with_);
  layout->addLayout(form);
  if (!dialog.ReplaceMode) {
    withLabel->hide();
    with_->hide();
  }
  case_ = new QCheckBox(ToQt(dialog.CaseCaption), this);
  case_->setObjectName("FindRegister");
  case_->setChecked(dialog.CaseSensitive);
  voice_ = new QCheckBox(ToQt(dialog.VoiceCaption), this);
  voice_->setObjectName("FindVoice");
  voice_->setChecked(dialog.VoiceOnly);
  layout->addWidget(case_);
  layout->addWidget(voice_);

  // OK is the default button: Enter in the fields and boxes presses it, Esc is Cancel.
  auto* row = new QHBoxLayout();
  ok_ = new QPushButton(ToQt(dialog.OkCaption), this);
  ok_->setObjectName("FindOk");
  ok_->setDefault(true);
  cancel_ = new QPushButton(ToQt(dialog.CancelCaption), this);
  cancel_->setObjectName("FindCancel");
  row->addWidget(ok_);
  row->addWidget(cancel_);
  layout->addLayout(row);
  QObject::connect(ok_, &QPushButton::clicked, this, [this] { Ok(); });
  QObject::connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  // Esc, Cancel and closing the frame: the texts are kept all the same.
  QObject::connect(this, &QDialog::rejected, this, [this] {
    dialog_.SetWhat(what_->text().toStdString());
    dialog_.SetWith(with_->text().toStdString());
    dialog_.Cancel();
  });

  QWidget* order[] = {what_, with_, case_, voice_, ok_, cancel_};
  for (size_t i = 0; i + 1 < std::size(order); ++i) {
    setTabOrder(order[i], order[i + 1]);
  }
  ApplyColours(*this);
  what_->selectAll();
  what_->setFocus();
}

void TFindDialogView::Ok() {
  if (!dialog_.SetWhat(what_->text().toStdString())) {
    what_->setFocus();
    return;
  }
  if (!dialog_.SetWith(with_->text().toStdString())) {
    with_->setFocus();
    return;
  }
  dialog_.CaseSensitive = case_->isChecked();
  dialog_.VoiceOnly = voice_->isChecked();
  dialog_.Ok();
  accept();
}
