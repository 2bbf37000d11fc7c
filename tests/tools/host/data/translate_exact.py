"""A drawing of the kinds whose values a move is apt to disturb, and the
check that a saved drawing holds every one moved exactly: each position the
file's number plus the vector, every other value the file's own.

    translate_exact.py make OUT        the drawing
    translate_exact.py huge OUT        a LINE ending at x = 1.7e308 and one
                                       near the origin
    translate_exact.py check IN OUT DX DY DZ
                                       every entity of IN, moved by ezdxf's
                                       own translate, is in OUT value for
                                       value, compared exactly; exit 1
                                       naming each difference
"""
import math
import sys

import ezdxf
from ezdxf.math import OCS, Vec3


def make(out):
    doc = ezdxf.new('R2010')
    msp = doc.modelspace()
    msp.add_ellipse((1, 2), major_axis=(3, 1), ratio=0.5, start_param=0.3, end_param=5.1)
    msp.add_ellipse((4, -2, 0.25), major_axis=(0, 2), ratio=0.25, start_param=2.9, end_param=6.1)
    msp.add_ellipse((7, 3, 1), major_axis=(1, 0, 1), ratio=0.7, start_param=0.1, end_param=1.7,
                    dxfattribs=dict(extrusion=(-1, 0, 1)))
    spline = msp.add_open_spline([(0, 0), (1, 3), (2.5, 1.7), (4, 0.3), (5.1, 2)], degree=3)
    spline.dxf.flags = 0
    msp.add_spline([(0, 5), (1.3, 6.1), (2.7, 5.3), (3.1, 7)])
    msp.add_rational_spline([(0, 9), (1, 11), (2, 9.5), (3.3, 10)], weights=[1, 0.7, 1.3, 1], degree=2)
    # A 3-point angular dimension: its vertex (15) and its two ends (13, 14)
    # and the arc's place (10) and its text (11) and point 16 all move.
    dim = msp.add_angular_dim_3p(base=(23, 7), center=(20, 3), p1=(24.1, 3.3), p2=(20.2, 6.9))
    dim.render()
    dim.dimension.dxf.defpoint5 = (21.7, 4.9, 0)  # 16
    msp.add_linear_dim(base=(0, -6), p1=(0.3, -4), p2=(7.7, -4.1)).render()
    msp.add_radius_dim(center=(30, 0), radius=2.3, angle=37.1).render()
    msp.add_arc_dim_3p(base=(30, 12), center=(30, 5), p1=(33, 5), p2=(30, 8)).render()
    hatch = msp.add_hatch(color=3)
    path = hatch.paths.add_edge_path()
    path.add_line((0, 0), (10, 0))
    path.add_arc((10, 5), radius=5, start_angle=-90, end_angle=53.13)
    path.add_ellipse((3, 5.5), major_axis=(7, 2.5), ratio=0.3, start_angle=0, end_angle=180)
    path.add_line((-4, 5.5), (0, 0))
    hatch.paths.add_polyline_path([(1, 1, 0), (2.3, 1, 0.41), (2.3, 2.9, 0), (1, 2.9, 0)], is_closed=True)
    spline_hatch = msp.add_hatch(color=4)
    edges = spline_hatch.paths.add_edge_path()
    edges.add_spline(control_points=[(40, 0), (41.1, 2.3), (43.7, 1.9), (44, 0)],
                     knot_values=[0, 0, 0, 0, 1, 1, 1, 1], degree=3)
    edges.add_line((44, 0), (40, 0))
    ocs_hatch = msp.add_hatch(color=5, dxfattribs=dict(extrusion=(0.6, 0, 0.8), elevation=(0, 0, 1.7)))
    ocs_hatch.paths.add_polyline_path([(0, 0), (3, 0.1), (2.9, 2.2)], is_closed=True)
    pattern = msp.add_hatch(color=6)
    pattern.set_pattern_fill('ANSI31', scale=0.7, angle=15.3)
    pattern.paths.add_polyline_path([(50, 0), (53.3, 0.2), (52.9, 3.1), (50.1, 2.7)], is_closed=True)
    msp.add_lwpolyline([(0.1, 0.2, 0.3, 0.3, 0.4), (1.7, 2.3, 0, 0, 0.9), (3.3, 0.7)], format='xyseb',
                       dxfattribs=dict(const_width=0.0, elevation=2.1, extrusion=(0, 0.6, 0.8)))
    msp.add_polyline2d([(0, 0), (1.3, 2.9), (4.1, 0.3)], dxfattribs=dict(elevation=(0, 0, 0.7)))
    msp.add_polyline3d([(0, 0, 0.1), (1.3, 2.9, 0.2), (4.1, 0.3, 0.3)])
    msp.add_circle((3.3, 4.4, 5.5), 1.1, dxfattribs=dict(extrusion=(0.48, 0.6, 0.64)))
    msp.add_arc((5, 5, 0.3), 2, 33.3, 271.7, dxfattribs=dict(extrusion=(0, -1, 0)))
    msp.add_text('t', dxfattribs=dict(insert=(1.1, 20.3), height=1.3, rotation=28.6, halign=2,
                                      align_point=(5.9, 21.7)))
    msp.add_mtext('m', dxfattribs=dict(insert=(2.2, 25.1), char_height=0.9, rotation=11.3))
    msp.add_point((0.1, 0.7, 0.3))
    msp.add_solid([(0, 30), (1.1, 30.2), (0.2, 31.3)])
    msp.add_mline([(60, 0), (63.3, 0.1), (63.9, 4.3)])
    block = doc.blocks.new('MARK')
    block.add_line((0, 0), (1, 1))
    block.add_attdef('TAG', (0.5, -1), dxfattribs=dict(height=0.75))
    ref = msp.add_blockref('MARK', (-10.3, 5.7), dxfattribs=dict(rotation=17.7, xscale=1.3, yscale=1.3))
    ref.add_attrib('TAG', 'value', (-9.5, 4.1))
    definition = doc.add_image_def(filename='picture.png', size_in_pixel=(64, 32))
    msp.add_image(definition, insert=(70.1, 0.3), size_in_units=(6.4, 3.2), rotation=12.3)
    msp.add_leader([(0, 40.1), (5.3, 49.7), (10.1, 49.7)])
    msp.add_aligned_dim(p1=(80.3, 1.1), p2=(84.7, 3.9), distance=1.3).render()
    msp.add_diameter_dim(center=(90.1, 0.3), radius=1.7, angle=33.3).render()
    msp.add_angular_dim_2l(base=(97.1, 4.3), line1=((94.1, 0.1), (98.3, 0.7)), line2=((94.1, 0.1), (95.3, 3.9))).render()
    msp.add_ordinate_x_dim(feature_location=(101.3, 2.1), offset=(1.1, 2.3), origin=(100.1, 0.7)).render()
    msp.add_text('ocs', dxfattribs=dict(insert=(1.1, 2.3, 0.7), height=0.7, rotation=33.1, extrusion=(0, 0.6, 0.8)))
    msp.add_mtext('d', dxfattribs=dict(insert=(3.3, 44.1), char_height=0.7, text_direction=(0.6, 0.8, 0)))
    msp.add_point((5.1, 6.3), dxfattribs=dict(angle=13.7))
    msp.add_blockref('MARK', (-20.3, 5.7, 0.3), dxfattribs=dict(rotation=7.3, extrusion=(0.6, 0, 0.8)))
    msp.add_lwpolyline([(7.1, 0.3), (9.7, 1.9)], dxfattribs=dict(const_width=0.31))
    msp.add_xline((1.1, 2.3), (0.6, 0.8))
    msp.add_ray((3.7, 4.9), (0, 1))
    # Dimensions seen from below: their text's middle (11) and a 2-line
    # angular one's arc point (16) are in their own plane, the rest in the
    # world.
    below = msp.add_linear_dim(base=(110.1, -6), p1=(110.3, -4), p2=(117.7, -4.1))
    below.render()
    below.dimension.dxf.extrusion = (0, 0, -1)
    below.dimension.dxf.text_midpoint = (-113.9, -5.7, 0)
    angular = msp.add_angular_dim_2l(base=(127.1, 4.3), line1=((124.1, 0.1), (128.3, 0.7)),
                                     line2=((124.1, 0.1), (125.3, 3.9)))
    angular.render()
    angular.dimension.dxf.extrusion = (0, 0, -1)
    angular.dimension.dxf.defpoint5 = (-127.1, 4.3, 0)
    # Angles past 0 to 360 and normals not of length 1 are the file's own.
    msp.add_arc((140.3, 2.1), 1.7, 13.3, -2.0257)
    msp.add_arc((143.3, 2.1, 0.7), 1.3, 371.1, 93.7, dxfattribs=dict(extrusion=(0, 1.2, 1.6)))
    msp.add_circle((146.1, 2.3, 0.3), 0.9, dxfattribs=dict(extrusion=(0, 0, 2)))
    msp.add_line((150.1, 0.3), (151.7, 2.9), dxfattribs=dict(extrusion=(0, 0, 3.5)))
    msp.add_text('n', dxfattribs=dict(insert=(153.3, 1.1, 0.2), height=0.7, extrusion=(0.3, 0, 0.4)))
    doc.saveas(out)


def huge(out):
    doc = ezdxf.new('R2010')
    msp = doc.modelspace()
    msp.add_line((0, 0), (1.7e308, 0))
    msp.add_line((0, 0), (1, 1))
    doc.saveas(out)


def numbers(value):
    """The numbers a value holds, in order."""
    if isinstance(value, (int, float)) and not isinstance(value, bool):
        return [float(value)]
    if isinstance(value, (Vec3, tuple, list)) and not isinstance(value, str):
        parts = [numbers(v) for v in value]
        return None if any(p is None for p in parts) else [x for p in parts for x in p]
    return None


def edge_values(edge):
    out = {}
    for name in ('start', 'end', 'center', 'radius', 'start_angle', 'end_angle', 'major_axis', 'ratio', 'ccw',
                 'start_param', 'end_param', 'degree', 'rational', 'periodic', 'knot_values', 'control_points',
                 'fit_points', 'weights', 'start_tangent', 'end_tangent'):
        if hasattr(edge, name):
            out[name] = getattr(edge, name)
    return out


def values(e):
    """Every value of the entity ezdxf reads, by a name of its own."""
    out = {}
    for key, value in e.dxf.all_existing_dxf_attribs().items():
        if key not in ('handle', 'owner'):
            out['dxf.' + key] = value
    kind = e.dxftype()
    if kind == 'SPLINE':
        out['control_points'] = list(e.control_points)
        out['fit_points'] = list(e.fit_points)
        out['knots'] = list(e.knots)
        out['weights'] = list(e.weights)
    elif kind in ('LWPOLYLINE',):
        out['points'] = list(e.get_points('xyseb'))
    elif kind == 'POLYLINE':
        for i, v in enumerate(e.vertices):
            for key, value in v.dxf.all_existing_dxf_attribs().items():
                if key not in ('handle', 'owner'):
                    out['vertex%d.%s' % (i, key)] = value
    elif kind in ('HATCH', 'MPOLYGON'):
        for i, path in enumerate(e.paths):
            if hasattr(path, 'vertices'):
                out['path%d.vertices' % i] = list(path.vertices)
            for j, edge in enumerate(getattr(path, 'edges', [])):
                for key, value in edge_values(edge).items():
                    out['path%d.edge%d.%s' % (i, j, key)] = value
        if e.pattern:
            out['pattern'] = [(line.angle, line.offset, list(line.dash_length_items)) for line in e.pattern.lines]
            out['pattern.base'] = [Vec3(line.base_point) for line in e.pattern.lines]
    elif kind == 'MLINE':
        for i, v in enumerate(e.vertices):
            out['vertex%d' % i] = v.location
            out['vertex%d.shape' % i] = (v.line_direction, v.miter_direction, [list(p) for p in v.line_params],
                                         [list(f) for f in v.fill_params])
    elif kind == 'LEADER':
        out['vertices'] = list(e.vertices)
    elif kind == 'INSERT':
        for i, a in enumerate(e.attribs):
            for key, value in a.dxf.all_existing_dxf_attribs().items():
                if key not in ('handle', 'owner'):
                    out['attrib%d.%s' % (i, key)] = value
    elif kind == 'IMAGE':
        out['boundary'] = list(e.boundary_path)
    return out


def same(a, b, ulps=0):
    """Equal, numbers to the last bit (a zero of either sign is a zero), or
    within `ulps` units in the last place of the larger."""
    x, y = numbers(a), numbers(b)
    if x is None or y is None:
        return a == b
    return len(x) == len(y) and all(p == q or (math.isnan(p) and math.isnan(q)) or
                                    abs(p - q) <= ulps * math.ulp(max(abs(p), abs(q))) for p, q in zip(x, y))


def check(first, saved, dx, dy, dz):
    a = ezdxf.readfile(first)
    b = ezdxf.readfile(saved)
    # ezdxf's translate recomputes some values from others (a text's
    # direction from its rotation, a multiline's directions, the points of
    # a hatch in a plane of its own); its translate by nothing shows them.
    still = {e.dxf.handle: e for e in ezdxf.readfile(first).modelspace()}
    by_handle = {e.dxf.handle: e for e in b.modelspace()}
    wrong = []
    for e in a.modelspace():
        other = by_handle.get(e.dxf.handle)
        if other is None:
            wrong.append('%s %s is not in the saved drawing' % (e.dxftype(), e.dxf.handle))
            continue
        # In a plane of its own a position moves by the vector in that
        # plane's axes, which two programs may round apart in the last
        # places; in the world's, by the vector itself, exactly.
        plane = e.dxf.hasattr('extrusion') and Vec3(e.dxf.extrusion) != Vec3(0, 0, 1)
        kind = e.dxftype()
        before = values(e)
        zero = still[e.dxf.handle]
        zero.translate(0, 0, 0)
        recomputed = {k for k, v in values(zero).items() if k not in before or not same(v, before[k])}
        e.translate(dx, dy, dz)
        want, got = values(e), values(other)
        for key in before.keys() | want.keys():
            moved = key in want and key in before and not same(want[key], before[key])
            if kind == 'POLYLINE' and key.endswith('.location') and e.is_2d_polyline:
                # ezdxf gives a 2-D polyline's vertices its elevation as z.
                value = Vec3(want[key].x, want[key].y, before[key].z)
            elif (kind == 'MLINE' and key.startswith('vertex') and '.' not in key) or key == 'pattern.base':
                # ezdxf works a multiline's vertices out anew, and leaves a
                # pattern's lines where they were: their bases move with
                # the hatch, by the vector.
                value = [v + Vec3(dx, dy, 0) for v in before[key]] if key == 'pattern.base' else \
                    before[key] + Vec3(dx, dy, dz)
                moved = True
            elif kind == 'MLINE' and key.endswith('.shape'):
                value, moved = before[key], False
            elif kind == 'HATCH' and plane and key.endswith('.vertices'):
                # ezdxf takes these through the world and back; in the
                # hatch's plane each moves by the vector's part in it.
                o = OCS(e.dxf.extrusion).from_wcs(Vec3(dx, dy, dz))
                value = [(x + o.x, y + o.y, bulge) for x, y, bulge in before[key]]
                moved = True
            elif key in recomputed and not plane:
                if key not in before:
                    continue
                value, moved = before[key], False
            else:
                value = want.get(key, before.get(key)) if moved else before.get(key, want.get(key))
            # A value left out is the default.
            saved_value = got[key] if key in got else (
                other.dxf.get_default(key[4:]) if key.startswith('dxf.') else None)
            if not same(value, saved_value, 8 if plane and (moved or key in recomputed) else 0):
                wrong.append('%s %s %s: %r moved is %r, saved %r' % (e.dxftype(), e.dxf.handle, key, before.get(key),
                                                                     value, saved_value))
    for line in wrong:
        print(line)
    return 1 if wrong else 0


if __name__ == '__main__':
    if sys.argv[1] in ('make', 'huge'):
        {'make': make, 'huge': huge}[sys.argv[1]](sys.argv[2])
    else:
        sys.exit(check(sys.argv[2], sys.argv[3], float(sys.argv[4]), float(sys.argv[5]), float(sys.argv[6])))
