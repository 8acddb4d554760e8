"""Checks that a playback sent the note events of an exported song, in the same order.

usage: check_play.py FILE.mid RECORDED.txt

RECORDED.txt holds one sent note event per line: "TIME_MS STATUS KEY" (note-on with
velocity 0 already written as note-off, status 0x80). Per channel the events must come in
the file's order, and every event at the file's time (counted from the first event, 1 ms
of tolerance). Exit 1 with the first differences.
"""
import sys

import mido


def file_events(path):
    events = []
    now = 0.0
    midi = mido.MidiFile(path)
    for msg in midi:  # playback order, times in seconds
        now += msg.time
        if msg.type in ("note_on", "note_off"):
            on = msg.type == "note_on" and msg.velocity > 0
            events.append((now * 1000.0, (0x90 if on else 0x80) | msg.channel, msg.note))
    return events


def recorded_events(path):
    events = []
    for line in open(path):
        t, status, key = line.split()
        events.append((float(t), int(status), int(key)))
    return events


def by_channel(events):
    out = {}
    for t, status, key in events:
        out.setdefault(status & 0x0F, []).append((t, status & 0xF0, key))
    return out


def main():
    want = file_events(sys.argv[1])
    got = recorded_events(sys.argv[2])
    problems = []
    if len(want) != len(got):
        problems.append(f"{len(got)} events sent, the file holds {len(want)}")
    if want and got:
        base_want, base_got = want[0][0], got[0][0]
        want_channels, got_channels = by_channel(want), by_channel(got)
        for channel in sorted(set(want_channels) | set(got_channels)):
            a = want_channels.get(channel, [])
            b = got_channels.get(channel, [])
            for i, (x, y) in enumerate(zip(a, b)):
                if x[1:] != y[1:]:
                    problems.append(f"channel {channel + 1}, event {i}: sent {y[1:]}, file {x[1:]}")
                    break
                if abs((x[0] - base_want) - (y[0] - base_got)) > 1.0:
                    problems.append(f"channel {channel + 1}, event {i}: sent at {y[0] - base_got:.1f} ms, "
                                    f"file at {x[0] - base_want:.1f} ms")
                    break
    print(f"events {len(got)}")
    for p in problems[:20]:
        print("problem:", p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
