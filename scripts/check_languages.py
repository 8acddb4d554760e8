#!/usr/bin/python3
"""Checks that every language file carries a text for every language id the code uses,
and that no text holds a letter of the other alphabet.

The ids are found where the code names them: calls of LangStr, LangStrOr and the helpers
that take an id first (WordText, NamedText, Word, Said, PlaceWord, Utf8Text), place records (TPlace{id, ...}), error
message rows ({code, TTextKind::..., id, id, ...}) and caption rows ({"Name", id, "text"} or
{id, "text", ...} with a Russian built-in text), and the "{id=text}" groups of the notation
insert menu (resources/Resources/qem.zel).

Usage: check_languages.py [ROOT]   (default: this repository; files in resources/Languages)
       check_languages.py --list   print the ids found
"""
import pathlib
import re
import sys

FOLDERS = ["platform", "base", "settings", "scripthost", "model", "feedback", "notation",
           "harmony", "midi", "handler", "render", "playback", "songwindow", "app"]
PATTERNS = [
    re.compile(r"\b(?:LangStr|LangStrOr|WordText|NamedText|Word|Said|PlaceWord|Utf8Text)\(\s*(\d+)"),
    re.compile(r"\bTPlace\{\s*(\d+)"),
    re.compile(r"\{\s*(?:\d+|k\w+)\s*,\s*TTextKind::\w+\s*,\s*(\d+)\s*,\s*(\d+)"),
    re.compile(r'\{\s*(?:"\w+"\s*,\s*)?(\d+)\s*,\s*"[^"]*[А-Яа-яЁё]'),
]
MENU_GROUP = re.compile(r"\{(\d+)")
LINE = re.compile(r"^(\d+)=(.*)$")


def used_ids(root):
    ids = {}
    for folder in FOLDERS:
        for path in sorted((root / folder).rglob("*")):
            if path.suffix not in (".h", ".cpp"):
                continue
            text = path.read_text(encoding="utf-8")
            for pattern in PATTERNS:
                for match in pattern.finditer(text):
                    for group in match.groups():
                        if int(group) != 0:
                            ids.setdefault(int(group), path.relative_to(root).as_posix())
    menu = root / "resources" / "Resources" / "qem.zel"
    if menu.exists():
        for match in MENU_GROUP.finditer(menu.read_bytes().decode("cp1251")):
            ids.setdefault(int(match.group(1)), "resources/Resources/qem.zel")
    return ids


NAMED = re.compile(r"^[A-Za-z]+=")
CYRILLIC = re.compile(r"[А-Яа-яЁё]")
LATIN = re.compile(r"[A-Za-z]")
WORD = re.compile(r"[A-Za-zА-Яа-яЁё]+")
# Latin letters that look like Cyrillic ones: standing alone in a Russian text they are a
# slip of the keyboard ("Категория B").
LOOK_ALIKE = re.compile(r"(?:(?<=\s)|^)[ABCEHKMOPTXaceopxy](?=\s|$|[.,!:;?])")
PLACE_HOLDER = re.compile(r"%[sdu]")


def alphabet_problems(path):
    """Letters of the other alphabet in a language file's texts: any Cyrillic letter in
    English.lng, a word mixing both alphabets in either file, and a lone Latin look-alike
    letter in Russian.lng."""
    problems = []
    russian = path.name == "Russian.lng"
    for number, line in enumerate(path.read_bytes().decode("cp1251").splitlines(), 1):
        match = LINE.match(line)
        if not match:
            continue
        text = PLACE_HOLDER.sub(" ", match.group(2))
        where = f"{path.name}:{number}: {line[:60]!r}"
        if not russian and CYRILLIC.search(text):
            problems.append(f"{where}: a Cyrillic letter in an English text")
        for word in WORD.findall(text):
            if CYRILLIC.search(word) and LATIN.search(word):
                problems.append(f"{where}: the word {word!r} mixes Latin and Cyrillic letters")
        if russian and LOOK_ALIKE.search(text):
            problems.append(f"{where}: a lone Latin letter that looks Cyrillic")
    return problems


def file_ids(path, problems):
    """The ids with a text in a language file (code page 1251); a line that is neither
    blank nor "key=text" (a merge marker, a broken line) goes to problems."""
    found = set()
    for number, line in enumerate(path.read_bytes().decode("cp1251").splitlines(), 1):
        match = LINE.match(line)
        if match and match.group(2).strip():
            found.add(int(match.group(1)))
        elif not match and line.strip() and not NAMED.match(line):
            problems.append(f"{path.name}:{number}: not a text line: {line[:40]!r}")
    return found


def main(argv):
    args = [a for a in argv[1:] if not a.startswith("--")]
    root = pathlib.Path(args[0]) if args else pathlib.Path(__file__).resolve().parent.parent
    ids = used_ids(root)
    if "--list" in argv:
        for number in sorted(ids):
            print(number, ids[number])
        return 0
    missing = []
    for name in ("English.lng", "Russian.lng"):
        path = root / "resources" / "Languages" / name
        if not path.exists():
            missing.append(f"{name}: missing")
            continue
        have = file_ids(path, missing)
        missing += alphabet_problems(path)
        missing += [f"{name}: no text {n} (used in {ids[n]})" for n in sorted(ids) if n not in have]
    for line in missing:
        print("languages: " + line, file=sys.stderr)
    if missing:
        return 1
    print(f"languages: both files carry all {len(ids)} texts the code uses")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
