"""Drawings of every entity kind for the velkhost editing tests, and the
check that a saved drawing holds them moved, by ezdxf's own reading of each
kind (an independent reader: the stand-in host keeps several of these
kinds as the file gave them).

    edit_kinds.py make OUT [solid|bare|types]
                                     one entity of every kind (and a
                                     3DSOLID; or with the LEADER, XLINE,
                                     RAY, TOLERANCE and MESH written without
                                     subclass markers; or with every form
                                     of the types that have several:
                                     polylines and meshes, dimensions,
                                     a MINSERT, and an ATTDEF and an MLINE)
    edit_kinds.py check IN OUT DX DY every entity of IN is in OUT moved by
                                     DX,DY (those on a locked or frozen
                                     layer as they were); exit 1 naming
                                     each difference
    edit_kinds.py copies IN OUT DX DY
                                     every entity of IN is in OUT as it was
                                     and, but for those on a locked or
                                     frozen layer, once more moved by DX,DY
    edit_kinds.py bare IN OUT DX DY  the positions (10) of the records IN
                                     has without markers are in OUT moved
                                     by DX,DY, their directions (11) as
                                     they were
"""
import math
import sys

import ezdxf
from ezdxf.math import Vec2, Vec3
from ezdxf.render import mleader


BARE = ('LEADER', 'XLINE', 'RAY', 'TOLERANCE', 'MESH')


def records(path):
    """The ENTITIES section's records: (type, [(code, value line)])."""
    lines = open(path, encoding='utf-8', errors='replace').read().splitlines()
    pairs = [(int(lines[i]), lines[i + 1].strip()) for i in range(0, len(lines) - 1, 2)]
    out, section, record = [], None, None
    for i, (code, value) in enumerate(pairs):
        if code == 0:
            record = None
            if section == 'ENTITIES' and value != 'ENDSEC':
                record = (value, [])
                out.append(record)
        elif code == 2 and i > 0 and pairs[i - 1] == (0, 'SECTION'):
            section = value
        elif record is not None:
            record[1].append((code, value))
    return out, pairs


def strip_markers(path):
    _, pairs = records(path)
    kept, section, record = [], None, None
    for i, (code, value) in enumerate(pairs):
        if code == 0:
            record = value
        elif code == 2 and i > 0 and pairs[i - 1] == (0, 'SECTION'):
            section = value
        if section == 'ENTITIES' and record in BARE and code == 100:
            continue
        kept.append('%d\n%s\n' % (code, value))
    with open(path, 'w', encoding='utf-8') as f:
        f.write(''.join(kept))


def bare(first, saved, dx, dy):
    wrong = []
    def by_handle(path):
        return {dict(g).get(5): (t, g) for t, g in records(path)[0] if t in BARE}
    a, b = by_handle(first), by_handle(saved)
    for handle, (kind, groups) in a.items():
        if handle not in b:
            wrong.append('%s %s is not in the saved drawing' % (kind, handle))
            continue
        want = [(c, float(v) + (dx if c == 10 else dy if c == 20 else 0)) for c, v in groups if c in (10, 20, 11, 21)]
        got = [(c, float(v)) for c, v in b[handle][1] if c in (10, 20, 11, 21)]
        if len(want) != len(got) or any(c != d or not math.isclose(x, y, abs_tol=1e-9)
                                         for (c, x), (d, y) in zip(want, got)):
            wrong.append('%s %s: %s, saved %s' % (kind, handle, want, got))
    for line in wrong:
        print(line)
    return 1 if wrong or not a else 0


def make(out, solid):
    doc = ezdxf.new('R2010')
    doc.layers.add('LOCKED').lock()
    doc.layers.add('FROZEN').freeze()
    msp = doc.modelspace()
    msp.add_3dface([(0, 0, 0), (1, 0, 0.5), (1, 1, 0), (0, 1, 0)])
    msp.add_trace([(2, 0), (3, 0), (2, 1), (3, 1)])
    # In a plane of its own: its points are in that plane.
    msp.add_trace([(-3, 0.5, 6), (-4, 0.5, 6), (-3, 0.5, 7), (-4, 0.5, 7)], dxfattribs=dict(extrusion=(0, 1, 0)))
    mesh = msp.add_mesh()
    with mesh.edit_data() as data:
        data.vertices = [(0, 2, 0), (1, 2, 0), (1, 3, 1)]
        data.faces = [(0, 1, 2)]
    msp.add_leader([(0, 4), (5, 9), (10, 9)])
    ml = msp.add_multileader_mtext('Standard')
    ml.set_content('note')
    ml.add_leader_line(mleader.ConnectionSide.left, [Vec2(2, 12)])
    ml.build(insert=Vec2(6, 14))
    msp.add_xline((1, 2), (0.6, 0.8))
    msp.add_ray((3, 4), (0, 1))
    msp.new_entity('TOLERANCE', dict(insert=(7, 8, 0), dimstyle='Standard', content='{\\Fgdt;j}%%v0.1',
                                     extrusion=(0, 0, 1), x_axis_vector=(0.8, 0.6, 0)))
    # Its graphics are a block of its own, which goes with it.
    msp.add_arc_dim_3p(base=(30, 12), center=(30, 5), p1=(33, 5), p2=(30, 8)).render()
    # Its first point is its elevation; its paths' vertices lie in its plane.
    mpolygon = msp.add_mpolygon(dxfattribs=dict(elevation=(0, 0, 2.5)))
    mpolygon.paths.add_polyline_path([(40, 0), (44, 0, 0.5), (44, 3)], is_closed=True)
    mpolygon.paths.add_polyline_path([(41, 1), (42, 1), (42, 2)], is_closed=True)
    msp.add_line((0, 0), (3, 4))
    msp.add_arc((5, 5), 2, 33.3, 271.7)
    msp.add_text('rotated', dxfattribs=dict(insert=(1, 20), height=1.3, rotation=28.6))
    block = doc.blocks.new('MARK')
    block.add_line((0, 0), (1, 1))
    block.add_attdef('TAG', (0.5, -1), dxfattribs=dict(height=0.75))
    ref = msp.add_blockref('MARK', (-10, 5))
    ref.add_attrib('TAG', 'value', (-9.5, 4))
    msp.add_line((40, 0), (41, 1), dxfattribs=dict(layer='LOCKED'))
    msp.add_circle((40, 5), 1, dxfattribs=dict(layer='FROZEN'))
    if solid == 'solid':
        msp.add_3dsolid()
    if solid == 'types':
        add_every_form(msp)
    doc.saveas(out)
    if solid == 'bare':
        strip_markers(out)


def add_every_form(msp):
    msp.add_lwpolyline([(50, 0), (51, 1), (52, 0)])
    msp.add_polyline2d([(50, 5), (51, 6), (52, 5)])
    msp.add_polyline3d([(50, 10, 0), (51, 11, 1), (52, 10, 2)])
    mesh = msp.add_polymesh(size=(2, 2))
    for m in range(2):
        for n in range(2):
            mesh.set_mesh_vertex((m, n), (55 + m, n, m * n))
    face = msp.add_polyface()
    face.append_face([(60, 0, 0), (61, 0, 0), (61, 1, 0)])
    msp.add_linear_dim(base=(70, 3), p1=(70, 0), p2=(75, 0)).render()
    msp.add_aligned_dim(p1=(70, 10), p2=(75, 12), distance=2).render()
    msp.add_radius_dim(center=(80, 0), radius=2, angle=30).render()
    msp.add_diameter_dim(center=(80, 10), radius=2, angle=45).render()
    msp.add_angular_dim_3p(base=(90, 5), center=(90, 0), p1=(93, 0), p2=(90, 3)).render()
    msp.add_attdef('LOOSE', (95, 0), dxfattribs=dict(height=0.5))
    msp.add_mline([(100, 0), (105, 0), (105, 5)])
    grid = msp.add_blockref('MARK', (110, 0))
    grid.grid(size=(2, 3), spacing=(2, 2))


# What each kind holds where: positions ezdxf moves with the entity and
# every other value, read the same way from both files.
def values(e):
    out = {}
    for key, value in e.dxf.all_existing_dxf_attribs().items():
        if key in ('handle', 'owner'):
            continue
        out['dxf.' + key] = value
    kind = e.dxftype()
    if kind == 'MESH':
        out['vertices'] = [Vec3(v) for v in e.vertices]
    elif kind == 'LEADER':
        out['vertices'] = [Vec3(v) for v in e.vertices]
    elif kind == 'MULTILEADER':
        c = e.context
        out['base_point'] = Vec3(c.base_point)
        out['plane_origin'] = Vec3(c.plane_origin)
        if c.mtext:
            out['mtext.insert'] = Vec3(c.mtext.insert)
        for i, leader in enumerate(c.leaders):
            out['leader%d.last' % i] = Vec3(leader.last_leader_point)
            for j, line in enumerate(leader.lines):
                out['leader%d.line%d' % (i, j)] = [Vec3(v) for v in line.vertices]
    elif kind == 'INSERT':
        out['attribs'] = [Vec3(a.dxf.insert) for a in e.attribs]
    elif kind == 'MPOLYGON':
        out['paths'] = [[Vec3(v) for v in p.vertices] for p in e.paths]
    elif kind in ('DIMENSION', 'ARC_DIMENSION'):
        block = e.get_geometry_block()
        out['graphics'] = [Vec3(g.dxf.get(key)) for g in (block or []) for key in
                           ('start', 'end', 'insert', 'center', 'location') if g.dxf.hasattr(key)]
    return out


def close(a, b):
    if isinstance(a, list):
        return isinstance(b, list) and len(a) == len(b) and all(close(x, y) for x, y in zip(a, b))
    if isinstance(a, (Vec3, tuple)) and not isinstance(a, str):
        try:
            return Vec3(a).isclose(Vec3(b), abs_tol=1e-9)
        except Exception:
            return False
    if isinstance(a, float):
        return isinstance(b, (int, float)) and math.isclose(a, b, abs_tol=1e-9)
    return a == b


def copies(first, saved, dx, dy):
    a = ezdxf.readfile(first)
    b = ezdxf.readfile(saved)
    before = {e.dxf.handle for e in a.modelspace()}
    new = [e for e in b.modelspace() if e.dxf.handle not in before]
    wrong = []
    if check(first, saved, 0, 0, quiet=True):
        wrong.append('the originals are not as they were')
    for e in a.modelspace():
        layer = a.layers.get(e.dxf.layer) if a.layers.has_entry(e.dxf.layer) else None
        if layer is not None and (layer.is_locked() or layer.is_frozen()):
            continue
        e.translate(dx, dy, 0)
        want = values(e)
        # A copy's graphics are a block of its own, compared by what it holds.
        want = {k: v for k, v in want.items() if k not in ('dxf.handle', 'dxf.geometry')}
        match = None
        for other in new:
            got = values(other)
            if other.dxftype() == e.dxftype() and all(
                    close(v, got[k] if k in got else (other.dxf.get_default(k[4:]) if k.startswith('dxf.') else None))
                    for k, v in want.items() if k not in ('dxf.owner',)):
                match = other
                break
        if match is None:
            wrong.append('%s %s has no copy moved by %s,%s' % (e.dxftype(), e.dxf.handle, dx, dy))
        else:
            new.remove(match)
    for line in wrong:
        print(line)
    return 1 if wrong else 0


def check(first, saved, dx, dy, quiet=False):
    a = ezdxf.readfile(first)
    b = ezdxf.readfile(saved)
    by_handle = {e.dxf.handle: e for e in b.modelspace()}
    wrong = []
    for e in a.modelspace():
        other = by_handle.get(e.dxf.handle)
        if other is None:
            wrong.append('%s %s is not in the saved drawing' % (e.dxftype(), e.dxf.handle))
            continue
        layer = a.layers.get(e.dxf.layer) if a.layers.has_entry(e.dxf.layer) else None
        stays = layer is not None and (layer.is_locked() or layer.is_frozen())
        if not stays:
            e.translate(dx, dy, 0)
        want, got = values(e), values(other)
        for key, value in want.items():
            # A value left out is the default.
            saved = got[key] if key in got else (other.dxf.get_default(key[4:]) if key.startswith('dxf.') else None)
            if not close(value, saved):
                wrong.append('%s %s %s: %s, saved %s' % (e.dxftype(), e.dxf.handle, key, value, saved))
    if not quiet:
        for line in wrong:
            print(line)
    return 1 if wrong else 0


if __name__ == '__main__':
    if sys.argv[1] == 'make':
        make(sys.argv[2], sys.argv[3] if len(sys.argv) > 3 else None)
    else:
        run = {'check': check, 'copies': copies, 'bare': bare}[sys.argv[1]]
        sys.exit(run(sys.argv[2], sys.argv[3], float(sys.argv[4]), float(sys.argv[5])))
