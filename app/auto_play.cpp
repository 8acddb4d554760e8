#include "app/auto_play.h"

#include "settings/shared_state.h"

bool PlaysAtOnce(size_t songsGiven, bool opened) {
  return songsGiven == 1 && opened;
}

void AutoPlayStarting() {
  GAutoPlayEnded = false;
  GAutoPlayStarted = true;
}

void AutoPlayNotStarted() {
  GAutoPlayStarted = false;
}

void AutoPlayForgotten() {
  GAutoPlayStarted = false;
  GAutoPlayEnded = false;
}

bool ClosesOnActivation() {
  if (!GAutoPlayEnded) {
    return false;
  }
  GAutoPlayEnded = false;
  GAutoPlayStarted = false;
  return true;
}
