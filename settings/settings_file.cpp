#include "settings/settings_file.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <system_error>

#include "platform/atomic_file.h"
#include "platform/ini_file.h"
#include "settings/settings.h"

namespace {

constexpr int32_t kMaxTicks = 1920 * 100000;
constexpr std::array<int32_t, 7> kPriorities = {-15, -2, -1, 0, 1, 2, 15};

struct TBoolSetting {
  const char* Section;
  const char* Key;
  bool* Value;
};

constexpr TSettingRange kAnyValue{INT32_MIN, INT32_MAX};
constexpr TSettingRange kTicks{1, kMaxTicks};  // far past any song; keeps sums inside 32 bits

// An integer setting: section, key, the global, its range, and the default a missing key
// reads as (none: a missing key leaves the global as it is).
struct TIntSetting {
  const char* Section;
  const char* Key;
  int32_t* Value;
  TSettingRange Range;
  std::optional<int32_t> Default = std::nullopt;
};

// Every Boolean and integer setting with its section and key.
const std::array<TBoolSetting, 10> kBoolSettings = {{
    {"Signals", "OK", &SignalOK},
    {"Signals", "Error", &SignalError},
    {"Signals", "Progress", &SignalProgress},
    {"Signals", "UpCaps", &SignalUpCaps},
    {"Signals", "Question", &SignalQuestion},
    {"MAIN", "AdvancedNavigation", &AdvancedNavigation},
    {"EditingNotes", "ModePlay", &ModePlay},
    {"EditingNotes", "AdvancedEditing", &AdvancedEditing},
    {"EditingNotes", "PointMode", &PointMode},
    {"MIDI", "ModeRealPlaying", &GModeRealPlaying},
}};

const std::array<TIntSetting, 12> kIntSettings = {{
    {"EditingNotes", "ModeTalk", &ModeTalk, kAnyValue},
    {"Accordion", "NoteBass", &AccordionNoteBass, kAccordionStepRange},
    {"Accordion", "OctaveBass", &AccordionOctaveBass, kAccordionOctaveBassRange},
    {"Accordion", "RangeBass", &AccordionRangeBass, kAccordionOctavesRange},
    {"Accordion", "NoteChord", &AccordionNoteChord, kAccordionStepRange},
    {"Accordion", "OctaveChord", &AccordionOctaveChord, kAccordionOctaveChordRange},
    {"Accordion", "RangeChord", &AccordionRangeChord, kAccordionOctavesRange},
    {"MIDI", "StartPlayingOffset", &GStartPlayingOffset, kTicks},
    {"MIDI", "Frequency", &GProgressFrequency, kTicks},
    {"MIDI", "PriorityGeneration", &GPriorityGeneration, kAnyValue},  // one of kPriorities
    {"MIDI", "PriorityPlaying", &GPriorityPlaying, kAnyValue},
    {"Handler", "StatementsPerTick", &GHandlerStatementsPerTick, {1000, 2000000000},
     kDefaultHandlerStatementsPerTick},
}};

std::string PortKey(int port) { return "AdditionalOut" + std::to_string(port); }

int32_t ClampPriority(int32_t value) {
  const bool known = std::find(kPriorities.begin(), kPriorities.end(), value) != kPriorities.end();
  return known ? value : 0;
}

}  // namespace

void ClampSettings() {
  for (const TIntSetting& s : kIntSettings) {
    *s.Value = s.Range.Clamp(*s.Value);
  }
  GPriorityGeneration = ClampPriority(GPriorityGeneration);
  GPriorityPlaying = ClampPriority(GPriorityPlaying);
  GLastMidiOut = std::clamp(GLastMidiOut, 0, 16);
  for (int32_t& device : GMidiOutDevices) {
    device = std::max(device, 0);
  }
}

void ApplySettings(const TIniFile& ini) {
  for (const TBoolSetting& s : kBoolSettings) {
    *s.Value = ini.ReadBool(s.Section, s.Key, *s.Value);
  }
  for (const TIntSetting& s : kIntSettings) {
    *s.Value = ini.ReadInteger(s.Section, s.Key, s.Default.value_or(*s.Value));
  }
  // A port is in use when its key holds a device number; the highest such port is the last.
  GLastMidiOut = 0;
  for (int port = 1; port <= 16; ++port) {
    const int32_t device = ini.ReadInteger("MIDI", PortKey(port), -1);
    if (device >= 0) {
      GMidiOutDevices[port] = device;
      GLastMidiOut = port;
    }
  }
  ClampSettings();
}

void StoreSettings(TIniFile& ini) {
  ClampSettings();
  for (const TBoolSetting& s : kBoolSettings) {
    ini.WriteBool(s.Section, s.Key, *s.Value);
  }
  for (const TIntSetting& s : kIntSettings) {
    ini.WriteInteger(s.Section, s.Key, *s.Value);
  }
  for (int port = 1; port <= 16; ++port) {
    if (port <= GLastMidiOut) {
      ini.WriteInteger("MIDI", PortKey(port), GMidiOutDevices[port]);
    } else {
      ini.DeleteKey("MIDI", PortKey(port));
    }
  }
}

bool LoadSettings(const std::filesystem::path& path) {
  TIniFile ini;
  std::error_code ec;
  if (!ini.Load(path) && std::filesystem::exists(path, ec)) {
    ClampSettings();
    return false;
  }
  ApplySettings(ini);
  return true;
}

bool SaveSettings(const std::filesystem::path& path, std::string* error) {
  TIniFile ini;
  std::error_code ec;
  if (!ini.Load(path) && std::filesystem::exists(path, ec)) {
    // Never write over sections we could not read; the reason as the reader met it.
    if (error != nullptr) {
      std::string why;
      if (ReadFileBytes(path, &why) || why.empty()) {
        why = "cannot read " + path.string();
      }
      *error = why;
    }
    return false;
  }
  StoreSettings(ini);
  return ini.Save(path, error);
}
