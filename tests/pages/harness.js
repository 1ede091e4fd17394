// Shared set-up of the page tests: a loopback server for the staged page folder, headless
// Chromium through playwright-core, and a page with the host stand-in.
"use strict";
const fs = require("node:fs");
const http = require("node:http");
const path = require("node:path");
const vm = require("node:vm");
const { chromium } = require("playwright-core");
const { flagsAt } = require("./call_sites");

const root = path.resolve(__dirname, "..", "..");
const pagesDir = process.env.QRX_PAGES_DIR || path.join(root, "build", "win64", "pages");
const screenshotDir = process.env.QRX_SCREENSHOT_DIR || path.join(root, "build", "win64", "page-screenshots");
const stubPath = path.join(__dirname, "host_stub.js");
// Where the stand-in asks which invocation flags a call site implies.
const CALL_SITES = "/__qrx_call_site";

const TYPES = { ".html": "text/html; charset=utf-8", ".js": "application/javascript; charset=utf-8",
  ".css": "text/css; charset=utf-8", ".png": "image/png" };

// The pages' own scripts, evaluated here to read the texts and parameters the tests expect.
function loadPageScripts() {
  const context = {};
  vm.createContext(context);
  for (const file of ["installparams.js", "stubparams.js", "contents.js"]) {
    vm.runInContext(fs.readFileSync(path.join(pagesDir, "js", file), "utf8"), context);
  }
  // Plain data of this realm, so that deep comparisons see ordinary arrays and objects.
  return JSON.parse(vm.runInContext("JSON.stringify({ installParams, stubParams, contents })", context));
}

// The invocation flags the HTML engine would use at a call site of the pages ("url:line:column"):
// 1 for a statement, 3 when the value is used; null when there is no such call.
function callSiteFlags(site, origin) {
  const match = /^(.*):(\d+):(\d+)$/.exec(site || "");
  if (!match || !match[1].startsWith(origin + "/")) return null;
  const file = path.normalize(path.join(pagesDir, decodeURIComponent(new URL(match[1]).pathname)));
  if (!file.startsWith(pagesDir + path.sep) || !fs.existsSync(file)) return null;
  return flagsAt(file, Number(match[2]), Number(match[3]));
}

function startServer() {
  const server = http.createServer((req, res) => {
    const url = new URL(req.url, "http://x");
    if (url.pathname === CALL_SITES) {
      const flags = callSiteFlags(url.searchParams.get("site"), "http://127.0.0.1:" + server.address().port);
      res.writeHead(flags === null ? 404 : 200, { "Content-Type": "application/json" });
      res.end(JSON.stringify({ flags }));
      return;
    }
    const file = path.normalize(path.join(pagesDir, decodeURIComponent(url.pathname)));
    if (!file.startsWith(pagesDir + path.sep) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
      res.writeHead(404);
      res.end();
      return;
    }
    res.writeHead(200, { "Content-Type": TYPES[path.extname(file)] || "application/octet-stream" });
    fs.createReadStream(file).pipe(res);
  });
  return new Promise((resolve) => server.listen(0, "127.0.0.1", () => resolve(server)));
}

class Harness {
  async start() {
    this.server = await startServer();
    this.origin = "http://127.0.0.1:" + this.server.address().port;
    this.browser = await chromium.launch({
      executablePath: "/usr/bin/chromium",
      args: ["--no-sandbox", "--disable-gpu", "--disable-background-networking", "--disable-component-update",
        "--disable-sync", "--no-first-run"],
    });
  }

  async stop() {
    if (this.browser) await this.browser.close();
    if (this.server) await new Promise((resolve) => this.server.close(resolve));
  }

  // A fresh page (600 x 400, like the host window) with the stand-in configured by `config`.
  async open(config) {
    const context = await this.browser.newContext({ viewport: { width: 600, height: 400 } });
    const page = await context.newPage();
    page.errors = [];
    page.requests = [];
    page.on("pageerror", (e) => page.errors.push(String(e)));
    page.on("request", (r) => page.requests.push(r.url()));
    await page.addInitScript((cfg) => { window.__hostConfig = cfg; },
      Object.assign({ callSites: CALL_SITES }, config || {}));
    await page.addInitScript({ path: stubPath });
    page.host = async () => page.evaluate(() => JSON.parse(window.sessionStorage.getItem("__qrxHost")));
    page.dispose = async () => context.close();
    return page;
  }

  url(name) {
    return this.origin + "/" + name;
  }
}

// Polls the host state until `predicate(state)` holds; fails with the last state after 30 s.
async function waitForHost(page, predicate, what) {
  const deadline = Date.now() + 30000;
  let state = null;
  while (Date.now() < deadline) {
    try {
      state = await page.host();
      if (state && predicate(state)) return state;
    } catch (e) {
      // The page is navigating; ask again.
    }
    await new Promise((resolve) => setTimeout(resolve, 25));
  }
  throw new Error("timed out waiting for " + what + "; host state: " + JSON.stringify(state && state.calls));
}

const names = (state, filter) => state.calls.map((c) => c.name).filter((n) => !filter || filter(n));
const callsOf = (state, name) => state.calls.filter((c) => c.name === name).map((c) => c.args);

module.exports = { Harness, waitForHost, names, callsOf, loadPageScripts, pagesDir, screenshotDir };
