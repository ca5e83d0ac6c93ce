#!/usr/bin/env python3
"""The layering check on a small tree of its own: includes in the wrong direction, between two
folders of one layer, of the test helpers from product code and from an undocumented folder
are reported with their lines; allowed ones are not."""

import os
import re
import subprocess
import sys
import tempfile
import unittest

WHERE = re.compile(r"^([\w/.]+(?::\d+)?): ")
SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "check-layers.py")

DOC = """# Shape

## Layers

| layer | folder | what it holds |
| --- | --- | --- |
| 1 | `low/` | the bottom |
| 2 | `mid/` | the middle |
| 2 | `side/` | beside the middle |
| 3 | `top/` | the top |

## Something else

| 1 | `notalayer/` | rows outside the section do not count |
"""

FILES = {
    "low/base.h": '#include <vector>\n#include "gtest/gtest.h"\n',
    "low/wrong.cpp": '#include "low/base.h"\n#include "mid/thing.h"\n',
    "mid/thing.h": '#include "low/base.h"\n',
    "mid/thing.cpp": '#include "mid/thing.h"\n  #  include "side/other.h"\n',
    "mid/win32/thing_win.cpp": '#include "mid/thing.h"\n#include "low/base.h"\n',
    "side/other.h": "",
    "top/app.cpp": '#include "mid/thing.h"\n#include "side/other.h"\n#include "tests/helper.h"\n',
    "top/app_test.cpp": '#include "top/app.h"\n#include "tests/helper.h"\n',
    "top/bench/app_bench.cpp": '#include "tests/helper.h"\n',
    "tests/helper.h": '#include "top/app.h"\n',
    "notalayer/x.cpp": '#include "low/base.h"\n',
    "low/notes.txt": '#include "top/app.h"\n',
}


def run(root):
    result = subprocess.run([sys.executable, SCRIPT, root], capture_output=True, text=True)
    return result.returncode, result.stdout


class LayeringCheck(unittest.TestCase):
    def make_tree(self, doc=DOC, files=FILES):
        root = tempfile.mkdtemp(prefix="layers-")
        self.addCleanup(lambda: subprocess.run(["rm", "-rf", root]))
        os.makedirs(os.path.join(root, "docs"))
        with open(os.path.join(root, "docs", "architecture.md"), "w") as f:
            f.write(doc)
        for path, text in files.items():
            os.makedirs(os.path.dirname(os.path.join(root, path)), exist_ok=True)
            with open(os.path.join(root, path), "w") as f:
                f.write(text)
        return root

    def test_reports_each_include_against_the_order(self):
        code, out = run(self.make_tree())
        self.assertEqual(code, 1, out)
        reported = sorted(m.group(1) for m in map(WHERE.match, out.splitlines()) if m)
        self.assertEqual(reported, [
            "low/wrong.cpp:2",        # up a layer
            "mid/thing.cpp:2",        # beside, in the same layer
            "notalayer/x.cpp",        # a folder without a layer
            "top/app.cpp:3",          # the test helpers from product code
        ], out)

    def test_a_tree_in_order_passes(self):
        files = {k: v for k, v in FILES.items()
                 if k not in ("low/wrong.cpp", "mid/thing.cpp", "top/app.cpp", "notalayer/x.cpp")}
        code, out = run(self.make_tree(files=files))
        self.assertEqual(code, 0, out)

    def test_without_the_table_nothing_passes(self):
        code, out = run(self.make_tree(doc="# Shape\n\nNo layers here.\n", files={}))
        self.assertEqual(code, 1, out)
        self.assertIn("no table of layers", out)


if __name__ == "__main__":
    unittest.main()
