#include "base/errors.h"

TErrorRecord GErrors;

namespace {

// The escape of one control byte.
std::string EscapedByte(unsigned char c) {
  switch (c) {
    case '\r': return "\\r";
    case '\n': return "\\n";
    case '\t': return "\\t";
    default: break;
  }
  static const char kHex[] = "0123456789ABCDEF";
  return std::string("\\x") + kHex[c >> 4] + kHex[c & 0xF];
}

}  // namespace

std::string ShortUserText(std::string_view text, size_t maxBytes) {
  std::string shown;
  const std::string_view kept = text.substr(0, maxBytes);
  for (const char ch : kept) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7F) {
      shown += EscapedByte(c);
    } else {
      shown += ch;
    }
  }
  if (kept.size() < text.size()) {
    shown += "... (" + std::to_string(text.size()) + " characters)";
  }
  return shown;
}
