// Appending whole lines to log files that other processes may read while they grow.
#pragma once

#include <string>
#include <string_view>

// Appends `line` and a LF to the file at `path` with one write (the file is created when
// missing). False when the file cannot be written.
bool AppendLineToFile(const std::string& path, std::string_view line);
