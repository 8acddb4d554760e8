// Paths written the Windows way ("Resources\qem.blk") found on a case-sensitive file system.
// Names are UTF-8 here; song text converts its code page 1251 names before it asks.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// Every "\" turned into "/".
std::string ToSlashes(std::string_view path);

// True when two names are equal ignoring the case of Latin and Cyrillic letters.
bool SameNameIgnoringCase(std::string_view a, std::string_view b);

// True when name is one plain file or folder name: not empty, not "." or "..", and holding
// no "/", "\" or NUL. Names taken from songs and program lines must pass this.
bool IsPlainName(std::string_view name);

// The entry of folder called name: the exact spelling when it exists, else the first entry
// whose name matches ignoring case, else folder/name as given (for a file about to be made).
// Nothing when name is not a plain name: a name from a song never leaves its folder.
std::optional<std::filesystem::path> FindInFolder(const std::filesystem::path& folder,
                                                  std::string_view name);

// A relative path written by the program itself ("Resources\temp\qem[1"), found under root
// component by component with FindInFolder; one trailing separator is allowed. Nothing when
// the path is absolute or holds an empty, "." or ".." component.
std::optional<std::filesystem::path> FindUnder(const std::filesystem::path& root,
                                               std::string_view relative);
