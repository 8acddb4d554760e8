#include "platform/atomic_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "tests/support/fifo_watchdog.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

std::string Bytes(const fs::path& path) { return ReadFileBytes(path).value_or("<unreadable>"); }

// True when a write left a temporary file in the folder.
bool HasTemporaryFile(const fs::path& folder) {
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().filename().string().rfind(".velto-", 0) == 0) {
      return true;
    }
  }
  return false;
}

mode_t ModeOf(const fs::path& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return st.st_mode & 07777;
}

TEST(AtomicFile, TargetsAreReplacedWrittenInPlaceOrRefusedByKind) {
  TTempDir temp;
  const fs::path dir = temp.Path();
  const bool root = ::geteuid() == 0;
  struct Case {
    const char* what;
    std::function<fs::path()> setUp;  // prepares the folder, gives the path written
    const char* error;                 // part of the error, "" when the write succeeds
    std::function<void(const fs::path&)> check = nullptr;
  };
  const std::vector<Case> cases = {
      {"a new file", [&] { return dir / "new.mid"; }, "",
       [](const fs::path& p) { EXPECT_EQ(Bytes(p), "NEW"); }},
      {"an existing file keeps its permissions",
       [&] {
         std::ofstream(dir / "kept.mid") << "old";
         fs::permissions(dir / "kept.mid", fs::perms(0640));
         return dir / "kept.mid";
       },
       "",
       [](const fs::path& p) {
         EXPECT_EQ(Bytes(p), "NEW");
         EXPECT_EQ(ModeOf(p), 0640u);
       }},
      {"a link: its target is replaced, the link stays",
       [&] {
         std::ofstream(dir / "target.mid") << "old";
         fs::create_symlink("target.mid", dir / "link.mid");
         return dir / "link.mid";
       },
       "",
       [&](const fs::path& p) {
         EXPECT_TRUE(fs::is_symlink(p));
         EXPECT_EQ(Bytes(dir / "target.mid"), "NEW");
       }},
      {"a name as long as a name may be",
       [&] { return dir / (std::string(251, 'n') + ".mid"); }, "",
       [](const fs::path& p) { EXPECT_EQ(Bytes(p), "NEW"); }},
      {"a character device is written in place", [] { return fs::path("/dev/null"); }, ""},
      {"a full device names the path and the reason", [] { return fs::path("/dev/full"); },
       "cannot write /dev/full: No space left on device"},
      {"a FIFO that nobody reads",
       [&] {
         ::mkfifo((dir / "fifo").c_str(), 0600);
         return dir / "fifo";
       },
       "fifo: no program reads from this FIFO",
       [](const fs::path& p) { EXPECT_TRUE(fs::is_fifo(p)); }},
      {"a folder",
       [&] {
         fs::create_directories(dir / "taken" / "inner");
         return dir / "taken";
       },
       "taken: Is a directory", [](const fs::path& p) { EXPECT_TRUE(fs::is_directory(p / "inner")); }},
      {"a missing folder", [&] { return dir / "missing" / "x.mid"; },
       "missing/x.mid: No such file or directory"},
      {"a loop of links",
       [&] {
         fs::create_symlink("loop2", dir / "loop1");
         fs::create_symlink("loop1", dir / "loop2");
         return dir / "loop1";
       },
       "Too many levels of symbolic links"},
      {"no name", [] { return fs::path(); }, "without a name"},
      // sysfs takes no new file, even from root: the folder is named, not the file.
      {"a folder that takes no new file", [] { return fs::path("/sys/song.qem"); },
       "cannot write /sys/song.qem: the folder /sys cannot be written ("},
      {"a read-only file",
       [&] {
         std::ofstream(dir / "locked.mid") << "old";
         fs::permissions(dir / "locked.mid", fs::perms(0444));
         return dir / "locked.mid";
       },
       root ? "" : "locked.mid: Permission denied",
       [&](const fs::path& p) { EXPECT_EQ(Bytes(p), root ? "NEW" : "old"); }},
  };
  for (const Case& c : cases) {
    const fs::path path = c.setUp();
    std::string error;
    const bool written = WriteFileAtomically(path, "NEW", &error);
    EXPECT_EQ(written, *c.error == '\0') << c.what << ": " << error;
    EXPECT_NE(error.find(c.error), std::string::npos) << c.what << ": " << error;
    if (c.check) {
      c.check(path);
    }
    EXPECT_FALSE(HasTemporaryFile(dir)) << c.what;
  }
}

TEST(AtomicFile, AWriterThatFailsOrIsCutOffLeavesTheOldFile) {
  TTempDir temp;
  const fs::path path = fs::path(temp.Path()) / "song.qem";
  ASSERT_TRUE(WriteFileAtomically(path, "old"));
  struct Case {
    const char* what;
    TFileWriter writer;
    const char* error;
  };
  const std::vector<Case> cases = {
      {"the writer fails",
       [](std::ostream& out, std::string& why) {
         out << "half";
         why = "the events are broken";
         return false;
       },
       "song.qem: the events are broken"},
      {"the program ends during the write",
       [](std::ostream& out, std::string&) {
         out << "half";
         RemovePendingTemporaryFiles();
         return true;
       },
       "No such file or directory"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(WriteFileAtomically(path, c.writer, &error)) << c.what;
    EXPECT_NE(error.find(c.error), std::string::npos) << c.what << ": " << error;
    EXPECT_EQ(Bytes(path), "old") << c.what;
    EXPECT_FALSE(HasTemporaryFile(temp.Path())) << c.what;
  }
}

// A crash right after the rename must find the new bytes on disk: the temporary file is
// synced whole while the old file still stands.
TEST(AtomicFile, TheNewBytesAreOnDiskBeforeTheyReplaceTheOldFile) {
  TTempDir temp;
  const fs::path path = fs::path(temp.Path()) / "song.qem";
  ASSERT_TRUE(WriteFileAtomically(path, "old"));
  std::vector<std::string> seen;  // at each sync: the file at the path, the file synced
  SetFileSync([&](int fd) {
    seen.push_back(Bytes(path) + "|" + Bytes("/proc/self/fd/" + std::to_string(fd)));
    return ::fsync(fd);
  });
  const bool written = WriteFileAtomically(path, "NEW");
  SetFileSync(nullptr);
  EXPECT_TRUE(written);
  EXPECT_EQ(seen, std::vector<std::string>{"old|NEW"});
  EXPECT_EQ(Bytes(path), "NEW");
}

TEST(AtomicFile, DescriptorsAndFifosAreWrittenDirectly) {
  TTempDir temp;
  int pipe[2];
  ASSERT_EQ(::pipe(pipe), 0);
  ASSERT_TRUE(WriteFileAtomically("/dev/fd/" + std::to_string(pipe[1]), "through a pipe"));
  ::close(pipe[1]);
  char buffer[64] = {};
  EXPECT_EQ(::read(pipe[0], buffer, sizeof buffer - 1), 14);
  EXPECT_STREQ(buffer, "through a pipe");
  ::close(pipe[0]);

  const fs::path fifo = fs::path(temp.Path()) / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  EXPECT_TRUE(WriteFileAtomically(fifo, "through a FIFO"));
  EXPECT_EQ(::read(reader, buffer, sizeof buffer - 1), 14);
  ::close(reader);
  EXPECT_TRUE(fs::is_fifo(fifo));
}

TEST(OutputFileProblem, TheFileBeingReadIsNeverTheOutput) {
  TTempDir temp;
  const fs::path dir = temp.Path();
  const fs::path song = dir / "song.qem";
  std::ofstream(song) << "song";
  fs::create_symlink("song.qem", dir / "soft.qem");
  fs::create_hard_link(song, dir / "hard.qem");
  const int fd = ::open(song.c_str(), O_RDONLY);
  struct Case {
    fs::path output;
    const char* problem;  // "" when the output may be written
  };
  const std::vector<Case> cases = {
      {song, "refusing to write"},
      {dir / "soft.qem", "refusing to write"},
      {dir / "hard.qem", "refusing to write"},
      {dir / "." / "song.qem", "refusing to write"},
      {"/dev/fd/" + std::to_string(fd), "refusing to write"},
      {dir / "song.mid", ""},
      {"/dev/null", ""},
      {"-", ""},
      {dir, "Is a directory"},
      {dir / "missing" / "song.mid", "No such file or directory"},
      {dir / "song.qem" / "x.mid", "Not a directory"},
      {"", "no output file"},
  };
  for (const Case& c : cases) {
    const std::string problem = OutputFileProblem(c.output, {song});
    EXPECT_EQ(problem.empty(), *c.problem == '\0') << c.output << ": " << problem;
    EXPECT_NE(problem.find(c.problem), std::string::npos) << c.output << ": " << problem;
  }
  ::close(fd);
  EXPECT_EQ(Bytes(song), "song");
}

TEST(ReadFileBytes, StopsAtTheLimitWhateverTheFile) {
  TTempDir temp;
  const fs::path file = fs::path(temp.Path()) / "ten";
  std::ofstream(file) << "0123456789";
  std::string error;
  EXPECT_EQ(ReadFileBytes(file, &error, 10).value_or(""), "0123456789");
  EXPECT_FALSE(ReadFileBytes(file, &error, 9).has_value());
  EXPECT_NE(error.find("larger than 9 bytes"), std::string::npos) << error;
  EXPECT_FALSE(ReadFileBytes("/dev/zero", &error, 100000).has_value());  // never ends
  EXPECT_NE(error.find(kNotRegularFile), std::string::npos) << error;  // refused before
  EXPECT_FALSE(ReadFileBytes(temp.Path(), &error).has_value());
  EXPECT_NE(error.find("Is a directory"), std::string::npos) << error;
  EXPECT_FALSE(ReadFileBytes(fs::path(temp.Path()) / "nothing", &error).has_value());
  EXPECT_NE(error.find("No such file"), std::string::npos) << error;
}

// Whatever is not a regular file is refused at once, with an error naming it: a FIFO
// that nobody writes would keep a blocking open waiting for good.
TEST(ReadFileBytes, RefusesWhatIsNotARegularFileWithoutWaiting) {
  TTempDir temp;
  const fs::path dir = temp.Path();
  fs::create_directory(dir / "folder.qem");
  ASSERT_EQ(::mkfifo((dir / "fifo.qem").c_str(), 0600), 0);
  fs::create_symlink(dir / "fifo.qem", dir / "link.qem");
  struct Case {
    fs::path path;
    std::string_view reason;
  };
  const std::vector<Case> cases = {
      {dir / "folder.qem", "Is a directory"},
      {dir / "fifo.qem", kNotRegularFile},
      {dir / "link.qem", kNotRegularFile},
      {"/dev/null", kNotRegularFile},
  };
  TFifoWatchdog watchdog({(dir / "fifo.qem").string()});
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(ReadFileBytes(c.path, &error).has_value()) << c.path;
    EXPECT_EQ(error, "cannot open " + c.path.string() + ": " + std::string(c.reason));
    std::string why;
    EXPECT_EQ(OpenRegularFile(c.path, O_RDONLY, &why), -1) << c.path;
    EXPECT_EQ(why, c.reason) << c.path;
  }
  EXPECT_TRUE(watchdog.Done()) << "a read waited on the FIFO until the watchdog released it";
  std::ofstream(dir / "song.qem") << "song";
  std::string why;
  const int fd = OpenRegularFile(dir / "song.qem", O_RDONLY, &why);
  ASSERT_GE(fd, 0) << why;
  char bytes[8] = {};
  EXPECT_EQ(::read(fd, bytes, sizeof bytes), 4);  // blocking again, as a plain open
  EXPECT_EQ(::fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
  ::close(fd);
  EXPECT_EQ(OpenRegularFile(dir / "link.qem", O_RDONLY | O_NOFOLLOW, &why), -1);
}

}  // namespace
