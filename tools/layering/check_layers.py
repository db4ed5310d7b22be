#!/usr/bin/env python3
"""The layering check: every #include of the tree points down.

LAYERS is the design in one place. Each row is one level, lowest first; a file may
include files of its own layer and of any layer on an earlier row, never one on its
own row or a later one. A file belongs to the layer whose folder is the longest
prefix of its path; a source file in a folder of no layer is an error of its own, so
that a new folder is placed in the table before anything may use it. Includes in
angle brackets of the tree's own paths (<engine/...>) are checked like quoted ones.
Where a lower layer must reach a higher one, it declares a hook that the higher
fills at start-up instead of including it.

    tools/layering/check_layers.py [--root DIR]

Prints one line per forbidden include or unplaced folder, "file:line: ...", and
exits 1 when there is any.
"""

LAYERS = [
    # The libraries we write from their manuals: nothing of ours.
    ["libs/squirrel", "libs/soloud", "libs/profiler"],
    # Our layers over the platform: the Windows types that the window layer and the 3D
    # layer share sit below both; the 3D layer draws into the window layer's windows.
    ["platform/wintypes"],
    ["platform/debug", "platform/steam"],
    ["platform/win32"],
    ["platform/d3d9"],
    # The engine's subsystems in their order.
    ["engine/core"],
    ["engine/shared"],      # the data every subsystem reads
    ["engine/render"],
    ["engine/gui"],
    ["engine/script"],
    ["engine/gen"],
    ["engine/world"],       # the module host and the module's contract
    ["engine/audio"],
    ["engine/shell"],
    # On top: the module, then what builds and measures the whole.
    ["gameobj"],
    ["tests/support"],      # helpers the tools and benchmarks share with the tests
    ["tools"],
    ["tests"],
    ["bench"],
]

import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import include_graph  # noqa: E402


def layer_of(path, layers=LAYERS):
    """(row, folder) of the layer a file belongs to, or None outside every layer."""
    best = None
    for row, folders in enumerate(layers):
        for folder in folders:
            if path == folder or path.startswith(folder + "/"):
                if best is None or len(folder) > len(best[1]):
                    best = (row, folder)
    return best


def folder_of(path):
    """The subsystem or library folder a path lies in: engine/gen, platform/win32,
    libs/squirrel, or the top folder for the rest (gameobj, tools, tests, bench)."""
    parts = path.split("/")
    return "/".join(parts[:2]) if parts[0] in ("engine", "platform", "libs") and len(parts) > 2 else parts[0]


def unplaced(path, layers=LAYERS):
    """Why `path` lies outside the table, or None when a layer holds it."""
    if layer_of(path, layers) is not None:
        return None
    return "%s/ is in no layer of the table" % folder_of(path)


def forbidden(source, target, layers=LAYERS):
    """Why `source` may not include `target`, or None when it may (a file outside the
    table is reported by `unplaced`, once)."""
    src, dst = layer_of(source, layers), layer_of(target, layers)
    if src is None or dst is None or src[1] == dst[1] or dst[0] < src[0]:
        return None
    where = "the same level as" if dst[0] == src[0] else "above"
    return "%s/ may not include %s/, which is %s it" % (src[1], dst[1], where)


def violations(root, layers=LAYERS):
    """(file, line, included file, reason) for every include that crosses a forbidden
    edge, and (file, 0, None, reason) for every file in a folder of no layer."""
    files, includes = include_graph.includes(root)
    found = []
    for path in files:
        reason = unplaced(path, layers)
        if reason:
            found.append((path, 0, None, reason))
    for source, line, target in includes:
        reason = forbidden(source, target, layers)
        if reason:
            found.append((source, line, target, reason))
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
    args = parser.parse_args()
    found = violations(os.path.abspath(args.root))
    for source, line, target, reason in found:
        if target is None:
            print("%s: %s (tools/layering/check_layers.py, LAYERS)" % (source, reason))
        else:
            print('%s:%d: includes "%s": %s (tools/layering/check_layers.py, LAYERS)' % (source, line, target, reason))
    if found:
        print("%d include(s) or file(s) break the layering" % len(found))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
