#include "songwindow/dialogs/instrument_dialogs.h"

#include <algorithm>
#include <optional>

#include "feedback/signals.h"
#include "model/song_text.h"
#include "platform/codec1251.h"
#include "settings/lang_texts.h"
#include "songwindow/controller/song_window.h"
#include "songwindow/controller/window_texts.h"
#include "songwindow/dialogs/general_midi_names.h"

uint8_t LastInstrumentItem = 0;
uint16_t LastBank = 0;
std::string InstrumentListLabel;
uint8_t AuditionKey = 0;
uint8_t AuditionCountdown = 0;
uint8_t LastDrumKit = 0;
uint8_t LastDrumElement = 0;
std::string DrumListLabel;
uint8_t DrumAuditionKey = 0;

namespace {

constexpr int kAuditionVelocity = 81;
constexpr int kDrumChannel = 9;
constexpr uint8_t kFirstAuditionKey = 60;
constexpr int kLastDrumKit = 127;

bool HasText(int id) {
  return LangStr(id) != "???";
}

std::string Cp(const char* utf8) {
  return Utf8ToCp1251(utf8).Text;
}

// "text:" of the label's id, else the built-in short label.
std::string ShortLabel(int id, const char* builtIn) {
  return HasText(id) ? LangStr(id) + ":" : Cp(builtIn);
}

std::string LongLabel(int id, int hintId, const char* builtIn) {
  if (HasText(id) && HasText(hintId)) {
    return LangStr(id) + " (" + LangStr(hintId) + "):";
  }
  return Cp(builtIn);
}

std::string InstrumentShortLabel() {
  return ShortLabel(240, "Инструменты:");
}

std::string DrumShortLabel() {
  return ShortLabel(189, "Барабан:");
}

TNumberField MakeField(TSongWindow& window) {
  return TNumberField(*window.Ports().Speaker, *window.Ports().Signaller);
}

// The rule of a field from 0 to `most`: empty is 0, more is `most`.
void Bounded(TNumberField& f, uint32_t most) {
  if (f.Text.empty()) {
    f.Text = "0";
  } else if (f.Value() > most) {
    f.Text = std::to_string(most);
  }
}

void SetUpField(TNumberField& field, uint32_t most) {
  field.First = 0;
  field.Last = [most] { return most; };
  field.SaturateTyped = true;
}

}  // namespace

int AuditionPort(const TSongWindow& window) {
  if (window.CurrentTrack != nullptr && window.CurrentTrack->MidiOut > 0) {
    return std::min(window.CurrentTrack->MidiOut, kMaxMidiOut);
  }
  if (window.HeadTreck != nullptr && window.HeadTreck->MidiOut > 0) {
    return std::min(window.HeadTreck->MidiOut, kMaxMidiOut);
  }
  return 0;
}

int AuditionChannel(const TSongWindow& window) {
  if (window.CurrentTrack == nullptr || window.CurrentTrack->Channel < 1 || window.CurrentTrack->Channel > 16) {
    return -1;
  }
  return window.CurrentTrack->Channel - 1;
}

std::string DrumNoteName(int index) {
  struct TPitch {
    int Name;        // text of the plain name
    int Accidental;  // 208 sharp, 209 flat, 0 none
    const char* BuiltIn;
  };
  static constexpr TPitch kPitches[12] = {
      {191, 0, "До"},   {191, 208, "До-Диез"},   {192, 0, "Ре"},   {192, 208, "Ре-Диез"},
      {193, 0, "Ми"},   {194, 0, "Фа"},          {194, 208, "Фа-Диез"}, {195, 0, "Соль"},
      {195, 208, "Соль-Диез"}, {196, 0, "Ля"},   {197, 209, "Си-Бемоль"}, {197, 0, "Си"},
  };
  static constexpr const char* kOctaves[] = {" Контр",  " Большая",  " Малая",     " Первая",
                                             " Вторая", " Третья",   " Четвёртая", " Пятая"};
  const int key = index + kGmFirstDrumKey;
  const TPitch& pitch = kPitches[key % 12];
  std::string name;
  if (HasText(pitch.Name) && (pitch.Accidental == 0 || HasText(pitch.Accidental))) {
    name = LangStr(pitch.Name) + (pitch.Accidental != 0 ? "-" + LangStr(pitch.Accidental) : std::string());
  } else {
    name = Cp(pitch.BuiltIn);
  }
  const int octave = key / 12 - 1;
  if (octave >= 1 && octave <= 8) {
    const int id = 198 + octave;  // texts 199..206
    name += HasText(id) ? " " + LangStr(id) : Cp(kOctaves[octave - 1]);
  }
  return name + (HasText(207) ? "-" + LangStr(207) : Cp("-Октава"));
}

// ---- The instruments dialog ----------------------------------------------------------

TInstrumentsDialog::TInstrumentsDialog(TSongWindow& window, INoteTimer& timer)
    : Bank(MakeField(window)), window_(window), timer_(timer) {
  Caption = LangStrOr(74, "Инструменты");
  if (InstrumentListLabel.empty()) {
    InstrumentListLabel = LongLabel(240, 241, "Инструменты (Space - воспроизвести, Enter - вставить в обработчик):");
  }
  ListLabel = InstrumentListLabel;
  BankLabel = CaptionOf({"BanckText", 238, "Номер банка:", ":"});
  PlayCaption = LangStrOr(1680, "Воспроизвести");
  InsertCaption = LangStrOr(239, "Вставить в обработчик");
  CancelCaption = LangStrOr(16, "Отмена");
  for (int program = 0; program < kGmInstrumentCount; ++program) {
    Items.push_back(std::to_string(program) + " - " + GmInstrumentName(program));
  }
  Item = std::min<int32_t>(LastInstrumentItem, kGmInstrumentCount - 1);
  SetUpField(Bank, kLastBank);
  Bank.Rule = [](TNumberField& f) { Bounded(f, kLastBank); };
  Bank.Text = std::to_string(std::min(LastBank, kLastBank));
}

void TInstrumentsDialog::Activate() {
  AuditionKey = kFirstAuditionKey;
}

void TInstrumentsDialog::Audition(int key) {
  INotePreview& preview = *window_.Ports().NotePreview;
  const int port = AuditionPort(window_);
  const int channel = AuditionChannel(window_);
  if (channel >= 0) {
    if (AuditionKey > 0) {
      preview.SendNote(port, false, AuditionKey, channel, kAuditionVelocity);
    }
    AuditionKey = static_cast<uint8_t>(key);
    preview.SendProgramChange(port, channel, Item);
    if (AuditionKey > 0) {
      preview.SendNote(port, true, AuditionKey, channel, kAuditionVelocity);
    }
  } else {
    AuditionKey = static_cast<uint8_t>(key);
  }
  AuditionCountdown = kAuditionTicks;
  timer_.Start(kAuditionTickMs);
}

void TInstrumentsDialog::Select(int32_t item) {
  if (closed_ || item < 0 || item >= kGmInstrumentCount) {
    return;
  }
  Item = item;
  Audition(AuditionKey);
}

void TInstrumentsDialog::Play() {
  if (closed_) {
    return;
  }
  Keep();
  int key = AuditionKey + 10;
  if (key > 100) {
    key = 30;
  }
  Audition(key);
}

void TInstrumentsDialog::Tick() {
  if (AuditionCountdown == 0) {
    return;  // the note was stopped already
  }
  --AuditionCountdown;
  if (AuditionCountdown > 0) {
    timer_.Start(kAuditionTickMs);
    return;
  }
  const int channel = AuditionChannel(window_);
  if (AuditionKey > 0 && channel >= 0) {
    window_.Ports().NotePreview->SendNote(AuditionPort(window_), false, AuditionKey, channel, kAuditionVelocity);
  }
}

bool TInstrumentsDialog::Insert() {
  if (closed_) {
    return false;
  }
  IEditors* editors = window_.Ports().Editors;
  if (window_.CurrentTrack == nullptr || editors == nullptr) {
    window_.Ports().Signaller->Signal(sError);
    Cancel();
    return false;
  }
  Bank.Confirm();
  window_.Saved(window_.EditLabel(1681, "установку инструмента", ""));
  // The program editor's lines: the lines it hides (the port directive, a plug-in's) stay
  // where they are and do not move the block.
  std::vector<std::string> lines = editors->ProgramLines();
  const int32_t column = editors->ProgramCaretColumn();
  const auto caretLine = static_cast<size_t>(std::clamp<int32_t>(editors->ProgramCaretLine(), 0,
                                                                  static_cast<int32_t>(lines.size())));
  std::optional<size_t> block;
  for (size_t i = 0; i < lines.size();) {
    if (lines[i].find(kInstrumentBlockMark) != std::string::npos) {
      block = block.value_or(i);
      lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
  const size_t at = block.value_or(caretLine);
  const uint32_t bank = Bank.Value();
  const std::string mark = std::string(" ") + kInstrumentBlockMark;
  const std::vector<std::string> statements = {
      "Controller 0 In " + std::to_string(bank / 128) + mark,
      "Controller 32 In " + std::to_string(bank % 128) + mark,
      "Instrument " + std::to_string(Item) + mark,
  };
  std::vector<std::string> inserted = statements;
  if (!block) {
    inserted.insert(inserted.begin(), "");
    inserted.push_back("");
  }
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), inserted.begin(), inserted.end());
  editors->SetProgramLines(lines);
  editors->SetProgramCaret(column, static_cast<int32_t>(at + 3));
  window_.CommitEditors();
  window_.Ports().Signaller->Signal(sOk);
  Cancel();
  return true;
}

void TInstrumentsDialog::Keep() {
  Bank.Confirm();
  LastBank = static_cast<uint16_t>(std::min<uint32_t>(Bank.Value(), kLastBank));
  LastInstrumentItem = static_cast<uint8_t>(Item);
}

void TInstrumentsDialog::Cancel() {
  if (closed_) {
    return;
  }
  Keep();
  InstrumentListLabel = InstrumentShortLabel();
  window_.Ports().NotePreview->ResetPort(AuditionPort(window_));
  Close();
}

void TInstrumentsDialog::Close() {
  closed_ = true;
  AuditionKey = 0;
  AuditionCountdown = 0;
  timer_.Stop();
}

void TInstrumentsDialog::ListLeft() {
  InstrumentListLabel = InstrumentShortLabel();
  ListLabel = InstrumentListLabel;
}

// ---- The drum table ------------------------------------------------------------------

TDrumsDialog::TDrumsDialog(TSongWindow& window) : Kit(MakeField(window)), window_(window) {
  Caption = LangStrOr(75, "Таблица Ударных");
  if (DrumListLabel.empty()) {
    DrumListLabel = LongLabel(189, 190, "Барабан (чтобы воспроизвести нажмите Space):");
  }
  ListLabel = DrumListLabel;
  NoteLabel = CaptionOf({"NotaText", 188, "Записывается нотой:", ":"});
  KitLabel = CaptionOf({"InstrumentText", 187, "Номер инструмента:", ":"});
  PlayCaption = LangStrOr(186, "Воспроизвести");
  CloseCaption = LangStrOr(185, "Закрыть");
  for (int key = kGmFirstDrumKey; key <= kGmLastDrumKey; ++key) {
    Items.push_back(std::to_string(key) + " - " + GmDrumName(key));
  }
  DrumAuditionKey = 0;
  SetUpField(Kit, kLastDrumKit);
  Kit.Rule = [](TNumberField& f) {
    Bounded(f, kLastDrumKit);
    LastDrumKit = static_cast<uint8_t>(f.Value());
  };
  Kit.Text = std::to_string(std::min<int>(LastDrumKit, kLastDrumKit));
  Item = std::min<int32_t>(LastDrumElement, static_cast<int32_t>(Items.size()) - 1);
  Note = DrumNoteName(Item);
}

void TDrumsDialog::Sound(int channel) {
  INotePreview& preview = *window_.Ports().NotePreview;
  const int port = AuditionPort(window_);
  if (channel_ >= 0 && DrumAuditionKey > 0) {
    preview.SendNote(port, false, DrumAuditionKey, channel_, kAuditionVelocity);
  }
  DrumAuditionKey = static_cast<uint8_t>(Item + kGmFirstDrumKey);
  preview.SendProgramChange(port, kDrumChannel, static_cast<int>(Kit.Value()));
  channel_ = channel;
  if (channel_ >= 0) {
    preview.SendNote(port, true, DrumAuditionKey, channel_, kAuditionVelocity);
  }
}

void TDrumsDialog::Select(int32_t item) {
  if (closed_ || item < 0 || item >= static_cast<int32_t>(Items.size())) {
    return;
  }
  Item = item;
  Note = DrumNoteName(item);
  LastDrumElement = static_cast<uint8_t>(item);
  Sound(kDrumChannel);
  window_.Ports().Speaker->Speak(Note, 1);
}

void TDrumsDialog::Play() {
  if (!closed_) {
    Sound(AuditionChannel(window_));
  }
}

void TDrumsDialog::ListLeft() {
  DrumListLabel = DrumShortLabel();
  ListLabel = DrumListLabel;
}

void TDrumsDialog::Close() {
  if (closed_) {
    return;
  }
  Kit.Confirm();
  DrumListLabel = DrumShortLabel();
  window_.Ports().NotePreview->ResetPort(AuditionPort(window_));
  closed_ = true;
}
