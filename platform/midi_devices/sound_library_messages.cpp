#include "platform/midi_devices/sound_library_messages.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>
#include <stdlib.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace {

std::atomic<bool> gShown{false};

// ALSA's messages, as its own handler would print them.
void AlsaMessage(const char* file, int line, const char* function, int err, const char* format, ...) {
  if (!gShown) {
    return;
  }
  std::fprintf(stderr, "ALSA lib %s:%i:(%s) ", file, line, function);
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  if (err != 0) {
    std::fprintf(stderr, ": %s", snd_strerror(err));
  }
  std::fputc('\n', stderr);
}

void JackMessage(const char* text) {
  if (gShown) {
    std::fprintf(stderr, "%s\n", text);
  }
}

}  // namespace

void QuietSoundLibraries() {
  static const bool installed = [] {
    setenv("JACK_NO_START_SERVER", "1", 1);
    snd_lib_error_set_handler(&AlsaMessage);
    jack_set_error_function(&JackMessage);
    jack_set_info_function(&JackMessage);
    return true;
  }();
  (void)installed;
}

void ShowSoundLibraryMessages(bool shown) {
  QuietSoundLibraries();
  gShown = shown;
}

bool SoundLibraryMessagesShown() { return gShown; }
