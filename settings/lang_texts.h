// The language table: every user-visible text is looked up by its number.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// A loaded language file: its lines ("number=text", code page 1251) and an index of
// the first line of each name.
struct TLangTable {
  std::vector<std::string> Lines;
  std::unordered_map<std::string, std::string> Values;  // name -> text of its first line

  // Builds the table from the lines of a language file.
  static std::shared_ptr<const TLangTable> FromLines(std::vector<std::string> lines);
  // The text after "=" on the first line whose name is `name`; empty when there is none.
  std::string Value(const std::string& name) const;
};

// Holds the loaded language table; empty until a language is loaded. The table is
// swapped whole under a lock, so the render thread may look texts up while the UI loads
// another language.
class TLangStrings {
 public:
  std::shared_ptr<const TLangTable> Get() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return table_;
  }
  void Set(std::shared_ptr<const TLangTable> table) {
    std::lock_guard<std::mutex> lock(mutex_);
    table_ = std::move(table);
  }

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<const TLangTable> table_;
};

extern TLangStrings LangStrings;
// Two-letter id of the loaded language (key "id" of the file), "ru" by default.
extern std::string LanguageId;

// The text of number `id`, or "???" when no language is loaded, the number has no
// line, or its text is empty.
std::string LangStr(int id);

// LangStr(id), or the built-in text (UTF-8, returned in code page 1251) when it is "???".
std::string LangStrOr(int id, std::string_view builtInUtf8);

// Reads a language file (code page 1251; CR LF, LF or CR end a line), installs it as
// LangStrings and sets LanguageId from its "id" line. False, and nothing changed, when
// the file cannot be read.
bool LoadLanguageFile(const std::string& path);

// Drops the loaded language: every LangStr answers "???" again.
void UnloadLanguage();

// The most bytes of user text a message quotes: far more than a line of music or of a
// handler holds, so that only a runaway text is cut.
inline constexpr size_t kQuotedTextBytes = 1000;

// User text (code page 1251) fit for a message: control bytes written as "\xNN" ("\r",
// "\n", "\t" for the common ones); a text longer than maxBytes is cut there, and text 2159
// ("... (N characters)" in the user's language) follows it.
std::string ShortUserText(std::string_view text, size_t maxBytes = kQuotedTextBytes);

// Fills the place holders of a text taken from a language file. The text is never
// handed to printf: "%s", "%d" and "%u" take the next argument (an empty one when they
// run out), "%%" gives "%", and any other "%" stays as it is.
std::string SubstituteArgs(std::string_view pattern, std::initializer_list<std::string_view> args);
