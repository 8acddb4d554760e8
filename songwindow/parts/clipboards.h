// The clipboards that every song window shares (filled by the track and measure commands).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/track.h"

// Tracks copied by the track copy command, in song order; emptied when they are pasted.
extern std::vector<TTreck> TrackClipboard;
// Measures copied from one track: the texts of one voice (kind 1) or whole measure lines
// (kind 2).
extern std::vector<std::string> MeasureClipboard;
// Measures copied from every track (kind 3): one track per song track, in song order.
extern std::vector<TTreck> SongMeasureClipboard;
// What the measure clipboards hold: 0 nothing, 1 voice texts, 2 measure lines of one track,
// 3 measures of every track.
extern uint8_t MeasureClipboardKind;

// The song data of a track for a clipboard: name, channel, port, music and program lines,
// voice and carets; the play switches at their defaults, no links and no render state.
TTreck ClipboardTrack(const TTreck& track);
