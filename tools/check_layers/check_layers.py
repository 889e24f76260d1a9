#!/usr/bin/env python3
"""Checks that the libraries of src/ keep to their layers (src/LAYERS).

Prints one line for each fault and exits 1 when there is any:
- a library whose DEPS (in its CMakeLists.txt) name a library of its own layer or above;
- an #include of a folder the including library does not name in its DEPS;
- with a build folder: an undefined symbol of a library that only a library outside its DEPS
  (directly or through theirs) defines.
Usage: check_layers.py [BUILD_DIR]
"""
import os
import re
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SRC = os.path.join(ROOT, "src")
# Symbols every program has from the C++ run time; the memory manager may replace them.
RUNTIME_SYMBOLS = re.compile(r"^_Z(nw|na|dl|da)")


def read_layers():
    level = {}
    with open(os.path.join(SRC, "LAYERS")) as f:
        for line in f:
            line = line.split("#", 1)[0].split()
            for name in line:
                level[name] = len(set(level.values()))
    return level


def read_deps(folder):
    text = open(os.path.join(SRC, folder, "CMakeLists.txt")).read()
    m = re.search(r"hv_subsystem\(\s*hv_%s\b(.*?)\)" % folder, text, re.S)
    deps = []
    if m:
        d = re.search(r"DEPS\s+(.*?)(?:PACKAGES|$)", m.group(1), re.S)
        if d:
            deps = [x[3:] for x in d.group(1).split() if x.startswith("hv_")]
    return deps


def closure(deps, folder):
    seen, todo = set(), list(deps[folder])
    while todo:
        d = todo.pop()
        if d not in seen:
            seen.add(d)
            todo.extend(deps.get(d, []))
    return seen


def include_faults(folder, allowed):
    faults = []
    pattern = re.compile(r'^\s*#\s*include\s+"([a-z0-9_]+)/')
    path = os.path.join(SRC, folder)
    for name in sorted(os.listdir(path)):
        if not name.endswith((".cpp", ".h", ".c")):
            continue
        with open(os.path.join(path, name)) as f:
            for number, line in enumerate(f, 1):
                m = pattern.match(line)
                if m and m.group(1) != folder and m.group(1) in LEVEL and m.group(1) not in allowed:
                    faults.append("src/%s/%s:%d: includes %s, which hv_%s does not use"
                                  % (folder, name, number, line.strip().split()[-1], folder))
    return faults


def symbol_tables(build):
    defined, undefined = {}, {}
    for folder in LEVEL:
        lib = os.path.join(build, "src", folder, "libhv_%s.a" % folder)
        if not os.path.exists(lib):
            continue
        out = subprocess.run(["nm", "-A", "--no-sort", lib], capture_output=True, text=True,
                             check=True).stdout
        undefined[folder] = {}
        for line in out.splitlines():
            m = re.match(r"^[^:]+:([^:]+):\s*[0-9a-f]*\s+(\w)\s+(\S+)$", line)
            if not m:
                continue
            obj, kind, symbol = m.groups()
            if kind == "U":
                undefined[folder].setdefault(symbol, obj)
            elif kind in "TDBRVW":
                defined.setdefault(symbol, set()).add(folder)
    return defined, undefined


def symbol_faults(build, allowed_of):
    defined, undefined = symbol_tables(build)
    faults = []
    for folder, symbols in sorted(undefined.items()):
        own = allowed_of[folder] | {folder}
        for symbol, obj in sorted(symbols.items()):
            where = defined.get(symbol)
            if not where or where & own or RUNTIME_SYMBOLS.match(symbol):
                continue
            name = subprocess.run(["c++filt", symbol], capture_output=True, text=True).stdout.strip()
            faults.append("hv_%s (%s) uses %s of hv_%s" % (folder, obj, name, "/hv_".join(sorted(where))))
    return faults


LEVEL = read_layers()


def main():
    folders = [f for f in LEVEL if os.path.exists(os.path.join(SRC, f, "CMakeLists.txt"))]
    deps = {f: read_deps(f) for f in folders}
    faults = []
    for folder in folders:
        for dep in deps[folder]:
            if dep not in LEVEL or LEVEL[dep] >= LEVEL[folder]:
                faults.append("src/%s/CMakeLists.txt: hv_%s is not below hv_%s" % (folder, dep, folder))
    allowed_of = {f: closure(deps, f) for f in folders}
    for folder in folders:
        faults += include_faults(folder, allowed_of[folder])
    if len(sys.argv) > 1:
        faults += symbol_faults(sys.argv[1], allowed_of)
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
