#!/usr/bin/python3
"""Whether ezdxf reads each file as it is (strictly, without recovering)
and its audit finds no error: prints a line for each that fails and exits
1 if any did."""
import sys

import ezdxf

failed = 0
for name in sys.argv[1:]:
    try:
        doc = ezdxf.readfile(name)
    except Exception as e:  # what ezdxf raises is its reason
        print(f"{name}: ezdxf cannot read it: {type(e).__name__}: {e}")
        failed += 1
        continue
    errors = doc.audit().errors
    if errors:
        print(f"{name}: the audit finds {len(errors)} errors: " + "; ".join(str(e.message) for e in errors[:5]))
        failed += 1
sys.exit(1 if failed else 0)
