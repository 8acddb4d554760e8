"""End-to-end tests of the handler side of the song window: the module manager (F11), the
block wizard (F10) and the translator picker (F12), driven from the keyboard and read over
AT-SPI, and the three dialogs read by Orca.

usage: handler_test.py BIN_DIR SOURCE_DIR SCENARIO
scenarios: modules, wizard, translator, orca_handler, renamemodule
"""
import os
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # no cache beside the sources
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from main_window_test import (fail, find, find_in, focus_main_window, focused, focused_field, key, nodes,  # noqa: E402
                              open_song, run_scenario, text_of, type_text, wait_for, write_song,
                              quit_without_saving)
from accessibility_test import Orca  # noqa: E402
from editing_test import FocusEvents  # noqa: E402

PROGRAM_EDITOR = "Обработчик для текущего трека"
MANAGER = "Управление модулями"
WIZARD = "Блок-обработчик"
PICKER = "Транслятор"
TEMPO_LINE = ")tempo:100.!PSNQ"
# The solfeggio shorthand of "!PSNQ": octave 5, then c d e f quarters.
SOLFEGGIO_LINE = "о5до4ре4ми4фа4"


def song_file(name, control_program, tracks):
    """A song of a control track and `tracks`: (name, channel, music lines, program lines)."""
    path = os.path.join(tempfile.mkdtemp(prefix="velto-songs-"), name)
    lines = ["1 %d 0 1 0 0 0" % len(control_program), "Общее", "Vd4m"] + control_program
    for caption, channel, music, program in tracks:
        lines += ["%d %d %d 1 0 0 0" % (len(music), len(program), channel), caption] + music + program
    write_song(path, lines)
    return path


def selected(node):
    import pyatspi  # only inside a desktop session
    return node.getState().contains(pyatspi.STATE_SELECTED)


def dialog(caption):
    return find("dialog", caption)


def items_of(list_node):
    return [child.name for child in list_node if child is not None and child.getRoleName() == "list item"]


def lists_of(dialog_node):
    """The lists of a dialog by their accessible names."""
    found = {}
    for node in nodes(dialog_node):
        try:
            if node.getRoleName() == "list":
                found[node.name] = node
        except Exception:
            continue
    return found


def program_lines(program_editor):
    return text_of(program_editor)[0].split("\n")


def quiet(program):
    """The length of the speech log once it has not grown for a second (what closing a
    dialog says is said)."""
    said = [len(program.said()), time.monotonic()]

    def settled():
        now = len(program.said())
        if now != said[0]:
            said[0], said[1] = now, time.monotonic()
        return time.monotonic() - said[1] >= 1.0
    wait_for("the speech to settle", settled, timeout_s=60)
    return said[0]


def caret_at(notes, line, caret):
    """Right from the start of the line, where a song opens (after Home the first Right
    only lands on the first character)."""
    wait_for("the caret at the start of %r (now %r)" % (line, text_of(notes)),
             lambda: text_of(notes) == (line, 0))
    key(*["Right"] * caret)
    wait_for("the caret at %d of %r (now %r)" % (caret, line, text_of(notes)),
             lambda: text_of(notes) == (line, caret))


def open_manager(track_name):
    """F11: the module manager with its free, all-tracks and track lists, the focus on the
    free modules."""
    key("F11")
    manager = wait_for("the module manager", lambda: dialog(MANAGER))
    lists = wait_for("its three lists", lambda: len(lists_of(manager)) == 3 and lists_of(manager))
    free = lists["Свободные модули (используйте контекстное меню)"]
    common = lists["Подключенные модули ко всем трекам"]
    track = lists["Подключенные модули к треку " + track_name]
    wait_for("focus on the free modules", lambda: focused(free))
    return manager, free, common, track


def scenario_modules(bin_dir, source_dir):
    """F11 lists the modules of Modules/ (swing attached to all tracks by the control
    track's program); End moves the chosen free module to the current track with the OK
    signal; Esc writes its "Module NAME" line at the top of the track's program, which
    Ctrl+S saves with the song and the song reads back unchanged."""
    song = song_file("modules.qem", ["module swing"], [("Piano", 1, ["!PSNQ"], ["let x=1"])])
    program, notes = open_song(bin_dir, song)
    handler = find("text", PROGRAM_EDITOR)
    wait_for("the Piano track", lambda: text_of(notes)[0] == "!PSNQ" and text_of(handler)[0] == "let x=1")
    manager, free, common, track = open_manager("Piano")
    if items_of(free) != ["dynamics", "humanize"] or items_of(common) != ["swing"] or items_of(track):
        fail("the lists hold %r, %r, %r" % (items_of(free), items_of(common), items_of(track)))
    start = len(program.signals())
    key("End")  # the first free module, chosen when the list is entered
    wait_for("dynamics on the track (lists %r, %r)" % (items_of(free), items_of(track)),
             lambda: items_of(track) == ["dynamics"] and items_of(free) == ["humanize"])
    wait_for("the OK signal", lambda: "sOk" in program.signals()[start:])
    key("Escape")
    wait_for("the manager to close", lambda: dialog(MANAGER) is None)
    focus_main_window()
    wait_for("focus on the program editor", lambda: focused(handler))
    wait_for("the module line in the program (now %r)" % (text_of(handler)[0],),
             lambda: program_lines(handler) == ["Module dynamics", "let x=1"])
    before = os.path.getmtime(song)
    key("ctrl+s")
    wait_for("the song saved", lambda: os.path.getmtime(song) != before and
             b"\r\nPiano\r\n!PSNQ\r\nModule dynamics\r\nlet x=1\r\n" in open(song, "rb").read())
    saved = open(song, "rb").read()
    if b"\r\nmodule swing\r\n" not in saved.lower():
        fail("the control track lost its module line:\n%r" % saved)
    again = os.path.join(os.path.dirname(song), "again.qem")
    subprocess.run([os.path.join(bin_dir, "velto-tool"), "roundtrip", song, again], check=True,
                   stdout=subprocess.DEVNULL, timeout=60)
    if open(again, "rb").read() != saved:
        fail("the saved song does not read back unchanged")
    key("ctrl+q")
    program.finish()


def scenario_wizard(bin_dir, source_dir):
    """F10 on a block tag opens the block wizard on that block with its parameter; the
    parameter typed over and Enter rewrite the tag in the line, with the OK signal."""
    song = song_file("wizard.qem", ["tempo 240"], [("Мелодия", 1, [TEMPO_LINE], [])])
    program, notes = open_song(bin_dir, song)
    wait_for("the tagged line", lambda: text_of(notes)[0] == TEMPO_LINE)
    caret_at(notes, TEMPO_LINE, 2)
    key("F10")
    wizard = wait_for("the block wizard", lambda: dialog(WIZARD))
    blocks = wait_for("the block list", lambda: lists_of(wizard).get(WIZARD))
    wait_for("focus on the block list", lambda: focused(blocks))
    chosen = [child.name for child in blocks if child is not None and
              selected(child)]
    if chosen != ["tempo"]:
        fail("the wizard chose %r, not the tag's block" % (chosen,))
    events = FocusEvents()
    for _ in range(8):  # Tab on to the parameter field
        field = focused_field()
        if field is not None and text_of(field)[0] == "100":
            break
        moves = len(events.focused)
        key("Tab")
        wait_for("the focus to move on", lambda: events.last() is not None and len(events.focused) > moves)
    field = wait_for("focus on the parameter 100", lambda: focused_field() is not None and
                     text_of(focused_field())[0] == "100" and focused_field())
    key("ctrl+a")
    type_text("90")
    wait_for("the parameter typed", lambda: text_of(field)[0] == "90")
    start = len(program.signals())
    key("Return")
    wait_for("the wizard to close", lambda: dialog(WIZARD) is None)
    focus_main_window()
    wait_for("the rewritten tag (now %r)" % (text_of(notes)[0],),
             lambda: text_of(notes)[0] == ")tempo:90.!PSNQ")
    wait_for("the OK signal (signals %r)" % (program.signals()[start:],),
             lambda: "sOk" in program.signals()[start:])
    quit_without_saving(program)


def scenario_translator(bin_dir, source_dir):
    """F12 on a track written in the solfeggio shorthand: "[нет]" and Enter convert its music
    text into Braille and take the Translator line out of its program."""
    song = song_file("solfeggio.qem", ["tempo 240"],
                     [("Мелодия", 1, [SOLFEGGIO_LINE], ["Translator solfeggio"])])
    program, notes = open_song(bin_dir, song)
    handler = find("text", PROGRAM_EDITOR)
    wait_for("the shorthand (now %r)" % (text_of(notes)[0],), lambda: text_of(notes)[0] == SOLFEGGIO_LINE)
    if "Translator solfeggio" not in program_lines(handler):
        fail("the program shows %r" % (text_of(handler)[0],))
    key("F12")
    picker = wait_for("the translator picker", lambda: dialog(PICKER))
    choices = wait_for("the translator list", lambda: lists_of(picker).get("Транслятор: Мелодия"))
    wait_for("focus on the translator list", lambda: focused(choices))
    if items_of(choices)[:1] != ["[нет]"] or "solfeggio" not in items_of(choices):
        fail("the picker offers %r" % (items_of(choices),))
    key("Home")
    wait_for("[нет] chosen", lambda: selected(choices[0]))
    start = len(program.signals())
    key("Return")
    wait_for("the picker to close", lambda: dialog(PICKER) is None)
    focus_main_window()
    wait_for("the Braille text (now %r)" % (text_of(notes)[0],), lambda: text_of(notes)[0] == "!PSNQ")
    wait_for("the Translator line gone (now %r)" % (text_of(handler)[0],),
             lambda: not any(line.lower().startswith("translator") for line in program_lines(handler)))
    wait_for("the OK signal", lambda: "sOk" in program.signals()[start:])
    quit_without_saving(program)


def scenario_orca_handler(bin_dir, source_dir):
    """With Orca running, F10 (on a block tag), F12 and F11 each open their dialog, Orca
    speaks its title or focused field (the translator picker: its chosen item; the module
    manager's context menu: its first item, then the list's item after Esc), and after Esc
    the program answers F4 again; the song is left unchanged."""
    song = song_file("orca.qem", ["module swing"],
                     [("Мелодия", 1, [TEMPO_LINE], [])])
    orca = Orca(os.path.dirname(song))
    program = None
    try:
        program, notes = orca.open_song(bin_dir, song)
        wait_for("Orca reading the Braille editor",
                 lambda: any(TEMPO_LINE in spoken for spoken in orca.spoken()), timeout_s=60)
        caret_at(notes, TEMPO_LINE, 2)
        handler = find("text", PROGRAM_EDITOR)
        # The wizard first, while the caret is on the tag; the module manager gives the
        # focus to the program editor when it closes.
        dialogs = [("F10", WIZARD, ("tempo",), notes, None),
                   ("F12", PICKER, ("Транслятор: Мелодия",), notes, "[нет]"),
                   ("F11", MANAGER, ("Свободные модули",), handler, None)]
        place = True
        for opening, caption, fields, editor, chosen in dialogs:
            heard = len(orca.spoken())
            key(opening)
            wait_for("the dialog " + caption, lambda: dialog(caption), timeout_s=60)
            wait_for(lambda: "Orca naming %s (it said %r)" % (caption, orca.spoken()[heard:]),
                     lambda: any(caption in spoken or any(field in spoken for field in fields)
                                 for spoken in orca.spoken()[heard:]), timeout_s=60)
            if chosen is not None:
                wait_for(lambda: "Orca saying the chosen %r (it said %r)" % (chosen, orca.spoken()[heard:]),
                         lambda: any(chosen in spoken for spoken in orca.spoken()[heard:]), timeout_s=60)
            if caption == WIZARD:
                # Past the block list and its description to the parameter tabs: the tab
                # reached is named, not a bare tab list.
                wizard = dialog(caption)
                tabs = find_in(wizard, "page tab list", "")
                description = find_in(wizard, "text", "Краткое описание")
                heard = len(orca.spoken())
                key("Tab")
                wait_for("the description or the tabs focused",
                         lambda: focused(tabs) or (description is not None and focused(description)),
                         timeout_s=30)
                if not focused(tabs):
                    key("Tab")
                wait_for("the parameter tabs focused", lambda: focused(tabs), timeout_s=30)
                wait_for(lambda: "Orca naming the parameter tab (it said %r)" % orca.spoken()[heard:],
                         lambda: any("Параметр 1:" in spoken for spoken in orca.spoken()[heard:]),
                         timeout_s=60)
            if caption == MANAGER:
                # The Menu key: the lists' context menu is heard on its first item before
                # another key; Esc gives the list back with its current item.
                heard = len(orca.spoken())
                key("Menu")
                wait_for(lambda: "Orca saying the context menu's first item (it said %r)" % orca.spoken()[heard:],
                         lambda: any("Подключить для всех треков" in spoken for spoken in orca.spoken()[heard:]),
                         timeout_s=60)
                heard = len(orca.spoken())
                key("Escape")
                wait_for(lambda: "Orca saying the free list's item again (it said %r)" % orca.spoken()[heard:],
                         lambda: any("dynamics" in spoken for spoken in orca.spoken()[heard:]), timeout_s=60)
            key("Escape")
            wait_for("the dialog %s to close" % caption, lambda: dialog(caption) is None, timeout_s=60)
            focus_main_window()
            wait_for("focus on %s after %s" % (editor.name, caption), lambda: focused(editor), timeout_s=60)
            start = quiet(program)
            key("F4")  # the place, the track at the next F4, the place again
            program.wait_said(["I Такт 1", "S Голос 1", "S " + TEMPO_LINE] if place
                              else ["I 1- Трек: Мелодия", "S " + TEMPO_LINE], start)
            place = not place
        if text_of(notes)[0] != TEMPO_LINE:
            fail("the dialogs closed by Esc changed the line: %r" % (text_of(notes)[0],))
        key("ctrl+q")  # nothing changed: the program ends without a question
        program.finish()
    finally:
        if program is not None and program.process.poll() is None:
            program.process.kill()
        orca.stop()


def scenario_renamemodule(bin_dir, source_dir):
    """F11 on a song whose control track attaches swing to all tracks: Tab to the all-tracks
    list, Delete takes swing off, Space renames it Groove (the module name dialog), End puts
    it on the track and Esc writes the lines: the control track keeps no line naming swing,
    the track names Groove, and the saved song exports with its modules found."""
    song = song_file("rename.qem", ["module swing"], [("Piano", 1, ["!PSNQ"], ["variable x", "let x=1"])])
    program, notes = open_song(bin_dir, song)
    handler = find("text", PROGRAM_EDITOR)
    wait_for("the Piano track",
             lambda: text_of(notes)[0] == "!PSNQ" and program_lines(handler) == ["variable x", "let x=1"])
    manager, free, common, track = open_manager("Piano")
    key("Tab")
    wait_for("focus on the all-tracks modules", lambda: focused(common))
    key("Delete")
    wait_for("swing free (lists %r, %r)" % (items_of(free), items_of(common)),
             lambda: items_of(common) == [] and "swing" in items_of(free))
    wait_for("focus on the free modules again", lambda: focused(free))
    key("space")
    wait_for("the module name dialog", lambda: dialog("Имя модуля"))
    name = wait_for("its field", lambda: find("text", "Имя модуля"))
    wait_for("the old name in it, focused", lambda: text_of(name)[0] == "swing" and focused(name))
    key("ctrl+a")
    type_text("Groove")
    wait_for("the new name typed", lambda: text_of(name)[0] == "Groove")
    key("Return")
    wait_for("Groove in the free list (now %r)" % (items_of(free),),
             lambda: dialog("Имя модуля") is None and "Groove" in items_of(free) and "swing" not in items_of(free))
    # The manager takes the keyboard back (no window manager on the virtual X server).
    windows = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(program.process.pid)],
                             stdout=subprocess.PIPE, text=True, check=True).stdout.split()
    for window in windows:
        title = subprocess.run(["xdotool", "getwindowname", window], stdout=subprocess.PIPE, text=True).stdout
        if title.strip() == MANAGER:
            subprocess.run(["xdotool", "windowfocus", "--sync", window], check=True)
    wait_for("focus on the free modules after the name", lambda: focused(free))
    key("End")
    wait_for("Groove on the track (now %r)" % (items_of(track),), lambda: items_of(track) == ["Groove"])
    key("Escape")
    wait_for("the manager to close", lambda: dialog(MANAGER) is None)
    focus_main_window()
    wait_for("the module line in the program (now %r)" % (text_of(handler)[0],),
             lambda: program_lines(handler) == ["Module Groove", "variable x", "let x=1"])
    before = os.path.getmtime(song)
    key("ctrl+s")
    wait_for("the song saved", lambda: os.path.getmtime(song) != before and
             b"\r\nPiano\r\n!PSNQ\r\nModule Groove\r\nvariable x\r\nlet x=1\r\n" in open(song, "rb").read())
    saved = open(song, "rb").read()
    if b"swing" in saved.lower():
        fail("a line still names the renamed module:\n%r" % saved)
    modules = sorted(os.listdir(os.path.join(program.home, "Modules")))
    if "Groove.Blk" not in modules or "swing.blk" in modules:
        fail("the module files are %r" % modules)
    key("ctrl+q")
    program.finish()
    out = os.path.join(os.path.dirname(song), "rename.mid")
    export = subprocess.run([os.path.join(bin_dir, "velto"), "--home", program.home, "--export", song, out],
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=120)
    if export.returncode != 0:
        fail("the saved song does not export: %s" % export.stdout.decode("utf-8", "replace"))


if __name__ == "__main__":
    run_scenario(globals())
