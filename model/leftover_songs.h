// Songs left in Resources/temp by windows of a program that ended without closing them:
// their undo files are no live window's (nobody holds the state file's lock) and hold a
// song that was changed after it was opened or last saved.
#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/file_identity.h"
#include "model/undo.h"

// One leftover song. Holds the lock of its state file while it lives, so that no window
// of this or another copy takes its number; letting it go without Discard leaves the
// files for the next start.
struct TLeftoverSong {
  int32_t WindowNumber = 0;
  // The newest song text that reads as a song: the present song file, else the newest
  // snapshot that reads (older ones when newer ones are damaged). Label and file-name
  // lines first, code page 1251.
  std::vector<std::string> Lines;
  std::string Format;         // the state record's format; empty when the record is damaged
  std::time_t Changed = 0;    // when that text was written
  std::unique_ptr<TUndoRing> Files;  // holds the lock
  // The song file as the window last read or wrote it, when it was kept and names the
  // song's file; and how the file stands against it now (Unknown without it).
  std::optional<TSavedFileIdentity> FileIdentity;
  TFileState FileSince = TFileState::Unknown;

  // The song's file (line 1 of the text; empty for a song never saved).
  std::string FileName() const { return Lines.size() > 1 ? Lines[1] : std::string(); }
  // The extension a window for it is made with: the file's, else the format, else "qem".
  std::string Extension() const;
  // Deletes the leftover's files (snapshots, present song, file identity, state file and the state
  // file's unfinished temporaries).
  void Discard();
};

// The leftovers of programDir, by window number. Each one found is locked; numbers whose
// state file a live window holds are passed over. A leftover with nothing to give back
// (never changed, nothing readable, or the same song as its file holds) is deleted at
// once and not returned. A state file that is not a regular file (a folder, a FIFO, a link)
// is passed over, untouched, with a line in *notes.
std::vector<TLeftoverSong> FindLeftoverSongs(const std::string& programDir,
                                             std::vector<std::string>* notes = nullptr);
