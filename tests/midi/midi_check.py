"""Reads a Standard MIDI File with mido and prints what the C++ tests compare.

Usage: /usr/bin/python3 midi_check.py FILE

Output, one item a line:
  format F / tracks N / division D
  end TRACK 0|1           (1 when the track's last message is end_of_track)
  note TRACK TICK CHANNEL KEY VELOCITY on|off   (absolute ticks, channel 0-based)
  tempo TRACK TICK MICROSECONDS
On a file mido refuses: "refused" and the reason.
"""
import sys

import mido


def main(path):
    try:
        midi = mido.MidiFile(path)
    except Exception as error:  # mido raises several kinds on broken files
        print("refused", type(error).__name__)
        return
    print("format", midi.type)
    print("tracks", len(midi.tracks))
    print("division", midi.ticks_per_beat)
    for index, track in enumerate(midi.tracks):
        tick = 0
        for message in track:
            tick += message.time
            if message.type in ("note_on", "note_off"):
                kind = "on" if message.type == "note_on" else "off"
                print("note", index, tick, message.channel, message.note, message.velocity, kind)
            elif message.type == "set_tempo":
                print("tempo", index, tick, message.tempo)
        last = track[-1].type if len(track) else ""
        print("end", index, 1 if last == "end_of_track" else 0)


if __name__ == "__main__":
    main(sys.argv[1])
