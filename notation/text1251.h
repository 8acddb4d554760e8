// Conversions between code page 1251 and UTF-8 for the notation services' own texts
// (built-in messages written as UTF-8 literals, spoken text handed to the speech layer).
#pragma once

#include <string>
#include <string_view>

namespace text1251 {

// UTF-8 of a code page 1251 text. The one unassigned byte (0x98) is left out.
std::string ToUtf8(std::string_view cp1251);

// Code page 1251 of a UTF-8 text. A character the code page cannot hold, or a
// malformed sequence, becomes "?".
std::string FromUtf8(std::string_view utf8);

}  // namespace text1251
