// A window holding a small song for the track and measure command tests: the control
// track and three tracks, the clipboards empty.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/song_undo.h"
#include "songwindow/parts/clipboards.h"
#include "songwindow/parts/dialog_results.h"
#include "tests/songwindow/song_window_fakes.h"

namespace songwindowtest {

// Header "M P Channel Voice CaretColumn ProgramCaretX ProgramCaretY", name, lines.
inline const std::vector<std::string> kCommandSong = {
    "1 0 0 1 1 1 1",  "Общее", "Vd4m",                        //
    "3 0 1 2 1 1 1",  "Piano", "a()b()c", "d", "e",           //
    "2 0 10 1 1 1 1", "Drums", "x", "y",                      //
    "1 0 2 1 1 1 1",  "Bass",  "z",
};

class CommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TrackClipboard.clear();
    MeasureClipboard.clear();
    SongMeasureClipboard.clear();
    MeasureClipboardKind = 0;
    LoadSongText(window_, kCommandSong);
    GoTo(1, 1);
  }
  void TearDown() override {
    TrackClipboard.clear();
    MeasureClipboard.clear();
    SongMeasureClipboard.clear();
    MeasureClipboardKind = 0;
  }
  // Track `number` (the control track 0) and `measure`, shown silently; nothing said yet.
  void GoTo(int number, int32_t measure) {
    PTreck track = window_.HeadTreck;
    for (int i = 0; i < number; ++i) {
      track = track->Next;
    }
    window_.CurrentTrack = track;
    window_.CurrentMeasure = measure;
    window_.ShowTreck(smSilent);
    rig_.speaker.said.clear();
    rig_.signaller.kinds.clear();
    rig_.questions.asked.clear();
  }
  PTreck Track(int number) const {
    PTreck track = window_.HeadTreck;
    for (int i = 0; i < number && track != nullptr; ++i) {
      track = track->Next;
    }
    return track;
  }
  // The captions in list order (UTF-8).
  std::vector<std::string> Captions() const {
    std::vector<std::string> names;
    for (PTreck t = window_.HeadTreck; t != nullptr; t = t->Next) {
      names.push_back(U(t->Caption));
    }
    return names;
  }
  int32_t ListLength() const {
    int32_t n = 0;
    for (PTreck t = window_.HeadTreck; t != nullptr; t = t->Next) {
      ++n;
    }
    return n;
  }
  std::string UndoLabel() { return U(window_.Undo().Label()); }
  int32_t UndoCount() { return window_.Undo().State().Count; }
  // The song of the newest undo snapshot, put back into the window.
  void RestoreNewest() {
    TSongUndo song(window_);
    ASSERT_TRUE(window_.Undo().Opened(song));
  }
  // The range dialog answers with the voices, first and last measure chosen.
  void AnswerRange(uint16_t choice, uint16_t from, uint16_t to) {
    rig_.windowDialogs.answers[TWindowDialog::MeasureRange] = [choice, from, to] {
      RangeVoiceChoice = choice;
      RangeFrom = from;
      RangeTo = to;
    };
  }

  TWindowRig rig_;
  TSongWindow window_{rig_.Ports(), 1, "qem"};
};

}  // namespace songwindowtest
