// The handler block wizard without widgets: one of the current track's compiled blocks,
// its description and its parameters tab by tab, answered as the text of a block tag.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "songwindow/parts/dialog_results.h"

class TSongWindow;
class THandlerProgram;
struct TBlock;

// The text between the double quotes of a parameter line ("0" when it has none), and the
// text outside them.
std::string QuotedPart(const std::string& line);
std::string UnquotedPart(const std::string& line);

// A parameter as the tag holds it: normalised, without the blanks the normaliser puts
// beside signs (the render normalises it again, so "sin(1)" reads as "sin (1)").
std::string CompactParameter(const std::string& text);

class TBlockWizardDialog {
 public:
  explicit TBlockWizardDialog(TSongWindow& window);

  // Captions (code page 1251).
  std::string Caption;
  std::string DescriptionLabel;
  std::string OkCaption;
  std::string CancelCaption;
  std::string HelpCaption;

  std::vector<std::string> Blocks;  // "[нет]", then the blocks that are not functions
  int32_t Selected = 0;
  std::string Description;
  bool DescriptionEnabled = false;
  bool TabsEnabled = false;
  std::vector<std::string> Tabs;  // "Параметр 1:" ...
  int32_t Tab = 0;
  std::string ParameterCaption;  // what the parameter of the tab is
  std::string Parameter;         // its value in the edit box

  // A block chosen in the list: the tag's old values are dropped; its name and description
  // spoken.
  void SelectBlock(int32_t index);
  // Another tab: its value shown, its caption and what it is spoken.
  void SelectTab(int32_t index);
  // The focus came into the tabs: what the parameter is, queued.
  void EnterTabs();
  // The edit box left (or OK): its text (code page 1251) becomes the tab's value.
  void SetParameter(const std::string& text);
  // OK: the tag text into BlockWizardName. False, the wizard staying open on the offending
  // tab, when a parameter is no handler expression or holds what ends a tag (said and shown).
  bool Ok();
  // Cancel (also closing the frame): nothing changes.
  void Cancel();
  // F1: the description file of the block's module in the module editor (the window's
  // EditModuleFile and EditModuleLine set to it while the editor is open, then given back);
  // a missing one is said in an error box. Nothing for a block of the track's own text.
  void Help();

 private:
  const TBlock* SelectedBlock() const;
  void ShowBlockList();
  void ShowTab();
  // Checks parameter `index` as written into the tag; false after saying why.
  bool CheckParameter(size_t index, const std::string& text);

  TSongWindow& window_;
  const THandlerProgram* program_ = nullptr;  // the current track's compiled program
};
