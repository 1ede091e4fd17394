// Accessibility of the wizard's pages in headless Chromium with the host stand-in: axe-core on the
// five pages (and the install page's panels) in English and German, tab order and visible focus,
// the progress bar's name and value, the live region, and a whole install by keyboard alone.
// The HTML engine's own tab handling in the product window is not covered here.
"use strict";
const assert = require("node:assert/strict");
const fs = require("node:fs");
const path = require("node:path");
const { after, before, describe, it } = require("node:test");
const { Harness, waitForHost, callsOf, loadPageScripts, screenshotDir } = require("./harness");

const harness = new Harness();
const { contents } = loadPageScripts();
const axeSource = fs.readFileSync(path.join(__dirname, "..", "..", "node_modules", "axe-core", "axe.min.js"), "utf8");

before(async () => harness.start());
after(async () => harness.stop());

// Runs axe-core on the page as it stands; the violations of impact serious or critical.
async function seriousViolations(page) {
  await page.evaluate(axeSource);
  const results = await page.evaluate(() => window.axe.run(document, { resultTypes: ["violations"] }));
  return results.violations.filter((v) => v.impact === "serious" || v.impact === "critical")
    .map((v) => v.id + ": " + v.nodes.map((n) => n.target.join(" ")).join(", "));
}

const focused = (page) => page.evaluate(() => document.activeElement && document.activeElement.id);

// The ids that Tab visits from the top of the page, until it comes round again.
async function tabOrder(page, count) {
  const ids = [];
  for (let i = 0; i < count; i++) {
    await page.keyboard.press("Tab");
    ids.push(await focused(page));
  }
  return ids;
}

describe("axe-core: no serious or critical violations", () => {
  const states = [
    ["Load", { props: { qrxInstalled: "true" } }, "Load.html", "#refused:not(.hidden)", null],
    ["Welcome", {}, "Welcome.html", "h1:not(:empty)", null],
    ["Agreement", {}, "Agreement.html", "h1:not(:empty)", null],
    ["Installing", { hold: "download" }, "Installing.html", "#percent:text('40%')", null],
    ["Installing-confirm", { hold: "download" }, "Installing.html", "#percent:text('40%')", "#btn-cancel"],
    ["Installing-failure", { downloadResults: [4] }, "Installing.html", "#failure:not(.hidden)", null],
    ["Complete", {}, "Complete.html", "h1:not(:empty)", null],
  ];
  fs.mkdirSync(screenshotDir, { recursive: true });
  for (const lang of ["en", "de"]) {
    for (const [name, config, file, ready, click] of states) {
      it(lang + " " + name, async () => {
        const page = await harness.open(Object.assign({}, config, { props: Object.assign({ lang }, config.props) }));
        await page.goto(harness.url(file));
        await page.waitForSelector(ready);
        if (click) await page.click(click);
        assert.equal(await page.getAttribute("html", "lang"), lang);
        assert.equal(await page.title(), contents[lang].title);
        assert.deepEqual(await seriousViolations(page), []);
        if (name.indexOf("Installing-") === 0) {
          await page.evaluate(() => document.fonts.ready);
          await page.screenshot({ path: path.join(screenshotDir, lang + "-" + name + ".png") });
        }
        assert.deepEqual(page.errors, []);
        await page.dispose();
      });
    }
  }
});

describe("keyboard and screen readers", () => {
  it("every page control is a real button with its name, and keyboard focus is visible", async () => {
    const page = await harness.open({ props: { lang: "de" }, hold: "download" });
    await page.goto(harness.url("Installing.html"));
    await page.waitForSelector("#percent:text('40%')");
    const controls = await page.$$eval(".button, .winbtn", (els) => els.map((e) => [e.tagName, e.type, e.id]));
    for (const [tag, type, id] of controls) assert.deepEqual([tag, type], ["BUTTON", "button"], id);
    assert.equal(await page.getAttribute("#btn-close", "aria-label"), contents.de.close);
    assert.equal(await page.getAttribute("#btn-min", "aria-label"), contents.de.minimize);
    const ids = await tabOrder(page, 3);
    assert.deepEqual(ids, ["btn-min", "btn-close", "btn-cancel"]);
    for (const id of ids) {
      await page.focus("#" + id);
      const outline = await page.$eval("#" + id, (e) => {
        const style = getComputedStyle(e);
        return [style.outlineStyle, parseFloat(style.outlineWidth)];
      });
      assert.equal(outline[0], "solid", id);
      assert.ok(outline[1] >= 2, id);
    }
    await page.dispose();
  });

  it("the progress bar has a name and its value; phases are announced", async () => {
    const page = await harness.open({ props: { lang: "de" }, hold: "install" });
    await page.goto(harness.url("Installing.html"));
    await page.waitForSelector("#percent:text('37%')");
    assert.equal(await page.getAttribute("#progress", "role"), "progressbar");
    assert.equal(await page.getAttribute("#progress", "aria-label"), contents.de.progress_label);
    assert.equal(await page.getAttribute("#progress", "aria-valuenow"), "37");
    assert.equal(await page.getAttribute("#announce", "aria-live"), "polite");
    assert.equal(await page.getAttribute("#announce", "role"), "status");
    assert.equal(await page.textContent("#announce"), contents.de.installing);
    await page.dispose();
  });

  it("the licence frame has a title in the install language", async () => {
    const page = await harness.open({ props: { lang: "de" } });
    await page.goto(harness.url("Agreement.html"));
    await page.waitForSelector("h1:not(:empty)");
    assert.equal(await page.getAttribute("#eula", "title"), contents.de.agreement_heading);
    await page.dispose();
  });

  for (const lang of ["en", "de"]) {
    it("a whole install by keyboard alone (" + lang + "): licence, a failed download retried, the final page", async () => {
      const page = await harness.open({ props: { lang }, downloadResults: [1, 0], downloadCauses: ["server"],
        installResults: [0] });
      await page.goto(harness.url("Load.html"));
      await page.waitForURL(/Welcome\.html$/);
      await page.waitForSelector("h1:not(:empty)");
      // Tab follows the layout: the window's controls, the licence link, Install.
      assert.deepEqual(await tabOrder(page, 4), ["btn-min", "btn-close", "license-link", "btn-install"]);
      await page.keyboard.press("Shift+Tab");
      assert.equal(await focused(page), "license-link");
      await page.keyboard.press("Enter");
      await page.waitForURL(/Agreement\.html$/);
      await page.waitForSelector("h1:not(:empty)");
      // The licence frame may take focus for scrolling; the two buttons follow it.
      const order = (await tabOrder(page, 5)).filter((id) => id !== "eula" && id !== "");
      assert.deepEqual(order.slice(0, 4), ["btn-min", "btn-close", "btn-back", "btn-accept"]);
      await page.focus("#btn-back");
      await page.keyboard.press("Tab");
      assert.equal(await focused(page), "btn-accept");
      await page.keyboard.press("Space");
      await page.waitForURL(/Installing\.html$/);
      await page.waitForSelector("#failure:not(.hidden)");
      assert.equal(await focused(page), "btn-retry");
      assert.equal(await page.textContent("#announce"), contents[lang].failure_heading + " " + contents[lang].cause_server);
      await page.keyboard.press("Tab");
      assert.equal(await focused(page), "btn-cancel-failure");
      await page.keyboard.press("Shift+Tab");
      await page.keyboard.press("Enter");
      await page.waitForURL(/Complete\.html$/);
      await page.waitForSelector("h1:not(:empty)");
      assert.deepEqual(await tabOrder(page, 4), ["btn-min", "btn-close", "start-now", "btn-finish"]);
      await page.keyboard.press("Shift+Tab");
      await page.keyboard.press("Space");
      assert.equal(await page.isChecked("#start-now"), false);
      await page.keyboard.press("Space");
      assert.equal(await page.isChecked("#start-now"), true);
      await page.keyboard.press("Tab");
      await page.keyboard.press("Enter");
      const state = await waitForHost(page, (s) => s.closed, "closeWindow");
      assert.equal(state.status, 1);
      assert.deepEqual(callsOf(state, "startInstallProgram"), [[""]]);
      assert.equal(callsOf(state, "download").length, 2);
      assert.deepEqual(page.errors, []);
      await page.dispose();
    });
  }

  it("Cancel during the download by keyboard", async () => {
    const page = await harness.open({ hold: "download" });
    await page.goto(harness.url("Installing.html"));
    await page.waitForSelector("#percent:text('40%')");
    assert.deepEqual(await tabOrder(page, 3), ["btn-min", "btn-close", "btn-cancel"]);
    await page.keyboard.press("Enter");
    await page.waitForSelector("#confirm:not(.hidden)");
    assert.equal(await focused(page), "btn-continue");
    await page.keyboard.press("Shift+Tab");
    assert.equal(await focused(page), "btn-stop");
    await page.keyboard.press("Space");
    const state = await waitForHost(page, (s) => s.closed, "closeWindow");
    assert.equal(state.status, 3);
    await page.dispose();
  });
});
