#include "platform/text_lines.h"

#include "platform/atomic_file.h"

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.emplace_back(text.substr(start, i - start));
      i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
      start = i;
    } else {
      ++i;
    }
  }
  if (start < text.size()) {
    lines.emplace_back(text.substr(start));
  }
  return lines;
}

std::string JoinLinesCrLf(const std::vector<std::string>& lines) {
  size_t size = 0;
  for (const std::string& line : lines) {
    size += line.size() + 2;
  }
  std::string text;
  text.reserve(size);
  for (const std::string& line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

std::optional<std::vector<std::string>> ReadTextLines(const std::filesystem::path& path,
                                                      std::string* error) {
  std::optional<std::string> bytes = ReadFileBytes(path, error);
  if (!bytes) {
    return std::nullopt;
  }
  return SplitLines(*bytes);
}

bool WriteTextLines(const std::filesystem::path& path, const std::vector<std::string>& lines,
                    std::string* error) {
  return WriteFileAtomically(path, JoinLinesCrLf(lines), error);
}
