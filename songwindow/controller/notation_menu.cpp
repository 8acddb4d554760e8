// The notation insert menu (F2) and the Edit menu's commands on the Braille line.
#include "songwindow/controller/notation_menu.h"

#include <algorithm>
#include <filesystem>
#include <optional>

#include "feedback/signals.h"
#include "platform/atomic_file.h"
#include "platform/paths.h"
#include "settings/lang_texts.h"
#include "settings/settings.h"
#include "songwindow/controller/braille_editor.h"
#include "songwindow/controller/song_window.h"

std::vector<std::string> NotationMenuLines;

namespace {

// Every "{...}" group of line replaced by its language text or its built-in text. What a
// group gives is not read again, so a group "{{}" stands for a plain "{".
std::string ReplaceGroups(std::string_view line) {
  std::string out;
  size_t i = 0;
  while (i < line.size()) {
    const size_t open = line.find('{', i);
    const size_t close = open == std::string_view::npos ? open : line.find('}', open + 1);
    if (close == std::string_view::npos) {
      out.append(line.substr(i));
      break;
    }
    out.append(line.substr(i, open - i));
    const std::string_view group = line.substr(open + 1, close - open - 1);
    size_t digits = 0;
    while (digits < group.size() && group[digits] >= '0' && group[digits] <= '9') {
      ++digits;
    }
    std::string text = "???";
    if (digits > 0 && digits < 10) {
      text = LangStr(std::stoi(std::string(group.substr(0, digits))));
    }
    if (text == "???") {
      std::string_view rest = group.substr(digits);
      if (!rest.empty() && rest.front() == '=') {
        rest.remove_prefix(1);
      }
      text = std::string(rest);
    }
    out += text;
    i = close + 1;
  }
  return out;
}

bool IsSubmenuLine(const std::string& line) {
  return !line.empty() && line.front() == '+';
}

}  // namespace

void GetCaption(std::string_view line, std::string& text, std::string& caption) {
  while (!line.empty() && line.front() == '+') {
    line.remove_prefix(1);
  }
  const std::string replaced = ReplaceGroups(line);
  const size_t equals = replaced.find('=');
  caption = replaced.substr(0, equals);
  text = equals == std::string::npos ? std::string() : replaced.substr(equals + 1);
}

std::vector<TNotationMenuItem> BuildNotationMenu(std::vector<std::string>& lines) {
  std::vector<TNotationMenuItem> root;
  std::vector<std::vector<TNotationMenuItem>*> levels{&root};
  int32_t command = 0;
  for (std::string& line : lines) {
    std::string text;
    std::string caption;
    if (line == "-" && levels.size() > 1) {
      levels.pop_back();
      line.clear();
      continue;
    }
    GetCaption(line, text, caption);
    TNotationMenuItem item;
    item.Caption = caption;
    if (IsSubmenuLine(line)) {
      item.Kind = TNotationEntry::Submenu;
      levels.back()->push_back(std::move(item));
      levels.push_back(&levels.back()->back().Items);
      line.clear();
      continue;
    }
    item.Kind = line == "-" ? TNotationEntry::Separator : TNotationEntry::Insert;
    item.Text = text;
    item.Command = ++command;
    line = std::to_string(command) + "=" + text;
    levels.back()->push_back(std::move(item));
  }
  return root;
}

const TNotationMenuItem* FindNotationItem(const std::vector<TNotationMenuItem>& menu, int32_t command) {
  for (const TNotationMenuItem& item : menu) {
    if (item.Kind == TNotationEntry::Submenu) {
      if (const TNotationMenuItem* found = FindNotationItem(item.Items, command)) {
        return found;
      }
    } else if (item.Kind == TNotationEntry::Insert && item.Command == command) {
      return &item;
    }
  }
  return nullptr;
}

bool ReadMenuFile(const std::string& path, std::vector<std::string>& lines) {
  // Never a FIFO or a folder: ReadFileBytes refuses what is not a regular file.
  const std::optional<std::string> bytes = ReadFileBytes(path);
  if (!bytes) {
    return false;
  }
  const std::string& text = *bytes;
  lines.clear();
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) {
      end = text.size();
    }
    lines.push_back(text.substr(start, end - start));
    start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
  return true;
}

void TSongWindow::InitialMenuBraileNotation() {
  NotationMenu.clear();
  const std::optional<std::filesystem::path> path = FindUnder(ProgramDir, "Resources/qem.zel");
  std::vector<std::string> lines;
  if (path && ReadMenuFile(path->string(), lines)) {
    NotationMenuLines = std::move(lines);
    NotationMenu = BuildNotationMenu(NotationMenuLines);
  }
  SetEnabled("QEMHelper", !NotationMenu.empty());
  editor_->QEMHelper = [this] { QEMHelper(); };
}

void TSongWindow::QEMHelper() {
  if (CurrentTrack == nullptr || NotationMenu.empty() || ports_.Dialogs == nullptr) {
    ports_.Signaller->Signal(sError);
    return;
  }
  CommitEditors();
  ports_.Dialogs->Show(TWindowDialog::NotationMenu);
}

void TSongWindow::InsertBraileNotation(int32_t command) {
  const TNotationMenuItem* item = FindNotationItem(NotationMenu, command);
  if (item == nullptr) {
    ports_.Signaller->Signal(sError);
    return;
  }
  if (item->Text.empty() || CurrentTrack == nullptr || ports_.Editors == nullptr) {
    return;
  }
  std::string label = item->Caption;
  std::erase(label, '&');
  editor_->InsertNotation(item->Text, label);
  Notify();
}

bool TBrailleEditor::InsertNotation(const std::string& text, const std::string& label) {
  IEditors& editors = *w_.Ports().Editors;
  const int32_t length = static_cast<int32_t>(editors.NotesText().size());
  const auto at = static_cast<int32_t>(std::min<int32_t>(std::min(editors.NotesCaret(), editors.NotesAnchor()), length));
  editors.SetNotesCaret(at, at);
  if (!ReplaceSelection(text, label)) {
    return false;
  }
  const TAudition a = Audition(Caret(), true);
  if (!a.Described) {
    if (NumLockDownOrOn()) {
      for (char c : text) {
        w_.Ports().Speaker->Speak(Spell(std::string(1, c)), 0);
      }
    } else {
      w_.Ports().Speaker->Speak(text, 0);
    }
  }
  w_.LastAuditionText.clear();
  return true;
}

bool TBrailleEditor::ClearSelection(const std::string& label) {
  if (w_.CurrentTrack == nullptr || w_.Ports().Editors == nullptr) {
    return false;
  }
  IEditors& editors = *w_.Ports().Editors;
  if (editors.NotesCaret() == editors.NotesAnchor()) {
    return false;
  }
  if (w_.Ports().LockKeys->ScrollLockOn()) {
    Beep();
    return false;
  }
  return ReplaceSelection(std::string(), label);
}
