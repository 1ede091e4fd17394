// A stand-in for the wizard host's window.external, injected before any page script runs.
// It keeps the host's contract: the fifteen methods with their argument counts and types
// (integers, strings, booleans, functions), getProperty returning strings (empty for unknown
// keys, which it then stores), result codes delivered later through the callbacks, and
// retryMessageBox answering a boolean. Every call is recorded. The state lives in
// sessionStorage so that it survives page navigation, as the real host does.
//
// Test settings (window.__hostConfig, set by the test):
//   props             initial property values
//   downloadResults   result codes for successive download calls
//   installResults    result codes for successive install calls
//   retryAnswers      answers of successive retryMessageBox calls
//   hold              "download" or "install": never finish that step (for screenshots)
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
      installResults: (config.installResults || [0]).slice(),
      retryAnswers: (config.retryAnswers || []).slice(),
      hold: config.hold || "",
    };
  }
  const state = load();
  function save() { window.sessionStorage.setItem(KEY, JSON.stringify(state)); }
  save();

  const isInt = (v) => typeof v === "number" && Number.isInteger(v) && v >= -2147483648 && v <= 2147483647;
  const isString = (v) => typeof v === "string";
  const isBool = (v) => typeof v === "boolean";
  const isFunction = (v) => typeof v === "function";

  // Checks one call as the host's dispatch does; a violation is recorded and thrown (the script
  // engine would see DISP_E_BADPARAMCOUNT or DISP_E_TYPEMISMATCH).
  function accept(name, args, types) {
    if (args.length !== types.length) {
      state.violations.push(name + ": " + args.length + " arguments");
      save();
      throw new TypeError(name + ": wrong argument count");
    }
    for (let i = 0; i < types.length; i++) {
      if (!types[i](args[i])) {
        state.violations.push(name + ": argument " + i + " of type " + typeof args[i]);
        save();
        throw new TypeError(name + ": type mismatch");
      }
    }
    state.calls.push({ name, args: Array.prototype.map.call(args, (a) => (isFunction(a) ? "<function>" : a)) });
    save();
  }

  function setProp(key, value) {
    state.props[key] = String(value);
    save();
  }

  // Worker steps: counters move, then the callback gets the code on the page's thread.
  function runDownload(callback) {
    setTimeout(() => { setProp("downloadTotal", 1000); setProp("downloadCurrent", 400); }, 30);
    if (state.hold === "download") return;
    setTimeout(() => setProp("downloadCurrent", 1000), 120);
    const code = state.downloadResults.length ? state.downloadResults.shift() : 1;
    save();
    setTimeout(() => callback(code), 200);
  }
  function runInstall(callback) {
    setTimeout(() => setProp("installProgress", 37), 30);
    if (state.hold === "install") return;
    setTimeout(() => setProp("installProgress", 92), 120);
    const code = state.installResults.length ? state.installResults.shift() : 1;
    save();
    setTimeout(() => callback(code), 200);
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
      accept("setInstallStatus", arguments, [isInt]);
      if (status < 0 || status > 4) throw new RangeError("STG_E_INVALIDPARAMETER");
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
