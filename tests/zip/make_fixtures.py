#!/usr/bin/env python3
"""Archives for the Windows layer's tests, written with Python's zipfile at test time.

make_fixtures.py FOLDER
"""
import os
import struct
import sys
import warnings
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "native"))
from differential_test import fixed_cases  # noqa: E402


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


def set_flag(path, name, bit):
    """Sets a general-purpose flag bit of the entry `name` in its local and central records."""
    with zipfile.ZipFile(path) as z:
        info = z.getinfo(name)
    with open(path, "rb") as f:
        blob = bytearray(f.read())
    central = blob.find(b"PK\x01\x02" + struct.pack("<HH", info.create_version, info.extract_version) +
                        struct.pack("<H", info.flag_bits))
    while blob[central + 46:central + 46 + len(name)] != name.encode():
        central = blob.find(b"PK\x01\x02", central + 4)
    for at in (info.header_offset + 6, central + 8):
        blob[at] |= bit
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
    # An entry of several mebibytes after a small one: the extraction's control is asked inside it.
    write(j("large.zip"), [("small.txt", b"small", D), ("large.bin", bytes(range(256)) * (4 * 4096 + 7), D)])
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

    # Valid archives of shapes other tools read: output owed after the last input, data in front
    # and after, escape values in the classic end record. Each archive's files are also written
    # under NAME.expected/ to compare with.
    for (blob, entries, _), archive in zip(fixed_cases(), ["owed-output.zip", "prefixed.zip", "zip64-escaped.zip"]):
        with open(j(archive), "wb") as f:
            f.write(blob)
        for name, _, data, _ in entries:
            path = os.path.join(folder, archive + ".expected", *name.split("/"))
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(data)

    # Entries the program cannot read, after a harmless one: methods without a decoder here,
    # traditional encryption (flag bit 0), AES (method 99 with bit 0), patched data (bit 5).
    B, L = zipfile.ZIP_BZIP2, zipfile.ZIP_LZMA
    write(j("method-bzip2.zip"), [("fine.txt", b"fine", D), ("packed.bin", b"bzip2 data " * 100, B)])
    write(j("method-lzma.zip"), [("fine.txt", b"fine", D), ("packed.bin", b"lzma data " * 100, L)])
    for archive, bit in (("encrypted.zip", 0x01), ("patched.zip", 0x20)):
        write(j(archive), [("fine.txt", b"fine", D), ("packed.bin", b"plain data " * 100, D)])
        set_flag(j(archive), "packed.bin", bit)
    write(j("aes.zip"), [("fine.txt", b"fine", D), ("packed.bin", b"plain data " * 100, D)])
    set_flag(j("aes.zip"), "packed.bin", 0x01)
    with open(j("aes.zip"), "rb") as f:
        blob = bytearray(f.read())
    for at in (i for i in range(len(blob) - 4) if blob[i:i + 2] == b"PK" and blob[i + 2] in (1, 3)):
        name_at = at + (46 if blob[at + 2] == 1 else 30)
        if blob[name_at:name_at + 10] == b"packed.bin":
            blob[at + (10 if blob[at + 2] == 1 else 8)] = 99
    with open(j("aes.zip"), "wb") as f:
        f.write(blob)


if __name__ == "__main__":
    main()
