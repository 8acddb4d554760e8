#include "model/file_identity.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>

#include "tests/support/test_support.h"

namespace {

using testsupport::ReadBytes;
using testsupport::TTempDir;
using testsupport::WriteBytes;

// Sets the file's modification time to `ns` nanoseconds since the epoch.
void SetModified(const std::string& path, int64_t ns) {
  const timespec times[2] = {{0, UTIME_OMIT}, {ns / 1'000'000'000, ns % 1'000'000'000}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

struct TOtherWriter {
  const char* Name;
  std::function<void(const std::string& path, int64_t remembered)> Act;
  TFileState Expected;
};

class FileIdentityTest : public ::testing::TestWithParam<TOtherWriter> {};

TEST_P(FileIdentityTest, TellsWhatAnotherWriterDid) {
  TTempDir dir;
  const std::string path = dir.File("tw.qem");
  WriteBytes(path, "1 0 1 1 0 0 0\r\nMelody\r\nSSOO\r\n");
  SetModified(path, 1'700'000'000'000'000'000);
  TFileIdentity identity;
  ASSERT_TRUE(identity.Remember(path, {"1 0 1 1 0 0 0", "Melody", "SSOO"}));
  const int64_t remembered = identity.Stamp()->ModifiedNs;
  GetParam().Act(path, remembered);
  EXPECT_EQ(identity.Check(path), GetParam().Expected);
  EXPECT_EQ(identity.Lines().size(), 3u);
}

INSTANTIATE_TEST_SUITE_P(
    Writers, FileIdentityTest,
    ::testing::Values(
        TOtherWriter{"nothing", [](const std::string&, int64_t) {}, TFileState::Unchanged},
        // touch(1), or an editor that saves without a change
        TOtherWriter{"touched",
                     [](const std::string& p, int64_t t) { SetModified(p, t + 5'000'000'000); },
                     TFileState::Unchanged},
        TOtherWriter{"samebytes renamed over",
                     [](const std::string& p, int64_t) {
                       WriteBytes(p + ".new", ReadBytes(p));
                       std::filesystem::rename(p + ".new", p);
                     },
                     TFileState::Unchanged},
        TOtherWriter{"other size",
                     [](const std::string& p, int64_t t) {
                       WriteBytes(p, ReadBytes(p) + "m\r\n");
                       SetModified(p, t);
                     },
                     TFileState::Changed},
        // Same size, and the clock was set back so that the time is the one remembered.
        TOtherWriter{"clock stepped back",
                     [](const std::string& p, int64_t t) {
                       WriteBytes(p, "1 0 1 1 0 0 0\r\nMelody\r\nSSOP\r\n");
                       SetModified(p, t);
                     },
                     TFileState::Changed},
        TOtherWriter{"older time",
                     [](const std::string& p, int64_t t) {
                       WriteBytes(p, "1 0 1 1 0 0 0\r\nMelody\r\nOOSS\r\n");
                       SetModified(p, t - 3'600'000'000'000);
                     },
                     TFileState::Changed},
        TOtherWriter{"deleted", [](const std::string& p, int64_t) { std::filesystem::remove(p); },
                     TFileState::Deleted},
        TOtherWriter{"a folder now",
                     [](const std::string& p, int64_t) {
                       std::filesystem::remove(p);
                       std::filesystem::create_directory(p);
                     },
                     TFileState::Changed}),
    [](const auto& info) {
      std::string name = info.param.Name;
      std::erase(name, ' ');
      return name;
    });

TEST(FileIdentity, ATouchKeepsTheNewTime) {
  TTempDir dir;
  const std::string path = dir.File("a.qem");
  WriteBytes(path, "x");
  SetModified(path, 1'000'000'000'000'000'000);
  TFileIdentity identity;
  ASSERT_TRUE(identity.Remember(path, {"x"}));
  SetModified(path, 1'000'000'000'500'000'000);
  EXPECT_EQ(identity.Check(path), TFileState::Unchanged);
  EXPECT_EQ(identity.Stamp()->ModifiedNs, 1'000'000'000'500'000'000);
}

TEST(FileIdentity, KnowsOnlyTheFileItRemembers) {
  TTempDir dir;
  WriteBytes(dir.File("a.qem"), "a");
  WriteBytes(dir.File("b.qem"), "b");
  TFileIdentity identity;
  EXPECT_EQ(identity.Check(dir.File("a.qem")), TFileState::Unknown);
  EXPECT_FALSE(identity.Remember(dir.File("missing.qem"), {}));
  EXPECT_FALSE(identity.Stamp().has_value());
  ASSERT_TRUE(identity.Remember(dir.File("a.qem"), {"a"}, true));
  EXPECT_TRUE(identity.WasUtf8());
  EXPECT_EQ(identity.Check(dir.File("b.qem")), TFileState::Unknown);
  std::filesystem::create_symlink(dir.File("a.qem"), dir.File("link.qem"));
  EXPECT_TRUE(identity.Holds(dir.File("link.qem")));
  EXPECT_TRUE(identity.Holds(dir.Path() + "./a.qem"));
  EXPECT_FALSE(identity.Holds(dir.File("b.qem")));
  identity.Forget();
  EXPECT_FALSE(identity.Holds(dir.File("a.qem")));
  EXPECT_FALSE(identity.WasUtf8());
}

TEST(FileIdentity, HashIsFnv1a) {
  EXPECT_EQ(HashBytes(""), 14695981039346656037ull);
  EXPECT_EQ(HashBytes("a"), 0xaf63dc4c8601ec8cull);
  EXPECT_NE(HashBytes("ab"), HashBytes("ba"));
}

}  // namespace
