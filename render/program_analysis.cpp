#include "render/program_analysis.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/rounding.h"

namespace {

constexpr uint64_t kNever = std::numeric_limits<uint64_t>::max();
// Offsets and bounds beyond this are not taken as timed (they would not fit a tick).
constexpr long double kLargestBound = 4.0e15L;

bool IsNumber(const TExpressionNode* e) { return e != nullptr && e->Kind == ekNumber; }

// Query kinds whose value moves with the clock while the track state stays: the tick,
// random numbers, key positions and the running block's values.
bool ReadsClock(const TExpressionNode& e) {
  switch (e.Kind) {
    case ekRnd:
    case ekPositionSong:
    case ekKeyPosition:
    case ekStartBlock:
    case ekBeginBlock:
    case ekNextLocation:
    case ekParameter:
    case ekExistsParameter: return true;
    case ekKeyPressed: return e.Left != nullptr;  // keypressed K reads the key's position
    default: return false;
  }
}

bool ReadsNeighbourKey(THandlerExprKind kind) {
  return kind == ekPriorKeyName || kind == ekNextKeyName || kind == ekPriorKeyLength ||
         kind == ekNextKeyLength;
}

// Statement kinds that only change track state, or run bodies, the same way at every
// tick. Time blocks and "evry" are judged by their bounds.
bool ClockFreeKind(THandlerStatementKind kind) {
  switch (kind) {
    case skGroupEnd:
    case skBreak:
    case skWhile:
    case skFor:
    case skLet:
    case skIf:
    case skInstrument:
    case skTempo:
    case skPitch:
    case skController:
    case skTranspose:
    case skPositionRnd:
    case skPositionShift:
    case skNonLegato:
    case skStaccato:
    case skStaccatissimo:
    case skKeys:
    case skKeyLength:
    case skKeyLengthSoft:
    case skKeyOn:
    case skKeyOff:
    case skUnused:
    case skForshlag:
    case skMordento:
    case skRest: return true;
    default: return false;
  }
}

class TAnalysis {
 public:
  explicit TAnalysis(TProgramTraits& traits) : traits_(traits) {}

  // Walks a statement list; `main`: it belongs to the main program (blocks only tell
  // about the neighbouring keys).
  void List(PProgram first, bool main) {
    for (PProgram s = first; s != nullptr; s = s->Next) {
      Statement(*s, main);
    }
  }

 private:
  void Statement(const TProgramNode& s, bool main) {
    const bool timed = s.Kind == skSegment || s.Kind == skEvry;
    if (main && !ClockFreeKind(s.Kind) && !(timed && Timed(s))) {
      traits_.ClockFree = false;
    }
    if (!(s.Kind == skSegment && IsClockWrapper(s))) {
      Expression(s.ExprA.get(), main);
    }
    Expression(s.ExprB.get(), main);
    for (const PExpression& a : s.Args) {
      Expression(a.get(), main);
    }
    List(s.Body, main);
  }

  void Expression(const TExpressionNode* e, bool main) {
    if (e == nullptr) {
      return;
    }
    if (main && ReadsClock(*e)) {
      traits_.ClockFree = false;
    }
    traits_.ReadsNeighbourKeys = traits_.ReadsNeighbourKeys || ReadsNeighbourKey(e->Kind);
    traits_.ReadsKeyCount = traits_.ReadsKeyCount || e->Kind == ekKeyCount;
    Expression(e->Left.get(), main);
    Expression(e->Right.get(), main);
    for (const TExpressionLink& link : e->More) {
      Expression(link.Operand.get(), main);
    }
  }

  // The time block "positionsong" that runs a track's own lines: true at every tick.
  static bool IsClockWrapper(const TProgramNode& s) {
    return s.ExprA != nullptr && s.ExprA->Kind == ekPositionSong && s.ExprA->Left == nullptr &&
           s.ExprB == nullptr;
  }

  // A time block or "evry" whose running ticks are known: noted in Timed.
  bool Timed(const TProgramNode& s) {
    if (s.Kind == skSegment && IsClockWrapper(s)) {
      return true;
    }
    if (s.Body == nullptr || s.ExprA == nullptr) {
      return true;  // runs nothing
    }
    if (!IsNumber(s.ExprA.get()) || (s.ExprB != nullptr && !IsNumber(s.ExprB.get())) ||
        std::fabs(s.ExprA->Value) > kLargestBound) {
      return false;
    }
    TTimedStatement t;
    t.Evry = s.Kind == skEvry;
    if (t.Evry) {
      const long double offset = s.ExprB != nullptr ? s.ExprB->Value : 0;
      if (offset != std::trunc(offset) || std::fabs(offset) > kLargestBound) {
        return false;
      }
      t.Period = RoundHalfEven(s.ExprA->Value);
      t.Offset = static_cast<int64_t>(offset);
    } else {
      t.First = s.ExprA->Value;
      t.HasLast = s.ExprB != nullptr;
      t.Last = t.HasLast ? std::clamp(s.ExprB->Value, -kLargestBound, kLargestBound) : 0;
    }
    traits_.Timed.push_back(t);
    return true;
  }

  TProgramTraits& traits_;
};

// The smallest t > tick with (t - offset) mod period = 0.
int64_t NextEvryRun(int64_t tick, int64_t period, int64_t offset) {
  const int64_t from = tick + 1;
  const int64_t r = ((from - offset) % period + period) % period;
  return r == 0 ? from : from + (period - r);
}

// The first tick after `tick` at which the statement's running may change.
uint64_t NextChange(const TTimedStatement& t, uint32_t tick) {
  const int64_t now = tick;
  if (t.Evry) {
    if (t.Period <= 1) {
      return kNever;  // runs at every tick, or never (0 has stopped the render)
    }
    const bool runsNow = (now - t.Offset) % t.Period == 0;
    return static_cast<uint64_t>(runsNow ? now + 1 : NextEvryRun(now, t.Period, t.Offset));
  }
  // The body runs on First..Last and on Round(First): its running changes only at the
  // first tick of the range, the tick after it, Round(First) and the tick after that.
  const int64_t single = RoundHalfEven(t.First);
  int64_t candidates[4] = {single, single + 1, -1, -1};
  if (t.HasLast) {
    candidates[2] = static_cast<int64_t>(std::ceil(t.First));
    candidates[3] = static_cast<int64_t>(std::floor(t.Last)) + 1;
  }
  uint64_t next = kNever;
  for (int64_t c : candidates) {
    if (c > now) {
      next = std::min(next, static_cast<uint64_t>(c));
    }
  }
  return next;
}

}  // namespace

TProgramTraits AnalyseProgram(PProgram tree, const THandlerProgram& program) {
  TProgramTraits traits;
  TAnalysis analysis(traits);
  analysis.List(tree, true);
  for (const TBlock& block : program.Blocks) {
    analysis.List(block.Tree, false);
  }
  return traits;
}

uint64_t NextTimedChange(const TProgramTraits& traits, uint32_t tick) {
  uint64_t next = kNever;
  for (const TTimedStatement& t : traits.Timed) {
    next = std::min(next, NextChange(t, tick));
  }
  return next;
}
