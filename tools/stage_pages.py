#!/usr/bin/env python3
"""Lays out the page folder that goes into the executable: the committed pages, jQuery from
node_modules, the part of jQuery UI the pages use built from its npm sources (both pinned in
package-lock.json), and the images drawn by make_page_images.py.

usage: stage_pages.py PAGES_DIR NODE_MODULES OUT_DIR
"""
import os
import shutil
import subprocess
import sys

LIBRARIES = [
    ("jquery/dist/jquery.min.js", "js/jquery-1.11.2.min.js"),
]


def main():
    pages, modules, out = sys.argv[1:4]
    if os.path.isdir(out):
        shutil.rmtree(out)
    shutil.copytree(pages, out)
    for source, target in LIBRARIES:
        path = os.path.join(modules, source)
        if not os.path.isfile(path):
            sys.exit("stage_pages: %s is missing; run scripts/setup (npm ci)" % path)
        with open(path, "rb") as f:
            data = f.read()
        # The pages load nothing from outside the page folder, source maps included.
        data = b"\n".join(line for line in data.split(b"\n") if not line.startswith(b"//# sourceMappingURL"))
        with open(os.path.join(out, target), "wb") as f:
            f.write(data)
    here = os.path.dirname(os.path.abspath(__file__))
    subprocess.check_call(["node", os.path.join(here, "build_jquery_ui.js"), modules,
                           os.path.join(out, "js", "jquery-ui.min.js"), os.path.join(out, "css", "jquery-ui.css"),
                           pages])
    subprocess.check_call([sys.executable, os.path.join(here, "make_page_images.py"), os.path.join(out, "images")])


if __name__ == "__main__":
    main()
