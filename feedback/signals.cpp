#include "feedback/signals.h"

#include <filesystem>
#include <mutex>

#include "platform/speech_signals/sound_player.h"
#include "settings/settings.h"

namespace {

struct TSignalRow {
  const char* File;  // under ProgramDir
  const char* Name;  // the kind as logs show it
};

// ORDER TSound
constexpr TSignalRow kSignals[] = {
    {"Resources/ok.wav", "sOk"},
    {"Resources/error.wav", "sError"},
    {"Resources/treck.wav", "sTrack"},
    {"Resources/caps", "sCaps"},
    {"Resources/question.wav", "sQuestion"},
};
static_assert(std::size(kSignals) == sQuestion + 1, "one row per TSound");

std::mutex gPlayerMutex;
std::shared_ptr<TSoundPlayer> gPlayer;

std::shared_ptr<TSoundPlayer> CurrentPlayer() {
  std::lock_guard<std::mutex> lock(gPlayerMutex);
  if (!gPlayer) {
    gPlayer = MakeSoundPlayer();
  }
  return gPlayer;
}

bool SettingOf(uint8_t kind) {
  switch (kind) {
    case sOk:
      return SignalOK;
    case sError:
      return SignalError;
    case sTrack:
      return SignalProgress;
    case sCaps:
      return SignalUpCaps;
    case sQuestion:
      return SignalQuestion;
    default:
      return false;
  }
}

}  // namespace

std::string SignalFile(uint8_t kind) {
  if (kind > sQuestion) {
    return {};
  }
  return ProgramDir + kSignals[kind].File;
}

bool PlaySignal(uint8_t kind) {
  kind &= 0x7F;
  if (kind > sQuestion) {
    return false;
  }
  const std::string path = SignalFile(kind);
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) {
    return false;
  }
  return CurrentPlayer()->Play(path, kSignals[kind].Name);
}

bool Signal(uint8_t kind) {
  if (kind > sQuestion || !SettingOf(kind)) {
    return false;
  }
  return PlaySignal(kind);
}

void SetSoundPlayer(std::shared_ptr<TSoundPlayer> player) {
  std::lock_guard<std::mutex> lock(gPlayerMutex);
  gPlayer = std::move(player);
}
