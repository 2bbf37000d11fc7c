#!/usr/bin/env python3
"""The layer checker over small trees made for each case: what it reports,
with file and line, and what it lets pass."""
import os
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import check_layers  # noqa: E402

TABLE = """# top first
high      : the top
mid left  : two folders in one layer
low       : the bottom
"""

DOC = """# Architecture

<!-- layers.txt -->
```
high      : the top
mid left  : two folders in one layer
low       : the bottom
```
"""


class LayerCheckTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.root = self.dir.name
        self.write("src/layers.txt", TABLE)
        self.write("docs/architecture.md", DOC)
        self.write("src/low/base.h", "#pragma once\n")
        self.write("src/mid/feature.h", '#pragma once\n#include "low/base.h"\n')
        self.write("src/left/other.h", '#pragma once\n#include "low/base.h"\n')
        self.write("src/high/shell.cpp", '#include "high/shell.h"\n#include "mid/feature.h"\n#include "left/other.h"\n')
        self.write("src/high/shell.h", '#pragma once\n#include "windows.h"\n')
        self.write("tests/mid/feature_test.cpp",
                   '#include <gtest/gtest.h>\n#include "mid/feature.h"\n#include "low/base.h"\n#include "fixture.h"\n')
        self.write("tests/support/anything.cpp", '#include "high/shell.h"\n')

    def tearDown(self):
        self.dir.cleanup()

    def write(self, path, text):
        full = os.path.join(self.root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "w", encoding="utf-8") as f:
            f.write(text)

    def test_a_tree_that_keeps_the_layers_passes(self):
        self.assertEqual(check_layers.check(self.root), [])
        self.assertEqual(check_layers.check_doc(self.root), [])

    def test_a_test_include_reaching_up_is_reported_with_file_and_line(self):
        self.write("tests/low/base_test.cpp", '#include <gtest/gtest.h>\n#include "low/base.h"\n#include "high/shell.h"\n')
        self.assertEqual(check_layers.check(self.root),
                         ['tests/low/base_test.cpp:3: "high/shell.h" reaches up: low is below high'])

    def test_a_relative_include_counts_for_the_folder_it_lands_in(self):
        self.write("tests/high/shell_fixture.h", "#pragma once\n")
        self.write("tests/mid/run_test.cpp", '#include "../low/x.h"\n#include "../high/shell_fixture.h"\n')
        self.assertEqual(check_layers.check(self.root),
                         ['tests/mid/run_test.cpp:2: "../high/shell_fixture.h" reaches up: mid is below high'])

    def test_src_includes_up_and_across_are_reported(self):
        self.write("src/mid/feature.cpp", '#include "mid/feature.h"\n\n  #  include "left/other.h"\n#include "high/shell.h"\n')
        self.assertEqual(check_layers.check(self.root), [
            'src/mid/feature.cpp:3: "left/other.h" reaches across: mid and left share a layer',
            'src/mid/feature.cpp:4: "high/shell.h" reaches up: mid is below high',
        ])

    def test_a_src_folder_without_a_line_in_the_table_is_reported(self):
        self.write("src/extra/x.h", "#pragma once\n")
        self.assertEqual(check_layers.check(self.root), ["src/extra: the folder has no line in src/layers.txt"])

    def test_the_documents_table_must_repeat_the_file(self):
        self.write("docs/architecture.md", DOC.replace("the top", "the top layer"))
        self.assertEqual(check_layers.check_doc(self.root),
                         ["docs/architecture.md:5: the layer table differs from src/layers.txt"])
        self.write("docs/architecture.md", "# Architecture\n")
        self.assertEqual(len(check_layers.check_doc(self.root)), 1)

    def test_the_command_prints_each_problem_and_fails(self):
        self.write("tests/low/base_test.cpp", '#include "mid/feature.h"\n')
        script = os.path.join(HERE, "check_layers.py")
        run = subprocess.run([sys.executable, script, "--doc", self.root], capture_output=True, text=True)
        self.assertEqual(run.returncode, 1)
        self.assertEqual(run.stdout, 'tests/low/base_test.cpp:1: "mid/feature.h" reaches up: low is below mid\n')
        os.remove(os.path.join(self.root, "tests/low/base_test.cpp"))
        run = subprocess.run([sys.executable, script, "--doc", self.root], capture_output=True, text=True)
        self.assertEqual((run.returncode, run.stdout), (0, ""))


if __name__ == "__main__":
    unittest.main()
