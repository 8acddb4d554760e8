#include "songwindow/dialogs/view/handler_dialogs_view.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QShortcut>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "songwindow/widgets/apply_colours.h"
#include "songwindow/dialogs/view/dialog_widgets.h"
#include "songwindow/widgets/qt_text.h"
#include "songwindow/widgets/accessible_text.h"

namespace {

QPushButton* Button(const std::string& caption, const char* name, QWidget* parent) {
  auto* button = new QPushButton(ToQt(caption), parent);
  button->setObjectName(name);
  return button;
}

std::string FromQt(const QString& text) { return Utf8ToCp1251(text.toStdString()).Text; }

}  // namespace

TBlockWizardView::TBlockWizardView(TBlockWizardDialog& dialog, QWidget* parent)
    : QDialog(parent), dialog_(dialog) {
  SetUpDialog(*this, dialog.Caption);
  setSizeGripEnabled(true);
  auto* layout = new QVBoxLayout(this);
  blocks_ = new QListWidget(this);
  blocks_->setObjectName("BlockList");
  for (const std::string& name : dialog.Blocks) {
    blocks_->addItem(ToQt(name));
  }
  layout->addWidget(BoundLabel(dialog.Caption, blocks_, this));
  layout->addWidget(blocks_);
  description_ = new QLineEdit(this);
  description_->setObjectName("OpisanieEdit");
  description_->setReadOnly(true);
  layout->addWidget(BoundLabel(dialog.DescriptionLabel, description_, this));
  layout->addWidget(description_);
  tabs_ = new QTabBar(this);
  tabs_->setObjectName("ParametersTab");
  tabs_->setFocusPolicy(Qt::StrongFocus);
  tabs_->installEventFilter(this);
  layout->addWidget(tabs_);
  parameter_ = new QLineEdit(this);
  parameter_->setObjectName("ParameterEdit");
  parameterLabel_ = BoundLabel("", parameter_, this);
  parameterLabel_->setObjectName("ParameterText");
  layout->addWidget(parameterLabel_);
  layout->addWidget(parameter_);
  auto* row = new QHBoxLayout();
  ok_ = Button(dialog.OkCaption, "ButtonOk", this);
  ok_->setDefault(true);
  QPushButton* cancel = Button(dialog.CancelCaption, "ButtonCancel", this);
  QPushButton* help = Button(dialog.HelpCaption, "Help", this);
  row->addWidget(ok_);
  row->addWidget(cancel);
  row->addWidget(help);
  layout->addLayout(row);

  QObject::connect(blocks_, &QListWidget::currentRowChanged, this, [this](int index) {
    if (!mirroring_) {
      dialog_.SelectBlock(index);
      Mirror();
    }
  });
  QObject::connect(tabs_, &QTabBar::currentChanged, this, [this](int index) {
    if (!mirroring_) {
      dialog_.SelectTab(index);
      Mirror();
    }
  });
  QObject::connect(parameter_, &QLineEdit::textEdited, this,
                   [this](const QString& text) { dialog_.SetParameter(FromQt(text)); });
  QObject::connect(ok_, &QPushButton::clicked, this, [this] {
    dialog_.SetParameter(FromQt(parameter_->text()));
    if (dialog_.Ok()) {
      accept();
      return;
    }
    Mirror();
    parameter_->setFocus();
    parameter_->selectAll();
  });
  QObject::connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  QObject::connect(this, &QDialog::rejected, this, [this] { dialog_.Cancel(); });
  const auto showHelp = [this] { dialog_.Help(); };
  QObject::connect(help, &QPushButton::clicked, this, showHelp);
  auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
  QObject::connect(f1, &QShortcut::activated, this, showHelp);
  Mirror();
  ApplyColours(*this);
  blocks_->setFocus();
}

bool TBlockWizardView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == tabs_ && event->type() == QEvent::FocusIn) {
    dialog_.EnterTabs();
  }
  return QDialog::eventFilter(watched, event);
}

void TBlockWizardView::Mirror() {
  mirroring_ = true;
  blocks_->setCurrentRow(dialog_.Selected);
  SetFieldText(*description_, ToQt(dialog_.Description));
  description_->setEnabled(dialog_.DescriptionEnabled);
  while (tabs_->count() > 0) {
    tabs_->removeTab(0);
  }
  for (const std::string& tab : dialog_.Tabs) {
    tabs_->addTab(ToQt(tab));
  }
  tabs_->setCurrentIndex(dialog_.Tab);
  tabs_->setEnabled(dialog_.TabsEnabled);
  parameterLabel_->setText(ToQt(dialog_.ParameterCaption));
  parameter_->setAccessibleName(AccessibleNameOf(dialog_.ParameterCaption));
  SetFieldText(*parameter_, ToQt(dialog_.Parameter));
  parameter_->setEnabled(dialog_.TabsEnabled);
  mirroring_ = false;
}

TTranslatorPickerView::TTranslatorPickerView(TTranslatorPickerDialog& dialog, QWidget* parent)
    : QDialog(parent), dialog_(dialog) {
  SetUpDialog(*this, dialog.Caption);
  auto* layout = new QVBoxLayout(this);
  auto* name = new QLabel(ToQt(dialog.TrackName), this);
  name->setObjectName("TreckName");
  name->setAlignment(Qt::AlignCenter);
  layout->addWidget(name);
  list_ = new QListWidget(this);
  list_->setObjectName("TranslatorList");
  list_->setAccessibleName(ToQt(dialog.Caption + ": " + dialog.TrackName));
  for (const std::string& translator : dialog.Translators) {
    list_->addItem(ToQt(translator));
  }
  list_->setCurrentRow(dialog.Selected);
  layout->addWidget(list_);
  auto* row = new QHBoxLayout();
  QPushButton* ok = Button(dialog.OkCaption, "OkButton", this);
  ok->setDefault(true);
  QPushButton* cancel = Button(dialog.CancelCaption, "CancelButton", this);
  row->addWidget(ok);
  row->addWidget(cancel);
  layout->addLayout(row);
  QObject::connect(list_, &QListWidget::currentRowChanged, this, [this](int row) { dialog_.Selected = row; });
  QObject::connect(ok, &QPushButton::clicked, this, [this] {
    if (dialog_.Ok()) {
      accept();
    }
  });
  QObject::connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  QObject::connect(this, &QDialog::rejected, this, [this] { dialog_.Cancel(); });
  ApplyColours(*this);
  list_->setFocus();
}
