#include "platform/codec1251.h"

#include <array>
#include <cstdint>

namespace {

// Characters of the bytes 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F in order.
constexpr std::array<char16_t, 64> kUpperHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c) {
  if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
    c = kReplacement;
  }
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Decodes one UTF-8 sequence at s[i]; advances i. Returns U+FFFD and sets bad for an
// invalid, overlong or truncated sequence (one byte is consumed then).
char32_t DecodeOne(std::string_view s, size_t& i, bool& bad) {
  const auto lead = static_cast<unsigned char>(s[i]);
  if (lead < 0x80) {
    ++i;
    return lead;
  }
  size_t length = 0;
  char32_t c = 0;
  char32_t minimum = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, c = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, c = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, c = lead & 0x07, minimum = 0x10000;
  } else {
    ++i;
    bad = true;
    return kReplacement;
  }
  if (i + length > s.size()) {
    ++i;
    bad = true;
    return kReplacement;
  }
  for (size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(s[i + k]);
    if ((next & 0xC0) != 0x80) {
      ++i;
      bad = true;
      return kReplacement;
    }
    c = (c << 6) | (next & 0x3F);
  }
  if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
    ++i;
    bad = true;
    return kReplacement;
  }
  i += length;
  return c;
}

}  // namespace

char32_t Cp1251ToChar(unsigned char byte) {
  if (byte < 0x80) {
    return byte;
  }
  if (byte >= 0xC0) {
    return 0x0410 + (byte - 0xC0);
  }
  return kUpperHalf[byte - 0x80];
}

std::optional<unsigned char> CharToCp1251(char32_t ch) {
  if (ch < 0x80) {
    return static_cast<unsigned char>(ch);
  }
  if (ch >= 0x0410 && ch <= 0x044F) {
    return static_cast<unsigned char>(0xC0 + (ch - 0x0410));
  }
  for (size_t k = 0; k < kUpperHalf.size(); ++k) {
    if (kUpperHalf[k] == ch) {
      return static_cast<unsigned char>(0x80 + k);
    }
  }
  return std::nullopt;
}

std::string Cp1251ToUtf8(std::string_view cp1251) {
  std::string out;
  out.reserve(cp1251.size() * 2);
  for (char byte : cp1251) {
    AppendUtf8(out, Cp1251ToChar(static_cast<unsigned char>(byte)));
  }
  return out;
}

TCp1251Text Utf8ToCp1251(std::string_view utf8) {
  TCp1251Text result;
  result.Text.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    bool bad = false;
    const char32_t c = DecodeOne(utf8, i, bad);
    if (bad) {
      result.BadUtf8 = true;
      result.Text += '?';
      continue;
    }
    if (auto byte = CharToCp1251(c)) {
      result.Text += static_cast<char>(*byte);
    } else {
      result.Refused += c;
      result.Text += '?';
    }
  }
  return result;
}

std::optional<std::string> Utf8ToCp1251Exact(std::string_view utf8) {
  TCp1251Text result = Utf8ToCp1251(utf8);
  if (!result.Ok()) {
    return std::nullopt;
  }
  return std::move(result.Text);
}

std::u32string Utf8ToChars(std::string_view utf8, bool* bad) {
  std::u32string out;
  bool anyBad = false;
  size_t i = 0;
  while (i < utf8.size()) {
    out += DecodeOne(utf8, i, anyBad);
  }
  if (bad != nullptr) {
    *bad = anyBad;
  }
  return out;
}

bool IsUtf8BeyondAscii(std::string_view bytes) {
  bool beyondAscii = false;
  for (size_t i = 0; i < bytes.size();) {
    bool bad = false;
    beyondAscii = DecodeOne(bytes, i, bad) >= 0x80 || beyondAscii;
    if (bad) {
      return false;
    }
  }
  return beyondAscii;
}

std::string CharsToUtf8(std::u32string_view chars) {
  std::string out;
  for (char32_t c : chars) {
    AppendUtf8(out, c);
  }
  return out;
}
