"""The edit reckoning's known faults: what velkhost's saves still do wrong,
by cause, with the problems each makes (a pattern of the reckoning's
lines) and the cases it fails. A problem no cause here explains fails its
case, and so does a case listed under a cause whose problems it no longer
shows: take it off the list, which only shrinks.

An entry is (cause, pattern, [case, ...]), for one:

    ("a copy leaves out its original's kept handle 360 that names nothing",
     r"its copy WIPEOUT [0-9A-F]+: the save drops groups 360='#'$",
     ["COPY / > select all", "COPY / > select type WIPEOUT"]),
"""

FAULTS = []
