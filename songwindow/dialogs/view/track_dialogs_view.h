// The track dialogs: widgets that bind keys and mirror their controllers.
#pragma once

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include <array>
#include <memory>
#include <string>

#include "songwindow/dialogs/view/dialog_widgets.h"
#include "songwindow/dialogs/track_dialogs.h"

class TTrackPropertiesView : public QDialog {
 public:
  TTrackPropertiesView(TTrackPropertiesDialog& dialog, QWidget* parent);

  QLineEdit* NameEdit() const { return name_; }
  QComboBox* Outputs() const { return outputs_; }
  QRadioButton* ChannelButton(int item) const { return channels_[static_cast<size_t>(item)]; }
  QGroupBox* ChannelGroup() const { return channel_group_; }
  QCheckBox* SoloBox() const { return solo_; }
  QCheckBox* EnsembleBox() const { return ensemble_; }
  QCheckBox* HandlerBox() const { return handler_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }

 protected:
  // The arrows walk the channel buttons 1 to 16 in order, whatever their grid.
  bool eventFilter(QObject* watched, QEvent* event) override;
  // Tab and Shift+Tab walk the shown fields in order; the channel group is one stop,
  // entered on the chosen channel.
  bool focusNextPrevChild(bool next) override;

 private:
  void Ok();

  TTrackPropertiesDialog& dialog_;
  QLineEdit* name_ = nullptr;         // NameTreckEdit
  QComboBox* outputs_ = nullptr;      // MidiOutsCombobox
  QGroupBox* channel_group_ = nullptr;  // KanalRadio
  std::array<QRadioButton*, 16> channels_{};
  QCheckBox* solo_ = nullptr;      // Sollo
  QCheckBox* ensemble_ = nullptr;  // Ansamble
  QCheckBox* handler_ = nullptr;   // Programs
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
  std::array<QWidget*, 8> tab_stops_{};  // name, port, channel group, solo ... Cancel
};

class TTrackCopyView : public QDialog {
 public:
  TTrackCopyView(TTrackCopyDialog& dialog, QWidget* parent);

  QListWidget* BeginList() const { return begin_; }
  QListWidget* EndList() const { return end_; }

 private:
  void Mirror();

  TTrackCopyDialog& dialog_;
  QListWidget* begin_ = nullptr;
  QListWidget* end_ = nullptr;
  bool mirroring_ = false;
};

class TTrackTextView : public QDialog {
 public:
  TTrackTextView(TTrackTextDialog& dialog, QWidget* parent);

  QPlainTextEdit* TextBox() const { return text_; }
  QLabel* LinePanel() const { return line_panel_; }
  QLabel* ColumnPanel() const { return column_panel_; }

 private:
  void ShowPlace();
  void Save();
  void Find(bool again);
  void Replace();
  int32_t CaretLine() const;
  int32_t CaretColumn() const;

  TTrackTextDialog& dialog_;
  QPlainTextEdit* text_ = nullptr;  // RichEdit
  QLabel* line_panel_ = nullptr;
  QLabel* column_panel_ = nullptr;
  std::unique_ptr<TPlainTextSearch> search_;  // Find, Find next, Replace
};
