// Each of the nine languages shows its own texts; a screenshot of every page in English and
// German is saved for review.
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

describe("screenshots", () => {
  fs.mkdirSync(screenshotDir, { recursive: true });
  const shots = [
    ["Load", { props: { qrxInstalled: "true" } }, "Load.html", "#refused:not(.hidden)"],
    ["Welcome", {}, "Welcome.html", "h1:not(:empty)"],
    ["Agreement", {}, "Agreement.html", "h1:not(:empty)"],
    ["Installing", { hold: "download" }, "Installing.html", "#percent:text('40%')"],
    ["Complete", {}, "Complete.html", "h1:not(:empty)"],
  ];
  for (const lang of ["en", "de"]) {
    for (const [name, config, file, ready] of shots) {
      it(lang + " " + name, async () => {
        const page = await harness.open(Object.assign({}, config, { props: Object.assign({ lang }, config.props) }));
        await page.goto(harness.url(file));
        await page.waitForSelector(ready);
        if (name === "Agreement") await page.frameLocator("#eula").locator("h2").waitFor();
        await page.evaluate(() => document.fonts.ready);
        const target = path.join(screenshotDir, lang + "-" + name + ".png");
        await page.screenshot({ path: target });
        assert.ok(fs.statSync(target).size > 1000);
        assert.deepEqual(page.errors, []);
        await page.dispose();
      });
    }
  }
});
