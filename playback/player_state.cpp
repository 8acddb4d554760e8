#include "playback/player_state.h"

midi_state_t GPlayer;
