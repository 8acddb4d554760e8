#include "platform/midi_devices/midi_fluidsynth.h"

#include <fluidsynth.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <utility>

#include "platform/atomic_file.h"
#include "platform/midi_devices/sound_library_messages.h"

namespace {

constexpr const char* kPortName = "synth";
constexpr const char* kDeviceName = "FluidSynth (General MIDI)";

// Audio drivers tried after FluidSynth's own default, in order.
constexpr const char* kFallbackDrivers[] = {"pipewire", "pulseaudio", "alsa", "jack", "sdl2"};

// FluidSynth reports every failed driver probe: its messages, fatal ones included, are
// shown only when asked for.
void FluidMessage(int level, const char* message, void* data) {
  if (SoundLibraryMessagesShown()) {
    fluid_default_log_function(level, message, data);
  }
}

void QuietFluidLog() {
  static const bool quiet = [] {
    QuietSoundLibraries();
    for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG}) {
      fluid_set_log_function(level, &FluidMessage, nullptr);
    }
    return true;
  }();
  (void)quiet;
}

// Why the sound font file cannot serve: empty when it is a readable SoundFont file.
std::string SoundFontProblem(const std::string& path) {
  // Checked before FluidSynth opens it: a FIFO would make it wait for a writer.
  std::string why;
  const int fd = OpenRegularFile(path, O_RDONLY, &why);
  if (fd < 0) {
    return "sound font " + path + ": " + why;
  }
  ::close(fd);
  if (fluid_is_soundfont(path.c_str()) == 0) {
    return "sound font " + path + " is not a SoundFont file";
  }
  return "";
}

// A synthesizer with its sound font loaded; owns the FluidSynth objects.
class TSynth {
 public:
  ~TSynth() {
    if (synth_ != nullptr) {
      delete_fluid_synth(synth_);
    }
    if (settings_ != nullptr) {
      delete_fluid_settings(settings_);
    }
  }

  // Builds the synthesizer. Empty, or why FluidSynth or the sound font failed. A probe
  // reads the sound font's structure and leaves its samples to be loaded when played.
  std::string Create(const TFluidSynthOptions& options, bool probe = false) {
    QuietFluidLog();
    if (std::string why = SoundFontProblem(options.SoundFont); !why.empty()) {
      return why;
    }
    settings_ = new_fluid_settings();
    if (settings_ == nullptr) {
      return "FluidSynth could not be started";
    }
    fluid_settings_setnum(settings_, "synth.sample-rate", options.SampleRate);
    fluid_settings_setnum(settings_, "synth.gain", options.Gain);
    fluid_settings_setint(settings_, "synth.dynamic-sample-loading", probe ? 1 : 0);
    synth_ = new_fluid_synth(settings_);
    if (synth_ == nullptr) {
      return "FluidSynth could not be started";
    }
    if (fluid_synth_sfload(synth_, options.SoundFont.c_str(), 1) == FLUID_FAILED) {
      return "sound font " + options.SoundFont + " cannot be loaded";
    }
    return "";
  }

  // Applies one short message.
  bool Apply(uint32_t packed) {
    const auto bytes = UnpackShortMessage(packed);
    const int status = bytes[0];
    const int channel = status & 0x0F;
    const int d1 = bytes.size() > 1 ? bytes[1] : 0;
    const int d2 = bytes.size() > 2 ? bytes[2] : 0;
    switch (status >> 4) {
      case 0x8:
        return fluid_synth_noteoff(synth_, channel, d1) == FLUID_OK;
      case 0x9:
        return (d2 == 0 ? fluid_synth_noteoff(synth_, channel, d1)
                        : fluid_synth_noteon(synth_, channel, d1, d2)) == FLUID_OK;
      case 0xA:
        return fluid_synth_key_pressure(synth_, channel, d1, d2) == FLUID_OK;
      case 0xB:
        return fluid_synth_cc(synth_, channel, d1, d2) == FLUID_OK;
      case 0xC:
        return fluid_synth_program_change(synth_, channel, d1) == FLUID_OK;
      case 0xD:
        return fluid_synth_channel_pressure(synth_, channel, d1) == FLUID_OK;
      case 0xE:
        return fluid_synth_pitch_bend(synth_, channel, d1 + d2 * 128) == FLUID_OK;
      default:
        return true;  // system messages mean nothing to the synthesizer
    }
  }

  // Applies F0 ... F7; FluidSynth takes the bytes between them.
  bool ApplySysEx(const uint8_t* bytes, size_t length) {
    if (length < 2 || bytes[0] != 0xF0) {
      return false;
    }
    const size_t end = bytes[length - 1] == 0xF7 ? length - 1 : length;
    return fluid_synth_sysex(synth_, reinterpret_cast<const char*>(bytes + 1),
                             static_cast<int>(end - 1), nullptr, nullptr, nullptr,
                             0) == FLUID_OK;
  }

  void AllNotesOff() { fluid_synth_all_notes_off(synth_, -1); }

  fluid_settings_t* Settings() { return settings_; }
  fluid_synth_t* Synth() { return synth_; }

 private:
  fluid_settings_t* settings_ = nullptr;
  fluid_synth_t* synth_ = nullptr;
};

// The synthesizer on an audio driver.
class TLiveSynthDevice final : public TMidiOutDevice {
 public:
  ~TLiveSynthDevice() override { StopDriver(); }

  // Empty, or why the synthesizer or every audio driver failed.
  std::string Start(const TFluidSynthOptions& options) {
    if (std::string why = synth_.Create(options); !why.empty()) {
      return why;
    }
    driver_ = new_fluid_audio_driver(synth_.Settings(), synth_.Synth());
    for (const char* name : kFallbackDrivers) {
      if (driver_ != nullptr) {
        break;
      }
      fluid_settings_setstr(synth_.Settings(), "audio.driver", name);
      driver_ = new_fluid_audio_driver(synth_.Settings(), synth_.Synth());
    }
    return driver_ != nullptr ? "" : "FluidSynth found no audio output to play on";
  }

  bool ShortMessage(uint32_t packed) override { return synth_.Apply(packed); }
  bool LongMessage(const uint8_t* bytes, size_t length) override {
    return synth_.ApplySysEx(bytes, length);
  }
  void Reset() override { synth_.AllNotesOff(); }
  bool Close() override {
    StopDriver();
    return true;
  }

 private:
  void StopDriver() {
    if (driver_ != nullptr) {
      delete_fluid_audio_driver(driver_);
      driver_ = nullptr;
    }
  }

  TSynth synth_;
  fluid_audio_driver_t* driver_ = nullptr;  // owned; deleted before the synth
};

// The synthesizer rendering into memory at the clock's time; the WAV file is
// written when the device closes.
class TOfflineSynthDevice final : public TMidiOutDevice {
 public:
  TOfflineSynthDevice(TClock& clock, std::string wav_path, TFluidSynthOptions options)
      : clock_(clock), wav_path_(std::move(wav_path)), options_(std::move(options)) {}

  // Empty, or why the synthesizer failed.
  std::string Start() {
    start_ms_ = clock_.NowMs();
    return synth_.Create(options_);
  }

  bool ShortMessage(uint32_t packed) override {
    RenderUpTo(clock_.NowMs());
    return synth_.Apply(packed);
  }
  bool LongMessage(const uint8_t* bytes, size_t length) override {
    RenderUpTo(clock_.NowMs());
    return synth_.ApplySysEx(bytes, length);
  }
  void Reset() override {
    RenderUpTo(clock_.NowMs());
    synth_.AllNotesOff();
  }
  bool Close() override {
    if (closed_) {
      return true;
    }
    RenderUpTo(clock_.NowMs() + options_.TailMs);
    closed_ = true;
    return WriteStereoWav(wav_path_, samples_, static_cast<int>(options_.SampleRate));
  }

 private:
  // Renders the frames from the last rendered one up to the time `ms` of the clock.
  void RenderUpTo(double ms) {
    const auto target =
        static_cast<long long>(std::floor((ms - start_ms_) * options_.SampleRate / 1000.0));
    const long long frames = target - rendered_frames_;
    if (frames <= 0 || closed_) {
      return;
    }
    const size_t offset = samples_.size();
    samples_.resize(offset + static_cast<size_t>(frames) * 2);
    int16_t* out = samples_.data() + offset;
    fluid_synth_write_s16(synth_.Synth(), static_cast<int>(frames), out, 0, 2, out, 1, 2);
    rendered_frames_ = target;
  }

  TClock& clock_;  // borrowed
  std::string wav_path_;
  TFluidSynthOptions options_;
  TSynth synth_;
  double start_ms_ = 0;
  long long rendered_frames_ = 0;
  std::vector<int16_t> samples_;  // interleaved left, right
  bool closed_ = false;
};

void PutLe(std::ostream& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) {
    out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
  }
}

}  // namespace

std::string DefaultSoundFont() {
  const char* chosen = std::getenv("VELTO_SOUNDFONT");
  return chosen != nullptr && *chosen != '\0' ? chosen : "/usr/share/sounds/sf2/TimGM6mb.sf2";
}

TFluidSynthBackend::TFluidSynthBackend(TFluidSynthOptions options) : options_(std::move(options)) {}

std::vector<TMidiOutDeviceItem> TFluidSynthBackend::List() {
  if (!SoundFontLoads()) {
    return {};
  }
  return {{kDeviceName, {Name(), kPortName}}};
}

std::unique_ptr<TMidiOutDevice> TFluidSynthBackend::Open(const std::string& port) {
  if (port != kPortName) {
    return nullptr;
  }
  auto device = std::make_unique<TLiveSynthDevice>();
  const std::string why = device->Start(options_);
  std::lock_guard<std::mutex> lock(mutex_);
  problem_ = why;
  return why.empty() ? std::move(device) : nullptr;
}

std::string TFluidSynthBackend::Problem() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return problem_;
}

bool TFluidSynthBackend::SoundFontLoads() {
  struct stat st {};
  const bool present = ::stat(options_.SoundFont.c_str(), &st) == 0;
  const std::string stamp = present ? std::to_string(st.st_size) + "/" +
                                          std::to_string(st.st_mtim.tv_sec) + "." +
                                          std::to_string(st.st_mtim.tv_nsec)
                                    : "";
  std::lock_guard<std::mutex> lock(mutex_);
  if (!checked_ || stamp != checked_stamp_) {
    TSynth synth;
    problem_ = synth.Create(options_, true);
    checked_ = true;
    checked_stamp_ = stamp;
    loads_ = problem_.empty();
  }
  return loads_;
}

TFluidSynthOfflineBackend::TFluidSynthOfflineBackend(TClock& clock, std::string wav_path,
                                                     TFluidSynthOptions options)
    : clock_(clock), wav_path_(std::move(wav_path)), options_(std::move(options)) {}

std::vector<TMidiOutDeviceItem> TFluidSynthOfflineBackend::List() {
  return {{std::string(kDeviceName) + " to " + wav_path_, {Name(), kPortName}}};
}

std::unique_ptr<TMidiOutDevice> TFluidSynthOfflineBackend::Open(const std::string& port) {
  if (port != kPortName) {
    return nullptr;
  }
  auto device = std::make_unique<TOfflineSynthDevice>(clock_, wav_path_, options_);
  if (!device->Start().empty()) {
    return nullptr;
  }
  return device;
}

bool WriteStereoWav(const std::string& path, const std::vector<int16_t>& interleaved,
                   int sample_rate) {
  return WriteFileAtomically(path, [&](std::ostream& out, std::string&) {
    const auto data_bytes = static_cast<uint32_t>(interleaved.size() * sizeof(int16_t));
    const uint32_t channels = 2;
    const uint32_t block_align = channels * sizeof(int16_t);
    // 1. RIFF header, 2. format chunk (PCM), 3. data chunk.
    out.write("RIFF", 4);
    PutLe(out, 36 + data_bytes, 4);
    out.write("WAVE", 4);
    out.write("fmt ", 4);
    PutLe(out, 16, 4);
    PutLe(out, 1, 2);
    PutLe(out, channels, 2);
    PutLe(out, static_cast<uint32_t>(sample_rate), 4);
    PutLe(out, static_cast<uint32_t>(sample_rate) * block_align, 4);
    PutLe(out, block_align, 2);
    PutLe(out, 16, 2);
    out.write("data", 4);
    PutLe(out, data_bytes, 4);
    for (int16_t sample : interleaved) {
      PutLe(out, static_cast<uint16_t>(sample), 2);
    }
    return static_cast<bool>(out);
  });
}
