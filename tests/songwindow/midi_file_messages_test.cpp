// The MIDI file reader's messages reach the user as boxes naming the file, shown by the
// window that prepares the song.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "base/errors.h"
#include "playback/transport.h"
#include "tests/songwindow/song_window_fakes.h"

namespace songwindowtest {
namespace {

std::vector<uint8_t> Header(uint16_t format, uint16_t tracks, uint16_t division) {
  return {'M', 'T', 'h', 'd', 0, 0, 0, 6, static_cast<uint8_t>(format >> 8), static_cast<uint8_t>(format),
          static_cast<uint8_t>(tracks >> 8), static_cast<uint8_t>(tracks),
          static_cast<uint8_t>(division >> 8), static_cast<uint8_t>(division)};
}

// A chunk holding only the end of its track.
const std::vector<uint8_t> kTrack = {'M', 'T', 'r', 'k', 0, 0, 0, 4, 0x00, 0xFF, 0x2F, 0x00};

std::vector<uint8_t> Join(std::vector<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> all;
  for (const std::vector<uint8_t>& part : parts) {
    all.insert(all.end(), part.begin(), part.end());
  }
  return all;
}

struct TMessageCase {
  const char* name;
  std::vector<uint8_t> bytes;
  bool compiles;
  std::string told;  // "caption: text" before the file's path; empty: no box
};

TEST(MidiFileMessages, TheReaderSaysWhatItFoundNamingTheFile) {
  const TMessageCase cases[] = {
      {"format3", Join({Header(3, 1, 480), kTrack}), false, "DMIDI Error: Unknown MIDI file type: 3"},
      {"smpte", Join({Header(1, 1, 0xE250), kTrack}), false,
       "DMIDI Error: the MIDI file counts time in SMPTE frames, which is not supported"},
      {"header", Join({Header(1, 3, 480), kTrack, kTrack, {'J', 'U', 'N', 'K', 0, 0, 0, 0}}), true,
       "DMIDI Warning: Track header 3 is not correct because it does not begin with \"MTrk\"."},
      {"nomidi", {'h', 'e', 'l', 'l', 'o'}, false, ""},
      {"good", Join({Header(1, 1, 480), kTrack}), true, ""},
  };
  for (const TMessageCase& c : cases) {
    TWindowRig rig;
    const std::string path = rig.home.Dir().Path() + c.name + ".mid";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(c.bytes.data()),
                                                static_cast<std::streamsize>(c.bytes.size()));
    TSongWindow window(rig.Ports(), 1, "qem");
    LoadSongText(window, {"1 1 0 1 1 1 1", "Общее", "Vd4m", "midi tune='" + path + "'",  //
                          "1 0 1 1 1 1 1", "Piano", "!PSNQ"});
    GErrors.Reset();
    EXPECT_EQ(PrepareAndCompileSong(window, &window.Preparation()), c.compiles)
        << c.name << ": " << GErrors.Get().Text << " " << int(GErrors.Code());
    if (c.told.empty()) {
      EXPECT_TRUE(rig.questions.told.empty()) << c.name;
    } else {
      EXPECT_EQ(rig.questions.told, std::vector<std::string>{c.told + "\r\n" + path}) << c.name;
    }
    if (!c.compiles) {
      EXPECT_EQ(GErrors.Code(), 42) << c.name;  // the compiler's error follows, as before
    }
    GErrors.Reset();
  }
}

}  // namespace
}  // namespace songwindowtest
