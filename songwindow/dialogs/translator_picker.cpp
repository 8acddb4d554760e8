#include "songwindow/dialogs/translator_picker.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

#include "feedback/signals.h"
#include "handler/handler_normalizer.h"
#include "notation/translator.h"
#include "platform/codec1251.h"
#include "platform/paths.h"
#include "platform/text_lines.h"
#include "settings/lang_texts.h"
#include "settings/settings.h"
#include "songwindow/controller/song_window.h"

namespace {

constexpr int kInterrupt = -1;

// The translator of a track's own program text: a file path, "*" after "translatoroff",
// empty without a directive; nothing when a named file does not exist.
std::optional<std::string> OwnTranslator(const TTreck& track) {
  int32_t ticks = 1920;
  std::string path;
  if (!ReadTrackDirectives(NormalizeProgramLines(track.ProgramStrings), nullptr, ticks, path)) {
    return std::nullopt;
  }
  return path;
}

// The translator's name as the list shows it: the file name without ".cnv", normalised.
std::string NameOfPath(const std::string& path) {
  const std::string stem = std::filesystem::path(path).stem().string();
  return NormalizeHandlerLine(Utf8ToCp1251(stem).Text);
}

bool IsDirective(const std::string& line) {
  const std::string normal = NormalizeHandlerLine(line);
  return normal.starts_with("translator ") || normal == "translatoroff";
}

std::string Replaced(std::string text, const std::string& by) {
  if (const size_t at = text.find("%s"); at != std::string::npos) {
    text.replace(at, 2, by);
  }
  return text;
}

// A track's lines while the conversion is worked out.
struct TConvertedTrack {
  PTreck Track = nullptr;
  std::string Own;  // the translator of its own text
  std::vector<std::string> Music;
  std::vector<std::string> Program;
  std::string Path;  // TranslatorPath afterwards
};

}  // namespace

TTranslatorPickerDialog::TTranslatorPickerDialog(TSongWindow& window) : window_(window) {
  Caption = LangStrOr(78, "Транслятор");
  OkCaption = LangStrOr(184, "Ok");
  CancelCaption = LangStrOr(16, "Отмена");
  if (window.CurrentTrack != nullptr) {
    TrackName = window.CurrentTrack->Caption;
  }
  std::vector<std::string> names;
  if (const std::optional<std::filesystem::path> folder = FindUnder(ProgramDir, "Translator")) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(*folder, ec)) {
      const std::string file = entry.path().filename().string();
      if (file.size() <= 4 || !SameNameIgnoringCase(file.substr(file.size() - 4), ".cnv")) {
        continue;
      }
      const TCp1251Text name = Utf8ToCp1251(file.substr(0, file.size() - 4));
      if (name.Refused.empty()) {
        names.push_back(NormalizeHandlerLine(name.Text));
      }
    }
  }
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  Translators.push_back("[" + LangStrOr(244, "нет") + "]");
  Translators.insert(Translators.end(), names.begin(), names.end());
  // The translator in effect: the track's own, else the control track's.
  PTreck head = window.HeadTreck;
  if (window.CurrentTrack == nullptr || head == nullptr) {
    return;
  }
  std::string old = OwnTranslator(*window.CurrentTrack).value_or("");
  if (old.empty() && window.CurrentTrack != head) {
    old = OwnTranslator(*head).value_or("");
  }
  if (!old.empty() && old != "*") {
    const auto found = std::find(Translators.begin() + 1, Translators.end(), NameOfPath(old));
    if (found != Translators.end()) {
      Selected = static_cast<int32_t>(found - Translators.begin());
    }
  }
}

bool TTranslatorPickerDialog::Ok() {
  TSongWindow& w = window_;
  PTreck head = w.HeadTreck;
  PTreck current = w.CurrentTrack;
  if (head == nullptr || current == nullptr || Selected < 0 || static_cast<size_t>(Selected) >= Translators.size()) {
    return true;
  }
  const auto refuse = [&](const std::string& name) {
    w.Ports().Signaller->PlaySignal(sError);
    w.Ports().Speaker->Speak(
        Replaced(LangStrOr(1642, "Не удаётся прочитать транслятор %s: трек не изменён"), name), kInterrupt);
    return false;
  };
  // Each track's own translator, and the old one in effect for the current track.
  std::vector<TConvertedTrack> tracks;
  for (PTreck t = head; t != nullptr; t = t->Next) {
    const std::optional<std::string> own = OwnTranslator(*t);
    if (!own) {
      return refuse(t->Caption);
    }
    tracks.push_back({t, *own, t->MusicStrings, t->ProgramStrings, t->TranslatorPath});
  }
  const std::string& headOwn = tracks.front().Own;
  const auto effective = [&](const TConvertedTrack& t) {
    return !t.Own.empty() || t.Track == head ? t.Own : headOwn;
  };
  TConvertedTrack* currentCopy = nullptr;
  for (TConvertedTrack& t : tracks) {
    if (t.Track == current) {
      currentCopy = &t;
    }
  }
  if (currentCopy == nullptr) {
    return true;
  }
  const std::string old = effective(*currentCopy);
  const bool none = Selected == 0;
  const std::string wanted = none ? std::string() : Translators[static_cast<size_t>(Selected)];
  const std::string oldName = old.empty() || old == "*" ? std::string() : NameOfPath(old);
  if (wanted == oldName) {
    w.Ports().Signaller->Signal(sOk);
    return true;
  }
  // Every rule file is read before anything is converted.
  std::vector<std::string> oldRules;
  if (!old.empty() && old != "*") {
    std::optional<std::vector<std::string>> lines = ReadTextLines(old);
    if (!lines) {
      return refuse(oldName);
    }
    oldRules = std::move(*lines);
  }
  std::string newPath;
  std::vector<std::string> newRules;
  if (!none) {
    const std::optional<std::string> path = TranslatorFilePath(wanted);
    std::optional<std::vector<std::string>> lines = path ? ReadTextLines(*path) : std::nullopt;
    if (!lines) {
      return refuse(wanted);
    }
    newPath = *path;
    newRules = std::move(*lines);
  }
  const bool fromHead = current == head;
  std::vector<bool> usesOld;
  for (const TConvertedTrack& t : tracks) {
    usesOld.push_back((fromHead || t.Track == current) && effective(t) == old);
  }
  // Back from the old shorthand into Braille text; the old directives go.
  for (size_t i = 0; i < tracks.size(); ++i) {
    TConvertedTrack& t = tracks[i];
    if (!old.empty() && usesOld[i]) {
      for (std::string& line : t.Music) {
        TTranslatorCover cover;
        int32_t caret = -1;
        line = ApplyTranslator(line, oldRules, 1, cover, caret);
      }
      std::erase_if(t.Program, IsDirective);
    }
    if (fromHead && none && t.Own == "*") {
      std::erase_if(t.Program, IsDirective);
    }
  }
  if (none) {
    if (!fromHead && !headOwn.empty() && headOwn != "*") {
      currentCopy->Program.insert(currentCopy->Program.begin(), "TranslatorOff");
    }
    for (size_t i = 0; i < tracks.size(); ++i) {
      if (fromHead || tracks[i].Track == current) {
        tracks[i].Path.clear();
      }
    }
  } else {
    // Into the new shorthand; a track that chooses the control track's translator
    // inherits it again without a directive of its own.
    for (size_t i = 0; i < tracks.size(); ++i) {
      TConvertedTrack& t = tracks[i];
      if (!usesOld[i]) {
        continue;
      }
      for (std::string& line : t.Music) {
        line = TranslateText(line, newRules);
      }
      if ((!fromHead && newPath != headOwn) || (fromHead && t.Track == head)) {
        t.Program.insert(t.Program.begin(), "Translator " + wanted);
        t.Path = newPath;
      }
    }
  }
  w.Saved(w.EditLabel(29, "Преобразование трека", ""));
  for (TConvertedTrack& t : tracks) {
    t.Track->MusicStrings = std::move(t.Music);
    t.Track->ProgramStrings = std::move(t.Program);
    t.Track->TranslatorPath = t.Path;
  }
  w.Ports().Signaller->Signal(sOk);
  return true;
}

void TTranslatorPickerDialog::Cancel() {
  Translators.clear();
}
