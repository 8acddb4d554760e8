#include "feedback/file_error_text.h"

#include <cerrno>
#include <cstring>

#include "platform/atomic_file.h"
#include "platform/codec1251.h"
#include "settings/lang_texts.h"

namespace {

struct TSystemReason {
  int Id;
  const char* BuiltIn;
  int Errno;
};

constexpr TSystemReason kSystemReasons[] = {
    {1210, "Нет такого файла или папки", ENOENT},
    {1211, "Нет доступа", EACCES},
    {1211, "Нет доступа", EPERM},
    {1212, "Это папка", EISDIR},
    {1213, "Часть пути не папка", ENOTDIR},
    {1214, "Нет места на диске", ENOSPC},
    {1215, "Диск только для чтения", EROFS},
    {2188, "Файл больше, чем разрешено записывать", EFBIG},
};

constexpr std::string_view kFolderHead = "the folder ";
constexpr std::string_view kFolderMiddle = " cannot be written (";
constexpr std::string_view kHeldElsewhere =
    "it belongs to a window of another running copy of the program";

// A language text in UTF-8.
std::string Utf8Text(int id, std::string_view builtIn) { return Cp1251ToUtf8(LangStrOr(id, builtIn)); }

// A system error text in the user's language, also inside the writer's "the folder F cannot
// be written (R)"; other reasons as they are. UTF-8.
std::string ReasonText(std::string_view reason) {
  if (reason == kNotRegularFile) {
    return Utf8Text(1240, "Это не обычный файл (канал, устройство или сокет)");
  }
  for (const TSystemReason& known : kSystemReasons) {
    if (reason == std::strerror(known.Errno)) {
      return Utf8Text(known.Id, known.BuiltIn);
    }
  }
  constexpr std::string_view kLarger = "larger than ";
  constexpr std::string_view kBytes = " bytes";
  if (reason.starts_with(kLarger) && reason.ends_with(kBytes) &&
      reason.size() > kLarger.size() + kBytes.size()) {
    return SubstituteArgs(Utf8Text(2171, "больше %s байт"),
                          {reason.substr(kLarger.size(), reason.size() - kLarger.size() - kBytes.size())});
  }
  if (reason == kHeldElsewhere) {
    return Utf8Text(1277, "он принадлежит окну другой запущенной копии программы");
  }
  const size_t middle = reason.rfind(kFolderMiddle);
  if (reason.starts_with(kFolderHead) && reason.ends_with(")") && middle != std::string_view::npos &&
      middle > kFolderHead.size()) {
    const std::string_view folder =
        reason.substr(kFolderHead.size(), middle - kFolderHead.size());
    const std::string_view why =
        reason.substr(middle + kFolderMiddle.size(),
                      reason.size() - middle - kFolderMiddle.size() - 1);
    return SubstituteArgs(Utf8Text(1276, "в папку %s нельзя записать (%s)"),
                          {folder, ReasonText(why)});
  }
  return std::string(reason);
}

}  // namespace

std::string FileErrorText(TFileAction action, std::string_view fileUtf8, std::string_view detailUtf8) {
  return Utf8ToCp1251(FileErrorTextUtf8(action, fileUtf8, detailUtf8)).Text;
}

std::string FileErrorTextUtf8(TFileAction action, std::string_view fileUtf8,
                              std::string_view detailUtf8) {
  const std::string pattern = action == TFileAction::Open
                                  ? Utf8Text(1200, "Не удаётся открыть файл %s")
                                  : Utf8Text(1201, "Не удаётся сохранить файл %s");
  std::string text = SubstituteArgs(pattern, {fileUtf8});
  std::string_view reason = detailUtf8;
  const std::string named = std::string(fileUtf8) + ": ";
  if (const size_t at = detailUtf8.find(named); !fileUtf8.empty() && at != std::string_view::npos) {
    reason = detailUtf8.substr(at + named.size());
  }
  if (!reason.empty()) {
    text += ": " + ReasonText(reason);
  }
  return text;
}
