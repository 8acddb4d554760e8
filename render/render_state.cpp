#include "render/render_state.h"

#include <algorithm>
#include <string>

#include "base/error_sources.h"
#include "notation/note_record.h"
#include "handler/handler_names.h"
#include "render/handler_snapshot.h"
#include "render/render_globals.h"
#include "render/track_runtime.h"

namespace {

// Volume and expression at 112, pan in the middle; every other controller 0.
void SetDefaultControllers(TMarkedValues& values) {
  values.fill(0.0L);
  values[7] = 112.0L;
  values[10] = 64.0L;
  values[11] = 112.0L;
}

// Every player slot empty and none in use.
void ClearPlayerSlots(TTrackRuntime& rt) {
  rt.MidiPlayers.fill(TMidiPlayerSlot{});
  rt.MidiPlayerCount = 0;
}

void ResetPerKeyState(TTrackRuntime& rt) {
  rt.KeySounding.fill(0);
  rt.KeyOnVelocity.fill(81.0L);
  rt.KeyOffVelocity.fill(81.0L);
  rt.KeyPosition.fill(0.0L);
  rt.KeyState.fill(0);
}

void ResetPerformanceState(TTrackRuntime& rt) {
  SetDefaultControllers(rt.ControllerValues);
  rt.ControllersSent.fill(0.0L);
  rt.Instrument = 0;
  rt.LastInstrument = 0;
  rt.PitchValue = 64.0L;
  rt.LastPitchValue = 0.0L;
  rt.ForshlagLength = 60.0L;
  rt.MordentLength = 60.0L;
  rt.LegatoFactor = 1.0;
  rt.StaccatoFactor = 0.2;
  rt.NonLegatoFactor = 0.95;
  rt.StaccatissimoLength = 10.0;
  rt.PositionShift = 0;
  rt.AppliedShift = 0;
  rt.Transpose = 0;
}

void ResetEventState(TTrackRuntime& rt) {
  rt.Events.Clear();
  rt.RunningStatusKind = 0;
  rt.RunningStatusChannel = 0;
  rt.JumpOffset = 0;
  rt.HumanizeOffset = 0;
  rt.HumanizeCarry = 0;
  rt.PositionRnd = 0;
}

// Drops the running blocks, then the program they borrow from.
void DropProgram(TTrackRuntime& rt) {
  rt.ActiveBlocks.clear();
  rt.Program.Clear();
}

// Drops the note queue and every borrowed note pointer, then the notes.
void DropNotes(TTreck& track, TTrackRuntime* rt) {
  if (rt != nullptr) {
    rt->NoteQueue.clear();
    rt->PriorNotes.fill(nullptr);
    rt->NextNotes.fill(nullptr);
  }
  FreeNoteList(track.NoteList);
}

}  // namespace

void ResetTrackRenderState(TTreck& track) {
  TTrackRuntime& rt = RuntimeOf(track);
  ResetPerKeyState(rt);
  ResetPerformanceState(rt);
  ResetEventState(rt);
  rt.HighestVoice = 0;
  DropProgram(rt);
}

void PrepareTracksForPlay(PTreck head, PTreck& first, int& count) {
  ResetHandlerCompileContext();
  GSnapshotShown.fill(false);
  GRender.LastTempo = 0;
  first = head;
  count = 0;
  if (head == nullptr) {
    return;
  }
  head->Tempo = 120.0L;
  size_t longest = 0;
  for (PTreck t = head; t != nullptr; t = t->Next) {
    longest = std::max(longest, t->MusicStrings.size());
    ResetTrackRenderState(*t);
    if (t == head) {
      t->Solo = false;
    } else if (t->Solo) {
      head->Solo = true;  // on the control track Solo means: some track is solo
    }
    t->Runtime->TrackIndex = static_cast<uint16_t>(count);
    ++count;
  }
  for (PTreck t = head; t != nullptr; t = t->Next) {
    t->MusicStrings.resize(std::max(longest, t->MusicStrings.size()), "m");
  }
}

void ResetSongRenderState(PTreck track) {
  for (PTreck t = track; t != nullptr; t = t->Next) {
    TTrackRuntime* rt = t->Runtime.get();
    if (rt != nullptr) {
      rt->LastInstrument = 0;
      rt->LastPitchValue = 64.0L;
      rt->ControllersSent.fill(0.0L);
      rt->ControllersSent[7] = 112.0L;
      rt->ControllersSent[10] = 64.0L;
      rt->ControllersSent[11] = 112.0L;
      ClearPlayerSlots(*rt);
      // Only the control track holds loaded files: the players above borrowed from them.
      rt->HandlerMidiFiles.reset();
      DropProgram(*rt);
    }
    DropNotes(*t, rt);
  }
}
