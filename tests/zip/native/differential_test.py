#!/usr/bin/env python3
"""Differential test: the archive library against Python's zipfile on archives Python writes.

differential_test.py ZIP_TOOL WORK_FOLDER [CORPUS_FOLDER] [--seed N] [--count N]

A seeded random generator makes a few hundred archives: stored and deflated entries at levels 0
to 9, data from incompressible to all zeros, sizes around multiples of 64 KiB, data descriptors,
Zip64 records, comments, extra fields, data in front of the archive that its offsets do not count
and data after its end record, and a few entries in methods the library has no decoder for. The
library (through `zip_tool dump`) and zipfile must agree on every entry's name, directory flag,
size and CRC-32, and the library's extracted bytes must equal zipfile's and the data written.
Entries in other methods must be refused. Three fixed archives of shapes that were once refused
come first. The seed is --seed or QRX_ZIP_DIFF_SEED (a number, or "random" for a fresh one),
else a fixed one, so that a test run is repeatable; it is printed with any failure. Small archives are copied to CORPUS_FOLDER as fuzzing seeds.
"""
import argparse
import io
import os
import random
import shutil
import struct
import subprocess
import sys
import time
import warnings
import zipfile
import zlib

# The seed of a plain run; QRX_ZIP_DIFF_SEED=random explores fresh ones.
DEFAULT_SEED = 524573662

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from inflate_shape import deflate, owes_output_after_last_input, stored_stream  # noqa: E402

END = b"PK\x05\x06"
UNSUPPORTED = {zipfile.ZIP_BZIP2: "bzip2", zipfile.ZIP_LZMA: "LZMA"}


class NoSeek(io.RawIOBase):
    """A stream that cannot seek back: zipfile then writes data descriptors."""

    def __init__(self):
        self.buffer = io.BytesIO()

    def writable(self):
        return True

    def write(self, b):
        return self.buffer.write(b)


def set_level(info, level):
    # zipfile.open() takes the level from the ZipInfo; the attribute's name changed in 3.13.
    setattr(info, "compress_level" if hasattr(zipfile.ZipInfo, "compress_level") else "_compresslevel", level)


def random_bytes(rng, n, avoid=(b"PK",)):
    while True:
        data = rng.randbytes(n)
        if not any(a in data for a in avoid):
            return data


def make_data(rng, n):
    kind = rng.choice(["zeros", "byte", "pattern", "text", "random", "mixed", "symbols"])
    if kind == "zeros":
        return kind, bytes(n)
    if kind == "byte":
        return kind, bytes([rng.randrange(256)]) * n
    if kind == "pattern":
        unit = rng.randbytes(rng.randint(2, 40))
        return kind, (unit * (n // len(unit) + 1))[:n]
    if kind == "text":
        words = [b"setup", b"product", b"install ", b"\r\n", b"component", b"  ", b"value=", b"7.2.1.5"]
        out = bytearray()
        while len(out) < n:
            out += rng.choice(words)
        return kind, bytes(out[:n])
    if kind == "random":
        return kind, rng.randbytes(n)
    if kind == "mixed":
        out = bytearray()
        while len(out) < n:
            run = rng.randint(1, 20000)
            out += rng.randbytes(run) if rng.random() < 0.4 else bytes(run)
        return kind, bytes(out[:n])
    symbols = rng.randbytes(rng.randint(2, 4))
    return kind, bytes(rng.choice(symbols) for _ in range(n)) if n < 50000 else \
        bytes(symbols[b % len(symbols)] for b in rng.randbytes(n))


def make_size(rng):
    r = rng.random()
    if r < 0.05:
        return 0
    if r < 0.3:
        return rng.randint(1, 4096)
    blocks = rng.randint(1, 4)
    delta = rng.choice([rng.randint(-64, 64), rng.randint(0, 400), rng.randint(-512, 2048)])
    return max(0, blocks * 65536 + delta)


def make_name(rng, taken):
    alphabet = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-. "
    while True:
        parts = ["".join(rng.choice(alphabet) for _ in range(rng.randint(1, 12))).strip(" ") or "x"
                 for _ in range(rng.choice([1, 1, 2, 3]))]
        name = "/".join(parts)
        if rng.random() < 0.05:
            name += "-\u00e9\u00fc"  # not ASCII: zipfile stores it as UTF-8 and sets the flag
        if name not in taken or rng.random() < 0.05:  # a few duplicate names too
            taken.add(name)
            return name


def write_archive(rng, case):
    """Writes one random archive; returns (bytes, entries written, description)."""
    streamed = rng.random() < 0.3
    zip64 = rng.choice(["none", "none", "none", "local", "central", "escaped"])
    count = rng.choice([0, 1, 1, 2, 2, 3, 4, 6])
    taken = set()
    written = []
    shape = []
    sink = NoSeek() if streamed else io.BytesIO()
    saved = zipfile.ZIP64_LIMIT, zipfile.ZIP_FILECOUNT_LIMIT
    if zip64 in ("central", "escaped"):
        # zipfile writes Zip64 records above these limits; lowered as Python's own tests do.
        zipfile.ZIP64_LIMIT, zipfile.ZIP_FILECOUNT_LIMIT = 1000, 2
    try:
        with zipfile.ZipFile(sink, "w") as z:
            if rng.random() < 0.3:
                z.comment = random_bytes(rng, rng.randint(0, 3000))
                shape.append("comment")
            for _ in range(count):
                name = make_name(rng, taken)
                if rng.random() < 0.08:
                    info = zipfile.ZipInfo(name + "/")
                    info.external_attr = 0o40775 << 16 | 0x10
                    z.writestr(info, b"")
                    written.append((info.filename, True, b"", zipfile.ZIP_STORED))
                    continue
                info = zipfile.ZipInfo(name)
                r = rng.random()
                method = zipfile.ZIP_DEFLATED if r < 0.63 else zipfile.ZIP_STORED if r < 0.96 else \
                    rng.choice(sorted(UNSUPPORTED))
                info.compress_type = method
                set_level(info, rng.randint(0, 9) if method == zipfile.ZIP_DEFLATED else None)
                if rng.random() < 0.1:
                    payload = rng.randbytes(rng.randint(0, 20))
                    info.extra = struct.pack("<HH", 0xCAFE, len(payload)) + payload
                if rng.random() < 0.1:
                    info.comment = random_bytes(rng, rng.randint(1, 200))
                kind, data = make_data(rng, make_size(rng))
                info.file_size = len(data)  # zipfile decides on Zip64 local fields by it
                with z.open(info, "w", force_zip64=zip64 == "local") as f:
                    f.write(data)
                written.append((name, False, data, method))
                shape.append("%s/%s/%d" % (zipfile.compressor_names.get(method, method), kind, len(data)))
    finally:
        zipfile.ZIP64_LIMIT, zipfile.ZIP_FILECOUNT_LIMIT = saved
    blob = (sink.buffer if streamed else sink).getvalue()
    if zip64 == "escaped":
        at = blob.rfind(END)
        if b"PK\x06\x07" in blob[at - 20:at]:
            blob = escape_classic_end(blob)
        else:
            zip64 = "central"  # too small for zipfile to write Zip64 end records
    prefix = suffix = b""
    if rng.random() < 0.25:
        prefix = rng.randbytes(rng.choice([1, 89, rng.randint(1, 5000), rng.randint(65536, 140000)]))
    if rng.random() < 0.25:
        suffix = random_bytes(rng, rng.randint(1, 3000), avoid=(END, b"PK\x06\x07"))
    description = "case %d: %d entries%s%s%s%s%s [%s]" % (
        case, count, ", streamed" if streamed else "", ", zip64 " + zip64 if zip64 != "none" else "",
        ", prefix %d" % len(prefix) if prefix else "", ", suffix %d" % len(suffix) if suffix else "",
        "", " ".join(shape))
    return prefix + blob + suffix, written, description


def escape_classic_end(blob):
    """Puts the escape values in every field of the classic end record (the Zip64 records hold the
    real ones), as some writers do."""
    at = blob.rfind(END)
    assert at >= 0 and b"PK\x06\x07" in blob[at - 20:at], "no Zip64 end records to defer to"
    return blob[:at + 4] + struct.pack("<HHHHII", 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFFFFFF,
                                       0xFFFFFFFF) + blob[at + 20:]


def fixed_cases():
    """The three shapes once refused, each checked to really have its shape."""
    cases = []

    # A deflated entry written to a stream (bit 3, zero sizes in the local header) whose last input
    # is taken by an inflate call that fills the 64 KiB output buffer.
    data = bytes(262304)
    assert owes_output_after_last_input(deflate(data, 9))
    sink = NoSeek()
    with zipfile.ZipFile(sink, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
        z.writestr("setup.dat", data)
    blob = sink.buffer.getvalue()
    flags, = struct.unpack("<H", blob[6:8])
    assert flags & 8 and blob[18:26] == bytes(8), "not the streamed shape"
    cases.append((blob, [("setup.dat", False, data, zipfile.ZIP_DEFLATED)], "fixed: output owed after the last input"))

    # 89 bytes in front that no offset counts, data after the end record.
    entries = [("setup.exe", False, random.Random(1).randbytes(70000), zipfile.ZIP_DEFLATED),
               ("docs/readme.txt", False, b"read me\r\n" * 3000, zipfile.ZIP_DEFLATED),
               ("stored.bin", False, b"stored", zipfile.ZIP_STORED)]
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w") as z:
        for name, _, payload, method in entries:
            z.writestr(name, payload, compress_type=method)
    plain = out.getvalue()
    blob = b"\x7fELF stub " * 8 + b"123456789" + plain + b"trailing data after the end record"
    end = blob.rfind(END)
    assert struct.unpack("<I", blob[end + 16:end + 20])[0] + 89 == blob.find(b"PK\x01\x02")
    cases.append((blob, entries, "fixed: 89 bytes in front, data after the end"))

    # Zip64 records and a classic end record holding only escape values, disk numbers too.
    saved = zipfile.ZIP64_LIMIT, zipfile.ZIP_FILECOUNT_LIMIT
    zipfile.ZIP64_LIMIT, zipfile.ZIP_FILECOUNT_LIMIT = 1000, 2
    try:
        out = io.BytesIO()
        with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
            for name, _, payload, method in entries:
                z.writestr(name, payload, compress_type=method)
    finally:
        zipfile.ZIP64_LIMIT, zipfile.ZIP_FILECOUNT_LIMIT = saved
    blob = escape_classic_end(out.getvalue())
    assert blob.endswith(END + b"\xff" * 16 + b"\x00\x00")
    cases.append((blob, entries, "fixed: Zip64 with escape values in the classic end record"))
    return cases


def raw_name(info):
    return info.orig_filename.encode("utf-8" if info.flag_bits & 0x800 else "cp437")


def parse_dump(text):
    archives = {}
    current = None
    for line in text.splitlines():
        fields = line.split(" ")
        if fields[0] == "archive":
            current = archives[int(fields[1])] = {"read": fields[2] == "read", "entries": []}
            continue
        index, is_dir, extracted, size, crc, name = fields
        current["entries"].append((int(index), is_dir == "1", extracted == "1", int(size), int(crc, 16),
                                   bytes.fromhex(name)))
    return archives


def compare(k, path, written, ours, out_folder, owed):
    """The disagreements between zipfile, the library and the data written, as texts. Counts the
    deflated entries that leave output owed after their last input in owed[0]."""
    problems = []
    with zipfile.ZipFile(path) as z:
        infos = z.infolist()
        if ours is None:
            return ["no output for this archive"]
        if not ours["read"]:
            return ["central directory rejected; zipfile reads %d entries" % len(infos)]
        if len(ours["entries"]) != len(infos) or len(infos) != len(written):
            return ["entry counts: ours %d, zipfile %d, written %d" % (len(ours["entries"]), len(infos), len(written))]
        for info, mine, (name, is_dir, data, method) in zip(infos, ours["entries"], written):
            index, my_dir, extracted, size, crc, my_name = mine
            label = "entry %d (%r)" % (index, name)
            if my_name != raw_name(info) or info.filename.rstrip("/") != name.rstrip("/"):
                problems.append("%s: names %r / %r" % (label, my_name, raw_name(info)))
            if my_dir != info.is_dir() or my_dir != is_dir:
                problems.append("%s: directory flags ours %d, zipfile %d" % (label, my_dir, info.is_dir()))
            if size != info.file_size or size != len(data):
                problems.append("%s: sizes ours %d, zipfile %d, written %d" % (label, size, info.file_size, len(data)))
            if crc != info.CRC or crc != zlib.crc32(data):
                problems.append("%s: CRC-32 ours %08x, zipfile %08x" % (label, crc, info.CRC))
            if is_dir:
                continue
            if method in UNSUPPORTED:
                if extracted:
                    problems.append("%s: %s entry extracted, should be refused" % (label, UNSUPPORTED[method]))
                continue
            theirs = z.read(info)
            if method == zipfile.ZIP_DEFLATED and len(data) >= 65536 and \
                    owes_output_after_last_input(stored_stream(z, info)):
                owed[0] += 1
            if not extracted:
                problems.append("%s: refused; zipfile reads %d bytes" % (label, len(theirs)))
                continue
            with open(os.path.join(out_folder, "%d-%d" % (k, index)), "rb") as f:
                mine_data = f.read()
            if mine_data != theirs or mine_data != data:
                problems.append("%s: contents differ (ours %d bytes, zipfile %d)" % (label, len(mine_data), len(theirs)))
    return problems


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("tool")
    parser.add_argument("work")
    parser.add_argument("corpus", nargs="?")
    parser.add_argument("--seed", type=int, default=None)
    parser.add_argument("--count", type=int, default=300)
    args = parser.parse_args()
    seed = args.seed
    if seed is None:
        chosen = os.environ.get("QRX_ZIP_DIFF_SEED") or str(DEFAULT_SEED)
        seed = random.SystemRandom().randrange(1 << 32) if chosen == "random" else int(chosen)
    warnings.simplefilter("ignore")  # duplicate names are wanted
    started = time.monotonic()

    archives_folder = os.path.join(args.work, "archives")
    out_folder = os.path.join(args.work, "extracted")
    for folder in (archives_folder, out_folder):
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)

    rng = random.Random(seed)
    cases = fixed_cases()
    for case in range(args.count):
        cases.append(write_archive(rng, case))
    paths = []
    for k, (blob, _, _) in enumerate(cases):
        path = os.path.join(archives_folder, "%03d.zip" % k)
        with open(path, "wb") as f:
            f.write(blob)
        paths.append(path)

    dump = subprocess.run([args.tool, "dump", out_folder] + paths, capture_output=True, text=True)
    results = parse_dump(dump.stdout)
    failures = []
    if dump.returncode != 0:
        failures.append("zip_tool dump exited with %d after archive %d: %s" %
                        (dump.returncode, max(results) if results else -1, dump.stderr[-3000:]))
    entries = 0
    owed = [0]
    for k, (blob, written, description) in enumerate(cases):
        entries += len(written)
        problems = compare(k, paths[k], written, results.get(k), out_folder, owed)
        if problems:
            failures.append("%s (%s)\n    %s" % (description, paths[k], "\n    ".join(problems[:8])))

    if args.corpus:
        os.makedirs(args.corpus, exist_ok=True)
        small = sorted((os.path.getsize(p), p) for p in paths)[:40]
        for size, p in small:
            if size <= 128 * 1024:
                shutil.copy(p, os.path.join(args.corpus, "differential-" + os.path.basename(p)))

    elapsed = time.monotonic() - started
    if failures:
        for f in failures[:20]:
            print("FAIL: " + f)
        print("differential: %d of %d archives disagree with zipfile; seed %d "
              "(rerun with QRX_ZIP_DIFF_SEED=%d)" % (len(failures), len(cases), seed, seed))
        return 1
    shutil.rmtree(out_folder, ignore_errors=True)
    print("differential: seed %d: %d archives, %d entries (%d with output owed after the last input) "
          "agree with zipfile in %.1f s" % (seed, len(cases), entries, owed[0], elapsed))
    return 0



if __name__ == "__main__":
    sys.exit(main())
