#include <gtest/gtest.h>

#include <functional>

#include "feedback/message_box.h"
#include "feedback/signals.h"
#include "tests/songwindow/command_rig.h"

namespace {

using namespace songwindowtest;

class TrackCommandsTest : public CommandTest {};

// Each command's undo label, its spoken answer and the track list it leaves.
TEST_F(TrackCommandsTest, CommandsLabelSpeakAndChangeTheList) {
  struct TCase {
    const char* name;
    int track;                                    // current before the command
    std::function<void(TWindowRig&)> script;      // dialog and question answers
    std::function<void(TSongWindow&)> command;
    const char* label;                            // the newest undo label; nullptr: none pushed
    const char* said;                             // first spoken text; nullptr: nothing
    std::vector<std::string> captions;
    const char* current;
    std::vector<uint8_t> signals;
  };
  const std::vector<std::string> all = {"Общее", "Piano", "Drums", "Bass"};
  const TCase cases[] = {
      {"new track confirmed", 1, [](TWindowRig&) {}, [](TSongWindow& w) { w.NewTreck(); }, "Добавление трека",
       "I 2- Трек: безымянный", {"Общее", "Piano", "безымянный", "Drums", "Bass"}, "безымянный", {}},
      // Cancelled: the user stays on the track they were on, not on the one after the new track.
      {"new track cancelled", 1,
       [](TWindowRig& r) { r.windowDialogs.answers[TWindowDialog::TrackProperties] = [] { TrackDialogResult = 0; }; },
       [](TSongWindow& w) { w.NewTreck(); }, "Добавление трека", nullptr, all, "Piano", {}},
      {"delete confirmed", 1, [](TWindowRig& r) { r.questions.answers = {mbOk}; },
       [](TSongWindow& w) { w.DeleteTreck(); }, "Удаление трека", "I 1- Трек: Drums", {"Общее", "Drums", "Bass"},
       "Drums", {}},
      {"delete cancelled", 1, [](TWindowRig& r) { r.questions.answers = {mbCancel}; },
       [](TSongWindow& w) { w.DeleteTreck(); }, nullptr, "I 1- Трек: Piano", all, "Piano", {}},
      {"delete the control track", 0, [](TWindowRig& r) { r.questions.answers = {mbOk}; },
       [](TSongWindow& w) { w.DeleteTreck(); }, nullptr, "I 0- Сонг: Общее", all, "Общее", {sError}},
      {"solo", 1, [](TWindowRig&) {}, [](TSongWindow& w) { w.Solo(); }, nullptr, "I Трек засолирован", all, "Piano",
       {}},
      {"solo on the control track", 0, [](TWindowRig&) {}, [](TSongWindow& w) { w.Solo(); }, nullptr, nullptr, all,
       "Общее", {sError}},
      {"ensemble", 2, [](TWindowRig&) {}, [](TSongWindow& w) { w.Ansamble(); }, nullptr, "I Трек отключен", all,
       "Drums", {}},
      {"ensemble on the control track", 0, [](TWindowRig&) {}, [](TSongWindow& w) { w.Ansamble(); }, nullptr,
       nullptr, all, "Общее", {sError}},
      {"handler on the control track", 0, [](TWindowRig&) {}, [](TSongWindow& w) { w.Obrabotchik(); }, nullptr,
       "I Обработчик отключен", all, "Общее", {}},
      {"reset", 3, [](TWindowRig&) {}, [](TSongWindow& w) { w.ResetAll(); }, nullptr, "I Сброшено", all, "Bass", {}},
  };
  for (const TCase& c : cases) {
    SetUp();
    GoTo(c.track, 1);
    const int32_t countBefore = UndoCount();
    c.script(rig_);
    c.command(window_);
    if (c.label != nullptr) {
      EXPECT_EQ(UndoCount(), countBefore + 1) << c.name;
      EXPECT_EQ(UndoLabel(), c.label) << c.name;
    } else {
      EXPECT_EQ(UndoCount(), countBefore) << c.name;
    }
    if (c.said != nullptr) {
      ASSERT_FALSE(rig_.speaker.said.empty()) << c.name;
      EXPECT_EQ(rig_.speaker.said[0], c.said) << c.name;
    } else {
      EXPECT_TRUE(rig_.speaker.said.empty()) << c.name;
    }
    EXPECT_EQ(Captions(), c.captions) << c.name;
    EXPECT_EQ(window_.TrackCount, ListLength()) << c.name;
    EXPECT_EQ(U(window_.CurrentTrack->Caption), c.current) << c.name;
    EXPECT_EQ(rig_.signaller.kinds, c.signals) << c.name;
    EXPECT_EQ(TrackDialogResult, 0) << c.name;
    TrackDialogResult = 0;
    rig_.windowDialogs.answers.clear();
    TearDown();
  }
}

TEST_F(TrackCommandsTest, DeleteAsksWithTheTrackName) {
  rig_.questions.answers = {mbOk};
  window_.DeleteTreck();
  EXPECT_EQ(rig_.questions.asked, std::vector<std::string>{"0 Вы уверены, что хотите удалить трек Piano?"});
}

TEST_F(TrackCommandsTest, TheSwitchesFlipAndResetOnEveryTrack) {
  window_.Solo();
  window_.Solo();
  EXPECT_FALSE(Track(1)->Solo);
  window_.Solo();
  window_.Ansamble();
  GoTo(0, 1);
  window_.Obrabotchik();
  EXPECT_TRUE(Track(1)->Solo);
  EXPECT_FALSE(Track(1)->Enabled);
  EXPECT_FALSE(Track(0)->HandlerOn);
  window_.ResetAll();
  for (int n = 0; n < 4; ++n) {
    EXPECT_FALSE(Track(n)->Solo) << n;
    EXPECT_TRUE(Track(n)->Enabled) << n;
    EXPECT_TRUE(Track(n)->HandlerOn) << n;
  }
}

// Copy tracks 2..3 and paste them after the last track: the list and TrackCount grow by two,
// the copies are the song's own records, the first pasted is current, and the clipboard is
// empty, so a second paste refuses.
TEST_F(TrackCommandsTest, CopiedTracksPasteOnceAndCount) {
  rig_.windowDialogs.answers[TWindowDialog::TrackCopy] = [] { CopyFromTrack = 2, CopyToTrack = 3; };
  window_.CopyTreck();
  EXPECT_EQ(UndoCount(), 0);
  ASSERT_EQ(TrackClipboard.size(), 2u);
  EXPECT_EQ(TrackClipboard[0].MusicStrings, (std::vector<std::string>{"a()b()c", "d", "e"}));
  EXPECT_EQ(TrackClipboard[1].Channel, 10);
  EXPECT_EQ(TrackClipboard[0].Next, nullptr);
  GoTo(3, 1);
  window_.PasteTreck();
  EXPECT_EQ(Captions(), (std::vector<std::string>{"Общее", "Piano", "Drums", "Bass", "Piano", "Drums"}));
  EXPECT_EQ(window_.TrackCount, 6);
  EXPECT_EQ(window_.CurrentTrack, Track(4));
  EXPECT_EQ(Track(4)->Voice, 2);
  EXPECT_EQ(Track(5)->Prev, Track(4));
  EXPECT_EQ(Track(5)->Next, nullptr);
  EXPECT_NE(Track(4), Track(1));
  EXPECT_EQ(UndoLabel(), "Вставка трека из буфера");
  ASSERT_FALSE(rig_.speaker.said.empty());
  EXPECT_EQ(rig_.speaker.said[0], "I 4- Трек: Piano");
  EXPECT_TRUE(TrackClipboard.empty());
  // A second paste: nothing to paste.
  rig_.signaller.kinds.clear();
  window_.PasteTreck();
  EXPECT_EQ(window_.TrackCount, 6);
  EXPECT_EQ(rig_.signaller.kinds, std::vector<uint8_t>{sError});
  // The song text holds the six tracks and reads back as six.
  window_.DeConvert("x");
  TWindowRig other;
  TSongWindow read(other.Ports(), 2, "qem");
  std::string label;
  read.Data = window_.Data;
  read.Convert(label);
  EXPECT_EQ(read.TrackCount, 6);
}

// A pasted control track would give the song a second head; a copy that finds no track
// keeps what the clipboard held rather than emptying it for nothing.
TEST_F(TrackCommandsTest, TheCopyRangeNeverTakesTheControlTrackAndCancelKeepsTheClipboard) {
  struct TCase {
    const char* name;
    int32_t from, to;
    std::vector<std::string> clipboard;  // captions after the copy
  };
  const TCase cases[] = {
      {"from the head", 1, 2, {"Piano"}},
      {"one track", 3, 3, {"Drums"}},
      {"past the last", 4, 9, {"Bass"}},
      {"cancelled", -1, -1, {"old"}},
      {"nothing in the range", 6, 9, {"old"}},
  };
  for (const TCase& c : cases) {
    TrackClipboard.assign(1, TTreck{});
    TrackClipboard[0].Caption = "old";
    rig_.windowDialogs.answers[TWindowDialog::TrackCopy] = [&c] { CopyFromTrack = c.from, CopyToTrack = c.to; };
    window_.CopyTreck();
    std::vector<std::string> names;
    for (const TTreck& t : TrackClipboard) {
      names.push_back(t.Caption);
    }
    EXPECT_EQ(names, c.clipboard) << c.name;
  }
}

// The clipboard is every window's: tracks copied in one window paste into another.
TEST_F(TrackCommandsTest, TracksPasteIntoAnotherWindow) {
  rig_.windowDialogs.answers[TWindowDialog::TrackCopy] = [] { CopyFromTrack = 4, CopyToTrack = 4; };
  window_.CopyTreck();
  TWindowRig rig2;
  TSongWindow second(rig2.Ports(), 2, "qem");
  second.NewSong();
  second.ShowTreck(smSilent);
  second.PasteTreck();
  EXPECT_EQ(second.TrackCount, 3);
  EXPECT_EQ(second.CurrentTrack->Caption, "Bass");
  EXPECT_EQ(second.CurrentTrack->MusicStrings, std::vector<std::string>{"z"});
}

// What is typed before a command is in the snapshot the command pushes.
TEST_F(TrackCommandsTest, TheLineTypedIsCommittedBeforeTheSnapshot) {
  rig_.editors.notes = "q";
  rig_.questions.answers = {mbOk};
  window_.DeleteTreck();
  RestoreNewest();
  EXPECT_EQ(Captions(), (std::vector<std::string>{"Общее", "Piano", "Drums", "Bass"}));
  EXPECT_EQ(Track(1)->MusicStrings[0], "a()q()c");
}

// A track saved empty keeps no measure line; the window shows it all the same.
TEST_F(TrackCommandsTest, TheTrackTextMayBeSavedEmpty) {
  struct TCase {
    const char* name;
    std::vector<std::string> saved;
    std::vector<std::string> lines;
  };
  const TCase cases[] = {
      {"emptied", {}, {}},
      {"rewritten", {"f()g", "h"}, {"f()g", "h"}},
  };
  for (const TCase& c : cases) {
    GoTo(1, 1);
    rig_.windowDialogs.answers[TWindowDialog::TrackText] = [this, &c] {
      window_.Saved(W("Редактирование трека"));
      window_.CurrentTrack->MusicStrings = c.saved;
    };
    window_.TreckEditing();
    EXPECT_EQ(window_.CurrentTrack->MusicStrings, c.lines) << c.name;
    ASSERT_FALSE(rig_.speaker.said.empty()) << c.name;
    EXPECT_EQ(rig_.speaker.said[0], "I 1- Трек: Piano") << c.name;
  }
}

// A song's only track is never deleted, whatever its channel: the window would hold no track.
TEST(TrackCommandsOnly, TheOnlyTrackStays) {
  TWindowRig rig;
  TSongWindow window(rig.Ports(), 1, "qem");
  LoadSongText(window, {"1 0 1 1 1 1 1", "Solo", "a"});
  window.ShowTreck(smSilent);
  rig.questions.answers = {mbOk};
  window.DeleteTreck();
  EXPECT_EQ(window.TrackCount, 1);
  ASSERT_NE(window.CurrentTrack, nullptr);
  EXPECT_TRUE(rig.questions.asked.empty());
  EXPECT_EQ(rig.signaller.kinds, std::vector<uint8_t>{sError});
}

// Without a dialogs port the commands that need one beep and change nothing.
TEST(TrackCommandsNoDialogs, CommandsNeedingADialogRefuse) {
  TWindowRig rig;
  TSongWindowPorts ports = rig.Ports();
  ports.Dialogs = nullptr;
  TSongWindow window(ports, 1, "qem");
  LoadSongText(window, kCommandSong);
  window.ShowTreck(smSilent);
  const std::vector<std::string> before = window.CurrentTrack->MusicStrings;
  window.NewTreck();
  window.CopyTreck();
  window.TreckEditing();
  window.ClearTackt();
  window.DeleteTackt();
  EXPECT_EQ(window.TrackCount, 4);
  EXPECT_EQ(window.Undo().State().Count, 0);
  EXPECT_EQ(window.CurrentTrack->MusicStrings, before);
  EXPECT_EQ(rig.signaller.kinds, std::vector<uint8_t>(5, sError));
}

}  // namespace
