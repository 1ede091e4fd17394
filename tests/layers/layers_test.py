#!/usr/bin/env python3
"""The layer check on copies of src/: the real tree passes, and each way of breaking a layer fails.
Usage: layers_test.py CHECK_SCRIPT SRC LAYERS"""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

CHECK, SRC, LAYERS = sys.argv[1:4]


def add_include(root, subsystem, include):
    """Adds `#include "<include>"` to the first header of src/<subsystem>/ (made when there is none)."""
    folder = os.path.join(root, "src", subsystem)
    os.makedirs(folder, exist_ok=True)
    headers = sorted(f for f in os.listdir(folder) if f.endswith(".h"))
    path = os.path.join(folder, headers[0] if headers else "added.h")
    with open(path, "a", encoding="utf-8") as f:
        f.write('\n#include "%s"\n' % include)
    return os.path.relpath(path, root)


def replace_layer(root, line):
    """Replaces the declaration of the subsystem that `line` names (or adds it)."""
    path = os.path.join(root, "layers.txt")
    name = line.split(":")[0]
    with open(path, encoding="utf-8") as f:
        lines = [l for l in f.read().splitlines() if l.split(":")[0] != name]
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(lines + [line]) + "\n")


# (what is changed, change, passes, a text the output must hold)
CASES = [
    ("nothing", lambda root: None, True, ""),
    ("common includes app", lambda root: add_include(root, "common", "app/run_sequence.h"), False,
     'common includes "app/...", but common may use only: nothing'),
    ("reporting includes app, the old cycle", lambda root: add_include(root, "reporting", "app/host_window.h"),
     False, 'reporting includes "app/..."'),
    ("bridge includes app", lambda root: add_include(root, "bridge", "app/window_data.h"), False,
     'bridge includes "app/..."'),
    ("download includes installer, sideways", lambda root: add_include(root, "download", "installer/install_owner.h"),
     False, 'download includes "installer/..."'),
    ("log includes reporting, a layer up", lambda root: add_include(root, "log", "reporting/session_info.h"),
     False, 'log includes "reporting/..."'),
    ("identity includes sysinfo through log", lambda root: add_include(root, "identity", "sysinfo/temp_folder.h"),
     True, ""),
    ("a folder that is not declared", lambda root: add_include(root, "extra", "common/hresult.h"), False,
     "src/extra/ is not a declared subsystem"),
    ("a dependency that is not declared", lambda root: replace_layer(root, "log: common sysinfo gui"), False,
     "log depends on 'gui', which is not a declared subsystem"),
    ("a cycle among the declarations", lambda root: replace_layer(root, "common: app"), False,
     "the declared dependencies form a cycle"),
]


class LayerCheck(unittest.TestCase):
    def run_case(self, change):
        with tempfile.TemporaryDirectory() as root:
            shutil.copytree(SRC, os.path.join(root, "src"))
            shutil.copyfile(LAYERS, os.path.join(root, "layers.txt"))
            change(root)
            result = subprocess.run([sys.executable, CHECK, os.path.join(root, "src"), os.path.join(root, "layers.txt")],
                                    stdout=subprocess.PIPE, stderr=subprocess.STDOUT, universal_newlines=True)
            return result.returncode, result.stdout

    def test_cases(self):
        for name, change, passes, text in CASES:
            with self.subTest(name):
                code, output = self.run_case(change)
                self.assertEqual(code, 0 if passes else 1, output)
                self.assertIn(text, output)
                if passes:
                    self.assertEqual(output, "")
                else:
                    self.assertIn("layer check failed", output)

    def test_fault_names_file_and_line(self):
        def change(root):
            change.path = add_include(root, "zip", "log/logger.h")
        code, output = self.run_case(change)
        self.assertEqual(code, 1)
        with open(os.path.join(SRC, os.path.relpath(change.path, "src")), encoding="utf-8") as f:
            lines = f.read().count("\n")
        # The appended include is two lines below the original end.
        self.assertIn("%s:%d: zip includes" % (change.path, lines + 2), output)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
