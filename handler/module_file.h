// Module files ("Modules/name.blk", the block library "Resources/qem.blk") as the compiler
// reads them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A module file read, or why it could not be.
struct TModuleFileRead {
  std::optional<std::vector<std::string>> Lines;  // the file's lines, as they are
  uint8_t Code = 0;    // 19 (module not found), or kErrorModuleNotRegular
  std::string Detail;  // code page 1251: the name shown, or the path and the reason
};

// What stands at ProgramDir/folder/fileName (code page 1251 name, letter case ignored),
// whatever it is: a FIFO or a folder there is found too, for ReadModuleFile to name.
std::optional<std::filesystem::path> FindModuleFile(std::string_view folder,
                                                    std::string_view fileName);

// Reads the module file at path (nothing: not found). A file that is there but is no
// regular file (a FIFO, a folder, a device) is never waited on: kErrorModuleNotRegular
// with its path and the reason; any other failure is code 19 with `shownName`.
TModuleFileRead ReadModuleFile(const std::optional<std::filesystem::path>& path,
                               const std::string& shownName);
