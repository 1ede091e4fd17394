"""The network side of the whole-run tests: the test root in the prefix's machine "Root" store, a
real proxy (tinyproxy) on loopback, and the prefix user's proxy settings, each set up and taken
down by the test that needs it.

  trusted_root(build)      context: the test root trusted in the prefix while the block runs
  Tinyproxy(folder, ...)   tinyproxy on 127.0.0.1:<free port>, started and stopped by the test;
                           its access log proves which requests went through it
  ProxySettings(proxy)     context: Internet Settings ProxyEnable/ProxyServer (urlmon) and the
                           WinHTTP DefaultConnectionSettings blob point at `proxy`; the previous
                           values come back afterwards, because the cases share one prefix
"""
import contextlib
import os
import socket
import struct
import subprocess
import time

import wizard_harness as wh

INTERNET_SETTINGS = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings"
CONNECTIONS = INTERNET_SETTINGS + r"\Connections"


def pki(build, name):
    return os.path.join(build, "test-pki", name)


def net_tool(build, *args, timeout=120):
    result = subprocess.run([wh.WINE64, os.path.join(build, "e2e_net_tool.exe")] + list(args),
                            stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout,
                            env=dict(os.environ, WINEDEBUG="-all"))
    return result.returncode, result.stdout.decode("utf-8", "replace")


@contextlib.contextmanager
def trusted_root(build):
    root = wh.wine_path(pki(build, "root-ca.der"))
    had = net_tool(build, "trust", "has", root)[0] == 0
    code, out = net_tool(build, "trust", "add", root)
    if code != 0:
        raise RuntimeError("could not trust the test root: " + out)
    try:
        yield
    finally:
        if not had:
            net_tool(build, "trust", "remove", root)


def free_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


class Tinyproxy:
    """tinyproxy in the foreground, as a child of the test. `connect_ports`: the ports CONNECT may
    reach; `basic_auth`: (user, password) makes it answer 407 to requests without them."""

    def __init__(self, folder, connect_ports=(), basic_auth=None):
        self.port = free_port()
        os.makedirs(folder, exist_ok=True)
        # tinyproxy drops to nobody; the folder must take its log.
        os.chmod(folder, 0o777)
        self.log_path = os.path.join(folder, "tinyproxy-%d.log" % self.port)
        config = os.path.join(folder, "tinyproxy-%d.conf" % self.port)
        lines = ["Port %d" % self.port, "Listen 127.0.0.1", "Timeout 60", 'LogFile "%s"' % self.log_path,
                 "LogLevel Connect", "MaxClients 20", "Allow 127.0.0.1", "DisableViaHeader Yes"]
        lines += ["ConnectPort %d" % port for port in connect_ports]
        if basic_auth:
            lines.append("BasicAuth %s %s" % basic_auth)
        with open(config, "w", encoding="ascii") as f:
            f.write("\n".join(lines) + "\n")
        self.process = subprocess.Popen(["tinyproxy", "-d", "-c", config], stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 30
        while True:
            try:
                socket.create_connection(("127.0.0.1", self.port), timeout=1).close()
                break
            except OSError:
                if self.process.poll() is not None or time.monotonic() > deadline:
                    self.stop()
                    raise RuntimeError("tinyproxy did not start")
                time.sleep(0.1)  # waiting for the proxy's port; bounded above
        self.name = "localhost:%d" % self.port

    def requests(self):
        """The request lines tinyproxy logged ("GET http://... HTTP/1.1", "CONNECT host:port HTTP/1.1")."""
        try:
            with open(self.log_path, encoding="utf-8", errors="replace") as f:
                lines = f.read().splitlines()
        except FileNotFoundError:
            return []
        marker = "]: Request (file descriptor "
        found = []
        for line in lines:
            at = line.find(marker)
            if at >= 0:
                found.append(line[line.index("): ", at) + 3:])
        return found

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()


def connection_settings(proxy):
    """WinHTTP's DefaultConnectionSettings: version 0x46, a counter, flags 3 (direct | named proxy),
    then the proxy, the bypass list and the PAC URL, each length-prefixed, then zeros."""
    def text(value):
        data = value.encode("ascii")
        return struct.pack("<I", len(data)) + data
    return struct.pack("<III", 0x46, 1, 3) + text(proxy) + text("") + text("") + b"\0" * 32


def _query(key, name):
    code, out = wh.run_wine(["reg", "query", key, "/v", name])
    if code != 0:
        return None
    for line in out.splitlines():
        parts = line.strip().split(None, 2)
        if len(parts) >= 2 and parts[0] == name:
            return parts[1], (parts[2] if len(parts) == 3 else "")
    return None


def _set(key, name, kind, data):
    wh.run_wine(["reg", "add", key, "/v", name, "/t", kind, "/d", data, "/f"])


def _restore(key, name, saved):
    if saved is None:
        wh.run_wine(["reg", "delete", key, "/v", name, "/f"])
    else:
        kind, data = saved
        if kind == "REG_DWORD":
            data = str(int(data, 16))
        _set(key, name, kind, data)


@contextlib.contextmanager
def proxy_settings(proxy, reports_too=True):
    """`reports_too`: WinHTTP's copy names the proxy as well (else it is left as it was)."""
    values = [(INTERNET_SETTINGS, "ProxyEnable"), (INTERNET_SETTINGS, "ProxyServer"),
              (CONNECTIONS, "DefaultConnectionSettings")]
    saved = [(key, name, _query(key, name)) for key, name in values]
    try:
        _set(INTERNET_SETTINGS, "ProxyEnable", "REG_DWORD", "1")
        _set(INTERNET_SETTINGS, "ProxyServer", "REG_SZ", proxy)
        if reports_too:
            _set(CONNECTIONS, "DefaultConnectionSettings", "REG_BINARY", connection_settings(proxy).hex())
        yield
    finally:
        for key, name, value in saved:
            _restore(key, name, value)
