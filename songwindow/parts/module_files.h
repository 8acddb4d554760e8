// Handler module files: "NAME.blk" and its description "NAME.Txt" in the program's
// Modules folder, found whatever the case of the folder, the name and the extension. A name
// never leaves the folder.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::string_view kModuleExt = ".blk";
inline constexpr std::string_view kDescriptionExt = ".Txt";

// ProgramDir's Modules folder (its spelling on disk; "Modules" when it does not exist).
std::filesystem::path ModulesFolder();

// The file of module `name` (code page 1251) with extension `ext`: the file on disk that
// matches ignoring case, else the path a new file of that name gets. Nothing when the name
// is empty or would leave the folder.
std::optional<std::filesystem::path> ModuleFilePath(std::string_view name, std::string_view ext);

// The existing file of module `name` with `ext`, nothing when there is none.
std::optional<std::filesystem::path> ExistingModuleFile(std::string_view name, std::string_view ext);

// The module files of the folder in alphabetical order: each file whose
// name ends in ".blk" whatever its case, as its module name (code page 1251, the file name
// without the extension, normalised as a handler line).
std::vector<std::string> ModuleNamesInFolder();

// The module name a program line attaches ("module NAME" in any spelling the normaliser
// accepts), nothing when the line attaches none.
std::optional<std::string> ModuleOfLine(const std::string& line);

// True when path names a file in the Modules folder (whatever the case of its spelling).
bool InModulesFolder(const std::filesystem::path& path);

// True when two paths name the same file (either may not exist yet: then compared as
// spelled).
bool SameModuleFile(const std::filesystem::path& a, const std::filesystem::path& b);
