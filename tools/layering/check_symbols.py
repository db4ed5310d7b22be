#!/usr/bin/env python3
"""The symbol side of the layering check: calls and globals point down too.

Reads the object files of every OBJECT library of a Ninja build folder and lists, for
each subsystem, the symbols it uses (`nm -u`) whose definition (`nm --defined-only`)
lies only in subsystems on a later row of LAYERS (check_layers.py) or beside it on
its own row. A function declared by hand needs no include, but the object file still
names it. Where a strong definition exists, weak ones elsewhere do not count, as in
the link. The operators new and delete of engine/core serve everyone and are allowed.
An object whose source lies in a folder of no layer is an error naming the folder; a
source the build generates belongs to the folder its object is built in.

    tools/layering/check_symbols.py BUILD_DIR

Prints one line per edge, "lower -> higher: symbols", and per unplaced folder, and
exits 1 when there is any.
"""

import argparse
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_layers import LAYERS, folder_of, layer_of  # noqa: E402

OBJECT_LIBRARY = re.compile(r"^# Object library (\S+)$")
COMPILE_LINE = re.compile(r"^build (\S+\.o): \S+ (\S+)")
# engine/core's operator new and delete (mangled: _Znw, _Zna, _Zdl, _Zda).
ALLOWED = [("engine/core", re.compile(r"^_Z(nw|na|dl|da)"))]


def rows(layers):
    return {folder: row for row, folders in enumerate(layers) for folder in folders}


def source_root(build):
    for name in ("CMakeCache.txt", "build.ninja"):
        if not os.path.isfile(os.path.join(build, name)):
            raise SystemExit("%s has no %s: not a Ninja build folder of CMake" % (build, name))
    with open(os.path.join(build, "CMakeCache.txt"), encoding="utf-8") as f:
        for line in f:
            if line.startswith("CMAKE_HOME_DIRECTORY:"):
                return line.split("=", 1)[1].strip()
    raise SystemExit("%s/CMakeCache.txt names no source folder" % build)


def object_libraries(build):
    """{library: [(object file, source file)]} of every OBJECT library, read from build.ninja."""
    with open(os.path.join(build, "build.ninja"), encoding="utf-8") as f:
        lines = f.read().splitlines()
    source_of = {}
    for line in lines:
        match = COMPILE_LINE.match(line)
        if match:
            source_of[match.group(1)] = match.group(2)
    found = {}
    for number, line in enumerate(lines):
        match = OBJECT_LIBRARY.match(line)
        if not match:
            continue
        # The next build statement is the library's phony target listing its objects.
        statement = next(l for l in lines[number + 1:] if l.startswith("build "))
        objects = [obj for obj in statement.split(": phony", 1)[1].split() if obj in source_of]
        found[match.group(1)] = [(os.path.join(build, obj), source_of[obj]) for obj in objects]
    return found


def nm_symbols(paths, *options):
    """{object file: {symbol: type letter}} as nm lists them."""
    out = subprocess.run(["nm", "--print-file-name", "--format=posix", *options, *paths], check=True,
                         capture_output=True, text=True).stdout
    found = {path: {} for path in paths}
    for line in out.splitlines():
        path, _, rest = line.rpartition(": ")
        fields = rest.split()
        if path in found and len(fields) >= 2:
            found[path][fields[0]] = fields[1]
    return found


def tree_path(build, root, obj, source):
    """The path, relative to the source root, that places an object in the table: its
    source's, or for a source the build made, the folder the object is built in."""
    inside = lambda path, folder: os.path.commonpath([path, folder]) == folder
    if inside(source, root) and not inside(source, build):
        return os.path.relpath(source, root).replace(os.sep, "/")
    relative = os.path.relpath(obj, build).replace(os.sep, "/")
    return relative.split("/CMakeFiles/", 1)[0] + "/" + os.path.basename(source)


def objects_by_folder(build, layers=LAYERS):
    """([(layer folder, {defined symbol: weak?}, used symbols)] for the objects of the
    build, {folder of no layer: an object's source in it})."""
    root = os.path.realpath(source_root(build))
    build = os.path.realpath(build)
    found, unplaced = [], {}
    for objects in object_libraries(build).values():
        paths = [obj for obj, _ in objects]
        defined = nm_symbols(paths, "--defined-only", "--extern-only")
        used = nm_symbols(paths, "--undefined-only")
        for obj, source in objects:
            path = tree_path(build, root, obj, os.path.realpath(source))
            layer = layer_of(path, layers)
            if layer is None:
                unplaced.setdefault(folder_of(path), path)
                continue
            weak = {symbol: kind in "wWvV" for symbol, kind in defined[obj].items()}
            found.append((layer[1], weak, set(used[obj])))
    return found, unplaced


def upward_uses(objects, layers=LAYERS):
    """{(lower folder, higher folder): symbols} for each symbol a folder uses whose
    definition, the one the link takes, lies only above it or beside it."""
    row_of = rows(layers)
    strong, weak = {}, {}
    for folder, defined, _ in objects:
        for symbol, is_weak in defined.items():
            (weak if is_weak else strong).setdefault(symbol, set()).add(folder)

    def may_use(user, definer, symbol):
        if user == definer or row_of[definer] < row_of[user]:
            return True
        return any(definer == allowed and pattern.match(symbol) for allowed, pattern in ALLOWED)

    edges = {}
    for folder, _, used in objects:
        for symbol in used:
            # A strong definition wins over weak ones, wherever they lie.
            owners = strong.get(symbol) or weak.get(symbol) or set()
            if not owners or any(may_use(folder, owner, symbol) for owner in owners):
                continue
            for owner in owners:
                edges.setdefault((folder, owner), set()).add(symbol)
    return edges


def demangled(symbols):
    out = subprocess.run(["c++filt"], input="\n".join(symbols), check=True,
                         capture_output=True, text=True).stdout
    return out.splitlines()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build", help="a Ninja build folder of the tree, built")
    args = parser.parse_args()
    objects, unplaced = objects_by_folder(os.path.abspath(args.build))
    for folder in sorted(unplaced):
        print("%s/ is in no layer of the table (%s; tools/layering/check_layers.py, LAYERS)" % (folder, unplaced[folder]))
    edges = upward_uses(objects)
    row_of = rows(LAYERS)
    for lower, higher in sorted(edges, key=lambda edge: (row_of[edge[0]], edge[0], row_of[edge[1]], edge[1])):
        names = sorted(demangled(sorted(edges[(lower, higher)])))
        print("%s -> %s: %s" % (lower, higher, ", ".join(names)))
    return 1 if edges or unplaced else 0


if __name__ == "__main__":
    sys.exit(main())
