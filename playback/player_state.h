// The player state shared by the port table, the player thread and the play controls.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "midi/midi_file_reader.h"

inline constexpr uint8_t kNoValue = 255;  // a controller, key or program never set
inline constexpr int kDrumChannel = 9;    // 0-based: MIDI channel 10

// One MIDI channel (0..15), shared by all ports. Every field is read and written under
// MidiSendLock() (midi_ports.h).
struct TChannelState {
  // Key books of the port table.
  std::array<uint8_t, 128> KeyVelocity{};  // per sounded key: its velocity, 0 = released
  std::array<uint8_t, 128> KeyOrigin{};    // per sounded key: the key asked for before transposition
  int32_t SoundingCount = 0;               // keys held
  bool Muted = false;
  uint8_t LastKey = kNoValue;
  uint8_t LastVelocity = kNoValue;
  uint8_t BankMsb = 0;  // last bank select (controller 0); 127 = a drum kit

  // What the player sent, to send it again after a seek.
  uint8_t Program = 0;
  bool ProgramSet = false;                           // a program change was met
  std::array<uint8_t, 128> ControllerValues{};       // kNoValue = never set
  std::array<uint8_t, 128> ControllerLocked{};       // a locked controller is neither stored nor sent
  uint8_t LastController = kNoValue;
  uint8_t LastControllerValue = kNoValue;
  int32_t PitchBend = -1;                            // value - 8192; -1 = none
  uint8_t FirstController = kNoValue;                // first controller number met in a run
  bool FirstControllerKept = false;
  uint32_t PortsUsed = 0;                            // bit p: a track on port p used the channel
};

// The player: requests from other threads (atomics), the run state of the player
// thread, the transposition and velocity offset of the play controls, and the channels.
struct midi_state_t {
  std::atomic<bool> Silent{false};   // events are read but not sent (seeking)
  std::atomic<bool> Seek{false};     // a seek request
  std::atomic<double> SeekTime{0};   // ms of song time to seek to
  std::atomic<bool> Stop{false};     // a stop request
  std::atomic<bool> Playing{false};  // the player thread plays
  std::atomic<bool> Pause{false};    // playback paused
  std::atomic<bool> FirstNoteSeen{false};
  std::atomic<double> FirstNoteTime{0};  // ms: the clock when the first note on was played
  std::atomic<bool> Finished{false};     // every track reached its end
  std::atomic<uint32_t> TempoRequest{0};  // microseconds per quarter note to set; 0 = none

  // Written by the player thread only.
  double StartTime = 0;    // ms: clock at the start, moved by pauses and seeks
  double Now = 0;          // ms: clock of the pass in progress
  double MsPerTick = 0;    // at the current tempo
  int32_t BendPeak = 0;    // largest pitch-bend deviation met while silent

  std::atomic<int32_t> SoundingTotal{0};   // held keys of all channels
  std::atomic<int32_t> VelocityOffset{0};  // added to every note-on velocity
  std::atomic<int8_t> Transpose{0};        // semitones added to keys outside the drum channel
  // 0 before any MIDI file, then from the file read last: 1 none, 2 GM, 4 GS, 8 XG, 16 MT-32
  std::atomic<uint8_t>& SysExMode = GSysExMode;

  std::array<TChannelState, 16> Channels;

  std::string FileName;                  // "qem.mid" while a rendered song plays
  std::atomic<int32_t> Position{0};      // ticks: the song time of the last event sent
};

extern midi_state_t GPlayer;
