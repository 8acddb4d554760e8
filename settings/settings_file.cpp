#include "settings/settings_file.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <system_error>

#include "platform/ini_file.h"
#include "settings/settings.h"

namespace {

constexpr int32_t kMaxTicks = 1920 * 100000;  // far past any song; keeps sums inside 32 bits
constexpr std::array<int32_t, 7> kPriorities = {-15, -2, -1, 0, 1, 2, 15};

struct TBoolSetting {
  const char* Section;
  const char* Key;
  bool* Value;
};

struct TIntSetting {
  const char* Section;
  const char* Key;
  int32_t* Value;
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

const std::array<TIntSetting, 11> kIntSettings = {{
    {"EditingNotes", "ModeTalk", &ModeTalk},
    {"Accordion", "NoteBass", &AccordionNoteBass},
    {"Accordion", "OctaveBass", &AccordionOctaveBass},
    {"Accordion", "RangeBass", &AccordionRangeBass},
    {"Accordion", "NoteChord", &AccordionNoteChord},
    {"Accordion", "OctaveChord", &AccordionOctaveChord},
    {"Accordion", "RangeChord", &AccordionRangeChord},
    {"MIDI", "StartPlayingOffset", &GStartPlayingOffset},
    {"MIDI", "Frequency", &GProgressFrequency},
    {"MIDI", "PriorityGeneration", &GPriorityGeneration},
    {"MIDI", "PriorityPlaying", &GPriorityPlaying},
}};

// Integer settings with their default (also for a missing key) and range: a value out of
// range is brought into it.
struct TRangedSetting {
  const char* Section;
  const char* Key;
  int32_t* Value;
  int32_t Default;
  int32_t Min;
  int32_t Max;
};

const std::array<TRangedSetting, 1> kRangedSettings = {{
    {"Handler", "StatementsPerTick", &GHandlerStatementsPerTick, kDefaultHandlerStatementsPerTick,
     1000, 2000000000},
}};

std::string PortKey(int port) { return "AdditionalOut" + std::to_string(port); }

int32_t ClampPriority(int32_t value) {
  const bool known = std::find(kPriorities.begin(), kPriorities.end(), value) != kPriorities.end();
  return known ? value : 0;
}

}  // namespace

void ClampSettings() {
  GStartPlayingOffset = std::clamp(GStartPlayingOffset, 1, kMaxTicks);
  GProgressFrequency = std::clamp(GProgressFrequency, 1, kMaxTicks);
  GPriorityGeneration = ClampPriority(GPriorityGeneration);
  GPriorityPlaying = ClampPriority(GPriorityPlaying);
  AccordionNoteBass = std::clamp(AccordionNoteBass, 1, 7);
  AccordionNoteChord = std::clamp(AccordionNoteChord, 1, 7);
  AccordionOctaveBass = std::clamp(AccordionOctaveBass, 0, 10);
  AccordionOctaveChord = std::clamp(AccordionOctaveChord, 0, 10);
  AccordionRangeBass = std::clamp(AccordionRangeBass, 1, 10);
  AccordionRangeChord = std::clamp(AccordionRangeChord, 1, 10);
  GLastMidiOut = std::clamp(GLastMidiOut, 0, 16);
  for (int32_t& device : GMidiOutDevices) {
    device = std::max(device, 0);
  }
  for (const TRangedSetting& s : kRangedSettings) {
    *s.Value = std::clamp(*s.Value, s.Min, s.Max);
  }
}

void ApplySettings(const TIniFile& ini) {
  for (const TBoolSetting& s : kBoolSettings) {
    *s.Value = ini.ReadBool(s.Section, s.Key, *s.Value);
  }
  for (const TIntSetting& s : kIntSettings) {
    *s.Value = ini.ReadInteger(s.Section, s.Key, *s.Value);
  }
  for (const TRangedSetting& s : kRangedSettings) {
    *s.Value = ini.ReadInteger(s.Section, s.Key, s.Default);
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
  for (const TRangedSetting& s : kRangedSettings) {
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
    // Never write over sections we could not read.
    if (error != nullptr) {
      *error = "cannot read " + path.string();
    }
    return false;
  }
  StoreSettings(ini);
  return ini.Save(path, error);
}
