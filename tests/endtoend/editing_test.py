"""End-to-end tests of the real window: close questions only for a changed song, the place
kept and said, pasting, new songs that sound, advanced editing that explains itself.

usage: editing_test.py BIN_DIR SOURCE_DIR SCENARIO
scenarios: untouched, newsong, advanced, modes, insertmenu, clipboard, orca_clipboard, longmeasure,
orca_longmeasure
"""
import os
import shutil
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # no cache beside the sources
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from main_window_test import (install_home, Program, fail, find, find_text, focus_main_window, focused, key,
                              note_ons, press, text_of, type_text, wait_for, write_song,
                              run_scenario, quit_without_saving)  # noqa: E402


def write_song_in(folder, name, lines):
    path = os.path.join(folder, name)
    write_song(path, lines)
    return path


class Clipboard:
    """The X clipboard holding `text`, owned by a small GTK program until stopped."""

    SCRIPT = ("import sys, gi; gi.require_version('Gtk', '3.0'); from gi.repository import Gtk, Gdk;"
              "c = Gtk.Clipboard.get(Gdk.SELECTION_CLIPBOARD); c.set_text(sys.stdin.read(), -1);"
              "print('ready', flush=True); Gtk.main()")

    def __init__(self, text):
        self.process = subprocess.Popen(["/usr/bin/python3", "-c", self.SCRIPT], stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE)
        self.process.stdin.write(text.encode("utf-8"))
        self.process.stdin.close()
        self.process.stdout.readline()

    def stop(self):
        self.process.kill()
        self.process.wait()


def scenario_untouched(bin_dir, source_dir):
    """Songs opened and left untouched close without a question: the chorale (trailing empty
    measures, carets in its headers) and twinkle after a move to voice 2."""
    work = tempfile.mkdtemp(prefix="velto-songs-")
    for name, keys, said in (("chorale-in-g.qem", [], []), ("twinkle-twinkle.qem", ["Down"], ["I Голос 2"])):
        song = os.path.join(work, name)
        shutil.copy(os.path.join(source_dir, "examples", name), song)
        original = open(song, "rb").read()
        program = Program(bin_dir, [song])
        notes = wait_for("the Braille editor", lambda: find("text", "Нотный текст"))
        wait_for("focus on the Braille editor", lambda: focused(notes))
        start = len(program.said())
        if keys:
            key(*keys)
            program.wait_said(said, start)
        key("ctrl+q")  # no question: the program ends
        program.finish()
        if open(song, "rb").read() != original:
            fail("closing changed " + name)


def scenario_newsong(bin_dir, source_dir):
    """File > New gives a song that sounds: a typed measure previews its notes. A handler
    pasted into it (Ctrl+V) is typing, so closing asks; a 1 MB line is refused at once with a
    spoken reason."""
    program = Program(bin_dir, [])
    wait_for("the main window", lambda: find("frame", "VELTO"))
    focus_main_window()
    key("ctrl+n")
    notes = wait_for("the new song's editor", lambda: find("text", "Нотный текст"))
    handler = find("text", "Обработчик для текущего трека")
    wait_for("focus on the Braille editor", lambda: focused(notes))
    key("Tab")
    wait_for("focus on the handler editor", lambda: focused(handler))
    huge = Clipboard("x" * (1 << 20))
    start = len(program.said())
    key("ctrl+v")
    program.wait_said(["I Строка длиннее 262144 байт: вставка отменена"], start)
    huge.stop()
    if text_of(handler)[0] != "":
        fail("the refused paste changed the handler")
    clip = Clipboard("tempo 90")
    key("ctrl+v")
    wait_for("the pasted handler", lambda: text_of(handler)[0] == "tempo 90")
    clip.stop()
    key("ctrl+F4")
    wait_for("the save question for the pasted handler", lambda: find_text("Сохранить Новый сонг?"))
    press("push button", "Отмена")
    wait_for("the question to go", lambda: not find_text("Сохранить Новый сонг?"))
    focus_main_window()
    key("shift+Tab")
    wait_for("focus on the Braille editor", lambda: focused(notes))
    midi_start = len(program.midi())
    type_text("Vd4!TTOO")
    wait_for("the line typed", lambda: text_of(notes)[0] == "Vd4!TTOO")
    wait_for("previews of the typed notes (sent %r)" % note_ons(program.midi()[midi_start:]),
             lambda: len(note_ons(program.midi()[midi_start:])) == 4)
    key("ctrl+q")
    wait_for("the save question", lambda: find_text("Сохранить Новый сонг?"))
    press("push button", "Нет")
    program.finish()


def scenario_advanced(bin_dir, source_dir):
    """The voice is kept across measures with fewer voices; Delete on a line's first note in
    advanced editing describes the note that follows; a notation error in advanced editing
    is shown in a message box that names it; the play keys that cannot act say nothing."""
    work = tempfile.mkdtemp(prefix="velto-songs-")
    song = write_song_in(work, "advanced.qem", ["1 0 0 1 0 0 0", "Общее", "Vd4m", "3 0 1 1 0 0 0", "Мелодия",
                                             "!PSNQ", "SNQT", "Vd4!PS+NQ", "2 0 2 1 0 0 0", "Бас",
                                             "!PSN()QQp()NNo", "SSOO"])
    program = Program(bin_dir, [song])
    notes = wait_for("the Braille editor", lambda: find("text", "Нотный текст"))
    wait_for("focus on the Braille editor", lambda: focused(notes))
    program.wait_said(["I advanced", "S Нотный текст:", "S 2- Трек: Бас", "S !PSN"], 0)
    key("Down", "Down")
    wait_for("voice 3", lambda: text_of(notes)[0] == "NNo")
    key("End")
    start = len(program.said())
    key("Right", "Left")
    program.wait_said(["I Такт 2", "I Такт 1", "S NNo"], start)
    key("Prior", "End", "Right")  # the melody, on to measure 2
    wait_for("measure 2", lambda: text_of(notes)[0] == "SNQT")
    key("Home", "Scroll_Lock")
    start = len(program.said())
    key("Delete")
    wait_for("the first note deleted (now %r)" % (text_of(notes),), lambda: text_of(notes) == ("NQT", 0))
    program.wait_said(["I Ми, длительность: 4"], start)
    key("Scroll_Lock", "End", "Right")  # measure 3
    wait_for("measure 3", lambda: text_of(notes)[0] == "Vd4!PS+NQ")
    key("Scroll_Lock", "Home", "Right")
    box = wait_for("the error box", lambda: find_text("Мелодия нотный текст!"))
    # The error named, with the signs where it stands, as export names it.
    if "Синтаксическая ошибка!" not in box.name or "+NQ" not in box.name or "Не известная" in box.name:
        fail("the error box says %r" % box.name)
    press("push button", "OK")
    wait_for("the error box to go", lambda: not find_text("Мелодия нотный текст!"))
    focus_main_window()
    wait_for("focus on the Braille editor", lambda: focused(notes))
    start = len(program.said())
    # Nothing plays: RePlay and StopAndGo are off, Stop only resets the port.
    for keys in ("ctrl+alt+space", "shift+Escape", "Escape"):
        key(keys)
    key("Right")
    wait_for("the echo of Right", lambda: len(program.said()) > start)
    if any(line.strip() == "I" for line in program.said()[start:]):
        fail("an empty interrupting text was spoken: %r" % program.said()[start:])
    key("ctrl+q")
    wait_for("the save question", lambda: find_text("Сохранить?"))
    press("push button", "Нет")
    program.finish()


def scenario_modes(bin_dir, source_dir):
    """A window that opens with advanced editing and dot mode on (from velto.ini) says so
    once, after its place."""
    song = os.path.join(source_dir, "examples", "twinkle-twinkle.qem")
    home = install_home(bin_dir, os.path.join(tempfile.mkdtemp(prefix="velto-modes-"), "home"))
    with open(os.path.join(home, "velto.ini"), "w", encoding="cp1251") as ini:
        ini.write("[EditingNotes]\r\nAdvancedEditing=1\r\nPointMode=1\r\n")
    program = Program(bin_dir, [song], home=home)
    program.wait_said(["I twinkle-twinkle", "S Нотный текст:", "S 1- Трек: Мелодия", "S MMVd4!SSOO",
                       "S Режим продвинутого редактирования включен",
                       "S Точечный режим включен"], 0)
    key("ctrl+q")
    program.finish()
    if sum("включен" in line for line in program.said()) != 2:
        fail("the modes were said more than once: %r" % program.said())


class FocusEvents:
    """The items that got the focus, as a screen reader hears of them: a popup menu is not
    in the application's tree, only its focus events name its items."""

    def __init__(self):
        import pyatspi
        self.focused = []
        pyatspi.Registry.registerEventListener(self._on, "object:state-changed:focused")

    def _on(self, event):
        try:
            if event.detail1 == 1:
                self.focused.append((event.source.getRoleName(), event.source.name))
        except Exception:  # the source went away
            pass

    def last(self):
        from gi.repository import GLib
        context = GLib.MainContext.default()
        while context.iteration(False):
            pass
        return self.focused[-1] if self.focused else None


def scenario_insertmenu(bin_dir, source_dir):
    """Enter in the Braille editor opens the notation insert menu on its first item; the arrow keys walk into
    its submenus, each item named for the screen reader as it gets the focus; Enter inserts
    the sign, which sounds, is said, and is one undo step of a changed song."""
    work = tempfile.mkdtemp(prefix="velto-songs-")
    song = write_song_in(work, "melody.qem",
                         ["1 0 0 1 0 0 0", "Общее", "Vd4m", "1 0 1 1 0 0 0", "Мелодия", "!PS"])
    program = Program(bin_dir, [song])
    notes = wait_for("the Braille editor", lambda: find("text", "Нотный текст"))
    wait_for("focus on the Braille editor", lambda: focused(notes))
    program.wait_said(["I melody", "S Нотный текст:", "S 1- Трек: Мелодия"], 0)
    events = FocusEvents()
    key("End")
    wait_for("the caret at the end", lambda: text_of(notes) == ("!PS", 3))
    key("Return")  # the menu opens on its first item
    for keys, item in (([], "Ноты"), (["Right"], "Целая или шестнадцатая"),
                       (["Down", "Down"], "Четвертная или шестьдесят четвёртая"),
                       (["Right", "Down"], "Ре, Четвертная или шестьдесят четвёртая")):
        if keys:
            key(*keys)
        wait_for(lambda: "the focus on %r (now %r)" % (item, events.focused),
                 lambda: events.last() == ("menu item", item))
    start, midi_start = len(program.said()), len(program.midi())
    key("Return")
    wait_for("the sign inserted", lambda: text_of(notes) == ("!PSS", 4))
    program.wait_said(["S S"], start)
    wait_for("the D previewed", lambda: note_ons(program.midi()[midi_start:]) == [(0, 62, 81)])
    key("ctrl+q")
    wait_for("the save question", lambda: find_text("Сохранить?"))
    press("push button", "Нет")
    program.finish()

def wait_heard(program, line, start):
    """Waits until `line` is spoken after speech log entry `start`."""
    wait_for(lambda: "speech %r (heard %r)" % (line, program.said()[start:]),
             lambda: line in program.said()[start:])


def x_clipboard():
    """The X clipboard's text as another program reads it."""
    read = subprocess.run(["xclip", "-o", "-selection", "clipboard"], stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, timeout=10)
    return read.stdout.decode("utf-8") if read.returncode == 0 else None


def scenario_clipboard(bin_dir, source_dir):
    """The Edit menu's keys in the Braille editor: Ctrl+C after Shift+Home puts the selected
    cells on the X clipboard and says them, Ctrl+V inserts them as one step that Alt+Z takes
    back, Ctrl+Z takes back the line's last change and a second Ctrl+Z puts it back, Ctrl+A
    selects the line and says it; a copy of nothing is said."""
    work = tempfile.mkdtemp(prefix="velto-songs-")
    song = write_song_in(work, "clip.qem", ["1 0 0 1 0 0 0", "Общее", "Vd4m",
                                            "1 0 1 1 0 0 0", "Мелодия", "!PSNQ"])
    program = Program(bin_dir, [song])
    notes = wait_for("the Braille editor", lambda: find("text", "Нотный текст"))
    wait_for("focus on the Braille editor", lambda: focused(notes))
    program.wait_said(["I clip", "S Нотный текст:", "S 1- Трек: Мелодия"], 0)
    start = len(program.said())
    key("End")
    wait_for("the caret at the end", lambda: text_of(notes) == ("!PSNQ", 5))
    key("ctrl+c")  # nothing selected: said, the clipboard untouched
    wait_heard(program, "I Ничего не выделено: в буфер ничего не скопировано", start)
    key("shift+Home")
    start = len(program.said())
    key("ctrl+c")
    wait_heard(program, "I Скопировано: !PSNQ", start)
    wait_for("the cells on the X clipboard (now %r)" % (x_clipboard(),), lambda: x_clipboard() == "!PSNQ")
    key("End")
    wait_for("the caret at the end", lambda: text_of(notes) == ("!PSNQ", 5))
    key("ctrl+v")
    wait_for("the pasted cells (now %r)" % (text_of(notes),), lambda: text_of(notes)[0] == "!PSNQ!PSNQ")
    key("ctrl+z")
    wait_for("the paste taken back by Ctrl+Z", lambda: text_of(notes)[0] == "!PSNQ")
    key("ctrl+z")
    wait_for("the paste put back by Ctrl+Z", lambda: text_of(notes)[0] == "!PSNQ!PSNQ")
    key("alt+z")
    wait_for("the paste undone by Alt+Z (now %r)" % (text_of(notes),), lambda: text_of(notes)[0] == "!PSNQ")
    start = len(program.said())
    key("ctrl+a")
    wait_heard(program, "I Выделено: !PSNQ", start)
    quit_without_saving(program)


def scenario_orca_clipboard(bin_dir, source_dir):
    """With Orca running, the Text menu's keys in the Braille editor are answered at once:
    Ctrl+A and Ctrl+C say what they selected and copied, Ctrl+V pastes and says what it
    pasted, Ctrl+Z takes it back,
    and the next key (Right) is answered after them."""
    from accessibility_test import Orca
    work = tempfile.mkdtemp(prefix="velto-orca-")
    song = write_song_in(work, "orcaclip.qem", ["1 0 0 1 0 0 0", "Общее", "Vd4m",
                                                "1 0 1 1 0 0 0", "Мелодия", "!PSNQ"])
    orca = Orca(work)
    program = None
    try:
        program, notes = orca.open_song(bin_dir, song)
        start = len(program.said())
        key("ctrl+a")
        wait_for(lambda: "Ctrl+A said (heard %r)" % program.said()[start:],
                 lambda: "I Выделено: !PSNQ" in program.said()[start:], timeout_s=60)
        key("ctrl+c")
        wait_for(lambda: "Ctrl+C said (heard %r)" % program.said()[start:],
                 lambda: "I Скопировано: !PSNQ" in program.said()[start:], timeout_s=60)
        key("End")
        wait_for("the caret at the end", lambda: text_of(notes) == ("!PSNQ", 5), timeout_s=60)
        start = len(program.said())
        key("ctrl+v")
        wait_for(lambda: "the pasted cells (the line %r, heard %r)" % (text_of(notes), program.said()[start:]),
                 lambda: text_of(notes)[0] == "!PSNQ!PSNQ", timeout_s=60)
        # Orca never hears the key of the command: the program says what it pasted.
        wait_for(lambda: "Ctrl+V said (heard %r)" % program.said()[start:],
                 lambda: "I Вставлено: !PSNQ" in program.said()[start:], timeout_s=60)
        key("ctrl+z")
        wait_for("the paste taken back", lambda: text_of(notes)[0] == "!PSNQ", timeout_s=60)
        key("Home")
        wait_for("the caret at the start", lambda: text_of(notes)[1] == 0, timeout_s=60)
        start = len(program.said())
        key("Right")
        wait_for("an answer to Right", lambda: len(program.said()) > start, timeout_s=60)
        quit_without_saving(program)
        program = None
    finally:
        if program is not None:
            program.process.kill()
        orca.stop()


def long_song_bytes(measure2, caret=0):
    """A song whose melody's measure 1 holds 40,000 cells (more than a Qt line edit keeps
    unless told), written out by hand; the melody's header holds the caret column."""
    return ("1 0 0 1 0 0 0\r\nОбщее\r\nVd4m\r\n2 0 1 1 %d 0 0\r\nМелодия\r\n!" % caret + "S" * 39999 +
            "\r\n" + measure2 + "\r\n").encode("cp1251")


def scenario_longmeasure(bin_dir, source_dir):
    """A song with a 40,000-cell measure: left untouched after a move to measure 2, Ctrl+F4
    closes it without a question and without writing; edited in measure 2 and saved, the
    file holds the long measure whole and the edit."""
    work = tempfile.mkdtemp(prefix="velto-songs-")
    song = os.path.join(work, "long.qem")
    with open(song, "wb") as out:
        out.write(long_song_bytes("!SSOO"))
    for edit in (False, True):
        program = Program(bin_dir, [song])
        notes = wait_for("the Braille editor", lambda: find("text", "Нотный текст"))
        wait_for("focus on the Braille editor", lambda: focused(notes))
        wait_for("the long measure whole (now %d cells)" % len(text_of(notes)[0]),
                 lambda: len(text_of(notes)[0]) == 40000)
        key("alt+Right")
        wait_for("measure 2 (now %r)" % (text_of(notes)[0][:20],), lambda: text_of(notes)[0] == "!SSOO")
        if not edit:
            key("ctrl+F4")
            wait_for("the song window to close", lambda: find("frame", "long (qem)") is None)
            if find_text("Сохранить?") is not None:
                fail("an untouched song asked to be saved")
            focus_main_window()
            key("ctrl+q")
            program.finish()
            if open(song, "rb").read() != long_song_bytes("!SSOO"):
                fail("closing the untouched song changed its file")
            continue
        key("End")
        type_text("Q")
        wait_for("the typed line (now %r)" % (text_of(notes),), lambda: text_of(notes) == ("!SSOOQ", 6))
        key("ctrl+s")
        wait_for("the OK signal of Ctrl+S", lambda: "sOk" in program.signals())
        key("ctrl+q")  # saved: no question
        program.finish()
        if open(song, "rb").read() != long_song_bytes("!SSOOQ", 6):
            fail("the saved song is not the long measure and the edit")


def focused_node():
    """Role and name of the node of the program that has the focus."""
    from main_window_test import nodes, velto_app
    for node in nodes(velto_app()):
        try:
            if focused(node):
                return (node.getRoleName(), node.name)
        except Exception:
            continue
    return None


def scenario_orca_longmeasure(bin_dir, source_dir):
    """With Orca running, the 40,000-cell measure is read, its place said, walked to its end and typed at:
    the program answers every key (Orca's questions about the long line never hold it) and
    the saved song holds the measure whole with the typed note."""
    from accessibility_test import Orca
    work = tempfile.mkdtemp(prefix="velto-orca-")
    song = os.path.join(work, "long.qem")
    with open(song, "wb") as out:
        out.write(long_song_bytes("!SSOO"))
    orca = Orca(work)
    program = None
    try:
        program, notes = orca.open_song(bin_dir, song)
        wait_for("the long measure whole", lambda: len(text_of(notes)[0]) == 40000, timeout_s=60)
        wait_for("Orca reading the Braille editor",
                 lambda: any("SSSS" in spoken for spoken in orca.spoken()), timeout_s=60)
        start = len(program.said())
        key("F4")  # the place
        wait_for(lambda: "an answer to F4 (heard %r)" % ([t[:40] for t in program.said()[start:]],),
                 lambda: "I Такт 1" in program.said()[start:], timeout_s=60)
        key("End")
        wait_for("the caret at the end", lambda: text_of(notes)[1] == 40000, timeout_s=60)
        start = len(program.midi())
        heard = len(program.said())
        type_text("N")
        wait_for(lambda: "the note typed (now %d cells, caret %d, ending %r; heard %r, signals %r, focused %r)" % (
                     len(text_of(notes)[0]), text_of(notes)[1], text_of(notes)[0][-3:],
                     [t[:40] for t in program.said()[heard:]], program.signals(), focused_node()),
                 lambda: text_of(notes) == ("!" + "S" * 39999 + "N", 40001), timeout_s=60)
        wait_for("its preview", lambda: len(program.midi()) > start, timeout_s=60)
        key("ctrl+s")
        wait_for("the OK signal of Ctrl+S", lambda: "sOk" in program.signals(), timeout_s=60)
        key("ctrl+q")
        program.finish()
    finally:
        if program is not None and program.process.poll() is None:
            program.process.kill()
        orca.stop()
    expected = long_song_bytes("!SSOO", 40001).replace(b"S\r\n!SSOO", b"SN\r\n!SSOO")
    if open(song, "rb").read() != expected:
        fail("the saved song is not the long measure with the typed note")

if __name__ == "__main__":
    run_scenario(globals())
