#!/usr/bin/env bash
# Makes the signal sounds of resources/Resources/ with sox. The same sox gives the same
# bytes: no dither, fixed random seed. Mono, 16 bit, 22050 Hz, each under a third of a second.
# Usage: scripts/make-signals.sh [OUTDIR]   (default resources/Resources)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="${1:-$root/resources/Resources}"
mkdir -p "$out"
fmt=(-r 22050 -c 1 -b 16 -e signed-integer -t wav)

# sTrack, the progress tick: a short high click.
sox -R -D -n "${fmt[@]}" "$out/treck.wav" synth 0.04 sine 1760 fade t 0.002 0.04 0.03 gain -6
# sCaps, a capital letter: a quick rising glide (the file has no extension).
sox -R -D -n "${fmt[@]}" "$out/caps" synth 0.08 sine 900:1500 fade t 0.005 0.08 0.03 gain -8
# sOk, for the asterisk beep: two soft bell partials.
sox -R -D -n "${fmt[@]}" "$out/ok.wav" synth 0.18 sine 1047 sine 1568 remix 1,2 fade t 0.005 0.18 0.15 gain -9
# sError, for the hand beep: a low buzz, two pulses.
sox -R -D -n "${fmt[@]}" "$out/error.wav" synth 0.1 square 196 fade t 0.005 0.1 0.02 repeat 1 gain -14
# sQuestion, for the question beep: two notes going up.
sox -R -D -n "${fmt[@]}" "$out/q1.tmp.wav" synth 0.09 sine 660 fade t 0.005 0.09 0.02
sox -R -D -n "${fmt[@]}" "$out/q2.tmp.wav" synth 0.12 sine 990 fade t 0.005 0.12 0.06
sox -R -D "$out/q1.tmp.wav" "$out/q2.tmp.wav" "${fmt[@]}" "$out/question.wav" gain -8
rm -f "$out/q1.tmp.wav" "$out/q2.tmp.wav"
ls -l "$out/treck.wav" "$out/caps" "$out/ok.wav" "$out/error.wav" "$out/question.wav"
