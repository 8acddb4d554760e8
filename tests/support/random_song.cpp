#include "tests/support/random_song.h"

#include <algorithm>
#include <random>
#include <set>

namespace randomsong {
namespace {

// Note cells by value (whole, half, quarter, eighth), steps C..B, then the rest.
constexpr const char* kWhole = "yzY*[Z]m";
constexpr const char* kHalf = "nopqrstu";
constexpr const char* kQuarter = "PSNQTOwv";
constexpr const char* kEighth = "defghijx";

class TDraw {
 public:
  explicit TDraw(uint32_t seed) : engine_(seed) {}
  // 0 .. n - 1
  int Below(int n) { return static_cast<int>(engine_() % static_cast<uint32_t>(n)); }
  // True with the chance percent / 100.
  bool Chance(int percent) { return Below(100) < percent; }
  template <class T>
  const T& Pick(const std::vector<T>& items) {
    return items[static_cast<size_t>(Below(static_cast<int>(items.size())))];
  }

 private:
  std::mt19937 engine_;
};

// What the notes of a track may carry.
struct TMusicFeatures {
  int Eighths = 8;  // a measure of 4/4, or 6 for 3/4
  bool Ornaments = false;
  bool SecondVoice = false;
  bool HarmonyPart = false;                 // the second voice plays bass and tenor
  std::vector<std::string> BlockCalls;      // ")name." texts
};

class TMeasureWriter {
 public:
  TMeasureWriter(TDraw& draw, const TMusicFeatures& features) : d_(draw), f_(features) {}

  // One voice of one measure: an octave sign, then notes filling the measure.
  std::string Voice(const char* octave) {
    std::string s;
    int units = f_.Eighths;
    bool first = true;
    int tiedStep = -1;
    while (units > 0) {
      if (first && units == 8 && d_.Chance(8)) {
        s += Note(octave, kWhole, d_.Below(7), true);
        break;
      }
      // The first note carries the octave: no triplet or rest there.
      const int kind = first ? 2 + d_.Below(8) : d_.Below(10);
      if (tiedStep < 0 && units >= 2 && kind == 0) {
        s += "2";  // a triplet of eighths
        for (int i = 0; i < 3; ++i) {
          s += kEighth[d_.Below(7)];
        }
        units -= 2;
      } else if (tiedStep < 0 && kind == 1) {
        s += units >= 2 ? kQuarter[7] : kEighth[7];
        units -= units >= 2 ? 2 : 1;
      } else {
        const bool half = units >= 4 && kind < 4;
        const bool quarter = !half && units >= 2 && kind < 8;
        const char* row = half ? kHalf : quarter ? kQuarter : kEighth;
        const int step = tiedStep >= 0 ? tiedStep : d_.Below(7);
        units -= half ? 4 : quarter ? 2 : 1;
        s += Note(first ? octave : "", row, step, tiedStep < 0);
        tiedStep = -1;
        if (units > 0 && d_.Chance(10)) {
          s += "Ac";
          tiedStep = step;
        }
      }
      first = false;
    }
    return s;
  }

 private:
  // A note with what may stand before and after it.
  std::string Note(const char* octave, const char* row, int step, bool decorations) {
    std::string s;
    if (decorations && !f_.BlockCalls.empty() && d_.Chance(10)) {
      s += d_.Pick(f_.BlockCalls);
    }
    if (decorations && f_.Ornaments && d_.Chance(12)) {
      s += d_.Pick(std::vector<std::string>{"5", "6", "!5", "!6"});
    }
    s += octave;
    s += row[step];
    if (decorations && d_.Chance(15)) {
      s += d_.Pick(std::vector<std::string>{"U", "9", "_", "U9"});
    }
    return s;
  }

  TDraw& d_;
  const TMusicFeatures& f_;
};

std::vector<std::string> MusicLines(TDraw& d, const TMusicFeatures& f, int measures) {
  TMeasureWriter w(d, f);
  std::vector<std::string> lines;
  for (int m = 0; m < measures; ++m) {
    std::string line = w.Voice(d.Chance(50) ? "!" : "L");
    if (m == 0) {
      // An upper ornament sign would read as a digit of the time signature.
      line = (f.Eighths == 6 ? "Vc4" : "Vd4") + (line[0] == '5' || line[0] == '6' ? line.substr(1) : line);
    }
    if (f.SecondVoice) {
      line += "()";
      if (m == 0 && f.HarmonyPart) {
        line += "{$b+t+}";
      }
      line += w.Voice("L");
    }
    if (m + 1 == measures) {
      line += "(k";
    }
    lines.push_back(line);
  }
  return lines;
}

// Handler pieces: the declarations of the variables and arrays they use, their lines, the block calls their
// notes may carry.
struct TPiece {
  std::vector<std::string> Variables;
  std::vector<std::string> Lines;
  std::vector<std::string> Calls;
};

const std::vector<TPiece>& Pieces() {
  static const std::vector<TPiece> pieces = {
      {{}, {"keys", "keyon keyname in 50+keynumber*7", "endkeys"}, {}},
      {{}, {"keys", "if keypressed then", "keylength keyname in keylength*0,8+5", "endif", "endkeys"}, {}},
      {{}, {"keys 2", "keyoff keyname in 30+keyname mod 50", "endkeys"}, {}},
      {{}, {"keys", "controller 20 in keylength mod 100", "endkeys"}, {}},
      {{}, {"keys", "if nextkeyname>keyname then", "keyon keyname in 100", "else", "keyon keyname in 64", "endif", "endkeys"}, {}},
      {{"variable n"}, {"keys", "if keypressed then", "let n=n+1", "endif", "endkeys", "if n mod 5==0 then", "transpose 0", "else", "transpose 2", "endif"}, {}},
      {{"variable n"}, {"keys 1", "if keypressed then", "let n=n+keycount", "endif", "endkeys", "if n mod 7==3 then", "positionshift 30", "else", "positionshift 0", "endif"}, {}},
      {{"variable bar"}, {"evry 1920 offset 960 do", "let bar=bar+1", "tempo 90+(bar mod 3)*15", "endevry"}, {}},
      {{"variable beat"}, {"evry 480 do", "let beat=beat+1", "controller 11 in 70+(beat mod 4)*10", "endevry"}, {}},
      {{}, {"positionshift 24"}, {}},
      {{}, {"controller 7 in 100", "pitch 70"}, {}},
      {{"variable i"}, {"for i=1 to 3 do", "controller 70+i in 20*i", "endfor"}, {}},
      {{}, {"staccato 0,5", "nonlegato 0,8", "staccatisimo 20"}, {}},
      {{}, {"forshlag 30", "mordento 45"}, {}},
      {{}, {"rest 1"}, {}},
      {{}, {"keys", "if keypressed then", "instrument keyname mod 8", "endif", "endkeys"}, {}},
      {{"variable w"}, {"block wob", "let w=w+1", "pitch 64+w mod 8", "if w mod 40==0 then", "break", "endif", "endblock"}, {")wob."}},
      {{}, {"block swell", "controller 11 in parameter 1", "break", "endblock"}, {")swell:90.", ")swell:40."}},
      {{}, {"positionrnd 8"}, {}},
      {{"array vel"}, {"keys", "if keypressed then", "let vel[keyname]=vel[keyname]+10", "endif", "keyon keyname in 40+vel[keyname] mod 80", "endkeys"}, {}},
      {{}, {"keys", "if keypressed then", "tempo 100+keyname mod 30", "endif", "endkeys"}, {}},
  };
  return pieces;
}

// Pieces that read the clock or change state at every tick: no tick is quiet with them.
const std::vector<TPiece>& BusyPieces() {
  static const std::vector<TPiece> pieces = {
      {{}, {"keys", "if keypressed then", "keyon keyname in 60+rnd 30", "endif", "endkeys"}, {}},
      {{}, {"keys", "keylength keyname in 300", "endkeys"}, {}},
      {{"variable j"}, {"let j=0", "while j<2 do", "let j=j+1", "endwhile"}, {}},
      {{}, {"if positionsong mod 960<480 then", "pitch 60", "else", "pitch 68", "endif"}, {}},
  };
  return pieces;
}

// Time blocks end at the next time block: they come last.
const std::vector<std::vector<std::string>>& TimeBlocks() {
  static const std::vector<std::vector<std::string>> blocks = {
      {"960..2880", "controller 1 in 40", "2881", "controller 1 in 0"},
      {"3840..5000", "transpose 1"},
      {"1920", "tempo 140"},
  };
  return blocks;
}

// A track's program: declarations, two to five pieces (now and then a busy one), maybe a
// time block. The notes'
// block calls come with it.
std::vector<std::string> Program(TDraw& d, int track, TMusicFeatures& f) {
  std::set<std::string> variables;
  std::vector<std::string> body = {"instrument " + std::to_string(track * 7 % 128)};
  const int count = 2 + d.Below(4);
  for (int i = 0; i < count; ++i) {
    const TPiece& piece = d.Pick(i == 0 && d.Chance(12) ? BusyPieces() : Pieces());
    variables.insert(piece.Variables.begin(), piece.Variables.end());
    body.insert(body.end(), piece.Lines.begin(), piece.Lines.end());
    f.BlockCalls.insert(f.BlockCalls.end(), piece.Calls.begin(), piece.Calls.end());
  }
  if (d.Chance(25)) {
    const std::vector<std::string>& block = d.Pick(TimeBlocks());
    body.insert(body.end(), block.begin(), block.end());
  }
  std::vector<std::string> program;
  program.assign(variables.begin(), variables.end());
  program.insert(program.end(), body.begin(), body.end());
  return program;
}

}  // namespace

std::vector<TTrack> RandomSong(uint32_t seed) {
  TDraw d(seed);
  const int measures = 2 + d.Below(5);
  const bool harmony = d.Chance(20);
  std::vector<TTrack> song;
  TTrack control{0, "Control", {"Vd4m"}, {}};
  if (harmony) {
    control.Music.clear();
    for (int m = 0; m < measures; ++m) {
      // Chords of the harmony parts, now and then a half with a half rest after it.
      const bool half = d.Chance(50);
      control.Music.push_back((m == 0 ? "Vd4!" : "!") + std::string(1, (half ? kHalf : kWhole)[d.Below(7)]) +
                              (half ? "U9u" : "U9"));
    }
  }
  if (d.Chance(30)) {
    control.Program = d.Chance(50) ? std::vector<std::string>{"tempo 110"}
                                   : std::vector<std::string>{"3840..7679", "tempo 90"};
  }
  song.push_back(control);
  const int tracks = 1 + d.Below(3);
  for (int t = 1; t <= tracks; ++t) {
    TMusicFeatures f;
    f.Eighths = d.Chance(15) ? 6 : 8;
    f.Ornaments = d.Chance(40);
    f.SecondVoice = d.Chance(30);
    f.HarmonyPart = harmony && f.SecondVoice && d.Chance(50);
    TTrack track;
    track.Channel = t;
    track.Name = "T" + std::to_string(t);
    track.Program = Program(d, t, f);
    track.Music = MusicLines(d, f, measures);
    song.push_back(track);
  }
  return song;
}

}  // namespace randomsong
