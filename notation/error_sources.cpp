#include "notation/error_sources.h"

std::vector<std::string> GHandlerStrings;
std::atomic<uint8_t> GErrorMessageIndex{0};
std::string HarmonyFailText;
