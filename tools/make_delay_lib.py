#!/usr/bin/env python3
"""Builds a delay-import library for one system DLL from the toolchain's ordinary import library.

Every function the import library exports goes into a .def file, and dlltool turns that into a
library whose calls load the DLL on first use instead of at process start.

usage: make_delay_lib.py NM DLLTOOL IMPORT_LIB DLL_NAME OUT_LIB
"""
import os
import re
import subprocess
import sys


def exported_functions(nm, import_lib):
    """Names with both a thunk (T) and an import slot (I __imp_): functions, not data."""
    out = subprocess.run([nm, "-g", "--defined-only", import_lib], check=True, capture_output=True,
                         text=True).stdout
    thunks, slots = set(), set()
    for line in out.splitlines():
        parts = line.split()
        if len(parts) != 3:
            continue
        kind, name = parts[1], parts[2]
        if kind == "T":
            thunks.add(name)
        elif kind == "I" and name.startswith("__imp_"):
            slots.add(name[len("__imp_"):])
    return sorted(thunks & slots)


def main():
    nm, dlltool, import_lib, dll_name, out_lib = sys.argv[1:6]
    i686 = "i686" in os.path.basename(dlltool)
    names = exported_functions(nm, import_lib)
    if i686:
        # 32-bit symbols carry a leading underscore that dlltool adds back itself.
        names = [n[1:] if n.startswith("_") else n for n in names]
    names = [n for n in names if re.match(r"^[A-Za-z_][A-Za-z0-9_@?$]*$", n)]
    if not names:
        sys.exit("no functions found in %s" % import_lib)
    def_path = out_lib + ".def"
    with open(def_path, "w") as f:
        f.write("LIBRARY %s\nEXPORTS\n" % dll_name)
        for name in names:
            f.write("  %s\n" % name)
    args = [dlltool, "-d", def_path, "-D", dll_name, "-y", out_lib]
    if i686:
        # The DLL exports undecorated names; the callers refer to Name@bytes.
        args.insert(1, "-k")
    subprocess.run(args, check=True)


if __name__ == "__main__":
    main()
