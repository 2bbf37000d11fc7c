#!/usr/bin/python3
"""Makes the round-trip corpus of the drawing-file tests with ezdxf
(Debian's python3-ezdxf), a library the project did not write: drawings of
every form from R12 to R2018 holding every entity and table kind, and
drawings for the hard cases (object coordinate systems, extended data,
meshes, MINSERT, a loop of 12,000 edges, a loop with a gap, a spline whose
knots do not fit, padded and lower-case handles, Chinese names, dimension
styles), drawings edited after ezdxf saved them into what other programs
write (names where handles go, integers written as reals, an R12 drawing
without handles; dimensions of every type without graphics and leaders;
long MTEXTs cut after 250 bytes of their escapes, once inside an escape),
and drawings of ezdxf's standard set-up (its text styles, dimension styles
with their arrow blocks and linetypes, each in use). Run at test time into
the build tree; nothing it makes is committed (tests/fuzz/corpus/dxf_read
holds trimmed copies of what other programs write).

usage: make_corpus.py OUTPUT_FOLDER
Prints the names of the files it made, one a line.
"""
import math
import os
import re
import sys

import ezdxf
from ezdxf.enums import TextEntityAlignment
from ezdxf.math import Vec3

VERSIONS = ["R12", "R2000", "R2004", "R2007", "R2010", "R2013", "R2018"]


def tables(doc, cjk):
    """Every table kind with records of their own."""
    doc.appids.new("VelkArx")
    doc.appids.new("CORPUS")
    doc.linetypes.add("DASHED2", pattern=[15.0, 10.0, -5.0], description="Dashed __ __")
    doc.linetypes.add("DOTTED3", pattern=[3.0, 0.0, -1.5, 0.0, -1.5], description="Dots . . .")
    lay = doc.layers.add("道路" if cjk else "Roads", color=1, linetype="DASHED2")
    lay.lock()
    if doc.dxfversion > "AC1009":
        lay.dxf.lineweight = 35
        lay.dxf.plot = 0
    water = doc.layers.add("Water", color=5)
    water.off()
    water.freeze()
    if doc.dxfversion > "AC1009":
        doc.layers.add("TrueColour", true_color=0x123456)
    st = doc.styles.add("仿宋" if cjk else "Narrow", font="simfang.ttf")
    st.dxf.oblique = 15
    st.dxf.width = 0.8
    st.dxf.generation_flags = 2
    doc.styles.add("Tall", font="arial.ttf").dxf.height = 5.0
    for i in range(11):
        ds = doc.dimstyles.new("DS%d" % i)
        ds.dxf.dimtxt = 1.0 + i
        ds.dxf.dimasz = 0.5 + i / 10
        ds.dxf.dimexe = 0.25 * i
        ds.dxf.dimdec = i % 8
    ucs = doc.ucs.new("Tilted")
    ucs.dxf.origin = (1, 2, 3)
    ucs.dxf.xaxis = (0, 1, 0)
    ucs.dxf.yaxis = (-1, 0, 0)
    v = doc.views.new("Overview")
    v.dxf.height = 100
    v.dxf.width = 150
    v.dxf.center = (50, 40)
    vp = doc.viewports.new("Second")
    vp.dxf.center = (10, 20)
    vp.dxf.height = 30


def entities(doc, msp, cjk):
    """Every entity kind the form can hold, with the properties a round trip
    must keep."""
    modern = doc.dxfversion > "AC1009"
    lw = {"lineweight": 50} if modern else {}
    msp.add_line((0, 0, 0), (100, 40, 2), dxfattribs=dict(layer="道路" if cjk else "Roads", thickness=2.5,
                                                            ltscale=2.5, **lw))
    msp.add_point((7, 8, 9), dxfattribs=dict(angle=33, thickness=1.5, **lw))
    msp.add_circle((3, 4, 5), 7, dxfattribs=dict(thickness=3, **lw))
    msp.add_circle((3, 4, 5), 7, dxfattribs={"extrusion": (0.3, -0.4, 0.866)})
    msp.add_arc((10, 10), 5, 15, 230, dxfattribs={"thickness": 0.5})
    msp.add_solid([(0, 0), (4, 0), (0, 4), (4, 4)], dxfattribs={"thickness": 1})
    msp.add_trace([(0, 10), (4, 10), (0, 14), (4, 14)])
    msp.add_3dface([(0, 0, 0), (1, 0, 1), (1, 1, 2), (0, 1, 1)])
    text = msp.add_text("河流 ^ 标注" if cjk else "River ^ label",
                        dxfattribs={"height": 2.5, "rotation": 17, "oblique": 12, "width": 0.8, "thickness": 0.2})
    text.set_placement((32, 31), align=TextEntityAlignment.MIDDLE_CENTER)
    mirrored = msp.add_text("mirrored", dxfattribs={"height": 1.5, "insert": (5, 60)})
    mirrored.dxf.text_generation_flag = 6
    blk = doc.blocks.new("Sign", base_point=(1, 1))
    blk.add_circle((1, 1), 2)
    blk.add_attdef("NAME", (0, 3), text="N1", dxfattribs={"prompt": "Name?"})
    blk.add_attdef("CODE", (0, 5), text="C", dxfattribs={"flags": 2})
    ref = msp.add_blockref("Sign", (50, 60), dxfattribs={"xscale": 2, "yscale": 2, "zscale": 2, "rotation": 30})
    a = ref.add_attrib("NAME", "标志一" if cjk else "Sign one", (50, 66), dxfattribs={"height": 1.5})
    c = ref.add_attrib("CODE", "K7", (50, 70), dxfattribs={"height": 1.0})
    c.dxf.flags = 2
    minsert = msp.add_blockref("Sign", (100, 100), dxfattribs={"column_count": 3, "row_count": 2,
                                                              "column_spacing": 10, "row_spacing": 8})
    msp.add_polyline2d([(0, 0), (5, 5), (9, 1)], close=True,
                       dxfattribs={"thickness": 1.2, "default_start_width": 0.25, "default_end_width": 0.5})
    msp.add_polyline3d([(0, 0, 0), (1, 2, 3), (4, 5, 6)])
    mesh = msp.add_polymesh(size=(3, 4))
    for m in range(3):
        for n in range(4):
            mesh.set_mesh_vertex((m, n), (m * 10, n * 10, math.sin(m + n)))
    face = msp.add_polyface()
    face.append_faces([[(0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 1, 0)], [(1, 0, 0), (2, 0, 0), (2, 1, 1)]])
    dim = msp.add_linear_dim(base=(3, 2), p1=(0, 0), p2=(3, 0), dimstyle="DS3")
    dim.render()
    dim = msp.add_aligned_dim(p1=(0, 0), p2=(10, 5), distance=2, dimstyle="DS4")
    dim.render()
    if not modern:
        return
    msp.add_lwpolyline([(0, 0, 0.2, 0.4, 0.5), (10, 0, 0.4, 0.2, 0), (10, 10, 0, 0, -1)], format="xyseb",
                       close=True, dxfattribs={"elevation": 3, "thickness": 2, "lineweight": 25})
    msp.add_ellipse((20, 20), major_axis=(6, 2), ratio=0.4, start_param=0.3, end_param=5.0)
    msp.add_spline(fit_points=[(0, 0), (2, 2), (4, 0), (6, 3), (8, 1)], degree=2)
    msp.add_spline(fit_points=[(0, 5), (2, 7), (4, 5), (6, 8)])
    msp.add_rational_spline([(0, 0), (1, 3), (4, 3), (5, 0)], weights=[1, 0.5, 0.5, 1], degree=3)
    mt = msp.add_mtext("{\\fSimSun|b0;第一行}\\P" + " ".join("长文本%d" % i for i in range(40)),
                       dxfattribs={"insert": (40, 50), "char_height": 3, "width": 60, "rotation": 12,
                                   "attachment_point": 5, "line_spacing_style": 2, "line_spacing_factor": 1.5})
    mt.set_bg_color(3, scale=1.8)
    mt2 = msp.add_mtext("plain", dxfattribs={"insert": (40, 70), "char_height": 2})
    mt2.set_bg_color("canvas", scale=1.2)
    msp.add_ray((0, 0, 0), (1, 1, 0))
    msp.add_xline((5, 5, 0), (0, 1, 0))
    msp.add_mline([(0, 50), (20, 50), (20, 70)], dxfattribs={"scale_factor": 2})
    msp.add_leader([(0, 0), (5, 5), (10, 5)])
    tol = msp.new_entity("TOLERANCE", {"content": "{\\Fgdt;p}%%v0.1", "insert": (5, 5)})
    tol.dxf.dimstyle = "DS1"
    msp.add_radius_dim(center=(0, 0), radius=3, angle=45, dimstyle="DS5").render()
    msp.add_diameter_dim(center=(0, 0), radius=3, angle=30, dimstyle="DS6").render()
    msp.add_angular_dim_2l(base=(5, 5), line1=((0, 0), (10, 0)), line2=((0, 0), (10, 10)),
                           dimstyle="DS7").render()
    msp.add_angular_dim_3p(base=(5, 5), center=(0, 0), p1=(10, 0), p2=(0, 10), dimstyle="DS8").render()
    msp.add_ordinate_x_dim(feature_location=(3, 4), offset=(2, 2), dimstyle="DS9").render()
    msp.add_ordinate_y_dim(feature_location=(3, 4), offset=(2, 2), dimstyle="DS10").render()
    hatches(msp, doc)
    image_def = doc.add_image_def(filename="C:\\Maps\\tile_12_3.png", size_in_pixel=(256, 128))
    image = msp.add_image(image_def, insert=(100, 200), size_in_units=(256, 128))
    msp.set_redraw_order({image.dxf.handle: "1"})
    msp.add_wipeout([(0, 0), (2, 0), (2, 2)])
    m = msp.add_mesh()
    with m.edit_data() as data:
        data.vertices = [(0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 1, 0), (0.5, 0.5, 1)]
        data.faces = [(0, 1, 4), (1, 2, 4), (2, 3, 4), (3, 0, 4)]
    doc.layout("Layout1").add_line((0, 0), (10, 10))
    grp = doc.groups.new("FRAME")
    grp.extend([text, mirrored])


def hatch_pattern(msp):
    """A predefined pattern, turned and scaled, with seeds and a bulge."""
    h = msp.add_hatch(color=2)
    h.set_pattern_fill("ANSI31", scale=2, angle=30)
    h.dxf.hatch_style = 1
    h.paths.add_polyline_path([(0, 0, 0), (10, 0, 0.4), (10, 10, 0), (0, 10, 0)], is_closed=True)
    h.set_seed_points([(5, 5)])
    return h


def hatch_custom(msp):
    """A pattern of the drawing's own, one line without dashes."""
    h = msp.add_hatch(color=6)
    h.set_pattern_fill("TWOFAM", definition=[[30, (0, 0), (1, 2), [3, -1]], [120, (0.5, 0), (-2, 1), []]],
                       scale=1.5)
    h.dxf.pattern_type = 2
    h.paths.add_polyline_path([(40, 0), (50, 0), (50, 10)], is_closed=True)
    return h


def hatch_edges(msp):
    """A loop of each kind of edge."""
    h = msp.add_hatch(color=3)
    ep = h.paths.add_edge_path()
    ep.add_line((0, 0), (10, 0))
    ep.add_arc((10, 5), 5, 270, 90)
    ep.add_ellipse((5, 10), major_axis=(5, 0), ratio=0.4, start_angle=0, end_angle=180)
    ep.add_spline(control_points=[(0, 10), (-3, 5), (0, 0)], knot_values=[0, 0, 0, 1, 1, 1], degree=2)
    return h


def hatch_gradients(msp):
    """Gradients of two colours and of one, tinted and centred."""
    grad = msp.add_hatch()
    grad.set_gradient((0, 255, 0), (250, 240, 10), rotation=40, name="CYLINDER")
    grad.paths.add_polyline_path([(20, 20), (30, 20), (30, 28)], is_closed=True)
    one = msp.add_hatch()
    one.set_gradient((200, 0, 0), (0, 0, 0), rotation=10, name="SPHERICAL", one_color=1, tint=0.7,
                     centered=0.25)
    one.paths.add_polyline_path([(40, 20), (50, 20), (50, 28)], is_closed=True)
    return grad


def hatches(msp, doc):
    hatch_pattern(msp)
    net = msp.add_hatch(color=4)
    net.set_pattern_fill("NET", scale=0.5)
    net.paths.add_polyline_path([(20, 0), (30, 0), (30, 10), (20, 10)], is_closed=True)
    hatch_custom(msp)
    hatch_edges(msp)
    if doc.dxfversion < "AC1018":
        return
    hatch_gradients(msp)


def extended_data(doc, msp):
    """Extended data on an entity, a table record and an object."""
    line = msp.add_line((0, 0), (1, 1))
    line.set_xdata("CORPUS", [(1000, "text"), (1002, "{"), (1070, 7), (1071, 123456), (1040, 2.5),
                              (1010, (1, 2, 3)), (1005, line.dxf.handle), (1002, "}"), (1004, b"\xde\xad\xbe\xef")])
    line.set_xdata("VelkArx", [(1000, "second application")])
    doc.layers.get("0").set_xdata("CORPUS", [(1000, "on a layer")])
    if doc.dxfversion > "AC1009":
        xr = doc.rootdict.add_xrecord("CORPUS_DATA")
        xr.reset([(1, "kept"), (40, 1.25)])
        xr.set_xdata("CORPUS", [(1000, "on an object")])


def ocs(msp):
    """Entities whose extrusion is not +Z: their points are in their own
    coordinate system."""
    down = (0, 0, -1)
    tilt = (0.6, 0.0, 0.8)
    msp.add_text("down", dxfattribs={"insert": (1, 2, 3), "extrusion": down, "rotation": 20, "height": 1})
    msp.add_text("tilted", dxfattribs={"insert": (4, 5, 6), "extrusion": tilt, "height": 1})
    blk = msp.doc.blocks.new("Mark")
    blk.add_line((0, 0), (1, 0))
    blk.add_attdef("T", (0, 1))
    ref = msp.add_blockref("Mark", (1, 2, 3), dxfattribs={"extrusion": down, "rotation": 30})
    ref.add_attrib("T", "attached", (1, 3, 3), dxfattribs={"extrusion": down})
    msp.add_blockref("Mark", (7, 8, 9), dxfattribs={"extrusion": tilt})
    msp.add_circle((1, 2, 3), 2, dxfattribs={"extrusion": down})
    msp.add_arc((1, 2, 3), 2, 10, 100, dxfattribs={"extrusion": tilt})
    msp.add_lwpolyline([(0, 0), (5, 0, 0, 0, 0.5), (5, 5)], dxfattribs={"extrusion": down, "elevation": 2})
    msp.add_lwpolyline([(0, 0), (5, 0), (5, 5)], dxfattribs={"extrusion": tilt, "elevation": 1})
    msp.add_polyline2d([(0, 0), (3, 1), (4, 4)], dxfattribs={"extrusion": down, "elevation": (0, 0, 2)})
    msp.add_solid([(0, 0, 1), (1, 0, 1), (0, 1, 1)], dxfattribs={"extrusion": down})
    msp.add_point((1, 2, 3), dxfattribs={"extrusion": tilt, "thickness": 2})
    msp.add_line((1, 2, 3), (4, 5, 6), dxfattribs={"extrusion": tilt, "thickness": 2})
    msp.add_mtext("mtext down", dxfattribs={"insert": (1, 2, 3), "extrusion": down, "char_height": 1})
    h = msp.add_hatch(dxfattribs={"extrusion": down, "elevation": (0, 0, 2)})
    h.paths.add_polyline_path([(0, 0), (3, 0), (3, 3)], is_closed=True)
    msp.add_ellipse((1, 2, 3), major_axis=(2, 0, 0), ratio=0.5, dxfattribs={"extrusion": down})


def large_loops(msp):
    """A loop of 12,000 edges, a loop of edges with a gap between two of
    them, and a spline whose knots do not fit its control points."""
    big = msp.add_hatch(color=1)
    ep = big.paths.add_edge_path()
    n = 12000
    pts = [(100 * math.cos(2 * math.pi * i / n), 100 * math.sin(2 * math.pi * i / n)) for i in range(n)]
    for i in range(n):
        ep.add_line(pts[i], pts[(i + 1) % n])
    gap = msp.add_hatch(color=2)
    ep = gap.paths.add_edge_path()
    ep.add_line((0, 0), (10, 0))
    ep.add_line((10, 0), (10, 10))
    ep.add_line((10, 10.001), (0, 10))
    ep.add_line((0, 10), (0, 0))
    bad = msp.add_spline(dxfattribs={"degree": 3})
    bad.control_points = [(0, 0, 0), (1, 1, 0), (2, 0, 0), (3, 1, 0), (4, 0, 0)]
    bad.knots = [0, 0, 0, 1, 2, 2, 2]  # two too few


def cjk_names(doc, msp):
    doc.layers.add("测量图层", color=3)
    doc.styles.add("宋体样式", font="simsun.ttc")
    blk = doc.blocks.new("图块一")
    blk.add_line((0, 0), (1, 1), dxfattribs={"layer": "测量图层"})
    msp.add_blockref("图块一", (5, 5), dxfattribs={"layer": "测量图层"})
    msp.add_text("中文文字", dxfattribs={"style": "宋体样式", "layer": "测量图层", "height": 3})
    msp.add_mtext("多行\\P文字", dxfattribs={"style": "宋体样式", "char_height": 2})


def standard_setup(doc, msp):
    """What a new drawing of the standard set-up holds, in use: text in each
    text style, lines in each linetype, and a linear, aligned, radius and
    angular dimension in each dimension style (whose arrows are blocks of
    the set-up)."""
    for i, style in enumerate(doc.styles):
        msp.add_text(style.dxf.name, dxfattribs={"style": style.dxf.name, "height": 2.5, "insert": (0, -5 * i)})
    for i, linetype in enumerate(doc.linetypes):
        if linetype.dxf.name.lower() not in ("byblock", "bylayer"):
            msp.add_line((100, -5 * i), (200, -5 * i), dxfattribs={"linetype": linetype.dxf.name})
    for i, name in enumerate(d.dxf.name for d in doc.dimstyles):
        y = 300 + 40 * i
        msp.add_linear_dim(base=(0, y + 10), p1=(0, y), p2=(30, y), dimstyle=name).render()
        msp.add_aligned_dim(p1=(50, y), p2=(80, y + 15), distance=5, dimstyle=name).render()
        msp.add_radius_dim(center=(120, y), radius=10, angle=45, dimstyle=name).render()
        msp.add_angular_dim_2l(base=(160, y + 10), line1=((150, y), (180, y)), line2=((150, y), (170, y + 20)),
                               dimstyle=name).render()


def padded_handles(path):
    """The file's handles written with leading spaces and in lower case, as
    some programs write them."""
    with open(path, "rb") as f:
        data = f.read()
    nl = b"\r\n" if b"\r\n" in data else b"\n"
    lines = data.split(nl)
    handle_codes = {5, 105, 330, 340, 350, 360, 1005}
    for i in range(0, len(lines) - 1, 2):
        try:
            code = int(lines[i].strip())
        except ValueError:
            continue
        if code in handle_codes or 320 <= code <= 369 or 390 <= code <= 399:
            value = lines[i + 1].strip()
            if re.fullmatch(rb"[0-9A-Fa-f]+", value):
                lines[i + 1] = b"  " + value.lower()
    with open(path, "wb") as f:
        f.write(nl.join(lines))


def edit_groups(path, edit):
    """Rewrites a saved file group by group: `edit(record, code, value)`
    gives the groups (code, value) that stand for each one, in bytes."""
    with open(path, "rb") as f:
        data = f.read()
    nl = b"\r\n" if b"\r\n" in data else b"\n"
    lines = data.split(nl)
    out = []
    record = b""
    for i in range(0, len(lines) - 1, 2):
        code, value = int(lines[i].strip()), lines[i + 1]
        if code == 0:
            record = value.strip()
        for c, v in edit(record, code, value):
            out += [b"%3d" % c, v]
    with open(path, "wb") as f:
        f.write(nl.join(out + [b""]))


def other_writers(doc, msp):
    """What drawings of other programs hold: a dimension style, a layer
    and a linetype whose references give names where handles go (the
    file is edited after it is saved, in `names_for_handles`), and
    integers written as reals."""
    doc.linetypes.add("GAS_LINE", pattern='A,.5,-.2,["GAS",STANDARD,S=.1,U=0.0,X=-0.1,Y=-.05],-.25',
                      description="Gas line ----GAS----")
    doc.layers.add("NAMED", color=3, linetype="GAS_LINE")
    style = doc.dimstyles.new("FROM_OTHERS")
    style.dxf.dimtxt = 2.5
    msp.add_line((0, 0), (10, 0), dxfattribs={"layer": "NAMED", "linetype": "GAS_LINE"})
    msp.add_linear_dim(base=(0, 5), p1=(0, 0), p2=(10, 0), dimstyle="FROM_OTHERS").render()
    msp.add_lwpolyline([(0, 0), (4, 0), (4, 4)], close=True, dxfattribs={"layer": "NAMED"})
    msp.add_mline([(0, 10), (10, 10), (10, 20)])


def names_for_handles(path, version):
    """Names where handles go, as other programs write them: a dimension
    style's text style, arrow blocks and linetype (340 to 345), a layer's
    plot style (390), a dash's and a multiline's style (340); and integers
    written as reals (flags, colours)."""
    names = {340: b"Standard", 341: b"_ClosedBlank", 342: b"_Dot", 343: b"_Oblique", 344: b"_ArchTick"}
    if version >= "R2007":
        names[345] = b"ByBlock"

    given = {"names": False}

    def edit(record, code, value):
        if code == 0:
            given["names"] = False
        if record == b"DIMSTYLE" and code in names:
            return []  # given again, as names, after the flags
        if record == b"DIMSTYLE" and code == 70 and not given["names"]:
            given["names"] = True
            return [(code, value)] + list(names.items())
        if record == b"LAYER" and code == 390:
            return [(code, b"Normal")]
        if record in (b"LTYPE", b"MLINE") and code == 340:
            return [(code, b"Standard")]
        if record == b"LWPOLYLINE" and code == 70:
            return [(code, b"%d.0" % int(value))]
        if record == b"LAYER" and code == 62:
            return [(code, b"%d.000" % int(value))]
        return [(code, value)]

    edit_groups(path, edit)


def without_handles(path):
    """An R12 drawing as programs that keep no handles write it: no 5
    (105 for a dimension style) and $HANDLING 0, no $HANDSEED."""
    state = {"skip": 0}

    def edit(record, code, value):
        if code == 9 and value.strip() == b"$HANDSEED":
            state["skip"] = 1
            return []
        if state["skip"]:
            state["skip"] = 0
            return []
        if code == 9 and value.strip() == b"$HANDLING":
            state["handling"] = True
            return [(code, value)]
        if state.pop("handling", False) and code == 70:
            return [(code, b"     0")]
        if code == 5 or (code == 105 and record == b"DIMSTYLE"):
            return []
        return [(code, value)]

    edit_groups(path, edit)


def blockless(doc, msp):
    """Dimensions of every type written without a block of graphics (no
    group 2), as a program that leaves drawing them to the reader writes
    them, and leaders: with and without an arrowhead, along a spline."""
    msp.add_linear_dim(base=(3, 12), p1=(0, 10), p2=(30, 10))
    msp.add_linear_dim(base=(45, 5), p1=(40, 0), p2=(40, 20), angle=90)
    msp.add_aligned_dim(p1=(0, 30), p2=(20, 45), distance=4)
    msp.add_angular_dim_2l(base=(70, 8), line1=((55, 0), (80, 0)), line2=((55, 0), (75, 20)))
    msp.add_angular_dim_3p(base=(110, 12), center=(95, 0), p1=(115, 0), p2=(95, 20))
    msp.add_diameter_dim(center=(140, 10), radius=8, angle=30)
    msp.add_radius_dim(center=(170, 10), radius=8, angle=45)
    msp.add_ordinate_x_dim(feature_location=(200, 5), offset=(3, 12), origin=(190, 0))
    msp.add_ordinate_y_dim(feature_location=(200, 5), offset=(12, -3), origin=(190, 0))
    msp.add_leader([(0, 60), (10, 70), (25, 70)])
    msp.add_leader([(40, 60), (50, 70), (65, 70)], dxfattribs={"has_arrowhead": 0})
    msp.add_leader([(80, 60), (85, 68), (95, 66), (105, 72)], dxfattribs={"path_type": 1})


def recut_mtext(path, split):
    """The contents of each long MTEXT cut again after 250 bytes of the
    file's text (its escapes counted as written), as other programs cut
    them, not after 250 characters; with `split` a cut may fall inside an
    escape, else it is moved before it."""
    with open(path, "rb") as f:
        data = f.read()
    nl = b"\r\n" if b"\r\n" in data else b"\n"
    lines = data.split(nl)
    out, i, kind = [], 0, b""
    while i < len(lines) - 1:
        code, value = lines[i].strip(), lines[i + 1]
        if code == b"0":
            kind = value.strip()
        if code == b"3" and kind == b"MTEXT":
            raw, j = b"", i
            while lines[j].strip() == b"3":
                raw, j = raw + lines[j + 1], j + 2
            raw, i = raw + lines[j + 1], j + 2
            while len(raw) > 250:
                cut = 250
                escape = raw.rfind(b"\\", cut - 6, cut)
                if not split and escape >= 0 and raw[escape:escape + 3] == b"\\U+" and escape + 7 > cut:
                    cut = escape
                out += [b"  3", raw[:cut]]
                raw = raw[cut:]
            out += [b"  1", raw]
            continue
        out += [lines[i], value]
        i += 2
    with open(path, "wb") as f:
        f.write(nl.join(out + lines[i:]))


def escaped_texts(msp):
    """Texts of characters the drawing's code page lacks, which files
    before the 2007 form write as escapes ("\\U+03B1"): short ones, and
    MTEXTs long enough to go in pieces."""
    msp.add_text("short α Ω", dxfattribs={"height": 2, "insert": (0, -10)})
    msp.add_mtext("short α 中", dxfattribs={"insert": (0, 0), "char_height": 2})
    long = " ".join("Ω%d 中文 α" % i for i in range(60))
    msp.add_mtext(long, dxfattribs={"insert": (0, 20), "char_height": 2, "width": 80})
    msp.add_mtext("{\\C1;" + long + "}\\P" + long, dxfattribs={"insert": (0, 60), "char_height": 2, "width": 80})


def save(doc, folder, name, made):
    path = os.path.join(folder, name + ".dxf")
    doc.saveas(path)
    made.append(path)
    return path


def main(folder):
    os.makedirs(folder, exist_ok=True)
    made = []
    for version in VERSIONS:
        doc = ezdxf.new(version)
        cjk = version != "R12"
        if version in ("R2000", "R2004"):
            # Chinese in the drawing's code page, as such files hold it.
            doc.header["$DWGCODEPAGE"] = "ANSI_936"
            doc.encoding = "gbk"
        tables(doc, cjk)
        msp = doc.modelspace()
        entities(doc, msp, cjk)
        extended_data(doc, msp)
        save(doc, folder, "kinds_" + version, made)
    for version in ["R2000", "R2018"]:
        doc = ezdxf.new(version)
        ocs(doc.modelspace())
        save(doc, folder, "ocs_" + version, made)
    doc = ezdxf.new("R2010")
    large_loops(doc.modelspace())
    save(doc, folder, "loops_R2010", made)
    doc = ezdxf.new("R2013")
    cjk_names(doc, doc.modelspace())
    extended_data(doc, doc.modelspace())
    padded_handles(save(doc, folder, "padded_R2013", made))
    for version in ["R12", "R2000", "R2018"]:
        doc = ezdxf.new(version, setup=True)
        standard_setup(doc, doc.modelspace())
        save(doc, folder, "setup_" + version, made)
    doc = ezdxf.new("R12")
    doc.modelspace().add_line((0, 0), (3, 4))
    doc.modelspace().add_text("short", dxfattribs={"height": 1})
    padded_handles(save(doc, folder, "padded_R12", made))
    for version in ["R2000", "R2010"]:
        doc = ezdxf.new(version)
        other_writers(doc, doc.modelspace())
        names_for_handles(save(doc, folder, "names_" + version, made), version)
    doc = ezdxf.new("R12")
    msp = doc.modelspace()
    tables(doc, False)
    entities(doc, msp, False)
    without_handles(save(doc, folder, "nohandles_R12", made))
    # What other programs write: dimensions without graphics and leaders,
    # long texts cut after 250 bytes of their escapes.
    for version in ["R2000", "R2010"]:
        doc = ezdxf.new(version)
        blockless(doc, doc.modelspace())
        save(doc, folder, "blockless_" + version, made)
    for split in (False, True):
        doc = ezdxf.new("R2000")
        escaped_texts(doc.modelspace())
        recut_mtext(save(doc, folder, "other_writers_R2000" + ("_split" if split else ""), made), split)
    for path in made:
        print(path)


if __name__ == "__main__":
    main(sys.argv[1])
