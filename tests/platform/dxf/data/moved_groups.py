"""The check that a drawing's records, moved, are ezdxf's `translate` of
them and keep every other group as the file spelled it.

    moved_groups.py PLAIN MOVED DX DY DZ

PLAIN is a drawing saved unmoved, MOVED the same drawing saved with every
entity of model space moved by the vector. Each entity of model space in
MOVED (with its vertices, attributes and sequence end) must be ezdxf's
translate of PLAIN's, value for value, as the edit reckoning compares them
(tests/tools/host/data/edit_reckoning.py); and in the files themselves each
of its records must hold the same groups in the same order, a value
spelled otherwise only where the translation changed that code's value.
Exits 1 naming each difference, 77 without ezdxf.
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "tools", "host", "data"))
import edit_reckoning as er  # noqa: E402  (exits 77 without ezdxf)
import ezdxf  # noqa: E402


def records(path):
    """The groups of each record of the file that has a handle, by handle."""
    with open(path, encoding="utf-8", errors="surrogateescape") as f:
        lines = [l.rstrip("\r\n") for l in f]
    groups = [(int(lines[i]), lines[i + 1]) for i in range(0, len(lines) - 1, 2)]
    out, current = {}, None
    for i, (code, value) in enumerate(groups):
        if code == 0:
            current = [(code, value)]
            if i + 1 < len(groups) and groups[i + 1][0] == 5:
                out[groups[i + 1][1].strip().upper()] = current
        elif current is not None:
            current.append((code, value))
    return out


def changed_codes(before, after, version):
    """The codes whose values ezdxf's translation changed in a record."""
    a, b = er.tags_of(before, version), er.tags_of(after, version)
    return {c for (c, x), (_, y) in zip(a, b) if x != y} | ({c for c, _ in a} ^ {c for c, _ in b})


def main(plain, moved, vector):
    want, got, before = ezdxf.readfile(plain), ezdxf.readfile(moved), ezdxf.readfile(plain)
    problems = []
    acted = list(want.modelspace())
    originals = {e.dxf.handle: e for e in before.modelspace()}
    for e in acted:
        problems += er.translate(e, vector)
    er.compare_all(want, got, before, er.rounding_handles(want, acted), problems, "moved")
    # The files' own groups.
    version = want.dxfversion
    raw_plain, raw_moved = records(plain), records(moved)
    for e in acted:
        family = zip(er.family(want, e), er.family(before, originals[e.dxf.handle]))
        for after, first in family:
            handle = first.dxf.handle.upper()
            a, b = raw_plain.get(handle), raw_moved.get(handle)
            if a is None or b is None:
                continue
            if [c for c, _ in a] != [c for c, _ in b]:
                problems.append("%s %s: groups %s, saved %s" % (first.dxftype(), handle, [c for c, _ in a],
                                                                [c for c, _ in b]))
                continue
            moves = changed_codes(first, after, version)
            for (code, x), (_, y) in zip(a, b):
                if x != y and code not in moves:
                    problems.append("%s %s: %d %r, saved %r" % (first.dxftype(), handle, code, x, y))
    for line in problems:
        print(line)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2], tuple(float(v) for v in sys.argv[3:6])))
