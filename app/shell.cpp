#include "app/shell.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "platform/paths.h"

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
