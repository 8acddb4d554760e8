#include "base/error_sources.h"

TGuardedText GHandlerErrorMessage;
std::string HarmonyFailText;
