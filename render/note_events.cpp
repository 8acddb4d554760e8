#include "render/note_events.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "handler/handler_normalizer.h"
#include "base/note_arithmetic.h"
#include "handler/handler_expression.h"
#include "handler/handler_names.h"
#include "render/render_globals.h"
#include "settings/lang_texts.h"

namespace {

constexpr uint8_t kErrorSourceMusic = 2;
// "Блок: " in code page 1251.
const std::string kBlockTextPrefix = "\xC1\xEB\xEE\xEA: ";

int SafeTicksPerMeasure(int ticksPerMeasure) { return ticksPerMeasure > 0 ? ticksPerMeasure : 1; }

uint32_t MeasureOf(long double tick, int ticksPerMeasure) {
  const long double m = std::floor(tick / SafeTicksPerMeasure(ticksPerMeasure)) + 1;
  return m < 1 ? 1u : static_cast<uint32_t>(std::min<long double>(m, 4.0e9L));
}

PTreck HeadOf(TTreck& track) {
  PTreck t = &track;
  while (t->Prev != nullptr) {
    t = t->Prev;
  }
  return t;
}

// Fills the place of a music-text error found at `tick` in voice list `voice` of `track`:
// the track's own voice, or voice 1 of the control track for its line (voice list 0).
void PlaceMusicError(TErrorRecord& errors, TTreck& track, uint8_t voice, long double tick,
                     int ticksPerMeasure) {
  const TTrackRuntime& holder = RuntimeOf(voice == 0 ? *HeadOf(track) : track);
  errors.Update([&](TErrors& e) {
    e.Source = kErrorSourceMusic;
    e.Measure = MeasureOf(tick, ticksPerMeasure);
    e.Voice = std::max<uint8_t>(voice, 1);
    e.ModuleLine = holder.TrackIndex;
    e.Module.clear();
  });
}

void SetMusicError(TErrorRecord& errors, uint8_t code, const std::string& text, TTreck& track,
                   uint8_t voice, long double tick, int ticksPerMeasure) {
  errors.Update([&](TErrors& e) {
    e.Code = code;
    e.Text = text;
  });
  PlaceMusicError(errors, track, voice, tick, ticksPerMeasure);
}

// A new time signature a/b in voice v keeps the measure's length in ticks: the whole note
// is rescaled by the old signature over the new one. A signature with a 0 is ignored.
void ApplyVoiceSignature(TTrackRuntime& rt, uint8_t v, const TSignatureRec& sig) {
  if (sig.Numerator == 0 || sig.Denominator == 0 || rt.VoiceBeats[v] == 0 ||
      rt.VoiceBeatValue[v] == 0) {
    return;
  }
  const long double oldShare = static_cast<long double>(rt.VoiceBeats[v]) / rt.VoiceBeatValue[v];
  const long double newShare = static_cast<long double>(sig.Numerator) / sig.Denominator;
  rt.VoiceWholeTicks[v] = rt.VoiceWholeTicks[v] / newShare * oldShare;
  rt.VoiceBeats[v] = sig.Numerator;
  rt.VoiceBeatValue[v] = sig.Denominator;
}

// The transposition sign of a note sets the transposition it gives (128 + semitones).
void ApplyTranspositionSign(TTrackRuntime& rt, const TNoteRec& note, TQueueEntry& e) {
  if (note.Transposition == kNoTransposition) {
    return;
  }
  e.Flags &= static_cast<uint8_t>(~kQueueTranspositionPending);
  rt.Transpose = static_cast<int32_t>(note.Transposition) - kNoTranspositionSign;
  rt.TranspositionSign = note.Transposition;
}

// True when the handlers of `track` and of the control track are on and `track` is not
// the control track: only then do notes start blocks.
bool NotesStartBlocks(TTreck& track) {
  PTreck head = HeadOf(track);
  return head != &track && track.HandlerOn && head->HandlerOn;
}

void ApplyVoicePartText(TTreck& track, TTrackRuntime& rt, TQueueEntry& e, long double tick,
                        int ticksPerMeasure, TErrorRecord& errors) {
  const TNoteRec& note = *e.Note;
  if (!note.AttachedText || e.Voice < 1 || HeadOf(track) == &track) {
    return;
  }
  e.Flags &= static_cast<uint8_t>(~kQueuePartsPending);
  std::string rest = ApplyVoicePartPrefixes(*note.AttachedText, e.Voice, rt);
  if (!rest.empty()) {
    SetMusicError(errors, kErrorVoicePart, rest, track, e.Voice, tick, ticksPerMeasure);
  }
}

// Applies the commands written with the entry's note as `which` allows.
void ApplyNoteCommands(TTreck& track, TQueueEntry& e, long double tick, int ticksPerMeasure,
                       TErrorRecord& errors, TNoteCommands which) {
  TTrackRuntime& rt = RuntimeOf(track);
  const TNoteRec& note = *e.Note;
  ApplyTranspositionSign(rt, note, e);
  if (which == TNoteCommands::All && note.BlockText && NotesStartBlocks(track)) {
    e.Flags &= static_cast<uint8_t>(~kQueueBlocksPending);
    const uint32_t at = static_cast<uint32_t>(std::clamp<long double>(tick, 0, 4.0e9L));
    if (!StartNoteBlocks(track, note, e.Voice, at, ticksPerMeasure, errors)) {
      return;
    }
  }
  ApplyVoicePartText(track, rt, e, tick, ticksPerMeasure, errors);
}

// The entry takes `note` as the note that begins now in its voice: signature, length,
// flags, next note.
void TakeNote(TTrackRuntime& rt, TQueueEntry& e, TNoteRec* note) {
  e.Note = note;
  if (note->Signature) {
    ApplyVoiceSignature(rt, e.Voice, *note->Signature);
  }
  e.Length = NoteTicks(*note, rt.VoiceWholeTicks[e.Voice]);
  e.Remaining += e.Length;
  note->Time = e.Length;
  e.Flags = kQueueAllPending;
  e.StartsNow = true;
  rt.HighestVoice = std::max<uint16_t>(rt.HighestVoice, e.Voice);
}

// The note after the current one of every voice that has one.
void RefreshNextNotes(TTrackRuntime& rt) {
  rt.NextNotes.fill(nullptr);
  for (const TQueueEntry& e : rt.NoteQueue) {
    if (e.Note != nullptr) {
      rt.NextNotes[e.Voice] = e.Note->Next;
    }
  }
}

// A new entry for voice `voice` in voice order (after the entries of lower or equal voice).
std::list<TQueueEntry>::iterator InsertEntry(std::list<TQueueEntry>& queue, uint8_t voice) {
  auto at = std::find_if(queue.begin(), queue.end(),
                         [voice](const TQueueEntry& q) { return q.Voice > voice; });
  TQueueEntry e;
  e.Voice = voice;
  return queue.insert(at, e);
}

// Queues the further voice lists that hang on `head` (a first note of voice 1 of a
// measure) and applies their first notes' commands. `tick` is where they begin.
void QueueFurtherVoices(TTreck& track, const TNoteRec& head, uint8_t voice, long double tick,
                        int ticksPerMeasure, TErrorRecord& errors, TNoteCommands which) {
  TTrackRuntime& rt = RuntimeOf(track);
  uint8_t v = voice;
  for (TNoteRec* n = head.VoiceChain; n != nullptr && errors.Code() == 0; n = n->VoiceChain) {
    if (v + 1 >= kVoiceCount) {
      break;
    }
    ++v;
    auto e = InsertEntry(rt.NoteQueue, v);
    TakeNote(rt, *e, n);
    ApplyNoteCommands(track, *e, tick, ticksPerMeasure, errors, which);
  }
}

// Moves one voice on while its note has run out. `tick` is where the following notes
// begin. Returns the entry after it (the entry is removed when its voice has ended).
std::list<TQueueEntry>::iterator MoveVoiceOn(TTreck& track, std::list<TQueueEntry>::iterator e,
                                             long double tick, int ticksPerMeasure,
                                             TErrorRecord& errors, TNoteCommands which) {
  TTrackRuntime& rt = RuntimeOf(track);
  while (e->Note != nullptr && e->Remaining <= 0 && errors.Code() == 0) {
    TNoteRec* done = e->Note;
    rt.PriorNotes[e->Voice] = done;
    if (done->Next == nullptr) {
      e->Note = nullptr;
      break;
    }
    TakeNote(rt, *e, done->Next);
    ApplyNoteCommands(track, *e, tick, ticksPerMeasure, errors, which);
    if (e->Voice == 0 && e->Note->VoiceChain != nullptr) {
      QueueFurtherVoices(track, *e->Note, e->Voice, tick, ticksPerMeasure, errors, which);
    }
  }
  if (e->Note == nullptr) {
    return rt.NoteQueue.erase(e);
  }
  return std::next(e);
}

// Splits a block-call text into its calls.
std::vector<std::string> SplitCalls(const std::string& text) {
  std::vector<std::string> calls;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t sep = text.find(".)", start);
    const std::string call =
        text.substr(start, sep == std::string::npos ? std::string::npos : sep - start);
    if (!call.empty()) {
      calls.push_back(call);
    }
    if (sep == std::string::npos) {
      break;
    }
    start = sep + 2;
  }
  return calls;
}

// The argument pieces of a call: cut at "." and ";"; an empty piece is "0".
std::vector<std::string> SplitArguments(const std::string& text) {
  std::vector<std::string> pieces(1);
  for (char c : text) {
    if (c == '.' || c == ';') {
      pieces.emplace_back();
    } else {
      pieces.back() += c;
    }
  }
  for (std::string& p : pieces) {
    p = NormalizeHandlerLine(p);
    if (p.empty()) {
      p.push_back('0');
    }
  }
  return pieces;
}

// Compiles the arguments at the track's top scope ("get").
bool CompileArguments(const std::string& text, const THandlerProgram& program,
                      std::vector<PExpression>& args, TErrorRecord& errors) {
  const std::vector<std::string> savedPath = GHandlerCompile.ScopePath;
  GHandlerCompile.ScopePath.assign(1, "get");
  for (const std::string& piece : SplitArguments(text)) {
    uint8_t usesVariables = 0;
    PExpression tree = ParseExpression(piece, usesVariables, program, errors);
    if (errors.Code() != 0) {
      break;
    }
    args.push_back(std::move(tree));
  }
  GHandlerCompile.ScopePath = savedPath;
  return errors.Code() == 0;
}

// Starts one call of a note's block text.
bool StartCall(TTreck& track, const std::string& call, const TNoteRec& note, uint8_t voice,
               uint32_t position, int ticksPerMeasure, TErrorRecord& errors) {
  TTrackRuntime& rt = RuntimeOf(track);
  const size_t colon = call.find(':');
  const std::string name = NormalizeHandlerLine(call.substr(0, colon));
  PBlock block = FindBlockByName(name, rt.Program.Blocks);
  if (block == nullptr || block->IsFunction) {
    SetMusicError(errors, kErrorUnknownBlockCall, LangStrOr(2080, "Блок не найден") + ": " + call,
                  track, voice, position, ticksPerMeasure);
    return false;
  }
  TBlockStart start;
  if (colon != std::string::npos &&
      !CompileArguments(call.substr(colon + 1), rt.Program, start.Args, errors)) {
    PlaceMusicError(errors, track, voice, position, ticksPerMeasure);
    return false;
  }
  if (block->Tree == nullptr) {
    return true;  // an empty block has nothing to run
  }
  if (colon == std::string::npos) {
    GRender.CurrentBlockName = block->Name;
  }
  GRender.BlockLines = block->Params;
  start.Name = call;
  start.Block = block;
  start.Voice = voice;
  start.Key = static_cast<uint8_t>(MidiKeyOf(note.Step, note.Accidental, note.Octave));
  start.StartTick = position;
  StartBlock(rt.ActiveBlocks, std::move(start));
  return true;
}

TActiveBlock MakeActiveBlock(TBlockStart start) {
  TActiveBlock b;
  b.StartTick = start.StartTick;
  b.Key = start.Key;
  b.Voice = start.Voice;
  b.Name = std::move(start.Name);
  b.SecondText = std::move(start.SecondText);
  b.Block = start.Block;
  b.Program = start.Block != nullptr ? start.Block->Tree : nullptr;
  b.Args = std::move(start.Args);
  b.Flag = start.Flag;
  b.Lines = std::move(GRender.BlockLines);
  GRender.BlockLines.clear();
  return b;
}

}  // namespace

long double NoteTicks(const TNoteRec& note, long double wholeTicks) {
  return NoteDuration(note.ValueKind, static_cast<uint8_t>(note.Value), note.Dots, note.Tuplet,
                      wholeTicks);
}

void ResetTrackQueueState(TTreck& track, uint32_t position, int ticksPerMeasure) {
  TTrackRuntime& rt = RuntimeOf(track);
  rt.TranspositionSign = kNoTranspositionSign;
  rt.RestsAsKeys = false;
  rt.MidiPlayers.fill(TMidiPlayerSlot{});
  rt.MidiPlayerCount = 0;
  rt.ActiveBlocks.clear();
  rt.PriorNotes.fill(nullptr);
  rt.NextNotes.fill(nullptr);
  rt.VoiceBeats.fill(4);
  rt.VoiceBeatValue.fill(4);
  rt.VoiceLFlag.fill(0);
  rt.HarmonyParts.fill({0, 0, 0, 0});
  rt.VoiceWholeTicks.fill(static_cast<long double>(SafeTicksPerMeasure(ticksPerMeasure)));
  rt.KeyLength = rt.KeyPosition;
  rt.TrackClock = 0;
  rt.LastEventTick = position;
}

void QueueTrackNotes(PTreck first, TErrorRecord& errors, uint32_t position, int ticksPerMeasure) {
  GRender.Harmony = THarmonyPartState();
  for (PTreck t = first; t != nullptr && errors.Code() == 0; t = t->Next) {
    ResetTrackQueueState(*t, position, ticksPerMeasure);
    TTrackRuntime& rt = RuntimeOf(*t);
    rt.NoteQueue.clear();
    if (!t->NoteList || t->NoteList->First == nullptr) {
      continue;
    }
    TNoteRec* head = t->NoteList->First;
    auto e = InsertEntry(rt.NoteQueue, 0);
    TakeNote(rt, *e, head);
    ApplyNoteCommands(*t, *e, position, ticksPerMeasure, errors, TNoteCommands::All);
    if (errors.Code() == 0) {
      QueueFurtherVoices(*t, *head, 0, position, ticksPerMeasure, errors, TNoteCommands::All);
    }
    RefreshNextNotes(rt);
  }
}

void AdvanceTrackQueue(TTreck& track, long double step, uint32_t position, int ticksPerMeasure,
                       TErrorRecord& errors, TNoteCommands which) {
  TTrackRuntime& rt = RuntimeOf(track);
  bool due = false;  // some voice moves on
  for (TQueueEntry& e : rt.NoteQueue) {
    e.Remaining -= step;
    if (step > 0) {
      e.StartsNow = false;
    }
    due = due || e.Remaining <= 0 || e.Note == nullptr;
  }
  if (!due) {
    return;
  }
  // Entries queued while moving on begin at `position` with their full length.
  bool moved = false;
  auto e = rt.NoteQueue.begin();
  while (e != rt.NoteQueue.end() && errors.Code() == 0) {
    if (e->Remaining <= 0 || e->Note == nullptr) {
      e = MoveVoiceOn(track, e, position, ticksPerMeasure, errors, which);
      moved = true;
    } else {
      ++e;
    }
  }
  if (moved) {
    RefreshNextNotes(rt);  // the following notes change only when a voice moves on
  }
}

bool AnyTrackBehind(PTreck first, uint32_t position) {
  for (PTreck t = first; t != nullptr; t = t->Next) {
    if (t->Runtime && t->Runtime->TrackClock < position) {
      return true;
    }
  }
  return false;
}

bool AnyTrackHasNotes(PTreck first) {
  for (PTreck t = first; t != nullptr; t = t->Next) {
    if (!t->Runtime) {
      continue;
    }
    for (const TQueueEntry& e : t->Runtime->NoteQueue) {
      if (e.Note != nullptr) {
        return true;
      }
    }
  }
  return false;
}

void SeekTracksToPosition(PTreck first, TErrorRecord& errors, uint32_t position,
                          int ticksPerMeasure) {
  const long double target = position;
  while (errors.Code() == 0 && AnyTrackBehind(first, position) && AnyTrackHasNotes(first)) {
    // The step: to the earliest note end of any track, never past the target.
    long double step = static_cast<long double>(SafeTicksPerMeasure(ticksPerMeasure)) * 1000;
    long double behind = 0;
    for (PTreck t = first; t != nullptr; t = t->Next) {
      if (!t->Runtime) {
        continue;
      }
      behind = std::max(behind, target - t->Runtime->TrackClock);
      for (const TQueueEntry& e : t->Runtime->NoteQueue) {
        if (e.Note != nullptr) {
          step = std::min(step, e.Remaining);
        }
      }
    }
    step = std::clamp<long double>(step, 0, behind);
    for (PTreck t = first; t != nullptr && errors.Code() == 0; t = t->Next) {
      if (!t->Runtime || t->Runtime->TrackClock + step > target) {
        continue;
      }
      t->Runtime->TrackClock += step;
      const uint32_t at =
          static_cast<uint32_t>(std::clamp<long double>(t->Runtime->TrackClock, 0, target));
      AdvanceTrackQueue(*t, step, at, ticksPerMeasure, errors, TNoteCommands::WithoutBlocks);
    }
  }
  // A note begins at the target only when none of it has passed.
  for (PTreck t = first; t != nullptr; t = t->Next) {
    if (t->Runtime) {
      for (TQueueEntry& e : t->Runtime->NoteQueue) {
        e.StartsNow = e.Remaining >= e.Length;
      }
    }
  }
}

std::string ApplyVoicePartPrefixes(std::string_view text, uint8_t voice, TTrackRuntime& runtime) {
  if (voice >= kVoiceCount) {
    return std::string(text);
  }
  static constexpr std::string_view kSwitches = "lbtas";  // l flag, then parts 1..4
  while (text.size() >= 2) {
    const size_t which = kSwitches.find(text[0]);
    if (which == std::string_view::npos || (text[1] != '+' && text[1] != '-')) {
      break;
    }
    uint8_t& flag = which == 0 ? runtime.VoiceLFlag[voice] : runtime.HarmonyParts[voice][which - 1];
    const uint8_t wanted = text[1] == '+' ? 1 : 0;
    if (flag == wanted) {
      break;  // a switch to the state in force
    }
    flag = wanted;
    text.remove_prefix(2);
  }
  return std::string(text);
}

TActiveBlock& StartBlock(std::list<TActiveBlock>& list, TBlockStart start) {
  return list.emplace_back(MakeActiveBlock(std::move(start)));
}

TActiveBlock& StartBlockFirst(std::list<TActiveBlock>& list, TBlockStart start) {
  return list.emplace_front(MakeActiveBlock(std::move(start)));
}

bool StartNoteBlocks(TTreck& track, const TNoteRec& note, uint8_t voice, uint32_t position,
                     int ticksPerMeasure, TErrorRecord& errors) {
  if (!note.BlockText) {
    return true;
  }
  for (const std::string& call : SplitCalls(*note.BlockText)) {
    if (!StartCall(track, call, note, voice, position, ticksPerMeasure, errors)) {
      return false;
    }
  }
  return true;
}

void RunActiveBlocks(TTreck& track, uint32_t position, const TBlockRunner& run,
                     TErrorRecord& errors) {
  TTrackRuntime& rt = RuntimeOf(track);
  if (rt.ActiveBlocks.empty()) {
    return;  // most ticks of most tracks: spare the error record's lock and text copies
  }
  const std::string savedText = errors.Get().Text;
  auto b = rt.ActiveBlocks.begin();
  while (b != rt.ActiveBlocks.end() && errors.Code() == 0) {
    const std::string name = b->Block != nullptr ? b->Block->Name : b->Name;
    errors.Update([&](TErrors& e) { e.Text = kBlockTextPrefix + name; });
    if (!b->Begun) {
      b->Begun = true;
      b->BlockTick = position;
    }
    const TBlockFrame frame{&b->Args, b->StartTick, b->BlockTick, b->Key, b->Voice};
    if (!b->Finished && !run(frame, b->Program)) {
      b->Finished = true;
    }
    b = b->Finished ? rt.ActiveBlocks.erase(b) : std::next(b);
  }
  if (errors.Code() == 0) {
    errors.Update([&](TErrors& e) { e.Text = savedText; });
  }
}
