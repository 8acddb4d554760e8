// Code page 1251 (Windows Cyrillic) to and from UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// The result of encoding UTF-8 text into code page 1251.
struct TCp1251Text {
  std::string Text;         // the code page 1251 bytes; a refused character stands as "?"
  std::u32string Refused;   // characters the code page cannot hold, in order of appearance
  bool BadUtf8 = false;     // the input held a byte sequence that is not UTF-8
  bool Ok() const { return Refused.empty() && !BadUtf8; }
};

// The Unicode character of a code page 1251 byte. Byte 0x98, unassigned in the code page,
// maps to U+0098 so that every byte survives a round trip.
char32_t Cp1251ToChar(unsigned char byte);

// The code page 1251 byte of a Unicode character, or nothing when the code page cannot hold it.
std::optional<unsigned char> CharToCp1251(char32_t ch);

// Code page 1251 bytes to UTF-8. Always succeeds.
std::string Cp1251ToUtf8(std::string_view cp1251);

// UTF-8 to code page 1251. Characters the code page cannot hold are listed in Refused,
// never dropped silently; callers refuse the text when the result is not Ok().
TCp1251Text Utf8ToCp1251(std::string_view utf8);

// UTF-8 to code page 1251 when every character fits, else nothing.
std::optional<std::string> Utf8ToCp1251Exact(std::string_view utf8);

// UTF-8 to code points; a byte that starts no valid sequence becomes U+FFFD and sets *bad.
std::u32string Utf8ToChars(std::string_view utf8, bool* bad = nullptr);

// True when bytes hold a character past ASCII and are valid UTF-8 throughout: text that
// a code page 1251 reader would garble. (Code page 1251 text almost never passes: its
// letters are bytes 0xC0..0xFF, which UTF-8 never puts side by side.)
bool IsUtf8BeyondAscii(std::string_view bytes);

// Code points to UTF-8 (surrogates and values past U+10FFFF become U+FFFD).
std::string CharsToUtf8(std::u32string_view chars);
