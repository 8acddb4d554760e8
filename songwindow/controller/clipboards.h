// The clipboards that every song window shares (filled by the track and measure commands).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The song text of the track last copied; empty when none was.
extern std::vector<std::string> TrackClipboard;
// What the measure clipboard holds: 0 nothing, else the kind of copy.
extern uint8_t MeasureClipboardKind;
