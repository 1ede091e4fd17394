// A stand-in for the wizard host's window.external, injected before any page script runs.
// It keeps the host's contract: the fifteen methods with their argument counts and types
// (integers, strings, booleans, functions), getProperty returning strings (empty for unknown
// keys, which it then stores), result codes delivered later through the callbacks, and
// retryMessageBox answering a boolean. Every call is recorded. The state lives in
// sessionStorage so that it survives page navigation, as the real host does.
// As with the real bridge behind the HTML engine: getProperty and retryMessageBox must have their
// values used and every other method must be called as a statement (the engine's invocation flags
// 3 and 1, decided from the page's source at the call site), and a refused call throws an Error
// whose `number` is the bridge's HRESULT.
//
// Test settings (window.__hostConfig, set by the test):
//   props             initial property values
//   downloadResults   result codes for successive download calls
//   installResults    result codes for successive install calls
//   retryAnswers      answers of successive retryMessageBox calls
//   downloadCauses    "downloadFailure" values of successive failed downloads (else from the code)
//   hold              "download" or "install": never finish that step (for screenshots)
//   heldAt            where a held download stands, in thousandths (default 400)
(function () {
  "use strict";
  // The stand-in serves the page itself, not frames inside it (the sandboxed licence frame may
  // not even read storage).
  if (window !== window.top) return;
  const KEY = "__qrxHost";
  const config = window.__hostConfig || {};

  function load() {
    const saved = window.sessionStorage.getItem(KEY);
    if (saved) return JSON.parse(saved);
    const props = Object.assign({
      osbits: "64", qrxInstalled: "false", osIsServer: "false", dpiSatisfied: "true", osVersion: "10.0",
      downloadTotal: "1", downloadCurrent: "0", installProgress: "0", lang: "en",
    }, config.props || {});
    return {
      props, calls: [], violations: [], status: 4, closeDisabled: false, closed: false, channel: "",
      downloadResults: (config.downloadResults || [0]).slice(),
      downloadCauses: (config.downloadCauses || []).slice(),
      installResults: (config.installResults || [0]).slice(),
      retryAnswers: (config.retryAnswers || []).slice(),
      hold: config.hold || "",
      heldAt: typeof config.heldAt === "number" ? config.heldAt : 400,
    };
  }
  const state = load();
  function save() { window.sessionStorage.setItem(KEY, JSON.stringify(state)); }
  save();

  // The bridge's failure results, as the engine reports them in the error's `number`.
  const DISP_E_MEMBERNOTFOUND = 0x80020003;
  const DISP_E_TYPEMISMATCH = 0x80020005;
  const DISP_E_BADPARAMCOUNT = 0x8002000e;
  const STG_E_INVALIDPARAMETER = 0x80030057;
  const VALUE_METHODS = ["getProperty", "retryMessageBox"];

  function refuse(name, hr, violation) {
    state.violations.push(name + ": " + violation);
    save();
    const error = new Error("window.external." + name + " failed: 0x" + hr.toString(16));
    error.number = hr | 0;
    throw error;
  }

  // The flags of the page's call three frames up (this function, accept, the method): 1 when the
  // call is a statement, 3 when its value is used.
  function callFlags() {
    if (!config.callSites) return null;
    const saved = Error.prepareStackTrace;
    Error.prepareStackTrace = (error, frames) => frames;
    const frames = new Error().stack;
    Error.prepareStackTrace = saved;
    const frame = frames[3];
    if (!frame) return null;
    const site = frame.getFileName() + ":" + frame.getLineNumber() + ":" + frame.getColumnNumber();
    if (!flagsBySite.has(site)) {
      const xhr = new XMLHttpRequest();
      xhr.open("GET", config.callSites + "?site=" + encodeURIComponent(site), false);
      xhr.send();
      flagsBySite.set(site, xhr.status === 200 ? JSON.parse(xhr.responseText).flags : null);
    }
    return flagsBySite.get(site);
  }
  const flagsBySite = new Map();

  const isInt = (v) => typeof v === "number" && Number.isInteger(v) && v >= -2147483648 && v <= 2147483647;
  const isString = (v) => typeof v === "string";
  const isBool = (v) => typeof v === "boolean";
  const isFunction = (v) => typeof v === "function";

  // Checks one call as the host's dispatch does, in its order (flags, count, types); a violation
  // is recorded and thrown with the bridge's HRESULT.
  function accept(name, args, types, check) {
    const flags = callFlags();
    const required = VALUE_METHODS.includes(name) ? 3 : 1;
    if (flags !== null && flags !== required) {
      refuse(name, DISP_E_MEMBERNOTFOUND, required === 3 ? "called as a statement" : "its value used");
    }
    if (args.length !== types.length) refuse(name, DISP_E_BADPARAMCOUNT, args.length + " arguments");
    for (let i = 0; i < types.length; i++) {
      if (!types[i](args[i])) refuse(name, DISP_E_TYPEMISMATCH, "argument " + i + " of type " + typeof args[i]);
    }
    if (check) check();
    state.calls.push({ name, args: Array.prototype.map.call(args, (a) => (isFunction(a) ? "<function>" : a)) });
    save();
  }

  function setProp(key, value) {
    state.props[key] = String(value);
    save();
  }

  // Worker steps: counters move, then the callback gets the code on the page's thread. As with
  // the real bridge: a download that finds nothing (or fails to connect) leaves the counters as
  // they were; a successful install reads 100 before its callback; the install figure never goes
  // back, a retried install goes on from where the last one stopped.
  // The failure cause the bridge keeps for each result code when the test names none.
  const CAUSE_OF_CODE = { 1: "other", 2: "notfound", 3: "diskfull", 4: "network" };
  function runDownload(callback) {
    const code = state.hold === "download" ? 0 : state.downloadResults.length ? state.downloadResults.shift() : 1;
    // Emptied when a download starts; set before the callback of a failed one.
    state.props.downloadFailure = "";
    save();
    if (code !== 0) {
      const cause = state.downloadCauses.length ? state.downloadCauses.shift() : CAUSE_OF_CODE[code] || "other";
      save();
      setTimeout(() => setProp("downloadFailure", cause), 150);
    }
    const moves = code === 0 || code === 3;
    const reached = state.hold === "download" ? state.heldAt : 400;
    if (moves) setTimeout(() => { setProp("downloadTotal", 1000); setProp("downloadCurrent", reached); }, 30);
    if (state.hold === "download") return;
    if (moves) setTimeout(() => setProp("downloadCurrent", 1000), 120);
    setTimeout(() => callback(code), 200);
  }
  function installAtLeast(value) {
    setProp("installProgress", Math.max(value, parseInt(state.props.installProgress, 10) || 0));
  }
  function runInstall(callback) {
    setTimeout(() => installAtLeast(37), 30);
    if (state.hold === "install") return;
    setTimeout(() => installAtLeast(92), 120);
    const code = state.installResults.length ? state.installResults.shift() : 1;
    save();
    setTimeout(() => {
      if (code === 0) setProp("installProgress", 100);
      callback(code);
    }, 200);
  }

  const external = {
    setWindowSize() { accept("setWindowSize", arguments, [isInt, isInt]); },
    closeWindow() { accept("closeWindow", arguments, []); state.closed = true; save(); },
    download(url, callback) { accept("download", arguments, [isString, isFunction]); runDownload(callback); },
    install(parameters, callback) { accept("install", arguments, [isString, isFunction]); runInstall(callback); },
    getProperty(key) {
      accept("getProperty", arguments, [isString]);
      if (!Object.prototype.hasOwnProperty.call(state.props, key)) setProp(key, "");
      return state.props[key];
    },
    setChannel(channel) { accept("setChannel", arguments, [isString]); state.channel = channel; save(); },
    setInstallStatus(status) {
      // Out of range: refused before anything is done or recorded, the status unchanged.
      accept("setInstallStatus", arguments, [isInt], () => {
        if (status < 0 || status > 4) refuse("setInstallStatus", STG_E_INVALIDPARAMETER, "status " + status);
      });
      state.status = status;
      save();
    },
    startInstallProgram() { accept("startInstallProgram", arguments, [isString]); },
    hideWindow() { accept("hideWindow", arguments, []); },
    dragWindow() { accept("dragWindow", arguments, []); },
    messageBox() { accept("messageBox", arguments, [isString, isString]); },
    disableCloseWindow(disable) { accept("disableCloseWindow", arguments, [isBool]); state.closeDisabled = disable; save(); },
    restoreWindow() { accept("restoreWindow", arguments, []); },
    openPage() { accept("openPage", arguments, [isString]); },
    retryMessageBox() {
      accept("retryMessageBox", arguments, [isString]);
      const answer = state.retryAnswers.length ? state.retryAnswers.shift() : false;
      save();
      return answer;
    },
  };
  Object.defineProperty(window, "external", { value: external, configurable: true, writable: false });
}());
