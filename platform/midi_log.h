// The MIDI log device: with VELTO_MIDI_LOG=FILE a device named "log" joins the device list,
// and every message sent to it becomes one line of FILE: the milliseconds since the device
// opened, then the bytes as two-digit hexadecimal, blank-separated.
#pragma once

#include <memory>
#include <string>

#include "platform/midi_device.h"

// The backend of the log device writing to `path`; its one port is named "log".
std::shared_ptr<TMidiBackend> MakeMidiLogBackend(std::string path);

// The file VELTO_MIDI_LOG names; empty when it is not set.
std::string MidiLogPath();
