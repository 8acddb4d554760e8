#include "midi/midi_file_records.h"

#include <utility>

TMidi::~TMidi() {
  // Unlink iteratively: a long list must not recurse once per record.
  std::unique_ptr<TMidi> rest = std::move(Next);
  while (rest) {
    rest = std::move(rest->Next);
  }
}

TMidi& AddMidiFile(std::unique_ptr<TMidi>& head, const std::string& fileName,
                   const std::string& name) {
  auto record = std::make_unique<TMidi>();
  record->FileName = fileName;
  record->Name = name;
  if (head) {
    record->Index = static_cast<uint16_t>(head->Index + 1);
  }
  record->Next = std::move(head);
  head = std::move(record);
  return *head;
}

void FreeMidiFileList(std::unique_ptr<TMidi>& head) {
  head.reset();
}

void TakeOverMidiFile(TMidiFile& from, TMidi& into) {
  into.TrackCount = from.TrackCount;
  into.Division = from.Division;
  into.Tracks.clear();
  into.Tracks.resize(from.Tracks.size());
  for (size_t i = 0; i < from.Tracks.size(); ++i) {
    TMidiFileTrack& source = from.Tracks[i];
    TMidiFileTrack& entry = into.Tracks[i];
    entry.ChunkLength = source.ChunkLength;
    entry.Data = std::move(source.Data);
    entry.HasData = source.HasData;
    entry.ReadPosition = 0;
    entry.Index = static_cast<uint16_t>(i);
    source.Data.clear();
    source.HasData = false;
    source.ReadPosition = 0;
  }
}

TMidi* FindMidiFileByIndex(TMidi* head, uint16_t index) {
  for (TMidi* m = head; m; m = m->Next.get()) {
    if (m->Index == index) {
      return m;
    }
  }
  return nullptr;
}
