#include "harmony/harmony_text.h"

#include <string_view>

namespace {

void SkipBlanks(std::string_view& text) {
  while (!text.empty() && text.front() == ' ') {
    text.remove_prefix(1);
  }
}

// The first record (list order) with a non-empty name that begins text.
template <class T>
const T* FirstPrefix(const std::vector<T>& list, std::string_view text) {
  for (const T& item : list) {
    if (!item.Name.empty() && text.starts_with(item.Name)) {
      return &item;
    }
  }
  return nullptr;
}

// "=" part: the chord's function in a new key, "[mode]step".
void ReadReference(std::string_view ref, const THarmonyRules& rules, HarmonyState& state) {
  SkipBlanks(ref);
  if (const TLads* lad = FirstPrefix(rules.Lads, ref)) {
    state.LadRef = *lad;
    ref.remove_prefix(lad->Name.size());
    SkipBlanks(ref);
  }
  for (const TSteps& step : rules.Steps) {
    if (!step.Name.empty() && step.Name == ref) {
      state.StepsRef = step;
      break;
    }
  }
}

// Takes every directive word off the front of text; the scan restarts after each.
void ReadDirectives(std::string_view& text, const THarmonyRules& rules, HarmonyState& state) {
  bool found = true;
  while (found) {
    found = false;
    SkipBlanks(text);
    for (const std::string& line : rules.Directives) {
      const size_t eq = line.find('=');
      const std::string_view name = std::string_view(line).substr(0, eq);
      if (eq == 0 || eq == std::string::npos || !text.starts_with(name)) {
        continue;
      }
      ApplyHarmonyDirective(line.substr(eq + 1), state);
      text.remove_prefix(name.size());
      found = true;
      break;
    }
  }
}

int PositionKindOf(char c) {
  if (c == PositionBroadly) {
    return kPositionBroadly;
  }
  if (c == PositionClosely) {
    return kPositionClosely;
  }
  if (c == PositionMixed) {
    return kPositionMixed;
  }
  if (c == PositionUnknown) {
    return kPositionUnknown;
  }
  return -1;
}

// The chord part: a name, then a position letter and a soprano degree, or a letter alone.
void ReadChord(std::string_view rest, const THarmonyRules& rules, HarmonyState& state) {
  int kind = kPositionUnknown;
  int sopranoDegree = 0;
  if (rest.size() >= 2 && PositionKindOf(rest[rest.size() - 2]) >= 0 && rest.back() >= '1' &&
      rest.back() <= '7') {
    kind = PositionKindOf(rest[rest.size() - 2]);
    sopranoDegree = rest.back() - '0';
    rest.remove_suffix(2);
  } else if (!rest.empty() && PositionKindOf(rest.back()) >= 0) {
    kind = PositionKindOf(rest.back());
    rest.remove_suffix(1);
  }
  for (const TChords& chord : rules.Chords) {
    if (chord.Name.empty() || chord.Name != rest) {
      continue;
    }
    if (kind != kPositionUnknown && chord.Position != kind) {
      continue;
    }
    if (sopranoDegree != 0 && chord.Degrees[kSoprano] != sopranoDegree) {
      continue;
    }
    state.Chords.push_back(chord);
  }
  state.Current = 0;
}

}  // namespace

bool ApplyHarmonyDirective(const std::string& keyword, HarmonyState& s) {
  static const char* const kHold[4] = {"bassprior", "tenorprior", "altoprior", "sopranoprior"};
  static const char* const kVary[4] = {"nobassprior", "notenorprior", "noaltoprior",
                                       "nosopranoprior"};
  static const char* const kMelody[4] = {"harmonybass", "harmonytenor", "harmonyalto",
                                         "harmonysoprano"};
  for (int v = kBass; v <= kSoprano; ++v) {
    if (keyword == kHold[v]) {
      s.Hold[v] = 1;
      return true;
    }
    if (keyword == kVary[v]) {
      s.Vary[v] = 1;
      return true;
    }
    if (keyword == kMelody[v]) {
      s.MelodyVoice = static_cast<uint8_t>(v);
      return true;
    }
  }
  static const std::pair<const char*, std::pair<uint8_t HarmonyState::*, uint8_t>> kFlags[] = {
      {"yesparallelisms", {&HarmonyState::AllowParallels, 1}},
      {"yesmoveallvoices", {&HarmonyState::AllowAllVoicesSameWay, 1}},
      {"nomovebasssoprano", {&HarmonyState::BassSopranoFree, 0}},
      {"repetitionbasstrue", {&HarmonyState::AllowBassRepetition, 1}},
      {"repetitionbassfalse", {&HarmonyState::AllowBassRepetition, 0}},
      {"yesincreasedinterval", {&HarmonyState::AllowAugmented, 1}},
      {"yesbassqvartaquinta", {&HarmonyState::AllowBassLeaps, 1}},
      {"basstenorunisonstrue", {&HarmonyState::AllowBassTenorUnison, 1}},
      {"basstenorunisonsfalse", {&HarmonyState::AllowBassTenorUnison, 0}},
      {"yesframes", {&HarmonyState::NoFrames, 1}}};
  for (const auto& [name, flag] : kFlags) {
    if (keyword == name) {
      s.*(flag.first) = flag.second;
      return true;
    }
  }
  return false;
}

bool ReadHarmonyText(const std::string& original, const THarmonyRules& rules, HarmonyState& state) {
  const std::string normalized = NormalizeRuleLine(original);
  std::string_view text = normalized;
  const size_t eq = text.find('=');
  if (eq != std::string_view::npos) {
    ReadReference(text.substr(eq + 1), rules, state);
    text = text.substr(0, eq);
  }
  ReadDirectives(text, rules, state);
  if (const TLads* lad = FirstPrefix(rules.Lads, text)) {
    state.NamedLad = *lad;
    text.remove_prefix(lad->Name.size());
    SkipBlanks(text);
  }
  const TSteps* step = FirstPrefix(rules.Steps, text);
  if (step == nullptr) {
    return false;
  }
  state.Step = *step;
  text.remove_prefix(step->Name.size());
  SkipBlanks(text);
  while (!text.empty() && text.back() == ' ') {
    text.remove_suffix(1);
  }
  ReadChord(text, rules, state);
  return true;
}
