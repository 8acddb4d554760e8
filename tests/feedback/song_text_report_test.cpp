// A song text that cannot be read is shown as error 39 once the report is installed, both
// when a song is loaded and when undo loads a snapshot; without it nothing is shown.
#include "feedback/song_text_report.h"

#include <gtest/gtest.h>

#include "base/errors.h"
#include "feedback/error_messages.h"
#include "feedback/message_box.h"
#include "model/song.h"
#include "model/song_undo.h"
#include "model/undo.h"

namespace {

TEST(SongTextReport, ARefusedSongTextIsShownAsError39) {
  auto boxes = std::make_shared<TScriptedMessageBoxes>();
  SetMessageBoxes(boxes);
  TVelto song;
  std::string label;
  song.Data = {"label", "file", "not a header"};
  song.Convert(label);  // nothing installed: the caller tells the error itself
  EXPECT_TRUE(boxes->Shown().empty());

  InstallSongTextErrorReport();
  song.Convert(label);
  TSongUndo view(song);
  EXPECT_FALSE(view.RestoreSnapshot({"label"}).has_value());
  SetSongTextErrorReport(nullptr);
  SetMessageBoxes(nullptr);
  EXPECT_EQ(GErrors.Take().Code, 39);
  const auto shown = boxes->Shown();
  ASSERT_EQ(shown.size(), 2u);
  for (const TMessageBoxRequest& box : shown) {
    EXPECT_EQ(box.Text, SongErrorMessage(39, "", ""));
    EXPECT_EQ(box.Kind, 3);
  }
}

}  // namespace
