// The messages of a song file that cannot be opened or saved and of a MIDI device that
// cannot be opened: each names what failed, in the user's language.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "app/device_error_text.h"
#include "feedback/file_error_text.h"
#include "platform/codec1251.h"
#include "playback/midi_ports.h"
#include "settings/settings.h"
#include "tests/support/test_support.h"

namespace {

std::string U(const std::string& cp1251) { return Cp1251ToUtf8(cp1251); }

TEST(FileErrorText, NamesTheFileAndGivesSystemReasonsInTheLanguage) {
  const std::string noFile = std::strerror(ENOENT);
  const std::string denied = std::strerror(EACCES);
  struct TCase {
    TFileAction action;
    std::string detail;
    const char* russian;
    const char* english;
  };
  const TCase cases[] = {
      {TFileAction::Open, "cannot open /s/a b.qem: " + noFile,
       "Не удаётся открыть файл /s/a b.qem: Нет такого файла или папки",
       "Cannot open the file /s/a b.qem: No such file or folder"},
      {TFileAction::Save, "cannot write /s/a b.qem: " + denied,
       "Не удаётся сохранить файл /s/a b.qem: Нет доступа",
       "Cannot save the file /s/a b.qem: Permission denied"},
      {TFileAction::Open, "/s/a b.qem: line 21 is longer than 262144 bytes",
       "Не удаётся открыть файл /s/a b.qem: line 21 is longer than 262144 bytes",
       "Cannot open the file /s/a b.qem: line 21 is longer than 262144 bytes"},
      {TFileAction::Save, "the disk said no", "Не удаётся сохранить файл /s/a b.qem: the disk said no",
       "Cannot save the file /s/a b.qem: the disk said no"},
      {TFileAction::Save, "", "Не удаётся сохранить файл /s/a b.qem", "Cannot save the file /s/a b.qem"},
      // The writer's own reasons for a folder and for another copy's files.
      {TFileAction::Save, "cannot write /s/a b.qem: the folder /s cannot be written (" + denied + ")",
       "Не удаётся сохранить файл /s/a b.qem: в папку /s нельзя записать (Нет доступа)",
       "Cannot save the file /s/a b.qem: the folder /s cannot be written (Permission denied)"},
      {TFileAction::Save,
       "cannot write /s/a b.qem: it belongs to a window of another running copy of the program",
       "Не удаётся сохранить файл /s/a b.qem: он принадлежит окну другой запущенной копии программы",
       "Cannot save the file /s/a b.qem: it is a window's of another running copy"},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(U(FileErrorText(c.action, "/s/a b.qem", c.detail)), c.russian) << c.detail;
  }
  testsupport::TScopedLanguage language({"1200=Cannot open the file %s", "1201=Cannot save the file %s",
                                         "1210=No such file or folder", "1211=Permission denied",
                                         "1276=the folder %s cannot be written (%s)",
                                         "1277=it is a window's of another running copy"});
  for (const TCase& c : cases) {
    EXPECT_EQ(U(FileErrorText(c.action, "/s/a b.qem", c.detail)), c.english) << c.detail;
  }
}

TEST(DeviceErrorText, NamesTheDeviceOfThePortNotAPlaceInTheSong) {
  const std::vector<TMidiOutDeviceItem> saved = GMidiOutDeviceList;
  GMidiOutDeviceList = {{"FluidSynth (General MIDI)", {}}, {"Синтезатор", {}}, {"log", {}}};
  GMidiOutDevices[1] = 1;
  GMidiOutDevices[2] = -4;
  EXPECT_EQ(PortDeviceName(0, 2), "log");
  EXPECT_EQ(U(PortDeviceName(1, 2)), "Синтезатор");
  EXPECT_EQ(PortDeviceName(2, 2), "FluidSynth (General MIDI)");  // a negative device is 0
  GMidiOutDevices[1] = 7;
  EXPECT_EQ(PortDeviceName(1, 2), "7");
  GMidiOutDevices.fill(0);
  GMidiOutDeviceList = saved;

  TErrors error;
  error.Code = 18;
  error.Source = 2;
  error.Text = "Midi out hardware";
  EXPECT_TRUE(IsDeviceError(error));
  EXPECT_EQ(U(DeviceErrorText(error, "log")),
            "MIDI-устройство log\rНе могу инициировать midi-устройство!\rMidi out hardware");
  testsupport::TScopedLanguage language({"1206=MIDI device %s", "443=Cannot open the MIDI device"});
  EXPECT_EQ(DeviceErrorText(error, "log"), "MIDI device log\rCannot open the MIDI device!\rMidi out hardware");
  for (const auto& [code, source] : {std::pair{18, 1}, std::pair{18, 3}, std::pair{17, 2}}) {
    error.Code = static_cast<uint8_t>(code);
    error.Source = static_cast<uint8_t>(source);
    EXPECT_FALSE(IsDeviceError(error)) << code << " " << source;
  }
}

}  // namespace
