#!/usr/bin/python3
"""Prints what ezdxf reads from a DXF file as sorted summary lines, the form
the drawing-file tests compare with their own summary of the stand-in's
database (summary.cpp). Used by make_fixtures.py for the expected summaries
of the fixtures and by the tests on files the stand-in wrote.

usage: dxf_summary.py FILE.dxf
"""
import re
import sys

import ezdxf
from ezdxf.math import Vec3
from ezdxf.tools.text import caret_decode


# Tables entries ezdxf adds to every drawing it reads (the stand-in's
# summary leaves them out too).
ADDED_BY_EZDXF = {"ACAD", "Defpoints"}


def unicode_escapes(s):
    """Resolves "\\U+XXXX" (and "\\U+XXXXXXXX" beyond the first plane),
    which drawings of the older forms use for characters outside their code
    page; ezdxf leaves them as they are."""
    def one(m):
        digits = m.group(1)
        if len(digits) == 8 and not 0x10000 <= int(digits, 16) <= 0x10FFFF:
            return chr(int(digits[:4], 16)) + digits[4:]
        return chr(int(digits, 16))
    return re.sub(r"\\[Uu]\+([0-9A-Fa-f]{8}|[0-9A-Fa-f]{4})", one, s)


def text(s):
    return unicode_escapes(caret_decode(str(s))).replace("\r", "\\r").replace("\n", "\\n")


def num(v):
    return "%.10g" % v


def coord(v):
    r = round(v, 6)
    return "%.6f" % (0.0 if r == 0 else r)


def points(pts):
    return ";".join(",".join(coord(c) for c in Vec3(p)) for p in pts)


def geometry(e):
    """Points of an entity in world coordinates, as ezdxf works them out."""
    t, d = e.dxftype(), e.dxf
    if t == "LINE":
        return [d.start, d.end]
    if t == "CIRCLE":
        return [e.ocs().to_wcs(d.center)]
    if t in ("ARC", "ELLIPSE"):
        return [e.start_point, e.end_point]
    if t == "LWPOLYLINE":
        return list(e.vertices_in_wcs())
    if t == "POINT":
        return [d.location]
    if t in ("TEXT", "ATTDEF", "INSERT"):
        return [d.insert]
    if t == "SOLID":
        return [d.vtx0, d.vtx1, d.vtx2, d.vtx3]
    if t == "MLINE":
        return [v.location for v in e.vertices]
    if t == "IMAGE":
        return [d.insert, d.insert + d.u_pixel * d.image_size.x + d.v_pixel * d.image_size.y]
    return None


def value(tag):
    code, v = tag.code, tag.value
    if isinstance(v, (tuple, list)) or hasattr(v, "x"):
        return ",".join(num(c) for c in v)
    if isinstance(v, float):
        return num(v)
    if 320 <= code <= 369 or 390 <= code <= 399 or code in (5, 105, 480, 481):
        return str(v).upper()
    return text(v)


def xrecords(lines, owner, entity):
    if not entity.has_extension_dict:
        return
    xdict = entity.get_extension_dict()
    for key, obj in xdict.items():
        if obj is None or isinstance(obj, str) or obj.dxftype() != "XRECORD":
            continue
        data = "|".join("%d:%s" % (t.code, value(t)) for t in obj.tags)
        lines.append("XRECORD %s %s %s" % (owner, key, data))


def draw_order(layout):
    mapping = dict(layout.get_redraw_order())
    keyed = [(int(mapping.get(e.dxf.handle, e.dxf.handle), 16), i, e.dxf.handle) for i, e in enumerate(layout)]
    return [h for _, _, h in sorted(keyed)]


def summary(path):
    doc = ezdxf.readfile(path)
    lines = []
    for layer in doc.layers:
        d = layer.dxf
        if d.name in ADDED_BY_EZDXF:
            continue
        lines.append("LAYER %s|%d|%s|%d|%d|%d" % (text(d.name), abs(d.color), d.linetype, layer.is_frozen(),
                                                  layer.is_locked(), layer.is_off()))
        xrecords(lines, d.handle, layer)
    for lt in doc.linetypes:
        lines.append("LTYPE %s" % lt.dxf.name)
    for st in doc.styles:
        if st.dxf.name:
            lines.append("STYLE %s" % st.dxf.name)
    for app in doc.appids:
        if app.dxf.name not in ADDED_BY_EZDXF:
            lines.append("APPID %s" % app.dxf.name)
    images = {}
    for block in doc.blocks:
        # Dimension graphics: the stand-in makes none and keeps none.
        if block.name.upper().startswith("*D"):
            continue
        entities = list(block)
        lines.append("BLOCK %s|%d" % (block.name, len(entities)))
        if block.get_redraw_order():
            lines.append("DRAWORDER %s %s" % (block.name, ",".join(draw_order(block))))
        for e in entities:
            t = e.dxftype()
            lines.append("ENTITY %s|%s|%s|%s" % (e.dxf.handle, t, text(e.dxf.layer), block.name))
            xrecords(lines, e.dxf.handle, e)
            geom = geometry(e)
            if geom:
                lines.append("GEOM %s %s" % (e.dxf.handle, points(geom)))
            if t in ("TEXT", "ATTDEF"):
                lines.append("TEXT %s %s" % (e.dxf.handle, text(e.dxf.text)))
            elif t == "MTEXT":
                lines.append("TEXT %s %s" % (e.dxf.handle, text(e.text)))
            elif t == "INSERT":
                lines.append("INSERT %s %s" % (e.dxf.handle, e.dxf.name))
                for a in e.attribs:
                    lines.append("ATTRIB %s %s %s=%s" % (e.dxf.handle, a.dxf.handle, a.dxf.tag,
                                                         text(a.dxf.text)))
                    xrecords(lines, a.dxf.handle, a)
            elif t == "IMAGE":
                images[e.dxf.handle] = e.dxf.image_def_handle
            elif t == "HATCH":
                gradient = e.gradient.name if e.has_gradient_data else "-"
                lines.append("HATCH %s %d %s %s" % (e.dxf.handle, len(e.paths), e.dxf.pattern_name, gradient))
    for handle, def_handle in images.items():
        image_def = doc.entitydb.get(def_handle)
        lines.append("IMAGE %s %s" % (handle, image_def.dxf.filename if image_def else "-"))
    return sorted(lines)


if __name__ == "__main__":
    for line in summary(sys.argv[1]):
        print(line)
