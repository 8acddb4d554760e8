// The song window's module commands: the module editor and the module manager.
#include <filesystem>
#include <optional>

#include "feedback/error_messages.h"
#include "feedback/signals.h"
#include "platform/codec1251.h"
#include "songwindow/controller/song_window.h"
#include "songwindow/parts/module_files.h"

namespace fs = std::filesystem;

void TSongWindow::EditModules() {
  CommitEditors();
  if (ports_.Dialogs == nullptr) {
    ports_.Signaller->Signal(sError);
    return;
  }
  ports_.Dialogs->Show(TWindowDialog::ModuleEditor);
}

void TSongWindow::EditingModuleFromProgram() {
  if (ports_.Editors == nullptr || CurrentTrack == nullptr) {
    ports_.Signaller->Signal(sError);
    return;
  }
  const std::vector<std::string> lines = ports_.Editors->ProgramLines();
  const int32_t at = ports_.Editors->ProgramCaretLine();
  const std::string line = at >= 0 && static_cast<size_t>(at) < lines.size() ? lines[static_cast<size_t>(at)] : "";
  const std::optional<std::string> name = ModuleOfLine(line);
  if (!name) {
    ports_.Signaller->Signal(sError);
    return;
  }
  const std::optional<fs::path> path = ExistingModuleFile(*name, kModuleExt);
  if (!path) {
    const std::string place = CurrentTrack->Caption + " " + Word(158, "программный текст") + "!";
    // The module's file name is a place: never shortened.
    ports_.Questions->Ask(
        HandlerErrorMessage(19, "", place, "Modules\\" + *name + std::string(kModuleExt)), 3);
    return;
  }
  if (EditModuleFile.empty() || !SameModuleFile(*path, fs::path(EditModuleFile))) {
    EditModuleFile = path->string();
    EditModuleLine = 1;
  }
  EditModules();
}

void TSongWindow::EditingLastModul() {
  if (EditModuleFile.empty()) {
    ports_.Signaller->Signal(sError);
    return;
  }
  EditModules();
}

void TSongWindow::MasteringModuls() {
  CommitEditors();
  if (ports_.Dialogs == nullptr) {
    ports_.Signaller->Signal(sError);
    return;
  }
  ports_.Dialogs->Show(TWindowDialog::ModuleManager);
  ShowTrackInProgramEditor();
}
