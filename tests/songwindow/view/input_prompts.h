// Answers the small text prompts (QInputDialog) a view opens, in order, as a user would:
// each prompt, once it is the active modal window, gets its text and is confirmed.
#pragma once

#include <QApplication>
#include <QInputDialog>
#include <QPointer>
#include <QStringList>
#include <QTimer>

class TPromptAnswers : public QObject {
 public:
  explicit TPromptAnswers(QStringList answers) : answers_(std::move(answers)) {
    QObject::connect(&poll_, &QTimer::timeout, this, [this] { AnswerOne(); });
    poll_.start(5);
  }
  // What was left unanswered (empty when every prompt came).
  const QStringList& Left() const { return answers_; }
  QStringList Captions;  // the prompts' labels, in order

 private:
  void AnswerOne() {
    auto* prompt = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
    if (prompt == nullptr || prompt == answered_.data() || answers_.isEmpty()) {
      return;
    }
    answered_ = prompt;
    Captions.append(prompt->labelText());
    prompt->setTextValue(answers_.takeFirst());
    prompt->accept();
    if (answers_.isEmpty()) {
      poll_.stop();
    }
  }

  QStringList answers_;
  QTimer poll_;
  QPointer<QInputDialog> answered_;  // null again once that prompt is gone
};
