"""End-to-end tests of the real window, as a blind user meets it: the program runs in a
desktop session (scripts/desktop-session.sh), keys are typed with xdotool, the window is
read over AT-SPI (pyatspi, what the Orca screen reader reads) and the spoken texts from
the speech log.

usage: main_window_test.py BIN_DIR SOURCE_DIR SCENARIO
scenarios: open, close, language, placement, editor, plugin, brokenplugins, nodisplay,
runscript, runscript_nodisplay, unwritablefolder, settingsonce
(the other window tests import this harness: window_focus_test.py, editing_test.py,
shell_texts_test.py, file_writers_test.py, accessibility_test.py, orca_windows_test.py)
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

TIMEOUT_S = 30


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def wait_for(what, probe, timeout_s=TIMEOUT_S):
    """The first true result of probe(), polled until the timeout; `what` may be a function
    that describes the wait when it failed."""
    deadline = time.monotonic() + timeout_s
    while time.monotonic() < deadline:
        result = probe()
        if result:
            return result
        time.sleep(0.1)
    fail("timed out waiting for " + (what() if callable(what) else what))


def install_home(bin_dir, home):
    """Lays the installation tree beside the built programs out at home (without the
    programs, and without what earlier runs left in Resources/temp); returns home."""
    for entry in os.listdir(bin_dir):
        if os.path.isdir(os.path.join(bin_dir, entry)):
            shutil.copytree(os.path.join(bin_dir, entry), os.path.join(home, entry),
                            ignore=lambda folder, names: ["temp"] if folder.endswith("Resources") else [])
    return home


class Program:
    """velto started on a copy of the installation tree, with its speech and MIDI logs. One
    song given is only opened (--open) unless `play`: then it plays at once."""

    def __init__(self, bin_dir, songs, home=None, env=None, play=False):
        self.work = tempfile.mkdtemp(prefix="velto-window-")
        self.home = home or os.path.join(self.work, "home")
        if home is None:
            install_home(bin_dir, self.home)
        self.speech = os.path.join(self.work, "speech.log")
        self.midi_log = os.path.join(self.work, "midi.log")
        # Russian texts unless the test says otherwise (the locale chooses the language).
        environment = {k: v for k, v in os.environ.items() if k not in ("LC_ALL", "LC_MESSAGES")}
        environment.update(LANG="ru_RU.UTF-8", VELTO_SPEECH_LOG=self.speech,
                           VELTO_MIDI_LOG=self.midi_log,
                           VELTO_SIGNAL_LOG=os.path.join(self.work, "signal.log"))
        environment.update(env or {})
        self.output = open(os.path.join(self.work, "velto.out"), "w")
        self.process = subprocess.Popen(
            [os.path.join(bin_dir, "velto"), "--home", self.home] + ([] if play else ["--open"]) + songs,
            env=environment, stdout=self.output, stderr=subprocess.STDOUT)

    def said(self):
        """The spoken lines: "I text" (interrupting) or "S text" (queued)."""
        if not os.path.exists(self.speech):
            return []
        with open(self.speech, encoding="utf-8") as log:
            return [line.rstrip("\n").replace("\t", " ", 1) for line in log]

    def wait_said(self, lines, start):
        """Waits until the speech log holds `lines` in order after entry `start`."""
        def spoken():
            return self.said()[start:start + len(lines)] == lines
        wait_for(lambda: "speech %r (heard %r)" % (lines, self.said()[start:]), spoken)

    def signals(self):
        """The signal log: one kind a line."""
        log = os.path.join(self.work, "signal.log")
        if not os.path.exists(log):
            return []
        with open(log) as lines:
            return [line.strip() for line in lines if line.strip()]

    def midi(self):
        """The MIDI log: (milliseconds, [bytes]) per message."""
        if not os.path.exists(self.midi_log):
            return []
        with open(self.midi_log) as log:
            return [(int(fields[0]), [int(b, 16) for b in fields[1:]])
                    for fields in (line.split() for line in log) if fields]

    def temp_files(self):
        return sorted(os.listdir(os.path.join(self.home, "Resources", "temp")))

    def finish(self, expect_status=0):
        try:
            status = self.process.wait(timeout=TIMEOUT_S)
        except subprocess.TimeoutExpired:
            self.process.kill()
            fail("the program did not end")
        self.output.close()
        with open(self.output.name, encoding="utf-8", errors="replace") as out:
            text = out.read()
        if status != expect_status:
            fail("exit status %d, expected %d; output:\n%s" % (status, expect_status, text))
        return text


def key(*keys):
    subprocess.run(["xdotool", "key", "--delay", "50"] + list(keys), check=True)


def close_answering_no(program):
    """Ctrl+Q, answering No to every save question until the program has ended."""
    key("ctrl+q")
    deadline = time.monotonic() + TIMEOUT_S
    while program.process.poll() is None and time.monotonic() < deadline:
        if find_text("Сохранить?") is not None:
            press("push button", "Нет")
        time.sleep(0.2)


def quit_without_saving(program):
    """Ends the program by Ctrl+Q without saving; its output."""
    close_answering_no(program)
    return program.finish()


def active_window_name():
    result = subprocess.run(["xdotool", "getactivewindow", "getwindowname"], capture_output=True, text=True)
    return result.stdout.strip() if result.returncode == 0 else ""


def activate_main_window():
    """Gives the main window the keyboard as a click on it does (the user coming back from
    another program or from a window that stays open)."""
    subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^VELTO$", "windowfocus", "--sync"],
                   check=True)


def focus_main_window():
    """Waits until the main window holds the keyboard again, as the program gives it back
    itself once a dialog closed (no click of the test's may do it for the program)."""
    wait_for(lambda: "the main window to take the keyboard back (the active window is %r)"
             % active_window_name(), lambda: active_window_name() == "VELTO")


def type_text(text):
    subprocess.run(["xdotool", "type", "--delay", "50", text], check=True)


# The accessibility tree.
def velto_app():
    import pyatspi  # only inside a desktop session
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "velto":
            return app
    return None


def nodes(root):
    """Every node under root, depth first."""
    stack = [root]
    while stack:
        node = stack.pop()
        if node is None:
            continue
        yield node
        try:
            stack.extend(reversed([child for child in node]))
        except Exception:  # a node that went away while walking
            continue


def find(role, name):
    app = velto_app()
    if app is None:
        return None
    for node in nodes(app):
        try:
            if node.getRoleName() == role and node.name == name:
                return node
        except Exception:
            continue
    return None


def find_labelled(role, label):
    """A node of the role whose label (the labelled-by relation) is named `label`."""
    app = velto_app()
    for node in nodes(app) if app else []:
        try:
            if node.getRoleName() == role and labelled(node, label):
                return node
        except Exception:
            continue
    return None


def find_text(fragment):
    """A node whose name holds `fragment` (labels of message boxes)."""
    app = velto_app()
    for node in nodes(app) if app else []:
        try:
            if fragment in node.name:
                return node
        except Exception:
            continue
    return None


def focused(node):
    import pyatspi
    return node.getState().contains(pyatspi.STATE_FOCUSED)


NOTES = "Нотный текст"  # the Braille editor's accessible name


def focused_field(name=None):
    """The text field that has the focus, of any window; with `name`, only one so named."""
    app = velto_app()
    for node in nodes(app) if app else []:
        try:
            if node.getRoleName() == "text" and (name is None or node.name == name) and focused(node):
                return node
        except Exception:
            continue
    return None


def open_song(bin_dir, songs, said=None, env=None, timeout_s=TIMEOUT_S):
    """The program on `songs` (a path or a list of paths), its Braille editor focused and,
    when `said` is given, those lines spoken from the start; returns it and the editor."""
    program = Program(bin_dir, songs if isinstance(songs, list) else [songs], env=env)
    notes = wait_for("focus on a Braille editor", lambda: focused_field(NOTES), timeout_s=timeout_s)
    if said is not None:
        program.wait_said(said, 0)
    return program, notes


def open_by_dialog(path, frame_name, timeout_s=TIMEOUT_S):
    """Opens the song at path with Ctrl+O, its path typed into the open dialog's file name
    field and Enter, as a user does; returns the frame of its window once it shows."""
    key("ctrl+o")
    wait_for("the open dialog", lambda: find("dialog", "Открыть") or find("file chooser", "Открыть"), timeout_s)
    type_text(path)
    key("Return")
    return wait_for("the window %r" % frame_name, lambda: find("frame", frame_name), timeout_s)


def text_of(node):
    text = node.queryText()
    return text.getText(0, -1), text.caretOffset


def press(role, name):
    """Runs the default action of a node (a button or menu item), as Orca does."""
    node = wait_for("%s %r" % (role, name), lambda: find(role, name))
    node.queryAction().doAction(0)


def edit_handler():
    """Types "9" at the end of the handler editor of the window shown (Tab from the Braille
    editor)."""
    program_editor = wait_for("the program editor", lambda: find("text", "Обработчик для текущего трека"))
    key("Tab")
    wait_for("focus on the program editor", lambda: focused(program_editor))
    key("End")
    type_text("9")


def scenario_open(bin_dir, source_dir):
    song = os.path.join(source_dir, "examples", "twinkle-twinkle.qem")
    program = Program(bin_dir, [song])
    wait_for("the song window", lambda: find("frame", "twinkle-twinkle (qem)"))
    notes = wait_for("the Braille editor", lambda: find("text", "Нотный текст"))
    program_editor = find("text", "Обработчик для текущего трека")
    if text_of(notes) != ("MMVd4!SSOO", 0):
        fail("the Braille editor shows %r" % (text_of(notes),))
    if not focused(notes):
        fail("the Braille editor does not have the focus")
    program.wait_said(["I twinkle-twinkle", "S Нотный текст:", "S 1- Трек: Мелодия", "S MMVd4!SSOO"], 0)
    start = len(program.said())
    key("Tab")
    wait_for("focus on the program editor", lambda: focused(program_editor))
    program.wait_said(["I Обработчик для текущего трека"], start)
    key("Tab")
    wait_for("focus back on the Braille editor", lambda: focused(notes))
    program.wait_said(["I Нотный текст:", "I 1- Трек: Мелодия"], start + 1)
    key("ctrl+q")  # an unchanged song ends without a question
    program.finish()
    if program.temp_files():
        fail("files left in Resources/temp: %r" % program.temp_files())


def scenario_close(bin_dir, source_dir):
    work = tempfile.mkdtemp(prefix="velto-songs-")
    song = os.path.join(work, "twinkle-twinkle.qem")
    shutil.copy(os.path.join(source_dir, "examples", "twinkle-twinkle.qem"), song)
    original = open(song, "rb").read()
    program = Program(bin_dir, [song])
    edit_handler()
    question = "Файл twinkle-twinkle.qem был изменён. Сохранить?"
    key("ctrl+F4")
    wait_for("the save question", lambda: find_text(question))
    press("push button", "Отмена")
    wait_for("the question to go", lambda: not find_text(question))
    if find("frame", "twinkle-twinkle (qem)") is None:
        fail("Cancel closed the song window")
    focus_main_window()
    if "Qem[1].dat" not in program.temp_files():
        fail("Cancel removed the undo state file: %r" % program.temp_files())
    key("ctrl+F4")
    wait_for("the save question again", lambda: find_text(question))
    answered = len(program.said())
    press("push button", "Нет")
    wait_for("the song window to close", lambda: find("frame", "twinkle-twinkle (qem)") is None)
    if program.temp_files():
        fail("files left in Resources/temp: %r" % program.temp_files())
    if open(song, "rb").read() != original:
        fail("No changed the song file")
    focus_main_window()
    key("ctrl+q")
    program.finish()
    # Nothing is said of the window that went.
    if program.said()[answered:]:
        fail("the closed window spoke: %r" % program.said()[answered:])


def scenario_language(bin_dir, source_dir):
    """Choosing English in Settings re-captions the open song windows at once; the choice
    is kept in velto.ini and wins over the locale at the next start."""
    songs = [os.path.join(source_dir, "examples", name) for name in ("twinkle-twinkle.qem", "ode-to-joy.qem")]
    program = Program(bin_dir, songs)
    wait_for("the Russian labels", lambda: find("label", "Нотный текст:"))
    press("menu item", "English")
    wait_for("the English labels", lambda: find("label", "Music text:"))
    for role, name in (("menu item", "Find..."), ("menu item", "Measure"), ("label", "Handler of the current track:")):
        if find(role, name) is None:
            fail("no %s %r after switching to English" % (role, name))
    labels = [node for node in nodes(velto_app()) if node.getRoleName() == "label" and node.name == "Music text:"]
    if len(labels) != 2:
        fail("%d song windows show the English label, expected 2" % len(labels))
    key("ctrl+q")
    program.finish()
    with open(os.path.join(program.home, "velto.ini"), encoding="cp1251") as ini:
        if "Language=English.lng" not in ini.read():
            fail("the language choice was not kept in velto.ini")
    again = Program(bin_dir, [songs[0]], home=program.home)
    wait_for("the English labels at the next start", lambda: find("label", "Music text:"))
    key("ctrl+q")
    again.finish()


def extents(node):
    import pyatspi
    box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return (box.x, box.y, box.width, box.height)


def frame_extents():
    """The window manager's frame around the main window: left, right, top, bottom."""
    window = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^VELTO$"], check=True,
                            stdout=subprocess.PIPE, text=True).stdout.split()[0]
    found = subprocess.run(["xprop", "-id", window, "_NET_FRAME_EXTENTS"], check=True,
                           stdout=subprocess.PIPE, text=True).stdout
    values = found.split("=")[1].split(",") if "=" in found else []
    return tuple(int(v) for v in values) if len(values) == 4 else None


def scenario_placement(bin_dir, source_dir):
    """Without an ini the window's frame (the window manager's, around the window) opens
    centred; moved and resized, closed and opened again, it comes back at the same place and
    size. Saved maximised, it is started and quit three times and its normal frame's place
    stays where it was."""
    song = os.path.join(source_dir, "examples", "twinkle-twinkle.qem")
    program = Program(bin_dir, [song])
    frame = wait_for("the main window", lambda: find("frame", "VELTO"))
    border = wait_for("the window manager's frame", frame_extents)

    def centred():
        x, y, width, height = extents(frame)
        outer_width, outer_height = width + border[0] + border[1], height + border[2] + border[3]
        return (abs(x - border[0] - (1280 - outer_width) // 2) <= 1 and
                abs(y - border[2] - (1024 - outer_height) // 2) <= 1)
    wait_for(lambda: "the frame centred (now %r in a frame of %r)" % (extents(frame), border), centred)
    subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^VELTO$",
                    "windowmove", "--sync", "100", "80", "windowsize", "--sync", "700", "500"], check=True)
    # The window manager puts the frame's corner where the window was asked to go.
    moved = (100 + border[0], 80 + border[2], 700, 500)
    wait_for(lambda: "the new place %r (now %r)" % (moved, extents(find("frame", "VELTO"))),
             lambda: extents(find("frame", "VELTO")) == moved)
    key("ctrl+q")
    program.finish()
    again = Program(bin_dir, [song], home=program.home)
    wait_for("the main window", lambda: find("frame", "VELTO"))
    wait_for("the same place and size (now %r)" % (extents(find("frame", "VELTO")),),
             lambda: extents(find("frame", "VELTO")) == moved, timeout_s=5)
    key("ctrl+q")
    again.finish()
    ini_path = os.path.join(program.home, "velto.ini")
    with open(ini_path, "w", encoding="cp1251", newline="") as ini:
        ini.write("[ZELSequencer]\r\nState=3\r\nLeft=100\r\nTop=50\r\n")
    maximised = (border[0], border[2], 1280 - border[0] - border[1], 1024 - border[2] - border[3])
    for run in range(3):
        started = Program(bin_dir, [song], home=program.home)
        wait_for("the main window", lambda: find("frame", "VELTO"))
        wait_for(lambda: "run %d maximised (now %r)" % (run, extents(find("frame", "VELTO"))),
                 lambda: extents(find("frame", "VELTO")) == maximised)
        key("ctrl+q")
        started.finish()
        with open(ini_path, encoding="cp1251") as ini:
            saved = ini.read().split("[ZELSequencer]")[1].split("[")[0].split()
        if "Left=100" not in saved or "Top=50" not in saved or "State=3" not in saved:
            fail("run %d saved the maximised window's place as %r" % (run, saved))


# X key codes of keypad keys.
KP_7, KP_4, KP_8, KP_5, KP_9 = "79", "83", "80", "84", "81"


def note_ons(messages):
    """The keys of the note-ons among MIDI messages, with their channel."""
    return [(m[0] & 0x0F, m[1], m[2]) for _, m in messages if len(m) == 3 and m[0] & 0xF0 == 0x90]


def scenario_editor(bin_dir, source_dir):
    """A measure typed, walked over with Left and Right, a cell entered with the keypad's
    dots, advanced editing switched on and off: the line and caret over AT-SPI, the speech
    and the previews in the MIDI log (the melody's channel, silenced 800 ms later). Dot
    mode is still on at the next start."""
    work = tempfile.mkdtemp(prefix="velto-songs-")
    song = os.path.join(work, "melody.qem")
    with open(song, "wb") as out:
        out.write("".join(line + "\r\n" for line in
                          ["1 0 0 1 0 0 0", "Общее", "Vd4m", "1 0 1 1 0 0 0", "Мелодия", "m"]).encode("cp1251"))
    program = Program(bin_dir, [song])
    notes = wait_for("the Braille editor", lambda: find("text", "Нотный текст"))
    wait_for("focus on the Braille editor", lambda: focused(notes))
    program.wait_said(["I melody", "S Нотный текст:", "S 1- Трек: Мелодия"], 0)

    def step(keys, line, caret, said, previews):
        start, midi_start = len(program.said()), len(program.midi())
        key(*keys) if isinstance(keys, list) else type_text(keys)
        wait_for("the line %r caret %d (now %r)" % (line, caret, text_of(notes)),
                 lambda: text_of(notes) == (line, caret))
        program.wait_said(said, start)
        wait_for("previews %r (sent %r)" % (previews, note_ons(program.midi()[midi_start:])),
                 lambda: note_ons(program.midi()[midi_start:]) == [(0, k, 81) for k in previews])

    step("!PSNQ", "!PSNQ", 5, [], [60, 62, 64, 65])
    last_on = [ms for ms, m in program.midi() if m[0] == 0x90][-1]
    silenced = wait_for("the preview silenced", lambda: [ms for ms, m in program.midi()
                                                         if m == [0xB0, 0x7B, 0] and ms > last_on])
    if not 700 <= silenced[0] - last_on <= 2000:
        fail("the preview was silenced after %d ms" % (silenced[0] - last_on))
    step(["Left"], "!PSNQ", 4, ["I Q"], [65])
    step(["Left"], "!PSNQ", 3, ["I N"], [64])
    step(["Right"], "!PSNQ", 4, ["I Q"], [65])
    step(["Num_Lock"], "!PSNQ", 4, ["I Точечный режим включен"], [])
    # The keypad by key code: xdotool would press Num Lock itself to reach a keypad digit.
    step([KP_7, KP_4, KP_8, KP_5, "KP_Add"], "!PSNgQ", 5,
         ["I 1", "I 2", "I 4", "I 5", "I ", "S Первая", "S Вторая", "S Четвёртая", "S Пятая"], [65])
    step(["Scroll_Lock"], "!PSNgQ", 5, ["I Режим продвинутого редактирования включен"], [])
    step(["Left"], "!PSNgQ", 4, ["I  Первая Вторая Четвёртая Пятая"], [65])  # dot mode spells g
    step(["Scroll_Lock"], "!PSNgQ", 4, ["I Режим продвинутого редактирования выключен"], [])
    key("ctrl+q")
    wait_for("the save question", lambda: find_text("Сохранить?"))
    press("push button", "Нет")
    program.finish()
    with open(os.path.join(program.home, "velto.ini"), encoding="cp1251") as ini:
        settings = ini.read()
    if "PointMode=1" not in settings or "AdvancedEditing=0" not in settings:
        fail("the modes were not kept in velto.ini:\n" + settings)
    again = Program(bin_dir, [song], home=program.home)
    notes = wait_for("the Braille editor", lambda: find("text", "Нотный текст"))
    wait_for("focus on the Braille editor", lambda: focused(notes))
    again.wait_said(["I melody", "S Нотный текст:", "S 1- Трек: Мелодия"], 0)
    start = len(again.said())
    key(KP_9)
    again.wait_said(["I Шеститочие"], start)
    key("Num_Lock")
    again.wait_said(["I Точечный режим выключен"], start + 1)
    key("ctrl+q")
    again.finish()


def plugin_home(bin_dir, plugins, files=()):
    """An installation tree with the test plug-ins `plugins` and text `files` in Plugins/."""
    home = install_home(bin_dir, os.path.join(tempfile.mkdtemp(prefix="velto-plugins-"), "home"))
    folder = os.path.join(home, "Plugins")
    os.makedirs(folder, exist_ok=True)
    for name in plugins:
        shutil.copy(os.path.join(bin_dir, "..", "test-plugins", name + ".so"), folder)
    for name in files:
        with open(os.path.join(folder, name), "w") as text:
            text.write("not a library\n")
    return home


def run_velto(bin_dir, home, *args, env=None):
    environment = dict(os.environ, **(env or {}))
    return subprocess.run([os.path.join(bin_dir, "velto"), "--home", home] + list(args),
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, env=environment,
                          timeout=TIMEOUT_S)


def played_notes(bin_dir, home, song):
    """The note messages `velto --play` sends to the MIDI log device, without their times."""
    log = os.path.join(os.path.dirname(home), os.path.basename(song) + ".midi.log")
    env = {"VELTO_MIDI_LOG": log}
    devices = run_velto(bin_dir, home, "--list-devices", env=env).stdout.decode().splitlines()
    device = next(line.split(":")[0] for line in devices if line.endswith(": log"))
    played = run_velto(bin_dir, home, "--play", song, "--device", device, env=env)
    if played.returncode != 0:
        fail("--play %s failed: %r" % (song, played.stdout))
    with open(log) as lines:
        return [line.split()[1:] for line in lines if line.split()[1][0] in "89"]


def scenario_plugin(bin_dir, source_dir):
    """A song of the test format plug-in (.brm) opens from the command line and from
    File > Open in a window of its own with the plug-in's two controls, saves back byte for
    byte, and exports and plays like the same song in the native format."""
    home = plugin_home(bin_dir, ["brm"])
    work = tempfile.mkdtemp(prefix="velto-songs-")
    song = os.path.join(work, "tune.brm")
    shutil.copy(os.path.join(source_dir, "tests", "data", "songs", "tune.brm"), song)
    shutil.copy(song, os.path.join(work, "again.brm"))
    original = open(song, "rb").read()
    program = Program(bin_dir, [song], home=home)
    wait_for("the song window", lambda: find("frame", "tune (brm)"))
    port = wait_for("the port combo box", lambda: find_labelled("combo box", "Порт трека"))
    wait_for("the check box", lambda: find("check box", "Трек звучит"))
    key("ctrl+s")
    wait_for("the song saved", lambda: open(song, "rb").read() == original and
             os.path.getmtime(song) > os.path.getmtime(os.path.join(work, "again.brm")))
    notes = find("text", "Нотный текст")
    wait_for("the Braille editor's focus", lambda: focused(notes))
    key("Tab", "Tab")
    wait_for("focus on the port combo box", lambda: focused(port))
    start = len(program.said())
    key("Down")
    program.wait_said(["I Порт 1"], start)
    key("ctrl+o")
    wait_for("the open dialog", lambda: find("dialog", "Открыть") or find("file chooser", "Открыть"))
    type_text(os.path.join(work, "again.brm"))
    key("Return")
    wait_for("the second song window", lambda: find("frame", "again (brm)"))
    key("ctrl+F4")  # the unchanged second song closes without a question
    wait_for("the second window to close", lambda: find("frame", "again (brm)") is None)
    key("ctrl+q")
    question = "Файл tune.brm был изменён. Сохранить?"
    wait_for("the save question", lambda: find_text(question))
    press("push button", "Нет")
    program.finish()
    if open(song, "rb").read() != original:
        fail("No changed the song file")
    shutil.copy(song, os.path.join(work, "tune.qem"))
    exported = []
    for name in ("tune.brm", "tune.qem"):
        out = os.path.join(work, name + ".mid")
        run = run_velto(bin_dir, home, "--export", os.path.join(work, name), out)
        if run.returncode != 0:
            fail("--export %s failed: %r" % (name, run.stdout))
        exported.append(open(out, "rb").read())
    if exported[0] != exported[1]:
        fail("the .brm song exports otherwise than the same native song")
    brm, qem = (played_notes(bin_dir, home, os.path.join(work, n)) for n in ("tune.brm", "tune.qem"))
    if not brm or brm != qem:
        fail("the .brm song plays %r, the native one %r" % (brm, qem))


def scenario_brokenplugins(bin_dir, source_dir):
    """Libraries in Plugins/ that are no plug-ins of this program are skipped with a
    message naming each; the program starts and the good plug-in works."""
    home = plugin_home(bin_dir, ["wrong_abi", "no_module_info", "brm"], ["notalib.so"])
    song = os.path.join(source_dir, "tests", "data", "songs", "tune.brm")
    program = Program(bin_dir, [song], home=home)
    wait_for("the message about the skipped plug-ins", lambda: find_text("wrong_abi.so"))
    for name in ("no_module_info.so", "notalib.so"):
        if find_text(name) is None:
            fail("the message does not name " + name)
    press("push button", "OK")
    wait_for("the song window", lambda: find("frame", "tune (brm)"))
    focus_main_window()
    key("ctrl+q")
    text = program.finish()
    for name in ("wrong_abi.so", "no_module_info.so", "notalib.so"):
        if "plug-in %s skipped" % name not in text:
            fail("stderr does not name %s: %r" % (name, text))


def scenario_nodisplay(bin_dir, source_dir):
    """Without a display the window cannot open: the program says so and fails, while the
    commands without a window still work."""
    song = os.path.join(source_dir, "examples", "twinkle-twinkle.qem")
    program = Program(bin_dir, [song])
    text = program.finish(expect_status=1)
    if "no display" not in text:
        fail("the program did not say why it ended: %r" % text)
    out = os.path.join(program.work, "out.mid")
    export = subprocess.run([os.path.join(bin_dir, "velto"), "--home", program.home, "--export",
                             song, out], stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if export.returncode != 0 or not os.path.exists(out):
        fail("--export without a display failed: %r" % export.stdout)


def run_script(source_dir, bin_dir, song, env):
    """scripts/run.sh on the built programs with `song`, its files in a folder of its own;
    the process, its output file and the MIDI log."""
    work = tempfile.mkdtemp(prefix="velto-run-")
    midi_log = os.path.join(work, "midi.log")
    environment = {k: v for k, v in os.environ.items() if k not in ("LC_ALL", "LC_MESSAGES")}
    environment.update(LANG="ru_RU.UTF-8", VELTO_RUN_BIN=bin_dir, VELTO_RUN_OUT=os.path.join(work, "run"),
                       VELTO_MIDI_LOG=midi_log, VELTO_SPEECH_LOG=os.path.join(work, "speech.log"),
                       VELTO_SIGNAL_LOG=os.path.join(work, "signal.log"))
    for name, value in env.items():
        if value is None:
            environment.pop(name, None)
        else:
            environment[name] = value
    output = open(os.path.join(work, "run.out"), "w")
    process = subprocess.Popen(["bash", os.path.join(source_dir, "scripts", "run.sh"), song],
                               env=environment, stdout=output, stderr=subprocess.STDOUT)

    def notes():
        if not os.path.exists(midi_log):
            return []
        with open(midi_log) as log:
            return [int(f[2], 16) for f in (line.split() for line in log)
                    if len(f) == 4 and f[1][0] == "9" and int(f[3], 16) > 0]
    return process, output, notes


def short_song():
    path = os.path.join(tempfile.mkdtemp(prefix="velto-songs-"), "short.qem")
    write_song(path, ["1 1 0 1 0 0 0", "Общее", "Vd4m", "tempo 240", "1 0 1 1 0 0 0", "Мелодия", "!PSNQ"])
    return path


def finished_output(process, output):
    try:
        status = process.wait(timeout=TIMEOUT_S)
    except subprocess.TimeoutExpired:
        process.kill()
        fail("run.sh did not end")
    output.close()
    with open(output.name, encoding="utf-8", errors="replace") as out:
        text = out.read()
    if status != 0:
        fail("run.sh ended with %d:\n%s" % (status, text))
    return text


def scenario_runscript(bin_dir, source_dir):
    """The README's run command with a display opens the song in the program window, where
    it plays at once (C D E F by hand); Ctrl+Q ends it."""
    process, output, notes = run_script(source_dir, bin_dir, short_song(), {})
    wait_for(lambda: "the song's notes (sent %r)" % (notes(),), lambda: notes() == [60, 62, 64, 65])
    wait_for("the program window", lambda: find("text", "Нотный текст"))
    key("ctrl+q")
    text = finished_output(process, output)
    if "program window" not in text:
        fail("run.sh did not say it opens the window: %r" % text)


def scenario_runscript_nodisplay(bin_dir, source_dir):
    """Without a display the README's run command says so and plays the song without a
    window."""
    process, output, notes = run_script(source_dir, bin_dir, short_song(), {"DISPLAY": None, "WAYLAND_DISPLAY": None})
    text = finished_output(process, output)
    if "no display" not in text or "run: played" not in text:
        fail("run.sh without a display said %r" % text)
    if notes() != [60, 62, 64, 65]:
        fail("run.sh without a display played %r" % notes())


def scenario_unwritablefolder(bin_dir, source_dir):
    """A program folder the program cannot write in (here its Resources/temp is a file) is
    said in an error box and by speech, naming the folder and what it needs; the program then
    ends."""
    home = os.path.join(tempfile.mkdtemp(prefix="velto-window-"), "home")
    install_home(bin_dir, home)
    temp = os.path.join(home, "Resources", "temp")
    shutil.rmtree(temp, ignore_errors=True)
    with open(temp, "w") as f:
        f.write("not a folder")
    program = Program(bin_dir, [], home=home)
    needs = "Программе нужна папка %s/, в которую можно записывать" % home
    wait_for("the box naming the folder", lambda: find_text(needs))
    if not any(needs in line for line in program.said()):
        fail("the folder's problem was not spoken: %r" % program.said())
    press("push button", "OK")
    text = program.finish(expect_status=1)
    if needs not in text:
        fail("stderr did not name the folder: %r" % text)


def scenario_settingsonce(bin_dir, source_dir):
    """Settings that cannot be written at exit are said once (in a box and by speech), and
    the program still ends."""
    home = os.path.join(tempfile.mkdtemp(prefix="velto-window-"), "home")
    install_home(bin_dir, home)
    ini = os.path.join(home, "velto.ini")
    if os.path.exists(ini):
        os.remove(ini)
    os.symlink(os.path.join("missing", "velto.ini"), ini)  # into a folder that is not there
    program = Program(bin_dir, [], home=home)
    wait_for("the main window", lambda: find("frame", "VELTO"))
    focus_main_window()
    key("ctrl+q")
    said = "Не удаётся сохранить файл %s" % ini
    wait_for("the box naming velto.ini", lambda: find_text(said))
    press("push button", "OK")
    program.finish()
    heard = [line for line in program.said() if said in line]
    if len(heard) != 1:
        fail("velto.ini's failure was said %d times: %r" % (len(heard), program.said()))


def labelled(node, label):
    """True when node's labelled-by relation names `label`."""
    import pyatspi
    return any(relation.getRelationType() == pyatspi.RELATION_LABELLED_BY and any(
        relation.getTarget(i).name == label for i in range(relation.getNTargets()))
        for relation in node.getRelationSet())


def find_in(root, role, name):
    """The first node of the role named `name` (or labelled so) under root."""
    for node in nodes(root):
        try:
            if node.getRoleName() == role and (node.name == name or labelled(node, name)):
                return node
        except Exception:
            continue
    return None


def write_song(path, utf8_lines):
    with open(path, "wb") as out:
        out.write("".join(line + "\r\n" for line in utf8_lines).encode("cp1251"))


def run_scenario(namespace):
    """Runs the scenario named on the command line: the function scenario_NAME of namespace."""
    bin_dir, source_dir, scenario = sys.argv[1:4]
    run = namespace.get("scenario_" + scenario)
    if run is None:
        fail("no scenario " + scenario)
    run(bin_dir, source_dir)
    print("ok: " + scenario)


if __name__ == "__main__":
    run_scenario(globals())
