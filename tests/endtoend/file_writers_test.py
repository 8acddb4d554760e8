"""End-to-end tests of the real window against every writer of a song file that is not
the window itself: another program that replaces or deletes it, a second copy of the
program, another window on the same file; and what Save and Save As answer.

usage: file_writers_test.py BIN_DIR SOURCE_DIR SCENARIO
scenarios: replaced, replacedclose, deleted, secondcopy, samefile, utf8, badsong, savekeys,
latehandover, closinghandover, fifosong, savecaret
"""
import os
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import threading

sys.dont_write_bytecode = True  # no cache beside the sources
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from main_window_test import (NOTES, Program, close_answering_no, edit_handler, fail, find, find_text,  # noqa: E402
                              focus_main_window, focused, focused_field, key, nodes, press, text_of,
                              type_text, velto_app, wait_for)

OTHER = "1 0 0 1 0 0 0\r\nOther\r\nVd4m\r\n".encode("cp1251")


def song_copy(source_dir, name, example="twinkle-twinkle.qem"):
    work = tempfile.mkdtemp(prefix="velto-writers-")
    path = os.path.join(work, name)
    shutil.copy(os.path.join(source_dir, "examples", example), path)
    return path


def read(path):
    with open(path, "rb") as f:
        return f.read()


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def file_dialog():
    """The save dialog (Qt's own file dialog), when one is shown."""
    app = velto_app()
    for node in nodes(app) if app else []:
        try:
            if node.getRoleName() in ("dialog", "file chooser") and node.name in (
                    "Save As", "Сохранить как", "Сохранить файл", "Save File"):
                return node
        except Exception:
            continue
    return None


def labels_of(node):
    """The names of what labels `node` (its labelled-by relations)."""
    import pyatspi
    names = []
    for relation in node.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            names += [relation.getTarget(i).name for i in range(relation.getNTargets())]
    return names


def song_window_shown(caption):
    """Waits for the song window `caption` with its Braille editor focused."""
    wait_for("the song window " + caption, lambda: find("frame", caption))
    wait_for("focus on a Braille editor", lambda: focused_field(NOTES))


def press_later(role, name):
    """Runs a node's default action without waiting for it: an action that opens a modal
    dialog answers only when the dialog closes."""
    node = wait_for("%s %r" % (role, name), lambda: find(role, name))

    def act():
        try:
            node.queryAction().doAction(0)
        except Exception:
            pass
    threading.Thread(target=act, daemon=True).start()


CHANGED = "tw.qem изменён другой программой после открытия."


def enter_offers_another_file(program, song, keys):
    """`keys` meets the question about the other program's version; Enter offers a save
    dialog for the window's text, whose Esc keeps the window."""
    key(*keys)
    wait_for("the question naming the other program", lambda: find_text(CHANGED))
    key("Return")
    wait_for("the save dialog offered", file_dialog)
    key("Escape")
    wait_for("the save dialog to close", lambda: file_dialog() is None)
    if read(song) != OTHER:
        fail("the other program's version was written over after %r" % (keys,))


def edited_line_kept(program, line):
    """The program still runs and its Braille editor, focused again, holds `line`."""
    focus_main_window()
    notes = wait_for("focus on the Braille editor", lambda: focused_field(NOTES))
    if program.process.poll() is not None:
        fail("the program ended though its save dialog was cancelled")
    if text_of(notes)[0] != line:
        fail("the Braille editor holds %r, not the edited %r" % (text_of(notes)[0], line))


def type_a_cell():
    """Types "N" at the end of the focused Braille editor's line; returns the new line."""
    notes = wait_for("focus on the Braille editor", lambda: focused_field(NOTES))
    key("End")
    before = text_of(notes)[0]
    type_text("N")
    return wait_for("the typed cell", lambda: text_of(notes)[0] == before + "N" and before + "N")


def scenario_replaced(bin_dir, source_dir):
    """Another program replaced the song: Enter at Ctrl+S (untouched and edited), Ctrl+Q and
    Ctrl+F4 offers a save dialog for the window's text, whose Esc keeps the window and its
    text; that text then goes to another file."""
    song = song_copy(source_dir, "tw.qem")
    program = Program(bin_dir, [song])
    song_window_shown("tw (qem)")
    write(song, OTHER)
    enter_offers_another_file(program, song, ["ctrl+s"])
    focus_main_window()
    line = type_a_cell()
    enter_offers_another_file(program, song, ["ctrl+s"])
    edited_line_kept(program, line)
    for keys in (["ctrl+q"], ["ctrl+F4"]):
        enter_offers_another_file(program, song, keys)
        edited_line_kept(program, line)
    if "sOk" in program.signals():
        fail("the OK signal without a save: %r" % program.signals())
    key("ctrl+q")
    wait_for("the question naming the other program", lambda: find_text(CHANGED))
    press("push button", "Сохранить в другой файл")
    wait_for("the save dialog offered", file_dialog)
    mine = os.path.join(os.path.dirname(song), "mine.qem")
    type_text(mine)
    key("Return")
    program.finish()
    if read(song) != OTHER:
        fail("the other program's version was written over")
    if line.encode("cp1251") not in read(mine):
        fail("the edited measure is not in the file saved elsewhere")


def scenario_replacedclose(bin_dir, source_dir):
    """Typed windows over files another program replaced or deleted close on "Оставить
    другую версию" and "Не записывать" without a save dialog and without writing; an
    untouched song whose file was replaced closes without a word."""
    for name, other, question, answer in (
            ("rep", lambda p: write(p, OTHER), "rep.qem изменён другой программой",
             "Оставить другую версию"),
            ("del", os.remove, "del.qem удалён другой программой", "Не записывать")):
        song = song_copy(source_dir, name + ".qem")
        program = Program(bin_dir, [song])
        song_window_shown(name + " (qem)")
        type_a_cell()
        other(song)
        key("ctrl+F4")
        wait_for("the question about the other program", lambda: find_text(question))
        press("push button", answer)
        wait_for("the window to close", lambda: find("frame", name + " (qem)") is None)
        if file_dialog() is not None:
            fail("a save dialog after %r" % answer)
        key("ctrl+q")
        program.finish()
        if os.path.exists(song) and read(song) != OTHER:
            fail("closing wrote over the other program's version")
        if name == "del" and os.path.exists(song):
            fail("closing wrote the deleted song again")
    song = song_copy(source_dir, "tw.qem")
    program = Program(bin_dir, [song])
    song_window_shown("tw (qem)")
    write(song, OTHER)
    key("ctrl+q")
    program.finish()
    if read(song) != OTHER:
        fail("closing wrote over the other program's version")


def scenario_deleted(bin_dir, source_dir):
    """A deleted song is written again only after the window said so."""
    song = song_copy(source_dir, "tw.qem")
    program = Program(bin_dir, [song])
    song_window_shown("tw (qem)")
    os.remove(song)
    key("ctrl+s")
    wait_for("the question about the deletion", lambda: find_text("tw.qem удалён другой программой"))
    if os.path.exists(song):
        fail("the file was written before the question was answered")
    press("push button", "Записать снова")
    wait_for("the song written again", lambda: os.path.exists(song))
    wait_for("the OK signal", lambda: "sOk" in program.signals())
    focus_main_window()
    key("ctrl+q")
    program.finish()


def scenario_secondcopy(bin_dir, source_dir):
    """A second copy on the same program folder hands its song to the first and ends; the
    first copy's undo files stay, the song opens in window 2."""
    first_song = song_copy(source_dir, "tw.qem")
    second_song = song_copy(source_dir, "ode.qem", "ode-to-joy.qem")
    program = Program(bin_dir, [first_song])
    song_window_shown("tw (qem)")
    before = program.temp_files()
    if "Qem[1].dat" not in before:
        fail("no undo state file of window 1: %r" % before)
    env = dict(os.environ, LANG="ru_RU.UTF-8")
    second = subprocess.run([os.path.join(bin_dir, "velto"), "--home", program.home,
                             os.path.relpath(second_song)],
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, env=env, timeout=30)
    if second.returncode != 0:
        fail("the second copy ended with %d: %r" % (second.returncode, second.stdout))
    wait_for("the handed-over song in the first copy", lambda: find("frame", "ode (qem)"))
    files = program.temp_files()
    for name in ("Qem[1].dat", "Qem[2].dat"):
        if name not in files:
            fail("%s missing after the hand-over: %r" % (name, files))
    if find("frame", "tw (qem)") is None:
        fail("the first song's window is gone")
    key("ctrl+q")
    program.finish()
    if program.temp_files():
        fail("files left in Resources/temp: %r" % program.temp_files())


def scenario_samefile(bin_dir, source_dir):
    """Opening a song a window shows goes to that window; Save As onto the file another
    window shows is refused with a message naming that window."""
    a = song_copy(source_dir, "a.qem")
    b = os.path.join(os.path.dirname(a), "b.qem")
    shutil.copy(a, b)
    original = read(a)
    program = Program(bin_dir, [a, b])
    song_window_shown("b (qem)")
    key("ctrl+o")
    wait_for("the open dialog", lambda: find("dialog", "Открыть") or find("file chooser", "Открыть"))
    type_text(a)
    key("Return")
    wait_for("the window of a.qem to come back", lambda: focused_field(NOTES)
             and find("frame", "a (qem)") is not None)
    frames = [n for n in nodes(velto_app()) if n.getRoleName() == "frame" and n.name == "a (qem)"]
    if len(frames) != 1:
        fail("%d windows show a.qem" % len(frames))
    start = len(program.said())
    key("ctrl+F6")  # back to b.qem
    wait_for(lambda: "the window of b.qem reached (heard %r)" % (program.said()[start:],),
             lambda: any(line[2:] == "b" for line in program.said()[start:]))
    wait_for("focus on its Braille editor", lambda: focused_field(NOTES))
    press_later("menu item", "Сохранить как...")
    wait_for("the save dialog", file_dialog)
    type_text(a)
    key("Return")
    wait_for("the replace question", lambda: find("push button", "Да"))
    press_later("push button", "Да")
    wait_for("the refusal naming the window", lambda: find_text("a.qem открыт в окне «a (qem)»"))
    press("push button", "OK")
    wait_for("the refusal to close", lambda: not find_text("a.qem открыт в окне"))
    if read(a) != original:
        fail("Save As wrote over the song another window shows")
    focus_main_window()
    key("ctrl+q")
    program.finish()


def scenario_utf8(bin_dir, source_dir):
    """An untouched UTF-8 song closes without a question."""
    work = tempfile.mkdtemp(prefix="velto-writers-")
    song = os.path.join(work, "tw.qem")
    text = read(os.path.join(source_dir, "examples", "twinkle-twinkle.qem")).decode("cp1251")
    write(song, text.encode("utf-8"))
    program = Program(bin_dir, [song])
    song_window_shown("tw (qem)")
    key("ctrl+q")
    program.finish()
    if read(song) != text.encode("utf-8"):
        fail("closing wrote the UTF-8 song")


def scenario_badsong(bin_dir, source_dir):
    """A song that cannot be opened is named with its error."""
    work = tempfile.mkdtemp(prefix="velto-writers-")
    song = os.path.join(work, "bad.qem")
    write(song, "1 0 0 1 0 0 0\r\nОбщее\r\nVd4m\r\nx 0 1 1 0 0 0\r\nМелодия\r\n".encode("cp1251"))
    program = Program(bin_dir, [song])
    box = wait_for("the error naming the file", lambda: find_text(song))
    said = [("line 4", "the header of track 1"), ("строка 4", "заголовок трека 1")]
    if not any(line in box.name and track in box.name for line, track in said):
        fail("the error does not name the line and the track: %r" % box.name)
    press("push button", "OK")
    wait_for("the error box to close", lambda: not find_text(song))
    focus_main_window()
    key("ctrl+q")
    program.finish()


def scenario_savekeys(bin_dir, source_dir):
    """Ctrl+S answers with the OK signal; in Save As the type combo is labelled by its
    label ("Типы файлов"), reads as the type chosen and its change is spoken, the
    dialog opens in the song's folder, a name ending in .mid exports MIDI though the type
    says song, and the finished export is said."""
    song = song_copy(source_dir, "tw.qem")
    program = Program(bin_dir, [song])
    song_window_shown("tw (qem)")
    key("ctrl+s")
    wait_for("the OK signal of Ctrl+S", lambda: program.signals().count("sOk") == 1)
    press_later("menu item", "Сохранить как...")
    dialog = wait_for("the save dialog", file_dialog)
    folder = os.path.dirname(song)
    wait_for("the dialog in the song's folder",
             lambda: any(n.getRoleName() == "combo box" and n.name == folder for n in nodes(dialog)))
    name_field = wait_for("the file name field", lambda: find("text", "Имя файла:"))
    wait_for("focus on the file name", lambda: focused(name_field))
    start = len(program.said())
    key("Tab")  # the type combo box
    combo = wait_for("focus on the type combo", lambda: next(
        (n for n in nodes(dialog) if n.getRoleName() == "combo box" and focused(n)), None))
    wait_for("the type combo labelled by %r" % labels_of(combo),
             lambda: "Типы файлов:" in labels_of(combo))
    # Its text is the type chosen: what Orca says as its value.
    chosen = combo.queryText().getText(0, -1)
    if chosen != "Сонг (.QEM) (*.Qem)":
        fail("the type combo reads %r" % chosen)
    key("Down")
    program.wait_said(["I MIDI файл (.MID) (*.mid)"], start)
    key("Up")
    program.wait_said(["I Сонг (.QEM) (*.Qem)"], start + 1)
    key("shift+Tab")
    wait_for("focus back on the file name", lambda: focused(name_field))
    type_text("tw2.mid")
    key("Return")
    out = os.path.join(os.path.dirname(song), "tw2.mid")
    wait_for("the MIDI file beside the song", lambda: os.path.exists(out) and read(out)[:4] == b"MThd")
    wait_for("the export said", lambda: "S Экспорт завершён: tw2.mid" in program.said())
    wait_for("the OK signal of the export", lambda: program.signals().count("sOk") == 2)
    if find("frame", "tw (qem)") is None:
        fail("the window was renamed by the export")
    focus_main_window()
    key("ctrl+q")
    program.finish()


def scenario_savecaret(bin_dir, source_dir):
    """A new song saved with Ctrl+S through the save dialog, and again with Save As, keeps
    the Braille editor's caret where it stood."""
    work = tempfile.mkdtemp(prefix="velto-writers-")
    program = Program(bin_dir, [])
    wait_for("the main window", lambda: find("frame", "VELTO"))
    focus_main_window()
    key("ctrl+n")
    notes = wait_for("focus on the Braille editor", lambda: focused_field(NOTES))
    type_text("!PSNQ")
    key("Left", "Left")
    wait_for("the caret at 3 (now %r)" % (text_of(notes),), lambda: text_of(notes) == ("!PSNQ", 3))
    for name, caret in (("first", 3), ("second", 2)):
        if name == "first":
            key("ctrl+s")
        else:
            key("Left")
            wait_for("the caret at 2", lambda: text_of(notes) == ("!PSNQ", 2))
            press_later("menu item", "Сохранить как...")
        wait_for("the save dialog", file_dialog)
        wait_for("focus on the file name", lambda: focused_field("Имя файла:"))
        path = os.path.join(work, name + ".qem")
        type_text(path)
        key("Return")
        wait_for("the song saved as " + name, lambda: find("frame", name + " (qem)"))
        if b"!PSNQ" not in read(path):
            fail("the measure is not in " + path)
        focus_main_window()
        notes = wait_for("focus on the Braille editor", lambda: focused_field(NOTES))
        if text_of(notes) != ("!PSNQ", caret):
            fail("after saving as %s the editor holds %r, the caret not at %d" % (name, text_of(notes), caret))
    key("ctrl+q")
    program.finish()


WAITING = "Программа уже запущена, но не отвечает. Жду её ответа."


def wait_spoken(program, line):
    wait_for("%r spoken (heard %r)" % (line, program.said()),
             lambda: any(said.endswith(" " + line) for said in program.said()))


def scenario_latehandover(bin_dir, source_dir):
    """A second copy started while the first is stopped says that it waits, then runs beside
    it with its song; the first, going on, does not open that song as well."""
    first_song = song_copy(source_dir, "tw.qem")
    late_song = song_copy(source_dir, "ode.qem", "ode-to-joy.qem")
    third_song = song_copy(source_dir, "saints.qem", "when-the-saints.qem")
    first = Program(bin_dir, [first_song])
    song_window_shown("tw (qem)")
    first.process.send_signal(signal.SIGSTOP)
    try:
        second = Program(bin_dir, [late_song], home=first.home)
        wait_spoken(second, WAITING)
        wait_for("the second copy's own window (%r)" % (first.temp_files(),),
                 lambda: "Qem[2].dat" in first.temp_files())
    finally:
        first.process.send_signal(signal.SIGCONT)
    # A hand-over the first copy answers now goes to window 3: had it opened the late song,
    # that would have taken 3 and this one 4.
    third = subprocess.run([os.path.join(bin_dir, "velto"), "--home", first.home, third_song],
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=60)
    if third.returncode != 0:
        fail("the third copy ended with %d: %r" % (third.returncode, third.stdout))
    wait_for("the third song in the first copy (%r)" % (first.temp_files(),),
             lambda: "Qem[3].dat" in first.temp_files())
    if "Qem[4].dat" in first.temp_files():
        fail("the first copy opened the song the second copy opened itself: %r" % first.temp_files())
    for program in (second, first):
        program.process.terminate()
        program.process.wait(timeout=60)
        program.output.close()


def scenario_closinghandover(bin_dir, source_dir):
    """A song handed over while the first copy asks before it closes is not opened into the
    closing program: the later copy waits, and opens it itself once the first has ended."""
    first_song = song_copy(source_dir, "tw.qem")
    late_song = song_copy(source_dir, "ode.qem", "ode-to-joy.qem")
    first = Program(bin_dir, [first_song])
    song_window_shown("tw (qem)")
    edit_handler()
    key("ctrl+q")
    wait_for("the save question", lambda: find_text("Файл tw.qem был изменён. Сохранить?"))
    second = Program(bin_dir, [late_song], home=first.home)
    wait_spoken(second, WAITING)
    if find("frame", "ode (qem)") is not None:
        fail("the handed-over song opened into the closing program")
    press("push button", "Нет")
    first.finish()
    wait_for("the song in the later copy, now the only one",
             lambda: find("frame", "ode (qem)"))
    close_answering_no(second)
    second.finish()


def release_fifo(path):
    """Opens the FIFO for reading and writing and closes it: an open of the program that
    waits on it returns (the watchdog of a hang)."""
    try:
        os.close(os.open(path, os.O_RDWR | os.O_NONBLOCK))
    except OSError:
        pass


NOT_REGULAR = "Это не обычный файл (канал, устройство или сокет)"


def scenario_fifosong(bin_dir, source_dir):
    """A song that is a FIFO is refused with a message naming it, never waited on: given on
    the command line; replacing an untouched open song (Ctrl+F4 closes it); replacing an
    edited one (Ctrl+S asks, Overwrite is refused with the message; Ctrl+Q keeps the window
    until its text is saved elsewhere)."""
    fifo = os.path.join(tempfile.mkdtemp(prefix="velto-writers-"), "fifo.qem")
    os.mkfifo(fifo)
    program = Program(bin_dir, [fifo])
    try:
        box = wait_for("the error naming the FIFO", lambda: find_text(fifo))
        if NOT_REGULAR not in box.name:
            fail("the error does not say why: %r" % box.name)
        press("push button", "OK")
        wait_for("the error box to close", lambda: not find_text(fifo))
        focus_main_window()
        key("ctrl+q")
        program.finish()
    finally:
        release_fifo(fifo)

    for edited in (False, True):
        song = song_copy(source_dir, "tw.qem")
        program = Program(bin_dir, [song])
        try:
            song_window_shown("tw (qem)")
            if edited:
                edit_handler()
            os.remove(song)
            os.mkfifo(song)
            if not edited:
                key("ctrl+F4")
                wait_for("the untouched song to close", lambda: find("frame", "tw (qem)") is None)
                focus_main_window()
                key("ctrl+q")
                program.finish()
                continue
            key("ctrl+s")
            wait_for("the question naming the other program", lambda: find_text(CHANGED))
            press_later("push button", "Перезаписать")
            box = wait_for("the refusal naming the song", lambda: find_text("Не удаётся сохранить файл " + song))
            if NOT_REGULAR not in box.name:
                fail("the refusal does not say why: %r" % box.name)
            press("push button", "OK")
            wait_for("the refusal to close", lambda: not find_text("Не удаётся сохранить"))
            focus_main_window()
            key("ctrl+q")
            wait_for("the question naming the other program", lambda: find_text(CHANGED))
            key("Return")  # keep the other version; the save dialog offered is cancelled
            wait_for("the save dialog offered", file_dialog)
            key("Escape")
            wait_for("the save dialog to close", lambda: file_dialog() is None)
            focus_main_window()
            if program.process.poll() is not None:
                fail("the program ended though the edited song was saved nowhere")
            # The edit goes to another file, and the program ends.
            key("ctrl+q")
            wait_for("the question naming the other program", lambda: find_text(CHANGED))
            press_later("push button", "Сохранить в другой файл")
            wait_for("the save dialog offered", file_dialog)
            wait_for("focus on the file name", lambda: focused_field("Имя файла:"))
            mine = os.path.join(os.path.dirname(song), "mine.qem")
            type_text(mine)
            key("Return")
            program.finish()
            if not os.path.isfile(mine):
                fail("the edited song was not saved as " + mine)
        finally:
            release_fifo(song)
        if not stat.S_ISFIFO(os.lstat(song).st_mode):
            fail("the FIFO in the song's place was replaced")

def main():
    bin_dir, source_dir, scenario = sys.argv[1:4]
    scenarios = {"replaced": scenario_replaced, "replacedclose": scenario_replacedclose,
                 "deleted": scenario_deleted, "secondcopy": scenario_secondcopy,
                 "samefile": scenario_samefile, "utf8": scenario_utf8,
                 "badsong": scenario_badsong, "savekeys": scenario_savekeys,
                 "latehandover": scenario_latehandover,
                 "closinghandover": scenario_closinghandover,
                 "fifosong": scenario_fifosong, "savecaret": scenario_savecaret}
    scenarios[scenario](bin_dir, source_dir)
    print("ok: " + scenario)


if __name__ == "__main__":
    main()
