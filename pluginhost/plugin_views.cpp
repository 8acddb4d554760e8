#include "pluginhost/plugin_views.h"

#include <algorithm>
#include <cstring>

#include "feedback/message_box.h"
#include "feedback/speech.h"
#include "handler/handler_normalizer.h"
#include "model/song.h"
#include "playback/midi_ports.h"
#include "pluginhost/plugin_controls.h"

namespace {

constexpr unsigned char kUnassignedByte = 0x98;
constexpr size_t kModuleNameLimit = 64;
constexpr int32_t kLastPort = 16;

// Copies text into buffer as the header says: at most size - 1 bytes and a NUL byte.
size_t CopyOut(std::string_view text, char* buffer, size_t size) {
  if (buffer != nullptr && size > 0) {
    const size_t n = std::min(text.size(), size - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
  }
  return text.size();
}

// Stores a plug-in's text into target when it is taken; 1 when it was.
int32_t Store(std::string& target, const char* value, size_t length, size_t limit, bool oneLine) {
  std::optional<std::string> text = TakePluginText(value, length, limit, oneLine);
  if (!text) {
    return 0;
  }
  target = std::move(*text);
  return 1;
}

// Texts.

size_t TextGet(const VeltoText* text, char* buffer, size_t size) {
  return CopyOut(text != nullptr ? std::string_view(text->Value) : std::string_view(), buffer, size);
}

int32_t TextSet(VeltoText* text, const char* value, size_t length) {
  return text != nullptr ? Store(text->Value, value, length, text->Limit, text->OneLine) : 0;
}

// Line lists.

std::vector<std::string>* Lines(VeltoLines* lines) {
  return reinterpret_cast<std::vector<std::string>*>(lines);
}
const std::vector<std::string>* Lines(const VeltoLines* lines) {
  return reinterpret_cast<const std::vector<std::string>*>(lines);
}

bool InRange(int32_t index, size_t count) {
  return index >= 0 && static_cast<size_t>(index) < count;
}

int32_t LinesCount(const VeltoLines* lines) {
  return lines != nullptr ? static_cast<int32_t>(Lines(lines)->size()) : 0;
}

size_t LinesGet(const VeltoLines* lines, int32_t index, char* buffer, size_t size) {
  const bool there = lines != nullptr && InRange(index, Lines(lines)->size());
  return CopyOut(there ? std::string_view((*Lines(lines))[static_cast<size_t>(index)]) : std::string_view(),
                 buffer, size);
}

int32_t LinesSet(VeltoLines* lines, int32_t index, const char* value, size_t length) {
  if (lines == nullptr || !InRange(index, Lines(lines)->size())) {
    return 0;
  }
  return Store((*Lines(lines))[static_cast<size_t>(index)], value, length, kPluginLineLimit, true);
}

int32_t LinesInsert(VeltoLines* lines, int32_t index, const char* value, size_t length) {
  if (lines == nullptr || !InRange(index, Lines(lines)->size() + 1) ||
      Lines(lines)->size() >= kPluginLineCountLimit) {
    return 0;
  }
  std::optional<std::string> text = TakePluginText(value, length, kPluginLineLimit, true);
  if (!text) {
    return 0;
  }
  Lines(lines)->insert(Lines(lines)->begin() + index, std::move(*text));
  return 1;
}

int32_t LinesDelete(VeltoLines* lines, int32_t index) {
  if (lines == nullptr || !InRange(index, Lines(lines)->size())) {
    return 0;
  }
  Lines(lines)->erase(Lines(lines)->begin() + index);
  return 1;
}

void LinesNormalizeHandler(VeltoLines* lines, int32_t first) {
  if (lines == nullptr || !InRange(first, Lines(lines)->size())) {
    return;
  }
  for (auto line = Lines(lines)->begin() + first; line != Lines(lines)->end(); ++line) {
    *line = NormalizeHandlerLine(*line);
  }
}

// Module information, extension, errors.

int32_t ModuleSet(VeltoModuleInfo* info, int32_t kind, const char* name, size_t length,
                  uint32_t flags) {
  if (info == nullptr || kind < VELTO_MODULE_MENU || kind > VELTO_MODULE_WINDOW) {
    return 0;
  }
  std::optional<std::string> text = TakePluginText(name, length, kModuleNameLimit, true);
  if (!text) {
    return 0;
  }
  info->Kind = kind;
  info->Name = std::move(*text);
  info->Flags = flags & (VELTO_PROVIDES_BLOCKS | VELTO_EDITS_HANDLER | VELTO_EDITS_NOTES);
  return 1;
}

int32_t ExtensionSet(VeltoExtension* extension, const char* ext, size_t extLength,
                     const char* description, size_t descriptionLength) {
  if (extension == nullptr) {
    return 0;
  }
  std::optional<std::string> e = TakePluginText(ext, extLength, kModuleNameLimit, true);
  std::optional<std::string> d =
      TakePluginText(description, descriptionLength, kPluginShortTextLimit, true);
  if (!e || !d) {
    return 0;
  }
  extension->Record = {std::move(*e), std::move(*d)};
  return 1;
}

int32_t ErrorsSet(VeltoErrors* errors, int32_t code, int32_t source, int32_t measure, int32_t voice,
                  const char* text, size_t length) {
  if (errors == nullptr || errors->Record == nullptr || code < 1 || code > 255 || source < 1 ||
      source > 3 || measure < 1 || voice < 1 || voice > 255) {
    return 0;
  }
  std::optional<std::string> detail = TakePluginText(text, length, kPluginShortTextLimit, true);
  if (!detail) {
    return 0;
  }
  TErrors& record = *errors->Record;
  record.Code = static_cast<uint8_t>(code);
  record.Source = static_cast<uint8_t>(source);
  record.Measure = static_cast<uint32_t>(measure);
  record.Voice = static_cast<uint8_t>(voice);
  record.Text = std::move(*detail);
  return 1;
}

// Tracks.

PTreck Track(VeltoTrack* track) {
  return reinterpret_cast<PTreck>(track);
}
const TTreck* Track(const VeltoTrack* track) {
  return reinterpret_cast<const TTreck*>(track);
}

VeltoTrack* TrackNext(const VeltoTrack* track) {
  return track != nullptr ? TrackView(Track(track)->Next) : nullptr;
}

VeltoTrack* TrackPrev(const VeltoTrack* track) {
  return track != nullptr ? TrackView(Track(track)->Prev) : nullptr;
}

size_t TrackCaption(const VeltoTrack* track, char* buffer, size_t size) {
  return CopyOut(track != nullptr ? std::string_view(Track(track)->Caption) : std::string_view(),
                 buffer, size);
}

int32_t TrackSetCaption(VeltoTrack* track, const char* value, size_t length) {
  return track != nullptr ? Store(Track(track)->Caption, value, length, kPluginShortTextLimit, true) : 0;
}

int32_t TrackChannel(const VeltoTrack* track) {
  return track != nullptr ? Track(track)->Channel : 0;
}

int32_t TrackVoice(const VeltoTrack* track) {
  return track != nullptr ? Track(track)->Voice : 0;
}

int32_t TrackMidiOut(const VeltoTrack* track) {
  return track != nullptr ? Track(track)->MidiOut : 0;
}

int32_t TrackSetMidiOut(VeltoTrack* track, int32_t port) {
  if (track == nullptr || port < 0 || port > kLastPort) {
    return 0;
  }
  Track(track)->MidiOut = port;
  return 1;
}

int32_t TrackEnabled(const VeltoTrack* track) {
  return track != nullptr && Track(track)->Enabled ? 1 : 0;
}

void TrackSetEnabled(VeltoTrack* track, int32_t enabled) {
  if (track != nullptr) {
    Track(track)->Enabled = enabled != 0;
  }
}

VeltoLines* TrackMusicLines(VeltoTrack* track) {
  return track != nullptr ? LinesView(Track(track)->MusicStrings) : nullptr;
}

VeltoLines* TrackProgramLines(VeltoTrack* track) {
  return track != nullptr ? LinesView(Track(track)->ProgramStrings) : nullptr;
}

// The window.

VeltoTrack* WindowHeadTrack(const VeltoWindow* window) {
  return window != nullptr && window->Song != nullptr ? TrackView(window->Song->HeadTreck) : nullptr;
}

VeltoTrack* WindowCurrentTrack(const VeltoWindow* window) {
  return window != nullptr && window->Song != nullptr ? TrackView(window->Song->CurrentTrack) : nullptr;
}

int32_t WindowCurrentMeasure(const VeltoWindow* window) {
  return window != nullptr && window->Song != nullptr ? window->Song->CurrentMeasure : 0;
}

int32_t WindowControlCount(const VeltoWindow* window) {
  return window != nullptr ? static_cast<int32_t>(window->Controls.size()) : 0;
}

VeltoControl* WindowControl(VeltoWindow* window, int32_t number) {
  if (window == nullptr || !InRange(number - 1, window->Controls.size())) {
    return nullptr;
  }
  return &window->Controls[static_cast<size_t>(number - 1)];
}

// Controls.

int32_t ControlKind(const VeltoControl* control) {
  return control != nullptr ? static_cast<int32_t>(control->Kind) : 0;
}

int32_t ControlNumber(const VeltoControl* control) {
  return control != nullptr ? control->Number : 0;
}

void ControlSetBounds(VeltoControl* control, int32_t left, int32_t top, int32_t width, int32_t height) {
  if (control != nullptr && width >= 0 && height >= 0) {
    control->Left = left;
    control->Top = top;
    control->Width = width;
    control->Height = height;
  }
}

void ControlSetVisible(VeltoControl* control, int32_t visible) {
  if (control != nullptr) {
    control->Visible = visible != 0;
  }
}

void ControlSetEnabled(VeltoControl* control, int32_t enabled) {
  if (control != nullptr) {
    control->Enabled = enabled != 0;
  }
}

int32_t ControlSetName(VeltoControl* control, const char* value, size_t length) {
  return control != nullptr ? Store(control->Name, value, length, kPluginShortTextLimit, true) : 0;
}

// The text a control shows: a combo box shows its chosen item.
std::string_view ShownText(const VeltoControl& control) {
  if (control.Kind != TControlKind::ComboBox) {
    return control.Text;
  }
  return InRange(control.ItemIndex, control.Items.size())
             ? std::string_view(control.Items[static_cast<size_t>(control.ItemIndex)])
             : std::string_view();
}

size_t ControlText(const VeltoControl* control, char* buffer, size_t size) {
  return CopyOut(control != nullptr ? ShownText(*control) : std::string_view(), buffer, size);
}

int32_t ControlSetItemIndex(VeltoControl* control, int32_t index) {
  if (control == nullptr || (index != -1 && !InRange(index, control->Items.size()))) {
    return 0;
  }
  control->ItemIndex = index;
  return 1;
}

int32_t ControlSetText(VeltoControl* control, const char* value, size_t length) {
  if (control == nullptr) {
    return 0;
  }
  if (control->Kind == TControlKind::ComboBox) {  // chooses the item of that text
    const std::string_view text(value != nullptr ? value : "", value != nullptr ? length : 0);
    const auto found = std::find(control->Items.begin(), control->Items.end(), text);
    return found != control->Items.end()
               ? ControlSetItemIndex(control, static_cast<int32_t>(found - control->Items.begin()))
               : 0;
  }
  const bool rich = control->Kind == TControlKind::RichEdit;
  return Store(control->Text, value, length, rich ? kPluginLineLimit : kPluginTextLimit, !rich);
}

int32_t ControlItemCount(const VeltoControl* control) {
  return control != nullptr ? static_cast<int32_t>(control->Items.size()) : 0;
}

size_t ControlItem(const VeltoControl* control, int32_t index, char* buffer, size_t size) {
  const bool there = control != nullptr && InRange(index, control->Items.size());
  return CopyOut(there ? std::string_view(control->Items[static_cast<size_t>(index)]) : std::string_view(),
                 buffer, size);
}

int32_t ControlAddItem(VeltoControl* control, const char* value, size_t length) {
  if (control == nullptr || control->Items.size() >= kPluginLineCountLimit) {
    return 0;
  }
  std::optional<std::string> text = TakePluginText(value, length, kPluginShortTextLimit, true);
  if (!text) {
    return 0;
  }
  control->Items.push_back(std::move(*text));
  return 1;
}

int32_t ControlSetItem(VeltoControl* control, int32_t index, const char* value, size_t length) {
  if (control == nullptr || !InRange(index, control->Items.size())) {
    return 0;
  }
  return Store(control->Items[static_cast<size_t>(index)], value, length, kPluginShortTextLimit, true);
}

void ControlClearItems(VeltoControl* control) {
  if (control != nullptr) {
    control->Items.clear();
    control->ItemIndex = -1;
  }
}

int32_t ControlItemIndex(const VeltoControl* control) {
  return control != nullptr ? control->ItemIndex : -1;
}

int32_t ControlChecked(const VeltoControl* control) {
  return control != nullptr && control->Checked ? 1 : 0;
}

void ControlSetChecked(VeltoControl* control, int32_t checked) {
  if (control != nullptr) {
    control->Checked = checked != 0;
  }
}

int32_t ControlPosition(const VeltoControl* control) {
  return control != nullptr ? control->Position : 0;
}

int32_t ControlSetRange(VeltoControl* control, int32_t minimum, int32_t maximum) {
  if (control == nullptr || minimum > maximum) {
    return 0;
  }
  control->Minimum = minimum;
  control->Maximum = maximum;
  control->Position = std::clamp(control->Position, minimum, maximum);
  return 1;
}

void ControlSetPosition(VeltoControl* control, int32_t position) {
  if (control != nullptr) {
    control->Position = std::clamp(position, control->Minimum, control->Maximum);
  }
}

// MIDI output.

int32_t MidiOutPort(const VeltoMidiOut* out) {
  return out != nullptr ? out->Port : 0;
}

int32_t MidiOutSend(VeltoMidiOut* out, int32_t status, int32_t data1, int32_t data2) {
  if (out == nullptr || out->Port < 0 || out->Port > kLastPort || status < 0x80 || status > 0xEF ||
      data1 < 0 || data1 > 127 || data2 < 0 || data2 > 127 || !MidiOutIsOpen(out->Port)) {
    return 0;
  }
  SendShortMessage(out->Port, static_cast<uint8_t>(status), static_cast<uint8_t>(data1),
                   static_cast<uint8_t>(data2));
  return 1;
}

constexpr VeltoHost kHost = {
    VELTO_PLUGIN_ABI_VERSION,
    sizeof(VeltoHost),
    TextGet,
    TextSet,
    LinesCount,
    LinesGet,
    LinesSet,
    LinesInsert,
    LinesDelete,
    LinesNormalizeHandler,
    ModuleSet,
    ExtensionSet,
    ErrorsSet,
    TrackNext,
    TrackPrev,
    TrackCaption,
    TrackSetCaption,
    TrackChannel,
    TrackVoice,
    TrackMidiOut,
    TrackSetMidiOut,
    TrackEnabled,
    TrackSetEnabled,
    TrackMusicLines,
    TrackProgramLines,
    WindowHeadTrack,
    WindowCurrentTrack,
    WindowCurrentMeasure,
    WindowControlCount,
    WindowControl,
    ControlKind,
    ControlNumber,
    ControlSetBounds,
    ControlSetVisible,
    ControlSetEnabled,
    ControlSetName,
    ControlText,
    ControlSetText,
    ControlItemCount,
    ControlItem,
    ControlAddItem,
    ControlSetItem,
    ControlClearItems,
    ControlItemIndex,
    ControlSetItemIndex,
    ControlChecked,
    ControlSetChecked,
    ControlPosition,
    ControlSetRange,
    ControlSetPosition,
    MidiOutPort,
    MidiOutSend,
};

}  // namespace

bool PluginTextAcceptable(std::string_view text, bool oneLine) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == 0 || byte == kUnassignedByte) {
      return false;
    }
    if (oneLine && byte < 0x20 && byte != '\t') {
      return false;
    }
  }
  return true;
}

std::optional<std::string> TakePluginText(const char* value, size_t length, size_t limit,
                                          bool oneLine) {
  if (value == nullptr) {
    return length == 0 ? std::optional<std::string>(std::string()) : std::nullopt;
  }
  const std::string_view text(value, std::min(length, limit));
  if (!PluginTextAcceptable(text, oneLine)) {
    return std::nullopt;
  }
  return std::string(text);
}

const VeltoHost& PluginHost() {
  return kHost;
}

void PluginSpeak(const char* text, size_t length, int32_t interrupt) {
  if (std::optional<std::string> spoken = TakePluginText(text, length, kPluginTextLimit, false)) {
    Speak(*spoken, interrupt != 0 ? -1 : 0);
  }
}

int32_t PluginMessageBox(const char* text, size_t length, int32_t kind) {
  std::optional<std::string> shown = TakePluginText(text, length, kPluginTextLimit, false);
  if (!shown || kind < 0 || kind > 3) {
    return mbNone;
  }
  return LangMessageBox(*shown, static_cast<uint8_t>(kind));
}
