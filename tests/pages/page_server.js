// The loopback server of the page tests and the bridge runs: serves a staged page folder, answers
// the stand-ins' call-site question, and launches headless Chromium.
"use strict";
const fs = require("node:fs");
const http = require("node:http");
const path = require("node:path");
const vm = require("node:vm");
const { chromium } = require("playwright-core");
const { flagsAt } = require("./call_sites");

// Where the stand-ins ask which invocation flags a call site implies.
const CALL_SITES = "/__qrx_call_site";
// Under /untrimmed/ the page folder with some files replaced (`untrimmed` maps their names).
const UNTRIMMED = "/untrimmed/";

const TYPES = { ".html": "text/html; charset=utf-8", ".js": "application/javascript; charset=utf-8",
  ".css": "text/css; charset=utf-8", ".png": "image/png" };

// The pages' own scripts, evaluated here to read the texts and parameters the tests expect.
function loadPageScripts(pagesDir) {
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
function callSiteFlags(pagesDir, site, origin) {
  const match = /^(.*):(\d+):(\d+)$/.exec(site || "");
  if (!match || !match[1].startsWith(origin + "/")) return null;
  const file = path.normalize(path.join(pagesDir, decodeURIComponent(new URL(match[1]).pathname)));
  if (!file.startsWith(pagesDir + path.sep) || !fs.existsSync(file)) return null;
  return flagsAt(file, Number(match[2]), Number(match[3]));
}

// Resolves with the listening server; its `origin` is "http://127.0.0.1:<port>".
function startPageServer(pagesDir, untrimmed) {
  const root = path.resolve(pagesDir);
  const server = http.createServer((req, res) => {
    const url = new URL(req.url, "http://x");
    if (url.pathname === CALL_SITES) {
      const flags = callSiteFlags(root, url.searchParams.get("site"), server.origin);
      res.writeHead(flags === null ? 404 : 200, { "Content-Type": "application/json" });
      res.end(JSON.stringify({ flags }));
      return;
    }
    let name = decodeURIComponent(url.pathname);
    let base = root;
    if (untrimmed && name.startsWith(UNTRIMMED)) {
      name = name.slice(UNTRIMMED.length);
      const replacement = untrimmed[name];
      if (replacement) {
        base = path.dirname(replacement);
        name = path.basename(replacement);
      }
    }
    const file = path.normalize(path.join(base, name));
    if (!file.startsWith(base + path.sep) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
      res.writeHead(404);
      res.end();
      return;
    }
    res.writeHead(200, { "Content-Type": TYPES[path.extname(file)] || "application/octet-stream", "Cache-Control": "no-store" });
    fs.createReadStream(file).pipe(res);
  });
  return new Promise((resolve) => server.listen(0, "127.0.0.1", () => {
    server.origin = "http://127.0.0.1:" + server.address().port;
    resolve(server);
  }));
}

function launchChromium() {
  return chromium.launch({
    executablePath: "/usr/bin/chromium",
    args: ["--no-sandbox", "--disable-gpu", "--disable-background-networking", "--disable-component-update",
      "--disable-sync", "--no-first-run"],
  });
}

module.exports = { CALL_SITES, UNTRIMMED, loadPageScripts, startPageServer, launchChromium };
