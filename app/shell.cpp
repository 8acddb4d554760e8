#include "app/shell.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <cstdlib>
#include <filesystem>

#include "feedback/file_error_text.h"
#include "platform/atomic_file.h"
#include "platform/codec1251.h"
#include "platform/ini_file.h"
#include "platform/paths.h"
#include "settings/lang_texts.h"
#include "settings/settings.h"
#include "settings/settings_file.h"

std::vector<std::string> ListLanguageFiles(const std::string& folder) {
  std::vector<std::string> files;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (entry.is_regular_file(error) && SameNameIgnoringCase(entry.path().extension().string(), ".lng")) {
      files.push_back(name);
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string ChooseLanguageFile(const std::string& setting, const std::string& locale,
                               const std::vector<std::string>& files) {
  const auto find = [&](const std::string& name) -> std::string {
    for (const std::string& file : files) {
      if (SameNameIgnoringCase(file, name)) {
        return file;
      }
    }
    return std::string();
  };
  if (!setting.empty() && !find(setting).empty()) {
    return find(setting);
  }
  const bool russian = locale.rfind("ru", 0) == 0 && (locale.size() == 2 || locale[2] == '_' ||
                                                      locale[2] == '.' || locale[2] == '@');
  return find(russian ? "Russian.lng" : "English.lng");
}

std::string MessagesLocale() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') {
      return value;
    }
  }
  return std::string();
}

int32_t SmallestFreeWindowNumber(const std::vector<int32_t>& used) {
  int32_t number = 1;
  while (std::find(used.begin(), used.end(), number) != used.end()) {
    ++number;
  }
  return number;
}

int32_t FreeWindowNumber(const std::vector<int32_t>& used,
                         const std::function<bool(int32_t)>& heldElsewhere) {
  std::vector<int32_t> taken = used;
  while (true) {
    const int32_t number = SmallestFreeWindowNumber(taken);
    if (!heldElsewhere(number)) {
      return number;
    }
    taken.push_back(number);
  }
}

std::string StartLanguageFile() {
  TIniFile ini;
  ini.Load(ProgramDir + kSettingsFileName);
  return ChooseLanguageFile(ini.ReadString("MAIN", "Language", ""), MessagesLocale(),
                            ListLanguageFiles(ProgramDir + "Languages"));
}

namespace {

std::string HandedOverListPath(const std::string& programDir) {
  return programDir + "Resources/temp/handed-over.lst";
}

}  // namespace

void KeepHandedOverSongs(const std::string& programDir, const std::vector<std::string>& songs) {
  std::vector<std::string> kept = TakeKeptHandedOverSongs(programDir);
  kept.insert(kept.end(), songs.begin(), songs.end());
  std::string bytes;
  for (const std::string& song : kept) {
    bytes += song + "\n";
  }
  WriteFileAtomically(HandedOverListPath(programDir), bytes);
}

std::vector<std::string> TakeKeptHandedOverSongs(const std::string& programDir) {
  const std::string path = HandedOverListPath(programDir);
  const std::optional<std::string> bytes = ReadFileBytes(path, nullptr, 1 << 20);
  std::vector<std::string> songs;
  if (bytes) {
    size_t start = 0;
    for (size_t end = bytes->find('\n'); end != std::string::npos;
         start = end + 1, end = bytes->find('\n', start)) {
      if (end > start) {
        songs.push_back(bytes->substr(start, end - start));
      }
    }
  }
  std::remove(path.c_str());
  return songs;
}

std::string ProgramFolderProblem(const std::string& programDir) {
  const std::string temp = programDir + "Resources/temp";
  const std::string probe = temp + "/velto-start.probe";
  std::error_code ignored;
  std::filesystem::create_directories(temp, ignored);
  std::string error;
  if (WriteFileAtomically(probe, "probe\n", &error)) {
    std::remove(probe.c_str());
    return std::string();
  }
  return SubstituteArgs(LangStrOr(1282, "Программе нужна папка %s, в которую можно записывать: "
                                        "в ней хранятся шаги отмены, сонги для восстановления и "
                                        "настройки."),
                        {Utf8ToCp1251(programDir).Text}) +
         " " + FileErrorText(TFileAction::Save, probe, error);
}
