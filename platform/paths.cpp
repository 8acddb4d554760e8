#include "platform/paths.h"

#include <system_error>

#include "platform/codec1251.h"

namespace {

// Latin, Cyrillic (basic and U+0400..U+040F) capitals made small.
char32_t FoldCase(char32_t c) {
  if (c >= U'A' && c <= U'Z') {
    return c + 0x20;
  }
  if (c >= 0x0410 && c <= 0x042F) {
    return c + 0x20;
  }
  if (c >= 0x0400 && c <= 0x040F) {
    return c + 0x50;
  }
  if (c == 0x0490) {  // Ґ
    return 0x0491;
  }
  return c;
}

}  // namespace

std::string ToSlashes(std::string_view path) {
  std::string out(path);
  for (char& c : out) {
    if (c == '\\') {
      c = '/';
    }
  }
  return out;
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  const std::u32string ca = Utf8ToChars(a);
  const std::u32string cb = Utf8ToChars(b);
  if (ca.size() != cb.size()) {
    return false;
  }
  for (size_t i = 0; i < ca.size(); ++i) {
    if (FoldCase(ca[i]) != FoldCase(cb[i])) {
      return false;
    }
  }
  return true;
}

bool IsPlainName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") {
    return false;
  }
  return name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

std::optional<std::filesystem::path> FindInFolder(const std::filesystem::path& folder,
                                                  std::string_view name) {
  if (!IsPlainName(name)) {
    return std::nullopt;
  }
  const std::filesystem::path exact = folder / std::string(name);
  std::error_code ec;
  if (std::filesystem::exists(std::filesystem::symlink_status(exact, ec))) {
    return exact;
  }
  std::filesystem::directory_iterator it(folder, ec);
  for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    if (SameNameIgnoringCase(it->path().filename().string(), name)) {
      return it->path();
    }
  }
  return exact;
}

std::optional<std::filesystem::path> FindUnder(const std::filesystem::path& root,
                                               std::string_view relative) {
  std::string path = ToSlashes(relative);
  if (!path.empty() && path.back() == '/') {
    path.pop_back();  // "Modules\" names the folder
  }
  if (path.empty() || path.front() == '/') {
    return std::nullopt;
  }
  std::filesystem::path found = root;
  size_t start = 0;
  while (start < path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) {
      end = path.size();
    }
    std::optional<std::filesystem::path> next =
        FindInFolder(found, std::string_view(path).substr(start, end - start));
    if (!next) {
      return std::nullopt;
    }
    found = *next;
    start = end + 1;
  }
  return found;
}
