// The programs as a careless or hostile user runs them: outputs that name the song or are
// not files, songs cut short, signals at any moment, a missing sound font.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <thread>

#include "platform/atomic_file.h"
#include "tests/support/child_process.h"
#include "tests/support/midi_log_check.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

const fs::path kSource = VELTO_SOURCE_DIR;
const fs::path kBin = fs::path(VELTO_BINARY_DIR) / "bin";
const std::string kVelto = (kBin / "velto").string();

// RtMidi's probe of JACK leaks inside the JACK library (tests/lsan.supp).
const std::string kLeakOptions =
    "LSAN_OPTIONS=suppressions=" + (kSource / "tests/lsan.supp").string() + ":print_suppressions=0";

const char* kEndlessSong =
    "1 2 0 1 1 1 1\r\nControl\r\nVd4m\r\nwhile 1 do\r\nendwhile\r\n"
    "1 0 1 1 1 1 1\r\nMelody\r\nVd4!NNQT\r\n";

std::string Quoted(const fs::path& p) { return "'" + p.string() + "'"; }

bool HasTemporaryFile(const fs::path& folder) {
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().filename().string().rfind(".velto-", 0) == 0) {
      return true;
    }
  }
  return false;
}

class CommandLineFaults : public testing::Test {
 protected:
  void SetUp() override {
    home_ = fs::path(temp_.Path()) / "home";
    work_ = fs::path(temp_.Path()) / "work";
    fs::create_directories(home_);
    fs::create_directories(work_);
    for (const char* folder : {"Resources", "Translator", "Modules"}) {
      if (fs::exists(kBin / folder)) {
        fs::copy(kBin / folder, home_ / folder, fs::copy_options::recursive);
      }
    }
    // The handler of the endless song runs until a signal, never into the statement bound.
    std::ofstream(home_ / "velto.ini") << "[Handler]\r\nStatementsPerTick=2000000000\r\n";
    saints_ = work_ / "saints.qem";
    fs::copy(kSource / "examples/when-the-saints.qem", saints_);
  }

  std::vector<std::string> Velto(std::vector<std::string> arguments) const {
    arguments.insert(arguments.begin(), {kVelto, "--home", home_.string()});
    return arguments;
  }
  // Runs a shell line in the work folder, $VELTO standing for the program and its home (a
  // temporary folder: no blanks).
  TCommandRun Shell(const std::string& line) const {
    return RunCommand("cd " + Quoted(work_) + " && export " + kLeakOptions + " && VELTO=\"" +
                      kVelto + " --home " + home_.string() + "\" && " + line + " 2>&1");
  }

  TTempDir temp_;
  fs::path home_;
  fs::path work_;
  fs::path saints_;
};

TEST_F(CommandLineFaults, OutputsThatWouldLoseDataAreRefused) {
  struct Case {
    const char* what;
    std::string line;    // the shell line
    int exitCode;
    const char* output;  // part of what it prints
    std::function<void()> check = nullptr;
  };
  ::symlink("saints.qem", (work_ / "soft.mid").c_str());
  std::ofstream(work_ / "kept.mid") << "old";
  ::chmod((work_ / "kept.mid").c_str(), 0640);
  const std::string longName = std::string(251, 'n') + ".mid";
  const std::vector<Case> cases = {
      {"the song", "$VELTO --export saints.qem saints.qem", 1, "saints.qem не записываю: это сам сонг saints.qem"},
      {"a link to the song", "$VELTO --export saints.qem soft.mid", 1, "soft.mid не записываю: это сам сонг saints.qem"},
      {"no name", "$VELTO --export saints.qem ''", 2, "usage"},
      {"standard output", "$VELTO --export saints.qem - | head -c 4", 0, "MThd"},
      {"a full device", "$VELTO --export saints.qem /dev/full", 1,
       "velto: Не удаётся сохранить файл /dev/full: Нет места на диске"},
      {"no room left", "ulimit -f 0; trap '' XFSZ; $VELTO --export saints.qem big.mid", 1,
       "velto: Не удаётся сохранить файл big.mid: Файл больше, чем разрешено записывать"},
      {"an existing file", "$VELTO --export saints.qem kept.mid", 0, "",
       [&] {
         struct stat st {};
         ::stat((work_ / "kept.mid").c_str(), &st);
         EXPECT_EQ(st.st_mode & 0777, 0640u);
       }},
      {"the longest name", "$VELTO --export saints.qem " + longName, 0, "",
       [&] { EXPECT_TRUE(fs::exists(work_ / longName)); }},
  };
  const std::string song = FileText(saints_);
  for (const Case& c : cases) {
    const TCommandRun run = Shell(c.line);
    EXPECT_EQ(run.ExitCode, c.exitCode) << c.what << ": " << run.Output;
    EXPECT_NE(run.Output.find(c.output), std::string::npos) << c.what << ": " << run.Output;
    EXPECT_EQ(FileText(saints_), song) << c.what;
    EXPECT_FALSE(fs::exists(work_ / "big.mid")) << c.what;
    EXPECT_FALSE(HasTemporaryFile(work_)) << c.what;
    if (c.check) {
      c.check();
    }
  }
}

// An error of the command line speaks the language chosen in velto.ini, whatever the
// locale, as the window does.
TEST_F(CommandLineFaults, ErrorsAreInTheLanguageVeltoIniChooses) {
  fs::copy(kBin / "Languages", home_ / "Languages", fs::copy_options::recursive);
  ASSERT_TRUE(WriteFileAtomically(
      work_ / "bad.qem",
      "1 0 0 1 0 0 0\r\nControl\r\nVd4m\r\n1 0 1 1 0 0 0\r\nMelody\r\nVd4!NNQT)))zz\r\n"));
  struct Case {
    const char* file;    // the language velto.ini chooses
    const char* locale;  // LC_ALL, which names the other language
    const char* said;    // the message in the chosen language
    const char* other;   // the same message in the other one
  };
  const Case cases[] = {
      {"English.lng", "ru_RU.UTF-8", "The durations of the measure do not match its time signature",
       "Длительности такта"},
      {"Russian.lng", "C", "Длительности такта не соответствуют заданному размеру",
       "The durations of the measure"},
  };
  // A song file cut inside a track: the reason and its place prefix come from the file too.
  ASSERT_TRUE(WriteFileAtomically(work_ / "cut.qem", "0 0 0 1 0 0 0\r\nControl\r\n2 0 1 1 0 0 0\r\nMelody\r\n"));
  for (const Case& c : cases) {
    std::ofstream(home_ / "velto.ini") << "[MAIN]\r\nLanguage=" << c.file << "\r\n";
    const TCommandRun run =
        Shell(std::string("LC_ALL=") + c.locale + " $VELTO --export bad.qem bad.mid");
    EXPECT_EQ(run.ExitCode, 1) << c.file << ": " << run.Output;
    EXPECT_NE(run.Output.find(c.said), std::string::npos) << c.file << ": " << run.Output;
    EXPECT_EQ(run.Output.find(c.other), std::string::npos) << c.file << ": " << run.Output;
    const TCommandRun cut =
        Shell(std::string("LC_ALL=") + c.locale + " $VELTO --export cut.qem cut.mid");
    EXPECT_EQ(cut.ExitCode, 1) << c.file << ": " << cut.Output;
    const bool english = std::string(c.file) == "English.lng";
    for (const std::string& said : {run.Output, cut.Output}) {
      // UTF-8 Cyrillic letters begin with byte D0 or D1.
      const bool cyrillic = said.find_first_of("\xD0\xD1") != std::string::npos;
      EXPECT_EQ(cyrillic, !english) << c.file << ": " << said;
      for (const char* word : {"track", "measure", "voice", "error", "the file"}) {
        EXPECT_TRUE(english || said.find(word) == std::string::npos) << c.file << ": " << said;
      }
    }
  }
}

TEST_F(CommandLineFaults, ASongCutShortIsRefusedAndNeverRewritten) {
  for (const char* example : {"minuet-in-g", "when-the-saints"}) {
    const std::string song = FileText(kSource / "examples" / (std::string(example) + ".qem"));
    ASSERT_GT(song.size(), 300u);
    ASSERT_TRUE(WriteFileAtomically(work_ / "cut.qem", song.substr(0, 300)));
    for (const std::string& line : {std::string("$VELTO --export cut.qem cut.mid"),
                                    (kBin / "velto-tool").string() + " roundtrip cut.qem cut.mid"}) {
      const TCommandRun run = Shell(line);
      EXPECT_EQ(run.ExitCode, 1) << line << ": " << run.Output;
      EXPECT_NE(run.Output.find("39: файл кончается внутри трека 2"), std::string::npos)
          << line << ": " << run.Output;
      EXPECT_FALSE(fs::exists(work_ / "cut.mid")) << line;
      EXPECT_EQ(FileText(work_ / "cut.qem"), song.substr(0, 300));
    }
  }
}

// A FIFO as the song is refused with its name, never waited on; FIFOs and folders where the
// program reads at start (settings, measure cache, an undo state file) neither hang nor
// abort it. `timeout` is the watchdog of a hang.
TEST_F(CommandLineFaults, FifosAndFoldersWhereItReadsAreRefusedNeverWaitedOn) {
  ASSERT_EQ(::mkfifo((work_ / "fifo.qem").c_str(), 0600), 0);
  fs::remove(home_ / "velto.ini");
  ASSERT_EQ(::mkfifo((home_ / "velto.ini").c_str(), 0600), 0);
  fs::remove(home_ / "Resources/qem.dur");
  ASSERT_EQ(::mkfifo((home_ / "Resources/qem.dur").c_str(), 0600), 0);
  fs::create_directories(home_ / "Resources/temp/Qem[1].dat");
  TCommandRun run = Shell("timeout -s KILL 60 $VELTO --export fifo.qem out.mid");
  EXPECT_EQ(run.ExitCode, 1) << run.Output;
  EXPECT_NE(run.Output.find("Не удаётся открыть файл fifo.qem: Это не обычный файл"), std::string::npos) << run.Output;
  EXPECT_FALSE(fs::exists(work_ / "out.mid"));
  run = Shell("VELTO_SOUNDFONT=fifo.qem timeout -s KILL 60 $VELTO --list-devices");
  EXPECT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_NE(run.Output.find("sound font fifo.qem: not a regular file"), std::string::npos) << run.Output;
  run = Shell("timeout -s KILL 60 $VELTO --export saints.qem out.mid");
  EXPECT_EQ(run.ExitCode, 0) << run.Output;
  for (const fs::path& skipped : {home_ / "velto.ini", home_ / "Resources/qem.dur"}) {
    EXPECT_NE(run.Output.find("velto: cannot open " + skipped.string() + ": not a regular file (skipped)"),
              std::string::npos)
        << run.Output;
  }
  EXPECT_EQ(FileText(work_ / "out.mid").substr(0, 4), "MThd");
  EXPECT_TRUE(fs::is_fifo(home_ / "velto.ini"));
  EXPECT_TRUE(fs::is_fifo(home_ / "Resources/qem.dur"));
}

TEST_F(CommandLineFaults, SignalsEndAnEndlessExportCleanly) {
  ASSERT_TRUE(WriteFileAtomically(work_ / "endless.qem", kEndlessSong));
  for (int signal : {SIGINT, SIGTERM}) {
    TChildProcess velto(Velto({"--export", (work_ / "endless.qem").string(), (work_ / "out.mid").string()}),
                        {}, (work_ / "stdout").string(), (work_ / "stderr").string());
    ASSERT_TRUE(velto.Started());
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    velto.Signal(signal);
    EXPECT_EQ(velto.Wait(), 128 + signal);
    EXPECT_NE(FileText(work_ / "stderr").find("остановлено; "), std::string::npos)
        << FileText(work_ / "stderr");
    EXPECT_FALSE(fs::exists(work_ / "out.mid"));
    EXPECT_FALSE(HasTemporaryFile(work_));
  }
  // On a terminal the render's progress shows.
  const TCommandRun shown = Shell("script -qec \"timeout -s INT 2 $VELTO --export endless.qem "
                                  "out.mid\" /dev/null");
  EXPECT_NE(shown.Output.find("velto: генерация endless.qem: "), std::string::npos) << shown.Output;
}

TEST_F(CommandLineFaults, ASignalAtAnyMomentLeavesTheWholeFileOrNone) {
  const TCommandRun reference = Shell("$VELTO --export saints.qem reference.mid");
  ASSERT_EQ(reference.ExitCode, 0) << reference.Output;
  const std::string whole = FileText(work_ / "reference.mid");
  for (int delayMs = 0; delayMs <= 1100; delayMs += 100) {
    fs::remove(work_ / "out.mid");
    TChildProcess velto(Velto({"--export", saints_.string(), (work_ / "out.mid").string()}), {},
                        (work_ / "stdout").string(), (work_ / "stderr").string());
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    velto.Signal(SIGINT);
    const int status = velto.Wait();
    EXPECT_TRUE(status == 0 || status == 128 + SIGINT) << delayMs << " ms: " << status;
    EXPECT_FALSE(HasTemporaryFile(work_)) << delayMs << " ms";
    if (fs::exists(work_ / "out.mid")) {
      EXPECT_EQ(FileText(work_ / "out.mid"), whole) << delayMs << " ms";
    }
  }
}

TEST_F(CommandLineFaults, CtrlCDuringPlaySilencesEveryChannelUsed) {
  const fs::path log = work_ / "midi.log";
  const std::string logVariable = "VELTO_MIDI_LOG=" + log.string();
  const TCommandRun listed = Shell(logVariable + " $VELTO --list-devices");
  const size_t at = listed.Output.find(": log\n");
  ASSERT_NE(at, std::string::npos) << listed.Output;
  const std::string device = listed.Output.substr(listed.Output.rfind('\n', at) + 1,
                                                  at - listed.Output.rfind('\n', at) - 1);
  TChildProcess velto(Velto({"--play", saints_.string(), "--device", device}),
                      {logVariable, kLeakOptions},
                      (work_ / "stdout").string(), (work_ / "stderr").string());
  ASSERT_TRUE(WaitUntil([&] { return SummariseMidiLog(FileText(log)).NoteOns >= 3; }))
      << FileText(work_ / "stderr");
  velto.Signal(SIGINT);
  EXPECT_EQ(velto.Wait(), 128 + SIGINT) << FileText(work_ / "stderr");
  const TMidiLogSummary played = SummariseMidiLog(FileText(log));
  EXPECT_GE(played.NoteOns, 3);
  EXPECT_TRUE(played.StillSounding.empty()) << FileText(log);
}

// The MIDI log as a FIFO: without a reader the play is refused at once with the reason (as
// a device such as /dev/full is); with a reader that does not read, the log is said once
// to take no more, and SIGTERM still ends the play.
TEST_F(CommandLineFaults, AMidiLogFifoIsRefusedOrSaidAndThePlayEndsOnSigterm) {
  const fs::path fifo = work_ / "midi.fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const TCommandRun refused =
      Shell("VELTO_MIDI_LOG=midi.fifo timeout -s KILL 60 $VELTO --play saints.qem");
  EXPECT_EQ(refused.ExitCode, 1) << refused.Output;
  EXPECT_NE(refused.Output.find("midi.fifo: no program reads from this FIFO"), std::string::npos)
      << refused.Output;
  const TCommandRun full = Shell("VELTO_MIDI_LOG=/dev/full timeout -s KILL 60 $VELTO --play saints.qem");
  EXPECT_EQ(full.ExitCode, 1) << full.Output;
  EXPECT_NE(full.Output.find("/dev/full: not a regular file or a FIFO"), std::string::npos)
      << full.Output;

  // A reader that reads nothing, and a FIFO already full.
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(reader, 0);
  const int filler = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(filler, 0);
  const std::string block(4096, 'x');
  while (::write(filler, block.data(), block.size()) > 0) {
  }
  ::close(filler);
  const std::string logVariable = "VELTO_MIDI_LOG=" + fifo.string();
  TChildProcess velto(Velto({"--play", saints_.string()}), {logVariable, kLeakOptions},
                      (work_ / "stdout").string(), (work_ / "stderr").string());
  const std::string said = fifo.string() + ": the program reading this FIFO does not read";
  EXPECT_TRUE(WaitUntil([&] { return FileText(work_ / "stderr").find(said) != std::string::npos; }))
      << FileText(work_ / "stderr");
  velto.Signal(SIGTERM);
  std::promise<void> ended;
  std::thread watchdog([&velto, waited = ended.get_future()] {
    if (waited.wait_for(std::chrono::seconds(30)) == std::future_status::timeout) {
      velto.Signal(SIGKILL);
    }
  });
  const int status = velto.Wait();
  ended.set_value();
  watchdog.join();
  ::close(reader);
  EXPECT_EQ(status, 128 + SIGTERM) << FileText(work_ / "stderr");
  const std::string errors = FileText(work_ / "stderr");
  EXPECT_EQ(errors.find(said), errors.rfind(said)) << "said once: " << errors;
}

TEST_F(CommandLineFaults, AMissingSoundFontIsNamedAndNotListed) {
  const std::string missing = "VELTO_SOUNDFONT=" + (work_ / "missing.sf2").string();
  const TCommandRun listed = Shell(missing + " $VELTO --list-devices");
  EXPECT_EQ(listed.ExitCode, 0);
  EXPECT_EQ(listed.Output.find("FluidSynth"), std::string::npos) << listed.Output;
  EXPECT_NE(listed.Output.find("sound font " + (work_ / "missing.sf2").string() +
                               ": No such file or directory"),
            std::string::npos)
      << listed.Output;
  if (listed.Output.find("0: ") != std::string::npos) {
    GTEST_SKIP() << "this machine has other MIDI outputs to play on";
  }
  const TCommandRun played = Shell(missing + " $VELTO --play saints.qem --device 0");
  EXPECT_EQ(played.ExitCode, 1);
  EXPECT_NE(played.Output.find("missing.sf2: No such file or directory"), std::string::npos)
      << played.Output;
}

}  // namespace
