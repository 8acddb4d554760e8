"""End-to-end tests of the song window's command keys: moves and undo spoken, a play from
the current measure heard on the MIDI log device and stopped by Esc, and the keys working
from both editors and only in their own window with two songs open.

usage: commands_test.py BIN_DIR SOURCE_DIR SCENARIO
scenarios: moves, play, twosongs, newtrack, autoplay, handoverplay, stopandgo, controlkeys
"""
import os
import shutil
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # no cache beside the sources
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from main_window_test import (Program, activate_main_window, fail, focus_main_window, find, find_text, focused,  # noqa: E402
                              focused_field, key, note_ons, open_song, text_of, type_text, velto_app, wait_for, write_song,
                              run_scenario, quit_without_saving)

CONTROL = ["1 1 0 1 0 0 0", "Общее", "Vd4m", "tempo 240"]
MELODY = ["!PSNQ", "!SNQT", "!QTSN"]


def song_with(folder, name, melody, second_track=True):
    path = os.path.join(folder, name)
    lines = CONTROL + ["%d 0 1 1 0 0 0" % len(melody), "Мелодия"] + melody
    if second_track:
        lines += ["1 0 2 1 0 0 0", "Бас", "!P"]
    write_song(path, lines)
    return path


def enabled(role, name):
    import pyatspi
    node = find(role, name)
    return node is not None and node.getState().contains(pyatspi.STATE_ENABLED)


def scenario_moves(bin_dir, source_dir):
    """Ctrl+Down goes to the next track, Alt+Right twice says "Такт 3", F4 says the place
    then the track, and Alt+Z undoes what was typed, back on the same track; a newest
    snapshot that does not read is shown in one box and the program ends without another."""
    work = tempfile.mkdtemp(prefix="velto-songs-")
    program, notes = open_song(bin_dir, [song_with(work, "moves.qem", MELODY)])
    start = len(program.said())
    key("ctrl+Down")
    program.wait_said(["I 2- Трек: Бас", "S !P"], start)
    key("ctrl+Up")
    wait_for("the melody again", lambda: text_of(notes)[0] == "!PSNQ")
    start = len(program.said())
    key("alt+Right", "alt+Right")
    program.wait_said(["I Такт 2", "S !SNQT", "I Такт 3", "S !QTSN"], start)
    start = len(program.said())
    key("F4", "F4")
    program.wait_said(["I Такт 3", "S Голос 1", "S !QTSN", "I 1- Трек: Мелодия", "S !QTSN"], start)
    key("End")
    type_text("Q")
    wait_for("the typed note", lambda: text_of(notes)[0] == "!QTSNQ")
    start = len(program.said())
    key("alt+z")
    program.wait_said(["I 1- Трек: Мелодия"], start)
    wait_for("the line as it was (now %r)" % (text_of(notes),), lambda: text_of(notes)[0] == "!QTSN")
    # Undo of a snapshot the parser refuses: one box, the line kept, nothing shown again.
    key("End")
    type_text("Q")
    wait_for("a cell typed", lambda: text_of(notes)[0] == "!QTSNQ")
    temp = os.path.join(program.home, "Resources", "temp")
    with open(os.path.join(temp, max(n for n in os.listdir(temp) if n[-4:-2] == ".d")), "w") as snapshot:
        snapshot.write("rubbish\r\nrubbish\r\nrubbish\r\n")  # the newest: the ring has not wrapped
    key("alt+z")
    ok = wait_for("the error box", lambda: find_text("Файл повреждён") and find("push button", "OK"))
    wait_for("the box taking the keys", lambda: focused(ok))
    key("Return")
    wait_for("no box left and the line kept", lambda: find_text("Файл повреждён") is None and focused(notes)
             and text_of(notes)[0] == "!QTSNQ")
    quit_without_saving(program)


def scenario_play(bin_dir, source_dir):
    """Ctrl+Space plays from the current measure: the MIDI log gets the note-ons of the song
    from that measure on, in order; Esc stops a play: all notes off, no note after them,
    the play keys back."""
    work = tempfile.mkdtemp(prefix="velto-songs-")
    song = song_with(work, "play.qem", MELODY, second_track=False)
    program, notes = open_song(bin_dir, [song])
    expected = [62, 64, 65, 67, 65, 67, 62, 64]  # measures 2 and 3: D E F G, F G D E
    key("alt+Right")
    wait_for("measure 2", lambda: text_of(notes)[0] == "!SNQT")
    start = len(program.midi())

    def played():
        return [k for _, k, v in note_ons(program.midi()[start:]) if v > 0]
    key("ctrl+space")
    wait_for("the notes from measure 2 (expected %r)" % (expected,),
             lambda: played() == expected or fail("sent %r, expected %r" % (played(), expected))
             if len(played()) >= len(expected) else False)
    # A long play, stopped: every channel's notes off, no note after them, and the play
    # keys back. The play keys are back once the first play has ended.
    wait_for("the play keys back", lambda: enabled("menu item", "Воспроизвести всё"))
    start = len(program.midi())
    key("ctrl+shift+space")
    wait_for("the play to start", lambda: len(played()) > 0)
    stop = len(program.midi())
    key("Escape")

    def notes_off():
        return next((i for i, (_, m) in enumerate(program.midi()[stop:])
                     if len(m) == 3 and m[0] & 0xF0 == 0xB0 and m[1] == 123), None)
    wait_for("all notes off", lambda: notes_off() is not None)
    wait_for("the play keys back after Esc", lambda: enabled("menu item", "Воспроизвести всё"))
    after = [m for _, m in program.midi()[stop + notes_off():] if m[0] & 0xF0 == 0x90 and m[2] > 0]
    if after:
        fail("notes after the stop: %r" % (after,))
    if len(played()) >= 4 * len(MELODY):
        fail("the stopped play sounded the whole song: %r" % (played(),))
    quit_without_saving(program)


def scenario_twosongs(bin_dir, source_dir):
    """With two songs open the keys act on the window that has the focus only, from the
    Braille editor and from the handler editor."""
    work = tempfile.mkdtemp(prefix="velto-songs-")
    first = song_with(work, "first.qem", MELODY)
    second = song_with(work, "second.qem", ["!QTSN", "!PSNQ"])
    program, notes = open_song(bin_dir, [first, second])
    lines = {"first": MELODY, "second": ["!QTSN", "!PSNQ"]}
    key("ctrl+Prior", "ctrl+Down")  # the melody, whichever track was shown
    shown = wait_for("the melody shown", lambda: text_of(notes)[0] in ("!PSNQ", "!QTSN") and text_of(notes)[0])
    here, other = ("second", "first") if shown == "!QTSN" else ("first", "second")
    start = len(program.said())
    key("alt+Right")
    program.wait_said(["I Такт 2", "S " + lines[here][1]], start)
    key("Tab")
    handler = wait_for("focus on the handler editor", lambda: focused_field("Обработчик для текущего трека"))
    start = len(program.said())
    key("alt+Left", "ctrl+Down")
    program.wait_said(["I Такт 1", "S " + lines[here][0], "I 2- Трек: Бас", "S !P"], start)
    key("ctrl+Up")
    program.wait_said(["I 1- Трек: Мелодия"], start + 4)
    key("shift+space")  # play the voice: on from the handler editor, nothing typed there
    wait_for("the play of the voice", lambda: len(note_ons(program.midi())) > 0)
    if text_of(handler)[0].strip() != text_of(handler)[0]:
        fail("Shift+Space typed into the handler: %r" % (text_of(handler),))
    key("Escape")
    # The other song was not moved by any of these keys.
    start = len(program.said())
    key("ctrl+F6")
    wait_for("the other song", lambda: any(other in line for line in program.said()[start:]))
    wait_for("focus on its Braille editor", lambda: focused_field("Нотный текст"))
    key("ctrl+Prior", "ctrl+Down")
    wait_for("its melody", lambda: text_of(focused_field("Нотный текст"))[0] == lines[other][0])
    start = len(program.said())
    key("F4")
    program.wait_said(["I Такт 1", "S Голос 1", "S " + lines[other][0]], start)
    quit_without_saving(program)


def scenario_newtrack(bin_dir, source_dir):
    """A song written from the keyboard: Ctrl+Down to the next track, Alt+Right twice,
    Ctrl+T adds a track through the properties dialog and Alt+Z takes it away again; a note
    typed, Ctrl+Space plays from the current measure and Esc stops with all notes off; Ctrl+S
    writes a song that reads back unchanged."""
    work = tempfile.mkdtemp(prefix="velto-songs-")
    song = os.path.join(work, "minuet.qem")
    shutil.copy(os.path.join(source_dir, "examples", "minuet-in-g.qem"), song)
    program, notes = open_song(bin_dir, [song])
    key("ctrl+Prior")
    wait_for("the control track", lambda: text_of(notes)[0] == "Vc4m")
    start = len(program.said())
    key("ctrl+Down")
    program.wait_said(["I 1- Трек: Правая рука"], start)
    start = len(program.said())
    key("alt+Right", "alt+Right")
    program.wait_said(["I Такт 2", "S S!TT", "I Такт 3", "S KNdefg"], start)
    key("ctrl+t")
    name = wait_for("the new track's properties", lambda: find("text", "Имя трека"))
    wait_for("focus on the name", lambda: focused(name))
    key("ctrl+a")
    type_text("Flute")
    wait_for("the name typed", lambda: text_of(name)[0] == "Flute")
    start = len(program.said())
    key("Return")
    program.wait_said(["I 2- Трек: Flute"], start)
    focus_main_window()
    wait_for("focus on the Braille editor", lambda: focused(notes))
    start = len(program.said())
    key("alt+z")
    program.wait_said(["I 2- Трек: Левая рука"], start)
    key("ctrl+Up")
    wait_for("measure 3 of the right hand", lambda: text_of(notes)[0] == "KNdefg")
    key("End", "BackSpace")
    type_text("h")  # the last eighth a step higher
    wait_for("the typed note", lambda: text_of(notes)[0] == "KNdefh")
    midi = len(program.midi())
    key("ctrl+space")
    wait_for(lambda: "the play from measure 3 (log %r, said %r)" % (program.midi()[midi:][:12], program.said()[-4:]), lambda: len([k for _, k, v in note_ons(program.midi()[midi:]) if v > 0]) >= 4)
    stop = len(program.midi())
    key("Escape")
    wait_for("all notes off", lambda: any(len(m) == 3 and m[0] & 0xF0 == 0xB0 and m[1] == 123
                                          for _, m in program.midi()[stop:]))
    key("ctrl+s")
    wait_for("the song saved", lambda: b"\r\nKNdefh\r\n" in open(song, "rb").read())
    again = os.path.join(work, "again.qem")
    subprocess.run([os.path.join(bin_dir, "velto-tool"), "roundtrip", song, again], check=True,
                   stdout=subprocess.DEVNULL)
    if open(again, "rb").read() != open(song, "rb").read():
        fail("the saved song does not read back unchanged")
    key("ctrl+q")
    program.finish()


# The melody's keys by hand: "!" puts P at middle C (60); P S N Q T are C D E F G, each
# note in the octave nearest the one before it.
MELODY_KEYS = [60, 62, 64, 65, 62, 64, 65, 67, 65, 67, 62, 64]


def wait_played(program, start=0):
    """Waits for the melody's note-ons on channel 1 of the MIDI log after entry `start`."""
    def played():
        return [k for c, k, v in note_ons(program.midi()[start:]) if v > 0 and c == 0]
    wait_for(lambda: "the melody played (sent %r)" % (played(),),
             lambda: played() == MELODY_KEYS or fail("sent %r, expected %r" % (played(), MELODY_KEYS))
             if len(played()) >= len(MELODY_KEYS) else False)


def main_window_active():
    import pyatspi
    app = velto_app()
    for i in range(app.childCount if app else 0):
        node = app.getChildAtIndex(i)
        if node is not None and node.getRoleName() == "frame" and node.getState().contains(pyatspi.STATE_ACTIVE):
            return True
    return False


class OtherWindow:
    """A small window of another program, to move the keyboard away from velto and back."""

    SCRIPT = ("import gi; gi.require_version('Gtk', '3.0'); from gi.repository import Gtk;"
              "w = Gtk.Window(title='other'); w.show_all(); print('ready', flush=True); Gtk.main()")

    def __init__(self):
        self.process = subprocess.Popen(["/usr/bin/python3", "-c", self.SCRIPT], stdout=subprocess.PIPE)
        self.process.stdout.readline()

    def focus(self):
        subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name", "^other$", "windowfocus", "--sync"],
                       check=True, timeout=30)

    def stop(self):
        self.process.kill()
        self.process.wait()


def scenario_autoplay(bin_dir, source_dir):
    """A song given alone on the command line plays at once: its note-ons reach the MIDI log
    without a key. Once it has ended, the program window closes itself when the program is
    activated from another program (the song unchanged: no question)."""
    work = tempfile.mkdtemp(prefix="velto-songs-")
    song = song_with(work, "auto.qem", MELODY, second_track=False)
    program = Program(bin_dir, [song], play=True)
    wait_played(program)
    wait_for("the play keys back after the end", lambda: enabled("menu item", "Воспроизвести всё"))
    other = OtherWindow()
    try:
        other.focus()
        wait_for("the program window left", lambda: not main_window_active())
        if program.process.poll() is not None:
            fail("the window closed before it was activated again")
        activate_main_window()
        program.finish()
    finally:
        other.stop()


def scenario_handoverplay(bin_dir, source_dir):
    """A second copy started with one song hands it to the first copy, which plays it at
    once; the second copy ends. A song handed over with --open is opened, not played: only
    the melody of the song handed over after it reaches the MIDI log."""
    work = tempfile.mkdtemp(prefix="velto-songs-")
    opened = song_with(work, "opened.qem", ["!PPPP"], second_track=False)
    song = song_with(work, "handed.qem", MELODY, second_track=False)
    program = Program(bin_dir, [])
    wait_for("the program window", lambda: velto_app() is not None and find("frame", "VELTO"))

    def hand_over(*arguments):
        second = subprocess.run([os.path.join(bin_dir, "velto"), "--home", program.home] + list(arguments),
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=30,
                                env=dict(os.environ, LANG="ru_RU.UTF-8"))
        if second.returncode != 0:
            fail("the second copy ended with %d: %r" % (second.returncode, second.stdout))
    hand_over("--open", opened)
    wait_for("the song handed over with --open", lambda: find("frame", "opened (qem)"))
    hand_over(song)
    wait_played(program)
    quit_without_saving(program)


def scenario_stopandgo(bin_dir, source_dir):
    """Shift+Esc during a play stops it and goes to the measure sounding: the measure said
    is the one of the last note the MIDI log got, give or take one."""
    work = tempfile.mkdtemp(prefix="velto-songs-")
    song = os.path.join(work, "measures.qem")
    # One key a measure at 120 quarters a minute: two seconds a measure.
    write_song(song, ["1 1 0 1 0 0 0", "Общее", "Vd4m", "tempo 120",
                      "4 0 1 1 0 0 0", "Мелодия", "!PPPP", "SSSS", "NNNN", "QQQQ"])
    measure_of = {60: 1, 62: 2, 64: 3, 65: 4}
    program, notes = open_song(bin_dir, [song])
    start = len(program.midi())

    def played():
        return [k for _, k, v in note_ons(program.midi()[start:]) if v > 0]
    key("ctrl+shift+space")
    wait_for(lambda: "measure 3 sounding (sent %r)" % (played(),), lambda: 64 in played())
    said = len(program.said())
    key("shift+Escape")
    line = wait_for(lambda: "the measure said (heard %r)" % (program.said()[said:],),
                    lambda: next((line for line in program.said()[said:] if line.startswith("I Такт ")), None))
    wait_for("the play keys back", lambda: enabled("menu item", "Воспроизвести всё"))
    sounding = measure_of[played()[-1]]
    gone_to = int(line[len("I Такт "):])
    if not 1 <= gone_to <= 4 or abs(gone_to - sounding) > 1:
        fail("Shift+Esc went to measure %d with measure %d sounding" % (gone_to, sounding))
    wait_for("the measure shown (now %r)" % (text_of(notes),),
             lambda: text_of(notes)[0] == ["!PPPP", "SSSS", "NNNN", "QQQQ"][gone_to - 1])
    quit_without_saving(program)


def scenario_controlkeys(bin_dir, source_dir):
    """On the control track the keys of its disabled commands (deleting the track, the
    voice moves) give the error signal each and change nothing: the line, the voice and the
    tracks stay, and the program ends without asking to save."""
    work = tempfile.mkdtemp(prefix="velto-songs-")
    song = song_with(work, "control.qem", MELODY)
    with open(song, "rb") as f:
        original = f.read()
    program, notes = open_song(bin_dir, [song])
    key("ctrl+Prior", "Home")
    wait_for("the control track's line, the caret at its start (now %r)" % (text_of(notes),),
             lambda: text_of(notes) == ("Vd4m", 0))
    for keys in ("ctrl+shift+Delete", "alt+Down", "alt+Next", "alt+Prior"):
        errors = program.signals().count("sError")
        key(keys)
        wait_for(lambda: "the error signal for %s (signals %r)" % (keys, program.signals()),
                 lambda: program.signals().count("sError") == errors + 1)
        if text_of(notes) != ("Vd4m", 0):
            fail("%s changed the line: %r" % (keys, text_of(notes)))
    start = len(program.said())
    key("F4")
    program.wait_said(["I Такт 1", "S Голос 1", "S Vd4m"], start)
    start = len(program.said())
    key("ctrl+Down")
    program.wait_said(["I 1- Трек: Мелодия", "S !PSNQ"], start)
    key("ctrl+q")  # nothing changed: no question
    program.finish()
    with open(song, "rb") as f:
        if f.read() != original:
            fail("the song file changed")


if __name__ == "__main__":
    run_scenario(globals())
