#include "songwindow/parts/module_files.h"

#include <algorithm>
#include <system_error>

#include "handler/handler_normalizer.h"
#include "platform/codec1251.h"
#include "platform/paths.h"
#include "settings/settings.h"

namespace fs = std::filesystem;

fs::path ModulesFolder() {
  std::optional<fs::path> folder = FindInFolder(fs::path(ProgramDir), "Modules");
  return folder ? *folder : fs::path(ProgramDir) / "Modules";
}

std::optional<fs::path> ModuleFilePath(std::string_view name, std::string_view ext) {
  if (name.empty()) {
    return std::nullopt;
  }
  return FindInFolder(ModulesFolder(), Cp1251ToUtf8(std::string(name) + std::string(ext)));
}

std::optional<fs::path> ExistingModuleFile(std::string_view name, std::string_view ext) {
  std::optional<fs::path> path = ModuleFilePath(name, ext);
  std::error_code ec;
  if (path && fs::is_regular_file(*path, ec)) {
    return path;
  }
  return std::nullopt;
}

std::vector<std::string> ModuleNamesInFolder() {
  std::vector<std::string> names;
  std::error_code ec;
  fs::directory_iterator it(ModulesFolder(), ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    const std::string file = Utf8ToCp1251(it->path().filename().string()).Text;
    if (file.size() <= kModuleExt.size() || !it->is_regular_file(ec) ||
        !SameNameIgnoringCase(file.substr(file.size() - kModuleExt.size()), kModuleExt)) {
      continue;
    }
    names.push_back(NormalizeHandlerLine(file.substr(0, file.size() - kModuleExt.size())));
  }
  std::sort(names.begin(), names.end());  // the order of the folder's listing is no order
  return names;
}

std::optional<std::string> ModuleOfLine(const std::string& line) {
  const std::string normal = NormalizeHandlerLine(line);
  if (normal.size() <= 7 || normal.compare(0, 7, "module ") != 0) {
    return std::nullopt;
  }
  return normal.substr(7);
}

bool InModulesFolder(const fs::path& path) {
  std::error_code ec;
  const fs::path folder = path.parent_path();
  if (fs::equivalent(folder, ModulesFolder(), ec)) {
    return true;
  }
  return SameNameIgnoringCase(folder.lexically_normal().string(), ModulesFolder().lexically_normal().string());
}

bool SameModuleFile(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  if (fs::exists(a, ec) && fs::exists(b, ec)) {
    return fs::equivalent(a, b, ec);
  }
  return a.lexically_normal() == b.lexically_normal();
}
