// The message for a MIDI output port that cannot be opened or played on: it names the
// device, not a place in the song.
#pragma once

#include <cstdint>
#include <string>

#include "base/errors.h"
#include "platform/midi_devices/midi_device.h"

// True for the song table's device error (code 18 of a music, song or device error).
bool IsDeviceError(const TErrors& error);

// The name of the device on `port` (port 0 plays on item `device0` of the device list,
// port p on item GMidiOutDevices[p]), UTF-8 as the list holds it; the item's number when
// the list has no such item.
std::string PortDeviceNameUtf8(int32_t port, int32_t device0);
// The same in code page 1251.
std::string PortDeviceName(int32_t port, int32_t device0);

// The error box text of a device error on the device named `name` (code page 1251): a
// place line naming the device, the error's text and its detail.
std::string DeviceErrorText(const TErrors& error, const std::string& name);

// The text said once when a device stopped taking messages while it was open (code page
// 1251): the device and the reason.
std::string DeviceFaultText(const TMidiDeviceFault& fault);
