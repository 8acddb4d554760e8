// The MIDI output ports RtMidi finds: the ALSA sequencer and JACK.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/midi_devices/midi_device.h"

// One RtMidi interface ("alsa" or "jack"); its devices are that interface's output
// ports, named "ALSA: ..." or "JACK: ...".
class TRtMidiBackend final : public TMidiBackend {
 public:
  explicit TRtMidiBackend(std::string api);

  std::string Name() const override { return "rtmidi-" + api_; }
  std::vector<TMidiOutDeviceItem> List() override;
  // Opens the output port of that exact name; nullptr when it is gone or refuses.
  std::unique_ptr<TMidiOutDevice> Open(const std::string& port) override;

 private:
  std::string api_;
};

// A backend for each interface this RtMidi was built with, ALSA first.
std::vector<std::shared_ptr<TMidiBackend>> RtMidiBackends();

// A MIDI input port of our own that other programs (and our outputs) can send to;
// it keeps what arrives. Used to check the output path end to end.
class TRtMidiMonitor {
 public:
  ~TRtMidiMonitor();

  // Opens a port named `port` on the interface ("alsa" or "jack"); nullptr when the
  // interface is not available. `error` (when given) says why.
  static std::unique_ptr<TRtMidiMonitor> Open(const std::string& api, const std::string& port,
                                              std::string* error = nullptr);

  // Waits up to `timeout_ms` for at least `count` messages; returns them all.
  std::vector<std::vector<uint8_t>> WaitForMessages(size_t count, int timeout_ms);

 private:
  struct Impl;
  TRtMidiMonitor() = default;

  std::unique_ptr<Impl> impl_;
};
