"""Real archives written by other tools, generated at test time, with what each should hold.

make_archives(folder) returns {archive path: [(raw name bytes, is directory, data bytes)]}.
"""
import io
import os
import random
import shutil
import subprocess
import zipfile


def _pattern(n, seed=0):
    words = [b"alpha ", b"beta ", b"gamma ", b"delta\n", b"log line %d " % seed]
    out = bytearray()
    i = 0
    while len(out) < n:
        out += words[i % len(words)]
        i += 1
    return bytes(out[:n])


def _random(n, seed):
    return random.Random(seed).randbytes(n)


def _tree(root):
    """A small folder tree on disk for Info-ZIP: (relative path, data) of the files, plus an empty folder."""
    files = {
        "readme.txt": _pattern(3000, 1),
        "docs/guide.txt": _pattern(20000, 2),
        "docs/deep/nested/data.bin": _random(5000, 3),
        "empty.txt": b"",
    }
    for rel, data in files.items():
        path = os.path.join(root, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
    os.makedirs(os.path.join(root, "emptydir"), exist_ok=True)
    return files


def _infozip_expected(files, with_dirs):
    entries = []
    dirs = set()
    for rel in files:
        parts = rel.split("/")[:-1]
        for i in range(1, len(parts) + 1):
            dirs.add("/".join(parts[:i]) + "/")
    dirs.add("emptydir/")
    for rel, data in files.items():
        entries.append((rel.encode(), False, data))
    if with_dirs:
        for d in dirs:
            entries.append((d.encode(), True, b""))
    return entries


def _run(args, cwd, stdout=None, stdin=None):
    subprocess.run(args, cwd=cwd, check=True, stdout=stdout, stdin=stdin)


def make_archives(folder, many_entries=True):
    folder = os.path.abspath(folder)
    os.makedirs(folder, exist_ok=True)
    tree = os.path.join(folder, "tree")
    shutil.rmtree(tree, ignore_errors=True)
    files = _tree(tree)
    names = ["readme.txt", "docs", "empty.txt", "emptydir"]
    result = {}

    def infozip(name, flags, with_dirs):
        path = os.path.join(folder, name)
        if os.path.exists(path):
            os.remove(path)
        _run(["zip", "-q", "-r", *flags, path, *names], cwd=tree)
        result[path] = _infozip_expected(files, with_dirs)

    infozip("infozip-deflated.zip", ["-9"], True)
    infozip("infozip-stored.zip", ["-0"], True)
    infozip("infozip-nodirs.zip", ["-9", "-D"], False)

    # Streamed to a pipe: Info-ZIP cannot seek back and writes data descriptors.
    path = os.path.join(folder, "infozip-streamed.zip")
    with open(path, "wb") as out:
        zip_proc = subprocess.Popen(["zip", "-q", "-", *sorted(files)], cwd=tree, stdout=subprocess.PIPE)
        shutil.copyfileobj(zip_proc.stdout, out)
        if zip_proc.wait() != 0:
            raise RuntimeError("zip streaming failed")
    result[path] = [(rel.encode(), False, data) for rel, data in files.items()]

    # Data read from standard input: the entry "-", streamed, Zip64 extra fields.
    path = os.path.join(folder, "infozip-stdin.zip")
    if os.path.exists(path):
        os.remove(path)
    stdin_data = _pattern(70000, 4)
    subprocess.run(["zip", "-q", path, "-"], input=stdin_data, check=True)
    result[path] = [(b"-", False, stdin_data)]

    def python_zip(name, entries, **open_args):
        path = os.path.join(folder, name)
        with zipfile.ZipFile(path, "w", **open_args) as z:
            for entry in entries:
                entry(z)
        return path

    data = {"a.txt": _pattern(50000, 5), "b.bin": _random(30000, 6), "c/d.txt": b"d" * 1000}

    def writestr(name, payload, method=zipfile.ZIP_DEFLATED):
        return lambda z: z.writestr(zipfile.ZipInfo(name) if name.endswith("/") else name, payload,
                                    compress_type=method)

    path = python_zip("python-deflated.zip", [writestr(n, d) for n, d in data.items()])
    result[path] = [(n.encode(), False, d) for n, d in data.items()]
    path = python_zip("python-stored.zip", [writestr(n, d, zipfile.ZIP_STORED) for n, d in data.items()])
    result[path] = [(n.encode(), False, d) for n, d in data.items()]

    def zip64_entry(name, payload):
        def write(z):
            with z.open(zipfile.ZipInfo(name), "w", force_zip64=True) as f:
                f.write(payload)
        return write

    path = python_zip("python-zip64.zip", [zip64_entry(n, d) for n, d in data.items()],
                      compression=zipfile.ZIP_DEFLATED)
    result[path] = [(n.encode(), False, d) for n, d in data.items()]

    # Zip64 records in the central directory and the Zip64 end record, for a small archive: zipfile
    # writes them above its ZIP64_LIMIT, lowered here as Python's own tests do.
    saved = zipfile.ZIP64_LIMIT, zipfile.ZIP_FILECOUNT_LIMIT
    zipfile.ZIP64_LIMIT, zipfile.ZIP_FILECOUNT_LIMIT = 1000, 2
    try:
        path = python_zip("python-zip64-central.zip", [writestr(n, d) for n, d in data.items()],
                          compression=zipfile.ZIP_DEFLATED)
    finally:
        zipfile.ZIP64_LIMIT, zipfile.ZIP_FILECOUNT_LIMIT = saved
    result[path] = [(n.encode(), False, d) for n, d in data.items()]

    path = python_zip("python-empty-entries.zip",
                      [writestr("empty.txt", b""), writestr("empty-stored.txt", b"", zipfile.ZIP_STORED),
                       writestr("folder/", b""), writestr("folder/inner/", b"")])
    result[path] = [(b"empty.txt", False, b""), (b"empty-stored.txt", False, b""),
                    (b"folder/", True, b""), (b"folder/inner/", True, b"")]

    path = python_zip("python-no-entries.zip", [])
    result[path] = []

    # Written to a stream that cannot seek: data descriptors from Python as well.
    class NoSeek(io.RawIOBase):
        def __init__(self, f):
            self.f = f
        def writable(self):
            return True
        def write(self, b):
            return self.f.write(b)
    path = os.path.join(folder, "python-streamed.zip")
    with open(path, "wb") as raw:
        with zipfile.ZipFile(NoSeek(raw), "w", compression=zipfile.ZIP_DEFLATED) as z:
            for n, d in data.items():
                with z.open(n, "w") as f:
                    f.write(d)
    result[path] = [(n.encode(), False, d) for n, d in data.items()]

    if many_entries:
        # More than 65,535 entries: the counts live in the Zip64 end record.
        path = os.path.join(folder, "python-70000.zip")
        with zipfile.ZipFile(path, "w") as z:
            for i in range(70000):
                z.writestr("f/%05d" % i, b"%d" % i)
        result[path] = [(b"f/%05d" % i, False, b"%d" % i) for i in range(70000)]
    return result
