// The settings globals (shell/settings.h) read from and written to the settings file.
#pragma once

#include <filesystem>
#include <string>

class TIniFile;

// Name of the settings file inside the program folder.
inline constexpr const char* kSettingsFileName = "velto.ini";

// Sets every settings global from the file's sections; a missing key keeps the global's
// present value (a ranged setting's: its default). Values out of range are brought into
// range (see ClampSettings).
void ApplySettings(const TIniFile& ini);
// Writes every settings global into ini, keeping its other sections and keys.
void StoreSettings(TIniFile& ini);

// Reads the settings file; a missing file leaves the defaults. False when the file exists
// but cannot be read.
bool LoadSettings(const std::filesystem::path& path);
// Writes the settings into the file, keeping what else it holds. False with *error on failure.
bool SaveSettings(const std::filesystem::path& path, std::string* error = nullptr);

// Brings every numeric setting into its range: ticks counts at least 1 (they divide),
// priorities one of -15, -2, -1, 0, 1, 2, 15, accordion steps 1..7, octaves 0..9,
// ranges 1..11, devices at least 0, the last port 0..16, and each ranged setting into the
// range its row gives.
void ClampSettings();
