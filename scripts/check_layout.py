#!/usr/bin/python3
"""Checks that every product folder includes only folders before it in the layout order,
and that Qt is included only by songwindow/view and app.

Usage: check_layout.py [ROOT]        check the tree at ROOT (default: this repository)
       check_layout.py --self-test   also show that a planted wrong include is caught
"""
import pathlib
import re
import shutil
import sys
import tempfile

# plugin/ is the C header of the plug-in entry points: every folder may include it.
ORDER = ["plugin", "platform", "base", "settings", "scripthost", "model", "feedback", "notation",
         "harmony", "midi", "handler", "render", "playback", "pluginhost", "songwindow/controller",
         "songwindow/view", "app"]
QT_ALLOWED = ("songwindow/view/", "app/")
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
            for header in INCLUDE.findall(path.read_text(encoding="utf-8", errors="replace")):
                top = stage_of(header)
                if "/" in header and top is not None and ORDER.index(top) > ORDER.index(folder):
                    found.append(f"{rel}: includes {header}, a later folder than {folder}/")
                if QT_HEADER.match(header) and not rel.startswith(QT_ALLOWED):
                    found.append(f"{rel}: includes Qt ({header}) outside songwindow/view and app")
    return found


def self_test(root):
    with tempfile.TemporaryDirectory() as tmp:
        copy = pathlib.Path(tmp)
        for folder in ORDER:
            if (root / folder).is_dir():
                shutil.copytree(root / folder, copy / folder)
        planted = copy / "base" / "planted.cpp"
        planted.write_text('#include "render/render_thread.h"\n#include <QWidget>\n')
        controller = copy / "songwindow" / "controller"
        controller.mkdir(parents=True, exist_ok=True)
        (controller / "planted.cpp").write_text('#include "songwindow/view/song_window_view.h"\n')
        found = violations(copy)
        expected = {"base/planted.cpp: includes render/render_thread.h, a later folder than base/",
                    "base/planted.cpp: includes Qt (QWidget) outside songwindow/view and app",
                    "songwindow/controller/planted.cpp: includes songwindow/view/song_window_view.h,"
                    " a later folder than songwindow/controller/"}
        if not expected <= set(found):
            print("layout: the planted wrong includes were not caught", file=sys.stderr)
            return False
    return True


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
