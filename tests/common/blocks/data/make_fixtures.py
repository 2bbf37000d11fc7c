#!/usr/bin/python3
"""Makes part.dxf, the drawing file the block tests import definitions
from, with ezdxf (Debian's python3-ezdxf), a library the project did not
write. Run once with /usr/bin/python3; the output is committed.

  block "Valve"  a circle and a line on layer "Valves", and the attribute
                 definition TAG
  block "Pipe"   two lines on layer "0"
  model space    a line on layer "Pipes" and a circle on layer "0"
"""
import os

import ezdxf

doc = ezdxf.new("R2010")
doc.layers.add("Valves", color=1)
doc.layers.add("Pipes", color=5)
valve = doc.blocks.new("Valve", base_point=(0, 0))
valve.add_circle((0, 0), 1, dxfattribs={"layer": "Valves"})
valve.add_line((-1, 0), (1, 0), dxfattribs={"layer": "Valves"})
valve.add_attdef("TAG", (0, 1.5), text="V-1", dxfattribs={"prompt": "Tag?"})
pipe = doc.blocks.new("Pipe")
pipe.add_line((0, 0), (10, 0))
pipe.add_line((0, 1), (10, 1))
msp = doc.modelspace()
msp.add_line((0, 0), (100, 0), dxfattribs={"layer": "Pipes"})
msp.add_circle((50, 0), 3)
doc.saveas(os.path.join(os.path.dirname(os.path.abspath(__file__)), "part.dxf"))
