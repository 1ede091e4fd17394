#!/usr/bin/env python3
"""Whole runs of the packed 64-bit wizard under Wine, each checked from outside: the reports the
recording server got, the page log the scenario wrote, files and registry in the prefix, the
resume shortcut and the exit code.

Run by CTest through scripts/run-tests (WINEPREFIX and DISPLAY set, wineserver persistent).
"""
import argparse
import datetime
import glob
import io
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import network_fixtures as nf  # noqa: E402
import wizard_harness as wh  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
TEMPLATE = os.path.join(HERE, "scenarios", "wizard.js")
BUILD = None
PREFIX = None

# Generous limits: the machine is loaded, a visible window takes seconds to go under Xvfb, and an
# install runs msiexec several times.
RUN_LIMIT = 420
SHORT_LIMIT = 180
SETUP_PARAMETERS = "ACCEPT_EULA=1 PAUSEMS=200"


def packed_exe():
    return os.path.join(BUILD, "dist", "QRXDownloadManager.exe")


def unpacked_exe():
    return os.path.join(BUILD, "QRXDownloadManager.exe")


def window_tool(*args, timeout=120):
    result = subprocess.run([wh.WINE64, os.path.join(BUILD, "e2e_window_tool.exe")] + list(args),
                            stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout,
                            env=dict(os.environ, WINEDEBUG="-all"))
    return result.returncode, result.stdout.decode("utf-8", "replace").strip()


def remove_shortcuts():
    for path in wh.desktop_shortcuts(PREFIX):
        os.remove(path)


# What the run may leave in the temp folder on purpose: the copy the resume shortcut starts.
RESUME_COPY = "QRXDownloadManager.exe"
# The start-up steps the debug log stamps, in their order.
STARTUP_STEPS = ["single instance", "log", "machine facts", "page table", "licence", "start analytics", "window"]
SESSION_MANAGER = r"HKLM\SYSTEM\CurrentControlSet\Control\Session Manager"


def temp_entries():
    """The names directly inside the user's temp folder(s) of the prefix."""
    names = set()
    for folder in glob.glob(os.path.join(PREFIX, "drive_c", "users", "*", "Temp")) + \
            glob.glob(os.path.join(PREFIX, "drive_c", "users", "*", "AppData", "Local", "Temp")):
        if os.path.islink(folder):
            continue
        for name in os.listdir(folder):
            names.add(os.path.join(os.path.relpath(folder, PREFIX), name))
    return names


def pending_removals():
    """The source paths of PendingFileRenameOperations (pairs of source and empty target)."""
    code, out = wh.run_wine(["reg", "query", SESSION_MANAGER, "/v", "PendingFileRenameOperations"])
    if code != 0:
        return []
    for line in out.splitlines():
        parts = line.strip().split(None, 2)
        if len(parts) == 3 and parts[0] == "PendingFileRenameOperations":
            return [p for p in parts[2].split("\\0") if p]
    return []


def wait_for_processes_gone(marker, limit):
    """Waits until no process's command line names `marker` (setup runs from that folder)."""
    deadline = time.monotonic() + limit
    while time.monotonic() < deadline:
        busy = False
        for cmdline in glob.glob("/proc/[0-9]*/cmdline"):
            try:
                with open(cmdline, "rb") as f:
                    if marker.encode() in f.read():
                        busy = True
                        break
            except OSError:
                continue
        if not busy:
            return True
        time.sleep(1)  # another process's end; bounded above
    return False


def clear_pending_removals():
    wh.run_wine(["reg", "delete", SESSION_MANAGER, "/v", "PendingFileRenameOperations", "/f"])


def log_time(line):
    """The time of a log line "[20261208 13:20:01 123 DEBUG] ..." as a datetime. The
    milliseconds are space-padded to three places ("[20261208 13:20:01   5 DEBUG]")."""
    date, clock, millis = line[1:].split()[:3]
    return datetime.datetime.strptime(date + " " + clock, "%Y%m%d %H:%M:%S") + \
        datetime.timedelta(milliseconds=int(millis))


def stop_and_join_ms(log_lines):
    """Milliseconds between the "Stopping workers" line and the "Workers stopped in" line."""
    start = [l for l in log_lines if "] Stopping workers: " in l]
    end = [l for l in log_lines if "] Workers stopped in " in l]
    if not start or not end:
        return None
    return (log_time(end[0]) - log_time(start[0])).total_seconds() * 1000


class RunBase(unittest.TestCase):
    """Servers, scenario and checks that every whole run shares."""

    def setUp(self):
        self.codes = os.path.join(BUILD, "product_package", "codes.txt")
        wh.remove_test_products(self.codes)
        remove_shortcuts()
        self.temp = tempfile.TemporaryDirectory(prefix="qrx-e2e-")
        self.reports = wh.ReportServer(lifetime=RUN_LIMIT + 120)
        self.packages = wh.PackageServer(os.path.join(BUILD, "product_package", "product.zip"),
                                         lifetime=RUN_LIMIT + 120)
        self.wizard = None
        self.runs = 0
        self.temp_before = temp_entries()
        self.parent_before = wh.marked_folders(PREFIX)

    def tearDown(self):
        if self.wizard:
            self.wizard.kill()
        self.packages.stop()
        self.reports.stop()
        remove_shortcuts()
        wh.remove_test_products(self.codes)
        self.temp.cleanup()

    def start(self, exe, extra_env=None, **config):
        self.runs += 1
        scenario = os.path.join(self.temp.name, "scenario%d.js" % self.runs)
        config.setdefault("setupParameters", SETUP_PARAMETERS)
        wh.write_scenario(scenario, TEMPLATE, config)
        self.wizard = wh.Wizard(exe, scenario, os.path.join(self.temp.name, "page%d.log" % self.runs), extra_env)
        return self.wizard

    def finish(self, limit=RUN_LIMIT, setup_left_running=False):
        code = self.wizard.wait(limit)
        self.assertIsNotNone(code, "the wizard did not end within %d s; page log:\n%s"
                             % (limit, "\n".join(self.wizard.page_log())))
        self.assertEqual(code, 0)
        if not setup_left_running:
            self.assert_nothing_left_in_temp()
        return self.wizard.page_log()

    def assert_nothing_left_in_temp(self, allowed=()):
        # The run makes nothing in the user's temp folder but the resume copy (named as the
        # executable): its working folders, its log and setup's prerequisite logs are below the
        # working parent. Of those, nothing new stays (but the names in `allowed`).
        left = sorted(n for n in temp_entries() - self.temp_before
                      if os.path.basename(n) not in (RESUME_COPY,) + tuple(allowed))
        self.assertEqual(left, [], "left behind in the temp folder")
        left = sorted(wh.marked_folders(PREFIX) - self.parent_before - set(allowed))
        self.assertEqual(left, [], "left behind below the working parent")

    def error_report_log(self):
        """The lines of installer_log.txt in the run's error report."""
        reports = self.reports.error_reports()
        self.assertEqual(len(reports), 1)
        archive = zipfile.ZipFile(io.BytesIO(reports[0].body))
        name = [n for n in archive.namelist() if n.endswith("installer_log.txt")][0]
        lines = archive.read(name).decode("latin-1").splitlines()
        # Every worker of the run, the leftover cleaner too, ended within its join's limit.
        self.assertFalse([l for l in lines if " still running after " in l])
        return lines

    def final_status(self):
        # The final analytics is sent before the process ends; both are in by now.
        analytics = self.reports.analytics()
        self.assertEqual(len(analytics), 2, [a.element("status") for a in analytics])
        self.assertEqual(analytics[0].element("status"), "started")
        self.assertEqual(analytics[0].headers.get("Content-Type"), "application/xml")
        return analytics[1]

    def assert_error_report(self):
        reports = self.reports.error_reports()
        self.assertEqual(len(reports), 1)
        names = reports[0].zip_names()
        self.assertIsNotNone(names, "the error report is a zip archive")
        self.assertTrue(any(n.endswith("installer_log.txt") for n in names), names)
        analytics = self.reports.analytics()
        self.assertIn("token=" + analytics[0].element("requestToken"), reports[0].query)

    def assert_not_installed(self):
        self.assertIsNone(wh.installed_directory())


class WholeRun(RunBase):
    def test_success(self):
        # With the package's hash in the fragment, as the pages pass it: checked; the server sees the plain path.
        self.start(packed_exe(), packageUrl=self.packages.url("/pkg/lumenary-pro/win64/en/HalvardLumenaryPro.zip")
                   + "#sha256=" + self.packages.sha256())
        log = self.finish()
        self.assertEqual(self.packages.paths, ["/pkg/lumenary-pro/win64/en/HalvardLumenaryPro.zip"])
        self.assertIn("callback: download 0", log)
        self.assertIn("callback: install 0", log)
        self.assertIn("page: status 1", log)
        self.assertFalse(any(line.startswith("error:") for line in log), log)
        self.assertIn("property: osbits = 64", log)
        self.assertIn("property: lang = en", log)
        size = len(self.packages.package)
        self.assertIn("progress: download %d of %d bytes" % (size, size), log)
        # What the page polled only ever grows, and never passes the total.
        seen = [int(line.split()[2]) for line in log if line.startswith("progress: download ")]
        self.assertEqual(seen, sorted(seen))
        self.assertLessEqual(max(seen), size)
        percents = [int(line.split()[2].rstrip("%")) for line in log if line.startswith("progress: install ")]
        self.assertEqual(percents, sorted(percents))
        final = self.final_status()
        self.assertEqual(final.element("status"), "completed")
        self.assertEqual(final.element("channelId"), "e2e")
        self.assertEqual(final.element("wrapperError"), "0")
        self.assertEqual(final.element("msiError"), "0")
        self.assertNotEqual(final.element("productVersion"), "")
        self.assertEqual(self.reports.error_reports(), [])
        self.assertEqual(wh.desktop_shortcuts(PREFIX), [], "no resume shortcut after Completed")
        directory = wh.installed_directory()
        self.assertIsNotNone(directory, "the product's Directory value")
        program = wh.prefix_path(PREFIX, directory.rstrip("\\") + "\\" + wh.PROGRAM_NAME)
        self.assertTrue(os.path.isfile(program), program)
        print("measure: success run %.1f s" % self.wizard.seconds())

    def test_changed_package_byte_is_not_installed(self):
        # One byte changed on the way: the hash the page passed no longer matches.
        self.start(packed_exe(), packageUrl=self.packages.url("/flip/lumenary-pro/win64/en/HalvardLumenaryPro.zip")
                   + "#sha256=" + self.packages.sha256())
        log = self.finish(SHORT_LIMIT)
        self.assertIn("callback: download 1", log)
        self.assertFalse(any(line.startswith("callback: install") for line in log), log)
        self.assertEqual(self.packages.paths, ["/flip/lumenary-pro/win64/en/HalvardLumenaryPro.zip"])
        self.assertEqual(self.final_status().element("status"), "error occurred")
        self.assert_error_report()
        log_text = self.reports.error_reports()[0].zip_text("installer_log.txt")
        self.assertIn("Package hash mismatch, expected sha256 " + self.packages.sha256(), log_text)
        self.assertIn("TransferDownloadError HRESULT: 80091007", log_text)
        self.assertNotIn("Install : cmd line", log_text)
        self.assert_not_installed()
        self.assert_startup_steps(log_text, STARTUP_STEPS)

    def assert_startup_steps(self, log_text, expected):
        """The start-up steps' time stamps in the log: every step once, in order, times not going back."""
        steps = re.findall(r"Start-up step ([a-z ]+): (\d+) ms after process start", log_text)
        self.assertEqual([name for name, _ in steps], expected)
        times = [int(ms) for _, ms in steps]
        self.assertEqual(times, sorted(times))
        print("measure: start-up steps " + ", ".join("%s %s ms" % step for step in steps))

    def test_pages_that_fail_to_unpack(self):
        # The unpacked executable carries no page table: no window, no page, status Error.
        self.start(unpacked_exe(), packageUrl=self.packages.url("/pkg/x.zip"))
        log = self.finish(SHORT_LIMIT)
        self.assertEqual(log, [], "no page ran")
        self.assertEqual(self.packages.paths, [])
        self.assertEqual(self.final_status().element("status"), "error occurred")
        self.assert_error_report()
        self.assertEqual(wh.desktop_shortcuts(PREFIX), [], "no window, no shortcut")
        self.assert_startup_steps(self.reports.error_reports()[0].zip_text("installer_log.txt"), STARTUP_STEPS[:-1])
        print("measure: pages-fail run %.1f s" % self.wizard.seconds())

    def test_swapped_page_table_is_refused(self):
        # Another well-formed table packed over the signed image (one page changed): the signature
        # still verifies, but the digest inside the image does not match, so nothing is unpacked.
        pages = os.path.join(self.temp.name, "pages")
        shutil.copytree(os.path.join(BUILD, "pages"), pages)
        with open(os.path.join(pages, "Load.html"), "a", encoding="utf-8") as f:
            f.write("<!-- another page -->\n")
        swapped = os.path.join(self.temp.name, "QRXDownloadManager.exe")
        subprocess.run([os.path.join(BUILD, "tools", "qrxpack"), "pack", "--in", packed_exe(), "--pages", pages,
                        "--out", swapped], check=True, stdout=subprocess.DEVNULL)
        verify = subprocess.run(["osslsigncode", "verify", "-in", swapped,
                                 "-CAfile", os.path.join(BUILD, "signing", "dev-cert.pem")],
                                capture_output=True, text=True)
        self.assertEqual(verify.returncode, 0, verify.stdout + verify.stderr)
        self.assertIn("Signature verification: ok", verify.stdout)
        self.start(swapped, packageUrl=self.packages.url("/pkg/x.zip"))
        log = self.finish(SHORT_LIMIT)
        self.assertEqual(log, [], "no page ran")
        self.assertEqual(self.packages.paths, [])
        self.assertEqual(self.final_status().element("status"), "error occurred")
        self.assert_error_report()
        text = self.reports.error_reports()[0].zip_text("installer_log.txt")
        self.assertIn("Page table refused: the table's digest differs from the one in the signed image", text)
        self.assertNotIn("load resource success", text)

    def test_download_failures(self):
        cases = [("refused port", lambda: wh.refused_url()),
                 ("not found", lambda: self.packages.url("/missing/HalvardLumenaryPro.zip"))]
        for name, url in cases:
            with self.subTest(name):
                self.reports.requests.clear()
                remove_shortcuts()
                self.start(packed_exe(), packageUrl=url())
                log = self.finish()
                results = [line for line in log if line.startswith("callback: download ")]
                self.assertEqual(len(results), 1, log)
                self.assertNotEqual(results[0], "callback: download 0")
                self.assertFalse(any(line.startswith("callback: install") for line in log), log)
                final = self.final_status()
                self.assertEqual(final.element("status"), "error occurred")
                self.assert_error_report()
                self.assertEqual(len(wh.desktop_shortcuts(PREFIX)), 1, "the resume shortcut stays")
                self.assert_not_installed()

    def test_install_after_failed_download_and_a_marked_folder_in_temp(self):
        # A folder in the user's temp folder that looks like a killed run's (a working-folder name,
        # a marker naming an ended process): the elevated run leaves it and its content alone.
        temp = wh.temp_folder(PREFIX)
        planted = os.path.join(temp, "5eedf00")
        os.makedirs(planted, exist_ok=True)
        with open(os.path.join(planted, wh.RUN_MARKER), "w", newline="") as f:
            f.write("%d %016x\r\n" % (0x7FFFFFF0, 1))
        with open(os.path.join(planted, "canary.txt"), "w") as f:
            f.write("alive")
        self.temp_before = temp_entries()
        try:
            # The page calls install although the download failed: refused with the fatal result.
            self.start(packed_exe(), packageUrl=self.packages.url("/missing/HalvardLumenaryPro.zip"),
                       installAfterFailure=True)
            log = self.finish()
            self.assertIn("callback: install 3", log)
            self.assert_not_installed()
            self.assertEqual(self.final_status().element("status"), "error occurred")
            refused = [l for l in self.error_report_log()
                       if "ZSInstall refused, no package downloaded and checked in this run: " in l]
            self.assertEqual(len(refused), 1)
            self.assertIn(" ERROR] ", refused[0])
            with open(os.path.join(planted, "canary.txt")) as f:
                self.assertEqual(f.read(), "alive")
            self.assertTrue(os.path.isfile(os.path.join(planted, wh.RUN_MARKER)))
        finally:
            shutil.rmtree(planted, ignore_errors=True)

    def fault_run(self, server, plan, digest_version=0, limit=RUN_LIMIT):
        """One whole run against `server` with the package path of `plan`; checks that the right
        package was installed and returns the path and the page log."""
        remove_shortcuts()
        wh.remove_test_products(self.codes)
        self.reports.requests.clear()
        path = "/f/%s/HalvardLumenaryPro.zip" % plan
        self.start(packed_exe(), packageUrl=server.url(path) + "#sha256=" + server.sha256(digest_version))
        log = self.finish(limit)
        self.assertIn("callback: download 0", log)
        self.assertIn("callback: install 0", log)
        self.assertEqual(self.final_status().element("status"), "completed")
        self.assertIsNotNone(wh.installed_directory(), "the product is installed")
        size = len(server.versions.versions[digest_version])
        self.assertIn("progress: download %d of %d bytes" % (size, size), log)
        return path, log

    def test_network_faults_end_installed(self):
        # Each misbehaviour of the package server on the first answer (or on several), then proper
        # answers: the wizard retries, resumes where the server allows it, and installs.
        size = len(self.packages.package)
        cases = [
            ("stall after 25%", "stall:%d,ok" % (size // 4)),
            ("reset after 40%", "reset:%d,ok" % (size * 2 // 5)),
            ("clean short close after 50%", "short:%d,ok" % (size // 2)),
            ("503 with Retry-After", "busy:503:1,ok"),
            ("429 with Retry-After", "busy:429:1,ok"),
            ("no range support", "short:%d,norange" % (size // 2)),
            ("wrong Content-Range", "short:%d,badrange,ok" % (size // 2)),
            ("slow drip", "drip:131072"),
        ]
        for name, plan in cases:
            with self.subTest(name):
                started = time.monotonic()
                path, _ = self.fault_run(self.packages, plan)
                requests = self.packages.requests(path)
                print("measure: fault %s: %d requests, %d bytes sent for %d, %.1f s" % (
                    name, len(requests), self.packages.bytes_sent(path), size, time.monotonic() - started))
                for r in requests:
                    print("measure:   %s status %s range %s If-Range %s sent %d" % (
                        r.step, r.status, r.range_start, r.headers.get("If-Range"), r.body_sent))
                if name == "slow drip":
                    self.assertEqual(len(requests), 1, "the drip never trips the watchdog")
                else:
                    self.assertGreaterEqual(len(requests), 2)
                if name == "wrong Content-Range":
                    # The wrong range is not appended: the next request starts from byte 0.
                    self.assertEqual(requests[1].status, 206)
                    self.assertIsNone(requests[2].range_start)
                if name == "clean short close after 50%":
                    self.assertEqual(requests[1].range_start, size // 2)
                    self.assertEqual(requests[1].status, 206)
                    self.assertEqual(self.packages.bytes_sent(path), size)

    def test_changed_package_mid_download_installs_the_new_one(self):
        # The server publishes a new file between the attempts: the wizard must not stitch the old
        # file's first half to the new one's rest. The page passes the new file's hash.
        newer = os.path.join(self.temp.name, "newer.zip")
        shutil.copy(os.path.join(BUILD, "product_package", "product.zip"), newer)
        with zipfile.ZipFile(newer, "a") as archive:
            archive.comment = b"release 2"
        with open(newer, "rb") as f:
            newer_bytes = f.read()
        self.assertNotEqual(newer_bytes, self.packages.package)
        server = wh.PackageServer(os.path.join(BUILD, "product_package", "product.zip"), lifetime=RUN_LIMIT + 120,
                                  pace=0, versions=[newer_bytes])
        try:
            size = len(self.packages.package)
            path, _ = self.fault_run(server, "reset:%d,newetag" % (size // 2), digest_version=1)
            requests = server.requests(path)
            self.assertEqual(len(requests), 2)
            self.assertEqual(requests[1].status, 200, "the whole new file, not the rest of the old one")
            self.assertEqual(requests[1].body_sent, len(newer_bytes))
        finally:
            server.stop()

    def test_large_package_cut_five_times(self):
        # A package of 16 MB and more (the product package with a stored filler entry), its
        # connection closed cleanly five times: where ranges work, hardly a byte is sent twice.
        large = os.path.join(self.temp.name, "large.zip")
        shutil.copy(os.path.join(BUILD, "product_package", "product.zip"), large)
        with zipfile.ZipFile(large, "a", compression=zipfile.ZIP_STORED) as archive:
            archive.writestr("filler.bin", os.urandom(16 * 1024 * 1024))
        server = wh.PackageServer(large, lifetime=RUN_LIMIT + 120, pace=0)
        try:
            size = len(server.package)
            self.assertGreaterEqual(size, 16 * 1024 * 1024)
            cut = size // 6
            for kind in ("short", "reset"):
                with self.subTest(kind):
                    path, _ = self.fault_run(server, "%s:%d*5,ok" % (kind, cut))
                    requests = server.requests(path)
                    sent = server.bytes_sent(path)
                    starts = [r.range_start or 0 for r in requests]
                    lost = [requests[i].body_sent - (starts[i + 1] - starts[i]) for i in range(len(requests) - 1)]
                    print("measure: %d cuts by %s: %d bytes sent for %d (%.4f), lost per cut %s" % (
                        len(requests) - 1, kind, sent, size, sent / size, lost))
                    self.assertEqual(len(requests), 6)
                    if kind == "short":
                        self.assertLessEqual(sent, size * 1.05)
        finally:
            server.stop()

    def test_busy_server_asking_too_long_a_pause_fails_with_the_lines_in_the_log(self):
        # A 503 asking for more than two minutes ends the download at once with code 4; the log
        # in the uploaded archive tells the attempt, its end and why the download gave up.
        path = "/f/busy:503:121,ok/HalvardLumenaryPro.zip"
        self.start(packed_exe(), packageUrl=self.packages.url(path))
        log = self.finish(SHORT_LIMIT)
        self.assertIn("callback: download 4", log)
        self.assertEqual(len(self.packages.requests(path)), 1)
        kinds = ("Download attempt ", "Download waits ", "Download resumes ", "Download restarts ", "Download gives up")
        texts = [l.split("] ", 1)[1] for l in self.error_report_log() if "] " in l]
        self.assertEqual([t for t in texts if t.startswith(kinds)], [
            "Download attempt 1 from byte 0",
            "Download attempt 1 ended: HTTP 503, HRESULT 801901f7, 0 bytes received",
            "Download gives up: the server asks to retry after 121 s"])
        self.assert_not_installed()

    def test_busy_installer_declined(self):
        # The setup answers "another install is running" (1618): the page asks whether to retry and
        # the user presses Cancel in the real message box.
        self.start(packed_exe(), packageUrl=self.packages.url("/pkg/HalvardLumenaryPro.zip"),
                   setupParameters="EXITCODE=1618 MSI=0 PAUSEMS=0")
        code, text = window_tool("answer", "2", str(RUN_LIMIT * 1000), timeout=RUN_LIMIT + 60)
        self.assertEqual(code, 0, "a message box appeared")
        self.assertEqual(text, "The installer is busy. Retry?")
        log = self.finish()
        self.assertIn("callback: install 4", log)
        self.assertIn("page: retry answered cancel", log)
        self.assertEqual(self.final_status().element("status"), "canceled")
        self.assertEqual(self.reports.error_reports(), [], "Cancel sends only the two analytics")
        self.assertEqual(len(wh.desktop_shortcuts(PREFIX)), 1, "the resume shortcut stays")
        self.assert_not_installed()

    def test_busy_installer_retried(self):
        # The first setup finds the installer busy; the user presses Retry and the second one installs.
        self.start(packed_exe(), packageUrl=self.packages.url("/pkg/HalvardLumenaryPro.zip"),
                   setupParameters="EXITCODE=1618 MSI=0 PAUSEMS=0", retries=1, retryParameters=SETUP_PARAMETERS)
        code, text = window_tool("answer", "4", str(RUN_LIMIT * 1000), timeout=RUN_LIMIT + 60)
        self.assertEqual((code, text), (0, "The installer is busy. Retry?"))
        log = self.finish()
        self.assertEqual([line for line in log if line.startswith("callback:")],
                         ["callback: download 0", "callback: install 4", "callback: install 0"])
        self.assertIn("page: retry answered retry", log)
        self.assertEqual(self.final_status().element("status"), "completed")
        self.assertEqual(self.reports.error_reports(), [])
        self.assertEqual(wh.desktop_shortcuts(PREFIX), [])
        self.assertIsNotNone(wh.installed_directory())

    def test_close_during_download(self):
        self.start(packed_exe(), packageUrl=self.packages.url("/stall/HalvardLumenaryPro.zip"), closeOnData=True)
        self.assertTrue(self.wizard.wait_for_log("page: closing the window", SHORT_LIMIT), self.wizard.page_log())
        closed_at = time.monotonic()
        log = self.finish(SHORT_LIMIT)
        ended_after = time.monotonic() - closed_at
        self.assertFalse(any(line.startswith("callback:") for line in log), "no callback reaches the page")
        self.assertFalse(any(line.startswith("error:") for line in log), log)
        # The page had set Error when the download started; the stop itself is not a failure.
        final = self.final_status()
        self.assertEqual(final.element("status"), "error occurred")
        self.assertEqual((final.element("wrapperError"), final.element("msiError")), ("0", "0"))
        self.assert_error_report()
        lines = self.error_report_log()
        self.assertTrue(any(l.endswith("DownloadThreadFunc stopped by shut-down") for l in lines), lines)
        self.assertFalse(any("Download fail" in l for l in lines), lines)
        stop_ms = stop_and_join_ms(lines)
        self.assertIsNotNone(stop_ms, lines)
        print("measure: stop-and-join mid-download %.0f ms" % stop_ms)
        self.assertLess(stop_ms, 1000)
        self.assertEqual(len(wh.desktop_shortcuts(PREFIX)), 1)
        self.assertLess(ended_after, 60)
        print("measure: end after WM_CLOSE mid-download %.1f s" % ended_after)

    def test_close_during_install(self):
        # Closed once setup has installed its first package: the wizard ends without waiting for
        # setup, setup runs on and installs the product, and the download folder that setup still
        # uses is left for removal at the next restart.
        clear_pending_removals()
        self.start(packed_exe(), packageUrl=self.packages.url("/pkg/HalvardLumenaryPro.zip"),
                   setupParameters="ACCEPT_EULA=1 PAUSEMS=4000", closeOnInstall=37)
        self.assertTrue(self.wizard.wait_for_log("page: closing the window", RUN_LIMIT), self.wizard.page_log())
        closed_at = time.monotonic()
        log = self.finish(SHORT_LIMIT, setup_left_running=True)
        ended_after = time.monotonic() - closed_at
        print("measure: end after WM_CLOSE mid-install %.1f s" % ended_after)
        self.assertFalse(any(line.startswith("callback: install") for line in log), log)
        final = self.final_status()
        self.assertEqual((final.element("wrapperError"), final.element("msiError")), ("0", "0"))
        lines = self.error_report_log()
        self.assertTrue(any(l.endswith("InstallThreadFunc stopped by shut-down") for l in lines), lines)
        self.assertFalse(any("] Install error: " in l for l in lines), "the wizard did not wait for setup's end")
        stop_ms = stop_and_join_ms(lines)
        self.assertIsNotNone(stop_ms, lines)
        print("measure: stop-and-join mid-install %.0f ms" % stop_ms)
        self.assertLess(stop_ms, 1000)
        # The download folder: where setup was told to write its log.
        command = [l for l in lines if "] Install : cmd line: " in l][0]
        setup_log = command.split("/l* ")[1].strip().strip('"')
        self.assertTrue(setup_log.endswith("\\log.txt"), setup_log)
        # The folder is found as setup placed it (two levels at most below the download folder).
        pending = pending_removals()
        folder = [p for p in pending if setup_log.lower().startswith(p.lower().replace("\\??\\", "") + "\\")]
        self.assertTrue(folder, pending)
        download_folder = min(folder, key=len).replace("\\??\\", "")
        self.assertTrue(any(p.lower().endswith("halvardlumenarypro.zip") for p in pending), pending)
        # Setup goes on by itself and installs the product.
        deadline = time.monotonic() + RUN_LIMIT
        while wh.installed_directory() is None and time.monotonic() < deadline:
            time.sleep(2)  # polling another process's progress; bounded above
        self.assertIsNotNone(wh.installed_directory(), "setup ran on to its end")
        # The folder itself stayed for setup; the test removes it and the pending entries.
        local = wh.prefix_path(PREFIX, download_folder)
        self.assertTrue(os.path.isdir(local), local)
        clear_pending_removals()
        wait_for_processes_gone(os.path.basename(local.rstrip("/")), RUN_LIMIT)
        shutil.rmtree(local, ignore_errors=True)

    def test_close_while_unpacking_a_large_entry(self):
        # The page closes the window (closeWindow: closing is disabled during the install) just after
        # it called install, on a package whose one entry holds 3 GiB of zeros (Wine unpacks them at
        # about 700 MB/s here, and the window takes about 2 s to go). The install worker ends within
        # a second by the log, the report shows the fields as before the install, and nothing of the
        # run stays below the working parent or in the temp folder.
        package = os.path.join(self.temp.name, "large.zip")
        with zipfile.ZipFile(package, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
            with archive.open("zeros.bin", "w", force_zip64=True) as entry:
                block = bytes(1 << 20)
                for _ in range(3 << 10):
                    entry.write(block)
        server = wh.PackageServer(package, lifetime=RUN_LIMIT + 120)
        self.addCleanup(server.stop)
        self.start(packed_exe(), packageUrl=server.url("/pkg/HalvardLumenaryPro.zip"), closeAfterInstallMs=200)
        self.assertTrue(self.wizard.wait_for_log("page: closing the window", RUN_LIMIT), self.wizard.page_log())
        log = self.finish(SHORT_LIMIT)
        lines = self.error_report_log()
        self.assertFalse(any(line.startswith("callback: install") for line in log), (log, lines))
        final = self.final_status()
        self.assertEqual((final.element("wrapperError"), final.element("msiError")), ("0", "0"), lines)
        self.assertTrue(any(l.endswith("] Unpacking stopped by shut-down") for l in lines), lines)
        self.assertTrue(any(l.endswith("InstallThreadFunc stopped by shut-down") for l in lines), lines)
        stop_ms = stop_and_join_ms(lines)
        self.assertIsNotNone(stop_ms, lines)
        print("measure: stop-and-join mid-unpacking %.0f ms" % stop_ms)
        self.assertLess(stop_ms, 1000)

    def test_close_disabled_minimises_and_second_launch_raises(self):
        self.start(packed_exe(), packageUrl=self.packages.url("/stall/HalvardLumenaryPro.zip"))
        self.assertTrue(self.packages.stalled.wait(SHORT_LIMIT), "the download started")
        self.assertEqual(window_tool("wait", "shown", "60000"), (0, "shown"))
        # Close is disabled while the download runs: WM_CLOSE minimises.
        self.assertEqual(window_tool("close")[0], 0)
        self.assertEqual(window_tool("wait", "iconic", "60000"), (0, "iconic"))
        self.assertIsNone(self.wizard.process.poll(), "still running")
        # A second launch restores the first window and exits 0 without reporting, and leaves the
        # first one's working folders alone.
        first_folders = wh.marked_folders(PREFIX)
        self.assertTrue(first_folders, "the first run's working folders are marked")
        second = wh.Wizard(packed_exe(), os.path.join(self.temp.name, "scenario1.js"),
                           os.path.join(self.temp.name, "second.log"))
        self.assertEqual(second.wait(SHORT_LIMIT), 0)
        self.assertEqual(window_tool("wait", "shown", "60000"), (0, "shown"))
        self.assertEqual(second.page_log(), [])
        self.assertLessEqual(first_folders, wh.marked_folders(PREFIX))
        self.assertEqual(len(self.reports.analytics()), 1, "only the first run's start analytics")
        print("measure: second launch %.1f s" % second.seconds())
        # The server going away fails the download; the page closes the window itself.
        self.packages.stop()
        log = self.finish(SHORT_LIMIT)
        self.assertEqual(len([line for line in log if line.startswith("callback: download ")]), 1, log)
        self.assertEqual(self.final_status().element("status"), "error occurred")

    def kill_when(self, ready, limit=SHORT_LIMIT):
        """Kills the running wizard (SIGKILL on its Wine process) once `ready()` holds."""
        deadline = time.monotonic() + limit
        while not ready():
            self.assertIsNone(self.wizard.process.poll(), "the wizard ended before the kill point; page log:\n%s"
                              % "\n".join(self.wizard.page_log()))
            self.assertLess(time.monotonic(), deadline, "the kill point never came; page log:\n%s"
                            % "\n".join(self.wizard.page_log()))
            time.sleep(0.05)  # polling the page log and the temp folder; bounded above
        self.wizard.kill()
        self.wizard = None

    def test_interrupted_runs_leave_nothing_behind(self):
        had_pending = bool(wh.pending_removals())
        earlier = wh.marked_folders(PREFIX)
        url = self.packages.url("/pkg/HalvardLumenaryPro.zip")
        left = set()

        def setup_started():
            return any(len(wh.marker_lines(PREFIX, name)) >= 2 for name in wh.marked_folders(PREFIX) - earlier)

        # During the download, while unpacking (the install call has just been made), while setup runs
        # (setup has been added to the marker; it waits 15 s and outlives the wizard), after setup.
        points = [
            ("download", dict(packageUrl=self.packages.url("/stall/HalvardLumenaryPro.zip")),
             lambda: self.packages.stalled.is_set()),
            ("unpacking", dict(packageUrl=url, setupParameters="ACCEPT_EULA=1 MSI=0 PAUSEMS=0"),
             lambda: any(line.startswith("page: install") for line in self.wizard.page_log())),
            ("setup", dict(packageUrl=url, setupParameters="ACCEPT_EULA=1 MSI=0 PAUSEMS=0 WAITMS=15000"),
             setup_started),
            ("after setup", dict(packageUrl=url, setupParameters="ACCEPT_EULA=1 MSI=0 PAUSEMS=0 WAITMS=0"),
             lambda: "callback: install 0" in self.wizard.page_log()),
        ]
        for name, config, ready in points:
            self.start(packed_exe(), **config)
            self.kill_when(ready)
            now = wh.marked_folders(PREFIX) - earlier
            print("measure: killed %s, %d working folders below the working parent" % (name, len(now)))
            left |= now
        self.assertGreaterEqual(len(left), 3, "the killed runs left their folders (pages, log, download)")

        # The further run starts at once, as a user would restart: under Wine a killed wizard's
        # process counts as ended within milliseconds of the kill.
        self.start(packed_exe(), packageUrl=url)
        # What the runs left in the temp folder is checked below, entry by entry.
        log = self.finish(setup_left_running=True)
        self.assertIn("callback: install 0", log)
        self.assertIsNotNone(wh.installed_directory(), "the further run installs the product")

        temp_windows = wh.WORKING_PARENT_WINDOWS
        remaining = wh.marked_folders(PREFIX) - earlier
        pending = wh.pending_removals()
        scheduled = {name for name in remaining if ("\\??\\" + temp_windows + name) in pending}
        print("measure: %d of %d left folders remain, %d of them scheduled for removal at restart"
              % (len(remaining & left), len(left), len(scheduled)))
        # No working folder remains, neither a killed run's nor one of the installing run itself,
        # but one whose setup still ran, scheduled with everything in it.
        self.assertEqual({name: wh.marker_lines(PREFIX, name) for name in remaining - scheduled}, {},
                         "only folders scheduled for removal at restart may remain")
        self.assertLessEqual(scheduled, left)
        for name in scheduled:
            top = os.path.join(wh.working_parent(PREFIX), name)
            for root, dirs, files in os.walk(top):
                for entry in dirs + files:
                    inside = os.path.relpath(os.path.join(root, entry), top).replace("/", "\\").lower()
                    if inside == wh.RUN_MARKER:
                        # The marker stays, so that a later run finds the folder once setup has ended.
                        self.assertNotIn("\\??\\" + temp_windows + name + "\\" + inside, pending)
                        continue
                    self.assertIn("\\??\\" + temp_windows + name + "\\" + inside, pending)
        self.assert_nothing_left_in_temp(allowed=scheduled)
        # The resume copy stays where it is.
        self.assertTrue(os.path.isfile(os.path.join(wh.temp_folder(PREFIX), "QRXDownloadManager.exe")))
        if not had_pending:
            wh.clear_pending_removals()

    def test_planted_dlls_are_not_loaded(self):
        # A copy of the wizard in a folder where DLLs named like the system DLLs it loads on demand
        # were planted (as in a Downloads folder). Wine is told to prefer a native DLL from the
        # application folder, as Windows' search order would for these names.
        # Every DLL the wizard loads on demand. (version.dll, delay-loaded too but unused, is left
        # out: Wine's own comctl32, which the manifest binds statically, imports it at process start,
        # before the entry point runs; Windows' comctl32 does not.)
        names = ["urlmon.dll", "winhttp.dll", "crypt32.dll", "dbghelp.dll", "wintrust.dll", "msi.dll"]
        folder = os.path.join(self.temp.name, "Downloads")
        markers = os.path.join(self.temp.name, "markers")
        os.makedirs(folder)
        os.makedirs(markers)
        exe = os.path.join(folder, "QRXDownloadManager.exe")
        shutil.copy(packed_exe(), exe)
        shutil.copy(os.path.join(BUILD, "e2e_window_tool.exe"), os.path.join(folder, "e2e_window_tool.exe"))
        for name in names:
            shutil.copy(os.path.join(BUILD, "e2e_planted.dll"), os.path.join(folder, name))
        env = {"WINEDLLOVERRIDES": ",".join(n[:-4] for n in names) + "=n,b",
               "QRX_PLANT_MARKER_DIR": wh.wine_path(markers)}
        # The set-up catches a bare-name load: a program loading "urlmon.dll" that way gets the copy.
        control = subprocess.run([wh.WINE64, os.path.join(folder, "e2e_window_tool.exe"), "load", "urlmon.dll"],
                                 stdin=subprocess.DEVNULL, capture_output=True, timeout=120,
                                 env=dict(os.environ, WINEDEBUG="-all", **env))
        self.assertEqual(control.returncode, 0)
        # (Wine's own DLLs in that process may pull in more of the planted names.)
        self.assertIn("urlmon.dll.loaded", os.listdir(markers))
        for marker in os.listdir(markers):
            os.remove(os.path.join(markers, marker))

        self.start(exe, extra_env=env,
                   packageUrl=self.packages.url("/pkg/lumenary-pro/win64/en/HalvardLumenaryPro.zip"))
        self.wizard.wait(RUN_LIMIT)
        self.assertEqual(sorted(os.listdir(markers)), [], "planted DLLs loaded into the wizard")
        log = self.finish()
        self.assertIn("callback: download 0", log)
        self.assertIn("callback: install 0", log)
        self.assertEqual(self.final_status().element("status"), "completed")
        print("measure: planted-DLL run %.1f s, %d names planted" % (self.wizard.seconds(), len(names)))


def tls_exe():
    """The packed wizard built to fetch the licence and send the reports over https on port 8443."""
    return os.path.join(BUILD, "QRXDownloadManagerTls.exe")


TLS_PORT = 8443


class NetworkRun(RunBase):
    """Whole runs over HTTPS and through a real proxy; the test root is trusted in the prefix only
    while each case runs."""

    def setUp(self):
        super().setUp()
        self.trust = nf.trusted_root(BUILD)
        self.trust.__enter__()

    def tearDown(self):
        self.trust.__exit__(None, None, None)
        super().tearDown()

    def tls_package_server(self, cert):
        server = wh.PackageServer(os.path.join(BUILD, "product_package", "product.zip"), lifetime=RUN_LIMIT + 120,
                                  tls=nf.pki(BUILD, cert))
        self.addCleanup(server.stop)
        return server

    def report_log(self, reports=None):
        reports = reports or self.reports
        found = [r for r in reports.snapshot() if r.verb == "PUT" and r.path == "/v1/reportError"]
        self.assertEqual(len(found), 1)
        return found[0].zip_text("installer_log.txt")

    def assert_installed(self, log):
        self.assertIn("callback: download 0", log)
        self.assertIn("callback: install 0", log)
        self.assertIsNotNone(wh.installed_directory())

    def test_https_package_licence_and_reports(self):
        secure_reports = wh.ReportServer(lifetime=RUN_LIMIT + 120, port=TLS_PORT, tls=nf.pki(BUILD, "server.pem"))
        self.addCleanup(secure_reports.stop)
        licences = wh.LicenseServer(lifetime=RUN_LIMIT + 120, port=TLS_PORT, tls=nf.pki(BUILD, "server.pem"))
        self.addCleanup(licences.stop)
        packages = self.tls_package_server("server.pem")
        self.start(tls_exe(), packageUrl=packages.url("/pkg/HalvardLumenaryPro.zip"))
        log = self.finish(setup_left_running=True)
        # The resume copy is named after the executable that made it.
        self.assert_nothing_left_in_temp(allowed=(os.path.basename(tls_exe()),))
        self.assert_installed(log)
        self.assertEqual(packages.paths, ["/pkg/HalvardLumenaryPro.zip"])
        self.assertEqual(licences.paths, ["/license/QRX/en/Eula.html"])
        analytics = [r.element("status") for r in secure_reports.snapshot() if r.path == "/v1/logAnalytics"]
        self.assertEqual(analytics, ["started", "completed"])
        self.assertEqual(self.reports.snapshot(), [], "nothing went to the plain report port")

    def test_bad_certificates_are_refused(self):
        for cert in ("untrusted.pem", "expired.pem", "wrong-name.pem"):
            with self.subTest(cert):
                self.reports.requests.clear()
                remove_shortcuts()
                packages = self.tls_package_server(cert)
                self.start(packed_exe(), packageUrl=packages.url("/pkg/HalvardLumenaryPro.zip"))
                log = self.finish()
                self.assertIn("callback: download 1", log)
                self.assertFalse(any(line.startswith("callback: install") for line in log), log)
                self.assertEqual(packages.paths, [], "no request after the handshake")
                self.assertLessEqual(packages.accepted, 1, "connections accepted")
                print("measure: %s, %d connection(s)" % (cert, packages.accepted))
                text = self.report_log()
                self.assertIn("Download refused, certificate error (", text)
                self.assertEqual(text.count("TransferDownloadError HRESULT: "), 1, "never retried")
                self.assert_not_installed()
                packages.stop()

    def test_https_redirects(self):
        secure = self.tls_package_server("server.pem")
        cases = [
            ("to http", secure.url("/to/" + self.packages.url("/pkg/HalvardLumenaryPro.zip")), 1),
            ("to file", secure.url("/to/file:///C:/windows/win.ini"), 1),
            ("to https", secure.url("/to/" + secure.url("/pkg/HalvardLumenaryPro.zip")), 0),
        ]
        for name, url, code in cases:
            with self.subTest(name):
                self.reports.requests.clear()
                remove_shortcuts()
                self.start(packed_exe(), packageUrl=url)
                log = self.finish()
                self.assertIn("callback: download %d" % code, log)
                if code:
                    text = self.report_log()
                    self.assertIn("Download refused, redirect from " + url + " to ", text)
                    self.assert_not_installed()
                else:
                    self.assert_installed(log)
                    wh.remove_test_products(self.codes)

    def test_proxy_carries_every_request(self):
        licences = wh.LicenseServer(lifetime=RUN_LIMIT + 120)
        self.addCleanup(licences.stop)
        with nf.Tinyproxy(os.path.join(self.temp.name, "proxy")) as proxy, nf.proxy_settings(proxy.name):
            url = self.packages.url("/pkg/HalvardLumenaryPro.zip")
            self.start(packed_exe(), packageUrl=url)
            log = self.finish()
            requests = proxy.requests()
        self.assert_installed(log)
        self.assertIn("GET %s HTTP/1.1" % url, requests)
        self.assertTrue(any(r.startswith("GET http://127.0.0.2") and "/license/QRX/en/Eula.html " in r
                            for r in requests), requests)
        self.assertEqual(licences.paths, ["/license/QRX/en/Eula.html"])
        self.assertEqual(len([r for r in requests if r.startswith("POST http://127.0.0.1:80/v1/logAnalytics ")]), 2,
                         requests)
        self.assertEqual([r.element("status") for r in self.reports.analytics()], ["started", "completed"])

    def test_https_through_the_proxy(self):
        secure = self.tls_package_server("server.pem")
        with nf.Tinyproxy(os.path.join(self.temp.name, "proxy"), connect_ports=[secure.port]) as proxy, \
                nf.proxy_settings(proxy.name):
            self.start(packed_exe(), packageUrl=secure.url("/pkg/HalvardLumenaryPro.zip"))
            log = self.finish()
            requests = proxy.requests()
        self.assert_installed(log)
        self.assertIn("CONNECT 127.0.0.1:%d HTTP/1.1" % secure.port, requests)
        self.assertEqual(secure.paths, ["/pkg/HalvardLumenaryPro.zip"])

    def test_proxy_asking_for_credentials(self):
        # Only urlmon's setting names the proxy: the reports go direct and bring the log.
        with nf.Tinyproxy(os.path.join(self.temp.name, "proxy"), basic_auth=("user", "secret")) as proxy, \
                nf.proxy_settings(proxy.name, reports_too=False):
            self.start(packed_exe(), packageUrl=self.packages.url("/pkg/HalvardLumenaryPro.zip"))
            log = self.finish(SHORT_LIMIT)
        self.assertIn("callback: download 1", log)
        self.assertEqual(self.packages.paths, [], "the proxy let nothing through")
        lines = [l for l in self.report_log().splitlines()]
        refused = [l for l in lines if "Download refused, proxy authentication required: " in l]
        self.assertEqual(len(refused), 1, lines)
        started = [l for l in lines if "ZSDownload" in l][0]
        seconds = (log_time(refused[0]) - log_time(started)).total_seconds()
        print("measure: 407 proxy ended the download after %.2f s" % seconds)
        self.assertLess(seconds, 5)
        self.assert_not_installed()


def main():
    global BUILD, PREFIX
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    args, rest = parser.parse_known_args()
    BUILD = os.path.abspath(args.build)
    PREFIX = os.environ.get("WINEPREFIX") or os.path.join(BUILD, "wineprefix")
    os.environ["WINEPREFIX"] = PREFIX
    # QRX_E2E_FILTER picks cases by name parts (comma-separated, as unittest -k), for work on one case.
    for part in os.environ.get("QRX_E2E_FILTER", "").split(","):
        if part:
            rest += ["-k", part]
    unittest.main(argv=[sys.argv[0]] + rest)


if __name__ == "__main__":
    main()
