#include "model/song_text.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "base/errors.h"
#include "model/plugin_hooks.h"
#include "model/song.h"
#include "model/song_file.h"
#include "platform/atomic_file.h"
#include "platform/codec1251.h"
#include "platform/text_lines.h"
#include "scripthost/track_root.h"
#include "settings/lang_texts.h"

namespace {

const std::filesystem::path kSongs = std::filesystem::path(VELTO_SOURCE_DIR) / "tests/data/songs";
const std::filesystem::path kExample =
    std::filesystem::path(VELTO_SOURCE_DIR) / "examples/ode-to-joy.qem";

std::string Cp(const std::string& utf8) { return Utf8ToCp1251Exact(utf8).value(); }

std::vector<std::string> FileLines(const std::filesystem::path& path) {
  return ReadTextLines(path).value();
}

// Data for a song text: the label and file-name lines, then the text.
std::vector<std::string> WithHead(const std::vector<std::string>& text) {
  std::vector<std::string> data = {"label", "song.qem"};
  data.insert(data.end(), text.begin(), text.end());
  return data;
}

// The English language file of the program, loaded while the object lives.
struct TEnglish {
  TEnglish() {
    EXPECT_TRUE(LoadLanguageFile(std::string(VELTO_SOURCE_DIR) + "/resources/Languages/English.lng"));
  }
  ~TEnglish() { UnloadLanguage(); }
};

void ConvertText(TVelto& song, const std::vector<std::string>& text) {
  song.Data = WithHead(text);
  std::string label;
  song.Convert(label);
}

// Everything a failed parse must leave alone.
struct TSongState {
  std::vector<std::string> Text;
  std::vector<PTreck> Tracks;
  PTreck Head, Current, Start;
  int32_t Count, Ticks;
  std::string FileName;

  static TSongState Of(TVelto& song) {
    const std::vector<std::string> data = song.Data;
    song.DeConvert("snapshot");
    TSongState s{song.Data, {}, song.HeadTreck, song.CurrentTrack, song.StartTrack,
                 song.TrackCount, song.TicksPerMeasure, song.FileName};
    song.Data = data;
    for (PTreck t = song.HeadTreck; t != nullptr; t = t->Next) {
      s.Tracks.push_back(t);
    }
    return s;
  }
  bool operator==(const TSongState&) const = default;
};

TEST(ParseHeaderField, DigitsOnlyHeldAtThirtyTwoBits) {
  struct Case {
    const char* line;
    uint8_t n;
    int32_t value;
    bool ok;
  };
  const std::vector<Case> cases = {
      {"2 1 1 1 1 1 1", 1, 2, true},  {"2 1 16 4 5 6 7", 3, 16, true},
      {"2 1 16 4 5 6 7", 7, 7, true}, {"7", 1, 7, true},
      {"0012", 1, 12, true},          {"2147483647", 1, 2147483647, true},
      {"2147483648", 1, 2147483647, true}, {"12345678901 1", 1, 2147483647, true},
      {"1 2", 3, 0, false},           {"1  2", 2, 0, false},
      {"1 2 ", 3, 0, false},          {"-1", 1, 0, false},
      {"+1", 1, 0, false},            {"", 1, 0, false},
      {"a b", 1, 0, false},           {"1 2\r", 2, 0, false},
  };
  for (const Case& c : cases) {
    TErrors errors;
    EXPECT_EQ(ParseHeaderField(c.line, c.n, errors), c.value) << c.line << " #" << int(c.n);
    EXPECT_EQ(errors.Code, c.ok ? 0 : 39) << c.line << " #" << int(c.n);
  }
}

TEST(Convert, ReadsOneTrackOfTwoMusicLinesAndOneProgramLine) {
  TVelto song;
  ConvertText(song, {"2 1 1 2 3 4 5", "Track", "Vd4!NNQT", "TQNS", "instrument 1"});
  ASSERT_EQ(GErrors.Code(), 0);
  ASSERT_EQ(song.TrackCount, 1);
  const TTreck& t = *song.HeadTreck;
  EXPECT_EQ(song.CurrentTrack, song.HeadTreck);
  EXPECT_EQ(t.Channel, 1);
  EXPECT_EQ(t.Voice, 2);
  EXPECT_EQ(t.CaretColumn, 3);
  EXPECT_EQ(t.ProgramCaretX, 4);
  EXPECT_EQ(t.ProgramCaretY, 5);
  EXPECT_EQ(t.Caption, "Track");
  EXPECT_EQ(t.MusicStrings, (std::vector<std::string>{"Vd4!NNQT", "TQNS"}));
  EXPECT_EQ(t.ProgramStrings, (std::vector<std::string>{"instrument 1"}));
  EXPECT_EQ(song.FileName, "song.qem");
}

// Another tool may write carets past what the editors hold: they are brought there and the
// song opens (a channel or a voice that could not be played is refused, below).
TEST(Convert, CaretsPastTheEditorsAreBroughtToTheirEnd) {
  TVelto song;
  ConvertText(song, {"1 0 1 1 99999 2147483648 99999999999999999999", "Track", "Vd4!NNQT"});
  ASSERT_EQ(GErrors.Code(), 0);
  EXPECT_EQ(song.HeadTreck->CaretColumn, 65535);
  EXPECT_EQ(song.HeadTreck->ProgramCaretX, 2147483647);
  EXPECT_EQ(song.HeadTreck->ProgramCaretY, 2147483647);
}

TEST(Convert, SongFilesComeBackLineForLine) {
  const std::vector<std::filesystem::path> files = {kExample, kSongs / "ensemble.qem",
                                                    kSongs / "directives.qem"};
  for (const auto& file : files) {
    TVelto song;
    const std::vector<std::string> data = WithHead(FileLines(file));
    song.Data = data;
    std::string label;
    song.Convert(label);
    ASSERT_EQ(GErrors.Code(), 0) << file;
    EXPECT_EQ(label, "label");
    song.DeConvert(label);
    EXPECT_EQ(song.Data, data) << file;
  }
}

TEST(Convert, ReadsTheEnsemble) {
  TVelto song;
  ConvertText(song, FileLines(kSongs / "ensemble.qem"));
  ASSERT_EQ(GErrors.Code(), 0);
  ASSERT_EQ(song.TrackCount, 5);
  std::vector<const TTreck*> t;
  for (PTreck p = song.HeadTreck; p != nullptr; p = p->Next) {
    t.push_back(p);
  }
  EXPECT_EQ(song.CurrentTrack, t.back());  // the last track read
  EXPECT_EQ(t[0]->Caption, Cp("Управление «Ансамбль» №1"));
  EXPECT_EQ(t[0]->Channel, 0);
  EXPECT_EQ(t[1]->Caption, Cp("Скрипка I"));
  EXPECT_EQ(t[1]->MidiOut, 3);
  EXPECT_EQ(t[1]->MusicStrings.size(), 4u);
  EXPECT_EQ(t[1]->ProgramStrings.back(), "");  // a blank program line is a line
  EXPECT_EQ(t[2]->Caption, Cp("Ударные"));
  EXPECT_TRUE(t[2]->MusicStrings.empty());
  EXPECT_TRUE(t[2]->ProgramStrings.empty());
  EXPECT_EQ(t[3]->Channel, 16);
  EXPECT_EQ(t[4]->MidiOut, 16);
  EXPECT_EQ(t[4]->ProgramStrings.size(), 4u);
}

TEST(Convert, AnyLineEndReadsTheSame) {
  const std::string crlf = ReadFileBytes(kSongs / "ensemble.qem").value();
  std::string lf, cr;
  for (size_t i = 0; i < crlf.size(); ++i) {
    if (crlf.compare(i, 2, "\r\n") == 0) {
      lf += '\n';
      cr += '\r';
      ++i;
    } else {
      lf += crlf[i];
      cr += crlf[i];
    }
  }
  EXPECT_EQ(SplitLines(lf), SplitLines(crlf));
  EXPECT_EQ(SplitLines(cr), SplitLines(crlf));
}

TEST(Convert, BlankLinesAtTheEndAreIgnored) {
  const std::vector<std::string> song = {"0 0 0 1 1 1 1", "Control", "1 1 1 1 1 1 1", "Melody",
                                         "Vd4!NNQT", ""};  // the last program line is blank
  for (const std::vector<std::string>& tail :
       {std::vector<std::string>{}, {""}, {"", "", ""}, {" ", "\t", ""}}) {
    std::vector<std::string> text = song;
    text.insert(text.end(), tail.begin(), tail.end());
    TVelto read;
    ConvertText(read, text);
    ASSERT_EQ(GErrors.Code(), 0) << tail.size();
    read.DeConvert("label");
    EXPECT_EQ(read.Data, WithHead(song)) << tail.size();
  }
}

TEST(Convert, BadTextsLeaveTheSongExactlyAsItWas) {
  const std::vector<std::string> good = {"0 0 1 1 1 1 1", "Good"};
  const auto after = [&](std::vector<std::string> tail) {
    std::vector<std::string> text = good;
    text.insert(text.end(), tail.begin(), tail.end());
    return text;
  };
  struct Case {
    const char* what;
    std::vector<std::string> text;  // without label and file name
  };
  const std::vector<Case> cases = {
      {"non-digit channel", {"2 1 x 1 1 1 1", "n", "a", "b", "p"}},
      {"sign", {"0 0 1 1 1 1 -1", "n"}},
      {"plus sign", {"0 0 +1 1 1 1 1", "n"}},
      {"11 digits", {"12345678901 0 1 1 1 1 1", "n"}},
      {"past 32 bits", {"0 2147483648 1 1 1 1 1", "n"}},
      {"channel 17", {"0 0 17 1 1 1 1", "n"}},
      {"voice 0", {"0 0 1 0 1 1 1", "n"}},
      {"voice past 16 bits", {"0 0 1 65536 1 1 1", "n"}},
      {"six fields", {"0 0 1 1 1 1", "n"}},
      {"two blanks", {"0  0 1 1 1 1 1", "n"}},
      {"leading blank", {" 0 0 1 1 1 1 1", "n"}},
      {"blank header", {"", "n"}},
      {"header with a stray CR", {"0 0 1 1 1 1 1\r", "n"}},
      {"header with a stray LF", {"0 0 1 1 1\n1 1", "n"}},
      {"blank line before a track", after({"", "0 0 1 1 1 1 1", "n"})},
      {"blank lines only", {"", " "}},
      {"ends after a header", after({"0 0 1 1 1 1 1"})},
      {"ends inside the music", after({"3 0 1 1 1 1 1", "n", "a", "b"})},
      {"ends inside the program", after({"1 2 1 1 1 1 1", "n", "a", "p"})},
      {"bad second track", after({"0 0 1 1 x 1 1", "n"})},
      {"program line count too small", after({"0 1 1 1 1 1 1", "n", "p", "q"})},
      {"no line at all", {}},
  };
  TVelto song;
  ConvertText(song, FileLines(kSongs / "ensemble.qem"));
  ASSERT_EQ(GErrors.Code(), 0);
  song.CurrentTrack = song.HeadTreck->Next;
  song.StartTrack = song.HeadTreck;
  song.FileName = "kept.qem";
  song.TicksPerMeasure = 960;
  const TSongState before = TSongState::Of(song);
  for (const Case& c : cases) {
    ConvertText(song, c.text);
    EXPECT_EQ(GErrors.Code(), 39) << c.what;
    EXPECT_EQ(GErrors.Get().Source, 2) << c.what;
    EXPECT_TRUE(TSongState::Of(song) == before) << c.what;
  }
  // Fewer than three lines in all.
  for (size_t n = 0; n < 3; ++n) {
    song.Data = std::vector<std::string>(n, "1 1 1 1 1 1 1");
    std::string label = "untouched";
    song.Convert(label);
    EXPECT_EQ(GErrors.Code(), 39) << n;
    EXPECT_EQ(label, "untouched");
    EXPECT_TRUE(TSongState::Of(song) == before) << n;
  }
}

// Tracks are numbered as the window names them (the control track 0, "Трек 1" next); a
// header names its line in the file and what stands there, an empty line too (LF CR line
// ends make every other line empty).
TEST(Convert, TheErrorNamesTheTrackTheLineAndWhatIsWrong) {
  struct Case {
    std::vector<std::string> text;
    uint16_t track;
    int32_t fault;
    uint32_t line;
    std::string detail;
    std::string description;
  };
  const std::string name = Cp("Левая рука");
  const std::vector<Case> cases = {
      {{"0 0 1 1 1 1 1", "a", "0 0 99 1 1 1 1", "b"}, 1, kBadSongHeader, 3, "0 0 99 1 1 1 1",
       "error 39: line 3: the header of track 1 (seven numbers) was expected here, but it holds "
       "\"0 0 99 1 1 1 1\""},
      {{"0 0 0 1 1 1 1", "", "Song", "", "1 0 1 1 1 1 1", "", "Flute", "", "Vd4m", ""}, 1,
       kBadSongHeader, 3, "Song",
       "error 39: line 3: the header of track 1 (seven numbers) was expected here, but it holds "
       "\"Song\""},
      {{"1 0 0 1 1 1 1", "", "Vd4m", "", "1 0 1 1 1 1 1"}, 1, kBadSongHeader, 4, "",
       "error 39: line 4: the header of track 1 (seven numbers) was expected here, but the line is "
       "empty"},
      {{"0 0 1 1 1 1 1", "a", "0 0 1 1 1 1 1", "b", "2 1 1 1 1 1 1", name, "m"}, 2,
       kSongTextEndsInTrack, 0, name,
       "error 39: the file ends inside track 2 \"Левая рука\": its header promises more lines "
       "than follow it"},
      {{"0 0 1 1 1 1 1"}, 0, kSongTextEndsInTrack, 0, "",
       "error 39: the file ends inside track 0 \"\": its header promises more lines than follow it"},
      {{"", ""}, 0, kNoSongTrack, 0, "", "error 39: not a song: it holds no track"},
      {{}, 0, kNoSongTrack, 0, "", "error 39: not a song: it holds no track"},
  };
  TEnglish english;
  for (const Case& c : cases) {
    TVelto song;
    ConvertText(song, c.text);
    const TErrors e = GErrors.Get();
    EXPECT_EQ(e.Code, 39) << c.description;
    EXPECT_EQ(e.ModuleLine, c.track) << c.description;
    EXPECT_EQ(e.Extra, c.fault) << c.description;
    EXPECT_EQ(e.TextLine, c.line) << c.description;
    EXPECT_EQ(e.Text, c.detail) << c.description;
    EXPECT_EQ(DescribeSongTextError(), c.description);
  }
}

TEST(Convert, ASongHasAtMostTheTracksItsNumbersHold) {
  std::vector<std::string> text;
  for (int32_t i = 0; i <= kMaxSongTracks; ++i) {
    text.insert(text.end(), {"0 0 1 1 1 1 1", ""});
  }
  TVelto song;
  ConvertText(song, text);
  EXPECT_EQ(GErrors.Code(), 39);
  EXPECT_EQ(GErrors.Get().Extra, kTooManySongTracks);
  EXPECT_EQ(song.TrackCount, 0);
  EXPECT_EQ(DescribeSongTextError(),
            "ошибка 39: в сонге больше 65535 треков, а больше их быть не может");
  text.resize(text.size() - 2);
  ConvertText(song, text);
  EXPECT_EQ(GErrors.Code(), 0);
  EXPECT_EQ(song.TrackCount, kMaxSongTracks);
}

TEST(Convert, SuccessReplacesTheOldListAfterStoppingItsPlayback) {
  TVelto song;
  ConvertText(song, {"0 0 0 1 1 1 1", "old head", "0 0 1 1 1 1 1", "old"});
  song.HeadTreck->TranslatorPath = "Translator\\old.cnv";
  song.TrackRoot->Position = 2;
  GErrors.Update([](TErrors& e) { e.Code = 39; });
  std::vector<std::string> stoppedWith;
  SetStopForTrackRemoval([&](TVelto& window) {
    for (PTreck t = window.HeadTreck; t != nullptr; t = t->Next) {
      stoppedWith.push_back(t->Caption);
    }
  });
  ConvertText(song, {"0 0 0 1 1 1 1", "new head", "0 0 2 1 1 1 1", "new"});
  SetStopForTrackRemoval(nullptr);
  EXPECT_EQ(GErrors.Code(), 0);
  EXPECT_EQ(stoppedWith, (std::vector<std::string>{"old head", "old"}));
  EXPECT_EQ(song.TrackCount, 2);
  EXPECT_EQ(song.HeadTreck->Caption, "new head");
  EXPECT_EQ(song.HeadTreck->Prev, nullptr);
  EXPECT_EQ(song.CurrentTrack->Caption, "new");
  EXPECT_EQ(song.StartTrack, nullptr);
  EXPECT_EQ(song.TrackRoot->Position, 0);
  // The new tracks never take the old head's translator.
  EXPECT_TRUE(song.HeadTreck->TranslatorPath.empty());
  EXPECT_TRUE(song.CurrentTrack->TranslatorPath.empty());
}

TEST(MidiOutDirective, OnlyPorts0To16Count) {
  struct Case {
    const char* line;
    std::optional<int32_t> port;
  };
  const std::vector<Case> cases = {
      {"{$$$midiout=5$$$}", 5},      {"{$$$midiout=0$$$}", 0},
      {"{$$$midiout=16$$$}", 16},    {"{$$$midiout=03$$$}", 3},
      {"{$$$midiout=2$$$} x", 2},    {"{$$$midiout=17$$$}", std::nullopt},
      {"{$$$midiout=-1$$$}", std::nullopt}, {"{$$$midiout=1,5$$$}", std::nullopt},
      {"{$$$midiout= 3$$$}", std::nullopt}, {"{$$$midiout=$$$}", std::nullopt},
      {"{$$$midiout=3", std::nullopt},      {" {$$$midiout=3$$$}", std::nullopt},
      {"{$$$MIDIOUT=3$$$}", std::nullopt},  {"{$$$midiout=99999999999$$$}", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseMidiOutDirective(c.line), c.port) << c.line;
  }
  EXPECT_EQ(MidiOutDirective(5), "{$$$midiout=5$$$}");
}

TEST(MidiOutDirective, SetsThePortAndStaysAProgramLine) {
  TVelto song;
  ConvertText(song, FileLines(kSongs / "directives.qem"));
  ASSERT_EQ(GErrors.Code(), 0);
  for (PTreck t = song.HeadTreck; t != nullptr; t = t->Next) {
    EXPECT_EQ(t->MidiOut, 0) << t->Caption;  // 17, -1, 0 and an empty number change nothing
    EXPECT_FALSE(t->ProgramStrings.empty());
  }
  ConvertText(song, {"0 2 1 1 1 1 1", "t", "{$$$midiout=5$$$}", "instrument 1"});
  EXPECT_EQ(song.CurrentTrack->MidiOut, 5);
  EXPECT_EQ(song.CurrentTrack->ProgramStrings.front(), "{$$$midiout=5$$$}");
}

TEST(DeConvert, LineBreaksAndBadNumbersNeverCorruptTheText) {
  TVelto song;
  song.AddTreck(song.CurrentTrack, "two\r\nlines\r", 200);
  TTreck& t = *song.CurrentTrack;
  t.MusicStrings = {"ab\ncd"};
  t.ProgramStrings = {"x\ry"};
  t.Voice = 0;
  t.ProgramCaretX = -5;
  t.ProgramCaretY = -1;
  song.FileName = "a\nb";
  song.DeConvert("label\r\n");
  EXPECT_EQ(song.Data, (std::vector<std::string>{"label", "ab", "1 1 16 1 1 0 0", "twolines",
                                                 "abcd", "xy"}));
  TVelto other;
  other.Data = song.Data;
  std::string label;
  other.Convert(label);
  EXPECT_EQ(GErrors.Code(), 0);
  EXPECT_EQ(other.TrackCount, 1);
}

TEST(SplitVoiceText, TheEditedVoiceTakesOneSlot) {
  struct Case {
    const char* line;
    uint16_t voice;
    const char* before;
    const char* after;
  };
  const std::vector<Case> cases = {
      {"abc()def()ghi", 1, "", "()def()ghi"}, {"abc", 1, "", ""},
      {"", 1, "", ""},                        {"abc()def()ghi", 2, "abc()", "()ghi"},
      {"abc()def()ghi", 3, "abc()def()", ""}, {"abc()def", 3, "abc()def()", ""},
      {"abc()def", 4, "abc()def()m()", ""},   {"abc", 4, "abc()m()m()", ""},
      {"", 2, "m()", ""},                     {"", 3, "m()m()", ""},
      {"abc()def", 0, "", "()def"},
  };
  for (const Case& c : cases) {
    std::string before = "junk", after = "junk";
    SplitVoiceText(c.line, c.voice, before, after);
    EXPECT_EQ(before, c.before) << c.line << " voice " << c.voice;
    EXPECT_EQ(after, c.after) << c.line << " voice " << c.voice;
  }
}

TEST(SaveData, CommitsTheEditedVoiceIntoItsMeasure) {
  struct Case {
    const char* line;
    uint16_t voice;
    const char* editor;
    const char* stored;
  };
  const std::vector<Case> cases = {
      {"abc()def", 3, "x", "abc()def()x"},
      {"abc()def", 4, "x", "abc()def()m()x"},
      {"abc()def()ghi", 2, "y", "abc()y()ghi"},
      {"abc()def", 2, "", "abc"},
      {"abc()m", 1, "abd", "abd"},
      {"abc()def", 2, "   ", "abc"},          // blanks only
      {"abc()def", 2, "()", "abc"},           // "()" only
      {"abc()def", 2, "( )", "abc"},          // removal repeats until none is left
      {"abc()def", 2, "(())", "abc"},
      {"abc()def", 2, "x(\xA7)y", "abc()xy"},
      {"abc()def", 3, "", "abc()def"},        // voice 3 of a two-voice measure, left empty
      {"abc()def", 3, "()()", "abc()def"},
      {"abc", 1, "d e\xA7" "f", "def"},
      {"", 2, "x", "m()x"},
      {"abc()def()ghi", 1, "", "m()def()ghi"},
      {"abc()m()m", 1, "z", "z"},
      {"abc()def", 2, "m", "abc"},
  };
  for (const Case& c : cases) {
    TVelto song;
    song.AddTreck(song.CurrentTrack, "t", 1);
    song.CurrentTrack->MusicStrings = {c.line};
    song.CurrentTrack->Voice = c.voice;
    song.FillEditors();
    song.NotesEditText = c.editor;
    song.SaveData(c.voice);
    EXPECT_EQ(song.CurrentTrack->MusicStrings, std::vector<std::string>{c.stored})
        << c.line << " voice " << c.voice << " \"" << c.editor << "\"";
  }
}

TEST(SaveData, MeasuresPastTheEndAreFilledAndEmptyOnesDropped) {
  struct Case {
    std::vector<std::string> lines;
    int32_t measure;
    const char* editor;
    std::vector<std::string> stored;
  };
  const std::vector<Case> cases = {
      {{"a"}, 3, "x", {"a", "m", "x"}},
      {{"a"}, 3, "m", {"a"}},
      {{"m", "m"}, 2, "m", {"m"}},
      {{"a", "b()m", "m"}, 1, "c", {"c", "b"}},
      {{}, 1, "m", {"m"}},  // the first line stays
      {{"a", "b()m", "m"}, 1, "a", {"a", "b()m", "m"}},  // editors as shown: nothing to commit
  };
  for (const Case& c : cases) {
    TVelto song;
    song.AddTreck(song.CurrentTrack, "t", 1);
    song.CurrentTrack->MusicStrings = c.lines;
    song.CurrentMeasure = c.measure;
    song.FillEditors();
    song.NotesEditText = c.editor;
    song.SaveData(1);
    EXPECT_EQ(song.CurrentTrack->MusicStrings, c.stored) << c.measure << " " << c.editor;
  }
}

TEST(SaveData, CommitsTheProgramWithTheDirectiveFirst) {
  TVelto song;
  song.AddTreck(song.CurrentTrack, "t", 1);
  song.CurrentTrack->MidiOut = 5;
  song.CurrentTrack->ProgramStrings = {"old"};
  song.FillEditors();
  song.ProgramEditLines = {"instrument 1", "tempo 90"};
  song.ProgramEditCaretX = 4;
  song.ProgramEditCaretY = 2;
  song.NotesEditText = "abc";
  song.NotesEditCaret = 3;
  song.SaveData(1);
  const TTreck& t = *song.CurrentTrack;
  EXPECT_EQ(t.ProgramStrings,
            (std::vector<std::string>{"{$$$midiout=5$$$}", "instrument 1", "tempo 90"}));
  EXPECT_EQ(t.ProgramCaretX, 4);
  EXPECT_EQ(t.ProgramCaretY, 2);
  EXPECT_EQ(t.CaretColumn, 3);
  EXPECT_EQ(t.MusicStrings, std::vector<std::string>{"abc"});
  TVelto empty;
  empty.SaveData(1);  // no current track: nothing happens
  EXPECT_EQ(empty.TrackCount, 0);
}

// Editors commit into the place they were filled from, also when the window has left it
// without showing the new place (an error or a command moved it): what was typed is never
// lost nor written over another place. Editors that show no place commit nothing.
TEST(SaveData, EditorsCommitIntoThePlaceTheyWereFilledFrom) {
  struct Case {
    const char* name;
    std::function<void(TVelto&)> move;
    std::vector<std::string> music;
    std::vector<std::string> program;
  };
  const std::vector<Case> cases = {
      {"measure left", [](TVelto& s) { s.CurrentMeasure = 2; }, {"a()x", "c()d"}, {}},
      {"voice left", [](TVelto& s) { s.CurrentTrack->Voice = 1; }, {"a()x", "c()d"}, {}},
      {"track left", [](TVelto& s) { s.CurrentTrack = s.HeadTreck; }, {"a()x", "c()d"}, {}},
      {"no place", [](TVelto& s) { s.EditorPlace = TSongPlace(); }, {"a()b", "c()d"}, {"tempo 90"}},
  };
  for (const Case& c : cases) {
    TVelto song;
    ConvertText(song, {"0 0 0 1 1 1 1", "control", "2 1 1 2 1 1 1", "t", "a()b", "c()d", "tempo 90"});
    ASSERT_EQ(GErrors.Code(), 0);
    const PTreck track = song.CurrentTrack;
    EXPECT_EQ(song.NotesEditText, "b");
    EXPECT_EQ(song.ProgramEditLines, std::vector<std::string>{"tempo 90"});
    c.move(song);
    song.NotesEditText = "x";
    song.ProgramEditLines.clear();
    song.SaveData(song.CurrentTrack->Voice);
    EXPECT_EQ(track->MusicStrings, c.music) << c.name;
    EXPECT_EQ(track->ProgramStrings, c.program) << c.name;
    EXPECT_TRUE(song.HeadTreck->MusicStrings.empty()) << c.name;
  }
}

// Two song texts hold the same song when their song data agree: carets, the voice shown and
// the empty measures and voices a commit drops do not count; a bad text has none.
TEST(SongContent, KeepsTheSongAndLeavesThePlace) {
  using Lines = std::vector<std::string>;
  const Lines plain = {"1 1 1 1 1 1 1", "t", "ab", "tempo 90"};
  const auto content = SongContent(plain, 0);
  ASSERT_TRUE(content.has_value());
  EXPECT_EQ(*content, (Lines{"1 1 1", "t", "ab", "tempo 90"}));
  const struct {
    const char* name;
    Lines text;
    bool same;
  } cases[] = {
      {"carets and voice", {"1 1 1 3 9 9 9", "t", "ab", "tempo 90"}, true},
      {"trailing empty measures", {"3 1 1 1 1 1 1", "t", "ab()m", "m", "", "tempo 90"}, true},
      {"blank lines at the end", {"1 1 1 1 1 1 1", "t", "ab", "tempo 90", "", " "}, true},
      {"a digit-only measure", {"2 1 1 1 1 1 1", "t", "ab", "12", "tempo 90"}, false},
      {"another channel", {"1 1 2 1 1 1 1", "t", "ab", "tempo 90"}, false},
      {"another program line", {"1 1 1 1 1 1 1", "t", "ab", "tempo 91"}, false},
  };
  for (const auto& c : cases) {
    const auto other = SongContent(c.text, 0);
    ASSERT_TRUE(other.has_value()) << c.name;
    EXPECT_EQ(*other == *content, c.same) << c.name;
  }
  EXPECT_FALSE(SongContent({"1 1 1 1 x 1 1", "t", "ab", "tempo 90"}, 0).has_value());
  EXPECT_FALSE(SongContent({"2 1 1 1 1 1 1", "t", "ab"}, 0).has_value());  // ends inside the track
  EXPECT_EQ(SongContent({"label", "file", "1 1 1 1 1 1 1", "t", "ab", "tempo 90"}, 2), content);
}

TEST(FormatPlugin, EntryPointsAreCalledOnlyWhenPresent) {
  TVelto song;
  song.FormatModule = std::make_shared<TFormatEntryPoints>();
  ConvertText(song, {"0 2 1 1 1 1 1", "t", "p1", "p2"});  // nothing bound: no call
  ASSERT_EQ(GErrors.Code(), 0);
  std::vector<std::string> read;
  int commits = 0;
  song.FormatModule->GetMakros = [&](const std::string& line, int32_t& ticks, PTreck head,
                                     PTreck current) {
    read.push_back(line);
    EXPECT_EQ(head, current);
    ticks = 480;
  };
  song.FormatModule->SetMakros = [&](int32_t& ticks, PTreck& current) {
    ++commits;
    EXPECT_EQ(ticks, 480);
    current->ProgramStrings.push_back("hidden");
  };
  ConvertText(song, {"0 2 1 1 1 1 1", "t", "p1", "p2"});
  EXPECT_EQ(read, (std::vector<std::string>{"p1", "p2"}));
  EXPECT_EQ(song.TicksPerMeasure, 480);
  song.FillEditors();
  song.ProgramEditLines = {"shown"};
  song.SaveData(1);
  EXPECT_EQ(commits, 1);
  EXPECT_EQ(song.CurrentTrack->ProgramStrings, (std::vector<std::string>{"hidden", "shown"}));
  // A failed parse puts back the ticks a plug-in changed.
  song.TicksPerMeasure = 1920;
  ConvertText(song, {"0 1 1 1 1 1 1", "t", "p1", "bad header"});
  EXPECT_EQ(GErrors.Code(), 39);
  EXPECT_EQ(song.TicksPerMeasure, 1920);
}

class SongFile : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("velto-songs-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

TEST_F(SongFile, SavesByteForByteWhatItLoaded) {
  TVelto song;
  std::string error;
  ASSERT_TRUE(LoadSongFile(song, kSongs / "ensemble.qem", "", &error)) << error;
  EXPECT_EQ(song.FileName, (kSongs / "ensemble.qem").string());
  ASSERT_TRUE(SaveSongFile(song, dir_ / "out.qem", "", &error)) << error;
  EXPECT_EQ(ReadFileBytes(dir_ / "out.qem"), ReadFileBytes(kSongs / "ensemble.qem"));
}

TEST_F(SongFile, ABadFileLeavesTheLoadedSongAlone) {
  const std::string minuet = ReadFileBytes(std::filesystem::path(VELTO_SOURCE_DIR) /
                                           "examples/minuet-in-g.qem").value();
  const std::string saints = ReadFileBytes(std::filesystem::path(VELTO_SOURCE_DIR) /
                                           "examples/when-the-saints.qem").value();
  const std::string melody = "0 0 1 1 1 1 1\r\n";
  struct Case {
    const char* what;
    std::string bytes;  // of the file; empty: the file is missing
    const char* error;  // part of the error
  };
  const std::vector<Case> cases = {
      {"a bad header", ReadFileBytes(kSongs / "bad-header.qem").value(), "error 39"},
      {"missing", "", "No such file or directory"},
      {"cut short", minuet.substr(0, 300),
       "error 39: the file ends inside track 2 \"Левая рука\""},
      {"cut short", saints.substr(0, 300), "error 39: the file ends inside track 2 \"Бас\""},
      {"UTF-8 past code page 1251", melody + "Name \xE2\x9C\x93\r\n",
       "not in code page 1251 (Windows-1251), as a song file must be: it is UTF-8 text holding "
       "U+2713 \"\xE2\x9C\x93\" on line 2"},
      {"LF CR line ends", "0 0 0 1 1 1 1\n\rSong\n\r", "line 3: the header of track 1"},
      // One byte of "о" lost: read as code page 1251 it would be saved back garbled.
      {"UTF-8 damaged in one place",
       "1 0 0 1 0 0 0\r\n\xD0\x9E\xD0\xB1\xD1\x89\xD0\xB5\xD0\xB5\r\nVd4m\r\n"
       "1 0 1 1 0 0 0\r\n\xD0\x9C\xD0\xB5\xD0\xBB\xD0\xD0\xB4\xD0\xB8\xD1\x8F\r\n",
       "UTF-8 text with a byte that is not UTF-8 on line 5"},
      {"broken UTF-8 behind the mark", "\xEF\xBB\xBF" + melody + "\xC0\r\n",
       "behind a UTF-8 mark it holds text that is not valid UTF-8"},
      {"too large", std::string(kMaxSongFileBytes + 1, 'm'), "larger than 16777216 bytes"},
      {"a line too long", melody + "n\r\n" + std::string(kMaxSongLineBytes + 1, 'm'),
       "line 3 is longer than 262144 bytes"},
  };
  TEnglish english;
  TVelto song;
  ASSERT_TRUE(LoadSongFile(song, kExample, ""));
  const TSongState before = TSongState::Of(song);
  const std::vector<std::string> data = song.Data;
  const auto path = dir_ / "bad.qem";
  for (const Case& c : cases) {
    std::filesystem::remove(path);
    if (!c.bytes.empty()) {
      ASSERT_TRUE(WriteFileAtomically(path, c.bytes));
    }
    std::string error;
    EXPECT_FALSE(LoadSongFile(song, path, "", &error)) << c.what;
    EXPECT_NE(error.find(c.error), std::string::npos) << c.what << ": " << error;
    EXPECT_NE(error.find(path.string()), std::string::npos) << c.what << ": " << error;
    EXPECT_TRUE(TSongState::Of(song) == before) << c.what;
    EXPECT_EQ(song.Data, data) << c.what;
  }
}

TEST_F(SongFile, TextEditorsFilesAreReadAsCodePage1251) {
  const std::string name = "Скрипка «I» №1";
  struct Case {
    const char* what;
    std::string bytes;
  };
  const std::vector<Case> cases = {
      {"code page 1251", "0 1 1 1 1 1 1\r\n" + Cp(name) + "\r\ntempo 90\r\n"},
      {"UTF-8", "0 1 1 1 1 1 1\n" + name + "\ntempo 90\n\n\n"},
      {"UTF-8 with its mark", "\xEF\xBB\xBF" "0 1 1 1 1 1 1\r\n" + name + "\r\ntempo 90\r\n\r\n"},
  };
  const auto path = dir_ / "song.qem";
  for (const Case& c : cases) {
    ASSERT_TRUE(WriteFileAtomically(path, c.bytes));
    TVelto song;
    std::string error;
    ASSERT_TRUE(LoadSongFile(song, path, "", &error)) << c.what << ": " << error;
    EXPECT_EQ(song.HeadTreck->Caption, Cp(name)) << c.what;
    ASSERT_TRUE(SaveSongFile(song, path, "", &error)) << error;
    EXPECT_EQ(ReadFileBytes(path).value(), "0 1 1 1 1 1 1\r\n" + Cp(name) + "\r\ntempo 90\r\n")
        << c.what;
  }
}

// Code page 1251 text that forms a UTF-8 pair here and there ("ЁЛ" in "ТРЁХ" is one) is
// code page 1251 still, never damaged UTF-8.
TEST_F(SongFile, CodePage1251SongsInCapitalsOpenAsTheyAre) {
  const auto path = dir_ / "caps.qem";
  for (const char* name : {"ТРЁХ", "ВСЁ ЁЖ", "ТРЁХ ТРЁХ ТРЁХ ТРЁХ", "ЛЁ ЛЁ ЛЁ ЛЁ Лист", "«Ёлка» №1"}) {
    const std::string bytes = "1 0 1 1 0 0 0\r\n" + Cp(name) + "\r\nVd4m\r\n";
    ASSERT_TRUE(WriteFileAtomically(path, bytes));
    TVelto song;
    std::string error;
    ASSERT_TRUE(LoadSongFile(song, path, "", &error)) << name << ": " << error;
    EXPECT_EQ(song.HeadTreck->Caption, Cp(name)) << name;
  }
  for (const auto& entry : std::filesystem::directory_iterator(
           std::filesystem::path(VELTO_SOURCE_DIR) / "examples")) {
    if (entry.path().extension() == ".qem") {
      TVelto song;
      std::string error;
      EXPECT_TRUE(LoadSongFile(song, entry.path(), "", &error)) << error;
    }
  }
}

// What the program writes it reads back: a song with a line longer than a song file may
// hold, or larger than a file may be, is not written; the old file stays.
TEST_F(SongFile, ASongTheReaderWouldRefuseIsNotSaved) {
  TEnglish english;
  TVelto song;
  std::string error;
  ASSERT_TRUE(LoadSongFile(song, kSongs / "ensemble.qem", "", &error)) << error;
  const std::filesystem::path out = dir_ / "out.qem";
  ASSERT_TRUE(SaveSongFile(song, out, "", &error)) << error;
  EXPECT_EQ(SongFileBytes(song), ReadFileBytes(out)->size());
  song.CurrentTrack->ProgramStrings.push_back(std::string(kMaxSongLineBytes + 1, 'x'));
  EXPECT_FALSE(SaveSongFile(song, out, "", &error));
  EXPECT_NE(error.find("longer than 262144"), std::string::npos) << error;
  song.CurrentTrack->ProgramStrings.back() = std::string(kMaxSongLineBytes, 'x');
  ASSERT_TRUE(SaveSongFile(song, out, "", &error)) << error;
  EXPECT_TRUE(LoadSongFile(song, out, "", &error)) << error;
  song.CurrentTrack->ProgramStrings.assign(kMaxSongFileBytes / kMaxSongLineBytes + 1, std::string(kMaxSongLineBytes, 'x'));
  EXPECT_FALSE(SaveSongFile(song, out, "", &error));
  EXPECT_NE(error.find("larger than"), std::string::npos) << error;
  TVelto again;
  EXPECT_TRUE(LoadSongFile(again, out, "", &error)) << error;  // the last song written
}

}  // namespace
