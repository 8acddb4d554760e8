#include "songwindow/dialogs/view/track_dialogs_view.h"
#include "songwindow/widgets/qt_text.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMenuBar>
#include <QStatusBar>
#include <QTextBlock>
#include <QVBoxLayout>

#include <algorithm>

#include "songwindow/dialogs/view/dialog_widgets.h"
#include "songwindow/widgets/apply_colours.h"

namespace {

QPushButton* Button(const std::string& caption, const char* name, QWidget* parent) {
  auto* button = new QPushButton(ToQt(caption), parent);
  button->setObjectName(name);
  return button;
}

}  // namespace

TTrackPropertiesView::TTrackPropertiesView(TTrackPropertiesDialog& dialog, QWidget* parent)
    : QDialog(parent), dialog_(dialog) {
  SetUpDialog(*this, dialog.Caption);
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout();
  name_ = SongTextLineEdit(dialog.Name, this);
  name_->setObjectName("NameTreckEdit");
  form->addRow(BoundLabel(dialog.NameLabel, name_, this), name_);
  layout->addLayout(form);

  channel_group_ = new QGroupBox(ToQt(dialog.ChannelCaption), this);
  channel_group_->setObjectName("KanalRadio");
  channel_group_->setAccessibleName(AccessibleNameOf(dialog.ChannelCaption));
  auto* grid = new QGridLayout(channel_group_);
  for (size_t i = 0; i < channels_.size(); ++i) {
    channels_[i] = new QRadioButton(ToQt(dialog.Channels[i]), channel_group_);
    channels_[i]->setObjectName(QString("Channel%1").arg(i + 1));
    grid->addWidget(channels_[i], static_cast<int>(i / 4), static_cast<int>(i % 4));
    channels_[i]->installEventFilter(this);
  }
  layout->addWidget(channel_group_);
  solo_ = new QCheckBox(ToQt(dialog.SoloCaption), this);
  solo_->setObjectName("Sollo");
  ensemble_ = new QCheckBox(ToQt(dialog.EnsembleCaption), this);
  ensemble_->setObjectName("Ansamble");
  handler_ = new QCheckBox(ToQt(dialog.HandlerCaption), this);
  handler_->setObjectName("Programs");
  layout->addWidget(solo_);
  layout->addWidget(ensemble_);
  layout->addWidget(handler_);
  if (dialog.ControlTrack) {
    channel_group_->hide();
    solo_->hide();
    ensemble_->hide();
  } else {
    channels_[static_cast<size_t>(dialog.Channel)]->setChecked(true);
    solo_->setChecked(dialog.Solo);
    ensemble_->setChecked(dialog.Ensemble);
  }
  handler_->setChecked(dialog.Handler);

  outputs_ = new QComboBox(this);
  outputs_->setObjectName("MidiOutsCombobox");
  QLabel* outputLabel = BoundLabel(dialog.OutputLabel, outputs_, this);
  auto* outputRow = new QHBoxLayout();
  outputRow->addWidget(outputLabel);
  outputRow->addWidget(outputs_, 1);
  for (const std::string& port : dialog.Outputs) {
    outputs_->addItem(ToQt(port));
  }
  if (dialog.Outputs.empty()) {
    outputLabel->hide();
    outputs_->hide();
  } else {
    outputs_->setCurrentIndex(dialog.Output);
  }

  auto* row = new QHBoxLayout();
  ok_ = Button(dialog.OkCaption, "OkButton", this);
  ok_->setDefault(true);
  cancel_ = Button(dialog.CancelCaption, "CancelButton", this);
  row->addWidget(ok_);
  row->addWidget(cancel_);
  layout->addLayout(row);
  layout->addLayout(outputRow);  // along the bottom edge
  QObject::connect(ok_, &QPushButton::clicked, this, [this] { Ok(); });
  QObject::connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  QObject::connect(this, &QDialog::rejected, this, [this] { dialog_.Cancel(); });

  tab_stops_ = {name_, outputs_, channel_group_, solo_, ensemble_, handler_, ok_, cancel_};
  ApplyColours(*this);
  name_->setFocus();
}

bool TTrackPropertiesView::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) {
    return QDialog::eventFilter(watched, event);
  }
  const auto* key = static_cast<QKeyEvent*>(event);
  int step = 0;
  if (key->key() == Qt::Key_Right || key->key() == Qt::Key_Down) {
    step = 1;
  } else if (key->key() == Qt::Key_Left || key->key() == Qt::Key_Up) {
    step = -1;
  }
  const auto at = std::find(channels_.begin(), channels_.end(), watched);
  if (step == 0 || at == channels_.end() || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
    return QDialog::eventFilter(watched, event);
  }
  // Channel 1 and 16 are the ends: the button stays.
  const auto next = (at - channels_.begin()) + step;
  if (next >= 0 && next < static_cast<std::ptrdiff_t>(channels_.size())) {
    QRadioButton* button = channels_[static_cast<size_t>(next)];
    button->setFocus(Qt::OtherFocusReason);
    button->setChecked(true);
  }
  return true;
}

bool TTrackPropertiesView::focusNextPrevChild(bool next) {
  QWidget* focus = focusWidget();
  const auto at = std::find_if(tab_stops_.begin(), tab_stops_.end(), [focus](QWidget* stop) {
    return stop == focus || (focus != nullptr && stop->isAncestorOf(focus));
  });
  if (at == tab_stops_.end()) {
    return QDialog::focusNextPrevChild(next);
  }
  const auto count = static_cast<std::ptrdiff_t>(tab_stops_.size());
  const std::ptrdiff_t from = at - tab_stops_.begin();
  for (std::ptrdiff_t step = 1; step < count; ++step) {
    const std::ptrdiff_t index = (from + (next ? step : count - step)) % count;
    QWidget* stop = tab_stops_[static_cast<size_t>(index)];
    if (!stop->isVisibleTo(this) || !stop->isEnabled()) {
      continue;
    }
    if (stop == channel_group_) {
      const auto chosen = std::find_if(channels_.begin(), channels_.end(),
                                       [](const QRadioButton* button) { return button->isChecked(); });
      stop = chosen != channels_.end() ? *chosen : channels_[0];
    }
    stop->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
  }
  return true;
}

void TTrackPropertiesView::Ok() {
  if (!dialog_.SetName(name_->text().toStdString())) {
    name_->setFocus();
    return;
  }
  for (size_t i = 0; i < channels_.size(); ++i) {
    if (channels_[i]->isChecked()) {
      dialog_.Channel = static_cast<int32_t>(i);
    }
  }
  dialog_.Solo = solo_->isChecked();
  dialog_.Ensemble = ensemble_->isChecked();
  dialog_.Handler = handler_->isChecked();
  dialog_.Output = outputs_->currentIndex();
  dialog_.Ok();
  accept();
}

TTrackCopyView::TTrackCopyView(TTrackCopyDialog& dialog, QWidget* parent) : QDialog(parent), dialog_(dialog) {
  SetUpDialog(*this, dialog.Caption);
  auto* layout = new QVBoxLayout(this);
  begin_ = new QListWidget(this);
  begin_->setObjectName("BeginList");
  end_ = new QListWidget(this);
  end_->setObjectName("EndList");
  for (const std::string& track : dialog.Tracks) {
    begin_->addItem(ToQt(track));
    end_->addItem(ToQt(track));
  }
  layout->addWidget(BoundLabel(dialog.BeginLabel, begin_, this));
  layout->addWidget(begin_);
  layout->addWidget(BoundLabel(dialog.EndLabel, end_, this));
  layout->addWidget(end_);
  auto* row = new QHBoxLayout();
  QPushButton* ok = Button(dialog.OkCaption, "OkButton", this);
  ok->setDefault(true);
  QPushButton* cancel = Button(dialog.CancelCaption, "CancelButton", this);
  row->addWidget(ok);
  row->addWidget(cancel);
  layout->addLayout(row);
  Mirror();
  QObject::connect(begin_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (!mirroring_ && row >= 0) {
      dialog_.SelectBegin(row);
      Mirror();
    }
  });
  QObject::connect(end_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (!mirroring_ && row >= 0) {
      dialog_.SelectEnd(row);
      Mirror();
    }
  });
  QObject::connect(ok, &QPushButton::clicked, this, [this] {
    dialog_.Ok();
    accept();
  });
  QObject::connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  QObject::connect(this, &QDialog::rejected, this, [this] { dialog_.Cancel(); });
  ApplyColours(*this);
  begin_->setFocus();
}

void TTrackCopyView::Mirror() {
  mirroring_ = true;
  if (begin_->currentRow() != dialog_.Begin) {
    begin_->setCurrentRow(dialog_.Begin);
  }
  if (end_->currentRow() != dialog_.End) {
    end_->setCurrentRow(dialog_.End);
  }
  mirroring_ = false;
}

TTrackTextView::TTrackTextView(TTrackTextDialog& dialog, QWidget* parent) : QDialog(parent), dialog_(dialog) {
  SetUpDialog(*this, dialog.Caption);
  setSizeGripEnabled(true);
  auto* layout = new QVBoxLayout(this);
  auto* menuBar = new QMenuBar(this);
  layout->setMenuBar(menuBar);
  text_ = PlainTextEditor(dialog.TextLabel, dialog.Lines, this);
  search_ = std::make_unique<TPlainTextSearch>(*text_, dialog_.EditItems[6].second, dialog_.EditItems[8].second,
                                               [this] { dialog_.NothingFound(); },
                                               [this](int32_t count) { dialog_.Replaced(count); });
  text_->moveCursor(QTextCursor::Start);
  layout->addWidget(text_, 1);
  auto* row = new QHBoxLayout();
  QPushButton* save = Button(dialog.SaveCaption, "SaveButton", this);
  QPushButton* cancel = Button(dialog.CancelCaption, "CancelButton", this);
  save->setAutoDefault(false);
  cancel->setAutoDefault(false);
  row->addWidget(save);
  row->addStretch(1);
  row->addWidget(cancel);
  layout->addLayout(row);
  auto* status = new QStatusBar(this);
  status->setSizeGripEnabled(false);
  line_panel_ = new QLabel(status);
  column_panel_ = new QLabel(status);
  status->addWidget(line_panel_);
  status->addWidget(column_panel_);
  layout->addWidget(status);

  // The edit menu's actions on the text box.
  QMenu* edit = menuBar->addMenu(ToQt(dialog.EditMenuCaption));
  const auto add = [&](const std::string& name, const char* keys, auto run) {
    for (const auto& [item, caption] : dialog.EditItems) {
      if (item == name) {
        QAction* action = edit->addAction(ToQt(caption));
        action->setObjectName(QString::fromStdString(name));
        if (keys != nullptr) {
          action->setShortcut(QKeySequence(keys));
        }
        QObject::connect(action, &QAction::triggered, this, run);
      }
    }
  };
  add("EditUndo", "Ctrl+Z", [this] { text_->undo(); });
  add("EditCut", "Ctrl+X", [this] { text_->cut(); });
  add("EditCopy", "Ctrl+C", [this] { text_->copy(); });
  add("EditPaste", "Ctrl+V", [this] { text_->paste(); });
  add("EditSelectAll", "Ctrl+A", [this] { text_->selectAll(); });
  add("EditDelete", nullptr, [this] { text_->textCursor().removeSelectedText(); });
  add("Find", "Ctrl+F", [this] { Find(false); });
  add("FindNext", "F3", [this] { Find(true); });
  add("Replace", "Ctrl+H", [this] { Replace(); });
  QAction* place = menuBar->addAction(ToQt(dialog.PlaceCaption));
  place->setObjectName("aSayNumberTact");
  place->setShortcut(QKeySequence("F4"));
  addAction(place);
  QObject::connect(place, &QAction::triggered, this, [this] { dialog_.SpeakPlace(CaretLine(), CaretColumn()); });
  auto* saving = new QAction(this);
  saving->setObjectName("Saveding");
  saving->setShortcut(QKeySequence("F8"));
  addAction(saving);
  QObject::connect(saving, &QAction::triggered, this, [this] { Save(); });
  QObject::connect(save, &QPushButton::clicked, this, [this] { Save(); });
  QObject::connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  QObject::connect(text_, &QPlainTextEdit::cursorPositionChanged, this, [this] { ShowPlace(); });
  ShowPlace();
  ApplyColours(*this);
  text_->setFocus();
}

int32_t TTrackTextView::CaretLine() const {
  return text_->textCursor().blockNumber() + 1;
}

int32_t TTrackTextView::CaretColumn() const {
  return text_->textCursor().positionInBlock() + 1;
}

void TTrackTextView::ShowPlace() {
  line_panel_->setText(ToQt(dialog_.LinePanel(CaretLine())));
  column_panel_->setText(ToQt(dialog_.ColumnPanel(CaretColumn())));
}

void TTrackTextView::Save() {
  if (dialog_.Save(text_->toPlainText().toStdString())) {
    accept();
  }
}

void TTrackTextView::Find(bool again) { search_->Find(again); }

void TTrackTextView::Replace() { search_->Replace(); }
