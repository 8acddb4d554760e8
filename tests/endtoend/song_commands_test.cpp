// `velto --export` on songs whose handlers or block calls fail: the error names the track,
// the handler line and the measure (or the module, or the missing file), ends an endless
// handler, and no MIDI file is written; the deepest nesting accepted exports.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

const fs::path kBin = fs::path(VELTO_BINARY_DIR) / "bin";

struct TFailingSong {
  const char* Name;
  std::string Music;                 // the music line of track 2 ("Bass")
  std::vector<std::string> Handler;  // its handler lines
  bool WithLibrary;                  // the installation tree holds Resources/qem.blk
  const char* Expected;              // the error line after "velto: SONG: " (UTF-8), or
                                     // nullptr: the export succeeds
  const char* Contains = "";         // further on in the line
};

void PrintTo(const TFailingSong& s, std::ostream* os) { *os << s.Name; }

// Lines of `depth` "for" loops of `rounds` rounds each, one inside the other.
std::vector<std::string> NestedFor(int depth, int rounds) {
  std::vector<std::string> lines{"variable i"};
  lines.insert(lines.end(), static_cast<size_t>(depth),
               "for i=1 to " + std::to_string(rounds) + " do");
  lines.insert(lines.end(), static_cast<size_t>(depth), "endfor");
  return lines;
}

class FailingExport : public ::testing::TestWithParam<TFailingSong> {
 protected:
  // An installation tree (with a small statement budget), and the song: a control track,
  // track 1 "Mel" of two measures and track 2 with the case's music and handler.
  void SetUp() override {
    const fs::path home = dir_.Path() + "home";
    fs::create_directories(home);
    for (const char* folder : {"Resources", "Translator", "Modules"}) {
      fs::copy(kBin / folder, home / folder, fs::copy_options::recursive);
    }
    if (!GetParam().WithLibrary) {
      fs::remove(home / "Resources" / "qem.blk");
    }
    std::ofstream(home / "velto.ini") << "[Handler]\r\nStatementsPerTick=200000\r\n";
    std::ofstream song(dir_.File("song.qem"), std::ios::binary);
    song << "1 0 0 1 1 1 1\r\nC\r\nVd4m\r\n2 0 1 1 1 1 1\r\nMel\r\n!PPPP\r\n!PPPP\r\n";
    song << "1 " << GetParam().Handler.size() << " 2 1 1 1 1\r\nBass\r\n"
         << GetParam().Music << "\r\n";
    for (const std::string& line : GetParam().Handler) {
      song << line << "\r\n";
    }
  }

  TCommandRun Export() {
    return RunCommand((kBin / "velto").string() + " --home '" + dir_.Path() + "home' --export '" +
                      dir_.File("song.qem") + "' '" + dir_.File("song.mid") + "' 2>&1");
  }

  TTempDir dir_;
};

TEST_P(FailingExport, ExportsOrNamesWhereItFailed) {
  const TCommandRun run = Export();
  if (GetParam().Expected == nullptr) {
    EXPECT_EQ(run.ExitCode, 0) << run.Output;
    EXPECT_TRUE(fs::exists(dir_.File("song.mid")));
    return;
  }
  EXPECT_EQ(run.ExitCode, 1);
  const std::string expected = "velto: " + dir_.File("song.qem") + ": " + GetParam().Expected;
  EXPECT_EQ(run.Output.substr(0, expected.size()), expected) << run.Output;
  EXPECT_NE(run.Output.find(GetParam().Contains), std::string::npos) << run.Output;
  EXPECT_FALSE(fs::exists(dir_.File("song.mid")));
}

INSTANTIATE_TEST_SUITE_P(
    Handlers, FailingExport,
    ::testing::Values(
        TFailingSong{"division_in_measure_2",
                     "!PPPP !PPPP",
                     {"variable x", "variable z", "1920..1930", "let x=1/z"},
                     true,
                     "трек 2 \"Bass\", строка обработчика 4, такт 2: ошибка 4: "
                     "Деление на ноль переменной z!"},
        TFailingSong{"endless_while",
                     "!PPPP",
                     {"while 1 do", "endwhile"},
                     true,
                     "трек 2 \"Bass\", строка обработчика 1, такт 1: ошибка 49: "
                     "Обработчик не кончается! больше 200000 операторов за один тик"},
        TFailingSong{"endless_for",
                     "!PPPP",
                     {"variable i", "for i=1 to 1000000000000 do", "endfor"},
                     true,
                     "трек 2 \"Bass\", строка обработчика 2, такт 1: ошибка 49: "},
        TFailingSong{"endless_jumps",
                     "!PPPP",
                     {"positionsong 0"},
                     true,
                     "трек 2 \"Bass\", строка обработчика 1, такт 1: ошибка 49: "
                     "Обработчик не кончается! больше 1000 переходов назад подряд"},
        TFailingSong{"endless_perform",
                     "!PPPP",
                     {"block a", "endblock", "block a", "perform a", "endblock", "perform a"},
                     true,
                     "трек 2 \"Bass\", строка обработчика 4, такт 1: ошибка 48: "},
        // A constant key outside 0..127 wraps when the statement runs.
        TFailingSong{"key_out_of_range", "!PPPP", {"keyon 1000 in 64"}, true, nullptr},
        TFailingSong{"nesting_beyond_the_bound",
                     "!PPPP",
                     NestedFor(10000, 2),
                     true,
                     "трек 2 \"Bass\", строка обработчика 1001: ошибка 47: "
                     "Слишком глубокая вложенность! не больше 999 вложенных операторов: for i=1 to 2 do"},
        // The song's own time block that holds the track's lines takes no level: the
        // deepest is the number the error says.
        TFailingSong{"deepest_nesting", "!PPPP", NestedFor(999, 1), true, nullptr}));

INSTANTIATE_TEST_SUITE_P(
    BlockCalls, FailingExport,
    ::testing::Values(TFailingSong{"unknown_block",
                                   ")nosuch:40.!PPPP",
                                   {},
                                   true,
                                   "трек 2 \"Bass\", такт 1, голос ",
                                   "ошибка 1: Синтаксическая ошибка! Блок не найден: nosuch:40"},
                      TFailingSong{"missing_library",
                                   ")pan:40.!PPPP",
                                   {},
                                   false,
                                   "модуль qem.blk: ошибка 19: Модуль не найден! ",
                                   "home/Resources/qem.blk"}));

}  // namespace
