#!/usr/bin/env python3
"""Archives for the Windows layer's tests, written with Python's zipfile at test time.

make_fixtures.py FOLDER
"""
import os
import struct
import sys
import warnings
import zipfile


def write(path, entries):
    """entries: (name, data bytes, method); a name ending in / is a folder."""
    with zipfile.ZipFile(path, "w") as z:
        for name, data, method in entries:
            info = zipfile.ZipInfo(name)
            info.compress_type = method
            if info.filename.endswith("/"):
                info.external_attr = 0o40775 << 16 | 0x10
            z.writestr(info, data)


def patch_names(path, replacements):
    """Replaces name bytes of equal length everywhere in the archive (local and central)."""
    with open(path, "rb") as f:
        blob = f.read()
    for old, new in replacements:
        assert len(old) == len(new)
        blob = blob.replace(old, new)
    with open(path, "wb") as f:
        f.write(blob)


def corrupt_crc(path, name):
    """Flips the recorded CRC-32 of the entry `name` in its local and central records."""
    with open(path, "rb") as f:
        blob = bytearray(f.read())
    with zipfile.ZipFile(path) as z:
        info = z.getinfo(name)
    good = struct.pack("<I", info.CRC)
    bad = struct.pack("<I", info.CRC ^ 0x5A5A5A5A)
    count = blob.count(good)
    assert count == 2, count
    blob = blob.replace(good, bad)
    with open(path, "wb") as f:
        f.write(blob)


def main():
    warnings.simplefilter("ignore")  # duplicate names are wanted here
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    D, S = zipfile.ZIP_DEFLATED, zipfile.ZIP_STORED
    j = lambda name: os.path.join(folder, name)

    write(j("empty.zip"), [])
    write(j("nested.zip"), [("docs/readme.txt", b"read me first\r\n" * 100, D)])
    write(j("tree.zip"), [
        ("top.txt", b"top level", S),
        ("folder/", b"", S),
        ("folder/inner/", b"", S),
        ("folder/inner/deep.bin", bytes(range(256)) * 64, D),
        ("empty.txt", b"", D),
        ("emptydir/", b"", S),
    ])
    write(j("replace.zip"), [("same.txt", b"new content", D)])
    write(j("crc.zip"), [("first.txt", b"first entry is fine", D),
                         ("bad.bin", b"corrupted entry " * 400, D),
                         ("after.txt", b"never reached", D)])
    corrupt_crc(j("crc.zip"), "bad.bin")
    write(j("dupes.zip"), [("dup.txt", b"first", D), ("dup.txt", b"second", D)])
    # A folder entry whose folder cannot be made (a file holds the name), then a file inside it.
    write(j("blocked.zip"), [("blocker", b"a file", S), ("blocker/", b"", S),
                             ("blocker/inside.txt", b"x", S)])
    # Names in the ANSI code page: 0xE9 alone (Latin-1 e acute), and UTF-8 bytes flagged as UTF-8
    # (0xC3 0xBC, u umlaut), which the program still decodes with the ANSI code page.
    write(j("ansi.zip"), [("cafX.txt", b"ansi", D)])
    patch_names(j("ansi.zip"), [(b"cafX.txt", b"caf\xe9.txt")])
    with zipfile.ZipFile(j("utf8.zip"), "w") as z:
        z.writestr("\u00fc.txt", b"utf8")  # zipfile sets the UTF-8 flag for this name

    # A name longer than the 259 bytes that are used, after a harmless entry.
    write(j("long.zip"), [("fine.txt", b"fine", D), ("x" * 300, b"long", D)])

    # Names that leave the target folder; each archive first holds a harmless entry.
    escaping = {
        "escape-parent.zip": "../evil.txt",
        "escape-deep.zip": "a/../../evil.txt",
        "escape-backslash.zip": "..\\evil.txt",
        "escape-absolute.zip": "/evil.txt",
        "escape-drive.zip": "C:/evil.txt",
        "escape-drive-relative.zip": "C:evil.txt",
        "escape-unc.zip": "//127.0.0.1/share/evil.txt",
        "escape-dots-blank.zip": "a/.. /../evil.txt",
        "escape-stream.zip": "fine.txt:evil",
        "escape-device.zip": "NUL.txt",
        "escape-dir.zip": "../evildir/",
    }
    for archive, name in escaping.items():
        write(j(archive), [("fine.txt", b"fine", D), (name, b"evil", D)])


if __name__ == "__main__":
    main()
