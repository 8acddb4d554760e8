#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and UndefinedBehaviorSanitizer, runs every test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" asan
# A short run of every fuzz target (clang's libFuzzer); scripts/fuzz.sh SECONDS runs longer.
"$root/scripts/fuzz.sh" 2
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
cd "$root/build/asan"
# ctest's summary closes the output.
ctest --output-on-failure -j "${VELTO_JOBS:-$(nproc)}" --timeout 600
