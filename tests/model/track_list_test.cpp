#include <gtest/gtest.h>

#include <vector>

#include "model/song.h"
#include "scripthost/track_root.h"

namespace {

// Captions from the head along Next, checking every Prev link on the way.
std::vector<std::string> Captions(const TVelto& song) {
  std::vector<std::string> names;
  PTreck prev = nullptr;
  for (PTreck t = song.HeadTreck; t != nullptr; t = t->Next) {
    EXPECT_EQ(t->Prev, prev);
    names.push_back(t->Caption);
    prev = t;
  }
  EXPECT_EQ(static_cast<int32_t>(names.size()), song.TrackCount);
  return names;
}

// A song with tracks named by names, the last one current.
void AddTracks(TVelto& song, const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    song.AddTreck(song.CurrentTrack, name, 1);
  }
}

TEST(TrackList, AddingToAnEmptyWindowGivesOneTrack) {
  TVelto song;
  song.AddTreck(song.CurrentTrack, "Мелодия", 3);
  ASSERT_NE(song.CurrentTrack, nullptr);
  EXPECT_EQ(song.HeadTreck, song.CurrentTrack);
  EXPECT_EQ(song.TrackCount, 1);
  const TTreck& t = *song.CurrentTrack;
  EXPECT_EQ(t.Caption, "Мелодия");
  EXPECT_EQ(t.Channel, 3);
  EXPECT_EQ(t.MidiOut, 0);
  EXPECT_EQ(t.Tempo, 120.0L);
  EXPECT_EQ(t.ProgramCaretX, 1);
  EXPECT_EQ(t.ProgramCaretY, 1);
  EXPECT_EQ(t.Voice, 1);
  EXPECT_EQ(t.CaretColumn, 1);
  EXPECT_TRUE(t.Enabled);
  EXPECT_TRUE(t.HandlerOn);
  EXPECT_FALSE(t.Solo);
  EXPECT_TRUE(t.TranslatorPath.empty());
}

TEST(TrackList, AddingInTheMiddleInsertsAfterTheCurrentTrack) {
  TVelto song;
  AddTracks(song, {"a", "b", "c"});
  song.CurrentTrack = song.HeadTreck;
  const PTreck head = song.HeadTreck;
  song.AddTreck(song.CurrentTrack, "x", 2);
  EXPECT_EQ(Captions(song), (std::vector<std::string>{"a", "x", "b", "c"}));
  EXPECT_EQ(song.HeadTreck, head);
  EXPECT_EQ(song.CurrentTrack->Caption, "x");
}

TEST(TrackList, LaterTracksTakeTheFirstTracksTranslator) {
  TVelto song;
  song.AddTreck(song.CurrentTrack, "a", 0);
  song.HeadTreck->TranslatorPath = "Translator\\swing.cnv";
  song.AddTreck(song.CurrentTrack, "b", 1);
  EXPECT_EQ(song.CurrentTrack->TranslatorPath, "Translator\\swing.cnv");
}

TEST(TrackList, RemovingPicksTheSuccessorElseThePredecessor) {
  struct Case {
    int removeIndex;
    std::vector<std::string> left;
    std::string current;
  };
  const std::vector<Case> cases = {
      {0, {"b", "c"}, "b"},  // the head with a successor: it becomes current and head
      {1, {"a", "c"}, "c"},
      {2, {"a", "b"}, "b"},  // the last: its predecessor; the head stays
  };
  for (const Case& c : cases) {
    TVelto song;
    AddTracks(song, {"a", "b", "c"});
    PTreck victim = song.HeadTreck;
    for (int i = 0; i < c.removeIndex; ++i) {
      victim = victim->Next;
    }
    song.CurrentTrack = victim;
    song.RemoveTreck(song.CurrentTrack);
    EXPECT_EQ(Captions(song), c.left) << c.removeIndex;
    ASSERT_NE(song.CurrentTrack, nullptr);
    EXPECT_EQ(song.CurrentTrack->Caption, c.current);
    EXPECT_EQ(song.HeadTreck->Caption, c.left.front());
  }
}

TEST(TrackList, RemovingTheOnlyTrackEmptiesTheWindow) {
  TVelto song;
  AddTracks(song, {"a"});
  song.StartTrack = song.CurrentTrack;
  song.TrackRoot->Position = 4;
  song.RemoveTreck(song.CurrentTrack);
  EXPECT_EQ(song.CurrentTrack, nullptr);
  EXPECT_EQ(song.HeadTreck, nullptr);
  EXPECT_EQ(song.StartTrack, nullptr);
  EXPECT_EQ(song.TrackCount, 0);
  EXPECT_EQ(song.TrackRoot->Position, 0);
  song.RemoveTreck(song.CurrentTrack);  // nil: nothing happens
  EXPECT_EQ(song.TrackCount, 0);
}

TEST(TrackList, RemovingATrackThatIsNotCurrentKeepsTheWindowsFieldsValid) {
  TVelto song;
  AddTracks(song, {"a", "b", "c"});
  PTreck victim = song.HeadTreck;  // the head, while "c" is current
  song.RemoveTreck(victim);
  EXPECT_EQ(victim->Caption, "b");
  EXPECT_EQ(song.HeadTreck->Caption, "b");
  EXPECT_EQ(song.CurrentTrack->Caption, "c");
  EXPECT_EQ(Captions(song), (std::vector<std::string>{"b", "c"}));
}

TEST(TrackList, PlaybackStopsBeforeATrackIsFreed) {
  std::vector<std::vector<std::string>> seen;
  SetStopForTrackRemoval([&seen](TVelto& window) { seen.push_back(Captions(window)); });
  {
    TVelto song;
    AddTracks(song, {"a", "b"});
    song.RemoveTreck(song.CurrentTrack);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], (std::vector<std::string>{"a", "b"}));  // still whole when stopped
  }
  EXPECT_EQ(seen.size(), 2u);  // the window's end stops it too
  SetStopForTrackRemoval(nullptr);
}

TEST(TrackList, ClearTrackListFreesTheWholeListFromAnyTrack) {
  TVelto song;
  AddTracks(song, {"a", "b", "c"});
  PTreck middle = song.HeadTreck->Next;
  ClearTrackList(middle);
  EXPECT_EQ(middle, nullptr);
  song.HeadTreck = song.CurrentTrack = nullptr;  // the caller's to reset
  song.TrackCount = 0;
  PTreck none = nullptr;
  ClearTrackList(none);
  EXPECT_EQ(none, nullptr);
}

TEST(TrackRoot, RecordsItsWindowAndStartsAtPositionZero) {
  TVelto song;
  ASSERT_NE(song.TrackRoot, nullptr);
  EXPECT_EQ(song.TrackRoot->Owner, &song);
  EXPECT_EQ(song.TrackRoot->Position, 0);
  ASSERT_NE(song.TrackRoot->Measure, nullptr);
  EXPECT_EQ(song.TrackRoot->Measure->Owner, &song);
}

}  // namespace
