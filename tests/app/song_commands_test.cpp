// The commands of the command line through the library calls that a window uses too:
// exports that refuse to lose the song, songs that cannot be read whole, stop requests,
// devices that are missing.
#include "app/song_commands.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <new>
#include <sstream>
#include <thread>

#include "base/errors.h"
#include "model/song.h"
#include "platform/atomic_file.h"
#include "platform/midi_devices/midi_fluidsynth.h"
#include "platform/midi_devices/midi_log.h"
#include "platform/midi_devices/midi_recorder.h"
#include "playback/midi_ports.h"
#include "settings/settings.h"
#include "tests/support/child_process.h"
#include "tests/support/midi_log_check.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

const fs::path kSource = VELTO_SOURCE_DIR;
const fs::path kBin = fs::path(VELTO_BINARY_DIR) / "bin";

// A control track whose handler never ends, and one note.
const char* kEndlessSong =
    "1 2 0 1 1 1 1\r\nControl\r\nVd4m\r\nwhile 1 do\r\nendwhile\r\n"
    "1 0 1 1 1 1 1\r\nMelody\r\nVd4!NNQT\r\n";

std::string Example(const char* name) {
  return ReadFileBytes(kSource / "examples" / (std::string(name) + ".qem")).value();
}

bool HasTemporaryFile(const fs::path& folder) {
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().filename().string().rfind(".velto-", 0) == 0) {
      return true;
    }
  }
  return false;
}

// A program folder copied from the build, songs and outputs in a work folder.
class SongCommands : public testing::Test {
 protected:
  void SetUp() override {
    home_ = fs::path(temp_.Path()) / "home";
    work_ = fs::path(temp_.Path()) / "work";
    fs::create_directories(work_);
    fs::create_directories(home_);
    for (const char* folder : {"Resources", "Translator", "Modules"}) {
      if (fs::exists(kBin / folder)) {
        fs::copy(kBin / folder, home_ / folder, fs::copy_options::recursive);
      }
    }
    ProgramDir = home_.string() + "/";
    SignalProgress = false;
    GErrors.Reset();
    ResetCommandStop();
  }
  void TearDown() override {
    GHandlerStatementsPerTick = kDefaultHandlerStatementsPerTick;
    ResetCommandStop();
    SetMidiBackends({});
    GMidiOutDeviceList.clear();
  }

  fs::path Song(const std::string& bytes, const std::string& name = "song.qem") {
    const fs::path path = work_ / name;
    EXPECT_TRUE(WriteFileAtomically(path, bytes));
    return path;
  }

  TTempDir temp_;
  fs::path home_;
  fs::path work_;
};

TEST_F(SongCommands, ExportsNeverLoseTheSongNorLeaveHalfAFile) {
  struct Case {
    const char* what;
    std::string song;
    std::function<fs::path(const fs::path& song)> out;
    const char* error;  // part of the error; "" when the export succeeds
  };
  const std::string saints = Example("when-the-saints");
  const auto mid = [this](const fs::path&) { return work_ / "song.mid"; };
  const std::vector<Case> cases = {
      {"the song itself", saints, [](const fs::path& song) { return song; }, "не записываю: это сам сонг"},
      {"a link to the song", saints,
       [this](const fs::path& song) {
         fs::create_symlink(song, work_ / "link.mid");
         return work_ / "link.mid";
       },
       "link.mid не записываю: это сам сонг"},
      {"no name", saints, [](const fs::path&) { return fs::path(); }, "не назван файл, в который писать"},
      {"a full device", saints, [](const fs::path&) { return fs::path("/dev/full"); },
       "Не удаётся сохранить файл /dev/full: Нет места на диске"},
      {"a song cut short", saints.substr(0, 300), mid,
       "ошибка 39: файл кончается внутри трека 2 \"Бас\""},
      {"a UTF-8 song that code page 1251 cannot hold", "0 0 0 1 1 1 1\n\xE2\x99\xAB\n", mid,
       "U+266B \"\xE2\x99\xAB\" в строке 2"},
      {"a UTF-8 song with blank lines at the end",
       "1 0 0 1 1 1 1\n\xD0\x9F\xD0\xB5\xD1\x81\xD0\xBD\xD1\x8F\nVd4m\n1 0 1 1 1 1 1\nMelody\nVd4!NNQT\n\n\n",
       mid, ""},
  };
  for (const Case& c : cases) {
    const fs::path song = Song(c.song);
    const fs::path out = c.out(song);
    std::ostringstream err;
    const int status = ExportSongCommand(song.string(), out.string(), err);
    EXPECT_EQ(status, *c.error == '\0' ? 0 : 1) << c.what << ": " << err.str();
    EXPECT_NE(err.str().find(c.error), std::string::npos) << c.what << ": " << err.str();
    EXPECT_EQ(ReadFileBytes(song).value_or(""), c.song) << c.what;
    EXPECT_EQ(fs::exists(work_ / "song.mid"), *c.error == '\0') << c.what;
    EXPECT_FALSE(HasTemporaryFile(work_)) << c.what;
    fs::remove(work_ / "song.mid");
    fs::remove(work_ / "link.mid");
  }
}

TEST_F(SongCommands, AStopEndsAnExportWhoseHandlerNeverEnds) {
  // The handler runs until the stop, never into the statement bound.
  GHandlerStatementsPerTick = 2000000000;
  const fs::path song = Song(kEndlessSong);
  const fs::path out = work_ / "song.mid";
  std::ostringstream err;
  std::thread stopper([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    RequestCommandStop();
  });
  EXPECT_EQ(ExportSongCommand(song.string(), out.string(), err), 1);
  stopper.join();
  EXPECT_NE(err.str().find("остановлено; " + out.string() + " не записан"), std::string::npos)
      << err.str();
  EXPECT_FALSE(fs::exists(out));
  EXPECT_FALSE(HasTemporaryFile(work_));
}

TEST_F(SongCommands, AStoppedPlaySilencesEveryChannelItUsed) {
  const fs::path log = work_ / "midi.log";
  SetMidiBackends({std::make_shared<TMidiLogBackend>(log.string())});
  const fs::path song = Song(Example("when-the-saints"));
  std::thread stopper([&] {
    WaitUntil([&] { return SummariseMidiLog(FileText(log)).NoteOns >= 3; });
    RequestCommandStop();
  });
  std::ostringstream err;
  EXPECT_EQ(PlaySongCommand(song.string(), std::nullopt, err), 1);
  stopper.join();
  EXPECT_NE(err.str().find("velto: остановлено"), std::string::npos) << err.str();
  const TMidiLogSummary played = SummariseMidiLog(FileText(log));
  EXPECT_GE(played.NoteOns, 3);
  EXPECT_TRUE(played.StillSounding.empty()) << FileText(log);
}

TEST_F(SongCommands, AMissingSoundFontIsNamed) {
  TFluidSynthOptions options;
  options.SoundFont = (work_ / "missing.sf2").string();
  SetMidiBackends({std::make_shared<TFluidSynthBackend>(options)});
  const std::string reason = "sound font " + options.SoundFont + ": No such file or directory";
  std::ostringstream out, err;
  EXPECT_EQ(ListDevicesCommand(out, err), 0);
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(err.str(), "velto: " + reason + "\n");
  std::ostringstream playErr;
  EXPECT_EQ(PlaySongCommand(Song(Example("ode-to-joy")).string(), 0, playErr), 1);
  EXPECT_NE(playErr.str().find("нет MIDI-устройства вывода 0"), std::string::npos) << playErr.str();
  EXPECT_NE(playErr.str().find(reason), std::string::npos) << playErr.str();
}

// Port 0 on the working device, port 1 on one that refuses: the device named is port 1's.
TEST_F(SongCommands, APortThatCannotOpenIsNamedWithItsOwnDevice) {
  SetMidiBackends({std::make_shared<TMidiRecorderBackend>(
      SteadyClock(), std::vector<TRecorderPortOptions>{{"Синтезатор", true}, {"Recorder", false}})});
  GLastMidiOut = 2;
  GMidiOutDevices[1] = 0;
  GMidiOutDevices[2] = 1;
  std::ostringstream err;
  EXPECT_EQ(PlaySongCommand(Song(Example("ode-to-joy")).string(), 1, err), 1);
  GLastMidiOut = 0;
  GMidiOutDevices.fill(0);
  EXPECT_EQ(err.str(), "velto: MIDI-порт вывода 1: ошибка 18: Не могу инициировать midi-устройство! "
                       "Midi out hardware (Синтезатор)\n");
}

// A save killed in an earlier run left its temporary beside the song, in the folder its
// link leads to: opening the song removes it, and leaves the temporary of a save under way.
TEST_F(SongCommands, OpeningASongRemovesWhatAKilledSaveLeftBesideIt) {
  const fs::path songs = work_ / "songs";
  const fs::path links = work_ / "links";
  fs::create_directories(songs);
  fs::create_directories(links);
  // Written directly: a write through the writer would sweep the folder already.
  WriteBytes(songs / "ode.qem", Example("ode-to-joy"));
  fs::create_symlink(songs / "ode.qem", links / "ode.qem");
  const fs::path stale = songs / ".velto-0badf00d.tmp";
  const fs::path locked = songs / ".velto-1badf00d.tmp";
  for (const fs::path& temporary : {stale, locked}) {
    WriteBytes(temporary, "half a song");
    fs::last_write_time(temporary, fs::file_time_type::clock::now() - std::chrono::hours(1));
  }
  const int holder = ::open(locked.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
  TVelto window;
  std::ostringstream err;
  ASSERT_TRUE(LoadSongForCommand(window, (links / "ode.qem").string(), err)) << err.str();
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_TRUE(fs::exists(locked)) << "a save under way keeps its file";
  ::close(holder);
}

TEST(RunCommandGuarded, AnAllocationFailureIsAnErrorLine) {
  std::ostringstream err;
  EXPECT_EQ(RunCommandGuarded([] { return 7; }, err), 7);
  EXPECT_EQ(RunCommandGuarded([]() -> int { throw std::bad_alloc(); }, err), 1);
  EXPECT_EQ(err.str(), "velto: не хватает памяти: сонг слишком велик для этого компьютера\n");
}

}  // namespace
