// The song's MIDI files for the handler compiler: the control track's list of files
// loaded by "midi NAME='FILE'" statements.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "handler/handler_compiler.h"
#include "midi/midi_file_records.h"

struct TTrackRuntime;

// A message of the MIDI file reader for the user, naming the file (code page 1251), with its
// caption "DMIDI Error" or "DMIDI Warning".
struct TMidiFileMessage {
  std::string Text;
  std::string Caption;
  bool Warning = false;
  bool operator==(const TMidiFileMessage&) const = default;
};

// The messages of the files loaded since the last call, oldest first (a compile keeps them
// for the thread that may show boxes; guarded, so any thread may load).
std::vector<TMidiFileMessage> TakeMidiFileMessages();

class TSongMidiFiles final : public THandlerMidiFiles {
 public:
  // Works on the list at `head` (borrowed: the control track's HandlerMidiFiles).
  explicit TSongMidiFiles(std::unique_ptr<TMidi>& head) : head_(head) {}

  int FindIndex(std::string_view name) const override;
  // Reads the file and puts it at the head of the list; -1 (and the list unchanged)
  // when the reader refuses it. The reader's refusal (but that of a file that is no MIDI
  // file) and its warnings are kept for TakeMidiFileMessages. The record's FileName is the path in code page 1251.
  int Load(const std::string& path, const std::string& name) override;

 private:
  std::unique_ptr<TMidi>& head_;
};

// Decodes the event at the entry's read position into the track's state and moves past it:
// a note on sets the key's on velocity, a length of ticksPerMeasure * 1000 and position 0;
// a note off (or note on with velocity 0, which ends with velocity 81) sets the off
// velocity and moves the position to the length; a control change sets the controller's
// value, a program change the instrument, a pitch bend PitchValue (coarse + 128 * fine);
// end-of-track clears the entry's Playing flag. True when the entry's data are exhausted
// (or cannot be read further).
bool DecodeMidiFileEvent(TMidiFileTrack& entry, uint32_t ticksPerMeasure, TTrackRuntime& track);
