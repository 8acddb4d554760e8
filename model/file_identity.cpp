#include "model/file_identity.h"

#include <sys/stat.h>

#include <cerrno>

#include "platform/atomic_file.h"

namespace {

std::optional<int64_t> ModifiedNs(const std::filesystem::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    return std::nullopt;
  }
  return static_cast<int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
}

bool Exists(const std::filesystem::path& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 || errno != ENOENT;
}

}  // namespace

uint64_t HashBytes(std::string_view bytes) {
  uint64_t hash = 14695981039346656037ull;
  for (const char c : bytes) {
    hash ^= static_cast<uint8_t>(c);
    hash *= 1099511628211ull;
  }
  return hash;
}

std::optional<TFileStamp> StampFile(const std::filesystem::path& path) {
  const std::optional<int64_t> before = ModifiedNs(path);
  const std::optional<std::string> bytes = ReadFileBytes(path);
  if (!before || !bytes) {
    return std::nullopt;
  }
  return TFileStamp{bytes->size(), *before, HashBytes(*bytes)};
}

bool TFileIdentity::Remember(const std::filesystem::path& path, std::vector<std::string> lines,
                             bool utf8) {
  stamp_ = StampFile(path);
  if (!stamp_) {
    Forget();
    return false;
  }
  path_ = path;
  lines_ = std::move(lines);
  utf8_ = utf8;
  return true;
}

void TFileIdentity::Forget() {
  path_.clear();
  stamp_.reset();
  lines_.clear();
  utf8_ = false;
}

TFileState TFileIdentity::Check(const std::filesystem::path& path) {
  if (!stamp_ || !Holds(path)) {
    return TFileState::Unknown;
  }
  if (!Exists(path)) {
    return TFileState::Deleted;
  }
  const std::optional<TFileStamp> now = StampFile(path);
  if (!now || now->Size != stamp_->Size || now->Hash != stamp_->Hash) {
    return TFileState::Changed;
  }
  stamp_->ModifiedNs = now->ModifiedNs;
  return TFileState::Unchanged;
}

bool TFileIdentity::Holds(const std::filesystem::path& path) const {
  if (!stamp_) {
    return false;
  }
  if (path == path_) {
    return true;
  }
  std::error_code error;
  return std::filesystem::equivalent(path, path_, error) ||
         std::filesystem::weakly_canonical(path, error) ==
             std::filesystem::weakly_canonical(path_, error);
}
