#!/usr/bin/env bash
# Configures and builds. Usage: scripts/build.sh [release|asan|tsan] (default release).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
kind=${1:-release}
jobs=${VELTO_JOBS:-$(nproc)}
case "$kind" in
  release) flags=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_INTERPROCEDURAL_OPTIMIZATION=ON) ;;
  asan)    flags=(-DCMAKE_BUILD_TYPE=Debug -DVELTO_SANITIZE=ON -DVELTO_BENCH=OFF) ;;
  tsan)    flags=(-DCMAKE_BUILD_TYPE=Debug -DVELTO_TSAN=ON -DVELTO_BENCH=OFF) ;;
  *) echo "build: unknown kind '$kind' (release, asan, tsan)" >&2; exit 2 ;;
esac
build="$root/build/$kind"
cmake -S "$root" -B "$build" -G Ninja "${flags[@]}" >/dev/null
cmake --build "$build" -j "$jobs"
echo "build: $build"
