// Statements that change the track's performance state or write events at once:
// instrument, tempo, pitch, controllers, transposition, articulation, key tables,
// "say", "error" and "interruption".
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "base/error_sources.h"
#include "handler/handler_globals.h"
#include "settings/lang_texts.h"
#include "render/handler_execution.h"
#include "handler/handler_numbers.h"
#include "midi/midi_event_writer.h"
#include "render/track_runtime.h"
#include "platform/codec1251.h"

namespace {

// Code 9 ("error in expression") for a value that is not a number or is infinite.
constexpr uint8_t kNotANumberCode = 9;

int32_t SaturatedInt32(int64_t v) {
  if (v > std::numeric_limits<int32_t>::max()) {
    return std::numeric_limits<int32_t>::max();
  }
  if (v < std::numeric_limits<int32_t>::min()) {
    return std::numeric_limits<int32_t>::min();
  }
  return static_cast<int32_t>(v);
}

}  // namespace

bool THandlerExecution::NotFinite(const TPlace& place) {
  const std::string text = place.Text();
  tick_.Errors.Update([&](TErrors& e) {
    e.Code = kNotANumberCode;
    e.Text = text;
    e.Source = 1;
  });
  return false;
}

std::optional<long double> THandlerExecution::Wrapped(long double value, const TPlace& place) {
  if (!Finite(value, place)) {
    return std::nullopt;
  }
  return WrapToMidiRange(value);
}

// interruption N: shows snapshot N of this track through the program's callback; a
// snapshot the user does not want again becomes a statement that does nothing.
void THandlerExecution::Interruption(TProgramNode& s) {
  const int64_t n = TruncToInt64(Evaluate(s.ExprA.get()));
  if (Failed() || !GHandlerInterruption) {
    return;
  }
  if (GHandlerInterruption(static_cast<uint8_t>(n & 0xFF), s.Text, tick_.Track, tick_.Position)) {
    s.Kind = skGroupEnd;
  }
}

// error "message" [value]: stops rendering with code 25 and the handler's own message,
// the value (when given) written between the message's first two double quotes.
// The message is in place before the code becomes visible; an index past the texts
// leaves no message (the report gives the unknown error).
void THandlerExecution::Error(const TProgramNode& s) {
  const int64_t index = TruncToInt64(Evaluate(s.ExprA.get()));
  std::vector<std::string>& strings = GHandlerCompile.Strings;
  const bool known = index >= 0 && static_cast<uint64_t>(index) < strings.size();
  if (s.ExprB != nullptr) {
    const long double value = Evaluate(s.ExprB.get());
    if (Failed()) {
      return;
    }
    if (known) {
      std::string& line = strings[static_cast<size_t>(index)];
      const size_t q1 = line.find('"');
      const size_t q2 = q1 == std::string::npos ? q1 : line.find('"', q1 + 1);
      if (q2 != std::string::npos) {
        line = line.substr(0, q1) + " " + FloatToStr(value) + " " + line.substr(q2 + 1);
      }
    }
  }
  if (Failed()) {
    return;
  }
  GHandlerErrorMessage.Set(known ? strings[static_cast<size_t>(index)] : std::string());
  const std::string blockPrefix = Utf8ToCp1251("Блок:").Text;
  const std::string mainName = "<" + WordText(147, ">", "Основной обработчик>");
  const uint32_t measure = tick_.Position / std::max<uint32_t>(tick_.TicksPerMeasure, 1) + 1;
  const uint8_t voice = static_cast<uint8_t>(tick_.Track.Voice & 0xFF);
  tick_.Errors.Update([&](TErrors& e) {
    if (e.Text.compare(0, blockPrefix.size(), blockPrefix) != 0) {
      e.Text = mainName;
    }
    e.Code = 25;
    e.Module.clear();
    e.Source = 2;
    e.Measure = measure;
    e.Voice = voice;
    e.ModuleLine = runtime_.TrackIndex;
  });
}

// instrument P: the program, wrapped into 0..127.
void THandlerExecution::Instrument(const TProgramNode& s) {
  const long double v = Evaluate(s.ExprA.get());
  if (Failed()) {
    PlaceText("Instrument!", false);
    return;
  }
  if (std::optional<long double> w = Wrapped(v, TPlace{0, "", "Instrument!"})) {
    Store(runtime_.Instrument, static_cast<uint8_t>(TruncToInt64(*w)));
  }
}

// positionsong T: the render thread jumps to tick T after this tick. Jumping back again
// and again without the song going further is an endless loop.
void THandlerExecution::PositionSong(const TProgramNode& s) {
  const int64_t target = TruncToInt64(Evaluate(s.ExprA.get()));
  if (Failed()) {
    PlaceText(TPlace{148, " PositionSong!", "в операторе PositionSong!"}, false);
    return;
  }
  tick_.JumpTarget = static_cast<uint32_t>(std::clamp<int64_t>(target, 0, UINT32_MAX));
  if (tick_.JumpTarget < tick_.Position && ++tick_.Render.BackwardJumps > kMaxBackwardJumps) {
    const std::string text =
        SubstituteArgs(LangStrOr(2134, "больше %s переходов назад подряд (positionsong)"),
                       {std::to_string(kMaxBackwardJumps)});
    tick_.Errors.Update([&](TErrors& e) {
      e.Code = kErrorEndlessHandler;
      e.Text = text;
    });
  }
}

// tempo B: beats per minute of the song (the control track's), kept to 10..915.
void THandlerExecution::Tempo(const TProgramNode& s) {
  const long double v = Evaluate(s.ExprA.get());
  const TPlace place = TPlace{148, " Tempo!", "в операторе Tempo!"};
  if (Failed()) {
    PlaceText(place, false);
    return;
  }
  if (Finite(v, place)) {
    Store(ControlTrack().Tempo, std::clamp(v, 10.0L, 915.0L));
  }
}

// pitch V [certainly]: the pitch-bend value; "certainly" writes the event at once.
void THandlerExecution::Pitch(const TProgramNode& s, bool certainly) {
  const long double v = Evaluate(s.ExprA.get());
  const TPlace place = TPlace{148, " Pitch!", "в операторе Pitch!"};
  if (Failed()) {
    PlaceText(place, false);
    return;
  }
  if (!Finite(v, place)) {
    return;
  }
  if (!certainly) {
    Store(runtime_.PitchValue, std::trunc(v));
    return;
  }
  Store(runtime_.PitchValue, v);
  WritePitchBend(tick_.Track.Channel, runtime_, tick_.Position, tick_.TicksPerMeasure,
                 std::trunc(v));
}

// controller N in V [certainly]: both wrapped into 0..127; "certainly" writes the
// control change at once.
void THandlerExecution::Controller(const TProgramNode& s, bool certainly) {
  const long double number = Evaluate(s.ExprA.get());
  if (Failed()) {
    PlaceText(TPlace{150, "!", "в номере контроллера оператора Controller!"}, false);
    return;
  }
  const long double value = Evaluate(s.ExprB.get());
  const TPlace valuePlace = TPlace{149, "!", "в значении контроллера оператора Controller!"};
  if (Failed()) {
    PlaceText(valuePlace, false);
    return;
  }
  const std::optional<long double> n = Wrapped(number, TPlace{0, "", "Controller!"});
  const std::optional<long double> w = n ? Wrapped(value, valuePlace) : std::nullopt;
  if (!w) {
    return;
  }
  if (!certainly) {
    Store(runtime_.ControllerValues[static_cast<size_t>(TruncToInt64(*n))], *w);
    return;
  }
  const uint8_t controller = RoundedDataByte(*n);
  Store(runtime_.ControllerValues[controller], *w);
  WriteController(controller, RoundedDataByte(*w), tick_.Track.Channel, runtime_, tick_.Position,
                  tick_.TicksPerMeasure);
}

// transpose, positionrnd, positionshift: whole numbers of semitones or ticks.
void THandlerExecution::Shift(const TProgramNode& s) {
  const int32_t v = SaturatedInt32(RoundHalfEven(Evaluate(s.ExprA.get())));
  if (Failed()) {
    switch (s.Kind) {
      case skTranspose: PlaceText(TPlace{148, " Transpose!", "в операторе Transpose!"}, false); break;
      case skPositionRnd:
        PlaceText(TPlace{148, " PositionRnd!", "в операторе PositionRnd!"}, false);
        break;
      default: PlaceText("PositionShift!", false); break;
    }
    return;
  }
  switch (s.Kind) {
    case skTranspose: Store(runtime_.Transpose, v); break;
    case skPositionRnd: Store(runtime_.PositionRnd, v); break;
    default: Store(runtime_.PositionShift, v); break;
  }
}

// nonlegato, staccato: length factors; staccatisimo: a length in ticks. Stored even
// when the evaluation failed (the render stops then anyway).
void THandlerExecution::Factor(const TProgramNode& s) {
  const double v = static_cast<double>(Evaluate(s.ExprA.get()));
  switch (s.Kind) {
    case skNonLegato: Store(runtime_.NonLegatoFactor, v); break;
    case skStaccato: Store(runtime_.StaccatoFactor, v); break;
    default: Store(runtime_.StaccatissimoLength, v); break;
  }
  if (!Failed()) {
    return;
  }
  switch (s.Kind) {
    case skNonLegato: PlaceText(TPlace{148, " NonLegato!", "в операторе NonLegato!"}, false); break;
    case skStaccato: PlaceText(TPlace{148, " Stakatto!", "в операторе Stakatto!"}, false); break;
    default: PlaceText(TPlace{148, " Stakattisimo!", "в операторе Stakattisimo!"}, false); break;
  }
}

// forshlag, mordento: lengths in ticks of grace notes and mordent notes.
void THandlerExecution::Ornament(const TProgramNode& s) {
  const long double v = Evaluate(s.ExprA.get());
  const bool grace = s.Kind == skForshlag;
  if (Failed()) {
    PlaceText(grace ? "Forshlag!" : "Mordento", false);
    return;
  }
  Store(grace ? runtime_.ForshlagLength : runtime_.MordentLength, v);
}

// rest S: rests count as keys of "keys" while S is not 0.
void THandlerExecution::Rest(const TProgramNode& s) {
  const long double v = Evaluate(s.ExprA.get());
  if (Failed()) {
    PlaceText(TPlace{148, " Rest!", "в операторе Rest!"}, false);
    return;
  }
  Store(runtime_.RestsAsKeys, v != 0);
}

// keylength K in L [soft]: a note of length L on key K, starting now ("soft": it goes on
// from the note already there, without a new note on).
void THandlerExecution::KeyLength(const TProgramNode& s, bool soft) {
  const long double key = Evaluate(s.ExprA.get());
  if (Failed()) {
    PlaceText(TPlace{152, "!", "в номере клавиши оператора KeyLength!"}, false);
    return;
  }
  long double length = Evaluate(s.ExprB.get());
  const TPlace lengthPlace = TPlace{151, "!", "в длительности звучания оператора KeyLength!"};
  if (Failed()) {
    PlaceText(lengthPlace, false);
    return;
  }
  const std::optional<long double> k = Wrapped(key, TPlace{0, "", "KeyLength!"});
  if (!k || !Finite(length, lengthPlace)) {
    return;
  }
  length = std::fabs(length);
  const uint8_t index = RoundedDataByte(*k);
  Store(runtime_.KeyLength[index], soft ? length + 1 : length);
  Store(runtime_.KeyPosition[index], soft ? 1.0L : 0.0L);
}

// keyon K in V / keyoff K in V: the velocity of the key's note ons or note offs. A new
// on velocity of a sounding key is also sent at once as polyphonic key pressure.
void THandlerExecution::KeyVelocity(const TProgramNode& s, bool on) {
  const long double key = Evaluate(s.ExprA.get());
  if (Failed()) {
    PlaceText(on ? TPlace{154, "!", "в номере клавиши оператора KeyOn!"}
                 : TPlace{156, "!", "в номере клавиши оператора KeyOff!"},
              false);
    return;
  }
  const long double velocity = Evaluate(s.ExprB.get());
  const TPlace velocityPlace = on ? TPlace{153, "!", "в силе нажатия оператора KeyOn!"}
                                       : TPlace{155, "!", "в силе снятия оператора KeyOff!"};
  if (Failed()) {
    PlaceText(velocityPlace, false);
    return;
  }
  const std::optional<long double> k = Wrapped(key, TPlace{0, "", on ? "KeyOn!" : "KeyOff!"});
  const std::optional<long double> v = k ? Wrapped(velocity, velocityPlace) : std::nullopt;
  if (!v) {
    return;
  }
  const uint8_t index = RoundedDataByte(*k);
  const uint8_t value = RoundedDataByte(*v);
  if (!on) {
    Store(runtime_.KeyOffVelocity[index], static_cast<long double>(value));
    return;
  }
  // Velocities belong to the keys heard; KeySounding to the written keys, which sound
  // Transpose semitones away.
  const int64_t written = int64_t{index} - runtime_.Transpose;
  if (written >= 0 && written <= 127 && runtime_.KeySounding[static_cast<size_t>(written)] != 0 &&
      RoundHalfEven(runtime_.KeyOnVelocity[index]) != value) {
    WritePolyPressure(index, value, tick_.Track.Channel, runtime_, tick_.Position,
                      tick_.TicksPerMeasure);
  }
  Store(runtime_.KeyOnVelocity[index], static_cast<long double>(value));
}

// say V [reset]: a text event the player speaks: line feed (or, with "reset", vertical
// tab) and the number.
void THandlerExecution::Say(const TProgramNode& s) {
  if (s.ExprA == nullptr || s.ExprB == nullptr) {
    return;
  }
  const long double v = Evaluate(s.ExprA.get());
  const int64_t mode = TruncToInt64(Evaluate(s.ExprB.get()));
  if (Failed() || (mode != 0 && mode != 1)) {
    return;
  }
  const std::string text = (mode == 0 ? "\n" : "\v") + FloatToStr(v);
  WriteTextEvent(text, runtime_, tick_.Position, tick_.TicksPerMeasure);
}
