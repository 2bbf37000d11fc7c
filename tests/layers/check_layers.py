#!/usr/bin/env python3
"""Checks the #include lines of src/ and of the tests that mirror it against
the layer table src/layers.txt.

    check_layers.py [ROOT]       (ROOT: the project folder, default: this script's ../..)

A file in src/F or tests/F may include headers of F and of the folders on the
lines below F's line. An include of a folder on a higher line reaches up, one
of another folder on F's own line reaches across; each is reported as
"path:line: ..." and the exit status is 1. Includes that name no folder of the
table (platform headers, test support) are not checked. Relative includes
("../exchange/x.h") count for the folder they land in. With --doc, the block
that follows the line "<!-- layers.txt -->" in docs/architecture.md must
repeat the table's lines."""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
SOURCES = (".h", ".hpp", ".cpp", ".cc")


def read_table(path):
    """The table's lines without comments, and each folder's rank (0 = bottom)."""
    lines = []
    with open(path, encoding="utf-8") as f:
        for raw in f:
            line = raw.rstrip("\n")
            if line.strip() and not line.lstrip().startswith("#"):
                lines.append(line)
    rank = {}
    for i, line in enumerate(lines):
        for folder in line.split(":")[0].split():
            if folder in rank:
                raise ValueError(f"{path}: folder {folder} is listed twice")
            rank[folder] = len(lines) - 1 - i
    return lines, rank


def folder_of_include(include, including_dir, root, rank):
    """The table folder an include names, or None when it names none."""
    if include.startswith("."):
        target = os.path.normpath(os.path.join(including_dir, include))
        parts = os.path.relpath(target, root).split(os.sep)
        if len(parts) > 2 and parts[0] in ("src", "tests") and parts[1] in rank:
            return parts[1]
        return None
    head = include.split("/")[0]
    return head if "/" in include and head in rank else None


def check(root, table="src/layers.txt"):
    """Every include that reaches up or across, as "path:line: text" lines."""
    _, rank = read_table(os.path.join(root, table))
    problems = []
    for top in ("src", "tests"):
        base = os.path.join(root, top)
        if not os.path.isdir(base):
            continue
        for folder in sorted(os.listdir(base)):
            if not os.path.isdir(os.path.join(base, folder)):
                continue
            if folder not in rank:
                if top == "src":
                    problems.append(f"{top}/{folder}: the folder has no line in {table}")
                continue
            for dirpath, dirs, files in os.walk(os.path.join(base, folder)):
                dirs.sort()
                for name in sorted(files):
                    if not name.endswith(SOURCES):
                        continue
                    path = os.path.join(dirpath, name)
                    shown = os.path.relpath(path, root)
                    with open(path, encoding="utf-8", errors="replace") as f:
                        for number, line in enumerate(f, 1):
                            m = INCLUDE.match(line)
                            if not m:
                                continue
                            other = folder_of_include(m.group(1), dirpath, root, rank)
                            if other is None or other == folder:
                                continue
                            if rank[other] > rank[folder]:
                                problems.append(f'{shown}:{number}: "{m.group(1)}" reaches up: '
                                                f"{folder} is below {other}")
                            elif rank[other] == rank[folder]:
                                problems.append(f'{shown}:{number}: "{m.group(1)}" reaches across: '
                                                f"{folder} and {other} share a layer")
    return problems


def check_doc(root, table="src/layers.txt", doc="docs/architecture.md"):
    """A problem line when the document's copy of the table differs from it."""
    lines, _ = read_table(os.path.join(root, table))
    with open(os.path.join(root, doc), encoding="utf-8") as f:
        text = f.read().split("\n")
    try:
        start = text.index("<!-- layers.txt -->")
    except ValueError:
        return [f"{doc}: no line <!-- layers.txt --> before the layer table"]
    block = text[start + 1:]
    if not block or not block[0].startswith("```"):
        return [f"{doc}:{start + 2}: the layer table is not a fenced block"]
    shown = []
    for line in block[1:]:
        if line.startswith("```"):
            break
        shown.append(line)
    if shown != lines:
        return [f"{doc}:{start + 3}: the layer table differs from {table}"]
    return []


def main(argv):
    args = [a for a in argv[1:] if not a.startswith("--")]
    root = args[0] if args else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
    root = os.path.abspath(root)
    problems = check(root)
    if "--doc" in argv:
        problems += check_doc(root)
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
