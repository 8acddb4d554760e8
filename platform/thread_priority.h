// Thread priorities given as the Windows levels the settings store, applied to the
// calling thread as well as Linux allows.
#pragma once

#include <cstdint>

// The Windows levels: -15 idle, -2 lowest, -1 below normal, 0 normal, 1 above normal,
// 2 highest, 15 time critical. Another value takes the nearest level.
//
// Applies the level to the calling thread: a nice value for -15..2, and a low
// real-time round-robin priority for 15 (falling back to the highest nice value).
// Returns false when the system refused; callers go on regardless.
bool SetCurrentThreadPriority(int32_t windows_level);

// The nice value a Windows level maps to.
int NiceOfPriority(int32_t windows_level);

// Asks for timer wake-ups as close to their deadlines as the kernel gives (the 1 ms
// timer period of the original). Applies to the calling thread; false when refused.
bool RequestFineTimer();
