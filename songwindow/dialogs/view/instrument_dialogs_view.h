// The instruments dialog and the drum table: widgets that bind keys and mirror their
// controllers.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include <functional>

#include "songwindow/dialogs/instrument_dialogs.h"
#include "songwindow/dialogs/view/dialog_widgets.h"
#include "songwindow/parts/window_ports.h"

// A single-shot timer for a dialog's controller; Fired runs when it elapses.
class TDialogTimer : public QObject, public INoteTimer {
 public:
  TDialogTimer();
  void Start(int32_t intervalMs) override;
  void Stop() override;
  std::function<void()> Fired;

 private:
  QTimer timer_;
};

class TInstrumentsView : public QDialog {
 public:
  // `timer` is the one the controller was made with; its ticks go to the controller.
  TInstrumentsView(TInstrumentsDialog& dialog, TDialogTimer& timer, QWidget* parent);
  ~TInstrumentsView() override;

  QListWidget* List() const { return list_; }
  QLabel* ListLabel() const { return list_label_; }
  QLineEdit* BankEdit() const { return bank_; }

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Mirror();
  void Insert();

  TInstrumentsDialog& dialog_;
  TDialogTimer& timer_;
  QLabel* list_label_ = nullptr;  // InstrumentText
  QListWidget* list_ = nullptr;   // Instrument
  QLineEdit* bank_ = nullptr;     // BanckEdit
  TNumberFieldBinding* bank_binding_ = nullptr;
};

class TDrumsView : public QDialog {
 public:
  TDrumsView(TDrumsDialog& dialog, QWidget* parent);
  ~TDrumsView() override;

  QListWidget* List() const { return list_; }
  QLabel* ListLabel() const { return list_label_; }
  QLineEdit* NoteEdit() const { return note_; }
  QLineEdit* KitEdit() const { return kit_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Mirror();

  TDrumsDialog& dialog_;
  QLabel* list_label_ = nullptr;  // SpisokText
  QListWidget* list_ = nullptr;   // Spisok
  QLineEdit* note_ = nullptr;     // NotaEdit
  QLineEdit* kit_ = nullptr;      // InstrumentEdit
  TNumberFieldBinding* kit_binding_ = nullptr;
};
