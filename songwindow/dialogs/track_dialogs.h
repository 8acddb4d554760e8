// The track dialogs without widgets: the track properties (also naming a new track), the
// choice of tracks to copy, and the whole music text of the current track.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class TSongWindow;

// The track properties of the current track; in new-track mode when TrackDialogResult is 1
// as it opens.
class TTrackPropertiesDialog {
 public:
  explicit TTrackPropertiesDialog(TSongWindow& window);

  bool NewTrack = false;
  bool ControlTrack = false;  // no channels, solo or ensemble
  // Captions (code page 1251).
  std::string Caption;
  std::string NameLabel;
  std::string ChannelCaption;
  std::string SoloCaption;
  std::string EnsembleCaption;
  std::string HandlerCaption;
  std::string OutputLabel;
  std::string OkCaption;
  std::string CancelCaption;

  std::string Name;  // code page 1251
  // "1".."16", a channel another track uses marked so; Channel is the item chosen.
  std::array<std::string, 16> Channels;
  int32_t Channel = 0;
  bool Solo = false;
  bool Ensemble = true;
  bool Handler = true;
  // The output ports 0..GLastMidiOut by their devices' names; empty (and hidden) without
  // additional ports or without a device list. Output is the port chosen.
  std::vector<std::string> Outputs;
  int32_t Output = 0;

  // The name typed (UTF-8): refused with the error signal when a character does not fit
  // code page 1251. True when taken.
  bool SetName(const std::string& utf8);
  // OK: the fields into the current track (the port only when a port was listed), the
  // editors committed, TrackDialogResult := 1, the OK signal.
  void Ok();
  // Cancel (also closing the frame): TrackDialogResult := 0.
  void Cancel();

 private:
  TSongWindow& window_;
};

// Which tracks go to the track clipboard: a first and a last track after the head.
class TTrackCopyDialog {
 public:
  explicit TTrackCopyDialog(TSongWindow& window);

  std::string Caption;
  std::string BeginLabel;
  std::string EndLabel;
  std::string OkCaption;
  std::string CancelCaption;

  std::vector<std::string> Tracks;  // the captions of the tracks after the head
  int32_t Begin = 0;
  int32_t End = 0;

  // A choice in either list; the end never lies before the beginning.
  void SelectBegin(int32_t item);
  void SelectEnd(int32_t item);
  // OK: CopyFromTrack and CopyToTrack := the entries + 2 (the head is track 1); both -1
  // when there is no track to choose.
  void Ok();
  // Cancel (also closing the frame): both -1.
  void Cancel();
};

// The whole music text of the current track, one line per measure.
class TTrackTextDialog {
 public:
  explicit TTrackTextDialog(TSongWindow& window);

  std::string Caption;
  std::string SaveCaption;
  std::string CancelCaption;
  std::string EditMenuCaption;
  std::string PlaceCaption;  // the menu item that speaks the place
  // The edit menu's items by name: EditUndo, EditCut, EditCopy, EditPaste, EditSelectAll,
  // EditDelete, Find, FindNext, Replace.
  std::vector<std::pair<std::string, std::string>> EditItems;
  std::string TextLabel;  // the accessible name of the text box

  std::vector<std::string> Lines;  // code page 1251, as the track holds them

  // The two status panels for a caret on line and column (1-based).
  std::string LinePanel(int32_t line) const;
  std::string ColumnPanel(int32_t column) const;
  // F4: the line spoken, interrupting, then the column, queued.
  void SpeakPlace(int32_t line, int32_t column);
  // Save (F8): an undo snapshot, then the track's music lines := the text's lines (UTF-8;
  // a final line end adds no line; an empty text leaves the track with no music lines). Refused,
  // the text kept, when a character does not fit code page 1251 or the song would become
  // unreadable. True when saved.
  bool Save(const std::string& utf8Text);
  // A search of the text box found nothing: the error signal.
  void NothingFound();
  // Replace put `count` texts in: the error signal for none, else an information box that
  // says how many.
  void Replaced(int32_t count);

 private:
  TSongWindow& window_;
};
