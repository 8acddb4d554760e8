#include "model/file_identity.h"

#include <sys/stat.h>

#include <cerrno>
#include <sstream>

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

std::string EncodeFileIdentity(const TSavedFileIdentity& identity) {
  return std::to_string(identity.Stamp.Size) + " " + std::to_string(identity.Stamp.ModifiedNs) +
         " " + std::to_string(identity.Stamp.Hash) + " " + (identity.Utf8 ? "1" : "0") + "\n" +
         identity.Path + "\n";
}

std::optional<TSavedFileIdentity> DecodeFileIdentity(const std::string& bytes) {
  const size_t end = bytes.find('\n');
  if (end == std::string::npos || bytes.size() < end + 2 || bytes.back() != '\n') {
    return std::nullopt;
  }
  TSavedFileIdentity identity;
  identity.Path = bytes.substr(end + 1, bytes.size() - end - 2);
  if (identity.Path.empty() || identity.Path.find('\n') != std::string::npos) {
    return std::nullopt;
  }
  std::istringstream numbers(bytes.substr(0, end));
  int utf8 = -1;
  std::string rest;
  numbers >> identity.Stamp.Size >> identity.Stamp.ModifiedNs >> identity.Stamp.Hash >> utf8;
  if (numbers.fail() || (utf8 != 0 && utf8 != 1) || (numbers >> rest)) {
    return std::nullopt;
  }
  identity.Utf8 = utf8 == 1;
  return identity;
}

TFileState CompareWithStamp(const std::filesystem::path& path,
                            const std::optional<TFileStamp>& stamp) {
  if (!stamp) {
    return TFileState::Unknown;
  }
  if (!Exists(path)) {
    return TFileState::Deleted;
  }
  const std::optional<TFileStamp> now = StampFile(path);
  if (!now || now->Size != stamp->Size || now->Hash != stamp->Hash) {
    return TFileState::Changed;
  }
  return TFileState::Unchanged;
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

void TFileIdentity::Adopt(const TSavedFileIdentity& saved, std::vector<std::string> lines) {
  path_ = saved.Path;
  stamp_ = saved.Stamp;
  lines_ = std::move(lines);
  utf8_ = saved.Utf8;
}

std::optional<TSavedFileIdentity> TFileIdentity::Saved() const {
  if (!stamp_) {
    return std::nullopt;
  }
  return TSavedFileIdentity{path_.string(), *stamp_, utf8_};
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
  const TFileState state = CompareWithStamp(path, stamp_);
  if (state == TFileState::Unchanged) {
    if (const std::optional<int64_t> time = ModifiedNs(path)) {
      stamp_->ModifiedNs = *time;
    }
  }
  return state;
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
