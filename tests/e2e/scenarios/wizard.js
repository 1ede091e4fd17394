// The wizard's pages as one script: the environment check of the first page, then the download
// and install of the installing page, polled with timers as the pages poll them, then the final
// calls. `config` comes first in the file:
//   packageUrl       the package to download
//   setupParameters  the install parameters
//   closeOnData      close the window (WM_CLOSE) once the package's answer begins, instead of waiting
//   closeOnInstall   close the window once the polled install progress reaches this many percent
//   closeAfterInstallMs  the page closes the window (closeWindow, which works while closing is
//                    disabled) this many milliseconds after it called install
//   channel          the channel the first page sets (default "e2e")
//   retries          how many retries the page allows (the box itself is answered from outside)
//   retryParameters  the install parameters of a retried install (default: setupParameters)
var Status = { NotStart: 0, Completed: 1, Error: 2, Cancel: 3, EnvironmentNotMeet: 4 };
var pollRound = 0;
var lastShown = "";
var closing = false;

function say(text) {
  host.log(text);
}

function number(key) {
  var value = parseInt(external.getProperty(key), 10);
  return isNaN(value) ? 0 : value;
}

// Reads now and every 250 ms until the next poll or stopPolling.
function poll(read) {
  pollRound = pollRound + 1;
  var round = pollRound;
  function tick() {
    if (round !== pollRound) return;
    read();
    host.setTimeout(tick, 250);
  }
  read();
  host.setTimeout(tick, 250);
}

function stopPolling() {
  pollRound = pollRound + 1;
}

function show(text) {
  if (text !== lastShown) {
    lastShown = text;
    say(text);
  }
}

function readDownload() {
  var total = number("downloadTotal");
  var current = number("downloadCurrent");
  show("progress: download " + current + " of " + total + " bytes");
  // Under Wine the first bytes can stay buffered; a known total says the answer has begun.
  if (config.closeOnData && (current > 0 || total > 1) && !closing) {
    closing = true;
    say("page: closing the window during the download");
    host.postClose();
  }
}

function readInstall() {
  var percent = number("installProgress");
  show("progress: install " + percent + "%");
  if (config.closeOnInstall && percent >= config.closeOnInstall && !closing) {
    closing = true;
    say("page: closing the window during the install");
    host.postClose();
  }
}

function finish(status) {
  stopPolling();
  external.setInstallStatus(status);
  say("page: status " + status);
  external.restoreWindow();
  external.disableCloseWindow(false);
  external.closeWindow();
}

function downloaded(code) {
  stopPolling();
  readDownload();
  say("callback: download " + code);
  if (code === 0 || config.installAfterFailure) {
    install();
  } else {
    finish(Status.Error);
  }
}

var retries = config.retries || 0;

function installed(code) {
  stopPolling();
  readInstall();
  say("callback: install " + code);
  if (code === 0) {
    finish(Status.Completed);
  } else if (code === 4) {
    var retry = external.retryMessageBox("The installer is busy. Retry?");
    say("page: retry answered " + (retry === true ? "retry" : "cancel"));
    if (retry === true && retries > 0) {
      retries = retries - 1;
      if (config.retryParameters) config.setupParameters = config.retryParameters;
      install();
    } else {
      finish(Status.Cancel);
    }
  } else {
    finish(Status.Error);
  }
}

function install() {
  say("page: install " + config.setupParameters);
  lastShown = "";
  poll(readInstall);
  external.install(config.setupParameters, function (code) { installed(code | 0); });
  if (config.closeAfterInstallMs) {
    host.setTimeout(function () {
      closing = true;
      say("page: closing the window while unpacking");
      external.closeWindow();
    }, config.closeAfterInstallMs);
  }
}

// The first page: the facts the environment check reads.
var keys = ["osVersion", "osIsServer", "dpiSatisfied", "qrxInstalled", "osbits", "lang"];
for (var i = 0; i < keys.length; i++) {
  say("property: " + keys[i] + " = " + external.getProperty(keys[i]));
}
external.setInstallStatus(Status.NotStart);
external.setWindowSize(600, 400);
external.setChannel(config.channel || "e2e");
say("page: environment checked, window 600 x 400");

// The installing page.
if (!config.closeOnData && !config.closeOnInstall) external.disableCloseWindow(true);
external.setInstallStatus(Status.Error);
say("page: download " + config.packageUrl);
poll(readDownload);
external.download(config.packageUrl, function (code) { downloaded(code | 0); });
