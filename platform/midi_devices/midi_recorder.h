// A MIDI output that keeps every message with the time it was sent, for tests and
// benchmarks.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/midi_devices/midi_device.h"

enum class TRecordedKind {
  Short,  // a short message: Bytes holds its 1..3 bytes
  Long,   // a System Exclusive message: Bytes holds it whole
  Reset,  // the device was reset
  Close,  // the device was closed
};

struct TRecordedMessage {
  double TimeMs = 0;
  TRecordedKind Kind = TRecordedKind::Short;
  std::vector<uint8_t> Bytes;
};

// What one recorder port received, over every time it was opened. Thread-safe.
class TMidiRecording {
 public:
  void Add(TRecordedMessage message);
  std::vector<TRecordedMessage> Messages() const;
  // The short messages alone.
  std::vector<TRecordedMessage> ShortMessages() const;
  size_t Size() const;
  void Clear();
  // Keeps room for `count` messages so that recording does not allocate.
  void Reserve(size_t count);

 private:
  mutable std::mutex mutex_;
  std::vector<TRecordedMessage> messages_;
};

// How one recorder port behaves.
struct TRecorderPortOptions {
  std::string Name;             // shown in the device list
  bool RefuseOpen = false;      // Open answers nullptr
  int RefusedCloses = 0;        // Close fails this many times first
};

// A backend of recorder ports. Each port's messages go to its recording, stamped
// with the clock (borrowed; it must outlive the backend and its devices).
class TMidiRecorderBackend final : public TMidiBackend {
 public:
  TMidiRecorderBackend(TClock& clock, std::vector<TRecorderPortOptions> ports);

  std::string Name() const override { return "recorder"; }
  std::vector<TMidiOutDeviceItem> List() override;
  std::unique_ptr<TMidiOutDevice> Open(const std::string& port) override;

  // The recording of port i (0-based, in list order).
  std::shared_ptr<TMidiRecording> Recording(size_t i) const { return recordings_.at(i); }
  // How often port i was opened, and how often a close was attempted.
  int Opens(size_t i) const;
  int CloseAttempts(size_t i) const;

 private:
  struct PortCounters {
    int Opens = 0;
    int CloseAttempts = 0;
  };

  TClock& clock_;
  std::vector<TRecorderPortOptions> ports_;
  std::vector<std::shared_ptr<TMidiRecording>> recordings_;
  std::shared_ptr<std::mutex> counters_mutex_ = std::make_shared<std::mutex>();
  std::shared_ptr<std::vector<PortCounters>> counters_;
};
