// libFuzzer target: whatever events the writers are asked for, the file written from the
// lists is one the reader accepts, with one chunk per track.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <sstream>
#include <string>

#include "model/track.h"
#include "midi/midi_event_writer.h"
#include "midi/midi_file_reader.h"
#include "render/song_midi_file.h"
#include "render/track_runtime.h"

namespace {

// Reads the input from the front, 0 once it is used up.
struct Input {
  const uint8_t* Data;
  size_t Size;
  uint8_t Byte() {
    if (Size == 0) {
      return 0;
    }
    --Size;
    return *Data++;
  }
  uint32_t Word() { return Byte() | (Byte() << 8) | (Byte() << 16); }
};

void WriteOne(Input& in, TTrackRuntime& rt, uint32_t tick, uint32_t tpm) {
  const int a = static_cast<int8_t>(in.Byte()) * 3;
  const int b = static_cast<int8_t>(in.Byte()) * 3;
  const int channel = in.Byte() % 19;
  switch (in.Byte() % 12) {
    case 0: WriteNoteOn(a, rt.KeyOnVelocity[a & 0x7F], channel, rt, tick, tpm); break;
    case 1: WriteNoteOff(a, rt.KeyOffVelocity[a & 0x7F], channel, rt, tick, tpm); break;
    case 2: WriteController(a, b, channel, rt, tick, tpm); break;
    case 3: WriteProgramChange(a, channel, rt, tick, tpm); break;
    case 4: WritePitchBend(channel, rt, tick, tpm, a * 97.5L); break;
    case 5: WritePolyPressure(a, b, channel, rt, tick, tpm); break;
    case 6: WriteTextEvent(std::string(static_cast<size_t>(in.Byte()), '\xFF'), rt, tick, tpm); break;
    case 7: WriteTrackName("n", rt, tick, tpm); break;
    case 8: WriteTimeSignature(a, b, rt, tick, tpm); break;
    case 9: WriteTempo(rt, tick, tpm, a * 1.7L); break;
    case 10: rt.PositionRnd = a * 40; break;
    default: rt.KeyOnVelocity[a & 0x7F] = b * 2.5L; break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in{data, size};
  const uint32_t tpm = in.Word();
  std::deque<TTreck> tracks(1 + in.Byte() % 4);
  for (size_t i = 0; i + 1 < tracks.size(); ++i) {
    tracks[i].Next = &tracks[i + 1];
  }
  uint32_t tick = 0;
  while (in.Size > 0) {
    TTreck& t = tracks[in.Byte() % tracks.size()];
    tick += in.Byte() % 4 == 0 ? in.Word() : 0;
    WriteOne(in, RuntimeOf(t), tick, tpm);
  }
  std::ostringstream out;
  std::string error;
  if (!WriteSongMidiFile(out, &tracks.front(), tpm, error)) {
    __builtin_trap();  // the writers never make a list the file writer refuses
  }
  const std::string bytes = out.str();
  TMidiFile file;
  if (!ReadMidiFile({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, file, error) ||
      file.TrackCount != tracks.size()) {
    __builtin_trap();
  }
  return 0;
}
