#include "platform/append_line.h"

#include <unistd.h>

#include <cerrno>

#include "platform/atomic_file.h"

bool AppendLineToFile(const std::string& path, std::string_view line) {
  // Never waits: a FIFO without a reader or a device is refused, a full FIFO is a failure.
  const int fd = OpenLogFile(path);
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
