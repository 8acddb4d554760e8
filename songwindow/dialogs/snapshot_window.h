// The snapshot window of an "interruption": the handler's variables and constants
// visible at the statement, its arrays with one element each, and its running blocks,
// with the selected value spoken once the keys rest. It works on a copy of the handler's
// state (render/handler_snapshot.h) and answers through SnapshotHide.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "render/handler_snapshot.h"

class ISpeaker;

// The one-second timer that speaks the value: Start (re)arms it, Stop disarms it. When it
// fires, the owner calls TSnapshotWindow::TimerFired.
class ISnapshotTimer {
 public:
  virtual ~ISnapshotTimer() = default;
  virtual void Start(int32_t intervalMs) = 0;
  virtual void Stop() = 0;
};

constexpr int kSnapshotPages = 3;      // variables and constants, arrays, blocks
constexpr uint8_t kLastElement = 127;  // arrays hold elements 0..127

// What one interruption number remembers from one showing to the next, for the whole run
// of the program. Whether it was shown before in this play is GSnapshotShown.
struct TSnapshotMemory {
  uint8_t Page = 0;                      // 0 variables, 1 arrays, 2 blocks
  std::array<int32_t, kSnapshotPages> Selected{};
  uint8_t Element = 0;                   // array element shown, 0..127
};

// Per interruption number.
extern std::array<TSnapshotMemory, 256> GSnapshotMemory;
// The check box when the window was last closed: the statement is switched off.
extern bool SnapshotHide;

// The element index after an array key (PgUp, PgDn, Left, Right, Home, End), always
// within the array; nothing for any other key.
bool StepElement(uint8_t& element, uint16_t key);

class TSnapshotWindow {
 public:
  // Fills the captions and lists from `snapshot` and the memory of its number.
  TSnapshotWindow(THandlerSnapshot snapshot, ISpeaker& speaker, ISnapshotTimer* timer);

  // Captions (code page 1251).
  std::string Caption;
  std::array<std::string, kSnapshotPages> PageCaptions;
  std::string HideCaption;
  std::string ContinueCaption;

  // The lists (Peremens, Massivs, Blocks) and the fields below them.
  std::array<std::vector<std::string>, kSnapshotPages> Lists;
  std::string ValueLabel;  // Label1
  std::string Value;       // Edit1
  bool Hide = false;       // the check box

  int Page() const { return memory_.Page; }
  // The selected entry of a page's list, -1 when the list is empty.
  int32_t Selected(int page) const;
  uint8_t Element() const { return memory_.Element; }
  // The value takes the focus when the window opens: this snapshot was shown before in
  // this play.
  bool FocusValue() const { return shownBefore_; }

  // The window is shown: the remembered page and its entry are displayed.
  void Activate();
  // Another page is shown.
  void SelectPage(int page);
  // The selection of the current page's list moved.
  void Select(int32_t row);
  // A key in the window: it silences the pending speech first.
  void KeyDown();
  // A key in the arrays list; true when it changed the element (the key is consumed).
  bool ArrayKey(uint16_t key);
  // The speech timer fired: the label and the value, queued.
  void TimerFired();
  // Continue (Esc, Enter, closing the frame): SnapshotHide := the check box, the
  // selections remembered, the snapshot recorded as shown. Returns SnapshotHide.
  bool Continue();

 private:
  struct TRow {
    enum TKind : uint8_t { Variable, Constant, Array, Block } Kind;
    size_t Index;
  };
  void FillArrays();
  void Display();

  THandlerSnapshot snapshot_;
  ISpeaker& speaker_;
  ISnapshotTimer* timer_;
  TSnapshotMemory& memory_;
  bool shownBefore_;
  std::array<std::vector<TRow>, kSnapshotPages> rows_;
};
