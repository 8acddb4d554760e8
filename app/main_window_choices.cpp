#include "app/main_window_choices.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include <vector>

#include "platform/codec1251.h"

void NameForScreenReaders(QMessageBox& box) {
  const QString title = box.windowTitle();
  box.setAccessibleName(title.isEmpty() ? box.text() : title + ": " + box.text());
}

int ShowChoiceBox(const TMessageBoxRequest& request) {
  QString text = QString::fromStdString(Cp1251ToUtf8(request.Text));
  text.replace("\r\n", "\n").replace('\r', '\n');
  QMessageBox box(QMessageBox::Warning, QString::fromStdString(Cp1251ToUtf8(request.Caption)),
                  text, QMessageBox::NoButton, QApplication::activeWindow());
  NameForScreenReaders(box);
  std::vector<QPushButton*> buttons;
  for (const std::string& choice : request.Choices) {
    buttons.push_back(
        box.addButton(QString::fromStdString(Cp1251ToUtf8(choice)), QMessageBox::ActionRole));
  }
  box.addButton(QMessageBox::Cancel);  // Esc
  if (request.DefaultChoice >= 0 && static_cast<size_t>(request.DefaultChoice) < buttons.size()) {
    box.setDefaultButton(buttons[static_cast<size_t>(request.DefaultChoice)]);
  }
  box.exec();
  for (size_t i = 0; i < buttons.size(); ++i) {
    if (box.clickedButton() == buttons[i]) {
      return static_cast<int>(i);
    }
  }
  return -1;
}
