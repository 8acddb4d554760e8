// The messages of a song file that cannot be opened or saved and of a MIDI device that
// cannot be opened: each names what failed, in the user's language.
#include <gtest/gtest.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>
#include <sstream>

#include "app/device_error_text.h"
#include "app/song_commands.h"
#include "base/errors.h"
#include "feedback/error_messages.h"
#include "feedback/file_error_text.h"
#include "model/song.h"
#include "model/song_file.h"
#include "model/song_text.h"
#include "platform/atomic_file.h"
#include "platform/codec1251.h"
#include "settings/lang_texts.h"
#include "playback/midi_ports.h"
#include "settings/settings.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;

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
  // The device's reason names a file: never shortened.
  error.Text = "no SoundFont at /usr/share/sounds/sf2/" + std::string(100, 'x') + ".sf2";
  EXPECT_EQ(DeviceErrorText(error, "log"), "MIDI device log\rCannot open the MIDI device!\r" + error.Text);
  error.Text = "Midi out hardware";
  for (const auto& [code, source] : {std::pair{18, 1}, std::pair{18, 3}, std::pair{17, 2}}) {
    error.Code = static_cast<uint8_t>(code);
    error.Source = static_cast<uint8_t>(source);
    EXPECT_FALSE(IsDeviceError(error)) << code << " " << source;
  }
}

// The program's language files.
std::string LanguageFile(const char* name) {
  return std::string(VELTO_SOURCE_DIR) + "/resources/Languages/" + name;
}

// True when the UTF-8 text holds a Cyrillic letter.
bool HasCyrillic(const std::string& utf8) {
  for (const char32_t c : Utf8ToChars(utf8)) {
    if (c >= 0x400 && c <= 0x4FF) {
      return true;
    }
  }
  return false;
}

// The Latin words of a text, lower case.
std::set<std::string> LatinWords(const std::string& text) {
  std::set<std::string> words;
  std::string word;
  for (const char c : text + " ") {
    if (std::isalpha(static_cast<unsigned char>(c)) != 0 && static_cast<unsigned char>(c) < 0x80) {
      word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    } else if (!word.empty()) {
      words.insert(word);
      word.clear();
    }
  }
  return words;
}

// The message without the user's text: the folder's paths and what stands in quotes.
std::string WithoutUserText(std::string message, const std::string& folder) {
  for (size_t at = message.find(folder); at != std::string::npos; at = message.find(folder)) {
    message.erase(at, folder.size() + std::string("song.qem").size());
  }
  for (size_t open = message.find('"'); open != std::string::npos; open = message.find('"')) {
    const size_t close = message.find('"', open + 1);
    message.erase(open, close == std::string::npos ? std::string::npos : close - open + 1);
  }
  return message;
}

// Every message a song or handler error gives on the command line or in a box, and every
// reason a song file is refused for, under the language loaded (UTF-8). Paths are left out:
// they are the user's.
std::vector<std::string> EveryErrorMessage(const fs::path& dir) {
  std::vector<std::string> messages;
  for (int code = 0; code <= 255; ++code) {
    messages.push_back(U(SongErrorMessage(static_cast<uint8_t>(code), "", "")));
    messages.push_back(U(HandlerErrorMessage(static_cast<uint8_t>(code), "", "")));
  }
  const std::string melody = "0 0 1 1 1 1 1\r\n";
  const std::string songs[] = {
      "0 0 0 1 1 1 1\n\rSong\n\r",                  // a header that holds a name
      "1 0 0 1 1 1 1\r\nA\r\nVd4m\r\n\r\n1 0 1 1 1 1 1\r\n",  // an empty line for a header
      "0 0 0 1 1 1 1\r\nA\r\n2 0 1 1 1 1 1\r\nB\r\nm\r\n",  // ends inside a track
      "\r\n\r\n\r\n",                               // no track
      melody + "Name \xE2\x9C\x93\r\n",             // UTF-8 past code page 1251
      "\xEF\xBB\xBF" + melody + "\xC0\r\n",         // broken UTF-8 behind the mark
      "1 0 0 1 0 0 0\r\n\xD0\x9E\xD0\xB1\xD1\x89\xD0\xB5\xD0\xB5\r\nVd4m\r\n"
      "1 0 1 1 0 0 0\r\n\xD0\x9C\xD0\xB5\xD0\xBB\xD0\xD0\xB4\xD0\xB8\xD1\x8F\r\n",  // damaged
      melody + "n\r\n" + std::string(kMaxSongLineBytes + 1, 'm'),                  // a long line
      std::string(kMaxSongFileBytes + 1, 'm'),                                      // too large
  };
  const fs::path path = dir / "song.qem";
  for (const std::string& bytes : songs) {
    EXPECT_TRUE(WriteFileAtomically(path, bytes));
    TVelto song;
    std::string error;
    EXPECT_FALSE(LoadSongFile(song, path, "", &error));
    messages.push_back(FileErrorTextUtf8(TFileAction::Open, path.string(), error));
    if (GErrors.Code() == kSongTextError) {
      messages.push_back(DescribeSongTextError());
    }
    std::ostringstream err;
    EXPECT_EQ(ExportSongCommand(path.string(), (dir / "out.mid").string(), err), 1);
    messages.push_back(err.str());
    GErrors.Reset();
  }
  // The places the command line gives: a measure and voice, a module line run by another
  // track's handler, a port.
  TVelto song;
  song.AddTreck(song.CurrentTrack, "", 0);
  song.AddTreck(song.CurrentTrack, "", 1);
  TErrors e;
  e.Source = esMusic;
  e.Code = 2;
  e.ModuleLine = 1;
  e.Measure = 3;
  e.Voice = 1;
  messages.push_back(DescribeSongError(e, song));
  e.Source = esModule;
  e.Code = kErrorNestingTooDeep;
  e.ModuleLine = 4;
  e.Track = 0;
  e.RunningTrack = 1;
  messages.push_back(DescribeSongError(e, song));
  e.Source = esHandler;
  messages.push_back(DescribeSongError(e, song));
  e = TErrors{};
  e.Source = esMusic;
  e.Code = 18;
  e.Extra = 2;
  messages.push_back(DescribeSongError(e, song));
  return messages;
}

// Under English.lng no message holds a Cyrillic letter; under Russian.lng no message holds
// a Latin word that Russian.lng itself never uses (statement names, MIDI, UTF).
TEST(MessageLanguages, EveryErrorAndEverySongFileReasonSpeaksTheLanguageLoaded) {
  testsupport::TTempDir temp;
  ProgramDir = temp.Path();
  ASSERT_TRUE(LoadLanguageFile(LanguageFile("English.lng")));
  for (const std::string& message : EveryErrorMessage(temp.Path())) {
    EXPECT_FALSE(HasCyrillic(WithoutUserText(message, temp.Path()))) << message;
  }
  const std::string russian = ReadFileBytes(LanguageFile("Russian.lng")).value();
  std::set<std::string> allowed = LatinWords(russian);
  allowed.insert("u");      // a character's code: U+2713
  allowed.insert("velto");  // the program's name before each line
  ASSERT_TRUE(LoadLanguageFile(LanguageFile("Russian.lng")));
  for (const std::string& message : EveryErrorMessage(temp.Path())) {
    EXPECT_TRUE(HasCyrillic(message)) << message;
    for (const std::string& word : LatinWords(WithoutUserText(message, temp.Path()))) {
      EXPECT_TRUE(allowed.contains(word)) << word << " in " << message;
    }
  }
  UnloadLanguage();
}

}  // namespace
