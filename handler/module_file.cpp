#include "handler/module_file.h"

#include <sys/stat.h>

#include "base/errors.h"
#include "platform/atomic_file.h"
#include "platform/codec1251.h"
#include "platform/text_lines.h"
#include "platform/paths.h"
#include "settings/lang_texts.h"
#include "settings/settings.h"

namespace {

// True when something that is not a regular file stands at path (links followed).
bool OtherThanRegularFile(const std::filesystem::path& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
}

}  // namespace

std::optional<std::filesystem::path> FindModuleFile(std::string_view folder,
                                                    std::string_view fileName) {
  const std::optional<std::filesystem::path> dir =
      FindInFolder(std::filesystem::path(ProgramDir), folder);
  return dir ? FindInFolder(*dir, Cp1251ToUtf8(fileName)) : std::nullopt;
}

TModuleFileRead ReadModuleFile(const std::optional<std::filesystem::path>& path,
                               const std::string& shownName) {
  TModuleFileRead read;
  std::string why;
  if (path) {
    read.Lines = ReadTextLines(*path, &why);
  }
  if (read.Lines) {
    return read;
  }
  if (path && (why.ends_with(kNotRegularFile) || OtherThanRegularFile(*path))) {
    read.Code = kErrorModuleNotRegular;
    read.Detail = Utf8ToCp1251(path->string()).Text + ": " +
                  LangStrOr(1240, "Это не обычный файл (канал, устройство или сокет)");
    return read;
  }
  read.Code = 19;
  read.Detail = shownName;
  return read;
}
