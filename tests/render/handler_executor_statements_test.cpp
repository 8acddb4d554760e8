// Statements that change the performance state or write events at once.
#include <gtest/gtest.h>

#include <cmath>

#include "base/error_sources.h"
#include "handler/handler_numbers.h"
#include "platform/codec1251.h"
#include "tests/support/handler_executor_fixture.h"
#include "tests/support/midi_test_support.h"

namespace {

using miditest::AllBytes;
using miditest::Bytes;

struct WrapCase {
  long double value;
  std::optional<long double> wrapped;
  uint8_t byte;
};

class WrapTest : public ::testing::TestWithParam<WrapCase> {};

TEST_P(WrapTest, WrapsByWholeTurnsAndClampsAfterRounding) {
  const std::optional<long double> w = WrapToMidiRange(GetParam().value);
  ASSERT_EQ(w.has_value(), GetParam().wrapped.has_value());
  if (w) {
    EXPECT_EQ(*w, *GetParam().wrapped);
    EXPECT_EQ(RoundedDataByte(*w), GetParam().byte);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Values, WrapTest,
    ::testing::Values(WrapCase{130, 2, 2}, WrapCase{-1, 127, 127}, WrapCase{127.5L, 127.5L, 127},
                      WrapCase{-0.25L, 127.75L, 127}, WrapCase{1e30L, std::fmod(1e30L, 128), 0},
                      WrapCase{-256, 0, 0}, WrapCase{NAN, std::nullopt, 0},
                      WrapCase{INFINITY, std::nullopt, 0}, WrapCase{-INFINITY, std::nullopt, 0}));

TEST(FloatToStr, PrintsAsTheLanguageWritesNumbers) {
  EXPECT_EQ(FloatToStr(5), "5");
  EXPECT_EQ(FloatToStr(-2.5L), "-2,5");
  EXPECT_EQ(FloatToStr(0.1L), "0,1");
  EXPECT_EQ(FloatToStr(1.5e20L), "1,5E20");
  EXPECT_EQ(FloatToStr(-0.0L), "0");
}

struct StateCase {
  std::string line;
  uint8_t instrument;
  long double tempo;
};

class StateTest : public HandlerExecutorTest, public ::testing::WithParamInterface<StateCase> {};

TEST_P(StateTest, InstrumentWrapsTempoClamps) {
  Compile({GetParam().line});
  RunAt(0);
  ASSERT_EQ(GErrors.Code(), 0);
  EXPECT_EQ(Runtime().Instrument, GetParam().instrument);
  EXPECT_EQ(control.Tempo, GetParam().tempo);
}

INSTANTIATE_TEST_SUITE_P(Cases, StateTest,
                         ::testing::Values(StateCase{"instrument 130", 2, 120},
                                           StateCase{"instrument -1", 127, 120},
                                           StateCase{"instrument 127,9", 127, 120},
                                           StateCase{"tempo 2000", 0, 915},
                                           StateCase{"tempo 5", 0, 10},
                                           StateCase{"tempo 97,5", 0, 97.5L}));

struct NotANumberCase {
  std::string line;
};

class NotANumberTest : public HandlerExecutorTest,
                       public ::testing::WithParamInterface<NotANumberCase> {};

// NaN and the infinities stop the render with error 9 instead of reaching a data byte.
TEST_P(NotANumberTest, IsError9) {
  Compile({"variable bad", "let bad=sqrt (0-1)", GetParam().line});
  RunAt(0);
  EXPECT_EQ(GErrors.Code(), 9) << GetParam().line;
  EXPECT_EQ(AllBytes(Runtime()), Bytes{});
  EXPECT_EQ(control.Tempo, 120);
}

INSTANTIATE_TEST_SUITE_P(
    Statements, NotANumberTest,
    ::testing::Values(NotANumberCase{"instrument bad"}, NotANumberCase{"tempo bad"},
                      NotANumberCase{"instrument ln 0"}, NotANumberCase{"pitch bad certainly"},
                      NotANumberCase{"controller 7 in bad certainly"},
                      NotANumberCase{"controller bad in 1"}, NotANumberCase{"keyon bad in 1"},
                      NotANumberCase{"keyoff 60 in bad"}, NotANumberCase{"keylength 60 in bad"}));

TEST_F(HandlerExecutorTest, ControlTrackTakesOnlyTempoAndPositionSong) {
  Compile({"instrument 5", "pitch 10 certainly", "controller 7 in 1 certainly", "transpose 3",
           "keyon 60 in 1", "tempo 90", "positionsong 3840"});
  THandlerTick tick(GRender, control, 1920, 0, 0, GErrors);
  RuntimeOf(control).Program.ProgramTree = Program().ProgramTree;
  RunHandlerStatements(Program().ProgramTree, tick);
  const TTrackRuntime& rt = RuntimeOf(control);
  EXPECT_EQ(rt.Instrument, 0);
  EXPECT_EQ(rt.Transpose, 0);
  EXPECT_EQ(rt.KeyOnVelocity[60], 81);
  EXPECT_EQ(AllBytes(rt), Bytes{});
  EXPECT_EQ(control.Tempo, 90);
  EXPECT_EQ(tick.JumpTarget, 3840u);
  RuntimeOf(control).Program.ProgramTree = nullptr;
}

TEST_F(HandlerExecutorTest, CertainlyWritesAtOnceOtherwiseStateOnly) {
  Compile({"pitch 100,7", "controller 135 in 127,6", "controller 7 in 127,6 certainly",
           "pitch 64 certainly"});
  RunAt(0);
  const TTrackRuntime& rt = Runtime();
  EXPECT_EQ(rt.ControllerValues[7], 127.6L);  // 135 wraps to 7
  // Controller 7 value 127 (never 128, a status byte), then the centred pitch bend.
  EXPECT_EQ(AllBytes(rt), (Bytes{0xB0, 7, 127, 0, 0xE0, 0, 64}));
  EXPECT_EQ(rt.PitchValue, 64);
}

// keyon: a sounding key whose velocity changes gets polyphonic key pressure on the key
// that sounds (key + transposition); the sounding table is read at the key itself.
// keyon names the key heard (its velocity is the one its note ons take); under a
// transposition of 12 the written key 60 is heard as 72, the written 72 as 84.
TEST_F(HandlerExecutorTest, KeyOnOfASoundingKeyWritesPressureOnTheSoundingKey) {
  Compile({"transpose 12", "keyon 72 in 100", "keyon 72 in 100", "keyon 60 in 90"});
  Runtime().KeySounding[60] = 1;
  Runtime().KeySounding[72] = 1;
  RunAt(0);
  EXPECT_EQ(AllBytes(Runtime()), (Bytes{0xA0, 72, 100}));
  EXPECT_EQ(Runtime().KeyOnVelocity[72], 100);
  EXPECT_EQ(Runtime().KeyOnVelocity[60], 90);
}

// Keys and velocities wrap into 0..127, where 127 stays; a negative length is made
// positive: values computed at run time and constants alike.
TEST_F(HandlerExecutorTest, KeyLengthAndKeyOff) {
  Compile({"variable k=188", "variable v=300", "variable l=480", "keylength k in 0-l",
           "keylength 61 in 100 soft", "keyoff 60 in v", "keylength 190 in 0-10",
           "keylength 127 in 127", "keyon 130 in 100", "keyon 127 in 127", "keyon 256 in 255",
           "keyoff 128 in (0-1)", "keyoff 127 in 128"});
  RunAt(0);
  const TTrackRuntime& rt = Runtime();
  EXPECT_EQ(rt.KeyLength[60], 480);  // 188 wraps to 60, the length is made positive
  EXPECT_EQ(rt.KeyPosition[60], 0);
  EXPECT_EQ(rt.KeyLength[61], 101);
  EXPECT_EQ(rt.KeyPosition[61], 1);
  EXPECT_EQ(rt.KeyOffVelocity[60], 44);
  EXPECT_EQ(rt.KeyLength[62], 10);
  EXPECT_EQ(rt.KeyLength[127], 127);
  EXPECT_EQ(rt.KeyOnVelocity[2], 100);
  EXPECT_EQ(rt.KeyOnVelocity[127], 127);
  EXPECT_EQ(rt.KeyOnVelocity[0], 127);
  EXPECT_EQ(rt.KeyOffVelocity[0], 127);
  EXPECT_EQ(rt.KeyOffVelocity[127], 0);
}

TEST_F(HandlerExecutorTest, ArticulationOrnamentsShiftsAndRests) {
  Compile({"nonlegato 0,5", "staccato 0,25", "staccatisimo 30", "forshlag 40", "mordento 50",
           "transpose -2", "positionrnd 7", "positionshift 9", "rest 1"});
  RunAt(0);
  const TTrackRuntime& rt = Runtime();
  EXPECT_EQ(rt.NonLegatoFactor, 0.5);
  EXPECT_EQ(rt.StaccatoFactor, 0.25);
  EXPECT_EQ(rt.StaccatissimoLength, 30);
  EXPECT_EQ(rt.ForshlagLength, 40);
  EXPECT_EQ(rt.MordentLength, 50);
  EXPECT_EQ(rt.Transpose, -2);
  EXPECT_EQ(rt.PositionRnd, 7);
  EXPECT_EQ(rt.PositionShift, 9);
  EXPECT_TRUE(rt.RestsAsKeys);
}

TEST_F(HandlerExecutorTest, SayWritesATextEventWithItsMode) {
  Compile({"say 5", "say 2,5 reset"});
  RunAt(0);
  EXPECT_EQ(AllBytes(Runtime()),
            (Bytes{0xFF, 0x01, 2, 0x0A, '5', 0, 0xFF, 0x01, 4, 0x0B, '2', ',', '5'}));
}

TEST_F(HandlerExecutorTest, ErrorStatementStopsWithItsOwnMessageAndValue) {
  Compile({"variable x=42", "error \"x\" is too big", "let x=1"});
  music.Voice = 3;
  RunAt(3900);
  const TErrors e = GErrors.Get();
  EXPECT_EQ(e.Code, 25);
  EXPECT_EQ(e.Source, 2);
  EXPECT_EQ(e.Measure, 3u);
  EXPECT_EQ(e.Voice, 3);
  EXPECT_EQ(e.Text, Utf8ToCp1251("<Основной обработчик>").Text);
  EXPECT_EQ(GHandlerErrorMessage.Get(), " 42 is too big");
  EXPECT_EQ(Var("x"), 42);
}

TEST_F(HandlerExecutorTest, ErrorInsideABlockKeepsTheBlockName) {
  Compile({"error \"1\" stop"});
  const std::string blockText = Utf8ToCp1251("Блок: b").Text;
  GErrors.Update([&](TErrors& e) { e.Text = blockText; });
  RunAt(0);
  EXPECT_EQ(GErrors.Get().Text, blockText);
  EXPECT_EQ(GErrors.Code(), 25);
}

struct PlaceCase {
  std::vector<std::string> source;
  std::string text;  // UTF-8
};

class PlaceTest : public HandlerExecutorTest, public ::testing::WithParamInterface<PlaceCase> {};

// A failed evaluation names the statement it happened in.
TEST_P(PlaceTest, NamesTheStatement) {
  std::vector<std::string> source = {"variable z", "array a"};
  source.insert(source.end(), GetParam().source.begin(), GetParam().source.end());
  Compile(source);
  RunAt(0);
  EXPECT_EQ(GErrors.Code(), 4);
  EXPECT_EQ(GErrors.Get().Text, Utf8ToCp1251(GetParam().text).Text);
}

INSTANTIATE_TEST_SUITE_P(
    Statements, PlaceTest,
    ::testing::Values(PlaceCase{{"tempo 1/0"}, "в операторе Tempo!"},
                      PlaceCase{{"instrument 1/0"}, "Instrument!"},
                      PlaceCase{{"controller 1/0 in 1"},
                                "в номере контроллера оператора Controller!"},
                      PlaceCase{{"keyon 1 in 1/0"}, "в силе нажатия оператора KeyOn!"},
                      PlaceCase{{"while 1/0 do", "endwhile"}, "в условии оператора While!"},
                      PlaceCase{{"if 1/0 then", "endif"}, "в условии!"},
                      PlaceCase{{"let a[1]=1/0"}, "для массива a!"},
                      PlaceCase{{"keys 1/0", "endkeys"},
                                "в одном из выражений оператора Keys!"}));

}  // namespace
