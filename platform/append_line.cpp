#include "platform/append_line.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

bool AppendLineToFile(const std::string& path, std::string_view line) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) {
    return false;
  }
  std::string buffer(line);
  buffer += '\n';
  size_t written = 0;
  bool ok = true;
  while (written < buffer.size()) {
    const ssize_t n = ::write(fd, buffer.data() + written, buffer.size() - written);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      ok = false;
      break;
    }
    written += static_cast<size_t>(n);
  }
  ::close(fd);
  return ok;
}
