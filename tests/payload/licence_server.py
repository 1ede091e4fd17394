#!/usr/bin/env python3
"""The licence server of tests/support/http_fixture.py for the payload tests, as a process of its own:
serves "/license/QRXTEST/<code>/Eula.html" on 127.0.0.2:80 (the test build's licence host), never answers "/license/QRXSTALL/..." (the request is
read and the connection held open), and answers 404 to everything else.

  licence_server.py start STATE_DIR   start in the background; returns once it listens
  licence_server.py stop STATE_DIR    stop it

It waits up to 60 s for the port (other work trees may hold it) and stops by itself after
10 minutes.
"""
import os
import signal
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import http_fixture  # noqa: E402

HOST, PORT = "127.0.0.2", 80
LIFETIME = 600


def served_licence(product, lang):
    if product != "QRXTEST" or len(lang) != 2 or not lang.isascii() or not lang.islower():
        return None
    return ("<!DOCTYPE html>\n<html><body><p>Served licence for QRXTEST in %s.</p></body></html>\n" % lang).encode()


def serve(state):
    try:
        http_fixture.LicenseServer(page=served_licence, lifetime=LIFETIME, bind_wait=60, port=PORT)
    except OSError:
        sys.exit("licence_server: port %s:%d stayed busy" % (HOST, PORT))
    signal.signal(signal.SIGALRM, lambda *_: os._exit(0))
    signal.alarm(LIFETIME)
    with open(os.path.join(state, "pid"), "w") as f:
        f.write(str(os.getpid()))
    os.replace(os.path.join(state, "pid"), os.path.join(state, "ready"))
    signal.pause()


def start(state):
    os.makedirs(state, exist_ok=True)
    for name in ("ready", "pid"):
        if os.path.exists(os.path.join(state, name)):
            os.remove(os.path.join(state, name))
    pid = os.fork()
    if pid == 0:
        os.setsid()
        devnull = os.open(os.devnull, os.O_RDWR)
        for fd in (0, 1, 2):
            os.dup2(devnull, fd)
        serve(state)
        os._exit(0)
    deadline = time.time() + 70
    while time.time() < deadline:
        if os.path.exists(os.path.join(state, "ready")):
            print("licence_server: listening on %s:%d (pid %d)" % (HOST, PORT, pid))
            return 0
        finished, _ = os.waitpid(pid, os.WNOHANG)
        if finished:
            sys.exit("licence_server: could not listen on %s:%d" % (HOST, PORT))
        time.sleep(0.1)
    os.kill(pid, signal.SIGTERM)
    sys.exit("licence_server: not ready in time")


def stop(state):
    ready = os.path.join(state, "ready")
    if os.path.exists(ready):
        with open(ready) as f:
            pid = int(f.read())
        try:
            os.kill(pid, signal.SIGTERM)
        except ProcessLookupError:
            pass
        os.remove(ready)
    return 0


if __name__ == "__main__":
    command, state = sys.argv[1], sys.argv[2]
    sys.exit(start(state) if command == "start" else stop(state))
