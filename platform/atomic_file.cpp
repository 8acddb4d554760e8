#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

void SetError(std::string* error, const std::string& what, const std::filesystem::path& path,
              int code) {
  if (error != nullptr) {
    *error = what + " " + path.string() + ": " + std::strerror(code);
  }
}

// Writes all of bytes to fd, retrying short writes. False with errno set on failure.
bool WriteAll(int fd, std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
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

}  // namespace

bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                         std::string* error) {
  const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
  std::string pattern = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) {
    SetError(error, "cannot create a temporary file beside", path, errno);
    return false;
  }
  // mkstemp creates the file 0600; a saved file gets the usual permissions.
  ::fchmod(fd, 0644);
  bool ok = WriteAll(fd, bytes) && ::fsync(fd) == 0;
  int code = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    code = errno;
  }
  if (ok && std::rename(pattern.c_str(), path.c_str()) != 0) {
    ok = false;
    code = errno;
  }
  if (!ok) {
    ::unlink(pattern.c_str());
    SetError(error, "cannot write", path, code);
  }
  return ok;
}

std::optional<std::string> ReadFileBytes(const std::filesystem::path& path, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    SetError(error, "cannot open", path, errno != 0 ? errno : ENOENT);
    return std::nullopt;
  }
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) {
    SetError(error, "cannot read", path, errno != 0 ? errno : EIO);
    return std::nullopt;
  }
  return bytes.str();
}
