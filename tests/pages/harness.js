// Shared set-up of the page tests: the server of page_server.js on the staged page folder, headless
// Chromium, and a page with the host stand-in.
"use strict";
const path = require("node:path");
const { CALL_SITES, UNTRIMMED, loadPageScripts: loadScripts, startPageServer, launchChromium } = require("./page_server");

const root = path.resolve(__dirname, "..", "..");
const pagesDir = process.env.QRX_PAGES_DIR || path.join(root, "build", "win64", "pages");
const screenshotDir = process.env.QRX_SCREENSHOT_DIR || path.join(root, "build", "win64", "page-screenshots");
const stubPath = path.join(__dirname, "host_stub.js");

// The pages with the complete jQuery UI distribution in place of the part that the build makes
// from its sources: the reference for the screenshot comparison.
const untrimmedFiles = {
  "js/jquery-ui.min.js": path.join(root, "node_modules", "jquery-ui-dist", "jquery-ui.min.js"),
  "css/jquery-ui.css": path.join(root, "node_modules", "jquery-ui-dist", "jquery-ui.css"),
};

const loadPageScripts = () => loadScripts(pagesDir);

class Harness {
  async start() {
    this.server = await startPageServer(pagesDir, untrimmedFiles);
    this.origin = this.server.origin;
    this.browser = await launchChromium();
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

  untrimmedUrl(name) {
    return this.origin + UNTRIMMED + name;
  }

  // Compares two PNG screenshots of the same size pixel by pixel in the browser: how many pixels
  // differ in any channel by more than `threshold`, and the size.
  async comparePngs(a, b, threshold) {
    const page = await this.open({});
    try {
      return await page.evaluate(async ([pngA, pngB, limit]) => {
        const decode = async (base64) => {
          const image = new Image();
          image.src = "data:image/png;base64," + base64;
          await image.decode();
          const canvas = document.createElement("canvas");
          canvas.width = image.width;
          canvas.height = image.height;
          const context = canvas.getContext("2d");
          context.drawImage(image, 0, 0);
          return context.getImageData(0, 0, image.width, image.height);
        };
        const [x, y] = [await decode(pngA), await decode(pngB)];
        if (x.width !== y.width || x.height !== y.height) return { differing: -1, pixels: 0 };
        let differing = 0;
        for (let i = 0; i < x.data.length; i += 4) {
          for (let c = 0; c < 4; c++) {
            if (Math.abs(x.data[i + c] - y.data[i + c]) > limit) {
              differing++;
              break;
            }
          }
        }
        return { differing, pixels: x.width * x.height };
      }, [a.toString("base64"), b.toString("base64"), threshold]);
    } finally {
      await page.dispose();
    }
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
