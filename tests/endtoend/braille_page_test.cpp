// The page docs/braille.md: every example's Braille text, one measure per line of a track,
// is read by `velto-tool notes` as the page says, note for note.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/codec1251.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

struct TPageExample {
  std::vector<std::string> Braille;  // the track's measures
  std::string Notes;                 // what the page says the program reads
};

// The page's fenced blocks: each "```braille" block with the "```notes" block after it.
std::vector<TPageExample> PageExamples() {
  std::ifstream in(fs::path(VELTO_SOURCE_DIR) / "docs/braille.md");
  std::vector<TPageExample> examples;
  std::string line;
  std::string fence;  // the block being read ("braille", "notes"), empty outside blocks
  while (std::getline(in, line)) {
    if (line.rfind("```", 0) == 0) {
      fence = fence.empty() ? line.substr(3) : std::string();
      if (fence == "braille") {
        examples.emplace_back();
      }
      continue;
    }
    if (fence == "braille") {
      examples.back().Braille.push_back(line);
    } else if (fence == "notes" && !examples.empty()) {
      examples.back().Notes += line + "\n";
    }
  }
  return examples;
}

std::string Quoted(const fs::path& p) { return "'" + p.string() + "'"; }

TEST(BraillePage, EveryExampleReadsAsThePageSays) {
  const std::vector<TPageExample> examples = PageExamples();
  ASSERT_GE(examples.size(), 7u);  // notes, voices, time, sharps, flats, keys changed
  TTempDir dir;
  int n = 0;
  for (const TPageExample& example : examples) {
    ASSERT_FALSE(example.Braille.empty());
    ASSERT_FALSE(example.Notes.empty()) << example.Braille[0];
    const size_t measures = example.Braille.size();
    // The control track: four quarters, then empty measures; the track on channel 1.
    std::vector<std::string> lines = {std::to_string(measures) + " 0 0 1 0 0 0", "Общее", "Vd4m"};
    lines.insert(lines.end(), measures - 1, "m");
    lines.push_back(std::to_string(measures) + " 0 1 1 0 0 0");
    lines.push_back("Мелодия");
    lines.insert(lines.end(), example.Braille.begin(), example.Braille.end());
    const fs::path song = fs::path(dir.Path()) / ("example" + std::to_string(++n) + ".qem");
    {
      std::ofstream out(song, std::ios::binary);
      for (const std::string& l : lines) {
        out << Utf8ToCp1251(l).Text << "\r\n";
      }
    }
    const TCommandRun run = RunCommand((fs::path(VELTO_BINARY_DIR) / "bin/velto-tool").string() +
                                       " notes " + Quoted(song) + " 2>&1");
    EXPECT_EQ(run.ExitCode, 0) << example.Braille[0] << "\n" << run.Output;
    EXPECT_EQ(run.Output, example.Notes) << "the example beginning " << example.Braille[0];
  }
}

}  // namespace
