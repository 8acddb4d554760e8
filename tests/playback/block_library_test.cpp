// The block library that comes with the installation and the sample module.
#include <gtest/gtest.h>

#include <filesystem>

#include "notation/braille_translation.h"
#include "notation/handler_normalizer.h"
#include "platform/text_lines.h"
#include "playback/handler_expression.h"
#include "playback/handler_names.h"
#include "playback/module_assembly.h"
#include "tests/playback/render_test_support.h"

namespace {

namespace fs = std::filesystem;

class BlockLibraryTest : public RenderGlobalsTest {
 protected:
  // Compiles `lines` into `program` with the predefined constants.
  static void CompileInto(THandlerProgram& program, const std::vector<std::string>& lines) {
    DefineConstant(program.Constants, "true", 127);
    DefineConstant(program.Constants, "tact", 1920);
    THandlerCompileInput input;
    input.Program = &program;
    CompileHandlerProgram(input, 1, lines, program.ProgramTree, "get");
  }
};

// The text between the double quotes of a parameter line.
std::string QuotedPart(const std::string& line) {
  const size_t open = line.find('"');
  const size_t close = open == std::string::npos ? open : line.find('"', open + 1);
  return close == std::string::npos ? std::string() : line.substr(open + 1, close - open - 1);
}

TEST_F(BlockLibraryTest, EveryCommandWordIsADescribedBlockThatCompiles) {
  const std::vector<std::string> library = LoadBlockLibrary();
  ASSERT_FALSE(library.empty());
  THandlerProgram program;
  CompileInto(program, library);
  const TErrors e = GErrors.Get();
  ASSERT_EQ(e.Code, 0) << e.Text << " at line " << e.ModuleLine;
  EXPECT_EQ(program.ProgramTree, nullptr) << "the library declares, it runs nothing by itself";
  EXPECT_EQ(program.Blocks.size(), CommandWords.size());
  for (std::string_view word : CommandWords) {
    PBlock block = FindBlockByName(word, program.Blocks);
    ASSERT_NE(block, nullptr) << word;
    EXPECT_FALSE(block->IsFunction) << word;
    EXPECT_NE(block->Tree, nullptr) << word;
    ASSERT_FALSE(block->Params.empty()) << word;
    EXPECT_GT(block->Params[0].size(), 10u) << word << " has a description";
    for (size_t i = 1; i < block->Params.size(); ++i) {
      const std::string value = QuotedPart(block->Params[i]);
      EXPECT_FALSE(value.empty()) << word << " parameter " << i << " has a default";
      // The default, written into a block call, must compile like any argument.
      TErrorRecord errors;
      uint8_t usesVariables = 0;
      EXPECT_NE(ParseExpression(NormalizeHandlerLine(value), usesVariables, program, errors), nullptr)
          << word << " default " << value;
    }
  }
}

TEST_F(BlockLibraryTest, TheLibraryCanAlsoBeAttachedAsModuleQem) {
  THandlerProgram program;
  CompileInto(program, {"module qem"});
  ASSERT_EQ(GErrors.Code(), 0) << GErrors.Get().Text;
  PBlock block = FindBlockByName("gliss", program.Blocks);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(block->Module, "qem");
}

TEST_F(BlockLibraryTest, SampleModuleCompilesAndHasItsDescription) {
  THandlerProgram program;
  CompileInto(program, {"module dynamics"});
  ASSERT_EQ(GErrors.Code(), 0) << GErrors.Get().Text << " line " << GErrors.Get().ModuleLine;
  for (const char* name : {"crescendo", "diminuendo"}) {
    PBlock block = FindBlockByName(name, program.Blocks);
    ASSERT_NE(block, nullptr) << name;
    EXPECT_EQ(block->Module, "dynamics");
    EXPECT_EQ(block->Params.size(), 3u);
  }
  const auto text = ReadTextLines(fs::path(ProgramDir) / "Modules" / "dynamics.Txt");
  ASSERT_TRUE(text.has_value());
  EXPECT_GT(text->size(), 5u);
}

}  // namespace
