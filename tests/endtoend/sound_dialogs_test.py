"""End-to-end tests of the windows that sound or stop a render: the instruments dialog and
the drum table heard on the MIDI log device, and the snapshot window of an `interruption`
statement read over AT-SPI, continued and stopped; with Orca running, both read by it.

usage: sound_dialogs_test.py BIN_DIR SOURCE_DIR SCENARIO
scenarios: instruments, snapshot, orca_sound
"""
import os
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # no cache beside the sources
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from main_window_test import (activate_main_window, fail, find, find_in, focus_main_window, focused, key, note_ons,  # noqa: E402
                              nodes, open_song, text_of, wait_for, write_song,
                              run_scenario, quit_without_saving)
from accessibility_test import Orca  # noqa: E402

INSTRUMENTS = "Список инструментов General Midi"
DRUMS = "Таблица ударных General Midi"
VARIABLES = "Переменные/Константы"
PROGRAM_EDITOR = "Обработчик для текущего трека"
CONTROL = ["1 1 0 1 0 0 0", "Общее", "Vd4m", "tempo 240"]
# The interruption at the start of measure 2: the melody's later measures sound other keys
# than its first one, so a note of them tells that the render went past the statement.
MELODY = ["!PSNQ", "!TOwO", "!OwOw"]
MELODY_KEYS = [60, 62, 64, 65, 67, 69, 71, 69, 69, 71, 69, 71]  # C D E F, G A B A, A B A B
SNAPSHOT = "look at shade"
HANDLER = ["variable shade=7", "1920", "interruption " + SNAPSHOT]
ALL_NOTES_OFF = 123


def instruments_song(folder):
    path = os.path.join(folder, "instruments.qem")
    write_song(path, CONTROL + ["1 0 1 1 0 0 0", "Мелодия", "!PSNQ", "1 0 10 1 0 0 0", "Ударные", "!P"])
    return path


def snapshot_song(folder, handler=HANDLER):
    path = os.path.join(folder, "snapshot.qem")
    write_song(path, CONTROL + ["%d %d 1 1 0 0 0" % (len(MELODY), len(handler)), "Мелодия"] +
               MELODY + handler)
    return path


def list_in(root, name=None):
    """The first list under root, or the one named `name`."""
    for node in nodes(root):
        try:
            if node.getRoleName() in ("list", "list box") and (name is None or node.name == name):
                return node
        except Exception:
            continue
    return None


def messages_since(program, start):
    return [m for _, m in program.midi()[start:]]


def wait_messages(program, start, want):
    """Waits until the MIDI log holds `want` (byte lists, program changes by their first two
    bytes) in order right after entry `start`."""
    def heard():
        got = messages_since(program, start)[:len(want)]
        return len(got) == len(want) and all(g[:len(w)] == w for g, w in zip(got, want))
    wait_for(lambda: "MIDI %r (sent %r)" % (want, messages_since(program, start)[:12]), heard)


def port_reset(messages):
    """True when every channel got all sound off, reset controllers and all notes off."""
    return all(any(m[:2] == [0xB0 + channel, controller] for m in messages)
               for channel in range(16) for controller in (120, 121, ALL_NOTES_OFF))


def scenario_instruments(bin_dir, source_dir):
    """F6 opens the instruments dialog; Down sounds the next instrument on the track's
    channel (note-off, program change, note-on of key 60), Space a step higher (key 70);
    Enter writes the instrument's statements into the program editor and resets the port.
    F7 on the drum track sounds the next drum on channel 10; Esc resets the port."""
    work = tempfile.mkdtemp(prefix="velto-songs-")
    program, notes = open_song(bin_dir, instruments_song(work))
    key("ctrl+Prior", "ctrl+Down")
    wait_for("the melody", lambda: text_of(notes)[0] == "!PSNQ")
    key("F6")
    dialog = wait_for("the instruments dialog", lambda: find("dialog", INSTRUMENTS))
    items = wait_for("its list", lambda: list_in(dialog))
    wait_for("focus on the list", lambda: focused(items))
    start = len(program.midi())
    key("Down")
    wait_messages(program, start, [[0x80, 60, 81], [0xC0, 1], [0x90, 60, 81]])
    start = len(program.midi())
    key("space")
    wait_messages(program, start, [[0x80, 60, 81], [0xC0, 1], [0x90, 70, 81]])
    start = len(program.midi())
    key("Return")
    wait_for("the dialog to close", lambda: find("dialog", INSTRUMENTS) is None)
    wait_for(lambda: "the port reset (sent %r)" % (messages_since(program, start)[:8],),
             lambda: port_reset(messages_since(program, start)))
    handler = wait_for("the program editor", lambda: find("text", PROGRAM_EDITOR))

    def statements():
        return [line.split("{")[0].strip() for line in text_of(handler)[0].split("\n") if line.strip()]
    wait_for(lambda: "the instrument's statements (the editor holds %r)" % (text_of(handler)[0],),
             lambda: statements() == ["Controller 0 In 0", "Controller 32 In 0", "Instrument 1"])
    focus_main_window()
    wait_for("focus on the program editor", lambda: focused(handler))
    key("Tab")
    wait_for("focus on the Braille editor", lambda: focused(notes))
    key("ctrl+Down")
    wait_for("the drum track", lambda: text_of(notes)[0] == "!P")
    key("F7")
    dialog = wait_for("the drum table", lambda: find("dialog", DRUMS))
    drums = wait_for("its list", lambda: list_in(dialog))
    wait_for("focus on the drum list", lambda: focused(drums))
    start, said = len(program.midi()), len(program.said())
    key("Down")
    wait_for(lambda: "a drum on channel 10 (sent %r)" % (messages_since(program, start),),
             lambda: [0x99, 28, 81] in messages_since(program, start))
    if any(m[0] & 0xF0 == 0x90 and m[0] != 0x99 for m in messages_since(program, start)):
        fail("a drum sounded on another channel: %r" % messages_since(program, start))
    # Key 28 is E of the contra octave (keys 24..35).
    program.wait_said(["I Ми Контр-октавы"], said)
    start = len(program.midi())
    key("Escape")
    wait_for("the drum table to close", lambda: find("dialog", DRUMS) is None)
    wait_for(lambda: "the port reset (sent %r)" % (messages_since(program, start)[:8],),
             lambda: port_reset(messages_since(program, start)))
    focus_main_window()
    quit_without_saving(program)


def exported_ticks(bin_dir, home, song):
    """(division, note-on ticks and keys of the melody) of the song exported."""
    import mido
    out = song + ".mid"
    run = subprocess.run([os.path.join(bin_dir, "velto"), "--home", home, "--export", song, out],
                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=60)
    if run.returncode != 0:
        fail("--export failed: %r" % run.stdout)
    midi = mido.MidiFile(out)
    ons = []
    for track in midi.tracks:
        tick = 0
        for message in track:
            tick += message.time
            if message.type == "note_on" and message.velocity > 0:
                ons.append((tick, message.note))
    return midi.ticks_per_beat, sorted(ons)


def held_keys(messages):
    """The (channel, key) pairs still sounding after the messages."""
    held = set()
    for m in messages:
        kind, channel = m[0] & 0xF0, m[0] & 0x0F
        if kind == 0x90 and len(m) == 3 and m[2] > 0:
            held.add((channel, m[1]))
        elif kind in (0x80, 0x90) and len(m) == 3:
            held.discard((channel, m[1]))
        elif kind == 0xB0 and m[1] in (120, ALL_NOTES_OFF):
            held = {h for h in held if h[0] != channel}
    return held


def played_keys(program, start):
    return [k for _, k, v in note_ons(program.midi()[start:]) if v > 0]


def snapshot_window():
    return find("dialog", SNAPSHOT)


def read_snapshot(window):
    """The variables list's entries and the value field's text, as AT-SPI reads them."""
    variables = wait_for("the list " + VARIABLES, lambda: list_in(window, VARIABLES))
    entries = [child.name for child in variables]
    value = wait_for("the field Значение", lambda: find_in(window, "text", "Значение"))
    return entries, text_of(value)[0]


def start_play(program):
    """Ctrl+Shift+Space once the play keys are on; the MIDI log's length before it."""
    wait_for("the play keys on", lambda: enabled("menu item", "Воспроизвести всё"))
    start = len(program.midi())
    key("ctrl+shift+space")
    return start


def enabled(role, name):
    import pyatspi
    node = find(role, name)
    return node is not None and node.getState().contains(pyatspi.STATE_ENABLED)


def scenario_snapshot(bin_dir, source_dir):
    """A play from the window stops at the interruption: its window, named after the
    statement, lists the handler's variable with its value; Enter continues and the rest of
    the song sounds as written. Played again, the window starts on its list (a new play
    shows it as never shown); left open, the play Stop in the song window (Esc) closes it and ends the play: all notes off and
    no note of the measures after the statement."""
    work = tempfile.mkdtemp(prefix="velto-songs-")
    song = snapshot_song(work)
    program, notes = open_song(bin_dir, song)
    division, ons = exported_ticks(bin_dir, program.home, song)
    interruption = 4 * division  # the time line "1920" at the start of measure 2
    early = {k for t, k in ons if t <= interruption}
    late = {k for t, k in ons if t > interruption}
    if not late or early & late:
        fail("the song does not tell the measures apart: %r" % ons)
    expected = MELODY_KEYS
    if [k for _, k in ons] != expected:
        fail("the export holds %r, the melody is %r" % (ons, expected))

    start = start_play(program)
    window = wait_for("the snapshot window", snapshot_window)
    entries, value = read_snapshot(window)
    if not any(entry.split(".")[-1] == "shade" for entry in entries) or value != "7":
        fail("the snapshot shows %r with the value %r" % (entries, value))
    if set(played_keys(program, start)) & late:
        fail("notes after the interruption before it was answered: %r" % played_keys(program, start))
    key("Return")
    wait_for("the snapshot window to close", lambda: snapshot_window() is None)
    wait_for(lambda: "the rest of the song (sent %r, expected %r)" % (played_keys(program, start), expected),
             lambda: played_keys(program, start) == expected or
             (len(played_keys(program, start)) >= len(expected) and
              fail("sent %r, expected %r" % (played_keys(program, start), expected))))

    focus_main_window()
    wait_for("focus on the Braille editor", lambda: focused(notes))
    start = start_play(program)
    window = wait_for("the snapshot window again", snapshot_window)
    # A new play: the window starts on its list, as if never shown, not on the value.
    wait_for("the new play's snapshot window on its list",
             lambda: (lambda variables: variables is not None and focused(variables))(
                 list_in(window, VARIABLES)))
    activate_main_window()  # the song window takes the keys, the snapshot window stays open
    wait_for("focus on the Braille editor", lambda: focused(notes))
    if snapshot_window() is None:
        fail("the snapshot window closed when the song window got the keys")
    key("Escape")
    wait_for("the snapshot window to go", lambda: snapshot_window() is None)
    wait_for("the play keys back", lambda: enabled("menu item", "Воспроизвести всё"))
    wait_for(lambda: "no key left sounding (held %r)" % (held_keys(messages_since(program, start)),),
             lambda: not held_keys(messages_since(program, start)))
    if set(played_keys(program, start)) & late:
        fail("the stopped play sounded notes after the interruption: %r" % played_keys(program, start))
    quit_without_saving(program)


def orca_said(orca, text):
    return any(text in line for line in orca.spoken())


def scenario_orca_sound(bin_dir, source_dir):
    """With Orca running: F6 opens the instruments dialog and the play of a song with an
    interruption its snapshot window; Orca names each (never the snapshot's page stack as a
    "layered pane"), and the program answers the next key
    (the instrument sounded, the Braille editor's move spoken)."""
    work = tempfile.mkdtemp(prefix="velto-orca-")
    song = snapshot_song(work)
    orca = Orca(work)
    program = None
    try:
        program, notes = orca.open_song(bin_dir, song)
        key("ctrl+Prior", "ctrl+Down")
        wait_for("the melody", lambda: text_of(notes)[0] == MELODY[0], timeout_s=60)
        key("F6")
        wait_for("the instruments dialog", lambda: find("dialog", INSTRUMENTS), timeout_s=60)
        wait_for(lambda: "Orca naming the instruments dialog (it said %r)" % (orca.spoken()[-6:],),
                 lambda: orca_said(orca, INSTRUMENTS), timeout_s=60)
        start = len(program.midi())
        key("Down")
        wait_for("the next instrument sounded",
                 lambda: [0xC0, 1] in [m[:2] for m in messages_since(program, start)], timeout_s=60)
        key("Escape")
        wait_for("the dialog to close", lambda: find("dialog", INSTRUMENTS) is None, timeout_s=60)
        focus_main_window()
        key("Tab")  # from the program editor the instruments command left the focus in
        wait_for("focus on the Braille editor", lambda: focused(notes), timeout_s=60)

        heard = len(orca.spoken())
        start = start_play(program)
        wait_for("the snapshot window", snapshot_window, timeout_s=60)
        wait_for(lambda: "Orca naming the snapshot window (it said %r)" % (orca.spoken()[-6:],),
                 lambda: orca_said(orca, SNAPSHOT) and orca_said(orca, VARIABLES), timeout_s=60)
        spoken = orca.spoken()[heard:]
        opened = max(i for i, line in enumerate(spoken) if SNAPSHOT in line)
        if any("layered pane" in line for line in spoken[opened:]):
            fail("Orca said the snapshot window's page stack: %r" % spoken[opened:])
        key("Return")
        wait_for("the snapshot window to close", lambda: snapshot_window() is None, timeout_s=60)
        focus_main_window()
        wait_for("focus on the Braille editor", lambda: focused(notes), timeout_s=60)
        said = len(program.said())
        key("alt+Right")
        program.wait_said(["I Такт 2", "S " + MELODY[1]], said)
        quit_without_saving(program)
    finally:
        if program is not None and program.process.poll() is None:
            program.process.kill()
        orca.stop()


if __name__ == "__main__":
    run_scenario(globals())
