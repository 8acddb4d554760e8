#include "platform/midi_devices/midi_device.h"

#include <mutex>
#include <utility>

#include "platform/midi_devices/midi_fluidsynth.h"
#include "platform/midi_devices/midi_log.h"
#include "platform/midi_devices/midi_rtmidi.h"

namespace {

std::mutex backends_mutex;
TMidiBackends installed_backends;  // empty: the default set

std::mutex faults_mutex;
std::vector<TMidiDeviceFault> noted_faults;  // guarded by faults_mutex

}  // namespace

TMidiBackends DefaultMidiBackends() {
  TMidiBackends backends;
  backends.push_back(std::make_shared<TFluidSynthBackend>());
  for (auto& ports : RtMidiBackends()) {
    backends.push_back(std::move(ports));
  }
  if (const std::string log = MidiLogPath(); !log.empty()) {
    backends.push_back(MakeMidiLogBackend(log));
  }
  return backends;
}

void SetMidiBackends(TMidiBackends backends) {
  std::lock_guard<std::mutex> lock(backends_mutex);
  installed_backends = std::move(backends);
}

TMidiBackends MidiBackends() {
  std::lock_guard<std::mutex> lock(backends_mutex);
  if (installed_backends.empty()) {
    installed_backends = DefaultMidiBackends();
  }
  return installed_backends;
}

std::vector<TMidiOutDeviceItem> ListMidiOutDevices() {
  std::vector<TMidiOutDeviceItem> items;
  for (const auto& backend : MidiBackends()) {
    for (auto& item : backend->List()) {
      items.push_back(std::move(item));
    }
  }
  return items;
}

std::unique_ptr<TMidiOutDevice> OpenMidiOutDevice(const TMidiOutDeviceId& device) {
  for (const auto& backend : MidiBackends()) {
    if (backend->Name() == device.Backend) {
      return backend->Open(device.Port);
    }
  }
  return nullptr;
}

std::string MidiOutDeviceProblem(const TMidiOutDeviceId* device) {
  std::string problems;
  for (const auto& backend : MidiBackends()) {
    if (device != nullptr && backend->Name() != device->Backend) {
      continue;
    }
    const std::string problem = backend->Problem();
    if (!problem.empty()) {
      problems += (problems.empty() ? "" : "; ") + problem;
    }
  }
  return problems;
}

int32_t StartingMidiOutDevice(const std::vector<TMidiOutDeviceItem>& devices) {
  for (size_t i = 0; i < devices.size(); ++i) {
    if (devices[i].Device.Backend == kMidiLogDeviceName) {
      return static_cast<int32_t>(i);
    }
  }
  return 0;
}

void NoteMidiDeviceFault(TMidiDeviceFault fault) {
  std::lock_guard<std::mutex> lock(faults_mutex);
  noted_faults.push_back(std::move(fault));
}

std::vector<TMidiDeviceFault> TakeMidiDeviceFaults() {
  std::lock_guard<std::mutex> lock(faults_mutex);
  return std::exchange(noted_faults, {});
}

uint32_t PackShortMessage(uint8_t status, uint8_t data1, uint8_t data2) {
  return static_cast<uint32_t>(status) | (static_cast<uint32_t>(data1 & 0x7F) << 8) |
         (static_cast<uint32_t>(data2 & 0x7F) << 16);
}

std::vector<uint8_t> UnpackShortMessage(uint32_t packed) {
  const auto status = static_cast<uint8_t>(packed & 0xFF);
  std::vector<uint8_t> bytes{status};
  const int data = ShortMessageDataBytes(status);
  for (int i = 1; i <= data; ++i) {
    bytes.push_back(static_cast<uint8_t>((packed >> (8 * i)) & 0x7F));
  }
  return bytes;
}
