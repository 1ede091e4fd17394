// The window is closed as the system closes it (WM_CLOSE).
host.setTimeout(function () { host.postClose(); }, 0);
