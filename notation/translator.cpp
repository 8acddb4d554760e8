#include "notation/translator.h"

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "platform/codec1251.h"
#include "platform/paths.h"
#include "settings/settings.h"

std::string GTranslatorPath;
uint8_t GUntranslatedText = 0;
std::vector<std::string> TranslatorRules;
std::vector<std::string> HeadTranslatorRules;
std::string TranslatorFile;
std::string HeadTranslatorFile;

namespace {

// One usable rule. The left side is never empty, so every replacement consumes text; an
// empty right side deletes what the left side matches.
struct TRule {
  std::string_view Left;
  std::string_view Right;
};

// The rules of a rule list; lines without "=", or with an empty left side, are left out.
std::vector<TRule> UsableRules(const std::vector<std::string>& lines) {
  std::vector<TRule> rules;
  for (const std::string& line : lines) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos || eq == 0) {
      continue;
    }
    std::string_view whole(line);
    rules.push_back({whole.substr(0, eq), whole.substr(eq + 1)});
  }
  return rules;
}

bool IsOneOf(char c, std::string_view set) { return set.find(c) != std::string_view::npos; }

// The skip states of the rewriting.
enum TSkipState : int {
  kNormal = 0,
  kInBlock = 1,       // inside "<" ... ">"
  kInLabel = 3,       // after a ")" label, up to the next "."
  kInBraces = 7,      // inside "{" ... "}"
  kAfterVoiceV = 15,  // after a "V" at a voice start
  kInVoiceWord = 16,  // after such a "V" and a letter outside a..j, until a non-digit
};

// The state of one rewriting pass over a text.
struct TRewriteState {
  std::string Result;
  std::string_view Rest;
  int Skip = kNormal;
  bool VoiceStart = true;
};

// The first rule (list order) whose left side, or right side, begins rest.
const TRule* RuleWithLeftAtFront(const std::vector<TRule>& rules, std::string_view rest) {
  for (const TRule& r : rules) {
    if (rest.starts_with(r.Left)) {
      return &r;
    }
  }
  return nullptr;
}

// An empty right side spells nothing: it is never found at the front of a text, so a
// deleting rule is never copied as a piece nor rewritten back (which would never end).
const TRule* RuleWithRightAtFront(const std::vector<TRule>& rules, std::string_view rest) {
  for (const TRule& r : rules) {
    if (!r.Right.empty() && rest.starts_with(r.Right)) {
      return &r;
    }
  }
  return nullptr;
}

// True when a rule may replace text at the front of rest: only in the normal state, never
// on "()" and never on a "V" that starts a voice.
bool MayRewrite(const TRewriteState& st) {
  return st.Skip == kNormal && !st.Rest.starts_with("()") &&
         !(st.VoiceStart && st.Rest.front() == 'V');
}

// The skip state after the first character of rest (copied unchanged).
void UpdateSkipFromFront(TRewriteState& st) {
  const char c = st.Rest.front();
  if (c == '<') {
    st.Skip = kInBlock;
  } else if (c == '>' && st.Skip == kInBlock) {
    st.Skip = kNormal;
  } else if (c == ')' && st.Skip == kNormal && (st.Result.empty() || st.Result.back() != '(')) {
    st.Skip = kInLabel;
  } else if (c == '.' && st.Skip == kInLabel) {
    st.Skip = kNormal;
  } else if (c == '{') {
    st.Skip = kInBraces;
  } else if (c == '}' && st.Skip == kInBraces) {
    st.Skip = kNormal;
  } else if (c == 'V' && st.VoiceStart && st.Skip == kNormal) {
    st.Skip = kAfterVoiceV;
  }
}

// The voice-word states move on by the character after the front; a rest of one character
// ends any state.
void UpdateVoiceWordState(TRewriteState& st) {
  const std::string_view rest = st.Rest;
  if (st.Skip == kAfterVoiceV) {
    if ((rest.size() > 2 && !(rest[1] >= 'a' && rest[1] <= 'j')) || rest.size() < 2) {
      st.Skip = kInVoiceWord;
    }
  } else if (st.Skip == kInVoiceWord) {
    if (rest.size() > 2 && !(rest[1] >= '0' && rest[1] <= '9')) {
      st.Skip = kNormal;
    }
  }
  if (rest.size() <= 1) {
    st.Skip = kNormal;
  }
}

// The length of the piece copied unchanged: a right side at the front is copied whole.
size_t CopyLength(const TRewriteState& st, const std::vector<TRule>& rules) {
  if (st.Skip == kNormal) {
    if (const TRule* r = RuleWithRightAtFront(rules, st.Rest)) {
      return r->Right.size();
    }
  }
  return 1;
}

bool KeepsVoiceStart(char c) { return IsOneOf(c, "(.>M\\}"); }
bool ReplacementKeepsVoiceStart(std::string_view right) {
  return !right.empty() && IsOneOf(right.front(), "(M\\");
}

// True when the front of rest is text that a right side spells (differing from its left
// side), typed where a rule could have produced it.
bool FrontIsUntranslated(const TRewriteState& st, const std::vector<TRule>& rules) {
  const char c = st.Rest.front();
  if (st.Skip != kNormal || IsOneOf(c, "().>}m") || st.Rest == " ") {
    return false;
  }
  return std::any_of(rules.begin(), rules.end(), [&](const TRule& r) {
    return !r.Right.empty() && st.Rest.starts_with(r.Right) && r.Right != r.Left;
  });
}

// Moves the caret over one replacement of left by right at position at of the text.
void MoveCaret(int32_t& caret, int32_t at, const TRule& rule, TTranslatorCover& cover) {
  const int32_t left = static_cast<int32_t>(rule.Left.size());
  const int32_t right = static_cast<int32_t>(rule.Right.size());
  if (caret < 0) {
    return;
  }
  if (caret >= at && caret <= at + left - 1) {
    cover.Left = std::string(rule.Left);
    cover.Length = right;
    caret = at;
  } else if (caret >= at + left) {
    caret += right - left;
  }
}

}  // namespace

std::optional<std::string> TranslatorFilePath(const std::string& name) {
  const std::string file = Cp1251ToUtf8(name) + ".cnv";
  if (!IsPlainName(file)) {
    return std::nullopt;
  }
  const std::optional<std::filesystem::path> folder = FindUnder(ProgramDir, "Translator");
  const std::optional<std::filesystem::path> path =
      folder ? FindInFolder(*folder, file) : std::nullopt;
  std::error_code ec;
  if (!path || !std::filesystem::is_regular_file(*path, ec)) {
    return std::nullopt;
  }
  return path->string();
}

bool ReadTrackDirectives(const std::vector<std::string>& lines, PTreck first,
                         int32_t& ticksPerMeasure, std::string& path,
                         const TRescaleTrackTimes& rescale) {
  for (const std::string& line : lines) {
    if (line.starts_with("numticks ") && line.size() > 9) {
      const std::string digits = line.substr(9);
      if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        continue;
      }
      const size_t significant = digits.find_first_not_of('0');
      int32_t ticks = 3;
      if (significant != std::string::npos) {
        ticks = digits.size() - significant > 5 ? 65535 : std::stoi(digits.substr(significant));
      }
      ticks = std::clamp(ticks, 3, 65535);
      for (PTreck t = first; t != nullptr && rescale; t = t->Next) {
        rescale(*t, ticksPerMeasure, ticks);
      }
      ticksPerMeasure = ticks;
    } else if (line.starts_with("translator ") && line.size() > 11) {
      const std::optional<std::string> file = TranslatorFilePath(line.substr(11));
      if (!file) {
        return false;
      }
      path = *file;
    } else if (line == "translatoroff") {
      path = "*";
    }
  }
  return true;
}

void ComposeTrackText(std::vector<std::string>& out, const std::vector<std::string>& controlLines,
                      const std::vector<std::string>& trackLines) {
  out.clear();
  const size_t count = std::max(controlLines.size(), trackLines.size());
  for (size_t i = 0; i < count; ++i) {
    std::string a = i < controlLines.size() ? controlLines[i] : std::string();
    std::string b = i < trackLines.size() ? trackLines[i] : std::string("m");
    if (a.empty()) {
      a = "m";
    }
    if (b.empty()) {
      b = "m";
    }
    TTranslatorCover cover;
    int32_t noCaret = -1;
    std::string line = ApplyTranslator(a, HeadTranslatorRules, 1, cover, noCaret);
    line += "()";
    line += ApplyTranslator(b, TranslatorRules, 2, cover, noCaret);
    out.push_back(std::move(line));
  }
}

std::string ApplyTranslator(const std::string& text, const std::vector<std::string>& ruleLines,
                            uint8_t mode, TTranslatorCover& cover, int32_t& caret) {
  const std::vector<TRule> rules = UsableRules(ruleLines);
  cover = TTranslatorCover{};
  TRewriteState st;
  st.Rest = text;
  while (!st.Rest.empty()) {
    const TRule* rule = MayRewrite(st) ? RuleWithLeftAtFront(rules, st.Rest) : nullptr;
    if (rule != nullptr) {
      MoveCaret(caret, static_cast<int32_t>(st.Result.size()), *rule, cover);
      if (!ReplacementKeepsVoiceStart(rule->Right)) {
        st.VoiceStart = false;
      }
      st.Result += rule->Right;
      st.Rest.remove_prefix(rule->Left.size());
      continue;
    }
    UpdateSkipFromFront(st);
    if (FrontIsUntranslated(st, rules)) {
      GUntranslatedText |= mode;
    }
    UpdateVoiceWordState(st);
    if (st.Skip == kNormal && !KeepsVoiceStart(st.Rest.front())) {
      st.VoiceStart = false;
    }
    const size_t length = CopyLength(st, rules);
    st.Result += st.Rest.substr(0, length);
    if (st.Result.size() > 2 && st.Result.ends_with("()")) {
      st.VoiceStart = true;
    }
    st.Rest.remove_prefix(length);
  }
  return st.Result;
}

std::string TranslateText(const std::string& text, const std::vector<std::string>& ruleLines) {
  const std::vector<TRule> rules = UsableRules(ruleLines);
  TRewriteState st;
  st.Rest = text;
  while (!st.Rest.empty()) {
    const TRule* kept = st.Skip == kNormal ? RuleWithLeftAtFront(rules, st.Rest) : nullptr;
    if (kept == nullptr && MayRewrite(st)) {
      if (const TRule* rule = RuleWithRightAtFront(rules, st.Rest)) {
        st.Result += rule->Left;
        st.Rest.remove_prefix(rule->Right.size());
        if (!ReplacementKeepsVoiceStart(rule->Right)) {
          st.VoiceStart = false;
        }
        continue;
      }
    }
    UpdateSkipFromFront(st);
    UpdateVoiceWordState(st);
    const TRule* spelled = kept;
    size_t length = 1;
    if (kept != nullptr) {
      length = kept->Left.size();
    } else if (st.Skip == kNormal) {
      spelled = RuleWithRightAtFront(rules, st.Rest);
      length = spelled != nullptr ? spelled->Right.size() : 1;
    }
    const char front =
        spelled != nullptr && !spelled->Right.empty() ? spelled->Right.front() : st.Rest.front();
    if (st.Skip == kNormal && !KeepsVoiceStart(front)) {
      st.VoiceStart = false;
    }
    st.Result += st.Rest.substr(0, length);
    if (st.Result.ends_with("()")) {
      st.VoiceStart = true;
    }
    st.Rest.remove_prefix(length);
  }
  return st.Result;
}
