"""Drawings of every entity kind for the velkhost editing tests, and the
check that a saved drawing holds them moved, by ezdxf's own reading of each
kind (an independent reader: the stand-in host keeps several of these
kinds as the file gave them).

    edit_kinds.py make OUT [solid]   one entity of every kind (and a 3DSOLID)
    edit_kinds.py check IN OUT DX DY every entity of IN is in OUT moved by
                                     DX,DY (those on a locked or frozen
                                     layer as they were); exit 1 naming
                                     each difference
"""
import math
import sys

import ezdxf
from ezdxf.math import Vec2, Vec3
from ezdxf.render import mleader


def make(out, solid):
    doc = ezdxf.new('R2010')
    doc.layers.add('LOCKED').lock()
    doc.layers.add('FROZEN').freeze()
    msp = doc.modelspace()
    msp.add_3dface([(0, 0, 0), (1, 0, 0.5), (1, 1, 0), (0, 1, 0)])
    msp.add_trace([(2, 0), (3, 0), (2, 1), (3, 1)])
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
    if solid:
        msp.add_3dsolid()
    doc.saveas(out)


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


def check(first, saved, dx, dy):
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
    for line in wrong:
        print(line)
    return 1 if wrong else 0


if __name__ == '__main__':
    if sys.argv[1] == 'make':
        make(sys.argv[2], len(sys.argv) > 3 and sys.argv[3] == 'solid')
    else:
        sys.exit(check(sys.argv[2], sys.argv[3], float(sys.argv[4]), float(sys.argv[5])))
