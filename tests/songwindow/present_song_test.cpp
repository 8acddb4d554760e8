// The window keeps its song on disk after each change: what a program that ends at once
// leaves behind holds the last key typed.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "model/leftover_songs.h"
#include "model/song_undo.h"
#include "songwindow/controller/braille_editor.h"
#include "songwindow/controller/song_window.h"
#include "tests/songwindow/song_window_fakes.h"
#include "tests/support/test_support.h"

namespace {

using namespace songwindowtest;

void Type(TSongWindow& window, char c) {
  window.Editor().KeyDown(vkOther, TShiftState{});
  window.Editor().KeyPress(static_cast<char32_t>(c));
  window.Editor().KeyUp(vkOther, TShiftState{});
}

std::unique_ptr<TSongWindow> OpenWindow(TWindowRig& rig, int32_t number) {
  auto window = std::make_unique<TSongWindow>(rig.Ports(), number, "qem");
  LoadSongText(*window, {"1 0 0 1 0 0 0", "Общее", "Vd4m", "1 0 1 1 0 0 0", "Мелодия", "!P"},
               rig.home.Dir().File("tune.qem"));
  window->ShowTreck(smSilent);
  rig.editors.caret = static_cast<int32_t>(rig.editors.notes.size());
  return window;
}

TEST(PresentSong, TheLastKeyTypedIsOnDisk) {
  TWindowRig rig;
  {
    std::unique_ptr<TSongWindow> window = OpenWindow(rig, 1);
    ASSERT_TRUE(window->WritePresentSong());
    EXPECT_FALSE(std::filesystem::exists(window->Undo().PresentPath())) << "nothing changed yet";
    Type(*window, 'S');
    Type(*window, 'N');
    ASSERT_EQ(rig.editors.notes, "!PSN");
    ASSERT_TRUE(window->WritePresentSong());
    // The window ends without being closed.
  }
  std::vector<TLeftoverSong> found = FindLeftoverSongs(rig.home.Dir().Path());
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].Lines.back(), "!PSN") << "the newest snapshot holds only !PS";
  EXPECT_EQ(found[0].FileName(), rig.home.Dir().File("tune.qem"));
  found[0].Discard();
}

TEST(PresentSong, ClosingLeavesNothingBehind) {
  TWindowRig rig;
  std::unique_ptr<TSongWindow> window = OpenWindow(rig, 2);
  Type(*window, 'S');
  ASSERT_TRUE(window->WritePresentSong());
  ASSERT_TRUE(std::filesystem::exists(window->Undo().PresentPath()));
  rig.questions.answers = {mbNo};
  ASSERT_TRUE(window->FormCloseQuery());
  EXPECT_FALSE(window->WritePresentSong()) << "a write after the close would leave a file";
  EXPECT_TRUE(rig.home.TempFiles().empty());
}

TEST(PresentSong, AnUndoneChangeIsNotRecovered) {
  TWindowRig rig;
  {
    std::unique_ptr<TSongWindow> window = OpenWindow(rig, 1);
    Type(*window, 'S');
    Type(*window, 'N');
    ASSERT_TRUE(window->WritePresentSong());
    // The undo command: the newest snapshot back, then one step back.
    TSongUndo song(*window);
    ASSERT_TRUE(window->Undo().Opened(song));
    window->Undo().DropNewest();
    EXPECT_FALSE(std::filesystem::exists(window->Undo().PresentPath()));
    window->ShowTreck(smSilent);
    ASSERT_TRUE(window->WritePresentSong());
  }
  std::vector<TLeftoverSong> found = FindLeftoverSongs(rig.home.Dir().Path());
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].Lines.back(), "!PS");
  found[0].Discard();
}

}  // namespace
