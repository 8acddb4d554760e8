#!/usr/bin/python3
"""Checks that every product folder includes only folders before it in the layout order,
and that Qt is included only by songwindow/widgets, songwindow/dialogs/view,
songwindow/view and app. A folder inside another (platform/midi_devices) is a stage of its own.

Usage: check_layout.py [ROOT]        check the tree at ROOT (default: this repository)
       check_layout.py --self-test   also show that a planted wrong include is caught
"""
import pathlib
import re
import shutil
import sys
import tempfile

# plugin/ is the C header of the plug-in entry points: every folder may include it.
ORDER = ["plugin", "platform", "platform/midi_devices", "platform/speech_signals", "base",
         "settings", "scripthost", "model", "feedback", "notation", "harmony", "midi", "handler",
         "render", "playback", "pluginhost", "songwindow/parts", "songwindow/controller",
         "songwindow/dialogs", "songwindow/widgets", "songwindow/dialogs/view", "songwindow/view",
         "app"]
QT_ALLOWED = ("songwindow/widgets/", "songwindow/dialogs/view/", "songwindow/view/", "app/")
QT_FOLDERS = "songwindow/widgets, songwindow/dialogs/view, songwindow/view and app"
INCLUDE = re.compile(r'^\s*#\s*include\s*[<"]([^">]+)[">]', re.M)
QT_HEADER = re.compile(r"^Q[A-Za-z]+(/|$)|^Qt[A-Za-z]*/")


def stage_of(path):
    """The entry of ORDER that a path lies in (the longest matching folder), or None."""
    found = [folder for folder in ORDER if path == folder or path.startswith(folder + "/")]
    return max(found, key=len) if found else None


def violations(root):
    found = []
    for folder in ORDER:
        for path in sorted((root / folder).rglob("*")):
            if path.suffix not in (".h", ".cpp"):
                continue
            rel = path.relative_to(root).as_posix()
            if stage_of(rel) != folder:
                continue  # a folder of its own inside this one
            for header in INCLUDE.findall(path.read_text(encoding="utf-8", errors="replace")):
                top = stage_of(header)
                if "/" in header and top is not None and ORDER.index(top) > ORDER.index(folder):
                    found.append(f"{rel}: includes {header}, a later folder than {folder}/")
                if QT_HEADER.match(header) and not rel.startswith(QT_ALLOWED):
                    found.append(f"{rel}: includes Qt ({header}) outside {QT_FOLDERS}")
    return found


def self_test(root):
    """Plants a wrong include in each kind of place and a right one beside it: each wrong one
    must be reported and the right ones must not."""
    wrong = {
        "base/planted.cpp": ['#include "render/render_thread.h"', "#include <QWidget>"],
        "platform/planted.cpp": ['#include "platform/midi_devices/midi_device.h"'],
        "platform/midi_devices/planted.cpp": ['#include "platform/speech_signals/speech_output.h"'],
        "platform/speech_signals/planted.cpp": ['#include "base/errors.h"'],
        "songwindow/parts/planted.cpp": ['#include "songwindow/controller/song_window.h"'],
        "songwindow/controller/planted.cpp": ['#include "songwindow/dialogs/track_dialogs.h"',
                                              '#include "songwindow/view/song_window_view.h"'],
        "songwindow/dialogs/planted.cpp": ['#include "songwindow/dialogs/view/find_dialog_view.h"',
                                           "#include <QDialog>"],
        "songwindow/widgets/planted.cpp": ['#include "songwindow/dialogs/view/dialog_widgets.h"'],
        "songwindow/dialogs/view/planted.cpp": ['#include "songwindow/view/song_window_view.h"'],
    }
    right = {
        "platform/midi_devices/planted_right.cpp": ['#include "platform/clock.h"'],
        "songwindow/dialogs/planted_right.cpp": ['#include "songwindow/controller/song_window.h"',
                                                 '#include "songwindow/parts/window_ports.h"'],
        "songwindow/dialogs/view/planted_right.cpp": ['#include "songwindow/dialogs/find_dialog.h"',
                                                      '#include "songwindow/widgets/qt_text.h"',
                                                      "#include <QDialog>"],
        "songwindow/view/planted_right.cpp": ['#include "songwindow/dialogs/view/find_dialog_view.h"'],
    }
    with tempfile.TemporaryDirectory() as tmp:
        copy = pathlib.Path(tmp)
        for folder in ORDER:
            if (root / folder).is_dir() and not (copy / folder).exists():
                shutil.copytree(root / folder, copy / folder)
        for rel, includes in {**wrong, **right}.items():
            (copy / rel).parent.mkdir(parents=True, exist_ok=True)
            (copy / rel).write_text("\n".join(includes) + "\n")
        found = violations(copy)
        ok = True
        for rel, includes in wrong.items():
            for include in includes:
                if not any(line.startswith(rel + ":") and include.split()[-1].strip('"<>') in line
                           for line in found):
                    print(f"layout: the planted {rel} ({include}) was not caught", file=sys.stderr)
                    ok = False
        for rel in right:
            for line in found:
                if line.startswith(rel + ":"):
                    print(f"layout: a right include was reported: {line}", file=sys.stderr)
                    ok = False
    return ok


def main(argv):
    root = pathlib.Path(__file__).resolve().parent.parent
    args = [a for a in argv[1:] if a != "--self-test"]
    if args:
        root = pathlib.Path(args[0])
    found = violations(root)
    for line in found:
        print("layout: " + line, file=sys.stderr)
    if found:
        return 1
    if "--self-test" in argv and not self_test(root):
        return 1
    print("layout: every include follows the folder order")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
