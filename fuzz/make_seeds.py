#!/usr/bin/python3
"""Writes the seed inputs of the fuzz targets into fuzz/seeds/TARGET/ from the test data,
the examples, the installation's rule files and the real Braille melodies.
Usage: fuzz/make_seeds.py [BRAILLE_EXAMPLES_DIR]  (default tests/data/braille-examples)"""
import json
import pathlib
import shutil
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
SEEDS = ROOT / "fuzz" / "seeds"
EXAMPLES = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else ROOT / "tests" / "data" / "braille-examples"


def lines_of(path):
    return path.read_bytes().replace(b"\r\n", b"\n").replace(b"\r", b"\n").split(b"\n")


def write(target, name, data):
    folder = SEEDS / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data)


def songs():
    return sorted((ROOT / "tests" / "data" / "songs").glob("*.qem")) + sorted((ROOT / "examples").glob("*.qem"))


def track_programs(path):
    """The program lines of every track of a song file (header "M P ...", name, M music lines,
    P program lines)."""
    lines = lines_of(path)
    at, programs = 0, []
    while at < len(lines):
        fields = lines[at].split(b" ")
        if len(fields) != 7 or not all(f.isdigit() for f in fields):
            break
        music, program = int(fields[0]), int(fields[1])
        at += 2 + music
        programs.append(lines[at:at + program])
        at += program
    return programs


HANDLER_TEXTS = {
    "loops": b"variable i\nvariable sum=0\nfor i=1 to 8 do\nlet sum=sum+i*2\nendfor\n"
             b"while sum>3 do\nlet sum=sum/2\nendwhile\nsay sum reset\n",
    "blocks": b"module lib\nblock accent\n%0 strength\nkeyon parameter 1 in 1\nendblock\n"
              b"perform accent 100;2\nperform swing 3\nfunction tidy\nrest 1\nendfunction\n",
    "keys": b"keys 1..2\nif keypressed then\nkeylength keylength*0,9 in 1 soft\nelse\n"
            b"keyoff 64 in 1\nendif\nendkeys\n",
    "segments": b"evry 480 offset 10 do\ncontroller 7 in 100 certainly\nendevry\n0..960\n"
                b"pitch sin (positionsong/100)*8191\n1920\ntempo 90\n",
    "arrays": b"array notes=60\nconstant base=48\nlet notes[3]=base+rnd 12\n"
              b"midi tune='tune.mid'\ntune->play 1 from 0\ninterruption stop here\n",
    "errors": b"error \"Too loud: \"\"keyon 1\"\"\"\ntranslator solfa\nnumticks 960\ntranslatoroff\n",
}

HARMONY_MELODIES = {
    "major-cadence": b"35267 maj t53\n45027 s53\n55027 d7\n35027 t53\n",
    "minor": b"31264 min t53\n41024 s6\n21024 d\n31034 t\n",
    "modulation": b"15027 maj t\n25027 ii\n55027 d=s\n15027 t\n05027\n15047 =t\n",
}


def main():
    if SEEDS.exists():
        shutil.rmtree(SEEDS)

    for song in songs():
        write("song_text_fuzz", song.name, b"label\r\n" + song.name.encode() + b"\r\n" + song.read_bytes())
        write("undo_state_fuzz", song.name,
              bytes([12, 0, 0, 0, 0, 1, 0, 0, 0, 3]) + b"qem" + b"label\r\n\r\n" + song.read_bytes())
        for number, program in enumerate(track_programs(song)):
            if program:
                write("handler_compiler_fuzz", f"{song.stem}-{number}", b"\n".join(program) + b"\n")
    write("undo_state_fuzz", "bad-index", bytes([12, 100, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0]))

    for name, text in HANDLER_TEXTS.items():
        write("handler_compiler_fuzz", name, text)

    for case in json.loads((EXAMPLES / "cases.json").read_text()):
        write("braille_translation_fuzz", case["name"], "\n".join(case["music_lines"]).encode() + b"\n")

    for cnv in sorted((ROOT / "resources" / "Translator").glob("*.cnv")):
        rules = [line for line in lines_of(cnv) if b"=" in line]
        text = b"".join(rule.split(b"=")[0] for rule in rules[:12]) + b"{$ab}<x>P)do.()Vb"
        write("translator_fuzz", cnv.stem, text + b"\n" + b"\n".join(lines_of(cnv)))

    rules = (ROOT / "resources" / "Resources" / "qem.hrm").read_bytes()
    for name, melody in HARMONY_MELODIES.items():
        write("harmony_fuzz", name, rules + b"\n==\n" + melody)

    midi = ROOT / "tests" / "data" / "midi"
    for file in sorted(midi.glob("*.mid")) + sorted((midi / "broken").glob("*.mid")):
        write("midi_file_reader_fuzz", file.name, file.read_bytes())


if __name__ == "__main__":
    main()
