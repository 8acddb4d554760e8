// The block tag of a Braille line: ")" name [":" parameter {";" parameter}] "." written
// before the note whose block it starts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Where a tag lies in a line, 1-based: the characters First..Last-1 (from the ")" to the
// "." included). First = Last: an empty place where a new tag goes; both 0: no place.
struct TBlockTagPlace {
  int32_t First = 0;
  int32_t Last = 0;
  std::string Text;  // between ")" and "."
};

// The tag that holds the 0-based caret, else the empty place before the note at or after
// it (the line's end when the line starts with a voice's "V" sign and no note follows,
// else its start). No place when the caret stands in a "<...>" or "{...}" group or on a
// sign that takes no tag.
TBlockTagPlace FindBlockTag(std::string_view line, int32_t caret);

// The cells a tag may not be put before: after an "Ac" or "cc" pair and the prefix cells
// at pos, one of "/", "0", "3", "9", "U", "V", "_" follows.
bool NextCellInStopSet(std::string_view line, int32_t pos);
// After any "(", "M" and backslashes, the text goes on with "V".
bool StartsWithVCell(std::string_view line);

// What the wizard's parameter text may not hold because it ends a tag or splits the line
// (".", ";", "()", a blank): the offending text, or empty when there is none.
std::string TagBreakingText(std::string_view parameter);
