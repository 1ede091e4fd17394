// A thin window.external for the page tests, installed before the pages' own scripts run. Every
// use of it goes synchronously to the bridge host under Wine, which holds the product's bridge:
//   - a method call is sent with the flags the HTML engine's script engine would use at that call
//     site: 1 when the call is a statement, 3 when its value is used (the test's page server
//     answers which, from the page's own source); the bridge's result comes back, and a failure
//     HRESULT is thrown as an Error whose `number` is the HRESULT, as the engine does;
//   - a function argument becomes a callback id; when the bridge calls it back, the event comes
//     back by polling and the function runs on the page's thread, and the bridge's call returns
//     once it has run;
//   - reading a member that is not a method reads the bridge's expando value; assigning one puts
//     it; `delete` removes it.
// Settings (window.__bridgeProxy): bridge (the host's origin), callSites (path on the page server).
(function () {
  "use strict";
  const config = window.__bridgeProxy;
  if (!config) return;
  const page = Date.now().toString(36) + "-" + Math.random().toString(36).slice(2);
  const functions = new Map();
  let nextFunction = 1;
  const methodFunctions = new Map();
  const flagsBySite = new Map();
  let closed = false;

  function encode(fields) {
    return fields.map((f) => encodeURIComponent(f[0]) + "=" + encodeURIComponent(f[1])).join("&");
  }

  function post(fields) {
    const xhr = new XMLHttpRequest();
    xhr.open("POST", config.bridge + "/page", false);
    xhr.setRequestHeader("Content-Type", "text/plain;charset=UTF-8");
    xhr.send(encode([["page", page]].concat(fields)));
    if (xhr.status === 410) {
      closed = true;
      throw new Error("window.external: the host window has closed");
    }
    if (xhr.status !== 200) throw new Error("window.external: the bridge host answered " + xhr.status);
    const answer = JSON.parse(xhr.responseText);
    if (answer.error) throw new Error("window.external: " + answer.error);
    return answer;
  }

  // Script values as the engine passes them: integers in 32 bits as VT_I4, other numbers as VT_R8.
  function toWire(value) {
    if (typeof value === "function") {
      const id = nextFunction++;
      functions.set(id, value);
      return "f:" + id;
    }
    if (typeof value === "number") {
      const int32 = Number.isInteger(value) && value >= -2147483648 && value <= 2147483647 && !Object.is(value, -0);
      return (int32 ? "i:" : "d:") + value;
    }
    if (typeof value === "string") return "s:" + value;
    if (typeof value === "boolean") return "b:" + (value ? 1 : 0);
    if (value === undefined) return "u:";
    if (value === null) return "n:";
    throw new TypeError("window.external: a " + typeof value + " cannot be passed to the host");
  }

  function fromWire(value) {
    switch (value.t) {
      case "s": case "i": case "d": case "b": return value.v;
      case "n": return null;
      case "u": return undefined;
      default: throw new TypeError("window.external: the host returned variant type " + value.v);
    }
  }

  function check(answer, what) {
    const hr = answer.hr >>> 0;
    if (hr >= 0x80000000) {
      const error = new Error(what + " failed: 0x" + hr.toString(16));
      error.number = hr | 0;
      throw error;
    }
  }

  // "url:line:column" of the page's call, two frames up (this function, the method function).
  function callSite() {
    const saved = Error.prepareStackTrace;
    Error.prepareStackTrace = (error, frames) => frames;
    const frames = new Error().stack;
    Error.prepareStackTrace = saved;
    const frame = frames[2];
    return frame ? frame.getFileName() + ":" + frame.getLineNumber() + ":" + frame.getColumnNumber() : "";
  }

  function flagsAt(site) {
    let flags = flagsBySite.get(site);
    if (flags === undefined) {
      const xhr = new XMLHttpRequest();
      xhr.open("GET", config.callSites + "?site=" + encodeURIComponent(site), false);
      xhr.send();
      if (xhr.status !== 200) throw new Error("window.external: no call expression at " + site);
      flags = JSON.parse(xhr.responseText).flags;
      flagsBySite.set(site, flags);
    }
    return flags;
  }

  function method(name) {
    let fn = methodFunctions.get(name);
    if (!fn) {
      fn = function () {
        const flags = flagsAt(callSite());
        const fields = [["op", "call"], ["name", name], ["flags", String(flags)]];
        for (let i = 0; i < arguments.length; i++) fields.push(["arg", toWire(arguments[i])]);
        const answer = post(fields);
        check(answer, "window.external." + name);
        return fromWire(answer.value);
      };
      methodFunctions.set(name, fn);
    }
    return fn;
  }

  function member(name) {
    if (methodFunctions.has(name)) return { kind: "method" };
    return post([["op", "get"], ["name", name]]);
  }

  const external = new Proxy({}, {
    get(target, name) {
      if (typeof name !== "string") return undefined;
      const answer = member(name);
      if (answer.kind === "method") return method(name);
      if (answer.kind === "value") {
        check(answer, "window.external." + name);
        return fromWire(answer.value);
      }
      return undefined;
    },
    has(target, name) {
      return typeof name === "string" && member(name).kind !== "none";
    },
    set(target, name, value) {
      if (typeof name !== "string") return false;
      check(post([["op", "put"], ["name", name], ["arg", toWire(value)]]), "window.external." + name);
      return true;
    },
    deleteProperty(target, name) {
      if (typeof name !== "string") return false;
      check(post([["op", "delete"], ["name", name]]), "delete window.external." + name);
      return true;
    },
  });

  // The bridge called a page function back: run it now, then let the bridge's call return.
  function run(event) {
    const fn = functions.get(event.fn);
    let error = null;
    try {
      if (!fn) throw new Error("window.external: no page function " + event.fn);
      fn.apply(undefined, event.args.map(fromWire));
    } catch (e) {
      error = e;
    }
    post([["op", "ack"], ["seq", String(event.seq)], ["threw", error ? "1" : "0"]]);
    // A script error inside the callback is still the page's own error.
    if (error) setTimeout(() => { throw error; }, 0);
  }

  function poll() {
    if (closed) return;
    const xhr = new XMLHttpRequest();
    xhr.open("POST", config.bridge + "/page", true);
    xhr.setRequestHeader("Content-Type", "text/plain;charset=UTF-8");
    xhr.onload = () => {
      if (xhr.status !== 200) return;
      const answer = JSON.parse(xhr.responseText);
      for (const event of answer.events) run(event);
      if (answer.closed) closed = true;
      else poll();
    };
    xhr.send(encode([["page", page], ["op", "events"]]));
  }

  try {
    post([["op", "hello"]]);
  } catch (e) {
    closed = true;
  }
  Object.defineProperty(window, "external", { value: external, configurable: true, writable: false });
  poll();
}());
