// keys over the sounding notes of a track: voices, chords, rests, harmony parts, grace
// notes and mordents; and the queries that read the note queue.
#include <gtest/gtest.h>

#include "base/note_arithmetic.h"
#include "notation/note_record.h"
#include "tests/support/handler_executor_fixture.h"

namespace {

class KeysTest : public HandlerExecutorTest {
 protected:
  // A quarter note (480 ticks at 1920 per whole note) of the step and octave.
  TNoteRec* Note(int32_t step, int32_t octave, uint8_t ornament = 0) {
    TNoteRec* n = notes_.NewNote();
    n->Step = step;
    n->Octave = octave;
    n->Value = 4;
    n->ValueKind = 1;
    n->OrnamentNumber = ornament;
    n->Articulation = TShtrih::Legato;
    return n;
  }
  TQueueEntry& Queue(TNoteRec* note, uint8_t voice, long double remaining = 480,
                     bool startsNow = true) {
    return Runtime().NoteQueue.emplace_back(TQueueEntry{note, voice, remaining, 480, 0, startsNow});
  }

  // Compiles a keys statement whose body records every key visited.
  void CompileKeys(const std::string& header) {
    Compile({"variable n", "array kn", "array kl", "array kp", "array pr", "array pn", "array pl",
             "array nn", "array nl", "array kc", "array sf", header, "let n=n+1",
             "let kn[n]=keyname", "let kl[n]=keylength", "let kp[n]=keyposition",
             "let pr[n]=keypressed", "let pn[n]=priorkeyname", "let pl[n]=priorkeylength",
             "let nn[n]=nextkeyname", "let nl[n]=nextkeylength", "let kc[n]=keycount",
             "let sf[n]=shtrihfactor", "endkeys"});
  }

  std::vector<long double> Keys() {
    std::vector<long double> keys;
    for (size_t i = 1; i <= static_cast<size_t>(Var("n")); ++i) {
      keys.push_back(Element("kn", i));
    }
    return keys;
  }

  TNoteList notes_;
};

struct RangeCase {
  std::string header;
  bool restsAsKeys;
  std::vector<long double> keys;
};

class KeysRangeTest : public KeysTest, public ::testing::WithParamInterface<RangeCase> {};

// Voice list 0 (the control track's line, never visited) plays B4; the track's voice 1
// C5, voice 2 E5 with G5 as a chord note, voice 3 a rest.
TEST_P(KeysRangeTest, VisitsTheKeysOfTheVoicesInRange) {
  TNoteRec* chord = Note(3, 5);
  AddInterval(chord->Intervals, 5, 5, TKeySign::No, 0, false);
  Queue(Note(7, 4), 0);
  Queue(Note(1, 5), 1);
  Queue(chord, 2);
  Queue(Note(0, 5), 3);
  Runtime().RestsAsKeys = GetParam().restsAsKeys;
  CompileKeys(GetParam().header);
  RunAt(0);
  ASSERT_EQ(GErrors.Code(), 0);
  EXPECT_EQ(Keys(), GetParam().keys);
  for (size_t i = 1; i <= GetParam().keys.size(); ++i) {
    EXPECT_EQ(Element("kc", i), GetParam().keys.size());
  }
}

INSTANTIATE_TEST_SUITE_P(Voices, KeysRangeTest,
                         ::testing::Values(RangeCase{"keys", false, {60, 64, 67}},
                                           RangeCase{"keys", true, {60, 64, 67, 0}},
                                           RangeCase{"keys 1", false, {60}},
                                           RangeCase{"keys 2", false, {64, 67}},
                                           RangeCase{"keys 2..3", true, {64, 67, 0}},
                                           RangeCase{"keys 0..2", false, {64, 67}},  // a first voice 0 takes the last
                                           RangeCase{"keys 4", false, {}}));

TEST_F(KeysTest, ChordNotesTakeTheSameIntervalOfTheNotesAround) {
  TNoteRec* prior = Note(1, 5);
  AddInterval(prior->Intervals, 3, 5, TKeySign::No, 0, false);
  TNoteRec* now = Note(2, 5);
  AddInterval(now->Intervals, 4, 5, TKeySign::No, 0, false);
  AddInterval(now->Intervals, 6, 5, TKeySign::No, 0, false);
  Runtime().PriorNotes[1] = prior;
  Queue(now, 1, 300, false);
  CompileKeys("keys");
  RunAt(0);
  EXPECT_EQ(Keys(), (std::vector<long double>{62, 65, 69}));
  EXPECT_EQ(Element("pn", 1), 60);
  EXPECT_EQ(Element("pn", 2), 64);  // the prior note's first chord note
  EXPECT_EQ(Element("pn", 3), 0);   // it has no second one
  EXPECT_EQ(Element("kp", 2), 180);
  EXPECT_EQ(Element("pr", 3), 0);
}

TEST_F(KeysTest, HarmonyPartsReplaceTheVoicesOwnNote) {
  Queue(Note(1, 5), 1);
  Queue(Note(3, 5), 2);
  Runtime().HarmonyParts[2] = {1, 0, 1, 0};
  GRender.Harmony.Keys = {40, 0, 55, 0};
  GRender.Harmony.Lengths = {960, 0, 480, 0};
  GRender.Harmony.Positions = {10, 0, 0, 0};
  GRender.Harmony.Pressed = {0, 0, 1, 0};
  Runtime().NonLegatoFactor = 0.5;
  CompileKeys("keys");
  RunAt(0);
  EXPECT_EQ(Keys(), (std::vector<long double>{60, 40, 55}));
  EXPECT_EQ(Element("kc", 1), 3);
  EXPECT_EQ(Element("kl", 2), 960);
  EXPECT_EQ(Element("kp", 2), 10);
  EXPECT_EQ(Element("pr", 3), 127);
  EXPECT_EQ(Element("sf", 3), 0.5);
}

// One note (C5 unless the case says) of 480 ticks in voice 1 with its neighbours; grace
// notes and mordents of 60 ticks. What keys sees at a given remaining time.
struct OrnamentCase {
  uint8_t ornament;      // of the current note
  uint8_t nextOrnament;  // of the next note (E5)
  long double remaining;
  // keyname, keylength, keyposition, keypressed, priorkeyname, priorkeylength,
  // nextkeyname, nextkeylength
  std::array<long double, 8> seen;
  int32_t step = 1;  // of the current note, in octave 5
};

void PrintTo(const OrnamentCase& c, std::ostream* os) {
  *os << "step " << c.step << " ornament " << int(c.ornament) << " next " << int(c.nextOrnament)
      << " remaining " << static_cast<double>(c.remaining);
}

class OrnamentTest : public KeysTest, public ::testing::WithParamInterface<OrnamentCase> {};

TEST_P(OrnamentTest, KeyValues) {
  const OrnamentCase& c = GetParam();
  TNoteRec* now = Note(c.step, 5, c.ornament);
  Runtime().PriorNotes[1] = Note(7, 4);  // B4, 480 ticks
  Runtime().NextNotes[1] = Note(3, 5, c.nextOrnament);
  now->Next = Runtime().NextNotes[1];
  Queue(now, 1, c.remaining, c.remaining == 480);
  CompileKeys("keys");
  RunAt(0);
  ASSERT_EQ(Var("n"), 1);
  const std::array<long double, 8> seen = {Element("kn", 1), Element("kl", 1), Element("kp", 1),
                                           Element("pr", 1), Element("pn", 1), Element("pl", 1),
                                           Element("nn", 1), Element("nl", 1)};
  EXPECT_EQ(seen, c.seen);
}

INSTANTIATE_TEST_SUITE_P(
    Ornaments, OrnamentTest,
    ::testing::Values(
        // Plain note: the note itself between B4 and E5.
        OrnamentCase{0, 0, 480, {60, 480, 0, 127, 59, 480, 64, 480}},
        // The next note's lower grace note D5 sounds in the last 60 ticks of this one.
        OrnamentCase{0, 2, 61, {60, 480, 419, 0, 59, 480, 62, 60}},
        OrnamentCase{0, 2, 60, {62, 60, 420, 127, 60, 420, 64, 480}},
        OrnamentCase{0, 1, 30, {65, 60, 450, 0, 60, 420, 64, 480}},
        // Upper mordent: C5 for 60 ticks, D5 for 60, then C5 again.
        OrnamentCase{3, 0, 480, {60, 60, 0, 127, 59, 480, 62, 60}},
        OrnamentCase{3, 0, 420, {62, 60, 0, 127, 60, 60, 60, 360}},
        OrnamentCase{3, 0, 350, {60, 360, 10, 0, 62, 60, 64, 480}},
        // Above A5 is B5; above B5 is C6, in the next octave.
        OrnamentCase{3, 0, 420, {71, 60, 0, 127, 69, 60, 69, 360}, 6},
        OrnamentCase{3, 0, 420, {72, 60, 0, 127, 71, 60, 71, 360}, 7},
        // Lower mordent: the note below is B4.
        OrnamentCase{4, 0, 400, {59, 60, 20, 0, 60, 60, 60, 360}},
        // The note's own lower grace note was heard before it.
        OrnamentCase{2, 0, 480, {60, 480, 0, 127, 59, 60, 64, 480}}));

// nextlocation: ticks from now to the labelled note of the running block's voice, with
// the voice's 3/4 time signature (a quarter note is 640 ticks) and a change to 6/8.
TEST_F(KeysTest, NextLocationCountsUnderTheVoicesTimeSignatures) {
  TNoteRec* now = Note(1, 5);
  TNoteRec* second = Note(2, 5);
  TNoteRec* third = Note(3, 5);
  TNoteRec* labelled = Note(4, 5);
  now->Next = second;
  second->Next = third;
  third->Next = labelled;
  third->Signature = TSignatureRec{6, 8, 0};
  labelled->LabelText = "fine:2";
  Runtime().VoiceWholeTicks[1] = 1920.0L * 4 / 3;
  Runtime().VoiceBeats[1] = 3;
  Runtime().VoiceBeatValue[1] = 4;
  Runtime().NoteQueue.emplace_back(TQueueEntry{now, 1, 100, 640, 0, false});
  Compile({"variable d", "variable m", "block b", "let d=nextlocation (fine)",
           "let m=nextlocation (nowhere)", "endblock"});
  const TBlockFrame frame{nullptr, 0, 0, 60, 1};
  THandlerTick tick(GRender, music, 1920, 0, 0, GErrors);
  RunHandlerBlock(frame, FindBlockByName("b", Program().Blocks)->Tree, tick);
  ASSERT_EQ(GErrors.Code(), 0);
  // 100 left of this note, 640 for the second; the third is a quarter of 6/8: 1920*8/6/4.
  EXPECT_EQ(Var("d"), 100 + 640 + 640);
  EXPECT_EQ(Var("m"), 0);
}

TEST_F(KeysTest, KeyQueriesWithAnArgumentStayInsideTheKeyTables) {
  Compile({"variable a", "variable b", "variable c", "variable e", "let a=keylength 60",
           "let b=keypressed 60", "let c=keylength 500", "let e=keyon (0-3)"});
  Runtime().KeyLength[60] = 90;
  RunAt(0);
  EXPECT_EQ(Var("a"), 90);
  EXPECT_EQ(Var("b"), 127);
  EXPECT_EQ(Var("c"), 0);
  EXPECT_EQ(Var("e"), 0);
}

}  // namespace
