#include "songwindow/parts/block_tag.h"

#include <algorithm>
#include <vector>

namespace {

constexpr std::string_view kPrefixCells = "!(,8@ABKLM\\";
constexpr std::string_view kNoteCells = "*NOPQSTYZ[]defghijmnopqrstuvwxyz";
constexpr std::string_view kStopCells = "/039UV_";

bool In(char c, std::string_view set) { return set.find(c) != std::string_view::npos; }

// A ")" at i that opens a tag: not the end of "()", not before ".", "/", "U" or "V".
bool OpensTag(std::string_view line, size_t i) {
  if (line[i] != ')' || (i > 0 && line[i - 1] == '(')) {
    return false;
  }
  return i + 1 >= line.size() || !In(line[i + 1], "./UV");
}

// The empty place before the note whose note cell is the first at or after pos, moved back
// over the note's prefix cells (never into a "()" separator); npos when no note follows.
size_t PlaceBeforeNote(std::string_view line, size_t pos) {
  size_t note = pos;
  while (note < line.size() && !In(line[note], kNoteCells)) {
    if (line[note] == '(' && note + 1 < line.size() && line[note + 1] == ')') {
      return std::string_view::npos;  // the voice ends first
    }
    ++note;
  }
  if (note >= line.size()) {
    return std::string_view::npos;
  }
  while (note > 0 && In(line[note - 1], kPrefixCells) && !(note >= 2 && line.substr(note - 2, 2) == "()")) {
    --note;
  }
  return note;
}

}  // namespace

bool NextCellInStopSet(std::string_view line, int32_t pos) {
  if (pos < 0) {
    return false;
  }
  auto at = static_cast<size_t>(pos);
  const auto pairAt = [&](size_t i) {
    return i + 1 < line.size() && (line.substr(i, 2) == "Ac" || line.substr(i, 2) == "cc");
  };
  if (pairAt(at)) {
    at += 2;
  } else if (at > 0 && pairAt(at - 1)) {
    at += 1;
  }
  while (at < line.size() && In(line[at], kPrefixCells)) {
    ++at;
  }
  return at < line.size() && In(line[at], kStopCells);
}

bool StartsWithVCell(std::string_view line) {
  size_t i = 0;
  while (i < line.size() && In(line[i], "(M\\")) {
    ++i;
  }
  return i < line.size() && line[i] == 'V';
}

TBlockTagPlace FindBlockTag(std::string_view line, int32_t caret) {
  const size_t c = caret < 0 ? 0 : std::min(static_cast<size_t>(caret), line.size());
  std::vector<TBlockTagPlace> tags;
  bool caretInGroup = false;
  char groupEnd = 0;  // '>' or '}' while inside a group
  for (size_t i = 0; i < line.size(); ++i) {
    const char ch = line[i];
    if (groupEnd != 0) {
      if (ch == groupEnd) {
        groupEnd = 0;
      } else if (c == i) {
        caretInGroup = true;
      }
      continue;
    }
    if (ch == '<' || ch == '{') {
      groupEnd = ch == '<' ? '>' : '}';
      continue;
    }
    if (!OpensTag(line, i)) {
      continue;
    }
    // Inside a tag only "." ends it (as the reader reads it); "()" ends the voice and the tag.
    TBlockTagPlace tag;
    tag.First = static_cast<int32_t>(i + 1);
    size_t j = i + 1;
    for (; j < line.size(); ++j) {
      if (line[j] == '.') {
        tag.Last = static_cast<int32_t>(j + 2);
        break;
      }
      if (line[j] == '(' && j + 1 < line.size() && line[j + 1] == ')') {
        tag.Last = static_cast<int32_t>(j + 1);
        break;
      }
      tag.Text += line[j];
    }
    if (tag.Last == 0) {
      tag.Last = static_cast<int32_t>(line.size() + 1);
    }
    tags.push_back(tag);
    i = static_cast<size_t>(tag.Last - 2);
  }
  // The tag under the caret; a caret just after a tag's "." takes that tag.
  for (const TBlockTagPlace& tag : tags) {
    if (static_cast<size_t>(tag.First - 1) <= c && c < static_cast<size_t>(tag.Last - 1)) {
      return tag;
    }
  }
  for (const TBlockTagPlace& tag : tags) {
    if (c == static_cast<size_t>(tag.Last - 1)) {
      return tag;
    }
  }
  if (caretInGroup || NextCellInStopSet(line, static_cast<int32_t>(c))) {
    return {};
  }
  TBlockTagPlace place;
  const size_t before = PlaceBeforeNote(line, c);
  size_t at = 0;
  if (before != std::string_view::npos) {
    at = before;
  } else if (StartsWithVCell(line)) {
    at = line.size();
  }
  place.First = place.Last = static_cast<int32_t>(at + 1);
  return place;
}

std::string TagBreakingText(std::string_view parameter) {
  for (std::string_view piece : {std::string_view("()"), std::string_view("."), std::string_view(";"),
                                 std::string_view(" ")}) {
    if (parameter.find(piece) != std::string_view::npos) {
      return std::string(piece);
    }
  }
  return {};
}
