// Texts that error messages quote from the handler run-time and the harmonizer.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

// Texts a handler program gives with its own error statements (code page 1251). Filled
// while compiling, only read while rendering.
extern std::vector<std::string> GHandlerStrings;
// Which of GHandlerStrings the last handler error (code 25) used, 0-based. Written by
// the render thread before it sets GErrors.Code.
extern std::atomic<uint32_t> GErrorMessageIndex;
// The harmonizer's reason for code 29 (code page 1251).
extern std::string HarmonyFailText;
