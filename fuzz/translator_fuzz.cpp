// libFuzzer target: a text (first line) rewritten by any translator rules (the other
// lines), both ways. The caret stays inside the result, the result is no longer than every
// character replaced by the longest right side, the reverse rewriting ends, and the track
// directives read from the same lines end with a ticks count in range.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "handler/handler_normalizer.h"
#include "notation/translator.h"
#include "settings/settings.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ProgramDir = FuzzTempDir();
  std::filesystem::create_directories(ProgramDir + "Translator");
  WriteWholeFile(ProgramDir + "Translator/Solfa.cnv", "do4=N\r\nre4=O\r\n");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> lines = InputLines(data, size);
  if (lines.empty()) {
    return 0;
  }
  const std::string text = lines.front();
  const std::vector<std::string> rules(lines.begin() + 1, lines.end());
  size_t longest = 1;
  for (const std::string& rule : rules) {
    longest = std::max(longest, rule.size());
  }

  const int32_t start = static_cast<int32_t>(size % (text.size() + 2)) - 1;  // -1: none
  int32_t caret = start;
  TTranslatorCover cover;
  GUntranslatedText = 0;
  const std::string result = ApplyTranslator(text, rules, 2, cover, caret);
  FUZZ_CHECK(result.size() <= text.size() * longest);
  FUZZ_CHECK(start < 0 ? caret == start : caret >= 0 && caret <= static_cast<int32_t>(result.size()));
  FUZZ_CHECK(!cover.Left.empty() || cover.Length == 0);  // a deleting rule covers 0 characters
  FUZZ_CHECK((GUntranslatedText & ~2) == 0);
  FUZZ_CHECK(TranslateText(result, rules).size() <= result.size() * longest);

  TranslatorRules = rules;
  HeadTranslatorRules = rules;
  const std::vector<std::string> trackLines(rules.begin(), rules.begin() + std::min<size_t>(rules.size(), 3));
  std::vector<std::string> composed;
  ComposeTrackText(composed, {text}, trackLines);
  FUZZ_CHECK(composed.size() == std::max<size_t>(1, trackLines.size()));

  int32_t ticks = 1920;
  std::string path;
  int rescaled = 0;
  TTreck track;
  ReadTrackDirectives(NormalizeProgramLines(lines), &track, ticks, path,
                      [&](TTreck&, long double, long double) { ++rescaled; });
  FUZZ_CHECK(ticks >= 3 && ticks <= 65535);
  return 0;
}
