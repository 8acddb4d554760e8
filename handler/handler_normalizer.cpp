#include "handler/handler_normalizer.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace {

// Stands for the quoted literal while the rest of the line is rewritten.
constexpr std::string_view kQuotePlaceholder = "a$$$quote$$$a";

// Keywords that get a blank where they touch signs, in the order they are spaced.
constexpr std::array<std::string_view, 59> kSpacedKeywords = {
    "or", "and", "mod", "if", "then", "to", "play", "stop", "continue", "say", "reset",
    "from", "certainly", "tempo", "in", "do", "evry", "offset", "while", "keylength",
    "keyposition", "keypressed", "nextlocation", "soft", "instrument", "rest", "mordento",
    "forshlag", "pitch", "controller", "keyon", "keyoff", "transpose", "positionrnd",
    "positionshift", "stakatto", "stakattisimo", "nonlegato", "stakato", "stakatisimo",
    "keys", "positionsong", "cos", "rnd", "sin", "exp", "ln", "abs", "int", "sqrt",
    "parameter", "existsparameter", "segmentcount", "segmentsize", "gtn", "sqr", "not",
    "round", "arctan"};

// Digits, Latin small letters, "ё" and the Cyrillic small letters of code page 1251.
bool IsWordChar(char c) {
  const auto b = static_cast<uint8_t>(c);
  return (b >= '0' && b <= '9') || (b >= 'a' && b <= 'z') || b == 0xB8 || b >= 0xE0;
}

// Every occurrence of `from` becomes `to`, left to right (`to` never recreates `from`).
void ReplaceAll(std::string& s, std::string_view from, std::string_view to) {
  for (size_t pos = s.find(from); pos != std::string::npos; pos = s.find(from, pos + to.size())) {
    s.replace(pos, from.size(), to);
  }
}

// Puts a blank at offset `blankAt` inside every occurrence of `pattern`.
void InsertBlankInEach(std::string& s, std::string_view pattern, size_t blankAt) {
  for (size_t pos = s.find(pattern); pos != std::string::npos;
       pos = s.find(pattern, pos + blankAt + 1)) {
    s.insert(pos + blankAt, 1, ' ');
  }
}

// Separates the keyword from a following "-" or "+" when it opens the line or
// follows ")"; the rewrite stops at the first occurrence that stands elsewhere.
void SpaceBeforeSign(std::string& s, std::string_view keyword, char sign) {
  std::string pattern(keyword);
  pattern += sign;
  for (;;) {
    const size_t pos = s.find(pattern);
    if (pos == std::string::npos || (pos != 0 && s[pos - 1] != ')')) {
      return;
    }
    s.insert(pos + keyword.size(), 1, ' ');
  }
}

// Separates one keyword from the signs it touches (occurrences are plain substrings).
void SpaceKeyword(std::string& s, std::string_view keyword) {
  if (s.find(keyword) == std::string::npos) {
    return;
  }
  SpaceBeforeSign(s, keyword, '-');
  SpaceBeforeSign(s, keyword, '+');
  InsertBlankInEach(s, ")" + std::string(keyword), 1);
  InsertBlankInEach(s, std::string(keyword) + "(", keyword.size());
  InsertBlankInEach(s, "]" + std::string(keyword), 1);
}

// Removes {comments}; an unclosed "{" cuts the line.
void RemoveComments(std::string& s) {
  for (;;) {
    const size_t open = s.find('{');
    const size_t close = s.find('}');
    if (open == std::string::npos || close == std::string::npos || close < open) {
      break;
    }
    s.erase(open, close - open + 1);
  }
  const size_t open = s.find('{');
  if (open != std::string::npos) {
    s.resize(open);
  }
}

// Collapses runs of blanks, then drops every inner blank that does not stand between
// two word characters (the first and last character are left to the trim).
void DropBlanks(std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (c == ' ' && !out.empty() && out.back() == ' ') {
      continue;
    }
    if (c == ' ' && !out.empty() && i + 1 < s.size() &&
        !(IsWordChar(out.back()) && IsWordChar(s[i + 1]))) {
      continue;
    }
    out.push_back(c);
  }
  s.swap(out);
}

void Trim(std::string& s) {
  size_t end = s.size();
  while (end > 0 && static_cast<uint8_t>(s[end - 1]) <= 32) {
    --end;
  }
  size_t start = 0;
  while (start < end && static_cast<uint8_t>(s[start]) <= 32) {
    ++start;
  }
  s = s.substr(start, end - start);
}

}  // namespace

char LowerCp1251(char c) {
  const auto b = static_cast<uint8_t>(c);
  if ((b >= 'A' && b <= 'Z') || (b >= 0xC0 && b <= 0xDF)) {
    return static_cast<char>(b + 0x20);
  }
  switch (b) {
    case 0x80: return static_cast<char>(0x90);  // Ђ
    case 0x81: return static_cast<char>(0x83);  // Ѓ
    case 0x8A: return static_cast<char>(0x9A);  // Љ
    case 0x8C: return static_cast<char>(0x9C);  // Њ
    case 0x8D: return static_cast<char>(0x9D);  // Ќ
    case 0x8E: return static_cast<char>(0x9E);  // Ћ
    case 0x8F: return static_cast<char>(0x9F);  // Џ
    case 0xA1: return static_cast<char>(0xA2);  // Ў
    case 0xA3: return static_cast<char>(0xBC);  // Ј
    case 0xA5: return static_cast<char>(0xB4);  // Ґ
    case 0xA8: return static_cast<char>(0xB8);  // Ё
    case 0xAA: return static_cast<char>(0xBA);  // Є
    case 0xAF: return static_cast<char>(0xBF);  // Ї
    case 0xB2: return static_cast<char>(0xB3);  // І
    case 0xBD: return static_cast<char>(0xBE);  // Ѕ
    default: return c;
  }
}

std::string NormalizeHandlerLine(const std::string& line) {
  if (!line.empty() && line[0] == '%') {
    return line;
  }
  std::string s = line;
  std::string literal;
  const size_t firstQuote = s.find('\'');
  const size_t secondQuote =
      firstQuote == std::string::npos ? std::string::npos : s.find('\'', firstQuote + 1);
  const bool hasLiteral = secondQuote != std::string::npos;
  if (hasLiteral) {
    literal = s.substr(firstQuote, secondQuote - firstQuote + 1);
    s.replace(firstQuote, literal.size(), kQuotePlaceholder);
  }
  for (char& c : s) {
    c = LowerCp1251(c);
  }
  RemoveComments(s);
  DropBlanks(s);
  for (std::string_view keyword : kSpacedKeywords) {
    SpaceKeyword(s, keyword);
  }
  const size_t errorText = s.find("error\"");
  if (errorText != std::string::npos) {
    s.insert(errorText + 5, 1, ' ');
  }
  ReplaceAll(s, "=-", "=0-");
  ReplaceAll(s, "(-", "(0-");
  ReplaceAll(s, "[-", "[0-");
  Trim(s);
  if (s == "else") {
    s = "else if true then";
  }
  if (hasLiteral) {
    const size_t at = s.find(kQuotePlaceholder);
    if (at != std::string::npos) {
      s.replace(at, kQuotePlaceholder.size(), literal);
    }
  }
  return s;
}

std::vector<std::string> NormalizeProgramLines(const std::vector<std::string>& lines) {
  std::vector<std::string> out;
  out.reserve(lines.size());
  for (const std::string& line : lines) {
    out.push_back(NormalizeHandlerLine(line));
  }
  return out;
}
