#include "songwindow/dialogs/module_manager.h"

#include <algorithm>
#include <map>
#include <optional>
#include <system_error>

#include "base/note_arithmetic.h"
#include "feedback/message_box.h"
#include "feedback/signals.h"
#include "handler/handler_normalizer.h"
#include "platform/codec1251.h"
#include "settings/lang_texts.h"
#include "songwindow/controller/song_window.h"
#include "songwindow/parts/module_files.h"

namespace fs = std::filesystem;

std::string FreeListLabel;
int32_t FreeListPos = 0;
int32_t CommonListPos = 0;
int32_t TrackListPos = 0;
std::string ModuleNameBuffer;

namespace {

constexpr int kInterruptSpeech = -1;

bool Holds(const std::vector<std::string>& list, const std::string& name) {
  return std::find(list.begin(), list.end(), name) != list.end();
}

// The module names of a program's module lines, normalised.
std::vector<std::string> AttachedModules(const std::vector<std::string>& program) {
  std::vector<std::string> names;
  for (const std::string& line : program) {
    if (std::optional<std::string> name = ModuleOfLine(line)) {
      names.push_back(*name);
    }
  }
  return names;
}

// A program as the manager reads it: module lines by their module name, the others as written.
std::vector<std::string> AsRead(const std::vector<std::string>& program) {
  std::vector<std::string> read;
  for (const std::string& line : program) {
    const std::optional<std::string> name = ModuleOfLine(line);
    read.push_back(name ? "module " + *name : line);
  }
  return read;
}

// Replaces the first "%s" of text by value.
std::string FormatFirst(std::string text, const std::string& value) {
  if (const size_t at = text.find("%s"); at != std::string::npos) {
    text.replace(at, 2, value);
  }
  return text;
}

// Why a typed module name is refused; empty when it is taken (an empty name, the dialog
// left by Esc, is refused without words).
std::string NameRefusal(const std::string& typed) {
  if (typed.empty()) {
    return {};
  }
  if (typed.find_first_of("/\\ ") != std::string::npos) {
    return LangStrOr(1604, "В имени модуля не может быть пробелов и знаков / и \\");
  }
  const uint8_t kind = ClassifyText(NormalizeHandlerLine(typed));
  if (kind < 1 || kind > 3) {
    return LangStrOr(1605, "Имя модуля: только буквы, цифры, точки, запятые, подчёркивания и минус в начале");
  }
  // Dots alone would name a hidden file or leave the folder.
  if (typed.find_first_not_of('.') == std::string::npos) {
    return LangStrOr(1606, "Имя модуля не может состоять из одних точек");
  }
  return {};
}

}  // namespace

TModuleManagerDialog::TModuleManagerDialog(TSongWindow& window) : window_(window) {
  const TTreck* track = window.CurrentTrack;
  normalTrack_ = track != nullptr && track->Channel != 0;
  Caption = LangStrOr(77, "Управление модулями");
  if (FreeListLabel.empty()) {
    const std::string free = LangStr(252);
    const std::string hint = LangStr(253);
    FreeListLabel = free != "???" && hint != "???" ? free + " (" + hint + "):"
                                                   : Utf8ToCp1251("Свободные модули (используйте контекстное меню):").Text;
  }
  Labels[mlFree] = FreeListLabel;
  const std::string common = LangStr(250);
  Labels[mlCommon] = common == "???" ? Utf8ToCp1251("Подключенные модули ко всем трекам:").Text : common + ":";
  const std::string own = LangStr(251);
  Labels[mlTrack] = own == "???" ? Utf8ToCp1251("Подключенные модули к треку").Text : own;
  std::string inTrack = LangStrOr(246, "Подключить только к треку");
  if (normalTrack_) {
    Labels[mlTrack] += " " + track->Caption + ":";
    inTrack += " " + track->Caption;
  }
  TrackListEnabled = normalTrack_;
  Actions = {{"InCommon", LangStrOr(245, "Подключить для всех треков")},
             {"InTreck", inTrack},
             {"InFree", LangStrOr(247, "Отключить")},
             {"HelpModule", LangStrOr(221, "Описание модуля")},
             {"Editing", LangStrOr(95, "Редактировать модуль")},
             {"NewName", LangStrOr(249, "Переименовать")},
             {"NewModule", LangStrOr(248, "Создать Новый модуль")},
             {"CloseWindow", LangStrOr(185, "Закрыть Мастера")}};
  Initialing();
  for (TModuleAction& action : Actions) {
    action.Visible = action.Name == "CloseWindow";
  }
}

const TModuleAction& TModuleManagerDialog::Action(const std::string& name) const {
  return *std::find_if(Actions.begin(), Actions.end(), [&](const TModuleAction& a) { return a.Name == name; });
}

TModuleAction& TModuleManagerDialog::ActionRef(const std::string& name) {
  return *std::find_if(Actions.begin(), Actions.end(), [&](const TModuleAction& a) { return a.Name == name; });
}

int32_t& TModuleManagerDialog::Remembered(TModuleList list) {
  return list == mlFree ? FreeListPos : list == mlCommon ? CommonListPos : TrackListPos;
}

void TModuleManagerDialog::Initialing() {
  trackModules_.clear();
  if (normalTrack_) {
    trackModules_ = AttachedModules(window_.CurrentTrack->ProgramStrings);
  }
  commonModules_ = window_.HeadTreck != nullptr ? AttachedModules(window_.HeadTreck->ProgramStrings)
                                                : std::vector<std::string>();
  for (std::vector<std::string>& list : Lists) {
    list.clear();
  }
  Selected = {-1, -1, -1};
  for (const std::string& name : ModuleNamesInFolder()) {
    const TModuleList list = Holds(commonModules_, name) ? mlCommon : Holds(trackModules_, name) ? mlTrack : mlFree;
    Lists[list].push_back(name);
    if (!Holds(listed_, name)) {
      listed_.push_back(name);
    }
  }
}

void TModuleManagerDialog::Enter(TModuleList list) {
  if (list == mlNone || (list == mlTrack && !TrackListEnabled)) {
    return;
  }
  Focus = list;
  const bool any = !Lists[list].empty();
  for (TModuleAction& action : Actions) {
    action.Visible = action.Name == "CloseWindow";
  }
  ActionRef("InFree").Caption = list == mlFree ? LangStrOr(254, "Удалить модуль") : LangStrOr(247, "Отключить");
  ActionRef("NewModule").Visible = list == mlFree;
  if (any) {
    ActionRef("InFree").Visible = true;
    ActionRef("Editing").Visible = true;
    ActionRef("HelpModule").Visible = true;
    ActionRef("NewName").Visible = list == mlFree;
    ActionRef("InCommon").Visible = list != mlCommon;
    ActionRef("InTreck").Visible = list != mlTrack && normalTrack_;
  }
  // The remembered selection, or the first entry the first time.
  int32_t& pos = Remembered(list);
  const auto size = static_cast<int32_t>(Lists[list].size());
  if (pos == 0 && Selected[list] < 0 && any) {
    Selected[list] = 0;
  } else if (pos > 0 && size >= pos - 1) {
    Selected[list] = pos - 1 < size ? pos - 1 : -1;
  } else if (Selected[list] >= size) {
    Selected[list] = size - 1;
  }
  pos = Selected[list] + 1;
}

void TModuleManagerDialog::Select(TModuleList list, int32_t row) {
  if (list == mlNone) {
    return;
  }
  const auto size = static_cast<int32_t>(Lists[list].size());
  Selected[list] = row >= 0 && row < size ? row : -1;
  Remembered(list) = Selected[list] + 1;
}

void TModuleManagerDialog::ShowFreeLabel() {
  Labels[mlFree] = FreeListLabel;
}

void TModuleManagerDialog::FreeListKey() {
  const std::string free = LangStr(252);
  FreeListLabel = free == "???" ? Utf8ToCp1251("Свободные модули:").Text : free + ":";
  ShowFreeLabel();
}

std::string TModuleManagerDialog::SelectedName() const {
  if (Focus == mlNone || Selected[Focus] < 0 || static_cast<size_t>(Selected[Focus]) >= Lists[Focus].size()) {
    return {};
  }
  return Lists[Focus][static_cast<size_t>(Selected[Focus])];
}

void TModuleManagerDialog::Move(TModuleList target) {
  const TModuleList source = Focus;
  const std::string name = SelectedName();
  if (name.empty() || source == target) {
    window_.Ports().Signaller->Signal(sError);
    return;
  }
  std::vector<std::string>& from = Lists[source];
  from.erase(from.begin() + Selected[source]);
  Lists[target].push_back(name);
  const auto left = static_cast<int32_t>(from.size());
  int32_t& pos = Remembered(source);
  if (left < pos) {
    pos = left;
  }
  Selected[source] = pos - 1;
  Selected[target] = static_cast<int32_t>(Lists[target].size()) - 1;
  Remembered(target) = Selected[target] + 1;
  Enter(target);
  window_.Ports().Signaller->Signal(sOk);
}

void TModuleManagerDialog::InCommon() {
  if (Offered("InCommon") && (Focus == mlFree || Focus == mlTrack)) {
    Move(mlCommon);
  }
}

void TModuleManagerDialog::InTreck() {
  if (Offered("InTreck") && (Focus == mlFree || Focus == mlCommon)) {
    Move(mlTrack);
  }
}

void TModuleManagerDialog::InFree() {
  if (!Offered("InFree")) {
    return;
  }
  if (Focus != mlFree) {
    Move(mlFree);
    return;
  }
  const std::string name = SelectedName();
  if (name.empty()) {
    return;
  }
  const std::optional<fs::path> module = ExistingModuleFile(name, kModuleExt);
  const std::optional<fs::path> description = ExistingModuleFile(name, kDescriptionExt);
  if (!module) {
    return;
  }
  const std::string suffix = description ? " " + LangStrOr(256, "вместе с его описанием") : std::string();
  const std::string question = LangStrOr(255, "Вы действительно хотите удалить модуль") + " " + name + suffix + "?";
  if (window_.Ports().Questions->Ask(question, 0) != mbOk) {
    return;
  }
  std::error_code ec;
  fs::remove(*module, ec);
  if (description) {
    fs::remove(*description, ec);
  }
  Initialing();
  const auto size = static_cast<int32_t>(Lists[mlFree].size());
  if (size == 0 || size >= FreeListPos) {
    FreeListPos = 0;
  } else {
    FreeListPos = size;
  }
  Selected[mlFree] = FreeListPos - 1;
  Enter(mlFree);
}

void TModuleManagerDialog::Editing() {
  const std::string name = SelectedName();
  if (!Offered("Editing") || name.empty()) {
    return;
  }
  const std::optional<fs::path> path = ModuleFilePath(name, kModuleExt);
  if (!path) {
    window_.Ports().Signaller->Signal(sError);
    return;
  }
  if (window_.EditModuleFile.empty() || !SameModuleFile(*path, fs::path(window_.EditModuleFile))) {
    window_.EditModuleFile = path->string();
    window_.EditModuleLine = 1;
  }
  window_.Ports().Dialogs->Show(TWindowDialog::ModuleEditor);
}

void TModuleManagerDialog::HelpModule() {
  const std::string name = SelectedName();
  if (!Offered("HelpModule") || name.empty()) {
    return;
  }
  const std::optional<fs::path> path = ExistingModuleFile(name, kDescriptionExt);
  if (!path) {
    window_.Ports().Questions->Ask(LangStrOr(258, "Описание модуля не найдено") + "!", 1);
    return;
  }
  const std::string savedFile = window_.EditModuleFile;
  const int32_t savedLine = window_.EditModuleLine;
  window_.EditModuleFile = path->string();
  window_.EditModuleLine = 1;
  window_.Ports().Dialogs->Show(TWindowDialog::ModuleEditor);
  window_.EditModuleFile = savedFile;
  window_.EditModuleLine = savedLine;
}

void TModuleManagerDialog::NewName() {
  const std::string old = SelectedName();
  if (!Offered("NewName") || Focus != mlFree || old.empty()) {
    return;
  }
  ModuleNameBuffer = old;
  window_.Ports().Dialogs->Show(TWindowDialog::ModuleName);
  const std::string typed = ModuleNameBuffer;
  ModuleNameBuffer.clear();
  if (const std::string why = NameRefusal(typed); !why.empty() || typed.empty()) {
    window_.Ports().Signaller->Signal(sError);
    if (!why.empty()) {
      window_.Ports().Speaker->Speak(why, kInterruptSpeech);
    }
    return;
  }
  const std::optional<fs::path> module = ExistingModuleFile(old, kModuleExt);
  const std::optional<fs::path> description = ExistingModuleFile(old, kDescriptionExt);
  const fs::path folder = ModulesFolder();
  const fs::path newModule = folder / Cp1251ToUtf8(typed + ".Blk");
  const fs::path newDescription = folder / Cp1251ToUtf8(typed + std::string(kDescriptionExt));
  // Another module of that name (in any case) is never written over.
  const std::optional<fs::path> taken = ExistingModuleFile(typed, kModuleExt);
  const std::optional<fs::path> takenText = ExistingModuleFile(typed, kDescriptionExt);
  if ((taken && (!module || !SameModuleFile(*taken, *module))) ||
      (takenText && (!description || !SameModuleFile(*takenText, *description)))) {
    window_.Ports().Signaller->Signal(sError);
    window_.Ports().Questions->Ask(FormatFirst(LangStrOr(1600, "Модуль %s уже есть: имя не изменено") + "!", typed), 1);
    return;
  }
  std::error_code ec;
  if (module) {
    fs::rename(*module, newModule, ec);
    if (ec) {
      window_.Ports().Signaller->Signal(sError);
      window_.Ports().Speaker->Speak(LangStrOr(1607, "Файл модуля не переименован"), kInterruptSpeech);
      return;
    }
  }
  if (description) {
    fs::rename(*description, newDescription, ec);
  }
  std::vector<std::string>& free = Lists[mlFree];
  free[static_cast<size_t>(Selected[mlFree])] = typed;
  Selected[mlFree] = FreeListPos - 1;
  Renamed(NormalizeHandlerLine(old), typed);
}

void TModuleManagerDialog::Renamed(const std::string& old, const std::string& typed) {
  bool carried = false;
  for (auto& [inPrograms, now] : renamed_) {
    if (NormalizeHandlerLine(now) == old) {
      now = typed;
      carried = true;
    }
  }
  if (!carried) {
    renamed_[old] = typed;
  }
  if (const std::string name = NormalizeHandlerLine(typed); !Holds(listed_, name)) {
    listed_.push_back(name);
  }
}

std::string TModuleManagerDialog::NameNow(const std::string& name) const {
  const auto it = renamed_.find(name);
  return it == renamed_.end() ? name : NormalizeHandlerLine(it->second);
}

void TModuleManagerDialog::NewModule() {
  if (!Offered("NewModule")) {
    return;
  }
  window_.EditModuleFile.clear();
  window_.EditModuleLine = 1;
  window_.Ports().Dialogs->Show(TWindowDialog::ModuleEditor);
  Initialing();
  const std::vector<std::string>& free = Lists[mlFree];
  for (size_t i = 0; i < free.size() && !window_.EditModuleFile.empty(); ++i) {
    const std::optional<fs::path> path = ModuleFilePath(free[i], kModuleExt);
    if (path && SameModuleFile(*path, fs::path(window_.EditModuleFile))) {
      FreeListPos = static_cast<int32_t>(i) + 1;
    }
  }
  if (Focus != mlNone) {
    Selected[Focus] = Remembered(Focus) - 1;
    Enter(Focus);
  }
}

void TModuleManagerDialog::Close() {
  // Module lines are rewritten only for the modules listed since the dialog opened (under
  // their names now): a line naming a module that has no file stays as typed (the compiler
  // reports it).
  std::vector<std::string> known = listed_;
  for (const std::string& name : ModuleNamesInFolder()) {
    known.push_back(name);
  }
  for (const std::vector<std::string>& list : Lists) {
    for (const std::string& name : list) {
      known.push_back(NormalizeHandlerLine(name));
    }
  }
  const auto withoutModules = [&](const std::vector<std::string>& program, const std::string& only) {
    std::vector<std::string> kept;
    for (const std::string& line : program) {
      const std::optional<std::string> name = ModuleOfLine(line);
      const bool drop = name && (only.empty() ? Holds(known, NameNow(*name)) : NameNow(*name) == only);
      if (!drop) {
        kept.push_back(line);
      }
    }
    return kept;
  };
  std::map<TTreck*, std::vector<std::string>> programs;
  TTreck* head = window_.HeadTreck;
  TTreck* current = window_.CurrentTrack;
  // The other tracks' lines follow a renamed module.
  for (TTreck* track = head != nullptr ? head->Next : nullptr; track != nullptr; track = track->Next) {
    if (track == current || renamed_.empty()) {
      continue;
    }
    std::vector<std::string> lines = track->ProgramStrings;
    for (std::string& line : lines) {
      const std::optional<std::string> name = ModuleOfLine(line);
      if (name && NameNow(*name) != *name) {
        line = "Module " + renamed_.at(*name);
      }
    }
    programs[track] = std::move(lines);
  }
  if (normalTrack_) {
    std::vector<std::string> lines = withoutModules(current->ProgramStrings, {});
    for (const std::string& name : Lists[mlTrack]) {
      lines.insert(lines.begin(), "Module " + name);
    }
    programs[current] = std::move(lines);
  }
  if (head != nullptr) {
    std::vector<std::string> lines = withoutModules(head->ProgramStrings, {});
    for (const std::string& name : Lists[mlCommon]) {
      lines.insert(lines.begin(), "Module " + name);
      const std::string normal = NormalizeHandlerLine(name);
      for (TTreck* track = head->Next; track != nullptr; track = track->Next) {
        if (track == current) {
          continue;
        }
        std::vector<std::string>& program = programs.try_emplace(track, track->ProgramStrings).first->second;
        std::vector<std::string> kept = withoutModules(program, normal);
        for (size_t removed = program.size() - kept.size(); removed > 0; --removed) {
          const std::string text =
              LangStrOr(257, "Модуль %s, подключенный для всех треков, продублирован также и на треке %s, "
                             "следовательно, он будет удалён с данного трека") +
              "!";
          window_.Ports().Questions->Ask(FormatFirst(FormatFirst(text, name), track->Caption), 1);
        }
        program = std::move(kept);
      }
    }
    programs[head] = std::move(lines);
  }
  // A program whose modules did not change keeps its lines as written: closing without a
  // change leaves the song unchanged.
  std::erase_if(programs,
                [](const auto& entry) { return AsRead(entry.first->ProgramStrings) == AsRead(entry.second); });
  if (!programs.empty()) {
    window_.Saved(window_.EditLabel(1603, "Подключение модулей", ""));
    for (auto& [track, lines] : programs) {
      track->ProgramStrings = std::move(lines);
    }
  }
  for (std::vector<std::string>& list : Lists) {
    list.clear();
  }
}

TModuleNameDialog::TModuleNameDialog() {
  Caption = LangStrOr(226, "Имя модуля");
  Name = ModuleNameBuffer;
  ModuleNameBuffer.clear();
}

bool TModuleNameDialog::Ok(const std::string& utf8) {
  const std::optional<std::string> text = Utf8ToCp1251Exact(utf8);
  if (!text) {
    return false;
  }
  ModuleNameBuffer = *text;
  return true;
}
