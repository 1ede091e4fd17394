#!/usr/bin/env python3
"""Interoperability of the archive library with Info-ZIP and Python's zipfile.

interop_test.py ZIP_TOOL WORK_FOLDER [CORPUS_FOLDER]
Reads archives the other tools wrote (names, directory flags, sizes, data), then writes archives
with the library and checks them with `unzip -t` and zipfile (names, data, zero times).
The small archives are copied to CORPUS_FOLDER as the fuzzer's seeds.
"""
import os
import shutil
import subprocess
import sys
import zipfile
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from archives import make_archives, _pattern, _random  # noqa: E402

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL: " + message)


def read_archive(tool, path):
    listing = subprocess.run([tool, "list", path], capture_output=True, text=True)
    if listing.returncode != 0:
        return None, listing.stderr
    entries = []
    for line in listing.stdout.splitlines():
        index, is_dir, size, crc, name = line.split(" ")
        entries.append((bytes.fromhex(name), is_dir == "1", int(size), int(crc, 16)))
    return entries, ""


def check_reads(tool, work):
    archives = make_archives(os.path.join(work, "others"))
    for path, expected in archives.items():
        label = os.path.basename(path)
        entries, error = read_archive(tool, path)
        check(entries is not None, "%s: not read: %s" % (label, error))
        if entries is None:
            continue
        check(sorted((n, d) for n, d, _, _ in entries) == sorted((n, d) for n, d, _ in expected),
              "%s: names or directory flags differ" % label)
        by_name = {n: data for n, _, data in expected}
        for name, is_dir, size, crc in entries:
            if is_dir:
                continue
            data = by_name.get(name, b"")
            check(size == len(data) and crc == zlib.crc32(data), "%s: data of %r differs" % (label, name))
        # The generators really produced what the archive's name promises.
        with zipfile.ZipFile(path) as z:
            infos = z.infolist()
        with open(path, "rb") as f:
            raw = f.read()
        if "streamed" in label:
            check(any(i.flag_bits & 0x08 for i in infos), "%s: no data descriptors" % label)
        if label in ("python-zip64.zip", "infozip-stdin.zip"):
            local_extra = [raw[i.header_offset + 30 + len(i.orig_filename):][:2] for i in infos]
            check(all(e == b"\x01\x00" for e in local_extra), "%s: no Zip64 local extra fields" % label)
        if "zip64-central" in label or label in ("python-70000.zip", "infozip-stdin.zip"):
            check(b"PK\x06\x06" in raw and b"PK\x06\x07" in raw, "%s: no Zip64 end record" % label)
        if "zip64-central" in label:
            check(any(i.extra[:2] == b"\x01\x00" for i in infos), "%s: no Zip64 central extra fields" % label)
        print("read %-28s %6d entries" % (label, len(entries)))
    return archives


def check_refusals(tool, work):
    """Entries Info-ZIP writes that the library has no decoder for (bzip2) or must not read
    (traditional encryption) are refused cleanly, after the entry before them was read."""
    folder = os.path.join(work, "refused")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    with open(os.path.join(folder, "a.txt"), "wb") as f:
        f.write(b"first entry\n")
    with open(os.path.join(folder, "b.txt"), "wb") as f:
        f.write(_pattern(20000, 9))
    cases = [("bzip2.zip", ["-Z", "bzip2"], lambda i: i.compress_type == zipfile.ZIP_BZIP2),
             ("encrypted.zip", ["-P", "secret"], lambda i: i.flag_bits & 1)]
    for name, flags, shape in cases:
        path = os.path.join(folder, name)
        subprocess.run(["zip", "-q", *flags, path, "a.txt", "b.txt"], cwd=folder, check=True)
        # Info-ZIP may store the small file plainly; the listing stops at the first entry refused.
        with zipfile.ZipFile(path) as z:
            first = [i for i, info in enumerate(z.infolist()) if shape(info)]
        check(bool(first), "%s: no entry of the intended shape" % name)
        listing = subprocess.run([tool, "list", path], capture_output=True, text=True)
        clean = bool(first) and listing.returncode == 1 and listing.stderr == "entry %d failed\n" % first[0] and \
            len(listing.stdout.splitlines()) == first[0]
        check(clean, "%s: not refused cleanly: %d %r" % (name, listing.returncode, listing.stderr))
        if clean:
            print("refused %-25s at entry %d" % (name, first[0]))


def check_writes(tool, work):
    folder = os.path.join(work, "ours")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    inputs = [
        ("installer_log.txt", _pattern(120000, 7)),
        ("log.txt", _random(40000, 8)),
        ("log.txt", b"second file of the same name\n"),
        ("empty.txt", b""),
        ("log.txt.xml", b"<log/>" * 500),
    ]
    archive = os.path.join(folder, "log.zip")
    for i, (name, data) in enumerate(inputs):
        source = os.path.join(folder, "input%d" % i)
        with open(source, "wb") as f:
            f.write(data)
        result = subprocess.run([tool, "add", archive, name, source])
        check(result.returncode == 0, "adding %s failed" % name)
        # After every addition the archive is complete.
        test = subprocess.run(["unzip", "-tq", archive], capture_output=True, text=True)
        check(test.returncode == 0, "unzip -t after %d entries: %s" % (i + 1, test.stdout + test.stderr))
    with zipfile.ZipFile(archive) as z:
        infos = z.infolist()
        check([i.filename for i in infos] == [n for n, _ in inputs], "zipfile names: %r" % [i.filename for i in infos])
        for info, (name, data) in zip(infos, inputs):
            check(z.read(info) == data, "zipfile data of %s" % name)
            check(info.date_time == (1980, 0, 0, 0, 0, 0), "time of %s: %r" % (name, info.date_time))
            check(info.comment == b"" and info.extra == b"", "comment or extra field in %s" % name)
            check(info.compress_type == (zipfile.ZIP_STORED if not data else zipfile.ZIP_DEFLATED),
                  "method of %s" % name)
        check(z.testzip() is None, "zipfile testzip")
    print("wrote log.zip with %d entries: unzip -t and zipfile agree" % len(inputs))
    return archive


def main():
    tool, work = sys.argv[1], sys.argv[2]
    corpus = sys.argv[3] if len(sys.argv) > 3 else None
    os.makedirs(work, exist_ok=True)
    archives = check_reads(tool, work)
    check_refusals(tool, work)
    written = check_writes(tool, work)
    if corpus:
        os.makedirs(corpus, exist_ok=True)
        for path in list(archives) + [written]:
            if os.path.getsize(path) <= 256 * 1024:
                shutil.copy(path, os.path.join(corpus, os.path.basename(path)))
    if failures:
        print("%d interoperability checks failed" % len(failures))
        return 1
    print("interoperability: all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
