// End to end for every example song: `velto --export` writes a file that an independent
// reader (mido) finds well formed and holding exactly the song's notes; FluidSynth renders
// it to sound; playing it through a recording device sends the same note events in the
// same order; the command line reports errors with their place.
#include <gtest/gtest.h>

#include "tests/support/run_command.h"
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>

#include "base/errors.h"
#include "platform/clock.h"
#include "platform/midi_devices/midi_recorder.h"
#include "playback/midi_ports.h"
#include "app/song_commands.h"
#include "settings/settings.h"

namespace {

namespace fs = std::filesystem;

const fs::path kSource = VELTO_SOURCE_DIR;
const fs::path kBin = fs::path(VELTO_BINARY_DIR) / "bin";
const char* kPython = "/usr/bin/python3";
const char* kSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";

// Runs a command with its errors joined to its output.
TCommandRun RunJoined(const std::string& command) { return RunCommand(command + " 2>&1"); }

std::string Quoted(const fs::path& p) { return "'" + p.string() + "'"; }

struct TExample {
  const char* Name;
  const char* Expect;  // a line the export check prints, or ""
};

void PrintTo(const TExample& e, std::ostream* os) { *os << e.Name; }

// A private copy of the installation tree as the program folder: a run never writes into
// the build's own tree, which other tests copy meanwhile.
// With the language files the texts follow the locale, else they are the built-in Russian.
void MakeHome(const fs::path& home, bool languages = false) {
  fs::create_directories(home);
  for (const char* folder : {"Resources", "Translator", "Modules", "Languages"}) {
    if (std::string_view(folder) == "Languages" && !languages) {
      continue;
    }
    if (fs::exists(kBin / folder)) {
      fs::copy(kBin / folder, home / folder, fs::copy_options::recursive);
    }
  }
}

// A private program folder, and a work folder.
class EndToEnd : public ::testing::TestWithParam<TExample> {
 protected:
  void SetUp() override {
    work_ = fs::path(VELTO_BINARY_DIR) /
            ("endtoend_" + std::to_string(::getpid()) + "_" +
             std::to_string(std::hash<std::string>()(
                 ::testing::UnitTest::GetInstance()->current_test_info()->name())));
    home_ = work_ / "home";
    MakeHome(home_);
  }
  void TearDown() override { fs::remove_all(work_); }

  fs::path Song() const { return kSource / "examples" / (std::string(GetParam().Name) + ".qem"); }

  TCommandRun Export(const fs::path& song, const fs::path& out) {
    return RunJoined((kBin / "velto").string() + " --home " + Quoted(home_) + " --export " +
                      Quoted(song) + " " + Quoted(out));
  }

  fs::path work_;
  fs::path home_;
};

TEST_P(EndToEnd, ExportHoldsTheSongsNotesAndSounds) {
  const fs::path mid = work_ / "song.mid";
  const TCommandRun exported = Export(Song(), mid);
  ASSERT_EQ(exported.ExitCode, 0) << exported.Output;
  const fs::path notes = work_ / "notes.txt";
  const TCommandRun listed =
      RunJoined((kBin / "velto-tool").string() + " notes " + Quoted(Song()) + " > " + Quoted(notes));
  ASSERT_EQ(listed.ExitCode, 0) << listed.Output;
  const TCommandRun checked = RunJoined(std::string(kPython) + " " +
                                  Quoted(kSource / "tests/endtoend/check_export.py") + " " +
                                  Quoted(mid) + " " + Quoted(notes));
  EXPECT_EQ(checked.ExitCode, 0) << checked.Output;
  EXPECT_NE(checked.Output.find(GetParam().Expect), std::string::npos) << checked.Output;

  const fs::path wav = work_ / "song.wav";
  const TCommandRun rendered = RunJoined("fluidsynth -ni -g 0.6 -r 22050 -F " + Quoted(wav) + " " +
                                   kSoundFont + " " + Quoted(mid));
  ASSERT_EQ(rendered.ExitCode, 0) << rendered.Output;
  const TCommandRun heard = RunJoined(std::string(kPython) + " " +
                                Quoted(kSource / "tests/endtoend/check_audio.py") + " " +
                                Quoted(wav) + " 5");
  EXPECT_EQ(heard.ExitCode, 0) << heard.Output;
}

TEST_P(EndToEnd, PlayingSendsTheExportedNoteEventsInOrder) {
  const fs::path mid = work_ / "song.mid";
  const TCommandRun exported = Export(Song(), mid);
  ASSERT_EQ(exported.ExitCode, 0) << exported.Output;

  TVirtualClock clock;
  auto recorder =
      std::make_shared<TMidiRecorderBackend>(clock, std::vector<TRecorderPortOptions>{{"rec"}});
  SetMidiBackends({recorder});
  SetPlaybackClock(&clock);
  ProgramDir = home_.string() + "/";
  SignalProgress = false;
  GErrors.Reset();
  std::ostringstream errors;
  const int status = PlaySongCommand(Song().string(), 0, errors);
  SetPlaybackClock(nullptr);
  SetMidiBackends({});
  GMidiOutDeviceList.clear();
  ASSERT_EQ(status, 0) << errors.str();

  const fs::path sent = work_ / "sent.txt";
  {
    std::ofstream out(sent);
    for (const TRecordedMessage& m : recorder->Recording(0)->ShortMessages()) {
      const uint8_t kind = m.Bytes[0] & 0xF0;
      if ((kind == 0x80 || kind == 0x90) && m.Bytes.size() == 3) {
        const bool on = kind == 0x90 && m.Bytes[2] > 0;
        out << m.TimeMs << " " << ((on ? 0x90 : 0x80) | (m.Bytes[0] & 0x0F)) << " "
            << int(m.Bytes[1]) << "\n";
      }
    }
  }
  const TCommandRun compared = RunJoined(std::string(kPython) + " " +
                                   Quoted(kSource / "tests/endtoend/check_play.py") + " " +
                                   Quoted(mid) + " " + Quoted(sent));
  EXPECT_EQ(compared.ExitCode, 0) << compared.Output;
}

INSTANTIATE_TEST_SUITE_P(Examples, EndToEnd,
                         ::testing::Values(TExample{"ode-to-joy", "tempo 0 100"},
                                           TExample{"twinkle-twinkle", "tempo 0 96"},
                                           TExample{"minuet-in-g", "tempo 0 120"},
                                           TExample{"when-the-saints", "tempo 23040 92"}),
                         [](const ::testing::TestParamInfo<TExample>& info) {
                           std::string name = info.param.Name;
                           std::erase(name, '-');
                           return name;
                         });

class CommandLine : public EndToEnd {};

TEST_P(CommandLine, ErrorsNameTheirPlaceAndExitWithOne) {
  const fs::path song = work_ / "broken.qem";
  {
    // The melody's second measure holds five quarters in 4/4.
    std::ofstream out(song, std::ios::binary);
    out << "1 0 0 1 1 1 1\r\nC\r\nVd4m\r\n2 0 1 1 1 1 1\r\nMel\r\n!PPPP\r\n!PPPPP\r\n";
  }
  const TCommandRun run = Export(song, work_ / "broken.mid");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("трек 1 \"Mel\", такт 2, голос 1: ошибка"), std::string::npos)
      << run.Output;
  EXPECT_FALSE(fs::exists(work_ / "broken.mid"));

  const TCommandRun missing = Export(work_ / "nosuch.qem", work_ / "x.mid");
  EXPECT_EQ(missing.ExitCode, 1);
  const TCommandRun usage = RunJoined((kBin / "velto").string() + " --export only-one.qem");
  EXPECT_EQ(usage.ExitCode, 2);
  EXPECT_NE(usage.Output.find("usage"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Broken, CommandLine, ::testing::Values(TExample{"broken", ""}));

// A song written for one check: the control track (channel 0) first, then music tracks.
struct TSongTrack {
  int Channel;
  const char* Name;
  std::vector<std::string> Music;
  std::vector<std::string> Program;
};

// A small song exported: every fact of `Facts` is a line of midi_facts.py's output (or,
// for a song that fails, `Error` is in the command's message); no fact of `Absent` is.
struct TSongCheck {
  const char* Name;
  std::vector<TSongTrack> Tracks;
  std::vector<std::string> Facts;
  std::vector<std::string> Absent;
  const char* Error;  // nullptr: the export succeeds
};

void PrintTo(const TSongCheck& c, std::ostream* os) { *os << c.Name; }

class SongChecks : public ::testing::Test,
                   public ::testing::WithParamInterface<TSongCheck> {
 protected:
  void SetUp() override {
    work_ = fs::path(VELTO_BINARY_DIR) /
            ("songchecks_" + std::to_string(::getpid()) + "_" + GetParam().Name);
    MakeHome(work_ / "home", true);
  }
  void TearDown() override { fs::remove_all(work_); }

  fs::path WriteSong() const {
    const fs::path song = work_ / "song.qem";
    std::ofstream out(song, std::ios::binary);
    for (const TSongTrack& t : GetParam().Tracks) {
      out << t.Music.size() << " " << t.Program.size() << " " << t.Channel << " 1 1 1 1\r\n"
          << t.Name << "\r\n";
      for (const std::string& line : t.Music) {
        out << line << "\r\n";
      }
      for (const std::string& line : t.Program) {
        out << line << "\r\n";
      }
    }
    return song;
  }

  fs::path work_;
};

TEST_P(SongChecks, ExportShowsIt) {
  const TSongCheck& c = GetParam();
  const fs::path mid = work_ / "song.mid";
  const TCommandRun exported =
      RunJoined((kBin / "velto").string() + " --home " + Quoted(work_ / "home") + " --export " +
                Quoted(WriteSong()) + " " + Quoted(mid));
  if (c.Error != nullptr) {
    EXPECT_EQ(exported.ExitCode, 1);
    EXPECT_NE(exported.Output.find(c.Error), std::string::npos) << exported.Output;
    return;
  }
  ASSERT_EQ(exported.ExitCode, 0) << exported.Output;
  const TCommandRun facts = RunJoined(std::string(kPython) + " " +
                                      Quoted(kSource / "tests/endtoend/midi_facts.py") + " " +
                                      Quoted(mid));
  ASSERT_EQ(facts.ExitCode, 0) << facts.Output;
  for (const std::string& fact : c.Facts) {
    EXPECT_NE(facts.Output.find(fact + "\n"), std::string::npos) << fact << "\n" << facts.Output;
  }
  for (const std::string& fact : c.Absent) {
    EXPECT_EQ(facts.Output.find(fact), std::string::npos) << fact << "\n" << facts.Output;
  }
}

const TSongTrack kControl44{0, "C", {"Vd4m", "Vd4m"}, {}};
// Reports the voice, the voice count and the numerator of voice 1 as controllers 20..22.
const std::vector<std::string> kVoiceQueries = {
    "block vq", "controller 20 in voice", "controller 21 in countvoices",
    "controller 22 in segmentcount 1", "break", "endblock"};

INSTANTIATE_TEST_SUITE_P(
    Engine, SongChecks,
    ::testing::Values(
        // "keys 1" visits the track's first voice, not the control track's line.
        TSongCheck{"KeysOneIsTheFirstVoice",
                   {kControl44, {1, "P", {"!SSOO", "wws"}, {"keys 1", "keyon keyname in 20", "endkeys"}}},
                   {"1 0 note_on 62 20", "1 2880 note_on 69 20"},
                   {"note_on 62 81", "note_on 69 81"},
                   nullptr},
        TSongCheck{"KeysLeaveOutTheControlLine",
                   {{0, "C", {"Vd4!y"}, {}}, {1, "P", {"!SSOO"}, {"keys", "controller 20 in keycount", "endkeys"}}},
                   {"1 0 cc 20 1"},
                   {"cc 20 2"},
                   nullptr},
        // A block started on the first voice, in 3/4 under a 4/4 control line.
        TSongCheck{"VoiceQueriesCountTheTracksOwnVoices",
                   {{0, "C", {"Vd4m"}, {}}, {1, "P", {"Vc4)vq.!SSO", "SSO"}, kVoiceQueries}},
                   {"1 0 cc 20 1", "1 0 cc 21 1", "1 0 cc 22 3"},
                   {},
                   nullptr},
        // The division comes from the first signature, whatever comes later.
        TSongCheck{"ThreeFourThenFourFourIsWrittenAsThreeFour",
                   {{0, "C", {"Vc4m", "Vd4m"}, {}}, {1, "P", {"Vc4!SSO", "Vd4SSOO"}, {}}},
                   {"division 640", "0 0 time_signature 3/4", "0 1920 time_signature 4/4",
                    "1 1920 note_on 62 81"},
                   {},
                   nullptr},
        TSongCheck{"NumticksRescalesTheOrnaments",
                   {{0, "C", {"Vd4m"}, {"numticks 960"}},
                    {1, "P", {"!SSOO"},
                     {"controller 20 in forshlag", "controller 21 in mordento",
                      "controller 22 in staccatisimo"}}},
                   {"division 240", "1 0 cc 20 30", "1 0 cc 21 30", "1 0 cc 22 5"},
                   {},
                   nullptr},
        // Constant keys and velocities wrap when the statements run (190 is key 62, 228
        // velocity 100, 197 key 69; 127 stays); keylength starts a note on key 188 - 128
        // at tick 0 with its negative length made positive.
        TSongCheck{"ConstantOperandsWrapAtRunTime",
                   {kControl44,
                    {1, "P", {"!SSOO", "wws"},
                     {"keyon 190 in 228", "keyon 197 in 127", "0", "keylength 188 in 0-480"}}},
                   {"1 0 note_on 62 100", "1 2880 note_on 69 127", "1 0 note_on 60 81"},
                   {"note_on 62 81", "note_on 69 81"},
                   nullptr},
        TSongCheck{"UnknownBlockInTheFirstVoice",
                   {kControl44, {1, "P", {"!SSOO", ")nosuch.wws"}, {}}},
                   {},
                   {},
                   "track 1 \"P\", measure 2, voice 1: error 1: Syntax error! Block not found: nosuch"},
        TSongCheck{"UnknownBlockInTheControlLine",
                   {{0, "C", {"Vd4m", ")nosuch.m"}, {}}, {1, "P", {"!SSOO", "wws"}, {}}},
                   {},
                   {},
                   "track 0 \"C\", measure 2, voice 1: error 1: Syntax error! Block not found: nosuch"},
        TSongCheck{"BadLabelInTheFirstVoice",
                   {kControl44, {1, "P", {"!SSOO", "<a-1>wws"}, {}}},
                   {},
                   {},
                   "track 1 \"P\", measure 2, voice 1: error 11"},
        TSongCheck{"BadLabelInTheControlLine",
                   {{0, "C", {"Vd4m", "<a-1>m"}, {}}, {1, "P", {"!SSOO", "wws"}, {}}},
                   {},
                   {},
                   "track 0 \"C\", measure 2, voice 1: error 11"}),
    [](const ::testing::TestParamInfo<TSongCheck>& info) { return std::string(info.param.Name); });

}  // namespace
