"""Reads the project's own #include lines: which file includes which, and where.

Shared by the include-cycle report and the layering check. Paths are relative to the
source root and use '/'.
"""

import os
import re

SOURCE_FOLDERS = ("libs", "platform", "engine", "gameobj", "tools", "tests", "bench")
SOURCE_SUFFIXES = (".h", ".hpp", ".inl", ".c", ".cc", ".cpp")
INCLUDE_LINE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]')


def source_files(root):
    """Every C and C++ source of the tree, sorted."""
    found = []
    for folder in SOURCE_FOLDERS:
        for here, dirs, files in os.walk(os.path.join(root, folder)):
            dirs.sort()
            for name in files:
                if name.endswith(SOURCE_SUFFIXES):
                    found.append(os.path.relpath(os.path.join(here, name), root).replace(os.sep, "/"))
    return sorted(found)


def library_include_folders(root):
    """The libraries' public header folders, searched for <...> includes as the build does."""
    libs = os.path.join(root, "libs")
    folders = []
    for name in sorted(os.listdir(libs)) if os.path.isdir(libs) else []:
        if os.path.isdir(os.path.join(libs, name, "include")):
            folders.append("libs/%s/include" % name)
    return folders


def resolve(root, including, quoted, name, known, lib_folders):
    """The tree file an include names, or None for a system header. The tree's root is
    an include folder of every target, so <engine/...> names a tree file as "engine/..."
    does; a quoted name is also looked for beside the including file."""
    candidates = [name]
    if quoted:
        candidates.append(os.path.normpath(os.path.join(os.path.dirname(including), name)))
    candidates.extend("%s/%s" % (folder, name) for folder in lib_folders)
    for candidate in candidates:
        candidate = candidate.replace(os.sep, "/")
        if candidate in known:
            return candidate
    return None


def includes(root):
    """(file, line number, included file) for every include of one tree file by another."""
    files = source_files(root)
    known = set(files)
    lib_folders = library_include_folders(root)
    edges = []
    for path in files:
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
            for number, line in enumerate(f, 1):
                match = INCLUDE_LINE.match(line)
                if not match:
                    continue
                target = resolve(root, path, match.group(1) == '"', match.group(2), known, lib_folders)
                if target and target != path:
                    edges.append((path, number, target))
    return files, edges
