// Key-to-answer time of the Braille editor: a Right key in measure 1, 100 or 500 of a
// four-voice track, from the key down to the spoken echo and the preview sent.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/bench_home.h"
#include "settings/settings.h"
#include "songwindow/controller/braille_editor.h"
#include "songwindow/controller/song_window.h"

namespace {

class TCountingSpeaker : public ISpeaker {
 public:
  void Speak(const std::string& /*text*/, int /*interrupt*/) override { ++said; }
  int64_t said = 0;
};

class TQuietSignaller : public ISignaller {
 public:
  void Signal(uint8_t /*kind*/) override {}
  void PlaySignal(uint8_t /*kind*/) override {}
};

class TNoQuestions : public IQuestions {
 public:
  int Ask(const std::string& /*text*/, uint8_t /*kind*/) override { return 0; }
};

class TLine : public IEditors {
 public:
  std::string NotesText() const override { return notes; }
  void SetNotesText(const std::string& text) override { notes = text, caret = 0; }
  int32_t NotesCaret() const override { return caret; }
  int32_t NotesAnchor() const override { return caret; }
  void SetNotesCaret(int32_t c, int32_t /*anchor*/) override { caret = c; }
  std::vector<std::string> ProgramLines() const override { return {}; }
  void SetProgramLines(const std::vector<std::string>& /*lines*/) override {}
  int32_t ProgramCaretColumn() const override { return 0; }
  int32_t ProgramCaretLine() const override { return 0; }
  void SetProgramCaret(int32_t /*column*/, int32_t /*line*/) override {}
  bool NotesHasFocus() const override { return true; }
  void FocusNotes() override {}
  std::string notes;
  int32_t caret = 0;
};

class TPlainLocks : public ILockKeys {
 public:
  bool ScrollLockOn() const override { return false; }
  bool NumLockOn() const override { return false; }
  void PressScrollLock() override {}
  void PressNumLock() override {}
};

class TNoTimer : public INoteTimer {
 public:
  void Start(int32_t /*intervalMs*/) override {}
  void Stop() override {}
};

class TCountingPreview : public INotePreview {
 public:
  void SilenceAll() override {}
  void SendNote(int /*port*/, bool /*on*/, int /*key*/, int /*channel*/, int /*velocity*/) override { ++notes; }
  void SendProgramChange(int /*port*/, int /*channel*/, int /*program*/) override {}
  void ResetPort(int /*port*/) override {}
  int64_t notes = 0;
};

// A control track and a track of 600 measures of four voices.
void LoadFourVoiceSong(TSongWindow& window) {
  window.AddTreck(window.CurrentTrack, "Song", 0);
  window.CurrentTrack->MusicStrings = {"Vd4m"};
  window.AddTreck(window.CurrentTrack, "Voices", 1);
  const char* voices[] = {"PSNQ", "TOwP", "defghijd", "PQ.e", "MPSNQ"};
  for (int m = 0; m < 600; ++m) {
    std::string line;
    for (int v = 0; v < 4; ++v) {
      if (v > 0) {
        line += "()";
      }
      if (m == 0) {
        line += '!';
      }
      line += voices[(m + v) % 5];
    }
    window.CurrentTrack->MusicStrings.push_back(line);
  }
}

// Right from caret 0 onto the second character, then from 2 onto the fourth: each key
// sounds and names another note of voice 1. With editFirstMeasure, measure 1 changes
// before every key, so that the whole track is read again.
void KeyToAnswer(benchmark::State& state, bool editFirstMeasure) {
  TBenchHome home;
  TCountingSpeaker speaker;
  TQuietSignaller signaller;
  TNoQuestions questions;
  TLine line;
  TPlainLocks locks;
  TNoTimer timer;
  TCountingPreview preview;
  TSongWindowPorts ports{&speaker, &signaller, &questions, nullptr, nullptr, &line, &locks, &timer, &preview};
  TSongWindow window(ports, 1, "qem");
  LoadFourVoiceSong(window);
  window.CurrentMeasure = static_cast<int32_t>(state.range(0));
  window.ShowTreck(smSilent);
  TBrailleEditor& editor = window.Editor();
  int32_t from = 0;
  for (auto _ : state) {
    if (editFirstMeasure) {
      std::string& first = window.CurrentTrack->MusicStrings[0];
      first[1] = first[1] == 'P' ? 'Q' : 'P';
    }
    line.caret = from;
    const int64_t said = speaker.said;
    const int64_t notes = preview.notes;
    editor.KeyDown(vkRight, {});
    editor.KeyUp(vkRight, {});
    if (speaker.said == said || preview.notes == notes) {
      state.SkipWithError("the key got no answer");
      break;
    }
    from = from == 0 ? 2 : 0;
  }
}

void BM_KeyToAnswer(benchmark::State& state) {
  KeyToAnswer(state, false);
}
BENCHMARK(BM_KeyToAnswer)->Arg(1)->Arg(100)->Arg(500)->Unit(benchmark::kMicrosecond);

void BM_KeyToAnswerAfterAnEditInMeasure1(benchmark::State& state) {
  KeyToAnswer(state, true);
}
BENCHMARK(BM_KeyToAnswerAfterAnEditInMeasure1)->Arg(1)->Arg(100)->Arg(500)->Unit(benchmark::kMicrosecond);

}  // namespace
