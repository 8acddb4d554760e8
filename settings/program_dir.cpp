#include "settings/program_dir.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/paths.h"
#include "settings/settings.h"

namespace {

std::string WithTrailingSlash(std::string dir) {
  if (dir.empty() || dir.back() != '/') {
    dir += '/';
  }
  return dir;
}

}  // namespace

std::string ExecutableDir() {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) {
    return WithTrailingSlash(std::filesystem::current_path(ec).string());
  }
  return WithTrailingSlash(exe.parent_path().string());
}

std::string ChooseProgramDir(const std::string& homeOption) {
  if (!homeOption.empty()) {
    return WithTrailingSlash(homeOption);
  }
  const char* home = std::getenv("VELTO_HOME");
  if (home != nullptr && *home != '\0') {
    return WithTrailingSlash(home);
  }
  return ExecutableDir();
}

bool SetupProgramDir(const std::string& homeOption) {
  ProgramDir = ChooseProgramDir(homeOption);
  const std::filesystem::path resources =
      FindInFolder(ProgramDir, "Resources").value_or(ProgramDir + "Resources");
  std::error_code ec;
  std::filesystem::create_directories(resources / "temp", ec);
  return !ec;
}
