// Passing over quiet ticks writes the same MIDI files, byte for byte, as running every
// tick: on the examples, the test songs and a seeded set of random songs with handlers.
#include "render/tick_skipping.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <fstream>
#include <iterator>

#include "handler/handler_globals.h"
#include "model/song_file.h"
#include "tests/support/random_song.h"
#include "tests/support/render_song_support.h"

namespace {

using namespace rendertest;

constexpr uint32_t kRandomSongs = 160;

using TMakeSong = std::function<std::unique_ptr<TVelto>()>;

// A song file loaded into a song window, or nothing when it cannot be prepared (some test
// songs are made to fail).
std::unique_ptr<TVelto> LoadedSong(const std::filesystem::path& path) {
  auto song = std::make_unique<TVelto>();
  song->WindowNumber = 1;
  if (!LoadSongFile(*song, path, "") || song->HeadTreck == nullptr ||
      song->HeadTreck->Next == nullptr) {
    return nullptr;
  }
  song->CurrentTrack = song->HeadTreck->Next;
  return song;
}

struct TRendered {
  bool Finished = false;
  uint32_t Ticks = 0;
  uint32_t PassedOver = 0;
  std::string File;
};

class TickSkippingTest : public RenderTest {
 protected:
  void TearDown() override {
    GSkipQuietTicks = true;
    RenderTest::TearDown();
  }

  // Renders a new song from `make` into the test's file, every tick or passing over quiet
  // ones, with "rnd" drawing from a generator seeded with `seed`. (A render leaves the
  // control track's time signature behind: each render gets a song of its own.)
  TRendered RenderFile(const TMakeSong& make, bool skipping, uint32_t seed) {
    GSkipQuietTicks = skipping;
    GHandlerRandom.seed(seed);
    GErrors.Reset();
    std::filesystem::remove(exportFile_);
    const std::unique_ptr<TVelto> song = make();
    const TRenderOutcome outcome = Render(*song);
    std::ifstream in(exportFile_, std::ios::binary);
    return {outcome.Finished, outcome.Ticks, outcome.PassedOver,
            std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>())};
  }

  // Both ways; the file of the render that passed over ticks must be the reference file.
  // Returns the ticks it passed over.
  uint32_t ExpectSameFile(const TMakeSong& make, uint32_t seed, const std::string& what) {
    const TRendered reference = RenderFile(make, false, seed);
    const TRendered skipping = RenderFile(make, true, seed);
    EXPECT_TRUE(reference.Finished) << what;
    EXPECT_EQ(reference.PassedOver, 0u) << what;
    EXPECT_EQ(skipping.Ticks, reference.Ticks) << what;
    EXPECT_FALSE(reference.File.empty()) << what;
    EXPECT_TRUE(skipping.File == reference.File) << what << ": the files differ";
    return skipping.PassedOver;
  }
};

TEST_F(TickSkippingTest, ExamplesAndTestSongsRenderAsEveryTickDoes) {
  const std::filesystem::path source(VELTO_SOURCE_DIR);
  int compared = 0;
  for (const auto* folder : {"examples", "tests/data/songs"}) {
    for (const auto& entry : std::filesystem::directory_iterator(source / folder)) {
      const std::filesystem::path path = entry.path();
      std::unique_ptr<TVelto> song = path.extension() == ".qem" ? LoadedSong(path) : nullptr;
      GErrors.Reset();
      if (song == nullptr || !PrepareAndCompile(*song)) {
        continue;
      }
      ExpectSameFile([&] { return LoadedSong(path); }, 1, path.filename().string());
      ++compared;
    }
  }
  EXPECT_GE(compared, 5);
}

// Random songs: tuplets, ties, chords, ornaments, second voices, harmony parts, block
// calls, and handlers that count, transpose, shift, change the tempo, run in "evry" and
// time blocks, draw random numbers or retrigger keys at every tick.
TEST_F(TickSkippingTest, RandomSongsRenderAsEveryTickDoes) {
  uint32_t skipped = 0;
  for (uint32_t seed = 1; seed <= kRandomSongs; ++seed) {
    std::vector<TTrackText> tracks;
    for (const randomsong::TTrack& t : randomsong::RandomSong(seed)) {
      tracks.push_back({t.Channel, t.Name, t.Music, t.Program});
    }
    // Measures of 480 ticks keep the test quick under the sanitizers.
    auto make = [&] {
      std::unique_ptr<TVelto> song = SongOf(tracks);
      song->TicksPerMeasure = 480;
      return song;
    };
    const uint32_t passed = ExpectSameFile(make, seed, "song " + std::to_string(seed));
    skipped += passed > 0 ? 1 : 0;
    if (HasFailure()) {
      break;
    }
  }
  // Most songs have quiet ticks to pass over; the rest read the clock or write at every tick.
  EXPECT_GE(skipped, kRandomSongs / 2);
}

}  // namespace
