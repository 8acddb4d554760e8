// The events of a format plug-in's controls on the song window.
#include <algorithm>

#include "model/plugin_hooks.h"
#include "songwindow/controller/song_window.h"

namespace {

constexpr int32_t kLowestTempo = 10;    // beats per minute
constexpr int32_t kHighestTempo = 930;
constexpr uint32_t kMicrosecondsPerMinute = 60000000;
constexpr int32_t kLastPort = 16;

// A popup text: "caption%shortcut" or "caption". A shortcut that is no number of 0..65535
// gives none.
TPopupItem ParsePopupItem(const std::string& text) {
  const size_t mark = text.find('%');
  if (mark == std::string::npos) {
    return {text, 0};
  }
  const std::string number = text.substr(mark + 1);
  const bool valid = !number.empty() && number.size() <= 5 &&
                     number.find_first_not_of("0123456789") == std::string::npos &&
                     std::stoul(number) <= 0xFFFF;
  return {text.substr(0, mark), static_cast<uint16_t>(valid ? std::stoul(number) : 0)};
}

}  // namespace

VeltoControl* TSongWindow::PluginControl(int32_t number) {
  if (number < 1 || static_cast<size_t>(number) > PluginWindow.Controls.size()) {
    return nullptr;
  }
  return &PluginWindow.Controls[static_cast<size_t>(number) - 1];
}

VeltoControl* TSongWindow::Forwarding(int32_t number, TControlEvent event) {
  VeltoControl* control = PluginControl(number);
  return FormatModule && control != nullptr && Forwards(control->Kind, event) ? control : nullptr;
}

int32_t TSongWindow::PluginPort() const {
  int32_t port = 0;
  if (CurrentTrack != nullptr && CurrentTrack->MidiOut > 0) {
    port = CurrentTrack->MidiOut;
  } else if (HeadTreck != nullptr && HeadTreck->MidiOut > 0) {
    port = HeadTreck->MidiOut;
  }
  return std::clamp(port, 0, kLastPort);
}

// What the plug-in changed through its controls reaches the track by a commit, which
// writes the program lines again: the port directive from MidiOut, the plug-in's own
// (SetMakros), the shown lines. It comes at once, before a redraw reads the old directive
// back; a change of the lines makes the song modified.
void TSongWindow::CommitPluginChange() {
  const PTreck track = EditorPlace.Track;
  if (track == nullptr) {
    return;
  }
  const std::vector<std::string> before = track->ProgramStrings;
  MarkHiddenLinesChanged();
  CommitEditors();
  if (track->ProgramStrings != before) {
    Modified = true;
  }
}

void TSongWindow::onClickPluginControl(int32_t number) {
  if (HeadTreck == nullptr || Forwarding(number, ceClick) == nullptr ||
      !FormatModule->onClickPluginComponent) {
    return;
  }
  FormatModule->onClickPluginComponent(number, &PluginWindow, PluginPort());
  CommitPluginChange();
  Notify();
}

void TSongWindow::onChangePluginControl(int32_t number) {
  if (Forwarding(number, ceChange) == nullptr || !FormatModule->onChangePluginComponent) {
    return;
  }
  int32_t tempo = 1;
  FormatModule->onChangePluginComponent(number, &PluginWindow, PluginPort(), tempo);
  if (tempo >= kLowestTempo && tempo <= kHighestTempo && ports_.Player->Playing(WindowNumber)) {
    ports_.Player->SetTempo(kMicrosecondsPerMinute / static_cast<uint32_t>(tempo));
  }
  CommitPluginChange();
  Notify();
}

void TSongWindow::onEnterPluginControl(int32_t number) {
  if (Forwarding(number, ceEnter) == nullptr) {
    return;
  }
  if (FormatModule->OnPopupMenu) {
    PopupItems.clear();
    // A plug-in that never ends its list gets a full menu.
    while (PopupItems.size() < kMaxPopupItems) {
      std::string text;
      FormatModule->OnPopupMenu(text, number, &PluginWindow);
      if (text.empty()) {
        break;
      }
      PopupItems.push_back(ParsePopupItem(text));
    }
  }
  if (FormatModule->onEnterPluginComponent) {
    std::string text;
    FormatModule->onEnterPluginComponent(text, number, &PluginWindow);
    if (!text.empty()) {
      ports_.Speaker->Speak(text, -1);
    }
  }
  Notify();
}

void TSongWindow::onExitPluginControl(int32_t number) {
  if (Forwarding(number, ceExit) == nullptr || !FormatModule->onExitPluginComponent) {
    return;
  }
  // The focus stays where it went: Tab goes on to the next control.
  const uint8_t mode = FormatModule->onExitPluginComponent(number, &PluginWindow);
  keep_focus_ = true;
  ShowTreck(mode);
  keep_focus_ = false;
}

void TSongWindow::ClickPopupMenuClick(int32_t index) {
  if (!FormatModule || !FormatModule->OnClickPopupMenu || index < 0 ||
      static_cast<size_t>(index) >= PopupItems.size()) {
    return;
  }
  FormatModule->OnClickPopupMenu(0, index, &PluginWindow);
  CommitPluginChange();
  Notify();
}

int32_t TSongWindow::ForwardKey(int32_t number, int32_t key, uint8_t shift, bool down) {
  VeltoControl* control = Forwarding(number, down ? ceKeyDown : ceKeyUp);
  if (control == nullptr) {
    return key;
  }
  const auto& entry = down ? FormatModule->PluginKeyDown : FormatModule->PluginKeyUp;
  if (!entry) {
    return key;
  }
  entry(&PluginWindow, control, key, shift);
  Notify();
  return key;
}

int32_t TSongWindow::ComponentKeyDown(int32_t number, int32_t key, uint8_t shift) {
  return ForwardKey(number, key, shift, true);
}

int32_t TSongWindow::ComponentKeyUp(int32_t number, int32_t key, uint8_t shift) {
  return ForwardKey(number, key, shift, false);
}

std::string TSongWindow::ListViewEdited(int32_t number, int32_t item, const std::string& text) {
  VeltoControl* control = Forwarding(number, ceItemEdited);
  if (control == nullptr || item < 0 || static_cast<size_t>(item) >= control->Items.size()) {
    return text;
  }
  std::string name = text;
  if (FormatModule->onListViewEdited) {
    FormatModule->onListViewEdited(&PluginWindow, control, item, name);
  }
  control->Items[static_cast<size_t>(item)] = name;
  CommitPluginChange();
  Notify();
  return name;
}
