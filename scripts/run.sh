#!/usr/bin/env bash
# Installs what is missing, builds, and runs the program's main job on an example song.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" release
bin="$root/build/release/bin"
out=$(mktemp -d)
"$bin/velto-tool" roundtrip "$root/examples/ode-to-joy.qem" "$out/ode-to-joy.qem"
cmp "$root/examples/ode-to-joy.qem" "$out/ode-to-joy.qem" && echo "run: the song loaded and saved byte for byte"
