#!/usr/bin/env python3
"""Prints the largest set of source files that reach each other through includes.

Each header is folded with the source file of the same name (log.h and log.cpp are one
node "log"), so a call that follows an include counts as the include does. A set of more
than one node is a knot: none of its files can be read, built or tested without the rest.

With --folders each subsystem or library folder (engine/gen, platform/debug, gameobj,
...) is one node: a knot there means subsystems that cannot be built one without the
other.

    tools/layering/include_cycles.py [--root DIR] [--all] [--folders]
"""

import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import include_graph  # noqa: E402


def node_of(path):
    return os.path.splitext(path)[0]


def folder_of(path):
    # tests/support is a layer of its own, below the tools and the tests that share it.
    parts = path.split("/")
    two = "/".join(parts[:2])
    return two if parts[0] in ("engine", "platform", "libs") or two == "tests/support" else parts[0]


def strongly_connected(nodes, edges):
    """Tarjan's algorithm without recursion; returns the sets of mutually reachable nodes."""
    index, low, on_stack, stack, found = {}, {}, set(), [], []
    counter = 0
    for start in nodes:
        if start in index:
            continue
        work = [(start, iter(sorted(edges.get(start, ()))))]
        index[start] = low[start] = counter
        counter += 1
        stack.append(start)
        on_stack.add(start)
        while work:
            node, successors = work[-1]
            advanced = False
            for succ in successors:
                if succ not in index:
                    index[succ] = low[succ] = counter
                    counter += 1
                    stack.append(succ)
                    on_stack.add(succ)
                    work.append((succ, iter(sorted(edges.get(succ, ())))))
                    advanced = True
                    break
                if succ in on_stack:
                    low[node] = min(low[node], index[succ])
            if advanced:
                continue
            work.pop()
            if work:
                parent = work[-1][0]
                low[parent] = min(low[parent], low[node])
            if low[node] == index[node]:
                component = []
                while True:
                    member = stack.pop()
                    on_stack.discard(member)
                    component.append(member)
                    if member == node:
                        break
                found.append(sorted(component))
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
    parser.add_argument("--all", action="store_true", help="print every set of more than one node")
    parser.add_argument("--folders", action="store_true", help="one node per subsystem or library folder")
    args = parser.parse_args()
    root = os.path.abspath(args.root)
    node_of_file = folder_of if args.folders else node_of

    files, includes = include_graph.includes(root)
    nodes = sorted({node_of_file(path) for path in files})
    edges = {}
    for source, _, target in includes:
        if node_of_file(source) != node_of_file(target):
            edges.setdefault(node_of_file(source), set()).add(node_of_file(target))

    knots = sorted((c for c in strongly_connected(nodes, edges) if len(c) > 1), key=len, reverse=True)
    if not knots:
        print("largest strongly connected set: 1 node (no include cycles)")
        return 0
    for knot in knots if args.all else knots[:1]:
        members = [path for path in files if node_of_file(path) in set(knot)]
        print("strongly connected set: %d nodes, %d files" % (len(knot), len(members)))
        for node in knot:
            print("  " + node)
    return 0


if __name__ == "__main__":
    sys.exit(main())
