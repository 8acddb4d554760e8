// A key at the end of a long measure line in the real song window on Qt's offscreen
// platform: from the key's press to its release, with the events it leaves queued (the
// line shown, what the screen reader is told, the repaint) handled after each key, or
// after every fifth as when a held key's repeats (every 33 ms) queue up.
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <QAccessibleEvent>
#include <QApplication>
#include <QKeyEvent>

#include <string>

#include "bench/bench_home.h"
#include "settings/settings.h"
#include "songwindow/view/song_window_view.h"
#include "songwindow/widgets/accessible_text.h"

namespace {

QApplication& OffscreenApplication() {
  static QApplication* application = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    setenv("VELTO_SPEECH_LOG", "/dev/null", 1);
    setenv("VELTO_SIGNAL_LOG", "/dev/null", 1);
    static int argc = 1;
    static char name[] = "bench_long_measure_keys";
    static char* argv[] = {name, nullptr};
    auto* made = new QApplication(argc, argv);
    InstallAccessibleText();
    return made;
  }();
  return *application;
}

// What the screen reader would be told.
int64_t gTextEvents = 0;
void CountTextEvent(QAccessibleEvent* /*event*/) {
  ++gTextEvents;
}

enum TKey { kType, kBackspace, kLeftRight, kDelete };

void Press(QWidget* edit, Qt::Key key, const QString& text) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
  QApplication::sendEvent(edit, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
  QApplication::sendEvent(edit, &release);
}

// state.range(0): the cells of the measure, the caret at its end; state.range(1): the keys
// handled before the events they leave.
void KeyAtTheEnd(benchmark::State& state, TKey which) {
  OffscreenApplication();
  TBenchHome home;
  SetTextEventSink(&CountTextEvent);
  {
    TSongWindowView view(nullptr, 1, "qem");
    TSongWindow& window = view.Controller();
    window.AddTreck(window.CurrentTrack, "Song", 0);
    window.CurrentTrack->MusicStrings = {"Vd4m"};
    window.AddTreck(window.CurrentTrack, "Melody", 1);
    // A C quarter note and D eighths.
    window.CurrentTrack->MusicStrings = {"!" + std::string(static_cast<size_t>(state.range(0)) - 1, 'S')};
    window.CurrentMeasure = 1;
    window.ShowTreck(smSilent);
    view.show();
    view.NotesEdit1()->setFocus();
    QApplication::processEvents();
    const auto end = [&] { return static_cast<int32_t>(view.NotesText().size()); };
    view.SetNotesCaret(end(), end());
    QApplication::processEvents();
    QWidget* edit = view.NotesEdit1();
    bool left = true;
    int64_t keys = 0;
    for (auto _ : state) {
      const int64_t told = gTextEvents;
      switch (which) {
        case kType:
          Press(edit, Qt::Key_D, "d");
          break;
        case kBackspace:
          Press(edit, Qt::Key_Backspace, "\b");
          break;
        case kLeftRight:
          Press(edit, left ? Qt::Key_Left : Qt::Key_Right, QString());
          left = !left;
          break;
        case kDelete:
          state.PauseTiming();
          view.SetNotesCaret(end() - 1, end() - 1);
          state.ResumeTiming();
          Press(edit, Qt::Key_Delete, QString());
          break;
      }
      if (++keys % state.range(1) != 0) {
        continue;
      }
      QApplication::processEvents();
      if (gTextEvents == told) {
        state.SkipWithError("the screen reader was told nothing");
        break;
      }
    }
    state.counters["cells"] = static_cast<double>(end());
  }
  SetTextEventSink(nullptr);
}

// Each key changes the line by one cell; a fixed count keeps its length.
constexpr int kKeys = 40;

void Lines(benchmark::internal::Benchmark* b) {
  b->Args({25000, 1})->Args({250000, 1})->Args({250000, 5})->Iterations(kKeys)->Unit(benchmark::kMillisecond);
}

BENCHMARK_CAPTURE(KeyAtTheEnd, Type, kType)->Apply(Lines);
BENCHMARK_CAPTURE(KeyAtTheEnd, Backspace, kBackspace)->Apply(Lines);
BENCHMARK_CAPTURE(KeyAtTheEnd, LeftRight, kLeftRight)->Apply(Lines);
BENCHMARK_CAPTURE(KeyAtTheEnd, Delete, kDelete)->Apply(Lines);

}  // namespace
