#include "settings/shared_state.h"

std::atomic<bool> GAutoPlayStarted{false};
std::atomic<bool> GAutoPlayEnded{false};
std::vector<std::string> TranslatorRules;
std::vector<std::string> HeadTranslatorRules;
