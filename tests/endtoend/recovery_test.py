"""End-to-end tests of the recovery after an unclean end: the program is killed (SIGKILL)
after edits, started again on the same program folder, and asks about the song it left.

usage: recovery_test.py BIN_DIR SOURCE_DIR SCENARIO
scenarios: recover, decline, otherwriter, strays
"""
import os
import shutil
import stat
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # no cache beside the sources
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from main_window_test import (Program, fail, find, find_text, focus_main_window, focused, key,  # noqa: E402
                              install_home, press, text_of, type_text, wait_for, run_scenario)


def present_song(program, number):
    """The bytes of window `number`'s present song file, or b""."""
    path = os.path.join(program.home, "Resources", "temp", "qem[%d].rec" % number)
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return b""


def edit_and_kill(program, typed, last):
    """Types `typed` and then the single key `last` at the end of the Braille editor's line,
    waits until the program has the line on disk, and kills it. The line typed."""
    notes = wait_for("the Braille editor", lambda: find("text", "Нотный текст"))
    wait_for("focus on the Braille editor", lambda: focused(notes))
    before = text_of(notes)[0]
    key("End")
    type_text(typed)
    key(last)
    line = before + typed + last
    wait_for("the typed line (now %r)" % (text_of(notes)[0],), lambda: text_of(notes)[0] == line)
    wait_for("the line in the present song file",
             lambda: ("\r\n" + line + "\r\n").encode("cp1251") in present_song(program, 1))
    program.process.kill()
    program.process.wait()
    program.output.close()
    if not program.temp_files():
        fail("the killed program left no undo files")
    return line


def scenario_recover(bin_dir, source_dir):
    """Edits of an opened song, the last key included, come back in their own window with
    the song's file name, and Ctrl+S writes them to the song's file."""
    work = tempfile.mkdtemp(prefix="velto-songs-")
    song = os.path.join(work, "twinkle.qem")
    shutil.copy(os.path.join(source_dir, "examples", "twinkle-twinkle.qem"), song)
    first = Program(bin_dir, [song])
    line = edit_and_kill(first, "TT", "O")
    # What a save killed in an earlier run left beside the song: the recovery removes it.
    leftover = os.path.join(work, ".velto-0badf00d.tmp")
    with open(leftover, "wb") as half:
        half.write(b"half a song")
    os.utime(leftover, (time.time() - 3600, time.time() - 3600))

    second = Program(bin_dir, [], home=first.home)
    wait_for("the recovery question", lambda: find_text("не закрыв сонг «twinkle.qem»"))
    press("push button", "Да")
    wait_for("the question to go", lambda: not find_text("не закрыв сонг"))
    notes = wait_for("the recovered song's editor", lambda: find("text", "Нотный текст"))
    wait_for("the recovered line (now %r)" % (text_of(notes)[0],), lambda: text_of(notes)[0] == line)
    wait_for("the song's name in its window", lambda: find_text("twinkle (qem)"))
    wait_for("the killed save's leftover removed", lambda: not os.path.exists(leftover))
    focus_main_window()
    wait_for("focus on the Braille editor", lambda: focused(notes))
    key("ctrl+F4")  # the recovered song differs from its file: closing asks
    wait_for("the save question", lambda: find_text("Файл twinkle.qem был изменён. Сохранить?"))
    press("push button", "Отмена")
    wait_for("the question to go", lambda: not find_text("был изменён"))
    focus_main_window()
    wait_for("focus on the Braille editor", lambda: focused(notes))
    key("ctrl+s")
    wait_for("the edits in the song file",
             lambda: ("\r\n" + line + "\r\n").encode("cp1251") in open(song, "rb").read())
    key("ctrl+q")  # saved: no question
    second.finish()
    if second.temp_files():
        fail("files left in Resources/temp: %r" % second.temp_files())


def scenario_decline(bin_dir, source_dir):
    """A new song typed in and left by a killed program: No deletes what it left, and no
    window opens for it."""
    first = Program(bin_dir, [])
    wait_for("the main window", lambda: find("frame", "VELTO"))
    focus_main_window()
    key("ctrl+n")
    edit_and_kill(first, "TT", "O")

    second = Program(bin_dir, [], home=first.home)
    wait_for("the recovery question", lambda: find_text("не закрыв сонг «безымянный»"))
    press("push button", "Нет")
    wait_for("the question to go", lambda: not find_text("не закрыв сонг"))
    wait_for("the leftover files to go (%r)" % (second.temp_files(),), lambda: not second.temp_files())
    if find("text", "Нотный текст") is not None:
        fail("a window opened for the declined song")
    focus_main_window()
    key("ctrl+q")
    second.finish()


def scenario_otherwriter(bin_dir, source_dir):
    """Another program changes the song's file after the program was killed: the recovery
    question says so, and Ctrl+S in the recovered window asks before writing over that
    change (Escape keeps it)."""
    work = tempfile.mkdtemp(prefix="velto-songs-")
    song = os.path.join(work, "twinkle.qem")
    shutil.copy(os.path.join(source_dir, "examples", "twinkle-twinkle.qem"), song)
    first = Program(bin_dir, [song])
    edit_and_kill(first, "TT", "O")
    other = "1 0 0 1 0 0 0\r\nOther\r\nVd4m\r\n".encode("cp1251")
    with open(song, "wb") as f:
        f.write(other)

    second = Program(bin_dir, [], home=first.home)
    wait_for("the recovery question saying the file changed",
             lambda: find_text("Файл изменён на диске с тех пор."))
    press("push button", "Да")
    wait_for("the question to go", lambda: not find_text("не закрыв сонг"))
    notes = wait_for("the recovered song's editor", lambda: find("text", "Нотный текст"))
    focus_main_window()
    wait_for("focus on the Braille editor", lambda: focused(notes))
    key("ctrl+s")
    wait_for("the question naming the other program",
             lambda: find_text("twinkle.qem изменён другой программой после открытия."))
    key("Escape")
    wait_for("the question to go", lambda: not find_text("изменён другой программой"))
    if open(song, "rb").read() != other:
        fail("the other program's change was written over")
    second.process.kill()
    second.process.wait()
    second.output.close()


def release_fifos(paths):
    """Opens each FIFO for reading and writing and closes it: an open of the program that
    waits on it returns (the watchdog of a hang)."""
    for path in paths:
        try:
            fd = os.open(path, os.O_RDWR | os.O_NONBLOCK)
            os.close(fd)
        except OSError:
            pass


def scenario_strays(bin_dir, source_dir):
    """Folders and FIFOs where the program reads at start (undo state files, a snapshot and a
    present song, the measure cache, velto.ini, a language file, the insert menu): it starts,
    notes the stray state files, opens a song in a window whose undo files are free, and ends.
    Unreadable files are made as folders and FIFOs: the tests run as root, who reads a file of
    mode 000."""
    work = tempfile.mkdtemp(prefix="velto-songs-")
    song = os.path.join(work, "twinkle.qem")
    shutil.copy(os.path.join(source_dir, "examples", "twinkle-twinkle.qem"), song)
    home = install_home(bin_dir, os.path.join(work, "home"))
    temp = os.path.join(home, "Resources", "temp")
    os.makedirs(temp, exist_ok=True)
    fifos = [os.path.join(temp, "Qem[2].dat"), os.path.join(temp, "qem[3].d00"),
             os.path.join(home, "Resources", "qem.dur"), os.path.join(home, "velto.ini"),
             os.path.join(home, "Languages", "Stray.lng")]
    folders = [os.path.join(temp, "Qem[1].dat"), os.path.join(temp, "qem[3].rec"),
               os.path.join(home, "Resources", "qem.zel")]
    for path in fifos + folders:
        if os.path.isdir(path):
            shutil.rmtree(path)
        elif os.path.exists(path):
            os.remove(path)
    for path in fifos:
        os.mkfifo(path)
    for path in folders:
        os.mkdir(path)
    program = Program(bin_dir, [song], home=home)
    try:
        wait_for("the song window", lambda: find("frame", "twinkle (qem)"))
        notes = wait_for("the Braille editor", lambda: find("text", "Нотный текст"))
        wait_for("focus on the Braille editor", lambda: focused(notes))
        wait_for("the window's own undo state file (%r)" % (program.temp_files(),),
                 lambda: "Qem[4].dat" in program.temp_files())
        key("ctrl+q")
        # velto.ini, a FIFO, is never written over: said once in a box, in the user's language.
        said = "Не удаётся сохранить файл %s: Это не обычный файл" % os.path.join(home, "velto.ini")
        wait_for("the box on velto.ini", lambda: find_text(said))
        press("push button", "OK")
        output = program.finish()
    finally:
        release_fifos(fifos)
    for name, kind in (("Qem[1].dat", "it is a folder"), ("Qem[2].dat", "it is not a regular file")):
        if "%s is passed over: %s" % (os.path.join(temp, name), kind) not in output:
            fail("no note of the stray %s:\n%s" % (name, output))
    for path in fifos:
        if not stat.S_ISFIFO(os.lstat(path).st_mode):
            fail("the stray FIFO %s was replaced" % path)
    for path in folders:
        if not os.path.isdir(path):
            fail("the stray folder %s was removed" % path)

if __name__ == "__main__":
    run_scenario(globals())
