"""Writes the MIDI reader's test corpus into this folder (run once; the files are kept).

Usage: /usr/bin/python3 make_files.py
Good files are written by mido in formats 0, 1 and 2; the wrapped, padded and broken ones
are made from them byte by byte.
"""
import os
import struct

import mido

HERE = os.path.dirname(os.path.abspath(__file__))


def path(name):
    return os.path.join(HERE, name)


def melody(channel, base, velocity=90):
    """A short phrase: notes, a program change, a pitch bend and a controller."""
    track = mido.MidiTrack()
    track.append(mido.Message("program_change", channel=channel, program=base % 128, time=0))
    track.append(mido.Message("control_change", channel=channel, control=7, value=100, time=0))
    for i, key in enumerate((base, base + 4, base + 7, base + 12)):
        track.append(mido.Message("note_on", channel=channel, note=key, velocity=velocity - i, time=0 if i == 0 else 60))
        track.append(mido.Message("note_off", channel=channel, note=key, velocity=40, time=420))
    track.append(mido.Message("pitchwheel", channel=channel, pitch=1000, time=10))
    track.append(mido.Message("note_on", channel=channel, note=base + 1, velocity=70, time=0))
    track.append(mido.Message("note_on", channel=channel, note=base + 1, velocity=0, time=240))
    return track


def tempo_track():
    track = mido.MidiTrack()
    track.append(mido.MetaMessage("track_name", name="tempo", time=0))
    track.append(mido.MetaMessage("time_signature", numerator=3, denominator=4, time=0))
    track.append(mido.MetaMessage("set_tempo", tempo=500000, time=0))
    track.append(mido.MetaMessage("set_tempo", tempo=400000, time=960))
    track.append(mido.MetaMessage("text", text="tempo change", time=0))
    track.append(mido.MetaMessage("set_tempo", tempo=750000, time=960))
    return track


def save(midi, name):
    midi.save(path(name))
    with open(path(name), "rb") as f:
        return f.read()


def good_files():
    f0 = mido.MidiFile(type=0, ticks_per_beat=480)
    t = melody(0, 60)
    t.insert(0, mido.MetaMessage("set_tempo", tempo=600000, time=0))
    f0.tracks.append(t)
    save(f0, "format0.mid")

    f1 = mido.MidiFile(type=1, ticks_per_beat=480)
    f1.tracks.extend([tempo_track(), melody(0, 60), melody(9, 36, 100), melody(3, 72)])
    format1 = save(f1, "format1.mid")

    f2 = mido.MidiFile(type=2, ticks_per_beat=96)
    f2.tracks.extend([melody(1, 48), melody(2, 55)])
    save(f2, "format2.mid")

    for name, data in (("gs.mid", [0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41]),
                       ("xg.mid", [0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00]),
                       ("gm.mid", [0x7E, 0x7F, 0x09, 0x01])):
        f = mido.MidiFile(type=1, ticks_per_beat=480)
        t = mido.MidiTrack([mido.Message("sysex", data=data, time=0)])
        t.extend(melody(0, 60))
        f.tracks.append(t)
        save(f, name)

    f = mido.MidiFile(type=1, ticks_per_beat=480)
    t = mido.MidiTrack([mido.MetaMessage("text", text="intro\r\nMT-32", time=0)])
    t.extend(melody(0, 60))
    f.tracks.append(t)
    save(f, "mt32.mid")
    return format1


def riff(smf):
    """An RMID wrapper: RIFF, size, RMID, data, size, then the file."""
    body = b"RMID" + b"data" + struct.pack("<I", len(smf)) + smf
    return b"RIFF" + struct.pack("<I", len(body)) + body


def chunk(tag, data):
    return tag + struct.pack(">I", len(data)) + data


def header(fmt, count, division, length=6):
    return b"MThd" + struct.pack(">IHHH", length, fmt, count, division) + b"\0" * (length - 6)


NOTE = bytes([0x90, 0x3C, 0x40, 0x60, 0x80, 0x3C, 0x40])  # note on, delta 96, note off
EOT = bytes([0x00, 0xFF, 0x2F, 0x00])


def write(name, data):
    with open(path(name), "wb") as f:
        f.write(data)


def wrapped_files(format1):
    write("riff.mid", riff(format1))
    write("junk100.mid", bytes(range(100)) + format1)
    write("junk1019.mid", b"x" * 1019 + format1)
    write("long_header.mid", header(0, 1, 96, 10) + chunk(b"MTrk", b"\0" + NOTE + EOT))
    # Declares three tracks, holds two, then data that is no chunk.
    write("missing_track.mid", header(1, 3, 96) + chunk(b"MTrk", b"\0" + NOTE + EOT) * 2 + b"JUNKJUNK")
    # A tempo of 0 microseconds and a time signature with a longer declared length.
    write("odd_meta.mid", header(0, 1, 96) + chunk(b"MTrk", bytes([0, 0xFF, 0x51, 3, 0, 0, 0,
                                                                   0, 0xFF, 0x58, 6, 4, 2, 24, 8, 0x90, 0x90])
                                                   + b"\0" + NOTE + EOT))


def broken_files():
    good = chunk(b"MTrk", b"\0" + NOTE + EOT)
    files = {
        "empty.mid": b"",
        "header_only.mid": b"MThd",
        "header_cut.mid": header(1, 1, 96)[:11],
        "junk1020.mid": b"x" * 1020 + header(0, 1, 96) + good,
        "format3.mid": header(3, 1, 96) + good,
        "division0.mid": header(0, 1, 0) + good,
        "smpte.mid": header(0, 1, 0xE728) + good,
        "chunk_too_long.mid": header(0, 1, 96) + b"MTrk" + struct.pack(">I", 5000) + b"\0" + NOTE + EOT,
        "chunk_header_cut.mid": header(0, 1, 96) + b"MTrk\0\0",
        "varlen5.mid": header(0, 1, 96) + chunk(b"MTrk", b"\x81\x81\x81\x81\x01" + NOTE + EOT),
        "data_byte_high.mid": header(0, 1, 96) + chunk(b"MTrk", bytes([0, 0x90, 0x3C, 0xC0]) + EOT),
        "no_status.mid": header(0, 1, 96) + chunk(b"MTrk", bytes([0, 0x3C, 0x40]) + EOT),
        "meta_past_end.mid": header(0, 1, 96) + chunk(b"MTrk", bytes([0, 0xFF, 0x01, 0x7F, 0x41])),
        "sysex_past_end.mid": header(0, 1, 96) + chunk(b"MTrk", bytes([0, 0xF0, 0x8F, 0x7F, 0x41])),
        "event_cut.mid": header(0, 1, 96) + chunk(b"MTrk", bytes([0, 0x90, 0x3C])),
        "header_length_huge.mid": header(0, 1, 96)[:4] + struct.pack(">I", 0x7FFFFFFF) + header(0, 1, 96)[8:] + good,
        # A whole MIDI file after a RIFF file's sixth word, where "MThd" belongs.
        "riff_no_midi.mid": b"RIFF" + struct.pack("<I", 30 + len(good)) + b"RMIDxxxx"
                            + struct.pack("<I", 18 + len(good)) + b"zzzz" + header(0, 1, 96) + good,
    }
    os.makedirs(path("broken"), exist_ok=True)
    for name, data in files.items():
        write(os.path.join("broken", name), data)


if __name__ == "__main__":
    wrapped_files(good_files())
    broken_files()
