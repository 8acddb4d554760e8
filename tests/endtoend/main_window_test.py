"""End-to-end tests of the real window, as a blind user meets it: the program runs in a
desktop session (scripts/desktop-session.sh), keys are typed with xdotool, the window is
read over AT-SPI (pyatspi, what the Orca screen reader reads) and the spoken texts from
the speech log.

usage: main_window_test.py BIN_DIR SOURCE_DIR SCENARIO
scenarios: open, close, language, placement, editor, plugin, brokenplugins, nodisplay,
           windows, pluginkeys, numlock, untouched, newsong, advanced, modes,
           menus, qttexts, captions, deviceerror, fileerror
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
    """The first true result of probe(), polled until the timeout."""
    deadline = time.monotonic() + timeout_s
    while time.monotonic() < deadline:
        result = probe()
        if result:
            return result
        time.sleep(0.1)
    fail("timed out waiting for " + what)


class Program:
    """velto started on a copy of the installation tree, with its speech and MIDI logs."""

    def __init__(self, bin_dir, songs, home=None, env=None):
        self.work = tempfile.mkdtemp(prefix="velto-window-")
        self.home = home or os.path.join(self.work, "home")
        if home is None:  # the installation tree, without the programs
            for entry in os.listdir(bin_dir):
                if os.path.isdir(os.path.join(bin_dir, entry)):
                    shutil.copytree(os.path.join(bin_dir, entry), os.path.join(self.home, entry))
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
            [os.path.join(bin_dir, "velto"), "--home", self.home] + songs,
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
        wait_for("speech %r (heard %r)" % (lines, self.said()[start:]), spoken)

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


def focus_main_window():
    """Gives the main window the keyboard back after a dialog closed (the virtual X server
    has no window manager to do it)."""
    subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^VELTO$", "windowfocus", "--sync"],
                   check=True)


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
    import pyatspi
    app = velto_app()
    for node in nodes(app) if app else []:
        try:
            if node.getRoleName() != role:
                continue
            for relation in node.getRelationSet():
                if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY and any(
                        relation.getTarget(i).name == label for i in range(relation.getNTargets())):
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


def text_of(node):
    text = node.queryText()
    return text.getText(0, -1), text.caretOffset


def press(role, name):
    """Runs the default action of a node (a button or menu item), as Orca does."""
    node = wait_for("%s %r" % (role, name), lambda: find(role, name))
    node.queryAction().doAction(0)


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
    program_editor = wait_for("the program editor", lambda: find("text", "Обработчик для текущего трека"))
    key("Tab")
    wait_for("focus on the program editor", lambda: focused(program_editor))
    key("End")
    type_text("9")
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
    press("push button", "Нет")
    wait_for("the song window to close", lambda: find("frame", "twinkle-twinkle (qem)") is None)
    if program.temp_files():
        fail("files left in Resources/temp: %r" % program.temp_files())
    if open(song, "rb").read() != original:
        fail("No changed the song file")
    focus_main_window()
    key("ctrl+q")
    program.finish()


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


def scenario_placement(bin_dir, source_dir):
    """Without an ini the window opens centred; moved and resized, closed and opened again,
    it comes back at the same place and size."""
    song = os.path.join(source_dir, "examples", "twinkle-twinkle.qem")
    program = Program(bin_dir, [song])
    frame = wait_for("the main window", lambda: find("frame", "VELTO"))
    x, y, width, height = extents(frame)
    if abs(x - (1280 - width) // 2) > 1 or abs(y - (1024 - height) // 2) > 1:
        fail("not centred: %r" % ((x, y, width, height),))
    subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^VELTO$",
                    "windowmove", "--sync", "100", "80", "windowsize", "--sync", "700", "500"], check=True)
    wait_for("the new place", lambda: extents(find("frame", "VELTO")) == (100, 80, 700, 500))
    key("ctrl+q")
    program.finish()
    again = Program(bin_dir, [song], home=program.home)
    wait_for("the main window", lambda: find("frame", "VELTO"))
    wait_for("the same place and size (now %r)" % (extents(find("frame", "VELTO")),),
             lambda: extents(find("frame", "VELTO")) == (100, 80, 700, 500), timeout_s=5)
    key("ctrl+q")
    again.finish()


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
    home = os.path.join(tempfile.mkdtemp(prefix="velto-plugins-"), "home")
    for entry in os.listdir(bin_dir):
        if os.path.isdir(os.path.join(bin_dir, entry)):
            shutil.copytree(os.path.join(bin_dir, entry), os.path.join(home, entry))
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


# Windows reached, the plug-in's controls by Tab and key, the keyboard's Num Lock.
def find_in(root, role, name):
    """The first node of the role named `name` (or labelled so) under root."""
    import pyatspi
    for node in nodes(root):
        try:
            if node.getRoleName() != role:
                continue
            if node.name == name:
                return node
            for relation in node.getRelationSet():
                if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY and any(
                        relation.getTarget(i).name == name for i in range(relation.getNTargets())):
                    return node
        except Exception:
            continue
    return None


def write_song(path, utf8_lines):
    with open(path, "wb") as out:
        out.write("".join(line + "\r\n" for line in utf8_lines).encode("cp1251"))


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
    virtual-key code (F5 and comma too); Enter on its button clicks it."""
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
            key("F5", "comma", "Return")
            program.wait_said(["S down 116 0", "S up 116 0", "S down 188 0", "S up 188 0",
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


# --- Close questions, places, pasting and new songs ---------------------------------------

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
    is shown in a message box; the play keys that cannot act say nothing."""
    work = tempfile.mkdtemp(prefix="velto-songs-")
    song = write_song_in(work, "advanced.qem", ["1 0 0 1 0 0 0", "Общее", "Vd4m", "3 0 1 1 0 0 0", "Мелодия",
                                             "!PSNQ", "SNQT", "%%Vc4!P", "2 0 2 1 0 0 0", "Бас",
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
    wait_for("measure 3", lambda: text_of(notes)[0] == "%%Vc4!P")
    key("Scroll_Lock", "Right")
    wait_for("the error box", lambda: find_text("Мелодия нотный текст!"))
    press("push button", "OK")
    wait_for("the error box to go", lambda: not find_text("Мелодия нотный текст!"))
    focus_main_window()
    wait_for("focus on the Braille editor", lambda: focused(notes))
    start = len(program.said())
    for keys in ("ctrl+space", "shift+space", "ctrl+shift+space"):
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
    home = os.path.join(tempfile.mkdtemp(prefix="velto-modes-"), "home")
    for entry in os.listdir(bin_dir):
        if os.path.isdir(os.path.join(bin_dir, entry)):
            shutil.copytree(os.path.join(bin_dir, entry), os.path.join(home, entry))
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


# The shell's menus and texts: names and keys for the screen reader, one menu letter per
# menu, Qt's own texts and the captions in the language chosen, errors that name what failed.
MENU_ITEM_ROLES = ("menu item", "check menu item", "radio menu item")


def key_binding(node):
    try:
        return node.queryAction().getKeyBinding(0)
    except Exception:
        return ""


def menu_letters_twice():
    """Menus and the menu bar that give one letter to two items: [(menu, letter, items)]."""
    app = velto_app()
    found = []
    for menu in nodes(app):
        try:
            if menu.getRoleName() not in ("menu bar", "menu"):
                continue
            items = {}
            for item in menu:
                letter = key_binding(item).split(";")[0].lower()
                if letter:
                    items.setdefault(letter, []).append(item.name)
            found += [(menu.name, letter, names) for letter, names in items.items() if len(names) > 1]
        except Exception:
            continue
    return found


def check_menu_items(shortcuts):
    """Every menu item has a name and answers its key binding as "letter;;shortcut", the
    form Orca reads the shortcut from; the items named in `shortcuts` carry theirs."""
    items = [node for node in nodes(velto_app()) if node.getRoleName() in MENU_ITEM_ROLES]
    unnamed = [key_binding(node) for node in items if not node.name]
    if unnamed:
        fail("%d menu items without a name" % len(unnamed))
    for node in items:
        binding = key_binding(node)
        if binding and len(binding.split(";")) != 3:
            fail("menu item %r answers the key binding %r" % (node.name, binding))
    for name, shortcut in shortcuts.items():
        bindings = [key_binding(node) for node in items if node.name == name]
        if not bindings or any(b.split(";")[2:] != [shortcut] for b in bindings):
            fail("menu item %r answers %r, not the shortcut %s" % (name, bindings, shortcut))
    twice = menu_letters_twice()
    if twice:
        fail("menu letters used twice: %r" % twice)


def scenario_menus(bin_dir, source_dir):
    song = os.path.join(source_dir, "examples", "twinkle-twinkle.qem")
    program = Program(bin_dir, [song])
    wait_for("the song window", lambda: find("frame", "twinkle-twinkle (qem)"))
    check_menu_items({"Новый": "Ctrl+N", "Сохранить": "Ctrl+S", "Закрыть": "Ctrl+F4", "Выход": "Ctrl+Q",
                      "Следующее окно": "Ctrl+F6", "Точечный режим": "Ctrl+Return"})
    press("menu item", "English")
    wait_for("the English labels", lambda: find("label", "Music text:"))
    check_menu_items({"New": "Ctrl+N", "Exit": "Ctrl+Q", "Dot mode": "Ctrl+Return", "About": "F1"})
    for name in ("First track", "Last track"):
        if find("menu item", name) is None:
            fail("no menu item %r" % name)
    key("ctrl+q")
    program.finish()


def scenario_qttexts(bin_dir, source_dir):
    """The close question's buttons and Qt's file dialog speak the program's language, and
    switch with it."""
    work = tempfile.mkdtemp(prefix="velto-songs-")
    song = os.path.join(work, "twinkle-twinkle.qem")
    shutil.copy(os.path.join(source_dir, "examples", "twinkle-twinkle.qem"), song)
    program = Program(bin_dir, [song])
    program_editor = wait_for("the program editor", lambda: find("text", "Обработчик для текущего трека"))
    key("Tab")
    wait_for("focus on the program editor", lambda: focused(program_editor))
    key("End")
    type_text("9")
    key("ctrl+F4")
    wait_for("the save question", lambda: find_text("Сохранить?"))
    for button in ("Да", "Нет", "Отмена"):
        if find("push button", button) is None:
            fail("the question has no button %r" % button)
    press("push button", "Отмена")
    wait_for("the question to go", lambda: not find_text("Сохранить?"))
    focus_main_window()
    key("ctrl+o")
    wait_for("the open dialog in Russian", lambda: find("dialog", "Открыть"))
    key("Escape")
    wait_for("the open dialog to go", lambda: find("dialog", "Открыть") is None)
    press("menu item", "English")
    wait_for("the English labels", lambda: find("label", "Music text:"))
    focus_main_window()
    key("ctrl+F4")
    wait_for("the save question", lambda: find_text("Save it?"))
    for button in ("Yes", "Cancel"):
        if find("push button", button) is None:
            fail("the question has no button %r" % button)
    press("push button", "No")
    wait_for("the song window to close", lambda: find("frame", "twinkle-twinkle (qem)") is None)
    focus_main_window()
    key("ctrl+q")
    program.finish()


def scenario_captions(bin_dir, source_dir):
    """A language switch says the language and re-captions the window's caption and status
    bar at once."""
    program = Program(bin_dir, [])
    wait_for("the main window", lambda: find("frame", "VELTO"))
    focus_main_window()
    key("ctrl+n")
    wait_for("the new song", lambda: find("frame", "безымянный (qem)"))
    for panel in (" Трек: Трек 1", "Такт: 1", "Голос: 1", "Строка: 1", "Столбец: 1"):
        wait_for("the panel %r" % panel, lambda: find("label", panel))
    start = len(program.said())
    press("menu item", "English")
    program.wait_said(["I Language: English"], start)
    wait_for("the English caption", lambda: find("frame", "untitled (qem)"))
    for panel in (" Track: Трек 1", "Measure: 1", "Voice: 1", "Line: 1", "Column: 1"):
        if find("label", panel) is None:
            fail("no status panel %r after the switch" % panel)
    press("menu item", "Russian")
    program.wait_said(["I Язык: Русский"], start + 1)
    wait_for("the Russian caption", lambda: find("frame", "безымянный (qem)"))
    focus_main_window()
    key("ctrl+q")  # the untouched new song asks nothing
    program.finish()


def checked(role, name):
    import pyatspi
    node = find(role, name)
    return node is not None and node.getState().contains(pyatspi.STATE_CHECKED)


def scenario_deviceerror(bin_dir, source_dir):
    """A device that cannot open is reported by its name; the menu then checks the device
    that is open again, or none."""
    work = tempfile.mkdtemp(prefix="velto-device-")
    log = os.path.join(work, "missing", "midi.log")  # its folder is not there: it cannot open
    song = os.path.join(source_dir, "examples", "twinkle-twinkle.qem")
    program = Program(bin_dir, [song], env={"VELTO_MIDI_LOG": log})

    def reported(device):
        box = wait_for("the error of device %s" % device, lambda: find_text("MIDI-устройство " + device))
        if "нотный текст" in box.name or "Общее" in box.name:
            fail("the device error is reported as a music text error: %r" % box.name)
        press("push button", "OK")
        wait_for("the box to go", lambda: find_text("MIDI-устройство " + device) is None)

    reported("log")
    if checked("menu item", "log"):
        fail("the device menu checks the log device that failed")
    os.makedirs(os.path.dirname(log))
    press("menu item", "log")
    wait_for("the log device checked", lambda: checked("menu item", "log"))
    # The synthesizer opens where there is a sound output; where there is none it is
    # reported and the log device comes back.
    synth = "FluidSynth (General MIDI)"
    press("menu item", synth)
    if wait_for("the synthesizer open or reported",
                lambda: checked("menu item", synth) or find_text("MIDI-устройство FluidSynth")) is True:
        opened = synth
    else:
        reported("FluidSynth")
        wait_for("the log device back", lambda: checked("menu item", "log"))
        opened = None
    shutil.rmtree(os.path.dirname(log))
    press("menu item", "log")
    reported("log")
    if checked("menu item", "log") or (opened and not checked("menu item", opened)):
        fail("after the log device failed the menu does not check %r alone" % opened)
    focus_main_window()
    key("ctrl+q")
    program.finish()


def scenario_fileerror(bin_dir, source_dir):
    """A song that cannot be opened is named with the reason in the program's language."""
    missing = os.path.join(tempfile.mkdtemp(prefix="velto-songs-"), "missing.qem")
    program = Program(bin_dir, [missing])
    message = "Не удаётся открыть файл %s: Нет такого файла или папки" % missing
    wait_for("the error box", lambda: find_text(message))
    press("push button", "OK")
    wait_for("the box to go", lambda: find_text(message) is None)
    focus_main_window()
    key("ctrl+q")
    program.finish()


def main():
    bin_dir, source_dir, scenario = sys.argv[1:4]
    scenarios = {"open": scenario_open, "close": scenario_close, "language": scenario_language,
                 "placement": scenario_placement, "editor": scenario_editor,
                 "plugin": scenario_plugin, "brokenplugins": scenario_brokenplugins,
                 "nodisplay": scenario_nodisplay,
                 "untouched": scenario_untouched, "newsong": scenario_newsong,
                 "advanced": scenario_advanced, "modes": scenario_modes,
                 "windows": scenario_windows, "pluginkeys": scenario_pluginkeys,
                 "numlock": scenario_numlock,
                 "menus": scenario_menus, "qttexts": scenario_qttexts, "captions": scenario_captions,
                 "deviceerror": scenario_deviceerror, "fileerror": scenario_fileerror}
    scenarios[scenario](bin_dir, source_dir)
    print("ok: " + scenario)


if __name__ == "__main__":
    main()
