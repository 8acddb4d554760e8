#include "songwindow/dialogs/block_wizard.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

#include "base/errors.h"
#include "feedback/error_messages.h"
#include "feedback/signals.h"
#include "handler/handler_expression.h"
#include "handler/handler_globals.h"
#include "handler/handler_names.h"
#include "handler/handler_normalizer.h"
#include "platform/codec1251.h"
#include "platform/paths.h"
#include "render/track_runtime.h"
#include "settings/lang_texts.h"
#include "settings/settings.h"
#include "songwindow/controller/song_window.h"
#include "songwindow/parts/block_tag.h"

namespace {

constexpr int kInterrupt = -1;
constexpr int kQueued = 0;

bool IsWordChar(char c) {
  const auto b = static_cast<unsigned char>(c);
  return (b >= '0' && b <= '9') || (b >= 'a' && b <= 'z') || b == 0xB8 || b >= 0xE0;
}

std::string NoEntry() { return "[" + LangStrOr(244, "нет") + "]"; }

std::string Replaced(std::string text, const std::string& by) {
  if (const size_t at = text.find("%s"); at != std::string::npos) {
    text.replace(at, 2, by);
  }
  return text;
}

}  // namespace

std::string QuotedPart(const std::string& line) {
  const size_t open = line.find('"');
  if (open == std::string::npos) {
    return "0";
  }
  const size_t close = line.find('"', open + 1);
  return line.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
}

std::string UnquotedPart(const std::string& line) {
  const size_t open = line.find('"');
  if (open == std::string::npos) {
    return line;
  }
  const size_t close = line.find('"', open + 1);
  std::string outside = line.substr(0, open);
  if (close != std::string::npos) {
    outside += line.substr(close + 1);
  }
  return outside;
}

std::string CompactParameter(const std::string& text) {
  const std::string normal = NormalizeHandlerLine(text);
  std::string compact;
  for (size_t i = 0; i < normal.size(); ++i) {
    if (normal[i] == ' ' && !(i > 0 && i + 1 < normal.size() && IsWordChar(normal[i - 1]) && IsWordChar(normal[i + 1]))) {
      continue;
    }
    compact += normal[i];
  }
  return compact;
}

TBlockWizardDialog::TBlockWizardDialog(TSongWindow& window) : window_(window) {
  Caption = LangStrOr(76, "Блок-Обработчик");
  DescriptionLabel = LangStrOr(242, "Краткое описание") + ":";
  OkCaption = LangStrOr(184, "Ok");
  CancelCaption = LangStrOr(16, "Отмена");
  HelpCaption = LangStrOr(9, "Справка");
  if (window.CurrentTrack != nullptr && window.CurrentTrack->Runtime) {
    program_ = &window.CurrentTrack->Runtime->Program;
  }
  Blocks.push_back(NoEntry());
  if (program_ != nullptr) {
    for (const TBlock& block : program_->Blocks) {
      if (!block.IsFunction) {
        Blocks.push_back(block.Name);
      }
    }
  }
  if (!BlockWizardName.empty()) {
    const std::string wanted = NormalizeHandlerLine(BlockWizardName);
    for (size_t i = 1; i < Blocks.size(); ++i) {
      if (NormalizeHandlerLine(Blocks[i]) == wanted) {
        Selected = static_cast<int32_t>(i);
        break;
      }
    }
  }
  ShowBlockList();
}

const TBlock* TBlockWizardDialog::SelectedBlock() const {
  if (program_ == nullptr || Selected <= 0 || static_cast<size_t>(Selected) >= Blocks.size()) {
    return nullptr;
  }
  const TBlock* block = FindBlockByName(NormalizeHandlerLine(Blocks[static_cast<size_t>(Selected)]), program_->Blocks);
  return block != nullptr && !block->IsFunction ? block : nullptr;
}

void TBlockWizardDialog::ShowBlockList() {
  TabsEnabled = false;
  DescriptionEnabled = false;
  Description.clear();
  Tabs.clear();
  Tab = 0;
  ParameterCaption.clear();
  Parameter.clear();
  if (Selected > 0) {
    DescriptionEnabled = true;
    if (const TBlock* block = SelectedBlock()) {
      Description = block->Params.empty() ? NoEntry() : block->Params[0];
      const size_t count = block->Params.size() > 1 ? block->Params.size() - 1 : 0;
      for (size_t i = 1; i <= count; ++i) {
        Tabs.push_back(LangStrOr(243, "Параметр") + " " + std::to_string(i) + ":");
        const std::string fallback = QuotedPart(block->Params[i]);
        if (BlockWizardParams.size() >= i) {
          if (BlockWizardParams[i - 1].empty()) {
            BlockWizardParams[i - 1] = fallback;
          }
        } else {
          BlockWizardParams.push_back(fallback);
        }
      }
      if (BlockWizardParams.size() > count) {
        BlockWizardParams.resize(count);
      }
      TabsEnabled = count > 0;
      ShowTab();
    }
  }
  if (!TabsEnabled) {
    BlockWizardParams.clear();
  }
}

void TBlockWizardDialog::ShowTab() {
  const TBlock* block = SelectedBlock();
  if (!TabsEnabled || block == nullptr || block->Params.size() < 2) {
    return;
  }
  Tab = std::clamp<int32_t>(Tab, 0, static_cast<int32_t>(block->Params.size()) - 2);
  const std::string& line = block->Params[static_cast<size_t>(Tab) + 1];
  ParameterCaption = UnquotedPart(line);
  const std::string& entry = BlockWizardParams[static_cast<size_t>(Tab)];
  const std::string fallback = QuotedPart(line);
  Parameter = !entry.empty() ? entry : !fallback.empty() ? fallback : "0";
}

void TBlockWizardDialog::SelectBlock(int32_t index) {
  if (index < 0 || static_cast<size_t>(index) >= Blocks.size()) {
    return;
  }
  Selected = index;
  BlockWizardParams.clear();
  ShowBlockList();
  ISpeaker& speaker = *window_.Ports().Speaker;
  speaker.Speak(Blocks[static_cast<size_t>(index)], kInterrupt);
  if (!Description.empty()) {
    speaker.Speak(Description, kQueued);
  }
}

void TBlockWizardDialog::SelectTab(int32_t index) {
  if (!TabsEnabled || index < 0 || static_cast<size_t>(index) >= Tabs.size()) {
    return;
  }
  Tab = index;
  ShowTab();
  window_.Ports().Speaker->Speak(Tabs[static_cast<size_t>(index)], kInterrupt);
  window_.Ports().Speaker->Speak(ParameterCaption, kQueued);
}

void TBlockWizardDialog::EnterTabs() {
  if (TabsEnabled) {
    window_.Ports().Speaker->Speak(ParameterCaption, kQueued);
  }
}

void TBlockWizardDialog::SetParameter(const std::string& text) {
  if (TabsEnabled && static_cast<size_t>(Tab) < BlockWizardParams.size()) {
    BlockWizardParams[static_cast<size_t>(Tab)] = text;
    Parameter = text;
  }
}

bool TBlockWizardDialog::CheckParameter(size_t index, const std::string& text) {
  const std::string tab = index < Tabs.size() ? Tabs[index] : std::string();
  const std::string breaking = TagBreakingText(text);
  if (!breaking.empty()) {
    const std::string why =
        breaking == " " ? LangStrOr(1641, "Пробел в параметре блока делит нотную строку; пишите скобки: sin(1), (a)mod(2)")
                        : Replaced(LangStrOr(1640, "Знак «%s» нельзя писать в параметре блока: он заканчивает блок в нотной строке"),
                                   breaking);
    window_.Ports().Signaller->PlaySignal(sError);
    window_.Ports().Speaker->Speak(tab + " " + why, kInterrupt);
    return false;
  }
  if (program_ == nullptr) {
    return true;
  }
  // As the render compiles a block call's arguments: normalised, at the track's top scope.
  std::string normal = NormalizeHandlerLine(text);
  if (normal.empty()) {
    normal = "0";
  }
  const std::vector<std::string> savedPath = GHandlerCompile.ScopePath;
  const int savedNesting = GHandlerCompile.Nesting;
  GHandlerCompile.ScopePath.assign(1, "get");
  GHandlerCompile.Nesting = 0;
  TErrorRecord errors;
  uint8_t usesVariables = 0;
  const PExpression tree = ParseExpression(normal, usesVariables, *program_, errors);
  GHandlerCompile.ScopePath = savedPath;
  GHandlerCompile.Nesting = savedNesting;
  if (errors.Code() == 0) {
    return true;
  }
  const TErrors e = errors.Get();
  window_.Ports().Questions->Ask(HandlerErrorMessage(e.Code, e.Text, tab), 3);
  return false;
}

bool TBlockWizardDialog::Ok() {
  if (TabsEnabled) {
    SetParameter(Parameter);
  }
  const TBlock* block = SelectedBlock();
  if (Selected <= 0 || block == nullptr) {
    BlockWizardName = Selected <= 0 ? "*" : "";
    return true;
  }
  std::vector<std::string> entries = TabsEnabled ? BlockWizardParams : std::vector<std::string>();
  // Values left at their defaults at the end are omitted; a default before a changed
  // value is written out.
  for (size_t i = 0; i < entries.size(); ++i) {
    if (NormalizeHandlerLine(entries[i]) == NormalizeHandlerLine(QuotedPart(block->Params[i + 1]))) {
      entries[i].clear();
    }
  }
  while (!entries.empty() && entries.back().empty()) {
    entries.pop_back();
  }
  std::string tag = ")" + block->Name;
  for (size_t i = 0; i < entries.size(); ++i) {
    const std::string value = CompactParameter(entries[i].empty() ? QuotedPart(block->Params[i + 1]) : entries[i]);
    if (!CheckParameter(i, value)) {
      Tab = static_cast<int32_t>(i);
      ShowTab();
      return false;
    }
    tag += (i == 0 ? ":" : ";") + value;
  }
  BlockWizardName = tag + ".";
  return true;
}

void TBlockWizardDialog::Cancel() {
  BlockWizardName.clear();
}

void TBlockWizardDialog::Help() {
  const TBlock* block = SelectedBlock();
  if (block == nullptr || block->Module.empty()) {
    return;
  }
  const std::optional<std::filesystem::path> folder = FindUnder(ProgramDir, "Modules");
  const std::optional<std::filesystem::path> file =
      folder ? FindInFolder(*folder, Cp1251ToUtf8(block->Module) + ".txt") : std::nullopt;
  std::error_code ec;
  if (!file || !std::filesystem::is_regular_file(*file, ec)) {
    window_.Ports().Questions->Ask(LangStrOr(258, "Описание модуля не найдено") + "!", 3);
    return;
  }
  const std::string savedFile = window_.EditModuleFile;
  const int32_t savedLine = window_.EditModuleLine;
  window_.EditModuleFile = file->string();
  window_.EditModuleLine = 1;
  window_.Ports().Dialogs->Show(TWindowDialog::ModuleEditor);
  window_.EditModuleFile = savedFile;
  window_.EditModuleLine = savedLine;
}
