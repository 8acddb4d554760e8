// Four-part harmony as a musician meets it: every harmony text, voice-part switch and song
// on the page docs/harmony.md is read by the program; the page's songs, the example
// chorale and seeded progressions are exported by `velto --export` and the files checked
// against classical harmony by tests/harmony/check_harmony.py, written from music theory.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>

#include "harmony/harmony_text.h"
#include "notation/braille_translation.h"
#include "platform/codec1251.h"
#include "render/note_events.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

const fs::path kSource = VELTO_SOURCE_DIR;
const fs::path kBin = fs::path(VELTO_BINARY_DIR) / "bin";
const fs::path kChecker = kSource / "tests/harmony/check_harmony.py";

std::string Quoted(const fs::path& p) { return "'" + p.string() + "'"; }

std::string Page() {
  std::ifstream in(kSource / "docs/harmony.md");
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A folder of its own, outside the build's tree (which other tests copy meanwhile): a
// private program folder (a copy of the installed resources) and the songs and files made.
class Harmony : public testing::Test {
 protected:
  void SetUp() override {
    CopyInstalledResources(kBin / "Resources", work_ / "home/Resources");
    ASSERT_TRUE(LoadHarmonyRules((work_ / "home/Resources/qem.hrm").string(), rules_));
  }

  // Exports a song and checks the file; the checker's output on failure.
  void ExpectClassicalHarmony(const fs::path& song, const std::string& parts) {
    const fs::path mid = work_ / (song.stem().string() + ".mid");
    const TCommandRun exported = RunCommand((kBin / "velto").string() + " --home " +
                                            Quoted(work_ / "home") + " --export " + Quoted(song) +
                                            " " + Quoted(mid) + " 2>&1");
    ASSERT_EQ(exported.ExitCode, 0) << exported.Output;
    const TCommandRun checked = RunCommand("/usr/bin/python3 " + Quoted(kChecker) + " check " +
                                           Quoted(song) + " " + Quoted(mid) + " " + parts + " 2>&1");
    EXPECT_EQ(checked.ExitCode, 0) << checked.Output;
  }

  TTempDir folder_;
  const fs::path work_ = folder_.Path();
  THarmonyRules rules_;
};

// The attached text of a whole note written with it in a measure of Braille text, as the
// Braille reader takes it ("" when the measure cannot be read).
std::string AttachedTextRead(const std::string& text) {
  TErrorRecord errors;
  const auto list = TranslateBrailleText({"Vd4{$" + text + "}!y"}, 1, errors);
  if (errors.Get().Code != 0 || !list || list->First == nullptr) {
    return "";
  }
  return list->First->AttachedText.value_or("");
}

// "{$b+}", "{$t+a+s+}", "{$t-}": true when the text is made of voice-part switches.
bool IsPartSwitch(const std::string& text) {
  return std::regex_match(text, std::regex("([lbtas][+-])+"));
}

TEST_F(Harmony, EveryTextOnThePageIsRead) {
  const std::string page = Page();
  const std::regex attached("\\{\\$([^}]*)\\}");
  int harmonyTexts = 0;
  int switches = 0;
  for (std::sregex_iterator m(page.begin(), page.end(), attached), end; m != end; ++m) {
    const std::string text = (*m)[1];
    SCOPED_TRACE(text);
    if (text == "...") {  // the form itself
      continue;
    }
    EXPECT_EQ(AttachedTextRead(Utf8ToCp1251(text).Text), Utf8ToCp1251(text).Text);
    if (IsPartSwitch(text)) {
      TTrackRuntime runtime;
      for (size_t i = 0; i + 1 < text.size(); i += 2) {
        if (text[i + 1] == '-') {  // a switch off follows the same switch on
          ApplyVoicePartPrefixes(text.substr(i, 1) + "+", 1, runtime);
        }
      }
      EXPECT_EQ(ApplyVoicePartPrefixes(text, 1, runtime), "");
      ++switches;
      continue;
    }
    HarmonyState state;
    EXPECT_TRUE(ReadHarmonyText(Utf8ToCp1251(text).Text, rules_, state));
    EXPECT_FALSE(state.Chords.empty());
    EXPECT_EQ(text.find('=') != std::string::npos, state.StepsRef.has_value());
    ++harmonyTexts;
  }
  EXPECT_GE(harmonyTexts, 20);
  EXPECT_GE(switches, 5);
}

// The figure table: the soprano degrees listed for each position are exactly those the
// rules have a chord for.
TEST_F(Harmony, FigureTableListsTheSopranoDegrees) {
  std::istringstream page(Page());
  const std::regex row("\\| `(\\d+)` \\|[^|]*\\|([^|]*)\\|([^|]*)\\|([^|]*)\\|");
  int rows = 0;
  for (std::string line; std::getline(page, line);) {
    std::smatch m;
    if (!std::regex_match(line, m, row)) {
      continue;
    }
    ++rows;
    for (int column = 0; column < 3; ++column) {
      const std::string listed = m[2 + column];
      for (const char digit : std::string("1357")) {
        const std::string text = "t" + std::string(m[1]) + "cbm"[column] + digit;
        HarmonyState state;
        ReadHarmonyText(text, rules_, state);
        EXPECT_EQ(!state.Chords.empty(), listed.find(digit) != std::string::npos) << text;
      }
    }
  }
  EXPECT_EQ(rows, 7);
}

TEST_F(Harmony, SongsOnThePageSoundInFourParts) {
  const std::string page = Page();
  const std::regex block("```qem ([a-z,]+)\n([^`]*)```");
  int songs = 0;
  for (std::sregex_iterator m(page.begin(), page.end(), block), end; m != end; ++m) {
    const fs::path song = work_ / ("page" + std::to_string(++songs) + ".qem");
    std::string text = Utf8ToCp1251((*m)[2].str()).Text;
    std::ofstream(song, std::ios::binary) << std::regex_replace(text, std::regex("\n"), "\r\n");
    SCOPED_TRACE(text);
    ExpectClassicalHarmony(song, (*m)[1]);
  }
  EXPECT_GE(songs, 2);
}

TEST_F(Harmony, ExampleChoraleSoundsInFourPartsOnFourTracks) {
  ExpectClassicalHarmony(kSource / "examples/chorale-in-g.qem", "b,t,a,s");
  // The checker is not blind: read as if the tracks were in the opposite order, it objects.
  const TCommandRun reversed =
      RunCommand("/usr/bin/python3 " + Quoted(kChecker) + " check " +
                 Quoted(kSource / "examples/chorale-in-g.qem") + " " +
                 Quoted(work_ / "chorale-in-g.mid") + " s,a,t,b 2>&1");
  EXPECT_EQ(reversed.ExitCode, 1) << reversed.Output;
}

// Faults the check found: a chromatic step in two voices an octave apart (D to D sharp)
// is parallel octaves; a chord placed outside the ranges with "free" is still written, so
// that every part plays it.
TEST_F(Harmony, FoundFaultsStayMended) {
  for (const char* song : {"harmony-chromatic-octaves.qem", "harmony-free.qem"}) {
    SCOPED_TRACE(song);
    ExpectClassicalHarmony(kSource / "tests/data/songs" / song, "b,ts,as,s");
  }
}

// Seeded progressions with melodies: each one harmonized by the rules, or refused with
// error 29 at a measure of the song.
TEST_F(Harmony, GeneratedProgressionsKeepTheRulesOrEndInError29) {
  const TCommandRun run = RunCommand("/usr/bin/python3 " + Quoted(kChecker) + " generated " +
                                     Quoted(kBin / "velto") + " " + Quoted(work_ / "home") + " " +
                                     Quoted(work_ / "generated") + " 1 160 2>&1");
  EXPECT_EQ(run.ExitCode, 0) << run.Output;
  std::smatch solved;
  ASSERT_TRUE(std::regex_search(run.Output, solved, std::regex("solved (\\d+) of 160"))) << run.Output;
  EXPECT_GE(std::stoi(solved[1]), 50);
}

}  // namespace
