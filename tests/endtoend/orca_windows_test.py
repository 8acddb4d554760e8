"""End-to-end tests of song windows coming and going with the Orca screen reader running
and a window manager, as a blind user's desktop has them: a song opened with Ctrl+O takes
the keys and Orca's focus, the insert menu and the context menus are announced on their first
item and give the field back, and a window that closes says nothing of itself.

usage: orca_windows_test.py BIN_DIR SOURCE_DIR SCENARIO
scenarios: orca_open, orca_insertmenu, orca_close
"""
import os
import shutil
import sys
import tempfile

sys.dont_write_bytecode = True  # no cache beside the sources
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from main_window_test import (fail, find, find_in, find_text, focused, focused_field, key, open_by_dialog,  # noqa: E402
                              press, run_scenario, text_of, type_text, wait_for, close_answering_no)
from accessibility_test import Orca  # noqa: E402

NOTES = "Нотный текст"
SLOW_S = 60  # Orca and the sanitizers make every answer slow


def copy_songs(source_dir, names):
    work = tempfile.mkdtemp(prefix="velto-orca-")
    for name in names:
        shutil.copy(os.path.join(source_dir, "examples", name), os.path.join(work, name))
    return work, [os.path.join(work, name) for name in names]


def orca_focus(orca, start):
    """The objects Orca took for the focus after log offset `start`."""
    import re
    return re.findall(r"Changing locusOfFocus from .* to \[([^\]]*)\]", orca.text()[start:])


def takes_keys(program, orca, frame, line):
    """The window `frame` holds the keyboard: its Braille editor is focused over AT-SPI and
    for Orca, F4 is answered with the place and a typed cell lands at the caret."""
    notes = wait_for("the Braille editor of %s" % frame.name, lambda: find_in(frame, "text", NOTES), SLOW_S)
    wait_for("focus on the Braille editor of %s" % frame.name, lambda: focused(notes), SLOW_S)
    wait_for(lambda: "Orca on the Braille editor (its focus: %r)" % orca_focus(orca, 0)[-3:],
             lambda: orca_focus(orca, 0) and orca_focus(orca, 0)[-1] == "text | " + NOTES, SLOW_S)
    start = len(program.said())
    key("F4")  # says the place or the track in turn, then the line (an empty one says nothing)
    wait_for(lambda: "F4 answered (heard %r)" % program.said()[start:],
             lambda: len(program.said()) > start + 1 and (not line or program.said()[-1] == "S " + line), SLOW_S)
    type_text("P")
    wait_for(lambda: "P typed into the Braille editor (it shows %r)" % (text_of(notes),),
             lambda: text_of(notes) == ("P" + line, 1), SLOW_S)
    return notes


def open_five_times(program, orca, minuet):
    """Five times: minuet opened by Ctrl+O takes the keys, then closes unsaved."""
    for _ in range(5):
        frame = open_by_dialog(minuet, "minuet-in-g (qem)", SLOW_S)
        takes_keys(program, orca, frame, "MVc4Lr.U9")
        key("ctrl+F4")
        wait_for("the save question", lambda: find_text("Сохранить?"), SLOW_S)
        press("push button", "Нет")
        wait_for("minuet's window to close", lambda: find("frame", "minuet-in-g (qem)") is None, SLOW_S)


def wait_orca_on_notes(orca, log):
    """Orca's focus, after log offset `log`, back on the Braille editor."""
    wait_for(lambda: "Orca back on the Braille editor (its focus: %r)" % orca_focus(orca, log),
             lambda: orca_focus(orca, log)[-1:] == ["text | " + NOTES], SLOW_S)


def scenario_orca_open(bin_dir, source_dir):
    """With Orca running: five times a song is opened with Ctrl+O beside another and closed
    again, then five times with no other window open; each time the new window holds the
    keyboard and Orca's focus. A new song saved through the save dialog keeps them too."""
    work, (ode, minuet) = copy_songs(source_dir, ["ode-to-joy.qem", "minuet-in-g.qem"])
    orca = Orca(work)
    program = None
    try:
        program, _ = orca.open_song(bin_dir, ode)
        open_five_times(program, orca, minuet)
        key("ctrl+F4")  # the untouched ode closes without a question
        wait_for("the last window to close", lambda: find("frame", "ode-to-joy (qem)") is None, SLOW_S)
        open_five_times(program, orca, minuet)
        # A new song (Ctrl+N) saved through the save dialog keeps the keyboard and Orca's focus.
        key("ctrl+n")
        frame = wait_for("the new song's window", lambda: find("frame", "безымянный (qem)"), SLOW_S)
        notes = takes_keys(program, orca, frame, "")
        key("ctrl+s")
        wait_for("the save dialog", lambda: find("dialog", "Сохранить как") or find("dialog", "Сохранить файл")
                 or find("file chooser", "Сохранить как"), SLOW_S)
        log = len(orca.text())
        type_text(os.path.join(work, "new.qem"))
        key("Return")
        wait_for("the song saved", lambda: os.path.exists(os.path.join(work, "new.qem")), SLOW_S)
        wait_orca_on_notes(orca, log)
        key("End")  # the window shown again puts the caret at the line's start
        type_text("N")
        wait_for(lambda: "N typed into the Braille editor (it shows %r)" % (text_of(notes),),
                 lambda: text_of(notes) == ("PN", 2), SLOW_S)
    finally:
        if program is not None and program.process.poll() is None:
            close_answering_no(program)
        orca.stop()
    program.finish()


def scenario_orca_insertmenu(bin_dir, source_dir):
    """With Orca running: F2 is announced as the insert menu; after Escape Orca's focus and
    Braille line are on the Braille editor again, and Left moves its cursor on the line. The
    context menus of the go-to and track properties dialogs' fields and of the handler editor
    are announced on their first item."""
    work, (twinkle,) = copy_songs(source_dir, ["twinkle-twinkle.qem"])
    orca = Orca(work)
    program = None
    try:
        program, notes = orca.open_song(bin_dir, twinkle)
        orca.wait_shown("MMVd4!SSOO")
        key("End")
        wait_for("the caret at the end", lambda: text_of(notes) == ("MMVd4!SSOO", 10), SLOW_S)
        heard, log = len(orca.spoken()), len(orca.text())
        key("F2")
        # The menu opens on its first item, the submenu "Ноты": Orca says it and stays there.
        wait_for(lambda: "Orca's focus on the menu (its focus: %r)" % orca_focus(orca, log),
                 lambda: orca_focus(orca, log)[-1:] == ["menu item | Ноты"], SLOW_S)
        wait_for(lambda: "Orca announcing the insert menu (it said %r)" % orca.spoken()[heard:],
                 lambda: orca.spoken()[-1].startswith("Ноты"), SLOW_S)
        key("Escape")
        wait_orca_on_notes(orca, log)
        shown = len(orca.braille())
        key("Left")
        wait_for("the caret one cell back", lambda: text_of(notes) == ("MMVd4!SSOO", 9), SLOW_S)
        wait_for(lambda: "Orca's Braille line following the caret (it showed %r)" % orca.braille()[shown:],
                 lambda: any(line.endswith(NOTES + ": MMVd4!SSOO $l") for line in orca.braille()[shown:]),
                 SLOW_S)
        # So do Qt's standard menus of the dialogs' text fields: the go-to dialog's measure
        # and the track properties' name. Nothing is to undo or paste: the first item that can
        # be chosen is Cut when the field holds a selection, else Select All.
        for keys, label in (("ctrl+g", "Номер такта"), ("F5", "Имя трека")):
            key(keys)
            field = wait_for("the field %s focused" % label, lambda: focused_field(label), SLOW_S)
            first = "Вырезать" if field.queryText().getNSelections() > 0 else "Выделить всё"
            heard, log = len(orca.spoken()), len(orca.text())
            key("Menu")
            wait_for(lambda: "Orca's focus on %s in the menu of %s (its focus: %r)"
                     % (first, label, orca_focus(orca, log)),
                     lambda: orca_focus(orca, log)[-1:]
                     and orca_focus(orca, log)[-1].startswith("menu item | " + first), SLOW_S)
            wait_for(lambda: "Orca announcing the menu of %s (it said %r)" % (label, orca.spoken()[heard:]),
                     lambda: any(line.startswith(first) for line in orca.spoken()[heard:]), SLOW_S)
            key("Escape")
            wait_for("focus back on %s" % label, lambda: focused(field), SLOW_S)
            key("Escape")
            wait_for("focus back on the Braille editor", lambda: focused(notes), SLOW_S)
        # The handler editor's context menu (Menu) opens on its first item that can be
        # chosen (nothing to undo or paste: "Выделить всё"), and Orca says it.
        handler = wait_for("the handler editor", lambda: find("text", "Обработчик для текущего трека"))
        told = len(orca.spoken())
        key("Tab")
        wait_for("focus on the handler editor", lambda: focused(handler), SLOW_S)
        wait_for(lambda: "Orca saying the handler editor (it said %r)" % orca.spoken()[told:],
                 lambda: any("instrument 73" in line for line in orca.spoken()[told:]), SLOW_S)
        heard, log = len(orca.spoken()), len(orca.text())
        key("Menu")
        wait_for(lambda: "Orca's focus on the menu's item (its focus: %r)" % orca_focus(orca, log),
                 lambda: orca_focus(orca, log)[-1:] == ["menu item | Выделить всё"], SLOW_S)
        wait_for(lambda: "Orca announcing the handler editor's menu (it said %r)" % orca.spoken()[heard:],
                 lambda: any(line.startswith("Выделить всё") for line in orca.spoken()[heard:]), SLOW_S)
        key("Escape")
        wait_for("focus back on the handler editor", lambda: focused(handler), SLOW_S)
    finally:
        if program is not None and program.process.poll() is None:
            close_answering_no(program)
        orca.stop()
    program.finish()


def scenario_orca_close(bin_dir, source_dir):
    """With Orca running: an untouched window closed by Ctrl+F4 says nothing of itself; the
    window that remains says its name and the field that has the focus, as reaching it does.
    The last window closed, from its handler editor, says nothing at all."""
    work, (ode, twinkle) = copy_songs(source_dir, ["ode-to-joy.qem", "twinkle-twinkle.qem"])
    orca = Orca(work)
    program = None
    try:
        program, _ = orca.open_song(bin_dir, [twinkle, ode])
        program.wait_said(["I ode-to-joy", "S Нотный текст:", "S 2- Трек: Бас", "S Vd4Ly"], 0)
        start = len(program.said())
        key("ctrl+F4")
        wait_for("ode's window to close", lambda: find("frame", "ode-to-joy (qem)") is None, SLOW_S)
        program.wait_said(["I twinkle-twinkle", "S Нотный текст:", "S 1- Трек: Мелодия", "S MMVd4!SSOO"], start)
        frame = find("frame", "twinkle-twinkle (qem)")
        handler = wait_for("twinkle's handler editor", lambda: find_in(frame, "text", "Обработчик для текущего трека"))
        start = len(program.said())
        told = len(orca.spoken())
        key("Tab")
        wait_for("focus on the handler editor", lambda: focused(handler), SLOW_S)
        program.wait_said(["I Обработчик для текущего трека"], start)
        start += 1
        # Orca done with the Tab first (the field said to its text): a close before Orca took
        # it in would leave it a field that no longer exists to be told of.
        wait_for(lambda: "Orca saying the handler editor (it said %r)" % orca.spoken()[told:],
                 lambda: any("instrument 73" in line for line in orca.spoken()[told:]), SLOW_S)
        heard = len(orca.spoken())
        log = len(orca.text())
        key("ctrl+F4")
        wait_for("the last window to close", lambda: find("frame", "twinkle-twinkle (qem)") is None, SLOW_S)
        wait_for(lambda: "Orca on the program's window (it said %r, its focus: %r)"
                 % (orca.spoken()[heard:], orca_focus(orca, log)),
                 lambda: "VELTO" in " ".join(orca.spoken()[heard:]), SLOW_S)
        if program.said()[start:]:
            fail("closing the windows spoke %r" % program.said()[start:])
        for line in orca.spoken()[heard:]:
            if "Нотный текст" in line or "Обработчик" in line or "MMVd4!SSOO" in line:
                fail("Orca spoke a field of the closed window: %r" % orca.spoken()[heard:])
    finally:
        if program is not None and program.process.poll() is None:
            close_answering_no(program)
        orca.stop()
    program.finish()


if __name__ == "__main__":
    run_scenario(globals())
