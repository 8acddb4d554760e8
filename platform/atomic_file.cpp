#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <list>
#include <mutex>
#include <ostream>
#include <random>
#include <streambuf>

#include "platform/stale_temporaries.h"

namespace {

namespace fs = std::filesystem;

constexpr int kMaxLinkHops = 40;

std::string WriteError(const fs::path& shown, const std::string& why) {
  return "cannot write " + shown.string() + ": " + why;
}

void SetError(std::string* error, std::string text) {
  if (error != nullptr) {
    *error = std::move(text);
  }
}

// Writes all of bytes to fd, retrying short writes. False with errno set on failure.
bool WriteAll(int fd, const char* bytes, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, bytes + done, size - done);
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

// A stream buffer writing to a file descriptor (borrowed); keeps the first write error.
class TFdBuffer final : public std::streambuf {
 public:
  explicit TFdBuffer(int fd) : fd_(fd) { setp(buffer_, buffer_ + sizeof buffer_); }
  int Error() const { return error_; }

 protected:
  int_type overflow(int_type ch) override {
    if (!Drain()) {
      return traits_type::eof();
    }
    if (!traits_type::eq_int_type(ch, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(ch);
      pbump(1);
    }
    return traits_type::not_eof(ch);
  }
  int sync() override { return Drain() ? 0 : -1; }
  // Large blocks (a MIDI track chunk) go out without passing through the buffer.
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    if (n < static_cast<std::streamsize>(sizeof buffer_)) {
      return std::streambuf::xsputn(s, n);
    }
    if (!Drain() || !Put(s, static_cast<size_t>(n))) {
      return 0;
    }
    return n;
  }

 private:
  bool Put(const char* bytes, size_t size) {
    if (error_ == 0 && !WriteAll(fd_, bytes, size)) {
      error_ = errno;
    }
    return error_ == 0;
  }
  bool Drain() {
    const bool ok = Put(pbase(), static_cast<size_t>(pptr() - pbase()));
    setp(buffer_, buffer_ + sizeof buffer_);
    return ok;
  }

  int fd_;
  int error_ = 0;
  char buffer_[1 << 16];
};

// Runs the writer into fd. Empty when everything was written, else the reason.
std::string WriteInto(int fd, const TFileWriter& write) {
  TFdBuffer buffer(fd);
  std::ostream out(&buffer);
  std::string why;
  const bool made = write(out, why);
  out.flush();
  if (buffer.Error() != 0) {
    return std::strerror(buffer.Error());
  }
  if (!made) {
    return why.empty() ? "the contents could not be made" : why;
  }
  return out ? "" : std::strerror(EIO);
}

// What a path to write leads to, after its symbolic links.
enum class TTargetKind {
  NewFile,      // nothing there yet
  RegularFile,  // an existing regular file, replaced by a rename
  Direct,       // a FIFO or a character device, written in place
  Descriptor,   // one of the program's own descriptors
  Refused,      // a folder, another kind of file, or a path that cannot be looked at
};

struct TTarget {
  TTargetKind Kind = TTargetKind::Refused;
  fs::path Real;         // the file the links lead to
  struct stat Stat {};   // of an existing file
  int Descriptor = -1;   // TTargetKind::Descriptor: which one
  std::string Problem;   // why it is refused
};

TTarget Refused(std::string why) {
  TTarget t;
  t.Problem = std::move(why);
  return t;
}

// The program's descriptor that "-", "/dev/fd/N" or "/proc/self/fd/N" names.
std::optional<int> DescriptorOf(const std::string& path) {
  if (path == "-") {
    return 1;
  }
  const std::string ownFd = "/proc/" + std::to_string(::getpid()) + "/fd/";
  for (const std::string& prefix :
       {std::string("/dev/fd/"), std::string("/proc/self/fd/"), ownFd}) {
    if (path.size() > prefix.size() && path.size() <= prefix.size() + 9 &&
        path.compare(0, prefix.size(), prefix) == 0) {
      int fd = -1;
      const char* digits = path.c_str() + prefix.size();
      const auto [end, ec] = std::from_chars(digits, path.c_str() + path.size(), fd);
      if (ec == std::errc() && end == path.c_str() + path.size()) {
        return fd;
      }
    }
  }
  return std::nullopt;
}

// Where a symbolic link points, relative to the link's folder; nothing with errno set.
std::optional<fs::path> ReadLink(const fs::path& link) {
  std::string target(4096, '\0');
  const ssize_t n = ::readlink(link.c_str(), target.data(), target.size());
  if (n < 0) {
    return std::nullopt;
  }
  if (static_cast<size_t>(n) >= target.size()) {
    errno = ENAMETOOLONG;
    return std::nullopt;
  }
  target.resize(static_cast<size_t>(n));
  const fs::path next(target);
  return next.is_absolute() ? next : link.parent_path() / next;
}

// Follows the links of path to what a write would reach.
TTarget ResolveTarget(const fs::path& path) {
  fs::path p = path;
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    TTarget t;
    if (const std::optional<int> fd = DescriptorOf(p.string())) {
      t.Kind = TTargetKind::Descriptor;
      t.Descriptor = *fd;
      return t;
    }
    if (::lstat(p.c_str(), &t.Stat) != 0) {
      if (errno != ENOENT) {
        return Refused(std::strerror(errno));
      }
      t.Kind = TTargetKind::NewFile;
    } else if (S_ISLNK(t.Stat.st_mode)) {
      const std::optional<fs::path> next = ReadLink(p);
      if (!next) {
        return Refused(std::strerror(errno));
      }
      p = *next;
      continue;
    } else if (S_ISREG(t.Stat.st_mode)) {
      t.Kind = TTargetKind::RegularFile;
    } else if (S_ISCHR(t.Stat.st_mode) || S_ISFIFO(t.Stat.st_mode)) {
      t.Kind = TTargetKind::Direct;
    } else if (S_ISDIR(t.Stat.st_mode)) {
      return Refused(std::strerror(EISDIR));
    } else {
      return Refused("not a regular file, a FIFO or a character device");
    }
    t.Real = p;
    return t;
  }
  return Refused(std::strerror(ELOOP));
}

fs::path FolderOf(const fs::path& file) {
  return file.has_parent_path() ? file.parent_path() : fs::path(".");
}

// The temporary files of writes under way: folder descriptor and name (empty once
// RemovePendingTemporaryFiles has removed it).
struct TPendingFile {
  int Folder = -1;
  std::string Name;
};

std::mutex pending_mutex;
std::list<TPendingFile> pending_files;  // guarded by pending_mutex

// Creates a temporary file of a short fresh name in the folder and records it. The
// descriptor, or -1 with errno set.
int CreateTemporary(int folder, mode_t mode, std::list<TPendingFile>::iterator& entry) {
  static std::mt19937 random{std::random_device{}()};
  std::lock_guard<std::mutex> lock(pending_mutex);
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[32];
    std::snprintf(name, sizeof name, ".velto-%08x.tmp", static_cast<unsigned>(random()));
    const int fd = ::openat(folder, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0) {
      // Locked while it is written: a later run removes only the unlocked ones.
      ::flock(fd, LOCK_EX | LOCK_NB);
      entry = pending_files.insert(pending_files.end(), TPendingFile{folder, name});
      return fd;
    }
    if (errno != EEXIST) {
      return -1;
    }
  }
  return -1;
}

// Renames the temporary file over name (commit) or removes it; 0 or the rename's errno.
int FinishTemporary(std::list<TPendingFile>::iterator entry, const std::string& name,
                    bool commit) {
  std::lock_guard<std::mutex> lock(pending_mutex);
  if (entry->Name.empty()) {
    pending_files.erase(entry);
    return ENOENT;
  }
  int code = 0;
  if (commit && ::renameat(entry->Folder, entry->Name.c_str(), entry->Folder, name.c_str()) != 0) {
    code = errno;
    commit = false;
  }
  if (!commit) {
    ::unlinkat(entry->Folder, entry->Name.c_str(), 0);
  }
  pending_files.erase(entry);
  return code;
}

std::mutex file_sync_mutex;
TFileSync file_sync;  // guarded by file_sync_mutex; empty: fsync

int SyncToDisk(int fd) {
  TFileSync sync;
  {
    std::lock_guard<std::mutex> lock(file_sync_mutex);
    sync = file_sync;
  }
  return sync ? sync(fd) : ::fsync(fd);
}

// Why no file can be made in the folder of path, for the system's error code.
std::string FolderRefusal(const fs::path& path, int code) {
  return "the folder " + FolderOf(path).string() + " cannot be written (" + std::strerror(code) +
         ")";
}

// Writes a regular file through a temporary file renamed over it. Empty or the reason.
std::string WriteThroughTemporary(const TTarget& target, const TFileWriter& write) {
  const bool existing = target.Kind == TTargetKind::RegularFile;
  if (existing && ::access(target.Real.c_str(), W_OK) != 0) {
    return std::strerror(errno);
  }
  const int folder = ::open(FolderOf(target.Real).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) {
    return std::strerror(errno);
  }
  std::list<TPendingFile>::iterator entry;
  const int fd = CreateTemporary(folder, existing ? 0600 : 0666, entry);
  if (fd < 0) {
    const int code = errno;
    ::close(folder);
    // The new file is made in the folder: when that is refused, the folder is at fault.
    return FolderRefusal(target.Real, code);
  }
  if (existing) {
    // Owner first: a change of owner may clear the set-id bits that the mode then restores.
    (void)::fchown(fd, target.Stat.st_uid, target.Stat.st_gid);
    ::fchmod(fd, target.Stat.st_mode & 07777);
  }
  std::string why = WriteInto(fd, write);
  if (why.empty() && SyncToDisk(fd) != 0) {
    why = std::strerror(errno);
  }
  if (::close(fd) != 0 && why.empty()) {
    why = std::strerror(errno);
  }
  const int code = FinishTemporary(entry, target.Real.filename().string(), why.empty());
  if (why.empty() && code != 0) {
    why = std::strerror(code);
  }
  ::close(folder);
  if (why.empty()) {
    // What a write killed in an earlier run left in this folder.
    RemoveStaleTemporariesOnce(FolderOf(target.Real));
  }
  return why;
}

// Writes a FIFO or a device in place. Empty or the reason.
std::string WriteInPlace(const TTarget& target, const TFileWriter& write) {
  // Not blocking in the open: a FIFO that nobody reads is an error, not a hang.
  const int fd = ::open(target.Real.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    return errno == ENXIO && S_ISFIFO(target.Stat.st_mode) ? std::string(kFifoWithoutReader)
                                                           : std::strerror(errno);
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  std::string why = WriteInto(fd, write);
  if (::close(fd) != 0 && why.empty()) {
    why = std::strerror(errno);
  }
  return why;
}

// Writes to a copy of one of the program's descriptors. Empty or the reason.
std::string WriteToDescriptor(int descriptor, const TFileWriter& write) {
  const int fd = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 3);
  if (fd < 0) {
    return std::strerror(errno);
  }
  std::string why = WriteInto(fd, write);
  ::close(fd);
  return why;
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The status of what a path or a descriptor target names, following links.
std::optional<struct stat> StatusOf(const TTarget& target, const fs::path& path) {
  struct stat st {};
  const int result = target.Kind == TTargetKind::Descriptor ? ::fstat(target.Descriptor, &st)
                                                            : ::stat(path.c_str(), &st);
  return result == 0 ? std::optional<struct stat>(st) : std::nullopt;
}

// Why a new file cannot be made in the target's folder: empty when it can.
std::string FolderProblem(const TTarget& target) {
  const fs::path folder = FolderOf(target.Real);
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0) {
    return std::strerror(errno);
  }
  if (!S_ISDIR(st.st_mode)) {
    return std::strerror(ENOTDIR);
  }
  if (::access(folder.c_str(), W_OK | X_OK) != 0) {
    return FolderRefusal(target.Real, errno);
  }
  return "";
}

// Why a file of this status is not read as a file: empty for a regular file.
std::string NotRegularFileProblem(const struct stat& st) {
  if (S_ISDIR(st.st_mode)) {
    return std::strerror(EISDIR);
  }
  return S_ISREG(st.st_mode) ? std::string() : std::string(kNotRegularFile);
}

}  // namespace

bool WriteFileAtomically(const fs::path& path, const TFileWriter& write, std::string* error) {
  if (path.empty()) {
    SetError(error, "cannot write a file without a name");
    return false;
  }
  const TTarget target = ResolveTarget(path);
  std::string why;
  switch (target.Kind) {
    case TTargetKind::NewFile:
    case TTargetKind::RegularFile: why = WriteThroughTemporary(target, write); break;
    case TTargetKind::Direct: why = WriteInPlace(target, write); break;
    case TTargetKind::Descriptor: why = WriteToDescriptor(target.Descriptor, write); break;
    case TTargetKind::Refused: why = target.Problem; break;
  }
  if (!why.empty()) {
    SetError(error, WriteError(path, why));
    return false;
  }
  return true;
}

bool WriteFileAtomically(const fs::path& path, std::string_view bytes, std::string* error) {
  return WriteFileAtomically(
      path,
      [bytes](std::ostream& out, std::string&) {
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return true;
      },
      error);
}

std::string OutputFileProblem(const fs::path& output, const std::vector<fs::path>& inputs) {
  if (output.empty()) {
    return "no output file is named";
  }
  const TTarget target = ResolveTarget(output);
  if (target.Kind == TTargetKind::Refused) {
    return WriteError(output, target.Problem);
  }
  if (const std::optional<struct stat> out = StatusOf(target, output)) {
    for (const fs::path& input : inputs) {
      struct stat in {};
      if (::stat(input.c_str(), &in) == 0 && SameFile(*out, in)) {
        return "refusing to write " + output.string() + ": it is " + input.string() +
               " itself, which would be lost";
      }
    }
  }
  std::string why;
  if (target.Kind == TTargetKind::NewFile || target.Kind == TTargetKind::RegularFile) {
    why = FolderProblem(target);
  }
  if (why.empty() && target.Kind != TTargetKind::NewFile &&
      target.Kind != TTargetKind::Descriptor && ::access(target.Real.c_str(), W_OK) != 0) {
    why = std::strerror(errno);
  }
  return why.empty() ? "" : WriteError(output, why);
}

void SetFileSync(TFileSync sync) {
  std::lock_guard<std::mutex> lock(file_sync_mutex);
  file_sync = std::move(sync);
}

void RemovePendingTemporaryFiles() {
  std::lock_guard<std::mutex> lock(pending_mutex);
  for (TPendingFile& file : pending_files) {
    if (!file.Name.empty()) {
      ::unlinkat(file.Folder, file.Name.c_str(), 0);
      file.Name.clear();
    }
  }
}

namespace {

// What was opened is checked again (the name may have been replaced meanwhile): true when
// problemOf finds nothing in its status (left in st), else fd is closed and why set.
bool KeepIfOfKind(int fd, std::string (*problemOf)(const struct stat&), struct stat& st,
                  std::string* why) {
  std::string problem = ::fstat(fd, &st) != 0 ? std::strerror(errno) : problemOf(st);
  if (problem.empty()) {
    return true;
  }
  ::close(fd);
  SetError(why, std::move(problem));
  return false;
}

}  // namespace

int OpenRegularFile(const fs::path& path, int flags, std::string* why) {
  // The type first: opening a FIFO or a device may wait for a writer, or act on the device.
  struct stat st {};
  const bool noFollow = (flags & O_NOFOLLOW) != 0;
  if ((noFollow ? ::lstat(path.c_str(), &st) : ::stat(path.c_str(), &st)) != 0) {
    SetError(why, std::strerror(errno));
    return -1;
  }
  if (std::string problem = NotRegularFileProblem(st); !problem.empty()) {
    SetError(why, std::move(problem));
    return -1;
  }
  // Not blocking in the open either, should the name be replaced by a FIFO meanwhile.
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    SetError(why, std::strerror(errno));
    return -1;
  }
  if (!KeepIfOfKind(fd, NotRegularFileProblem, st, why)) {
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

namespace {

// Why a log is not written to a file of this status: empty for a regular file or a FIFO.
std::string NotLogFileProblem(const struct stat& st) {
  if (S_ISDIR(st.st_mode)) {
    return std::strerror(EISDIR);
  }
  return S_ISREG(st.st_mode) || S_ISFIFO(st.st_mode) ? std::string()
                                                     : std::string(kNotLogFile);
}

}  // namespace

int OpenLogFile(const fs::path& path, std::string* why) {
  // The type first: a device is never opened (opening may act on it).
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    if (std::string problem = NotLogFileProblem(st); !problem.empty()) {
      SetError(why, std::move(problem));
      return -1;
    }
  }
  // Not blocking: a FIFO without a reader fails with ENXIO, one put in place of a regular
  // file meanwhile is found by the check after the open.
  const int fd = ::open(path.c_str(),
                        O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0644);
  if (fd < 0) {
    const int code = errno;
    const bool fifo = ::stat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
    SetError(why, code == ENXIO && fifo ? std::string(kFifoWithoutReader) : std::strerror(code));
    return -1;
  }
  if (!KeepIfOfKind(fd, NotLogFileProblem, st, why)) {
    return -1;
  }
  if (S_ISREG(st.st_mode)) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  }
  return fd;
}

std::optional<std::string> ReadFileBytes(const fs::path& path, std::string* error,
                                         uint64_t maxBytes) {
  std::string why;
  const int fd = OpenRegularFile(path, O_RDONLY, &why);
  if (fd < 0) {
    SetError(error, "cannot open " + path.string() + ": " + why);
    return std::nullopt;
  }
  std::string bytes;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && static_cast<uint64_t>(st.st_size) > maxBytes) {
    why = "larger than " + std::to_string(maxBytes) + " bytes";
  }
  char buffer[1 << 16];
  while (why.empty()) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0) {
      why = std::strerror(errno);
    } else if (n == 0) {
      break;
    } else if (bytes.size() + static_cast<size_t>(n) > maxBytes) {
      why = "larger than " + std::to_string(maxBytes) + " bytes";
    } else {
      bytes.append(buffer, static_cast<size_t>(n));
    }
  }
  ::close(fd);
  if (!why.empty()) {
    SetError(error, "cannot read " + path.string() + ": " + why);
    return std::nullopt;
  }
  return bytes;
}
