// The module editor without widgets: a plain text box for a handler module (new or
// existing), or a module's description shown read-only. The window's EditModuleFile and
// EditModuleLine say what to open and where; the editor writes them back.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class TSongWindow;

class TModuleEditorDialog {
 public:
  explicit TModuleEditorDialog(TSongWindow& window);

  // Captions (code page 1251).
  std::string Caption;
  std::string CloseCaption;
  std::string EditMenuCaption;
  std::string NavigationMenuCaption;
  std::string NextBlockCaption;
  std::string PriorBlockCaption;
  // The edit menu's items by name: EditUndo, EditCut, EditCopy, EditPaste, EditSelectAll,
  // EditDelete, SearchFind, SearchFindNext, SearchReplace.
  std::vector<std::pair<std::string, std::string>> EditItems;
  std::string TextLabel;  // the accessible name of the text box

  std::vector<std::string> Lines;  // code page 1251, as the file holds them
  bool ReadOnly = false;           // a description
  int32_t CaretLine = 0;           // 1-based line for the caret on opening; 0 = the start

  // F2 and Shift+F2 from the caret's line (1-based) in the text (UTF-8, lines split by
  // "\n"): the next or previous line that heads a block, spoken; 0 (nothing said) when none.
  int32_t NextBlock(const std::string& utf8Text, int32_t caretLine);
  int32_t PriorBlock(const std::string& utf8Text, int32_t caretLine);
  // Closing with the text box's text (UTF-8) and the caret's line: asks to save a changed
  // or new module and saves it. True when the editor may close.
  bool Close(const std::string& utf8Text, int32_t caretLine);
  // A search of the text box found nothing: the error signal.
  void NothingFound();
  // Replace put `count` texts in: the error signal for none, else an information box that
  // says how many.
  void Replaced(int32_t count);

 private:
  int32_t FindBlock(const std::string& utf8Text, int32_t caretLine, int step);
  // Writes the text to path; false (the reason shown) when it cannot be written.
  bool Write(const std::filesystem::path& path, const std::vector<std::string>& lines);

  TSongWindow& window_;
};

// Warns (an error box) when a module just saved at path cannot serve as a module: another
// extension than ".blk", or a folder other than the program's Modules folder.
void CheckModuleFileName(TSongWindow& window, const std::filesystem::path& path);
