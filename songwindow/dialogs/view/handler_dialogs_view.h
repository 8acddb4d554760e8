// The block wizard and the translator picker: widgets that bind keys and mirror their
// controllers.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>

#include "songwindow/dialogs/block_wizard.h"
#include "songwindow/dialogs/translator_picker.h"

class TBlockWizardView : public QDialog {
 public:
  TBlockWizardView(TBlockWizardDialog& dialog, QWidget* parent);

  QListWidget* BlockList() const { return blocks_; }
  QLineEdit* DescriptionEdit() const { return description_; }
  QTabBar* ParametersTab() const { return tabs_; }
  QLineEdit* ParameterEdit() const { return parameter_; }
  QPushButton* OkButton() const { return ok_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Mirror();

  TBlockWizardDialog& dialog_;
  QListWidget* blocks_ = nullptr;
  QLineEdit* description_ = nullptr;
  QTabBar* tabs_ = nullptr;
  QLabel* parameterLabel_ = nullptr;
  QLineEdit* parameter_ = nullptr;
  QPushButton* ok_ = nullptr;
  bool mirroring_ = false;
};

class TTranslatorPickerView : public QDialog {
 public:
  TTranslatorPickerView(TTranslatorPickerDialog& dialog, QWidget* parent);

  QListWidget* TranslatorList() const { return list_; }

 private:
  TTranslatorPickerDialog& dialog_;
  QListWidget* list_ = nullptr;
};
