#include "feedback/message_box.h"

#include <iostream>

#include "settings/lang_texts.h"
#include "platform/codec1251.h"

namespace {

struct TKindRow {
  int CaptionId;
  const char* BuiltInCaption;
  uint32_t Flags;
  int FirstButton;
};

constexpr TKindRow kKinds[4] = {
    {432, "Вопрос", 33, mbOk},
    {433, "Информация", 64, mbOk},
    {432, "Вопрос", 35, mbYes},
    {434, "Ошибка", 16, mbOk},
};

std::mutex gBoxesMutex;
std::shared_ptr<IMessageBoxes> gBoxes;

std::shared_ptr<IMessageBoxes> CurrentBoxes() {
  std::lock_guard<std::mutex> lock(gBoxesMutex);
  if (!gBoxes) {
    gBoxes = std::make_shared<TScriptedMessageBoxes>(std::vector<int>{}, &std::cerr);
  }
  return gBoxes;
}

}  // namespace

TScriptedMessageBoxes::TScriptedMessageBoxes(std::vector<int> answers, std::ostream* echo)
    : answers_(answers.begin(), answers.end()), echo_(echo) {}

int TScriptedMessageBoxes::Show(const TMessageBoxRequest& request) {
  std::lock_guard<std::mutex> lock(mutex_);
  shown_.push_back(request);
  if (echo_ != nullptr) {
    std::string text = Cp1251ToUtf8(request.Text);
    for (char& c : text) {
      if (c == '\r') {
        c = '\n';
      }
    }
    *echo_ << Cp1251ToUtf8(request.Caption) << ": " << text << '\n';
  }
  if (!answers_.empty()) {
    const int answer = answers_.front();
    answers_.pop_front();
    return answer;
  }
  if (!request.Choices.empty()) {
    return request.DefaultChoice;
  }
  return request.Kind < 4 ? kKinds[request.Kind].FirstButton : mbNone;
}

void TScriptedMessageBoxes::Answer(int button) {
  std::lock_guard<std::mutex> lock(mutex_);
  answers_.push_back(button);
}

std::vector<TMessageBoxRequest> TScriptedMessageBoxes::Shown() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return shown_;
}

void SetMessageBoxes(std::shared_ptr<IMessageBoxes> boxes) {
  std::lock_guard<std::mutex> lock(gBoxesMutex);
  gBoxes = std::move(boxes);
}

int LangMessageBox(const std::string& text, uint8_t kind) {
  if (kind >= 4) {
    return mbNone;
  }
  const TKindRow& row = kKinds[kind];
  TMessageBoxRequest request;
  request.Text = text;
  request.Caption = LangStrOr(row.CaptionId, row.BuiltInCaption);
  request.Kind = kind;
  request.Flags = row.Flags;
  return CurrentBoxes()->Show(request);
}

int CaptionedMessageBox(const std::string& text, const std::string& caption, bool warning) {
  TMessageBoxRequest request;
  request.Text = text;
  request.Caption = caption;
  request.Kind = warning ? 1 : 3;
  request.Flags = warning ? 48 : 16;  // warning or error icon, OK
  return CurrentBoxes()->Show(request);
}

int LangChoiceBox(const std::string& text, const std::vector<std::string>& choices,
                  int defaultChoice) {
  TMessageBoxRequest request;
  request.Text = text;
  request.Caption = LangStrOr(kKinds[0].CaptionId, kKinds[0].BuiltInCaption);
  request.Kind = 0;
  request.Flags = kKinds[0].Flags;
  request.Choices = choices;
  request.DefaultChoice = defaultChoice;
  return CurrentBoxes()->Show(request);
}
