#include "playback/midi_ports.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <utility>

#include "base/errors.h"
#include "platform/codec1251.h"
#include "settings/settings.h"

std::vector<TMidiOutDeviceItem> GMidiOutDeviceList;

namespace {

constexpr int kCloseRetries = 10;
constexpr double kCloseRetryMs = 200;

// Controllers of the reset and the silencing.
constexpr uint8_t kAllSoundOff = 120;
constexpr uint8_t kResetAllControllers = 121;
constexpr uint8_t kAllNotesOff = 123;
constexpr uint8_t kBankSelect = 0;

std::mutex send_lock;
std::atomic<TClock*> playback_clock{nullptr};

// The open devices by port; guarded by send_lock.
std::array<std::unique_ptr<TMidiOutDevice>, kMidiPortCount> midi_outs;

bool ValidPort(int port) { return port >= 0 && port < kMidiPortCount; }
bool ValidChannel(int channel) { return channel >= 0 && channel < 16; }

// The device of an open port, else nullptr. Lock held.
TMidiOutDevice* DeviceOf(int port) {
  return ValidPort(port) ? midi_outs[static_cast<size_t>(port)].get() : nullptr;
}

// Sends a short message to an open port. Lock held.
void SendLocked(int port, uint8_t status, uint8_t data1, uint8_t data2) {
  if (TMidiOutDevice* device = DeviceOf(port)) {
    device->ShortMessage(PackShortMessage(status, data1, data2));
  }
}

// Forgets every held key of the channel. Lock held.
void ClearKeyBooks(TChannelState& channel) {
  channel.KeyVelocity.fill(0);
  channel.SoundingCount = 0;
}

// Clears the books and sends the controllers given. Lock held.
void ClearAndSendControllers(int port, int channel, std::initializer_list<uint8_t> controllers) {
  ClearKeyBooks(GPlayer.Channels[static_cast<size_t>(channel)]);
  for (uint8_t controller : controllers) {
    SendLocked(port, static_cast<uint8_t>(0xB0 + channel), controller, 0);
  }
}

void ResetChannelLocked(int port, int channel) {
  ClearAndSendControllers(port, channel, {kAllSoundOff, kResetAllControllers, kAllNotesOff});
}

// The channel a note goes out on: XG plays a drum kit on the drum channel.
int OutputChannel(const TChannelState& books, int channel) {
  const bool xg = GPlayer.SysExMode.load(std::memory_order_relaxed) == 8;
  return (xg && books.BankMsb == 127) ? kDrumChannel : channel;
}

// Marks a sounded key held or released and sends its message. Lock held.
void SoundKey(int port, bool on, int sounded, int origin, int channel, int velocity) {
  TChannelState& books = GPlayer.Channels[static_cast<size_t>(channel)];
  const auto key = static_cast<size_t>(sounded);
  const bool press = on && velocity != 0;
  if (press && books.KeyVelocity[key] == 0) {
    ++books.SoundingCount;
  } else if (!press && books.KeyVelocity[key] != 0) {
    --books.SoundingCount;
  }
  books.KeyVelocity[key] = press ? static_cast<uint8_t>(velocity) : 0;
  books.KeyOrigin[key] = static_cast<uint8_t>(origin);
  books.LastKey = static_cast<uint8_t>(sounded);
  books.LastVelocity = static_cast<uint8_t>(velocity);
  if (books.Muted) {
    return;
  }
  const int out = OutputChannel(books, channel);
  SendLocked(port, static_cast<uint8_t>((on ? 0x90 : 0x80) + out), static_cast<uint8_t>(sounded),
             static_cast<uint8_t>(velocity));
}

// The keys now held on the channel that were asked for as `origin`. Lock held.
std::vector<int> HeldKeysOf(const TChannelState& books, int origin) {
  std::vector<int> held;
  for (int key = 0; key < 128; ++key) {
    const auto k = static_cast<size_t>(key);
    if (books.KeyVelocity[k] != 0 && books.KeyOrigin[k] == origin) {
      held.push_back(key);
    }
  }
  return held;
}


// The detail of error 18 for a device (null: one the list does not hold): what the
// backends know of the cause, such as the sound font file that does not load.
std::string MidiOutErrorText(const TMidiOutDeviceId* device) {
  const std::string problem = MidiOutDeviceProblem(device);
  return problem.empty() ? "Midi out hardware"
                         : "Midi out hardware: " + Utf8ToCp1251(problem).Text;
}

}  // namespace

void ReportMidiOutError(int port, const char* text) {
  TErrors error;
  error.Code = 18;
  error.Text = text;
  error.ModuleLine = 0;
  error.Measure = 1;
  error.Voice = 1;
  error.Source = 2;
  error.Extra = port;
  GErrors.Set(error);
}

std::mutex& MidiSendLock() { return send_lock; }

void SetPlaybackClock(TClock* clock) { playback_clock.store(clock); }

TClock& PlaybackClock() {
  TClock* clock = playback_clock.load();
  return clock != nullptr ? *clock : SteadyClock();
}

std::vector<std::string> EnumMidiOutDevices() {
  GMidiOutDeviceList = ListMidiOutDevices();
  std::vector<std::string> names;
  for (const auto& item : GMidiOutDeviceList) {
    names.push_back(item.Name);
  }
  return names;
}

bool MidiOutIsOpen(int port) {
  std::lock_guard<std::mutex> lock(send_lock);
  return DeviceOf(port) != nullptr;
}

bool OpenMidiOuts(int32_t device) {
  if (GMidiOutDeviceList.empty()) {
    EnumMidiOutDevices();
  }
  const int last = std::min(GLastMidiOut, kMidiPortCount - 1);
  for (int port = 0; port <= last; ++port) {
    CloseMidiOut(port);
    int32_t item = port == 0 ? device : GMidiOutDevices[static_cast<size_t>(port)];
    if (item < 0) {
      item = 0;
    }
    const TMidiOutDeviceId* id = static_cast<size_t>(item) < GMidiOutDeviceList.size()
                                     ? &GMidiOutDeviceList[static_cast<size_t>(item)].Device
                                     : nullptr;
    std::unique_ptr<TMidiOutDevice> opened = id != nullptr ? OpenMidiOutDevice(*id) : nullptr;
    if (!opened) {
      ReportMidiOutError(port, MidiOutErrorText(id).c_str());
      return false;
    }
    std::lock_guard<std::mutex> lock(send_lock);
    midi_outs[static_cast<size_t>(port)] = std::move(opened);
  }
  return true;
}

void CloseMidiOut(int port) {
  std::unique_ptr<TMidiOutDevice> device;
  {
    std::lock_guard<std::mutex> lock(send_lock);
    if (DeviceOf(port) == nullptr) {
      return;
    }
    for (int channel = 0; channel < 16; ++channel) {
      ResetChannelLocked(port, channel);
    }
    device = std::move(midi_outs[static_cast<size_t>(port)]);
  }
  device->Reset();
  TClock& clock = PlaybackClock();
  for (int retry = 0; !device->Close() && retry < kCloseRetries; ++retry) {
    clock.SleepUntil(clock.NowMs() + kCloseRetryMs);
  }
}

void ResetChannel(int port, int channel) {
  if (!ValidChannel(channel)) {
    return;
  }
  std::lock_guard<std::mutex> lock(send_lock);
  ResetChannelLocked(port, channel);
}

void ResetPort(int port) {
  std::lock_guard<std::mutex> lock(send_lock);
  for (int channel = 0; channel < 16; ++channel) {
    ResetChannelLocked(port, channel);
  }
}

void SilenceChannel(int port, int channel) {
  if (!ValidChannel(channel)) {
    return;
  }
  std::lock_guard<std::mutex> lock(send_lock);
  ClearAndSendControllers(port, channel, {kAllSoundOff, kAllNotesOff});
}

void SilenceAll() {
  std::lock_guard<std::mutex> lock(send_lock);
  const int last = std::min(GLastMidiOut, kMidiPortCount - 1);
  for (int port = 0; port <= last; ++port) {
    for (int channel = 0; channel < 16; ++channel) {
      ClearAndSendControllers(port, channel, {kAllSoundOff, kAllNotesOff});
    }
  }
}

void ResetMidiDevice(int port) {
  std::lock_guard<std::mutex> lock(send_lock);
  if (TMidiOutDevice* device = DeviceOf(port)) {
    device->Reset();
  }
}

void SendNote(int port, bool on, int key, int channel, int velocity) {
  if (!ValidChannel(channel) || key < 0 || key > 127) {
    return;
  }
  std::lock_guard<std::mutex> lock(send_lock);
  TChannelState& books = GPlayer.Channels[static_cast<size_t>(channel)];
  const int offset = GPlayer.VelocityOffset.load(std::memory_order_relaxed);
  if (velocity != 0 && offset != 0) {
    velocity = std::clamp(velocity + offset, 0, 127);
  }
  const bool press = on && velocity != 0;
  if (!press) {
    // Release what the note on of this key sounded.
    const auto held = HeldKeysOf(books, key);
    for (int sounded : held) {
      SoundKey(port, on, sounded, key, channel, velocity);
    }
    if (!held.empty()) {
      return;
    }
  }
  int sounded = key;
  if (channel != kDrumChannel && books.BankMsb != 127) {
    sounded += GPlayer.Transpose.load(std::memory_order_relaxed);
  }
  if (sounded < 0 || sounded > 127) {
    return;
  }
  SoundKey(port, on, sounded, key, channel, velocity);
}

void SendProgramChange(int port, int channel, int program) {
  if (!ValidChannel(channel) || program < 0 || program > 127) {
    return;
  }
  std::lock_guard<std::mutex> lock(send_lock);
  SendLocked(port, static_cast<uint8_t>(0xC0 + channel), static_cast<uint8_t>(program), 0);
}

void SendControlChange(int port, int channel, int controller, int value) {
  if (!ValidChannel(channel) || controller < 0 || controller > 127) {
    return;
  }
  std::lock_guard<std::mutex> lock(send_lock);
  TChannelState& books = GPlayer.Channels[static_cast<size_t>(channel)];
  books.LastController = static_cast<uint8_t>(controller);
  books.LastControllerValue = static_cast<uint8_t>(value);
  if (controller == kBankSelect) {
    books.BankMsb = static_cast<uint8_t>(value);
  }
  SendLocked(port, static_cast<uint8_t>(0xB0 + channel), static_cast<uint8_t>(controller),
             static_cast<uint8_t>(value));
}

void SendShortMessage(int port, uint8_t status, uint8_t data1, uint8_t data2) {
  std::lock_guard<std::mutex> lock(send_lock);
  SendLocked(port, status, data1, data2);
}

void SendSysEx(int port, const uint8_t* data, size_t length) {
  std::lock_guard<std::mutex> lock(send_lock);
  TMidiOutDevice* device = DeviceOf(port);
  if (device == nullptr) {
    return;
  }
  std::vector<uint8_t> message;
  message.reserve(length + 1);
  message.push_back(0xF0);
  message.insert(message.end(), data, data + length);
  device->LongMessage(message.data(), message.size());
}

void MuteChannel(int port, int channel, bool mute) {
  if (!ValidChannel(channel)) {
    return;
  }
  std::lock_guard<std::mutex> lock(send_lock);
  TChannelState& books = GPlayer.Channels[static_cast<size_t>(channel)];
  const bool was_muted = books.Muted;
  books.Muted = mute;
  if (mute) {
    ResetChannelLocked(port, channel);
    return;
  }
  if (!was_muted || channel == kDrumChannel) {
    return;
  }
  // The keys pressed while muted sound now, as they were booked (already transposed
  // and offset).
  const int out = OutputChannel(books, channel);
  for (int key = 0; key < 128; ++key) {
    const uint8_t velocity = books.KeyVelocity[static_cast<size_t>(key)];
    if (velocity != 0) {
      SendLocked(port, static_cast<uint8_t>(0x90 + out), static_cast<uint8_t>(key), velocity);
    }
  }
}

uint16_t SwapBytes16(uint16_t value) {
  return static_cast<uint16_t>((value >> 8) | (value << 8));
}

uint32_t SwapBytes32(uint32_t value) {
  return ((value & 0xFFu) << 24) | ((value & 0xFF00u) << 8) | ((value >> 8) & 0xFF00u) |
         (value >> 24);
}
