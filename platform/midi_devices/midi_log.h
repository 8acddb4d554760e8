// The MIDI log device: with VELTO_MIDI_LOG=FILE a device named "log" joins the device list,
// and every message sent to it becomes one line of FILE: the milliseconds since the device
// opened, then the bytes as two-digit hexadecimal, blank-separated.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/midi_devices/midi_device.h"

// The name of the log's backend and of its one device.
inline constexpr const char* kMidiLogDeviceName = "log";

// The backend of the log device. Each open device appends to the file (created when
// missing) one line per message: the whole milliseconds since that device was opened by
// the clock (borrowed; it must outlive the devices), then every byte of the message, as
// in "1250 90 3C 64". The file is a regular file or a FIFO that a program reads, opened
// as OpenLogFile opens it (never waiting). A line that cannot be written (a full disk, a
// FIFO whose reader went away or stopped reading) is noted once as a device fault
// (NoteMidiDeviceFault), and the device takes nothing more.
class TMidiLogBackend final : public TMidiBackend {
 public:
  explicit TMidiLogBackend(std::string path, TClock& clock = SteadyClock());

  std::string Name() const override { return kMidiLogDeviceName; }
  std::vector<TMidiOutDeviceItem> List() override;
  // Nullptr when the file cannot be opened; Problem() then says why, naming it.
  std::unique_ptr<TMidiOutDevice> Open(const std::string& port) override;
  std::string Problem() const override;

 private:
  std::string path_;
  TClock& clock_;  // borrowed
  mutable std::mutex problem_mutex_;
  std::string problem_;  // of the last open; guarded by problem_mutex_
};

// The backend of the log device writing to `path` on the steady clock.
std::shared_ptr<TMidiBackend> MakeMidiLogBackend(std::string path);

// The file VELTO_MIDI_LOG names; empty when it is not set.
std::string MidiLogPath();

// The line of the log for one message sent `ms` milliseconds after the device opened.
std::string MidiLogLine(double ms, const std::vector<uint8_t>& bytes);
