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
// The record of a state file, validated as above; nothing when it cannot be read.
std::optional<TUndoState> ReadUndoStateFile(const std::string& path);

// "Resources/temp/Qem[N].dat" and "Resources/temp/qem[N].dNN" under `programDir`.
std::string UndoStatePath(const std::string& programDir, int32_t windowNumber);
std::string UndoSnapshotPath(const std::string& programDir, int32_t windowNumber, int32_t slot);

// One window's ring. Keeps the Undo action's caption and enabled state for the window.
class TUndoRing {
 public:
  TUndoRing(std::string programDir, int32_t windowNumber, std::string format);

  // Called at the first snapshot or state record that cannot be written (the window gives
  // the error signal); empty: nothing is told.
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
  // back and rewrites the state file.
  void DropNewest();
  // Window closing: deletes the state file and every snapshot of the window.
  void DeleteFiles();

  const TUndoState& State() const { return state_; }
  const std::string& Label() const { return label_; }
  const std::string& UndoCaption() const { return caption_; }
  bool UndoEnabled() const { return enabled_; }
  std::string StatePath() const;
  std::string SnapshotPath(int32_t slot) const;

 private:
  bool WriteSnapshot(const std::vector<std::string>& lines) const;
  // Writes the state record; false when it could not be written (the old file stays).
  bool WriteState() const;
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
  std::string caption_;  // the Undo action's caption
  bool enabled_ = false;
  bool write_failure_signalled_ = false;
};
