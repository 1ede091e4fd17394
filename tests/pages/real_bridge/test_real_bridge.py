#!/usr/bin/env python3
"""Whole runs of the real pages in headless Chromium driving the product's real bridge.

Each run: the bridge host (qrx_bridge_host.exe) under Wine holds the product's bridge, workers,
download engine, installer, reporter and host window, and serves the pages' window.external calls
over loopback HTTP; drive.js walks the pages from Load.html in Chromium with a proxy for
window.external; the package, report and licence servers are those of the whole-wizard runs.
Checked from outside: what the pages showed, the calls the host served (its log), the reports, the
install in the prefix.

Run by CTest through scripts/run-tests (WINEPREFIX and DISPLAY set, wineserver persistent).
"""
import argparse
import glob
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.abspath(os.path.join(HERE, "..", "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import wizard_harness as wh  # noqa: E402

DRIVER = os.path.join(HERE, "drive.js")
BUILD = None
PREFIX = None
PAGES = None
SHOTS = None
RUN_LIMIT = 420
HOST_EXE = "qrx_bridge_host.exe"
# The prefix's per-program Windows version, for the environment refusal.
VERSION_KEY = r"HKCU\Software\Wine\AppDefaults" + "\\" + HOST_EXE
BUSY_PARAMETERS = "EXITCODE=1618 MSI=0 PAUSEMS=0"
PACKAGE_PATH = "/lumenary-pro/win{OSBITS}/{LANG}/HalvardLumenaryPro.zip"

# Every served line of every run, for the coverage check at the end.
SERVED = []
RUNS = []


class Host:
    """The bridge host under Wine; its stdout says where it listens."""

    def __init__(self, pages, log, locale):
        env = dict(os.environ, WINEDEBUG="-all", LANG=locale, LC_ALL=locale)
        self.started = time.monotonic()
        self.process = subprocess.Popen([wh.WINE64, os.path.join(BUILD, HOST_EXE), wh.wine_path(pages), wh.wine_path(log)],
                                        env=env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL)
        self.lines = []
        self.arrived = threading.Condition()
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for raw in self.process.stdout:
            with self.arrived:
                self.lines.append(raw.decode("utf-8", "replace").strip())
                self.arrived.notify_all()

    def port(self, timeout):
        deadline = time.monotonic() + timeout
        with self.arrived:
            while True:
                for line in self.lines:
                    if line.startswith("listening "):
                        return int(line.split()[1])
                left = deadline - time.monotonic()
                if left <= 0 or self.process.poll() is not None:
                    return None
                self.arrived.wait(min(left, 0.5))

    def wait(self, timeout):
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self.reader.join(10)
        self.process.stdout.close()


def set_install_params(pages, package_url, setup_parameters=None):
    """The run's install parameters: the package URL at the loopback package server."""
    path = os.path.join(pages, "js", "installparams.js")
    with open(path, encoding="utf-8") as f:
        text = f.read()
    text, count = re.subn(r'"PACKAGE_URL":\s*"[^"]*"', '"PACKAGE_URL": "%s"' % package_url, text)
    assert count == 1, "PACKAGE_URL in installparams.js"
    if setup_parameters is not None:
        text, count = re.subn(r'"SETUP_PARAMS":\s*"[^"]*"', '"SETUP_PARAMS": "%s"' % setup_parameters, text)
        assert count == 1, "SETUP_PARAMS in installparams.js"
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def served_calls(lines):
    """(name, flags, args text, hr, result) of every served call."""
    calls = []
    for line in lines:
        m = re.match(r"served: call (\w+) flags=(\d+) dispid=(-?\d+) args=\[(.*)\] hr=(0x[0-9a-f]+) result=(.*)$", line)
        if m:
            calls.append((m.group(1), int(m.group(2)), m.group(4), m.group(5), m.group(6)))
    return calls


def callback_codes(lines):
    return [json.loads(m.group(1))[0]["v"] for m in
            (re.match(r"callback: function \d+ args=(\[.*\]) event \d+$", line) for line in lines) if m]


class RealBridge(unittest.TestCase):
    def setUp(self):
        self.codes = os.path.join(BUILD, "product_package", "codes.txt")
        wh.remove_test_products(self.codes)
        self.remove_shortcuts()
        self.temp = tempfile.TemporaryDirectory(prefix="qrx-real-bridge-")
        self.reports = wh.ReportServer(lifetime=RUN_LIMIT + 120)
        self.licences = wh.LicenseServer(lifetime=RUN_LIMIT + 120)
        self.packages = None
        self.host = None

    def tearDown(self):
        if self.host:
            self.host.kill()
        if self.packages:
            self.packages.stop()
        self.licences.stop()
        self.reports.stop()
        wh.run_wine(["reg", "delete", VERSION_KEY, "/f"])
        self.remove_shortcuts()
        wh.remove_test_products(self.codes)
        self.temp.cleanup()

    @staticmethod
    def remove_shortcuts():
        for path in wh.desktop_shortcuts(PREFIX):
            os.remove(path)

    def run_pages(self, run, scenario, locale="en_US.UTF-8", package_root="/pkg", missing=(), setup_parameters=None,
                  probe=False, pace=0.05):
        pages = os.path.join(self.temp.name, "pages")
        shutil.copytree(PAGES, pages)
        if probe:
            shutil.copy(os.path.join(HERE, "probe.js"), pages)
        self.packages = wh.PackageServer(os.path.join(BUILD, "product_package", "product.zip"),
                                         lifetime=RUN_LIMIT + 120, missing=missing, pace=pace)
        set_install_params(pages, self.packages.url(package_root + PACKAGE_PATH), setup_parameters)
        # Kept beside the screenshots: what the host served in this run. An earlier run's files go.
        os.makedirs(SHOTS, exist_ok=True)
        for name in os.listdir(SHOTS):
            if name.startswith(run + "-"):
                os.remove(os.path.join(SHOTS, name))
        log = os.path.join(SHOTS, run + "-bridge-host.log")
        started = time.monotonic()
        self.host = Host(pages, log, locale)
        port = self.host.port(120)
        if port is None:
            with open(log, encoding="utf-8", errors="replace") as f:
                self.fail("the bridge host did not start: %s\n%s" % (self.host.lines, f.read()))
        settings = {"pagesDir": pages, "bridge": "http://127.0.0.1:%d" % port, "scenario": scenario, "run": run,
                    "shotsDir": SHOTS, "wine": wh.WINE64, "windowTool": os.path.join(BUILD, "e2e_window_tool.exe"),
                    "timeoutMs": RUN_LIMIT * 1000}
        driver = subprocess.run(["node", DRIVER, json.dumps(settings)], cwd=ROOT, stdin=subprocess.DEVNULL,
                                capture_output=True, timeout=RUN_LIMIT + 60)
        out = driver.stdout.decode("utf-8", "replace")
        results = [line[len("result: "):] for line in out.splitlines() if line.startswith("result: ")]
        code = self.host.wait(120)
        with open(log, encoding="utf-8", errors="replace") as f:
            served = f.read().splitlines()
        SERVED.extend(served)
        RUNS.append(run)
        self.assertTrue(results, "the driver printed no result:\n%s\n%s" % (out, driver.stderr.decode("utf-8", "replace")))
        result = json.loads(results[-1])
        self.assertNotIn("failed", result, "%s\nhost log:\n%s" % (result.get("failed"), "\n".join(served[-40:])))
        self.assertEqual(code, 0, "the bridge host ended with %s" % code)
        print("measure: %s run %.1f s" % (run, time.monotonic() - started))
        self.check_common(result, served, probe)
        return result, served

    def check_common(self, result, served, probe):
        self.assertEqual(result["errors"], [], "script errors on the pages")
        self.assertTrue(result["closed"], "the page closed the host window")
        pages_origin = result["requests"][0].split("/Load.html")[0]
        for url in result["requests"]:
            self.assertTrue(url.startswith(pages_origin + "/") or url.startswith("http://127.0.0.1:"), url)
        for shot in result["shots"]:
            self.assertGreater(os.path.getsize(shot), 1000, shot)
        calls = served_calls(served)
        self.assertTrue(calls)
        if probe:
            # The probe's refused calls, each with the bridge's own HRESULT.
            refused = [c for c in calls if c[3] != "0x00000000"]
            self.assertEqual([(c[0], c[1], c[2], c[3]) for c in refused],
                             [("setInstallStatus", 1, "i:9", "0x80030057"), ("setChannel", 3, "s:probe", "0x80020003"),
                              ("getProperty", 1, "s:lang", "0x80020003"), ("setWindowSize", 1, "d:600.5,i:400", "0x80020005")])
            calls = [c for c in calls if c not in refused]
        for name, flags, args, hr, value in calls:
            self.assertEqual(hr, "0x00000000", "%s(%s) failed" % (name, args))
        # The engine's flags: values of getProperty and retryMessageBox are used, the rest are statements.
        for name, flags, args, hr, value in calls:
            expected = 3 if name in ("getProperty", "retryMessageBox") else 1
            self.assertEqual(flags, expected, "%s called with flags %d" % (name, flags))
            if flags == 1:
                self.assertEqual(value, '{"t":"u"}', "a statement call gets no result")
        for name, flags, args, hr, value in calls:
            if name == "getProperty":
                self.assertRegex(value, r'^\{"t":"s","v":".*"\}$', "getProperty(%s) yields a string" % args)
        # The run sequence ended; a worker that had not stopped within shut-down's wait ends with
        # the process, as in the wizard.
        self.assertTrue({"host: run ended", "host: run ended with a worker still running"} & set(served), served[-5:])

    def analytics(self):
        analytics = self.reports.analytics()
        self.assertEqual(len(analytics), 2, [a.element("status") for a in analytics])
        self.assertEqual(analytics[0].element("status"), "started")
        return analytics[1]

    def assert_installed(self):
        directory = wh.installed_directory()
        self.assertIsNotNone(directory, "the product's Directory value")
        program = wh.prefix_path(PREFIX, directory.rstrip("\\") + "\\" + wh.PROGRAM_NAME)
        self.assertTrue(os.path.isfile(program), program)

    def full_flow(self, run, locale, lang):
        result, served = self.run_pages(run, "full", locale=locale)
        self.assertEqual(result["lang"], lang)
        self.assertEqual(result["texts"]["welcome"], result["expect"]["welcome_heading"])
        self.assertEqual(result["texts"]["complete"], result["expect"]["complete_heading"])
        # The licence the product fetched from the licence server for this language.
        self.assertEqual(result["texts"]["licence"], "Demo licence")
        self.assertIn("/license/QRX/%s/Eula.html" % lang, self.licences.paths)
        self.assertTrue(result["downloadShot"] or result["installShot"], "a progress figure was captured")
        calls = served_calls(served)
        args_of = lambda name: [c[2] for c in calls if c[0] == name]  # noqa: E731
        self.assertEqual(args_of("setInstallStatus"), ["i:0", "i:2", "i:1"])
        self.assertEqual(args_of("setWindowSize"), ["i:600,i:400"])
        self.assertEqual(args_of("disableCloseWindow"), ["b:1", "b:0"])
        self.assertEqual(self.packages.paths, ["/pkg/lumenary-pro/win64/%s/HalvardLumenaryPro.zip" % lang])
        self.assertEqual(args_of("install"), ["s:%s,f:2" % result["installParams"]["SETUP_PARAMS"]])
        self.assertEqual(callback_codes(served), [0, 0])
        self.assertEqual([c[0] for c in calls if c[0] != "getProperty"][-3:],
                         ["startInstallProgram", "openPage", "closeWindow"])
        # The window operations reached the product window.
        self.assertIn("window: 600x400 shown", served)
        self.assertIn("window: system command 0xf012 answered without the move loop", served)
        minimized = [i for i, line in enumerate(served) if re.match(r"window: \d+x\d+ minimized$", line)]
        self.assertTrue(minimized, "the minimise button minimised the window")
        self.assertIn("window: 600x400 shown", served[minimized[0]:], "restored when the install succeeded")
        # The page polled real progress: the total is the package's size, the figures only grow
        # and never pass it. (The page stops polling at the callback, so it need not see the end.)
        size = len(self.packages.package)
        polled = lambda key: [int(json.loads(c[4])["v"]) for c in calls  # noqa: E731
                              if c[0] == "getProperty" and c[2] == "s:" + key]
        self.assertEqual(polled("downloadTotal")[-1], size)
        current = polled("downloadCurrent")
        self.assertEqual(current, sorted(current))
        self.assertLessEqual(current[-1], size)
        percents = polled("installProgress")
        self.assertEqual(percents, sorted(percents))
        self.assertLessEqual(percents[-1], 100)
        final = self.analytics()
        self.assertEqual(final.element("status"), "completed")
        self.assertEqual(final.element("channelId"), "lumenary-web")
        self.assertEqual((final.element("wrapperError"), final.element("msiError")), ("0", "0"))
        self.assertEqual(self.reports.error_reports(), [])
        self.assertEqual(wh.desktop_shortcuts(PREFIX), [], "no resume shortcut after Completed")
        self.assert_installed()

    def test_full_flow_english(self):
        self.full_flow("en", "en_US.UTF-8", "en")

    def test_full_flow_german(self):
        self.full_flow("de", "de_DE.UTF-8", "de")

    def test_language_package_missing_then_default(self):
        missing = "/pkg/lumenary-pro/win64/en/"
        result, served = self.run_pages("default-package", "default-package", missing=[missing])
        self.assertEqual(self.packages.paths, [missing + "HalvardLumenaryPro.zip",
                                               "/pkg/lumenary-pro/win32/en/HalvardLumenaryPro.zip"])
        self.assertEqual(callback_codes(served), [2, 0, 0])
        self.assertEqual(result["texts"]["complete"], result["expect"]["complete_heading"])
        final = self.analytics()
        self.assertEqual(final.element("status"), "completed")
        # The failed first download stays in the record.
        self.assertEqual((final.element("wrapperError"), final.element("msiError")), ("1", "2"))
        self.assert_installed()

    def test_busy_installer_retry_then_cancel(self):
        result, served = self.run_pages("busy", "busy", setup_parameters=BUSY_PARAMETERS)
        self.assertEqual(result["boxes"], [result["expect"]["retry_install"]] * 2)
        calls = served_calls(served)
        self.assertEqual([c[4] for c in calls if c[0] == "retryMessageBox"], ['{"t":"b","v":true}', '{"t":"b","v":false}'])
        self.assertEqual(len([c for c in calls if c[0] == "install"]), 2)
        self.assertEqual(callback_codes(served), [0, 4, 4])
        self.assertEqual([c[2] for c in calls if c[0] == "setInstallStatus"], ["i:0", "i:2", "i:3"])
        self.assertEqual(self.analytics().element("status"), "canceled")
        self.assertEqual(self.reports.error_reports(), [])
        self.assertIsNone(wh.installed_directory())

    def test_environment_refusal_old_windows(self):
        code, out = wh.run_wine(["reg", "add", VERSION_KEY, "/v", "Version", "/d", "vista", "/f"])
        self.assertEqual(code, 0, out)
        result, served = self.run_pages("refusal", "refusal", probe=True)
        # Seen by the page: the HRESULTs in the errors' numbers, an expando kept and deleted.
        self.assertEqual(result["probe"], {"refused": [0x80030057 - 2**32, 0x80020003 - 2**32, 0x80020003 - 2**32,
                                                       0x80020005 - 2**32],
                                           "expando": "kept", "deleted": "undefined", "lang": "en"})
        for line in ("served: put qrxProbe dispid=-2147483648 value=s:kept hr=0x00000000",
                     'served: get qrxProbe dispid=-2147483648 hr=0x00000000 result={"t":"s","v":"kept"}',
                     "served: delete qrxProbe hr=0x00000000"):
            self.assertIn(line, served)
        self.assertIn(self.analytics().element("channelId"), ("", None), "the refused setChannel changed nothing")
        self.assertEqual(result["texts"]["reason"], "env_os_old")
        self.assertEqual(result["texts"]["refusal"], result["expect"]["env_os_old"])
        calls = [c for c in served_calls(served) if c[3] == "0x00000000"]
        self.assertIn(("getProperty", 3, "s:osVersion", "0x00000000", '{"t":"s","v":"6.0"}'), calls)
        self.assertEqual([c[2] for c in calls if c[0] == "setInstallStatus"], ["i:4"])
        self.assertNotIn("download", [c[0] for c in calls])
        self.assertEqual(self.analytics().element("status"), "environment not supported")

    def read_values(self, served, key):
        return [json.loads(c[4])["v"] for c in served_calls(served) if c[0] == "getProperty" and c[2] == "s:" + key]

    def check_failure_panel(self, result, served, cause):
        """The page showed the cause the bridge kept, in its language, announced, with Retry focused."""
        self.assertEqual(result["texts"]["cause"], cause)
        self.assertEqual(result["texts"]["failure"], result["expect"]["cause_" + cause])
        self.assertEqual(result["texts"]["announced"],
                         result["expect"]["failure_heading"] + " " + result["expect"]["cause_" + cause])
        self.assertEqual(result["focused"], "btn-retry")
        self.assertIn(cause, self.read_values(served, "downloadFailure"))
        calls = [c[0] for c in served_calls(served)]
        self.assertNotIn("messageBox", calls)
        self.assertNotIn("retryMessageBox", calls)

    def retry_flow(self, run, locale, lang):
        """The package server closes the first answer short and refuses the rest with 403: the
        cause, Retry, which resumes where the failed download stopped, installed."""
        root = "/f/short:200000,busy:403:0,ok"
        result, served = self.run_pages(run, "retry", locale=locale, package_root=root)
        self.assertEqual(result["lang"], lang)
        self.check_failure_panel(result, served, "server")
        path = root + "/lumenary-pro/win64/%s/HalvardLumenaryPro.zip" % lang
        self.assertEqual(self.packages.paths, [path, path, path])
        # The Retry asks for the rest only: no byte of the package is sent twice.
        answers = [(r.range_start, r.status, r.body_sent) for r in self.packages.requests(path)]
        size = len(self.packages.package)
        self.assertEqual(answers, [(None, 200, 200000), (200000, 403, 0), (200000, 206, size - 200000)])
        self.assertEqual(self.packages.bytes_sent(path), size)
        self.assertLess(self.packages.bytes_sent(), 2 * size)
        self.assertEqual(callback_codes(served), [1, 0, 0])
        # Emptied when the retried download started.
        self.assertEqual(self.read_values(served, "downloadFailure"), ["server"])
        self.assertEqual(result["texts"]["complete"], result["expect"]["complete_heading"])
        calls = served_calls(served)
        self.assertEqual([c[2] for c in calls if c[0] == "setInstallStatus"], ["i:0", "i:2", "i:1"])
        final = self.analytics()
        self.assertEqual(final.element("status"), "completed")
        # The failed first download stays in the record.
        self.assertEqual((final.element("wrapperError"), final.element("msiError")), ("1", "1"))
        self.assert_installed()

    def test_refused_once_then_retry_english(self):
        self.retry_flow("retry-en", "en_US.UTF-8", "en")

    def test_refused_once_then_retry_german(self):
        self.retry_flow("retry-de", "de_DE.UTF-8", "de")

    def no_package_flow(self, run, locale, lang):
        """Neither the package nor the default one exists: the cause, then Cancel."""
        result, served = self.run_pages(run, "no-package", locale=locale, package_root="/missing")
        self.assertEqual(result["lang"], lang)
        self.check_failure_panel(result, served, "notfound")
        self.assertEqual(callback_codes(served), [2, 2])
        calls = served_calls(served)
        self.assertEqual(len([c for c in calls if c[0] == "download"]), 2)
        self.assertEqual([c[2] for c in calls if c[0] == "setInstallStatus"], ["i:0", "i:2", "i:3"])
        self.assertEqual([c[0] for c in calls if c[0] != "getProperty"][-3:],
                         ["setInstallStatus", "disableCloseWindow", "closeWindow"])
        self.assertEqual(self.analytics().element("status"), "canceled")
        self.assertEqual(self.reports.error_reports(), [])
        self.assertIsNone(wh.installed_directory())

    def test_no_package_at_all_then_cancel_english(self):
        self.no_package_flow("no-package", "en_US.UTF-8", "en")

    def test_no_package_at_all_then_cancel_german(self):
        self.no_package_flow("no-package-de", "de_DE.UTF-8", "de")

    def test_setup_failed(self):
        """Setup ends with 1603: the setup-failure text in a message box, then the window closes."""
        result, served = self.run_pages("setup-failed", "setup-failed", setup_parameters="EXITCODE=1603 MSI=0 PAUSEMS=0")
        self.assertEqual(result["boxes"], [result["expect"]["err_setup"]])
        self.assertEqual(callback_codes(served), [0, 3])
        calls = served_calls(served)
        self.assertEqual([c[0] for c in calls if c[0] != "getProperty"][-3:],
                         ["messageBox", "disableCloseWindow", "closeWindow"])
        self.assertEqual(self.analytics().element("status"), "error occurred")
        self.assertEqual(len(self.reports.error_reports()), 1, "the report the text promises")

    def packages_in_download_folders(self):
        # The download folders are working folders of the run, below the working parent.
        return glob.glob(os.path.join(wh.working_parent(PREFIX), "*", "HalvardLumenaryPro.zip"))

    def check_eta_lines(self, lines, lang):
        """Every line read under the bar: sizes of the package in the language's form, a time left
        that is neither negative, nor absurd, nor not a number; some readings carried one."""
        size_kb = "%.1f" % (len(self.packages.package) / 1024.0)
        words = {"en": (r"([\d.]+) KB of (%s) KB", r"a few seconds left|about (\d+) seconds left|about 1 minute left"),
                 "de": (r"([\d,]+) KB von (%s) KB", r"noch wenige Sekunden|noch etwa (\d+) Sekunden|noch etwa 1 Minute")}
        sizes, times = words[lang]
        total = size_kb if lang == "en" else size_kb.replace(".", ",")
        pattern = re.compile("^" + sizes % re.escape(total) + "(?: \u00b7 (?:%s))?$" % times)
        timed = 0
        for line in lines:
            if not line:
                continue
            self.assertNotRegex(line, r"NaN|undefined|Infinity|-\d|\{")
            m = pattern.match(line.replace("\u00a0", " "))
            self.assertIsNotNone(m, line)
            self.assertLessEqual(float(m.group(1).replace(",", ".")), float(size_kb), line)
            if "\u00b7" in line:
                timed += 1
            if m.group(3):
                # Seconds of a download that takes about 20 s.
                self.assertLessEqual(int(m.group(3)), 60, line)
        self.assertGreater(timed, 0, "a time left was shown: %s" % lines)

    def cancel_flow(self, run, locale, lang):
        """Cancel during a paced download: the line under the bar, the question, nothing left behind."""
        # Package files of earlier runs (a run that was killed leaves its folder) are not this run's.
        earlier = set(self.packages_in_download_folders())
        seen = set()
        watching = threading.Event()

        def watch():
            while not watching.is_set():
                seen.update(set(self.packages_in_download_folders()) - earlier)
                time.sleep(0.1)
        watcher = threading.Thread(target=watch, daemon=True)
        watcher.start()
        try:
            # About 20 s for the whole package, one 32 KB piece every 1.5 s.
            result, served = self.run_pages(run, "cancel", locale=locale, pace=1.5)
        finally:
            watching.set()
            watcher.join(10)
        self.assertEqual(result["lang"], lang)
        self.check_eta_lines(result["etaLines"], lang)
        self.assertEqual(result["texts"]["confirm"], result["expect"]["confirm_cancel"])
        self.assertLess(int(result["cancelledAt"].rstrip("%")), 100)
        self.assertTrue(seen, "the package was being written while the download ran")
        self.assertEqual([p for p in self.packages_in_download_folders() if p not in earlier], [],
                         "no package file left in a download folder")
        for path in seen:
            self.assertFalse(os.path.exists(os.path.dirname(path)), "the download folder is gone: %s" % path)
        calls = served_calls(served)
        self.assertEqual([c[2] for c in calls if c[0] == "setInstallStatus"], ["i:0", "i:2", "i:3"])
        self.assertEqual([c[0] for c in calls if c[0] != "getProperty"][-3:],
                         ["setInstallStatus", "disableCloseWindow", "closeWindow"])
        self.assertNotIn("install", [c[0] for c in calls])
        # The stopped download calls the closed page back no more.
        self.assertEqual(callback_codes(served), [])
        self.assertEqual(self.analytics().element("status"), "canceled")
        self.assertIsNone(wh.installed_directory())

    def test_cancel_during_the_download_english(self):
        self.cancel_flow("cancel-en", "en_US.UTF-8", "en")

    def test_cancel_during_the_download_german(self):
        self.cancel_flow("cancel-de", "de_DE.UTF-8", "de")

    def test_zz_every_call_of_the_pages_reached_the_bridge(self):
        """Across the runs above: every method of the pages' bridge layer and every property key the
        pages read was served by the real bridge at least once."""
        if len(RUNS) < 12:
            self.skipTest("needs all runs (ran: %s)" % RUNS)
        with open(os.path.join(PAGES, "js", "external.js"), encoding="utf-8") as f:
            methods = set(re.findall(r"\bext\.(\w+)\(", f.read()))
        keys = set()
        for root, _, files in os.walk(PAGES):
            for name in files:
                if name.endswith((".html", ".js")) and not name.startswith("jquery"):
                    with open(os.path.join(root, name), encoding="utf-8") as f:
                        keys |= set(re.findall(r'\b(?:getProperty|getNumber)\("(\w+)"\)', f.read()))
        self.assertEqual(len(methods), 15, sorted(methods))
        calls = served_calls(SERVED)
        served_methods = {c[0] for c in calls}
        served_keys = {c[2][2:] for c in calls if c[0] == "getProperty"}
        # Methods the runs cannot reach, with the reason (none so far).
        unreachable = {}
        print("measure: served %d calls; methods %d of %d; property keys %d of %d (%s)"
              % (len(calls), len(methods & served_methods), len(methods), len(keys & served_keys), len(keys),
                 ", ".join(sorted(keys))))
        for name, reason in unreachable.items():
            print("unreachable: %s: %s" % (name, reason))
        if not unreachable:
            print("unreachable: none of the fifteen")
        self.assertEqual(sorted(methods - served_methods - set(unreachable)), [])
        self.assertEqual(sorted(keys - served_keys), [])


def main():
    global BUILD, PREFIX, PAGES, SHOTS
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    args, rest = parser.parse_known_args()
    BUILD = os.path.abspath(args.build)
    PREFIX = os.environ.get("WINEPREFIX") or os.path.join(BUILD, "wineprefix")
    os.environ["WINEPREFIX"] = PREFIX
    PAGES = os.environ.get("QRX_PAGES_DIR") or os.path.join(BUILD, "pages")
    SHOTS = os.environ.get("QRX_SCREENSHOT_DIR") or os.path.join(BUILD, "page-screenshots", "real")
    # QRX_REAL_BRIDGE_FILTER picks cases by name parts (comma-separated, as unittest -k).
    for part in os.environ.get("QRX_REAL_BRIDGE_FILTER", "").split(","):
        if part:
            rest += ["-k", part]
    unittest.main(argv=[sys.argv[0]] + rest)


if __name__ == "__main__":
    main()
