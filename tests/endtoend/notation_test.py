"""End-to-end tests of the notation commands in the real window: the insert menu on F2,
find and replace in the music text, harmony written out as notes, and the same dialogs
with the Orca screen reader running.

usage: notation_test.py BIN_DIR SOURCE_DIR SCENARIO
scenarios: insertmenu_f2, find, harmony, orca_notation
"""
import os
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # no cache beside the sources
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from main_window_test import (fail, find, find_labelled, find_text, focus_main_window, focused,  # noqa: E402
                              key, open_song, press, text_of, type_text, wait_for, write_song,
                              run_scenario, close_answering_no, quit_without_saving)
from editing_test import FocusEvents  # noqa: E402
from accessibility_test import Orca  # noqa: E402

# A melody whose flat E ("(N") stands only in measures 3 and 4.
FIND_SONG = ["1 0 0 1 0 0 0", "Общее", "Vd4m",
             "4 0 1 1 0 0 0", "Мелодия", "!PSNQ", "TTOO", "T(NSP", "(NSPS"]

# Harmony references before every note of the control track's melody; voice 1 of the choir
# takes all four parts, voice 2 holds whole notes.
CHOIR_SONG = ["4 0 0 1 1 1 1", "Общее",
              "Vd4{$majt53}!N{$s53}Q{$d53}S{$t53}N",
              "{$s6}Q{$d53}S{$t53}N{$d53}S",
              "{$t53}N{$s53}Q{$d7}S{$t53}N",
              "{$s53}Q{$d53}S{$t53}n",
              "3 0 1 1 1 1 1", "Хор", "Vd4{$b+t+a+s+}m()Vd4!y", "m", "m()Vd4!y"]
# The control track's melody: MIDI key and length of each note.
CHOIR_MELODY = ([(64, "1/4"), (65, "1/4"), (62, "1/4"), (64, "1/4"), (65, "1/4"), (62, "1/4"), (64, "1/4"),
                 (62, "1/4"), (64, "1/4"), (65, "1/4"), (62, "1/4"), (64, "1/4"), (65, "1/4"), (62, "1/4"),
                 (60, "1/2")])
# The pitch classes of each chord of the references in C: t53 C E G, s53 and s6 F A C,
# d53 G B D, d7 G B D F.
T53, S53, D53, D7 = {0, 4, 7}, {5, 9, 0}, {7, 11, 2}, {7, 11, 2, 5}
CHOIR_CHORDS = [T53, S53, D53, T53, S53, D53, T53, D53, T53, S53, D7, T53, S53, D53, T53]


def song_file(name, lines):
    path = os.path.join(tempfile.mkdtemp(prefix="velto-notation-"), name)
    write_song(path, lines)
    return path


def quit_unsaved(program):
    key("ctrl+q")
    wait_for("the save question", lambda: find_text("Сохранить?"))
    press("push button", "Нет")
    program.finish()


def scenario_insertmenu_f2(bin_dir, source_dir):
    """F2 opens the insert menu on its first item; the arrows walk to the rests, each item named as it gets
    the focus; Enter inserts the quarter rest, said as it is heard; Alt+Z takes it out."""
    song = song_file("melody.qem", ["1 0 0 1 0 0 0", "Общее", "Vd4m", "1 0 1 1 0 0 0", "Мелодия", "!PS"])
    program, notes = open_song(bin_dir, song, ["I melody", "S Нотный текст:", "S 1- Трек: Мелодия"],
                               timeout_s=60)
    events = FocusEvents()
    key("End")
    wait_for("the caret at the end", lambda: text_of(notes) == ("!PS", 3))
    key("F2")  # the menu opens on its first item
    for keys, item in (([], "Ноты"), (["Down"], "Паузы"), (["Right"], "Пауза, Целая или шестнадцатая"),
                       (["Down"], "Пауза, Половинная или тридцать вторая"),
                       (["Down"], "Пауза, Четвертная или шестьдесят четвёртая"),
                       (["Up"], "Пауза, Половинная или тридцать вторая"),
                       (["Down"], "Пауза, Четвертная или шестьдесят четвёртая")):
        if keys:
            key(*keys)
        wait_for("the focus on %r (now %r)" % (item, events.last()),
                 lambda: events.last() == ("menu item", item))
    start = len(program.said())
    key("Return")
    wait_for("the rest inserted (now %r)" % (text_of(notes),), lambda: text_of(notes) == ("!PSv", 4))
    wait_for("focus back on the Braille editor", lambda: focused(notes))
    program.wait_said(["S v"], start)  # a rest is not described: its sign is said
    key("alt+z")
    wait_for("the rest undone (now %r)" % (text_of(notes),), lambda: text_of(notes)[0] == "!PS")
    key("ctrl+q")  # the undo brought the song back as it was loaded: no question, or No
    deadline = time.monotonic() + 30
    while program.process.poll() is None and time.monotonic() < deadline:
        if find_text("Сохранить?") is not None:
            press("push button", "Нет")
        time.sleep(0.2)
    program.finish()


def open_find(keys, title, field_label):
    """Opens the find or replace dialog by `keys`; its search field, focused."""
    key(keys)
    wait_for("the dialog %r" % title, lambda: find("dialog", title))
    field = wait_for("the field %r" % field_label, lambda: find("text", field_label))
    wait_for("focus on %r" % field_label, lambda: focused(field))
    return field


def scenario_find(bin_dir, source_dir):
    """Ctrl+F finds a sign that stands only in a later measure: the window moves there and
    speaks the place; F3 finds the next one; Ctrl+H replaces both from measure 1 on, the
    count is shown, and Alt+Z gives the text back."""
    song = song_file("findme.qem", FIND_SONG)
    program, notes = open_song(bin_dir, song, ["I findme", "S Нотный текст:", "S 1- Трек: Мелодия", "S !PSNQ"],
                               timeout_s=60)
    what = open_find("ctrl+f", "Найти в нотном тексте трека", "Что искать?")
    type_text("(N")
    wait_for("the typed sign", lambda: text_of(what)[0] == "(N")
    start = len(program.said())
    key("Return")
    wait_for("the dialog to close", lambda: not find("dialog", "Найти в нотном тексте трека"))
    focus_main_window()
    wait_for("measure 3 shown (now %r)" % (text_of(notes),), lambda: text_of(notes) == ("T(NSP", 1))
    program.wait_said(["I Такт 3", "S Голос 1", "S T(NSP"], start)
    start = len(program.said())
    key("F3")
    wait_for("measure 4 shown (now %r)" % (text_of(notes),), lambda: text_of(notes) == ("(NSPS", 0))
    program.wait_said(["I Такт 4", "S Голос 1", "S (NSPS"], start)

    key("alt+Home")
    wait_for("measure 1", lambda: text_of(notes)[0] == "!PSNQ")
    key("Home")
    wait_for("the caret at the start", lambda: text_of(notes) == ("!PSNQ", 0))
    what = open_find("ctrl+h", "Заменить в нотном тексте трека", "Заменить")
    wait_for("the search text kept", lambda: text_of(what)[0] == "(N")
    key("Tab")
    replacement = wait_for("the replacement field", lambda: find_labelled("text", "На") or find("text", "На"))
    wait_for("focus on the replacement field", lambda: focused(replacement))
    type_text("N")
    wait_for("the typed replacement", lambda: text_of(replacement)[0] == "N")
    key("Return")
    wait_for("the count of replacements", lambda: find_text("Всего произведено замен: 2"))
    press("push button", "OK")
    wait_for("the count box to go", lambda: not find_text("Всего произведено замен"))
    focus_main_window()
    wait_for("focus on the Braille editor", lambda: focused(notes))
    key("alt+Right", "alt+Right")
    wait_for("measure 3 replaced (now %r)" % (text_of(notes),), lambda: text_of(notes)[0] == "TNSP")
    key("alt+Right")
    wait_for("measure 4 replaced (now %r)" % (text_of(notes),), lambda: text_of(notes)[0] == "NSPS")
    key("alt+z")
    key("alt+End")
    wait_for("measure 4 as it was (now %r)" % (text_of(notes),), lambda: text_of(notes)[0] == "(NSPS")
    key("alt+Left")
    wait_for("measure 3 as it was (now %r)" % (text_of(notes),), lambda: text_of(notes)[0] == "T(NSP")
    quit_without_saving(program)


def voices_of(bin_dir, song):
    """velto-tool notes of track 1, its own voices: {(measure, voice): [(keys, length)]}."""
    run = subprocess.run([os.path.join(bin_dir, "velto-tool"), "notes", song], stdout=subprocess.PIPE,
                         stderr=subprocess.STDOUT, timeout=60)
    output = run.stdout.decode("utf-8", "replace")
    if run.returncode != 0:
        fail("velto-tool notes:\n" + output)
    voices = {}
    for line in output.splitlines():
        place, _, notes = line.partition(":")
        track, measure, voice = (int(field) for field in place.split())
        if track == 1:
            voices[(measure, voice)] = [(sorted(int(k) for k in note.split(":")[0].split("+")),
                                         note.split(":")[1]) for note in notes.split()]
    return voices, output


def scenario_harmony(bin_dir, source_dir):
    """Ctrl+K on the choir's first voice asks, then writes the harmony of the control
    track's references out as chords the Braille editor shows: each chord holds four keys
    of its function's pitch classes with the melody's note on top, as long as it; Alt+Z
    brings the voice back."""
    song = song_file("choir.qem", CHOIR_SONG)
    program, notes = open_song(bin_dir, song, ["I choir", "S Нотный текст:", "S 1- Трек: Хор",
                                               "S Vd4{$b+t+a+s+}m"], timeout_s=60)
    key("ctrl+k")
    question = "Вы уверены, что хотите преобразовать гармонические ссылки для трека Хор, в голосе 1?"
    wait_for("the question", lambda: find_text(question))
    start = len(program.said())
    press("push button", "OK")
    wait_for("the question to go", lambda: not find_text(question))
    focus_main_window()
    wait_for("the chords shown (now %r)" % (text_of(notes),), lambda: text_of(notes)[0] != "Vd4{$b+t+a+s+}m")
    chords = text_of(notes)[0]
    program.wait_said(["I Такт 1", "S Голос 1", "S " + chords], start)
    key("ctrl+s")
    wait_for("the song saved", lambda: chords.encode("cp1251") in open(song, "rb").read())
    voices, output = voices_of(bin_dir, song)
    written = [note for measure in range(1, 5) for note in voices.get((measure, 1), [])]
    if len(written) != len(CHOIR_MELODY):
        fail("%d chords expected:\n%s" % (len(CHOIR_MELODY), output))
    for (melody_key, melody_length), classes, (keys, length) in zip(CHOIR_MELODY, CHOIR_CHORDS, written):
        if (len(keys) != 4 or keys[-1] != melody_key or length != melody_length or
                {k % 12 for k in keys} != classes):
            fail("the chord %r %s under the melody's %d %s, pitch classes %r expected:\n%s" %
                 (keys, length, melody_key, melody_length, sorted(classes), output))
    if voices.get((1, 2)) != [([60], "1/1")] or voices.get((3, 2)) != [([60], "1/1")]:
        fail("voice 2 changed:\n" + output)
    key("alt+z")
    wait_for("the voice back (now %r)" % (text_of(notes),), lambda: text_of(notes)[0] == "Vd4{$b+t+a+s+}m")
    key("ctrl+q")
    wait_for("the save question", lambda: find_text("Сохранить?"))
    press("push button", "Нет")
    program.finish()


def scenario_orca_notation(bin_dir, source_dir):
    """With Orca running, the find dialog (Ctrl+F), the replace dialog (Ctrl+H) and the
    insert menu (F2) are named by Orca, and the program answers the next key after them."""
    work = tempfile.mkdtemp(prefix="velto-orca-")
    song = os.path.join(work, "findme.qem")
    write_song(song, FIND_SONG)
    orca = Orca(work)
    program = None
    try:
        program, notes = orca.open_song(bin_dir, song, ["I findme", "S Нотный текст:", "S 1- Трек: Мелодия", "S !PSNQ"])
        wait_for("Orca reading the Braille editor", lambda: "!PSNQ." in orca.spoken() or
                 any("!PSNQ" in line for line in orca.spoken()), timeout_s=60)

        def heard(fragment):
            wait_for(lambda: "Orca naming %r (it said %r)" % (fragment, orca.spoken()[-8:]),
                     lambda: any(fragment in line for line in orca.spoken()), timeout_s=60)

        def answers_right(line, caret):
            """Right in the Braille editor is answered with the cell it comes to."""
            wait_for("focus on the Braille editor", lambda: focused(notes), timeout_s=60)
            start = len(program.said())
            key("Right")
            wait_for("the caret at %d" % caret, lambda: text_of(notes) == (line, caret), timeout_s=60)
            program.wait_said(["I " + line[caret]], start)

        def back_on_the_line(since):
            """The window reached again after a dialog: its Braille editor has the keyboard
            and Orca shows the line again. Only then does the next key go where the user
            means it (a key pressed while the window is still being activated, or while
            Orca is still presenting the switch, is a race no user runs)."""
            wait_for("focus back on the Braille editor", lambda: focused(notes), timeout_s=60)
            wait_for(lambda: "Orca showing the line again (it showed %r)" % orca.braille()[-3:],
                     lambda: any(line.endswith("Нотный текст: !PSNQ $l")
                                 for line in Orca.braille_in(orca.text()[since:])), timeout_s=60)

        for keys, title, field in (("ctrl+f", "Найти в нотном тексте трека", "Что искать"),
                                   ("ctrl+h", "Заменить в нотном тексте трека", None)):
            key(keys)
            wait_for("the dialog %r" % title, lambda: find("dialog", title), timeout_s=60)
            heard(title)
            if field:  # the replace field's name is the title's first word
                heard(field)
            since = len(orca.text())
            key("Escape")
            wait_for("the dialog to close", lambda: not find("dialog", title), timeout_s=60)
            focus_main_window()
            back_on_the_line(since)
        answers_right("!PSNQ", 1)

        key("F2")  # the menu opens on its first item
        heard("Ноты")
        key("Escape")
        answers_right("!PSNQ", 2)
    finally:
        if program is not None and program.process.poll() is None:
            close_answering_no(program)
        orca.stop()
    program.finish()


if __name__ == "__main__":
    run_scenario(globals())
