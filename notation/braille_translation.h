// The Braille translation: a track's music lines into note lists per measure and voice.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/errors.h"
#include "notation/measure_cache.h"
#include "notation/note_record.h"

// A plug-in's chance to rewrite a block-call text: (track number, text by reference).
using TFindBlock = std::function<void(uint8_t trackNumber, std::string& blockText)>;

// Set by a translation whose block calls name one of the command words.
extern bool GCommandWordSeen;

// Block names that are commands of the block library.
extern const std::array<std::string_view, 14> CommandWords;

struct TTranslateOptions {
  TMeasureCache* Cache = &GMeasureCache;  // solved measures (borrowed)
  TFindBlock FindBlock = nullptr;          // nullptr: the menu plug-ins that provide blocks
};

// Translates music lines (measures separated by blanks and line ends, voices by "()").
// Returns the notes (nullptr when there are none, or on error). On error `errors` holds
// the code, source 2, the voice, the measure and the rest of the measure (for code 16 the
// excess), and nothing built is kept.
std::shared_ptr<TNoteList> TranslateBrailleText(const std::vector<std::string>& lines, uint8_t trackNumber,
                                                TErrorRecord& errors,
                                                const TTranslateOptions& options = TTranslateOptions());

// The measure texts of music lines: runs of blanks, CR and LF separate them.
std::vector<std::string> SplitMeasures(const std::vector<std::string>& lines);

// Chord intervals as the translation places them. The step of interval n (2..8) counted
// from step t upward or downward.
int32_t IntervalStep(int32_t t, int32_t n, bool downward);
// The octave of interval n without an octave sign: the nearest octave above (below) the
// note that holds the step, one further for an octave interval.
int32_t NaturalIntervalOctave(int32_t noteOctave, int32_t t, int32_t step, int32_t n, bool downward);

// The doubled-interval memory of a voice keeps, per interval 2..8 and octave slot, a code of
// the written accidental (0 none). Slot kIntervalSlotCentre is the unmarked octave.
constexpr int32_t kIntervalSlotCentre = 9;
constexpr int32_t kIntervalSlotCount = 19;
uint8_t DoubledIntervalCode(TKeySign written);
TKeySign DoubledIntervalAccidental(uint8_t code);

// The accidental a key signature gives a step (No when it gives none).
TKeySign KeySignatureAccidental(int32_t step, int32_t key);
