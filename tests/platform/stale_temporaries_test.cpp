// Temporary files that a write killed in an earlier run left beside its target.
#include "platform/stale_temporaries.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "platform/atomic_file.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

// Written directly: a write through the writer would sweep the folder already.
void Plant(const fs::path& path, std::chrono::hours age) {
  std::ofstream(path, std::ios::binary) << std::string(4096, 'x');
  fs::last_write_time(path, fs::file_time_type::clock::now() - age);
}

TEST(StaleTemporaries, TheNamePatternIsOurs) {
  EXPECT_TRUE(IsOwnTemporaryName(".velto-0123abcd.tmp"));
  for (const char* name : {".velto-0123abc.tmp", ".velto-0123ABCD.tmp", "velto-0123abcd.tmp",
                           ".velto-0123abcd.tmp~", ".velto-0123abcg.tmp", ".velto-0123abcd.tmpx",
                           "song.qem", ".velto-.tmp"}) {
    EXPECT_FALSE(IsOwnTemporaryName(name)) << name;
  }
}

// The first save into a folder removes the old unlocked leftovers of our own, and nothing
// else: not a write under way (locked), not one of this run, not another name.
TEST(StaleTemporaries, TheFirstSaveIntoAFolderRemovesOnlyOurOldUnlockedLeftovers) {
  TTempDir temp;
  const fs::path dir = temp.Path();
  const fs::path stale = dir / ".velto-0badf00d.tmp";
  const fs::path locked = dir / ".velto-1badf00d.tmp";
  const fs::path fresh = dir / ".velto-2badf00d.tmp";
  const fs::path theirs = dir / ".velto-3BADF00D.tmp";
  const fs::path folder = dir / ".velto-4badf00d.tmp";
  Plant(stale, std::chrono::hours(2));
  Plant(locked, std::chrono::hours(2));
  Plant(theirs, std::chrono::hours(2));
  std::ofstream(fresh, std::ios::binary) << "new";  // written in this run
  fs::create_directory(folder);
  const int holder = ::open(locked.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);

  ASSERT_TRUE(WriteFileAtomically(dir / "song.qem", "song"));
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_TRUE(fs::exists(locked)) << "a write under way keeps its file";
  EXPECT_TRUE(fs::exists(fresh));
  EXPECT_TRUE(fs::exists(theirs));
  EXPECT_TRUE(fs::is_directory(folder));
  ::close(holder);

  // Once unlocked it goes at the next sweep of that folder (a start sweeps its folders).
  EXPECT_EQ(RemoveStaleTemporaries(dir), 1);
  EXPECT_FALSE(fs::exists(locked));
}

}  // namespace
