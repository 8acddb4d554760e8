#include "songwindow/dialogs/range_dialogs.h"

#include <algorithm>

#include "settings/lang_texts.h"
#include "songwindow/controller/window_texts.h"
#include "songwindow/parts/dialog_results.h"
#include "songwindow/controller/song_window.h"

namespace {

TNumberField MakeField(TSongWindow& window) {
  return TNumberField(*window.Ports().Speaker, *window.Ports().Signaller);
}

// Voices of measure `measure` (1-based) of the track: one more than its "()" separators;
// 1 beyond the track's last line.
uint32_t VoicesOfMeasure(const TTreck* track, uint32_t measure) {
  if (track == nullptr || measure < 1 || measure > track->MusicStrings.size()) {
    return 1;
  }
  const std::string& line = track->MusicStrings[measure - 1];
  uint32_t voices = 1;
  for (size_t at = line.find("()"); at != std::string::npos; at = line.find("()", at + 2)) {
    ++voices;
  }
  return voices;
}

}  // namespace

TMeasureRangeDialog::TMeasureRangeDialog(TSongWindow& window)
    : From(MakeField(window)), To(MakeField(window)), window_(window) {
  Mode = RangeDialogMode;
  RangeVoiceChoice = 0;
  switch (Mode) {
    case 2:
      Caption = LangStrOr(271, "Удаление");
      OkCaption = LangStrOr(56, "Удалить");
      break;
    case 3:
      Caption = LangStrOr(272, "Копирование");
      OkCaption = LangStrOr(53, "Копировать");
      break;
    default:
      Caption = LangStrOr(270, "Очисттка");
      OkCaption = LangStrOr(1384, "Очистить");
      break;
  }
  FromLabel = LangStrOr(269, "С такта:");
  ToLabel = CaptionOf({"ToTacktText", 183, "по:", ":"});
  VoiceLabel = CaptionOf({"VoiceText", 1380, "Голоса:", ":"});
  CancelCaption = LangStrOr(16, "Отмена");
  if (Mode != 2) {
    const uint16_t voice = window.CurrentTrack != nullptr ? window.CurrentTrack->Voice : 1;
    Voices = {LangStrOr(97, "Голос") + " " + std::to_string(voice),
              LangStrOr(273, "Все голоса трека"), LangStrOr(274, "Все треки")};
  }

  From.Rule = [this](TNumberField& f) {
    if (f.Text.empty() || f.Value() < 1) {
      f.Text = "1";
    } else if (f.Value() > Measures()) {
      f.Text = std::to_string(Measures());
    }
    if (To.Value() < f.Value()) {
      To.Text = f.Text;
    }
  };
  To.Rule = [this](TNumberField& f) {
    if (f.Text.empty() || f.Value() < From.Value()) {
      f.Text = From.Text;
    }
    if (f.Value() > Measures()) {
      f.Text = std::to_string(Measures());
    }
    if (f.Value() < 1) {
      f.Text = "1";
    }
  };
  To.RuleWhileTyping = false;
  From.Last = To.Last = [this] { return Measures(); };
  const auto measure = std::to_string(std::clamp<int32_t>(window.CurrentMeasure, 0, kNumberFieldMax));
  To.Text = measure;
  From.Text = measure;
  From.Confirm();
  To.Confirm();
  From.SelectAll = To.SelectAll = false;
}

uint32_t TMeasureRangeDialog::Measures() const {
  const TTreck* track = window_.CurrentTrack;
  const size_t lines = track != nullptr ? track->MusicStrings.size() : 0;
  return static_cast<uint32_t>(std::clamp<size_t>(lines, 1, kNumberFieldMax));
}

void TMeasureRangeDialog::Ok() {
  From.Confirm();
  To.Confirm();
  RangeVoiceChoice = Voices.empty() ? 1 : static_cast<uint16_t>(std::clamp<int32_t>(Voice, 0, 2) + 1);
  RangeFrom = static_cast<uint16_t>(From.Value());
  RangeTo = static_cast<uint16_t>(To.Value());
}

void TMeasureRangeDialog::Cancel() {
  RangeVoiceChoice = 0;
  RangeFrom = 0;
}

TGoToDialog::TGoToDialog(TSongWindow& window)
    : Measure(MakeField(window)), Voice(MakeField(window)), window_(window) {
  GoToConfirmed = 0;
  Caption = CaptionOf({"TForm8", 52, "Перейти...", "..."});
  MeasureLabel = CaptionOf({"GoTacktText", 237, "Номер такта:", ":"});
  VoiceLabel = CaptionOf({"GoVoiceText", 236, "Номер голоса:", ":"});
  OkCaption = LangStrOr(184, "Ok");
  CancelCaption = LangStrOr(16, "Отмена");
  const TTreck* track = window.CurrentTrack;
  const bool control = track == nullptr || track->Channel == 0;

  Measure.Rule = [](TNumberField& f) {
    if (f.Value() < 1) {
      f.Text = "1";
    } else if (f.Value() > kLastMeasure) {
      f.Text = std::to_string(kLastMeasure);
    }
  };
  Measure.SaturateTyped = true;  // a number typed past the last measure shows the last one
  Measure.Last = [this] {
    const TTreck* t = window_.CurrentTrack;
    return static_cast<uint32_t>(std::clamp<size_t>(t != nullptr ? t->MusicStrings.size() : 1, 1, kLastMeasure));
  };
  Voice.Rule = [control](TNumberField& f) {
    if (f.Value() < 1 || (control && f.Value() > 1)) {
      f.Text = "1";
    } else if (f.Value() > kLastVoice) {
      f.Text = std::to_string(kLastVoice);
    }
  };
  Voice.Last = [this] { return VoicesOfMeasure(window_.CurrentTrack, Measure.Value()); };
  Voice.ReadOnly = control;
  Measure.Text = std::to_string(std::clamp<int32_t>(window.CurrentMeasure, 0, kNumberFieldMax));
  Voice.Text = std::to_string(track != nullptr ? track->Voice : 1);
  Measure.Confirm();
  Voice.Confirm();
  Measure.SelectAll = Voice.SelectAll = false;
}

void TGoToDialog::Ok() {
  Measure.Confirm();
  Voice.Confirm();
  GoToConfirmed = 1;
  GoToMeasure = static_cast<uint16_t>(Measure.Value());
  GoToVoice = static_cast<uint16_t>(Voice.Value());
}
