// Each of the nine languages shows its own texts; a screenshot of every page in English and
// German is saved for review and compared with the same page under the complete jQuery UI
// distribution, so that building only the parts the pages use changes nothing on screen.
"use strict";
const assert = require("node:assert/strict");
const fs = require("node:fs");
const path = require("node:path");
const { after, before, describe, it } = require("node:test");
const { Harness, loadPageScripts, screenshotDir } = require("./harness");

const harness = new Harness();
const { installParams, contents } = loadPageScripts();

before(async () => harness.start());
after(async () => harness.stop());

describe("languages", () => {
  it("the parameters list the nine languages that the texts cover", () => {
    assert.deepEqual(installParams.LANG, ["en", "fr", "de", "it", "jp", "es", "nl", "ru", "tw"]);
    assert.deepEqual(Object.keys(contents).sort(), installParams.LANG.slice().sort());
    const keys = Object.keys(contents.en).sort();
    for (const lang of installParams.LANG) {
      assert.deepEqual(Object.keys(contents[lang]).sort(), keys, lang);
      for (const key of keys) assert.ok(contents[lang][key].length > 0, lang + "." + key);
    }
  });

  for (const lang of installParams.LANG) {
    it("shows its own texts: " + lang, async () => {
      const page = await harness.open({ props: { lang } });
      await page.goto(harness.url("Welcome.html"));
      await page.waitForFunction(() => document.querySelector("h1").textContent.length > 0);
      const t = contents[lang];
      assert.equal(await page.textContent("h1"), t.welcome_heading);
      assert.equal(await page.textContent("#btn-install"), t.btn_install);
      assert.equal(await page.textContent("#license-link"), t.license_link);
      assert.equal(await page.title(), t.title);
      assert.equal(await page.getAttribute("#btn-close", "title"), t.close);
      // No element that should carry a text is left empty.
      assert.deepEqual(await page.$$eval("[data-text]", (els) => els.filter((e) => !e.textContent).map((e) => e.outerHTML)), []);
      if (lang !== "en") assert.notEqual(t.welcome_heading, contents.en.welcome_heading);
      assert.deepEqual(page.errors, []);
      await page.dispose();
    });
  }

  it("distinct welcome texts in every language", () => {
    const texts = new Set(installParams.LANG.map((l) => contents[l].welcome_text));
    assert.equal(texts.size, installParams.LANG.length);
  });

  it("an unknown language falls back to English", async () => {
    const page = await harness.open({ props: { lang: "pt" } });
    await page.goto(harness.url("Welcome.html"));
    await page.waitForFunction(() => document.querySelector("h1").textContent.length > 0);
    assert.equal(await page.textContent("h1"), contents.en.welcome_heading);
    await page.dispose();
  });
});

// A pixel differs when a channel moves by more than this; a page may differ in this share of its
// pixels (anti-aliasing noise), no more.
const PIXEL_THRESHOLD = 8;
const DIFFERING_SHARE = 0.001;

describe("screenshots", () => {
  fs.mkdirSync(screenshotDir, { recursive: true });
  const shots = [
    ["Load", { props: { qrxInstalled: "true" } }, "Load.html", "#refused:not(.hidden)"],
    ["Welcome", {}, "Welcome.html", "h1:not(:empty)"],
    ["Agreement", {}, "Agreement.html", "h1:not(:empty)"],
    ["Installing", { hold: "download" }, "Installing.html", "#percent:text('40%')"],
    // The bar empty and full: the full one carries the class the progress bar adds at 100.
    // "0%" stands on the page from the start: wait for the size line of the first reading instead.
    ["Installing-0", { hold: "download", heldAt: 0 }, "Installing.html", "#eta:not(:empty)"],
    ["Installing-100", { hold: "download", heldAt: 1000 }, "Installing.html", ".ui-progressbar-complete"],
    ["Complete", {}, "Complete.html", "h1:not(:empty)"],
  ];
  for (const lang of ["en", "de"]) {
    for (const [name, config, file, ready] of shots) {
      it(lang + " " + name, async () => {
        const shoot = async (url, target) => {
          const page = await harness.open(Object.assign({}, config, { props: Object.assign({ lang }, config.props) }));
          await page.goto(url);
          await page.waitForSelector(ready);
          if (name === "Agreement") await page.frameLocator("#eula").locator("h2").waitFor();
          await page.evaluate(() => document.fonts.ready);
          const png = await page.screenshot({ path: target });
          assert.deepEqual(page.errors, []);
          await page.dispose();
          return png;
        };
        const target = path.join(screenshotDir, lang + "-" + name + ".png");
        const shipped = await shoot(harness.url(file), target);
        assert.ok(fs.statSync(target).size > 1000);
        const untrimmed = await shoot(harness.untrimmedUrl(file), path.join(screenshotDir, lang + "-" + name + "-untrimmed.png"));
        const { differing, pixels } = await harness.comparePngs(shipped, untrimmed, PIXEL_THRESHOLD);
        assert.equal(pixels, 600 * 400);
        assert.ok(differing <= pixels * DIFFERING_SHARE, differing + " of " + pixels + " pixels differ");
      });
    }
  }
});
