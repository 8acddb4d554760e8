"""End-to-end tests of the real window: menu items' names, letters and shortcuts for the
screen reader, Qt's own texts and the captions in the language chosen, errors that name
the device or file that failed.

usage: shell_texts_test.py BIN_DIR SOURCE_DIR SCENARIO
scenarios: menus, qttexts, captions, deviceerror, fileerror
"""
import os
import shutil
import sys
import tempfile

sys.dont_write_bytecode = True  # no cache beside the sources
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from main_window_test import (Program, edit_handler, fail, find, find_text, focus_main_window, key,  # noqa: E402
                              nodes, press, velto_app, wait_for, run_scenario)


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
    edit_handler()
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
    that is open again, or none. A MIDI log that is a FIFO nobody reads is such a device:
    the window shows and says so, never waiting on it."""
    work = tempfile.mkdtemp(prefix="velto-device-")
    log = os.path.join(work, "logs", "midi.log")
    os.makedirs(os.path.dirname(log))
    os.mkfifo(log)  # nobody reads it: it cannot open
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
    os.remove(log)
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
    shutil.rmtree(os.path.dirname(log))  # its folder is not there: it cannot open
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


if __name__ == "__main__":
    run_scenario(globals())
