"""Runs the whole wizard under Wine against loopback servers: shared by the whole-run tests and
`make demo`.

Servers (all loopback only, each stops by itself after its lifetime):
  ReportServer   127.0.0.1:80, records every request (verb, path, query, headers, body), answers 200
  LicenseServer  127.0.0.2:80, serves a licence page for /license/<product>/<lang>/Eula.html
                 (both from tests/support/http_fixture.py)
  PackageServer  127.0.0.1:<kernel-chosen port>, the fault-injection server of
                 tests/support/http_fixture.py with the product package (product.zip):
                   /f/<plan>/<name>      the package as the plan says (stalls, resets, busy, ...)
                   /pkg/<anything>.zip   the package, except under the path prefixes given as
                                         `missing` (404)
                   /flip/<anything>.zip  the package with one byte changed
                   /missing/<name>       404
                   /stall/<name>         announces the package's length, sends 64 KB, then holds the
                                         connection until the server stops
The wizard itself runs as `wine64 <exe>` with the stand-in document running a scenario script.
"""
import glob
import os
import socket
import subprocess
import threading
import time
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import http_fixture as hf  # noqa: E402

WINE64 = "/usr/lib/wine/wine64"
SHORTCUT_NAME = "Continue Lumenary R7 Installation.lnk"
PRODUCT_KEY = r"HKLM\Software\Halvard\Lumenary Pro\R7"
PROGRAM_NAME = "Halvard Lumenary Pro.exe"
STATUS_TEXTS = ("started", "completed", "error occurred", "canceled", "environment not supported")


def wine_path(unix_path):
    """/a/b -> Z:\\a\\b"""
    return "Z:" + os.path.abspath(unix_path).replace("/", "\\")


# The report and licence servers live in the fixture module; the whole runs reach them here.
ReportServer = hf.ReportServer
LicenseServer = hf.LicenseServer


class _PackageHandler(hf.FaultHandler):
    def do_GET(self):
        owner = self.server.owner
        with owner.lock:
            owner.paths.append(self.path)
        path = self.path.split("?", 1)[0]
        if path.startswith("/to/"):
            # A redirect to the rest of the path, as it is.
            hf.send_redirect(self, self.path[len("/to/"):])
        elif any(path.startswith(prefix) for prefix in owner.missing) or path.startswith("/missing/"):
            owner.log.begin(hf.Record(self.command, self.path, dict(self.headers.items())), path)
            self.send_error(404)
        elif path.startswith("/pkg/") and path.endswith(".zip"):
            hf.FaultAnswerer(self, owner).answer("ok", path)
        elif path.startswith("/flip/") and path.endswith(".zip"):
            # The package with one byte changed in its middle: what a tampering proxy would send.
            hf.FaultAnswerer(self, owner, owner.flipped).answer("ok", path)
        elif path.startswith("/stall/"):
            # Announces the package's length, sends 64 KB, then holds the connection until the
            # server stops.
            hf.FaultAnswerer(self, owner).answer("stall:65536", path)
        else:
            super().do_GET()


class PackageServer(hf.FaultServer):
    """The fault-injection server with the product package; `versions` adds later versions that a
    "newetag" step publishes."""

    def __init__(self, package_path, lifetime=900, pace=0.05, missing=(), versions=(), tls=None):
        # Path prefixes answered with 404 although they lie under /pkg/.
        self.missing = tuple(missing)
        with open(package_path, "rb") as f:
            self.package_bytes = f.read()
        changed = bytearray(self.package_bytes)
        changed[len(changed) // 2] ^= 0x01
        self.flipped = hf.Package([bytes(changed)])
        self.lock = threading.Lock()
        self.paths = []
        super().__init__([self.package_bytes] + list(versions), lifetime=lifetime, pace=pace,
                         handler=_PackageHandler, tls=tls)
        self.package = self.package_bytes

    def url(self, path):
        return "%s://127.0.0.1:%d%s" % ("https" if self.tls else "http", self.port, path)


def refused_url():
    """A loopback URL whose port nothing listens on (taken from the kernel, then released)."""
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return "http://127.0.0.1:%d/pkg/HalvardLumenaryPro.zip" % port


def js_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def write_scenario(path, template_path, config):
    """The scenario file: a `config` object followed by the scenario template."""
    items = []
    for key, value in config.items():
        if isinstance(value, bool):
            items.append("%s: %s" % (key, "true" if value else "false"))
        elif isinstance(value, int):
            items.append("%s: %d" % (key, value))
        else:
            items.append("%s: %s" % (key, js_string(value)))
    with open(template_path, encoding="utf-8") as f:
        body = f.read()
    with open(path, "w", encoding="utf-8") as f:
        f.write("var config = {" + ", ".join(items) + "};\n" + body)


class Wizard:
    """One run of the wizard executable under Wine."""

    def __init__(self, exe, scenario_path, page_log_path, extra_env=None):
        env = dict(os.environ)
        env.setdefault("WINEDEBUG", "-all")
        env["QRX_STANDIN_SCENARIO"] = wine_path(scenario_path)
        env["QRX_STANDIN_LOG"] = wine_path(page_log_path)
        if extra_env:
            env.update(extra_env)
        self.page_log_path = page_log_path
        self.started = time.monotonic()
        self.process = subprocess.Popen([WINE64, exe], env=env, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.ended = None

    def wait(self, timeout):
        try:
            code = self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            return None
        self.ended = time.monotonic()
        return code

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()

    def seconds(self):
        return (self.ended or time.monotonic()) - self.started

    def page_log(self):
        try:
            with open(self.page_log_path, encoding="utf-8", errors="replace") as f:
                return f.read().splitlines()
        except FileNotFoundError:
            return []

    def wait_for_log(self, prefix, timeout):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if any(line.startswith(prefix) for line in self.page_log()):
                return True
            if self.process.poll() is not None:
                return any(line.startswith(prefix) for line in self.page_log())
            time.sleep(0.1)  # polling a file the wizard appends to; bounded above
        return False


def prefix_path(prefix, windows_path):
    """C:\\x\\y inside the prefix -> <prefix>/drive_c/x/y"""
    drive = windows_path[0].lower()
    rest = windows_path[3:].replace("\\", "/")
    return os.path.join(prefix, "dosdevices", drive + ":", rest)


def desktop_shortcuts(prefix):
    return glob.glob(os.path.join(prefix, "drive_c", "users", "*", "Desktop", SHORTCUT_NAME))


def run_wine(args, timeout=180):
    result = subprocess.run([WINE64] + args, stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout,
                            env=dict(os.environ, WINEDEBUG="-all"))
    return result.returncode, result.stdout.decode("utf-8", "replace")


RUN_MARKER = "qrx-run-owner.txt"
SESSION_MANAGER_KEY = r"HKLM\System\CurrentControlSet\Control\Session Manager"


def temp_folder(prefix):
    """The Unix path of the prefix user's temp folder (C:\\users\\<user>\\Temp under Wine 8)."""
    found = glob.glob(os.path.join(prefix, "drive_c", "users", "*", "Temp"))
    found = [f for f in found if not os.path.islink(os.path.dirname(f))]
    return found[0] if found else None


def working_parent(prefix):
    """The Unix path of the parent of the wizard's working folders (C:\\ProgramData\\QRX)."""
    return os.path.join(prefix, "drive_c", "ProgramData", "QRX")


WORKING_PARENT_WINDOWS = "c:\\programdata\\qrx\\"


def marked_folders(prefix, folder=None):
    """Names of the folders directly in `folder` (the working parent unless given) that carry a
    run marker: the wizard's working folders."""
    folder = folder or working_parent(prefix)
    if not os.path.isdir(folder):
        return set()
    return {name for name in os.listdir(folder)
            if os.path.isdir(os.path.join(folder, name)) and not os.path.islink(os.path.join(folder, name))
            and os.path.isfile(os.path.join(folder, name, RUN_MARKER))}


def marker_lines(prefix, name, folder=None):
    try:
        with open(os.path.join(folder or working_parent(prefix), name, RUN_MARKER), encoding="ascii",
                  errors="replace") as f:
            return f.read().splitlines()
    except OSError:
        return []


def pending_removals():
    """The sources of PendingFileRenameOperations ("\\??\\C:\\..."), lower-cased."""
    code, out = run_wine(["reg", "query", SESSION_MANAGER_KEY, "/v", "PendingFileRenameOperations"])
    if code != 0:
        return []
    for line in out.splitlines():
        if "REG_MULTI_SZ" in line:
            data = line.split("REG_MULTI_SZ", 1)[1].strip()
            return [part.lower() for part in data.split("\\0") if part]
    return []


def clear_pending_removals():
    run_wine(["reg", "delete", SESSION_MANAGER_KEY, "/v", "PendingFileRenameOperations", "/f"])


def installed_directory(prefix_unused=None):
    """The product's "Directory" value, or None."""
    code, out = run_wine(["reg", "query", PRODUCT_KEY, "/v", "Directory"])
    if code != 0:
        return None
    for line in out.splitlines():
        parts = line.strip().split(None, 2)
        if len(parts) == 3 and parts[0] == "Directory":
            return parts[2]
    return None


def remove_test_products(codes_file):
    """Uninstalls every test product that Windows Installer knows (msiexec /x, quiet)."""
    with open(codes_file, encoding="utf-8") as f:
        codes = [line.strip() for line in f if line.strip()]
    for code in codes:
        key = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall" + "\\" + code
        if run_wine(["reg", "query", key])[0] == 0:
            run_wine(["msiexec", "/x", code, "/qn"], timeout=300)
