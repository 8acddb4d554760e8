// The song: the track list and the fields of the song window that the song side uses.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/track.h"

class TTrack;  // the script object model's root
struct TFormatEntryPoints;
class TVelto;

// Stops the playback this window owns and drops the compiled and rendered data of its tracks
// (from HeadTreck). The playback side installs it; empty while nothing can play. Called
// before any track of the window is freed.
using TStopForTrackRemoval = std::function<void(TVelto& window)>;
void SetStopForTrackRemoval(TStopForTrackRemoval stop);

// Shows the user a song text that Convert refused (GErrors holds code 39). The window side
// installs it; empty (the command line) shows nothing, the caller tells the error itself.
using TSongTextErrorReport = std::function<void()>;
void SetSongTextErrorReport(TSongTextErrorReport report);
// Calls the installed report; nothing when none is installed.
void ReportSongTextError();

// A place of the song: one voice (1-based) of one measure (1-based) of one track.
struct TSongPlace {
  PTreck Track = nullptr;
  int32_t Measure = 0;
  uint16_t Voice = 0;
  bool operator==(const TSongPlace&) const = default;
};

class TVelto {
 public:
  TVelto();
  virtual ~TVelto();
  TVelto(const TVelto&) = delete;
  TVelto& operator=(const TVelto&) = delete;

  PTreck HeadTreck = nullptr;     // the node with no Prev
  PTreck CurrentTrack = nullptr;  // the track shown
  PTreck StartTrack = nullptr;
  int32_t TrackCount = 0;
  int32_t CurrentMeasure = 1;
  int32_t TicksPerMeasure = 1920;
  int32_t WindowNumber = 0;

  std::string FileName;           // the song's file
  std::vector<std::string> Data;  // the song as text lines (code page 1251)
  std::unique_ptr<TTrack> TrackRoot;                 // script object model root (owned)
  std::shared_ptr<TFormatEntryPoints> FormatModule;  // nil: no format plug-in

  // What the two editors show, committed into the current track by SaveData.
  std::string NotesEditText;                  // Braille line editor: one voice of one measure
  uint16_t NotesEditCaret = 1;                // its caret position (1-based)
  std::vector<std::string> ProgramEditLines;  // program editor (without the hidden lines)
  int32_t ProgramEditCaretX = 1;
  int32_t ProgramEditCaretY = 1;
  TSongPlace EditorPlace;  // the place the editors show (FillEditors); none at first

  // Creates a track named Name on Channel right after Current (alone when Current is nil),
  // makes it Current and keeps HeadTreck at the head. It takes its translator from HeadTreck.
  void AddTreck(PTreck& Current, const std::string& Name, uint8_t Channel);
  // Stops this window's playback, then unlinks and frees Current; the successor (else the
  // predecessor) becomes Current. HeadTreck, CurrentTrack and StartTrack never keep the freed
  // record.
  void RemoveTreck(PTreck& Current);
  // Stops this window's playback and drops its render state (the installed
  // TStopForTrackRemoval); nothing when none is installed.
  void StopBeforeTrackRemoval();

  // Rebuilds the track list from Data (see song_text.cpp). On success Label is line 0,
  // FileName line 1, GErrors.Code 0 and the editors show the current place; on failure
  // GErrors holds code 39, the installed TSongTextErrorReport shows it and the window is
  // exactly as it was.
  void Convert(std::string& Label);
  // Rewrites Data from the track list with Label as line 0.
  void DeConvert(const std::string& Label);
  // Commits the two editors into the place they were filled from (EditorPlace), when they
  // differ from what they were given (FillEditors) or last committed; that place need not be
  // the current one any more (an error or a command may have moved the window). Editors
  // that show no place, or hold nothing new, change nothing (after MarkHiddenLinesChanged
  // the program lines are written all the same). Voice is the voice the caller shows; the
  // place is EditorPlace's.
  void SaveData(uint16_t Voice);
  // The format plug-in may have changed what it keeps in the hidden program lines (an
  // event of its controls): the next commit writes the program lines again (SetMakros
  // among them) even when the editors hold nothing new.
  void MarkHiddenLinesChanged() { hidden_lines_changed_ = true; }
  // The current place: the track's own voice of CurrentMeasure of CurrentTrack.
  TSongPlace CurrentPlace() const;
  // Fills the editors from the current place: the voice's text of the measure line (an
  // empty voice "m" as an empty text) and the caret, the program lines without the ones
  // the editor hides (midiout directives, and what the format plug-in's DeleteMakros
  // takes; counted in HiddenLines) and the program caret. EditorPlace := that place.
  // Without a current track the editors are emptied and show no place.
  void FillEditors();

 private:
  // The editor fields, as FillEditors gave them or a commit stored them.
  struct TEditorFields {
    std::string NotesText;
    uint16_t NotesCaret = 1;
    std::vector<std::string> ProgramLines;
    int32_t ProgramCaretX = 1;
    int32_t ProgramCaretY = 1;
    bool operator==(const TEditorFields&) const = default;
  };
  TEditorFields EditorFields() const;  // the fields now
  TEditorFields committed_;            // what the track holds of the fields
  bool hidden_lines_changed_ = false;  // MarkHiddenLinesChanged since the last commit or fill
};

// The number of `track` in the song, the control track being 0 (the track count when it
// is not one of the song's).
uint16_t TrackNumberOf(const TVelto& song, PTreck track);

// Frees every track of the list holding Track; Track ends nil. The caller resets the
// window's HeadTreck and TrackCount and has stopped what plays them.
void ClearTrackList(PTreck& Track);
