#include "model/undo.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <utility>

#include "model/file_identity.h"
#include "platform/atomic_file.h"
#include "platform/text_lines.h"
#include "settings/lang_texts.h"

namespace {

constexpr size_t kStateBytes = 12;
constexpr size_t kFormatChars = 3;

void PutInt32(std::array<uint8_t, 12>& out, size_t at, int32_t value) {
  const auto bits = static_cast<uint32_t>(value);
  for (size_t i = 0; i < 4; ++i) {
    out[at + i] = static_cast<uint8_t>(bits >> (8 * i));
  }
}

int32_t GetInt32(const std::string& bytes, size_t at) {
  uint32_t bits = 0;
  for (size_t i = 0; i < 4; ++i) {
    bits |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + i])) << (8 * i);
  }
  return static_cast<int32_t>(bits);
}

// A file of the ring as bytes; nothing when it is missing, cannot be read or is not a
// regular file (a folder or a FIFO put there by someone else).
std::optional<std::string> ReadWholeFile(const std::string& path) {
  return ReadFileBytes(path);
}

// Writes `bytes` to a temporary file beside `path` and renames it over `path`, so a
// crash never leaves half a file.
bool WriteFileWhole(const std::string& path, const std::string& bytes, std::string* why) {
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
  return WriteFileAtomically(path, bytes, why);
}

// The file at path opened and locked: -1 when there is none or it cannot be opened, or
// (with *elsewhere set) when another open file holds its lock. The lock is taken on the
// file that is at the path after the lock is taken (a writer renames new files over it).
int LockStateFile(const std::string& path, bool* elsewhere) {
  *elsewhere = false;
  for (int attempt = 0; attempt < 100; ++attempt) {
    // Never waits in the open: a FIFO or a folder at the path is no state file.
    const int fd = OpenRegularFile(path, O_RDONLY | O_NOFOLLOW);
    if (fd < 0) {
      return -1;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      *elsewhere = errno == EWOULDBLOCK;
      ::close(fd);
      return -1;
    }
    struct stat held {};
    struct stat now {};
    if (::fstat(fd, &held) == 0 && ::stat(path.c_str(), &now) == 0 &&
        held.st_dev == now.st_dev && held.st_ino == now.st_ino) {
      return fd;
    }
    ::close(fd);  // replaced meanwhile: lock the new one
  }
  return -1;
}

std::string FolderOf(const std::string& path) {
  return std::filesystem::path(path).parent_path().string();
}

std::string UndoWord() {
  return LangStrOr(15, "Отменить");
}

}  // namespace

std::array<uint8_t, 12> EncodeUndoState(const TUndoState& state) {
  std::array<uint8_t, 12> out{};
  PutInt32(out, 0, state.Index);
  PutInt32(out, 4, state.Count);
  const size_t length = std::min(state.Format.size(), kFormatChars);
  out[8] = static_cast<uint8_t>(length);
  for (size_t i = 0; i < length; ++i) {
    out[9 + i] = static_cast<uint8_t>(state.Format[i]);
  }
  return out;
}

std::optional<TUndoState> DecodeUndoState(const std::string& bytes) {
  if (bytes.size() != kStateBytes) {
    return std::nullopt;
  }
  TUndoState state;
  state.Index = GetInt32(bytes, 0);
  state.Count = GetInt32(bytes, 4);
  const auto length = static_cast<uint8_t>(bytes[8]);
  if (state.Index < 0 || state.Index >= kUndoSlots || state.Count < 0 ||
      state.Count > kUndoSlots || length > kFormatChars) {
    return std::nullopt;
  }
  state.Format = bytes.substr(9, length);
  return state;
}

std::optional<TUndoState> ReadUndoStateFile(const std::string& path) {
  const std::optional<std::string> bytes = ReadWholeFile(path);
  return bytes ? DecodeUndoState(*bytes) : std::nullopt;
}

bool UndoStateHeldElsewhere(const std::string& programDir, int32_t windowNumber) {
  bool elsewhere = false;
  const int fd = LockStateFile(UndoStatePath(programDir, windowNumber), &elsewhere);
  if (fd >= 0) {
    ::close(fd);
  }
  return elsewhere;
}

bool UndoFilesBlocked(const std::string& programDir, int32_t windowNumber) {
  std::vector<std::string> paths = {UndoStatePath(programDir, windowNumber),
                                    UndoPresentPath(programDir, windowNumber)};
  for (int32_t slot = 0; slot < kUndoSlots; ++slot) {
    paths.push_back(UndoSnapshotPath(programDir, windowNumber, slot));
  }
  for (const std::string& path : paths) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
      return true;
    }
  }
  return false;
}

std::string UndoStatePath(const std::string& programDir, int32_t windowNumber) {
  return programDir + "Resources/temp/Qem[" + std::to_string(windowNumber) + "].dat";
}

std::string UndoSnapshotPath(const std::string& programDir, int32_t windowNumber, int32_t slot) {
  const std::string digits = (slot < 10 ? "0" : "") + std::to_string(slot);
  return programDir + "Resources/temp/qem[" + std::to_string(windowNumber) + "].d" + digits;
}

std::string UndoPresentPath(const std::string& programDir, int32_t windowNumber) {
  return programDir + "Resources/temp/qem[" + std::to_string(windowNumber) + "].rec";
}

std::string UndoFileIdentityPath(const std::string& programDir, int32_t windowNumber) {
  return programDir + "Resources/temp/qem[" + std::to_string(windowNumber) + "].fid";
}

TUndoRing::TUndoRing(std::string programDir, int32_t windowNumber, std::string format)
    : program_dir_(std::move(programDir)), window_number_(windowNumber) {
  state_.Format = format.substr(0, std::min(format.size(), kFormatChars));
  SetCaption(false);
}

TUndoRing::~TUndoRing() {
  if (lock_fd_ >= 0) {
    ::close(lock_fd_);
  }
}

TUndoRing::TUndoRing(TUndoRing&& other) noexcept
    : WriteFailureSignal(std::move(other.WriteFailureSignal)),
      program_dir_(std::move(other.program_dir_)),
      window_number_(other.window_number_),
      state_(std::move(other.state_)),
      label_(std::move(other.label_)),
      with_label_(other.with_label_),
      enabled_(other.enabled_),
      write_failure_signalled_(other.write_failure_signalled_),
      lock_fd_(std::exchange(other.lock_fd_, -1)),
      held_elsewhere_(other.held_elsewhere_),
      deleted_(other.deleted_),
      present_hash_(other.present_hash_),
      write_error_(std::move(other.write_error_)),
      write_error_file_(std::move(other.write_error_file_)) {}

std::string TUndoRing::StatePath() const {
  return UndoStatePath(program_dir_, window_number_);
}

std::string TUndoRing::SnapshotPath(int32_t slot) const {
  return UndoSnapshotPath(program_dir_, window_number_, slot);
}

std::string TUndoRing::PresentPath() const {
  return UndoPresentPath(program_dir_, window_number_);
}

std::string TUndoRing::FileIdentityPath() const {
  return UndoFileIdentityPath(program_dir_, window_number_);
}

void TUndoRing::Start() {
  state_.Index = 0;
  state_.Count = 0;
  if (WriteState()) {
    ForgetPresent();
    std::remove(FileIdentityPath().c_str());
  } else {
    SignalWriteFailure();
  }
}

void TUndoRing::Saved(IUndoSong& song, const std::string& label) {
  if (!song.HasData()) {
    return;
  }
  const TUndoState before = state_;
  if (!label.empty()) {
    state_.Index = (state_.Index + 1) % kUndoSlots;
    state_.Count = std::min(state_.Count + 1, kUndoSlots);
  }
  if (!HoldLock()) {
    state_ = before;
    SignalWriteFailure();
    return;
  }
  const std::string& snapshotLabel = label.empty() ? label_ : label;
  // A snapshot or state that cannot be written leaves the ring (and its file) as it was.
  if (!WriteSnapshot(song.SnapshotLines(snapshotLabel)) || !WriteState()) {
    state_ = before;
    SignalWriteFailure();
    return;
  }
  write_failure_signalled_ = false;
  ForgetPresent();
  // The newest snapshot now holds the present song: an empty label no longer names it.
  label_ = label;
  if (!label.empty()) {
    enabled_ = true;
  }
  SetCaption(true);
}

void TUndoRing::SignalWriteFailure() {
  if (!write_failure_signalled_) {
    write_failure_signalled_ = true;
    if (WriteFailureSignal) {
      WriteFailureSignal();
    }
  }
}

bool TUndoRing::Opened(IUndoSong& song) {
  const std::optional<TUndoState> read = ReadUndoStateFile(StatePath());
  if (!read) {
    FailOpen(song);
    return false;
  }
  state_ = *read;
  const std::optional<std::string> bytes = ReadWholeFile(SnapshotPath(state_.Index));
  if (!bytes) {
    FailOpen(song);
    return false;
  }
  const std::optional<std::string> label = song.RestoreSnapshot(SplitLines(*bytes));
  if (label) {
    label_ = *label;
    if (HoldLock()) {
      ForgetPresent();  // the song is the snapshot's now
    }
  } else {
    GiveTrackWhenEmpty(song);  // the parser keeps the old tracks: a fresh window has none
  }
  enabled_ = state_.Count >= 1;
  SetCaption(enabled_);
  return label.has_value();
}

void TUndoRing::GiveTrackWhenEmpty(IUndoSong& song) {
  if (!song.HasTracks()) {
    song.AddFreshTrack(LangStrOr(10, "Новый"));
    song.ClearFileName();
  }
}

void TUndoRing::FailOpen(IUndoSong& song) {
  GiveTrackWhenEmpty(song);
  state_.Count = 0;
  enabled_ = false;
  SetCaption(false);
}

void TUndoRing::DropNewest() {
  if (state_.Count >= 1) {
    std::remove(SnapshotPath(state_.Index).c_str());
    state_.Index = state_.Index == 0 ? kUndoSlots - 1 : state_.Index - 1;
    state_.Count -= 1;
    if (WriteState()) {
      ForgetPresent();
    } else {
      SignalWriteFailure();
    }
  }
  // The snapshot now newest names what the next undo brings back.
  const std::optional<std::string> bytes = ReadWholeFile(SnapshotPath(state_.Index));
  if (bytes) {
    const std::vector<std::string> lines = SplitLines(*bytes);
    label_ = lines.empty() ? std::string() : lines.front();
  }
  enabled_ = state_.Count >= 1 && bytes.has_value();
  SetCaption(enabled_);
}

void TUndoRing::DeleteFiles() {
  if (!HoldLock()) {
    return;  // a live window's files
  }
  for (int32_t slot = 0; slot < kUndoSlots; ++slot) {
    std::remove(SnapshotPath(slot).c_str());
  }
  ForgetPresent();
  std::remove(FileIdentityPath().c_str());
  std::remove(StatePath().c_str());
  if (lock_fd_ >= 0) {
    ::close(lock_fd_);
  }
  lock_fd_ = -1;
  deleted_ = true;
}

void TUndoRing::ForgetPresent() {
  std::remove(PresentPath().c_str());
  present_hash_.reset();
}

bool TUndoRing::WritePresent(const std::vector<std::string>& lines) {
  if (deleted_ || !HoldLock()) {
    return false;
  }
  std::string bytes;
  for (const std::string& line : lines) {
    bytes += line;
    bytes += "\r\n";
  }
  const uint64_t hash = HashBytes(bytes);
  if (present_hash_ == hash) {
    return true;
  }
  if (!WriteFileWhole(PresentPath(), bytes, &write_error_)) {
    write_error_file_ = PresentPath();
    present_hash_.reset();
    SignalWriteFailure();
    return false;
  }
  present_hash_ = hash;
  write_failure_signalled_ = false;
  return true;
}

bool TUndoRing::WriteFileIdentity(const std::string& bytes) {
  if (deleted_ || !HoldLock()) {
    return false;
  }
  if (bytes.empty()) {
    std::remove(FileIdentityPath().c_str());
    return true;
  }
  std::string why;
  return WriteFileWhole(FileIdentityPath(), bytes, &why);
}

bool TUndoRing::TakeOverLeftover() {
  return HoldLock() && lock_fd_ >= 0;
}

bool TUndoRing::HoldLock() {
  if (lock_fd_ >= 0) {
    return true;
  }
  lock_fd_ = LockStateFile(StatePath(), &held_elsewhere_);
  if (held_elsewhere_) {
    write_error_ = "cannot write " + StatePath() +
                   ": it belongs to a window of another running copy of the program";
    write_error_file_ = StatePath();
    return false;
  }
  return true;  // locked, or no file yet: the first state written is locked
}

bool TUndoRing::WriteSnapshot(const std::vector<std::string>& lines) {
  std::string bytes;
  for (const std::string& line : lines) {
    bytes += line;
    bytes += "\r\n";
  }
  if (!WriteFileWhole(SnapshotPath(state_.Index), bytes, &write_error_)) {
    write_error_file_ = SnapshotPath(state_.Index);
    return false;
  }
  return true;
}

bool TUndoRing::WriteState() {
  if (!HoldLock()) {
    return false;
  }
  const std::string path = StatePath();
  const std::string folder = FolderOf(path);
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  std::string temporary = path + ".XXXXXX";
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) {
    write_error_ = "cannot write " + path + ": the folder " + folder + " cannot be written (" +
                   std::strerror(errno) + ")";
    write_error_file_ = path;
    return false;
  }
  const std::array<uint8_t, 12> record = EncodeUndoState(state_);
  const bool written = ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
                       ::write(fd, record.data(), record.size()) ==
                           static_cast<ssize_t>(record.size()) &&
                       ::fsync(fd) == 0 && ::rename(temporary.c_str(), path.c_str()) == 0;
  if (!written) {
    write_error_ = "cannot write " + path + ": " + std::strerror(errno);
    write_error_file_ = path;
    ::unlink(temporary.c_str());
    ::close(fd);
    return false;
  }
  if (lock_fd_ >= 0) {
    ::close(lock_fd_);
  }
  lock_fd_ = fd;
  deleted_ = false;
  return true;
}

void TUndoRing::SetCaption(bool withLabel) {
  with_label_ = withLabel;
}

std::string TUndoRing::UndoCaption() const {
  return with_label_ ? UndoWord() + " " + label_ : UndoWord();
}
