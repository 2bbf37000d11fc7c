"""Drawings in other writers' spellings, for the edit reckoning: each is
written by ezdxf and then respelled group by group as other programs spell
the same values, one kind of spelling a drawing, so that a case that fails
says which spelling it fails on.

    explicit_defaults   normals 210/220/230 of 0,0,1 given (LWPOLYLINE,
                        MTEXT, DIMENSION, POLYLINE), an LWPOLYLINE's
                        elevation 38 of 0, a LINE's 6 ByLayer, 62 256 and
                        370 -1
    name_letters        names in other letters than their table records
                        (a linetype CONTINUOUS, a text style standard, a
                        dimension style STANDARD, a layer in lower case)
                        and a text style the table lacks
    mtext_direction     MTEXT turned by its direction (11), not a rotation
    zscale_zero         INSERTs of z scale 0 (a mirrored one, a half-size
                        one with an attribute)
    kept_points_2d      records kept whole whose points have no z: an ARC
                        and a CIRCLE of radius 0, a LEADER written 2-D
    hatch_arcs_past_360 hatch edge arcs and elliptic arcs whose angles lie
                        past a turn (370 to 450, 300 to 60)
    vertex_layers       POLYLINE vertices on layers of their own, and
                        vertices that name none
    positions_held      a left-aligned TEXT and ATTRIB that give an alignment
                        point all the same, an LWPOLYLINE's elevation of 0
                        before its count and flags
    image_ellipse       an IMAGE whose display option uses a clip but whose
                        clipping flag (280) is off, one without the groups
                        other writers leave out (version, brightness,
                        contrast, fade, clip); ELLIPSEs whose end parameter
                        lies before their start

`make(name, path)` writes one; `NAMES` lists them.
"""
import ezdxf


class Tags:
    """A DXF file as its groups, (code, value line), to respell."""

    def __init__(self, path):
        with open(path, encoding="utf-8", newline="") as f:
            lines = f.read().split("\n")
        self.groups = [(int(lines[i]), lines[i + 1].rstrip("\r")) for i in range(0, len(lines) - 1, 2)]

    def save(self, path):
        with open(path, "w", encoding="utf-8", newline="\n") as f:
            for code, value in self.groups:
                f.write("%3d\n%s\n" % (code, value))

    def record(self, handle):
        """The first and past the last group of the record of `handle`."""
        for i, (code, value) in enumerate(self.groups):
            if code == 5 and value == handle:
                start = i
                while self.groups[start][0] != 0:
                    start -= 1
                end = i + 1
                while self.groups[end][0] != 0:
                    end += 1
                return start, end
        raise KeyError(handle)

    def at(self, handle, code, nth=0):
        start, end = self.record(handle)
        found = [i for i in range(start, end) if self.groups[i][0] == code]
        if nth >= len(found):
            raise KeyError("%s has no %d of code %d" % (handle, nth + 1, code))
        return found[nth]

    def after(self, handle, code, groups, nth=0):
        i = self.at(handle, code, nth) + 1
        self.groups[i:i] = groups

    def set(self, handle, code, value, nth=0):
        i = self.at(handle, code, nth)
        self.groups[i] = (code, value)

    def drop(self, handle, code, every=False):
        while True:
            try:
                i = self.at(handle, code)
            except KeyError:
                return
            del self.groups[i]
            if not every:
                return

    def drop_after(self, handle, code):
        """Every group of `code` in the records after `handle`'s up to the
        next that is none of VERTEX and SEQEND: a polyline's vertices."""
        _, i = self.record(handle)
        while True:
            end = i + 1
            while self.groups[end][0] != 0:
                end += 1
            if self.groups[i][1] not in ("VERTEX", "SEQEND"):
                return
            self.groups[i:end] = [g for g in self.groups[i:end] if g[0] != code]
            while self.groups[i + 1][0] != 0:
                i += 1
            i += 1

    def set_after(self, handle, code, value):
        """The vertices' `code` set to `value` (see drop_after)."""
        _, i = self.record(handle)
        while self.groups[i][1] in ("VERTEX", "SEQEND"):
            end = i + 1
            while self.groups[end][0] != 0:
                end += 1
            if self.groups[i][1] == "VERTEX":
                for k in range(i, end):
                    if self.groups[k][0] == code:
                        self.groups[k] = (code, value)
            i = end


NORMAL = [(210, "0.0"), (220, "0.0"), (230, "1.0")]


def explicit_defaults(doc, msp):
    lw = msp.add_lwpolyline([(0, 0), (5, 0, 0.5), (5, 5)], format="xyb")
    mt = msp.add_mtext("explicit", dxfattribs=dict(insert=(1, 2), char_height=1))
    dim = msp.add_linear_dim(base=(3, 2), p1=(0, 0), p2=(3, 0))
    dim.render()
    pl = msp.add_polyline2d([(0, 0), (3, 1), (4, 4)])
    line = msp.add_line((0, 0), (3, 4))

    def respell(t):
        t.after(lw.dxf.handle, 70, [(38, "0.0")])
        t.groups[t.record(lw.dxf.handle)[1]:t.record(lw.dxf.handle)[1]] = NORMAL
        t.groups[t.record(mt.dxf.handle)[1]:t.record(mt.dxf.handle)[1]] = NORMAL
        t.after(dim.dimension.dxf.handle, 71, NORMAL)
        t.after(pl.dxf.handle, 70, NORMAL)
        t.after(line.dxf.handle, 8, [(6, "ByLayer"), (62, "256"), (370, "-1")])
    return respell


def name_letters(doc, msp):
    doc.layers.add("UPPER")
    line = msp.add_line((0, 0), (3, 4), dxfattribs=dict(linetype="Continuous", layer="UPPER"))
    text = msp.add_text("letters", dxfattribs=dict(insert=(1, 1), height=1, style="Standard"))
    other = msp.add_text("no such style", dxfattribs=dict(insert=(1, 3), height=1))
    dim = msp.add_linear_dim(base=(3, 2), p1=(0, 0), p2=(3, 0), dimstyle="Standard")
    dim.render()

    def respell(t):
        t.set(line.dxf.handle, 6, "CONTINUOUS")
        t.set(line.dxf.handle, 8, "upper")
        t.after(text.dxf.handle, 40, [(7, "standard")])
        t.after(other.dxf.handle, 40, [(7, "ROMANS")])
        t.set(dim.dimension.dxf.handle, 3, "STANDARD")
    return respell


def mtext_direction(doc, msp):
    mt = msp.add_mtext("by direction", dxfattribs=dict(insert=(4, 5), char_height=1, width=20,
                                                        text_direction=(0.8, 0.6, 0)))

    def respell(t):
        t.drop(mt.dxf.handle, 50, every=True)
    return respell


def mark_block(doc):
    block = doc.blocks.new("MARK", base_point=(0.5, 0))
    block.add_line((0, 0), (2, 1))
    block.add_circle((0.5, 0.5), 0.25)
    block.add_attdef("TAG", (0.5, -1), dxfattribs=dict(height=0.75))


def zscale_zero(doc, msp):
    mark_block(doc)
    mirrored = msp.add_blockref("MARK", (10, 10), dxfattribs=dict(xscale=-1, rotation=20))
    half = msp.add_blockref("MARK", (20, 10), dxfattribs=dict(xscale=0.5, yscale=0.5))
    half.add_attrib("TAG", "half", (20, 9.5), dxfattribs=dict(height=0.375))

    def respell(t):
        t.after(mirrored.dxf.handle, 41, [(43, "0.0")])
        t.after(half.dxf.handle, 42, [(43, "0")])
    return respell


def kept_points_2d(doc, msp):
    arc = msp.add_arc((5, 5), 1, 30, 120)
    circle = msp.add_circle((8, 5), 1)
    leader = msp.add_leader([(0, 4), (5, 9), (10, 9)])

    def respell(t):
        # No radius: kept whole as the file gave it.
        t.set(arc.dxf.handle, 40, "0.0")
        t.set(circle.dxf.handle, 40, "0.0")
        for h in (arc.dxf.handle, circle.dxf.handle, leader.dxf.handle):
            t.drop(h, 30, every=True)
    return respell


def hatch_arcs_past_360(doc, msp):
    hatch = msp.add_hatch(color=3)
    path = hatch.paths.add_edge_path()
    path.add_line((0, 0), (10, 0))
    path.add_arc((10, 5), 5, 270, 90)
    path.add_ellipse((5, 10), major_axis=(5, 0), ratio=0.4, start_angle=0, end_angle=180)
    path.add_line((0, 10), (0, 0))
    other = msp.add_hatch(color=4)
    path = other.paths.add_edge_path()
    path.add_arc((30, 5), 5, 0, 90)
    path.add_line((30, 10), (30, 5))
    path.add_line((30, 5), (35, 5))

    def respell(t):
        # 270 to 90 as 630 to 450, 0 to 180 as 360 to 540, 0 to 90 as 360 to 450
        start, end = t.record(hatch.dxf.handle)
        arcs = [i for i in range(start, end) if t.groups[i][0] == 50]
        t.groups[arcs[0]] = (50, "630.0")
        t.groups[arcs[0] + 1] = (51, "450.0")
        t.groups[arcs[1]] = (50, "360.0")
        t.groups[arcs[1] + 1] = (51, "540.0")
        t.set(other.dxf.handle, 50, "360")
        t.set(other.dxf.handle, 51, "450")
    return respell


def vertex_layers(doc, msp):
    doc.layers.add("VERTICES")
    own = msp.add_polyline2d([(0, 0), (3, 1), (4, 4)], dxfattribs=dict(layer="0"))
    none = msp.add_polyline3d([(0, 0, 1), (3, 1, 2), (4, 4, 3)], dxfattribs=dict(layer="VERTICES"))

    def respell(t):
        t.set_after(own.dxf.handle, 8, "VERTICES")
        t.drop_after(none.dxf.handle, 8)
    return respell


def image_ellipse(doc, msp):
    definition = doc.add_image_def(filename="tile.png", size_in_pixel=(64, 32))
    image = msp.add_image(definition, insert=(0, 20), size_in_units=(6.4, 3.2), rotation=10)
    image.dxf.flags = 15
    image.dxf.clipping = 0
    bare = msp.add_image(definition, insert=(10, 20), size_in_units=(6.4, 3.2))
    before = msp.add_ellipse((0, 0), major_axis=(3, 1), ratio=0.5, start_param=4.0, end_param=1.0)
    msp.add_ellipse((9, 0), major_axis=(0, 2), ratio=0.25, start_param=6.0, end_param=0.2)

    def respell(t):
        t.set(image.dxf.handle, 280, "0")
        # An image with what other writers leave out left out: its version,
        # brightness, contrast, fade and clip.
        for code in (90, 281, 282, 283, 71, 91, 14, 24):
            t.drop(bare.dxf.handle, code, every=True)
        t.set(before.dxf.handle, 42, "1.0")
    return respell


def positions_held(doc, msp):
    """Every position a record holds: a left-aligned TEXT and ATTRIB that
    give an alignment point all the same, an LWPOLYLINE whose elevation 0
    comes before its count and flags. (A position given twice is pinned by
    DxfRespell.EveryPositionARecordHoldsMovesWithIt: ezdxf keeps the last
    of a code given twice, so its translation tells nothing of the first.)"""
    mark_block(doc)
    text = msp.add_text("left", dxfattribs=dict(insert=(5, 6), height=1))
    ref = msp.add_blockref("MARK", (2, 3))
    attrib = ref.add_attrib("TAG", "left too", (2, 2))
    lw = msp.add_lwpolyline([(0, 0), (5, 0), (5, 5)])

    def respell(t):
        for handle in (text.dxf.handle, attrib.dxf.handle):
            t.after(handle, 30, [(11, "9.0"), (21, "8.0"), (31, "0.0")])
        t.drop(lw.dxf.handle, 38)
        i = t.at(lw.dxf.handle, 90)
        t.groups[i:i] = [(38, "0.0")]
    return respell


NAMES = {
    "positions_held": positions_held,
    "explicit_defaults": explicit_defaults,
    "name_letters": name_letters,
    "mtext_direction": mtext_direction,
    "zscale_zero": zscale_zero,
    "kept_points_2d": kept_points_2d,
    "hatch_arcs_past_360": hatch_arcs_past_360,
    "vertex_layers": vertex_layers,
    "image_ellipse": image_ellipse,
}


def make(name, path):
    doc = ezdxf.new("R2010", setup=False)
    respell = NAMES[name](doc, doc.modelspace())
    doc.saveas(path)
    tags = Tags(path)
    respell(tags)
    tags.save(path)
