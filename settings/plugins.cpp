#include "settings/plugins.h"

#include <algorithm>

std::vector<PModulDll> MenuModules;
std::vector<PModulDll> FormatModules;
std::vector<PModulDll> WindowModules;

namespace {

std::string LowerLatin(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return text;
}

}  // namespace

PModulDll FindFormatModule(const std::string& ext) {
  const std::string wanted = LowerLatin(ext);
  if (wanted == "qem") {
    return nullptr;
  }
  const auto found = std::find_if(FormatModules.begin(), FormatModules.end(), [&](const PModulDll& m) {
    return m && m->Format && LowerLatin(m->Info.ModuleName) == wanted;
  });
  return found != FormatModules.end() ? *found : nullptr;
}
