#include "songwindow/dialogs/view/snapshot_window_view.h"
#include "songwindow/widgets/qt_text.h"

#include <QKeyEvent>
#include <QVBoxLayout>

#include "songwindow/parts/key_codes.h"
#include "songwindow/widgets/apply_colours.h"
#include "songwindow/dialogs/view/dialog_widgets.h"
#include "songwindow/widgets/accessible_text.h"

namespace {

// The array keys as virtual keys; vkNone for any other.
uint16_t ArrayKeyOf(int key) {
  switch (key) {
    case Qt::Key_PageUp: return vkPrior;
    case Qt::Key_PageDown: return vkNext;
    case Qt::Key_Left: return vkLeft;
    case Qt::Key_Right: return vkRight;
    case Qt::Key_Home: return vkHome;
    case Qt::Key_End: return vkEnd;
    default: return vkNone;
  }
}

}  // namespace

TSnapshotWindowView::TSnapshotWindowView(THandlerSnapshot snapshot, ISpeaker& speaker,
                                         std::function<void(bool hide)> closed, QWidget* parent)
    : QDialog(parent),
      window_(std::make_unique<TSnapshotWindow>(std::move(snapshot), speaker, this)),
      closed_(std::move(closed)) {
  TSnapshotWindow& w = *window_;
  setObjectName("SnapshotWindow");
  setWindowTitle(ToQt(w.Caption));
  setAccessibleName(ToQt(w.Caption));
  setModal(false);
  setSizeGripEnabled(true);
  timer_.setSingleShot(true);
  QObject::connect(&timer_, &QTimer::timeout, this, [this] { window_->TimerFired(); });

  auto* layout = new QVBoxLayout(this);
  pages_ = new QTabWidget(this);
  pages_->setObjectName("PageControl1");
  static const char* const kListNames[kSnapshotPages] = {"Peremens", "Massivs", "Blocks"};
  for (int page = 0; page < kSnapshotPages; ++page) {
    auto* list = new QListWidget(pages_);
    list->setObjectName(kListNames[page]);
    list->setAccessibleName(AccessibleNameOf(w.PageCaptions[static_cast<size_t>(page)]));
    list->installEventFilter(this);
    lists_[static_cast<size_t>(page)] = list;
    pages_->addTab(list, ToQt(w.PageCaptions[static_cast<size_t>(page)]));
    QObject::connect(list, &QListWidget::currentRowChanged, this, [this, page](int row) {
      if (!mirroring_ && page == window_->Page() && row >= 0) {
        window_->Select(row);
        Mirror();
      }
    });
  }
  layout->addWidget(pages_, 1);
  value_ = new TCaretKeepingLineEdit(this);  // Tab selects nothing
  value_->setObjectName("Edit1");
  value_->setReadOnly(true);
  value_->installEventFilter(this);
  label_ = BoundLabel(w.ValueLabel, value_, this);
  label_->setObjectName("Label1");
  layout->addWidget(label_);
  layout->addWidget(value_);
  hide_ = new QCheckBox(ToQt(w.HideCaption), this);
  hide_->setObjectName("CheckBox");
  hide_->installEventFilter(this);
  layout->addWidget(hide_);
  continue_ = new QPushButton(ToQt(w.ContinueCaption), this);
  continue_->setObjectName("Button1");
  continue_->setDefault(true);
  continue_->installEventFilter(this);
  layout->addWidget(continue_);
  QObject::connect(continue_, &QPushButton::clicked, this, [this] { Continue(); });
  QObject::connect(pages_, &QTabWidget::currentChanged, this, [this](int page) {
    if (!mirroring_) {
      window_->SelectPage(page);
      Mirror();
    }
  });
  ApplyColours(*this);
}

void TSnapshotWindowView::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (done_ || !window_) {
    return;
  }
  window_->Activate();
  Mirror();
  if (window_->FocusValue()) {
    value_->setFocus();
  } else {
    lists_[static_cast<size_t>(window_->Page())]->setFocus();
  }
}

void TSnapshotWindowView::Mirror() {
  TSnapshotWindow& w = *window_;
  mirroring_ = true;
  for (int page = 0; page < kSnapshotPages; ++page) {
    QListWidget* list = lists_[static_cast<size_t>(page)];
    const std::vector<std::string>& entries = w.Lists[static_cast<size_t>(page)];
    bool same = list->count() == static_cast<int>(entries.size());
    for (int i = 0; same && i < list->count(); ++i) {
      same = list->item(i)->text() == ToQt(entries[static_cast<size_t>(i)]);
    }
    if (!same) {
      list->clear();
      for (const std::string& entry : entries) {
        list->addItem(ToQt(entry));
      }
    }
    const int32_t selected = w.Selected(page);
    if (selected >= 0 && list->currentRow() != selected) {
      list->setCurrentRow(selected);
    }
  }
  if (pages_->currentIndex() != w.Page()) {
    pages_->setCurrentIndex(w.Page());
  }
  label_->setText(ToQt(w.ValueLabel));
  SetFieldText(*value_, ToQt(w.Value));
  value_->setAccessibleName(AccessibleNameOf(w.ValueLabel));
  mirroring_ = false;
}

bool TSnapshotWindowView::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && window_ && !done_) {
    auto* key = static_cast<QKeyEvent*>(event);
    window_->KeyDown();
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      Continue();
      return true;
    }
    // Ctrl+Tab and Ctrl+Shift+Tab turn the pages from every field, as inside the pages.
    const Qt::KeyboardModifiers held = key->modifiers() & ~Qt::KeypadModifier;
    if ((held == Qt::ControlModifier || held == (Qt::ControlModifier | Qt::ShiftModifier)) &&
        (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)) {
      const bool back = key->key() == Qt::Key_Backtab || held.testFlag(Qt::ShiftModifier);
      window_->SelectPage((window_->Page() + (back ? kSnapshotPages - 1 : 1)) % kSnapshotPages);
      Mirror();
      return true;
    }
    if (watched == lists_[1] && key->modifiers() == Qt::NoModifier) {
      const uint16_t arrayKey = ArrayKeyOf(key->key());
      if (arrayKey != vkNone && window_->ArrayKey(arrayKey)) {
        Mirror();
        return true;
      }
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TSnapshotWindowView::reject() { Continue(); }

void TSnapshotWindowView::Continue() {
  if (done_) {
    return;
  }
  done_ = true;
  window_->Hide = hide_->isChecked();
  const bool hide = window_->Continue();
  timer_.stop();
  auto closed = std::move(closed_);
  QDialog::reject();
  if (closed) {
    closed(hide);
  }
}

void TSnapshotWindowView::Withdraw() {
  if (done_) {
    return;
  }
  done_ = true;
  timer_.stop();
  QDialog::reject();
}

void TSnapshotWindowView::Start(int32_t intervalMs) { timer_.start(intervalMs); }

void TSnapshotWindowView::Stop() { timer_.stop(); }
