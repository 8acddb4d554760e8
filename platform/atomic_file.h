// Whole-file reading, and writing through a temporary file renamed over the old one,
// so that a crash never leaves half a file.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// Writes bytes to a temporary file in the target's folder, flushes it to disk and renames it
// over path. On failure the old file is untouched, the temporary file is removed and *error
// (when given) says why.
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                         std::string* error = nullptr);

// The whole file as bytes, or nothing (with *error set) when it cannot be read.
std::optional<std::string> ReadFileBytes(const std::filesystem::path& path,
                                         std::string* error = nullptr);
