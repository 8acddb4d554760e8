#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/*_fuzz.cpp) with clang into build/fuzz and runs each for
# SECONDS (default 60). Seeds: the MIDI test files. Usage: scripts/fuzz.sh [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
  echo "fuzz: SECONDS must be a whole number of at least 1" >&2
  exit 2
fi
out="$root/build/fuzz"
mkdir -p "$out"
# The library sources the targets use.
sources=("$root"/playback/midi_{byte_list,event_writer,file_records,file_reader,file_writer}.cpp "$root/notation/errors.cpp" "$root/shell/settings.cpp")
flags=(-std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
       -fno-omit-frame-pointer -Wall -Wextra -I"$root")
seeds="$root/tests/data/midi"
for target in "$root"/fuzz/*_fuzz.cpp; do
  name=$(basename "$target" .cpp)
  binary="$out/$name"
  # Rebuild only when a source or header is newer than the program.
  if [ ! -x "$binary" ] || [ -n "$(find "$root/fuzz" "$root/playback" "$root/notation" "$root/shell" \
        -name '*.[ch]*' -newer "$binary" -print -quit)" ]; then
    clang++ "${flags[@]}" "$target" "${sources[@]}" -o "$binary"
  fi
  corpus="$out/corpus-$name"
  mkdir -p "$corpus"
  echo "fuzz: $name for ${seconds}s"
  "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 \
    "$corpus" "$seeds" "$seeds/broken" 2>"$out/$name.log" || { tail -50 "$out/$name.log"; exit 1; }
  grep -E '^#[0-9]+ *DONE' "$out/$name.log" || tail -1 "$out/$name.log"
done
