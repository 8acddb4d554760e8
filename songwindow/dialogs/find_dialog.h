// The find and replace dialog without widgets: the search text, the replacement, the case
// box and the second box (current voice only, or whole words in the handler program). It
// opens in the mode FindDialogMode holds and hands its result back through the globals of
// find_replace.h.
#pragma once

#include <string>

class TSongWindow;

// Made: the captions for the mode and the editor searched, both texts as last typed,
// FindDialogMode := 0 (so closing it any other way than by OK is Cancel).
class TFindDialog {
 public:
  explicit TFindDialog(TSongWindow& window);
  TFindDialog(const TFindDialog&) = delete;
  TFindDialog& operator=(const TFindDialog&) = delete;

  bool ReplaceMode = false;  // the replacement field is shown
  // Captions (code page 1251).
  std::string Caption;
  std::string WhatLabel;
  std::string WithLabel;
  std::string CaseCaption;
  std::string VoiceCaption;
  std::string OkCaption;
  std::string CancelCaption;

  std::string What;  // code page 1251
  std::string With;
  bool CaseSensitive = false;  // checked for the music text
  bool VoiceOnly = false;

  // A text typed (UTF-8): refused with the error signal when a character does not fit code
  // page 1251. True when taken.
  bool SetWhat(const std::string& utf8);
  bool SetWith(const std::string& utf8);
  // OK: the texts and both boxes kept for the search, FindDialogMode := 1. The find mode
  // keeps the replacement it did not show.
  void Ok();
  // Cancel (also Esc and closing the frame): the texts are kept for the next opening,
  // FindDialogMode := 0.
  void Cancel();

 private:
  void KeepTexts();

  TSongWindow& window_;
};
