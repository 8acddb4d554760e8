// The loaded language table and the chosen language. The language file loader fills them;
// LangStr reads them.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

// Lines of a language file, code page 1251: a number, "=" and the text.
using TLangTable = std::vector<std::string>;

// Holds the table; empty (nil) until a language is loaded. The render thread may look texts
// up while the UI thread loads another language, so readers take a shared copy.
class TLangStringsHolder {
 public:
  std::shared_ptr<const TLangTable> Get() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return table_;
  }
  void Set(std::shared_ptr<const TLangTable> table) {
    std::lock_guard<std::mutex> lock(mutex_);
    table_ = std::move(table);
  }
  bool Loaded() const { return Get() != nullptr; }

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<const TLangTable> table_;
};

extern TLangStringsHolder LangStrings;

// Two-letter id of the chosen language (key "id" of the language file); "ru" by default.
extern std::string LanguageId;
