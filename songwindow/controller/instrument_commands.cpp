// The commands that open the instruments dialog and the drum table, and what a command
// that is off says.
#include "feedback/signals.h"
#include "settings/lang_texts.h"
#include "songwindow/controller/song_window.h"

namespace {

constexpr uint8_t kDrumTrackChannel = 10;

// Why the instruments dialog or the drum table is not for `track`; empty: no reason known.
std::string SoundsRefusal(const TTreck& track, bool drums) {
  if (track.Channel == 0) {
    return LangStrOr(2042, "Трек сонга не звучит: инструменты и ударные выбираются на треках с нотами");
  }
  if (!drums && track.Channel == kDrumTrackChannel) {
    return LangStrOr(2041, "Трек ударных: инструменты выбираются на мелодических треках, таблица ударных — F7");
  }
  if (drums && track.Channel != kDrumTrackChannel) {
    return LangStrOr(2043, "Таблица ударных — на треке ударных (канал 10); инструменты этого трека — F6");
  }
  return std::string();
}

// Why the voice's harmony references cannot be written out as notes on `track`; empty:
// no reason known.
std::string HarmonyRefusal(const TTreck& track) {
  if (track.Channel == kDrumTrackChannel) {
    return LangStrOr(2620, "Трек ударных: гармонические ссылки преобразуются в ноты на мелодических треках");
  }
  return std::string();
}

}  // namespace

void TSongWindow::RefuseCommand(const std::string& name) {
  ports_.Signaller->Signal(sError);
  std::string why;
  if (name == "Undo") {
    why = LangStrOr(1996, "Нечего отменять");
  } else if ((name == "Instruments" || name == "Drums") && CurrentTrack != nullptr && FormatModule == nullptr) {
    why = SoundsRefusal(*CurrentTrack, name == "Drums");
  } else if (name == "ConvertHarmonyInNotes" && CurrentTrack != nullptr) {
    why = HarmonyRefusal(*CurrentTrack);
  }
  if (!why.empty()) {
    ports_.Speaker->Speak(why, -1);
  }
}

void TSongWindow::Instruments() {
  // A format plug-in's song has no instruments command.
  if (CurrentTrack == nullptr || ports_.Dialogs == nullptr || FormatModule != nullptr || CurrentTrack->Channel == 0 ||
      CurrentTrack->Channel == kDrumTrackChannel) {
    RefuseCommand("Instruments");
    return;
  }
  CommitEditors();
  ports_.Dialogs->Show(TWindowDialog::Instruments);
  ShowTrackInProgramEditor();
}

void TSongWindow::Drums() {
  if (CurrentTrack == nullptr || ports_.Dialogs == nullptr || CurrentTrack->Channel != kDrumTrackChannel) {
    RefuseCommand("Drums");
    return;
  }
  CommitEditors();
  ports_.Dialogs->Show(TWindowDialog::Drums);
}
