// Refusals say why: a text with a character code page 1251 cannot hold (pasted in either
// editor, given as a track name or a track's text, sought), a new track past the most a
// song holds, and the keys of commands that are off (undo with nothing to undo, the
// instruments or the drum table on a track they are not for, the harmony written out on a
// drum track) are answered by the error signal and a spoken reason, never a bare beep.
#include <gtest/gtest.h>

#include <functional>

#include "feedback/signals.h"
#include "model/song_text.h"
#include "settings/lang_texts.h"
#include "songwindow/controller/song_window.h"
#include "songwindow/dialogs/track_dialogs.h"
#include "tests/songwindow/song_window_fakes.h"

namespace {

using namespace songwindowtest;

const std::vector<std::string> kSong = {"1 0 0 1 0 0 0", "Общее", "m",
                                        "1 0 1 1 0 0 0", "Мелодия", "!PSN"};

struct TRefusalCase {
  const char* name;
  std::function<bool(TSongWindow&, TWindowRig&)> act;  // false: refused
  const char* said;                                      // the spoken reason (UTF-8)
  std::function<void(TSongWindow&)> prepare = {};
};

class RefusalReasonsTest : public ::testing::TestWithParam<TRefusalCase> {
 protected:
  void SetUp() override {
    UnloadLanguage();
    LoadSongText(window_, kSong);
    window_.ShowTreck(smSilent);
    rig_.speaker.said.clear();
    rig_.signaller.kinds.clear();
  }
  TWindowRig rig_;
  TSongWindow window_{rig_.Ports(), 1, "qem"};
};

TEST_P(RefusalReasonsTest, TheErrorSignalAndTheReasonSpokenNothingChanged) {
  const TRefusalCase& c = GetParam();
  if (c.prepare) {
    c.prepare(window_);
  }
  const std::vector<std::string> music = window_.CurrentTrack->MusicStrings;
  const std::string caption = window_.CurrentTrack->Caption;
  const int32_t tracks = window_.TrackCount;
  EXPECT_FALSE(c.act(window_, rig_));
  ASSERT_FALSE(rig_.speaker.said.empty());
  EXPECT_EQ(rig_.speaker.said.back(), std::string("I ") + c.said);
  ASSERT_FALSE(rig_.signaller.kinds.empty());
  EXPECT_EQ(rig_.signaller.kinds.back() % 100, sError);
  EXPECT_EQ(window_.CurrentTrack->MusicStrings, music);
  EXPECT_EQ(window_.CurrentTrack->Caption, caption);
  EXPECT_EQ(window_.TrackCount, tracks);
  EXPECT_EQ(window_.Undo().State().Count, 0);
}

void PrintTo(const TRefusalCase& c, std::ostream* out) { *out << c.name; }

constexpr const char* kCheckMark = "Символа U+2713 нет в кодировке 1251: текст не принят";

INSTANTIATE_TEST_SUITE_P(
    Refusals, RefusalReasonsTest,
    ::testing::Values(
        TRefusalCase{"BrailleEditorPaste",
                     [](TSongWindow& w, TWindowRig& rig) {
                       rig.editors.notes_focused = true;
                       rig.clipboard.text = "!P\u2713";
                       w.PasteFromKey();
                       return rig.editors.notes != "!PSN";
                     },
                     kCheckMark},
        TRefusalCase{"ProgramEditorPaste",
                     [](TSongWindow& w, TWindowRig&) {
                       return w.ProgramEditChange("tempo 90 \u2713", 0, 0, false);
                     },
                     kCheckMark},
        TRefusalCase{"TrackName",
                     [](TSongWindow& w, TWindowRig&) {
                       TTrackPropertiesDialog dialog(w);
                       return dialog.SetName("Piano \u266B");
                     },
                     "Символа U+266B нет в кодировке 1251: текст не принят"},
        TRefusalCase{"TrackText",
                     [](TSongWindow& w, TWindowRig&) {
                       TTrackTextDialog dialog(w);
                       return dialog.Save("!PSN\u2713");
                     },
                     kCheckMark},
        TRefusalCase{"NewTrackPastTheMost",
                     [](TSongWindow& w, TWindowRig&) {
                       w.NewTreck();
                       return w.TrackCount != kMaxSongTracks;
                     },
                     "В сонге уже 65535 треков: больше не добавить",
                     [](TSongWindow& w) {
                       PTreck last = w.CurrentTrack;
                       while (w.TrackCount < kMaxSongTracks) {
                         w.AddTreck(last, "t", 1);
                       }
                       w.CurrentTrack = w.HeadTreck->Next;
                     }},
        // The keys of commands that are off: the view hands them to RefuseCommand.
        TRefusalCase{"UndoWithNothingToUndo",
                     [](TSongWindow& w, TWindowRig&) {
                       w.RefuseCommand("Undo");
                       return false;
                     },
                     "Нечего отменять"},
        TRefusalCase{"InstrumentsOnADrumTrack",
                     [](TSongWindow& w, TWindowRig&) {
                       w.Instruments();
                       return false;
                     },
                     "Трек ударных: инструменты выбираются на мелодических треках, таблица ударных — F7",
                     [](TSongWindow& w) { w.CurrentTrack->Channel = 10; }},
        TRefusalCase{"DrumsOnAMelodyTrack",
                     [](TSongWindow& w, TWindowRig&) {
                       w.RefuseCommand("Drums");
                       return false;
                     },
                     "Таблица ударных — на треке ударных (канал 10); инструменты этого трека — F6"},
        TRefusalCase{"DrumsOnTheControlTrack",
                     [](TSongWindow& w, TWindowRig&) {
                       w.Drums();
                       return false;
                     },
                     "Трек сонга не звучит: инструменты и ударные выбираются на треках с нотами",
                     [](TSongWindow& w) { w.CurrentTrack = w.HeadTreck; }},
        TRefusalCase{"HarmonyOnADrumTrack",
                     [](TSongWindow& w, TWindowRig&) {
                       w.RefuseCommand("ConvertHarmonyInNotes");
                       return false;
                     },
                     "Трек ударных: гармонические ссылки преобразуются в ноты на мелодических треках",
                     [](TSongWindow& w) { w.CurrentTrack->Channel = 10; }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
