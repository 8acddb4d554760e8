// The measure range and go-to dialogs: widgets that bind keys and mirror their controllers.
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <memory>

#include "songwindow/dialogs/range_dialogs.h"
#include "songwindow/dialogs/view/dialog_widgets.h"

class TMeasureRangeView : public QDialog {
 public:
  TMeasureRangeView(TMeasureRangeDialog& dialog, QWidget* parent);
  ~TMeasureRangeView() override;

  QLineEdit* FromEdit() const { return from_; }
  QLineEdit* ToEdit() const { return to_; }
  QListWidget* VoiceList() const { return voices_; }
  QPushButton* OkButton() const { return ok_; }

 private:
  void Mirror();

  TMeasureRangeDialog& dialog_;
  QLineEdit* from_ = nullptr;     // WithTacktEdit
  QLineEdit* to_ = nullptr;       // ToTacktEdit
  QListWidget* voices_ = nullptr;  // Voice
  QPushButton* ok_ = nullptr;
  TNumberFieldBinding* from_binding_ = nullptr;
  TNumberFieldBinding* to_binding_ = nullptr;
};

class TGoToView : public QDialog {
 public:
  TGoToView(TGoToDialog& dialog, QWidget* parent);
  ~TGoToView() override;

  QLineEdit* MeasureEdit() const { return measure_; }
  QLineEdit* VoiceEdit() const { return voice_; }

 private:
  void Mirror();

  TGoToDialog& dialog_;
  QLineEdit* measure_ = nullptr;  // GoTackt
  QLineEdit* voice_ = nullptr;    // GoVoice
  TNumberFieldBinding* measure_binding_ = nullptr;
  TNumberFieldBinding* voice_binding_ = nullptr;
};
