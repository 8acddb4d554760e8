// Song preparation: every track that will sound gets its note list from its Braille text,
// its handler lines prepared for compiling and its translator applied; the control track
// gets its note list from the harmonizer.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "base/errors.h"
#include "model/track.h"

class TVelto;
struct TFormatEntryPoints;

// What preparation asks of the song window it prepares: whether text a translator would
// convert is to be converted in the song, an undo snapshot before it converts the song
// text, a refresh of the window after, and a wait until the Esc key is up (so that the key
// does not reach the editor). The caller hands it in and answers it with no lock held: a
// question may run a modal loop in which Stop is pressed. This base is a window-less
// preparation: questions go to LangMessageBox, nothing is recorded, shown or waited for.
class IPreparationWindow {
 public:
  virtual ~IPreparationWindow() = default;
  // Asks the question (code page 1251); true when the text is to be converted.
  virtual bool ConfirmConversion(const std::string& question);
  virtual void Saved(const std::string& /*label*/) {}
  virtual void ShowTreck() {}
  virtual void WaitEscReleased() {}
  // A message of the MIDI file reader (code page 1251) under its caption; this base shows
  // it by CaptionedMessageBox.
  virtual void ShowMidiFileMessage(const std::string& text, const std::string& caption, bool warning);
};

// Counts the song preparations begun: every one clears the rendered event lists of the
// song it prepares, so lists rendered before it are not played again.
extern std::atomic<uint32_t> GSongPreparations;

// Prepares the song headed by HeadTreck for compiling and rendering (the window's own
// fields by reference). Claims the playback for WindowNumber, resets and pads the tracks,
// reads the translator directives, translates every track that plays (asking whether
// text a translator would convert is to be converted in the song) and harmonizes the
// first track into the control track's notes. True when the song may be compiled. On
// failure `errors` says what and where, CurrentTrack, StartTrack, CurrentMeasure and the
// track's Voice point at the fault, and GRendering is 1 for a translation error. The
// measures added to even out the tracks are taken away again on every path.
bool PrepareSong(PTreck& HeadTreck, PTreck& StartTrack, PTreck& CurrentTrack,
                 int32_t& WindowNumber, int32_t& TicksPerMeasure, int32_t& CurrentMeasure,
                 TErrorRecord& errors, const std::shared_ptr<TFormatEntryPoints>& FormatModule,
                 IPreparationWindow& ui);

// PrepareSong on a song window's fields with GErrors, asking `ui` (by default no window).
bool PrepareSong(TVelto& window, IPreparationWindow& ui);
bool PrepareSong(TVelto& window);
