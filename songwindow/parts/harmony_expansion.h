// Harmony written out as notes: a voice rebuilt from the chords the harmonizer put on the
// control track's notes, with the chord tones the voice's part switches choose.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "notation/note_record.h"

// The chord tones a voice takes at a note of the control track: its "b", "t", "a", "s"
// and "l" switches in force there.
struct THarmonyChoice {
  bool KeepNote = false;          // the control note itself (after harmonizing, the bass)
  std::array<bool, 3> Members{};  // its first, second and third chord note
  bool TieRepeated = false;       // a tone repeated from the note before is tied to it
};

// The choice in force at a control note starting at `tick`; nothing when finding it failed
// (GErrors set).
using THarmonyChoiceAt = std::function<std::optional<THarmonyChoice>(long double tick)>;

// The expansion of a voice.
struct THarmonyExpansion {
  std::shared_ptr<TNoteList> Notes;  // one note per control note; null when choiceAt failed
  bool TookTones = false;            // some note took a tone (not every note is a rest)
};

// Builds the voice's notes from the control notes from `first` on, asking choiceAt at each
// note's start (ticks from 0, a measure lasting ticksPerMeasure whatever its signature).
// Each note keeps the control note's value, dots, tuplet, tie flag, accidental and
// signature; its pitch is the control note's (KeepNote) or a rest, its intervals the chosen
// chord notes; a rest that took chord notes becomes the first of them.
THarmonyExpansion ExpandHarmony(const TNoteRec* first, int32_t ticksPerMeasure,
                                const THarmonyChoiceAt& choiceAt);

// The voice's measure lines of the expansion as the Braille editor holds them.
std::vector<std::string> ExpansionLines(const TNoteRec* first, int32_t ticksPerMeasure);

// `lines` with `voice` (1-based) of measure i replaced by voiceTexts[i], missing measures
// and voices filled with "m", trailing empty voices dropped.
std::vector<std::string> WithVoiceTexts(std::vector<std::string> lines, uint16_t voice,
                                        const std::vector<std::string>& voiceTexts);
