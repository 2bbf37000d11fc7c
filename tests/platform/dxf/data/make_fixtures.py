#!/usr/bin/python3
"""Makes the DXF fixtures of the drawing-file tests with ezdxf (Debian's
python3-ezdxf), a library the project did not write, and beside each the
summary of what ezdxf reads back from it (dxf_summary.py), which the tests
compare with what the stand-in reads. Run once with /usr/bin/python3; the
outputs are committed.

  drawing_r2010.dxf  the 2010 form (UTF-8): every entity kind the stand-in
                     keeps, a kind it keeps only as it came, link records
                     under "VelkArx" on entities and a layer, a raster
                     image, a draw order, paper space
  drawing_r2000.dxf  the 2000 form with the code page ANSI_936: Chinese text
                     in GBK and a character beyond it as an escape
"""
import os

import ezdxf
from ezdxf.enums import TextEntityAlignment

from dxf_summary import summary

HERE = os.path.dirname(os.path.abspath(__file__))


def link(entity, peer_id, name, remark, join, companion, icon, x, y):
    """A link record in the layout the module stores under "VelkArx"."""
    xdict = entity.get_extension_dict() if entity.has_extension_dict else entity.new_extension_dict()
    xrecord = xdict.add_xrecord("VelkArx")
    xrecord.reset([(1, str(peer_id)), (1, name), (1, remark), (1, ""), (90, join), (90, companion), (90, icon),
                   (90, 0), (40, x), (40, y), (40, 0.0), (40, 0.0)])


def drawing_r2010(path):
    doc = ezdxf.new("R2010")
    doc.appids.new("VelkArx")
    doc.linetypes.add("DASHED", pattern=[15.0, 10.0, -5.0], description="Dashed __ __ __")
    roads = doc.layers.add("道路", color=1, linetype="DASHED")
    roads.lock()
    water = doc.layers.add("Water", color=5)
    water.off()
    water.freeze()
    doc.styles.add("仿宋", font="simfang.ttf")

    sign = doc.blocks.new("Sign", base_point=(1, 1))
    sign.add_circle((1, 1), 2)
    sign.add_attdef("NAME", (0, 3), text="N1", dxfattribs={"prompt": "Name?", "style": "仿宋"})

    msp = doc.modelspace()
    ref = msp.add_blockref("Sign", (50, 60), dxfattribs={"xscale": 2, "yscale": 2, "zscale": 2, "rotation": 30,
                                                         "layer": "道路"})
    ref.add_attrib("NAME", "标志一", (50, 66), dxfattribs={"height": 1.5})
    line = msp.add_line((0, 0), (100, 40), dxfattribs={"layer": "道路", "true_color": ezdxf.rgb2int((10, 200, 30)),
                                                      "ltscale": 2.5})
    line.transparency = 0.5
    msp.add_arc((10, 10), 5, 15, 230)
    msp.add_circle((3, 4, 5), 7, dxfattribs={"extrusion": (0.3, -0.4, 0.866)})
    msp.add_ellipse((20, 20), major_axis=(6, 2), ratio=0.4, start_param=0.3, end_param=5.0)
    msp.add_lwpolyline([(0, 0, 0.2, 0.4, 0.5), (10, 0, 0.4, 0.2, 0), (10, 10, 0, 0, -1)], format="xyseb",
                       close=True, dxfattribs={"elevation": 3})
    msp.add_lwpolyline([(0, 0), (5, 0), (5, 5)], dxfattribs={"extrusion": (0, 0, -1)})
    msp.add_polyline2d([(0, 0), (5, 5), (9, 1)], close=True)
    msp.add_polyline3d([(0, 0, 0), (1, 2, 3), (4, 5, 6)])
    msp.add_spline(fit_points=[(0, 0), (2, 2), (4, 0), (6, 3)])
    msp.add_rational_spline([(0, 0), (1, 3), (4, 3), (5, 0)], weights=[1, 0.5, 0.5, 1], degree=3)
    msp.add_point((7, 8, 9))
    text = msp.add_text("河流 ^ 标注", dxfattribs={"style": "仿宋", "height": 2.5, "rotation": 17})
    text.set_placement((32, 31), align=TextEntityAlignment.MIDDLE_CENTER)
    msp.add_mtext("{\\fSimSun|b0;第一行}\\P" + " ".join("长文本%d" % i for i in range(40)),
                  dxfattribs={"insert": (40, 50), "char_height": 3, "width": 60, "rotation": 12,
                              "attachment_point": 5})

    hatch = msp.add_hatch(color=2)
    hatch.set_pattern_fill("ANSI31", scale=2, angle=30)
    hatch.paths.add_polyline_path([(0, 0, 0), (10, 0, 0.4), (10, 10, 0), (0, 10, 0)], is_closed=True)
    edges = msp.add_hatch(color=3)
    edge_path = edges.paths.add_edge_path()
    edge_path.add_line((0, 0), (10, 0))
    edge_path.add_arc((10, 5), 5, 270, 90)
    edge_path.add_ellipse((5, 10), major_axis=(5, 0), ratio=0.4, start_angle=0, end_angle=180)
    edge_path.add_spline(control_points=[(0, 10), (-3, 5), (0, 0)], knot_values=[0, 0, 0, 1, 1, 1], degree=2)
    gradient = msp.add_hatch()
    gradient.set_gradient((0, 255, 0), (250, 240, 10), rotation=40, name="CYLINDER")
    gradient.paths.add_polyline_path([(20, 0), (30, 0), (30, 8)], is_closed=True)
    msp.add_solid([(0, 0), (4, 0), (0, 4), (4, 4)])
    mline = msp.add_mline([(0, 50), (20, 50), (20, 70)], dxfattribs={"scale_factor": 2})
    mline.close(True)
    # A kind the stand-in keeps only as it came (a proxy).
    msp.add_3dface([(0, 0, 0), (1, 0, 1), (1, 1, 2), (0, 1, 1)], dxfattribs={"layer": "道路"})

    image_def = doc.add_image_def(filename="C:\\Maps\\tile_12_3.png", size_in_pixel=(256, 128))
    image = msp.add_image(image_def, insert=(100, 200), size_in_units=(256, 128))
    msp.set_redraw_order({image.dxf.handle: "1"})

    # ezdxf writes strings as they are: control characters go in caret
    # form, as the host writes them.
    link(text, 4000000001, "河流", "line one^M^Jline two", 11, -5, 12, 1234.5, -0.125)
    link(image, 77, "tile", "", 0, 9, 0, 0.0, 0.0)
    link(line, 8, "路", "长" * 3000, 1, 0, 0, 0.0, 0.0)
    link(roads, 501, "道路文件夹", "", 0, 0, 0, 0.0, 0.0)

    doc.layout("Layout1").add_line((0, 0), (10, 10))
    doc.saveas(path)


def drawing_r2000(path):
    doc = ezdxf.new("R2000")
    doc.header["$DWGCODEPAGE"] = "ANSI_936"
    doc.encoding = "gbk"
    doc.appids.new("VelkArx")
    doc.layers.add("测量", color=3)
    msp = doc.modelspace()
    text = msp.add_text("测量点 Ω 😀", dxfattribs={"layer": "测量", "height": 2})
    link(text, 12, "测量点", "备注 😀", 1, 0, 3, 10.5, 20.25)
    msp.add_line((0, 0), (1, 1), dxfattribs={"layer": "测量"})
    doc.saveas(path)


def write(name, make):
    path = os.path.join(HERE, name + ".dxf")
    make(path)
    with open(os.path.join(HERE, name + ".summary"), "w", encoding="utf-8") as f:
        for line in summary(path):
            f.write(line + "\n")


if __name__ == "__main__":
    write("drawing_r2010", drawing_r2010)
    write("drawing_r2000", drawing_r2000)
