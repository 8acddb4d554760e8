#include "settings/shared_state.h"

std::atomic<bool> GAutoPlayStarted{false};
std::atomic<bool> GAutoPlayEnded{false};
