#!/usr/bin/python3
"""Makes demo.dxf, the drawing `./run demo` opens in the stand-in host, with
ezdxf (Debian's python3-ezdxf), a library the project did not write. Run
once with /usr/bin/python3; the output is committed.

A small town plan in a local metric grid: roads as polylines, a river as a
spline with its banks hatched, buildings as filled outlines, trees as
references to a block, a survey point, and labels.
"""
import os

import ezdxf

doc = ezdxf.new("R2010")
doc.layers.add("道路", color=8)
doc.layers.add("水系", color=5)
doc.layers.add("建筑", color=30)
doc.layers.add("植被", color=3)
doc.layers.add("注记", color=7)
doc.styles.add("宋体", font="simsun.ttc")

tree = doc.blocks.new("Tree", base_point=(0, 0))
tree.add_circle((0, 0), 2.5, dxfattribs={"layer": "植被"})
tree.add_line((-2.5, 0), (2.5, 0), dxfattribs={"layer": "植被"})
tree.add_line((0, -2.5), (0, 2.5), dxfattribs={"layer": "植被"})

msp = doc.modelspace()
# West of the site plan the demo draws and of the objects the peer sends,
# which lie in (500000..500300, 3000000..3000200): one site.
base_x, base_y = 499650.0, 3000000.0


def at(x, y):
    return (base_x + x, base_y + y)


for pts in ([(0, 40), (300, 40)], [(0, 120), (120, 120), (180, 160), (300, 160)], [(80, 0), (80, 200)]):
    msp.add_lwpolyline([at(*p) for p in pts], dxfattribs={"layer": "道路", "const_width": 6})
river = [at(0, 190), at(60, 175), at(140, 185), at(220, 170), at(300, 180)]
msp.add_spline(fit_points=river, dxfattribs={"layer": "水系", "color": 4})
water = msp.add_hatch(color=151, dxfattribs={"layer": "水系"})
water.paths.add_polyline_path([at(0, 188), at(300, 178), at(300, 200), at(0, 200)], is_closed=True)
for x, y, w, h in ((100, 60, 40, 30), (160, 60, 50, 40), (20, 60, 40, 40), (250, 80, 45, 30)):
    outline = [at(x, y), at(x + w, y), at(x + w, y + h), at(x, y + h)]
    msp.add_lwpolyline(outline, close=True, dxfattribs={"layer": "建筑"})
    fill = msp.add_hatch(color=256, dxfattribs={"layer": "建筑"})
    fill.set_pattern_fill("ANSI31", scale=0.5)
    fill.paths.add_polyline_path(outline, is_closed=True)
for x in range(10, 300, 30):
    msp.add_blockref("Tree", at(x, 20), dxfattribs={"layer": "植被"})
msp.add_point(at(150, 100), dxfattribs={"layer": "注记"})
msp.add_text("控制点 K1", dxfattribs={"layer": "注记", "style": "宋体", "height": 4, "insert": at(153, 101)})
msp.add_text("人民路", dxfattribs={"layer": "注记", "style": "宋体", "height": 6, "insert": at(200, 44)})
msp.add_text("清河", dxfattribs={"layer": "注记", "style": "宋体", "height": 6, "insert": at(150, 186)})
doc.saveas(os.path.join(os.path.dirname(os.path.abspath(__file__)), "demo.dxf"))
