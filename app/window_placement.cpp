#include "app/window_placement.h"

#include <cmath>
#include <cstdlib>

#include "platform/ini_file.h"

int32_t MulDiv(int32_t a, int32_t b, int32_t c) {
  if (c == 0) {
    return 0;
  }
  const int64_t product = static_cast<int64_t>(a) * b;
  const int64_t half = std::llabs(c) / 2;
  const int64_t rounded = (product >= 0) == (c > 0) ? (std::llabs(product) + half) / std::llabs(c)
                                                   : -((std::llabs(product) + half) / std::llabs(c));
  return static_cast<int32_t>(rounded);
}

void SaveFormPlacement(TIniFile& ini, const std::string& name, const TWindowPlacement& placement,
                       int32_t currentTextHeight, const TFormDesign& design) {
  const int32_t c = currentTextHeight;
  const int32_t d = design.TextHeight;
  if (c < 1 || d < 1) {
    return;
  }
  ini.WriteInteger(name, "State", placement.State);
  ini.WriteInteger(name, "Flags", placement.Flags);
  ini.WriteInteger(name, "Left", placement.Left);
  ini.WriteInteger(name, "Top", placement.Top);
  ini.WriteInteger(name, "Width", MulDiv(placement.ClientWidth, c, d));
  ini.WriteInteger(name, "Height", MulDiv(placement.ClientHeight, c, d));
}

TWindowPlacement RestoreFormPlacement(const TIniFile& ini, const std::string& name,
                                      const TWindowPlacement& present, int32_t currentTextHeight,
                                      const TFormDesign& design, int32_t screenWidth,
                                      int32_t screenHeight, int32_t nonclientWidth,
                                      int32_t nonclientHeight) {
  const int32_t c = currentTextHeight;
  const int32_t d = design.TextHeight;
  if (c < 1 || d < 1) {
    return present;
  }
  TWindowPlacement placement = present;
  if (design.ClientWidth != 0) {
    placement.ClientWidth = MulDiv(ini.ReadInteger(name, "Width", design.ClientWidth), d, c);
  }
  if (design.ClientHeight != 0) {
    placement.ClientHeight = MulDiv(ini.ReadInteger(name, "Height", design.ClientHeight), d, c);
  }
  const int32_t frameWidth = placement.ClientWidth + nonclientWidth;
  const int32_t frameHeight = placement.ClientHeight + nonclientHeight;
  placement.Left = ini.ReadInteger(name, "Left", (screenWidth - frameWidth) / 2);
  placement.Top = ini.ReadInteger(name, "Top", (screenHeight - frameHeight) / 2);
  placement.State = ini.ReadInteger(name, "State", present.State);
  placement.Flags = ini.ReadInteger(name, "Flags", present.Flags);
  return placement;
}

void TNormalFrame::Seen(int32_t state, int32_t frameLeft, int32_t frameTop, int32_t clientWidth,
                        int32_t clientHeight) {
  if (state == ssNormal) {
    placement_.Left = frameLeft;
    placement_.Top = frameTop;
    placement_.ClientWidth = clientWidth;
    placement_.ClientHeight = clientHeight;
  }
}

TWindowPlacement TNormalFrame::Placement(int32_t state) const {
  TWindowPlacement placement = placement_;
  placement.State = state;
  return placement;
}

TFormDesign ScaledLimits(const TFormDesign& design, int32_t currentTextHeight) {
  TFormDesign scaled = design;
  if (currentTextHeight < 1 || design.TextHeight < 1) {
    return scaled;
  }
  for (int32_t* limit : {&scaled.MinWidth, &scaled.MinHeight, &scaled.MaxWidth, &scaled.MaxHeight}) {
    if (*limit != 0) {
      *limit = MulDiv(*limit, design.TextHeight, currentTextHeight);
    }
  }
  return scaled;
}
