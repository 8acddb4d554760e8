// Device 0, the built-in synthesizer: FluidSynth with a General MIDI sound font,
// played through FluidSynth's audio driver, or rendered offline into a WAV file.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/midi_devices/midi_device.h"

// The sound font of the synthesizer: VELTO_SOUNDFONT when set and not empty, else the
// General MIDI sound font of Debian's timgm6mb-soundfont.
std::string DefaultSoundFont();

// Settings of the synthesizer, each with its default.
struct TFluidSynthOptions {
  std::string SoundFont = DefaultSoundFont();
  double SampleRate = 44100;  // frames per second
  double Gain = 0.5;          // FluidSynth's master gain, 0..10
  double TailMs = 1500;       // offline: sound rendered after the device closes
};

// The built-in synthesizer on the machine's sound output (one device).
class TFluidSynthBackend final : public TMidiBackend {
 public:
  explicit TFluidSynthBackend(TFluidSynthOptions options = {});

  std::string Name() const override { return "fluidsynth"; }
  // The synthesizer, only when its sound font loads (tried again when the file changes).
  std::vector<TMidiOutDeviceItem> List() override;
  // Nullptr when the sound font cannot be loaded or no audio driver starts.
  std::unique_ptr<TMidiOutDevice> Open(const std::string& port) override;
  // Why the sound font does not load or the last open failed, naming the sound font file.
  std::string Problem() const override;

 private:
  bool SoundFontLoads();

  TFluidSynthOptions options_;
  mutable std::mutex mutex_;   // guards what follows
  std::string problem_;
  bool checked_ = false;       // the sound font was tried
  std::string checked_stamp_;  // size and time of the file tried
  bool loads_ = false;
};

// The built-in synthesizer rendering offline: time comes from the clock (borrowed;
// it must outlive the devices), each message is applied at the clock's time, and
// closing writes 16-bit stereo PCM into the WAV file.
class TFluidSynthOfflineBackend final : public TMidiBackend {
 public:
  TFluidSynthOfflineBackend(TClock& clock, std::string wav_path, TFluidSynthOptions options = {});

  std::string Name() const override { return "fluidsynth-offline"; }
  std::vector<TMidiOutDeviceItem> List() override;
  std::unique_ptr<TMidiOutDevice> Open(const std::string& port) override;

 private:
  TClock& clock_;
  std::string wav_path_;
  TFluidSynthOptions options_;
};

// Writes interleaved 16-bit stereo samples as a WAV file (WriteFileAtomically); false on a
// write error.
bool WriteStereoWav(const std::string& path, const std::vector<int16_t>& interleaved,
                    int sample_rate);
