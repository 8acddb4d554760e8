#include "render/module_assembly.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "handler/handler_normalizer.h"
#include "handler/handler_names.h"
#include "platform/codec1251.h"
#include "tests/support/render_test_support.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
constexpr int kTpm = 1920;

class ModuleAssemblyTest : public RenderGlobalsTest {
 protected:
  void SetUp() override {
    RenderGlobalsTest::SetUp();
    ResetVoiceTables(0, kTpm);
  }
  static long double ConstantOf(TTreck& t, const std::string& name) {
    GHandlerCompile.ScopePath = {"get"};
    const TConstantLookup c = FindConstant(name, RuntimeOf(t).Program.Constants);
    GHandlerCompile.ScopePath.clear();
    EXPECT_NE(c.Scope, "-") << name;
    return c.Value;
  }
  // Compiles a song whose track i has the notes notes[i] and the handler lines lines[i].
  bool Compile(TTestSong& song, int tracks, const std::vector<std::string>& notes,
               const std::vector<std::vector<std::string>>& lines, TCompileSong& input) {
    for (int i = 0; i < tracks; ++i) {
      if (i < static_cast<int>(notes.size()) && !notes[i].empty()) {
        song[i].NoteList = TNoteBuilder::Build(notes[i]);
      }
      if (i < static_cast<int>(lines.size())) {
        song[i].HandlerLines = NormalizeProgramLines(lines[i]);
      }
      RuntimeOf(song[i]).TrackIndex = static_cast<uint16_t>(i);
    }
    input.ControlTrack = song.Head();
    input.ShownTrack = song.Head();
    return CompileTrackModules(input);
  }
};

TEST_F(ModuleAssemblyTest, LabelsBecomeConstantsHoldingTheirTicks) {
  THandlerProgram program;
  auto notes = TNoteBuilder::Build("c4 d4 <A1 e2 | f4 <1a g2 . ");
  EXPECT_EQ(RegisterNoteLabels(program, notes->First, 1, 0, kTpm, GErrors), 0);
  EXPECT_EQ(FindConstant("a1", program.Constants).Value, 480);
  EXPECT_EQ(FindConstant("1a", program.Constants).Value, 1920);
  EXPECT_EQ(GSongLength, 3840u);
}

TEST_F(ModuleAssemblyTest, LabelsUnderThreeFourAndSixEight) {
  struct Case {
    const char* notes;
    long double tick;
    uint32_t length;
  };
  const Case cases[] = {
      {"c4 '3/4 d4 e4 f4 <x", 1920, 2560},  // quarters of 640
      {"c8 '6/8 d8 e8 f8 g8 a8 c4 <x", 1920, 2560},
  };
  for (const Case& c : cases) {
    GSongLength = 0;
    ResetVoiceTables(0, kTpm);
    THandlerProgram program;
    auto notes = TNoteBuilder::Build(c.notes);
    ASSERT_EQ(RegisterNoteLabels(program, notes->First, 1, 0, kTpm, GErrors), 0) << c.notes;
    EXPECT_EQ(FindConstant("x", program.Constants).Value, c.tick) << c.notes;
    EXPECT_EQ(GSongLength, c.length) << c.notes;
  }
}

TEST_F(ModuleAssemblyTest, LabelErrorsElevenAndTwelve) {
  struct Case {
    const char* notes;
    uint8_t code;
    const char* text;
    uint32_t measure;
    uint8_t voice;
  };
  const Case cases[] = {
      {"c4 <a-1", 11, "a-1", 1, 1},
      {"c1 | d4 <twice e4 <twice", 12, "twice", 2, 1},
      {"c1 / d2 e2 <b:c", 11, "b:c", 1, 2},
      {"c1 | d4 <pi", 12, "pi", 2, 1},
  };
  for (const Case& c : cases) {
    GErrors.Reset();
    THandlerProgram program;
    DefineConstant(program.Constants, "pi", 3);
    auto notes = TNoteBuilder::Build(c.notes);
    EXPECT_EQ(RegisterNoteLabels(program, notes->First, 1, 0, kTpm, GErrors), c.code) << c.notes;
    const TErrors e = GErrors.Get();
    EXPECT_EQ(e.Code, c.code) << c.notes;
    EXPECT_EQ(e.Text, c.text);
    EXPECT_EQ(e.Source, 2);
    EXPECT_EQ(e.Measure, c.measure) << c.notes;
    EXPECT_EQ(e.Voice, c.voice) << c.notes;
  }
}

TEST_F(ModuleAssemblyTest, ControlTrackWalksOnlyItsFirstVoice) {
  THandlerProgram program;
  auto notes = TNoteBuilder::Build("c1 / d2 e2 <x");
  EXPECT_EQ(RegisterNoteLabels(program, notes->First, 0, 0, kTpm, GErrors), 0);
  EXPECT_EQ(FindConstant("x", program.Constants).Scope, "-");
}

TEST_F(ModuleAssemblyTest, PredefinedConstants) {
  TTestSong song(2);
  DefinePredefinedConstants(song.Head(), 960);
  for (int i = 0; i < 2; ++i) {
    EXPECT_NEAR(static_cast<double>(ConstantOf(song[i], "pi")), 3.14159265358979, 1e-12);
    EXPECT_EQ(ConstantOf(song[i], "tact"), 960);
    EXPECT_EQ(ConstantOf(song[i], "numticks"), 960);
    EXPECT_EQ(ConstantOf(song[i], "true"), 127);
    EXPECT_EQ(ConstantOf(song[i], "false"), 0);
    EXPECT_EQ(song[i].Runtime->VoiceWholeTicks[51], 960);
  }
}

TEST_F(ModuleAssemblyTest, CompilesEveryPlayingTrackAndTheControlTrack) {
  TTestSong song(3);
  TCompileSong input;
  ASSERT_TRUE(Compile(song, 3, {"c1", "c1 | d1 <two", "c2"},
                      {{"tempo 100"}, {"instrument 5"}, {"tempo 90"}}, input))
      << GErrors.Get().Text;
  for (int i = 0; i < 3; ++i) {
    EXPECT_NE(song[i].Runtime->Program.ProgramTree, nullptr) << i;
    EXPECT_EQ(song[i].TrackLength, 3840) << i;
    EXPECT_TRUE(song[i].HandlerLines.empty());
  }
  // The track's own lines follow the control track's and run under "positionsong".
  EXPECT_EQ(song[1].Runtime->Program.ProgramTree->Kind, skTempo);
  EXPECT_EQ(song[1].Runtime->Program.ProgramTree->Next->Kind, skSegment);
  EXPECT_EQ(ConstantOf(song[1], "two"), 1920);
  EXPECT_EQ(GSongLength, 3840u);
  EXPECT_EQ(input.Current, &song[2]);
}

TEST_F(ModuleAssemblyTest, WhichTracksAreCompiled) {
  struct Case {
    bool controlHandler;
    bool secondEnabled;
    bool thirdSolo;
    bool thirdEnabled;
    bool compiled[2];
  };
  const Case cases[] = {
      {true, true, false, true, {true, true}},
      {false, true, false, true, {false, false}},
      {true, false, true, true, {true, true}},  // the second track always; the solo one
      {true, true, false, false, {true, false}},
  };
  for (const Case& c : cases) {
    TTestSong song(3);
    song[0].HandlerOn = c.controlHandler;
    song[1].Enabled = c.secondEnabled;
    song[2].Solo = c.thirdSolo;
    song[0].Solo = c.thirdSolo;
    song[2].Enabled = c.thirdEnabled;
    TCompileSong input;
    ASSERT_TRUE(
        Compile(song, 3, {"", "c1 <here", "c1 | c1"}, {{}, {"tempo 90"}, {"tempo 80"}}, input));
    for (int i = 0; i < 2; ++i) {
      EXPECT_EQ(song[i + 1].Runtime->Program.ProgramTree != nullptr, c.compiled[i]) << i;
    }
    EXPECT_EQ(ConstantOf(song[1], "here"), 0) << "labels exist whether compiled or not";
    EXPECT_EQ(song[1].TrackLength, 3840);
  }
}

TEST_F(ModuleAssemblyTest, SongWithoutNotesHasLengthZero) {
  TTestSong song(2);
  TCompileSong input;
  ASSERT_TRUE(Compile(song, 2, {}, {}, input));
  EXPECT_EQ(GSongLength, 0u);
  EXPECT_EQ(song[1].TrackLength, 0);
}

TEST_F(ModuleAssemblyTest, HandlerErrorsAreCountedWithinTheTextThatHoldsThem) {
  struct Case {
    std::vector<std::string> control;
    std::vector<std::string> track;
    int shown;
    uint16_t line;
  };
  const Case cases[] = {
      {{"variable a", "let nosuch=1"}, {"tempo 90"}, 0, 2},
      {{"variable a"}, {"tempo 90", "tempo 80", "let nosuch=1"}, 1, 3},
  };
  for (const Case& c : cases) {
    GErrors.Reset();
    TTestSong song(2);
    TCompileSong input;
    int shown = 0;
    input.ShowTrack = [&] { ++shown; };
    EXPECT_FALSE(Compile(song, 2, {"", "c1"}, {c.control, c.track}, input));
    const TErrors e = GErrors.Get();
    EXPECT_EQ(e.Code, 5);
    EXPECT_EQ(e.Source, 1);
    EXPECT_EQ(e.ModuleLine, c.line);
    EXPECT_EQ(e.Track, c.shown);
    EXPECT_EQ(input.ShownTrack, &song[c.shown]);
    EXPECT_EQ(shown, 1);
    EXPECT_TRUE(GPrepareAgain);
    EXPECT_EQ(song[1].NoteList, nullptr) << "the song's render state is dropped";
    GPrepareAgain = false;
  }
}

// A track's notes begin with the control track's line (voice list 0): a label there is
// the control track's, one in voice list k is in the track's own voice k.
TEST_F(ModuleAssemblyTest, LabelErrorMovesTheWindowToItsTrackVoiceAndMeasure) {
  struct Case {
    const char* notes;
    int track;
    uint8_t voice;
  };
  for (const Case& c : {Case{"c1 | d1 / e2 <a-b f2", 2, 1}, Case{"c1 | d1 / e2 / f1 <a-b", 2, 2},
                        Case{"c1 | d1 <a-b / e2 f2", 0, 1}}) {
    GErrors.Reset();
    TTestSong song(3);
    TCompileSong input;
    EXPECT_FALSE(Compile(song, 3, {"", "c1", c.notes}, {}, input));
    const TErrors e = GErrors.Get();
    EXPECT_EQ(e.Code, 11) << c.notes;
    EXPECT_EQ(e.Voice, c.voice) << c.notes;
    EXPECT_EQ(e.ModuleLine, c.track) << c.notes;
    EXPECT_EQ(input.ShownTrack, &song[c.track]) << c.notes;
    EXPECT_EQ(input.ErrorMeasure, 2);
    EXPECT_EQ(song[c.track].Voice, c.voice);
  }
}


// The library in a folder of its own as the program folder, for as long as the test runs.
class LibraryFolder {
 public:
  explicit LibraryFolder(const char* library) : dir_(fs::path(temp_.Path()).parent_path()) {
    fs::create_directories(dir_ / "Resources");
    if (library != nullptr) {
      std::ofstream(dir_ / "Resources" / "qem.blk") << library;
    }
    saved_ = ProgramDir;
    ProgramDir = dir_.string() + "/";
  }
  ~LibraryFolder() {
    ProgramDir = saved_;
  }
  fs::path Library() const { return dir_ / "Resources" / "qem.blk"; }

 private:
  TTempDir temp_;  // one folder per test: the suite's tests run in parallel
  fs::path dir_;
  std::string saved_;
};

TEST_F(ModuleAssemblyTest, AnErrorInTheBlockLibraryIsReportedAgainstItsFile) {
  LibraryFolder folder("block good\r\ntempo 90\r\nendblock\r\nlet nosuch=2\r\n");
  TTestSong song(2);
  RuntimeOf(song[1]).UsesBlockLibrary = true;
  TCompileSong input;
  EXPECT_FALSE(Compile(song, 2, {"", "c1"}, {{"variable a"}, {"tempo 90"}}, input));
  const TErrors e = GErrors.Get();
  EXPECT_EQ(e.Code, 5);
  EXPECT_EQ(e.Source, 3);
  EXPECT_EQ(e.Module, "qem.blk");
  EXPECT_EQ(e.ModuleLine, 4);
}

// Each statement knows the text and line it came from: the library, the control track's
// lines (shared by every track) or the track's own.
TEST_F(ModuleAssemblyTest, StatementsKnowTheTextThatHoldsThem) {
  LibraryFolder folder("block accent\r\n\r\nkeyon 60 in 100\r\nendblock\r\n");
  TTestSong song(2);
  RuntimeOf(song[1]).UsesBlockLibrary = true;
  TCompileSong input;
  ASSERT_TRUE(Compile(song, 2, {"", "c1"}, {{"variable a", "tempo 90"}, {"", "instrument 5"}},
                      input))
      << GErrors.Get().Text;
  const PProgram tempo = song[1].Runtime->Program.ProgramTree;
  ASSERT_EQ(tempo->Kind, skTempo);
  EXPECT_EQ(tempo->Place.Line, 2);
  EXPECT_TRUE(tempo->Place.ControlText);
  const PProgram instrument = tempo->Next->Body;  // under the "positionsong" time block
  ASSERT_EQ(instrument->Kind, skInstrument);
  EXPECT_EQ(instrument->Place.Line, 2);
  EXPECT_FALSE(instrument->Place.ControlText);
  EXPECT_TRUE(instrument->Place.Module.empty());
  const PBlock accent = FindBlockByName("accent", song[1].Runtime->Program.Blocks);
  ASSERT_NE(accent, nullptr);
  EXPECT_EQ(accent->Tree->Place.Line, 3);
  EXPECT_EQ(accent->Tree->Place.Module, "qem.blk");
}

// A track whose notes call library blocks needs the library: its absence is named.
TEST_F(ModuleAssemblyTest, AMissingLibraryIsNamedWhenATrackNeedsIt) {
  LibraryFolder folder(nullptr);
  TTestSong song(3);
  TCompileSong input;
  ASSERT_TRUE(Compile(song, 2, {"", "c1"}, {{"variable a"}, {"tempo 90"}}, input))
      << "a song that calls no library block goes without it";
  TTestSong calling(2);
  RuntimeOf(calling[1]).UsesBlockLibrary = true;
  EXPECT_FALSE(Compile(calling, 2, {"", "c1"}, {{"variable a"}, {"tempo 90"}}, input));
  const TErrors e = GErrors.Get();
  EXPECT_EQ(e.Code, 19);
  EXPECT_EQ(e.Source, esModule);
  EXPECT_EQ(e.Module, "qem.blk");
  EXPECT_EQ(e.ModuleLine, 0);
  EXPECT_EQ(e.Text, folder.Library().string());
}

// A library that is a FIFO, a folder or a device is never waited on: the error says it is
// not a regular file, with its path, not that it is missing.
TEST_F(ModuleAssemblyTest, ALibraryThatIsNoRegularFileSaysSo) {
  LibraryFolder folder(nullptr);
  const std::string fifoPath = folder.Library().string();
  const std::vector<std::function<void()>> makers = {
      [&] { ASSERT_EQ(::mkfifo(fifoPath.c_str(), 0600), 0); },
      [&] { fs::create_directory(folder.Library()); },
      [&] { fs::create_symlink("/dev/zero", folder.Library()); },
  };
  for (const auto& make : makers) {
    fs::remove(folder.Library());
    make();
    TTestSong calling(2);
    RuntimeOf(calling[1]).UsesBlockLibrary = true;
    TCompileSong input;
    GErrors.Reset();
    EXPECT_FALSE(Compile(calling, 2, {"", "c1"}, {{"variable a"}, {"tempo 90"}}, input));
    const TErrors e = GErrors.Get();
    EXPECT_EQ(e.Code, kErrorModuleNotRegular);
    EXPECT_EQ(e.Module, "qem.blk");
    EXPECT_EQ(e.Text, fifoPath + Utf8ToCp1251(": Это не обычный файл (канал, устройство или сокет)").Text);
  }
  fs::remove(folder.Library());
}

TEST_F(ModuleAssemblyTest, TracksThatAskForTheLibraryGetItsBlocks) {
  TTestSong song(3);
  RuntimeOf(song[2]).UsesBlockLibrary = true;
  TCompileSong input;
  ASSERT_TRUE(Compile(song, 3, {"", "c1", "c1"}, {}, input)) << GErrors.Get().Text;
  EXPECT_EQ(FindBlockByName("tempo", song[1].Runtime->Program.Blocks), nullptr);
  EXPECT_NE(FindBlockByName("tempo", song[2].Runtime->Program.Blocks), nullptr);
}

}  // namespace
