// Short sound signals that confirm or warn.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class TSoundPlayer;

// The signal kinds.
enum TSound : uint8_t { sOk = 0, sError = 1, sTrack = 2, sCaps = 3, sQuestion = 4 };

// The file of a kind under ProgramDir ("Resources/treck.wav", "Resources/caps", ...);
// empty for a kind above 4.
std::string SignalFile(uint8_t kind);

// Plays the signal of Kind (its low seven bits) asynchronously. False, and silent, for a
// kind above 4, a missing file or no audio device. Safe from any thread.
bool PlaySignal(uint8_t kind);

// Plays the signal only when its setting (SignalOK, SignalError, SignalProgress,
// SignalUpCaps, SignalQuestion) is on; false for a kind above 4.
bool Signal(uint8_t kind);

// Replaces the player every signal goes to (tests). Null goes back to the program's
// own player, chosen on first use.
void SetSoundPlayer(std::shared_ptr<TSoundPlayer> player);
