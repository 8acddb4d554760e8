// Running statement lists: the dispatch, the frames of performed blocks and the control
// statements (loops, conditions, time blocks, assignments, perform).
#include "render/handler_executor.h"

#include <cassert>

#include "base/error_sources.h"
#include "handler/handler_globals.h"
#include "settings/lang_texts.h"
#include "render/handler_execution.h"
#include "handler/handler_names.h"
#include "render/track_runtime.h"
#include "platform/codec1251.h"

namespace {

TTreck& FirstTrackOf(TTreck& track) {
  TTreck* t = &track;
  while (t->Prev != nullptr) {
    t = t->Prev;
  }
  return *t;
}

}  // namespace

std::string WordText(int id, std::string_view tail, std::string_view builtInUtf8) {
  const std::string word = LangStr(id);
  if (word == "???") {
    return Utf8ToCp1251(builtInUtf8).Text;
  }
  return word + std::string(tail);
}

std::string TPlace::Text() const {
  return Id == 0 ? Utf8ToCp1251(BuiltIn).Text : WordText(Id, Tail, BuiltIn);
}

std::string NamedText(int id, std::string_view builtInUtf8, const std::string& name) {
  const std::string word = LangStr(id);
  if (word == "???") {
    return Utf8ToCp1251(builtInUtf8).Text + name + "!";
  }
  return word + " " + name + "!";
}

THandlerExecution::THandlerExecution(THandlerTick& tick)
    : tick_(tick),
      runtime_(RuntimeOf(tick.Track)),
      at_{this, static_cast<int64_t>(tick.SongLength), static_cast<int64_t>(tick.Position)} {
  argumentValue_.Kind = ekNumber;
  PushFrame(nullptr, nullptr);  // the top level: no arguments, no running block
  TRenderContext& render = tick.Render;
  if (tick.Position > render.FurthestTick) {
    render.FurthestTick = tick.Position;
    render.BackwardJumps = 0;
  }
}

TTreck& THandlerExecution::ControlTrack() const {
  if (tick_.ControlTrack == nullptr) {
    tick_.ControlTrack = &FirstTrackOf(tick_.Track);
  }
  return *tick_.ControlTrack;
}

bool THandlerExecution::Aborted() const {
  return Failed() || RenderRun().Stop.load(std::memory_order_relaxed);
}

bool THandlerExecution::OverBudget() {
  const std::string text = SubstituteArgs(LangStrOr(2132, "больше %s операторов за один тик"),
                                          {std::to_string(tick_.StatementBudget)});
  tick_.Errors.Update([&](TErrors& e) {
    e.Code = kErrorEndlessHandler;
    e.Text = text;
  });
  return false;
}

void THandlerExecution::PlaceError(const TProgramNode& s) {
  if (placed_) {
    return;
  }
  placed_ = true;
  const uint32_t measure = tick_.Position / std::max<uint32_t>(tick_.TicksPerMeasure, 1) + 1;
  const int32_t running = runtime_.TrackIndex;
  tick_.Errors.Update([&](TErrors& e) {
    if (e.Source == esMusic) {
      return;  // the "error" statement's own place: measure and voice
    }
    e.Source = s.Place.Module.empty() ? esHandler : esModule;
    e.Module = s.Place.Module;
    e.ModuleLine = s.Place.Line;
    e.Measure = measure;
    e.Track = s.Place.ControlText ? 0 : running;
    e.RunningTrack = running;
  });
}

// Runs the list's statements in order; an error or a stop request ends it (true), after
// the failing statement's place has gone into the error.
bool THandlerExecution::RunList(PProgram first) {
  if (listDepth_ >= kMaxRunNesting) {
    // The top list is one of the kMaxRunNesting lists: one less nests inside it.
    const std::string text = SubstituteArgs(
        LangStrOr(2133, "не больше %s вложенных операторов вместе с блоками perform"),
        {std::to_string(kMaxRunNesting - 1)});
    tick_.Errors.Update([&](TErrors& e) {
      e.Code = kErrorNestingTooDeep;
      e.Text = text;
    });
    return true;
  }
  ++listDepth_;
  bool result = true;
  for (PProgram s = first; s != nullptr;) {
    PProgram next = s->Next;
    const TStatementFlow flow = Step() ? Execute(*s, next) : TStatementFlow::kEndList;
    if (Failed()) {
      PlaceError(*s);
      break;
    }
    if (flow != TStatementFlow::kGoOn) {
      result = flow == TStatementFlow::kEndList;
      break;
    }
    if (Aborted()) {
      break;
    }
    s = next;
  }
  --listDepth_;
  return result;
}

bool THandlerExecution::RunInBlock(const TBlockFrame& block, PProgram program) {
  if (!PushFrame(block.Params, &block)) {
    return true;
  }
  const bool result = RunList(program);
  PopFrame();
  return result;
}

// Dispatch: one line per statement kind. `next` may be moved (an "if" skips its group).
TStatementFlow THandlerExecution::Execute(TProgramNode& s, PProgram& next) {
  const bool instrumentTrack = !OnControlTrack();
  switch (s.Kind) {
    case skBreak: return TStatementFlow::kBreak;
    case skWhile: return While(s);
    case skEvry: return Evry(s);
    case skFor: return For(s);
    case skLet: Let(s); break;
    case skIf: return If(s, next);
    case skSegment: return Segment(s);
    case skInterruption: Interruption(s); break;
    case skError: Error(s); break;
    case skPositionSong: PositionSong(s); break;
    case skTempo: Tempo(s); break;
    case skKeys: return Keys(s);
    case skMidiPlay:
    case skMidiStop:
    case skMidiContinue: MidiPlayer(s); break;
    case skSay: Say(s); break;
    case skPerform: Perform(s); break;
    default: break;
  }
  if (!instrumentTrack) {
    return TStatementFlow::kGoOn;
  }
  switch (s.Kind) {
    case skInstrument: Instrument(s); break;
    case skPitch: Pitch(s, false); break;
    case skPitchCertainly: Pitch(s, true); break;
    case skController: Controller(s, false); break;
    case skControllerCertainly: Controller(s, true); break;
    case skTranspose:
    case skPositionRnd:
    case skPositionShift: Shift(s); break;
    case skNonLegato:
    case skStaccato:
    case skStaccatissimo: Factor(s); break;
    case skKeyLength: KeyLength(s, false); break;
    case skKeyLengthSoft: KeyLength(s, true); break;
    case skKeyOn: KeyVelocity(s, true); break;
    case skKeyOff: KeyVelocity(s, false); break;
    case skForshlag:
    case skMordento: Ornament(s); break;
    case skRest: Rest(s); break;
    default: break;
  }
  return TStatementFlow::kGoOn;
}

// ---- Frames --------------------------------------------------------------------

bool THandlerExecution::PushFrame(const std::vector<PExpression>* args,
                                  const TBlockFrame* run) {
  if (frameCount_ == frames_.size()) {
    return false;
  }
  frames_[frameCount_] = TFrame{args, run};
  ++frameCount_;
  argumentFrame_ = frameCount_;
  return true;
}

void THandlerExecution::PopFrame() {
  --frameCount_;
  argumentFrame_ = frameCount_;
}

const TBlockFrame* THandlerExecution::CurrentRun() const {
  for (size_t f = argumentFrame_; f > 0; --f) {
    if (frames_[f - 1].Run != nullptr) {
      return frames_[f - 1].Run;
    }
  }
  return nullptr;
}

// Argument n of the frame whose arguments are being read, evaluated in the frame below
// it (where the caller wrote it); handed over as a number node.
const TExpressionNode* THandlerExecution::BlockArgument(int64_t n) {
  if (argumentFrame_ == 0) {
    return nullptr;
  }
  const std::vector<PExpression>* args = frames_[argumentFrame_ - 1].Args;
  if (args == nullptr || n < 1 || n > static_cast<int64_t>(args->size())) {
    return nullptr;
  }
  const size_t reading = argumentFrame_;
  --argumentFrame_;
  const long double value = Evaluate((*args)[static_cast<size_t>(n - 1)].get());
  argumentFrame_ = reading;
  argumentValue_.Value = value;
  return &argumentValue_;
}

// ---- Helpers -------------------------------------------------------------------

namespace {

// Queries the executor answers from the track and the keys alone, without an argument.
bool PlainQuery(THandlerExprKind kind) {
  switch (kind) {
    case ekKeyName:
    case ekKeyCount:
    case ekKeyNumber:
    case ekPriorKeyName:
    case ekNextKeyName:
    case ekPriorKeyLength:
    case ekNextKeyLength:
    case ekShtrihFactor:
    case ekKeyPressed:
    case ekKeyLength:
    case ekKeyPosition:
    case ekKeyOn:
    case ekKeyOff:
    case ekTempo:
    case ekInstrument:
    case ekPitch:
    case ekTranspose:
    case ekPositionRnd:
    case ekPositionShift:
    case ekNonLegato:
    case ekStaccato:
    case ekStaccatissimo:
    case ekForshlag:
    case ekMordento:
    case ekRest:
    case ekCountVoices: return true;
    default: return false;
  }
}

}  // namespace

// Numbers, variables, the tick and plain queries, read as the evaluator reads them.
bool THandlerExecution::ReadLeaf(const TExpressionNode& e, long double& value) {
  const TRenderContext& k = tick_.Render;
  switch (e.Kind) {
    case ekNumber: value = e.Value; return true;
    case ekVariable: value = e.Variable != nullptr ? e.Variable->Value : 0; return true;
    case ekPositionSong: value = static_cast<long double>(at_.Position); return e.Left == nullptr;
    // The values of the current key, as Query gives them.
    case ekKeyName: value = k.KeyName; return e.Left == nullptr;
    case ekKeyNumber: value = k.KeyNumber; return e.Left == nullptr;
    case ekKeyCount: value = k.KeyCount; return e.Left == nullptr;
    default: break;
  }
  if (e.Left != nullptr || !PlainQuery(e.Kind)) {
    return false;
  }
  value = Query(e.Kind, nullptr);
  return true;
}

// Most expressions of a tick are a leaf, or a sum, difference or product of two: those
// are worked out here; the rest, and whatever a block argument asks for inside another
// evaluation (where the evaluator counts the depth), goes to the expression evaluator.
long double THandlerExecution::EvaluateTree(const TExpressionNode* e) {
  if (at_.Depth != 0) {
    return EvaluateExpression(e, at_, tick_.Errors);
  }
  long double value = 0;
  if (e != nullptr && ReadLeaf(*e, value)) {
    return value;
  }
  if (e != nullptr && e->Kind == ekOperator && e->Left != nullptr && e->Right != nullptr &&
      e->More.empty() && (e->Op == opAdd || e->Op == opSubtract || e->Op == opMultiply)) {
    long double left = 0;
    long double right = 0;
    if (ReadLeaf(*e->Left, left) && ReadLeaf(*e->Right, right)) {
      return e->Op == opAdd ? left + right : e->Op == opSubtract ? left - right : left * right;
    }
  }
  return EvaluateExpression(e, at_, tick_.Errors);
}

void THandlerExecution::PlaceText(const std::string& text, bool onlyIfEmpty) {
  tick_.Errors.Update([&](TErrors& e) {
    if (!onlyIfEmpty || e.Text.empty()) {
      e.Text = text;
    }
  });
}



// ---- Control statements --------------------------------------------------------

// while C do Body endwhile: the condition is rounded (0.4 is false).
TStatementFlow THandlerExecution::While(const TProgramNode& s) {
  TStatementFlow flow = TStatementFlow::kGoOn;
  while (!Aborted() && Step()) {
    if (RoundHalfEven(Evaluate(s.ExprA.get())) <= 0 || Failed()) {
      break;
    }
    if (!RunList(s.Body)) {
      flow = TStatementFlow::kEndList;
      break;
    }
  }
  if (Failed()) {
    PlaceText(WordText(146, "!", "в условии оператора While!"), true);
  }
  return flow;
}

// evry P [offset O] do Body endevry: the body runs when the tick (less the offset) is a
// multiple of the period. The period is evaluated once; 0 is error 4, a negative period
// never runs.
TStatementFlow THandlerExecution::Evry(const TProgramNode& s) {
  if (s.Body == nullptr || s.ExprA == nullptr) {
    return TStatementFlow::kGoOn;
  }
  TStatementFlow flow = TStatementFlow::kGoOn;
  const int64_t period = RoundHalfEven(Evaluate(s.ExprA.get()));
  if (!Failed() && period > 0) {
    int64_t since = tick_.Position;
    if (s.ExprB != nullptr) {
      since = RoundHalfEven(static_cast<long double>(tick_.Position) - Evaluate(s.ExprB.get()));
    }
    if (!Failed() && since % period == 0 && !RunList(s.Body)) {
      flow = TStatementFlow::kBreak;
    }
  } else if (!Failed() && period == 0) {
    tick_.Errors.Update([](TErrors& e) { e.Code = 4; });
  }
  if (Failed()) {
    PlaceText(WordText(2144, "!", "в параметрах оператора Evry!"), true);
  }
  return flow;
}

// for V = A to B do Body endfor: both bounds evaluated once, before the loop.
TStatementFlow THandlerExecution::For(const TProgramNode& s) {
  const long double first = Evaluate(s.ExprA.get());
  const long double last = Evaluate(s.ExprB.get());
  TStatementFlow flow = TStatementFlow::kGoOn;
  if (!Failed() && s.Ref != nullptr) {
    const long double before = s.Ref->Value;  // what later ticks see is the last value
    const int64_t from = RoundHalfEven(first);
    const int64_t to = RoundHalfEven(last);
    for (int64_t i = from; i <= to && !Aborted() && Step(); ++i) {
      s.Ref->Value = static_cast<long double>(i);
      if (!RunList(s.Body)) {
        flow = TStatementFlow::kEndList;
        break;
      }
      if (i == to) {
        break;  // i + 1 would overflow at the largest bound
      }
    }
    if (!(s.Ref->Value == before)) {
      tick_.StateChanged = true;
    }
  }
  if (Failed()) {
    const std::string name = s.Ref != nullptr ? s.Ref->Name : std::string();
    const std::string text =
        LangStr(143) != "???" && LangStr(142) != "???"
            ? LangStr(143) + " " + LangStr(142) + " " + name + "!"
            : Utf8ToCp1251("в одном из выражений цикла для переменной ").Text + name + "!";
    PlaceText(text, true);
  }
  return flow;
}

// let V = E, or let R[I] = E (the index taken as |Round(I)| mod 128).
void THandlerExecution::Let(const TProgramNode& s) {
  if (s.Ref != nullptr) {
    Store(s.Ref->Value, Evaluate(s.ExprA.get()));
    if (Failed()) {
      PlaceText(NamedText(142, "для переменной ", s.Ref->Name), true);
    }
    return;
  }
  if (s.Arr == nullptr) {
    return;
  }
  const int64_t index = RoundHalfEven(Evaluate(s.ExprB.get()));
  const size_t slot = static_cast<size_t>(index < 0 ? -(index % 128) : index % 128);
  Store(s.Arr->Values[slot], Evaluate(s.ExprA.get()));
  if (Failed()) {
    PlaceText(NamedText(144, "для массива ", s.Arr->Name), true);
  }
}

// One branch of an if-group: a true condition runs the body (if any) and skips the
// rest of the group; a false one goes on with the next branch.
TStatementFlow THandlerExecution::If(const TProgramNode& s, PProgram& next) {
  if (s.ExprA == nullptr) {
    return TStatementFlow::kGoOn;
  }
  TStatementFlow flow = TStatementFlow::kGoOn;
  if (Evaluate(s.ExprA.get()) > 0 && !Failed()) {
    if (!RunList(s.Body)) {
      flow = TStatementFlow::kBreak;
    }
    next = s.GroupEnd;
  }
  if (Failed()) {
    PlaceText(WordText(2145, "!", "в условии!"), true);
  }
  return flow;
}

// A time block: the body runs on every tick of A..B, or on the single tick A.
TStatementFlow THandlerExecution::Segment(const TProgramNode& s) {
  if (s.Body == nullptr || s.ExprA == nullptr) {
    return TStatementFlow::kGoOn;
  }
  // The block "positionsong" that runs a track's own lines runs at every tick.
  const TExpressionNode& a = *s.ExprA;
  bool runs = a.Kind == ekPositionSong && a.Left == nullptr && s.ExprB == nullptr;
  if (!runs) {
    const long double position = static_cast<long double>(tick_.Position);
    const long double first = Evaluate(s.ExprA.get());
    if (s.ExprB != nullptr && position >= first && !Failed()) {
      runs = position <= Evaluate(s.ExprB.get());
    }
    if (!runs) {
      runs = static_cast<int64_t>(tick_.Position) == RoundHalfEven(first);
    }
  }
  TStatementFlow flow = TStatementFlow::kGoOn;
  if (runs && !Failed() && !RunList(s.Body)) {
    flow = TStatementFlow::kBreak;
  }
  if (Failed()) {
    PlaceText(WordText(2146, "!", "во временном блоке!"), true);
  }
  return flow;
}

// perform B A1; A2 ...: runs the named block in a new frame; a break inside ends only
// the block. Nesting deeper than kMaxPerformDepth is kErrorPerformTooDeep.
void THandlerExecution::Perform(const TProgramNode& s) {
  const long double v = Evaluate(s.ExprA.get());
  if (Failed() || v < 0) {
    return;
  }
  const int64_t index = RoundHalfEven(v);
  const std::vector<std::string>& strings = GHandlerCompile.Strings;
  if (index < 0 || static_cast<uint64_t>(index) >= strings.size()) {
    return;
  }
  const std::string& name = strings[static_cast<size_t>(index)];
  const PBlock block = FindBlockByName(name, runtime_.Program.Blocks);
  if (block == nullptr || block->Tree == nullptr) {
    return;
  }
  if (frameCount_ > kMaxPerformDepth) {
    tick_.Errors.Update([&](TErrors& e) {
      e.Code = kErrorPerformTooDeep;
      e.Text = "perform " + name;
    });
    return;
  }
  PushFrame(&s.Args, CurrentRun());
  RunList(block->Tree);
  PopFrame();
}

// ---- Entry points --------------------------------------------------------------

bool RunHandlerStatements(PProgram first, THandlerTick& tick) {
  if (first == nullptr) {
    return true;
  }
  THandlerExecution run(tick);
  return run.RunList(first);
}

bool RunHandlerBlock(const TBlockFrame& block, PProgram program, THandlerTick& tick) {
  if (program == nullptr) {
    return true;
  }
  THandlerExecution run(tick);
  return run.RunInBlock(block, program);
}
