#!/usr/bin/python3
"""Handles are any 64-bit value but 0: a drawing whose handles all lie near
2^64 keeps them, and everything that names them. ezdxf (Debian's
python3-ezdxf) writes a drawing with layouts, plot styles, dictionaries and
an Xrecord, an extension dictionary, a group, a draw order
(SORTENTSTABLE), a block with attributes, a polyline of vertex records
and extended data naming an entity (1005); its handles are then numbered
anew near the top, in two forms: high in the space, the seed above them
(as a real drawing had, its seed D9B071D01A0CB6A8), and up to the last
handle, FFFFFFFFFFFFFFFF, where no handle is left above the seed.

velkhost opens each and saves it plain, and in a session that copies
everything (new objects, which need handles of their own) and saves
again. Each save must:

- be read by ezdxf strictly (ezdxf.readfile, no recovery) with an audit
  of no error;
- give every record a handle of its own, none 0;
- name with each reference a record the save holds (or 0 where the
  original named nothing either);
- hold every record of the original under its handle, of its type, with
  every reference it made naming the same handle (the handle graph); the
  copies' records are new, under handles of their own.

usage: high_handles.py --velkhost PROGRAM [--module FILE] [--work DIR]
Prints each problem, then "N passed, N failed"; exits 1 on a failure, 77
without ezdxf.
"""
import argparse
import logging
import os
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
try:
    import ezdxf
except ImportError:
    print("ezdxf cannot be imported by %s (Debian package python3-ezdxf): skipped" % sys.executable)
    sys.exit(77)
import spellings

logging.getLogger("ezdxf").setLevel(logging.CRITICAL)
ezdxf.options.write_fixed_meta_data_for_testing = True

# The seed of a real drawing whose every handle lay near 2^64.
HIGH_SEED = 0xD9B071D01A0CB6A8
TOP = (1 << 64) - 1


def base_drawing():
    doc = ezdxf.new("R2004")
    doc.layers.add("WALLS", color=1)
    msp = doc.modelspace()
    lines = [msp.add_line((i, 0), (i, 5), dxfattribs={"layer": "WALLS"}) for i in range(6)]
    circle = msp.add_circle((3, 3), 2)
    # A draw order: the lines in reverse.
    msp.set_redraw_order({l.dxf.handle: lines[-1 - i].dxf.handle for i, l in enumerate(lines)})
    # Extended data naming another entity, an extension dictionary holding
    # an Xrecord, a group.
    doc.appids.new("VELKTEST")
    circle.set_xdata("VELKTEST", [(1000, "names"), (1005, lines[0].dxf.handle)])
    xdict = lines[1].new_extension_dict()
    xrec = xdict.add_xrecord("DATA")
    xrec.reset([(1, "kept"), (330, lines[2].dxf.handle)])
    doc.groups.new("PAIR").extend([lines[3], lines[4]])
    # A dictionary of the drawing's own with an Xrecord.
    mine = doc.rootdict.add_new_dict("VELK_DATA")
    mine.add_xrecord("ROW").reset([(1, "row"), (40, 2.5)])
    # A block with an attribute, referenced; a polyline of vertices.
    block = doc.blocks.new("MARK")
    block.add_circle((0, 0), 1)
    block.add_attdef("TAG", (0, 0))
    msp.add_blockref("MARK", (10, 10)).add_auto_attribs({"TAG": "A1"})
    msp.add_polyline2d([(0, 0), (5, 0), (5, 5)])
    # Paper space layouts beyond the first, each with its block record and
    # plot style.
    doc.layouts.new("Sheet")
    doc.layouts.get("Sheet").add_line((0, 0), (1, 1))
    return doc


def renumbered(data, top):
    """Every handle of the drawing numbered in its order up to `top`; the
    seed past them, or 1 where none is left above."""
    handles = sorted({int(v.strip(), 16) for c, v in spellings.split(data) if c in (5, 105)})
    start = top - len(handles) + 1
    mapping = {"%X" % h: "%X" % (start + i) for i, h in enumerate(handles)}
    groups = spellings.split(spellings.renumbered(data, mapping))
    seed = b"%X" % (top + 1) if top < TOP else b"1"
    return spellings.join(spellings.set_header(groups, b"$HANDSEED", [(5, seed)]))


def graph(data):
    """{handle: (type, [(code, handle named)])} of a file's records, and the
    handles given twice."""
    out, twice = {}, []
    for r in spellings.records(spellings.split(data)):
        if r.section not in ("TABLES", "BLOCKS", "ENTITIES", "OBJECTS") or r.type in ("SECTION", "ENDSEC"):
            continue
        own, refs = None, []
        for code, value in r.groups[1:]:
            if not spellings.handle_codes(code):
                continue
            text = value.strip().decode("ascii", "replace")
            if own is None and code in (5, 105) and not (r.type == "DIMSTYLE" and code == 5):
                own = text.upper()
                continue
            refs.append((code, text.upper()))
        if own is None:
            continue
        if own in out:
            twice.append(own)
        out[own] = (r.type, refs)
    return out, twice


SEQUENCE = ("VERTEX", "SEQEND", "ATTRIB")


def check_save(original, saved, copied):
    problems = []
    try:
        doc = ezdxf.readfile(saved, errors="strict")
    except Exception as e:
        return ["ezdxf cannot read it: %s: %s" % (type(e).__name__, str(e)[:200])]
    for e in doc.audit().errors:
        problems.append("audit: %s" % e.message)
    with open(saved, "rb") as f:
        after, twice = graph(f.read())
    before, _ = graph(original)
    problems += ["handle %s given twice" % h for h in twice]
    if "0" in after:
        problems.append("a record of handle 0")
    for h, (kind, refs) in sorted(after.items()):
        for code, named in refs:
            if named != "0" and named not in after and not (h in before and (code, named) in before[h][1]):
                problems.append("%s %s: %d names %s, which the save has not" % (kind, h, code, named))
    for h, (kind, refs) in sorted(before.items()):
        if h not in after:
            problems.append("%s %s is not saved under its handle" % (kind, h))
            continue
        if after[h][0] != kind:
            problems.append("%s %s is saved as a %s" % (kind, h, after[h][0]))
            continue
        missing = list(refs)
        # A sequence's record is owned by its entity (ezdxf writes the
        # entity's block record there).
        if kind in SEQUENCE and refs and refs[0][0] == 330:
            missing.pop(0)
            owner = after[h][1][0][1] if after[h][1] and after[h][1][0][0] == 330 else None
            if after.get(owner, ("",))[0] not in ("POLYLINE", "INSERT"):
                problems.append("%s %s is owned by %s, no POLYLINE or INSERT" % (kind, h, owner))
        for ref in after[h][1]:
            if ref in missing:
                missing.remove(ref)
        # A copy adds itself to the draw order, its group, its dictionary's
        # reactors; nothing of the original's goes.
        for code, named in missing:
            problems.append("%s %s: %d %s lost" % (kind, h, code, named))
    new = [h for h in after if h not in before]
    if copied and not any(after[h][0] == "LINE" for h in new):
        problems.append("the copies were not saved under new handles")
    if not copied and new:
        problems.append("records under handles the original has not: %s" % ", ".join(sorted(new)[:5]))
    return problems


def velkhost(args, source, target, script=None):
    cmd = [args.velkhost, "--drawing", source, "--save", target]
    if script:
        cmd += ["--script", script]
    if args.module:
        cmd += ["--module", args.module]
    p = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, timeout=300)
    return p.returncode, p.stdout.decode("utf-8", "replace")


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--velkhost", required=True)
    ap.add_argument("--module")
    ap.add_argument("--work", default="high_handles")
    args = ap.parse_args()
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    copy = os.path.join(args.work, "copy.scr")
    with open(copy, "w") as f:
        f.write("COPY\n> select all\n0,0\n100,0\n\n")
    base = spellings.encoded(base_drawing())
    passed, failed = 0, 0
    for name, top in (("high_seed_above", HIGH_SEED - 1), ("up_to_the_last_handle", TOP)):
        data = renumbered(base, top)
        source = os.path.join(args.work, name + ".dxf")
        with open(source, "wb") as f:
            f.write(data)
        for case, script in (("plain", None), ("copied", copy)):
            saved = os.path.join(args.work, "%s_%s_saved.dxf" % (name, case))
            status, transcript = velkhost(args, source, saved, script)
            problems = [] if status == 0 else ["velkhost exits %s: %s" % (status, transcript.strip()[-300:])]
            if os.path.exists(saved):
                problems += check_save(data, saved, script is not None)
            else:
                problems.append("nothing saved")
            for p in problems[:40]:
                print("FAIL %s %s: %s" % (name, case, p))
            passed, failed = passed + (not problems), failed + bool(problems)
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
