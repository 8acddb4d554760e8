#!/usr/bin/env bash
# Installs what is missing, builds, and opens an example song in the program window, where
# it plays at once through the built-in synthesizer (FluidSynth, device 0). Without a
# display it says so and plays the song without a window; where no sound output can be
# opened either (a machine without a sound card), it says so and renders the song to a
# MIDI file and a WAV file instead.
# Usage: scripts/run.sh [EXAMPLE-NAME | SONG.qem]. VELTO_RUN_BIN (built programs, nothing
# installed or built) and VELTO_RUN_OUT (where its files go) are for the tests.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${VELTO_RUN_BIN:-}
if [ -z "$bin" ]; then
  "$root/scripts/setup.sh"
  "$root/scripts/build.sh" release
  bin="$root/build/release/bin"
fi
song="$root/examples/${1:-when-the-saints}.qem"
if [ -f "${1:-}" ]; then
  song=$1
fi
out=${VELTO_RUN_OUT:-$root/build/run}
home="$out/home"  # the program folder: settings and caches stay out of the build tree
mkdir -p "$home"
for folder in Resources Translator Modules Languages Plugins; do
  [ -d "$bin/$folder" ] && cp -r "$bin/$folder" "$home/"
done
log="$out/velto.log"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "run: opening $song in the program window; it plays at once (Ctrl+Q ends the program)"
  if "$bin/velto" --home "$home" "$song" 2>"$log"; then
    exit 0
  fi
  grep '^velto:' "$log" >&2 || true
  echo "run: the window could not be opened on this display; playing without a window" >&2
else
  echo "run: no display (DISPLAY is not set); playing without a window" >&2
fi
if "$bin/velto" --home "$home" --play "$song" 2>"$log"; then
  echo "run: played $song"
  exit 0
fi
grep '^velto:' "$log" >&2 || true
echo "run: the song could not be played here (no sound output); rendering it to files instead" >&2
name=$(basename "$song" .qem)
"$bin/velto" --home "$home" --export "$song" "$out/$name.mid"
fluidsynth -ni -F "$out/$name.wav" -r 44100 /usr/share/sounds/sf2/TimGM6mb.sf2 "$out/$name.mid" >/dev/null
echo "run: wrote $out/$name.mid and $out/$name.wav (listen with any player, e.g. aplay)"
