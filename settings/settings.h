// Settings and shared globals that the shell owns and the song side reads.
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

// The installation tree, with a trailing "/". Every resource is found from it.
extern std::string ProgramDir;

// Section "Signals": a signal kind plays only when its flag is on.
extern bool SignalOK;
extern bool SignalError;
extern bool SignalProgress;
extern bool SignalUpCaps;
extern bool SignalQuestion;

// Section "MAIN".
extern bool AdvancedNavigation;

// Section "EditingNotes".
extern bool ModePlay;
extern int32_t ModeTalk;
// The editor's modes, advanced editing (Scroll Lock) and dot entry (Num Lock): the
// program's own state, kept across runs; changed through feedback/editor_modes.h.
extern bool AdvancedEditing;
extern bool PointMode;

// The range a setting is kept in.
struct TSettingRange {
  int32_t Min;
  int32_t Max;
  int32_t Clamp(int32_t value) const { return std::clamp(value, Min, Max); }
};

// Section "Accordion", with the ranges the settings file and the accordion rules keep.
inline constexpr TSettingRange kAccordionStepRange{1, 7};         // NoteBass, NoteChord
inline constexpr TSettingRange kAccordionOctaveBassRange{0, 9};
inline constexpr TSettingRange kAccordionOctaveChordRange{1, 9};  // its octave - 1 is used too
// RangeBass, RangeChord: as many octaves as hold MIDI keys (0..10); a doubling that would
// sound above key 127 is left out.
inline constexpr TSettingRange kAccordionOctavesRange{1, 11};
extern int32_t AccordionNoteBass;
extern int32_t AccordionOctaveBass;
extern int32_t AccordionRangeBass;
extern int32_t AccordionNoteChord;
extern int32_t AccordionOctaveChord;
extern int32_t AccordionRangeChord;

// Section "MIDI".
extern bool GModeRealPlaying;
extern int32_t GStartPlayingOffset;  // ticks
extern int32_t GProgressFrequency;   // ticks, at least 1
extern int32_t GPriorityGeneration;  // one of -15, -2, -1, 0, 1, 2, 15
extern int32_t GPriorityPlaying;
extern int32_t GLastMidiOut;                       // highest output port in use
extern std::array<int32_t, 17> GMidiOutDevices;    // device of ports 1..16 (index 0 unused)

// Section "Handler": a track's handler that runs more statements than this within one
// tick is stopped with an error (an endless loop, not music).
constexpr int32_t kDefaultHandlerStatementsPerTick = 10000000;
extern int32_t GHandlerStatementsPerTick;

// Program version, written into every rendered song.
extern uint16_t VersionMajor;
extern uint16_t VersionMinor;
extern uint16_t VersionRelease;
extern uint16_t VersionBuild;
