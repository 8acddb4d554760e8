// libFuzzer target: any handler text is normalised and compiled into a statement tree or
// stopped at an error; the scope path is left as it was, the tree holds no cycle, and
// every expression compiled evaluates (queries giving 0).
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "base/errors.h"
#include "handler/handler_normalizer.h"
#include "handler/handler_compiler.h"
#include "handler/handler_expression.h"
#include "handler/handler_names.h"
#include "handler/handler_program.h"
#include "notation/translator.h"
#include "settings/settings.h"

namespace {

// A file "loads" when it exists; names are kept in load order.
class TFakeMidiFiles : public THandlerMidiFiles {
 public:
  int FindIndex(std::string_view name) const override {
    auto it = loaded_.find(std::string(name));
    return it == loaded_.end() ? -1 : it->second;
  }
  int Load(const std::string&, const std::string& name) override {
    return loaded_.try_emplace(name, static_cast<int>(loaded_.size())).first->second;
  }

 private:
  std::map<std::string, int> loaded_;
};

// An installation tree with a module, a module that opens itself, a block library and a
// translator, for the statements that read files.
void MakeProgramDir() {
  ProgramDir = FuzzTempDir();
  std::filesystem::create_directories(ProgramDir + "Modules");
  std::filesystem::create_directories(ProgramDir + "Resources");
  std::filesystem::create_directories(ProgramDir + "Translator");
  std::filesystem::create_directories(ProgramDir + "songs");
  WriteWholeFile(ProgramDir + "Modules/lib.blk",
                 "variable depth=2\r\nblock swing\r\n%0 amount\r\nif parameter 1>0 then\r\n"
                 "positionshift parameter 1\r\nendif\r\nendblock\r\nfunction twice\r\n"
                 "let depth=depth*2\r\nendfunction\r\n");
  WriteWholeFile(ProgramDir + "Modules/loop.blk", "module loop\r\n");
  WriteWholeFile(ProgramDir + "Resources/qem.blk", "block accent\r\nkeyon 100 in 1\r\nendblock\r\n");
  WriteWholeFile(ProgramDir + "Translator/solfa.cnv", "do4=N\r\nre4=O\r\n");
  WriteWholeFile(ProgramDir + "songs/tune.mid", "MThd");
}

void ResetHandlerGlobals() {
  GErrors.Reset();
  ResetHandlerCompileContext();
  GTranslatorPath.clear();
  GHandlerRandom.seed(1);
}

// Evaluates every expression of the chain from node and its bodies; counts the nodes.
void EvaluateAll(PProgram node, size_t& visited, size_t limit) {
  THandlerEvaluation at;
  at.SongLength = 7680;
  at.Position = 960;
  for (; node != nullptr; node = node->Next) {
    FUZZ_CHECK(++visited <= limit);
    TErrorRecord errors;
    EvaluateExpression(node->ExprA.get(), at, errors);
    EvaluateExpression(node->ExprB.get(), at, errors);
    for (const PExpression& argument : node->Args) {
      EvaluateExpression(argument.get(), at, errors);
    }
    EvaluateAll(node->Body, visited, limit);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  MakeProgramDir();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string> lines = NormalizeProgramLines(InputLines(data, size));
  ResetHandlerGlobals();
  THandlerProgram program;
  THandlerProgram control;
  TFakeMidiFiles midiFiles;
  THandlerCompileInput input;
  input.Program = &program;
  input.ControlProgram = &control;
  input.MidiFiles = &midiFiles;
  input.SongFile = ProgramDir + "songs/song.qem";
  CompileHandlerProgram(input, 1, lines, program.ProgramTree, "get");
  FUZZ_CHECK(GHandlerCompile.ScopePath.empty());
  const THandlerCompileContext& context = GHandlerCompile;
  FUZZ_CHECK(context.Nesting == 0 && context.CurrentModule.empty() &&
             context.BlockParamNames.empty());
  size_t visited = 0;
  EvaluateAll(program.ProgramTree, visited, program.NodeCount());
  for (const TBlock& block : program.Blocks) {
    EvaluateAll(block.Tree, visited, program.NodeCount());
  }
  return 0;
}
