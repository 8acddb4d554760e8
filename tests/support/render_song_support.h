// Songs from song text for the tests of preparation, rendering and the transport: a song
// window built from lines, the settings the render reads put back to known values, and
// the rendered event lists read back as events with their ticks.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/errors.h"
#include "model/song.h"
#include "platform/codec1251.h"
#include "render/handler_executor.h"
#include "handler/handler_names.h"
#include "midi/midi_event_parser.h"
#include "render/module_assembly.h"
#include "playback/player.h"
#include "render/render_globals.h"
#include "render/render_thread.h"
#include "render/song_preparation.h"
#include "render/track_runtime.h"
#include "playback/transport.h"
#include "settings/settings.h"
#include "settings/shared_state.h"
#include "tests/support/midi_test_support.h"

namespace rendertest {

// One track of a song text: channel, name, music lines and program lines (UTF-8).
struct TTrackText {
  int Channel = 0;
  std::string Name;
  std::vector<std::string> Music;
  std::vector<std::string> Program;
};

// A song window holding the tracks (the first is the control track); the first music
// track is current.
inline std::unique_ptr<TVelto> SongOf(const std::vector<TTrackText>& tracks) {
  auto song = std::make_unique<TVelto>();
  song->WindowNumber = 1;
  song->Data = {"", ""};
  for (const TTrackText& t : tracks) {
    song->Data.push_back(std::to_string(t.Music.size()) + " " + std::to_string(t.Program.size()) +
                         " " + std::to_string(t.Channel) + " 1 1 1 1");
    song->Data.push_back(Utf8ToCp1251(t.Name).Text);
    for (const std::string& line : t.Music) {
      song->Data.push_back(Utf8ToCp1251(line).Text);
    }
    for (const std::string& line : t.Program) {
      song->Data.push_back(Utf8ToCp1251(line).Text);
    }
  }
  std::string label;
  song->Convert(label);
  EXPECT_EQ(GErrors.Code(), 0);
  if (song->HeadTreck != nullptr && song->HeadTreck->Next != nullptr) {
    song->CurrentTrack = song->HeadTreck->Next;
  }
  return song;
}

// The n-th track (0 = the control track).
inline PTreck TrackAt(TVelto& song, int n) {
  PTreck t = song.HeadTreck;
  for (int i = 0; i < n && t != nullptr; ++i) {
    t = t->Next;
  }
  return t;
}

// One event of a rendered list with its tick counted from the list's first event.
struct TEventAt {
  uint32_t Tick = 0;
  TMidiEvent Event;
  std::string Text;  // meta events: the payload
};

inline std::vector<TEventAt> EventsOf(const TTreck& track) {
  std::vector<TEventAt> out;
  if (!track.Runtime) {
    return out;
  }
  const miditest::Bytes bytes = miditest::AllBytes(*track.Runtime);
  size_t pos = 0;
  uint32_t tick = 0;
  uint8_t running = 0;
  while (pos < bytes.size()) {
    TEventAt e;
    std::string why;
    if (ParseMidiEvent(bytes, pos, bytes.size(), pos != 0, running, e.Event, &why) !=
        TMidiParse::Event) {
      ADD_FAILURE() << why;
      break;
    }
    tick += e.Event.Delta;
    e.Tick = tick;
    if (e.Event.IsMeta()) {
      e.Text.assign(bytes.begin() + e.Event.PayloadOffset,
                    bytes.begin() + e.Event.PayloadOffset + e.Event.PayloadLength);
    }
    pos = e.Event.Next;
    out.push_back(e);
  }
  return out;
}

// Counts of the note-ons and note-offs (note-ons of velocity 0 count as offs).
struct TNoteCount {
  int On = 0;
  int Off = 0;
};

inline TNoteCount NotesOf(const TTreck& track) {
  TNoteCount c;
  for (const TEventAt& e : EventsOf(track)) {
    if (e.Event.Kind() == 0x90 && e.Event.Data2 > 0) {
      ++c.On;
    } else if (e.Event.Kind() == 0x80 || e.Event.Kind() == 0x90) {
      ++c.Off;
    }
  }
  return c;
}

inline bool EndsWithEndOfTrack(const TTreck& track) {
  const std::vector<TEventAt> events = EventsOf(track);
  return !events.empty() && events.back().Event.IsEndOfTrack();
}

// Every global the preparation and the render read, at the values a fresh program has
// (no real-time mode, no progress signals), with the installation tree as ProgramDir.
class RenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ProgramDir = std::string(VELTO_BINARY_DIR) + "/bin/";
    Reset();
    exportFile_ = std::filesystem::path(VELTO_BINARY_DIR) /
                  ("render_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                   "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".mid");
  }
  void TearDown() override {
    Transport().Stop();
    Reset();
    std::filesystem::remove(exportFile_);
  }

  static void Reset() {
    GErrors.Reset();
    GHandlerCompile.ScopePath.clear();
    GModeRealPlaying = false;
    GStartPlayingOffset = 960;
    GProgressFrequency = 480;
    SignalProgress = false;
    RenderRun().Reset(1, 0);
    GHandlerInterruption = nullptr;
  }

  // Prepares and compiles the song; false (GErrors set) when either fails.
  static bool PrepareAndCompile(TVelto& song) {
    return PrepareAndCompileSong(song);
  }

  // Prepares, compiles and renders the song on this thread into the test's MIDI file.
  TRenderOutcome Render(TVelto& song, uint16_t fromMeasure = 1, uint32_t tickLimit = 0) {
    RenderRun().FromMeasure = fromMeasure;
    if (!PrepareAndCompile(song)) {
      ADD_FAILURE() << "preparation failed: " << int(GErrors.Code()) << " "
                    << Cp1251ToUtf8(GErrors.Get().Text);
      return {};
    }
    TMidiThreadFuncParameters p;
    p.WindowNumber = song.WindowNumber;
    p.TicksPerMeasure = song.TicksPerMeasure;
    p.Track = song.CurrentTrack;
    p.TickLimit = tickLimit;
    p.ExportFileName = exportFile_.string();
    return RenderThreadProc(p);
  }

  std::filesystem::path exportFile_;
};

}  // namespace rendertest
