// The translator picker without widgets: the current track's translator chosen from the
// rule files of the translator folder; on OK the music text is converted from the old
// translator's shorthand into the new one's and the directives rewritten.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TSongWindow;

class TTranslatorPickerDialog {
 public:
  explicit TTranslatorPickerDialog(TSongWindow& window);

  // Captions (code page 1251).
  std::string Caption;
  std::string TrackName;
  std::string OkCaption;
  std::string CancelCaption;

  // "[нет]", then the translator names (lower case, sorted); Selected is the entry chosen.
  std::vector<std::string> Translators;
  int32_t Selected = 0;

  // OK: the conversion into copies of the tracks, which replace them only when every rule
  // file was read (after an undo step). True when the dialog may close; false, nothing
  // changed and the reason said, when a rule file cannot be read.
  bool Ok();
  // Cancel (also closing the frame): nothing changes.
  void Cancel();

 private:
  TSongWindow& window_;
};
