#include "platform/ini_file.h"

#include <charconv>

#include "platform/atomic_file.h"
#include "platform/text_lines.h"

namespace {

constexpr size_t npos = std::string::npos;

std::string_view Trim(std::string_view s) {
  const size_t first = s.find_first_not_of(" \t");
  if (first == npos) {
    return {};
  }
  const size_t last = s.find_last_not_of(" \t");
  return s.substr(first, last - first + 1);
}

// Latin and code page 1251 Cyrillic capitals made small.
char LowerByte(char c) {
  const auto b = static_cast<unsigned char>(c);
  if ((b >= 'A' && b <= 'Z') || (b >= 0xC0 && b <= 0xDF)) {
    return static_cast<char>(b + 0x20);
  }
  if (b == 0xA8) {  // Ё
    return static_cast<char>(0xB8);
  }
  return c;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerByte(a[i]) != LowerByte(b[i])) {
      return false;
    }
  }
  return true;
}

// The section name of a header line "[name]", or nothing when the line is no header.
std::optional<std::string_view> HeaderName(std::string_view line) {
  line = Trim(line);
  if (line.empty() || line.front() != '[') {
    return std::nullopt;
  }
  const size_t close = line.find(']');
  if (close == npos) {
    return std::nullopt;
  }
  return Trim(line.substr(1, close - 1));
}

bool IsComment(std::string_view line) {
  line = Trim(line);
  return !line.empty() && (line.front() == ';' || line.front() == '#');
}

// The key name of a "key=value" line, or nothing.
std::optional<std::string_view> KeyName(std::string_view line) {
  if (IsComment(line)) {
    return std::nullopt;
  }
  const size_t eq = line.find('=');
  if (eq == npos) {
    return std::nullopt;
  }
  return Trim(line.substr(0, eq));
}

std::string_view RawValue(std::string_view line) {
  std::string_view value = Trim(line.substr(line.find('=') + 1));
  if (value.size() >= 2 && value.front() == value.back() &&
      (value.front() == '"' || value.front() == '\'')) {
    value = value.substr(1, value.size() - 2);
  }
  return value;
}

// The text without CR and LF, which would split its line.
std::string OneLine(std::string_view text) {
  std::string line;
  for (char c : text) {
    if (c != '\r' && c != '\n') {
      line += c;
    }
  }
  return line;
}

std::string KeyLine(std::string_view key, std::string_view value) {
  return OneLine(key) + "=" + OneLine(value);
}

}  // namespace

TIniFile TIniFile::FromText(std::string_view text) {
  TIniFile file;
  file.lines_ = SplitLines(text);
  return file;
}

bool TIniFile::Load(const std::filesystem::path& path) {
  std::optional<std::vector<std::string>> lines = ReadTextLines(path);
  if (!lines) {
    lines_.clear();
    return false;
  }
  lines_ = std::move(*lines);
  return true;
}

bool TIniFile::Save(const std::filesystem::path& path, std::string* error) const {
  return WriteFileAtomically(path, Text(), error);
}

std::string TIniFile::Text() const { return JoinLinesCrLf(lines_); }

size_t TIniFile::FindSection(std::string_view section) const {
  for (size_t i = 0; i < lines_.size(); ++i) {
    std::optional<std::string_view> name = HeaderName(lines_[i]);
    if (name && SameName(*name, Trim(section))) {
      return i;
    }
  }
  return npos;
}

size_t TIniFile::SectionEnd(size_t header) const {
  size_t i = header + 1;
  while (i < lines_.size() && !HeaderName(lines_[i])) {
    ++i;
  }
  return i;
}

size_t TIniFile::FindKey(size_t header, std::string_view key) const {
  const size_t end = SectionEnd(header);
  for (size_t i = header + 1; i < end; ++i) {
    std::optional<std::string_view> name = KeyName(lines_[i]);
    if (name && SameName(*name, Trim(key))) {
      return i;
    }
  }
  return npos;
}

std::optional<std::string> TIniFile::Value(std::string_view section, std::string_view key) const {
  const size_t header = FindSection(section);
  if (header == npos) {
    return std::nullopt;
  }
  const size_t line = FindKey(header, key);
  if (line == npos) {
    return std::nullopt;
  }
  return std::string(RawValue(lines_[line]));
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view fallback) const {
  std::optional<std::string> value = Value(section, key);
  return value ? *value : std::string(fallback);
}

int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key,
                              int32_t fallback) const {
  std::optional<std::string> value = Value(section, key);
  if (!value || value->empty()) {
    return fallback;
  }
  std::string_view text = *value;
  if (text.front() == '+') {
    text.remove_prefix(1);
  }
  int32_t result = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), result);
  if (ec != std::errc() || end != text.data() + text.size()) {
    return fallback;
  }
  return result;
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool fallback) const {
  std::optional<std::string> value = Value(section, key);
  if (value && SameName(*value, "true")) {
    return true;
  }
  if (value && SameName(*value, "false")) {
    return false;
  }
  return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  const std::string_view sectionName = Trim(section);
  const std::string_view keyName = Trim(key);
  size_t header = FindSection(sectionName);
  if (header == npos) {
    if (!lines_.empty() && !Trim(lines_.back()).empty()) {
      lines_.emplace_back();
    }
    lines_.push_back("[" + OneLine(sectionName) + "]");
    lines_.push_back(KeyLine(keyName, value));
    return;
  }
  const size_t line = FindKey(header, keyName);
  if (line != npos) {
    // The key keeps its spelling in the file.
    lines_[line] = KeyLine(*KeyName(lines_[line]), value);
    return;
  }
  // After the section's last non-blank line, so that a blank line before the next section stays.
  size_t insert = SectionEnd(header);
  while (insert > header + 1 && Trim(lines_[insert - 1]).empty()) {
    --insert;
  }
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insert), KeyLine(keyName, value));
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
  WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

bool TIniFile::SectionExists(std::string_view section) const {
  return FindSection(section) != npos;
}

void TIniFile::DeleteKey(std::string_view section, std::string_view key) {
  const size_t header = FindSection(section);
  if (header == npos) {
    return;
  }
  const size_t line = FindKey(header, key);
  if (line != npos) {
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(line));
  }
}

std::vector<std::string> TIniFile::SectionKeys(std::string_view section) const {
  std::vector<std::string> keys;
  const size_t header = FindSection(section);
  if (header == npos) {
    return keys;
  }
  const size_t end = SectionEnd(header);
  for (size_t i = header + 1; i < end; ++i) {
    std::optional<std::string_view> name = KeyName(lines_[i]);
    if (!name || name->empty()) {
      continue;
    }
    bool seen = false;
    for (const std::string& k : keys) {
      seen = seen || SameName(k, *name);
    }
    if (!seen) {
      keys.emplace_back(*name);
    }
  }
  return keys;
}
