// Short sound signals played from wave files, asynchronously; a new signal replaces the
// one playing. No header of this folder exposes the audio library.
#pragma once

#include <memory>
#include <string>
#include <string_view>

// Plays sound files. Play may be called from any thread and does not wait for the sound.
class TSoundPlayer {
 public:
  virtual ~TSoundPlayer() = default;
  // Starts the wave file `path`, stopping the signal still playing. `kind` names the
  // signal for logs. True when the sound was started.
  virtual bool Play(const std::string& path, std::string_view kind) = 0;
};

// The system's player: libcanberra. Without an audio device every Play returns false.
std::shared_ptr<TSoundPlayer> MakeCanberraPlayer();

// The player the program uses: the log of VELTO_SIGNAL_LOG when that is set and not
// empty, else the system's player.
std::shared_ptr<TSoundPlayer> MakeSoundPlayer();
