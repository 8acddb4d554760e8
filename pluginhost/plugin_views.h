// The records a plug-in is handed (the C views of plugin/velto_plugin.h) and the table of
// their accessors. Everything a plug-in hands back through them is bounded in length and
// checked for code page 1251 here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/errors.h"
#include "model/track.h"
#include "plugin/velto_plugin.h"
#include "settings/plugins.h"

// Bounds on what a plug-in hands back.
inline constexpr size_t kPluginShortTextLimit = 255;   // bytes: a status panel, popup item, name
inline constexpr size_t kPluginTextLimit = 4096;       // bytes: a spoken text, an edit's content
inline constexpr size_t kPluginLineLimit = 65535;      // bytes: a line of a line list, a block label
inline constexpr size_t kPluginLineCountLimit = 65535;  // lines of a line list, items of a control
// Ticks per measure a plug-in may set: the largest that keeps 65535 ticks per quarter note
// in a 4/4 measure.
inline constexpr int32_t kMaxPluginTicksPerMeasure = 262140;

// A text handed out to be filled, read back after the call.
struct VeltoText {
  std::string Value;
  size_t Limit = kPluginShortTextLimit;
  bool OneLine = true;  // no line breaks
};

struct VeltoModuleInfo {
  int32_t Kind = 0;  // VELTO_MODULE_*; 0 = not told
  std::string Name;
  uint32_t Flags = 0;  // VELTO_PROVIDES_BLOCKS ...
};

struct VeltoExtension {
  TExtension Record;
};

struct VeltoErrors {
  TErrors* Record = nullptr;  // borrowed
};

struct VeltoMidiOut {
  int32_t Port = 0;  // 0..16
};

// True when text may come from a plug-in: no NUL byte, no byte code page 1251 leaves
// unassigned (0x98) and, for one line, no control byte other than tab.
bool PluginTextAcceptable(std::string_view text, bool oneLine);
// A text a plug-in hands back, cut to limit bytes; nothing when it is refused.
std::optional<std::string> TakePluginText(const char* value, size_t length, size_t limit,
                                          bool oneLine);

// The accessors handed to every plug-in (lives as long as the program).
const VeltoHost& PluginHost();

// The program's Speak and LangMessageBox as plug-ins get them (InitializeJFW,
// InitializeMessage).
void PluginSpeak(const char* text, size_t length, int32_t interrupt);
int32_t PluginMessageBox(const char* text, size_t length, int32_t kind);

// The C views of a track and of a line list are the records themselves.
inline VeltoTrack* TrackView(PTreck track) {
  return reinterpret_cast<VeltoTrack*>(track);
}
inline VeltoLines* LinesView(std::vector<std::string>& lines) {
  return reinterpret_cast<VeltoLines*>(&lines);
}
