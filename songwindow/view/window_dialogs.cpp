// The song window's dialogs, each run modally over the window with its controller.
#include "songwindow/view/song_window_view.h"

#include <QApplication>
#include <QMenu>

#include "songwindow/dialogs/block_wizard.h"
#include "songwindow/dialogs/find_dialog.h"
#include "songwindow/dialogs/instrument_dialogs.h"
#include "songwindow/dialogs/module_editor.h"
#include "songwindow/dialogs/module_manager.h"
#include "songwindow/dialogs/range_dialogs.h"
#include "songwindow/dialogs/track_dialogs.h"
#include "songwindow/dialogs/translator_picker.h"
#include "songwindow/dialogs/view/find_dialog_view.h"
#include "songwindow/dialogs/view/handler_dialogs_view.h"
#include "songwindow/dialogs/view/instrument_dialogs_view.h"
#include "songwindow/dialogs/view/module_dialogs_view.h"
#include "songwindow/dialogs/view/range_dialogs_view.h"
#include "songwindow/dialogs/view/track_dialogs_view.h"
#include "songwindow/widgets/accessible_menu_items.h"
#include "songwindow/widgets/qt_text.h"
#include "songwindow/widgets/window_activation.h"

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
  const QAction* chosen = ExecOnFirstItem(menu, mapToGlobal(at));
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
  KeepWindowActive(*this);
  Mirror();
}
