#include "platform/midi_log.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "platform/append_line.h"

namespace {

constexpr const char* kLogName = "log";

class TMidiLogDevice : public TMidiOutDevice {
 public:
  explicit TMidiLogDevice(std::string path)
      : path_(std::move(path)), opened_(std::chrono::steady_clock::now()) {}

  bool ShortMessage(uint32_t packed) override {
    const std::vector<uint8_t> bytes = UnpackShortMessage(packed);
    return Write(bytes.data(), bytes.size());
  }
  bool LongMessage(const uint8_t* bytes, size_t length) override { return Write(bytes, length); }
  void Reset() override {}
  bool Close() override { return true; }

 private:
  bool Write(const uint8_t* bytes, size_t length) {
    const auto elapsed = std::chrono::steady_clock::now() - opened_;
    std::string line =
        std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
    for (size_t i = 0; i < length; ++i) {
      char hex[4];
      std::snprintf(hex, sizeof hex, " %02X", bytes[i]);
      line += hex;
    }
    return AppendLineToFile(path_, line);
  }

  std::string path_;
  std::chrono::steady_clock::time_point opened_;
};

class TMidiLogBackend : public TMidiBackend {
 public:
  explicit TMidiLogBackend(std::string path) : path_(std::move(path)) {}
  std::string Name() const override { return kLogName; }
  std::vector<TMidiOutDeviceItem> List() override { return {{kLogName, {kLogName, kLogName}}}; }
  std::unique_ptr<TMidiOutDevice> Open(const std::string& port) override {
    return port == kLogName ? std::make_unique<TMidiLogDevice>(path_) : nullptr;
  }

 private:
  std::string path_;
};

}  // namespace

std::shared_ptr<TMidiBackend> MakeMidiLogBackend(std::string path) {
  return std::make_shared<TMidiLogBackend>(std::move(path));
}

std::string MidiLogPath() {
  const char* path = std::getenv("VELTO_MIDI_LOG");
  return path != nullptr ? path : "";
}
