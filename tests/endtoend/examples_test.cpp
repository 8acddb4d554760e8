// The example songs: each one loads, is stored as our song files are (code page 1251,
// CR LF), translates without error, and has what its description promises.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>

#include "notation/braille_translation.h"
#include "notation/measure_cache.h"
#include "model/song.h"
#include "model/song_file.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

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

// One note on of an exported file: track, tick, key, velocity.
struct TNoteOn {
  int Track;
  long Tick;
  int Key;
  int Velocity;
};

// The song exported by the program, read back by mido: its note ons and, per track, its
// expression controller (11) values in order.
struct TExported {
  std::vector<TNoteOn> Notes;
  std::map<int, std::vector<int>> Expression;
};

TExported ExportAndRead(const std::string& song) {
  // A copy of the installation tree as the program folder, so that the program's own files
  // (its cache, Resources/temp) stay out of the build tree.
  TTempDir work;
  const std::filesystem::path bin = std::filesystem::path(VELTO_BINARY_DIR) / "bin";
  for (const auto& entry : std::filesystem::directory_iterator(bin)) {
    if (entry.is_directory()) {
      CopyInstalledResources(entry.path(), work.Path() + "home/" + entry.path().filename().string());
    }
  }
  const std::string mid = work.File("song.mid");
  const TCommandRun exported = RunCommand((bin / "velto").string() + " --home '" + work.Path() + "home' --export '" +
                                          (kExamples / song).string() + "' '" + mid + "' 2>&1");
  EXPECT_EQ(exported.ExitCode, 0) << exported.Output;
  const TCommandRun facts = RunCommand("/usr/bin/python3 '" + std::string(VELTO_SOURCE_DIR) +
                                       "/tests/endtoend/midi_facts.py' '" + mid + "' 2>&1");
  EXPECT_EQ(facts.ExitCode, 0) << facts.Output;
  TExported out;
  std::istringstream lines(facts.Output);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    int track = 0;
    long tick = 0;
    std::string kind;
    int a = 0;
    int b = 0;
    if (!(words >> track >> tick >> kind >> a >> b)) {
      continue;
    }
    if (kind == "note_on") {
      out.Notes.push_back({track, tick, a, b});
    } else if (kind == "cc" && a == 11) {
      out.Expression[track].push_back(b);
    }
  }
  return out;
}

// The three sample modules at work: the saxophone swings its eighths (module swing) with
// lively velocities (humanize: human), the bass accents the first beat (humanize: accent)
// and swells and fades (dynamics, attached to all tracks by the control track).
TEST(Examples, ModulesShapeThePerformance) {
  const TExampleFacts f = FactsOf(kExamples / "modules-demo.qem");
  EXPECT_EQ(f.MusicTracks, 2);
  TExported song = ExportAndRead("modules-demo.qem");
  std::set<int> melodyVelocities;
  int melodyNotes = 0;
  for (const TNoteOn& n : song.Notes) {
    const long inBeat = n.Tick % 480;
    if (n.Track == 1) {
      ++melodyNotes;
      EXPECT_TRUE(inBeat == 0 || inBeat == 320) << "a straight eighth at " << n.Tick;
      EXPECT_GE(n.Velocity, 78) << n.Tick;
      EXPECT_LE(n.Velocity, 102) << n.Tick;
      melodyVelocities.insert(n.Velocity);
    } else if (n.Track == 2) {
      EXPECT_EQ(inBeat % 240, 0) << "the bass is not swung: " << n.Tick;
      EXPECT_EQ(n.Velocity, n.Tick % 1920 == 0 ? 110 : 60) << n.Tick;
    }
  }
  EXPECT_EQ(melodyNotes, 28);
  EXPECT_GT(melodyVelocities.size(), 3u) << "every note has a velocity of its own";
  const std::vector<int>& bass = song.Expression[2];
  ASSERT_FALSE(bass.empty());
  const auto loudest = std::max_element(bass.begin(), bass.end());
  EXPECT_GE(*loudest, 119) << "the crescendo reaches its goal";
  EXPECT_EQ(bass.back(), 60) << "the diminuendo ends at its goal";
  EXPECT_TRUE(std::is_sorted(bass.begin(), loudest)) << "the crescendo only rises";
}

}  // namespace
