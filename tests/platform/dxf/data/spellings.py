#!/usr/bin/python3
"""Drawings in the spellings the DXF format allows and other programs write,
made at test time: ezdxf (Debian's python3-ezdxf), a library the project did
not write, writes a small base drawing of one kind each (every entity kind
it writes, every table, the objects), and the file is then spelled anew
group by group:

- no_markers: no subclass markers at all (a record whose subclasses share
  a code, which only its markers tell apart, keeps them, here and below);
- own_marker_missing: only the first (common) marker kept, so the kind's
  codes follow AcDbEntity (AcDbSymbolTableRecord);
- common_after_own: the common subclass's codes (8, 62, 6, 370 ...) after
  the kind's marker instead of after AcDbEntity;
- reordered: the codes of each subclass in the reverse order, a point's x,
  y and z kept together, counts and what repeats left in place;
- explicit_defaults: every value ezdxf knows a default of, given where the
  writer would leave it out (62 256, 6 ByLayer, 370 -1, 210 0,0,1 ...);
- and drawings of several kinds at once: texts with caret escapes and
  special characters, files naming no code page (or "UNDEFINED") holding
  cp1252 or UTF-8 bytes, an INSERT with `66 1` and a lone SEQEND, handles
  two records claim, owners after what they own, handles numbered
  backwards, a file of the oldest form without handles (saved twice in
  one session, a COPY between), names spelled in other letters than their
  records, hatches as other programs write them (a solid fill with a
  pattern's values, a pixel size of 0, a loop count of 0 before a loop).

Each variant is deterministic. Other checks reuse them:

    import spellings
    for v in spellings.variants():     # v.name, v.spelling, v.kind
        data, base = v.make()
    spellings.write(folder)            # every variant into folder, paths

`make()` gives the file's bytes and those of the drawing it was spelled
from, which means the same (None where what ezdxf reads from the file
itself is its meaning: explicit defaults, the drawings of several kinds;
None for both where the spelling changes nothing in that drawing).

usage: spellings.py OUTPUT_FOLDER [SUBSTRING ...]
Writes the variants (those whose names hold a SUBSTRING) and prints their
paths, one a line.
"""
import functools
import importlib
import io
import math
import os
import pkgutil
import sys
import tempfile

import ezdxf
import ezdxf.entities
from ezdxf.enums import TextEntityAlignment
from ezdxf.lldxf.attributes import DefSubclass, XType
from ezdxf.math import Vec2
from ezdxf.render import mleader

import make_corpus

# The same bytes every time: no dates or GUIDs of the moment.
ezdxf.options.write_fixed_meta_data_for_testing = True
MODERN = "R2010"
COMMON = dict(layer="WALLS", color=1, linetype="DASHED", lineweight=35, ltscale=2.0)


# ---- the base drawings ----

def setup(doc):
    """Table records of their own, which the entities name."""
    doc.linetypes.add("DASHED", pattern=[15.0, 10.0, -5.0], description="Dashed __ __")
    doc.layers.add("WALLS", color=3, linetype="DASHED")
    doc.styles.add("CONDENSED", font="arial.ttf").dxf.width = 0.8
    doc.appids.new("SPELLINGS")
    ds = doc.dimstyles.new("DIMS")
    ds.dxf.dimtxt = 1.5
    ds.dxf.dimasz = 0.75
    block = doc.blocks.new("MARK", base_point=(0.5, 0))
    block.add_line((0, 0), (1, 1))
    block.add_attdef("TAG", (0.5, -1), dxfattribs=dict(height=0.75, prompt="Tag?"))
    block.add_attdef("CODE", (0.5, -2), dxfattribs=dict(height=0.5, flags=2))


def tables_setup(doc):
    """A record of every table with values of its own (the round-trip
    corpus's), a linetype with a text in its dashes and a dimension style
    naming a text style, in use."""
    make_corpus.tables(doc, False)
    doc.linetypes.add("GAS_LINE", pattern='A,.5,-.2,["GAS",STANDARD,S=.1,U=0.0,X=-0.1,Y=-.05],-.25',
                      description="Gas line ----GAS----")
    doc.dimstyles.get("DS3").dxf.dimtxsty = "CONDENSED"
    msp = doc.modelspace()
    msp.add_line((0, 0), (10, 0), dxfattribs=dict(layer="Roads", linetype="GAS_LINE"))
    msp.add_text("styled", dxfattribs=dict(style="Narrow", layer="TrueColour", height=2))
    msp.add_linear_dim(base=(0, 5), p1=(0, 0), p2=(10, 0), dimstyle="DS3").render()
    msp.add_blockref("MARK", (20, 20))


def objects_setup(doc):
    """The objects: an image's definition and reactor, a draw order, a group,
    Xrecords in the named-objects dictionary and in an extension
    dictionary, a dictionary variable."""
    msp = doc.modelspace()
    image_def = doc.add_image_def(filename="C:\\Maps\\tile_12_3.png", size_in_pixel=(256, 128))
    image = msp.add_image(image_def, insert=(100, 200), size_in_units=(25.6, 12.8))
    line = msp.add_line((0, 0), (1, 1))
    msp.set_redraw_order({image.dxf.handle: "1", line.dxf.handle: "2"})
    doc.groups.new("FRAME").extend([line])
    xr = doc.rootdict.add_xrecord("SPELLINGS_DATA")
    xr.reset([(1, "kept"), (40, 1.25), (10, (1, 2, 3)), (70, 7), (330, line.dxf.handle)])
    xdict = line.new_extension_dict()
    xdict.add_xrecord("SPELLINGS_OWN").reset([(1, "own"), (70, 3)])
    doc.set_modelspace_vport(height=50, center=(5, 5))
    doc.rootdict.add_dict_var("SPELLINGS_VAR", "a value")
    doc.layout("Layout1").add_line((0, 0), (10, 10))


def hatch_solid(msp):
    h = msp.add_hatch(color=4)
    h.paths.add_polyline_path([(20, 0), (30, 0), (30, 10), (20, 10)], is_closed=True)
    h.paths.add_polyline_path([(22, 2), (24, 2), (24, 4)], is_closed=True, flags=16)
    return h


def insert_with_attributes(msp):
    ref = msp.add_blockref("MARK", (-10, 5), dxfattribs=dict(xscale=2, yscale=1.5, rotation=15))
    ref.add_attrib("TAG", "value", (-9.5, 4), dxfattribs=dict(height=0.75))
    c = ref.add_attrib("CODE", "K7", (-9.5, 3), dxfattribs=dict(height=0.5))
    c.dxf.flags = 2
    return ref


def text(msp):
    t = msp.add_text("aligned", dxfattribs=dict(height=1.3, rotation=28.6, oblique=12, width=0.8,
                                                style="CONDENSED"))
    t.set_placement((32, 31), align=TextEntityAlignment.MIDDLE_CENTER)
    return t


def mtext(msp):
    mt = msp.add_mtext("{\\fArial|b1;first}\\P" + " ".join("word%d" % i for i in range(60)),
                       dxfattribs=dict(insert=(40, 50), char_height=3, width=60, rotation=12, attachment_point=5,
                                       line_spacing_style=2, line_spacing_factor=1.5, style="CONDENSED"))
    mt.set_bg_color(3, scale=1.8)
    return mt


def polymesh(msp):
    mesh = msp.add_polymesh(size=(3, 4))
    for m in range(3):
        for n in range(4):
            mesh.set_mesh_vertex((m, n), (m * 10, n * 10, math.sin(m + n)))
    return mesh


def polyface(msp):
    face = msp.add_polyface()
    face.append_faces([[(0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 1, 0)], [(1, 0, 0), (2, 0, 0), (2, 1, 1)]])
    return face


def mesh(msp):
    m = msp.add_mesh()
    with m.edit_data() as data:
        data.vertices = [(0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 1, 0), (0.5, 0.5, 1)]
        data.faces = [(0, 1, 4), (1, 2, 4), (2, 3, 4), (3, 0, 4)]
    return m


def image(msp):
    image_def = msp.doc.add_image_def(filename="tile.png", size_in_pixel=(256, 128))
    return msp.add_image(image_def, insert=(100, 200), size_in_units=(25.6, 12.8), rotation=10)


def multileader(msp):
    ml = msp.add_multileader_mtext("Standard")
    ml.set_content("note")
    ml.add_leader_line(mleader.ConnectionSide.left, [Vec2(2, 12)])
    ml.build(insert=Vec2(6, 14))
    return ml


def mpolygon(msp):
    mp = msp.add_mpolygon(dxfattribs=dict(elevation=(0, 0, 2.5)))
    mp.paths.add_polyline_path([(40, 0), (44, 0, 0.5), (44, 3)], is_closed=True)
    mp.paths.add_polyline_path([(41, 1), (42, 1), (42, 2)], is_closed=True)
    return mp


def shape(msp):
    msp.doc.styles.add("SHAPES", font="shapes.shx").dxf.flags = 1
    return msp.add_shape("BOX", (12, 13), size=2)


def viewport(msp):
    psp = msp.doc.layout("Layout1")
    return psp.add_viewport(center=(50, 50), size=(80, 60), view_center_point=(10, 10), view_height=40)


def with_extended_data(msp):
    """Extended data of every kind, an extension dictionary and a reactor."""
    line = msp.add_line((50, 0), (51, 1))
    line.set_xdata("SPELLINGS", [(1000, "points"), (1002, "{"), (1010, (1, 2, 3)), (1011, (4, 5, 6)),
                                 (1012, (1, 0, 0)), (1013, (0, 1, 0)), (1040, 2.5), (1041, 3.5), (1042, 0.5),
                                 (1070, 7), (1071, 123456), (1005, line.dxf.handle), (1002, "}"),
                                 (1004, b"\xde\xad\xbe\xef")])
    xdict = line.new_extension_dict()
    xdict.add_xrecord("SPELLINGS_DATA").reset([(1, "kept"), (10, (7, 8, 9)), (40, 1.25), (330, line.dxf.handle)])
    circle = msp.add_circle((52, 0), 1)
    circle.set_reactors([line.dxf.handle])
    return line


# Every entity kind ezdxf writes, one base drawing each; a kind's entity
# is given the common values (layer, colour, linetype, weight, scale).
ENTITY_KINDS = [
    ("line", lambda m: m.add_line((0, 0, 0), (3, 4, 0.5), dxfattribs=dict(thickness=2.5))),
    ("point", lambda m: m.add_point((7, 8, 9), dxfattribs=dict(angle=33, thickness=1.5))),
    ("circle", lambda m: m.add_circle((3, 4, 5), 7, dxfattribs=dict(thickness=3))),
    ("circle_tilted", lambda m: m.add_circle((3, 4, 5), 7, dxfattribs=dict(extrusion=(0.6, 0, 0.8)))),
    ("arc", lambda m: m.add_arc((5, 5), 2, 33.3, 271.7, dxfattribs=dict(thickness=0.5))),
    ("ellipse", lambda m: m.add_ellipse((20, 20), major_axis=(6, 2), ratio=0.4, start_param=0.3, end_param=5.1)),
    ("solid", lambda m: m.add_solid([(0, 0), (4, 0), (0, 4), (4, 4)], dxfattribs=dict(thickness=1))),
    ("trace", lambda m: m.add_trace([(0, 10), (4, 10), (0, 14), (4, 14)])),
    ("3dface", lambda m: m.add_3dface([(0, 0, 0), (1, 0, 0.5), (1, 1, 0), (0, 1, 0)], dxfattribs=dict(invisible=5))),
    ("text", text),
    ("attdef", lambda m: m.add_attdef("LOOSE", (6, 7), text="dflt", dxfattribs=dict(height=0.5, prompt="Value?"))),
    ("insert_attributes", insert_with_attributes),
    ("minsert", lambda m: m.add_blockref("MARK", (100, 100), dxfattribs=dict(
        column_count=3, row_count=2, column_spacing=10, row_spacing=8))),
    ("mtext", mtext),
    ("mtext_columns", lambda m: m.add_mtext_static_columns(
        ["first column", "second column", "third"], width=10, gutter_width=1, height=20,
        dxfattribs=dict(insert=(0, 0), char_height=1))),
    ("lwpolyline", lambda m: m.add_lwpolyline(
        [(0, 0, 0.2, 0.4, 0.5), (10, 0, 0.4, 0.2, 0), (10, 10, 0, 0, -1)], format="xyseb", close=True,
        dxfattribs=dict(elevation=3, thickness=2))),
    ("polyline_2d", lambda m: m.add_polyline2d(
        [(0, 0), (5, 5), (9, 1)], close=True, dxfattribs=dict(default_start_width=0.25, default_end_width=0.5))),
    ("polyline_3d", lambda m: m.add_polyline3d([(0, 0, 0), (1, 2, 3), (4, 5, 6)])),
    ("polymesh", polymesh),
    ("polyface", polyface),
    ("spline_fit", lambda m: m.add_spline(fit_points=[(0, 0), (2, 2), (4, 0), (6, 3), (8, 1)], degree=2)),
    ("spline_control", lambda m: m.add_open_spline([(0, 5), (2, 7), (4, 5), (6, 8)], degree=3)),
    ("spline_rational", lambda m: m.add_rational_spline([(0, 0), (1, 3), (4, 3), (5, 0)],
                                                        weights=[1, 0.5, 0.5, 1], degree=3)),
    ("hatch_pattern", make_corpus.hatch_pattern),
    ("hatch_custom_pattern", make_corpus.hatch_custom),
    ("hatch_edges", make_corpus.hatch_edges),
    ("hatch_solid", hatch_solid),
    ("hatch_gradient", make_corpus.hatch_gradients),
    ("dimension_linear", lambda m: m.add_linear_dim(base=(3, 2), p1=(0, 0), p2=(3, 0), dimstyle="DIMS").render()),
    ("dimension_aligned", lambda m: m.add_aligned_dim(p1=(0, 0), p2=(10, 5), distance=2).render()),
    ("dimension_radius", lambda m: m.add_radius_dim(center=(0, 0), radius=3, angle=45).render()),
    ("dimension_diameter", lambda m: m.add_diameter_dim(center=(0, 0), radius=3, angle=30).render()),
    ("dimension_angular_2l", lambda m: m.add_angular_dim_2l(
        base=(5, 5), line1=((0, 0), (10, 0)), line2=((0, 0), (10, 10))).render()),
    ("dimension_angular_3p", lambda m: m.add_angular_dim_3p(base=(5, 5), center=(0, 0), p1=(10, 0),
                                                            p2=(0, 10)).render()),
    ("dimension_ordinate", lambda m: m.add_ordinate_x_dim(feature_location=(3, 4), offset=(2, 2)).render()),
    ("arc_dimension", lambda m: m.add_arc_dim_3p(base=(30, 12), center=(30, 5), p1=(33, 5), p2=(30, 8)).render()),
    ("leader", lambda m: m.add_leader([(0, 4), (5, 9), (10, 9)])),
    ("mline", lambda m: m.add_mline([(0, 50), (20, 50), (20, 70)], dxfattribs=dict(scale_factor=2))),
    ("image", image),
    ("wipeout", lambda m: m.add_wipeout([(0, 0), (2, 0), (2, 2)])),
    ("xline", lambda m: m.add_xline((1, 2), (0.6, 0.8))),
    ("ray", lambda m: m.add_ray((3, 4), (0, 1))),
    ("mesh", mesh),
    ("tolerance", lambda m: m.new_entity("TOLERANCE", dict(insert=(7, 8, 0), dimstyle="Standard",
                                                           content="{\\Fgdt;j}%%v0.1", x_axis_vector=(0.8, 0.6, 0)))),
    ("helix", lambda m: m.add_helix(radius=2, pitch=1, turns=3)),
    ("shape", shape),
    ("multileader", multileader),
    ("mpolygon", mpolygon),
    ("viewport", viewport),
    ("extended_data", with_extended_data),
]

TABLE_KINDS = ["LAYER", "LTYPE", "STYLE", "DIMSTYLE", "VPORT", "VIEW", "UCS", "APPID", "BLOCK_RECORD"]
OBJECT_KINDS = ["DICTIONARY", "ACDBDICTIONARYWDFLT", "XRECORD", "LAYOUT", "IMAGEDEF", "IMAGEDEF_REACTOR",
                "SORTENTSTABLE", "GROUP", "DICTIONARYVAR", "MLINESTYLE", "MLEADERSTYLE", "MATERIAL",
                "RASTERVARIABLES", "ACDBPLACEHOLDER", "VISUALSTYLE"]


def new_drawing(version, kinds=(), plain=False):
    """A drawing of the kinds named (labels of ENTITY_KINDS), with the
    common values given unless `plain`."""
    doc = ezdxf.new(version)
    setup(doc)
    msp = doc.modelspace()
    builders = dict(ENTITY_KINDS)
    for label in kinds:
        before = {e.dxf.handle for e in msp}
        try:
            builders[label](msp)
        except ezdxf.DXFVersionError:
            continue  # a kind the form cannot hold
        if plain:
            continue
        for e in msp:
            if e.dxf.handle in before:
                continue
            for key, value in COMMON.items():
                if e.dxf.is_supported(key) and (doc.dxfversion > "AC1009" or key in ("layer", "color", "linetype")):
                    e.dxf.set(key, value)
    return doc


def encoded(doc):
    """The drawing as ezdxf writes it, in bytes of its code page."""
    stream = io.StringIO()
    doc.write(stream)
    return in_order(stream.getvalue().encode(doc.output_encoding, errors="dxfreplace"))


def in_order(data):
    """The class entries by name: ezdxf writes them in the order of a set."""
    recs = records(split(data))
    classes = [i for i, r in enumerate(recs) if r.section == "CLASSES" and r.type == "CLASS"]
    if classes:
        recs[classes[0]:classes[-1] + 1] = sorted((recs[i] for i in classes), key=lambda r: r.value(1, b""))
    return join(flatten(recs))


# ---- groups and records ----

def split(data):
    """A file's groups: (code, value) with the value in bytes."""
    lines = data.replace(b"\r\n", b"\n").split(b"\n")
    return [(int(lines[i]), lines[i + 1]) for i in range(0, len(lines) - 1, 2)]


def join(groups):
    return b"".join(b"%3d\n%s\n" % (code, value) for code, value in groups)


class Record:
    """A record of the file: its groups from its 0 on, and the section and
    (in TABLES) the table it is in."""

    def __init__(self, section, table, groups):
        self.section, self.table, self.groups = section, table, groups

    @property
    def type(self):
        return self.groups[0][1].strip().decode("ascii", "replace")

    def value(self, code, default=None):
        for c, v in self.groups:
            if c == code:
                return v
        return default


def records(groups):
    out, section, table, current = [], None, None, None
    for i, (code, value) in enumerate(groups):
        if code == 0:
            kind = value.strip()
            if kind == b"SECTION" and i + 1 < len(groups):
                section = groups[i + 1][1].strip().decode()
            elif kind == b"TABLE" and i + 1 < len(groups):
                table = groups[i + 1][1].strip().decode()
            current = Record(section, table, [])
            out.append(current)
        current.groups.append((code, value))
    return out


def flatten(recs):
    return [g for r in recs for g in r.groups]


def parts(groups):
    """(head, subclasses, tail): the type and the frame before the first
    marker; each subclass from its marker on; extended data and an embedded
    object."""
    head, subclasses, tail = [], [], []
    for g in groups:
        if tail or g[0] in (1001, 101):
            tail.append(g)
        elif g[0] == 100:
            subclasses.append([g])
        elif subclasses:
            subclasses[-1].append(g)
        else:
            head.append(g)
    return head, subclasses, tail


def unparts(head, subclasses, tail):
    return head + [g for s in subclasses for g in s] + tail


POINT_STARTS = set(range(10, 19)) | {110, 111, 112, 210, 1010, 1011, 1012, 1013}
# Where a kind's values stop being a subclass's values in any order and a
# structure read in its order begins (paths after their count, a
# dictionary's entries, a linetype's dashes ...).
STRUCTURES = {"HATCH": {91}, "MPOLYGON": {91}, "IMAGE": {91}, "WIPEOUT": {91}, "MESH": {92}, "MLINE": {11},
              "MULTILEADER": {300}, "LTYPE": {73}, "MLINESTYLE": {71}, "DICTIONARY": {3},
              "ACDBDICTIONARYWDFLT": {3}, "SORTENTSTABLE": {331}, "GROUP": {340}, "INSERT": {66},
              "POLYLINE": {66}}
# An Xrecord's data is a list: its order is its meaning.
IN_ORDER = {"XRECORD"}


def items(groups):
    """Groups in items: a point's x, y and z together."""
    out, i = [], 0
    while i < len(groups):
        code = groups[i][0]
        j = i + 1
        if code in POINT_STARTS:
            while j < len(groups) and j - i < 3 and groups[j][0] == code + 10 * (j - i):
                j += 1
        out.append(groups[i:j])
        i = j
    return out


# ---- the spellings of one record ----

def told_by_codes(groups):
    """Whether no code is given in two subclasses of the record: where one
    is, its markers tell which value is which, and the record is left with
    them."""
    seen = set()
    for s in parts(groups)[1]:
        codes = {c for c, _ in s[1:]}
        if codes & seen:
            return False
        seen |= codes
    return True


def no_markers(rtype, groups):
    if not told_by_codes(groups):
        return groups
    return [g for g in groups if g[0] != 100]


def own_marker_missing(rtype, groups):
    head, subclasses, tail = parts(groups)
    if len(subclasses) < 2 or not told_by_codes(groups):
        return groups
    merged = subclasses[0] + [g for s in subclasses[1:] for g in s[1:]]
    return unparts(head, [merged], tail)


def common_after_own(rtype, groups):
    head, subclasses, tail = parts(groups)
    if len(subclasses) < 2 or subclasses[0][0][1].strip() != b"AcDbEntity":
        return groups
    common = subclasses[0][1:]
    subclasses[0] = subclasses[0][:1]
    subclasses[1] = subclasses[1][:1] + common + subclasses[1][1:]
    return unparts(head, subclasses, tail)


def reordered(rtype, groups):
    """Each subclass's values before what repeats in it (or before its
    kind's structure) in the reverse order; what repeats stays in place. A
    record without markers (the oldest form) is one subclass after its
    handle."""
    if rtype in IN_ORDER:
        return groups
    head, subclasses, tail = parts(groups)
    if not subclasses:
        frame = 1
        while frame < len(head) and head[frame][0] in (5, 105, 330):
            frame += 1
        return head[:frame] + _reversed_values(rtype, head[frame:]) + tail
    return unparts(head, [s[:1] + _reversed_values(rtype, s[1:]) for s in subclasses], tail)


def _reversed_values(rtype, groups):
    stops = STRUCTURES.get(rtype)
    its = items(groups)
    counts = {}
    for it in its:
        counts[it[0][0]] = counts.get(it[0][0], 0) + 1
    body, run, i = [], [], 0
    for i, it in enumerate(its):
        code = it[0][0]
        if stops is not None and code in stops or stops is None and counts[code] > 1:
            break
        if counts[code] > 1:
            body += run[::-1] + [it]
            run = []
        else:
            run.append(it)
    else:
        i = len(its)
    body += run[::-1] + its[i:]
    return [g for it in body for g in it]


def _defaults_by_subclass():
    """For each DXF attribute ezdxf defines, the subclass it is in."""
    owner = {}
    for m in pkgutil.iter_modules(ezdxf.entities.__path__):
        mod = importlib.import_module("ezdxf.entities." + m.name)
        for value in vars(mod).values():
            if isinstance(value, DefSubclass) and value.name and isinstance(value.attribs, dict):
                for attr in value.attribs.values():
                    owner[id(attr)] = (value.name, id(value))
    return owner


_OWNER = None
# Values of which ezdxf's default is not what leaving them out means, or
# that make another value mean something else: a vertex without widths
# takes its polyline's, an MTEXT's direction outweighs its rotation.
NOT_DEFAULTS = {"elevation", "plotstyle_enum", "paperspace", "handle", "owner"}
NOT_DEFAULTS_OF = {"VERTEX": {"start_width", "end_width"}, "MTEXT": {"text_direction", "rotation"}}


def spelled_value(code, value, name):
    if name == "linetype":
        return [(code, b"ByLayer")]
    if hasattr(value, "x"):
        return [(code + 10 * i, repr(float(c)).encode()) for i, c in enumerate(value)]
    if isinstance(value, float):
        return [(code, repr(value).encode())]
    if isinstance(value, int):
        return [(code, b"%d" % value)]
    return [(code, str(value).encode())]


def explicit_defaults(rtype, groups, dxfversion=None):
    global _OWNER
    if _OWNER is None:
        _OWNER = _defaults_by_subclass()
    cls = ezdxf.entities.factory.ENTITY_CLASSES.get(rtype)
    if cls is None:
        return groups
    head, subclasses, tail = parts(groups)
    markers = [s[0][1].strip().decode() for s in subclasses]
    # The occurrence of each subclass definition among the class's.
    seen, place = {}, {}
    for attr in cls.DXFATTRIBS._attribs.values():
        name, which = _OWNER.get(id(attr), (None, None))
        if name is None or which in place:
            continue
        seen[name] = seen.get(name, 0) + 1
        place[which] = (name, seen[name])
    left_out = NOT_DEFAULTS | NOT_DEFAULTS_OF.get(rtype, set())
    # Without markers a code two of the kind's values share is not told.
    codes = [a.code for n, a in cls.DXFATTRIBS._attribs.items() if n == a.name]
    shared = {c for c in codes if codes.count(c) > 1}
    for name, attr in cls.DXFATTRIBS._attribs.items():
        if (name != attr.name or attr.default is None or name in left_out or attr.xtype == XType.callback
                or attr.code <= 0 or dxfversion and attr.dxfversion > dxfversion):
            continue
        where = place.get(_OWNER.get(id(attr), (None, None))[1])
        if where is None:
            continue
        if not subclasses:  # the oldest form: a record without markers
            if attr.code not in shared and all(c != attr.code for c, _ in head[1:]):
                head += spelled_value(attr.code, attr.default, attr.name)
            continue
        marker, n = where
        indices = [i for i, m in enumerate(markers) if m == marker]
        if len(indices) < n:
            continue
        s = subclasses[indices[n - 1]]
        if all(c != attr.code for c, _ in s[1:]):
            s[1:1] = spelled_value(attr.code, attr.default, attr.name)
    return unparts(head, subclasses, tail)


RECORD_SPELLINGS = {
    "no_markers": no_markers,
    "own_marker_missing": own_marker_missing,
    "common_after_own": common_after_own,
    "reordered": reordered,
    "explicit_defaults": explicit_defaults,
}


def spell_records(data, spelling, chosen, dxfversion):
    """The file with the records `chosen(record)` takes spelled; None when
    the spelling changes none of them."""
    recs = records(split(data))
    changed = False
    for r in recs:
        if chosen(r):
            if spelling == "explicit_defaults":
                groups = explicit_defaults(r.type, r.groups, dxfversion)
            else:
                groups = RECORD_SPELLINGS[spelling](r.type, r.groups)
            changed = changed or groups != r.groups
            r.groups = groups
    return join(flatten(recs)) if changed else None


# ---- the spellings of a whole drawing ----

def set_header(groups, name, value):
    """The header variable `name` given `value` (a list of groups), or left
    out when `value` is None."""
    out, i = [], 0
    while i < len(groups):
        code, v = groups[i]
        if code == 9 and v.strip() == name:
            i += 1
            while i < len(groups) and groups[i][0] not in (0, 9):
                i += 1
            if value is not None:
                out += [(9, name)] + value
            continue
        out.append(groups[i])
        i += 1
    return out


WESTERN = "Grüße ÄÜÖ äüöß 20°C ±0.5 µm"


def western(version, codepage, encoding):
    """Texts and names of Western characters in a file that names the code
    page `codepage` (None: none at all) and holds bytes of `encoding`."""
    doc = new_drawing(version, ["insert_attributes"])
    doc.header["$DWGCODEPAGE"] = "ANSI_1252"
    doc.layers.add("MAßE", color=2)
    msp = doc.modelspace()
    msp.add_text(WESTERN, dxfattribs=dict(layer="MAßE", height=1))
    if version != "R12":
        msp.add_mtext("Zeile ÄÖÜ\\P2. Zeile 45°", dxfattribs=dict(insert=(0, 5), char_height=1))
    blk = doc.blocks.new("SCHILD_Ä")
    blk.add_attdef("HÖHE", (0, 0), dxfattribs=dict(prompt="Höhe?"))
    ref = msp.add_blockref("SCHILD_Ä", (5, 5))
    ref.add_attrib("HÖHE", "12,5 m ü. NN", (5, 5))
    if version != "R12":
        line = msp.add_line((0, 0), (1, 1))
        line.set_xdata("SPELLINGS", [(1000, "Straße °")])
    stream = io.StringIO()
    doc.write(stream)
    groups = split(in_order(stream.getvalue().encode(encoding)))
    spelled = None if codepage is None else [(3, codepage)]
    return join(set_header(groups, b"$DWGCODEPAGE", spelled))


# Texts other programs write: caret escapes of control characters, a
# caret of its own, special characters and their escapes, spaces kept.
ESCAPED = ["line^Jbreak", "tab^Istop", "nul^@here", "caret^^rs", "caret ^ alone", "end caret^",
           "%%d %%c %%p %%u underlined%%u %%%", "\\U+00B0 and \\M+1A2B3", "  padded  ", "{\\C1;red}\\P\\~x",
           "semi;colon, and \"quotes\"", "back\\\\slash"]


def carets(version):
    doc = new_drawing(version, ["insert_attributes"])
    msp = doc.modelspace()
    for i, t in enumerate(ESCAPED):
        msp.add_text(t, dxfattribs=dict(insert=(0, -2 * i), height=1))
    if version != "R12":
        msp.add_mtext("^J".join(ESCAPED), dxfattribs=dict(insert=(20, 0), char_height=1))
        # Long enough to go in pieces, a caret escape at a piece's end.
        msp.add_mtext("x" * 249 + "^J" + "y" * 200 + "^@z", dxfattribs=dict(insert=(20, 20), char_height=1))
    blk = doc.blocks.new("ESCAPES")
    blk.add_attdef("NOTE", (0, 0), text="d^Jflt", dxfattribs=dict(prompt="Prompt^I?"))
    ref = msp.add_blockref("ESCAPES", (5, 5))
    ref.add_attrib("NOTE", "at^@tr^Jib", (5, 5))
    dim = msp.add_linear_dim(base=(3, 2), p1=(0, 0), p2=(3, 0), text="<>^J%%c")
    dim.render()
    if version != "R12":
        line = msp.add_line((0, 0), (1, 1))
        line.set_xdata("SPELLINGS", [(1000, t) for t in ESCAPED])
        doc.rootdict.add_xrecord("SPELLINGS_TEXTS").reset([(1, t) for t in ESCAPED])
    if version >= "R2007":
        msp.add_text("° µ 中文 ∑ 😀", dxfattribs=dict(insert=(0, 30), height=1))
    return encoded(doc)


def lone_sequence_end(version):
    """INSERTs saying attributes follow (`66 1`) with none but the SEQEND:
    in model space, in a block, and one without a SEQEND either."""
    doc = new_drawing(version)
    msp = doc.modelspace()
    a = msp.add_blockref("MARK", (1, 1))
    b = msp.add_blockref("MARK", (2, 2))
    holder = doc.blocks.new("HOLDER")
    c = holder.add_blockref("MARK", (3, 3))
    msp.add_blockref("HOLDER", (9, 9))
    d = msp.add_blockref("MARK", (4, 4))
    for ref in (a, b, c, d):
        ref.add_attrib("TAG", "x", (0, 0))
    recs = records(split(encoded(doc)))
    out, drop = [], None
    handles = {a.dxf.handle, c.dxf.handle, d.dxf.handle}
    for r in recs:
        if r.type == "INSERT":
            drop = r.value(5, b"").strip().decode()
            drop = drop if drop in handles else None
        elif r.type == "ATTRIB" and drop:
            continue
        elif r.type == "SEQEND" and drop == d.dxf.handle:
            continue  # neither attributes nor their end
        elif r.type != "ATTRIB":
            drop = None
        out.append(r)
    return join(flatten(out))


def handle_codes(code):
    return code in (5, 105, 480, 481, 1005) or 320 <= code <= 369 or 390 <= code <= 399


def renumbered(data, mapping):
    """Every handle in the file mapped."""
    out = []
    for code, value in split(data):
        if handle_codes(code):
            h = value.strip().decode("ascii", "replace")
            if h.upper() in mapping:
                value = mapping[h.upper()].encode()
        out.append((code, value))
    return join(out)


def every_kind(version):
    """A drawing of every entity kind the form holds."""
    kinds = [k for k, _ in ENTITY_KINDS if version > "R12" or k in R12_KINDS]
    return new_drawing(version, kinds)


R12_KINDS = {"line", "point", "circle", "arc", "solid", "trace", "3dface", "text", "attdef", "insert_attributes",
             "minsert", "polyline_2d", "polyline_3d", "polymesh", "polyface", "dimension_linear",
             "dimension_aligned", "dimension_radius", "dimension_diameter", "dimension_angular_2l",
             "dimension_angular_3p", "dimension_ordinate", "viewport"}


def handles_backwards(version):
    """Every handle numbered from the top down: an owner made before what it
    owns has a higher number."""
    doc = every_kind(version)
    data = encoded(doc)
    top = max(int(h, 16) for h in doc.entitydb.keys()) + 0x10
    mapping = {h.upper(): "%X" % (top - int(h, 16)) for h in doc.entitydb.keys()}
    groups = split(renumbered(data, mapping))
    return join(set_header(groups, b"$HANDSEED", [(5, b"%X" % (top + 1))]))


def owners_after_what_they_own(version):
    """The objects in the reverse order but for the named-objects
    dictionary, which comes first: each owner after what it owns."""
    doc = new_drawing(version, ["image", "extended_data", "insert_attributes"])
    objects_setup(doc)
    recs = records(split(encoded(doc)))
    objects = [i for i, r in enumerate(recs)
               if r.section == "OBJECTS" and r.type not in ("SECTION", "ENDSEC", "EOF")]
    body = [recs[i] for i in objects[1:]][::-1]
    recs[objects[1]:objects[-1] + 1] = body
    return join(flatten(recs))


def handle_claimed(version, what):
    """A LINE holding the handle of another record: the LAYOUT "Model",
    the BLOCK_RECORD of a block, or another entity."""
    doc = new_drawing(version, ["insert_attributes"])
    msp = doc.modelspace()
    line = msp.add_line((0, 0), (1, 1))
    circle = msp.add_circle((0, 0), 1)
    msp.add_line((2, 2), (3, 3))
    if what == "model_layout":
        target = doc.layouts.get("Model").dxf_layout.dxf.handle
    elif what == "block_record":
        target = doc.blocks.get("MARK").block_record.dxf.handle
    elif what == "layer":
        target = doc.layers.get("WALLS").dxf.handle
    else:
        target = circle.dxf.handle
    out = []
    for code, value in split(encoded(doc)):
        if code == 5 and value.strip().decode() == line.dxf.handle:
            value = target.encode()
        out.append((code, value))
    return join(out)


def without_handles(version):
    """A drawing of the oldest form as programs that keep no handles write
    it (make_corpus.without_handles): blocks, a polyline of vertices and a
    reference with attributes, every record without its handle."""
    doc = new_drawing(version, ["line", "insert_attributes", "polyline_2d", "polymesh"])
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "nohandles.dxf")
        with open(path, "wb") as f:
            f.write(encoded(doc))
        make_corpus.without_handles(path)
        with open(path, "rb") as f:
            return f.read()


def names_in_other_letters(version):
    """Records named in other letters than they spell their names: a LINE's
    `8 walls` with the LAYER WALLS, and so linetypes, text styles, blocks,
    dimension styles, and a layer's linetype."""
    doc = new_drawing(version, ["line", "text", "insert_attributes", "dimension_linear", "mtext", "hatch_solid"])
    recs = records(split(encoded(doc)))
    codes = {8, 6, 7}
    for r in recs:
        if r.section == "ENTITIES" or (r.section == "TABLES" and r.type == "LAYER"):
            names = set(codes)
            if r.type == "INSERT":
                names.add(2)
            if r.type == "DIMENSION":
                names.add(3)
            r.groups = [(c, v.lower() if c in names and r.section == "ENTITIES" or c == 6 else v)
                        for c, v in r.groups]
    return join(flatten(recs))


def hatch_as_others_write(what):
    """A hatch as other programs write them: a solid fill that gives a
    pattern's angle, scale and lines and a pixel size of 0 all the same; a
    pattern with a pixel size of 0; a loop count of 0 before the loop."""
    doc = new_drawing(MODERN, ["hatch_pattern" if what == "pixel_size_zero" else
                               "hatch_edges" if what == "loop_count_zero" else "hatch_solid"])
    recs = records(split(encoded(doc)))
    for r in recs:
        if r.type != "HATCH":
            continue
        out = []
        for code, value in r.groups:
            if what == "loop_count_zero" and code == 91:
                value = b"0"
            if what == "pixel_size_zero" and code == 98:
                out.append((47, b"0.0"))
            out.append((code, value))
            if what == "solid_with_pattern_values" and code == 76:
                out += [(52, b"15.0"), (41, b"1.0"), (77, b"0"), (78, b"1"), (53, b"45.0"), (43, b"0.0"),
                        (44, b"0.0"), (45, b"-0.0883883476"), (46, b"0.0883883476"), (79, b"0"), (47, b"0.0")]
        r.groups = out
    return join(flatten(recs))


def renamed_block(data, old, new):
    """The block record and block named `old` named `new` (2 and 3)."""
    out = []
    for code, value in split(data):
        if code in (2, 3) and value.strip() == old:
            value = new
        out.append((code, value))
    return out


def spaces_named_otherwise(version, which):
    """Model space or paper space (or both) under other names: the
    records that name them (the model layout, the entities' owners) say
    what they are. The oldest form's own names ($Model_Space) in R12."""
    doc = new_drawing(MODERN if version == "R14" else version, ["line", "circle"])
    doc.layout("Layout1").add_line((0, 0), (10, 10), dxfattribs=dict(layer="WALLS"))
    data = encoded(doc)
    if version == "R14":
        data = as_r14(data)
    base = data
    if "model" in which:
        data = join(renamed_block(data, b"*Model_Space", b"*U"))
    if "paper" in which:
        data = join(renamed_block(data, b"*Paper_Space", b"*U2"))
    return data, base


def as_r14(data):
    """A drawing of the form before layouts: AC1014, no LAYOUT objects, no
    block record naming one."""
    recs = [r for r in records(split(data)) if r.type != "LAYOUT"]
    for r in recs:
        if r.type == "BLOCK_RECORD":
            r.groups = [g for g in r.groups if g[0] != 340]
        if r.type == "DICTIONARY":
            # The layouts' dictionary names none.
            groups, skip = [], False
            for code, value in r.groups:
                if skip:
                    skip = False
                    continue
                if code == 3 and value.strip() in (b"Model", b"Layout1"):
                    skip = True
                    continue
                groups.append((code, value))
            r.groups = groups
    groups = set_header(flatten(recs), b"$ACADVER", [(1, b"AC1014")])
    return join(groups)


def table_without_head(table):
    """A table whose head (0 TABLE, 2 NAME and its values) is lost: its
    records follow the table before, which saves must not leave out while
    a layout names them."""
    doc = new_drawing(MODERN, ["line", "insert_attributes"])
    doc.layout("Layout1").add_line((0, 0), (10, 10))
    base = encoded(doc)
    recs = records(split(base))
    out, drop_end = [], False
    for r in recs:
        if r.section == "TABLES" and r.type == "TABLE" and r.table == table:
            drop_end = True
            continue
        if r.section == "TABLES" and r.type == "ENDTAB" and r.table == table and drop_end:
            continue
        out.append(r)
    return join(flatten(out)), base


def lone_lead_bytes(version, codepage, encoding):
    """Texts whose bytes hold a lead byte of a double-byte code page without
    its trail byte (at a text's end, before a space), and MTEXT pieces that
    cut a character in two."""
    doc = new_drawing(version)
    msp = doc.modelspace()
    wide = "中文字符" if encoding == "gbk" else "日本語の文字"
    msp.add_text("LEADEND", dxfattribs=dict(insert=(0, 0), height=1))
    msp.add_text("LEADSPACE", dxfattribs=dict(insert=(0, 2), height=1))
    msp.add_text(wide, dxfattribs=dict(insert=(0, 4), height=1))
    # 249 ASCII characters and then wide ones: a writer cutting pieces at
    # 250 bytes cuts the first wide character in two.
    msp.add_mtext("x" * 249 + wide * 40, dxfattribs=dict(insert=(0, 10), char_height=1))
    stream = io.StringIO()
    doc.write(stream)
    base = join(set_header(split(in_order(stream.getvalue().encode(encoding))), b"$DWGCODEPAGE", [(3, codepage)]))
    lead = b"\x81" if encoding == "gbk" else b"\x82"
    out = []
    for code, value in split(base):
        if code == 1 and value == b"LEADEND":
            value = b"lead at the end" + lead
        elif code == 1 and value == b"LEADSPACE":
            value = lead + b" lead before a space"
        out.append((code, value))
    cut_by_characters = join(out)
    recs = records(out)
    for r in recs:
        if r.type != "MTEXT":
            continue
        text = b"".join(v for c, v in r.groups if c in (3, 1))
        first = [i for i, (c, _) in enumerate(r.groups) if c in (3, 1)]
        pieces = [text[k:k + 250] for k in range(0, len(text), 250)]
        body = [(3, p) for p in pieces[:-1]] + [(1, pieces[-1])]
        r.groups = r.groups[:first[0]] + body + [g for g in r.groups[first[-1] + 1:]]
    # ezdxf reads pieces one by one, the character cut in two garbled: the
    # drawing with the pieces cut between characters means the same.
    return join(flatten(recs)), cut_by_characters


def header_values(version):
    """Header values as other programs give them: a code page the save must
    name as given, numbers spelled otherwise."""
    doc = new_drawing(version, ["line"])
    data = encoded(doc)
    groups = set_header(split(data), b"$DWGCODEPAGE", [(3, b"ANSI_1252")])
    groups = set_header(groups, b"$TEXTSIZE", [(40, b"2.50")])
    groups = set_header(groups, b"$LTSCALE", [(40, b"+2")])
    groups = set_header(groups, b"$ANGBASE", [(50, b"-0.0")])
    return join(groups)


def numbers_in_other_forms(version):
    """Reals spelled as other programs spell them: trailing zeros, a plus
    sign, exponents, no digit before or after the point, and -0.0."""
    doc = new_drawing(version, ["line", "circle", "text"])
    data = encoded(doc)
    spelled = {b"0.0": b"-0.0", b"3.0": b"+3", b"4.0": b"4.00", b"0.5": b".5", b"7.0": b"7.", b"2.0": b"0.2E+01",
               b"5.0": b"5.0e0"}
    out, entities = [], False
    for code, value in split(data):
        if code == 2 and value.strip() in (b"ENTITIES", b"HEADER", b"TABLES", b"BLOCKS", b"OBJECTS"):
            entities = value.strip() == b"ENTITIES"
        if entities and 10 <= code <= 59 and value.strip() in spelled:
            value = spelled[value.strip()]
        out.append((code, value))
    return join(out)


def positions_and_angles(version):
    """A LINE giving its start twice, left-aligned texts and attributes that
    give an alignment point all the same, and angles far past a turn."""
    doc = new_drawing(version, ["insert_attributes"])
    msp = doc.modelspace()
    line = msp.add_line((1, 2, 0), (3, 4, 0))
    text = msp.add_text("left", dxfattribs=dict(insert=(5, 6), height=1, rotation=100000000))
    arc = msp.add_arc((0, 0), 2, 720.5, -1e8)
    data = encoded(doc)
    recs = records(split(data))
    for r in recs:
        handle = r.value(5, b"").strip().decode()
        if handle == line.dxf.handle:
            i = max(k for k, (c, _) in enumerate(r.groups) if c == 31)
            r.groups[i + 1:i + 1] = [(10, b"1.5"), (20, b"2.5"), (30, b"0.0")]
        elif handle == text.dxf.handle or r.type == "ATTRIB":
            i = max(k for k, (c, _) in enumerate(r.groups) if c == 30)
            r.groups[i + 1:i + 1] = [(11, b"9.0"), (21, b"8.0"), (31, b"0.0")]
    _ = arc
    return join(flatten(recs))


def linetypes_without_marker_padded(spelling):
    """Linetypes without their subclass marker (or any) whose dash flags
    are spelled padded ("     0"), as some writers pad numbers."""
    doc = with_tables()
    base = encoded(doc)
    recs = records(split(base))
    for r in recs:
        if r.section == "TABLES" and r.type == "LTYPE":
            r.groups = [(c, v.rjust(6) if c in (74, 73, 72) else v) for c, v in spelling(r.type, r.groups)]
    return join(flatten(recs)), base


# ---- the variants ----

class Variant:
    """A drawing of the set: `make()` gives its bytes and those of the
    drawing it was spelled from, which means the same (None where the file
    itself is what it means; None for both where the spelling changes
    nothing there)."""

    def __init__(self, name, spelling, kind, make, session=False):
        self.name, self.spelling, self.kind, self._make = name, spelling, kind, make
        # Saved twice in one session, a COPY of everything between: each
        # handle of the first save names the same record in the second.
        self.session = session

    def make(self):
        return self._make()


def _spelled(spelling, build, chosen):
    """A variant's `make`: the drawing `build()` gives, with the records
    `chosen` takes spelled."""
    def make():
        doc = build()
        base = encoded(doc)
        spelled = spell_records(base, spelling, chosen, doc.dxfversion)
        if spelled is None:
            return None, None
        # Values given where they could be left out are read as given.
        return spelled, None if spelling == "explicit_defaults" else base
    return make


def with_tables():
    doc = new_drawing(MODERN)
    tables_setup(doc)
    return doc


def with_objects():
    doc = new_drawing(MODERN)
    objects_setup(doc)
    return doc


def _as_written(make, *args):
    return lambda: (make(*args), None)


def variants():
    out = []
    for spelling in RECORD_SPELLINGS:
        for label, _ in ENTITY_KINDS:
            build = functools.partial(new_drawing, MODERN, [label], spelling == "explicit_defaults")
            out.append(Variant("%s_%s" % (spelling, label), spelling, label,
                               _spelled(spelling, build, lambda r: r.section == "ENTITIES")))
        for table in TABLE_KINDS:
            out.append(Variant("%s_table_%s" % (spelling, table.lower()), spelling, table, _spelled(
                spelling, with_tables, lambda r, t=table: r.section == "TABLES" and r.table == t)))
        for kind in OBJECT_KINDS:
            out.append(Variant("%s_object_%s" % (spelling, kind.lower()), spelling, kind, _spelled(
                spelling, with_objects, lambda r, k=kind: r.section == "OBJECTS" and r.type == k)))
    # Every kind at once in the other forms: the oldest is read otherwise,
    # the newest embeds an MTEXT's columns.
    whole = lambda r: r.section in ("ENTITIES", "TABLES", "BLOCKS")  # noqa: E731
    for spelling, version in (("reordered", "R12"), ("reordered", "R2018"), ("explicit_defaults", "R12"),
                              ("explicit_defaults", "R2018"), ("no_markers", "R2000")):
        out.append(Variant("%s_every_kind_%s" % (spelling, version), spelling, None,
                           _spelled(spelling, functools.partial(every_kind, version), whole)))
    for version in ("R12", "R2000", MODERN):
        out.append(Variant("carets_" + version, "carets", None, _as_written(carets, version)))
    for version in ("R12", "R2000"):
        out.append(Variant("codepage_missing_cp1252_" + version, "codepage", None,
                           _as_written(western, version, None, "cp1252")))
        out.append(Variant("codepage_undefined_cp1252_" + version, "codepage", None,
                           _as_written(western, version, b"UNDEFINED", "cp1252")))
        out.append(Variant("codepage_missing_utf8_" + version, "codepage", None,
                           _as_written(western, version, None, "utf-8")))
    out.append(Variant("codepage_missing_utf8_" + MODERN, "codepage", None,
                       _as_written(western, MODERN, None, "utf-8")))
    for version in ("R12", MODERN):
        out.append(Variant("lone_sequence_end_" + version, "lone_sequence_end", None,
                           _as_written(lone_sequence_end, version)))
    for what in ("model_layout", "block_record", "layer", "entity"):
        out.append(Variant("handle_claimed_%s_%s" % (what, MODERN), "handles", None,
                           _as_written(handle_claimed, MODERN, what)))
    out.append(Variant("owners_after_what_they_own_" + MODERN, "handles", None,
                       _as_written(owners_after_what_they_own, MODERN)))
    out.append(Variant("handles_backwards_" + MODERN, "handles", None, _as_written(handles_backwards, MODERN)))
    out.append(Variant("without_handles_saved_twice_after_a_copy_R12", "handles", None,
                       _as_written(without_handles, "R12"), session=True))
    for what in ("solid_with_pattern_values", "pixel_size_zero", "loop_count_zero"):
        out.append(Variant("hatch_%s_%s" % (what, MODERN), "hatch", None, _as_written(hatch_as_others_write, what)))
    for version in ("R12", MODERN):
        out.append(Variant("names_in_other_letters_" + version, "names", None,
                           _as_written(names_in_other_letters, version)))
    for version, which in ((MODERN, "model"), (MODERN, "paper"), (MODERN, "model_and_paper")):
        out.append(Variant("spaces_named_otherwise_%s_%s" % (which, version), "spaces", None,
                           functools.partial(spaces_named_otherwise, version, which)))
    out.append(Variant("spaces_of_the_oldest_form_R12", "spaces", None, _as_written(lambda: encoded(new_drawing(
        "R12", ["line", "circle"])))))
    out.append(Variant("table_without_head_block_record_" + MODERN, "tables", None,
                       functools.partial(table_without_head, "BLOCK_RECORD")))
    out.append(Variant("lone_lead_bytes_ANSI_936_R2000", "codepage", None,
                       functools.partial(lone_lead_bytes, "R2000", b"ANSI_936", "gbk")))
    out.append(Variant("lone_lead_bytes_ANSI_932_R2000", "codepage", None,
                       functools.partial(lone_lead_bytes, "R2000", b"ANSI_932", "cp932")))
    out.append(Variant("header_values_R2000", "header", None, _as_written(header_values, "R2000")))
    out.append(Variant("numbers_in_other_forms_" + MODERN, "numbers", None,
                       _as_written(numbers_in_other_forms, MODERN)))
    out.append(Variant("positions_and_angles_" + MODERN, "positions", None,
                       _as_written(positions_and_angles, MODERN)))
    for name, spelling in (("no_markers", no_markers), ("own_marker_missing", own_marker_missing)):
        out.append(Variant("linetypes_%s_padded_%s" % (name, MODERN), "linetypes", None,
                           functools.partial(linetypes_without_marker_padded, spelling)))
    return out


def write(folder, only=None):
    """Writes the variants (those whose names hold one of `only`) into
    folder; gives their paths. A spelling that leaves a base drawing as it
    was is no variant and is left out."""
    os.makedirs(folder, exist_ok=True)
    paths = []
    for v in variants():
        if only and not any(o in v.name for o in only):
            continue
        data, _ = v.make()
        if data is None:
            continue
        path = os.path.join(folder, v.name + ".dxf")
        with open(path, "wb") as f:
            f.write(data)
        paths.append(path)
    return paths


if __name__ == "__main__":
    for p in write(sys.argv[1], sys.argv[2:]):
        print(p)
