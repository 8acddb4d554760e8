#include "songwindow/dialogs/find_dialog.h"

#include "feedback/signals.h"
#include "platform/codec1251.h"
#include "settings/lang_texts.h"
#include "songwindow/controller/song_window.h"
#include "songwindow/controller/window_texts.h"
#include "songwindow/parts/find_replace.h"

namespace {

// The text when it fits code page 1251; else the error signal and why.
bool Take(TSongWindow& window, const std::string& utf8, std::string& into) {
  const TCp1251Text text = Utf8ToCp1251(utf8);
  if (!text.Refused.empty()) {
    window.RefuseCharacters(text.Refused);
    return false;
  }
  into = text.Text;
  return true;
}

}  // namespace

TFindDialog::TFindDialog(TSongWindow& window) : window_(window) {
  ReplaceMode = FindDialogMode == 2;
  WhatLabel = CaptionOf({"FindText1", 233, "Что искать:", "?"});
  WithLabel = CaptionOf({"FindText2", 234, "На:", ""});
  CaseCaption = LangStrOr(232, "С учётом регистра");
  VoiceCaption = LangStrOr(235, "Только в текущем голосе");
  OkCaption = LangStrOr(34, "Найти");
  CancelCaption = LangStrOr(16, "Отмена");
  if (ReplaceMode) {
    Caption = LangStrOr(36, "Замена");
    WhatLabel = CaptionOf({"FindText1", 227, "Заменить:", ":"});
    OkCaption = LangStrOr(228, "Заменить далее");
  } else {
    Caption = LangStrOr(34, "Поиск");
  }
  if (FindInHandler) {
    Caption += " " + LangStrOr(229, "в обработчике трека");
    VoiceCaption = LangStrOr(230, "Слово целиком");
  } else {
    Caption += " " + LangStrOr(231, "в нотном тексте трека");
    CaseSensitive = true;
  }
  What = FindText;
  With = ReplaceText;
  FindDialogMode = 0;
}

bool TFindDialog::SetWhat(const std::string& utf8) { return Take(window_, utf8, What); }

bool TFindDialog::SetWith(const std::string& utf8) { return Take(window_, utf8, With); }

void TFindDialog::KeepTexts() {
  FindText = What;
  if (ReplaceMode) {
    ReplaceText = With;
  }
}

void TFindDialog::Ok() {
  KeepTexts();
  FindCaseSensitive = CaseSensitive;
  FindVoiceOnly = VoiceOnly;
  FindDialogMode = 1;
}

void TFindDialog::Cancel() {
  KeepTexts();
  FindDialogMode = 0;
}
