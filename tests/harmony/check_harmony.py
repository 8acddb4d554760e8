"""Checks four-part harmony in an exported MIDI file against the rules of classical harmony.

The chords expected come from the harmony texts on the control track of the song, worked
out here from music theory (scales, chords on degrees, figures, modulations), not from the
program's rules. Every harmonized chord must hold the pitch classes of its function and
figure (only a root-position chord may leave out its fifth), its bass the figure's bass
tone and its soprano the tone a position digit names; close and open positions keep their
spacing; the voices stay in their ranges by note name (bass E2-C4, tenor C3-G4, alto
G3-D5, soprano C4-A5), do not cross within a chord nor pass the neighbouring voice's
previous note, and no two voices move from a perfect fifth, octave or unison to the same
interval unless the chord's text says `par`. Every note of the control track must carry a
harmony text.

usage:
  check_harmony.py check SONG.qem SONG.mid PARTS
      PARTS names the voices each music track plays, track by track: "b,t,a,s" is one voice
      per track; "b,tas" a bass track and a track with the three upper voices (a track's
      voices are taken from low to high). Prints each chord, then the problems; exit 1 when
      there are any.
  check_harmony.py generated VELTO HOME WORK SEED COUNT
      Writes COUNT seeded progressions with melodies in the soprano range, exports each with
      `VELTO --home HOME --export` and checks it; a progression the program refuses must end
      in error 29 naming a measure of the song on the control track. Prints "solved N".
"""
import concurrent.futures
import os
import random
import re
import subprocess
import sys

import mido

# ---------------------------------------------------------------- music theory

LETTERS = "CDEFGAB"
ACCIDENTALS = {-2: "bb", -1: "b", 0: "", 1: "#", 2: "##"}
LETTER_PC = [0, 2, 4, 5, 7, 9, 11]
SCALES = {
    "major": [0, 2, 4, 5, 7, 9, 11],
    "harmonic minor": [0, 2, 3, 5, 7, 8, 11],
    "natural minor": [0, 2, 3, 5, 7, 8, 10],
    "melodic minor": [0, 2, 3, 5, 7, 9, 11],
    "harmonic major": [0, 2, 4, 5, 7, 8, 11],
}
# The order in which a modulation that names no mode looks for the new key.
MODE_ORDER = ["major", "harmonic minor", "natural minor", "melodic minor", "harmonic major"]
MODE_WORDS = {"maj": "major", "мажор": "major", "min": "harmonic minor", "минор": "harmonic minor",
              "nmin": "natural minor", "минорн": "natural minor", "mmin": "melodic minor",
              "минорм": "melodic minor", "hmaj": "harmonic major"}
# Function: (fifths from the key to the key the chord is built in, degree there). The
# dominant of the dominant is the dominant of the key a fifth up, and so on.
FUNCTIONS = {"t": (0, 1), "s": (0, 4), "d": (0, 5), "i": (0, 1), "ii": (0, 2), "iii": (0, 3),
             "iv": (0, 4), "v": (0, 5), "vi": (0, 6), "vii": (0, 7), "dd": (1, 5), "ds": (-1, 5)}
# Figure: (seventh chord, chord member in the bass: 0 root, 1 third, 2 fifth, 3 seventh).
FIGURES = {"53": (False, 0), "6": (False, 1), "64": (False, 2), "7": (True, 0), "65": (True, 1),
           "43": (True, 2), "2": (True, 3)}
DIRECTIVES = ["par", "same", "holdb", "holdt", "holda", "holds", "moveb", "movet", "movea",
              "moves", "nobs", "norep", "rep", "aug", "leap", "nouni", "uni", "free", "melb",
              "melt", "mela", "mels"]
DIGIT_MEMBER = {"1": 0, "3": 1, "5": 2, "7": 3}
VOICES = "btas"
NAMES = {"b": "bass", "t": "tenor", "a": "alto", "s": "soprano"}
# Lowest and highest note of each voice as (letter, octave); C4 is middle C. A note is in
# range when its letter and octave are, whatever its accidental.
RANGES = {"b": ((2, 2), (0, 4)), "t": ((0, 3), (4, 4)), "a": ((4, 3), (1, 5)), "s": ((0, 4), (5, 5))}


class Key:
    """A key signature (sharps positive) and a mode; the tonic follows from both."""

    def __init__(self, signature, mode):
        self.signature = signature
        self.mode = mode
        minor = SCALES[mode][2] == 3
        self.tonic_letter = (signature * 4 + (5 if minor else 0)) % 7
        self.tonic_pc = (signature * 7 + (9 if minor else 0)) % 12

    def chord(self, function, seventh):
        """The spelled chord tones [(letter, pitch class)], root first."""
        shift, degree = FUNCTIONS[function]
        key = Key(self.signature + shift, self.mode) if shift else self
        scale = SCALES[self.mode]
        tones = []
        for member in range(4 if seventh else 3):
            index = (degree - 1 + 2 * member) % 7
            tones.append(((key.tonic_letter + index) % 7, (key.tonic_pc + scale[index]) % 12))
        return tones

    def __str__(self):
        alteration = (self.tonic_pc - LETTER_PC[self.tonic_letter] + 6) % 12 - 6
        return f"{LETTERS[self.tonic_letter]}{ACCIDENTALS[alteration]} {self.mode}"


def take(text, words):
    """The longest of words that begins text, or ""."""
    return max((w for w in words if text.startswith(w)), key=len, default="")


class Symbol:
    """One harmony text read as the musician's page describes it:
    [directives] [mode] function figure [position [digit]] [= [mode] function]."""

    def __init__(self, text):
        self.text = text
        body, equals, ref = text.lower().partition("=")
        self.directives = set()
        while word := take(body, DIRECTIVES):
            self.directives.add(word)
            body = body[len(word):]
        mode = take(body, MODE_WORDS)
        self.mode = MODE_WORDS.get(mode)
        body = body[len(mode):]
        self.function = take(body, FUNCTIONS)
        body = body[len(self.function):]
        figure = take(body, FIGURES)
        if not self.function or not figure:
            raise ValueError(f"<{text}> names no function and figure")
        self.seventh, self.bass_member = FIGURES[figure]
        body = body[len(figure):]
        self.position = body[:1] if body[:1] in ("c", "b", "m", "u") else ""
        self.digit = body[1:] if self.position and body[1:] in DIGIT_MEMBER else ""
        if body != self.position + self.digit:
            raise ValueError(f"<{text}> ends in '{body}'")
        ref_mode = take(ref, MODE_WORDS)
        self.ref_mode = MODE_WORDS.get(ref_mode)
        self.ref_function = ref[len(ref_mode):] if equals else None
        if equals and self.ref_function not in FUNCTIONS:
            raise ValueError(f"<{text}>: '{ref}' after '=' is no function")


def keys_of(symbols, signature):
    """The key of every chord: the mode named, kept until another is named; after "=" the
    first key (the mode named there, else MODE_ORDER; signatures -7..7) in which the chord,
    spelled as it is, is the function named."""
    keys = []
    key = None
    for i, sym in enumerate(symbols):
        prev = symbols[i - 1] if i else None
        if prev is not None and prev.ref_function is not None:
            chord = key.chord(prev.function, prev.seventh)
            modes = [prev.ref_mode] if prev.ref_mode else MODE_ORDER
            found = [Key(sig, mode) for mode in modes for sig in range(-7, 8)
                     if Key(sig, mode).chord(prev.ref_function, prev.seventh) == chord]
            if found:
                key = Key(found[0].signature, sym.mode or found[0].mode)
                keys.append(key)
                continue
            if sym.mode is None:
                raise ValueError(f"<{prev.text}>: no key in which the chord is {prev.ref_function}")
        if sym.mode is not None:
            key = Key(key.signature if key else signature, sym.mode)
        if key is None:
            raise ValueError(f"<{sym.text}>: no mode named")
        keys.append(key)
    return keys


def spelled(k, tones):
    """(letter, octave) of MIDI key k spelled as the chord tone of its pitch class, or None."""
    for letter, pc in tones:
        if pc == k % 12:
            alteration = (pc - LETTER_PC[letter] + 6) % 12 - 6
            return letter, (k - alteration) // 12 - 1
    return None


def note_name(k, tones):
    name = spelled(k, tones)
    if name is None:
        return str(k)
    alteration = (k % 12 - LETTER_PC[name[0]] + 6) % 12 - 6
    return LETTERS[name[0]] + ACCIDENTALS[alteration] + str(name[1])


def check_chord(n, sym, key, chord, previous, problems):
    """The rules on one chord ({voice: MIDI key}) after previous (or None)."""
    where = f"chord {n} <{sym.text}> in {key}"
    tones = key.chord(sym.function, sym.seventh)
    have = {k % 12 for k in chord.values()}
    wanted = {pc for _, pc in tones}
    needed = wanted - ({tones[2][1]} if sym.bass_member == 0 else set())
    if not needed <= have <= wanted:
        problems.append(f"{where}: pitch classes {sorted(have)}, not those of the chord {sorted(wanted)}")
    if chord["b"] % 12 != tones[sym.bass_member][1]:
        problems.append(f"{where}: the bass is not the figure's bass tone")
    member = DIGIT_MEMBER.get(sym.digit, 0)
    if sym.digit and (member >= len(tones) or chord["s"] % 12 != tones[member][1]):
        problems.append(f"{where}: the soprano is not the chord's {sym.digit}")
    spread = chord["s"] - chord["t"]
    if (sym.position == "c" and spread > 12) or (sym.position == "b" and spread <= 12):
        problems.append(f"{where}: tenor to soprano {spread} semitones in position {sym.position}")
    if "free" not in sym.directives:
        for v in VOICES:
            (low_letter, low_octave), (high_letter, high_octave) = RANGES[v]
            name = spelled(chord[v], tones)
            place = name[1] * 7 + name[0] if name else None
            if name and not low_octave * 7 + low_letter <= place <= high_octave * 7 + high_letter:
                problems.append(f"{where}: the {NAMES[v]} {note_name(chord[v], tones)} is outside its range")
        if not chord["b"] <= chord["t"] <= chord["a"] <= chord["s"]:
            problems.append(f"{where}: voices cross")
        for lower, upper in ("bt", "ta", "as") if previous else ():
            if chord[lower] > previous[upper] or chord[upper] < previous[lower]:
                problems.append(f"{where}: the {NAMES[lower]} and {NAMES[upper]} overlap")
    for i, x in enumerate(VOICES if previous and "par" not in sym.directives else ""):
        for y in VOICES[i + 1:]:
            before = (previous[y] - previous[x]) % 12
            now = (chord[y] - chord[x]) % 12
            moved = previous[x] != chord[x] and previous[y] != chord[y]
            if moved and before == now and now in (0, 7):
                kind = "fifths" if now == 7 else "octaves"
                problems.append(f"{where}: parallel {kind} between {NAMES[x]} and {NAMES[y]}")


# ---------------------------------------------------------------- song and MIDI file

def read_song(path):
    """(key signature, harmony texts) of the control track, the song's first track."""
    with open(path, "rb") as f:
        lines = f.read().decode("cp1251").split("\r\n")
    music = lines[2:2 + int(lines[0].split()[0])]
    match = re.match(r"([M(]*)V", music[0]) if music else None
    signature = match.group(1).count("M") - match.group(1).count("(") if match else 0
    return signature, re.findall(r"\{\$([^}]*)\}", "".join(music))


def read_chords(path, parts):
    """[{voice: key}] at every time a note starts on a music track, and the problems found;
    parts names the voices of each track."""
    midi = mido.MidiFile(path)
    onsets = {}
    for track, voices in zip(midi.tracks[1:], parts):
        tick = 0
        for msg in track:
            tick += msg.time
            if msg.type == "note_on" and msg.velocity > 0:
                onsets.setdefault(tick, {}).setdefault(voices, []).append(msg.note)
    chords = []
    problems = []
    for tick in sorted(onsets):
        chord = {}
        for voices, keys in onsets[tick].items():
            if len(keys) != len(voices):
                problems.append(f"tick {tick}: {len(keys)} notes for the voices {voices}")
                continue
            for v, k in zip(voices, sorted(keys)):
                if chord.setdefault(v, k) != k:
                    problems.append(f"tick {tick}: two tracks give the {NAMES[v]} {chord[v]} and {k}")
        if set(chord) != set(VOICES):
            problems.append(f"tick {tick}: the voices '{''.join(sorted(chord))}' sound, not all four")
        chords.append(chord)
    return chords, problems


def check_song(song, mid, parts):
    """(the chords as text, the problems)."""
    signature, texts = read_song(song)
    try:
        symbols = [Symbol(t) for t in texts]
        keys = keys_of(symbols, signature)
    except ValueError as e:
        return [], [str(e)]
    chords, problems = read_chords(mid, parts)
    if len(chords) != len(symbols):
        problems.append(f"{len(chords)} chords sound for {len(symbols)} harmony texts")
    listing = []
    previous = None
    for n, (chord, sym, key) in enumerate(zip(chords, symbols, keys), 1):
        if set(chord) == set(VOICES):
            tones = key.chord(sym.function, sym.seventh)
            listing.append(f"chord {n} <{sym.text}> in {key}: " +
                           " ".join(note_name(chord[v], tones) for v in VOICES))
            check_chord(n, sym, key, chord, previous, problems)
            previous = chord
    return listing, problems


# ---------------------------------------------------------------- generated progressions

QUARTERS = "PSNQTOw"  # C D E F G A B
OCTAVE_SIGNS = {4: "L", 5: "!", 6: "K", 7: "@"}  # octave 5 begins at middle C
ACCIDENTAL_SIGNS = {-2: "((", -1: "(", 0: "\\", 1: "M", 2: "MM"}
PART_HANDLER = ["keys", "if keypressed then", "keylength keyname in keylength", "endif", "endkeys"]
# Functions that may follow each one, as in textbook progressions.
NEXT = {"t": "s ii vi d iv dd ds iii", "s": "d dd t ii vii", "ii": "d dd vii", "iv": "d t",
        "vi": "s ii dd iv", "dd": "d", "ds": "s iv", "d": "t vi t", "vii": "t", "iii": "vi iv"}


def key_signature_alteration(signature, letter):
    order = [3, 0, 4, 1, 5, 2, 6]  # F C G D A E B
    if signature > 0 and letter in order[:signature]:
        return 1
    if signature < 0 and letter in order[::-1][:-signature]:
        return -1
    return 0


def read_vocabulary(path):
    """{(figure, position letter): soprano degrees} of the [chords] of a rules file."""
    vocabulary = {}
    section = ""
    with open(path, encoding="cp1251") as f:
        text = f.read()
    for line in text.splitlines():
        line = re.sub(r"\{[^}]*\}", "", line).strip().lower()
        if line.startswith("["):
            section = line
        elif section == "[chords]" and "=" in line:
            name, pattern = line.split("=", 1)
            vocabulary.setdefault((name[:-1], name[-1]), set()).add(pattern.strip()[-1])
    return vocabulary


def pick_symbol(rng, vocabulary, function, mode_word):
    """A harmony text on function and the soprano degrees its chords allow."""
    seventh = function in ("d", "dd", "ds", "ii", "vii") and rng.random() < 0.4
    figure = rng.choice(["7", "7", "65", "43", "2"] if seventh else ["53", "53", "53", "6", "6", "64"])
    letters = sorted(letter for fig, letter in vocabulary if fig == figure)
    position = rng.choice(["", "", "", ""] + letters + ["u"])
    sopranos = set().union(*(d for (fig, letter), d in vocabulary.items()
                             if fig == figure and position in ("", "u", letter)))
    digit = rng.choice(sorted(sopranos)) if position in letters and rng.random() < 0.3 else ""
    directives = "".join(d for d, p in (("par", 0.05), ("rep", 0.1), ("same", 0.05), ("aug", 0.05),
                                        ("leap", 0.05)) if rng.random() < p)
    return directives + mode_word + function + figure + position + digit, {digit} if digit else sopranos


def melody_tone(rng, tones, bass, degrees, previous):
    """A soprano tone of the degrees allowed that moves in no parallel fifth or octave with
    the bass from the previous (bass pitch class, soprano key)."""
    choices = [tones[DIGIT_MEMBER[d]] for d in sorted(degrees)]
    if previous[0] is not None and bass != previous[0]:
        before = (previous[1] - previous[0]) % 12
        fitting = [(letter, pc) for letter, pc in choices
                   if pc == previous[1] % 12 or (pc - bass) % 12 != before or before not in (0, 7)]
        choices = fitting or choices
    return rng.choice(choices)


def generate(rng, vocabulary):
    """(song bytes, melody keys, measures) of one progression in 4/4, a chord a quarter."""
    signature = rng.randint(-4, 4)
    mode_word = rng.choice(["maj", "maj", "min", "min", "nmin", "mmin", "hmaj"])
    count = rng.randint(4, 8)
    picked = [pick_symbol(rng, vocabulary, "t", mode_word)]
    function = "t"
    for _ in range(1, count):
        function = rng.choice(NEXT[function].split())
        picked.append(pick_symbol(rng, vocabulary, function, ""))
    texts = [text for text, _ in picked]
    if count >= 6 and rng.random() < 0.3:
        at = rng.randint(2, count - 3)
        modulated = list(texts)
        modulated[at] += "=" + rng.choice(["s", "d", "t", "majs", "mind"])
        try:
            keys_of([Symbol(t) for t in modulated], signature)
            texts = modulated
        except ValueError:
            pass
    symbols = [Symbol(t) for t in texts]
    melody = []
    cells = []
    previous = (None, 74)
    for sym, key, (_, degrees) in zip(symbols, keys_of(symbols, signature), picked):
        tones = key.chord(sym.function, sym.seventh)
        bass = tones[sym.bass_member][1]
        letter, pc = melody_tone(rng, tones, bass, degrees, previous)
        # the soprano key nearest the last one, a little at random
        k = min((k for k in range(67, 82) if k % 12 == pc),
                key=lambda c: abs(c - previous[1]) + 3 * rng.random())
        previous = (bass, k)
        octave = (k - LETTER_PC[letter] + 6) // 12  # of the written letter, octave 5 from middle C
        melody.append(k)
        cells.append((sym.text, letter, k - 12 * octave - LETTER_PC[letter], octave))
    lines = []
    for start in range(0, count, 4):
        carried = {}
        text = "" if start else ("M" * signature if signature > 0 else "(" * -signature) + "Vd4"
        for harmony, letter, alteration, octave in cells[start:start + 4]:
            sign = ""
            if carried.get(letter, key_signature_alteration(signature, letter)) != alteration:
                sign = ACCIDENTAL_SIGNS[alteration]
                carried[letter] = alteration
            text += "{$" + harmony + "}" + sign + OCTAVE_SIGNS[octave] + QUARTERS[letter]
        lines.append(text + "v" * (4 - len(cells[start:start + 4])))
    tracks = [(lines, ["tempo 120"], 0, "Control")]
    for channel, part in enumerate(VOICES, 1):
        own = ["Vd4{$" + part + "+}m"] + ["m"] * (len(lines) - 1)
        tracks.append((own, PART_HANDLER, channel, NAMES[part]))
    out = []
    for music, program, channel, name in tracks:
        out += [f"{len(music)} {len(program)} {channel} 1 1 1 1", name] + music + program
    return ("\r\n".join(out) + "\r\n").encode("cp1251"), melody, len(lines)


def run_generated(velto, home, work, seed, count):
    """Exports and checks count progressions; 0 when every one is right."""
    os.makedirs(work, exist_ok=True)
    rng = random.Random(seed)
    vocabulary = read_vocabulary(os.path.join(home, "Resources", "qem.hrm"))
    songs = [generate(rng, vocabulary) for _ in range(count)]
    # Every track after the first also plays the control track's line, the melody.
    parts = ["b", "ts", "as", "s"]

    def one(n):
        data, melody, measures = songs[n]
        song = os.path.join(work, f"progression{n}.qem")
        mid = os.path.join(work, f"progression{n}.mid")
        with open(song, "wb") as f:
            f.write(data)
        run = subprocess.run([velto, "--home", home, "--export", song, mid], capture_output=True, text=True)
        texts = read_song(song)[1]
        if run.returncode != 0:
            # The place in the language velto.ini chooses; built in, it is Russian.
            m = re.search(r'(?:track|трек) 0 "Control", (?:measure|такт) (\d+), (?:voice|голос) 1: '
                          r'(?:error|ошибка) 29: .*<(.*)>', run.stderr)
            placed = m and 1 <= int(m.group(1)) <= measures and m.group(2) in texts
            if run.returncode != 1 or not placed:
                return False, [f"refused without error 29 at a measure of the song: {run.stderr}"]
            return False, []
        problems = check_song(song, mid, parts)[1]
        sopranos = [c.get("s") for c in read_chords(mid, parts)[0]]
        if sopranos != melody:
            problems.append(f"the soprano {sopranos} is not the melody {melody}")
        return True, [f"progression{n} {' '.join(texts)}: {p}" for p in problems]

    solved = 0
    failed = False
    with concurrent.futures.ThreadPoolExecutor(max_workers=4) as pool:
        for ok, problems in pool.map(one, range(count)):
            solved += ok
            failed = failed or bool(problems)
            for p in problems:
                print(p)
    print(f"solved {solved} of {count}")
    return 1 if failed else 0


def main():
    if len(sys.argv) == 5 and sys.argv[1] == "check":
        listing, problems = check_song(sys.argv[2], sys.argv[3], sys.argv[4].split(","))
        for line in listing:
            print(line)
        for p in problems[:40]:
            print("problem:", p)
        return 1 if problems else 0
    if len(sys.argv) == 7 and sys.argv[1] == "generated":
        return run_generated(sys.argv[2], sys.argv[3], sys.argv[4], int(sys.argv[5]), int(sys.argv[6]))
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main())
