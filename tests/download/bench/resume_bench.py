#!/usr/bin/env python3
"""download_resume_bytes_ratio: a 64 MB file whose connection the fault-injection server closes
ten times mid-body (a clean close, fewer bytes than announced), fetched by DownloadFile under
Wine; the bytes the server sent divided by the file's size.

  resume_bench.py <bench_download.exe> <work folder>   (WINEPREFIX set by the caller)
"""
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "support"))
import http_fixture as hf  # noqa: E402

SIZE = 64 * 1024 * 1024
CUTS = 10


def main():
    exe, work = sys.argv[1], sys.argv[2]
    os.makedirs(work, exist_ok=True)
    data = os.urandom(SIZE)
    cut = SIZE // (CUTS + 1)
    with hf.FaultServer([data], lifetime=900) as server:
        path = "/f/short:%d*%d,ok/resume.bin" % (cut, CUTS)
        folder = "Z:" + os.path.abspath(work).replace("/", "\\") + "\\"
        result = subprocess.run(["/usr/lib/wine/wine64", exe, "--once", server.url(path) + "#sha256=" + server.sha256(),
                                 folder], stdin=subprocess.DEVNULL, capture_output=True, timeout=900)
        sys.stdout.write(result.stdout.decode("utf-8", "replace").replace("\r", ""))
        requests = server.requests(path)
        sent = server.bytes_sent(path)
    print("bench: download_resume_requests %d requests" % len(requests))
    print("bench: download_resume_bytes_ratio %.4f ratio" % (sent / SIZE))
    try:
        os.remove(os.path.join(work, "resume.bin"))
    except OSError:
        pass
    return 0 if result.returncode == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
