"""Prints what an exported MIDI file holds, one fact a line, for tests to look for.

usage: midi_facts.py FILE.mid

Lines: "division N"; then per track index T and absolute tick: "T TICK note_on KEY VEL",
"T TICK cc NUMBER VALUE", "T TICK polytouch KEY VALUE", "T TICK time_signature N/D".
"""
import sys

import mido


def main(path):
    midi = mido.MidiFile(path)
    print(f"division {midi.ticks_per_beat}")
    for index, track in enumerate(midi.tracks):
        tick = 0
        for msg in track:
            tick += msg.time
            if msg.type == "note_on" and msg.velocity > 0:
                print(f"{index} {tick} note_on {msg.note} {msg.velocity}")
            elif msg.type == "control_change":
                print(f"{index} {tick} cc {msg.control} {msg.value}")
            elif msg.type == "polytouch":
                print(f"{index} {tick} polytouch {msg.note} {msg.value}")
            elif msg.type == "time_signature":
                print(f"{index} {tick} time_signature {msg.numerator}/{msg.denominator}")


if __name__ == "__main__":
    main(sys.argv[1])
