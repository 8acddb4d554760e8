#include "handler/handler_compiler.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <filesystem>
#include <optional>

#include "base/errors.h"
#include "handler/handler_normalizer.h"
#include "base/note_arithmetic.h"
#include "handler/handler_expression.h"
#include "handler/handler_names.h"
#include "handler/module_file.h"
#include "handler/handler_numbers.h"
#include "notation/translator.h"
#include "platform/codec1251.h"
#include "platform/paths.h"
#include "platform/text_lines.h"
#include "settings/lang_texts.h"
#include "settings/settings.h"

namespace {

namespace fs = std::filesystem;
using TLines = std::span<const std::string>;
constexpr size_t kNone = std::string::npos;

// ---- Text tests ----------------------------------------------------------------

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

bool EndsWith(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

// The line starts with `prefix` and holds more after it.
bool HasPrefixAndMore(std::string_view s, std::string_view prefix) {
  return s.size() > prefix.size() && StartsWith(s, prefix);
}

// The text between the first `head` characters and the last `tail` ones (empty when
// they overlap).
std::string_view Between(std::string_view s, size_t head, size_t tail) {
  return s.size() >= head + tail ? s.substr(head, s.size() - head - tail) : std::string_view();
}

bool IsLettersAndDigits(std::string_view name) {
  const int classes = ClassifyText(name);
  return classes == 1 || classes == 3;
}

// ---- Errors ---------------------------------------------------------------------

bool Failed() { return GErrors.Code() != 0; }

void SetError(uint8_t code, std::string text) {
  GErrors.Update([&](TErrors& e) {
    e.Code = code;
    e.Text = std::move(text);
  });
}

// Changes the code of the error set, keeping its text (or `text` when it has none).
void RecodeError(uint8_t code, std::string_view textWhenEmpty) {
  GErrors.Update([&](TErrors& e) {
    e.Code = code;
    if (e.Text.empty()) {
      e.Text = std::string(textWhenEmpty);
    }
  });
}

void SetTextWhenEmpty(std::string_view text) {
  GErrors.Update([&](TErrors& e) {
    if (e.Text.empty()) {
      e.Text = std::string(text);
    }
  });
}

uint16_t LineNumber(int base, size_t index) {
  const long long line = static_cast<long long>(base) + static_cast<long long>(index);
  return static_cast<uint16_t>(std::clamp<long long>(line, 0, 65535));
}

// Errors that carry their own place: the line, no module, a track's handler text.
void SetPlacedError(uint8_t code, std::string text, int base, size_t index) {
  GErrors.Update([&](TErrors& e) {
    e.Code = code;
    e.Text = std::move(text);
    e.ModuleLine = LineNumber(base, index);
    e.Module.clear();
    e.Source = 1;
  });
}

// ---- Files ----------------------------------------------------------------------

// ProgramDir/FOLDER/FILE, each name found whatever its case; nothing when there is no
// such file or the name would leave its folder. `file` is code page 1251 text.
std::optional<fs::path> FindProgramFile(std::string_view folder, std::string_view file) {
  std::optional<fs::path> dir = FindInFolder(fs::path(ProgramDir), folder);
  std::optional<fs::path> found = dir ? FindInFolder(*dir, Cp1251ToUtf8(file)) : std::nullopt;
  std::error_code ec;
  if (found && fs::is_regular_file(*found, ec)) {
    return found;
  }
  return std::nullopt;
}

// The file name part of a path written with "\" or "/".
std::string FileNamePart(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == kNone ? path : path.substr(slash + 1);
}

// ---- Note-effect statements ------------------------------------------------------

// A statement of one or two operands: its keyword, kinds, and how it is written.
struct TEffectForm {
  std::string_view Prefix;
  THandlerStatementKind Kind;
  std::string_view Suffix;             // a trailing word that selects SuffixKind
  THandlerStatementKind SuffixKind;
  bool TwoOperands;                    // "K in E"
};

// ORDER: the note-effect statements in matching order.
constexpr std::array<TEffectForm, 17> kEffectForms = {{
    {"instrument ", skInstrument, "", skInstrument, false},
    {"rest ", skRest, "", skRest, false},
    {"forshlag ", skForshlag, "", skForshlag, false},
    {"mordento ", skMordento, "", skMordento, false},
    {"pitch ", skPitch, " certainly", skPitchCertainly, false},
    {"transpose ", skTranspose, "", skTranspose, false},
    {"positionrnd ", skPositionRnd, "", skPositionRnd, false},
    {"positionshift ", skPositionShift, "", skPositionShift, false},
    {"nonlegato ", skNonLegato, "", skNonLegato, false},
    {"staccato ", skStaccato, "", skStaccato, false},
    {"staccatisimo ", skStaccatissimo, "", skStaccatissimo, false},
    {"controller ", skController, " certainly", skControllerCertainly, true},
    {"keylength ", skKeyLength, " soft", skKeyLengthSoft, true},
    {"keyon ", skKeyOn, "", skKeyOn, true},
    {"keyoff ", skKeyOff, "", skKeyOff, true},
    {"positionsong ", skPositionSong, "", skPositionSong, false},
    {"tempo ", skTempo, "", skTempo, false},
}};

// ---- The compiler ----------------------------------------------------------------

// One call over a run of lines: where they are, the chain built, the scope path.
struct TFrame {
  int Base;                // line number of lines[0]
  TLines Lines;
  size_t Current = 0;      // index of the statement being compiled
  TProgramChain Chain{};
  std::string ScopeName;
  std::string ScopePath;   // scope path text while this frame compiles
};

class TCompiler {
 public:
  explicit TCompiler(const THandlerCompileInput& input)
      : input_(input), program_(*input.Program) {}

  // program -> {statement}; see CompileHandlerProgram. A body deeper than the nesting
  // bound is refused before it is read; the enclosing frame places the error at the
  // statement that opened it.
  void CompileLines(int base, TLines lines, PProgram& head, const std::string& scopeName) {
    if (lines.empty() || Failed()) {
      return;
    }
    head = nullptr;  // the old chain's nodes stay in the arena until the program is cleared
    if (depth_ >= kMaxHandlerNesting) {
      SetError(kErrorNestingTooDeep, "");
      return;
    }
    const bool pushed = context_.ScopePath.empty() || context_.ScopePath.back() != scopeName;
    if (pushed) {
      context_.ScopePath.push_back(scopeName);
    }
    ++depth_;
    TFrame frame{base, lines, 0, {}, scopeName, ScopePathText()};
    size_t i = 0;
    while (i < lines.size() && !HandlerCompileStopped()) {
      const std::string& line = lines[i];
      if (line.empty() || line[0] == '$') {
        ++i;
        continue;
      }
      frame.Current = i;
      const size_t last = CompileStatement(frame, i);
      if (Failed()) {
        break;
      }
      assert(last >= i);
      i = last + 1;
    }
    --depth_;
    if (Failed() && GErrors.Get().ModuleLine == 0) {
      GErrors.Update([&](TErrors& e) {
        e.ModuleLine = LineNumber(base, i);
        if (e.Code == kErrorNestingTooDeep && e.Text.empty()) {
          e.Text = NestingText(lines[i]);  // the statement whose body is one level too deep
        }
      });
    }
    head = frame.Chain.Head;
    if (pushed) {
      context_.ScopePath.pop_back();
    }
  }

 private:
  // statement -> the first form whose test passes. Returns the index of the last line
  // it consumed; on an error the frame reports the line it started at.
  size_t CompileStatement(TFrame& f, size_t i) {
    size_t last = i;
    if (Interruption(f, i) || Let(f, i) || Evry(f, i, last) || Say(f, i) || Variable(f, i) ||
        Array(f, i) || Constant(f, i) || MidiControl(f, i) || MidiFile(f, i) ||
        ArrayLet(f, i) || Break(f, i) || Error(f, i) || NoteEffect(f, i) || NumTicks(f, i) ||
        Translator(f, i) || Module(f, i) || Block(f, i, last) || Perform(f, i) ||
        Function(f, i, last) || Keys(f, i, last) || If(f, i, last) || For(f, i, last) ||
        While(f, i, last)) {
      return last;
    }
    return Segment(f, i);
  }

  PExpression Compile(std::string_view text) {
    uint8_t usesVariables = 0;
    return ParseExpression(text, usesVariables, program_, GErrors);
  }

  // An operand that may be absent: empty text gives no tree.
  PExpression CompileOptional(std::string_view text) {
    return text.empty() ? nullptr : Compile(text);
  }

  static PExpression Number(size_t value) {
    auto node = std::make_unique<TExpressionNode>();
    node->Kind = ekNumber;
    node->Value = static_cast<long double>(value);
    return node;
  }

  // A new node at the end of the frame's chain, placed at the statement being compiled.
  PProgram Append(TFrame& f, THandlerStatementKind kind, PExpression a = nullptr,
                  PExpression b = nullptr, PPeremennay ref = nullptr, PMassiv arr = nullptr) {
    PProgram node = AppendProgramNode(program_, f.Chain, kind, ref, arr, std::move(a),
                                      std::move(b), f.ScopePath);
    node->Place.Line = LineNumber(f.Base, f.Current);
    if (!context_.CurrentModule.empty()) {
      node->Place.Module = context_.CurrentModule + ".blk";
    }
    return node;
  }

  // A body of lines [first, end) compiled into `node`'s Body with the frame's scope.
  void CompileBody(TFrame& f, PProgram node, size_t first, size_t end,
                   const std::string& scopeName) {
    CompileLines(f.Base + static_cast<int>(first), f.Lines.subspan(first, end - first),
                 node->Body, scopeName);
  }

  // A text added to context_.Strings: its index, or nothing when the table is full.
  std::optional<size_t> AddHandlerString(std::string text, int base, size_t index) {
    if (context_.Strings.size() >= kMaxHandlerStrings) {
      SetPlacedError(27, "", base, index);
      return std::nullopt;
    }
    context_.Strings.push_back(std::move(text));
    return context_.Strings.size() - 1;
  }

  // interruption -> "interruption " text
  bool Interruption(TFrame& f, size_t i) {
    const std::string& line = f.Lines[i];
    if (!HasPrefixAndMore(line, "interruption ")) {
      return false;
    }
    const std::string text = line.substr(13);
    if (context_.Interruptions.size() >= kMaxInterruptions) {
      SetError(23, text);
      return true;
    }
    context_.Interruptions.push_back(text);
    Append(f, skInterruption, Number(context_.Interruptions.size() - 1));
    return true;
  }

  // let -> "let " name "=" expression
  bool Let(TFrame& f, size_t i) {
    const std::string& line = f.Lines[i];
    const size_t eq = line.find('=');
    if (!StartsWith(line, "let ") || line.size() <= 6 || eq == kNone || eq < 5) {
      return false;
    }
    const std::string name = line.substr(4, eq - 4);
    if (!IsLettersAndDigits(name) || FindConstant(name, program_.Constants).Scope != "-") {
      return false;
    }
    PPeremennay variable = FindVariable(name, program_.Variables);
    if (variable == nullptr) {
      SetError(5, name);
      return true;
    }
    PExpression value = Compile(std::string_view(line).substr(eq + 1));
    if (!Failed()) {
      Append(f, skLet, std::move(value), nullptr, variable);
    }
    return true;
  }

  // evry -> "evry " period [" offset " offset] " do" {line} ("endevry" | before "evry ")
  bool Evry(TFrame& f, size_t i, size_t& last) {
    const std::string& line = f.Lines[i];
    // "evry " period " do": the period's place must not overlap the two words
    if (line.size() <= 8 || !StartsWith(line, "evry ") || !EndsWith(line, " do")) {
      return false;
    }
    const std::string header = line.substr(0, line.size() - 3);
    size_t end = i + 1;
    while (end < f.Lines.size() && !StartsWith(f.Lines[end], "endevry") &&
           !StartsWith(f.Lines[end], "evry ")) {
      ++end;
    }
    if (end == f.Lines.size()) {
      SetError(16, header);
      return true;
    }
    last = StartsWith(f.Lines[end], "endevry") ? end : end - 1;
    const size_t offsetAt = header.find(" offset ");
    const std::string_view period =
        std::string_view(header).substr(5, offsetAt == kNone ? kNone : offsetAt - 5);
    PExpression periodTree = Compile(period);
    PExpression offsetTree =
        offsetAt == kNone ? nullptr : Compile(std::string_view(header).substr(offsetAt + 8));
    if (Failed()) {
      SetTextWhenEmpty(header);
      return true;
    }
    PProgram node = Append(f, skEvry, std::move(periodTree), std::move(offsetTree));
    CompileBody(f, node, i + 1, end, f.ScopeName);
    return true;
  }

  // say -> "say " [expression] [" reset"]
  bool Say(TFrame& f, size_t i) {
    const std::string& line = f.Lines[i];
    if (!StartsWith(line, "say ") || line.size() < 5) {
      return false;
    }
    const bool reset = EndsWith(line, " reset");
    const std::string_view said = std::string_view(line).substr(0, line.size() - (reset ? 6 : 0));
    const std::string_view text = said.size() > 4 ? said.substr(4) : std::string_view();
    if (text.empty()) {
      Append(f, skSay);
      return true;
    }
    PExpression value = Compile(text);
    if (Failed()) {
      RecodeError(1, text);
      return true;
    }
    Append(f, skSay, std::move(value), Number(reset ? 1 : 0));
    return true;
  }

  // A "variable" or "array" declaration's name and plain-number value; false after
  // an error.
  bool DeclaredNameAndValue(const TFrame& f, const std::string& rest, std::string& name,
                            long double& value) {
    const size_t eq = rest.find('=');
    name = rest.substr(0, eq);
    if (IsReservedWord(name, GErrors)) {
      return false;
    }
    if (!IsLettersAndDigits(name) || IsDefinedAt(name, f.ScopePath, program_)) {
      SetError(7, name);
      return false;
    }
    value = 0;
    if (eq != kNone) {
      const std::string text = rest.substr(eq + 1);
      if (ClassifyText(text) != 2 || !ParseHandlerNumber(text, value)) {
        SetError(1, text);
        return false;
      }
    }
    return true;
  }

  // variable -> "variable " name ["=" number]
  bool Variable(TFrame& f, size_t i) {
    const std::string& line = f.Lines[i];
    if (!HasPrefixAndMore(line, "variable ")) {
      return false;
    }
    std::string name;
    long double value = 0;
    if (DeclaredNameAndValue(f, line.substr(9), name, value)) {
      DefineVariable(program_.Variables, name, value);
    }
    return true;
  }

  // array -> "array " name ["=" number]
  bool Array(TFrame& f, size_t i) {
    const std::string& line = f.Lines[i];
    if (!HasPrefixAndMore(line, "array ")) {
      return false;
    }
    std::string name;
    long double value = 0;
    if (DeclaredNameAndValue(f, line.substr(6), name, value)) {
      DefineArray(program_.Arrays, name, value);
    }
    return true;
  }

  // constant -> "constant " name "=" number
  bool Constant(TFrame& f, size_t i) {
    const std::string& line = f.Lines[i];
    const size_t eq = line.find('=');
    if (!HasPrefixAndMore(line, "constant ") || eq == kNone || eq < 10) {
      return false;
    }
    const std::string text = line.substr(eq + 1);
    if (ClassifyText(text) != 2) {
      return false;
    }
    const std::string name = line.substr(9, eq - 9);
    long double value = 0;
    if (IsReservedWord(name, GErrors)) {
      return true;
    }
    if (IsDefinedAt(name, f.ScopePath, program_)) {
      SetError(7, name);
    } else if (!ParseHandlerNumber(text, value)) {
      SetError(1, text);
    } else {
      DefineConstant(program_.Constants, name, value);
    }
    return true;
  }

  // midi control -> name "->" ("play" [A] [" from " B] | "stop" [A] | "continue" [A])
  bool MidiControl(TFrame& f, size_t i) {
    const std::string& line = f.Lines[i];
    const size_t arrow = line.find("->");
    if (arrow == kNone || arrow < 1) {
      return false;
    }
    const std::string name = line.substr(0, arrow);
    const std::string rest = line.substr(arrow + 2);
    const size_t blank = rest.find(' ');
    const std::string command = rest.substr(0, blank);
    const std::string arguments = blank == kNone ? "" : rest.substr(blank + 1);
    PPeremennay variable = MidiVariable(name);
    if (variable == nullptr) {
      SetError(1, name);
      return true;
    }
    PExpression a;
    PExpression b;
    THandlerStatementKind kind = skMidiPlay;
    if (command == "play") {
      const size_t from = arguments.find(" from ");
      a = CompileOptional(std::string_view(arguments).substr(0, from));
      if (from != kNone && !Failed()) {
        b = CompileOptional(std::string_view(arguments).substr(from + 6));
      }
    } else if (command == "stop" || command == "continue") {
      kind = command == "stop" ? skMidiStop : skMidiContinue;
      a = CompileOptional(arguments);
    } else {
      SetError(1, command);
      return true;
    }
    if (Failed()) {
      RecodeError(1, arguments);
      return true;
    }
    Append(f, kind, std::move(a), std::move(b), variable);
    return true;
  }

  // The variable that holds a MIDI file's index: for a loaded file the one of the
  // track after the control track (set to the index now), else a visible variable.
  PPeremennay MidiVariable(const std::string& name) {
    const int index = input_.MidiFiles != nullptr ? input_.MidiFiles->FindIndex(name) : -1;
    if (index >= 0) {
      PPeremennay variable =
          input_.SecondProgram != nullptr ? FindVariable(name, input_.SecondProgram->Variables)
                                          : nullptr;
      if (variable != nullptr) {
        variable->Value = index;
      }
      return variable;
    }
    return FindVariable(name, program_.Variables);
  }

  // midi file -> "midi " name "=" file
  bool MidiFile(TFrame& f, size_t i) {
    const std::string& line = f.Lines[i];
    const size_t eq = line.find('=');
    if (!StartsWith(line, "midi ") || line.size() <= 8 || eq == kNone || eq < 6) {
      return false;
    }
    const std::string name = line.substr(5, eq - 5);
    if (IsReservedWord(name, GErrors)) {
      return true;
    }
    std::string file = line.substr(eq + 1);
    const size_t first = file.find_first_not_of('\'');
    file = first == kNone ? "" : file.substr(first, file.find_last_not_of('\'') - first + 1);
    if (FindConstant(name, program_.Constants).Scope != "-" ||
        FindArray(name, program_.Arrays) != nullptr) {
      SetError(7, name);
      return true;
    }
    if (input_.MidiFiles == nullptr) {
      SetError(42, file);
      return true;
    }
    const int loaded = input_.MidiFiles->FindIndex(name);
    if (loaded >= 0) {
      if (input_.Program != input_.SecondProgram &&
          FindVariable(name, program_.Variables) == nullptr) {
        DefineVariable(program_.Variables, name, loaded);
      }
      return true;
    }
    LoadMidiFile(name, file);
    return true;
  }

  // Finds the file as written, beside the song, or in the program's songs folder,
  // loads it and defines its index variable; error 42 with the last path tried.
  void LoadMidiFile(const std::string& name, const std::string& file) {
    const std::string namePart = Cp1251ToUtf8(FileNamePart(file));
    std::string path = ToSlashes(Cp1251ToUtf8(file));
    std::error_code ec;
    if (!fs::exists(path, ec) && !input_.SongFile.empty()) {
      path = (fs::path(ToSlashes(input_.SongFile)).parent_path() / namePart).string();
    }
    if (!fs::exists(path, ec)) {
      std::optional<fs::path> inSongs = FindProgramFile("songs", FileNamePart(file));
      path = inSongs ? inSongs->string() : (fs::path(ProgramDir) / "songs" / namePart).string();
    }
    const int index = fs::exists(path, ec) ? input_.MidiFiles->Load(path, name) : -1;
    if (index < 0) {
      SetError(42, Utf8ToCp1251(path).Text);
      return;
    }
    if (input_.ControlProgram != nullptr && input_.ControlProgram != input_.Program) {
      DefineVariable(input_.ControlProgram->Variables, name, index);
    }
    DefineVariable(program_.Variables, name, index);
  }

  // array let -> "let " name "[" index "]=" expression
  bool ArrayLet(TFrame& f, size_t i) {
    const std::string& line = f.Lines[i];
    const size_t eq = line.find('=');
    const size_t open = line.find('[');
    const size_t close = open == kNone ? kNone : line.find("]=", open);
    if (!StartsWith(line, "let ") || eq == kNone || eq < 8 || open == kNone || open < 5 ||
        close == kNone) {
      return false;
    }
    const std::string name = line.substr(4, open - 4);
    if (!IsLettersAndDigits(name) || FindConstant(name, program_.Constants).Scope != "-") {
      return false;
    }
    PMassiv array = FindArray(name, program_.Arrays);
    if (array == nullptr) {
      SetError(6, name);
      return true;
    }
    PExpression value = Compile(std::string_view(line).substr(close + 2));
    if (Failed()) {
      RecodeErrorWhenTextless(9);
      return true;
    }
    PExpression index = Compile(std::string_view(line).substr(open + 1, close - open - 1));
    if (Failed()) {
      RecodeErrorWhenTextless(10);
      return true;
    }
    Append(f, skLet, std::move(value), std::move(index), nullptr, array);
    return true;
  }

  static void RecodeErrorWhenTextless(uint8_t code) {
    GErrors.Update([&](TErrors& e) {
      if (e.Text.empty()) {
        e.Code = code;
      }
    });
  }

  // break -> "break"
  bool Break(TFrame& f, size_t i) {
    if (f.Lines[i] != "break") {
      return false;
    }
    Append(f, skBreak);
    return true;
  }

  // error -> "error " text, where text may hold one "expression" in double quotes
  bool Error(TFrame& f, size_t i) {
    const std::string& line = f.Lines[i];
    if (!StartsWith(line, "error ") || line.size() <= 7) {
      return false;
    }
    const std::string text = line.substr(6);
    PExpression value;
    const size_t open = text.find('"');
    if (open != kNone) {
      const size_t close = text.find('"', open + 1);
      if (close == kNone) {
        SetPlacedError(26, "", f.Base, i);
        return true;
      }
      value = Compile(std::string_view(text).substr(open + 1, close - open - 1));
      if (Failed()) {
        return true;
      }
    }
    if (std::optional<size_t> index = AddHandlerString(text, f.Base, i)) {
      Append(f, skError, Number(*index), std::move(value));
    }
    return true;
  }

  // note effect -> keyword operand [suffix] | keyword operand " in " operand [suffix]
  bool NoteEffect(TFrame& f, size_t i) {
    const std::string& line = f.Lines[i];
    for (const TEffectForm& form : kEffectForms) {
      if (HasPrefixAndMore(line, form.Prefix)) {
        CompileEffect(f, i, form);
        return true;
      }
    }
    return false;
  }

  void CompileEffect(TFrame& f, size_t i, const TEffectForm& form) {
    std::string_view rest = std::string_view(f.Lines[i]).substr(form.Prefix.size());
    THandlerStatementKind kind = form.Kind;
    if (!form.Suffix.empty() && EndsWith(rest, form.Suffix)) {
      rest.remove_suffix(form.Suffix.size());
      kind = form.SuffixKind;
    }
    std::string_view first = rest;
    std::string_view second;
    if (form.TwoOperands) {
      const size_t in = rest.find(" in ");
      if (in == kNone) {
        SetPlacedError(1, f.Lines[i], f.Base, i);
        return;
      }
      first = rest.substr(0, in);
      second = rest.substr(in + 4);
    }
    PExpression a = Compile(first);
    if (Failed()) {
      SetPlacedError(1, std::string(first), f.Base, i);
      return;
    }
    PExpression b;
    if (form.TwoOperands) {
      b = Compile(second);
      if (Failed()) {
        SetPlacedError(1, std::string(second), f.Base, i);
        return;
      }
    }
    Append(f, kind, std::move(a), std::move(b));
  }

  // numticks -> "numticks " number (read by the translators; nothing to compile)
  bool NumTicks(TFrame& f, size_t i) {
    const std::string& line = f.Lines[i];
    return StartsWith(line, "numticks ") &&
           ClassifyText(std::string_view(line).substr(9)) == 2;
  }

  // translator -> "translator " name | "translatoroff"
  bool Translator(TFrame& f, size_t i) {
    const std::string& line = f.Lines[i];
    if (line == "translatoroff") {
      GTranslatorPath.assign(1, '*');  // not = "*": GCC 12 warns falsely (-Wrestrict)
      return true;
    }
    if (!StartsWith(line, "translator ") || line.size() <= 11) {
      return false;
    }
    const std::string name = line.substr(11);
    if (std::optional<std::string> path = TranslatorFilePath(name)) {
      GTranslatorPath = *path;
    } else {
      SetPlacedError(24, name, f.Base, i);
    }
    return true;
  }

  // module -> "module " name: the file's declarations join this program
  bool Module(TFrame& f, size_t i) {
    const std::string& line = f.Lines[i];
    if (!HasPrefixAndMore(line, "module ")) {
      return false;
    }
    const std::string name = line.substr(7);
    const bool library = name == "qem";
    const std::string fileName = library ? "qem.blk" : name + ".blk";
    const TModuleFileRead read =
        ReadModuleFile(FindModuleFile(library ? "Resources" : "Modules", fileName), name);
    if (!read.Lines) {
      SetPlacedError(read.Code, read.Detail, f.Base, i);
      return true;
    }
    const std::vector<std::string>& source = *read.Lines;
    if (std::find(openModules_.begin(), openModules_.end(), name) != openModules_.end()) {
      SetPlacedError(21, name, f.Base, i);
      return true;
    }
    const std::vector<std::string> lines = NormalizeProgramLines(source);
    const std::string outerModule = context_.CurrentModule;
    context_.CurrentModule = name;
    openModules_.push_back(name);
    PProgram chain = nullptr;
    CompileLines(1, lines, chain, name);
    openModules_.pop_back();
    context_.CurrentModule = outerModule;
    if (Failed() && GErrors.Get().ModuleLine != 0) {  // 0: refused before it was read
      AttributeToModule(name + ".blk");
    } else if (!Failed() && chain != nullptr) {
      SetError(20, "");
      GErrors.Update([&](TErrors& e) {
        e.Source = 3;
        e.Module = name + ".Blk";
      });
    }
    return true;
  }

  // An error inside a module file belongs to the innermost module that holds it.
  static void AttributeToModule(const std::string& module) {
    GErrors.Update([&](TErrors& e) {
      if (e.Source != 3) {
        e.Source = 3;
        e.Module = module;
      }
    });
  }

  // The end of a body that runs to the whole line `endLine` or to the next line that
  // starts with `nextHeader` (not consumed). Sets `last` to the last line consumed.
  std::optional<size_t> FindBodyEnd(const TFrame& f, size_t first, std::string_view endLine,
                                    std::string_view nextHeader, size_t& last) {
    for (size_t k = first; k < f.Lines.size(); ++k) {
      if (f.Lines[k] == endLine) {
        last = k;
        return k;
      }
      if (StartsWith(f.Lines[k], nextHeader)) {
        last = k - 1;
        return k;
      }
    }
    return std::nullopt;
  }

  // block -> "block " name {"%" number " " parameter} {line} ("endblock" | before "block ")
  bool Block(TFrame& f, size_t i, size_t& last) {
    const std::string& line = f.Lines[i];
    if (!HasPrefixAndMore(line, "block ")) {
      return false;
    }
    const std::string name = line.substr(6);
    context_.BlockParamNames.clear();
    size_t first = i + 1;
    for (; first < f.Lines.size() && StartsWith(f.Lines[first], "%"); ++first) {
      if (!ReadParameter(f.Lines[first])) {
        SetPlacedError(34, f.Lines[first], f.Base, first);
        context_.BlockParamNames.clear();
        return true;
      }
    }
    std::optional<size_t> end = FindBodyEnd(f, first, "endblock", "block ", last);
    if (!end) {
      SetError(18, line);
      context_.BlockParamNames.clear();
      return true;
    }
    ++context_.Nesting;
    PProgram tree = nullptr;
    CompileLines(f.Base + static_cast<int>(first), f.Lines.subspan(first, *end - first), tree,
                 name);
    --context_.Nesting;
    if (!Failed()) {
      if (PBlock block = FindBlockByName(name, program_.Blocks)) {
        block->Module = context_.CurrentModule;
        block->Tree = tree;
        block->Params = context_.BlockParamNames;
      } else {
        program_.Blocks.Append(
            TBlock{name, context_.CurrentModule, tree, context_.BlockParamNames, false});
      }
    }
    context_.BlockParamNames.clear();
    return true;
  }

  // parameter -> "%" number " " name, numbered 0, 1, 2 ... in order
  bool ReadParameter(const std::string& line) {
    const size_t blank = line.find(' ');
    std::vector<std::string>& names = context_.BlockParamNames;
    if (blank == kNone || line.substr(1, blank - 1) != std::to_string(names.size())) {
      return false;
    }
    const size_t start = line.find_first_not_of(' ', blank);
    if (start == kNone) {
      return false;
    }
    names.push_back(line.substr(start, line.find_last_not_of(" \t") - start + 1));
    return true;
  }

  // perform -> "perform " block [" " argument {";" argument}]
  bool Perform(TFrame& f, size_t i) {
    const std::string& line = f.Lines[i];
    if (!HasPrefixAndMore(line, "perform ")) {
      return false;
    }
    const std::string rest = line.substr(8);
    const size_t blank = rest.find(' ');
    const std::string name = rest.substr(0, blank);
    std::vector<PExpression> arguments;
    if (blank != kNone) {
      const std::string_view list = std::string_view(rest).substr(blank + 1);
      size_t start = 0;
      for (;;) {
        const size_t semicolon = list.find(';', start);
        const std::string_view argument = list.substr(start, semicolon - start);
        arguments.push_back(Compile(argument));
        if (Failed()) {
          RecodeError(1, argument);
          return true;
        }
        if (semicolon == kNone) {
          break;
        }
        start = semicolon + 1;
      }
    }
    if (FindBlockByName(name, program_.Blocks) == nullptr) {
      SetError(46, name);
      return true;
    }
    if (std::optional<size_t> index = AddHandlerString(name, f.Base, i)) {
      Append(f, skPerform, Number(*index))->Args = std::move(arguments);
    }
    return true;
  }

  // function -> "function " name {line} ("endfunction" | before "function ")
  bool Function(TFrame& f, size_t i, size_t& last) {
    const std::string& line = f.Lines[i];
    if (!HasPrefixAndMore(line, "function ")) {
      return false;
    }
    const std::string name = line.substr(9);
    std::optional<size_t> end = FindBodyEnd(f, i + 1, "endfunction", "function ", last);
    if (!end) {
      SetError(18, line);
      return true;
    }
    PProgram tree = nullptr;
    CompileLines(f.Base + static_cast<int>(i + 1), f.Lines.subspan(i + 1, *end - i - 1), tree,
                 name);
    if (!Failed()) {
      if (PBlock block = FindBlockByName(name, program_.Blocks)) {
        block->Tree = tree;
        block->Params.clear();
      } else {
        program_.Blocks.Append(TBlock{name, "", tree, {}, true});
      }
    }
    return true;
  }

  // keys -> "keys" [" " A [".." B]] {line} ("endkeys" | before "keys")
  bool Keys(TFrame& f, size_t i, size_t& last) {
    const std::string& line = f.Lines[i];
    if (line != "keys" && !HasPrefixAndMore(line, "keys ")) {
      return false;
    }
    size_t end = i + 1;
    while (end < f.Lines.size() && f.Lines[end] != "endkeys" && f.Lines[end] != "keys" &&
           !StartsWith(f.Lines[end], "keys ")) {
      ++end;
    }
    if (end == f.Lines.size()) {
      SetError(35, line);
      return true;
    }
    last = f.Lines[end] == "endkeys" ? end : end - 1;
    const std::string_view voices = line.size() > 5 ? std::string_view(line).substr(5) : "";
    const size_t dots = voices.find("..");
    PExpression a = CompileOptional(voices.substr(0, dots));
    PExpression b;
    if (dots != kNone && !Failed()) {
      b = Compile(voices.substr(dots + 2));
    }
    if (Failed()) {
      RecodeError(1, voices);
      return true;
    }
    PProgram node = Append(f, skKeys, std::move(a), std::move(b));
    context_.Nesting += 3;
    CompileBody(f, node, i + 1, end, f.ScopeName);
    context_.Nesting -= 3;
    return true;
  }

  // if -> "if " C " then" {line} {"else if " C " then" {line}} "endif"
  bool If(TFrame& f, size_t i, size_t& last) {
    const std::string& line = f.Lines[i];
    const size_t then = line.find("then");
    if (!StartsWith(line, "if") || then == kNone || then < 5) {
      return false;
    }
    std::vector<size_t> headers{i};
    int depth = 1;
    size_t end = i + 1;
    for (; end < f.Lines.size(); ++end) {
      const std::string& l = f.Lines[end];
      if (StartsWith(l, "if ")) {
        ++depth;
      } else if (l == "endif" && --depth == 0) {
        break;
      } else if (depth == 1 && StartsWith(l, "else if ") && EndsWith(l, " then")) {
        headers.push_back(end);
      }
    }
    if (end == f.Lines.size()) {
      SetError(8, line);
      return true;
    }
    last = end;
    std::vector<PProgram> branches;
    for (size_t b = 0; b < headers.size(); ++b) {
      const bool lastBranch = b + 1 == headers.size();
      const size_t bodyEnd = lastBranch ? end : headers[b + 1];
      PProgram branch = IfBranch(f, headers[b], bodyEnd, lastBranch);
      if (branch == nullptr) {
        return true;
      }
      branches.push_back(branch);
    }
    PProgram groupEnd = Append(f, skGroupEnd);
    for (PProgram branch : branches) {
      branch->GroupEnd = groupEnd;
    }
    return true;
  }

  // One branch: its condition, its node and its body (lines after the header up to
  // `bodyEnd`); nullptr after an error, which is placed at the branch's header.
  PProgram IfBranch(TFrame& f, size_t header, size_t bodyEnd, bool lastBranch) {
    const std::string& line = f.Lines[header];
    if (!EndsWith(line, " then")) {
      SetPlacedErrorKeepingSource(8, line, f.Base, header);
      return nullptr;
    }
    const size_t ifAt = line.find("if ");
    const size_t start = ifAt == kNone ? 2 : ifAt + 3;
    PExpression condition = Compile(Between(line, start, 5));
    if (Failed()) {
      if (lastBranch) {
        SetTextWhenEmpty(line);
      } else {
        SetError(8, line);
      }
      GErrors.Update([&](TErrors& e) { e.ModuleLine = LineNumber(f.Base, header); });
      return nullptr;
    }
    PProgram node = Append(f, skIf, std::move(condition));
    node->Place.Line = LineNumber(f.Base, header);
    CompileBody(f, node, header + 1, bodyEnd, f.ScopeName);
    return Failed() ? nullptr : node;
  }

  static void SetPlacedErrorKeepingSource(uint8_t code, const std::string& text, int base,
                                          size_t index) {
    GErrors.Update([&](TErrors& e) {
      e.Code = code;
      e.Text = text;
      e.ModuleLine = LineNumber(base, index);
    });
  }

  // The end of a body whose header opens with `opener` and closes with the whole
  // line `closer`, nesting; nothing when it is missing.
  std::optional<size_t> FindNestedEnd(const TFrame& f, size_t i, std::string_view opener,
                                      std::string_view closer) {
    int depth = 1;
    for (size_t k = i + 1; k < f.Lines.size(); ++k) {
      if (StartsWith(f.Lines[k], opener)) {
        ++depth;
      } else if (f.Lines[k] == closer && --depth == 0) {
        return k;
      }
    }
    return std::nullopt;
  }

  // for -> "for " V "=" A " to " B " do" {line} "endfor"
  bool For(TFrame& f, size_t i, size_t& last) {
    const std::string& line = f.Lines[i];
    const size_t eq = line.find('=');
    const size_t to = line.find(" to ");
    if (!StartsWith(line, "for ") || eq == kNone || eq < 5 || to == kNone || to < eq + 2 ||
        !EndsWith(line, " do")) {
      return false;
    }
    const std::string name = line.substr(4, eq - 4);
    if (!IsLettersAndDigits(name)) {
      SetError(11, name);
      return true;
    }
    if (FindConstant(name, program_.Constants).Scope != "-" ||
        FindArray(name, program_.Arrays) != nullptr) {
      SetError(12, name);
      return true;
    }
    PPeremennay variable = FindVariable(name, program_.Variables);
    if (variable == nullptr) {
      SetError(5, name);
      return true;
    }
    std::optional<size_t> end = FindNestedEnd(f, i, "for ", "endfor");
    if (!end) {
      SetError(13, line);
      return true;
    }
    last = *end;
    PExpression from = Compile(std::string_view(line).substr(eq + 1, to - eq - 1));
    PExpression upTo;
    if (!Failed()) {
      upTo = Compile(Between(line, to + 4, 3));
    }
    if (Failed()) {
      if (GErrors.Get().Text.empty()) {
        SetError(13, line);
      }
      return true;
    }
    PProgram node = Append(f, skFor, std::move(from), std::move(upTo), variable);
    CompileBody(f, node, i + 1, *end, f.ScopeName);
    return true;
  }

  // while -> "while " C " do" {line} "endwhile"
  bool While(TFrame& f, size_t i, size_t& last) {
    const std::string& line = f.Lines[i];
    if (!StartsWith(line, "while ") || !EndsWith(line, " do")) {
      return false;
    }
    std::optional<size_t> end = FindNestedEnd(f, i, "while ", "endwhile");
    if (!end) {
      SetError(17, line);
      return true;
    }
    last = *end;
    PExpression condition = Compile(Between(line, 6, 3));
    if (Failed()) {
      SetError(17, line);
      return true;
    }
    PProgram node = Append(f, skWhile, std::move(condition));
    CompileBody(f, node, i + 1, *end, f.ScopeName);
    return true;
  }

  // True when the line parses as an expression; leaves no trace of the attempt.
  bool CompilesAsExpression(std::string_view line) {
    TErrorRecord scratch;
    const size_t strings = context_.Strings.size();
    uint8_t usesVariables = 0;
    ParseExpression(line, usesVariables, program_, scratch);
    context_.Strings.resize(strings);
    return scratch.Code() == 0;
  }

  // The end of a segment body: the next line that is a segment header while no
  // compound statement, block or evry (for a ".." line, no keys either) is open.
  size_t FindSegmentEnd(const TFrame& f, size_t i) {
    int level = 0;
    bool inBlock = false;
    bool inEvry = false;
    bool inKeys = false;
    size_t k = i + 1;
    for (; k < f.Lines.size(); ++k) {
      const std::string& l = f.Lines[k];
      if (StartsWith(l, "for ") || StartsWith(l, "while ") || StartsWith(l, "if ")) {
        ++level;
      } else if (l == "endif" || l == "endwhile" || l == "endfor") {
        --level;
      }
      inBlock = StartsWith(l, "block ") || (inBlock && l != "endblock");
      inEvry = StartsWith(l, "evry ") || (inEvry && l != "endevry");
      inKeys = l == "keys" || StartsWith(l, "keys ") || (inKeys && l != "endkeys");
      if (level != 0 || inBlock || inEvry) {
        continue;
      }
      if ((l.find("..") != kNone && !inKeys) || CompilesAsExpression(l)) {
        break;
      }
    }
    return k;
  }

  // segment -> A [".." B] {line}: a body that runs on tick A or on ticks A..B
  size_t Segment(TFrame& f, size_t i) {
    const std::string& line = f.Lines[i];
    const size_t dots = line.find("..");
    PExpression a;
    PExpression b;
    if (dots != kNone) {
      a = Compile(std::string_view(line).substr(0, dots));
      if (!Failed()) {
        b = Compile(std::string_view(line).substr(dots + 2));
      }
      if (GErrors.Code() == 1) {
        RecodeError(14, line);
      }
    } else {
      a = Compile(line);
    }
    if (Failed()) {
      SetTextWhenEmpty(line);
      return i;
    }
    const size_t end = FindSegmentEnd(f, i);
    PProgram node = Append(f, skSegment, std::move(a), std::move(b));
    // The song's own time block that holds a track's lines is no level of the user's: a
    // track's text nests as deep as the control track's.
    const bool songBlock = depth_ == 1 && line == "positionsong";
    depth_ -= songBlock ? 1 : 0;
    CompileBody(f, node, i + 1, end, f.ScopeName);
    depth_ += songBlock ? 1 : 0;
    return end - 1;
  }

  const THandlerCompileInput& input_;
  THandlerProgram& program_;
  THandlerCompileContext& context_ = GHandlerCompile;
  std::vector<std::string> openModules_;  // modules being compiled, outermost first
  int depth_ = 0;                         // bodies being compiled, one inside the other
};

}  // namespace

void CompileHandlerProgram(const THandlerCompileInput& input, int lineBase,
                           std::span<const std::string> lines, PProgram& head,
                           const std::string& scopeName) {
  assert(input.Program != nullptr);
  if (lines.empty() || Failed()) {
    return;
  }
  // A text left from an earlier error must not prefix this compilation's texts.
  GErrors.Update([](TErrors& e) { e.Text.clear(); });
  TCompiler compiler(input);
  compiler.CompileLines(lineBase, lines, head, scopeName);
}
