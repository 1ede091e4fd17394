// A quit message ends the loop.
host.setTimeout(function () { host.quit(7); }, 0);
