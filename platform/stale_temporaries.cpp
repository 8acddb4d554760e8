#include "platform/stale_temporaries.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <mutex>
#include <set>
#include <string>

namespace {

// When this run started (taken while the program's statics are made), on the coarse clock
// that file times are stamped from: a file made later is never older.
const std::timespec kRunStart = [] {
  std::timespec now{};
  ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
  return now;
}();

bool Before(const std::timespec& a, const std::timespec& b) {
  return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

std::mutex swept_mutex;
std::set<std::string> swept_folders;  // guarded by swept_mutex

// Removes one leftover temporary in the open folder; true when removed.
bool RemoveWhenStale(int folder, const char* name) {
  const int fd = ::openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    return false;
  }
  struct stat st {};
  bool removed = false;
  // The lock is held through the unlink: no write can take the file meanwhile.
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && Before(st.st_mtim, kRunStart) &&
      ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
    struct stat now {};
    // Still the same file at the name (not renamed over meanwhile).
    removed = ::fstatat(folder, name, &now, AT_SYMLINK_NOFOLLOW) == 0 &&
              now.st_dev == st.st_dev && now.st_ino == st.st_ino &&
              ::unlinkat(folder, name, 0) == 0;
  }
  ::close(fd);
  return removed;
}

}  // namespace

bool IsOwnTemporaryName(std::string_view name) {
  constexpr std::string_view kHead = ".velto-";
  constexpr std::string_view kTail = ".tmp";
  if (name.size() != kHead.size() + 8 + kTail.size() || !name.starts_with(kHead) ||
      !name.ends_with(kTail)) {
    return false;
  }
  for (const char c : name.substr(kHead.size(), 8)) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
      return false;
    }
  }
  return true;
}

int RemoveStaleTemporaries(const std::filesystem::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    return 0;
  }
  DIR* dir = ::fdopendir(fd);
  if (dir == nullptr) {
    ::close(fd);
    return 0;
  }
  int removed = 0;
  while (const dirent* entry = ::readdir(dir)) {
    if (IsOwnTemporaryName(entry->d_name) && RemoveWhenStale(fd, entry->d_name)) {
      ++removed;
    }
  }
  ::closedir(dir);
  return removed;
}

void RemoveStaleTemporariesOnce(const std::filesystem::path& folder) {
  std::error_code error;
  const std::filesystem::path canonical = std::filesystem::weakly_canonical(folder, error);
  {
    std::lock_guard<std::mutex> lock(swept_mutex);
    if (!swept_folders.insert((error ? folder : canonical).string()).second) {
      return;
    }
  }
  RemoveStaleTemporaries(folder);
}

void RemoveStaleTemporariesBeside(const std::filesystem::path& file) {
  std::error_code error;
  const std::filesystem::path real = std::filesystem::weakly_canonical(file, error);
  const std::filesystem::path target = error ? file : real;
  RemoveStaleTemporariesOnce(target.has_parent_path() ? target.parent_path()
                                                      : std::filesystem::path("."));
}
