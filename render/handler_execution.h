// Inside the handler executor: the state of one run (one call of RunHandlerStatements or
// RunHandlerBlock), shared by the files that implement the statements.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "render/handler_executor.h"
#include "handler/handler_expression.h"

struct TTrackRuntime;
struct TQueueEntry;
struct TMidi;

// The place text of an error: LangStr(Id) + Tail, or the built-in text (UTF-8) when the
// language lacks Id or Id is 0. Built only when an error needs it.
struct TPlace {
  int Id;
  const char* Tail;
  const char* BuiltIn;
  std::string Text() const;
};

// What a statement tells the list it runs in.
enum class TStatementFlow : uint8_t {
  kGoOn,     // the next statement runs
  kBreak,    // "break" left the list: it ends and answers false
  kEndList,  // a loop's body broke: the list ends and answers true
};

// One run of handler statements. It answers the expression queries of the statements
// it evaluates, and keeps the frames of the blocks that "perform" nests: the arguments
// of a frame are evaluated in the frame below it, where they were written.
class THandlerExecution final : public THandlerQueries {
 public:
  explicit THandlerExecution(THandlerTick& tick);

  // Runs a list; see RunHandlerStatements.
  bool RunList(PProgram first);
  // Runs a block's program in a frame of its own with `block`'s arguments and values.
  bool RunInBlock(const TBlockFrame& block, PProgram program);

  long double Query(THandlerExprKind kind, const long double* argument) override;
  const TExpressionNode* BlockArgument(int64_t n) override;

 private:
  struct TFrame {
    const std::vector<PExpression>* Args;  // the frame's arguments, or none
    const TBlockFrame* Run;           // the running block's values, or none
  };

  // ---- Running lists (handler_executor.cpp) ----
  bool Aborted() const;
  // Counts one statement or loop round against the tick's budget; false (with the
  // error set) past it.
  bool Step() { return ++tick_.StatementsRun <= tick_.StatementBudget || OverBudget(); }
  // Sets the error of a run past its budget; false.
  bool OverBudget();
  // Puts the statement's place into the error, once: the innermost statement wins.
  void PlaceError(const TProgramNode& s);
  TStatementFlow Execute(TProgramNode& s, PProgram& next);
  bool PushFrame(const std::vector<PExpression>* args, const TBlockFrame* run);
  void PopFrame();

  // ---- Control statements (handler_executor.cpp) ----
  TStatementFlow While(const TProgramNode& s);
  TStatementFlow Evry(const TProgramNode& s);
  TStatementFlow For(const TProgramNode& s);
  void Let(const TProgramNode& s);
  TStatementFlow If(const TProgramNode& s, PProgram& next);
  TStatementFlow Segment(const TProgramNode& s);
  void Perform(const TProgramNode& s);

  // ---- Performance statements (handler_statements.cpp) ----
  void Interruption(TProgramNode& s);
  void Error(const TProgramNode& s);
  void Instrument(const TProgramNode& s);
  void PositionSong(const TProgramNode& s);
  void Tempo(const TProgramNode& s);
  void Pitch(const TProgramNode& s, bool certainly);
  void Controller(const TProgramNode& s, bool certainly);
  void Shift(const TProgramNode& s);
  void Factor(const TProgramNode& s);
  void Ornament(const TProgramNode& s);
  void Rest(const TProgramNode& s);
  void KeyLength(const TProgramNode& s, bool soft);
  void KeyVelocity(const TProgramNode& s, bool on);
  void Say(const TProgramNode& s);
  // False, with code 9 and the place text `place`, for NaN and the infinities.
  bool Finite(long double value, const TPlace& place) {
    return std::isfinite(value) || NotFinite(place);
  }
  // Code 9 with the place text `place`; false.
  bool NotFinite(const TPlace& place);
  // A value for a data byte: wrapped into 0..128 or, for NaN and the infinities, code 9
  // with the place text `place` (nothing then).
  std::optional<long double> Wrapped(long double value, const TPlace& place);

  // ---- keys (handler_keys.cpp) ----
  TStatementFlow Keys(const TProgramNode& s);
  bool VisitOwnNote(const TQueueEntry& entry, PProgram body);
  bool VisitHarmonyParts(const TQueueEntry& entry, PProgram body);

  // ---- MIDI-file players (handler_midi_players.cpp) ----
  void MidiPlayer(const TProgramNode& s);
  void PlayMidiTrack(TMidi& file, int64_t trackNumber, long double offset, std::string& fault);
  void SwitchMidiTrack(const TProgramNode& s, TMidi& file, int64_t trackNumber, std::string& fault);

  // ---- Queries (handler_queries.cpp) ----
  long double KeyTableQuery(THandlerExprKind kind, const long double* argument) const;
  long double BlockQuery(THandlerExprKind kind) const;
  long double NextLocation(long double nameIndex) const;

  // ---- Helpers ----
  // The value of an expression (a number at once: most operands are; inside another
  // evaluation the evaluator counts the depth).
  long double Evaluate(const TExpressionNode* e) {
    return e != nullptr && e->Kind == ekNumber && at_.Depth == 0 ? e->Value : EvaluateTree(e);
  }
  long double EvaluateTree(const TExpressionNode* e);
  bool ReadLeaf(const TExpressionNode& e, long double& value);
  // Stores `value` into `field`; another value than the one there marks the state changed.
  template <class T, class V>
  void Store(T& field, const V& value) {
    if (!(field == value)) {
      tick_.StateChanged = true;
    }
    field = value;
  }
  bool Failed() const { return tick_.Errors.Code() != 0; }
  // Sets the place text of an error: always, or only while the text is empty.
  void PlaceText(const std::string& text, bool onlyIfEmpty);
  void PlaceText(const TPlace& place, bool onlyIfEmpty) { PlaceText(place.Text(), onlyIfEmpty); }
  // The first track of the song: the tick's, or found by walking Prev on first use.
  TTreck& ControlTrack() const;
  bool OnControlTrack() const { return tick_.Track.Prev == nullptr; }
  const TBlockFrame* CurrentRun() const;

  THandlerTick& tick_;
  TTrackRuntime& runtime_;
  THandlerEvaluation at_;
  std::array<TFrame, kMaxPerformDepth + 2> frames_;
  size_t frameCount_ = 0;
  size_t argumentFrame_ = 0;      // frames_ index whose arguments "parameter" reads, + 1
  TExpressionNode argumentValue_;  // the value BlockArgument hands to the evaluator
  int listDepth_ = 0;              // statement lists running, one inside the other
  bool placed_ = false;            // the error has its statement's place
};

// "LangStr(id) + tail" when the language has text `id`, else the built-in text (UTF-8);
// both in code page 1251.
std::string WordText(int id, std::string_view tail, std::string_view builtInUtf8);
// "LangStr(id) + " " + name + "!"" when the language has text `id`, else the built-in
// text (UTF-8) followed by name and "!".
std::string NamedText(int id, std::string_view builtInUtf8, const std::string& name);
