// The song window's dialogs, each run modally over the window with its controller.
#include "songwindow/view/song_window_view.h"

#include <QApplication>
#include <QMenu>

#include "songwindow/controller/block_wizard.h"
#include "songwindow/controller/find_dialog.h"
#include "songwindow/controller/instrument_dialogs.h"
#include "songwindow/controller/module_editor.h"
#include "songwindow/controller/module_manager.h"
#include "songwindow/controller/range_dialogs.h"
#include "songwindow/controller/track_dialogs.h"
#include "songwindow/controller/translator_picker.h"
#include "songwindow/view/find_dialog_view.h"
#include "songwindow/view/handler_dialogs_view.h"
#include "songwindow/view/instrument_dialogs_view.h"
#include "songwindow/view/module_dialogs_view.h"
#include "songwindow/view/qt_text.h"
#include "songwindow/view/range_dialogs_view.h"
#include "songwindow/view/track_dialogs_view.h"

namespace {

template <typename TController, typename TView>
void RunDialog(TSongWindow& window, QWidget* owner) {
  TController dialog(window);
  TView view(dialog, owner);
  view.exec();
}

// The entries of the notation insert menu; each insert item carries its command number.
void AddNotationItems(QMenu& menu, const std::vector<TNotationMenuItem>& items) {
  for (const TNotationMenuItem& item : items) {
    switch (item.Kind) {
      case TNotationEntry::Separator:
        menu.addSeparator();
        break;
      case TNotationEntry::Submenu: {
        QMenu* submenu = menu.addMenu(ToQt(item.Caption));
        submenu->setAccessibleName(submenu->title());
        AddNotationItems(*submenu, item.Items);
        break;
      }
      case TNotationEntry::Insert:
        if (!item.Caption.empty()) {  // an item without a name is nothing a reader can say
          menu.addAction(ToQt(item.Caption))->setData(item.Command);
        }
        break;
    }
  }
}

}  // namespace

// The insert menu at a third of the Braille editor's width, on its top edge; the chosen
// item is inserted.
void TSongWindowView::ShowNotationMenu() {
  QMenu menu(this);
  QString title = ToQt(Controller().Action("QEMHelper").Caption);
  title.remove('&');
  menu.setTitle(title);
  menu.setAccessibleName(title);
  AddNotationItems(menu, Controller().NotationMenu);
  const QPoint at(notes_edit_->x() + notes_edit_->width() / 3, notes_edit_->y());
  const QAction* chosen = menu.exec(mapToGlobal(at));
  if (chosen != nullptr && chosen->data().isValid()) {
    Controller().InsertBraileNotation(chosen->data().toInt());
  }
}

void TSongWindowView::Show(TWindowDialog which) {
  TSongWindow& window = Controller();
  switch (which) {
    case TWindowDialog::TrackProperties:
      RunDialog<TTrackPropertiesDialog, TTrackPropertiesView>(window, this);
      break;
    case TWindowDialog::TrackCopy:
      RunDialog<TTrackCopyDialog, TTrackCopyView>(window, this);
      break;
    case TWindowDialog::TrackText:
      RunDialog<TTrackTextDialog, TTrackTextView>(window, this);
      break;
    case TWindowDialog::MeasureRange:
      RunDialog<TMeasureRangeDialog, TMeasureRangeView>(window, this);
      break;
    case TWindowDialog::GoTo:
      RunDialog<TGoToDialog, TGoToView>(window, this);
      break;
    case TWindowDialog::Find:
      RunDialog<TFindDialog, TFindDialogView>(window, this);
      break;
    case TWindowDialog::Instruments: {
      TDialogTimer timer;
      TInstrumentsDialog dialog(window, timer);
      TInstrumentsView view(dialog, timer, this);
      view.exec();
      break;
    }
    case TWindowDialog::Drums:
      RunDialog<TDrumsDialog, TDrumsView>(window, this);
      break;
    case TWindowDialog::ModuleEditor:
    case TWindowDialog::ModuleManager:
    case TWindowDialog::ModuleName: {
      // The module manager opens the others over itself.
      QWidget* owner = QApplication::activeModalWidget() != nullptr ? QApplication::activeModalWidget() : this;
      if (which == TWindowDialog::ModuleEditor) {
        RunDialog<TModuleEditorDialog, TModuleEditorView>(window, owner);
      } else if (which == TWindowDialog::ModuleManager) {
        RunDialog<TModuleManagerDialog, TModuleManagerView>(window, owner);
      } else {
        TModuleNameDialog dialog;
        TModuleNameView view(dialog, owner);
        view.exec();
      }
      break;
    }
    case TWindowDialog::BlockWizard:
      RunDialog<TBlockWizardDialog, TBlockWizardView>(window, this);
      break;
    case TWindowDialog::TranslatorPicker:
      RunDialog<TTranslatorPickerDialog, TTranslatorPickerView>(window, this);
      break;
    case TWindowDialog::NotationMenu:
      ShowNotationMenu();
      break;
  }
  Mirror();
}
