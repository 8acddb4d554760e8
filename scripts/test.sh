#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: a short fuzz run, the suites under
# ThreadSanitizer, then the suites under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${VELTO_JOBS:-$(nproc)}
"$root/scripts/setup.sh"
"$root/scripts/build.sh" asan
"$root/scripts/build.sh" tsan
# A short run of every fuzz target (clang's libFuzzer); scripts/fuzz.sh SECONDS runs longer.
"$root/scripts/fuzz.sh" 2

echo "test: ThreadSanitizer"
tsan_log="$root/build/tsan/ctest.log"
if ! (cd "$root/build/tsan" && TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1} \
      ctest --output-on-failure -j "$jobs" --timeout 600 > "$tsan_log" 2>&1); then
  cat "$tsan_log"
  exit 1
fi
grep -E "tests passed" "$tsan_log"

echo "test: AddressSanitizer and UndefinedBehaviorSanitizer"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
cd "$root/build/asan"
# ctest's summary closes the output.
ctest --output-on-failure -j "$jobs" --timeout 600
