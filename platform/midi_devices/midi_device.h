// MIDI output devices: one small interface, the backends behind it, and the list of
// devices the program offers. No device library header appears here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/midi_message.h"

// An open MIDI output. Every call comes under the caller's lock (one thread at a time).
class TMidiOutDevice {
 public:
  virtual ~TMidiOutDevice() = default;

  // Sends a short message packed as status + data1 * 256 + data2 * 65536; the number
  // of bytes sent follows from the status. False when the device refused it.
  virtual bool ShortMessage(uint32_t packed) = 0;
  // Sends one complete System Exclusive message (F0 ... F7).
  virtual bool LongMessage(const uint8_t* bytes, size_t length) = 0;
  // Turns every note of every channel off.
  virtual void Reset() = 0;
  // Closes the device; false when it refused (the caller may try again). After a
  // successful close nothing more is sent.
  virtual bool Close() = 0;
};

// Which device an item of the device list stands for: the backend and the backend's
// own lasting name of the port (never a position that may shift).
struct TMidiOutDeviceId {
  std::string Backend;
  std::string Port;
  bool operator==(const TMidiOutDeviceId&) const = default;
};

// One item of the device list: the name shown and the device behind it.
struct TMidiOutDeviceItem {
  std::string Name;
  TMidiOutDeviceId Device;
};

// A family of devices (the built-in synthesizer, the RtMidi ports, a test recorder).
class TMidiBackend {
 public:
  virtual ~TMidiBackend() = default;
  // The backend's name, as TMidiOutDeviceId::Backend holds it.
  virtual std::string Name() const = 0;
  // The devices present now, in the backend's order.
  virtual std::vector<TMidiOutDeviceItem> List() = 0;
  // Opens the named port; nullptr when it is gone or refuses.
  virtual std::unique_ptr<TMidiOutDevice> Open(const std::string& port) = 0;
  // Why the backend lists no device or its last open failed; empty when it does not know.
  virtual std::string Problem() const { return ""; }
};

using TMidiBackends = std::vector<std::shared_ptr<TMidiBackend>>;

// The backends in list order: by default the built-in synthesizer, then the RtMidi
// ports (ALSA sequencer, JACK), then, when VELTO_MIDI_LOG names a file, the MIDI log.
TMidiBackends DefaultMidiBackends();

// Replaces the backends the device list and OpenMidiOutDevice use (tests install a
// recorder or the offline synthesizer). An empty list restores the default.
void SetMidiBackends(TMidiBackends backends);
// The backends in use.
TMidiBackends MidiBackends();

// Every device of every backend, backends in order.
std::vector<TMidiOutDeviceItem> ListMidiOutDevices();
// Opens a listed device; nullptr when its backend is unknown or it cannot be opened.
std::unique_ptr<TMidiOutDevice> OpenMidiOutDevice(const TMidiOutDeviceId& device);
// Why the device's backend failed (see TMidiBackend::Problem), or every backend's problem
// joined by "; " when device is null (a device that is not in the list).
std::string MidiOutDeviceProblem(const TMidiOutDeviceId* device);
// The device that port 0 starts on: the MIDI log when the list holds it, else device 0.
int32_t StartingMidiOutDevice(const std::vector<TMidiOutDeviceItem>& devices);

// A device that stops taking messages while it is open (a log on a full disk, a FIFO whose
// reader went away) notes it once, with its name and the reason; the program takes the
// notes and says them. Any thread.
struct TMidiDeviceFault {
  std::string Device;
  std::string Reason;
};
void NoteMidiDeviceFault(TMidiDeviceFault fault);
// The faults noted since the last call, oldest first.
std::vector<TMidiDeviceFault> TakeMidiDeviceFaults();

// Packs a short message; data bytes are kept to 7 bits.
uint32_t PackShortMessage(uint8_t status, uint8_t data1, uint8_t data2);
// Unpacks a short message into its bytes (1 to 3 of them).
std::vector<uint8_t> UnpackShortMessage(uint32_t packed);
