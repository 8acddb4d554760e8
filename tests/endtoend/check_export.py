"""Checks an exported song against the notes the Braille translation gives for it.

usage: check_export.py FILE.mid NOTES.txt [TICKS_PER_MEASURE]

NOTES.txt is the output of `velto-tool notes SONG.qem`. The MIDI file must be a format-1
file with one track per song track, a tempo at tick 0 on the control track, an
end-of-track ending every track, a note-off for every note-on, and exactly the notes of
the song: every note starts where the notes say, and a note the notes list but the file
does not start must be the tied continuation of the same key sounding there. Prints the
tempo map ("tempo TICK BPM") and the note count; exit 1 with the reasons on a mismatch.
"""
import sys
from fractions import Fraction

import mido


def read_notes(path, ticks_per_measure):
    """{track: [(onset, key, end)]} from the notes listing."""
    per_track = {}
    for line in open(path, encoding="utf-8"):
        head, _, body = line.partition(":")
        track, measure, _voice = (int(x) for x in head.split())
        notes = body.split()
        lengths = [Fraction(n.rsplit(":", 1)[1]) for n in notes]
        total = sum(lengths)
        if total == 0:
            continue
        whole = Fraction(ticks_per_measure) / total
        tick = Fraction((measure - 1) * ticks_per_measure)
        for note, length in zip(notes, lengths):
            keys = note.rsplit(":", 1)[0]
            end = tick + length * whole
            if keys != "r":
                for key in keys.split("+"):
                    per_track.setdefault(track, []).append((tick, int(key), end))
            tick = end
    return per_track


def read_midi(path):
    """(file, {track: [(on, key, off)]}, problems)."""
    midi = mido.MidiFile(path)
    problems = []
    sounding = {}
    per_track = {}
    for index, track in enumerate(midi.tracks):
        tick = 0
        if not track or track[-1].type != "end_of_track":
            problems.append(f"track {index} does not end with end-of-track")
        for msg in track:
            tick += msg.time
            if msg.type == "note_on" and msg.velocity > 0:
                if (index, msg.channel, msg.note) in sounding:
                    problems.append(f"track {index}: note {msg.note} on twice at {tick}")
                sounding[(index, msg.channel, msg.note)] = tick
            elif msg.type in ("note_off", "note_on"):
                on = sounding.pop((index, msg.channel, msg.note), None)
                if on is None:
                    problems.append(f"track {index}: note-off {msg.note} at {tick} without a note-on")
                else:
                    per_track.setdefault(index, []).append((on, msg.note, tick))
    for (index, _channel, key), on in sounding.items():
        problems.append(f"track {index}: note {key} from {on} never ends")
    return midi, per_track, problems


def compare(expected, played, problems):
    for track in sorted(set(expected) | set(played)):
        want = sorted(expected.get(track, []))
        got = sorted(played.get(track, []))
        starts = {(on, key) for on, key, _ in got}
        wanted_starts = {(on, key) for on, key, _ in want}
        for on, key, _ in got:
            if (on, key) not in wanted_starts:
                problems.append(f"track {track}: note {key} at {on} is not in the song")
        for on, key, end in want:
            if (on, key) in starts:
                continue
            held = any(k == key and a < on < b for a, k, b in got)
            if not held:
                problems.append(f"track {track}: note {key} at {on} is missing")
        for on, key, off in got:
            written_end = max((end for a, k, end in want if k == key and a >= on), default=None)
            if written_end is None or off > written_end or off <= on:
                problems.append(f"track {track}: note {key} at {on} ends at {off}")


def main():
    midi_path, notes_path = sys.argv[1], sys.argv[2]
    ticks_per_measure = int(sys.argv[3]) if len(sys.argv) > 3 else 1920
    expected = read_notes(notes_path, ticks_per_measure)
    midi, played, problems = read_midi(midi_path)
    if midi.type != 1:
        problems.append(f"format {midi.type}, not 1")
    if len(midi.tracks) != max(expected, default=0) + 1:
        problems.append(f"{len(midi.tracks)} tracks for {max(expected, default=0)} music tracks")
    tempos = []
    tick = 0
    for msg in midi.tracks[0]:
        tick += msg.time
        if msg.type == "set_tempo":
            tempos.append((tick, round(mido.tempo2bpm(msg.tempo), 3)))
    if not tempos or tempos[0][0] != 0:
        problems.append("no tempo at tick 0")
    compare(expected, played, problems)
    for t, bpm in tempos:
        print(f"tempo {t} {bpm:g}")
    print(f"notes {sum(len(v) for v in played.values())}")
    for p in problems[:40]:
        print("problem:", p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
