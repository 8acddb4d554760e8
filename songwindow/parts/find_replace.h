// Find and replace in a track's music text (measure by measure, voice by voice) and in its
// handler program, without widgets. Texts are code page 1251.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Shared by every song window for the whole run (UI thread only).
extern std::string FindText;     // the search text; empty at start
extern std::string ReplaceText;  // the replacement; empty at start
// Set by the command before the dialog opens (1 find, 2 replace); after the dialog 1 means
// confirmed, 0 cancelled.
extern uint8_t FindDialogMode;
extern bool FindCaseSensitive;  // the case box at the last confirmation
extern bool FindInHandler;      // the program editor had the focus when the dialog opened
// The second box at the last confirmation: only the current voice (music text), whole
// words only (handler program).
extern bool FindVoiceOnly;

// Latin capitals and the Cyrillic capitals А..Я (code page 1251) to small letters; every
// other byte unchanged, "Ё" (168) too.
std::string LowerCaseCyr(std::string_view s);
// S itself when FindCaseSensitive, else LowerCaseCyr(S).
std::string NormalizeCase(std::string_view s);

// What one search or replacement looks for.
struct TFindOptions {
  std::string What;  // never empty when searched
  std::string With;
  bool CaseSensitive = false;
  bool Restricted = false;  // whole words (program) or the current voice only (music)
};

// The options last confirmed in the dialog.
TFindOptions ConfirmedFindOptions();

// A place in the program editor: column and line, both 0-based.
struct TProgramPlace {
  int32_t Column = 0;
  int32_t Line = 0;
  bool operator==(const TProgramPlace&) const = default;
};

// A place in the music text: measure and voice from 1, offset in the voice from 0.
struct TMusicPlace {
  int32_t Measure = 1;
  int32_t Voice = 1;
  int32_t Offset = 0;
  bool operator==(const TMusicPlace&) const = default;
};

// The neighbours of the match at `at` of `length` characters are word boundaries (blank,
// punctuation other than ".", "_", "," and "-"; the line's ends count as blanks).
bool WholeWordAt(std::string_view line, size_t at, size_t length);

// The next occurrence after the caret (the one at the caret is passed over); whole-word
// option: matches inside words are passed over too. Nothing when there is none.
std::optional<TProgramPlace> FindInProgram(const std::vector<std::string>& lines, TProgramPlace caret,
                                           const TFindOptions& options);
// The next occurrence after the caret: the rest of the current voice, the later voices of
// the current measure, then every voice of the later measures (current-voice option: only
// voices numbered as the current one). Nothing when there is none.
std::optional<TMusicPlace> FindInMusic(const std::vector<std::string>& lines, TMusicPlace caret,
                                       const TFindOptions& options);

// Replaces every occurrence from the caret on (the one at the caret included); each search
// goes on after the text put in, so a replacement holding the search text is not searched
// again. The number of replacements.
int32_t ReplaceInProgram(std::vector<std::string>& lines, TProgramPlace caret, const TFindOptions& options);
// The same in the music text, from the caret's measure to the last: in the caret's measure
// every voice (the caret's own from the caret), a voice searched with its "()" separator.
// caretOffset becomes the offset after the last text put into the caret's voice, if any.
int32_t ReplaceInMusic(std::vector<std::string>& lines, TMusicPlace caret, const TFindOptions& options,
                       int32_t& caretOffset);

// What a replacement of every occurrence tells: text 220 with the count.
std::string ReplacementsMessage(int32_t count);
