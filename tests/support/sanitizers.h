// What the sanitizer of this build means for tests.
#pragma once

// The device libraries synchronise through code ThreadSanitizer does not see (OpenMP in
// FluidSynth, JACK's lock-free ring buffer); their tests run in the other builds.
#if defined(__SANITIZE_THREAD__)
constexpr bool kUninstrumentedLibrariesRace = true;
#else
constexpr bool kUninstrumentedLibrariesRace = false;
#endif
