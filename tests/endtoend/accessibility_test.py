"""End-to-end tests of the text fields as a screen reader reads them: the program runs in a
desktop session (scripts/desktop-session.sh); the fields are read over AT-SPI as the Orca
screen reader reads them, and in the "orca" scenario by Orca itself.

usage: accessibility_test.py BIN_DIR SOURCE_DIR SCENARIO
scenarios: fields, orca
       accessibility_test.py probe SELECTOR TEXT MULTILINE   (run by the fields scenario)
"""
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from main_window_test import (Program, fail, find, find_text, focus_main_window, focused, key,  # noqa: E402
                              nodes, press, text_of, type_text, velto_app, wait_for)

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
        wait_for("the open dialog", lambda: find("dialog", "Open") or find("file chooser", "Open"))
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
        wait_for("the dialog to close", lambda: not (find("dialog", "Open") or find("file chooser", "Open")))
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
        press("push button", "No")
        program.finish()
    finally:
        if program.process.poll() is None:
            program.process.kill()


def main():
    if sys.argv[1] == "probe":
        probe(sys.argv[2], sys.argv[3], sys.argv[4] == "1")
        return
    bin_dir, source_dir, scenario = sys.argv[1:4]
    scenarios = {"fields": scenario_fields}
    scenarios[scenario](bin_dir, source_dir)
    print("ok: " + scenario)


if __name__ == "__main__":
    main()
