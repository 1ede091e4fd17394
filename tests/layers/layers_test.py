#!/usr/bin/env python3
"""The layer check on copies of src/: the real tree passes, and each way of breaking a layer fails.
The function length check (check_function_length.py next to the layer check): the real tree passes,
and functions of 60 lines or more are found in the shapes C++ gives them.
Usage: layers_test.py CHECK_SCRIPT SRC LAYERS"""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

CHECK, SRC, LAYERS = sys.argv[1:4]
LENGTH_CHECK = os.path.join(os.path.dirname(CHECK), "check_function_length.py")


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


def body(lines):
    """`lines` statements, one a line."""
    return "".join("  x += %d;\n" % i for i in range(lines))


# (what, source, the first lines of the functions found too long)
LENGTH_CASES = [
    ("59 lines", "int F() {\n" + body(57) + "}\n", []),
    ("60 lines", "int F() {\n" + body(58) + "}\n", [1]),
    ("counted from the name, not the header's first line",
     "template <class T>\nstatic\nint F(T a,\n      T b) {\n" + body(57) + "}\n", [3]),
    ("a member in a class in a namespace", "namespace a {\nclass C : public B<D> {\n public:\n  void F() const {\n" +
     body(58) + "  }\n};\n}  // namespace a\n", [4]),
    ("a constructor with brace initialisers", "C::C()\n    : a_{1}, b_{2} {\n" + body(57) + "}\n", [1]),
    ("braces in comments, strings and data are no bodies",
     "// f() {\nconst char* k = \"g() {\";\nconst int t[] = {1, 2};\nint F() {\n  char c = '{';\n" + body(57) +
     "}\n", [4]),
    ("a lambda inside a function stays in it", "void F() {\n  auto g = []() {\n" + body(30) + "  };\n" + body(26) +
     "}\n", [1]),
]


class FunctionLength(unittest.TestCase):
    def run_check(self, root):
        result = subprocess.run([sys.executable, LENGTH_CHECK, root], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                universal_newlines=True)
        return result.returncode, result.stdout

    def test_real_tree_has_no_long_function(self):
        code, output = self.run_check(SRC)
        self.assertEqual((code, output), (0, ""))

    def test_cases(self):
        for name, source, lines in LENGTH_CASES:
            with self.subTest(name), tempfile.TemporaryDirectory() as root:
                path = os.path.join(root, "a.cpp")
                with open(path, "w", encoding="utf-8") as f:
                    f.write(source)
                code, output = self.run_check(root)
                self.assertEqual(code, 1 if lines else 0, output)
                found = [int(l.split(":")[1]) for l in output.splitlines() if l.startswith(path)]
                self.assertEqual(found, lines, output)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
