#include "notation/braille_writer.h"

#include <gtest/gtest.h>

#include <random>

#include "notation/braille_translation.h"
#include "tests/support/translation_helpers.h"

namespace {

// Builds a single-voice note list by hand.
class NoteBuilder {
 public:
  NoteBuilder& Note(int32_t step, int32_t octave, int32_t value, uint8_t kind = kValueKindLarge,
                    TKeySign accidental = TKeySign::No) {
    TNoteRec* n = list_->NewNote();
    n->Step = step;
    n->Octave = octave;
    n->Value = value;
    n->ValueKind = kind;
    n->Accidental = accidental;
    if (last_ != nullptr) {
      last_->Next = n;
    } else {
      list_->First = n;
    }
    last_ = n;
    return *this;
  }
  NoteBuilder& Signature(uint8_t num, uint8_t den, int32_t key) {
    last_->Signature = TSignatureRec{num, den, key};
    return *this;
  }
  NoteBuilder& Interval(uint8_t step, uint8_t octave, TKeySign accidental = TKeySign::No) {
    last_->Intervals.push_back({step, octave, accidental, 0});
    return *this;
  }
  TNoteRec* Last() { return last_; }
  const TNoteRec* First() const { return list_->First; }

 private:
  std::shared_ptr<TNoteList> list_ = std::make_shared<TNoteList>();
  TNoteRec* last_ = nullptr;
};

std::vector<std::string> Write(const NoteBuilder& b) {
  std::vector<std::string> lines;
  NoteListToBraille(true, b.First(), lines, 1920, "", 1, 1);
  return lines;
}

TEST(BrailleWriter, OctaveSignsWhereTheReaderNeedsThem) {
  NoteBuilder scale;
  for (int32_t step = 1; step <= 7; ++step) {
    scale.Note(step, 5, 4);
  }
  scale.Note(1, 6, 4);
  scale.First()->Next->Next->Next->Next->Next->Next->Next->Next = nullptr;
  const_cast<TNoteRec*>(scale.First())->Signature = TSignatureRec{4, 4, 0};
  EXPECT_EQ(Write(scale), (std::vector<std::string>{"Vd4!PSNQ", "TOwP"}));

  NoteBuilder up;
  up.Note(7, 4, 4).Signature(2, 4, 0).Note(1, 5, 4).Note(7, 4, 4).Note(1, 4, 4);
  EXPECT_EQ(Write(up), (std::vector<std::string>{"Vb4LwP", "wLP"}));

  NoteBuilder far;
  far.Note(1, 5, 4).Signature(2, 4, 0).Note(1, 5, 4).Note(3, 6, 4).Note(1, 4, 4);
  EXPECT_EQ(Write(far), (std::vector<std::string>{"Vb4!PP", "KNLP"}));
}

TEST(BrailleWriter, AccidentalsFollowTheMeasureMemoryAndKey) {
  NoteBuilder b;
  b.Note(4, 5, 4, kValueKindLarge, TKeySign::Sharp).Signature(2, 4, 0);
  b.Note(4, 5, 4, kValueKindLarge, TKeySign::Sharp);
  b.Note(4, 5, 4, kValueKindLarge, TKeySign::Sharp);
  b.Note(4, 5, 4, kValueKindLarge, TKeySign::No);
  EXPECT_EQ(Write(b), (std::vector<std::string>{"Vb4M!QQ", "MQ\\Q"}));

  NoteBuilder g;  // G major: F sharp needs no sign, F natural does
  g.Note(4, 5, 2, kValueKindLarge, TKeySign::Sharp).Signature(2, 4, 1);
  g.Note(4, 5, 2, kValueKindLarge, TKeySign::No);
  EXPECT_EQ(Write(g), (std::vector<std::string>{"MVb4!q", "\\q"}));
}

TEST(BrailleWriter, RestsOnlyMeasureAndValueSigns) {
  NoteBuilder b;
  b.Note(0, 5, 1).Signature(17, 16, 0).Note(0, 5, 1, kValueKindSmall);
  b.Note(1, 5, 1, kValueKindLarge).Note(1, 5, 1, kValueKindSmall);
  // a whole and a sixteenth fill 17/16 two ways: value signs settle it
  EXPECT_EQ(Write(b), (std::vector<std::string>{"Vag16m", "B(1!y,(1y"}));
  NoteBuilder plain;
  plain.Note(1, 5, 2).Signature(3, 4, 0).Note(1, 5, 4);
  EXPECT_EQ(Write(plain), (std::vector<std::string>{"Vc4!nP"}));
}

TEST(BrailleWriter, IntervalsAboveAndBelow) {
  NoteBuilder b;
  b.Note(1, 5, 1).Signature(4, 4, 0).Interval(3, 5).Interval(5, 5).Interval(6, 4).Interval(1, 6).Interval(3, 6);
  EXPECT_EQ(Write(b), (std::vector<std::string>{"Vd4!yU9L0_KU"}));
}

TEST(BrailleWriter, TripletAfterASignatureIsSpelledAsAGroup) {
  NoteBuilder b;
  b.Note(1, 5, 4).Signature(2, 4, 0);
  b.Last()->Tuplet = 3;
  b.Note(2, 5, 4).Note(3, 5, 4);
  b.Last()->Tuplet = 3;
  b.First()->Next->Tuplet = 3;
  EXPECT_EQ(Write(b), (std::vector<std::string>{"Vb4L3.!PSN"}));
}

// One random note list of whole measures and what it must read back as.
struct TRandomSong {
  NoteBuilder notes;
  std::vector<std::string> expected;  // DescribeNote of every note, with "~" for a tie
};

TKeySign RandomAccidental(std::mt19937& random) {
  return static_cast<TKeySign>(random() % 6);
}

TRandomSong MakeSong(std::mt19937& random) {
  struct TSig {
    uint8_t num, den;
  };
  const TSig sigs[] = {{2, 4}, {3, 4}, {6, 8}, {4, 4}};
  // (value, kind, dots, tuplet group size)
  struct TItem {
    uint8_t value, kind, dots, group;
  };
  const TItem items[] = {{1, 1, 0, 1}, {2, 1, 0, 1}, {2, 1, 1, 1}, {4, 1, 0, 1}, {4, 1, 1, 1}, {8, 1, 0, 1},
                         {8, 1, 1, 1}, {1, 2, 0, 1}, {2, 2, 0, 1}, {4, 1, 2, 1}, {8, 1, 0, 3}, {4, 1, 0, 3},
                         {1, 2, 0, 3}, {8, 2, 0, 1}, {1, 2, 1, 1}};
  TRandomSong song;
  TSig sig = sigs[random() % 4];
  int32_t key = static_cast<int32_t>(random() % 15) - 7;
  int measures = 1 + static_cast<int>(random() % 6);
  for (int m = 0; m < measures; ++m) {
    TRational left(sig.num, sig.den);
    bool first = true;
    while (left > TRational(0)) {
      const TItem& item = items[random() % (sizeof items / sizeof items[0])];
      TRational one = NoteFraction(item.kind, item.value, item.dots, item.group > 1 ? item.group : 1);
      TRational all = one * TRational(item.group);
      if (all > left) {
        continue;
      }
      left -= all;
      for (uint8_t i = 0; i < item.group; ++i) {
        bool rest = !first && random() % 8 == 0;
        int32_t step = rest ? 0 : static_cast<int32_t>(1 + random() % 7);
        int32_t octave = 2 + static_cast<int32_t>(random() % 7);
        song.notes.Note(step, octave, item.value, item.kind, rest ? TKeySign::No : RandomAccidental(random));
        TNoteRec* n = song.notes.Last();
        n->Dots = item.dots;
        n->Tuplet = item.group > 1 ? item.group : 1;
        if (m == 0 && first) {
          n->Signature = TSignatureRec{sig.num, sig.den, key};
        }
        first = false;
        if (!rest && random() % 8 == 0) {
          n->Articulation = TShtrih::Legatisimo;
        }
        for (int k = random() % 4 == 0 ? 1 + random() % 2 : 0; k > 0 && !rest; --k) {
          uint8_t istep = static_cast<uint8_t>(1 + random() % 7);
          uint8_t ioctave = static_cast<uint8_t>(std::clamp<int32_t>(octave - 1 + static_cast<int32_t>(random() % 3), 1, 9));
          bool taken = std::any_of(n->Intervals.begin(), n->Intervals.end(),
                                   [&](const TIntervalRec& r) { return r.Step == istep && r.Octave == ioctave; });
          if (!taken) {
            n->Intervals.push_back({istep, ioctave, RandomAccidental(random), 0});
          }
        }
        song.expected.push_back(DescribeNote(*n) + (n->Articulation == TShtrih::Legatisimo ? "~" : ""));
      }
    }
  }
  return song;
}

TEST(BrailleWriter, RoundTripThroughTheReader) {
  std::mt19937 random(1305);
  for (int round = 0; round < 400; ++round) {
    TRandomSong song = MakeSong(random);
    std::vector<std::string> lines;
    NoteListToBraille(true, song.notes.First(), lines, 1920, "", 1, 1);
    TMeasureCache cache;
    TErrorRecord errors;
    TTranslateOptions options;
    options.Cache = &cache;
    auto list = TranslateBrailleText(lines, 1, errors, options);
    std::string text;
    for (const std::string& l : lines) {
      text += l + " ";
    }
    ASSERT_EQ(errors.Code(), 0) << round << ": " << text << " error in measure " << errors.Get().Measure << " at "
                                << errors.Get().Text;
    std::vector<std::string> got;
    for (const TNoteRec* n = list->First; n != nullptr; n = n->Next) {
      got.push_back(DescribeNote(*n) + (n->Articulation == TShtrih::Legatisimo ? "~" : ""));
    }
    ASSERT_EQ(got, song.expected) << round << ": " << text;
  }
}

TEST(BrailleWriter, VoicesOfAMeasureRoundTrip) {
  TErrorRecord errors;
  TMeasureCache cache;
  TTranslateOptions options;
  options.Cache = &cache;
  const std::vector<std::string> text = {"MVc4!PQT()!wNS()m", "n.()Kq.()LNNN", "MVb4!TT()!NN"};
  auto list = TranslateBrailleText(text, 1, errors, options);
  ASSERT_EQ(errors.Code(), 0) << errors.Get().Text;
  std::vector<std::string> lines;
  NoteListToBraille(false, list->First, lines, 1920, "", 1, 1);
  auto again = TranslateBrailleText(lines, 1, errors, options);
  ASSERT_EQ(errors.Code(), 0) << errors.Get().Text;
  EXPECT_EQ(DescribeNotes(again.get()), DescribeNotes(list.get()));
  EXPECT_EQ(lines.size(), 3u);
}

// A further voice with its own signature starts from its own key (none), not voice 1's.
TEST(BrailleWriter, VoiceSignatureKeepsItsOwnKey) {
  TErrorRecord errors;
  TMeasureCache cache;
  TTranslateOptions options;
  options.Cache = &cache;
  for (const std::string text : {"((Vd4!NNNN()Vc4!PPP", "MVd4!NNNN()MMVc4!PPP", "((Vg2m()Vhf2m"}) {
    auto list = TranslateBrailleText({text}, 1, errors, options);
    ASSERT_EQ(errors.Code(), 0) << text;
    std::vector<std::string> lines;
    NoteListToBraille(false, list->First, lines, 1920, "", 1, 1);
    EXPECT_EQ(lines, std::vector<std::string>{text});
    auto again = TranslateBrailleText(lines, 1, errors, options);
    ASSERT_EQ(errors.Code(), 0) << lines[0] << ": " << errors.Get().Text;
    EXPECT_EQ(DescribeNotes(again.get()), DescribeNotes(list.get())) << text;
  }
}

}  // namespace
