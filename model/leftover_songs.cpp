#include "model/leftover_songs.h"

#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <filesystem>
#include <system_error>

#include "model/song_file.h"
#include "model/song_text.h"
#include "platform/atomic_file.h"
#include "platform/text_lines.h"

namespace {

namespace fs = std::filesystem;

// The window number of a state file's name "Qem[N].dat", or nothing.
std::optional<int32_t> StateFileNumber(const std::string& name) {
  constexpr std::string_view kHead = "Qem[";
  constexpr std::string_view kTail = "].dat";
  if (name.size() <= kHead.size() + kTail.size() || name.compare(0, kHead.size(), kHead) != 0 ||
      name.compare(name.size() - kTail.size(), kTail.size(), kTail) != 0) {
    return std::nullopt;
  }
  const char* first = name.data() + kHead.size();
  const char* last = name.data() + name.size() - kTail.size();
  int32_t number = 0;
  const auto [end, error] = std::from_chars(first, last, number);
  if (error != std::errc() || end != last || number < 1 || *first == '0') {
    return std::nullopt;
  }
  return number;
}

std::time_t WrittenAt(const std::string& path) {
  std::error_code error;
  const fs::file_time_type time = fs::last_write_time(path, error);
  if (error) {
    return 0;
  }
  const auto system = std::chrono::file_clock::to_sys(time);
  return std::chrono::system_clock::to_time_t(system);
}

// The song text of the file at path when it reads as a song.
std::optional<std::vector<std::string>> SongTextAt(const std::string& path) {
  std::optional<std::string> bytes = ReadFileBytes(path);
  if (!bytes) {
    return std::nullopt;
  }
  std::vector<std::string> lines = SplitLines(*bytes);
  if (lines.size() < 3 || !SongContent(lines, 2)) {
    return std::nullopt;
  }
  return lines;
}

// Snapshot slots to try, newest first: from the state record's slot back through the
// ring, or, without a record, every slot by the time it was written.
std::vector<int32_t> SlotsNewestFirst(const std::string& programDir, int32_t number,
                                      const std::optional<TUndoState>& state) {
  std::vector<int32_t> slots;
  if (state) {
    for (int32_t back = 0; back < state->Count; ++back) {
      slots.push_back((state->Index - back + kUndoSlots) % kUndoSlots);
    }
    return slots;
  }
  std::vector<std::pair<fs::file_time_type, int32_t>> written;
  for (int32_t slot = 0; slot < kUndoSlots; ++slot) {
    std::error_code error;
    const fs::file_time_type time =
        fs::last_write_time(UndoSnapshotPath(programDir, number, slot), error);
    if (!error) {
      written.emplace_back(time, slot);
    }
  }
  std::stable_sort(written.begin(), written.end(),
                   [](const auto& a, const auto& b) { return a.first > b.first; });
  for (const auto& [time, slot] : written) {
    slots.push_back(slot);
  }
  return slots;
}

// True when the song file named by the text holds the same song.
bool SameAsItsFile(const std::vector<std::string>& lines) {
  const std::string& file = lines[1];
  if (file.empty()) {
    return false;
  }
  const std::optional<std::vector<std::string>> saved = ReadSongFileLines(file);
  if (!saved) {
    return false;
  }
  const std::optional<std::vector<std::string>> theirs = SongContent(*saved, 0);
  return theirs && theirs == SongContent(lines, 2);
}

// The file identity the window kept, when it names the song's file, and how the file
// stands against it now.
void FindFileIdentity(const std::string& programDir, TLeftoverSong& leftover) {
  const std::string file = leftover.FileName();
  if (file.empty()) {
    return;
  }
  const std::optional<std::string> bytes =
      ReadFileBytes(UndoFileIdentityPath(programDir, leftover.WindowNumber), nullptr, 1 << 16);
  std::optional<TSavedFileIdentity> identity =
      bytes ? DecodeFileIdentity(*bytes) : std::nullopt;
  if (!identity || identity->Path != file) {
    return;
  }
  leftover.FileSince = CompareWithStamp(file, identity->Stamp);
  leftover.FileIdentity = std::move(identity);
}

// Fills the leftover's text: the present song file, else the newest snapshot that reads.
bool FindText(const std::string& programDir, TLeftoverSong& leftover) {
  const std::optional<TUndoState> state =
      ReadUndoStateFile(UndoStatePath(programDir, leftover.WindowNumber));
  leftover.Format = state ? state->Format : std::string();
  std::vector<std::string> candidates = {UndoPresentPath(programDir, leftover.WindowNumber)};
  for (const int32_t slot : SlotsNewestFirst(programDir, leftover.WindowNumber, state)) {
    candidates.push_back(UndoSnapshotPath(programDir, leftover.WindowNumber, slot));
  }
  for (const std::string& path : candidates) {
    if (std::optional<std::vector<std::string>> lines = SongTextAt(path)) {
      leftover.Lines = std::move(*lines);
      leftover.Changed = WrittenAt(path);
      return true;
    }
  }
  return false;
}

// Why the state file of a number is passed over: empty when it is a regular file.
std::string StrayStateFile(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode)) {
    return std::string();
  }
  return path + " is passed over: " +
         (S_ISDIR(st.st_mode) ? "it is a folder" : S_ISLNK(st.st_mode) ? "it is a link" : "it is not a regular file");
}

}  // namespace

std::string TLeftoverSong::Extension() const {
  const std::string ext = fs::path(FileName()).extension().string();
  if (ext.size() > 1) {
    return ext.substr(1);
  }
  return Format.empty() ? std::string("qem") : Format;
}

void TLeftoverSong::Discard() {
  if (Files == nullptr) {
    return;
  }
  const std::string state = Files->StatePath();
  const fs::path folder = fs::path(state).parent_path();
  const std::string temporary = fs::path(state).filename().string() + ".";
  // The state's unfinished temporaries: only the lock holder writes them.
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (name.compare(0, temporary.size(), temporary) == 0) {
      fs::remove(entry.path(), error);
    }
  }
  Files->DeleteFiles();
  Files.reset();
}

std::vector<TLeftoverSong> FindLeftoverSongs(const std::string& programDir,
                                             std::vector<std::string>* notes) {
  std::vector<int32_t> numbers;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(programDir + "Resources/temp", error)) {
    if (const std::optional<int32_t> number = StateFileNumber(entry.path().filename().string())) {
      numbers.push_back(*number);
    }
  }
  std::sort(numbers.begin(), numbers.end());
  std::vector<TLeftoverSong> found;
  for (const int32_t number : numbers) {
    if (std::string stray = StrayStateFile(UndoStatePath(programDir, number)); !stray.empty()) {
      if (notes != nullptr) {
        notes->push_back(std::move(stray));
      }
      continue;
    }
    TLeftoverSong leftover;
    leftover.WindowNumber = number;
    leftover.Files = std::make_unique<TUndoRing>(programDir, number, std::string());
    if (!leftover.Files->TakeOverLeftover()) {
      continue;  // a live window's, or gone meanwhile
    }
    if (!FindText(programDir, leftover) || SameAsItsFile(leftover.Lines)) {
      leftover.Discard();
      continue;
    }
    FindFileIdentity(programDir, leftover);
    found.push_back(std::move(leftover));
  }
  return found;
}
