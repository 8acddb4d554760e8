"""End-to-end tests of the text fields as a screen reader reads them: the program runs in a
desktop session (scripts/desktop-session.sh); the fields are read over AT-SPI as the Orca
screen reader reads them, and in the "orca" scenario by Orca itself.

usage: accessibility_test.py BIN_DIR SOURCE_DIR SCENARIO
scenarios: fields, orca, orca_changes, orca_menus, orca_measures
       accessibility_test.py probe SELECTOR TEXT MULTILINE   (run by the fields scenario)
"""
import contextlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from main_window_test import (NOTES, Program, fail, find, find_text, focus_main_window, focused,  # noqa: E402
                              key, nodes, open_song, press, text_of, type_text, velto_app, wait_for,
                              quit_without_saving)

# A query that has not answered after this long has hung the program (an answer takes
# milliseconds; the limit is generous for sanitizer builds).
QUERY_LIMIT_S = 10
# All queries of one field.
PROBE_LIMIT_S = 120

BOUNDARIES = ("CHAR", "WORD_START", "WORD_END", "SENTENCE_START", "SENTENCE_END", "LINE_START",
              "LINE_END")


# What a field answers, written out by scanning characters: a word is a run of non-blank
# characters, a line of a one-line field is the whole field, of a multi-line field a text
# line with its line end.
def line_ranges(text, multiline):
    if not multiline:
        return [(0, len(text))]
    ranges, start = [], 0
    for part in text.split("\n")[:-1]:
        ranges.append((start, start + len(part) + 1))
        start += len(part) + 1
    return ranges + [(start, len(text))]


def run_around(text, offset):
    """The run of blanks or of non-blanks holding the character at offset."""
    blank = text[offset].isspace()
    start, end = offset, offset + 1
    while start > 0 and text[start - 1].isspace() == blank:
        start -= 1
    while end < len(text) and text[end].isspace() == blank:
        end += 1
    return start, end


def expected(text, multiline, boundary, offset, place):
    """(text, start, end) that the field is to answer."""
    n = len(text)
    if offset < 0 or offset > n:
        return ("", -1, -1)
    if boundary == "CHAR":
        at = (offset, offset + 1) if offset < n else (n, n)
        if place == "at":
            span = at
        elif place == "before":
            span = (offset - 1, offset) if offset > 0 else (offset, offset)
        else:
            span = (offset + 1, offset + 2) if offset + 1 < n else (offset, offset)
    elif boundary.startswith("WORD"):
        if offset < n:
            at = run_around(text, offset)
        elif n > 0 and not text[n - 1].isspace():
            at = run_around(text, n - 1)
        else:
            at = (n, n)
        span = at
        if place == "before":
            end = at[0]
            while end > 0 and text[end - 1].isspace():
                end -= 1
            span = run_around(text, end - 1) if end > 0 else (offset, offset)
        elif place == "after":
            start = at[1]
            while start < n and text[start].isspace():
                start += 1
            span = run_around(text, start) if start < n else (offset, offset)
    else:
        lines = line_ranges(text, multiline)
        index = next((i for i, (s, e) in enumerate(lines) if s <= offset < e), len(lines) - 1)
        span = lines[index]
        if place == "before":
            earlier = [r for r in lines[:index] if r[0] < r[1]]
            span = earlier[-1] if earlier else (offset, offset)
        elif place == "after":
            later = [r for r in lines[index + 1:] if r[0] < r[1]]
            span = later[0] if later else (offset, offset)
    return (text[span[0]:span[1]], span[0], span[1])


def find_node(selector):
    """"name:NAME": the text field named NAME; "focused": the text field with the focus."""
    import pyatspi
    app = velto_app()
    for node in nodes(app) if app else []:
        try:
            if node.getRoleName() != "text":
                continue
            if selector == "focused" and node.getState().contains(pyatspi.STATE_FOCUSED):
                return node
            if selector.startswith("name:") and node.name == selector[5:]:
                return node
        except Exception:
            continue
    return None


def probe(selector, want_text, multiline):
    """Asks the field for every boundary kind at, before and after every offset from 0 to
    its length + 1, each query watched: one that does not answer ends the probe."""
    import pyatspi
    current = {"query": None, "since": 0.0}

    def watchdog():
        while True:
            time.sleep(0.2)
            query, since = current["query"], current["since"]
            if query is not None and time.monotonic() - since > QUERY_LIMIT_S:
                print("FAIL: no answer within %d s to %s: the program hangs" % (QUERY_LIMIT_S, query),
                      flush=True)
                os._exit(3)

    threading.Thread(target=watchdog, daemon=True).start()

    def ask(name, call):
        current["since"], current["query"] = time.monotonic(), name
        try:
            return call()
        except Exception as error:  # a call the program left unanswered
            print("FAIL: %s raised %s" % (name, error), flush=True)
            os._exit(3)
        finally:
            current["query"] = None

    node = find_node(selector)
    if node is None:
        print("FAIL: no text field %s" % selector)
        sys.exit(1)
    text = node.queryText()
    content = ask("getText", lambda: text.getText(0, -1))
    if content != want_text or text.characterCount != len(want_text):
        print("FAIL: the field %s holds %r (%d characters), expected %r" %
              (selector, content, text.characterCount, want_text))
        sys.exit(1)
    wrong = []
    methods = {"at": text.getTextAtOffset, "before": text.getTextBeforeOffset,
               "after": text.getTextAfterOffset}
    for boundary in BOUNDARIES:
        kind = getattr(pyatspi, "TEXT_BOUNDARY_" + boundary)
        for offset in range(len(content) + 2):
            for place, method in methods.items():
                name = "%s %s offset %d of %r" % (place, boundary, offset, content)
                answer = tuple(ask(name, lambda: method(offset, kind)))
                want = expected(content, multiline, boundary, offset, place)
                if answer != want:
                    wrong.append("%s: %r, expected %r" % (name, answer, want))
    # Where each character is: its box lies in the field's and leads back to it.
    field = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    for offset, character in enumerate(content):
        box = ask("extents of %d" % offset, lambda: text.getCharacterExtents(offset, pyatspi.DESKTOP_COORDS))
        x, y, width, height = box
        if character == "\n" or x + width > field.x + field.width:
            continue  # a line end, or scrolled out of sight
        if width <= 0 or height <= 0 or x < field.x or y < field.y:
            wrong.append("character %d of %r has the box %r in the field's %r" %
                         (offset, content, box, (field.x, field.y, field.width, field.height)))
            continue
        back = ask("offset at point", lambda: text.getOffsetAtPoint(x + width // 2, y + height // 2,
                                                                     pyatspi.DESKTOP_COORDS))
        if back != offset:
            wrong.append("the middle of character %d of %r leads to offset %d" % (offset, content, back))
    for line in wrong[:30]:
        print("FAIL: " + line)
    if wrong:
        print("FAIL: %d wrong answers" % len(wrong))
        sys.exit(1)
    print("ok: %d answers" % (len(BOUNDARIES) * 3 * (len(content) + 2)))


def check_field(selector, want_text, multiline):
    """Runs the probe of one field in a process of its own; a hung program fails it."""
    try:
        run = subprocess.run([sys.executable, os.path.abspath(__file__), "probe", selector, want_text,
                              "1" if multiline else "0"],
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=PROBE_LIMIT_S)
    except subprocess.TimeoutExpired:
        fail("the field %s did not answer within %d s" % (selector, PROBE_LIMIT_S))
    output = run.stdout.decode("utf-8", "replace")
    if run.returncode != 0:
        fail("the field %s:\n%s" % (selector, output))
    print("%s: %s" % (selector, output.strip().splitlines()[-1]))


def spot_checks(selector, checks):
    """A few answers written out by hand: (method, boundary, offset, answer)."""
    import pyatspi
    text = find_node(selector).queryText()
    for method, boundary, offset, want in checks:
        answer = tuple(getattr(text, method)(offset, getattr(pyatspi, "TEXT_BOUNDARY_" + boundary)))
        if answer != want:
            fail("%s %s %s at %d: %r, expected %r" % (selector, method, boundary, offset, answer, want))


def copy_song(source_dir, name):
    work = tempfile.mkdtemp(prefix="velto-a11y-")
    song = os.path.join(work, name)
    shutil.copy(os.path.join(source_dir, "examples", name), song)
    return song


def scenario_fields(bin_dir, source_dir):
    """The Braille editor, the program editor and the file name field of File > Open answer
    every boundary kind at every offset, the end of the text included."""
    song = copy_song(source_dir, "twinkle-twinkle.qem")
    program = Program(bin_dir, [song])
    try:
        notes = wait_for("the Braille editor", lambda: find("text", "Нотный текст"))
        wait_for("focus on the Braille editor", lambda: focused(notes))
        check_field("name:Нотный текст", "MMVd4!SSOO", False)
        spot_checks("name:Нотный текст", [
            ("getTextAtOffset", "LINE_START", 10, ("MMVd4!SSOO", 0, 10)),
            ("getTextAtOffset", "WORD_START", 10, ("MMVd4!SSOO", 0, 10)),
            ("getTextAtOffset", "CHAR", 9, ("O", 9, 10))])

        key("ctrl+o")
        wait_for("the open dialog", lambda: find("dialog", "Открыть") or find("file chooser", "Открыть"))
        name = "my  song 1.qem "
        type_text(name)
        wait_for("the typed file name", lambda: find_node("focused") is not None and
                 text_of(find_node("focused"))[0] == name)
        check_field("focused", name, False)
        spot_checks("focused", [
            ("getTextAtOffset", "LINE_START", len(name), (name, 0, len(name))),
            ("getTextAtOffset", "WORD_START", 4, ("song", 4, 8)),
            ("getTextAtOffset", "WORD_START", 2, ("  ", 2, 4)),
            ("getTextBeforeOffset", "WORD_START", 4, ("my", 0, 2)),
            ("getTextAfterOffset", "WORD_START", 5, ("1.qem", 9, 14)),
            ("getTextAtOffset", "WORD_START", len(name), ("", len(name), len(name)))])
        key("Escape")
        wait_for("the dialog to close", lambda: not (find("dialog", "Открыть") or find("file chooser", "Открыть")))
        focus_main_window()

        program_editor = find("text", "Обработчик для текущего трека")
        key("Tab")
        wait_for("focus on the program editor", lambda: focused(program_editor))
        if text_of(program_editor)[0] != "instrument 73":
            fail("the program editor shows %r" % (text_of(program_editor),))
        key("ctrl+End", "Return")
        type_text("tempo  90 ")
        key("Return")
        handler = "instrument 73\ntempo  90 \n"
        wait_for("the typed handler line", lambda: text_of(program_editor)[0] == handler)
        check_field("name:Обработчик для текущего трека", handler, True)
        spot_checks("name:Обработчик для текущего трека", [
            ("getTextAtOffset", "LINE_START", 13, ("instrument 73\n", 0, 14)),
            ("getTextAtOffset", "LINE_START", 24, ("tempo  90 \n", 14, 25)),
            ("getTextAtOffset", "LINE_START", 25, ("", 25, 25)),
            ("getTextBeforeOffset", "LINE_START", 25, ("tempo  90 \n", 14, 25)),
            ("getTextAtOffset", "WORD_START", 13, ("\n", 13, 14)),
            ("getTextAtOffset", "WORD_START", 12, ("73", 11, 13))])
        key("ctrl+q")
        wait_for("the save question", lambda: find_text("Сохранить?"))
        press("push button", "Нет")
        program.finish()
    finally:
        if program.process.poll() is None:
            program.process.kill()


# Orca speaks through this speech server: it says nothing, and Orca's debug log keeps
# every "SPEECH OUTPUT" line.
SILENT_SPEECH = """from orca import speechserver


class SpeechServer(speechserver.SpeechServer):
    _server = None

    @staticmethod
    def getFactoryName():
        return "silent"

    @staticmethod
    def getSpeechServers():
        return [SpeechServer.getSpeechServer()]

    @staticmethod
    def getSpeechServer(info=None):
        if SpeechServer._server is None:
            SpeechServer._server = SpeechServer()
        return SpeechServer._server

    @staticmethod
    def shutdownActiveServers():
        pass

    def getInfo(self):
        return ["silent", "silent"]

    def getVoiceFamilies(self):
        return []
"""

ORCA_CUSTOMIZATIONS = """import sys
sys.path.insert(0, %r)
from orca import settings
settings.speechServerFactory = "velto_silent_speech"
settings.speechFactoryModules = ["velto_silent_speech"]
settings.enableSound = False
# The debug log line by line, so that it can be read while Orca runs.
from orca import debug
if debug.debugFile is not None:
    debug.debugFile.flush()
    debug.debugFile = open(debug.debugFile.name, "a", buffering=1, encoding="utf-8")
"""


# Orca's launcher, run without its check for other Orca processes of the user: test
# sessions running at once each have their own display and buses.
ORCA_LAUNCHER = """import importlib.machinery
import importlib.util
import sys

sys.argv[0] = "/usr/bin/orca"
loader = importlib.machinery.SourceFileLoader("orca_launcher", "/usr/bin/orca")
launcher = importlib.util.module_from_spec(importlib.util.spec_from_loader("orca_launcher", loader))
loader.exec_module(launcher)
launcher.otherOrcas = lambda: []
sys.exit(launcher.main())
"""


class Orca:
    """The Orca screen reader in a home of its own, with a silent speech server; what it
    would say and show on a Braille display is read from its debug log."""

    def __init__(self, work):
        self.work = work
        home = os.path.join(work, "orca-home")
        prefs = os.path.join(home, "prefs")
        modules = os.path.join(home, "modules")
        for folder in (prefs, modules):
            os.makedirs(folder)
        with open(os.path.join(modules, "velto_silent_speech.py"), "w") as module:
            module.write(SILENT_SPEECH)
        with open(os.path.join(prefs, "orca-customizations.py"), "w") as custom:
            custom.write(ORCA_CUSTOMIZATIONS % modules)
        with open(os.path.join(modules, "launch_orca.py"), "w") as launcher:
            launcher.write(ORCA_LAUNCHER)
        self.log = os.path.join(work, "orca-debug.log")
        environment = dict(os.environ, HOME=home, XDG_DATA_HOME=os.path.join(home, "data"),
                           XDG_CONFIG_HOME=os.path.join(home, "config"),
                           XDG_CACHE_HOME=os.path.join(home, "cache"), GSETTINGS_BACKEND="memory",
                           PYTHONDONTWRITEBYTECODE="1")
        self.output = open(os.path.join(work, "orca.out"), "w")
        command = ["/usr/bin/python3", os.path.join(modules, "launch_orca.py"), "-u", prefs,
                   "--debug-file", self.log]
        self.process = subprocess.Popen(command, env=environment, stdin=subprocess.DEVNULL,
                                        stdout=self.output, stderr=subprocess.STDOUT,
                                        start_new_session=True)

    def text(self):
        if not os.path.exists(self.log):
            return ""
        with open(self.log, encoding="utf-8", errors="replace") as log:
            return log.read()

    def spoken(self):
        """The texts Orca spoke, in order."""
        return [found.group(1) for found in
                (re.search(r"SPEECH OUTPUT: '(.*)'\s*(\{[^{}]*\})?\s*$", line)
                 for line in self.text().splitlines()) if found]

    def braille(self):
        return Orca.braille_in(self.text())

    @staticmethod
    def braille_in(log_text):
        """The Braille lines Orca showed in a part of its debug log."""
        lines = []
        for line in log_text.splitlines():
            at = line.find("BRAILLE LINE:  '")
            if at >= 0:
                lines.append(line[at + len("BRAILLE LINE:  '"):line.rfind("'")])
        return lines

    def wait_shown(self, line):
        """Waits until Orca shows the Braille editor's line whole, its end marked."""
        wait_for("Orca showing the line %r (it showed %r)" % (line, self.braille()[-3:]),
                 lambda: any(shown.endswith("Нотный текст: %s $l" % line) for shown in self.braille()))

    def ready(self):
        """Orca listens to the desktop once its registry runs and it is on the bus."""
        import pyatspi
        if "ORCA: Starting ATSPI registry." not in self.text():
            return False
        try:
            names = [app.name for app in pyatspi.Registry.getDesktop(0) if app is not None]
        except Exception:
            return False
        return any(name.lower() == "orca" for name in names)

    def open_song(self, bin_dir, songs, said=None):
        """Once Orca listens, the program on `songs` with its Braille editor focused (see
        open_song), with full allocation stacks through Qt's own frames, so that the leak
        suppression of Qt's pending key events (tests/lsan.supp) finds them."""
        wait_for("Orca on the accessibility bus", self.ready, timeout_s=90)
        asan = os.environ.get("ASAN_OPTIONS", "")
        env = {"ASAN_OPTIONS": asan + ":fast_unwind_on_malloc=0" if asan else "fast_unwind_on_malloc=0"}
        return open_song(bin_dir, songs, said, env=env, timeout_s=60)

    def stop(self):
        if self.process.poll() is None:
            os.killpg(self.process.pid, 15)
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                os.killpg(self.process.pid, 9)
                self.process.wait()
        self.output.close()


@contextlib.contextmanager
def orca_on_song(bin_dir, source_dir, example, reading):
    """Orca, then the program on a copy of the example song once Orca reads `reading` in its
    Braille editor; yields Orca, the program and the editor; the program is killed if it
    still runs, and Orca stopped, at the end."""
    orca = Orca(os.path.dirname(copy_song(source_dir, example)))
    program = None
    try:
        program, notes = orca.open_song(bin_dir, os.path.join(orca.work, example))
        wait_for("Orca reading the Braille editor",
                 lambda: any(reading in line for line in orca.spoken()), timeout_s=60)
        yield orca, program, notes
    finally:
        if program is not None and program.process.poll() is None:
            program.process.kill()
        orca.stop()


def answers(program):
    """How many answers the program gave: spoken texts, signals and MIDI messages (a typed
    note answers with its preview)."""
    signals = os.path.join(program.work, "signal.log")
    count = len(program.said()) + len(program.midi())
    if os.path.exists(signals):
        with open(signals) as log:
            count += len(log.readlines())
    return count


def scenario_orca(bin_dir, source_dir):
    """With Orca running, a song is walked with Ctrl+Right through its 12 measures, a note
    typed at the end of the last one, the song saved and the program ended: the program
    answers every key, Orca shows every line whole, and the saved song reads back
    unchanged."""
    song = copy_song(source_dir, "twinkle-twinkle.qem")
    work = os.path.dirname(song)
    original = open(song, "rb").read()
    orca = Orca(work)
    program = None
    try:
        program, notes = orca.open_song(bin_dir, song)
        program.wait_said(["I twinkle-twinkle", "S Нотный текст:", "S 1- Трек: Мелодия", "S MMVd4!SSOO"], 0)
        wait_for("Orca reading the Braille editor", lambda: "MMVd4!SSOO." in orca.spoken(), timeout_s=60)
        measures = [text_of(notes)[0]]
        for _ in range(60):
            if len(measures) == 12:
                break
            start = len(program.said())
            key("ctrl+Right")
            wait_for("an answer to Ctrl+Right in measure %d" % len(measures),
                     lambda: len(program.said()) > start)
            if "S Такт %d" % (len(measures) + 1) in program.said()[start:]:
                measures.append(text_of(notes)[0])
                orca.wait_shown(measures[-1])
        if len(measures) != 12:
            fail("Ctrl+Right reached measure %d, not 12" % len(measures))
        key("End")  # the caret at the end of the line, where Orca asks for the last word
        wait_for("the caret at the end of %r" % measures[-1],
                 lambda: text_of(notes) == (measures[-1], len(measures[-1])))
        start = answers(program)
        type_text("N")
        typed = measures[-1] + "N"
        wait_for("the note typed", lambda: text_of(notes) == (typed, len(typed)))
        wait_for("an answer to the note", lambda: answers(program) > start)
        key("ctrl+s")
        wait_for("the song saved", lambda: open(song, "rb").read() != original)
        orca.wait_shown(typed)
        if "object:text-caret-moved for [text | Нотный текст]" not in orca.text():
            fail("Orca heard no caret move in the Braille editor")
        quit_without_saving(program)
    finally:
        if program is not None and program.process.poll() is None:
            program.process.kill()
        orca.stop()
    saved = open(song, "rb").read()
    if (typed + "\r\n").encode("cp1251") not in saved:
        fail("the typed note is not in the saved song:\n%r" % saved)
    again = os.path.join(work, "again.qem")
    subprocess.run([os.path.join(bin_dir, "velto-tool"), "roundtrip", song, again], check=True,
                   timeout=60)
    if open(again, "rb").read() != saved:
        fail("the saved song does not read back unchanged")


def orca_events(orca, kind):
    return orca.text().count("object:text-changed:%s for [text | Нотный текст]" % kind)


def spoken_since(orca, start, fragment):
    return [line for line in orca.spoken()[start:] if fragment in line]


def scenario_orca_changes(bin_dir, source_dir):
    """With Orca running, in ode-to-joy: Backspace at the end of the melody's first line and
    Ctrl+Down to the bass never make Orca say the line as it was, and its Braille line shows
    the new one; a play of a measure made too long makes Orca say the error's message; one
    Ctrl+Right, Ctrl let go first, gives one answer in the speech log; no key tells Orca of
    an editor renamed."""
    with orca_on_song(bin_dir, source_dir, "ode-to-joy.qem", "Vd4Ly") as (orca, program, notes):
        # The song opens on the bass; Ctrl+Up to the melody gives Orca its line once.
        heard, log = len(orca.spoken()), len(orca.text())
        keys_log = log
        key("ctrl+Up")
        wait_for("the melody line", lambda: text_of(notes)[0] == "Vd4!NNQT")
        orca.wait_shown("Vd4!NNQT")
        wait_for("Orca given the melody line", lambda: "(0, 8, Vd4!NNQT)" in orca.text()[log:])
        if orca.text()[log:].count("insert (0, 8, Vd4!NNQT)") != 1 or spoken_since(orca, heard, "Vd4Ly"):
            fail("Orca after Ctrl+Up: %r" % orca.spoken()[heard:])
        key("End")
        wait_for("the caret at the end", lambda: text_of(notes) == ("Vd4!NNQT", 8))
        heard, deleted = len(orca.spoken()), orca_events(orca, "delete")
        key("BackSpace")
        wait_for("the cell deleted", lambda: text_of(notes) == ("Vd4!NNQ", 7))
        wait_for("Orca told of the deletion", lambda: orca_events(orca, "delete") > deleted)
        orca.wait_shown("Vd4!NNQ")
        if spoken_since(orca, heard, "Vd4!NNQT"):
            fail("Orca said the line as it was before Backspace: %r" % orca.spoken()[heard:])
        heard, log = len(orca.spoken()), len(orca.text())
        key("ctrl+Down")
        wait_for("the bass line", lambda: text_of(notes)[0] == "Vd4Ly")
        orca.wait_shown("Vd4Ly")
        wait_for("Orca given the bass line", lambda: "insert (0, 5, Vd4Ly)" in orca.text()[log:])
        if spoken_since(orca, heard, "Vd4!NNQ"):
            fail("Orca said the melody line after Ctrl+Down: %r" % orca.spoken()[heard:])
        # The keys leave the editors' names as they were: a name told changed at every key
        # floods Orca, which asks the program again for each.
        renamed = orca.text()[keys_log:].count("property-change:accessible-name for [text |")
        if renamed:
            fail("the editors' names were told changed %d times while keys were typed" % renamed)
        # The melody's first measure made a quarter too long: its play is refused with a box.
        key("ctrl+Up")
        wait_for("the melody line", lambda: text_of(notes)[0] == "Vd4!NNQ")
        key("End")
        type_text("TN")
        wait_for("the notes typed", lambda: text_of(notes)[0] == "Vd4!NNQTN")
        heard, log = len(orca.spoken()), len(orca.text())
        key("ctrl+shift+space")
        # The message's lines are one speech of several log lines.
        wait_for(lambda: "Orca saying the error (it said %r)" % orca.spoken()[heard:],
                 lambda: re.search(r"SPEECH OUTPUT: '[^']*Длительности такта не соответствуют",
                                   orca.text()[log:]), timeout_s=60)
        said = re.findall(r"SPEECH OUTPUT: '[^']*Длительности такта не соответствуют", orca.text()[log:])
        if len(said) != 1:
            fail("Orca said the error %d times" % len(said))
        key("Return")
        wait_for("the box closed", lambda: not find_text("Длительности такта"))
        focus_main_window()
        wait_for("focus back on the Braille editor", lambda: focused(notes))
        # Ctrl+Right with Ctrl let go before the arrow; Alt+Right after it says the measure.
        key("End")
        wait_for("the caret at the end", lambda: text_of(notes) == ("Vd4!NNQTN", 9))
        key("Home")
        wait_for("the caret at the start", lambda: text_of(notes)[1] == 0)
        start = len(program.said())
        subprocess.run(["xdotool", "keydown", "--delay", "50", "ctrl", "Right", "keyup", "--delay", "50",
                        "ctrl", "Right"], check=True)
        key("alt+Right")
        wait_for(lambda: "the next measure said (heard %r)" % program.said()[start:],
                 lambda: "I Такт 2" in program.said()[start + 1:])
        answers = program.said()[start:]
        place = answers.index("I Такт 2")
        if place != 1:
            fail("Ctrl+Right gave %d answers: %r" % (place, answers))
        quit_without_saving(program)


def scenario_orca_menus(bin_dir, source_dir):
    """With Orca running, the menus walked from the keyboard: every step says its item, a
    submenu entered and entered again and the menu a submenu closes back to included."""
    with orca_on_song(bin_dir, source_dir, "twinkle-twinkle.qem", "MMVd4!SSOO") as (orca, program, notes):
        # Alt: the menu bar; on to the Text menu, into it, up to its Edit submenu, into it
        # and back, on to the Measure menu and the Track menu (each named on arrival), up to
        # the Navigation submenu, into it, back out and into it again, out and back to the
        # Measure menu.
        steps = [("alt", "Файл"), ("Right", "Текст"), ("Down", "Найти..."), ("Up", "Правка"),
                 ("Right", "Отменить Ctrl+Z"), ("Left", "Правка"), ("Down", "Найти..."),
                 ("Right", "Такт", "Копировать..."),
                 ("Right", "Трек", "Свойства трека"), ("Up", "Навигация"), ("Right", "Предыдущий трек"),
                 ("Left", "Навигация"), ("Right", "Предыдущий трек"),
                 ("Left", "Навигация"), ("Left", "Такт", "Копировать...")]
        for pressed, *said in steps:
            heard = len(orca.spoken())
            key(pressed)
            wait_for(lambda: "Orca saying %r after %s (it said %r)" % (said, pressed, orca.spoken()[heard:]),
                     lambda: all(spoken_since(orca, heard, fragment) for fragment in said))
        key("Escape", "Escape")
        quit_without_saving(program)


def chord(*steps):
    """xdotool steps run by one process, so that their pauses are kept."""
    subprocess.run(["xdotool"] + [str(step) for step in steps], check=True)


def scenario_orca_measures(bin_dir, source_dir):
    """With Orca running, in twinkle on the melody: the first Alt+End, held as a hand holds
    it (Alt let go first), and six pairs of Alt+Right 70 ms apart leave the keyboard on the
    Braille editor, never on the menu bar; Alt+Right past the last measure and Alt+Down to
    an empty voice leave no cell of the old line on Orca's Braille line, and Orca never says
    it."""
    with orca_on_song(bin_dir, source_dir, "twinkle-twinkle.qem", "MMVd4!SSOO") as (orca, program, notes):
        start = len(program.said())
        chord("keydown", "alt+End", "sleep", 0.25, "keyup", "alt", "keyup", "End")
        program.wait_said(["I Такт 12", "S NNo(k"], start)
        orca.wait_shown("NNo(k")
        wait_for("the caret at the end of measure 12", lambda: text_of(notes) == ("NNo(k", 5))
        # Home reaches the program after the chord's keys: the editor still holds the keyboard.
        key("Home")
        wait_for(lambda: "Home in the Braille editor after Alt+End (it shows %r, focused: %r)"
                 % (text_of(notes), focused(notes)), lambda: text_of(notes) == ("NNo(k", 0), timeout_s=60)

        def move(keys, said, line, gone):
            """`keys` said `said`; Orca's Braille line shows `line`, and Orca never says the
            line that went."""
            heard, log, start = len(orca.spoken()), len(orca.text()), len(program.said())
            key(keys)
            wait_for(lambda: "%s said (heard %r)" % (keys, program.said()[start:]),
                     lambda: said in program.said()[start:], timeout_s=60)

            def shown():
                return Orca.braille_in(orca.text()[log:])
            wait_for(lambda: "Orca showing %r after %s (it showed %r)" % (line, keys, shown()),
                     lambda: shown() and shown()[-1].endswith("%s: %s $l" % (NOTES, line)))
            if gone and spoken_since(orca, heard, gone):
                fail("Orca said the line that went after %s: %r" % (keys, orca.spoken()[heard:]))
        move("alt+Right", "I Такт 13", "", "NNo(k")  # past the last measure
        move("alt+Left", "I Такт 12", "NNo(k", "")
        move("alt+Down", "I Голос 2", "", "NNo(k")  # an empty voice
        key("alt+Up", "alt+Home")
        wait_for("measure 1", lambda: text_of(notes)[0] == "MMVd4!SSOO", timeout_s=60)
        for pair in range(6):
            start = len(program.said())
            chord("key", "alt+Right", "sleep", 0.07, "key", "alt+Right")
            measure = 3 + 2 * pair
            wait_for(lambda: "measure %d after pair %d (heard %r)" % (measure, pair + 1, program.said()[start:]),
                     lambda: "I Такт %d" % measure in program.said()[start:], timeout_s=60)
            if not focused(notes):
                fail("pair %d of Alt+Right left the keyboard off the Braille editor" % (pair + 1))
        # A cell typed after the chords (its key reaches the program after theirs) lands in the editor.
        type_text("P")
        wait_for(lambda: "P typed into measure 13 (the editor shows %r, focused: %r)" % (text_of(notes), focused(notes)),
                 lambda: text_of(notes) == ("P", 1), timeout_s=60)
        quit_without_saving(program)


def main():
    if sys.argv[1] == "probe":
        probe(sys.argv[2], sys.argv[3], sys.argv[4] == "1")
        return
    bin_dir, source_dir, scenario = sys.argv[1:4]
    scenarios = {"fields": scenario_fields, "orca": scenario_orca, "orca_changes": scenario_orca_changes,
                 "orca_menus": scenario_orca_menus, "orca_measures": scenario_orca_measures}
    scenarios[scenario](bin_dir, source_dir)
    print("ok: " + scenario)


if __name__ == "__main__":
    main()
