// The find and replace dialog: widgets that bind keys and mirror its controller.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>

#include "songwindow/dialogs/find_dialog.h"

class TFindDialogView : public QDialog {
 public:
  TFindDialogView(TFindDialog& dialog, QWidget* parent);

  QLineEdit* WhatEdit() const { return what_; }
  QLineEdit* WithEdit() const { return with_; }
  QCheckBox* CaseBox() const { return case_; }
  QCheckBox* VoiceBox() const { return voice_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }

 private:
  void Ok();

  TFindDialog& dialog_;
  QLineEdit* what_ = nullptr;     // FindEdit1
  QLineEdit* with_ = nullptr;     // FindEdit2
  QCheckBox* case_ = nullptr;     // FindRegister
  QCheckBox* voice_ = nullptr;    // FindVoice
  QPushButton* ok_ = nullptr;     // FindOk
  QPushButton* cancel_ = nullptr;  // FindCancel
};
