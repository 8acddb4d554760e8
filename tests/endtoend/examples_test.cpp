// The example songs: each one loads, is stored as our song files are (code page 1251,
// CR LF), translates without error, and has what its description promises.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "notation/braille_translation.h"
#include "notation/measure_cache.h"
#include "model/song.h"
#include "model/song_file.h"

namespace {

const std::filesystem::path kExamples = std::filesystem::path(VELTO_SOURCE_DIR) / "examples";

std::string FileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// What one example holds: tracks after the control track, their channels, and whether
// some note is a chord, some note is tied, some voice has a time or key signature.
struct TExampleFacts {
  int MusicTracks = 0;
  std::set<int> Channels;
  bool Chords = false;
  bool Ties = false;
  bool KeySignature = false;
  bool TimeSignature = false;
  bool SeveralVoices = false;
  int ProgramLines = 0;
};

TExampleFacts FactsOf(const std::filesystem::path& path) {
  TVelto song;
  std::string error;
  EXPECT_TRUE(LoadSongFile(song, path, std::string(), &error)) << error;
  TExampleFacts facts;
  if (song.HeadTreck != nullptr) {
    facts.ProgramLines += static_cast<int>(song.HeadTreck->ProgramStrings.size());
  }
  for (PTreck t = song.HeadTreck ? song.HeadTreck->Next : nullptr; t != nullptr; t = t->Next) {
    ++facts.MusicTracks;
    facts.Channels.insert(t->Channel);
    facts.ProgramLines += static_cast<int>(t->ProgramStrings.size());
    TMeasureCache cache;
    TTranslateOptions options;
    options.Cache = &cache;
    TErrorRecord errors;
    auto list = TranslateBrailleText(t->MusicStrings, 1, errors, options);
    const TErrors e = errors.Get();
    EXPECT_EQ(e.Code, 0) << path << " track " << t->Caption << " measure " << e.Measure
                         << " voice " << int(e.Voice) << ": " << e.Text;
    if (!list) {
      ADD_FAILURE() << path << ": a track without notes";
      continue;
    }
    for (const TNoteRec* n = list->First; n != nullptr; n = n->Next) {
      facts.SeveralVoices = facts.SeveralVoices || n->VoiceChain != nullptr;
      facts.Chords = facts.Chords || !n->Intervals.empty();
      facts.Ties = facts.Ties || n->Articulation == TShtrih::Legatisimo;
      if (n->Signature) {
        facts.TimeSignature = true;
        facts.KeySignature = facts.KeySignature || n->Signature->Key != 0;
      }
    }
  }
  return facts;
}

TEST(Examples, StoredAsSongFilesAndTranslate) {
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(kExamples)) {
    if (entry.path().extension() != ".qem") {
      continue;
    }
    ++count;
    SCOPED_TRACE(entry.path().filename().string());
    const std::string bytes = FileBytes(entry.path());
    ASSERT_FALSE(bytes.empty());
    EXPECT_TRUE(bytes.ends_with("\r\n"));
    for (size_t i = 0; i < bytes.size(); ++i) {
      if (bytes[i] == '\n') {
        EXPECT_TRUE(i > 0 && bytes[i - 1] == '\r') << "a bare LF at byte " << i;
      }
    }
    const TExampleFacts facts = FactsOf(entry.path());
    EXPECT_GE(facts.MusicTracks, 1);
  }
  EXPECT_GE(count, 3);
}

TEST(Examples, MelodyHasKeyAndTimeSignature) {
  const TExampleFacts f = FactsOf(kExamples / "twinkle-twinkle.qem");
  EXPECT_EQ(f.MusicTracks, 1);
  EXPECT_TRUE(f.KeySignature);
  EXPECT_TRUE(f.TimeSignature);
}

TEST(Examples, PianoPieceHasTwoHandsChordsAndTies) {
  const TExampleFacts f = FactsOf(kExamples / "minuet-in-g.qem");
  EXPECT_EQ(f.MusicTracks, 2);
  EXPECT_TRUE(f.Chords);
  EXPECT_TRUE(f.Ties);
  EXPECT_TRUE(f.KeySignature);
}

TEST(Examples, EnsembleHasDrumsAndHandlers) {
  const TExampleFacts f = FactsOf(kExamples / "when-the-saints.qem");
  EXPECT_GE(f.MusicTracks, 4);
  EXPECT_TRUE(f.Channels.contains(10));
  EXPECT_TRUE(f.SeveralVoices);
  EXPECT_TRUE(f.Chords);
  EXPECT_GE(f.ProgramLines, 5);
}

}  // namespace
