#include "handler/handler_expression.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "base/note_arithmetic.h"
#include "handler/handler_names.h"
#include "platform/codec1251.h"
#include "settings/lang_texts.h"

// The count a user can nest in a handler text: the top level is one of the
// kMaxHandlerNesting levels.
std::string NestingText(std::string_view text) {
  return SubstituteArgs(LangStrOr(2130, "не больше %s вложенных операторов: %s"),
                        {std::to_string(kMaxHandlerNesting - 1), text});
}

namespace {

constexpr int kMaxExpressionDepth = kMaxHandlerNesting;

// The nesting bound of an expression: each bracket pair is a level.
std::string BracketNestingText(std::string_view text) {
  return SubstituteArgs(LangStrOr(2131, "не больше %s уровней вложенности в выражении: %s"),
                        {std::to_string(kMaxExpressionDepth), text});
}

// ORDER: operators as the scan recognises them at one position (longest spelling
// first where one begins another).
constexpr std::array<std::string_view, 13> kRecognised = {
    " and ", " mod ", " or ", "==", "<>", "<=", ">=", ">", "<", "+", "-", "*", "/"};
constexpr std::array<THandlerOperator, 13> kRecognisedOp = {
    opAnd,       opMod,  opOr,      opEqual, opNotEqual, opLessEqual, opGreaterEqual,
    opGreater,   opLess, opAdd,     opSubtract, opMultiply, opDivide};

// ORDER: the search levels, loosest first. Operators of one level split at their
// leftmost occurrence, so they group to the right.
constexpr std::array<THandlerOperator, 13> kLevels = {
    opOr,      opAnd,  opEqual, opNotEqual, opGreaterEqual, opLessEqual, opGreater,
    opLess,    opAdd,  opSubtract, opDivide, opMultiply, opMod};

constexpr size_t kNoPosition = std::string_view::npos;

// Functions written as a name, a blank and the argument, allowed anywhere.
struct TFunctionName {
  std::string_view Prefix;
  THandlerExprKind Kind;
};
constexpr std::array<TFunctionName, 10> kFunctions = {{{"cos ", ekCos},
                                                       {"rnd ", ekRnd},
                                                       {"sin ", ekSin},
                                                       {"exp ", ekExp},
                                                       {"ln ", ekLn},
                                                       {"abs ", ekAbs},
                                                       {"int ", ekInt},
                                                       {"sqrt ", ekSqrt},
                                                       {"parameter ", ekParameter},
                                                       {"existsparameter ", ekExistsParameter}}};
constexpr std::array<TFunctionName, 7> kTrackFunctions = {{{"segmentcount ", ekSegmentCount},
                                                            {"segmentsize ", ekSegmentSize},
                                                            {"gtn ", ekGtn},
                                                            {"sqr ", ekSqr},
                                                            {"not ", ekNot},
                                                            {"round ", ekRound},
                                                            {"arctan ", ekArcTan}}};

// Track queries without an argument, allowed anywhere.
struct TQueryName {
  std::string_view Name;
  THandlerExprKind Kind;
};
constexpr std::array<TQueryName, 6> kTrackQueries = {{{"positionsong", ekPositionSong},
                                                      {"instrument", ekInstrument},
                                                      {"rest", ekRest},
                                                      {"forshlag", ekForshlag},
                                                      {"mordento", ekMordento},
                                                      {"countvoices", ekCountVoices}}};
constexpr std::array<TQueryName, 8> kLateTrackQueries = {{{"transpose", ekTranspose},
                                                          {"lengthsong", ekLengthSong},
                                                          {"nonlegato", ekNonLegato},
                                                          {"staccato", ekStaccato},
                                                          {"staccatisimo", ekStaccatissimo},
                                                          {"positionrnd", ekPositionRnd},
                                                          {"positionshift", ekPositionShift},
                                                          {"tempo", ekTempo}}};

// Key queries allowed only in a keys body, with the name their error reports.
struct TKeyQuery {
  std::string_view Name;
  THandlerExprKind Kind;
  const char* Reported;
};
constexpr std::array<TKeyQuery, 7> kKeysOnly = {{{"keycount", ekKeyCount, "KeyCount"},
                                                 {"keynumber", ekKeyNumber, "KeyNumber"},
                                                 {"priorkeyname", ekPriorKeyName, "PriorKeyName"},
                                                 {"priorkeylength", ekPriorKeyLength, "PriorKeyLength"},
                                                 {"nextkeyname", ekNextKeyName, "NextKeyName"},
                                                 {"nextkeylength", ekNextKeyLength, "NextKeyLength"},
                                                 {"shtrihfactor", ekShtrihFactor, "ShtrihFactor"}}};
// Bare in a keys body, or with an argument anywhere.
constexpr std::array<TKeyQuery, 3> kKeyArgument = {{{"keypressed", ekKeyPressed, "KeyPressed"},
                                                    {"keylength", ekKeyLength, "KeyLength"},
                                                    {"keyposition", ekKeyPosition, "KeyPosition"}}};
// Bare in a keys body, with an argument anywhere, else error 36.
constexpr std::array<TKeyQuery, 2> kKeyVelocity = {{{"keyon", ekKeyOn, "KeyOn"},
                                                    {"keyoff", ekKeyOff, "KeyOff"}}};
// Allowed only in a block body.
constexpr std::array<TKeyQuery, 3> kBlockQueries = {{{"startblock", ekStartBlock, "StartBlock"},
                                                     {"beginblock", ekBeginBlock, "BeginBlock"},
                                                     {"voice", ekVoice, "Voice"}}};

bool InBlockContext() {
  const int nesting = GHandlerCompile.Nesting;
  return nesting == 1 || nesting == 4 || nesting == 8 || nesting == 11;
}

bool InKeysContext() {
  const int nesting = GHandlerCompile.Nesting;
  return nesting == 3 || nesting == 4 || nesting == 10 || nesting == 11;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

PExpression MakeNode(THandlerExprKind kind) {
  auto node = std::make_unique<TExpressionNode>();
  node->Kind = kind;
  return node;
}

// The characters an operator can begin with.
bool IsOperatorStart(char c) {
  return c == ' ' || c == '=' || c == '<' || c == '>' || c == '+' || c == '-' || c == '*' ||
         c == '/';
}

// Where a text splits: the operator, its position and spelling, or a bracket fault.
struct TSplit {
  bool Unbalanced = false;
  size_t Position = kNoPosition;
  THandlerOperator Op = opAdd;
  size_t Length = 0;
};

// Calls `found(i, k)` for each position i at bracket depth 0 where recognised operator k
// begins, up to the first closing bracket without its opening one. True when the
// brackets do not balance.
template <class TFound>
bool ScanOperators(std::string_view text, TFound found) {
  int depth = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '(' || c == '[') {
      ++depth;
    } else if (c == ')' || c == ']') {
      --depth;
    }
    if (depth < 0) {
      return true;
    }
    if (depth != 0 || !IsOperatorStart(c)) {
      continue;
    }
    for (size_t k = 0; k < kRecognised.size(); ++k) {
      if (StartsWith(text.substr(i), kRecognised[k])) {
        found(i, k);
        break;
      }
    }
  }
  return depth != 0;
}

// Picks the loosest level present, given where each operator first stands. Unbalanced
// brackets count only where no operator of the levels tried so far stood before the fault.
template <class TFirst>
TSplit PickSplit(bool unbalanced, TFirst first) {
  for (THandlerOperator level : kLevels) {
    for (size_t k = 0; k < kRecognised.size(); ++k) {
      if (kRecognisedOp[k] != level) {
        continue;
      }
      if (const size_t at = first(k); at != kNoPosition) {
        return {false, at, level, kRecognised[k].size()};
      }
    }
    if (unbalanced) {
      return {true};
    }
  }
  return {};
}

// Scans once for the first occurrence of every operator, then picks the split.
TSplit FindSplit(std::string_view text) {
  std::array<size_t, kRecognised.size()> first;
  first.fill(kNoPosition);
  const bool unbalanced = ScanOperators(text, [&first](size_t i, size_t k) {
    if (first[k] == kNoPosition) {
      first[k] = i;
    }
  });
  return PickSplit(unbalanced, [&first](size_t k) { return first[k]; });
}

// Every top-level operator of a text, so that each tail of a flat run splits without a
// new scan: a tail that begins after a split begins at depth 0 and scans as the text does.
class TOperatorPositions {
 public:
  explicit TOperatorPositions(std::string_view text) {
    unbalanced_ = ScanOperators(text, [this](size_t i, size_t k) { at_[k].push_back(i); });
  }

  // FindSplit of the tail from `from`, in the text's positions.
  TSplit SplitFrom(size_t from) const {
    return PickSplit(unbalanced_, [this, from](size_t k) {
      const auto it = std::lower_bound(at_[k].begin(), at_[k].end(), from);
      return it != at_[k].end() ? *it : kNoPosition;
    });
  }

 private:
  std::array<std::vector<size_t>, kRecognised.size()> at_;
  bool unbalanced_ = false;
};

// One parse: the tree's owner lists, the scope path the names are looked up from.
class TExpressionParser {
 public:
  TExpressionParser(const THandlerProgram& program, TErrorRecord& errors, uint8_t& uses)
      : program_(program), errors_(errors), uses_(uses), scopePath_(ScopePathText()) {}

  // expression -> [sign] operand {operator operand} | "(" expression ")" | leaf
  PExpression Parse(std::string_view text, int depth) {
    std::string signed_;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
      signed_ = "0" + std::string(text);
      text = signed_;
    }
    if (text == "nil" || errors_.Code() != 0) {
      return nullptr;
    }
    if (depth > kMaxExpressionDepth) {
      return FailTooDeep(text);
    }
    for (;;) {
      const TSplit split = FindSplit(text);
      if (split.Unbalanced) {
        Fail(3, std::string(text));
        return nullptr;
      }
      if (split.Position != kNoPosition) {
        return ParseOperator(text, split, depth);
      }
      if (text.size() >= 3 && text.front() == '(' && text.back() == ')') {
        text = text.substr(1, text.size() - 2);
        if (++depth > kMaxExpressionDepth) {  // each bracket pair counts as a level
          return FailTooDeep(text);
        }
        continue;
      }
      return ParseLeaf(text, depth);
    }
  }

 private:
  // operator -> left OP right (split at the leftmost OP of the level). A right operand
  // that splits again goes on the run: its operands sit beside this node's, no deeper.
  PExpression ParseOperator(std::string_view text, const TSplit& split, int depth) {
    PExpression node = MakeNode(ekOperator);
    node->Op = split.Op;
    node->Left = Parse(text.substr(0, split.Position), depth + 1);
    std::optional<TOperatorPositions> positions;  // scanned once the run goes on
    size_t from = split.Position + split.Length;
    while (errors_.Code() == 0) {
      const std::string_view rest = text.substr(from);
      if (positions == std::nullopt) {
        if (FindSplit(rest).Position == kNoPosition) {
          break;
        }
        positions.emplace(text);
      }
      const TSplit next = positions->SplitFrom(from);
      if (next.Unbalanced || next.Position == kNoPosition) {
        break;
      }
      // A signed tail reads as "0" and the tail, as Parse reads it.
      const bool isSigned = rest.front() == '-' || rest.front() == '+';
      const std::string before(text.substr(from, next.Position - from));
      OperandSlot(*node) = Parse(isSigned ? "0" + before : before, depth + 1);
      node->More.push_back({next.Op, nullptr});
      from = next.Position + next.Length;
    }
    OperandSlot(*node) = Parse(text.substr(from), depth + 1);
    return errors_.Code() == 0 ? std::move(node) : nullptr;
  }

  // Where the run's next operand goes: Right, then the last link's.
  static PExpression& OperandSlot(TExpressionNode& node) {
    return node.More.empty() ? node.Right : node.More.back().Operand;
  }

  // leaf -> number | function | query | variable | constant | array "[" index "]"
  PExpression ParseLeaf(std::string_view text, int depth) {
    PExpression node = LeafOf(text, depth);
    return errors_.Code() == 0 ? std::move(node) : nullptr;
  }

  PExpression LeafOf(std::string_view text, int depth) {
    if (ClassifyText(text) == 2) {
      return NumberLeaf(text);
    }
    for (const TFunctionName& f : kFunctions) {
      if (text.size() > f.Prefix.size() && StartsWith(text, f.Prefix)) {
        return WithArgument(f.Kind, text.substr(f.Prefix.size()), depth);
      }
    }
    for (const TKeyQuery& q : kBlockQueries) {
      if (text == q.Name) {
        return InBlockContext() ? MakeNode(q.Kind) : Fail(37, q.Reported);
      }
    }
    if (PExpression key = KeyLeaf(text, depth); key || errors_.Code() != 0) {
      return key;
    }
    if (PExpression track = TrackLeaf(text, depth); track || errors_.Code() != 0) {
      return track;
    }
    return NameLeaf(text, depth);
  }

  // number -> digits ["," digits]
  PExpression NumberLeaf(std::string_view text) {
    long double value = 0;
    if (!ParseHandlerNumber(text, value)) {
      return FailUnknown(text);
    }
    PExpression node = MakeNode(ekNumber);
    node->Value = value;
    return node;
  }

  PExpression WithArgument(THandlerExprKind kind, std::string_view argument, int depth) {
    PExpression node = MakeNode(kind);
    node->Left = Parse(argument, depth + 1);
    return node;
  }

  // key query -> keyon | keyoff | keyname | keycount ... | keypressed [argument] ...
  PExpression KeyLeaf(std::string_view text, int depth) {
    for (const TKeyQuery& q : kKeyVelocity) {
      if (text == q.Name) {
        return InKeysContext() ? MakeNode(q.Kind) : Fail(36, q.Reported);
      }
      if (text.size() > q.Name.size() + 1 && StartsWith(text, q.Name) &&
          text[q.Name.size()] == ' ') {
        return WithArgument(q.Kind, text.substr(q.Name.size() + 1), depth);
      }
    }
    if (text == "keyname") {
      if (InKeysContext()) {
        return MakeNode(ekKeyName);
      }
      return InBlockContext() ? MakeNode(ekBlockKeyName) : Fail(36, "KeyName");
    }
    for (const TKeyQuery& q : kKeysOnly) {
      if (text == q.Name) {
        return InKeysContext() ? MakeNode(q.Kind) : Fail(38, q.Reported);
      }
    }
    for (const TKeyQuery& q : kKeyArgument) {
      if (text == q.Name) {
        return InKeysContext() ? MakeNode(q.Kind) : Fail(38, q.Reported);
      }
      if (text.size() > q.Name.size() + 1 && StartsWith(text, q.Name) &&
          text[q.Name.size()] == ' ') {
        return WithArgument(q.Kind, text.substr(q.Name.size() + 1), depth);
      }
    }
    return nullptr;
  }

  // track query -> positionsong | ... | nextlocation (label) | controller argument ...
  PExpression TrackLeaf(std::string_view text, int depth) {
    for (const TQueryName& q : kTrackQueries) {
      if (text == q.Name) {
        return MakeNode(q.Kind);
      }
    }
    if (text.size() > 15 && StartsWith(text, "nextlocation (") && text.back() == ')') {
      GHandlerCompile.Strings.emplace_back(text.substr(14, text.size() - 15));
      PExpression node = MakeNode(ekNextLocation);
      node->Left = MakeNode(ekNumber);
      node->Left->Value = static_cast<long double>(GHandlerCompile.Strings.size() - 1);
      return node;
    }
    if (text == "pitch") {
      return MakeNode(ekPitch);
    }
    if (text.size() > 11 && StartsWith(text, "controller ")) {
      return WithArgument(ekController, text.substr(11), depth);
    }
    for (const TQueryName& q : kLateTrackQueries) {
      if (text == q.Name) {
        return MakeNode(q.Kind);
      }
    }
    for (const TFunctionName& f : kTrackFunctions) {
      if (text.size() > f.Prefix.size() && StartsWith(text, f.Prefix)) {
        return WithArgument(f.Kind, text.substr(f.Prefix.size()), depth);
      }
    }
    return nullptr;
  }

  // name -> variable | constant | array "[" index "]"
  PExpression NameLeaf(std::string_view text, int depth) {
    if (PPeremennay variable = FindVariableFrom(text, scopePath_, program_.Variables)) {
      PExpression node = MakeNode(ekVariable);
      node->Variable = variable;
      uses_ = 1;
      return node;
    }
    if (PSpisokConstant constant = FindConstantFrom(text, scopePath_, program_.Constants)) {
      PExpression node = MakeNode(ekNumber);
      node->Value = constant->Value;
      return node;
    }
    const size_t open = text.find('[');
    const size_t close = open == kNoPosition ? kNoPosition : text.find(']', open);
    if (close != kNoPosition && text.back() == ']') {
      if (PMassiv array = FindArrayFrom(text.substr(0, open), scopePath_, program_.Arrays)) {
        PExpression node = MakeNode(ekArrayElement);
        node->Array = array;
        node->Left = Parse(text.substr(open + 1, text.size() - open - 2), depth + 1);
        return node;
      }
    }
    return FailUnknown(text);
  }

  PExpression Fail(uint8_t code, std::string text) {
    errors_.Update([&](TErrors& e) {
      e.Code = code;
      e.Text = std::move(text);
    });
    return nullptr;
  }

  // The nesting bound: what nests too deep, shortened.
  PExpression FailTooDeep(std::string_view text) {
    return Fail(kErrorNestingTooDeep, BracketNestingText(text));
  }

  // Code 1; the operand joins the texts of earlier unknown operands.
  PExpression FailUnknown(std::string_view text) {
    errors_.Update([&](TErrors& e) {
      e.Code = 1;
      e.Text = e.Text.empty() ? std::string(text) : e.Text + ", " + std::string(text);
    });
    return nullptr;
  }

  const THandlerProgram& program_;
  TErrorRecord& errors_;
  uint8_t& uses_;
  const std::string scopePath_;
};

// Sets a code unless one is set already; the first error is the one reported.
void FailOnce(TErrorRecord& errors, uint8_t code, const std::string& text) {
  errors.Update([&](TErrors& e) {
    if (e.Code == 0) {
      e.Code = code;
      e.Text = text;
    }
  });
}

// The detail of a division by zero: what the divisor was.
std::string DivisorText(const TExpressionNode* divisor) {
  if (divisor != nullptr && divisor->Kind == ekVariable && divisor->Variable != nullptr) {
    // "переменной " ... "!" in code page 1251
    return "\xEF\xE5\xF0\xE5\xEC\xE5\xED\xED\xEE\xE9 " + divisor->Variable->Name + "!";
  }
  if (divisor != nullptr && divisor->Kind == ekArrayElement && divisor->Array != nullptr) {
    // "массивом " ... "!" in code page 1251
    return "\xEC\xE0\xF1\xF1\xE8\xE2\xEE\xEC " + divisor->Array->Name + "!";
  }
  return "";
}

long double Truth(bool b) { return b ? 127.0L : 0.0L; }

long double RandomBelow(long double bound) {
  const int64_t n = TruncToInt64(bound);
  if (n <= 0) {
    return 0;
  }
  return static_cast<long double>(std::uniform_int_distribution<int64_t>(0, n - 1)(GHandlerRandom));
}

// One evaluation. Block arguments are evaluated by evaluations of their own inside this
// one, so the depth is counted in the shared THandlerEvaluation, across all of them.
class TEvaluator {
 public:
  TEvaluator(const THandlerEvaluation& at, TErrorRecord& errors) : at_(at), errors_(errors) {}

  long double Evaluate(const TExpressionNode* node) {
    if (node == nullptr) {
      FailOnce(errors_, 1, "");
      return 0;
    }
    if (at_.Depth > kMaxEvaluationDepth) {
      FailOnce(errors_, kErrorNestingTooDeep, "parameter");
      return 0;
    }
    ++at_.Depth;
    const long double value = Dispatch(*node);
    --at_.Depth;
    return value;
  }

 private:
  static constexpr int kMaxEvaluationDepth = 2 * kMaxExpressionDepth;

  long double Dispatch(const TExpressionNode& node) {
    switch (node.Kind) {
      case ekOperator: return Operator(node);
      case ekNumber: return node.Value;
      case ekVariable: return node.Variable != nullptr ? node.Variable->Value : 0;
      case ekCos:
      case ekSin:
      case ekExp:
      case ekLn:
      case ekArcTan:
      case ekAbs:
      case ekInt:
      case ekRound:
      case ekSqr:
      case ekSqrt:
      case ekNot:
      case ekRnd:
      case ekGtn:
      case ekArrayElement: return Function(node);
      default: return Query(node);
    }
  }

  // operator -> the operands, left first, then the operators from the right.
  long double Operator(const TExpressionNode& node) {
    const long double l = Evaluate(node.Left.get());
    const long double r = Evaluate(node.Right.get());
    if (node.More.empty()) {
      return Apply(node.Op, l, r, node.Right.get());
    }
    std::vector<long double> values{l, r};
    values.reserve(node.More.size() + 2);
    for (const TExpressionLink& link : node.More) {
      values.push_back(Evaluate(link.Operand.get()));
    }
    long double value = values.back();
    const TExpressionNode* divisor = node.More.back().Operand.get();
    for (size_t i = values.size() - 1; i-- > 0;) {
      value = Apply(i == 0 ? node.Op : node.More[i - 1].Op, values[i], value, divisor);
      divisor = nullptr;  // the right side is a run of operators from here on
    }
    return value;
  }

  // l Op r; `right` names the right side in a division error.
  long double Apply(THandlerOperator op, long double l, long double r, const TExpressionNode* right) {
    switch (op) {
      case opAdd: return l + r;
      case opSubtract: return l - r;
      case opMultiply: return l * r;
      case opDivide:
        if (r == 0) {
          FailOnce(errors_, 4, DivisorText(right));
          return 0;
        }
        return l / r;
      case opMod: {
        const int64_t divisor = RoundHalfEven(r);
        if (divisor == 0) {
          FailOnce(errors_, 4, DivisorText(right));
          return 0;
        }
        return divisor == -1 ? 0 : static_cast<long double>(RoundHalfEven(l) % divisor);
      }
      case opAnd: return Truth(RoundHalfEven(l) > 0 && RoundHalfEven(r) > 0);
      case opOr: return Truth(RoundHalfEven(l) > 0 || RoundHalfEven(r) > 0);
      case opEqual: return Truth(RoundHalfEven(l * 1000) == RoundHalfEven(r * 1000));
      case opNotEqual: return Truth(RoundHalfEven(l * 1000) != RoundHalfEven(r * 1000));
      case opLess: return Truth(l < r);
      case opGreater: return Truth(l > r);
      case opLessEqual: return Truth(l <= r);
      case opGreaterEqual: return Truth(l >= r);
    }
    assert(false && "unknown operator code");
    return 0;
  }

  // The functions of one argument, and the array element (Left is its index).
  long double Function(const TExpressionNode& node) {
    const long double l = Evaluate(node.Left.get());
    switch (node.Kind) {
      case ekCos: return std::cos(l);
      case ekSin: return std::sin(l);
      case ekExp: return std::exp(l);
      case ekLn: return std::log(l);
      case ekArcTan: return std::atan(l);
      case ekAbs: return std::fabs(l);
      case ekInt: return std::trunc(l);
      case ekRound: return std::rint(l);
      case ekSqr: return l * l;
      case ekSqrt: return std::sqrt(l);
      case ekNot: return Truth(l == 0);
      case ekRnd: return RandomBelow(l);
      case ekGtn: {
        const int64_t t = TruncToInt64(l);
        return t > 0 ? 1 : (t < 0 ? -1 : 0);
      }
      case ekArrayElement: {
        const uint64_t index = static_cast<uint64_t>(TruncToInt64(std::fabs(l))) % 128;
        return node.Array != nullptr ? node.Array->Values[index] : 0;
      }
      default:
        assert(false && "not a function kind");
        return 0;
    }
  }

  // Kinds that take their value from the evaluation context or the queries.
  long double Query(const TExpressionNode& node) {
    long double argument = 0;
    const bool hasArgument = node.Left != nullptr;
    if (hasArgument) {
      argument = Evaluate(node.Left.get());
    }
    switch (node.Kind) {
      case ekPositionSong: return static_cast<long double>(at_.Position);
      case ekLengthSong: return static_cast<long double>(at_.SongLength);
      case ekParameter:
      case ekExistsParameter: {
        const TExpressionNode* parameter =
            at_.Queries != nullptr ? at_.Queries->BlockArgument(RoundHalfEven(argument)) : nullptr;
        if (node.Kind == ekExistsParameter) {
          return Truth(parameter != nullptr);
        }
        return parameter != nullptr ? Evaluate(parameter) : 0;
      }
      default:
        return at_.Queries != nullptr
                   ? at_.Queries->Query(node.Kind, hasArgument ? &argument : nullptr)
                   : 0;
    }
  }

  const THandlerEvaluation& at_;
  TErrorRecord& errors_;
};

}  // namespace

PExpression ParseExpression(std::string_view text, uint8_t& usesVariables,
                            const THandlerProgram& program, TErrorRecord& errors) {
  TExpressionParser parser(program, errors, usesVariables);
  return parser.Parse(text, 0);
}

long double EvaluateExpression(const TExpressionNode* node, const THandlerEvaluation& at,
                               TErrorRecord& errors) {
  TEvaluator evaluator(at, errors);
  return evaluator.Evaluate(node);
}
