// The module editor, the module manager and the module name dialog: widgets that bind keys
// and mirror their controllers.
#pragma once

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>

#include <array>
#include <map>
#include <memory>
#include <string>

#include "songwindow/dialogs/module_editor.h"
#include "songwindow/dialogs/module_manager.h"
#include "songwindow/dialogs/view/dialog_widgets.h"

class TModuleEditorView : public QDialog {
 public:
  TModuleEditorView(TModuleEditorDialog& dialog, QWidget* parent);

  QPlainTextEdit* TextBox() const { return text_; }
  // Closing (Esc, Alt+F4, the frame): asks the controller, which may keep the editor open.
  void done(int result) override;

 private:
  void GoToBlock(bool next);
  void Find(bool again);
  void Replace();
  int32_t CaretLine() const;

  TModuleEditorDialog& dialog_;
  QPlainTextEdit* text_ = nullptr;  // RichEdit
  std::unique_ptr<TPlainTextSearch> search_;  // Find, Find next, Replace
};

class TModuleManagerView : public QDialog {
 public:
  TModuleManagerView(TModuleManagerDialog& dialog, QWidget* parent);

  QListWidget* List(TModuleList list) const { return lists_[static_cast<size_t>(list)]; }
  QLabel* Label(TModuleList list) const { return labels_[static_cast<size_t>(list)]; }
  QAction* Action(const std::string& name) const { return actions_.at(name); }
  void done(int result) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Run(const std::string& action);
  void Mirror();
  TModuleList ListOf(QObject* widget) const;

  TModuleManagerDialog& dialog_;
  std::array<QListWidget*, 3> lists_{};  // FreeModulsList, CommonModulsList, TreckModulsList
  std::array<QLabel*, 3> labels_{};
  std::map<std::string, QAction*> actions_;
  QMenu* menu_ = nullptr;
  bool mirroring_ = false;
  bool closed_ = false;
};

class TModuleNameView : public QDialog {
 public:
  TModuleNameView(TModuleNameDialog& dialog, QWidget* parent);

  QLineEdit* NameEdit() const { return name_; }

 private:
  TModuleNameDialog& dialog_;
  QLineEdit* name_ = nullptr;  // NameEdit
};
