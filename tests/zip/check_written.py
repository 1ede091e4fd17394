#!/usr/bin/env python3
"""Checks the log archive that the Windows layer wrote under Wine with Info-ZIP and zipfile.

check_written.py ARCHIVE
"""
import subprocess
import sys
import zipfile


def log_text(lines):
    return b"".join(b"2026-01-01 12:00:00 DEBUG line %d\r\n" % i for i in range(lines))


def main():
    archive = sys.argv[1]
    expected = [("log.txt", b"setup log"), ("installer_log.txt", log_text(500)), ("empty.txt", b""),
                ("log.txt", b"setup log")]
    test = subprocess.run(["unzip", "-tq", archive], capture_output=True, text=True)
    errors = []
    if test.returncode != 0:
        errors.append("unzip -t: " + test.stdout + test.stderr)
    with zipfile.ZipFile(archive) as z:
        infos = z.infolist()
        if [(i.filename, z.read(i)) for i in infos] != expected:
            errors.append("names or data differ: %r" % [i.filename for i in infos])
        for i in infos:
            if i.date_time != (1980, 0, 0, 0, 0, 0) or i.extra or i.comment:
                errors.append("%s: time %r, extra %r, comment %r" % (i.filename, i.date_time, i.extra, i.comment))
    for e in errors:
        print("FAIL: " + e)
    print("written archive: %d entries, %s" % (len(infos), "ok" if not errors else "FAILED"))
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
