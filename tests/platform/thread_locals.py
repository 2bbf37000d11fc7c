#!/usr/bin/env python3
"""The platform library's thread-locals are reached by the initial-exec
model (platform/CMakeLists.txt): they live in the static block the loader
sets up at start-up. That is safe while every program that uses the
library links it at start-up, and while its block stays small enough for
the room the loader keeps for a library loaded later all the same.

    thread_locals.py LIBRARY BUILD_DIR

checks both: the library's TLS block is at most MAX_TLS_BYTES, and every
program under BUILD_DIR that may load a library later (it calls dlopen:
the module, which needs this library, comes so) loads this one at
start-up. A program that does neither (a generator of the build) never
has it."""
import os
import re
import subprocess
import sys

# glibc keeps some 1.6 KiB of static TLS for libraries loaded after
# start-up; a block within 1 KiB leaves room for others.
MAX_TLS_BYTES = 1024


def run(*args):
    return subprocess.run(args, capture_output=True, text=True, check=False).stdout


def tls_bytes(library):
    for line in run("readelf", "-lW", library).splitlines():
        fields = line.split()
        if fields and fields[0] == "TLS":
            return int(fields[5], 16)  # MemSiz
    return 0


def is_program(path):
    try:
        with open(path, "rb") as f:
            if f.read(4) != b"\x7fELF":
                return False
    except OSError:
        return False
    return "Requesting program interpreter" in run("readelf", "-lW", path)


def main():
    library, build = sys.argv[1], sys.argv[2]
    name = os.path.basename(library)
    faults = []
    size = tls_bytes(library)
    if size > MAX_TLS_BYTES:
        faults.append(f"{name}: its thread-locals take {size} bytes, more than {MAX_TLS_BYTES}")
    programs = 0
    for folder, dirs, files in os.walk(build):
        dirs[:] = [d for d in dirs if d != "CMakeFiles"]
        for f in files:
            path = os.path.join(folder, f)
            if f.endswith(".so") or ".so." in f or not os.access(path, os.X_OK) or not is_program(path):
                continue
            if re.search(r"^\s*" + re.escape(name) + r"\s", run("ldd", path), re.M):
                programs += 1
            elif re.search(r"\bU dlopen\b", run("nm", "-D", "--undefined-only", path)):
                faults.append(f"{os.path.relpath(path, build)} may load libraries later but does not load {name} at start-up")
    if programs == 0:
        faults.append(f"no program found under {build}")
    for fault in faults:
        print(fault)
    print(f"{name}: {size} bytes of thread-locals; {programs} programs load it at start-up")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
