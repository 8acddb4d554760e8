#include "base/error_sources.h"

std::vector<std::string> GHandlerStrings;
std::atomic<uint32_t> GErrorMessageIndex{0};
std::string HarmonyFailText;
