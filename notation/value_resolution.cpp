#include "notation/value_resolution.h"

#include <algorithm>
#include <charconv>
#include <unordered_map>

#include "base/note_arithmetic.h"

namespace {

constexpr uint8_t kCountCap = 2;

// A search state after some cells: the exact sum, the value and kind the last cell took,
// and whether a grouped value was used on the way.
struct TStateKey {
  int64_t SumNum;
  int64_t SumDen;
  uint8_t Value;
  uint8_t Kind;
  bool Grouped;
  bool operator==(const TStateKey&) const = default;
};

struct TStateKeyHash {
  size_t operator()(const TStateKey& k) const {
    uint64_t h = static_cast<uint64_t>(k.SumNum) * 0x9E3779B97F4A7C15ULL;
    h ^= static_cast<uint64_t>(k.SumDen) + 0x7F4A7C15ULL + (h << 6) + (h >> 2);
    h ^= (uint64_t{k.Value} << 9) | (uint64_t{k.Kind} << 1) | uint64_t{k.Grouped};
    return static_cast<size_t>(h);
  }
};

struct TState {
  TStateKey Key;
  TRational Sum;
  uint8_t Count = 0;     // ways to reach this state, capped at 2
  int32_t Parent = -1;   // index in the previous level of one way in
  TValueChoice Choice;   // what the last cell took on that way
};

// One level of the search: the distinct states after the same number of cells.
class TLevel {
 public:
  // Adds `count` ways into the state; the first way in is kept for the rebuild.
  void Add(const TRational& sum, TValueChoice choice, bool grouped, uint8_t count, int32_t parent) {
    TStateKey key{sum.Num(), sum.Den(), choice.Value, choice.Kind, grouped};
    auto [it, inserted] = index_.try_emplace(key, static_cast<int32_t>(states_.size()));
    if (inserted) {
      states_.push_back({key, sum, count, parent, choice});
      return;
    }
    TState& s = states_[static_cast<size_t>(it->second)];
    s.Count = static_cast<uint8_t>(std::min<int>(s.Count + count, kCountCap));
  }
  const std::vector<TState>& States() const { return states_; }

 private:
  std::vector<TState> states_;
  std::unordered_map<TStateKey, int32_t, TStateKeyHash> index_;
};

char ValueLetter(uint8_t value) {
  switch (value) {
    case 1:
      return 'y';
    case 2:
      return 'n';
    case 4:
      return 'P';
    default:
      return 'd';
  }
}

uint8_t ValueOfLetter(char c) {
  switch (c) {
    case 'y':
      return 1;
    case 'n':
      return 2;
    case 'P':
      return 4;
    case 'd':
      return 8;
    default:
      return 0;
  }
}

struct TSearchOutcome {
  uint8_t Plain = 0;
  uint8_t Grouped = 0;
  bool TooLong = false;
  bool Overflow = false;
};

// Expands one level into the next for `cell` (the index-th cell).
void Expand(const TLevel& from, TLevel& to, const TValueCell& cell, size_t index, const TRational& length,
            TSearchOutcome& outcome) {
  const auto& states = from.States();
  for (size_t p = 0; p < states.size(); ++p) {
    const TState& s = states[p];
    auto offer = [&](TValueChoice choice, bool grouped) {
      TRational sum = s.Sum + NoteFraction(choice.Kind, choice.Value, cell.Dots, cell.Tuplet);
      if (!sum.Valid()) {
        outcome.Overflow = true;
      } else if (sum > length) {
        outcome.TooLong = true;
      } else {
        to.Add(sum, choice, grouped, s.Count, static_cast<int32_t>(p));
      }
    };
    for (uint8_t kind = 1; kind <= 2; ++kind) {
      if (cell.FixedKind == 0 || cell.FixedKind == kind) {
        offer({kind, cell.Value}, s.Key.Grouped);
      }
    }
    bool groupable = cell.Value == 8 && (cell.FixedKind == 0 || cell.FixedKind == s.Key.Kind) && index > 0 &&
                     s.Key.Value != 8;
    if (groupable) {
      offer({s.Key.Kind, s.Key.Value}, true);
    }
  }
}

}  // namespace

TRational MeasureLength(uint8_t num, uint8_t den) {
  if (den == 0) {
    return TRational(0);
  }
  return TRational((128 / den) * num, 128);
}

TValueSearch SearchMeasureValues(const std::vector<TValueCell>& cells, const TRational& length) {
  std::vector<TLevel> levels(cells.size() + 1);
  levels[0].Add(TRational(0), {0, 0}, false, 1, -1);
  TSearchOutcome outcome;
  for (size_t i = 0; i < cells.size(); ++i) {
    Expand(levels[i], levels[i + 1], cells[i], i, length, outcome);
  }
  const auto& finals = levels.back().States();
  int32_t plainIndex = -1;
  int32_t groupedIndex = -1;
  for (size_t i = 0; i < finals.size(); ++i) {
    if (finals[i].Sum != length) {
      continue;
    }
    uint8_t& count = finals[i].Key.Grouped ? outcome.Grouped : outcome.Plain;
    count = static_cast<uint8_t>(std::min<int>(count + finals[i].Count, kCountCap));
    (finals[i].Key.Grouped ? groupedIndex : plainIndex) = static_cast<int32_t>(i);
  }
  bool plainDecides = outcome.Plain >= 1 && (outcome.Plain == 1 || outcome.Grouped != 1);
  uint8_t count = plainDecides ? outcome.Plain : outcome.Grouped;
  TValueSearch result;
  if (count == 0) {
    result.Code = outcome.Overflow ? 5 : (outcome.TooLong ? 2 : 3);
    return result;
  }
  if (count > 1) {
    result.Code = 4;
    return result;
  }
  int32_t at = plainDecides ? plainIndex : groupedIndex;
  result.Choices.resize(cells.size());
  for (size_t level = cells.size(); level > 0; --level) {
    const TState& s = levels[level].States()[static_cast<size_t>(at)];
    result.Choices[level - 1] = s.Choice;
    at = s.Parent;
  }
  return result;
}

TRational FixedMeasureSum(const std::vector<TValueCell>& cells) {
  TRational sum(0);
  for (const TValueCell& c : cells) {
    sum += NoteFraction(c.FixedKind, c.Value, c.Dots, c.Tuplet);
  }
  return sum;
}

std::vector<TValueChoice> GapRests(TRational gap) {
  std::vector<TValueChoice> rests;
  for (int32_t d = 1; d <= 128 && gap.Valid() && gap > TRational(0);) {
    if (TRational(1, d) <= gap) {
      rests.push_back(d <= 8 ? TValueChoice{1, static_cast<uint8_t>(d)} : TValueChoice{2, static_cast<uint8_t>(d / 16)});
      gap -= TRational(1, d);
    } else {
      d *= 2;
    }
  }
  return rests;
}

std::string ExcessText(TRational excess, const TRational& length) {
  std::string text;
  for (int32_t d = 1; d <= 128 && excess.Valid() && excess > TRational(0); d *= 2) {
    TRational unit = length / TRational(d);
    TRational q = excess / unit;
    if (!q.Valid() || q < TRational(1)) {
      continue;
    }
    int64_t whole = q.Num() / q.Den();
    excess -= unit * TRational(whole);
    text += (text.empty() ? "" : " + ") + std::to_string(whole) + "/" + std::to_string(d);
  }
  return text;
}

std::string RhythmKey(uint8_t num, uint8_t den, const std::vector<TValueCell>& cells) {
  char buffer[32];
  double ratio = den == 0 ? 0.0 : static_cast<double>(num) / den;
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, ratio);
  std::string key(buffer, ec == std::errc() ? end : buffer);
  key += ':';
  for (const TValueCell& c : cells) {
    if (c.FixedKind == 1) {
      key += 'l';
    } else if (c.FixedKind == 2) {
      key += 's';
    }
    if (c.Tuplet > 1) {
      key += 'r' + std::to_string(c.Tuplet);
    }
    key += ValueLetter(c.Value);
    key.append(c.Dots, '.');
  }
  return key;
}

std::string EncodeSolution(const std::vector<TValueChoice>& choices) {
  std::string s;
  for (const TValueChoice& c : choices) {
    s += c.Kind == 1 ? 'l' : 's';
    s += ValueLetter(c.Value);
  }
  return s;
}

bool DecodeSolution(const std::string& solution, const std::vector<TValueCell>& cells, const TRational& length,
                    std::vector<TValueChoice>& choices) {
  if (solution.size() != 2 * cells.size()) {
    return false;
  }
  std::vector<TValueChoice> decoded;
  TRational sum(0);
  for (size_t i = 0; i < cells.size(); ++i) {
    char kindLetter = solution[2 * i];
    uint8_t kind = kindLetter == 'l' ? 1 : (kindLetter == 's' ? 2 : 0);
    uint8_t value = ValueOfLetter(solution[2 * i + 1]);
    const TValueCell& cell = cells[i];
    bool grouped = value != cell.Value;
    bool groupAllowed = i > 0 && cell.Value == 8 && decoded.back().Value != 8 &&
                        TValueChoice{kind, value} == decoded.back();
    if (kind == 0 || value == 0 || (cell.FixedKind != 0 && cell.FixedKind != kind) || (grouped && !groupAllowed)) {
      return false;
    }
    decoded.push_back({kind, value});
    sum += NoteFraction(kind, value, cell.Dots, cell.Tuplet);
  }
  if (sum != length) {
    return false;
  }
  choices = std::move(decoded);
  return true;
}
