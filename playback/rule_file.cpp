#include "playback/rule_file.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

bool ReadRuleLines(const std::string& path, std::vector<std::string>& lines) {
  lines.clear();
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return false;
  }
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string line;
  for (size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(line);
      line.clear();
      if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
        ++i;
      }
    } else {
      line += c;
    }
  }
  if (!line.empty()) {
    lines.push_back(line);
  }
  return true;
}

namespace {

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
  auto lower = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [&](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace

std::string FindFileInFolder(const std::string& folder, const std::string& name) {
  if (name.empty() || name.find_first_of("/\\") != std::string::npos ||
      name.find("..") != std::string::npos) {
    return {};
  }
  std::error_code ec;
  const std::filesystem::path exact = std::filesystem::path(folder) / name;
  if (std::filesystem::is_regular_file(exact, ec)) {
    return exact.string();
  }
  std::filesystem::directory_iterator it(folder, ec);
  if (ec) {
    return {};
  }
  for (const auto& entry : it) {
    if (SameNameIgnoringCase(entry.path().filename().string(), name) &&
        entry.is_regular_file(ec)) {
      return entry.path().string();
    }
  }
  return {};
}
