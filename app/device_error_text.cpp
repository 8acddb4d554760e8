#include "app/device_error_text.h"

#include "feedback/error_messages.h"
#include "platform/codec1251.h"
#include "playback/midi_ports.h"
#include "settings/lang_texts.h"
#include "settings/settings.h"

namespace {

constexpr uint8_t kDeviceErrorCode = 18;
constexpr uint8_t kSongSource = 2;

}  // namespace

bool IsDeviceError(const TErrors& error) {
  return error.Code == kDeviceErrorCode && error.Source == kSongSource;
}

std::string PortDeviceNameUtf8(int32_t port, int32_t device0) {
  int32_t item = device0;
  if (port > 0 && static_cast<size_t>(port) < GMidiOutDevices.size()) {
    item = GMidiOutDevices[static_cast<size_t>(port)];
  }
  item = item < 0 ? 0 : item;
  if (static_cast<size_t>(item) < GMidiOutDeviceList.size()) {
    return GMidiOutDeviceList[static_cast<size_t>(item)].Name;
  }
  return std::to_string(item);
}

std::string PortDeviceName(int32_t port, int32_t device0) {
  return Utf8ToCp1251(PortDeviceNameUtf8(port, device0)).Text;
}

std::string DeviceErrorText(const TErrors& error, const std::string& name) {
  const std::string place = SubstituteArgs(LangStrOr(1206, "MIDI-устройство %s"), {name});
  // The device's own reason (a SoundFont's path among them) is said whole.
  return SongErrorMessage(error.Code, std::string(), place, error.Text);
}

std::string DeviceFaultText(const TMidiDeviceFault& fault) {
  return SubstituteArgs(LangStrOr(2400, "MIDI-устройство %s больше не принимает сообщения: %s"),
                        {Utf8ToCp1251(fault.Device).Text, Utf8ToCp1251(fault.Reason).Text});
}
