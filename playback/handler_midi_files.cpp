#include "playback/handler_midi_files.h"

#include "playback/midi_file_reader.h"
#include "platform/codec1251.h"

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
    return -1;
  }
  TMidi& record = AddMidiFile(head_, Utf8ToCp1251(path).Text, name);
  TakeOverMidiFile(file, record);
  return record.Index;
}
