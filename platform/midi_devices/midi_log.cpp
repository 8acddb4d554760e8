#include "platform/midi_devices/midi_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/append_line.h"

namespace {

// True when the file can be appended to (it is created when missing).
bool CanAppendTo(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) {
    return false;
  }
  ::close(fd);
  return true;
}

class TMidiLogDevice final : public TMidiOutDevice {
 public:
  TMidiLogDevice(std::string path, TClock& clock)
      : path_(std::move(path)), clock_(clock), opened_ms_(clock.NowMs()) {}

  bool ShortMessage(uint32_t packed) override { return Log(UnpackShortMessage(packed)); }
  bool LongMessage(const uint8_t* bytes, size_t length) override {
    return Log(std::vector<uint8_t>(bytes, bytes + length));
  }
  // The ports send their own controllers before a reset; the log has no reset of its own.
  void Reset() override {}
  bool Close() override { return true; }

 private:
  bool Log(const std::vector<uint8_t>& bytes) {
    return AppendLineToFile(path_, MidiLogLine(clock_.NowMs() - opened_ms_, bytes));
  }

  std::string path_;
  TClock& clock_;  // borrowed
  double opened_ms_;
};

}  // namespace

TMidiLogBackend::TMidiLogBackend(std::string path, TClock& clock)
    : path_(std::move(path)), clock_(clock) {}

std::vector<TMidiOutDeviceItem> TMidiLogBackend::List() {
  return {{kMidiLogDeviceName, {Name(), kMidiLogDeviceName}}};
}

std::unique_ptr<TMidiOutDevice> TMidiLogBackend::Open(const std::string& port) {
  if (port != kMidiLogDeviceName || !CanAppendTo(path_)) {
    return nullptr;
  }
  return std::make_unique<TMidiLogDevice>(path_, clock_);
}

std::shared_ptr<TMidiBackend> MakeMidiLogBackend(std::string path) {
  return std::make_shared<TMidiLogBackend>(std::move(path));
}

std::string MidiLogPath() {
  const char* path = std::getenv("VELTO_MIDI_LOG");
  return path != nullptr ? path : "";
}

std::string MidiLogLine(double ms, const std::vector<uint8_t>& bytes) {
  std::string line = std::to_string(static_cast<long long>(std::floor(std::max(ms, 0.0))));
  for (uint8_t byte : bytes) {
    char hex[4];
    std::snprintf(hex, sizeof hex, " %02X", byte);
    line += hex;
  }
  return line;
}
