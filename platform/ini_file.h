// A settings file that behaves like a Windows profile file: section and key names compare
// case-insensitively, the first match wins, a write changes one line and keeps every other
// line as it was, and lines end in CR LF when written. Text is kept as bytes (code page 1251).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class TIniFile {
 public:
  TIniFile() = default;
  // A file read from text (CR LF, LF and CR all end a line).
  static TIniFile FromText(std::string_view text);

  // Reads the file; a missing file gives an empty one (false), as Windows does.
  bool Load(const std::filesystem::path& path);
  // Writes the file through a temporary file renamed over the old one.
  bool Save(const std::filesystem::path& path, std::string* error = nullptr) const;
  // The whole file with CR LF line ends.
  std::string Text() const;

  // The value of the first key of that name in the first section of that name, with blanks
  // around it removed and one pair of enclosing quotes taken off; nothing when absent.
  std::optional<std::string> Value(std::string_view section, std::string_view key) const;
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view fallback) const;
  // A decimal integer (an optional sign and digits, within 32 bits); anything else gives fallback.
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t fallback) const;
  // An integer that is not 0 is true; "true"/"false" are accepted too; else fallback.
  bool ReadBool(std::string_view section, std::string_view key, bool fallback) const;

  // Sets the first matching key, or adds it at the end of the first matching section, or
  // adds the section at the end of the file. Every other line stays as it was.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int32_t value);
  void WriteBool(std::string_view section, std::string_view key, bool value);  // "1" or "0"

  bool SectionExists(std::string_view section) const;
  // Removes the first matching key of the first matching section.
  void DeleteKey(std::string_view section, std::string_view key);
  // The key names of the first matching section, in file order, each name once.
  std::vector<std::string> SectionKeys(std::string_view section) const;

 private:
  // Index of the header line of the first matching section, or npos.
  size_t FindSection(std::string_view section) const;
  // Index of the first line of that key inside the section whose header is at header, or npos.
  size_t FindKey(size_t header, std::string_view key) const;
  // Index one past the last line belonging to the section whose header is at header.
  size_t SectionEnd(size_t header) const;

  std::vector<std::string> lines_;
};
