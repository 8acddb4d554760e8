// The measure range dialog (a first and a last measure and the voices, for clearing,
// deleting and copying measures) and the go-to dialog (a measure and a voice), without
// widgets. Each hands its result back through the globals of dialog_results.h.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "songwindow/parts/number_field.h"

class TSongWindow;

// The measure range dialog, in the mode RangeDialogMode holds (1 clear, 2 delete, 3 copy).
// Made: RangeVoiceChoice := 0, both fields the current measure.
class TMeasureRangeDialog {
 public:
  explicit TMeasureRangeDialog(TSongWindow& window);
  TMeasureRangeDialog(const TMeasureRangeDialog&) = delete;
  TMeasureRangeDialog& operator=(const TMeasureRangeDialog&) = delete;

  uint16_t Mode = 1;
  // Captions (code page 1251).
  std::string Caption;
  std::string FromLabel;
  std::string ToLabel;
  std::string VoiceLabel;
  std::string OkCaption;
  std::string CancelCaption;

  TNumberField From;
  TNumberField To;  // corrected on a step, on leaving it and on OK, not while typed
  // The voices to act on: the current voice, all voices of the track, all tracks; none
  // in delete mode (the list is hidden).
  std::vector<std::string> Voices;
  int32_t Voice = 0;  // the entry chosen

  // The track's number of measures (at least 1).
  uint32_t Measures() const;
  // OK: both fields corrected; RangeVoiceChoice := the entry + 1 (1 without a list),
  // RangeFrom and RangeTo := the fields.
  void Ok();
  // Cancel (also closing the frame): RangeFrom := 0; RangeVoiceChoice stays 0.
  void Cancel();

 private:
  TSongWindow& window_;
};

// The go-to dialog. Made: GoToConfirmed := 0, the fields the current measure and voice;
// the voice field is read-only on the control track.
class TGoToDialog {
 public:
  // The highest measure the dialog goes to.
  static constexpr uint32_t kLastMeasure = 34463;

  explicit TGoToDialog(TSongWindow& window);
  TGoToDialog(const TGoToDialog&) = delete;
  TGoToDialog& operator=(const TGoToDialog&) = delete;

  std::string Caption;
  std::string MeasureLabel;
  std::string VoiceLabel;
  std::string OkCaption;
  std::string CancelCaption;

  TNumberField Measure;
  TNumberField Voice;

  // OK: GoToConfirmed := 1, GoToMeasure and GoToVoice := the fields.
  void Ok();
  // Cancel: nothing is handed back.
  void Cancel() {}

 private:
  TSongWindow& window_;
};
