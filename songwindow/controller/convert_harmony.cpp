// Ctrl+K: the harmony the harmonizer worked out for the control track written into the
// current voice as notes, so that it can be edited by hand.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "base/errors.h"
#include "base/rounding.h"
#include "feedback/message_box.h"
#include "feedback/signals.h"
#include "harmony/harmonizer.h"
#include "playback/transport.h"
#include "render/note_events.h"
#include "render/render_globals.h"
#include "render/render_state.h"
#include "render/track_runtime.h"
#include "settings/lang_texts.h"
#include "songwindow/controller/song_window.h"
#include "songwindow/parts/harmony_expansion.h"

namespace {

// The switches of `voice` (1-based; the queue's voice list 0 is the control track's line)
// as the note queue of `track` holds them now.
THarmonyChoice ChoiceOf(TTreck& track, uint16_t voice) {
  const TTrackRuntime& r = RuntimeOf(track);
  const size_t v = std::min<size_t>(voice, kVoiceCount - 1);
  THarmonyChoice choice;
  choice.KeepNote = r.HarmonyParts[v][0] != 0;
  for (size_t k = 0; k < choice.Members.size(); ++k) {
    choice.Members[k] = r.HarmonyParts[v][k + 1] != 0;
  }
  choice.TieRepeated = r.VoiceLFlag[v] != 0;
  return choice;
}

// The song clock at which a note starting at `tick` (a triplet's may fall between two
// ticks) has begun.
uint32_t ClockOf(long double tick) {
  const int64_t clock = TruncToInt64(std::ceil(tick - 1e-6L));
  return static_cast<uint32_t>(std::clamp<int64_t>(clock, 0, std::numeric_limits<uint32_t>::max()));
}

}  // namespace

void TSongWindow::ConvertHarmonyInNotes() {
  if (CurrentTrack == nullptr) {
    return;
  }
  StartTrack = CurrentTrack;
  if (CurrentTrack->Channel == 0) {
    ports_.Signaller->Signal(sError);
    return;
  }
  // A drum track has no harmony to write: its key says why.
  if (CurrentTrack->Channel == 10) {
    RefuseCommand("ConvertHarmonyInNotes");
    return;
  }
  GErrors.ClearCode();
  ports_.Signaller->Signal(sTrack);
  CommitEditors();
  const PTreck track = CurrentTrack;
  const uint16_t voice = std::max<uint16_t>(track->Voice, 1);
  const int32_t measure = CurrentMeasure;

  // What the run came to; the song is changed only after it, from its result.
  enum class TOutcome { NotRun, Failed, Cancelled, NoHarmony, NoTones, Expanded };
  TOutcome outcome = TOutcome::NotRun;
  std::vector<std::string> voiceLines;
  TPlayOptions options;
  options.FromMeasure = 1;
  options.Voice = voice;
  Transport().RunHere(*this, options, [&](const TTransport::TStopQuery& stopped) {
    outcome = TOutcome::Failed;
    if (!PrepareAndCompileSong(*this, &Preparation())) {
      return false;
    }
    const std::string question =
        SubstituteArgs(LangStrOr(219, "Вы уверены, что хотите преобразовать гармонические ссылки для трека %s, "
                                      "в голосе %s? При этом все прочие ноты данного голоса будут утеряны!"),
                       {track->Caption, std::to_string(voice)});
    if (ports_.Questions->Ask(question, 0) != mbOk || stopped()) {
      outcome = TOutcome::Cancelled;
      return true;
    }
    if (!HarmonyWritten || !HeadTreck->NoteList) {
      outcome = TOutcome::NoHarmony;
      return true;
    }
    // The notes of every track are queued from the start and moved on to each control
    // note, so that the voice's part switches in force there are read.
    GRenderPosition = 0;
    QueueTrackNotes(HeadTreck, GErrors, 0, TicksPerMeasure);
    if (GErrors.Code() != 0) {
      return false;
    }
    const THarmonyExpansion expansion =
        ExpandHarmony(HeadTreck->NoteList->First, TicksPerMeasure, [&](long double tick) -> std::optional<THarmonyChoice> {
          const uint32_t clock = ClockOf(tick);
          GRenderPosition = clock;
          SeekTracksToPosition(HeadTreck, GErrors, clock, TicksPerMeasure);
          if (GErrors.Code() != 0) {
            return std::nullopt;
          }
          return ChoiceOf(*track, voice);
        });
    if (!expansion.Notes) {
      return false;
    }
    if (!expansion.TookTones) {
      outcome = TOutcome::NoTones;
      return true;
    }
    voiceLines = ExpansionLines(expansion.Notes->First, TicksPerMeasure);
    outcome = TOutcome::Expanded;
    return true;
  });

  // Whatever came of it, what the preparation built is dropped.
  ResetSongRenderState(HeadTreck);
  if (ReportCompileError()) {
    return;
  }
  CurrentTrack = track;
  CurrentMeasure = measure;
  switch (outcome) {
    case TOutcome::NotRun:
      ports_.Signaller->Signal(sError);  // another preparation is asking on this thread
      break;
    case TOutcome::NoHarmony:
      ports_.Signaller->Signal(sError);
      ports_.Speaker->Speak(LangStrOr(1580, "В песне нет гармонических ссылок: голос не изменён"), -1);
      break;
    case TOutcome::NoTones:
      ports_.Signaller->Signal(sError);
      ports_.Speaker->Speak(
          SubstituteArgs(LangStrOr(1581, "Голос %s не включает ни одной партии гармонии (b+, t+, a+, s+): "
                                         "голос не изменён"),
                         {std::to_string(voice)}),
          -1);
      break;
    case TOutcome::Expanded:
      Saved(EditLabel(33, "преобразование гармонических ссылок голоса", std::to_string(voice)));
      track->MusicStrings = WithVoiceTexts(track->MusicStrings, voice, voiceLines);
      break;
    case TOutcome::Failed:
    case TOutcome::Cancelled:
      break;
  }
  ShowTreck(outcome == TOutcome::Expanded ? smPlace : smSilent);
}
