// Text split into lines and joined again the way our files hold them.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Splits text into lines: CR LF, LF and CR each end a line, and a line end at the very end
// adds no line. An empty text has no lines.
std::vector<std::string> SplitLines(std::string_view text);

// Joins lines, each followed by CR LF.
std::string JoinLinesCrLf(const std::vector<std::string>& lines);

// The lines of a file (bytes as they are, no conversion), or nothing when it cannot be read.
std::optional<std::vector<std::string>> ReadTextLines(const std::filesystem::path& path,
                                                      std::string* error = nullptr);

// Writes lines with CR LF ends through a temporary file (see WriteFileAtomically).
bool WriteTextLines(const std::filesystem::path& path, const std::vector<std::string>& lines,
                    std::string* error = nullptr);
