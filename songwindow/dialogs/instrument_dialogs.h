// The instruments dialog (a General MIDI instrument and bank, heard on the current track's
// output and written into its handler program) and the drum table (the drum keys with the
// note each is written as, heard with a drum kit), without widgets. The globals carry the
// last choices from one opening to the next.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "songwindow/parts/number_field.h"

class TSongWindow;
class INoteTimer;

extern uint8_t LastInstrumentItem;        // the instrument chosen when the dialog was left
extern uint16_t LastBank;                 // 0..16383
extern std::string InstrumentListLabel;   // the list's label (code page 1251)
extern uint8_t AuditionKey;               // 60 while the dialog is active, 0 when closed
extern uint8_t AuditionCountdown;         // timer ticks left before the audition stops
extern uint8_t LastDrumKit;               // 0..127
extern uint8_t LastDrumElement;           // drum list index
extern std::string DrumListLabel;         // the drum list's label (code page 1251)
extern uint8_t DrumAuditionKey;           // key of the last drum heard; 0 when none

inline constexpr uint16_t kLastBank = 16383;
inline constexpr int32_t kAuditionTickMs = 10;
inline constexpr uint8_t kAuditionTicks = 255;
// Marks the lines of the instrument block in a handler program.
inline constexpr const char* kInstrumentBlockMark = "{$$$GenerallMidiInstrumentsHelper$$$}";

// The output port and 0-based channel of an audition: the current track's port, else the
// head track's, else 0; the channel is -1 on the control track (nothing is heard there).
int AuditionPort(const TSongWindow& window);
int AuditionChannel(const TSongWindow& window);

// The note a drum key is written as, for drum list index `index` (key index + 27):
// "Си Контр-Октава" for key 35 (code page 1251).
std::string DrumNoteName(int index);

class TInstrumentsDialog {
 public:
  // `timer` is the dialog's 10 ms timer (single shot; Tick when it fires).
  TInstrumentsDialog(TSongWindow& window, INoteTimer& timer);
  TInstrumentsDialog(const TInstrumentsDialog&) = delete;
  TInstrumentsDialog& operator=(const TInstrumentsDialog&) = delete;

  // Captions (code page 1251).
  std::string Caption;
  std::string ListLabel;  // InstrumentListLabel: the usage hint until the list is first left
  std::string BankLabel;
  std::string PlayCaption;
  std::string InsertCaption;
  std::string CancelCaption;

  std::vector<std::string> Items;  // "0 - Acoustic Grand Piano - Фортепиано" ...
  int32_t Item = 0;
  TNumberField Bank;  // 0..16383; Home 0, End 16383

  // The dialog became active: the audition key starts again at 60.
  void Activate();
  // An item selected: the audition key heard with that instrument.
  void Select(int32_t item);
  // Play (Space): the next audition key (60, 70 ... 100, then 30 ...) with the instrument.
  void Play();
  // The timer fired: counts down; at 0 the audition note is stopped, once.
  void Tick();
  // Insert (Enter): the bank and program statements into the handler program, replacing a
  // block inserted before; then the dialog closes. False (the error signal) without a track.
  bool Insert();
  // Cancel, Esc and closing the frame: the choices kept, the port reset.
  void Cancel();
  // The focus left the list: the short label from now on.
  void ListLeft();
  // True once the dialog was left by Insert or Cancel.
  bool Closed() const { return closed_; }

 private:
  void Audition(int key);
  void Keep();
  void Close();

  TSongWindow& window_;
  INoteTimer& timer_;
  bool closed_ = false;
};

class TDrumsDialog {
 public:
  explicit TDrumsDialog(TSongWindow& window);
  TDrumsDialog(const TDrumsDialog&) = delete;
  TDrumsDialog& operator=(const TDrumsDialog&) = delete;

  std::string Caption;
  std::string ListLabel;  // DrumListLabel
  std::string NoteLabel;
  std::string KitLabel;
  std::string PlayCaption;
  std::string CloseCaption;

  std::vector<std::string> Items;  // "27 - High Q" ... "87 - Open Surdo"
  int32_t Item = 0;
  std::string Note;  // the note the selected key is written as
  TNumberField Kit;  // 0..127; every change sets LastDrumKit

  // An element selected: its note shown, heard on the drum channel and spoken.
  void Select(int32_t item);
  // Play (Enter, Space): the selected key on the track's own channel, the kit set on the
  // drum channel.
  void Play();
  void ListLeft();
  // Close, Esc and the frame: the port reset.
  void Close();
  bool Closed() const { return closed_; }

 private:
  void Sound(int channel);

  TSongWindow& window_;
  int channel_ = -1;  // where the drum heard last sounds, so its note-off goes there too
  bool closed_ = false;
};
