#include "songwindow/dialogs/module_editor.h"

#include <string_view>
#include <system_error>

#include "feedback/file_error_text.h"
#include "feedback/message_box.h"
#include "feedback/signals.h"
#include "handler/handler_normalizer.h"
#include "platform/codec1251.h"
#include "platform/paths.h"
#include "platform/text_lines.h"
#include "settings/lang_texts.h"
#include "songwindow/controller/song_window.h"
#include "songwindow/parts/find_replace.h"
#include "songwindow/parts/module_files.h"

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kNewModuleExt = ".BLK";  // the save dialog's default extension

// The text box's lines: split at "\n" (a text of nothing has no line).
std::vector<std::string> BoxLines(const std::string& utf8Text) {
  std::vector<std::string> lines;
  if (utf8Text.empty()) {
    return lines;
  }
  size_t start = 0;
  while (true) {
    const size_t end = utf8Text.find('\n', start);
    lines.push_back(utf8Text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) {
      break;
    }
    start = end + 1;
  }
  return lines;
}

bool HeadsBlock(const std::string& line) {
  return NormalizeHandlerLine(line).starts_with("block ");
}

// The file name without its folder (code page 1251).
std::string FileNameOf(const fs::path& path) {
  return Utf8ToCp1251(path.filename().string()).Text;
}

}  // namespace

TModuleEditorDialog::TModuleEditorDialog(TSongWindow& window) : window_(window) {
  Caption = LangStrOr(222, "Новый Модуль");
  CloseCaption = LangStrOr(185, "Закрыть");
  EditMenuCaption = LangStrOr(92, "Правка");
  NavigationMenuCaption = LangStrOr(41, "Навигация");
  NextBlockCaption = LangStrOr(223, "Следующий блок");
  PriorBlockCaption = LangStrOr(224, "Предыдущий блок");
  EditItems = {{"EditUndo", LangStrOr(15, "Отменить")},      {"EditCut", LangStrOr(225, "Вырезать")},
               {"EditCopy", LangStrOr(53, "Копировать")},    {"EditPaste", LangStrOr(54, "Вставить")},
               {"EditSelectAll", LangStrOr(37, "Выделить всё")}, {"EditDelete", LangStrOr(31, "Очистить выделение")},
               {"SearchFind", LangStrOr(34, "Найти...")},     {"SearchFindNext", LangStrOr(35, "Найти далее")},
               {"SearchReplace", LangStrOr(36, "Заменить...")}};
  TextLabel = LangStrOr(160, "текст модуля");
  if (window.EditModuleFile.empty()) {
    return;
  }
  const fs::path path(window.EditModuleFile);
  std::optional<std::vector<std::string>> lines = ReadTextLines(path);
  if (!lines) {
    window.EditModuleFile.clear();  // a new module
    return;
  }
  Lines = std::move(*lines);
  const std::string name = FileNameOf(path);
  if (!SameNameIgnoringCase(path.extension().string(), kModuleExt)) {
    ReadOnly = true;
    const std::string word = LangStr(221);
    const std::string stem = name.size() >= 4 ? name.substr(0, name.size() - 4) : std::string();
    Caption = (word == "???" ? Utf8ToCp1251("Описание модуля").Text : word) + " " + stem;
  } else {
    Caption = name;
  }
  if (window.EditModuleLine > 0 && static_cast<size_t>(window.EditModuleLine) <= Lines.size()) {
    CaretLine = window.EditModuleLine;
  }
}

int32_t TModuleEditorDialog::FindBlock(const std::string& utf8Text, int32_t caretLine, int step) {
  const std::vector<std::string> lines = BoxLines(utf8Text);
  for (int64_t i = static_cast<int64_t>(caretLine) - 1 + step; i >= 0 && i < static_cast<int64_t>(lines.size());
       i += step) {
    const std::string line = Utf8ToCp1251(lines[static_cast<size_t>(i)]).Text;
    if (HeadsBlock(line)) {
      window_.Ports().Speaker->Speak(line, 1);
      return static_cast<int32_t>(i + 1);
    }
  }
  return 0;
}

int32_t TModuleEditorDialog::NextBlock(const std::string& utf8Text, int32_t caretLine) {
  return FindBlock(utf8Text, caretLine, 1);
}

int32_t TModuleEditorDialog::PriorBlock(const std::string& utf8Text, int32_t caretLine) {
  return FindBlock(utf8Text, caretLine, -1);
}

bool TModuleEditorDialog::Write(const fs::path& path, const std::vector<std::string>& lines) {
  std::string why;
  if (WriteTextLines(path, lines, &why)) {
    return true;
  }
  window_.Ports().Questions->Ask(FileErrorText(TFileAction::Save, path.string(), why), 3);
  return false;
}

bool TModuleEditorDialog::Close(const std::string& utf8Text, int32_t caretLine) {
  IQuestions& questions = *window_.Ports().Questions;
  std::vector<std::string> lines;
  bool fits = true;
  for (const std::string& line : BoxLines(utf8Text)) {
    std::optional<std::string> text = Utf8ToCp1251Exact(line);
    fits = fits && text.has_value();
    lines.push_back(text ? *text : Utf8ToCp1251(line).Text);
  }
  if (!window_.EditModuleFile.empty()) {
    const fs::path path(window_.EditModuleFile);
    window_.EditModuleLine = caretLine;
    if (ReadOnly || ReadTextLines(path) == lines) {
      return true;
    }
    const std::string name = "\r" + FileNameOf(path) + "\r";
    const std::string word = LangStr(260);
    std::string text = word == "???" ? Utf8ToCp1251("Модуль%sбыл изменён. Сохранить его?").Text : word + "?";
    if (const size_t at = text.find("%s"); at != std::string::npos) {
      text.replace(at, 2, name);
    }
    const int answer = questions.Ask(text, 2);
    if (answer == mbNo) {
      return true;
    }
    if (answer != mbYes) {
      return false;
    }
    if (!fits) {  // a character the file cannot hold: nothing written, the text kept
      window_.Ports().Signaller->Signal(sError);
      return false;
    }
    if (!Write(path, lines)) {
      return false;
    }
    CheckModuleFileName(window_, path);
    return true;
  }
  if (lines.empty()) {
    return true;
  }
  const int answer = questions.Ask(LangStrOr(259, "Сохранить Новый Модуль") + "?", 2);
  if (answer == mbNo) {
    return true;
  }
  if (answer != mbYes) {
    return false;
  }
  if (!fits) {
    window_.Ports().Signaller->Signal(sError);
    return false;
  }
  IFileDialogs* files = window_.Ports().FileDialogs;
  const std::optional<std::string> chosen =
      files == nullptr ? std::nullopt
                       : files->SaveFileIn(LangStrOr(1601, "Файлы модулей|*.BLK"),
                                           LangStrOr(1602, "Сохранение Нового Модуля"), ModulesFolder().string(),
                                           "NewModule" + std::string(kNewModuleExt));
  if (!chosen) {
    return false;
  }
  const fs::path path = SaveDialogPath(*chosen, std::string(kNewModuleExt));
  if (!window_.MayReplace(*chosen, path) || !Write(path, lines)) {
    return false;
  }
  window_.EditModuleFile = path.string();
  CheckModuleFileName(window_, path);
  return true;
}

void TModuleEditorDialog::NothingFound() {
  window_.Ports().Signaller->Signal(sError);
}

void TModuleEditorDialog::Replaced(int32_t count) {
  if (count == 0) {
    NothingFound();
    return;
  }
  window_.Ports().Questions->Ask(ReplacementsMessage(count), 1);
}

void CheckModuleFileName(TSongWindow& window, const fs::path& path) {
  std::string reasons;
  if (!SameNameIgnoringCase(path.extension().string(), kModuleExt)) {
    reasons = LangStrOr(435, "неверное расширение");
  }
  if (!InModulesFolder(path)) {
    reasons += (reasons.empty() ? "" : Utf8ToCp1251(" и ").Text) + LangStrOr(436, "неверный путь");
  }
  if (reasons.empty()) {
    return;
  }
  window.Ports().Questions->Ask(
      LangStrOr(437, "Данный файл не может быть использован программой в качестве модуля, так как он имеет") + " " +
          reasons + "!",
      3);
}
