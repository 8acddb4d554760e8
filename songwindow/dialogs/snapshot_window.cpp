#include "songwindow/dialogs/snapshot_window.h"

#include <utility>

#include "handler/handler_numbers.h"
#include "settings/lang_texts.h"
#include "songwindow/parts/key_codes.h"
#include "songwindow/parts/window_ports.h"

std::array<TSnapshotMemory, 256> GSnapshotMemory{};
bool SnapshotHide = false;

namespace {

constexpr int kVariablesPage = 0;
constexpr int kArraysPage = 1;
constexpr int kBlocksPage = 2;
constexpr int32_t kSpeechDelayMs = 1000;

// A label: the language text with one colon after it, whatever the text ends with.
std::string LabelOf(int id, const char* builtIn) {
  std::string text = LangStrOr(id, builtIn);
  while (!text.empty() && (text.back() == ':' || text.back() == ' ')) {
    text.pop_back();
  }
  return text + ":";
}

// Seen from the statement's scope path: defined there, in a block around it, or at no scope.
bool InScope(const std::string& scope, const std::string& statementScope) {
  return scope.empty() || statementScope.compare(0, scope.size(), scope) == 0;
}

// Constants and arrays: also every one of them at a statement outside any block.
bool Visible(const std::string& scope, const std::string& statementScope) {
  return statementScope.empty() || InScope(scope, statementScope);
}

}  // namespace

bool StepElement(uint8_t& element, uint16_t key) {
  const int at = element > kLastElement ? 0 : element;
  int next = at;
  switch (key) {
    case vkPrior: next = at >= 107 ? 0 : at + 20; break;
    case vkNext: next = at <= 20 ? kLastElement : at - 20; break;
    case vkRight: next = at >= kLastElement ? 0 : at + 1; break;
    case vkLeft: next = at == 0 ? kLastElement : at - 1; break;
    case vkHome: next = 0; break;
    case vkEnd: next = kLastElement; break;
    default: return false;
  }
  element = static_cast<uint8_t>(next);
  return true;
}

TSnapshotWindow::TSnapshotWindow(THandlerSnapshot snapshot, ISpeaker& speaker,
                                 ISnapshotTimer* timer)
    : snapshot_(std::move(snapshot)),
      speaker_(speaker),
      timer_(timer),
      memory_(GSnapshotMemory[snapshot_.Number]),
      shownBefore_(GSnapshotShown[snapshot_.Number]) {
  if (memory_.Element > kLastElement || memory_.Page >= kSnapshotPages) {
    memory_ = TSnapshotMemory{};
  }
  Caption = !snapshot_.Text.empty() ? snapshot_.Text : LangStrOr(2000, "Срез");
  PageCaptions = {LangStrOr(317, "Переменные/Константы"), LangStrOr(318, "Массивы"),
                  LangStrOr(319, "Блоки-обработчики")};
  HideCaption = LangStrOr(315, "Больше не выводить этот срез");
  ContinueCaption = LangStrOr(314, "Продолжить");
  ValueLabel = LabelOf(316, "Значение");

  for (size_t i = 0; i < snapshot_.Blocks.size(); ++i) {
    if (!snapshot_.Blocks[i].IsFunction) {
      Lists[kBlocksPage].push_back(snapshot_.Blocks[i].Name);
      rows_[kBlocksPage].push_back({TRow::Block, i});
    }
  }
  for (size_t i = 0; i < snapshot_.Variables.size(); ++i) {
    const TPeremennay& v = snapshot_.Variables[i];
    if (InScope(v.Scope, snapshot_.Scope)) {
      Lists[kVariablesPage].push_back(v.Scope + v.Name);
      rows_[kVariablesPage].push_back({TRow::Variable, i});
    }
  }
  for (size_t i = 0; i < snapshot_.Constants.size(); ++i) {
    const TSpisokConstant& c = snapshot_.Constants[i];
    if (Visible(c.Scope, snapshot_.Scope)) {
      Lists[kVariablesPage].push_back(c.Scope + c.Name);
      rows_[kVariablesPage].push_back({TRow::Constant, i});
    }
  }
  for (size_t i = 0; i < snapshot_.Arrays.size(); ++i) {
    if (Visible(snapshot_.Arrays[i].Scope, snapshot_.Scope)) {
      rows_[kArraysPage].push_back({TRow::Array, i});
    }
  }
  FillArrays();
  for (int page = 0; page < kSnapshotPages; ++page) {
    const auto count = static_cast<int32_t>(Lists[static_cast<size_t>(page)].size());
    int32_t& selected = memory_.Selected[static_cast<size_t>(page)];
    if (selected < 0 || selected >= count) {
      selected = 0;
    }
  }
}

void TSnapshotWindow::FillArrays() {
  std::vector<std::string>& list = Lists[kArraysPage];
  list.clear();
  for (const TRow& row : rows_[kArraysPage]) {
    const TMassiv& a = snapshot_.Arrays[row.Index];
    list.push_back(a.Scope + a.Name + "[" + std::to_string(memory_.Element) + "]");
  }
}

int32_t TSnapshotWindow::Selected(int page) const {
  if (page < 0 || page >= kSnapshotPages || Lists[static_cast<size_t>(page)].empty()) {
    return -1;
  }
  return memory_.Selected[static_cast<size_t>(page)];
}

void TSnapshotWindow::Activate() { Display(); }

void TSnapshotWindow::SelectPage(int page) {
  if (page < 0 || page >= kSnapshotPages) {
    return;
  }
  memory_.Page = static_cast<uint8_t>(page);
  Display();
}

void TSnapshotWindow::Select(int32_t row) {
  const auto page = static_cast<size_t>(memory_.Page);
  if (row < 0 || row >= static_cast<int32_t>(Lists[page].size())) {
    return;
  }
  memory_.Selected[page] = row;
  Display();
}

void TSnapshotWindow::KeyDown() {
  if (timer_ != nullptr) {
    timer_->Stop();
  }
}

bool TSnapshotWindow::ArrayKey(uint16_t key) {
  if (memory_.Page != kArraysPage || !StepElement(memory_.Element, key)) {
    return false;
  }
  FillArrays();
  Display();
  return true;
}

void TSnapshotWindow::Display() {
  const auto page = static_cast<size_t>(memory_.Page);
  ValueLabel = page == kBlocksPage ? LabelOf(320, "Отработано") : LabelOf(316, "Значение");
  Value.clear();
  const int32_t selected = Selected(memory_.Page);
  if (selected >= 0) {
    const TRow& row = rows_[page][static_cast<size_t>(selected)];
    switch (row.Kind) {
      case TRow::Variable: Value = FloatToStr(snapshot_.Variables[row.Index].Value); break;
      case TRow::Constant: Value = FloatToStr(snapshot_.Constants[row.Index].Value); break;
      case TRow::Array:
        Value = FloatToStr(snapshot_.Arrays[row.Index].Values[memory_.Element]);
        break;
      case TRow::Block:
        Value = FloatToStr(static_cast<long double>(snapshot_.Position) -
                           snapshot_.Blocks[row.Index].StartTick);
        break;
    }
  }
  if (timer_ != nullptr) {
    timer_->Start(kSpeechDelayMs);
  }
}

void TSnapshotWindow::TimerFired() {
  if (timer_ != nullptr) {
    timer_->Stop();
  }
  speaker_.Speak(ValueLabel, 0);
  speaker_.Speak(Value, 0);
}

bool TSnapshotWindow::Continue() {
  if (timer_ != nullptr) {
    timer_->Stop();
  }
  SnapshotHide = Hide;
  for (std::vector<std::string>& list : Lists) {
    list.clear();
  }
  GSnapshotShown[snapshot_.Number] = true;
  return SnapshotHide;
}
