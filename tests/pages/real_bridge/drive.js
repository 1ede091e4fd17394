// One whole run of the real pages in headless Chromium against the bridge host: serves the run's
// page folder, installs the window.external proxy, walks the pages as a user would for one
// scenario, answers the message boxes through the window tool, saves a screenshot of every page
// passed, and prints "result: <json>" at the end.
//   node drive.js '<json settings>'
// Settings: pagesDir, bridge (the host's origin), scenario, run (a name for the screenshots),
// shotsDir, wine and windowTool (to answer message boxes), timeoutMs.
"use strict";
const { execFile } = require("node:child_process");
const fs = require("node:fs");
const path = require("node:path");
const { CALL_SITES, loadPageScripts, startPageServer, launchChromium } = require("../page_server");

const settings = JSON.parse(process.argv[2]);

// Presses a button of the next message box; resolves with the box's text.
function answerBox(button) {
  return new Promise((resolve, reject) => {
    execFile(settings.wine, [settings.windowTool, "answer", String(button), "240000"],
      { env: Object.assign({}, process.env, { WINEDEBUG: "-all" }), timeout: 260000 },
      (error, stdout) => (error ? reject(new Error("no message box: " + error.message)) : resolve(stdout.trim())));
  });
}

// True once the host window has closed (or the host has ended).
async function hostClosed(timeoutMs) {
  const deadline = Date.now() + timeoutMs;
  while (Date.now() < deadline) {
    try {
      const res = await fetch(settings.bridge + "/page", { method: "POST", body: "page=driver&op=events" });
      if (res.status === 410 || (await res.json()).closed) return true;
    } catch (e) {
      return true;
    }
  }
  return false;
}

async function main() {
  const { installParams, contents } = loadPageScripts(settings.pagesDir);
  const server = await startPageServer(settings.pagesDir);
  const browser = await launchChromium();
  const result = { errors: [], shots: [], boxes: [], texts: {}, requests: [], progress: {} };
  const context = await browser.newContext({ viewport: { width: 600, height: 400 } });
  const page = await context.newPage();
  page.on("pageerror", (e) => result.errors.push(String(e)));
  page.on("request", (r) => result.requests.push(r.url()));
  await page.addInitScript((cfg) => { window.__bridgeProxy = cfg; }, { bridge: settings.bridge, callSites: CALL_SITES });
  await page.addInitScript({ path: path.join(__dirname, "external_proxy.js") });
  fs.mkdirSync(settings.shotsDir, { recursive: true });

  const limit = settings.timeoutMs || 300000;
  const shot = async (name) => {
    await page.evaluate(() => document.fonts.ready);
    const file = path.join(settings.shotsDir, settings.run + "-" + (result.shots.length + 1) + "-" + name + ".png");
    await page.screenshot({ path: file });
    result.shots.push(file);
  };
  const lang = async () => page.evaluate(() => window.ui && window.ui.lang);
  const text = (key) => contents[result.lang][key];
  const percent = async () => page.evaluate(() => {
    const el = document.querySelector("#percent");
    return el ? parseInt(el.textContent, 10) : -1;
  });
  // Waits until the installing page shows `phase` with a figure between 0 and 100 (exclusive) and
  // saves it; false when that phase passed without one.
  const progressShot = async (phaseKey, name) => {
    const deadline = Date.now() + limit;
    while (Date.now() < deadline && /Installing\.html$/.test(page.url())) {
      const [phase, value] = await page.evaluate(() => [document.querySelector("#phase").textContent,
        parseInt(document.querySelector("#percent").textContent, 10)]);
      if (phase === text(phaseKey) && value > 0 && value < 100) {
        await shot(name);
        result.progress[phaseKey] = value;
        return true;
      }
      if (phaseKey === "downloading" && phase === text("installing")) return false;
      await new Promise((resolve) => setTimeout(resolve, 50));
    }
    return false;
  };
  const welcome = async () => {
    await page.waitForURL(/Welcome\.html$/, { timeout: limit });
    await page.waitForSelector("h1:not(:empty)");
    result.lang = await lang();
    result.texts.welcome = await page.textContent("h1");
    await shot("Welcome");
  };
  const installing = async () => {
    await page.waitForURL(/Installing\.html$/, { timeout: limit });
    await page.waitForSelector("h1:not(:empty)");
  };
  // The install page's failure panel: its cause and text, with a screenshot.
  const failure = async () => {
    await page.waitForSelector("#failure:not(.hidden)", { timeout: limit });
    result.texts.failure = await page.textContent("#failure-text");
    result.texts.cause = await page.getAttribute("#failure-text", "data-cause");
    result.texts.announced = await page.textContent("#announce");
    result.focused = await page.evaluate(() => document.activeElement && document.activeElement.id);
    await shot("Installing-failure");
  };
  const complete = async () => {
    await page.waitForURL(/Complete\.html$/, { timeout: limit });
    await page.waitForSelector("h1:not(:empty)");
    result.texts.complete = await page.textContent("h1");
    await shot("Complete");
  };

  await page.goto(server.origin + "/Load.html");
  switch (settings.scenario) {
    case "full": {
      await welcome();
      // A press on the title bar starts the window drag.
      await page.mouse.move(200, 16);
      await page.mouse.down();
      await page.mouse.up();
      await page.click("#license-link");
      await page.waitForURL(/Agreement\.html$/, { timeout: limit });
      await page.waitForSelector("h1:not(:empty)");
      result.texts.licence = await page.frameLocator("#eula").locator("h1").textContent({ timeout: limit });
      await shot("Agreement");
      await page.click("#btn-accept");
      await installing();
      result.downloadShot = await progressShot("downloading", "Installing-download");
      // The minimise button; the page restores the window when the install succeeded.
      await page.click("#btn-min");
      result.installShot = await progressShot("installing", "Installing-install");
      await complete();
      await page.click("#btn-finish");
      break;
    }
    case "default-package": {
      await welcome();
      await page.click("#btn-install");
      await installing();
      result.installShot = await progressShot("installing", "Installing-install");
      await complete();
      await page.click(".check");
      await page.click("#btn-finish");
      break;
    }
    case "busy": {
      // A message box holds the page's thread until it is answered, so the answer is under way
      // before the page can get there.
      const first = answerBox(4);  // Retry
      await welcome();
      await page.click("#btn-install");
      await installing();
      result.downloadShot = await progressShot("downloading", "Installing-download");
      result.boxes.push(await first);
      // The page runs again once the first box has gone; only then can the next box be told apart.
      await page.evaluate(() => 0);
      result.boxes.push(await answerBox(2));  // Cancel
      break;
    }
    case "refusal": {
      await page.waitForSelector("#refused:not(.hidden)", { timeout: limit });
      result.lang = await lang();
      result.texts.refusal = await page.textContent("#refusal");
      result.texts.reason = await page.getAttribute("#refusal", "data-reason");
      await shot("Load");
      if (fs.existsSync(path.join(settings.pagesDir, "probe.js"))) {
        await page.addScriptTag({ url: "/probe.js" });
        result.probe = await page.evaluate(() => window.bridgeProbe);
      }
      await page.click("#btn-refused-close");
      break;
    }
    case "retry": {
      // The server refuses the first request: the cause in the page, then Retry installs.
      await welcome();
      await page.click("#btn-install");
      await installing();
      await failure();
      await page.click("#btn-retry");
      await complete();
      await page.click("#btn-finish");
      break;
    }
    case "setup-failed": {
      const box = answerBox(1);  // OK
      await welcome();
      await page.click("#btn-install");
      result.boxes.push(await box);
      break;
    }
    case "no-package": {
      // Neither package exists: the cause in the page, then Cancel.
      await welcome();
      await page.click("#btn-install");
      await installing();
      await failure();
      await page.click("#btn-cancel-failure");
      break;
    }
    case "cancel": {
      // A paced download: the size and time-left line is read as it changes, then Cancel stops it.
      await welcome();
      await page.click("#btn-install");
      await installing();
      result.etaLines = [];
      const started = Date.now();
      let timed = 0;
      // The screenshot is taken again until the line still shows a time once it is taken.
      const etaShot = path.join(settings.shotsDir, settings.run + "-" + (result.shots.length + 1) + "-Installing-eta.png");
      let etaShown = false;
      // Until four readings showed a time left, while the download runs (30 s at most).
      while (Date.now() - started < 30000 && await page.isVisible("#btn-cancel")) {
        const line = await page.textContent("#eta");
        if (result.etaLines[result.etaLines.length - 1] !== line) result.etaLines.push(line);
        if (line.indexOf("\u00b7") >= 0) {
          timed++;
          if (!etaShown) {
            await page.evaluate(() => document.fonts.ready);
            await page.screenshot({ path: etaShot });
            etaShown = (await page.textContent("#eta")).indexOf("\u00b7") >= 0;
          }
        }
        if (timed >= 4 && etaShown) break;
        await new Promise((resolve) => setTimeout(resolve, 200));
      }
      if (fs.existsSync(etaShot)) result.shots.push(etaShot);
      await page.click("#btn-cancel");
      await page.waitForSelector("#confirm:not(.hidden)");
      result.texts.confirm = await page.textContent("#confirm-text");
      await shot("Installing-confirm");
      result.cancelledAt = await page.textContent("#percent");
      await page.click("#btn-stop");
      break;
    }
    default:
      throw new Error("unknown scenario " + settings.scenario);
  }
  result.closed = await hostClosed(limit);
  if (settings.scenario === "busy") await shot("Installing");
  result.url = page.url();
  result.installParams = installParams;
  const texts = contents[result.lang || "en"];
  result.expect = {};
  for (const key of ["welcome_heading", "complete_heading", "retry_install", "env_os_old", "err_setup", "cause_server",
    "cause_notfound", "failure_heading", "confirm_cancel"]) {
    result.expect[key] = texts[key];
  }
  await browser.close();
  server.close();
  process.stdout.write("result: " + JSON.stringify(result) + "\n");
}

main().catch((e) => {
  process.stdout.write("result: " + JSON.stringify({ failed: String(e && e.stack || e) }) + "\n");
  process.exit(1);
});
