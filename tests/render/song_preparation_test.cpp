#include "render/song_preparation.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>

#include "feedback/message_box.h"
#include "model/plugin_hooks.h"
#include "tests/support/render_song_support.h"

namespace {

using namespace rendertest;
namespace fs = std::filesystem;

std::vector<int> VoiceOneKeys(const TNoteList* list) {
  std::vector<int> keys;
  for (const TNoteRec* n = list ? list->First : nullptr; n != nullptr; n = n->Next) {
    keys.push_back(n->Step == 0 ? -1 : MidiKeyOf(n->Step, n->Accidental, n->Octave));
  }
  return keys;
}

// A song with a control track and three music tracks of one measure each.
std::unique_ptr<TVelto> ThreeTracks() {
  return SongOf({{0, "Общее", {"Vd4m"}, {}},
                 {1, "Первый", {"!y"}, {}},
                 {2, "Второй", {"!["}, {}},
                 {3, "Третий", {"!*"}, {}}});
}

class SongPreparationTest : public RenderTest {
 protected:
  void TearDown() override {
    SetMessageBoxes(nullptr);
    if (!home_.empty()) {
      fs::remove_all(home_);
    }
    RenderTest::TearDown();
  }

  // A program folder whose Translator folder holds `name`.cnv with the rule lines.
  void UseTranslator(const std::string& name, const std::vector<std::string>& rules) {
    home_ = fs::path(VELTO_BINARY_DIR) / ("preparation_home_" + std::to_string(::getpid()));
    fs::create_directories(home_ / "Translator");
    std::ofstream out(home_ / "Translator" / (name + ".cnv"), std::ios::binary);
    for (const std::string& r : rules) {
      out << r << "\r\n";
    }
    ProgramDir = home_.string() + "/";
  }

  fs::path home_;
};

// "numticks" in any track text sets the ticks per measure, and every track's grace-note,
// mordent and staccatissimo lengths (60, 60 and 10 at 1920) keep their share of it.
TEST_F(SongPreparationTest, NumticksRescalesTheOrnamentLengthsOfEveryTrack) {
  struct Case {
    std::vector<std::string> control;
    std::vector<std::string> first;
    int32_t ticks;
    long double grace, mordent, staccatissimo;
  };
  for (const Case& c : {Case{{"numticks 960"}, {}, 960, 30, 30, 5},
                        Case{{}, {"numticks 480"}, 480, 15, 15, 2.5},
                        Case{{}, {}, 1920, 60, 60, 10}}) {
    auto song = SongOf({{0, "Общее", {"Vd4m"}, c.control},
                        {1, "Первый", {"!y"}, c.first},
                        {2, "Второй", {"!["}, {}}});
    for (int run = 0; run < 2; ++run) {  // a second preparation starts from the defaults
      ASSERT_TRUE(PrepareSong(*song)) << GErrors.Get().Text;
      EXPECT_EQ(song->TicksPerMeasure, c.ticks);
      for (PTreck t = song->HeadTreck; t != nullptr; t = t->Next) {
        EXPECT_EQ(RuntimeOf(*t).ForshlagLength, c.grace) << c.ticks;
        EXPECT_EQ(RuntimeOf(*t).MordentLength, c.mordent) << c.ticks;
        EXPECT_EQ(RuntimeOf(*t).StaccatissimoLength, c.staccatissimo) << c.ticks;
      }
    }
  }
}

TEST_F(SongPreparationTest, OnlyTheControlTrackIsError22) {
  auto song = SongOf({{0, "Общее", {"Vd4m"}, {}}});
  song->CurrentTrack = song->HeadTreck;
  EXPECT_FALSE(PrepareSong(*song));
  const TErrors e = GErrors.Get();
  EXPECT_EQ(e.Code, 22);
  EXPECT_EQ(e.Source, 2);
  EXPECT_EQ(e.Measure, 1u);
  EXPECT_EQ(e.Voice, 1);
  EXPECT_TRUE(GRendering);
  EXPECT_EQ(song->StartTrack, song->HeadTreck);
}

TEST_F(SongPreparationTest, FormatPluginThatPreparesItselfStopsEverythingElse) {
  auto song = SongOf({{0, "Общее", {"Vd4m"}, {}}, {1, "A", {"!y", "!y"}, {}}, {2, "B", {"!y"}, {}}});
  auto format = std::make_shared<TFormatEntryPoints>();
  int calls = 0;
  format->InitialNotes = [&](PTreck&, PTreck&, PTreck&, int32_t&, int32_t&, TErrors&) {
    ++calls;
    return true;
  };
  song->FormatModule = format;
  EXPECT_TRUE(PrepareSong(*song));
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(TrackAt(*song, 2)->MusicStrings.size(), 1u) << "no track padded";
  EXPECT_FALSE(TrackAt(*song, 1)->NoteList) << "no track translated";
}

struct TWhichCase {
  const char* Name;
  int Solo;       // track set solo, 0 = none
  uint16_t Voice;  // the run's voice
  int Current;    // current track
  std::array<bool, 3> Translated;
};

void PrintTo(const TWhichCase& c, std::ostream* os) { *os << c.Name; }

class PreparedTracksTable : public SongPreparationTest,
                            public ::testing::WithParamInterface<TWhichCase> {};

TEST_P(PreparedTracksTable, TranslatesTheTracksThatPlay) {
  const TWhichCase& c = GetParam();
  auto song = ThreeTracks();
  if (c.Solo > 0) {
    TrackAt(*song, c.Solo)->Solo = true;
  }
  TrackAt(*song, 2)->Enabled = false;
  RenderRun().Voice = c.Voice;
  song->CurrentTrack = TrackAt(*song, c.Current);
  ASSERT_TRUE(PrepareSong(*song)) << int(GErrors.Code());
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(TrackAt(*song, i + 1)->NoteList != nullptr, c.Translated[i]) << "track " << i + 1;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PreparedTracksTable,
    ::testing::Values(TWhichCase{"EnabledTracks", 0, 0, 1, {true, false, true}},
                      TWhichCase{"SoloTrackAndTheFirst", 3, 0, 1, {true, false, true}},
                      TWhichCase{"SoloOfTheDisabledTrack", 2, 0, 1, {true, true, false}},
                      TWhichCase{"VoiceOfTheCurrentTrack", 0, 2, 2, {true, true, false}},
                      TWhichCase{"VoiceOfTheFirstTrack", 0, 1, 1, {true, false, false}}),
    [](const ::testing::TestParamInfo<TWhichCase>& info) { return std::string(info.param.Name); });

TEST_F(SongPreparationTest, AddedMeasuresAreTakenAwayAgainButWrittenRestsStay) {
  auto song = SongOf({{0, "Общее", {"Vd4m"}, {}},
                      {1, "A", {"!y", "m"}, {}},
                      {2, "B", {"!y", "!y", "!y"}, {}}});
  ASSERT_TRUE(PrepareSong(*song));
  EXPECT_EQ(song->HeadTreck->MusicStrings, std::vector<std::string>{"Vd4m"});
  EXPECT_EQ(TrackAt(*song, 1)->MusicStrings, (std::vector<std::string>{"!y", "m"}));
  EXPECT_EQ(TrackAt(*song, 2)->MusicStrings.size(), 3u);
  EXPECT_EQ(VoiceOneKeys(TrackAt(*song, 1)->NoteList.get()).size(), 3u)
      << "the control line of every measure";
}

struct TErrorCase {
  const char* Name;
  std::vector<std::string> Control;
  std::vector<std::string> Track;
  int ShownTrack;  // 0 control, 1 the track
  uint8_t Voice;
  int32_t Measure;
};

void PrintTo(const TErrorCase& c, std::ostream* os) { *os << c.Name; }

class TranslationErrorTable : public SongPreparationTest,
                              public ::testing::WithParamInterface<TErrorCase> {};

TEST_P(TranslationErrorTable, PointsTheWindowAtTheFault) {
  const TErrorCase& c = GetParam();
  auto song = SongOf({{0, "Общее", c.Control, {}}, {1, "A", c.Track, {}}});
  EXPECT_FALSE(PrepareSong(*song));
  const TErrors e = GErrors.Get();
  EXPECT_NE(e.Code, 0);
  EXPECT_EQ(e.Source, 2);
  EXPECT_EQ(e.Voice, c.Voice);
  EXPECT_EQ(e.ModuleLine, c.ShownTrack) << "the number of the track that holds the text";
  EXPECT_EQ(song->CurrentMeasure, c.Measure);
  const PTreck shown = c.ShownTrack == 0 ? song->HeadTreck : TrackAt(*song, 1);
  EXPECT_EQ(song->CurrentTrack, shown);
  EXPECT_EQ(song->StartTrack, shown);
  EXPECT_EQ(shown->Voice, c.Voice);
  EXPECT_TRUE(GRendering);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TranslationErrorTable,
    ::testing::Values(
        TErrorCase{"InTheControlLine", {"Vd4m", "!PPPPP"}, {"!y", "!y"}, 0, 1, 2},
        TErrorCase{"InTheTracksFirstVoice", {"Vd4m"}, {"!y", "!PPPPP"}, 1, 1, 2},
        TErrorCase{"InTheTracksSecondVoice", {"Vd4m"}, {"!y", "!y", "!y()!PPPPP"}, 1, 2, 3}),
    [](const ::testing::TestParamInfo<TErrorCase>& info) { return std::string(info.param.Name); });

TEST_F(SongPreparationTest, ControlQuestionDeclinedOnceTrackQuestionEveryTrack) {
  UseTranslator("tr", {"x=P"});
  auto boxes = std::make_shared<TScriptedMessageBoxes>(std::vector<int>{mbCancel, mbCancel, mbOk});
  SetMessageBoxes(boxes);
  struct TRecordingWindow : IPreparationWindow {
    void Saved(const std::string& label) override { saved.push_back(label); }
    void ShowTreck() override { ++shown; }
    std::vector<std::string> saved;
    int shown = 0;
  } window;
  // "P" is what the rule's right side spells: typed as it is, the translator did not make it.
  auto song = SongOf({{0, "Общее", {"Vd4!PPPP"}, {"translator tr"}},
                      {1, "A", {"!PPPP"}, {}},
                      {2, "B", {"!PPPP"}, {}}});
  ASSERT_TRUE(PrepareSong(*song, window)) << int(GErrors.Code());
  const std::vector<TMessageBoxRequest> asked = boxes->Shown();
  ASSERT_EQ(asked.size(), 3u);
  EXPECT_NE(asked[0].Text.find(Utf8ToCp1251("нулевому").Text), std::string::npos);
  EXPECT_NE(asked[1].Text.find("A"), std::string::npos);
  EXPECT_NE(asked[2].Text.find("B"), std::string::npos);
  EXPECT_NE(asked[2].Text.find("tr.cnv"), std::string::npos);
  ASSERT_EQ(window.saved.size(), 1u) << "only the accepted question converts";
  EXPECT_EQ(window.shown, 1);
  EXPECT_EQ(TrackAt(*song, 2)->MusicStrings[0], "!xxxx");
  EXPECT_EQ(TrackAt(*song, 1)->MusicStrings[0], "!PPPP");
  EXPECT_EQ(song->HeadTreck->MusicStrings[0], "Vd4!PPPP");
}

TEST_F(SongPreparationTest, TranslatorOffTrackUsesNoTranslator) {
  UseTranslator("tr", {"y=["});
  auto song = SongOf({{0, "Общее", {"Vd4m"}, {"translator tr"}},
                      {1, "A", {"!y"}, {}},
                      {2, "B", {"!y"}, {"translatoroff"}}});
  ASSERT_TRUE(PrepareSong(*song)) << int(GErrors.Code());
  const TNoteRec* a = TrackAt(*song, 1)->NoteList->First->VoiceChain;
  const TNoteRec* b = TrackAt(*song, 2)->NoteList->First->VoiceChain;
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(MidiKeyOf(a->Step, a->Accidental, a->Octave), 67);
  EXPECT_EQ(MidiKeyOf(b->Step, b->Accidental, b->Octave), 60);
  EXPECT_EQ(TrackAt(*song, 2)->TranslatorPath, "*");
}

TEST_F(SongPreparationTest, MissingTranslatorEndsPreparationWithoutError) {
  auto song = SongOf({{0, "Общее", {"Vd4m"}, {"translator nosuch"}}, {1, "A", {"!y"}, {}}});
  EXPECT_TRUE(PrepareSong(*song));
  EXPECT_EQ(GErrors.Code(), 0);
  EXPECT_FALSE(TrackAt(*song, 1)->NoteList);
}

TEST_F(SongPreparationTest, ControlNotesCopyTheFirstTracksControlVoiceWithTies) {
  auto song = SongOf({{0, "Общее", {"Vd4!PPSS"}, {}}, {1, "A", {"!y"}, {}}});
  ASSERT_TRUE(PrepareSong(*song)) << int(GErrors.Code());
  ASSERT_TRUE(song->HeadTreck->NoteList);
  EXPECT_EQ(VoiceOneKeys(song->HeadTreck->NoteList.get()), (std::vector<int>{60, 60, 62, 62}));
  std::vector<TShtrih> ties;
  for (const TNoteRec* n = song->HeadTreck->NoteList->First; n != nullptr; n = n->Next) {
    ties.push_back(n->Articulation);
  }
  EXPECT_EQ(ties, (std::vector<TShtrih>{TShtrih::Legatisimo, TShtrih::NonLegato,
                                        TShtrih::Legatisimo, TShtrih::NonLegato}));
}

TEST_F(SongPreparationTest, BlockLibraryWantedWhenEveryTrackUsesItsCommands) {
  auto song = SongOf({{0, "Общее", {"Vd4m"}, {}},
                      {1, "A", {")tempo:90.!y"}, {}},
                      {2, "B", {"!y"}, {}}});
  ASSERT_TRUE(PrepareSong(*song));
  EXPECT_TRUE(RuntimeOf(*TrackAt(*song, 1)).UsesBlockLibrary);
  EXPECT_FALSE(RuntimeOf(*TrackAt(*song, 2)).UsesBlockLibrary);
  EXPECT_FALSE(RuntimeOf(*song->HeadTreck).UsesBlockLibrary);
  EXPECT_EQ(song->HeadTreck->HandlerLines.size(), 0u);
}

}  // namespace
