#!/usr/bin/python3
"""Compares a drawing with the same drawing opened and saved by the stand-in
host, as ezdxf (Debian's python3-ezdxf), a library the project did not
write, reads both: header variable by variable, table by table, entity by
entity (in every block) and object by object. Each record of the first file
is exported by ezdxf in the form of the saved one and every group of it
must come back (reals within 1e-9, relative to their size); the saved file
may hold more. The saved file must also pass ezdxf's audit with no error.

usage: dxf_compare.py [--encoding ENCODING] FIRST SAVED [FIRST SAVED ...]
Prints "ok NAME" or the differences of each pair; exits 1 when any pair
differs. With --encoding, each first file is read in that encoding (a
Python codec's name), as a file that names no code page is read.
"""
import math
import os
import sys

import ezdxf
from ezdxf.lldxf.tagwriter import TagCollector

# Header variables the saved file sets itself: its form, code page and
# handle seed, and what the host stamps on every save.
OWN_HEADER = {"$ACADVER", "$DWGCODEPAGE", "$HANDSEED", "$ACADMAINTVER", "$LASTSAVEDBY", "$TDUPDATE",
              "$TDUUPDATE", "$FINGERPRINTGUID", "$VERSIONGUID"}
TABLES = ["layers", "linetypes", "styles", "dimstyles", "ucs", "appids", "views", "viewports", "block_records"]
# Records the saved file makes anew for each sequence: their own handles
# are not the first file's.
SUB_RECORDS = {"VERTEX", "SEQEND"}


def close(a, b):
    return abs(a - b) <= 1e-9 * max(1.0, abs(a), abs(b))


# Codes of names, which compare without case; of angles in degrees, which
# compare modulo a turn; of normals, which compare by direction.
NAME_CODES = {2, 3, 6, 7, 8}
ANGLE_CODES = set(range(50, 59))


def is_handle_code(code):
    return code in (5, 105, 480, 481, 1005) or 320 <= code <= 369 or 390 <= code <= 399


def handle_key(h):
    """A handle as a number: files may pad it or write it in lower case."""
    try:
        return int(str(h).strip(), 16)
    except ValueError:
        return str(h)


def same_tag(code, a, b):
    if is_handle_code(code) and isinstance(a, str) and isinstance(b, str):
        return handle_key(a) == handle_key(b)
    if code in NAME_CODES and isinstance(a, str) and isinstance(b, str):
        return a.strip().lower() == b.strip().lower()
    if code in ANGLE_CODES and isinstance(a, float) and isinstance(b, (float, int)):
        d = (float(a) - float(b)) % 360.0
        return min(d, 360.0 - d) <= 1e-9 * max(1.0, abs(a), abs(b))
    if code == 210:
        try:
            ta, tb = tuple(float(x) for x in a), tuple(float(x) for x in b)
        except (TypeError, ValueError):
            ta = tb = ()
        if len(ta) == 3 and len(tb) == 3:
            la, lb = math.sqrt(sum(x * x for x in ta)), math.sqrt(sum(x * x for x in tb))
            if la > 0 and lb > 0:
                return all(close(x / la, y / lb) for x, y in zip(ta, tb))
    return same_value(a, b)


def same_value(a, b):
    if isinstance(a, float) or isinstance(b, float):
        try:
            return close(float(a), float(b))
        except (TypeError, ValueError):
            return False
    if isinstance(a, (tuple, list)) or hasattr(a, "x"):
        try:
            ta, tb = tuple(a), tuple(b)
        except TypeError:
            return False
        return len(ta) == len(tb) and all(same_value(x, y) for x, y in zip(ta, tb))
    if isinstance(a, str) and isinstance(b, str) and a.strip() != a:
        return a.strip() == b.strip()
    return a == b


def tags_of(entity, dxfversion):
    collector = TagCollector(dxfversion=dxfversion)
    entity.export_dxf(collector)
    return collector.tags


# Codes of a dimension style's references to block records (its arrows):
# a file of the oldest form names the blocks, and ezdxf gives the records
# handles of its own, so they compare by the block's name.
BLOCK_REFERENCE_CODES = {341, 342, 343, 344}


def plain(tags, ignore_owner, doc=None):
    """The tags with what may rightly change taken out: the handles of the
    records a sequence is made of, and, where the first file is of the
    oldest form, owners and the handles of objects ezdxf made for it when
    it read it."""
    out = []
    record = None
    for t in tags:
        code, value = t[0], t[1]
        if code == 0:
            record = value
        if code in (5, 330) and record in SUB_RECORDS:
            continue
        if ignore_owner and code in (5, 330, 340, 347, 348, 390):
            continue
        if ignore_owner == "handleless" and code == 105:
            continue  # a dimension style's own handle, given by ezdxf
        if doc is not None and code in BLOCK_REFERENCE_CODES:
            target = doc.entitydb.get(str(value))
            if target is not None and target.dxftype() == "BLOCK_RECORD":
                value = "block " + target.dxf.name.lower()
        out.append((code, value))
    # A normal's three groups as one vector.
    merged = []
    i = 0
    while i < len(out):
        if out[i][0] == 210 and i + 2 < len(out) and out[i + 1][0] == 220 and out[i + 2][0] == 230:
            merged.append((210, (out[i][1], out[i + 1][1], out[i + 2][1])))
            i += 3
        else:
            merged.append(out[i])
            i += 1
    return merged


def key(tag):
    code, value = tag
    if isinstance(value, float):
        return (code, "%.6g" % value)
    if isinstance(value, (tuple, list)) or hasattr(value, "x"):
        return (code, tuple("%.6g" % v if isinstance(v, float) else v for v in tuple(value)))
    return (code, value)


def lost_tags(first, saved):
    """The tags of `first` that `saved` does not hold."""
    if len(first) <= len(saved) and all(a[0] == b[0] and same_tag(a[0], a[1], b[1]) for a, b in zip(first, saved)):
        return []
    pool = {}
    for t in saved:
        pool.setdefault((t[0],), []).append(t)
    lost = []
    used = set()
    for t in first:
        candidates = pool.get((t[0],), [])
        hit = None
        for i, c in enumerate(candidates):
            if (t[0], i) not in used and same_tag(t[0], t[1], c[1]):
                hit = i
                break
        if hit is None:
            lost.append(t)
        else:
            used.add((t[0], hit))
        if len(lost) > 8:
            break
    return lost


def describe(tags):
    return ", ".join("%d=%r" % (c, v) for c, v in tags[:8])


class Pair:
    def __init__(self, first, saved, encoding=None):
        self.name = os.path.basename(first)
        self.a = ezdxf.readfile(first, encoding=encoding)
        self.b = ezdxf.readfile(saved)
        self.saved = saved
        self.version = self.b.dxfversion
        self.r12 = self.a.dxfversion <= "AC1009"
        # A drawing of the oldest form written without handles.
        self.handleless = self.r12 and self.a.header.get("$HANDLING", 1) == 0
        self.problems = []

    def note(self, text):
        if len(self.problems) < 60:
            self.problems.append(text)

    def record(self, what, ea, eb, ignore_owner=False):
        if eb is None:
            self.note("%s: lost" % what)
            return
        if ea.dxftype() != eb.dxftype():
            self.note("%s: %s came back as %s" % (what, ea.dxftype(), eb.dxftype()))
            return
        lost = lost_tags(plain(tags_of(ea, self.version), ignore_owner, self.a),
                         plain(tags_of(eb, self.version), ignore_owner, self.b))
        if lost:
            self.note("%s %s: lost or changed %s" % (what, ea.dxftype(), describe(lost)))

    def header(self):
        for name in self.a.header.varnames():
            if name in OWN_HEADER:
                continue
            if name not in self.b.header:
                self.note("header %s: lost" % name)
            elif not same_value(self.a.header[name], self.b.header[name]):
                self.note("header %s: %r became %r" % (name, self.a.header[name], self.b.header[name]))

    def tables(self):
        for table in TABLES:
            ta, tb = getattr(self.a, table), getattr(self.b, table)
            theirs = {r.dxf.name.lower(): r for r in tb}
            for r in ta:
                self.record("%s %s" % (table, r.dxf.name), r, theirs.get(r.dxf.name.lower()),
                            ignore_owner="handleless" if self.handleless else self.r12)

    def blocks(self):
        for block in self.a.blocks:
            other = self.b.blocks.get(block.name)
            if other is None:
                self.note("block %s: lost" % block.name)
                continue
            if self.handleless:
                # Handles ezdxf gave the entities when it read the file:
                # they pair by their place in the block instead.
                mine, theirs = list(block), list(other)
                for i, e in enumerate(mine):
                    self.record("block %s entity #%d" % (block.name, i), e, theirs[i] if i < len(theirs) else None,
                                ignore_owner=True)
                if len(theirs) > len(mine):
                    self.note("block %s: %d entities added" % (block.name, len(theirs) - len(mine)))
                continue
            theirs = {handle_key(e.dxf.handle): e for e in other}
            mine = set()
            for e in block:
                h = handle_key(e.dxf.handle)
                mine.add(h)
                self.record("block %s entity %X" % (block.name, h), e, theirs.get(h), ignore_owner=self.r12)
            for h in theirs:
                if h not in mine:
                    self.note("block %s: entity %X %s added" % (block.name, h, theirs[h].dxftype()))

    def objects(self):
        if self.r12:
            return  # ezdxf makes the objects of an R12 file itself
        theirs = {handle_key(o.dxf.handle): o for o in self.b.objects}
        for o in self.a.objects:
            self.record("object %s" % o.dxf.handle, o, theirs.get(handle_key(o.dxf.handle)))

    def audit(self):
        doc = ezdxf.readfile(self.saved)
        auditor = doc.audit()
        for e in auditor.errors:
            self.note("audit: %s" % e.message)

    def run(self):
        self.header()
        self.tables()
        self.blocks()
        self.objects()
        self.audit()
        return self.problems


def main(args):
    failed = False
    encoding = None
    if args[:1] == ["--encoding"]:
        encoding, args = args[1], args[2:]
    for first, saved in zip(args[0::2], args[1::2]):
        try:
            problems = Pair(first, saved, encoding).run()
        except Exception as e:  # a file ezdxf cannot read at all
            problems = ["cannot be compared: %s: %s" % (type(e).__name__, e)]
        name = os.path.basename(first)
        if problems:
            failed = True
            for p in problems:
                print("%s: %s" % (name, p))
        else:
            print("ok %s" % name)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
