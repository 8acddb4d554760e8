// The undo ring of a song window: before each change the whole song text is written to
// one of 100 numbered snapshot files, and a 12-byte state file says where the ring stands.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// What the ring needs of the song window.
class IUndoSong {
 public:
  virtual ~IUndoSong() = default;
  // False while the window has no song text list (nothing is recorded then).
  virtual bool HasData() const = 0;
  // True when the song holds at least one track.
  virtual bool HasTracks() const = 0;
  // Commits the editors (when there is a current track) and gives the whole song text,
  // code page 1251 lines, with `label` as its label line.
  virtual std::vector<std::string> SnapshotLines(const std::string& label) = 0;
  // Replaces the song with the song text `lines` and gives its label; nothing when the text
  // does not parse (the old tracks stay and the parser has reported it).
  virtual std::optional<std::string> RestoreSnapshot(const std::vector<std::string>& lines) = 0;
  // Adds a new track named `name` (code page 1251) on channel 0.
  virtual void AddFreshTrack(const std::string& name) = 0;
  // Forgets the file the song was loaded from.
  virtual void ClearFileName() = 0;
};

// The state record: ring slot of the newest snapshot, how many can be undone, the
// window's format extension (at most 3 characters).
struct TUndoState {
  int32_t Index = 0;
  int32_t Count = 0;
  std::string Format;
  bool operator==(const TUndoState&) const = default;
};

constexpr int32_t kUndoSlots = 100;

// The 12 bytes of a state record, little-endian: index, count, then the format as one
// length byte and three character bytes (unused ones 0).
std::array<uint8_t, 12> EncodeUndoState(const TUndoState& state);
// The record of 12 bytes; nothing when the bytes are not exactly 12 or a field is out of
// range (index 0..99, count 0..100, length 0..3).
std::optional<TUndoState> DecodeUndoState(const std::string& bytes);
// The record of a state file, validated as above; nothing when it cannot be read or is
// not a regular file.
std::optional<TUndoState> ReadUndoStateFile(const std::string& path);

// "Resources/temp/Qem[N].dat" and "Resources/temp/qem[N].dNN" under `programDir`.
std::string UndoStatePath(const std::string& programDir, int32_t windowNumber);
std::string UndoSnapshotPath(const std::string& programDir, int32_t windowNumber, int32_t slot);
// "Resources/temp/qem[N].rec": the song as the window held it after its last change, newer
// than the newest snapshot while it exists.
std::string UndoPresentPath(const std::string& programDir, int32_t windowNumber);
// "Resources/temp/qem[N].fid": the song file as the window last read or wrote it.
std::string UndoFileIdentityPath(const std::string& programDir, int32_t windowNumber);

// True while another open ring, of this process or another one, holds the lock (flock) of
// window windowNumber's state file: those files belong to a live window and are neither
// taken over, deleted nor recovered.
bool UndoStateHeldElsewhere(const std::string& programDir, int32_t windowNumber);

// True when a file of window windowNumber's ring (state, present song or a snapshot) is
// something else than a regular file: a folder, a FIFO, a link put there by someone else.
// Such a number is given to no window (its undo files could not be written or read).
bool UndoFilesBlocked(const std::string& programDir, int32_t windowNumber);

// One window's ring. Keeps the Undo action's caption and enabled state for the window.
// From its first write to DeleteFiles (or its end) it holds an advisory lock on its state
// file; a ring whose state file another ring holds writes and deletes nothing.
class TUndoRing {
 public:
  TUndoRing(std::string programDir, int32_t windowNumber, std::string format);
  ~TUndoRing();
  TUndoRing(TUndoRing&& other) noexcept;
  TUndoRing& operator=(TUndoRing&&) = delete;
  TUndoRing(const TUndoRing&) = delete;
  TUndoRing& operator=(const TUndoRing&) = delete;

  // Called at the first snapshot or state record that cannot be written (the window tells
  // WriteError()); empty: nothing is told.
  std::function<void()> WriteFailureSignal;

  // Window creation: writes the state file with index 0, count 0 and the format.
  void Start();
  // Records the song before an operation named `label`. An empty label rewrites the
  // newest snapshot with the present song (under the label it had) and blanks the label:
  // the caption becomes the undo word and a blank. A snapshot that cannot
  // be written, or whose state record cannot be written, is not counted; the first such
  // failure calls WriteFailureSignal.
  void Saved(IUndoSong& song, const std::string& label);
  // Reads the state file and loads the snapshot it names into the song. False when the
  // state or the snapshot cannot be used: then a song without tracks gets a new one and
  // a live song is left as it is; undo is off when the state could not be read.
  bool Opened(IUndoSong& song);
  // The undo command's step after Opened: deletes the newest snapshot, steps the ring
  // back and rewrites the state file; the caption then names the snapshot now newest,
  // and undo is off when none is left or it cannot be read.
  void DropNewest();
  // Window closing: deletes every snapshot, the present song and the state file of the
  // window and lets its lock go; nothing when another ring holds the state file. Nothing
  // is written afterwards.
  void DeleteFiles();
  // Writes the song as it is now (song text lines, label line first) to the present song
  // file, unless the file holds these lines already. Every change of the ring removes that
  // file, so that it is never older than the newest snapshot. False when it could not be
  // written (the first such failure calls WriteFailureSignal) or the files were deleted.
  bool WritePresent(const std::vector<std::string>& lines);
  // Keeps `bytes` (what the window remembers of its song file) beside the present song
  // until the files are deleted; empty bytes remove it. False when it could not be written.
  bool WriteFileIdentity(const std::string& bytes);
  // Locks the state file that a program which ended left behind, to recover or delete its
  // files. False when there is none or a live window holds it.
  bool TakeOverLeftover();
  // True when the state file's lock could not be taken: another live window has the number.
  bool HeldElsewhere() const { return held_elsewhere_; }
  // Why the last write failed, naming the file or the folder that refused it (UTF-8).
  const std::string& WriteError() const { return write_error_; }
  // The file the last failed write was for (UTF-8).
  const std::string& WriteErrorFile() const { return write_error_file_; }

  const TUndoState& State() const { return state_; }
  const std::string& Label() const { return label_; }
  // The Undo action's caption in the language loaded now: the undo word, with the label
  // of the newest snapshot while there is one to undo.
  std::string UndoCaption() const;
  bool UndoEnabled() const { return enabled_; }
  std::string StatePath() const;
  std::string SnapshotPath(int32_t slot) const;
  std::string PresentPath() const;
  std::string FileIdentityPath() const;

 private:
  // Removes the present song file: the ring has changed after it was written.
  void ForgetPresent();
  // Takes the state file's lock when it is not held yet; false when another ring holds it.
  bool HoldLock();
  bool WriteSnapshot(const std::vector<std::string>& lines);
  // Writes the state record through a locked temporary file renamed over the state file,
  // so that the file at its path is locked at every moment; false when it could not be
  // written (the old file stays).
  bool WriteState();
  // Calls WriteFailureSignal unless it was called since the last good write.
  void SignalWriteFailure();
  void SetCaption(bool withLabel);
  void FailOpen(IUndoSong& song);
  // A song without tracks gets a new one and forgets its file.
  void GiveTrackWhenEmpty(IUndoSong& song);

  std::string program_dir_;
  int32_t window_number_;
  TUndoState state_;
  std::string label_;    // label of the newest snapshot (code page 1251)
  bool with_label_ = false;  // the caption names the label
  bool enabled_ = false;
  bool write_failure_signalled_ = false;
  int lock_fd_ = -1;  // the state file, locked
  bool held_elsewhere_ = false;
  bool deleted_ = false;  // DeleteFiles ran: nothing is written any more
  std::optional<uint64_t> present_hash_;  // of the present song file's bytes, when written
  std::string write_error_;
  std::string write_error_file_;
};
