"""The check that a drawing's records, moved, are ezdxf's `translate` of
them and keep every other group as the file spelled it.

    moved_groups.py PLAIN MOVED DX DY DZ

PLAIN is a drawing saved unmoved, MOVED the same drawing saved with every
entity of model space moved by the vector. Each entity of model space in
MOVED (with its vertices, attributes and sequence end) must be ezdxf's
translate of PLAIN's, group for group in the files themselves, a value
spelled otherwise only where the translation changed it, as the edit
reckoning compares them (tests/tools/host/data/edit_reckoning.py).
Exits 1 naming each difference, 77 without ezdxf.
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "tools", "host", "data"))
import edit_reckoning as er  # noqa: E402  (exits 77 without ezdxf)


def main(plain, moved, vector):
    problems = er.check_move(plain, moved, "all", vector)
    for line in problems:
        print(line)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2], tuple(float(v) for v in sys.argv[3:6])))
