#include "platform/midi_devices/midi_rtmidi.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>
#include <rtmidi/RtMidi.h>

#include <chrono>
#include <cstdio>
#include <utility>

#include "platform/midi_devices/sound_library_messages.h"

namespace {

constexpr const char* kClientName = "Velto";

RtMidi::Api ApiOf(const std::string& api) {
  return api == "jack" ? RtMidi::UNIX_JACK : RtMidi::LINUX_ALSA;
}

std::string ShownPrefix(const std::string& api) {
  return api == "jack" ? "JACK: " : "ALSA: ";
}

// RtMidi reports warnings through this instead of printing them.
void RtMidiMessage(RtMidiError::Type, const std::string& text, void*) {
  if (SoundLibraryMessagesShown()) {
    std::fprintf(stderr, "%s\n", text.c_str());
  }
}

// True when the interface can be reached: the ALSA sequencer opens, or a JACK server
// runs. RtMidi prints its own complaint when it cannot connect, before an error callback
// can be set (and leaks what it made for JACK), so it is not asked then.
bool InterfaceReachable(const std::string& api) {
  if (api == "jack") {
    jack_client_t* client = jack_client_open(kClientName, JackNoStartServer, nullptr);
    if (client == nullptr) {
      return false;
    }
    jack_client_close(client);
    return true;
  }
  snd_seq_t* sequencer = nullptr;
  if (snd_seq_open(&sequencer, "default", SND_SEQ_OPEN_OUTPUT, 0) < 0) {
    return false;
  }
  snd_seq_close(sequencer);
  return true;
}

// An RtMidi output on the interface, or nullptr when the interface is missing
// (no sequencer device, no JACK server).
std::unique_ptr<RtMidiOut> MakeOutput(const std::string& api) {
  QuietSoundLibraries();
  if (!InterfaceReachable(api)) {
    return nullptr;
  }
  try {
    auto out = std::make_unique<RtMidiOut>(ApiOf(api), kClientName);
    out->setErrorCallback(&RtMidiMessage, nullptr);
    return out;
  } catch (const RtMidiError&) {
    return nullptr;
  }
}

// The names of the output ports of `out`, in RtMidi's order.
std::vector<std::string> PortNames(RtMidiOut& out) {
  std::vector<std::string> names;
  try {
    const unsigned count = out.getPortCount();
    for (unsigned i = 0; i < count; ++i) {
      names.push_back(out.getPortName(i));
    }
  } catch (const RtMidiError&) {
    names.clear();
  }
  return names;
}

// One open RtMidi output port.
class TRtMidiDevice final : public TMidiOutDevice {
 public:
  explicit TRtMidiDevice(std::unique_ptr<RtMidiOut> out) : out_(std::move(out)) {}

  bool ShortMessage(uint32_t packed) override {
    const auto bytes = UnpackShortMessage(packed);
    return Send(bytes.data(), bytes.size());
  }
  bool LongMessage(const uint8_t* bytes, size_t length) override { return Send(bytes, length); }
  void Reset() override {
    // Sustain off, then all notes off and all sound off on every channel.
    for (uint8_t channel = 0; channel < 16; ++channel) {
      for (uint8_t controller : {64, 123, 120}) {
        const uint8_t message[3] = {static_cast<uint8_t>(0xB0 | channel), controller, 0};
        Send(message, 3);
      }
    }
  }
  bool Close() override {
    try {
      out_->closePort();
      return true;
    } catch (const RtMidiError&) {
      return false;
    }
  }

 private:
  bool Send(const uint8_t* bytes, size_t length) {
    try {
      out_->sendMessage(bytes, length);
      return true;
    } catch (const RtMidiError&) {
      return false;
    }
  }

  std::unique_ptr<RtMidiOut> out_;
};

}  // namespace

TRtMidiBackend::TRtMidiBackend(std::string api) : api_(std::move(api)) {}

std::vector<TMidiOutDeviceItem> TRtMidiBackend::List() {
  std::vector<TMidiOutDeviceItem> items;
  auto out = MakeOutput(api_);
  if (!out) {
    return items;
  }
  for (auto& name : PortNames(*out)) {
    items.push_back({ShownPrefix(api_) + name, {Name(), name}});
  }
  return items;
}

std::unique_ptr<TMidiOutDevice> TRtMidiBackend::Open(const std::string& port) {
  auto out = MakeOutput(api_);
  if (!out) {
    return nullptr;
  }
  const auto names = PortNames(*out);
  for (unsigned i = 0; i < names.size(); ++i) {
    if (names[i] != port) {
      continue;
    }
    try {
      out->openPort(i, "out");
    } catch (const RtMidiError&) {
      return nullptr;
    }
    if (!out->isPortOpen()) {
      return nullptr;
    }
    return std::make_unique<TRtMidiDevice>(std::move(out));
  }
  return nullptr;
}

std::vector<std::shared_ptr<TMidiBackend>> RtMidiBackends() {
  std::vector<RtMidi::Api> apis;
  RtMidi::getCompiledApi(apis);
  std::vector<std::shared_ptr<TMidiBackend>> backends;
  for (const auto& [api, name] : {std::pair{RtMidi::LINUX_ALSA, "alsa"},
                                  std::pair{RtMidi::UNIX_JACK, "jack"}}) {
    for (RtMidi::Api compiled : apis) {
      if (compiled == api) {
        backends.push_back(std::make_shared<TRtMidiBackend>(name));
      }
    }
  }
  return backends;
}

struct TRtMidiMonitor::Impl {
  std::unique_ptr<RtMidiIn> in;
  std::mutex mutex;
  std::condition_variable arrived;
  std::vector<std::vector<uint8_t>> messages;
  std::string error;  // the first error RtMidi reported

  // Keeps the first report. A warning counts too: it is how RtMidi says that it
  // reached no server (and then must not be asked to open a port).
  static void OnError(RtMidiError::Type type, const std::string& text, void* data) {
    auto* self = static_cast<Impl*>(data);
    if (type != RtMidiError::DEBUG_WARNING && self->error.empty()) {
      self->error = text;
    }
  }

  static void OnMessage(double, std::vector<unsigned char>* message, void* data) {
    auto* self = static_cast<Impl*>(data);
    {
      std::lock_guard<std::mutex> lock(self->mutex);
      self->messages.emplace_back(message->begin(), message->end());
    }
    self->arrived.notify_all();
  }
};

TRtMidiMonitor::~TRtMidiMonitor() {
  if (impl_ && impl_->in) {
    impl_->in->cancelCallback();
    impl_->in->closePort();
  }
}

std::unique_ptr<TRtMidiMonitor> TRtMidiMonitor::Open(const std::string& api,
                                                     const std::string& port,
                                                     std::string* error) {
  QuietSoundLibraries();
  if (!InterfaceReachable(api)) {
    if (error != nullptr) {
      *error = api == "jack" ? "no JACK server runs" : "the ALSA sequencer cannot be opened";
    }
    return nullptr;
  }
  std::unique_ptr<TRtMidiMonitor> monitor(new TRtMidiMonitor());
  monitor->impl_ = std::make_unique<Impl>();
  try {
    monitor->impl_->in = std::make_unique<RtMidiIn>(ApiOf(api), "Velto monitor");
    monitor->impl_->in->setErrorCallback(&Impl::OnError, monitor->impl_.get());
    monitor->impl_->in->ignoreTypes(false, true, true);
    monitor->impl_->in->setCallback(&Impl::OnMessage, monitor->impl_.get());
    monitor->impl_->in->getPortCount();  // connects, or reports that it cannot
    if (monitor->impl_->error.empty()) {
      monitor->impl_->in->openVirtualPort(port);
    }
  } catch (const RtMidiError& e) {
    if (error != nullptr) {
      *error = e.getMessage();
    }
    return nullptr;
  }
  if (!monitor->impl_->error.empty()) {
    if (error != nullptr) {
      *error = monitor->impl_->error;
    }
    return nullptr;
  }
  return monitor;
}

std::vector<std::vector<uint8_t>> TRtMidiMonitor::WaitForMessages(size_t count, int timeout_ms) {
  std::unique_lock<std::mutex> lock(impl_->mutex);
  impl_->arrived.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                          [&] { return impl_->messages.size() >= count; });
  return impl_->messages;
}
