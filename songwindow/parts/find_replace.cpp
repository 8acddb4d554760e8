#include "songwindow/parts/find_replace.h"

#include <algorithm>

#include "base/note_arithmetic.h"
#include "platform/codec1251.h"
#include "settings/lang_texts.h"

std::string FindText;
std::string ReplaceText;
uint8_t FindDialogMode = 0;
bool FindCaseSensitive = false;
bool FindInHandler = false;
bool FindVoiceOnly = false;

namespace {

std::string Normal(std::string_view s, bool caseSensitive) {
  return caseSensitive ? std::string(s) : LowerCaseCyr(s);
}

// The text of a voice: from Begin up to its "()" separator (at End) or the line's end.
struct TSpan {
  size_t Begin = 0;
  size_t End = 0;
};

// Voice `voice` (from 1) of a measure line; an empty line has none, and nothing after a
// trailing separator is a voice.
std::optional<TSpan> VoiceSpan(std::string_view line, int32_t voice) {
  if (line.empty() || voice < 1) {
    return std::nullopt;
  }
  size_t begin = 0;
  for (int32_t k = 1; k < voice; ++k) {
    const size_t separator = line.find("()", begin);
    if (separator == std::string_view::npos) {
      return std::nullopt;
    }
    begin = separator + 2;
  }
  if (voice > 1 && begin == line.size()) {
    return std::nullopt;
  }
  const size_t separator = line.find("()", begin);
  return TSpan{begin, separator == std::string_view::npos ? line.size() : separator};
}

bool IsBoundary(char c) {
  const uint8_t kind = ClassifyText(LowerCaseCyr(std::string_view(&c, 1)));
  return kind == 0 || kind == 4 || kind == 8;
}

size_t NonNegative(int32_t n) { return n < 0 ? 0 : static_cast<size_t>(n); }

}  // namespace

std::string LowerCaseCyr(std::string_view s) {
  std::string lower(s);
  for (char& c : lower) {
    const auto b = static_cast<unsigned char>(c);
    if ((b >= 'A' && b <= 'Z') || (b >= 0xC0 && b <= 0xDF)) {
      c = static_cast<char>(b + 32);
    }
  }
  return lower;
}

std::string NormalizeCase(std::string_view s) { return Normal(s, FindCaseSensitive); }

TFindOptions ConfirmedFindOptions() { return {FindText, ReplaceText, FindCaseSensitive, FindVoiceOnly}; }

bool WholeWordAt(std::string_view line, size_t at, size_t length) {
  const char before = at > 0 && at <= line.size() ? line[at - 1] : ' ';
  const char after = at + length < line.size() ? line[at + length] : ' ';
  return IsBoundary(before) && IsBoundary(after);
}

std::optional<TProgramPlace> FindInProgram(const std::vector<std::string>& lines, TProgramPlace caret,
                                           const TFindOptions& options) {
  const std::string what = Normal(options.What, options.CaseSensitive);
  if (what.empty()) {
    return std::nullopt;
  }
  for (size_t n = NonNegative(caret.Line); n < lines.size(); ++n) {
    const std::string line = Normal(lines[n], options.CaseSensitive);
    size_t from = static_cast<int32_t>(n) == caret.Line ? NonNegative(caret.Column) + 1 : 0;
    while (from <= line.size()) {
      const size_t at = line.find(what, from);
      if (at == std::string::npos) {
        break;
      }
      if (!options.Restricted || WholeWordAt(line, at, what.size())) {
        return TProgramPlace{static_cast<int32_t>(at), static_cast<int32_t>(n)};
      }
      from = at + 1;
    }
  }
  return std::nullopt;
}

std::optional<TMusicPlace> FindInMusic(const std::vector<std::string>& lines, TMusicPlace caret,
                                       const TFindOptions& options) {
  const std::string what = Normal(options.What, options.CaseSensitive);
  if (what.empty()) {
    return std::nullopt;
  }
  for (size_t m = std::max<int32_t>(caret.Measure, 1); m <= lines.size(); ++m) {
    const std::string line = Normal(lines[m - 1], options.CaseSensitive);
    const bool caretMeasure = static_cast<int32_t>(m) == caret.Measure;
    for (int32_t k = 1; const std::optional<TSpan> span = VoiceSpan(line, k); ++k) {
      if ((caretMeasure && k < caret.Voice) || (options.Restricted && k != caret.Voice)) {
        continue;
      }
      const std::string_view voice = std::string_view(line).substr(span->Begin, span->End - span->Begin);
      const size_t from = caretMeasure && k == caret.Voice ? NonNegative(caret.Offset) + 1 : 0;
      if (from > voice.size()) {
        continue;
      }
      if (const size_t at = voice.find(what, from); at != std::string_view::npos) {
        return TMusicPlace{static_cast<int32_t>(m), k, static_cast<int32_t>(at)};
      }
    }
  }
  return std::nullopt;
}

int32_t ReplaceInProgram(std::vector<std::string>& lines, TProgramPlace caret, const TFindOptions& options) {
  const std::string what = Normal(options.What, options.CaseSensitive);
  if (what.empty()) {
    return 0;
  }
  int32_t count = 0;
  for (size_t n = NonNegative(caret.Line); n < lines.size(); ++n) {
    size_t from = static_cast<int32_t>(n) == caret.Line ? NonNegative(caret.Column) : 0;
    while (from <= lines[n].size()) {
      const std::string line = Normal(lines[n], options.CaseSensitive);
      const size_t at = line.find(what, from);
      if (at == std::string::npos) {
        break;
      }
      if (options.Restricted && !WholeWordAt(line, at, what.size())) {
        from = at + 1;
        continue;
      }
      lines[n].replace(at, what.size(), options.With);
      ++count;
      from = at + options.With.size();
    }
  }
  return count;
}

int32_t ReplaceInMusic(std::vector<std::string>& lines, TMusicPlace caret, const TFindOptions& options,
                       int32_t& caretOffset) {
  const std::string what = Normal(options.What, options.CaseSensitive);
  if (what.empty()) {
    return 0;
  }
  int32_t count = 0;
  for (size_t m = std::max<int32_t>(caret.Measure, 1); m <= lines.size(); ++m) {
    std::string& stored = lines[m - 1];
    const bool caretMeasure = static_cast<int32_t>(m) == caret.Measure;
    size_t resume = 0;  // the line is searched on after the last text put in
    for (int32_t k = 1; const std::optional<TSpan> span = VoiceSpan(stored, k);) {
      const bool caretVoice = caretMeasure && k == caret.Voice;
      const size_t end = span->End < stored.size() ? span->End + 2 : stored.size();  // with its separator
      const size_t from = std::max(span->Begin + (caretVoice ? NonNegative(caret.Offset) : 0), resume);
      const size_t at = from <= end ? Normal(stored, options.CaseSensitive).find(what, from) : std::string::npos;
      if (at == std::string::npos || at + what.size() > end || (options.Restricted && k != caret.Voice)) {
        ++k;
        continue;
      }
      stored.replace(at, what.size(), options.With);
      ++count;
      resume = at + options.With.size();
      if (caretVoice) {
        caretOffset = static_cast<int32_t>(resume - span->Begin);
      }
    }
  }
  return count;
}

std::string ReplacementsMessage(int32_t count) {
  const std::string total = LangStr(220);
  return total == "???" ? Utf8ToCp1251("Всего произведено замен: ").Text + std::to_string(count)
                        : SubstituteArgs(total, {std::to_string(count)});
}
