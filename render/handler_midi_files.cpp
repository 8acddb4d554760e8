#include "render/handler_midi_files.h"

#include <mutex>

#include "midi/midi_event_parser.h"
#include "midi/midi_file_reader.h"
#include "platform/codec1251.h"
#include "render/track_runtime.h"

namespace {

// The pitch-bend value of the handler language (coarse + 128 * fine) from the wire bytes.
long double HandlerPitch(uint8_t fine, uint8_t coarse) {
  return coarse + 128.0L * fine;
}

// Applies one channel event to the entry and the track.
void DecodeChannelEvent(const TMidiEvent& ev, TMidiFileTrack& entry, uint32_t ticksPerMeasure,
                        TTrackRuntime& track) {
  const uint8_t a = ev.Data1;
  const uint8_t b = ev.Data2;
  entry.Channel = ev.Channel();
  switch (ev.Kind()) {
    case 0x80:
      track.KeyOffVelocity[a] = b;
      track.KeyPosition[a] = track.KeyLength[a];
      break;
    case 0x90:
      if (b == 0) {
        track.KeyOffVelocity[a] = 81;
        track.KeyPosition[a] = track.KeyLength[a];
        break;
      }
      entry.LastKey = a;
      entry.LastVelocity = b;
      track.KeyOnVelocity[a] = b;
      track.KeyLength[a] = static_cast<long double>(ticksPerMeasure) * 1000;
      track.KeyPosition[a] = 0;
      track.KeyState[a] = 0;
      break;
    case 0xB0:
      entry.LastController = a;
      entry.LastControllerValue = b;
      if (a == 0) {
        entry.Bank = b;
      }
      track.ControllerValues[a] = b;
      break;
    case 0xC0:
      entry.Program = a;
      track.Instrument = a;
      break;
    case 0xE0:
      track.PitchValue = HandlerPitch(a, b);
      entry.PitchBend = b * 128 + a - 8192;
      break;
    default:  // polyphonic and channel pressure
      break;
  }
}

std::mutex gMessagesMutex;
std::vector<TMidiFileMessage> gMessages;

void KeepMessage(const std::string& path, const std::string& text, bool warning) {
  std::lock_guard<std::mutex> lock(gMessagesMutex);
  gMessages.push_back({text + "\r\n" + Utf8ToCp1251(path).Text, warning ? "DMIDI Warning" : "DMIDI Error", warning});
}

}  // namespace

std::vector<TMidiFileMessage> TakeMidiFileMessages() {
  std::lock_guard<std::mutex> lock(gMessagesMutex);
  std::vector<TMidiFileMessage> taken;
  taken.swap(gMessages);
  return taken;
}

int TSongMidiFiles::FindIndex(std::string_view name) const {
  for (const TMidi* m = head_.get(); m != nullptr; m = m->Next.get()) {
    if (m->Name == name) {
      return m->Index;
    }
  }
  return -1;
}

int TSongMidiFiles::Load(const std::string& path, const std::string& name) {
  TMidiFile file;
  std::string error;
  if (!LoadMidiFile(path, file, error)) {
    if (error != kNoMidiHeader) {
      KeepMessage(path, error, false);
    }
    return -1;
  }
  for (const std::string& warning : file.Warnings) {
    KeepMessage(path, warning, true);
  }
  TMidi& record = AddMidiFile(head_, Utf8ToCp1251(path).Text, name);
  TakeOverMidiFile(file, record);
  return record.Index;
}

bool DecodeMidiFileEvent(TMidiFileTrack& entry, uint32_t ticksPerMeasure, TTrackRuntime& track) {
  if (!entry.HasData || entry.ReadPosition >= entry.Data.size()) {
    return true;
  }
  TMidiEvent ev;
  const TMidiParse r = ParseMidiEvent(entry.Data, entry.ReadPosition, entry.Data.size(), false,
                                      entry.RunningStatus, ev, nullptr);
  if (r != TMidiParse::Event) {
    entry.ReadPosition = entry.Data.size();
    return true;
  }
  entry.ReadPosition = ev.Next;
  if (ev.IsChannel()) {
    DecodeChannelEvent(ev, entry, ticksPerMeasure, track);
  } else if (ev.IsEndOfTrack()) {
    entry.Playing = false;
  }
  return false;
}
