// libFuzzer target: any song text (label line, file-name line, then the tracks) is read, or
// refused with code 39 leaving the window as it was. A song read saves to a text that reads
// back to the same text, also after the editors commit into its current track.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "base/errors.h"
#include "model/song.h"
#include "model/song_text.h"

namespace {

// The song the window holds before the input is read.
const std::vector<std::string> kOldSong = {"old", "old.qem", "0 1 0 1 1 1 1", "Control",
                                           "tempo 100", "1 0 1 1 1 1 1", "Piano", "Vd4!NNQT"};

std::vector<std::string> SavedText(TVelto& song, const std::string& label) {
  song.DeConvert(label);
  return song.Data;
}

// The list links both ways, its head has no predecessor, the count and the window's
// track pointers agree with it.
void CheckTrackList(const TVelto& song) {
  FUZZ_CHECK(song.HeadTreck == nullptr || song.HeadTreck->Prev == nullptr);
  int32_t count = 0;
  bool currentFound = song.CurrentTrack == nullptr;
  for (PTreck t = song.HeadTreck; t != nullptr; t = t->Next) {
    FUZZ_CHECK(t->Next == nullptr || t->Next->Prev == t);
    FUZZ_CHECK(t->Channel <= 16 && t->Voice >= 1 && t->MidiOut >= 0 && t->MidiOut <= kMaxMidiOut);
    currentFound = currentFound || t == song.CurrentTrack;
    ++count;
  }
  FUZZ_CHECK(currentFound && count == song.TrackCount);
}

// Reads text into a fresh window and gives what it saves; the text must read.
std::vector<std::string> ReadBack(const std::vector<std::string>& text) {
  TVelto song;
  song.Data = text;
  std::string label;
  song.Convert(label);
  FUZZ_CHECK(GErrors.Code() == 0);
  CheckTrackList(song);
  return SavedText(song, label);
}

// The editors of the window show the current track's measure and voice as stored, with
// the text typed into the Braille line editor; SaveData commits them.
void CommitEditors(TVelto& song, const std::string& typed, int32_t measure) {
  song.CurrentMeasure = measure;
  song.FillEditors();
  song.NotesEditText = typed;
  song.SaveData(song.CurrentTrack->Voice);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string> text = InputLines(data, size);
  GErrors.Reset();
  TVelto song;
  song.Data = kOldSong;
  std::string label;
  song.Convert(label);
  FUZZ_CHECK(GErrors.Code() == 0);
  const std::vector<std::string> before = SavedText(song, label);

  song.Data = text;
  song.Convert(label);
  if (GErrors.Code() != 0) {
    FUZZ_CHECK(GErrors.Code() == kSongTextError);
    FUZZ_CHECK(SavedText(song, "old") == before);
    CheckTrackList(song);
    return 0;
  }
  CheckTrackList(song);
  FUZZ_CHECK(label == text[0] && song.FileName == text[1]);
  const std::vector<std::string> saved = SavedText(song, label);
  FUZZ_CHECK(ReadBack(saved) == saved);

  if (song.CurrentTrack != nullptr) {
    CommitEditors(song, text.back(), 1 + static_cast<int32_t>(size % 8));
    const std::vector<std::string> committed = SavedText(song, label);
    FUZZ_CHECK(ReadBack(committed) == committed);
  }
  return 0;
}
