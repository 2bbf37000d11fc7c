#!/usr/bin/python3
"""UNDO and REDO of what the module changes in a drawing, run through
velkhost with the module and the stand-in peer, each case in a run of its
own on a small saved drawing.

A case is one thing the module does to the drawing: a receipt of each kind
of map object the peer sends (signs, tracks of every type, shapes, a
multi-part object, a folder), and a second receipt that replaces the first;
a send that writes links, and received objects sent back; links written
by QSAVE and by COPY; bind and relate points; capture (the frame picked,
the image arriving after a wait, every captured map cleared); contour
lines; the cross-section (its frame, its base line, objects received into
it); a sign placed where the user drew a point, also followed by the
module's timer; IMAGEFRAME set by that timer; the base map (on, its tiles
placed by the timer, off); icons rescaled by a setting; and the user's
MOVE and ERASE of a received text with automatic synchronisation on. Most
are work outside any command (a peer message, a timer, a toolbar click).

Each run's script: a snapshot as opened; the case's setup; the user draws
a line and moves it (so the step before the case's is the user's MOVE);
the case's action; then UNDO as many times as the action has steps, REDO
as many, UNDO until nothing is left, REDO until nothing is left, with a
snapshot (`> snapshot`: the bytes a save writes, taken without a command)
before and after each. It must hold:

- changed: the action changed the drawing (or, for an action that should
  make no step, changed nothing);
- undo: the save after the UNDOs equals the save before the action, byte
  for byte (for an action of no step: UNDO took back the user's MOVE);
- undo-name: the transcript names each step taken back ("Undone: NAME",
  the command's name; the module's work outside a command "Undone:
  Changes outside a command");
- redo, redo-name: REDO gives the save after the action, naming the steps;
- undo-all: UNDO of everything gives the save as opened;
- redo-all: REDO of everything gives the save after the action;
- run: every line of the script succeeded.

Hand-built cases add checks of their own on the saves: a second receipt
gives back the first's entities and takes the layer it made with it; the
module's work outside a command is a step of its own, and the next UNDO
takes back the user's MOVE; a dictionary entry a command removes comes
back; a line named twice in one selection is moved once; clearing the
captured maps after their image was taken back and its handle taken by
the user's lines leaves the lines.

Cases that fail today are listed with the checks they fail in
KNOWN_FAILURES below: a listed case passes when it fails exactly those
checks; one that fails another check, or no longer fails one listed,
fails, so the list only shrinks.

usage: undo_reckoning.py --velkhost PROGRAM [--module FILE] [--work DIR]
                         [--jobs N] [--only TEXT] [--verbose]
Prints each case that fails, naming the check, the saves compared and
their first differing line; then "N passed (K of them known failures),
N failed"; exits 1 when any failed. The runs' scripts, transcripts and
machine folders stay in DIR (./undo_reckoning).
"""
import argparse
import concurrent.futures
import os
import re
import subprocess
import sys
import time

import host_checks

# The module's work outside a command: a step of its own, by the name the
# host gives such a step.
OWN = "Changes outside a command"
# Enough to take back and redo every step of a case.
ALL = 60

PRELUDE = ["> wait 5 s", "> peer set resolution=0.2986@19"]
ICONS_ON = ["> dialog 8133, check 8191, ok", "> click 设置属性"]
AUTOSYNC_ON = ["> dialog 8133, check 8181, ok", "> click 设置属性"]
# The user's line, and the move of it that the step before the action is.
USER_LINE = ["LINE", "-1000,-1000", "-990,-1000", ""]
USER_MOVE = ["MOVE", "> select last", "0,0", "0,10"]
BASE_MAP_VIEW = ["> peer set resolution=0.0625@16 tiles-pending-every=3 map-level=16",
                 "ZOOM", "C", "500110,3000075", "67.5"]
CAPTURE_FRAME = ["RECTANG", "499990,2999990", "500230,3000160",
                 "> dialog 8145, choose 8144 12, uncheck 8146, check 8147, type 8148 site, ok"]
CAPTURE_PICK = ["> click 下载底图到本地", "> pick 499990,3000050"]
SECTION_FRAME = ["> answer yes", "> dialog 8202, ok", "> answer yes", "> click 设置断面参数",
                 "499650,2999904", "499770,2999944"]
SECTION_BASE = ["> answer yes", "> peer send 断面基线"]
# A folder S of the peer's with a sign, a track and a shape in it.
FOLDER = ["> peer folder S", "> peer sign 消防栓 at 20,30 in S icon=12 level=18",
          "> peer track 巡查路线 0,0 40,0/0.5 60,30 in S colour=00FF00",
          "> peer shape 施工区 0,0 40,0 40,40 0,40 / 10,10 20,10 20,20 10,20 in S fill=pattern pattern=2"]


class Case:
    """`steps`: the names of the steps the action makes, the last first;
    [] for an action that changes nothing and makes no step; `changes`
    False for one whose steps end where they began. `prelude`:
    the timers' first run and the peer's resolution before the setup.
    `tail`: lines run after the rest, their snapshots for `check`, which
    returns the problems it finds (check name, text)."""

    def __init__(self, name, action, steps, setup=(), prelude=True, tail=(), check=None, changes=True):
        self.name, self.action, self.steps = name, list(action), list(steps)
        self.setup, self.prelude, self.tail, self.check = list(setup), prelude, list(tail), check
        self.changes = changes


# ---- the map objects the peer sends, one of each kind ----

KINDS = [
    ("sign", [], "> peer sign S at 20,30 icon=12 colour=0000FF level=18"),
    ("sign shown as an icon", ICONS_ON, "> peer sign S at 20,30 icon=12 colour=0000FF level=18"),
    ("text sign", [], "> peer sign S at 20,30 type=3 font=20 level=19"),
    ("multi-line text sign", [],
     "> peer sign S at 20,30 type=3 multi-line=1 level=19 font=20 remark=\"夜间施工\\r\\n注意安全\""),
    ("turned text sign", [], "> peer sign S at 20,30 type=3 font=20 level=19 rotation=30"),
    ("track", [], "> peer track S 0,0 40,0 60,30 colour=00FF00 style=3"),
    ("track with bulges", [], "> peer track S 0,0 40,0/0.5 60,30"),
    ("track with elevations", [], "> peer track S 0,0,5 40,0,7 60,30,9"),
    ("track in pieces", [], "> peer track S 0,0 40,0 / 50,0 60,30"),
    ("point set", [], "> peer track S 0,0 40,0 60,30 type=6"),
    ("circle", [], "> peer track S 0,0 40,0 type=7"),
    ("arc", [], "> peer track S 0,0 20,10 40,0 type=7"),
    ("ellipse", [], "> peer track S 0,0 20,10 40,0 type=9"),
    ("spline", [], "> peer track S 0,0 20,10 40,0 60,10 type=10"),
    ("wide track", [], "> peer track S 0,0 20,10 40,0 type=8 width=50"),
    ("shape", [], "> peer shape S 0,0 40,0 40,40 0,40"),
    ("shape with a pattern", [], "> peer shape S 0,0 40,0 40,40 0,40 fill=pattern pattern=2"),
    ("shape with a gradient", [], "> peer shape S 0,0 40,0 40,40 0,40 fill=gradient"),
    ("shape with a hole", [], "> peer shape S 0,0 40,0 40,40 0,40 / 10,10 20,10 20,20 10,20"),
    ("rectangle by two corners", [], "> peer shape S 0,40 40,0"),
    ("circle by two corners", [], "> peer shape S 0,40 40,0 start=0 end=360"),
    ("ellipse by two corners", [], "> peer shape S 0,40 80,0 start=0 end=360"),
    ("sector by two corners", [], "> peer shape S 0,40 40,0 start=30 end=120"),
    ("multi-part object", [], "> peer multipart S 0,0 40,0 / 50,0 60,30"),
    ("folder", [], FOLDER),
]


# ---- the known failures ----

# Cases that fail today: name -> (the checks it fails, why). A listed case
# passes while it fails exactly these checks.
KNOWN_FAILURES = {}


def receipts():
    cases = []
    for kind, settings, made in KINDS:
        made = [made] if isinstance(made, str) else made
        send = ["> peer send S"]
        cases.append(Case("receive: " + kind, send, [OWN], settings + made))
        cases.append(Case("receive again: " + kind, send, [OWN], settings + made + send))
    return cases


# ---- what the saves hold ----

def text_lines(data):
    return data.decode("utf-8", "replace").replace("\r\n", "\n").split("\n")


def groups(data):
    """The (code, value) pairs of a DXF file's bytes."""
    lines = text_lines(data)
    return [(lines[i].strip(), lines[i + 1]) for i in range(0, len(lines) - 1, 2)]


def facts(data):
    """What a save holds that the hand-built checks name: model space's
    entities (handle -> type), the layers, the handle seed, the entries of
    the image dictionary, and each LINE's start."""
    out = dict(entities={}, layers=set(), seed=None, images=set(), starts={})
    section, record, handle, owner_ms = None, None, None, None
    pairs = groups(data)
    dictionaries = {}  # handle -> {name: handle}
    entry = None
    for i, (code, value) in enumerate(pairs):
        if code == "0":
            record, handle, entry = value, None, None
            if value == "SECTION":
                section = None
            continue
        if code == "2" and record == "SECTION":
            section = value
        elif code == "9" and section == "HEADER" and value == "$HANDSEED" and i + 1 < len(pairs):
            out["seed"] = pairs[i + 1][1]
        elif code == "5":
            handle = value
            if section == "ENTITIES":
                out["entities"][value] = record
        elif code == "2" and record == "LAYER" and section == "TABLES":
            out["layers"].add(value)
        elif code == "10" and record == "LINE" and section == "ENTITIES" and handle not in out["starts"]:
            out["starts"][handle] = (float(value), float(pairs[i + 1][1]))
        elif code == "3" and record == "DICTIONARY":
            entry = value
        elif code in ("350", "360") and record == "DICTIONARY" and entry is not None:
            dictionaries.setdefault(handle, {})[entry] = value
            entry = None
    for entries in dictionaries.values():
        if "ACAD_IMAGE_DICT" in entries:
            out["images"] = set(dictionaries.get(entries["ACAD_IMAGE_DICT"], {}))
    return out


def context(lines, at):
    """The record (type and handle) or header variable that line `at`
    belongs to."""
    record = handle = variable = ""
    for i in range(at - at % 2, -1, -2):
        if i + 1 >= len(lines):
            continue
        code, value = lines[i].strip(), lines[i + 1]
        if code == "9" and not variable:
            variable = value
        if code == "5" and not handle and i + 1 != at:
            handle = value
        if code == "0":
            record = value
            break
    if record == "SECTION" and variable:
        return "in the header's " + variable
    return ("in %s %s" % (record, handle)).rstrip() if record else "at the start"


def first_difference(mine, other, mine_name, other_name):
    """Where two saves part: the first differing line and its record (the
    handle seed, which any object made or dropped changes, only when
    nothing else differs), and what they hold differently."""
    a, b = text_lines(mine), text_lines(other)
    seed = next((i + 2 for i in range(len(a) - 2) if a[i] == "$HANDSEED"), None)
    seed_b = next((i + 2 for i in range(len(b) - 2) if b[i] == "$HANDSEED"), None)
    skip = {seed} if seed is not None and seed == seed_b else set()
    n = min(len(a), len(b))
    at = next((i for i in range(n) if a[i] != b[i] and i not in skip), None)
    if at is None:
        at = next((i for i in range(n) if a[i] != b[i]), n)
    shown = lambda lines: repr(lines[at]) if at < len(lines) else "the end of the file"
    fa, fb = facts(mine), facts(other)
    gone = sorted(set(fb["entities"]) - set(fa["entities"]), key=lambda h: int(h, 16))
    new = sorted(set(fa["entities"]) - set(fb["entities"]), key=lambda h: int(h, 16))
    more = []
    if gone:
        more.append("entities of %s missing: %s" % (other_name, ", ".join("%s %s" % (fb["entities"][h], h) for h in gone)))
    if new:
        more.append("entities not in %s: %s" % (other_name, ", ".join("%s %s" % (fa["entities"][h], h) for h in new)))
    if fa["layers"] != fb["layers"]:
        more.append("layers %s, in %s %s" % (sorted(fa["layers"]), other_name, sorted(fb["layers"])))
    if fa["images"] != fb["images"]:
        more.append("%d image dictionary entries, in %s %d" % (len(fa["images"]), other_name, len(fb["images"])))
    if fa["seed"] != fb["seed"]:
        more.append("handle seed %s, in %s %s" % (fa["seed"], other_name, fb["seed"]))
    return "%s differs from %s at line %d (%s): %s where %s has %s%s" % (
        mine_name, other_name, at + 1, context(a, at), shown(a), other_name, shown(b),
        "; " + "; ".join(more) if more else "")


# ---- a run ----

class Run:
    """A case's velkhost run: its transcript, the snapshots (name -> bytes,
    IMAGEFRAME) and the UNDO and REDO messages that led to each."""

    def __init__(self, status, transcript, machine):
        self.status, self.transcript = status, transcript
        self.snapshots, self.messages = {}, {}
        pending = []
        for line in transcript.splitlines():
            m = re.match(r"\s*command line: (Undone: .*|Redone: .*|Nothing to undo\.|Nothing to redo\.)$", line)
            if m:
                pending.append(m.group(1))
                continue
            m = re.match(r"\s*snapshot (.*): (\d+) bytes, IMAGEFRAME (-?\d+)$", line)
            if m:
                name = os.path.splitext(os.path.basename(m.group(1)))[0]
                with open(os.path.join(machine, "C", "Drawings", name + ".dxf"), "rb") as f:
                    self.snapshots[name] = (f.read(), int(m.group(3)))
                self.messages[name] = pending
                pending = []

    def bytes(self, name):
        return self.snapshots[name][0] if name in self.snapshots else None

    def same(self, a, b):
        return a in self.snapshots and b in self.snapshots and self.snapshots[a] == self.snapshots[b]

    def differs(self, mine, other):
        """Why snapshot `mine` is not snapshot `other`."""
        if mine not in self.snapshots or other not in self.snapshots:
            return "the run did not get to the snapshot %s" % (mine if mine not in self.snapshots else other)
        (a, fa), (b, fb) = self.snapshots[mine], self.snapshots[other]
        if a == b:
            return "IMAGEFRAME is %d in %s, %d in %s" % (fa, mine, fb, other)
        return first_difference(a, b, "the save " + mine, "the save " + other)


def script(case):
    undos = max(len(case.steps), 1)
    lines = ["> snapshot start.dxf"]
    lines += PRELUDE if case.prelude else []
    lines += case.setup + USER_LINE + ["> snapshot premove.dxf"] + USER_MOVE + ["> snapshot before.dxf"]
    lines += case.action + ["> snapshot after.dxf"]
    lines += ["UNDO"] * undos + ["> snapshot undone.dxf"]
    lines += ["REDO"] * undos + ["> snapshot redone.dxf"]
    lines += ["UNDO"] * ALL + ["> snapshot undone-all.dxf"]
    lines += ["REDO"] * ALL + ["> snapshot redone-all.dxf"]
    return lines + case.tail


def slug(name):
    return re.sub(r"[^A-Za-z0-9]+", "-", name).strip("-") or "case"


def run_case(velkhost, module, work, drawing, case, index):
    folder = os.path.join(work, "%02d-%s" % (index, slug(case.name)))
    os.makedirs(folder)
    scr = os.path.join(folder, "script.scr")
    with open(scr, "w", encoding="utf-8") as f:
        f.write("\n".join(script(case)) + "\n")
    machine = os.path.join(folder, "machine")
    args = [velkhost, "--drawing", drawing, "--script", scr, "--machine", machine]
    if module:
        args += ["--module", module]
    p = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, timeout=300)
    text = p.stdout.decode("utf-8", "replace")
    with open(os.path.join(folder, "transcript.txt"), "w", encoding="utf-8") as f:
        f.write(text)
    return Run(p.returncode, text, machine)


def named(messages, verb, steps):
    """Whether the messages name the steps, in order."""
    if len(messages) != len(steps):
        return False
    for message, step in zip(messages, steps):
        if not message.startswith(verb + ": "):
            return False
        if message[len(verb) + 2:] != step:
            return False
    return True


def shown(steps, verb):
    return ", ".join("\"%s: %s\"" % (verb, s) for s in steps)


def problems_of(case, run):
    """The checks the run fails: (check, why)."""
    out = []
    if run.status != 0 or not run.transcript.rstrip().endswith("velkhost: every step succeeded"):
        last = run.transcript.rstrip().splitlines()[-1:] or ["no output"]
        out.append(("run", "velkhost exited %d: %s" % (run.status, last[0])))
    steps = case.steps
    undo_names = steps or [USER_MOVE[0]]
    before = "before" if steps else "premove"
    if case.changes and run.same("before", "after") == bool(steps):
        out.append(("changed", "the action changed nothing" if steps else
                    "the action, meant to change nothing, changed the drawing: " + run.differs("after", "before")))
    if not run.same("undone", before):
        out.append(("undo", "UNDO: " + run.differs("undone", before)))
    if not named(run.messages.get("undone", []), "Undone", undo_names):
        out.append(("undo-name", "UNDO said %s, not %s" % (run.messages.get("undone"), shown(undo_names, "Undone"))))
    if not run.same("redone", "after"):
        out.append(("redo", "REDO: " + run.differs("redone", "after")))
    if not named(run.messages.get("redone", []), "Redone", list(reversed(undo_names))):
        out.append(("redo-name", "REDO said %s, not %s" % (
            run.messages.get("redone"), shown(list(reversed(undo_names)), "Redone"))))
    said = run.messages.get("undone-all", [])
    if not said or said[-1] != "Nothing to undo.":
        out.append(("undo-all", "%d UNDOs did not take back every step (%s)" % (ALL, said[-1:])))
    elif not run.same("undone-all", "start"):
        out.append(("undo-all", "UNDO of every step: " + run.differs("undone-all", "start")))
    said = run.messages.get("redone-all", [])
    if not said or said[-1] != "Nothing to redo.":
        out.append(("redo-all", "%d REDOs did not redo every step (%s)" % (ALL, said[-1:])))
    elif not run.same("redone-all", "after"):
        out.append(("redo-all", "REDO of every step: " + run.differs("redone-all", "after")))
    if case.check:
        out += case.check(run)
    return out


# ---- the hand-built cases ----

def check_second_receipt(run):
    """The first receipt's entities come back on UNDO of the second, which
    takes its own away; REDO the other way; UNDO of all takes the layer the
    first made, and the handle seed goes back."""
    out = []
    f = {name: facts(run.bytes(name)) for name in ("start", "before", "after", "undone", "redone", "undone-all")
         if run.bytes(name) is not None}
    if len(f) < 6:
        return [("second-receipt", "the run did not get to its snapshots")]
    mine = {h for h, p in f["before"]["starts"].items() if p[0] == -1000}
    first = set(f["before"]["entities"]) - set(f["start"]["entities"]) - mine
    second = set(f["after"]["entities"]) - set(f["before"]["entities"])
    if not first or not second or first & set(f["after"]["entities"]):
        out.append(("second-receipt", "the second receipt did not replace the first's entities (%s by %s)" % (
            sorted(first), sorted(second))))
    if not first <= set(f["undone"]["entities"]) or second & set(f["undone"]["entities"]):
        out.append(("second-receipt", "after UNDO the first receipt's entities %s are not all back, or the "
                    "second's %s stay" % (sorted(first), sorted(second & set(f["undone"]["entities"])))))
    if first & set(f["redone"]["entities"]) or not second <= set(f["redone"]["entities"]):
        out.append(("second-receipt", "after REDO the first receipt's entities %s are back, or the second's "
                    "are missing" % sorted(first & set(f["redone"]["entities"]))))
    if "S" not in f["before"]["layers"] or "S" in f["undone-all"]["layers"]:
        out.append(("second-receipt", "the folder's layer S: made %s, left after UNDO of all %s" % (
            "S" in f["before"]["layers"], "S" in f["undone-all"]["layers"])))
    if f["undone-all"]["seed"] != f["start"]["seed"]:
        out.append(("second-receipt", "UNDO of all left the handle seed %s, not %s" % (
            f["undone-all"]["seed"], f["start"]["seed"])))
    return out


def user_line(run, name):
    data = run.bytes(name)
    if data is None:
        return None
    starts = [p for p in facts(data)["starts"].values() if p[0] == -1000 or p[0] == -990]
    return starts[0] if len(starts) == 1 else None


def check_own_step(run):
    """UNDO after the receipt took back the receipt alone: the user's line
    stays moved; the UNDO after that is the user's MOVE."""
    out = []
    if user_line(run, "undone") != (-1000.0, -990.0):
        out.append(("own-step", "after UNDO of the receipt the user's line starts at %s, not at its moved place "
                    "-1000,-990" % (user_line(run, "undone"),)))
    said = run.messages.get("moved-back", [])
    if said != ["Undone: MOVE"] or user_line(run, "moved-back") != (-1000.0, -1000.0):
        out.append(("own-step", "the next UNDO said %s and left the line at %s, not \"Undone: MOVE\" at "
                    "-1000,-1000" % (said, user_line(run, "moved-back"))))
    return out


def check_dictionary(run):
    """The tiles' entries of the image dictionary, which -LAYER removed
    with the base map, come back on UNDO and go again on REDO."""
    f = {name: facts(run.bytes(name))["images"] for name in ("before", "after", "undone", "redone")
         if run.bytes(name) is not None}
    if len(f) < 4:
        return [("dictionary", "the run did not get to its snapshots")]
    out = []
    if not f["before"] or f["after"] >= f["before"]:
        out.append(("dictionary", "-LAYER did not remove the tiles' image entries (%d before, %d after)" % (
            len(f["before"]), len(f["after"]))))
    if f["undone"] != f["before"]:
        out.append(("dictionary", "UNDO brought back %d of the %d image entries -LAYER removed" % (
            len(f["undone"] & (f["before"] - f["after"])), len(f["before"] - f["after"]))))
    if f["redone"] != f["after"]:
        out.append(("dictionary", "REDO left %d image entries, not %d" % (len(f["redone"]), len(f["after"]))))
    return out


def check_named_twice(run):
    """The user's line, named twice, moved once by 10 along x."""
    places = {name: user_line(run, name) for name in ("before", "after", "undone", "redone")}
    want = {"before": (-1000.0, -990.0), "after": (-990.0, -990.0), "undone": (-1000.0, -990.0),
            "redone": (-990.0, -990.0)}
    return [("named-twice", "the line named twice starts at %s %s, not %s" % (places[n], n, want[n]))
            for n in want if places[n] != want[n]]


def check_imageframe_step(run):
    """UNDO of the module's last IMAGEFRAME gives back the value the first
    set: the two are steps of their own."""
    said = run.messages.get("frame-shown", [])
    value = run.snapshots.get("frame-shown", (None, None))[1]
    if said != ["Undone: IMAGEFRAME"] or value != 1:
        return [("imageframe", "UNDO after the module's IMAGEFRAME 0 said %s and left IMAGEFRAME %s, not 1" % (
            said, value))]
    return []


def check_stale_image(run):
    """The captured image taken back and dropped by the user's next LINEs,
    which take its handles: clearing every captured map leaves the lines
    (the module's id of the image names nothing now, not a line)."""
    f = {name: facts(run.bytes(name))["entities"] for name in ("after", "lines", "cleared")
         if run.bytes(name) is not None}
    if len(f) < 3:
        return [("stale-image", "the run did not get to its snapshots")]
    images = {h for h, kind in f["after"].items() if kind == "IMAGE"}
    lines = {h for h, kind in f["lines"].items() if kind == "LINE" and f["after"].get(h) != "LINE"}
    out = []
    if not images or not (lines & images):
        out.append(("stale-image", "no new line took the captured image's handle %s (new lines %s)" % (
            sorted(images), sorted(lines))))
    gone = sorted(lines - set(f["cleared"]))
    if gone:
        out.append(("stale-image", "clearing the captured maps erased the user's lines %s" % gone))
    return out


def cases():
    out = receipts()
    sign = "> peer sign S at 20,30 icon=12 colour=0000FF level=18"
    text_sign = "> peer sign S at 20,30 type=3 font=20 level=19"
    hills = ["> peer hills 499650,2999984 500300,3000200.5",
             "> peer set contour-data=2 contour-answers=3 contour-progress=60"]
    section_base = "> peer track 断面基线 500700,2999984 500800,3000044 500940,3000044"
    out += [
        # Sends and links.
        Case("send: a text of the user's, its link written", ["> select text hello", "> click 发送所选对象到拓岚"],
             [OWN], ["TEXT", "1,1", "2.5", "hello"]),
        Case("send: received objects sent back", ["> select new window -100,-100 100,100",
                                                  "> click 发送所选对象到拓岚"], [], FOLDER + ["> peer send S"]),
        Case("QSAVE: the links of received objects written", ["QSAVE"], ["QSAVE"], FOLDER + ["> peer send S"]),
        Case("COPY of a received sign: the copy's link", ["COPY", "> select new text 消防栓", "0,0", "0,50", ""],
             ["COPY"], FOLDER + ["> peer send S"]),
        # Binding the drawing and its relate points change nothing in it.
        Case("bind: the peer accepts the relate points", ["> peer relate-ok"], []),
        Case("relate points", ["> click 设置关联点", "> window 设置关联点, click 8105", "100,100",
                               "> peer place 27.1183,114.0010", "> window 设置关联点, click 8106"], []),
        # Capture.
        # The pick only asks the peer: the drawing is changed when the
        # image comes.
        Case("capture: the frame picked", CAPTURE_PICK, [], CAPTURE_FRAME),
        Case("capture: the image arrives after a wait", ["> wait 6 s"], [OWN], CAPTURE_FRAME + CAPTURE_PICK),
        # The capture dialog's button that clears every captured map.
        Case("capture: the captured maps cleared", ["> dialog 8145, click 8140, cancel", "> click 下载底图到本地"],
             [OWN], CAPTURE_FRAME + CAPTURE_PICK + ["> wait 6 s"]),
        # Contour lines, drawn when the RECTANG the module sent ends.
        Case("contour lines", ["> dialog 8218, type 8213 20, ok", "> answer no", "> click 下载高程(DEM)",
                               "499650,2999984", "500300,3000200.5"], ["RECTANG"], hills),
        # The cross-section.
        Case("cross-section: the frame", SECTION_FRAME, ["RECTANG"], [section_base]),
        Case("cross-section: the base line chosen", SECTION_BASE, [], [section_base] + SECTION_FRAME),
        Case("cross-section: objects received into it", ["> peer send 测站 水沟"], [OWN],
             [section_base] + SECTION_FRAME + SECTION_BASE +
             ["> peer sign 测站 at 500870,3000024 type=3 font=20 level=13",
              "> peer track 水沟 500720,2999979 500810,3000024 500930,3000019 colour=C08000"]),
        # A sign where the user drew a point, points shown as icons: the
        # point goes when POINT ends, the sign comes after it.
        Case("sign placed at a point drawn", ["POINT", "3,3"], [OWN, "POINT"], ICONS_ON),
        # The same, and then the module's timer runs its two IMAGEFRAMEs.
        Case("sign placed at a point drawn, then the module's timer", ["POINT", "3,3", "> wait 5 s"],
             ["IMAGEFRAME", "IMAGEFRAME", OWN, "POINT"], ICONS_ON, prelude=False),
        # The module's timer turns image frames on and off two seconds
        # after it loads: two commands it sends.
        Case("IMAGEFRAME set by the module's timer", ["> wait 5 s"], ["IMAGEFRAME", "IMAGEFRAME"], prelude=False,
             tail=["UNDO", "> snapshot frame-shown.dxf"], check=check_imageframe_step, changes=False),
        # The base map.
        Case("base map on: its layer", ["> click 加载在线底图"], [OWN], BASE_MAP_VIEW),
        Case("base map: tiles placed by the timer", ["> wait 1 s"], [OWN], BASE_MAP_VIEW + ["> click 加载在线底图"]),
        Case("base map off: its tiles erased", ["> click 加载在线底图"], [OWN],
             BASE_MAP_VIEW + ["> click 加载在线底图", "> wait 1 s"]),
        # Icons take the new text level as their size.
        Case("icons rescaled by the text level setting", ["> dialog 8133, choose 8127 3, ok", "> click 设置属性"],
             [OWN], ICONS_ON + [sign, "> peer send S"]),
        # The user's commands on received objects, synchronised.
        Case("autosync: MOVE of a received text", ["MOVE", "> select new text S", "0,0", "30,20"], ["MOVE"],
             AUTOSYNC_ON + [text_sign, "> peer send S"]),
        Case("autosync: ERASE of a received text", ["ERASE", "> select new text S"], ["ERASE"],
             AUTOSYNC_ON + [text_sign, "> peer send S"]),
        # Hand-built, one for each way UNDO went wrong.
        Case("hand-built: a second receipt replaces the first", ["> peer send S"], [OWN], FOLDER + ["> peer send S"],
             check=check_second_receipt),
        Case("hand-built: the module's work outside a command is a step of its own", ["> peer send S"], [OWN],
             # The first snapshot parts the two UNDOs' messages.
             [sign], tail=["UNDO", "> snapshot receipt-back.dxf", "UNDO", "> snapshot moved-back.dxf"],
             check=check_own_step),
        Case("hand-built: a dictionary entry a command removes comes back", ["-LAYER", ""], ["-LAYER"],
             BASE_MAP_VIEW + ["> click 加载在线底图", "> wait 1 s"], check=check_dictionary),
        Case("hand-built: an image taken back and dropped is not cleared in its handle's new entity",
             ["> wait 6 s"], [OWN], CAPTURE_FRAME + CAPTURE_PICK,
             tail=["UNDO"] +
             [x for y in range(4) for x in ("LINE", "5,%d" % y, "6,%d" % y, "")] +
             ["> snapshot lines.dxf", "> dialog 8145, click 8140, cancel", "> click 下载底图到本地",
              "> snapshot cleared.dxf"],
             check=check_stale_image),
        Case("hand-built: a line named twice is moved once", ["MOVE", "> select last + last", "0,0", "10,0"],
             ["MOVE"], check=check_named_twice),
    ]
    return out


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    host_checks.add_run_options(ap, min(os.cpu_count() or 2, 4))
    ap.add_argument("--only", action="append", default=[], help="a case whose name holds this text; may be repeated")
    ap.add_argument("--verbose", action="store_true", help="every problem of a failing case, known or not")
    a = ap.parse_args()
    start = time.monotonic()
    work, refused = host_checks.make_work_folder(a.work, "undo_reckoning")
    if refused:
        print(refused)
        return 2
    velkhost = os.path.abspath(a.velkhost)
    module = a.module and os.path.abspath(a.module)
    # A drawing saved with a name: capture asks for one.
    drawing = os.path.join(work, "drawing.dxf")
    args = [velkhost, "--save", drawing, "--machine", os.path.join(work, "drawing-machine")]
    p = subprocess.run(args + (["--module", module] if module else []), stdout=subprocess.PIPE,
                       stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, timeout=300)
    if p.returncode != 0:
        print("velkhost does not save a new drawing (exit status %d):\n%s" % (p.returncode, p.stdout.decode()))
        print("0 passed, 1 failed")
        return 1
    chosen = [c for c in cases() if not a.only or any(o in c.name for o in a.only)]
    names = [c.name for c in cases()]
    assert len(set(names)) == len(names), "two cases of one name"
    with concurrent.futures.ThreadPoolExecutor(max_workers=max(1, a.jobs)) as pool:
        runs = list(pool.map(lambda ic: run_case(velkhost, module, work, drawing, ic[1], ic[0]), enumerate(chosen)))
    passed = failed = known = 0
    for case, run in zip(chosen, runs):
        problems = problems_of(case, run)
        checks = {c for c, _ in problems}
        listed, cause = KNOWN_FAILURES.get(case.name, (set(), ""))
        listed = set(listed)
        unexpected = [(c, p) for c, p in problems if c not in listed]
        holding = sorted(listed - checks)
        if not unexpected and not holding:
            if listed:
                known += 1
                if a.verbose:
                    print("known %s (%s)" % (case.name, cause))
                    for c, p in problems:
                        print("    %s: %s" % (c, p))
            passed += 1
            continue
        failed += 1
        print("FAIL %s" % case.name)
        for c, p in (problems if a.verbose else unexpected):
            print("    %s: %s" % (c, p))
        if holding:
            print("    listed in KNOWN_FAILURES as failing %s, which %s now: take %s off the list" % (
                ", ".join(holding), "holds" if len(holding) == 1 else "hold", "it" if len(holding) == 1 else "them"))
    for name in sorted(set(KNOWN_FAILURES) - set(names)):
        failed += 1
        print("FAIL KNOWN_FAILURES lists %s, which is no case" % name)
    print("%d cases; runs in %s (%.0f s)" % (len(chosen), work, time.monotonic() - start))
    print("%d passed (%d of them known failures, each failing only the checks KNOWN_FAILURES lists), %d failed" % (
        passed, known, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
