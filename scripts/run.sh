#!/usr/bin/env bash
# Installs what is missing, builds, and plays an example song through the built-in
# synthesizer (FluidSynth, device 0). Where no sound output can be opened (a machine
# without a sound card), it says so and renders the song to a MIDI file and a WAV file
# instead.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" release
bin="$root/build/release/bin"
song="$root/examples/${1:-when-the-saints}.qem"
out="$root/build/run"
home="$out/home"  # the program folder: settings and caches stay out of the build tree
mkdir -p "$home"
for folder in Resources Translator Modules; do
  [ -d "$bin/$folder" ] && cp -r "$bin/$folder" "$home/"
done
log="$out/velto.log"
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
