"""End-to-end tests of the real window: windows reached by Ctrl+F6, Ctrl+Tab and Ctrl+N,
the plug-in's controls by Tab and key, dot mode with the keyboard's Num Lock off.

usage: window_focus_test.py BIN_DIR SOURCE_DIR SCENARIO
scenarios: windows, pluginkeys, numlock
"""
import os
import sys
import tempfile

sys.dont_write_bytecode = True  # no cache beside the sources
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from main_window_test import (Program, fail, find, find_in, find_text, focused, key, plugin_home,
                              KP_9, press, text_of, type_text, wait_for, write_song, run_scenario)  # noqa: E402


def scenario_windows(bin_dir, source_dir):
    """With two songs open, Ctrl+F6, Ctrl+Tab and Ctrl+N reach a window with the focus in
    the field the user left there, and it says its song and that field once; nothing is
    said of the window left. Tab into the Braille line selects nothing (the screen reader
    would say "selected"), and a typed cell goes in at the caret."""
    songs = [os.path.join(source_dir, "examples", name) for name in ("twinkle-twinkle.qem", "ode-to-joy.qem")]
    program = Program(bin_dir, songs)
    twinkle = wait_for("twinkle's window", lambda: find("frame", "twinkle-twinkle (qem)"))
    ode = wait_for("ode's window", lambda: find("frame", "ode-to-joy (qem)"))
    fields = {}
    for song, frame in (("twinkle", twinkle), ("ode", ode)):
        fields[song] = (wait_for("%s's editors" % song, lambda: find_in(frame, "text", "Нотный текст")),
                        find_in(frame, "text", "Обработчик для текущего трека"))
    reached_notes = {"twinkle": ["I twinkle-twinkle", "S Нотный текст:", "S 1- Трек: Мелодия", "S MMVd4!SSOO"],
                     "ode": ["I ode-to-joy", "S Нотный текст:", "S 2- Трек: Бас", "S Vd4Ly"]}
    wait_for("focus on ode's Braille editor", lambda: focused(fields["ode"][0]))
    program.wait_said(reached_notes["ode"], 0)
    said = len(reached_notes["ode"])

    def step(keys, song, field, lines):
        nonlocal said
        key(*keys)
        node = fields[song][field] if song else None
        if node is not None:
            wait_for("focus on %s's %s" % (song, ("Braille editor", "handler")[field]), lambda: focused(node))
        program.wait_said(lines, said)  # at its place: nothing else was said before
        said += len(lines)

    step(["Tab"], "ode", 1, ["I Обработчик для текущего трека"])
    step(["ctrl+F6"], "twinkle", 0, reached_notes["twinkle"])
    step(["ctrl+F6"], "ode", 1, ["I ode-to-joy", "S Обработчик для текущего трека"])
    step(["ctrl+Tab"], "twinkle", 0, reached_notes["twinkle"])
    step(["Tab"], "twinkle", 1, ["I Обработчик для текущего трека"])
    step(["Tab"], "twinkle", 0, ["I Нотный текст:", "I 1- Трек: Мелодия"])
    notes = fields["twinkle"][0]
    if notes.queryText().getNSelections() != 0 or text_of(notes) != ("MMVd4!SSOO", 0):
        fail("Tab left the Braille line selected: %d selections, %r"
             % (notes.queryText().getNSelections(), text_of(notes)))
    type_text("P")
    wait_for("P typed at the caret (now %r)" % (text_of(notes),), lambda: text_of(notes) == ("PMMVd4!SSOO", 1))
    step(["Tab"], "twinkle", 1, ["I Обработчик для текущего трека"])
    step(["ctrl+n"], None, 0, ["I безымянный", "S Нотный текст:", "S 1- Трек: Трек 1"])
    new = wait_for("the new window", lambda: find("frame", "безымянный (qem)"))
    wait_for("focus on the new Braille editor", lambda: focused(find_in(new, "text", "Нотный текст")))
    key("ctrl+q")
    wait_for("the save question", lambda: find_text("twinkle-twinkle.qem"))
    press("push button", "Нет")
    program.finish()


def scenario_pluginkeys(bin_dir, source_dir):
    """Tab reaches every control of a format plug-in whose controls answer a place to speak
    when left, and wraps to the Braille editor; the plug-in gets every key with its
    virtual-key code (Insert and comma too; the window's command keys stay the window's);
    Enter on its button clicks it."""
    home = plugin_home(bin_dir, ["keys"])
    song = os.path.join(tempfile.mkdtemp(prefix="velto-songs-"), "tune.keys")
    write_song(song, ["1 0 0 1 0 0 0", "Общее", "Vd4m", "1 0 1 1 0 0 0", "Мелодия", "!PSNQ"])
    program = Program(bin_dir, [song], home=home)
    frame = wait_for("the song window", lambda: find("frame", "tune (key)"))
    notes = wait_for("the Braille editor", lambda: find_in(frame, "text", "Нотный текст"))
    wait_for("focus on the Braille editor", lambda: focused(notes))
    key("Tab")
    wait_for("focus on the handler", lambda: focused(find_in(frame, "text", "Обработчик для текущего трека")))
    controls = [("text", "Keys edit"), ("combo box", "Keys combo"), ("push button", "Keys button"),
                ("check box", "Keys check"), ("list", "Keys list")]
    for role, name in controls:
        control = wait_for("the control %r" % name, lambda: find_in(frame, role, name))
        key("Tab")
        wait_for("focus on %r by Tab" % name, lambda: focused(control))
        if role == "push button":
            start = len(program.said())
            key("Insert", "comma", "Return")
            program.wait_said(["S down 45 0", "S up 45 0", "S down 188 0", "S up 188 0",
                               "S down 13 0", "S click 3", "S up 13 0"], start)
    key("Tab")
    wait_for("focus back on the Braille editor", lambda: focused(notes))
    key("ctrl+q")
    program.finish()


def scenario_numlock(bin_dir, source_dir):
    """A screen reader takes the keypad while the keyboard's Num Lock is off: dot mode
    switched on then says to turn it on; with the keyboard's Num Lock on it says nothing
    more. (The virtual X server starts with Num Lock off.)"""
    song = os.path.join(source_dir, "examples", "twinkle-twinkle.qem")
    program = Program(bin_dir, [song])
    notes = wait_for("the Braille editor", lambda: find("text", "Нотный текст"))
    wait_for("focus on the Braille editor", lambda: focused(notes))
    opening = ["I twinkle-twinkle", "S Нотный текст:", "S 1- Трек: Мелодия", "S MMVd4!SSOO"]
    program.wait_said(opening, 0)
    said = len(opening)
    hint = ("S Num Lock клавиатуры выключен: цифровой блок забирает программа экранного доступа. "
            "Нажмите Num Lock, затем Ctrl+Enter.")
    for keys, lines in ((["ctrl+Return"], ["I Точечный режим включен", hint]),
                        (["Num_Lock"], ["I Точечный режим выключен"]),  # the keyboard's goes on
                        (["ctrl+Return"], ["I Точечный режим включен"]),
                        ([KP_9], ["I Шеститочие"])):
        key(*keys)
        program.wait_said(lines, said)
        said += len(lines)
    key("ctrl+q")
    program.finish()


if __name__ == "__main__":
    run_scenario(globals())
