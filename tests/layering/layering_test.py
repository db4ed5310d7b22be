#!/usr/bin/env python3
"""The layering check, its symbol side and the include-cycle report, run on small trees
and symbol tables made here."""

import io
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
from contextlib import redirect_stdout

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "layering"))
import check_layers  # noqa: E402
import check_symbols  # noqa: E402
import include_cycles  # noqa: E402


def make_tree(files):
    """A temporary source tree: {path: text}."""
    root = tempfile.mkdtemp(prefix="layering_")
    for path, text in files.items():
        full = os.path.join(root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "w") as f:
            f.write(text)
    return root


def run_main(module, *args):
    """(exit code, standard output) of a script's main() run with `args`."""
    sys.argv = [module.__name__ + ".py"] + list(args)
    out = io.StringIO()
    with redirect_stdout(out):
        code = module.main()
    return code, out.getvalue()


class CheckLayers(unittest.TestCase):
    def violations(self, files):
        return [(source, line, target) for source, line, target, _ in check_layers.violations(make_tree(files))]

    def test_includes_that_point_down_pass(self):
        self.assertEqual(self.violations({
            "engine/core/log.h": "#pragma once\n",
            "engine/shell/main.cpp": '#include "engine/core/log.h"\n#include <vector>\n',
            "engine/render/image.cpp": '#include "engine/core/log.h"\n#include "image.h"\n',
            "engine/render/image.h": "#pragma once\n",
            "platform/wintypes/wintypes.h": "#pragma once\n",
            "platform/win32/windows.h": '#include "platform/wintypes/wintypes.h"\n',
            "platform/d3d9/d3d9.h": '#include "platform/wintypes/wintypes.h"\n#include "platform/win32/windows.h"\n',
            "libs/squirrel/include/squirrel.h": "#pragma once\n",
            "engine/shared/table.h": "#include <squirrel.h>\n",
            "gameobj/hero.cpp": '#include "engine/shell/main.cpp"\n',
            "tests/core/log_test.cpp": '#include "tests/support/temp.h"\n#include "tools/meshgen/writer.h"\n',
            "tests/support/temp.h": '#include "gameobj/hero.cpp"\n',
            "tools/meshgen/writer.h": '#include "tests/support/temp.h"\n',
        }), [])

    def test_each_forbidden_include_is_named_with_its_file_and_line(self):
        cases = [
            # (including file, included file): up, sideways between libraries, into the module
            ("engine/core/fatal.cpp", "engine/shell/scene.h"),
            ("engine/gen/level.cpp", "engine/world/camera.h"),
            ("libs/squirrel/src/vm.cpp", "libs/soloud/include/soloud.h"),
            ("libs/profiler/profiler.cpp", "engine/core/log.h"),
            ("platform/debug/crash.cpp", "engine/core/log.h"),
            ("platform/win32/window.cpp", "platform/d3d9/d3d9.h"),
            ("platform/wintypes/wintypes.h", "platform/win32/windows.h"),
            ("engine/world/host.h", "gameobj/gameobj_api.h"),
            ("tests/support/helper.h", "tests/shell/env.h"),
            ("tools/dump/dump.cpp", "bench/frame/frame.cpp"),
        ]
        for source, target in cases:
            with self.subTest(source=source, target=target):
                found = self.violations({
                    source: '// first line\n#include <cstdio>\n#include "%s"\n' % target,
                    target: "#pragma once\n",
                })
                self.assertEqual(found, [(source, 3, target)])

    def test_a_quoted_include_is_found_beside_its_file_too(self):
        found = self.violations({
            "engine/core/strings.cpp": '#include "../shell/scene.h"\n',
            "engine/shell/scene.h": "#pragma once\n",
        })
        self.assertEqual(found, [("engine/core/strings.cpp", 1, "engine/shell/scene.h")])

    def test_the_report_names_file_and_line_and_fails(self):
        root = make_tree({
            "engine/gen/runtime.cpp": '\n#include "engine/world/level_sweep.h"\n',
            "engine/world/level_sweep.h": "#pragma once\n",
        })
        code, out = run_main(check_layers, "--root", root)
        self.assertEqual(code, 1)
        self.assertIn('engine/gen/runtime.cpp:2: includes "engine/world/level_sweep.h": '
                      "engine/gen/ may not include engine/world/, which is above it", out)

    def test_a_file_in_a_folder_the_table_does_not_know_is_reported_with_the_folder(self):
        root = make_tree({
            "engine/physics/body.cpp": '#include "engine/shell/scene.h"\n',
            "engine/shell/scene.h": "#pragma once\n",
            "engine/core/log.h": "#pragma once\n",
        })
        code, out = run_main(check_layers, "--root", root)
        self.assertEqual(code, 1)
        self.assertIn("engine/physics/body.cpp: engine/physics/ is in no layer of the table", out)
        self.assertNotIn("engine/shell/scene.h:", out)

    def test_angle_bracket_includes_of_the_tree_are_checked_like_quoted_ones(self):
        found = self.violations({
            "engine/gen/level.cpp": "#include <vector>\n#include <engine/world/camera.h>\n",
            "engine/world/camera.h": "#pragma once\n",
            "engine/shell/main.cpp": "#include <engine/world/camera.h>\n",
        })
        self.assertEqual(found, [("engine/gen/level.cpp", 2, "engine/world/camera.h")])

    def test_the_build_adds_and_links_the_folders_in_the_order_of_the_table(self):
        root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
        with open(os.path.join(root, "CMakeLists.txt")) as f:
            text = f.read()
        match = re.search(r"set\(TORVANE_FOLDERS\s([^)]*)\)", text)
        self.assertIsNotNone(match, "no TORVANE_FOLDERS list in CMakeLists.txt")
        folders = match.group(1).split()
        rows = [check_layers.layer_of(folder)[0] for folder in folders]
        self.assertEqual(rows, sorted(rows), "TORVANE_FOLDERS, by row of LAYERS: %s" % list(zip(folders, rows)))
        for row in check_layers.LAYERS:
            for folder in row:
                if os.path.isfile(os.path.join(root, folder, "CMakeLists.txt")):
                    self.assertIn(folder, folders)

    def test_every_layer_of_the_table_is_a_folder_of_the_tree(self):
        root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
        for row in check_layers.LAYERS:
            for folder in row:
                self.assertTrue(os.path.isdir(os.path.join(root, folder)), folder)


class CheckSymbols(unittest.TestCase):
    def test_a_use_is_an_edge_when_the_definition_the_link_takes_lies_above_or_beside(self):
        # (folder using the symbol, [(defining folder, weak?)], the edge or None)
        cases = [
            ("engine/render", [("engine/gui", False)], ("engine/render", "engine/gui")),
            ("engine/render", [("engine/core", False)], None),
            ("engine/render", [("engine/render", False)], None),
            ("platform/win32", [("platform/d3d9", False)], ("platform/win32", "platform/d3d9")),
            ("platform/d3d9", [("platform/win32", False)], None),
            ("platform/debug", [("platform/steam", False)], ("platform/debug", "platform/steam")),
            # A weak stand-in of its own does not hide the strong definition above.
            ("engine/render", [("engine/render", True), ("engine/gui", False)], ("engine/render", "engine/gui")),
            ("engine/render", [("engine/render", True), ("engine/gui", True)], None),
            ("engine/gui", [("engine/shell", True)], ("engine/gui", "engine/shell")),
            ("engine/world", [("engine/render", False), ("engine/shell", True)], None),
            ("engine/audio", [], None),  # the C runtime's, or a library's
        ]
        for user, definers, edge in cases:
            with self.subTest(user=user, definers=definers):
                objects = [(folder, {"_Z4usedv": weak}, set()) for folder, weak in definers]
                objects.append((user, {}, {"_Z4usedv"}))
                expected = {edge: {"_Z4usedv"}} if edge else {}
                self.assertEqual(check_symbols.upward_uses(objects), expected)

    def test_only_the_cores_operators_new_and_delete_serve_everyone(self):
        objects = [
            ("engine/core", {"_Znwm": False, "_ZdlPvm": False, "_Z5fatalPKcz": False}, set()),
            ("libs/squirrel", {}, {"_Znwm", "_ZdlPvm", "_Z5fatalPKcz"}),
            ("engine/shell", {"_Znam": False}, set()),
            ("engine/gen", {}, {"_Znam"}),
        ]
        self.assertEqual(check_symbols.upward_uses(objects), {
            ("libs/squirrel", "engine/core"): {"_Z5fatalPKcz"},
            ("engine/gen", "engine/shell"): {"_Znam"},
        })


def make_build(sources, libraries):
    """A source tree of `sources` ({path: text}) and beside it a build folder as CMake's
    Ninja generator leaves it: each library of `libraries` ({name: [source path]}) is
    an object library whose objects are compiled here for real."""
    root = make_tree(sources)
    build = os.path.join(root, "build")
    os.makedirs(build)
    with open(os.path.join(build, "CMakeCache.txt"), "w") as f:
        f.write("CMAKE_HOME_DIRECTORY:INTERNAL=%s\n" % root)
    ninja = []
    for name, paths in libraries.items():
        objects = []
        for path in paths:
            obj = "%s/CMakeFiles/%s.dir/%s.o" % (os.path.dirname(path), name, os.path.basename(path))
            os.makedirs(os.path.join(build, os.path.dirname(obj)), exist_ok=True)
            subprocess.run([os.environ.get("CXX", "c++"), "-c", os.path.join(root, path), "-o",
                            os.path.join(build, obj)], check=True)
            ninja.append("build %s: CXX_COMPILER__%s_Release %s" % (obj, name, os.path.join(root, path)))
            objects.append(obj)
        ninja += ["# Object library %s" % name, "", "build %s: phony %s" % (name, " ".join(objects)), ""]
    with open(os.path.join(build, "build.ninja"), "w") as f:
        f.write("\n".join(ninja) + "\n")
    return build


@unittest.skipUnless(shutil.which(os.environ.get("CXX", "c++")) and shutil.which("nm"), "no compiler or nm")
class CheckSymbolsOnObjects(unittest.TestCase):
    def report(self, build):
        return run_main(check_symbols, build)

    def test_a_lower_object_calling_a_function_a_higher_one_defines_is_reported(self):
        build = make_build({
            "engine/gen/runtime.cpp": "int camera_x();\nint runtime_step() { return camera_x() + 1; }\n",
            "engine/world/camera.cpp": "int camera_x() { return 3; }\nint camera_y() { return 4; }\n",
            "engine/shell/scene.cpp": "int camera_y();\nint scene_step() { return camera_y(); }\n",
        }, {"engine_gen": ["engine/gen/runtime.cpp"], "engine_world": ["engine/world/camera.cpp"],
            "engine_shell": ["engine/shell/scene.cpp"]})
        code, out = self.report(build)
        self.assertEqual((code, out), (1, "engine/gen -> engine/world: camera_x()\n"))

    def test_calls_that_point_down_pass(self):
        build = make_build({
            "engine/gen/runtime.cpp": "int runtime_step() { return 1; }\n",
            "engine/world/camera.cpp": "int runtime_step();\nint camera_x() { return runtime_step(); }\n",
        }, {"engine_gen": ["engine/gen/runtime.cpp"], "engine_world": ["engine/world/camera.cpp"]})
        self.assertEqual(self.report(build), (0, ""))

    def test_an_object_of_a_folder_the_table_does_not_know_is_reported(self):
        build = make_build({
            "engine/physics/body.cpp": "int body_mass() { return 2; }\n",
        }, {"engine_physics": ["engine/physics/body.cpp"]})
        code, out = self.report(build)
        self.assertEqual(code, 1)
        self.assertIn("engine/physics/ is in no layer of the table", out)


class IncludeCycles(unittest.TestCase):
    def test_strongly_connected_sets(self):
        edges = {"a": {"b"}, "b": {"c"}, "c": {"a", "d"}, "d": {"e"}, "e": {"d"}, "f": {"a"}}
        sets = include_cycles.strongly_connected(sorted("abcdef"), edges)
        self.assertEqual(sorted(sets), [["a", "b", "c"], ["d", "e"], ["f"]])

    def test_a_header_and_its_source_are_one_node(self):
        # log.h -> nothing; log.cpp -> fatal.h; fatal.cpp -> log.h: one knot of two nodes.
        root = make_tree({
            "engine/core/log.h": "#pragma once\n",
            "engine/core/log.cpp": '#include "engine/core/log.h"\n#include "engine/core/fatal.h"\n',
            "engine/core/fatal.h": "#pragma once\n",
            "engine/core/fatal.cpp": '#include "engine/core/fatal.h"\n#include "engine/core/log.h"\n',
            "engine/core/mem.h": '#include "engine/core/log.h"\n',
        })
        _, out = run_main(include_cycles, "--root", root)
        self.assertEqual(out, "strongly connected set: 2 nodes, 4 files\n"
                                         "  engine/core/fatal\n  engine/core/log\n")

    def test_folders_fold_a_subsystem_into_one_node(self):
        # gen includes the shell for one global while the shell includes gen: two
        # subsystems knotted, though no file reaches itself.
        root = make_tree({
            "engine/gen/compose.cpp": '#include "engine/shell/modes/flow.h"\n',
            "engine/gen/tiles.h": "#pragma once\n",
            "engine/shell/modes/flow.h": "#pragma once\n",
            "engine/shell/scene.cpp": '#include "engine/gen/tiles.h"\n',
            "engine/core/log.h": "#pragma once\n",
        })
        for options, expected in [([], "largest strongly connected set: 1 node (no include cycles)\n"),
                                  (["--folders"], "strongly connected set: 2 nodes, 4 files\n"
                                                  "  engine/gen\n  engine/shell\n")]:
            _, out = run_main(include_cycles, "--root", root, *options)
            self.assertEqual(out, expected, options)


if __name__ == "__main__":
    unittest.main()
