// Translators: a track's own shorthand rewritten into Braille music text and back.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "model/track.h"

// The translator file chosen by the last directive ("*" after "translatoroff").
extern std::string GTranslatorPath;
// Bit 1: the control track's lines, bit 2: the track's own lines hold text that a rule's
// right side spells but that was typed as such (left untranslated).
extern uint8_t GUntranslatedText;
// Rule lines of the current track's and of the control track's translator file, and the
// files they were loaded from.
extern std::vector<std::string> TranslatorRules;
extern std::vector<std::string> HeadTranslatorRules;
extern std::string TranslatorFile;
extern std::string HeadTranslatorFile;

// Called for every track from the first one when a "numticks " directive changes the ticks
// per measure, so that the track's time values keep their share of a measure.
using TRescaleTrackTimes = std::function<void(TTreck& track, long double oldTicks,
                                              long double newTicks)>;

// The file Translator/NAME.cnv of the program folder (name in code page 1251, found without
// regard to case), or nothing when there is none or the name would leave the folder.
std::optional<std::string> TranslatorFilePath(const std::string& name);

// Reads the directives of one track text (normalised handler lines): "numticks N" sets
// ticksPerMeasure (clamped to 3..65535, rescale called for every track from first),
// "translator NAME" sets path to the file Translator/NAME.cnv, "translatoroff" sets "*".
// False, and reading stops, when a named translator file does not exist.
bool ReadTrackDirectives(const std::vector<std::string>& lines, PTreck first,
                         int32_t& ticksPerMeasure, std::string& path,
                         const TRescaleTrackTimes& rescale = {});

// Builds the music lines of one track: line i is the control line through
// HeadTranslatorRules, "()", and the track line through TranslatorRules ("m" for a missing
// or empty line).
void ComposeTrackText(std::vector<std::string>& out, const std::vector<std::string>& controlLines,
                      const std::vector<std::string>& trackLines);

// What ApplyTranslator reports about the rule that covers the caret.
struct TTranslatorCover {
  std::string Left;     // the covering rule's left side (empty when none)
  int32_t Length = 0;   // the length of its right side
};

// Rewrites left sides of rules into right sides. mode (1 control track, 2 track) is or-ed
// into GUntranslatedText when text that a right side spells was left as it was. caret is a
// 0-based position in text and comes back as the same place in the result (-1: no caret).
std::string ApplyTranslator(const std::string& text, const std::vector<std::string>& rules,
                            uint8_t mode, TTranslatorCover& cover, int32_t& caret);

// The reverse rewriting: right sides of rules back into their left sides.
std::string TranslateText(const std::string& text, const std::vector<std::string>& rules);
