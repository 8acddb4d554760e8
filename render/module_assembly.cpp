#include "render/module_assembly.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <numbers>
#include <optional>

#include "handler/handler_normalizer.h"
#include "handler/module_file.h"
#include "settings/lang_texts.h"
#include "feedback/message_box.h"
#include "base/note_arithmetic.h"
#include "model/plugin_hooks.h"
#include "platform/codec1251.h"
#include "platform/paths.h"
#include "platform/text_lines.h"
#include "render/handler_midi_files.h"
#include "handler/handler_names.h"
#include "render/note_events.h"
#include "render/render_globals.h"
#include "render/render_state.h"
#include "settings/plugins.h"
#include "settings/settings.h"

namespace {

constexpr uint8_t kSourceHandler = esHandler;
constexpr uint8_t kSourceMusic = esMusic;
constexpr uint8_t kSourceModule = esModule;
constexpr uint8_t kInfoBox = 1;
constexpr const char* kLibraryFile = "qem.blk";

int SafeTicksPerMeasure(int ticksPerMeasure) { return ticksPerMeasure > 0 ? ticksPerMeasure : 1; }

// A time signature a/b in voice v: the whole note takes the measure's share it now has.
void ApplyLabelSignature(uint16_t v, const TSignatureRec& sig) {
  if (sig.Numerator == 0 || sig.Denominator == 0 || VoiceBeats[v] == 0 || VoiceBeatValue[v] == 0) {
    return;
  }
  const long double oldShare = static_cast<long double>(VoiceBeats[v]) / VoiceBeatValue[v];
  const long double newShare = static_cast<long double>(sig.Numerator) / sig.Denominator;
  VoiceWholeNoteTicks[v] = VoiceWholeNoteTicks[v] / newShare * oldShare;
  VoiceBeats[v] = sig.Numerator;
  VoiceBeatValue[v] = sig.Denominator;
}

std::string LowerLabel(const std::string& label) {
  std::string s = label;
  std::transform(s.begin(), s.end(), s.begin(), LowerCp1251);
  return s;
}

// 0, or the error a label gives: 12 when it already names a constant (and is no variable,
// array or word of the language), 11 when it is not made of letters, or letters and digits.
uint8_t CheckLabel(const std::string& label, const THandlerProgram& program) {
  if (FindConstant(label, program.Constants).Scope != "-") {
    TErrorRecord scratch;  // IsReservedWord reports into it; the label is not reported so
    const bool other = FindVariable(label, program.Variables) != nullptr ||
                       FindArray(label, program.Arrays) != nullptr ||
                       IsReservedWord(label, scratch);
    if (!other) {
      return kErrorLabelDefined;
    }
  }
  const uint8_t cls = ClassifyText(label);
  return (cls == 1 || cls == 3) ? 0 : kErrorLabelName;
}

// Handler source of one compilation and where its parts begin (line numbers 1-based).
struct TAssembledSource {
  std::vector<std::string> Lines;
  size_t LibraryLines = 0;  // lines of the block library at the start
  size_t AheadLines = 0;    // library and plug-in lines ahead of the control track's lines
  size_t CommonLines = 0;   // the control track's lines
};

void AppendLines(std::vector<std::string>& to, const std::vector<std::string>& from) {
  to.insert(to.end(), from.begin(), from.end());
}

// Lines the menu plug-ins that provide blocks add.
void AppendPluginBlocks(std::vector<std::string>& lines) {
  for (const PModulDll& module : MenuModules) {
    if (module && module->Info.ProvidesBlocks && module->Info.Handle != 0 &&
        module->InsertBLKModule) {
      module->InsertBLKModule(RenderRun().TrackCount, lines);
    }
  }
}

bool HasInitializeHandler(const TCompileSong& song) {
  return song.FormatModule && song.FormatModule->InitializeHandler;
}

// True when the track's source begins with the block library.
bool UsesLibrary(const TCompileSong& song, TTreck& track) {
  return RuntimeOf(*song.ControlTrack).UsesBlockLibrary || RuntimeOf(track).UsesBlockLibrary;
}

// The error of a block library that a track needs and that cannot be read: code 19 in
// the module "qem.blk", with the path looked at; a library that is no regular file says so.
void SetLibraryMissing() {
  const std::string path =
      (std::filesystem::path(ProgramDir) / "Resources" / kLibraryFile).string();
  const TModuleFileRead read =
      ReadModuleFile(FindModuleFile("Resources", kLibraryFile), Utf8ToCp1251(path).Text);
  GErrors.Update([&](TErrors& e) {
    e.Code = read.Lines ? 19 : read.Code;  // a library that came back meanwhile: as before
    e.Text = read.Lines ? Utf8ToCp1251(path).Text : read.Detail;
    e.Source = kSourceModule;
    e.Module = kLibraryFile;
    e.ModuleLine = 0;
  });
}

// The source of a music track: library (when asked for), plug-in blocks, the control
// track's lines, "positionsong", the track's own lines.
TAssembledSource AssembleTrackSource(const TCompileSong& song, TTreck& track,
                                     const std::vector<std::string>& library,
                                     const std::vector<std::string>& common) {
  TAssembledSource s;
  if (UsesLibrary(song, track)) {
    AppendLines(s.Lines, library);
  }
  s.LibraryLines = s.Lines.size();
  AppendPluginBlocks(s.Lines);
  s.AheadLines = s.Lines.size();
  AppendLines(s.Lines, common);
  s.CommonLines = common.size();
  if (HasInitializeHandler(song)) {
    song.FormatModule->InitializeHandler(&track, s.Lines);
  } else {
    s.Lines.push_back("positionsong");
    AppendLines(s.Lines, track.HandlerLines);
  }
  track.HandlerLines.clear();
  return s;
}

void ClearForCompile() {
  GErrors.Update([](TErrors& e) {
    e.Code = 0;
    e.Module.clear();
    e.Measure = 0;
    e.ModuleLine = 0;
    e.Source = kSourceHandler;
    e.Track = -1;
    e.RunningTrack = -1;
  });
}

// Where line `line` (1-based) of an assembled source was written.
TStatementPlace PlaceOfLine(size_t line, const TAssembledSource& s) {
  TStatementPlace place;
  if (line <= s.LibraryLines) {
    place.Line = static_cast<uint16_t>(line);
    place.Module = kLibraryFile;
  } else if (line <= s.AheadLines + s.CommonLines) {
    place.Line =
        static_cast<uint16_t>(line > s.AheadLines ? line - s.AheadLines : line - s.LibraryLines);
    place.ControlText = true;
  } else {
    place.Line = static_cast<uint16_t>(line - s.AheadLines - s.CommonLines - 1);
  }
  return place;
}

// The statements compiled from `s` (nodes `from` on) get the place in the text that holds
// them; those of module files keep theirs.
void PlaceStatements(THandlerProgram& program, size_t from, const TAssembledSource& s) {
  for (size_t i = from; i < program.NodeCount(); ++i) {
    TStatementPlace& place = program.Node(i).Place;
    if (place.Module.empty()) {
      place = PlaceOfLine(place.Line, s);
    }
  }
}

// Compiles `source` into `track`'s program after its labels are registered.
void CompileOne(const TCompileSong& song, TTreck& track, const TAssembledSource& source,
                uint16_t voice, int firstVoice) {
  TTrackRuntime& rt = RuntimeOf(track);
  TTreck& control = *song.ControlTrack;
  ResetVoiceTables(firstVoice, song.TicksPerMeasure);
  GHandlerCompile.ScopePath.clear();
  const TNoteRec* notes = track.NoteList ? track.NoteList->First : nullptr;
  if (RegisterNoteLabels(rt.Program, notes, voice, 0, song.TicksPerMeasure, GErrors) != 0) {
    return;
  }
  TSongMidiFiles midiFiles(RuntimeOf(control).HandlerMidiFiles);
  THandlerCompileInput input;
  input.Program = &rt.Program;
  input.ControlProgram = &RuntimeOf(control).Program;
  input.SecondProgram = control.Next != nullptr ? &RuntimeOf(*control.Next).Program : nullptr;
  input.MidiFiles = &midiFiles;
  input.SongFile = song.SongName;
  const size_t firstNode = rt.Program.NodeCount();
  CompileHandlerProgram(input, 1, source.Lines, rt.Program.ProgramTree, "get");
  PlaceStatements(rt.Program, firstNode, source);
  track.TrackLength = GSongLength.load();
}

// Labels and length only, for a track that is not compiled.
void RegisterOnly(const TCompileSong& song, TTreck& track) {
  ResetVoiceTables(1, song.TicksPerMeasure);
  GHandlerCompile.ScopePath.clear();
  const TNoteRec* notes = track.NoteList ? track.NoteList->First : nullptr;
  RegisterNoteLabels(RuntimeOf(track).Program, notes, 1, 0, song.TicksPerMeasure, GErrors);
  track.TrackLength = GSongLength.load();
}

// Moves a handler error's line from the assembled source to the text that holds it.
// Returns the track whose text holds it (nullptr for the block library).
PTreck PlaceHandlerError(const TCompileSong& song, TTreck& track, const TAssembledSource& s) {
  PTreck holder = nullptr;
  GErrors.Update([&](TErrors& e) {
    const TStatementPlace place = PlaceOfLine(e.ModuleLine, s);
    e.ModuleLine = place.Line;
    if (!place.Module.empty()) {
      e.Source = kSourceModule;
      e.Module = place.Module;
      return;
    }
    holder = place.ControlText ? song.ControlTrack : &track;
    e.Track = RuntimeOf(*holder).TrackIndex;
  });
  return holder;
}

// A label error of `track`'s walk, whose voice 1 is the control track's line: a voice
// above 1 is the track's own voice (one less), voice 1 the control track's. The window
// and the error record are pointed at that track, voice and measure.
void PlaceLabelError(TCompileSong& song, TTreck& track) {
  song.ErrorMeasure = static_cast<int32_t>(GErrors.Get().Measure);
  GErrors.Update([&](TErrors& e) {
    PTreck holder = song.ControlTrack;
    if (e.Voice > 1) {
      e.Voice -= 1;
      holder = &track;
    }
    e.ModuleLine = RuntimeOf(*holder).TrackIndex;
    holder->Voice = e.Voice;
    song.ShownTrack = holder;
  });
}

// After an error in `track`: shows where it lies, drops the song's render state.
void HandleCompileError(TCompileSong& song, TTreck& track, const TAssembledSource* source) {
  song.Current = &track;
  const TErrors e = GErrors.Get();
  if (e.Source == kSourceHandler && source != nullptr) {
    if (PTreck holder = PlaceHandlerError(song, track, *source)) {
      song.ShownTrack = holder;
    }
    if (song.ShowTrack) {
      song.ShowTrack();
    }
  } else if (e.Source == kSourceMusic) {
    PlaceLabelError(song, track);
  }
  GPrepareAgain = true;
  ResetSongRenderState(song.ControlTrack);
}

// Compiles the control track: the library and its own lines, labels of its first voice.
// Returns the source it compiled.
TAssembledSource CompileControlTrack(TCompileSong& song, const std::vector<std::string>& library,
                                     const std::vector<std::string>& common) {
  TTreck& control = *song.ControlTrack;
  TAssembledSource s;
  s.Lines = library;
  s.LibraryLines = s.AheadLines = library.size();
  AppendLines(s.Lines, common);
  s.CommonLines = common.size();
  CompileOne(song, control, s, 0, 0);
  if (GErrors.Code() != 0) {
    LangMessageBox(LangStrOr(216, "Ошибка программы") + "!", kInfoBox);
  }
  return s;
}

// True when `track` plays in this render (and so is compiled).
bool TakesPart(const TCompileSong& song, const TTreck& track) {
  const TTreck& control = *song.ControlTrack;
  if (&track == control.Next) {
    return true;  // the second track always plays: it carries the song's first voice
  }
  if (RenderRun().Voice == 0) {
    return (track.Enabled && !control.Solo) || track.Solo;
  }
  return &track == song.ShownTrack;
}

}  // namespace

void ResetVoiceTables(int firstVoice, int ticksPerMeasure) {
  for (int v = std::max(firstVoice, 0); v < kVoiceCount; ++v) {
    VoiceWholeNoteTicks[v] = SafeTicksPerMeasure(ticksPerMeasure);
    VoiceBeats[v] = 4;
    VoiceBeatValue[v] = 4;
  }
}

void DefinePredefinedConstants(PTreck track, int ticksPerMeasure) {
  for (PTreck t = track; t != nullptr; t = t->Next) {
    TTrackRuntime& rt = RuntimeOf(*t);
    DefineConstant(rt.Program.Constants, "pi", std::numbers::pi_v<long double>);
    DefineConstant(rt.Program.Constants, "tact", ticksPerMeasure);
    DefineConstant(rt.Program.Constants, "numticks", ticksPerMeasure);
    DefineConstant(rt.Program.Constants, "true", 127);
    DefineConstant(rt.Program.Constants, "false", 0);
    rt.VoiceWholeTicks.fill(static_cast<long double>(ticksPerMeasure));
  }
}

uint8_t RegisterNoteLabels(THandlerProgram& program, const TNoteRec* notes, uint16_t voice,
                           long double start, int ticksPerMeasure, TErrorRecord& errors) {
  const uint16_t v = std::min<uint16_t>(voice, kVoiceCount - 1);
  long double t = start;
  uint8_t result = 0;
  for (const TNoteRec* n = notes; n != nullptr && result == 0; n = n->Next) {
    if (n->Signature) {
      ApplyLabelSignature(v, *n->Signature);
    }
    if (n->VoiceChain != nullptr && v != 0 && v + 1 < kVoiceCount) {
      result = RegisterNoteLabels(program, n->VoiceChain, v + 1, t, ticksPerMeasure, errors);
      if (result != 0) {
        break;
      }
    }
    if (n->LabelText) {
      const std::string label = LowerLabel(*n->LabelText);
      result = CheckLabel(label, program);
      if (result != 0) {
        errors.Update([&](TErrors& e) {
          e.Code = result;
          e.Text = label;
          e.Source = kSourceMusic;
          e.Voice = static_cast<uint8_t>(std::max<uint16_t>(v, 1));
          e.Measure =
              static_cast<uint32_t>(std::floor(t / SafeTicksPerMeasure(ticksPerMeasure))) + 1;
        });
        return result;
      }
      DefineConstant(program.Constants, label, t);
    }
    t += NoteTicks(*n, VoiceWholeNoteTicks[v]);
  }
  const long double end = std::clamp<long double>(std::floor(t), 0, 4.0e9L);
  if (end >= GSongLength.load()) {
    GSongLength = static_cast<uint32_t>(end);
  }
  return result;
}

std::optional<std::vector<std::string>> LoadBlockLibrary() {
  std::optional<std::filesystem::path> dir =
      FindInFolder(std::filesystem::path(ProgramDir), "Resources");
  std::optional<std::filesystem::path> file = dir ? FindInFolder(*dir, kLibraryFile) : std::nullopt;
  std::optional<std::vector<std::string>> lines = file ? ReadTextLines(*file) : std::nullopt;
  if (!lines) {
    return std::nullopt;
  }
  return NormalizeProgramLines(*lines);
}

bool CompileTrackModules(TCompileSong& song) {
  ResetHandlerCompileContext();
  GHandlerCompile.Stop = song.Stop;
  const struct TStopLeft {
    ~TStopLeft() { GHandlerCompile.Stop = nullptr; }
  } stopLeft;
  if (song.ControlTrack == nullptr) {
    return true;
  }
  if (song.FormatModule && song.FormatModule->InitialPrograms) {
    TErrors e = GErrors.Get();
    const bool done = song.FormatModule->InitialPrograms(
        song.ControlTrack, song.Current, song.ShownTrack, song.SongName, song.TicksPerMeasure,
        song.ErrorMeasure, song.WindowValueA, song.WindowValueB, e);
    GErrors.Set(e);
    if (done) {
      return true;
    }
  }
  TTreck& control = *song.ControlTrack;
  DefinePredefinedConstants(&control, song.TicksPerMeasure);
  GSongLength = 0;
  long double longest = 0;
  const std::optional<std::vector<std::string>> loaded =
      control.HandlerOn ? LoadBlockLibrary() : std::nullopt;
  const bool libraryMissing = control.HandlerOn && !loaded;
  const std::vector<std::string> library = loaded.value_or(std::vector<std::string>());
  std::vector<std::string> common;
  if (HasInitializeHandler(song)) {
    song.FormatModule->InitializeHandler(&control, common);
  } else {
    common = control.HandlerLines;
  }
  control.HandlerLines.clear();
  for (TMidiPlayerSlot& slot : RuntimeOf(control).MidiPlayers) {
    slot.EventData = nullptr;
  }
  bool controlCompiled = false;
  for (PTreck t = control.Next; t != nullptr; t = t->Next) {
    song.Current = t;
    ClearForCompile();
    std::optional<TAssembledSource> source;
    if (TakesPart(song, *t) && t->HandlerOn && control.HandlerOn) {
      if (libraryMissing && UsesLibrary(song, *t)) {
        SetLibraryMissing();
        HandleCompileError(song, *t, nullptr);
        return false;
      }
      source = AssembleTrackSource(song, *t, library, common);
      CompileOne(song, *t, *source, 1, 1);
      if (!controlCompiled && GErrors.Code() == 0) {
        controlCompiled = true;
        const TAssembledSource controlSource = CompileControlTrack(song, library, common);
        if (GErrors.Code() != 0) {
          HandleCompileError(song, control, &controlSource);
          return false;
        }
      }
    } else {
      RegisterOnly(song, *t);
    }
    if (GErrors.Code() != 0) {
      HandleCompileError(song, *t, source ? &*source : nullptr);
      return false;
    }
    if (HandlerCompileStopped()) {
      return false;
    }
    longest = std::max(longest, t->TrackLength);
  }
  longest = std::max<long double>(longest, GSongLength.load());
  for (PTreck t = &control; t != nullptr; t = t->Next) {
    t->TrackLength = longest;
  }
  return true;
}
