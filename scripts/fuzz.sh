#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/*_fuzz.cpp) with clang into build/fuzz and runs each for
# SECONDS (default 60), VELTO_FUZZ_PARALLEL (default 2) at a time, one process each.
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]   (TARGET: a name such as song_text_fuzz)
# Seeds: fuzz/seeds/TARGET/ (made by fuzz/make_seeds.py) and the inputs of faults found,
# fuzz/regressions/TARGET/; dictionary: fuzz/TARGET.dict.
# New inputs gather in build/fuzz/corpus-TARGET; a failing input is kept as
# build/fuzz/TARGET-crash-... (or -timeout-, -leak-, -oom-) and its log as build/fuzz/TARGET.log.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
  echo "fuzz: SECONDS must be a whole number of at least 1" >&2
  exit 2
fi
shift || true
parallel=${VELTO_FUZZ_PARALLEL:-2}
out="$root/build/fuzz"
mkdir -p "$out"
if ! { cmake -S "$root/fuzz" -B "$out" -G Ninja -DCMAKE_CXX_COMPILER=clang++ &&
       cmake --build "$out" -j "${VELTO_JOBS:-$(nproc)}"; } >"$out/build.log" 2>&1; then
  tail -40 "$out/build.log"
  exit 1
fi

names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for target in "$root"/fuzz/*_fuzz.cpp; do
    names+=("$(basename "$target" .cpp)")
  done
fi

# Runs one target for the time given; the log keeps libFuzzer's output.
run_one() {
  local name=$1 corpus="$out/corpus-$1" dict="$root/fuzz/$1.dict"
  local options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
                 -artifact_prefix="$out/$name-")
  if [ -f "$dict" ]; then
    options+=(-dict="$dict")
  fi
  mkdir -p "$corpus"
  local dirs=("$corpus")
  for dir in "$root/fuzz/seeds/$name" "$root/fuzz/regressions/$name"; do
    if [ -d "$dir" ]; then
      dirs+=("$dir")
    fi
  done
  (cd "$out" && "./$name" "${options[@]}" "${dirs[@]}") >"$out/$name.log" 2>&1
}

failed=()
declare -A running=()
report() {
  local name=$1 status=$2
  if [ "$status" -ne 0 ]; then
    failed+=("$name")
    echo "fuzz: $name FAILED (exit $status), log $out/$name.log"
    grep -E 'ERROR|SUMMARY|Test unit written|==[0-9]+==' "$out/$name.log" | head -20 || true
  else
    echo "fuzz: $name $(grep -E '^#[0-9]+[[:space:]]+DONE' "$out/$name.log" | tr -s ' \t' ' ')"
  fi
}
for name in "${names[@]}"; do
  if [ ! -x "$out/$name" ]; then
    echo "fuzz: no target $name" >&2
    exit 2
  fi
  while [ ${#running[@]} -ge "$parallel" ]; do
    set +e
    wait -n -p done_pid "${!running[@]}"
    status=$?
    set -e
    report "${running[$done_pid]}" "$status"
    unset "running[$done_pid]"
  done
  run_one "$name" &
  running[$!]=$name
done
for pid in "${!running[@]}"; do
  set +e
  wait "$pid"
  status=$?
  set -e
  report "${running[$pid]}" "$status"
done
echo "fuzz: ${#names[@]} targets for ${seconds}s each"
[ ${#failed[@]} -eq 0 ]
