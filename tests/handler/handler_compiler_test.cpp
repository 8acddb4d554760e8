#include "handler/handler_compiler.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "handler/handler_normalizer.h"
#include "handler/handler_expression.h"
#include "platform/codec1251.h"
#include "tests/support/handler_test_support.h"
#include "settings/settings.h"

namespace {

namespace fs = std::filesystem;

// Loaded MIDI files by name; a file "loads" when it exists.
class FakeMidiFiles : public THandlerMidiFiles {
 public:
  int FindIndex(std::string_view name) const override {
    auto it = loaded.find(std::string(name));
    return it == loaded.end() ? -1 : it->second;
  }
  int Load(const std::string& path, const std::string& name) override {
    paths.push_back(path);
    const int index = static_cast<int>(loaded.size());
    loaded[name] = index;
    return index;
  }
  std::map<std::string, int> loaded;
  std::vector<std::string> paths;
};

class HandlerCompilerTest : public HandlerGlobalsTest {
 protected:
  void SetUp() override {
    HandlerGlobalsTest::SetUp();
    savedProgramDir_ = ProgramDir;
    dir_ = fs::temp_directory_path() /
           ("handler_compiler_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "Modules");
    ProgramDir = dir_.string() + "/";
    input.Program = &program;
  }

  void TearDown() override {
    ProgramDir = savedProgramDir_;
    fs::remove_all(dir_);
    HandlerGlobalsTest::TearDown();
  }

  // Normalises the lines as module assembly does, then compiles them as a track text.
  void Compile(const std::vector<std::string>& source, int base = 1) {
    lines_ = NormalizeProgramLines(source);
    CompileHandlerProgram(input, base, lines_, program.ProgramTree, "get");
  }

  void WriteFile(const fs::path& relative, const std::vector<std::string>& lines) {
    fs::create_directories((dir_ / relative).parent_path());
    std::ofstream out(dir_ / relative, std::ios::binary);
    for (const std::string& line : lines) {
      out << line << "\r\n";
    }
  }

  static std::vector<int> Kinds(PProgram node) {
    std::vector<int> kinds;
    for (; node != nullptr; node = node->Next) {
      kinds.push_back(node->Kind);
    }
    return kinds;
  }

  static long double Constant(const PExpression& tree) {
    EXPECT_NE(tree, nullptr);
    EXPECT_EQ(tree->Kind, ekNumber);
    return tree->Value;
  }

  THandlerProgram program;
  THandlerCompileInput input;
  fs::path dir_;

 private:
  std::string savedProgramDir_;
  std::vector<std::string> lines_;
};

struct PlaceCase {
  std::vector<std::string> lines;
  int base;
  int code;
  int line;
  const char* text;
};

class CompileErrorTest : public HandlerCompilerTest,
                         public ::testing::WithParamInterface<PlaceCase> {};

TEST_P(CompileErrorTest, ReportsCodeLineAndText) {
  const PlaceCase& c = GetParam();
  Compile(c.lines, c.base);
  const TErrors e = GErrors.Get();
  EXPECT_EQ(e.Code, c.code) << e.Text;
  EXPECT_EQ(e.ModuleLine, c.line);
  EXPECT_EQ(e.Text, Utf8ToCp1251(c.text).Text);
  EXPECT_TRUE(GHandlerCompile.ScopePath.empty());
  EXPECT_EQ(GHandlerCompile.Nesting, 0);
}

INSTANTIATE_TEST_SUITE_P(
    MissingEnds, CompileErrorTest,
    ::testing::Values(
        PlaceCase{{"variable x", "block b", "1..2", "evry 4 do", "let x=1", "endblock"}, 1, 16, 4,
                  "evry 4"},
        PlaceCase{{"block b", "let x=1"}, 1, 18, 1, "block b"},
        PlaceCase{{"function f", "1"}, 1, 18, 1, "function f"},
        PlaceCase{{"block b", "keys", "instrument 1", "endblock"}, 1, 35, 2, "keys"},
        PlaceCase{{"variable x", "if x then", "let x=1"}, 1, 8, 2, "if x then"},
        PlaceCase{{"variable x", "if x then", "if x then", "endif"}, 1, 8, 2, "if x then"},
        PlaceCase{{"variable i", "for i=1 to 3 do", "for i=1 to 3 do", "endfor"}, 1, 13, 2,
                  "for i=1 to 3 do"},
        PlaceCase{{"variable x", "while x<3 do"}, 1, 17, 2, "while x<3 do"},
        PlaceCase{{"variable x", "block b", "0..9", "while x<3 do", "endblock"}, 5, 17, 8,
                  "while x<3 do"}));

INSTANTIATE_TEST_SUITE_P(
    NestedBodies, CompileErrorTest,
    ::testing::Values(
        PlaceCase{{"variable x", "block b", "1..10", "if x then", "let y=1", "endif", "endblock"},
                  1, 5, 5, "y"},
        PlaceCase{{"variable x", "block b", "1..10", "if x then", "let y=1", "endif", "endblock"},
                  11, 5, 15, "y"},
        PlaceCase{{"variable i", "while i<3 do", "for i=1 to 2 do", "instrument foo", "endfor",
                   "endwhile"},
                  1, 1, 4, "foo"},
        PlaceCase{{"constant true=127", "variable x", "if x then", "let x=1", "else", "let z=2",
                   "endif"},
                  1, 5, 6, "z"},
        PlaceCase{{"variable x", "if x then", "else if zz then", "endif"}, 1, 1, 3, "zz"},
        PlaceCase{{"variable x", "if zz then", "else", "endif"}, 1, 8, 2, "if zz then"},
        PlaceCase{{"variable x", "evry 4 do", "keyon keycount in 1", "endevry"}, 1, 1, 3,
                  "keycount"},
        PlaceCase{{"variable x", "keys", "let x=keycount", "let x=startblock", "endkeys"}, 1, 37,
                  4, "StartBlock"},
        PlaceCase{{"1..endfor"}, 1, 14, 1, "endfor"},
        PlaceCase{{"endif"}, 1, 1, 1, "endif"},
        PlaceCase{{"variable x", "(x+1"}, 1, 3, 2, "(x+1"}));

INSTANTIATE_TEST_SUITE_P(
    Declarations, CompileErrorTest,
    ::testing::Values(
        PlaceCase{{"variable x=-5"}, 1, 1, 1, "0-5"},
        PlaceCase{{"variable v=1,2,3"}, 1, 1, 1, "1,2,3"},
        PlaceCase{{"variable x", "variable x"}, 1, 7, 2, "x"},
        PlaceCase{{"constant c=5", "array c"}, 1, 7, 2, "c"},
        PlaceCase{{"variable a-b"}, 1, 7, 1, "a-b"},
        PlaceCase{{"variable tempo=5"}, 1, 15, 1, "tempo"},
        PlaceCase{{"array keys"}, 1, 15, 1, "keys"},
        PlaceCase{{"constant tempo=5"}, 1, 15, 1, "tempo"},
        PlaceCase{{"constant c=1,2,3"}, 1, 1, 1, "1,2,3"},
        PlaceCase{{"let q=1"}, 1, 5, 1, "q"},
        PlaceCase{{"let m[1]=2"}, 1, 6, 1, "m"},
        PlaceCase{{"array m", "let m[1]=zz"}, 1, 1, 2, "zz"},
        PlaceCase{{"array m", "let m[1]="}, 1, 9, 2, ""},
        PlaceCase{{"array mm", "let mm[]=2"}, 1, 10, 2, ""},
        PlaceCase{{"for a-b=1 to 2 do", "endfor"}, 1, 11, 1, "a-b"},
        PlaceCase{{"constant k=1", "for k=1 to 2 do", "endfor"}, 1, 12, 2, "k"},
        PlaceCase{{"array k", "for k=1 to 2 do", "endfor"}, 1, 12, 2, "k"},
        PlaceCase{{"for i=1 to 2 do", "endfor"}, 1, 5, 1, "i"},
        PlaceCase{{"variable i", "for i=zz to 2 do", "endfor"}, 1, 1, 2, "zz"},
        PlaceCase{{"variable i", "for i=1 to 2 do", "let i=0", "endfor", "for i=1 to  do",
                   "endfor"},
                  1, 13, 5, "for i=1 to do"},
        PlaceCase{{"while zz do", "endwhile"}, 1, 17, 1, "while zz do"},
        PlaceCase{{"error \"x"}, 1, 26, 1, ""},
        PlaceCase{{"error \"zz\""}, 1, 1, 1, "zz"},
        PlaceCase{{"perform drum 1;2"}, 1, 46, 1, "drum"},
        PlaceCase{{"block drum", "endblock", "perform drum 1;zz"}, 1, 1, 3, "zz"},
        PlaceCase{{"block b", "%0 a", "%2 c", "endblock"}, 1, 34, 3, "%2 c"},
        PlaceCase{{"keys zz", "endkeys"}, 1, 1, 1, "zz"},
        PlaceCase{{"say zz"}, 1, 1, 1, "zz"},
        PlaceCase{{"x->play 1"}, 1, 1, 1, "x"},
        PlaceCase{{"variable x", "x->jump 1"}, 1, 1, 2, "jump"},
        PlaceCase{{"variable x", "x->play zz from 1"}, 1, 1, 2, "zz"},
        PlaceCase{{"keylength 60 in zz soft"}, 1, 1, 1, "zz"},
        PlaceCase{{"translator nothere"}, 1, 24, 1, "nothere"},
        PlaceCase{{"midi m='nofile.mid'"}, 1, 42, 1, "nofile.mid"},
        PlaceCase{{"midi tempo='a.mid'"}, 1, 15, 1, "tempo"},
        PlaceCase{{"module missing"}, 1, 19, 1, "missing"},
        PlaceCase{{"module a/b"}, 1, 19, 1, "a/b"}));

// A two-operand statement without " in " is a syntax error naming its line; nesting past
// the bound is named.
INSTANTIATE_TEST_SUITE_P(
    Bounds, CompileErrorTest,
    ::testing::Values(
        PlaceCase{{"controller 7"}, 1, 1, 1, "controller 7"},
        PlaceCase{{"variable x", "keyon 1000"}, 1, 1, 2, "keyon 1000"},
        PlaceCase{{"keylength -5"}, 1, 1, 1, "keylength -5"},
        PlaceCase{{"keyoff 60 64"}, 1, 1, 1, "keyoff 60 64"},
        PlaceCase{{std::string(1001, '(') + "1" + std::string(1001, ')')}, 1, kErrorNestingTooDeep,
                  1, "не больше 1000 уровней вложенности в выражении: 1"}));

// Constant keys, velocities and lengths outside their range compile: they wrap (and a
// length is made positive) when the statement runs. 127 is a key and a velocity.
TEST_F(HandlerCompilerTest, ConstantOperandsOutsideTheirRangeCompile) {
  Compile({"keyon 127 in 127", "keyoff 127 in 127", "keyon 1000 in 64", "keyon 2*64 in 64",
           "keyoff 60 in 128", "keyon 60 in (0-1)", "keylength 60 in 0-10",
           "keylength 60 in (0-5) soft", "keylength 130 in 100"});
  ASSERT_EQ(GErrors.Code(), 0) << GErrors.Get().Text;
  EXPECT_EQ(Kinds(program.ProgramTree), (std::vector<int>{26, 27, 26, 26, 27, 26, 24, 25, 24}));
  EXPECT_EQ(Constant(program.ProgramTree->ExprA), 127);
  EXPECT_EQ(Constant(program.ProgramTree->ExprB), 127);
}

// Every statement form gives its kind and operands.
TEST_F(HandlerCompilerTest, CompilesEveryStatementForm) {
  Compile({"variable x", "array m", "constant c=3", "constant true=127", "interruption look",
           "let x=1", "let m[2]=x", "say x reset", "say 5", "error \"x\" bad", "instrument 5",
           "rest 1", "forshlag 10", "mordento 10", "pitch 64", "pitch 64 certainly",
           "transpose 2", "positionrnd 3", "positionshift 4", "nonlegato 0,5", "staccato 0,5",
           "staccatisimo 30", "controller 7 in 100", "controller 7 in 100 certainly",
           "keylength 60 in 480", "keylength 60 in 480 soft", "keyon 60 in 100",
           "keyoff 60 in 64", "positionsong 0", "tempo 120", "numticks 480", "block drum",
           "%0 velocity", "instrument parameter 1", "endblock", "perform drum 1;2",
           "function f", "endfunction", "keys 1..2", "keyon keyname in 100", "endkeys",
           "if x then", "break", "else if x>1 then", "let x=2", "else", "let x=3", "endif",
           "for x=1 to 3 do", "endfor", "while x<0 do", "endwhile", "evry 4 do", "endevry",
           "evry 4 offset 2 do", "endevry", "translatoroff", "0..100", "let x=5", "200",
           "let x=6"});
  ASSERT_EQ(GErrors.Code(), 0) << GErrors.Get().Text << " line " << GErrors.Get().ModuleLine;
  EXPECT_EQ(Kinds(program.ProgramTree),
            (std::vector<int>{8, 5, 5, 31, 31, 9, 10, 36, 34, 35, 13, 14, 17, 18, 19, 20, 21, 22,
                              15, 16, 24, 25, 26, 27, 11, 12, 33, 23, 6, 6, 6, 0, 4, 2, 3, 3, 7,
                              7}));
  std::vector<PProgram> nodes;
  for (PProgram node = program.ProgramTree; node != nullptr; node = node->Next) {
    nodes.push_back(node);
    EXPECT_EQ(node->Text, "get.");
  }
  EXPECT_EQ(GHandlerCompile.Interruptions, (std::vector<std::string>{"look"}));
  EXPECT_EQ(Constant(nodes[0]->ExprA), 0);
  EXPECT_EQ(nodes[1]->Ref, FindVariable("get.x", program.Variables));
  EXPECT_EQ(nodes[2]->Arr, FindArray("get.m", program.Arrays));
  EXPECT_EQ(Constant(nodes[2]->ExprB), 2);
  EXPECT_EQ(Constant(nodes[3]->ExprB), 1);
  EXPECT_EQ(Constant(nodes[4]->ExprB), 0);
  EXPECT_EQ(GHandlerCompile.Strings.at(static_cast<size_t>(Constant(nodes[5]->ExprA))), "\"x\"bad");
  EXPECT_EQ(nodes[5]->ExprB->Kind, ekVariable);
  EXPECT_NE(nodes[18]->ExprB, nullptr);
  const PProgram perform = nodes[26];
  EXPECT_EQ(GHandlerCompile.Strings.at(static_cast<size_t>(Constant(perform->ExprA))), "drum");
  ASSERT_EQ(perform->Args.size(), 2u);
  EXPECT_EQ(Constant(perform->Args[1]), 2);
  EXPECT_NE(nodes[27]->ExprB, nullptr);
  EXPECT_EQ(Kinds(nodes[27]->Body), (std::vector<int>{26}));
  for (int branch : {28, 29, 30}) {
    EXPECT_EQ(nodes[branch]->GroupEnd, nodes[31]);
  }
  EXPECT_EQ(Kinds(nodes[28]->Body), (std::vector<int>{1}));
  EXPECT_EQ(Constant(nodes[30]->ExprA), 127);
  EXPECT_NE(nodes[32]->Ref, nullptr);
  EXPECT_EQ(nodes[34]->ExprB, nullptr);
  EXPECT_NE(nodes[35]->ExprB, nullptr);
  EXPECT_NE(nodes[36]->ExprB, nullptr);
  EXPECT_EQ(nodes[37]->ExprB, nullptr);
  EXPECT_EQ(Kinds(nodes[36]->Body), (std::vector<int>{5}));
  EXPECT_EQ(GTranslatorPath, "*");

  const PBlock drum = FindBlockByName("drum", program.Blocks);
  ASSERT_NE(drum, nullptr);
  EXPECT_FALSE(drum->IsFunction);
  EXPECT_EQ(drum->Params, (std::vector<std::string>{"velocity"}));
  EXPECT_EQ(Kinds(drum->Tree), (std::vector<int>{10}));
  EXPECT_EQ(drum->Tree->Text, "get.drum.");
  const PBlock f = FindBlockByName("f", program.Blocks);
  ASSERT_NE(f, nullptr);
  EXPECT_TRUE(f->IsFunction);
  EXPECT_EQ(f->Tree, nullptr);
}

TEST_F(HandlerCompilerTest, EvryHeaderEndsTheBodyBeforeIt) {
  Compile({"variable x", "evry 4 do", "let x=1", "evry 8 do", "let x=2", "endevry"});
  ASSERT_EQ(GErrors.Code(), 0) << GErrors.Get().Text;
  const std::vector<int> kinds = Kinds(program.ProgramTree);
  ASSERT_EQ(kinds, (std::vector<int>{3, 3}));
  EXPECT_EQ(Kinds(program.ProgramTree->Body), (std::vector<int>{5}));
  EXPECT_EQ(Kinds(program.ProgramTree->Next->Body), (std::vector<int>{5}));
}

// A stop asked of the compilation ends it at the next statement, without an error.
TEST_F(HandlerCompilerTest, AStopEndsTheCompilationWithoutAnError) {
  const std::atomic<bool> stop{true};
  GHandlerCompile.Stop = &stop;
  Compile({"variable x", "let x=1", "let x=2"});
  GHandlerCompile.Stop = nullptr;
  EXPECT_EQ(GErrors.Code(), 0);
  EXPECT_EQ(program.ProgramTree, nullptr);
}

// "evry do" has no period: a line that does not compile, not a crash.
TEST_F(HandlerCompilerTest, EvryWithoutPeriodIsAnError) {
  Compile({"evry do", "controller 7 in 100", "endevry"});
  EXPECT_EQ(GErrors.Code(), 1);
  EXPECT_EQ(GErrors.Get().Text, "evry do");
  EXPECT_EQ(GErrors.Get().ModuleLine, 1);
}

// A name defined in a block is the block's; "get." paths reach the outer one.
TEST_F(HandlerCompilerTest, BindsTheInnermostNameAndExplicitPaths) {
  Compile({"variable x=1", "block b", "variable x=2", "let x=5", "let get.x=7", "endblock",
           "let x=3"});
  ASSERT_EQ(GErrors.Code(), 0) << GErrors.Get().Text;
  const PBlock b = FindBlockByName("b", program.Blocks);
  ASSERT_NE(b, nullptr);
  ASSERT_EQ(Kinds(b->Tree), (std::vector<int>{5, 5}));
  EXPECT_EQ(b->Tree->Ref->Scope, "get.b.");
  EXPECT_EQ(b->Tree->Ref->Value, 2);
  EXPECT_EQ(b->Tree->Next->Ref->Scope, "get.");
  EXPECT_EQ(program.ProgramTree->Ref->Scope, "get.");
}

TEST_F(HandlerCompilerTest, NestedBlocksSeeTheirContextCount) {
  WriteFile("Modules/inner.blk", {"block deep", "let v=startblock", "endblock"});
  Compile({"variable v", "block outer", "module inner", "endblock"});
  EXPECT_EQ(GErrors.Code(), 37);
  EXPECT_EQ(GErrors.Get().Source, 3);
  EXPECT_EQ(GErrors.Get().Module, "inner.blk");
  EXPECT_EQ(GErrors.Get().ModuleLine, 2);
}

TEST_F(HandlerCompilerTest, ModulesAddDeclarationsFoundWhateverTheirCase) {
  WriteFile("Modules/Foo.BLK", {"Variable V = 2", "Block B", "Instrument 1", "EndBlock"});
  Compile({"module foo", "let get.foo.v=3"});
  ASSERT_EQ(GErrors.Code(), 0) << GErrors.Get().Text;
  GHandlerCompile.ScopePath = {"get", "foo"};
  PPeremennay v = FindVariable("v", program.Variables);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->Scope, "get.foo.");
  EXPECT_EQ(v->Value, 2);
  const PBlock b = FindBlockByName("b", program.Blocks);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->Module, "foo");
  EXPECT_EQ(GHandlerCompile.CurrentModule, "");
  EXPECT_EQ(Kinds(program.ProgramTree), (std::vector<int>{5}));
}

TEST_F(HandlerCompilerTest, ModuleWithStatementsIsError20) {
  WriteFile("Modules/bad.blk", {"variable ok", "instrument 5"});
  Compile({"variable x", "module bad"});
  const TErrors e = GErrors.Get();
  EXPECT_EQ(e.Code, 20);
  EXPECT_EQ(e.Source, 3);
  EXPECT_EQ(e.Module, "bad.Blk");
  EXPECT_EQ(e.Text, "");
}

TEST_F(HandlerCompilerTest, ErrorInsideAModuleCarriesItsLineAndName) {
  WriteFile("Modules/err.blk", {"variable ok", "", "variable 1-x"});
  Compile({"variable x", "module err"});
  const TErrors e = GErrors.Get();
  EXPECT_EQ(e.Code, 7);
  EXPECT_EQ(e.Source, 3);
  EXPECT_EQ(e.Module, "err.blk");
  EXPECT_EQ(e.ModuleLine, 3);
}

TEST_F(HandlerCompilerTest, ModuleIncludingItselfIsAnError) {
  WriteFile("Modules/self.blk", {"variable a", "module self"});
  Compile({"module self"});
  const TErrors e = GErrors.Get();
  EXPECT_EQ(e.Code, 21);
  EXPECT_EQ(e.Text, "self");
  EXPECT_EQ(e.Source, 3);
  EXPECT_EQ(e.Module, "self.blk");
  EXPECT_EQ(e.ModuleLine, 2);
  EXPECT_EQ(GHandlerCompile.CurrentModule, "");
}

TEST_F(HandlerCompilerTest, ModuleCycleThroughAnotherIsAnErrorInTheInnerFile) {
  WriteFile("Modules/ma.blk", {"module mb"});
  WriteFile("Modules/mb.blk", {"variable q", "", "module ma"});
  Compile({"variable x", "module ma"});
  const TErrors e = GErrors.Get();
  EXPECT_EQ(e.Code, 21);
  EXPECT_EQ(e.Module, "mb.blk");
  EXPECT_EQ(e.ModuleLine, 3);
}

TEST_F(HandlerCompilerTest, NestedModuleRestoresTheOuterModuleName) {
  WriteFile("Modules/outer.blk", {"module inner", "block after", "endblock"});
  WriteFile("Modules/inner.blk", {"variable z"});
  Compile({"module outer"});
  ASSERT_EQ(GErrors.Code(), 0) << GErrors.Get().Text;
  const PBlock after = FindBlockByName("after", program.Blocks);
  ASSERT_NE(after, nullptr);
  EXPECT_EQ(after->Module, "outer");
}

// A module that is a FIFO or a folder is never waited on and is not "not found": it is
// named with its path as no regular file.
TEST_F(HandlerCompilerTest, AModuleThatIsNoRegularFileSaysSo) {
  ASSERT_EQ(::mkfifo((dir_ / "Modules" / "pipe.blk").c_str(), 0600), 0);
  fs::create_directory(dir_ / "Modules" / "Folder.BLK");
  for (const char* name : {"pipe", "folder"}) {
    program.Clear();
    GErrors.Reset();
    Compile({std::string("module ") + name});
    const TErrors e = GErrors.Get();
    EXPECT_EQ(e.Code, kErrorModuleNotRegular) << name;
    EXPECT_EQ(e.ModuleLine, 1) << name;
    const std::string file = std::string(name) == "pipe" ? "pipe.blk" : "Folder.BLK";
    EXPECT_EQ(e.Text, (dir_ / "Modules" / file).string() +
                          Utf8ToCp1251(": Это не обычный файл (канал, устройство или сокет)").Text)
        << name;
  }
  GErrors.Reset();
}

TEST_F(HandlerCompilerTest, BlockLibraryIsTheQemModule) {
  Compile({"module qem"});
  EXPECT_EQ(GErrors.Code(), 19);
  EXPECT_EQ(GErrors.Get().Text, "qem");
  GErrors.Reset();
  WriteFile("Resources/qem.blk", {"block swing", "endblock"});
  Compile({"module qem"});
  EXPECT_EQ(GErrors.Code(), 0);
  EXPECT_NE(FindBlockByName("swing", program.Blocks), nullptr);
}

TEST_F(HandlerCompilerTest, TranslatorFileIsFoundWhateverItsCase) {
  WriteFile("Translator/Swing.CNV", {"x"});
  Compile({"translator swing"});
  ASSERT_EQ(GErrors.Code(), 0);
  EXPECT_EQ(fs::path(GTranslatorPath).filename(), "Swing.CNV");
}

TEST_F(HandlerCompilerTest, MidiFilesAreLoadedBesideTheSongAndPlayed) {
  FakeMidiFiles midi;
  THandlerProgram control;
  input.MidiFiles = &midi;
  input.ControlProgram = &control;
  input.SecondProgram = &program;
  input.SongFile = (dir_ / "song.qem").string();
  WriteFile("tune.mid", {"MThd"});
  Compile({"midi tune='tune.mid'", "tune->play 1 from 0", "tune->stop", "tune->continue 2"});
  ASSERT_EQ(GErrors.Code(), 0) << GErrors.Get().Text;
  ASSERT_EQ(midi.paths.size(), 1u);
  EXPECT_EQ(fs::path(midi.paths[0]), dir_ / "tune.mid");
  GHandlerCompile.ScopePath = {"get"};
  EXPECT_NE(FindVariable("tune", control.Variables), nullptr);
  PPeremennay tune = FindVariable("tune", program.Variables);
  ASSERT_NE(tune, nullptr);
  EXPECT_EQ(Kinds(program.ProgramTree), (std::vector<int>{28, 29, 30}));
  EXPECT_EQ(program.ProgramTree->Ref, tune);
  EXPECT_NE(program.ProgramTree->ExprB, nullptr);
  EXPECT_EQ(program.ProgramTree->Next->ExprA, nullptr);
}

TEST_F(HandlerCompilerTest, InterruptionsAreLimitedTo100) {
  std::vector<std::string> lines(100, "interruption a");
  Compile(lines);
  ASSERT_EQ(GErrors.Code(), 0);
  lines.push_back("interruption b");
  GHandlerCompile.Interruptions.clear();
  Compile(lines, 1);
  EXPECT_EQ(GErrors.Code(), 23);
  EXPECT_EQ(GErrors.Get().ModuleLine, 101);
  EXPECT_EQ(GErrors.Get().Text, "b");
}

TEST_F(HandlerCompilerTest, AStaleTextDoesNotPrefixANewError) {
  GErrors.Update([](TErrors& e) { e.Text = "stale"; });
  Compile({"zz"});
  EXPECT_EQ(GErrors.Get().Text, "zz");
}

// Segment bodies are found by trial parses that leave neither an error nor a text.
TEST_F(HandlerCompilerTest, SegmentScanLeavesNoTrace) {
  Compile({"variable x", "0..10", "let x=1", "nextlocation (a)", "let x=2", "20", "let x=3"});
  ASSERT_EQ(GErrors.Code(), 0);
  EXPECT_EQ(GErrors.Get().Text, "");
  EXPECT_EQ(GHandlerCompile.Strings, (std::vector<std::string>{"a"}));
  EXPECT_EQ(Kinds(program.ProgramTree), (std::vector<int>{7, 7, 7}));
}

TEST_F(HandlerCompilerTest, NothingHappensWhileAnErrorIsSetOrWithoutLines) {
  Compile({});
  EXPECT_EQ(program.ProgramTree, nullptr);
  GErrors.Update([](TErrors& e) { e.Code = 9; });
  Compile({"variable x"});
  EXPECT_TRUE(program.Variables.empty());
  EXPECT_EQ(GErrors.Code(), 9);
}

// Lines of `depth` compound statements, each inside the one before, cycling through
// `forms` (header and end line), with a "let" at the bottom.
std::vector<std::string> NestedProgram(
    const std::vector<std::pair<std::string, std::string>>& forms, int depth) {
  std::vector<std::string> lines{"variable i"};
  for (int d = 0; d < depth; ++d) {
    lines.push_back(forms[d % forms.size()].first);
  }
  lines.push_back("let i=1");
  for (int d = depth - 1; d >= 0; --d) {
    lines.push_back(forms[d % forms.size()].second);
  }
  return lines;
}

// Every nesting path stops at the same bound: the deepest accepted program compiles,
// one level more (or thousands more) is refused at the header that opens the level.
// (Scanning for the ends costs depth times lines, so "thousands" stays modest here.)
TEST_F(HandlerCompilerTest, StatementsNestUpToTheBoundOnEveryPath) {
  const std::pair<std::string, std::string> forLoop{"for i=1 to 2 do", "endfor"};
  const std::pair<std::string, std::string> whileLoop{"while i<1 do", "endwhile"};
  const std::pair<std::string, std::string> ifThen{"if i then", "endif"};
  const std::vector<std::vector<std::pair<std::string, std::string>>> paths = {
      {forLoop}, {whileLoop}, {ifThen}, {forLoop, ifThen, whileLoop}};
  const int deepest = kMaxHandlerNesting - 1;  // the top level is one of the levels
  for (const auto& forms : paths) {
    program.Clear();
    Compile(NestedProgram(forms, deepest));
    ASSERT_EQ(GErrors.Code(), 0) << forms[0].first << " " << GErrors.Get().Text;
    PProgram node = program.ProgramTree;
    for (int d = 1; d < deepest; ++d) {
      node = node->Body;
    }
    EXPECT_EQ(node->Place.Line, deepest + 1);
    EXPECT_EQ(node->Body->Place.Line, deepest + 2);
    // The bound said is the depth kept.
    EXPECT_EQ(NestingText("x"),
              Utf8ToCp1251("не больше " + std::to_string(deepest) + " вложенных операторов: x")
                  .Text);
    for (const int depth : {deepest + 1, 2000}) {
      program.Clear();
      GErrors.Reset();
      Compile(NestedProgram(forms, depth));
      const TErrors e = GErrors.Get();
      EXPECT_EQ(e.Code, kErrorNestingTooDeep) << forms[0].first << " " << depth;
      EXPECT_EQ(e.ModuleLine, deepest + 2) << forms[0].first << " " << depth;
      EXPECT_EQ(e.Text, NestingText(forms[deepest % forms.size()].first));
      EXPECT_TRUE(GHandlerCompile.ScopePath.empty());
    }
    GErrors.Reset();
  }
}

// Each statement keeps the line it was written on, in the module file for a module's.
TEST_F(HandlerCompilerTest, StatementsKnowTheirLines) {
  WriteFile("Modules/m.blk", {"variable q", "block inner", "", "instrument 2", "endblock"});
  Compile({"module m", "variable x", "if x then", "let x=1", "else if x>1 then", "", "let x=2",
           "endif"},
          5);
  ASSERT_EQ(GErrors.Code(), 0) << GErrors.Get().Text;
  const PProgram first = program.ProgramTree;
  EXPECT_EQ(first->Place.Line, 7);
  EXPECT_EQ(first->Body->Place.Line, 8);
  EXPECT_EQ(first->Next->Place.Line, 9);
  EXPECT_EQ(first->Next->Body->Place.Line, 11);
  EXPECT_TRUE(first->Place.Module.empty());
  const PBlock inner = FindBlockByName("inner", program.Blocks);
  ASSERT_NE(inner, nullptr);
  EXPECT_EQ(inner->Tree->Place.Line, 4);
  EXPECT_EQ(inner->Tree->Place.Module, "m.blk");
}

TEST_F(HandlerCompilerTest, VariableMayBeRedeclaredInABlock) {
  Compile({"variable x", "block b", "variable x", "endblock", "function g", "variable x",
           "endfunction"});
  EXPECT_EQ(GErrors.Code(), 0) << GErrors.Get().Text;
  EXPECT_EQ(program.Variables.size(), 3u);
}

}  // namespace
