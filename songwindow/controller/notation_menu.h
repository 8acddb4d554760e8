// The notation insert menu: Braille signs picked by name. Resources/qem.zel (code page
// 1251) holds one entry a line: '+' and a caption open a submenu, "-" closes it (at the top
// level it is a separator), "caption=text" is an item that inserts text. Brace groups
// "{id=text}" give the language text id, else the text after "=".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class TNotationEntry : uint8_t { Submenu, Insert, Separator };

// One entry of the menu. Captions and texts are code page 1251.
struct TNotationMenuItem {
  TNotationEntry Kind = TNotationEntry::Insert;
  std::string Caption;
  std::string Text;         // what an insert item inserts (may be empty: nothing)
  int32_t Command = 0;      // number of an insert item, unique in its menu (from 1)
  std::vector<TNotationMenuItem> Items;  // a submenu's entries
};

// The lines of the menu file, rewritten by the last build: an insert item's line is its
// command number, "=" and its text; every other line is empty.
extern std::vector<std::string> NotationMenuLines;

// A line's caption and text: leading '+' dropped, brace groups replaced, split at the
// first "=" (no "=": the text is empty).
void GetCaption(std::string_view line, std::string& text, std::string& caption);

// The menu of the lines, which are rewritten as NotationMenuLines describes. A "-" with no
// submenu open is a separator; a submenu left open ends with the lines.
std::vector<TNotationMenuItem> BuildNotationMenu(std::vector<std::string>& lines);

// The insert item numbered command (searching submenus depth first), else null.
const TNotationMenuItem* FindNotationItem(const std::vector<TNotationMenuItem>& menu, int32_t command);

// The lines of a file (code page 1251; CR LF, LF or CR end a line); false when it cannot
// be read.
bool ReadMenuFile(const std::string& path, std::vector<std::string>& lines);
