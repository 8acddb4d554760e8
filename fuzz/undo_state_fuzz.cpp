// libFuzzer target: any state file and snapshot file of the undo ring. The input's first
// byte gives the state file's length (modulo 16), the bytes after it the state file, the
// rest the snapshot in the slot the state names (slot 0 when it names none). A state record
// read is in range and encodes back to itself; opening loads the snapshot into a song or
// leaves a live song as it was (a song without tracks gets a new track); a song opened saves
// to a snapshot that opens to the same song.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "base/errors.h"
#include "model/song.h"
#include "model/song_undo.h"
#include "model/undo.h"
#include "settings/settings.h"

namespace {

constexpr int32_t kWindow = 1;

std::vector<std::string> SongText(TVelto& song) {
  song.DeConvert("text");
  return song.Data;
}

void CheckState(const TUndoState& state) {
  FUZZ_CHECK(state.Index >= 0 && state.Index < kUndoSlots);
  FUZZ_CHECK(state.Count >= 0 && state.Count <= kUndoSlots && state.Format.size() <= 3);
  const std::array<uint8_t, 12> bytes = EncodeUndoState(state);
  FUZZ_CHECK(DecodeUndoState(std::string(bytes.begin(), bytes.end())) == state);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ProgramDir = FuzzTempDir();
  SignalError = false;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) {
    return 0;
  }
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t stateLength = std::min<size_t>(static_cast<uint8_t>(input[0]) % 16, size - 1);
  const std::string stateBytes = input.substr(1, stateLength);
  const std::string snapshot = input.substr(1 + stateLength);
  const std::optional<TUndoState> decoded = DecodeUndoState(stateBytes);
  if (decoded) {
    CheckState(*decoded);
  }

  GErrors.Reset();
  TUndoRing ring(ProgramDir, kWindow, "qem");
  ring.DeleteFiles();
  std::filesystem::create_directories(ProgramDir + "Resources/temp");
  FUZZ_CHECK(WriteWholeFile(ring.StatePath(), stateBytes));
  FUZZ_CHECK(WriteWholeFile(ring.SnapshotPath(decoded ? decoded->Index : 0), snapshot));
  FUZZ_CHECK(ReadUndoStateFile(ring.StatePath()) == decoded);

  // A fresh window: it ends with the snapshot's song or a new track.
  TVelto song;
  TSongUndo view(song);
  const bool opened = ring.Opened(view);
  CheckState(ring.State());
  FUZZ_CHECK(song.HeadTreck != nullptr || opened);
  FUZZ_CHECK(!ring.UndoEnabled() || (decoded && ring.State().Count >= 1));

  // A live window: a snapshot that cannot be used leaves it as it was.
  TVelto live;
  TSongUndo liveView(live);
  live.AddTreck(live.CurrentTrack, "live", 1);
  const std::vector<std::string> before = SongText(live);
  TUndoRing again(ProgramDir, kWindow, "qem");
  if (!again.Opened(liveView)) {
    FUZZ_CHECK(SongText(live) == before);
  }

  if (opened) {
    GErrors.Reset();
    ring.Saved(view, "edit");
    const std::vector<std::string> text = SongText(song);
    TVelto reopened;
    TSongUndo reopenedView(reopened);
    TUndoRing third(ProgramDir, kWindow, "qem");
    FUZZ_CHECK(third.Opened(reopenedView));
    FUZZ_CHECK(SongText(reopened) == text && third.Label() == "edit");
    third.DropNewest();
    CheckState(third.State());
  }
  ring.DeleteFiles();
  return 0;
}
