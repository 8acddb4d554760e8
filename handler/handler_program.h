// Records of a compiled handler program: statement nodes, expression nodes,
// variables, arrays, constants and blocks, and the per-track owner of them all.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>


// One variable. `Scope` is the scope path text at its definition ("get." ...).
struct TPeremennay {
  std::string Name;
  std::string Scope;
  long double Value = 0;
};
using PPeremennay = TPeremennay*;

// One array of 128 values (indices 0..127).
struct TMassiv {
  std::string Name;
  std::string Scope;
  std::array<long double, 128> Values{};
};
using PMassiv = TMassiv*;

// One named constant.
struct TSpisokConstant {
  std::string Name;
  std::string Scope;
  long double Value = 0;
};
using PSpisokConstant = TSpisokConstant*;

// Expression node kinds. ORDER: the numbers are stored program semantics; the
// evaluator and the parser's leaf table use them.
enum THandlerExprKind : uint8_t {
  ekOperator = 0,          // Left Op Right
  ekNumber = 1,            // Value
  ekCos = 2,               // cos L
  ekRnd = 3,               // random whole number 0 .. trunc(L)-1
  ekSin = 4,               // sin L
  ekArcTan = 5,            // arctan L
  ekExp = 6,               // e to the power L
  ekLn = 7,                // natural logarithm of L
  ekAbs = 8,               // |L|
  ekInt = 9,               // L without its fraction
  ekRound = 10,            // L rounded, halves to even
  ekNot = 11,              // 127 when L = 0, else 0
  ekSqr = 12,              // L*L
  ekSqrt = 13,             // square root of L
  ekParameter = 14,        // value of argument round(L) of the running block
  ekKeyName = 15,          // current key of a keys body
  ekStartBlock = 17,       // start tick of the running block
  ekSegmentCount = 18,     // time-signature numerator of voice L
  ekGtn = 19,              // sign of trunc(L)
  ekBlockKeyName = 20,     // key of the note that started the running block
  ekPositionSong = 21,     // render position
  ekTempo = 22,            // tempo of the control track
  ekInstrument = 23,       // track instrument
  ekPitch = 24,            // track pitch-bend value
  ekController = 25,       // track controller value round(|L|) mod 128
  ekTranspose = 26,        // track transposition
  ekPositionRnd = 27,      // track position randomisation
  ekLengthSong = 28,       // song length in ticks
  ekNonLegato = 29,        // track non-legato factor
  ekStaccato = 30,         // track staccato factor
  ekStaccatissimo = 31,    // track staccatissimo length
  ekKeyCount = 32,         // keys visited by the running keys statement
  ekKeyNumber = 33,        // 1-based number of the current key
  ekKeyPressed = 34,       // current key (or key L) begins now
  ekKeyLength = 35,        // length of the current key (or key L)
  ekKeyPosition = 36,      // ticks elapsed in the current key (or key L)
  ekVoice = 37,            // voice of the running block
  ekKeyOn = 38,            // note-on velocity of the current key (or key L)
  ekKeyOff = 39,           // note-off velocity of the current key (or key L)
  ekPriorKeyName = 40,     // key before the current one
  ekNextKeyName = 41,      // key after the current one
  ekPriorKeyLength = 42,   // length of the key before
  ekNextKeyLength = 43,    // length of the key after
  ekShtrihFactor = 44,     // articulation factor of the current key
  ekSegmentSize = 45,      // time-signature denominator of voice L
  ekBeginBlock = 46,       // begin tick of the running block
  ekExistsParameter = 47,  // 127 when argument round(L) of the running block exists
  ekPositionShift = 48,    // track position shift
  ekNextLocation = 49,     // ticks to the next note labelled Strings[L] of the compile
  ekCountVoices = 50,      // track voice count
  ekForshlag = 51,         // track grace-note length
  ekRest = 52,             // 127 when the track treats rests as keys
  ekMordento = 53,         // track mordent length
  ekVariable = 100,        // Variable->Value
  ekArrayElement = 255,    // Array->Values[trunc(|L|) mod 128]
};

// Operator codes of an ekOperator node.
enum THandlerOperator : uint8_t {
  opAdd = 0,
  opSubtract = 1,
  opMultiply = 2,
  opDivide = 3,
  opOr = 4,
  opAnd = 5,
  opEqual = 6,  // equal to three decimals
  opLess = 7,
  opGreater = 8,
  opLessEqual = 9,
  opGreaterEqual = 10,
  opNotEqual = 11,
  opMod = 12,
};

struct TExpressionNode;
using PExpression = std::unique_ptr<TExpressionNode>;

// One further operand of a flat run of operators: Op and the operand to its right.
struct TExpressionLink {
  THandlerOperator Op = opAdd;
  PExpression Operand;
};

// One node of an expression tree; a node owns its subtrees. A flat run of operators
// "a + b - c * d" keeps its operands side by side, so that a long run nests no deeper
// than its operands: Left Op (Right More[0].Op (More[0].Operand ...)), grouped to the right.
struct TExpressionNode {
  THandlerExprKind Kind = ekNumber;
  long double Value = 0;           // ekNumber
  PMassiv Array = nullptr;         // ekArrayElement
  PExpression Left;                // left operand, function argument or array index
  PExpression Right;               // right operand
  PPeremennay Variable = nullptr;  // ekVariable
  THandlerOperator Op = opAdd;     // ekOperator
  std::vector<TExpressionLink> More;  // ekOperator: the operands after Right
};

// Statement kinds. ORDER: stored program semantics, read by the executor.
enum THandlerStatementKind : uint8_t {
  skGroupEnd = 0,           // end of an if chain (does nothing)
  skBreak = 1,              // break
  skWhile = 2,              // while ExprA do Body endwhile
  skEvry = 3,               // evry ExprA [offset ExprB] do Body endevry
  skFor = 4,                // for Ref=ExprA to ExprB do Body endfor
  skLet = 5,                // Ref=ExprA, or Arr[ExprB]=ExprA
  skIf = 6,                 // one branch: if ExprA then Body; GroupEnd = the chain's end
  skSegment = 7,            // Body on tick ExprA, or on ticks ExprA..ExprB
  skInterruption = 8,       // snapshot ExprA (index into the compile's Interruptions)
  skError = 9,              // error message ExprA (index into the compile's Strings), value ExprB
  skInstrument = 10,        // instrument ExprA
  skPositionSong = 11,      // jump to tick ExprA
  skTempo = 12,             // tempo ExprA
  skPitch = 13,             // pitch ExprA
  skPitchCertainly = 14,    // pitch ExprA certainly
  skController = 15,        // controller ExprA in ExprB
  skControllerCertainly = 16,
  skTranspose = 17,         // transpose ExprA
  skPositionRnd = 18,       // positionrnd ExprA
  skPositionShift = 19,     // positionshift ExprA
  skNonLegato = 20,         // nonlegato ExprA
  skStaccato = 21,          // staccato ExprA
  skStaccatissimo = 22,     // staccatisimo ExprA
  skKeys = 23,              // keys [ExprA[..ExprB]] Body endkeys
  skKeyLength = 24,         // keylength ExprA in ExprB
  skKeyLengthSoft = 25,     // keylength ExprA in ExprB soft
  skKeyOn = 26,             // keyon ExprA in ExprB
  skKeyOff = 27,            // keyoff ExprA in ExprB
  skMidiPlay = 28,          // Ref->play ExprA from ExprB
  skMidiStop = 29,          // Ref->stop ExprA
  skMidiContinue = 30,      // Ref->continue ExprA
  skSay = 31,               // say ExprA, ExprB 1 with reset, else 0
  skUnused = 32,            // never produced
  skPerform = 33,           // perform block Strings[ExprA] of the compile with Args
  skForshlag = 34,          // forshlag ExprA
  skMordento = 35,          // mordento ExprA
  skRest = 36,              // rest ExprA
};

struct TProgramNode;
using PProgram = TProgramNode*;

// Where a statement was written, for the errors it runs into.
struct TStatementPlace {
  uint16_t Line = 0;         // 1-based line of the text that holds it
  std::string Module;        // "name.blk": a module file or the library; empty: a track's text
  bool ControlText = false;  // the line is the control track's, which every track's program shares
};

// One statement. Nodes live in the arena of their THandlerProgram; the links are
// plain pointers into it, so freeing never walks them.
struct TProgramNode {
  THandlerStatementKind Kind = skGroupEnd;
  PPeremennay Ref = nullptr;
  PMassiv Arr = nullptr;
  PExpression ExprA;
  PExpression ExprB;
  std::vector<PExpression> Args;  // perform arguments, in order
  std::string Text;               // scope path at which the statement was compiled
  TStatementPlace Place;
  PProgram Next = nullptr;
  PProgram Body = nullptr;
  PProgram GroupEnd = nullptr;
};

// A chain being built: appending needs no walk.
struct TProgramChain {
  PProgram Head = nullptr;
  PProgram Tail = nullptr;
};

// One block or function.
struct TBlock {
  std::string Name;
  std::string Module;  // module file compiled when the block was defined; empty for functions
  PProgram Tree = nullptr;
  std::vector<std::string> Params;  // parameter names in order
  bool IsFunction = false;
};
using PBlock = TBlock*;

// Hashing that lets the name indexes be searched with a string_view.
struct TNameHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

// Variables, arrays or constants: ordered by the length of their scope, longest
// first (a new entry goes after every entry of equal or longer scope), with an index
// by name that keeps the same order. Entries never move.
template <class T>
class TScopedList {
 public:
  using Iterator = typename std::list<T>::iterator;

  TScopedList() = default;
  // The indexes point into the list: a copy would point into the original.
  TScopedList(const TScopedList&) = delete;
  TScopedList& operator=(const TScopedList&) = delete;
  TScopedList(TScopedList&&) noexcept = default;
  TScopedList& operator=(TScopedList&&) noexcept = default;

  // Inserts the record in scope order and returns it.
  T& Insert(T record) {
    const size_t length = record.Scope.size();
    Iterator at = items_.end();
    auto longerOrEqual = firstOfLength_.lower_bound(length);
    if (longerOrEqual != firstOfLength_.begin()) {
      at = std::prev(longerOrEqual)->second;  // first entry of the next shorter length
    }
    Iterator inserted = items_.insert(at, std::move(record));
    firstOfLength_.try_emplace(length, inserted);
    std::vector<T*>& named = byName_[inserted->Name];
    auto pos = named.begin();
    while (pos != named.end() && (*pos)->Scope.size() >= length) {
      ++pos;
    }
    named.insert(pos, &*inserted);
    return *inserted;
  }

  // The entries of one name in list order, or nullptr.
  const std::vector<T*>* Named(std::string_view name) const {
    auto it = byName_.find(name);
    return it == byName_.end() ? nullptr : &it->second;
  }

  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }
  auto begin() { return items_.begin(); }
  auto end() { return items_.end(); }
  size_t size() const { return items_.size(); }
  bool empty() const { return items_.empty(); }
  void clear() {
    byName_.clear();
    firstOfLength_.clear();
    items_.clear();
  }

 private:
  std::list<T> items_;
  std::map<size_t, Iterator> firstOfLength_;  // scope length -> its first entry
  std::unordered_map<std::string, std::vector<T*>, TNameHash, std::equal_to<>> byName_;
};

// Blocks and functions in definition order, found by name (the first of a name).
class TBlockList {
 public:
  TBlockList() = default;
  TBlockList(const TBlockList&) = delete;
  TBlockList& operator=(const TBlockList&) = delete;
  TBlockList(TBlockList&&) noexcept = default;
  TBlockList& operator=(TBlockList&&) noexcept = default;

  // Appends a block and returns it.
  TBlock& Append(TBlock block);
  // The first block of that name, or nullptr.
  PBlock Find(std::string_view name) const;
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }
  size_t size() const { return items_.size(); }
  void clear();

 private:
  std::list<TBlock> items_;
  std::unordered_map<std::string, PBlock, TNameHash, std::equal_to<>> byName_;
};

// Everything one compilation builds for a track: the statement tree, the names and
// the blocks, and the arena that holds the statement nodes. Destroying or clearing it
// frees all of it without recursion.
class THandlerProgram {
 public:
  PProgram ProgramTree = nullptr;
  TScopedList<TPeremennay> Variables;
  TScopedList<TMassiv> Arrays;
  TScopedList<TSpisokConstant> Constants;
  TBlockList Blocks;

  // A new node, not linked, with the given fields; `scopePath` becomes its Text.
  PProgram NewNode(THandlerStatementKind kind, PPeremennay ref, PMassiv arr, PExpression exprA,
                   PExpression exprB, std::string scopePath);
  // Frees every node, name and block.
  void Clear();
  // Number of statement nodes held (reachable or not), and node i of them in the order
  // they were made.
  size_t NodeCount() const { return nodes_.size(); }
  TProgramNode& Node(size_t i) { return nodes_[i]; }

 private:
  std::deque<TProgramNode> nodes_;
};

// Makes a node in `program`'s arena and links it at the end of `chain`.
PProgram AppendProgramNode(THandlerProgram& program, TProgramChain& chain,
                           THandlerStatementKind kind, PPeremennay ref, PMassiv arr,
                           PExpression exprA, PExpression exprB, std::string scopePath);

// Takes one component off the front of a dotted name such as "a.b(c)" (dots inside a
// parenthesised tail do not split). With `whole`, takes the last component instead
// and leaves the others in `s` joined by ".)", as the block references keep them.
void SplitDottedName(std::string& s, bool whole, std::string& part);
