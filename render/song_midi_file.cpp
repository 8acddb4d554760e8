#include "render/song_midi_file.h"

#include <vector>

#include "midi/midi_file_writer.h"
#include "notation/note_record.h"
#include "render/track_runtime.h"

namespace {

std::vector<TMidiFileTrackSource> TrackSources(PTreck firstTrack) {
  std::vector<TMidiFileTrackSource> sources;
  for (PTreck t = firstTrack; t; t = t->Next) {
    sources.push_back({t->Runtime ? &t->Runtime->Events : nullptr, t->Caption});
  }
  return sources;
}

}  // namespace

uint32_t SongTicksPerQuarter(PTreck firstTrack, uint32_t ticksPerMeasure) {
  const TNoteRec* first =
      firstTrack && firstTrack->NoteList ? firstTrack->NoteList->First : nullptr;
  if (first != nullptr && first->Signature) {
    return TicksPerQuarter(ticksPerMeasure, first->Signature->Numerator,
                           first->Signature->Denominator);
  }
  if (firstTrack && firstTrack->Runtime) {
    return TicksPerQuarter(ticksPerMeasure, firstTrack->Runtime->TimeSigNumerator,
                           firstTrack->Runtime->TimeSigDenominator);
  }
  return TicksPerQuarter(ticksPerMeasure, 4, 4);
}

bool WriteSongMidiFile(std::ostream& out, PTreck firstTrack, uint32_t ticksPerMeasure,
                       std::string& error) {
  return WriteMidiFile(out, TrackSources(firstTrack),
                       SongTicksPerQuarter(firstTrack, ticksPerMeasure), error);
}

bool WriteSongMidiFile(const std::string& fileName, PTreck firstTrack, uint32_t ticksPerMeasure,
                       std::string& error) {
  return WriteMidiFile(fileName, TrackSources(firstTrack),
                       SongTicksPerQuarter(firstTrack, ticksPerMeasure), error);
}
