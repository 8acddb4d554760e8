#include "harmony/harmony_rules.h"

#include <algorithm>

#include "platform/paths.h"
#include "platform/text_lines.h"
#include "settings/settings.h"

namespace {

// Lower case of a code page 1251 byte: Latin and Cyrillic capitals, and Ё.
char LowerCp1251(char c) {
  const auto u = static_cast<unsigned char>(c);
  if ((u >= 'A' && u <= 'Z') || (u >= 0xC0 && u <= 0xDF)) {
    return static_cast<char>(u + 0x20);
  }
  return u == 0xA8 ? static_cast<char>(0xB8) : c;
}

// Digits, Latin small letters, ё and Cyrillic small letters of code page 1251.
bool IsWordChar(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') || u == 0xB8 || u >= 0xE0;
}

std::string WithoutComments(std::string line) {
  for (;;) {
    const size_t open = line.find('{');
    const size_t close = line.find('}');
    if (open == std::string::npos || close == std::string::npos || close < open) {
      break;
    }
    line.erase(open, close - open + 1);
  }
  const size_t open = line.find('{');
  if (open != std::string::npos) {
    line.erase(open);
  }
  return line;
}

// Keeps a blank only between two word characters; trims the ends.
std::string WithoutLooseBlanks(const std::string& line) {
  std::string out;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c != ' ') {
      out += c;
      continue;
    }
    size_t next = line.find_first_not_of(' ', i);
    if (next == std::string::npos) {
      break;
    }
    if (!out.empty() && IsWordChar(out.back()) && IsWordChar(line[next])) {
      out += ' ';
    }
    i = next - 1;
  }
  return out;
}

enum class TSection { None, Lads, Steps, Directives, Chords, Location, Values };

TSection SectionOf(const std::string& line, TSection current) {
  static const std::pair<const char*, TSection> kHeaders[] = {
      {"[lads]", TSection::Lads},           {"[steps]", TSection::Steps},
      {"[directives]", TSection::Directives}, {"[chords]", TSection::Chords},
      {"[location]", TSection::Location},   {"[values]", TSection::Values}};
  for (const auto& [header, section] : kHeaders) {
    if (line == header) {
      return section;
    }
  }
  return current;
}

// "[location]" entry: a position name as value, its letter as the first character of the key.
void SetPositionLetter(const std::string& name, const std::string& value) {
  if (name.empty()) {
    return;
  }
  if (value == "broadly") {
    PositionBroadly = name.front();
  } else if (value == "closely") {
    PositionClosely = name.front();
  } else if (value == "mixed") {
    PositionMixed = name.front();
  } else if (value == "unknown") {
    PositionUnknown = name.front();
  }
}

// "[values]" entry: a voice range bound, a whole number 0..255.
void SetRangeValue(const std::string& name, const std::string& value) {
  static const std::pair<const char*, uint8_t*> kRanges[] = {
      {"bassmin", &BassMin},   {"bassmax", &BassMax},       {"tenormin", &TenorMin},
      {"tenormax", &TenorMax}, {"altomin", &AltoMin},       {"altomax", &AltoMax},
      {"sopranomin", &SopranoMin}, {"sopranomax", &SopranoMax}};
  if (value.empty() || value.size() > 3 ||
      !std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return;
  }
  const int number = std::stoi(value);
  if (number > 255) {
    return;
  }
  for (const auto& [key, target] : kRanges) {
    if (name == key) {
      *target = static_cast<uint8_t>(number);
    }
  }
}

void ReadRuleEntry(TSection section, const std::string& line, THarmonyRules& rules) {
  const size_t eq = line.find('=');
  if (section == TSection::None || eq == std::string::npos) {
    return;
  }
  const std::string name = line.substr(0, eq);
  const std::string value = line.substr(eq + 1);
  switch (section) {
    case TSection::Lads: ParseLadLine(rules.Lads, name, value); break;
    case TSection::Steps: ParseStepLine(rules.Steps, name, value); break;
    case TSection::Chords: ParseChordLine(rules.Chords, name, value); break;
    case TSection::Directives: rules.Directives.push_back(line); break;
    case TSection::Location: SetPositionLetter(name, value); break;
    case TSection::Values: SetRangeValue(name, value); break;
    case TSection::None: break;
  }
}

}  // namespace

std::string HarmonyRulesPath() {
  const std::optional<std::filesystem::path> path = FindUnder(ProgramDir, "Resources\\qem.hrm");
  return path ? path->string() : ProgramDir + "Resources/qem.hrm";
}

std::string NormalizeRuleLine(std::string_view line) {
  std::string lower(line);
  std::transform(lower.begin(), lower.end(), lower.begin(), LowerCp1251);
  return WithoutLooseBlanks(WithoutComments(lower));
}

bool LoadHarmonyRules(const std::string& path, THarmonyRules& rules) {
  rules = THarmonyRules{};
  const std::optional<std::vector<std::string>> lines = ReadTextLines(path);
  if (!lines) {
    return false;
  }
  ReadHarmonyRules(*lines, rules);
  return true;
}

void ReadHarmonyRules(const std::vector<std::string>& lines, THarmonyRules& rules) {
  rules = THarmonyRules{};
  TSection section = TSection::None;
  for (const std::string& raw : lines) {
    const std::string line = NormalizeRuleLine(raw);
    const TSection next = SectionOf(line, section);
    if (next != section) {
      section = next;
      continue;
    }
    ReadRuleEntry(section, line, rules);
  }
}

int32_t DiatonicIndexOf(const HarmonyVoiceNote& note) { return (note.Octave - 1) * 7 + note.Step; }

int32_t PitchClassKey(const HarmonyVoiceNote& note) {
  HarmonyVoiceNote inFirstOctave = note;
  inFirstOctave.Octave = 1;
  return VoiceKey(inFirstOctave);
}

void AddSteps(HarmonyVoiceNote& note, int32_t count) {
  int32_t s = note.Step + count;
  while (s > 7) {
    s -= 7;
    ++note.Octave;
  }
  while (s < 1) {
    s += 7;
    --note.Octave;
  }
  note.Step = s;
}

void ApplyKeyAccidental(HarmonyVoiceNote& note, int32_t key) {
  static constexpr int32_t kSharpOrder[7] = {4, 1, 5, 2, 6, 3, 7};
  static constexpr int32_t kFlatOrder[7] = {7, 3, 6, 2, 5, 1, 4};
  const int32_t k = std::clamp(key, -7, 7);
  const int32_t* order = k > 0 ? kSharpOrder : kFlatOrder;
  for (int32_t i = 0; i < std::abs(k); ++i) {
    if (order[i] == note.Step) {
      note.Accidental = k > 0 ? TKeySign::Sharp : TKeySign::Flat;
    }
  }
}

void ShiftAccidental(TKeySign& accidental, bool raise) {
  using A = TKeySign;
  switch (accidental) {
    case A::DoubleFlat: accidental = raise ? A::Flat : A::DoubleFlat; break;
    case A::Flat: accidental = raise ? A::Natural : A::DoubleFlat; break;
    case A::No:
    case A::Natural: accidental = raise ? A::Sharp : A::Flat; break;
    case A::Sharp: accidental = raise ? A::DoubleSharp : A::Natural; break;
    case A::DoubleSharp: accidental = raise ? A::DoubleSharp : A::Sharp; break;
  }
}

int32_t TonicOffset(int32_t key) { return ((key * 4) % 7 + 7) % 7; }

void ApplyModeAlteration(HarmonyVoiceNote& note, int32_t tonicOffset, int32_t stepAlteration,
                         const TLads& lad) {
  const int32_t d = TonicOffset(stepAlteration);
  const int32_t degree = ((note.Step - 1 - tonicOffset - d) % 7 + 7) % 7;
  const int32_t a = lad.Alterations[degree];
  for (int32_t i = 0; i < std::abs(a); ++i) {
    ShiftAccidental(note.Accidental, a > 0);
  }
}

namespace {

// Stacks the voices from the chord's degrees, each at or above the one below.
void StackDegrees(THarmonyVoices& v, const TChords& chord) {
  for (int i = 0; i < 4; ++i) {
    v[i] = HarmonyVoiceNote{chord.Degrees[i], 1, TKeySign::No};
    while (i > 0 && DiatonicIndexOf(v[i]) < DiatonicIndexOf(v[i - 1])) {
      ++v[i].Octave;
    }
  }
}

// Opens the upper voices by the chord's position kind: a mixed position opens narrow gaps,
// a broad one wide gaps; close and unknown positions stay as stacked.
void SpreadByPosition(THarmonyVoices& v, uint8_t position) {
  if (position != kPositionMixed && position != kPositionBroadly) {
    return;
  }
  const bool mixed = position == kPositionMixed;
  auto fits = [mixed](int32_t gap) { return mixed ? gap <= 3 : gap > 3; };
  const int32_t t = DiatonicIndexOf(v[kTenor]);
  const int32_t a = DiatonicIndexOf(v[kAlto]);
  const int32_t s = DiatonicIndexOf(v[kSoprano]);
  if (fits(a - t) && s == a) {
    ++v[kSoprano].Octave;
  } else if (a == t && fits(s - a)) {
    ++v[kAlto].Octave;
    ++v[kSoprano].Octave;
  }
}

}  // namespace

void BuildChordVoicing(THarmonyVoices& voices, const TChords& chord, const TSteps& step,
                       const TLads& lad, int32_t key) {
  StackDegrees(voices, chord);
  SpreadByPosition(voices, chord.Position);
  const int32_t t = TonicOffset(key) + (lad.Kind == 1 ? 5 : 0);
  for (HarmonyVoiceNote& v : voices) {
    AddSteps(v, t);
    AddSteps(v, step.Degree - 1);
  }
  while (DiatonicIndexOf(voices[kBass]) > 7) {
    for (HarmonyVoiceNote& v : voices) {
      --v.Octave;
    }
  }
  for (HarmonyVoiceNote& v : voices) {
    ApplyKeyAccidental(v, step.Alteration + key);
    ApplyModeAlteration(v, t, step.Alteration, lad);
  }
}
