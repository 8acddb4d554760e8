// libFuzzer target: any bytes given to the MIDI file reader are read or refused with a
// reason, and a read file can be walked by a handler player to its end.
#include <cstddef>
#include <cstdint>
#include <string>

#include "midi/midi_file_reader.h"
#include "render/handler_midi_files.h"
#include "render/track_runtime.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMidiFile file;
  std::string error;
  if (!ReadMidiFile({data, size}, file, error)) {
    if (error.empty()) {
      __builtin_trap();  // a refusal must say why
    }
    return 0;
  }
  TTrackRuntime track;
  for (TMidiFileTrack& entry : file.Tracks) {
    entry.Playing = true;
    uint32_t delta = 0;
    while (entry.Playing && ReadMidiFileDelta(entry, delta)) {
      if (DecodeMidiFileEvent(entry, 1920, track)) {
        break;
      }
    }
  }
  return 0;
}
