// A paste is refused when the song file would grow past what the reader takes back: the
// boundary counted to the byte, every line with its CR LF and the track header's count of
// handler lines with its digits.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "feedback/signals.h"
#include "model/song_file.h"
#include "settings/lang_texts.h"
#include "songwindow/controller/song_window.h"
#include "tests/songwindow/song_window_fakes.h"

namespace {

using namespace songwindowtest;

const std::vector<std::string> kSong = {"1 0 0 1 0 0 0", "Общее", "m",
                                        "1 0 1 1 0 0 0", "Мелодия", "!PSN"};

// 64 handler lines of 'x' that take the song file to `fileBytes`, when the song without
// handler lines is `emptyBytes` long: each line ends in CR LF, and the header's count of
// handler lines grows from "0" to "64".
std::string HandlerOfFile(uintmax_t emptyBytes, uintmax_t fileBytes) {
  constexpr size_t kLines = 64;
  uintmax_t left = fileBytes - emptyBytes - 1 - 2 * kLines;
  std::string text;
  for (size_t i = 0; i < kLines; ++i) {
    const uintmax_t length = std::min<uintmax_t>(left, kMaxSongLineBytes);
    text += std::string(length, 'x') + (i + 1 < kLines ? "\n" : "");
    left -= length;
  }
  EXPECT_EQ(left, 0u);
  return text;
}

TEST(EditorPaste, AHandlerPasteTakesTheSongFileTo16MiBAndNotAByteMore) {
  UnloadLanguage();
  TWindowRig rig;
  TSongWindow window(rig.Ports(), 1, "qem");
  LoadSongText(window, kSong);
  window.ShowTreck(smSilent);
  const std::filesystem::path file = rig.home.Dir().File("song.qem");
  std::string error;
  ASSERT_TRUE(SaveSongFile(window, file, "", &error)) << error;
  const uintmax_t emptyBytes = std::filesystem::file_size(file);

  rig.signaller.kinds.clear();
  EXPECT_FALSE(window.ProgramEditChange(HandlerOfFile(emptyBytes, kMaxSongFileBytes + 1), 0, 0, false));
  ASSERT_FALSE(rig.speaker.said.empty());
  EXPECT_EQ(rig.speaker.said.back(), "I Сонг стал бы больше 16777216 байт: вставка отменена");
  ASSERT_FALSE(rig.signaller.kinds.empty());
  EXPECT_EQ(rig.signaller.kinds.back() % 100, sError);
  EXPECT_TRUE(window.CurrentTrack->ProgramStrings.empty());

  EXPECT_TRUE(window.ProgramEditChange(HandlerOfFile(emptyBytes, kMaxSongFileBytes), 0, 0, false));
  ASSERT_EQ(window.CurrentTrack->ProgramStrings.size(), 64u);
  ASSERT_TRUE(SaveSongFile(window, file, "", &error)) << error;
  EXPECT_EQ(std::filesystem::file_size(file), kMaxSongFileBytes);
  TVelto again;
  EXPECT_TRUE(LoadSongFile(again, file, "", &error)) << error;
}

}  // namespace
