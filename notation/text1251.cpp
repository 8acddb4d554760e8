#include "notation/text1251.h"

#include <array>
#include <cstdint>

namespace text1251 {
namespace {

// Code points of the bytes 0x80..0xBF; 0 marks the unassigned byte.
constexpr std::array<char32_t, 64> kHighRow = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

char32_t CodePointOf(uint8_t byte) {
  if (byte < 0x80) {
    return byte;
  }
  if (byte >= 0xC0) {
    return 0x0410 + (byte - 0xC0);
  }
  return kHighRow[byte - 0x80];
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// The byte of a code point, or '?' when the code page has none.
char ByteOf(char32_t cp) {
  if (cp < 0x80) {
    return static_cast<char>(cp);
  }
  if (cp >= 0x0410 && cp <= 0x044F) {
    return static_cast<char>(0xC0 + (cp - 0x0410));
  }
  for (size_t i = 0; i < kHighRow.size(); ++i) {
    if (kHighRow[i] == cp && cp != 0) {
      return static_cast<char>(0x80 + i);
    }
  }
  return '?';
}

// Decodes one UTF-8 sequence at s[i], advancing i; malformed input gives U+FFFD.
char32_t DecodeOne(std::string_view s, size_t& i) {
  const auto lead = static_cast<uint8_t>(s[i++]);
  if (lead < 0x80) {
    return lead;
  }
  int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
  if (extra < 0 || lead >= 0xF8) {
    return 0xFFFD;
  }
  char32_t cp = lead & (0x3F >> extra);
  for (int k = 0; k < extra; ++k) {
    if (i >= s.size() || (static_cast<uint8_t>(s[i]) & 0xC0) != 0x80) {
      return 0xFFFD;
    }
    cp = (cp << 6) | (static_cast<uint8_t>(s[i++]) & 0x3F);
  }
  return cp;
}

}  // namespace

std::string ToUtf8(std::string_view cp1251) {
  std::string out;
  out.reserve(cp1251.size() * 2);
  for (char c : cp1251) {
    const char32_t cp = CodePointOf(static_cast<uint8_t>(c));
    if (cp != 0 || c == '\0') {
      AppendUtf8(out, cp);
    }
  }
  return out;
}

std::string FromUtf8(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    out += ByteOf(DecodeOne(utf8, i));
  }
  return out;
}

}  // namespace text1251
