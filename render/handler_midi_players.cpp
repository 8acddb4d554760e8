// M->play T from O, M->stop T, M->continue T: the players of MIDI files that the handler
// language loaded. "play" sets a player slot of the track up; the render thread plays it.
#include "settings/lang_texts.h"
#include "render/handler_execution.h"
#include "handler/handler_numbers.h"
#include "render/track_runtime.h"
#include "platform/codec1251.h"

namespace {

constexpr uint8_t kUnknownNameCode = 1;
constexpr uint8_t kCannotStartCode = 7;  // no free player slot
constexpr uint8_t kNoSuchTrackCode = 43;
constexpr uint8_t kStopWithoutPlayerCode = 44;
constexpr uint8_t kContinueWithoutPlayerCode = 45;

// The place text of a failed operand evaluation.
std::string OperandPlace(THandlerStatementKind kind) {
  const char* word = kind == skMidiPlay ? "play" : kind == skMidiStop ? "stop" : "Continue";
  if (LangStr(355) != "???" && LangStr(143) != "???") {
    return LangStr(355) + " midi->" + word + "!";
  }
  return Utf8ToCp1251("в параметрах оператора midi->").Text + word + "!";
}

}  // namespace

void THandlerExecution::MidiPlayer(const TProgramNode& s) {
  const long double tn = s.ExprA != nullptr ? Evaluate(s.ExprA.get()) : 0;
  const long double offset =
      s.Kind == skMidiPlay && s.ExprB != nullptr ? Evaluate(s.ExprB.get()) : 0;
  std::string fault = FloatToStr(tn);
  uint8_t code = 0;
  if (!Failed() && s.Ref == nullptr) {
    code = s.Kind == skMidiPlay ? kUnknownNameCode : kNoSuchTrackCode;
  } else if (!Failed()) {
    const TTrackRuntime* control = ControlTrack().Runtime.get();
    const int64_t index = TruncToInt64(s.Ref->Value);
    TMidi* file = control != nullptr && index >= 0 && index <= UINT16_MAX
                      ? FindMidiFileByIndex(control->HandlerMidiFiles.get(),
                                            static_cast<uint16_t>(index))
                      : nullptr;
    if (file != nullptr) {
      fault += " " + file->Name + " (" + file->FileName + ")";
    }
    if (s.Kind == skMidiPlay && file == nullptr) {
      code = kNoSuchTrackCode;
    } else if (s.Kind == skMidiPlay) {
      PlayMidiTrack(*file, TruncToInt64(tn), offset, fault);
    } else if (file != nullptr) {
      SwitchMidiTrack(s, *file, TruncToInt64(tn), fault);
    }
  }
  if (code != 0) {
    tick_.Errors.Update([&](TErrors& e) {
      e.Code = code;
      e.Text = fault;
      e.Source = 1;
    });
  }
  if (Failed()) {
    PlaceText(OperandPlace(s.Kind), true);
  }
}

// Sets up the player of the file's track (the one already playing it, or a new slot).
// It starts at the running block's tick, or at this tick outside a block, less the
// offset. A track number outside the file, or no free slot, is an error.
void THandlerExecution::PlayMidiTrack(TMidi& file, int64_t trackNumber, long double offset,
                                      std::string& fault) {
  auto fail = [&](uint8_t code) {
    tick_.Errors.Update([&](TErrors& e) {
      e.Code = code;
      e.Text = fault;
      e.Source = 1;
    });
  };
  if (trackNumber < 0 || trackNumber >= static_cast<int64_t>(file.TrackCount) ||
      trackNumber >= static_cast<int64_t>(file.Tracks.size())) {
    fail(kNoSuchTrackCode);
    return;
  }
  const uint32_t number = static_cast<uint32_t>(trackNumber);
  TMidiPlayerSlot* slot = nullptr;
  for (uint16_t i = 0; i < runtime_.MidiPlayerCount; ++i) {
    TMidiPlayerSlot& candidate = runtime_.MidiPlayers[i];
    if (candidate.TrackNumber == number && candidate.FileIndex == file.Index) {
      slot = &candidate;
      break;
    }
  }
  if (slot == nullptr) {
    if (runtime_.MidiPlayerCount >= runtime_.MidiPlayers.size()) {
      fail(kCannotStartCode);
      return;
    }
    slot = &runtime_.MidiPlayers[runtime_.MidiPlayerCount++];
  }
  const TBlockFrame* run = CurrentRun();
  const long double start = run != nullptr ? run->BlockTick : tick_.Position;
  *slot = TMidiPlayerSlot{};
  slot->TrackNumber = number;
  slot->FileIndex = file.Index;
  slot->Division = file.Division;
  slot->EventData = &file.Tracks[number].Data;
  slot->Playing = true;
  slot->NextEventTime = static_cast<double>(start - offset);
  slot->FirstPass = true;
}

// ->stop and ->continue: the player of the file's track stops or goes on. A track of
// the file that no player plays is an error; a number outside the file changes nothing.
void THandlerExecution::SwitchMidiTrack(const TProgramNode& s, TMidi& file, int64_t trackNumber,
                                        std::string& fault) {
  for (uint16_t i = 0; i < runtime_.MidiPlayerCount; ++i) {
    TMidiPlayerSlot& slot = runtime_.MidiPlayers[i];
    if (static_cast<int64_t>(slot.TrackNumber) == trackNumber && slot.FileIndex == file.Index) {
      slot.Playing = s.Kind == skMidiContinue;
      return;
    }
  }
  if (trackNumber >= 0 && trackNumber < static_cast<int64_t>(file.TrackCount)) {
    tick_.Errors.Update([&](TErrors& e) {
      e.Code = s.Kind == skMidiStop ? kStopWithoutPlayerCode : kContinueWithoutPlayerCode;
      e.Text = fault;
      e.Source = 1;
    });
  }
}
