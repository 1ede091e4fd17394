#!/usr/bin/env python3
"""`make demo`: runs the packed 64-bit wizard under Wine, headless, against loopback demo servers
(package, licence, reporting) and prints what happens. Exits 0 when the product got installed.

The stand-in HTML document (built with the tests) runs a scenario that makes the pages' calls.
The demo has its own Wine prefix (build/win64/demo-prefix) and its own Xvfb.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import wizard_harness as wh  # noqa: E402

SCENARIO = os.path.join(ROOT, "tests", "e2e", "scenarios", "wizard.js")
RUN_LIMIT = 600


def say(text):
    print(text, flush=True)


def start_xvfb():
    for n in range(90, 141):
        if not os.path.exists("/tmp/.X11-unix/X%d" % n) and not os.path.exists("/tmp/.X%d-lock" % n):
            process = subprocess.Popen(["Xvfb", ":%d" % n, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            deadline = time.monotonic() + 10
            while time.monotonic() < deadline and not os.path.exists("/tmp/.X11-unix/X%d" % n):
                time.sleep(0.05)
            return process, ":%d" % n
    raise SystemExit("demo: no free X display number")


def describe(request):
    if request.path == "/v1/logAnalytics":
        fields = ["status", "productId", "productVersion", "channelId", "installLanguage", "wrapperError",
                  "msiError", "OS", "architecture"]
        parts = ["%s=%s" % (f, request.element(f)) for f in fields if request.element(f) is not None]
        return "report: %s %s (analytics, %d bytes): %s" % (request.verb, request.path, len(request.body),
                                                           ", ".join(parts))
    if request.path == "/v1/reportError":
        names = request.zip_names()
        return "report: %s %s (error report, zip of %s)" % (request.verb, request.path, names)
    return "report: %s %s (%d bytes)" % (request.verb, request.target, len(request.body))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "win64"))
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    exe = os.path.join(build, "dist", "QRXDownloadManager.exe")
    package = os.path.join(build, "product_package", "product.zip")
    standin = os.path.join(build, "qrx_standin.dll")
    for path in (exe, package, standin):
        if not os.path.isfile(path):
            raise SystemExit("demo: %s is missing (run make first)" % path)

    prefix = os.path.join(build, "demo-prefix")
    os.environ["WINEPREFIX"] = prefix
    os.environ["WINEDEBUG"] = "-all"
    os.environ.setdefault("LANG", "en_US.UTF-8")
    xvfb, display = start_xvfb()
    os.environ["DISPLAY"] = display
    temp = tempfile.mkdtemp(prefix="qrx-demo-")
    servers = []
    try:
        say("demo: Wine prefix %s, display %s" % (prefix, display))
        subprocess.run([os.path.join(ROOT, "scripts", "wine-prefix"), prefix], check=True)
        subprocess.run(["/usr/lib/wine/wineserver", "-p"], check=True)
        # The stand-in for the HTML engine answers for the document class in this prefix.
        subprocess.run([os.path.join(ROOT, "tests", "htmlhost", "register_standin.sh"),
                        os.path.join(ROOT, "scripts", "wine-run"), "Z:" + standin.replace("/", "\\")], check=True)
        say("demo: removing any product left by an earlier demo")
        wh.remove_test_products(os.path.join(build, "product_package", "codes.txt"))
        for path in wh.desktop_shortcuts(prefix):
            os.remove(path)

        reports = wh.ReportServer(lifetime=RUN_LIMIT + 120, on_request=lambda r: say(describe(r)))
        servers.append(reports)
        licenses = wh.LicenseServer(lifetime=RUN_LIMIT + 120)
        servers.append(licenses)
        packages = wh.PackageServer(package, lifetime=RUN_LIMIT + 120)
        servers.append(packages)
        # With the package's hash, as pages pass it from their install parameters.
        url = packages.url("/pkg/lumenary-pro/win64/en/HalvardLumenaryPro.zip") + "#sha256=" + packages.sha256()
        say("demo: reporting server http://127.0.0.1:80, licence server http://127.0.0.2:80, package %s (%d bytes)"
            % (url, len(packages.package)))

        scenario = os.path.join(temp, "scenario.js")
        wh.write_scenario(scenario, SCENARIO, {"packageUrl": url, "channel": "demo",
                                               "setupParameters": "ACCEPT_EULA=1 CREATE_DESKTOP_SHORTCUT=1 "
                                                                  "LAUNCH_AFTER_SETUP=0 PAUSEMS=300"})
        say("demo: starting %s" % exe)
        wizard = wh.Wizard(exe, scenario, os.path.join(temp, "page.log"))
        shown = 0
        code = None
        while code is None:
            code = wizard.wait(0.2)
            lines = wizard.page_log()
            for line in lines[shown:]:
                say(line)
            shown = len(lines)
            if code is None and wizard.seconds() > RUN_LIMIT:
                wizard.kill()
                raise SystemExit("demo: the wizard did not finish within %d s" % RUN_LIMIT)
        for line in wizard.page_log()[shown:]:
            say(line)
        say("demo: the wizard exited with %d after %.1f s" % (code, wizard.seconds()))
        if licenses.paths:
            say("demo: licence requested: %s" % ", ".join(licenses.paths))
        analytics = reports.analytics()
        status = analytics[-1].element("status") if analytics else None
        say("demo: final status: %s" % status)
        directory = wh.installed_directory()
        program = None
        if directory:
            program = wh.prefix_path(prefix, directory.rstrip("\\") + "\\" + wh.PROGRAM_NAME)
            say("demo: installed in %s (%s)" % (directory, program))
        else:
            say("demo: the product is not installed")
        say("demo: resume shortcut on the desktop: %s" % ("left" if wh.desktop_shortcuts(prefix) else "removed"))
        ok = code == 0 and status == "completed" and program and os.path.isfile(program)
        say("demo: %s" % ("success" if ok else "FAILED"))
        return 0 if ok else 1
    finally:
        for server in servers:
            server.stop()
        subprocess.run(["/usr/lib/wine/wineserver", "-k"], stderr=subprocess.DEVNULL)
        xvfb.terminate()
        xvfb.wait()
        shutil.rmtree(temp, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
