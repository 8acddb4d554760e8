// Reading the installation's rule files (translators, harmony rules).
#pragma once

#include <string>
#include <vector>

// Reads a code page 1251 text file into lines. CR LF, LF and CR all end a line; a final
// line end adds no line. False when the file cannot be opened (lines is then empty).
bool ReadRuleLines(const std::string& path, std::vector<std::string>& lines);

// The path of the file called name (compared without regard to ASCII case) inside folder,
// or the empty text when there is none. A name holding "/", "\" or ".." never matches, so a
// name taken from a song cannot leave its folder.
std::string FindFileInFolder(const std::string& folder, const std::string& name);
