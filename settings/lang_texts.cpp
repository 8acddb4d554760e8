#include "settings/lang_texts.h"

#include <optional>

#include "platform/codec1251.h"
#include "platform/text_lines.h"

TLangStrings LangStrings;
std::string LanguageId = "ru";

namespace {

const char* const kMissing = "???";

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

std::shared_ptr<const TLangTable> TLangTable::FromLines(std::vector<std::string> lines) {
  auto table = std::make_shared<TLangTable>();
  for (const std::string& line : lines) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) {
      continue;
    }
    table->Values.emplace(line.substr(0, eq), line.substr(eq + 1));
  }
  table->Lines = std::move(lines);
  return table;
}

std::string TLangTable::Value(const std::string& name) const {
  const auto found = Values.find(name);
  return found == Values.end() ? std::string() : found->second;
}

std::string LangStr(int id) {
  const std::shared_ptr<const TLangTable> table = LangStrings.Get();
  std::string text;
  if (table) {
    text = table->Value(std::to_string(id));
  }
  return text.empty() ? std::string(kMissing) : text;
}

std::string LangStrOr(int id, std::string_view builtInUtf8) {
  std::string text = LangStr(id);
  return text == kMissing ? Utf8ToCp1251(builtInUtf8).Text : text;
}

bool LoadLanguageFile(const std::string& path) {
  std::optional<std::vector<std::string>> lines = ReadTextLines(path);
  if (!lines) {
    return false;
  }
  auto table = TLangTable::FromLines(std::move(*lines));
  const std::string id = table->Value("id");
  LanguageId = id.empty() ? "ru" : id;
  LangStrings.Set(std::move(table));
  return true;
}

void UnloadLanguage() {
  LangStrings.Set(nullptr);
  LanguageId = "ru";
}

std::string SubstituteArgs(std::string_view pattern, std::initializer_list<std::string_view> args) {
  std::string out;
  auto next = args.begin();
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c != '%' || i + 1 >= pattern.size()) {
      out += c;
      continue;
    }
    const char conversion = pattern[i + 1];
    if (conversion == '%') {
      out += '%';
      ++i;
    } else if (conversion == 's' || conversion == 'd' || conversion == 'u') {
      if (next != args.end()) {
        out += *next++;
      }
      ++i;
    } else {
      out += c;
    }
  }
  return out;
}

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
    shown += SubstituteArgs(LangStrOr(2159, "... (всего символов: %s)"), {std::to_string(text.size())});
  }
  return shown;
}
