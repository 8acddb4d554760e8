// The commands that open the handler dialogs on a compiled song: the block wizard for the
// block tag at the caret, and the translator picker.
#include <algorithm>
#include <optional>

#include "feedback/signals.h"
#include "notation/translator.h"
#include "platform/text_lines.h"
#include "playback/transport.h"
#include "render/module_assembly.h"
#include "render/render_globals.h"
#include "render/render_state.h"
#include "render/song_preparation.h"
#include "render/track_runtime.h"
#include "songwindow/controller/song_window.h"
#include "songwindow/parts/block_tag.h"
#include "songwindow/parts/dialog_results.h"

namespace {

// Prepares and compiles the whole song of `window` with the block library, as a play of
// every voice from measure 1 would. False with GErrors set.
bool CompileForDialog(TSongWindow& window) {
  Transport().Stop();
  RenderRun().Reset(1, 0);
  return PrepareAndCompileSong(window, &window.Preparation(), true);
}

// The rules of the translator in effect for the current track (none: empty).
std::vector<std::string> CurrentRules(const TSongWindow& window) {
  const std::string& path = window.CurrentTrack->TranslatorPath;
  if (path.empty() || path == "*") {
    return {};
  }
  return ReadTextLines(path).value_or(std::vector<std::string>());
}

}  // namespace

void TSongWindow::BlockObrabotchik() {
  if (CurrentTrack == nullptr) {
    return;
  }
  ports_.Signaller->Signal(sTrack);
  CommitEditors();
  if (ports_.Dialogs == nullptr) {
    ports_.Signaller->PlaySignal(sError);
    return;
  }
  std::optional<int32_t> caret;
  std::string newLine;
  if (CompileForDialog(*this)) {
    IEditors& editors = *ports_.Editors;
    const std::string shown = editors.NotesText();
    int32_t at = editors.NotesCaret();
    const std::vector<std::string> rules = CurrentRules(*this);
    TTranslatorCover cover;
    std::string line = rules.empty() ? shown : ApplyTranslator(shown, rules, 2, cover, at);
    TBlockTagPlace place = FindBlockTag(line, at);
    const auto from = [&](int32_t p) { return static_cast<size_t>(p - 1); };
    if (place.First > 1 && place.Last - place.First == 2 && line.substr(from(place.First), 2) == ")." &&
        (line[from(place.First) - 1] == 'K' || line[from(place.First) - 1] == 'L')) {
      place = {};
    }
    if (place.First > 0 && line.compare(from(place.First), 3, "L).") == 0) {
      place = {};
    }
    if (place.First == 0 || place.Last == 0) {
      ports_.Signaller->PlaySignal(sError);
    } else {
      BlockWizardName.clear();
      BlockWizardParams.clear();
      const size_t colon = place.Text.find(':');
      BlockWizardName = place.Text.substr(0, colon);
      if (colon != std::string::npos) {
        const std::string params = place.Text.substr(colon + 1);
        size_t start = 0;
        for (;;) {
          const size_t semicolon = params.find(';', start);
          BlockWizardParams.push_back(params.substr(start, semicolon == std::string::npos ? std::string::npos : semicolon - start));
          if (semicolon == std::string::npos) {
            break;
          }
          start = semicolon + 1;
        }
      }
      ports_.Dialogs->Show(TWindowDialog::BlockWizard);
      // Only an answer of the wizard's changes the line: a tag text or "*".
      if (BlockWizardName == "*" || BlockWizardName.starts_with(")")) {
        const std::string tag = BlockWizardName == "*" ? std::string() : BlockWizardName;
        line.replace(from(place.First), static_cast<size_t>(place.Last - place.First), tag);
        caret = place.First - 1 + static_cast<int32_t>(tag.size());
        newLine = rules.empty() ? line : TranslateText(line, rules);
        if (!rules.empty()) {
          // The caret after the tag, counted in the shorthand the editor shows.
          caret = static_cast<int32_t>(TranslateText(line.substr(0, static_cast<size_t>(*caret)), rules).size());
        }
        if (newLine != shown) {
          Saved(EditLabel(76, "Блок-обработчик", ""));
          editors.SetNotesText(newLine);
          editors.SetNotesCaret(static_cast<int32_t>(*caret), static_cast<int32_t>(*caret));
          CommitEditors();
        }
        ports_.Signaller->Signal(sOk);
      }
      BlockWizardName.clear();
      BlockWizardParams.clear();
    }
  }
  ResetSongRenderState(HeadTreck);
  if (ReportCompileError()) {
    return;
  }
  ShowTreck(smSilent);
  if (caret) {
    ports_.Editors->SetNotesCaret(static_cast<int32_t>(*caret), static_cast<int32_t>(*caret));
  }
}

void TSongWindow::Translatoring() {
  if (CurrentTrack == nullptr) {
    return;
  }
  ports_.Signaller->Signal(sTrack);
  CommitEditors();
  if (ports_.Dialogs == nullptr) {
    ports_.Signaller->PlaySignal(sError);
    return;
  }
  if (CompileForDialog(*this)) {
    ports_.Dialogs->Show(TWindowDialog::TranslatorPicker);
  }
  ResetSongRenderState(HeadTreck);
  if (!ReportCompileError()) {
    ShowTreck(smPlace);
  }
}
