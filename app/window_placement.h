// The main window's placement kept in velto.ini: saved at exit and restored at start, its
// size scaled by the text height of the window's font against the design text height.
#pragma once

#include <cstdint>
#include <string>

class TIniFile;

// What a window's design record says: the text height it was laid out for, its client
// size and its size limits (0 = none), in pixels at that text height.
struct TFormDesign {
  int32_t TextHeight = 0;
  int32_t ClientWidth = 0;
  int32_t ClientHeight = 0;
  int32_t MinWidth = 0;
  int32_t MinHeight = 0;
  int32_t MaxWidth = 0;
  int32_t MaxHeight = 0;
};

// Show states as the placement record codes them.
enum TShowState : int32_t { ssNormal = 1, ssMinimised = 2, ssMaximised = 3 };

// A window's placement: its show state and flags, and the normal (restored) frame's
// position and client size in pixels.
struct TWindowPlacement {
  int32_t State = ssNormal;
  int32_t Flags = 0;
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t ClientWidth = 0;
  int32_t ClientHeight = 0;
  bool operator==(const TWindowPlacement&) const = default;
};

// a * b / c rounded to the nearest, as the platform's MulDiv does; 0 when c is 0.
int32_t MulDiv(int32_t a, int32_t b, int32_t c);

// Writes the placement into section `name`: "State", "Flags", "Left", "Top", and the client
// size scaled by current/design text height as "Width" and "Height". Nothing unless both
// text heights are at least 1.
void SaveFormPlacement(TIniFile& ini, const std::string& name, const TWindowPlacement& placement,
                       int32_t currentTextHeight, const TFormDesign& design);

// The placement to show the window with: the saved one, scaled back by design/current text
// height; missing keys give the design's client size, a frame centred on the screen (frame
// size = client size + nonclient size), and `present`'s state and flags. `present` is
// returned unchanged unless both text heights are at least 1.
TWindowPlacement RestoreFormPlacement(const TIniFile& ini, const std::string& name,
                                      const TWindowPlacement& present, int32_t currentTextHeight,
                                      const TFormDesign& design, int32_t screenWidth,
                                      int32_t screenHeight, int32_t nonclientWidth,
                                      int32_t nonclientHeight);

// The normal (restored) frame of a window, as the platform's placement record keeps it
// while the window is maximised or minimised: the place it was shown at, then wherever it
// was last seen in the normal state. Qt's normal geometry cannot stand in for it: for a
// window maximised before it was first shown it holds the frame's corner, later the
// client area's.
class TNormalFrame {
 public:
  TNormalFrame() = default;
  explicit TNormalFrame(const TWindowPlacement& shown) : placement_(shown) {}
  // The window as it is now, in show state `state`: in the normal state its frame's corner
  // and client size become the normal frame; in any other it keeps the one it has.
  void Seen(int32_t state, int32_t frameLeft, int32_t frameTop, int32_t clientWidth,
            int32_t clientHeight);
  // The placement record of the window in show state `state`.
  TWindowPlacement Placement(int32_t state) const;

 private:
  TWindowPlacement placement_;
};

// The design's size limits scaled to the current text height: each set limit becomes
// MulDiv(limit, design, current). Limits that are 0 stay 0.
TFormDesign ScaledLimits(const TFormDesign& design, int32_t currentTextHeight);
