#include "songwindow/dialogs/view/module_dialogs_view.h"
#include "songwindow/widgets/qt_text.h"

#include <QContextMenuEvent>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMenuBar>
#include <QTextBlock>
#include <QVBoxLayout>

#include "songwindow/dialogs/view/dialog_widgets.h"
#include "songwindow/widgets/accessible_menu_items.h"
#include "songwindow/widgets/apply_colours.h"

TModuleEditorView::TModuleEditorView(TModuleEditorDialog& dialog, QWidget* parent) : QDialog(parent), dialog_(dialog) {
  SetUpDialog(*this, dialog.Caption);
  setSizeGripEnabled(true);
  resize(640, 480);
  auto* layout = new QVBoxLayout(this);
  auto* menuBar = new QMenuBar(this);
  layout->setMenuBar(menuBar);
  text_ = PlainTextEditor(dialog.TextLabel, dialog.Lines, this);
  search_ = std::make_unique<TPlainTextSearch>(*text_, dialog_.EditItems[6].second, dialog_.EditItems[8].second,
                                               [this] { dialog_.NothingFound(); },
                                               [this](int32_t count) { dialog_.Replaced(count); });
  text_->setReadOnly(dialog.ReadOnly);
  if (dialog.ReadOnly) {
    // A description is read with the arrows: its caret moves (Qt's read-only box only scrolls).
    text_->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
  }
  QTextCursor caret(text_->document()->findBlockByNumber(std::max(dialog.CaretLine - 1, 0)));
  text_->setTextCursor(caret);
  text_->setContextMenuPolicy(Qt::ActionsContextMenu);
  layout->addWidget(text_, 1);

  const auto action = [this](QMenu* menu, const std::string& caption, const char* name, const char* keys, auto run) {
    auto* item = new QAction(ToQt(caption), this);
    item->setObjectName(name);
    if (keys != nullptr) {
      item->setShortcut(QKeySequence(keys));
    }
    if (menu != nullptr) {
      menu->addAction(item);
    }
    addAction(item);
    QObject::connect(item, &QAction::triggered, this, run);
    return item;
  };
  QMenu* edit = menuBar->addMenu(ToQt(dialog.EditMenuCaption));
  const auto item = [&](const char* name, const char* keys, auto run) {
    for (const auto& [id, caption] : dialog.EditItems) {
      if (id == name) {
        action(edit, caption, name, keys, run);
      }
    }
  };
  item("EditUndo", "Ctrl+Z", [this] { text_->undo(); });
  item("EditCut", "Ctrl+X", [this] { text_->cut(); });
  item("EditCopy", "Ctrl+C", [this] { text_->copy(); });
  item("EditPaste", "Ctrl+V", [this] { text_->paste(); });
  item("EditSelectAll", "Ctrl+A", [this] { text_->selectAll(); });
  item("EditDelete", nullptr, [this] { text_->textCursor().removeSelectedText(); });
  item("SearchFind", "Ctrl+F", [this] { Find(false); });
  item("SearchFindNext", "F3", [this] { Find(true); });
  item("SearchReplace", "Ctrl+H", [this] { Replace(); });
  QMenu* navigation = menuBar->addMenu(ToQt(dialog.NavigationMenuCaption));
  action(navigation, dialog.PriorBlockCaption, "PriorBlock", "Shift+F2", [this] { GoToBlock(false); });
  action(navigation, dialog.NextBlockCaption, "NextBlock", "F2", [this] { GoToBlock(true); });
  QAction* close = action(nullptr, dialog.CloseCaption, "CloseWindow", "Esc", [this] { reject(); });
  text_->addAction(close);
  ApplyColours(*this);
  text_->setFocus();
}

int32_t TModuleEditorView::CaretLine() const {
  return text_->textCursor().blockNumber() + 1;
}

void TModuleEditorView::done(int result) {
  if (dialog_.Close(text_->toPlainText().toStdString(), CaretLine())) {
    text_->clear();
    QDialog::done(result);
  }
}

void TModuleEditorView::GoToBlock(bool next) {
  const std::string text = text_->toPlainText().toStdString();
  const int32_t line = next ? dialog_.NextBlock(text, CaretLine()) : dialog_.PriorBlock(text, CaretLine());
  if (line > 0) {
    QTextCursor caret(text_->document()->findBlockByNumber(line - 1));
    caret.movePosition(QTextCursor::NextCharacter);
    text_->setTextCursor(caret);
  }
}

TModuleManagerView::TModuleManagerView(TModuleManagerDialog& dialog, QWidget* parent)
    : QDialog(parent), dialog_(dialog) {
  SetUpDialog(*this, dialog.Caption);
  auto* layout = new QVBoxLayout(this);
  static const std::array<const char*, 3> kListNames = {"FreeModulsList", "CommonModulsList", "TreckModulsList"};
  static const std::array<const char*, 3> kLabelNames = {"FreeModulsText", "CommonModulsText", "TreckModulsText"};
  menu_ = new QMenu(this);
  for (const TModuleAction& action : dialog.Actions) {
    QAction* item = menu_->addAction(ToQt(action.Caption));
    item->setObjectName(QString::fromStdString(action.Name));
    const std::string name = action.Name;
    QObject::connect(item, &QAction::triggered, this, [this, name] { Run(name); });
    actions_[name] = item;
  }
  static const std::map<std::string, const char*> kKeys = {
      {"InCommon", "Home"}, {"InTreck", "End"},  {"InFree", "Del"},       {"Editing", "Return"},
      {"HelpModule", "F1"}, {"NewName", "Space"}, {"NewModule", "Ctrl+N"}, {"CloseWindow", "Esc"}};
  for (const auto& [name, keys] : kKeys) {
    actions_[name]->setShortcut(QKeySequence(keys));  // shown in the menu; the lists take the keys
  }
  for (size_t i = 0; i < lists_.size(); ++i) {
    lists_[i] = new QListWidget(this);
    lists_[i]->setObjectName(kListNames[i]);
    lists_[i]->setContextMenuPolicy(Qt::DefaultContextMenu);
    lists_[i]->installEventFilter(this);
    labels_[i] = BoundLabel(dialog.Labels[i], lists_[i], this);
    labels_[i]->setObjectName(kLabelNames[i]);
    layout->addWidget(labels_[i]);
    layout->addWidget(lists_[i]);
    const auto list = static_cast<TModuleList>(i);
    QObject::connect(lists_[i], &QListWidget::currentRowChanged, this, [this, list](int row) {
      if (!mirroring_) {
        dialog_.Select(list, row);
      }
    });
  }
  lists_[mlTrack]->setEnabled(dialog.TrackListEnabled);
  setTabOrder(lists_[mlFree], lists_[mlCommon]);
  setTabOrder(lists_[mlCommon], lists_[mlTrack]);
  Mirror();
  ApplyColours(*this);
  lists_[mlFree]->setFocus();
}

TModuleList TModuleManagerView::ListOf(QObject* widget) const {
  for (size_t i = 0; i < lists_.size(); ++i) {
    if (lists_[i] == widget) {
      return static_cast<TModuleList>(i);
    }
  }
  return mlNone;
}

bool TModuleManagerView::eventFilter(QObject* watched, QEvent* event) {
  const TModuleList list = ListOf(watched);
  if (list == mlNone) {
    return QDialog::eventFilter(watched, event);
  }
  if (event->type() == QEvent::FocusIn) {
    dialog_.Enter(list);
    Mirror();
  } else if (event->type() == QEvent::ContextMenu) {
    dialog_.Enter(list);
    Mirror();
    ExecOnFirstItem(*menu_, static_cast<QContextMenuEvent*>(event)->globalPos());
    return true;
  } else if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (list == mlFree) {
      dialog_.FreeListKey();
      Mirror();
    }
    for (const auto& [name, action] : actions_) {
      if (QKeySequence(key->keyCombination()) == action->shortcut()) {
        Run(name);
        return true;
      }
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TModuleManagerView::Run(const std::string& action) {
  if (action == "CloseWindow") {
    reject();
    return;
  }
  if (!dialog_.Offered(action)) {
    return;
  }
  if (action == "InCommon") {
    dialog_.InCommon();
  } else if (action == "InTreck") {
    dialog_.InTreck();
  } else if (action == "InFree") {
    dialog_.InFree();
  } else if (action == "Editing") {
    dialog_.Editing();
  } else if (action == "HelpModule") {
    dialog_.HelpModule();
  } else if (action == "NewName") {
    dialog_.NewName();
  } else if (action == "NewModule") {
    dialog_.NewModule();
  }
  Mirror();
  if (dialog_.Focus != mlNone) {
    lists_[dialog_.Focus]->setFocus();
  }
}

void TModuleManagerView::Mirror() {
  mirroring_ = true;
  for (size_t i = 0; i < lists_.size(); ++i) {
    if (labels_[i]->text() != ToQt(dialog_.Labels[i])) {
      labels_[i]->setText(ToQt(dialog_.Labels[i]));
      lists_[i]->setAccessibleName(AccessibleNameOf(dialog_.Labels[i]));  // the name follows the label
    }
    QStringList names;
    for (const std::string& name : dialog_.Lists[i]) {
      names.append(ToQt(name));
    }
    QStringList shown;
    for (int row = 0; row < lists_[i]->count(); ++row) {
      shown.append(lists_[i]->item(row)->text());
    }
    if (shown != names) {
      lists_[i]->clear();
      lists_[i]->addItems(names);
    }
    if (lists_[i]->currentRow() != dialog_.Selected[i]) {
      lists_[i]->setCurrentRow(dialog_.Selected[i]);
    }
  }
  for (const TModuleAction& action : dialog_.Actions) {
    QAction* item = actions_.at(action.Name);
    item->setText(ToQt(action.Caption));
    item->setVisible(action.Visible);
    item->setEnabled(action.Visible);
  }
  mirroring_ = false;
}

void TModuleManagerView::done(int result) {
  if (!closed_) {
    closed_ = true;
    dialog_.Close();
  }
  QDialog::done(result);
}

TModuleNameView::TModuleNameView(TModuleNameDialog& dialog, QWidget* parent) : QDialog(parent), dialog_(dialog) {
  SetUpDialog(*this, dialog.Caption);
  auto* layout = new QVBoxLayout(this);
  name_ = new QLineEdit(ToQt(dialog.Name), this);
  name_->setObjectName("NameEdit");
  layout->addWidget(BoundLabel(dialog.Caption, name_, this));
  layout->addWidget(name_);
  QObject::connect(name_, &QLineEdit::returnPressed, this, [this] {
    if (dialog_.Ok(name_->text().toStdString())) {
      accept();
    }
  });
  ApplyColours(*this);
  name_->setFocus();
}

void TModuleEditorView::Find(bool again) { search_->Find(again); }

void TModuleEditorView::Replace() { search_->Replace(); }
