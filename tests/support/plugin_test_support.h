// The test plug-ins of tests/plugins put into a program folder and loaded.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "pluginhost/plugin_loader.h"

namespace testsupport {

// The built test plug-in `name` ("brm", "probe", "blocks", "wrong_abi", "no_module_info").
inline std::string TestPluginPath(const std::string& name) {
  return std::string(VELTO_BINARY_DIR) + "/test-plugins/" + name + ".so";
}

// Copies the named test plug-ins into folder `folder` of programDir (ending in "/") and
// loads every plug-in there; unloads them all at the end of the scope.
class TScopedPlugins {
 public:
  TScopedPlugins(const std::string& programDir, const std::vector<std::string>& names,
                 const std::string& folder = "Plugins") {
    std::filesystem::create_directories(programDir + folder);
    for (const std::string& name : names) {
      std::filesystem::copy_file(TestPluginPath(name), programDir + folder + "/" + name + ".so",
                                 std::filesystem::copy_options::overwrite_existing);
    }
    Problems = LoadPlugins(programDir);
  }
  ~TScopedPlugins() { UnloadPlugins(); }
  TScopedPlugins(const TScopedPlugins&) = delete;
  TScopedPlugins& operator=(const TScopedPlugins&) = delete;

  std::vector<std::string> Problems;  // the libraries skipped
};

}  // namespace testsupport
