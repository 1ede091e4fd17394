#!/usr/bin/env python3
"""Checks that the subsystems under src/ include only what their libraries may use.

LAYERS has one line per subsystem, "name: dependency dependency ...", as CMake declares the
libraries. A subsystem may include its own headers and those of every subsystem it depends on,
directly or through others. Fails (exit 1, one line per fault) on an include outside that set, on a
folder under src/ that is not declared, on a dependency that is not declared and on a cycle among
the declarations.
Usage: check_layers.py SRC LAYERS
"""
import os
import re
import sys

INCLUDE = re.compile(r'^[ \t]*#[ \t]*include[ \t]+"([^"/]+)/[^"]*"', re.MULTILINE)
SOURCE_SUFFIXES = (".h", ".hpp", ".inl", ".c", ".cpp")


def read_layers(path):
    layers = {}
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.strip()
            if not line:
                continue
            name, sep, rest = line.partition(":")
            if not sep or not name.strip():
                raise ValueError("%s:%d: not 'name: dependencies'" % (path, number))
            layers[name.strip()] = rest.split()
    return layers


def declaration_faults(layers):
    faults = []
    for name, dependencies in sorted(layers.items()):
        for dependency in dependencies:
            if dependency not in layers:
                faults.append("%s depends on '%s', which is not a declared subsystem" % (name, dependency))
    # A cycle among the declarations: depth-first search with colours.
    state = {}

    def visit(name, path):
        state[name] = "open"
        for dependency in layers[name]:
            if dependency not in layers:
                continue
            if state.get(dependency) == "open":
                cycle = path[path.index(dependency):] + [dependency]
                faults.append("the declared dependencies form a cycle: " + " -> ".join(cycle))
            elif dependency not in state:
                visit(dependency, path + [dependency])
        state[name] = "done"

    for name in sorted(layers):
        if name not in state:
            visit(name, [name])
    return faults


def reachable(layers, name):
    seen = set()
    stack = [name]
    while stack:
        for dependency in layers.get(stack.pop(), []):
            if dependency not in seen:
                seen.add(dependency)
                stack.append(dependency)
    return seen


def include_faults(src, layers):
    faults = []
    for name in sorted(os.listdir(src)):
        folder = os.path.join(src, name)
        if not os.path.isdir(folder):
            continue
        if name not in layers:
            faults.append("src/%s/ is not a declared subsystem" % name)
            continue
        allowed = reachable(layers, name) | {name}
        for directory, _, files in sorted(os.walk(folder)):
            for file_name in sorted(files):
                if not file_name.endswith(SOURCE_SUFFIXES):
                    continue
                path = os.path.join(directory, file_name)
                with open(path, encoding="utf-8", errors="replace") as f:
                    text = f.read()
                for match in INCLUDE.finditer(text):
                    target = match.group(1)
                    if target in allowed:
                        continue
                    line = text.count("\n", 0, match.start()) + 1
                    where = os.path.relpath(path, os.path.dirname(os.path.abspath(src)))
                    may = " ".join(sorted(allowed - {name})) or "nothing"
                    faults.append('%s:%d: %s includes "%s/...", but %s may use only: %s'
                                  % (where, line, name, target, name, may))
    return faults


def main(argv):
    if len(argv) != 3:
        sys.stderr.write(__doc__)
        return 2
    src, layers_path = argv[1], argv[2]
    try:
        layers = read_layers(layers_path)
    except (OSError, ValueError) as error:
        print("layer check: %s" % error)
        return 1
    faults = declaration_faults(layers) + include_faults(src, layers)
    for fault in faults:
        print(fault)
    if faults:
        print("layer check failed: %d fault(s); fix the include or declare the dependency in CMakeLists.txt"
              % len(faults))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
