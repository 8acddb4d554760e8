#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "app/shell.h"
#include "model/undo.h"
#include "tests/support/test_support.h"

namespace {

TEST(WindowNumbers, TheSmallestNumberNoWindowHolds) {
  struct Case {
    std::vector<int32_t> used;
    std::vector<int32_t> elsewhere;
    int32_t expected;
  };
  const Case cases[] = {
      {{}, {}, 1},
      {{1, 2, 4}, {}, 3},
      {{}, {1}, 2},
      {{1}, {2, 3}, 4},
      {{2}, {1, 3}, 4},
  };
  for (const Case& c : cases) {
    const auto held = [&c](int32_t n) {
      return std::find(c.elsewhere.begin(), c.elsewhere.end(), n) != c.elsewhere.end();
    };
    EXPECT_EQ(FreeWindowNumber(c.used, held), c.expected);
  }
}

// Another copy's live window keeps its number; its files stay as they are.
TEST(WindowNumbers, ALiveWindowsUndoLockKeepsItsNumber) {
  testsupport::TTempDir dir;
  std::filesystem::create_directories(dir.Path() + "Resources/temp");
  TUndoRing other(dir.Path(), 1, "qem");
  other.Start();
  const auto held = [&dir](int32_t n) { return UndoStateHeldElsewhere(dir.Path(), n); };
  EXPECT_EQ(FreeWindowNumber({}, held), 2);
  other.DeleteFiles();
  EXPECT_EQ(FreeWindowNumber({}, held), 1);
}

}  // namespace
