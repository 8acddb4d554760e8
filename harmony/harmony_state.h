// The harmonizer's record of one note that carries a harmony text.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "harmony/harmony_rules.h"

struct HarmonyState {
  int32_t Key = 0;                       // key signature in force, sharps positive
  uint8_t MelodyVoice = kSoprano;        // the voice that carries the written note
  std::optional<TLads> Lad;              // the mode in force
  std::optional<TLads> NamedLad;         // the mode the text itself names
  std::vector<TChords> Chords;           // candidate chords, in rules order
  size_t Current = 0;                    // candidate being tried; Chords.size() = exhausted
  TSteps Step;                           // the scale step the text names
  THarmonyVoices Voices{};               // a step of 0: no position yet
  std::optional<TSteps> StepsRef;        // after "=": this chord's step in a new key
  std::optional<TLads> LadRef;           // after "=": the new key's mode

  // Directives.
  uint8_t AllowParallels = 0;
  uint8_t NoFrames = 0;                  // no range and crossing check
  uint8_t AllowBassTenorUnison = 0;
  uint8_t AllowAllVoicesSameWay = 0;
  uint8_t AllowBassLeaps = 0;            // two fourths or fifths one way
  uint8_t AllowAugmented = 0;
  uint8_t AllowBassRepetition = 0;
  uint8_t BassSopranoFree = 1;           // 0: bass and soprano may not move the same way
  std::array<uint8_t, 4> Hold{};         // by voice: must keep its pitch
  std::array<uint8_t, 4> Vary{};         // by voice: must change its pitch

  // The written note, kept for every candidate (a step of 0: a rest).
  HarmonyVoiceNote Melody;

  bool Exhausted() const { return Current >= Chords.size(); }
  bool HasPosition() const { return Voices[kBass].Step != 0; }
  bool MelodyIsWrittenBass() const { return MelodyVoice == kBass && Melody.Step != 0; }
};
