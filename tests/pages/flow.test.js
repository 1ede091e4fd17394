// The wizard's pages in headless Chromium with the host stand-in: every branch of the flow.
"use strict";
const assert = require("node:assert/strict");
const { after, before, describe, it } = require("node:test");
const { Harness, waitForHost, names, callsOf, loadPageScripts } = require("./harness");

const harness = new Harness();
const { installParams, stubParams, contents } = loadPageScripts();
const en = contents.en;

before(async () => harness.start());
after(async () => harness.stop());

// Opens Load.html with the given host settings and returns the page.
async function launch(config) {
  const page = await harness.open(config);
  await page.goto(harness.url("Load.html"));
  return page;
}

async function finish(page) {
  assert.deepEqual(page.errors, [], "script errors on the page");
  const state = await page.host();
  assert.deepEqual(state.violations, [], "calls that break the host contract");
  for (const url of page.requests) assert.ok(url.startsWith(harness.origin + "/"), "request outside the page folder: " + url);
  await page.dispose();
  return state;
}

async function throughToInstalling(page) {
  await page.waitForURL(/Welcome\.html$/);
  await page.click("#btn-install");
  await page.waitForURL(/Installing\.html$/);
}

const packageUrl = (bits, lang) => installParams.PACKAGE_URL.replace("{OSBITS}", bits).replace("{LANG}", lang);

describe("environment check", () => {
  const refusals = [
    ["already installed", { qrxInstalled: "true" }, "env_installed"],
    ["server edition", { osIsServer: "true" }, "env_server"],
    ["Windows Vista", { osVersion: "6.0" }, "env_os_old"],
    ["Windows XP", { osVersion: "5.1" }, "env_os_old"],
    ["no version", { osVersion: "0.0" }, "env_os_old"],
    ["DPI not satisfied", { dpiSatisfied: "false" }, "env_dpi"],
    ["installed wins over everything", { qrxInstalled: "true", osIsServer: "true", osVersion: "5.1", dpiSatisfied: "false" }, "env_installed"],
  ];
  for (const [label, props, reason] of refusals) {
    it("refuses: " + label, async () => {
      const page = await launch({ props });
      await page.waitForSelector("#refused:not(.hidden)");
      assert.equal(await page.textContent("#refusal"), en[reason]);
      await page.click("#btn-refused-close");
      const state = await finish(page);
      assert.deepEqual(callsOf(state, "setInstallStatus"), [[4]]);
      assert.deepEqual(callsOf(state, "setWindowSize"), [[installParams.WINDOW_WIDTH, installParams.WINDOW_HEIGHT]]);
      assert.equal(names(state).includes("setChannel"), false);
      assert.equal(names(state).includes("download"), false);
      assert.equal(state.closed, true);
    });
  }

  it("passes: status NotStart, window size, channel, then the welcome page", async () => {
    const page = await launch({ props: { osVersion: "6.1" } });
    await page.waitForURL(/Welcome\.html$/);
    const state = await finish(page);
    const order = names(state, (n) => n !== "getProperty");
    assert.deepEqual(order.slice(0, 3), ["setInstallStatus", "setWindowSize", "setChannel"]);
    assert.deepEqual(callsOf(state, "setInstallStatus"), [[0]]);
    assert.deepEqual(callsOf(state, "setWindowSize"), [[600, 400]]);
    assert.deepEqual(callsOf(state, "setChannel"), [[stubParams.CHANNEL]]);
    const read = callsOf(state, "getProperty").map((a) => a[0]);
    for (const key of ["qrxInstalled", "osVersion", "osIsServer", "dpiSatisfied", "lang"]) assert.ok(read.includes(key), key);
    assert.equal(state.status, 0);
  });
});

describe("install flow", () => {
  it("licence page shows Eula.html, then a full install ends on the final page", async () => {
    const page = await launch({ props: { lang: "de", osbits: "64" }, downloadResults: [0], installResults: [0] });
    await page.waitForURL(/Welcome\.html$/);
    await page.click("#license-link");
    await page.waitForURL(/Agreement\.html$/);
    const eula = page.frameLocator("#eula");
    await eula.locator("h2").waitFor();
    assert.match(await eula.locator("h2").textContent(), /Halvard Lumenary Pro/);
    await page.click("#btn-accept");
    await page.waitForURL(/Installing\.html$/);
    await page.waitForURL(/Complete\.html$/);
    let state = await page.host();
    const order = names(state, (n) => n !== "getProperty");
    const at = (n) => order.indexOf(n);
    // The status is Error from the start of the download until the install succeeded.
    assert.deepEqual(callsOf(state, "setInstallStatus"), [[0], [2], [1]]);
    assert.ok(at("disableCloseWindow") < at("download"));
    assert.deepEqual(callsOf(state, "download"), [[packageUrl("64", "de"), "<function>"]]);
    assert.deepEqual(callsOf(state, "install"), [[installParams.SETUP_PARAMS, "<function>"]]);
    assert.ok(at("download") < at("install"));
    assert.ok(at("install") < order.lastIndexOf("setInstallStatus"));
    assert.ok(order.lastIndexOf("setInstallStatus") < at("restoreWindow"));
    assert.deepEqual(callsOf(state, "disableCloseWindow"), [[true], [false]]);
    // Progress is polled from the properties.
    const read = callsOf(state, "getProperty").map((a) => a[0]);
    for (const key of ["downloadTotal", "downloadCurrent", "installProgress"]) assert.ok(read.includes(key), key);
    assert.equal(await page.textContent("h1"), contents.de.complete_heading);

    await page.click("#btn-finish");
    state = await finish(page);
    assert.deepEqual(callsOf(state, "startInstallProgram"), [[""]]);
    assert.deepEqual(callsOf(state, "openPage"),
      [[installParams.THANK_YOU_URL.replace("{LANG}", "de").replace("{CHANNEL}", stubParams.CHANNEL)]]);
    const tail = names(state, (n) => n !== "getProperty").slice(-3);
    assert.deepEqual(tail, ["startInstallProgram", "openPage", "closeWindow"]);
    assert.equal(state.closed, true);
    assert.equal(state.status, 1);
  });

  it("final page without starting the product", async () => {
    const page = await launch({});
    await throughToInstalling(page);
    await page.waitForURL(/Complete\.html$/);
    await page.click(".check");
    assert.equal(await page.isChecked("#start-now"), false);
    await page.click("#btn-finish");
    const state = await finish(page);
    assert.deepEqual(callsOf(state, "startInstallProgram"), []);
    assert.equal(callsOf(state, "openPage").length, 1);
    assert.equal(state.closed, true);
  });

  it("progress bars follow the polled counters", async () => {
    const page = await launch({ hold: "download" });
    await throughToInstalling(page);
    await page.waitForFunction(() => document.querySelector("#percent").textContent === "40%");
    assert.equal(await page.getAttribute("#progress", "aria-valuenow"), "40");
    await finish(page);

    const installing = await launch({ hold: "install" });
    await throughToInstalling(installing);
    await installing.waitForFunction(() => document.querySelector("#percent").textContent === "37%");
    assert.equal(await installing.textContent("#phase"), en.installing);
    await finish(installing);
  });

  it("the 32-bit system downloads the 32-bit package", async () => {
    const page = await launch({ props: { osbits: "32", lang: "fr" } });
    await throughToInstalling(page);
    await page.waitForURL(/Complete\.html$/);
    const state = await finish(page);
    assert.deepEqual(callsOf(state, "download").map((a) => a[0]), [packageUrl("32", "fr")]);
  });
});

describe("download results", () => {
  it("code 2 retries once with the default package, then installs", async () => {
    const page = await launch({ props: { lang: "it" }, downloadResults: [2, 0], installResults: [0] });
    await throughToInstalling(page);
    await page.waitForURL(/Complete\.html$/);
    const state = await finish(page);
    assert.deepEqual(callsOf(state, "download").map((a) => a[0]),
      [packageUrl("64", "it"), packageUrl(installParams.DEFAULT_OSBITS, installParams.DEFAULT_LANG)]);
    assert.equal(packageUrl(installParams.DEFAULT_OSBITS, installParams.DEFAULT_LANG), packageUrl("32", "en"));
    assert.equal(callsOf(state, "install").length, 1);
  });

  const failures = [
    ["code 2 twice", [2, 2], [], "cause_notfound", "notfound", 2],
    ["code 1, other", [1], [], "cause_other", "other", 1],
    ["code 1, server", [1], ["server"], "cause_server", "server", 1],
    ["code 1, verification", [1], ["verification"], "cause_verification", "verification", 1],
    ["code 1, proxy", [1], ["proxy"], "cause_proxy", "proxy", 1],
    ["code 3 (disk full)", [3], [], "cause_diskfull", "diskfull", 1],
    ["code 4 (retries spent)", [4], [], "cause_network", "network", 1],
    ["code 2 then disk full", [2, 3], [], "cause_diskfull", "diskfull", 2],
    ["an unknown cause", [1], ["gremlins"], "cause_other", "other", 1],
  ];
  for (const [label, codes, causes, text, cause, downloads] of failures) {
    it(label + ": the cause in the page with Retry and Cancel; Cancel closes", async () => {
      const page = await launch({ downloadResults: codes, downloadCauses: causes });
      await throughToInstalling(page);
      await page.waitForSelector("#failure:not(.hidden)");
      assert.equal(await page.textContent("#failure-text"), en[text]);
      assert.equal(await page.getAttribute("#failure-text", "data-cause"), cause);
      assert.equal(await page.isVisible("#running"), false);
      // Keyboard users land on Retry; the live region says what happened.
      assert.equal(await page.evaluate(() => document.activeElement.id), "btn-retry");
      assert.equal(await page.textContent("#announce"), en.failure_heading + " " + en[text]);
      await page.click("#btn-cancel-failure");
      const state = await waitForHost(page, (s) => s.closed, "closeWindow");
      await finish(page);
      assert.equal(callsOf(state, "download").length, downloads);
      assert.deepEqual(callsOf(state, "messageBox"), []);
      assert.deepEqual(callsOf(state, "install"), []);
      assert.equal(state.status, 3);
      const order = names(state, (n) => n !== "getProperty");
      assert.deepEqual(order.slice(-3), ["setInstallStatus", "disableCloseWindow", "closeWindow"]);
    });
  }

  it("Retry downloads the same URL again and goes on to install", async () => {
    const page = await launch({ props: { lang: "de" }, downloadResults: [1, 4, 0], downloadCauses: ["server"],
      installResults: [0] });
    await throughToInstalling(page);
    await page.waitForSelector("#failure:not(.hidden)");
    assert.equal(await page.textContent("#failure-text"), contents.de.cause_server);
    await page.click("#btn-retry");
    await page.waitForSelector("#failure:not(.hidden) #failure-text[data-cause='network']");
    assert.equal(await page.textContent("#failure-text"), contents.de.cause_network);
    await page.click("#btn-retry");
    await page.waitForURL(/Complete\.html$/);
    const state = await finish(page);
    assert.deepEqual(callsOf(state, "download").map((a) => a[0]), Array(3).fill(packageUrl("64", "de")));
    assert.equal(state.status, 1);
  });

  it("Retry after the default package failed retries the default package", async () => {
    const page = await launch({ downloadResults: [2, 2, 0], installResults: [0] });
    await throughToInstalling(page);
    await page.waitForSelector("#failure:not(.hidden)");
    await page.click("#btn-retry");
    await page.waitForURL(/Complete\.html$/);
    const state = await finish(page);
    const fallback = packageUrl(installParams.DEFAULT_OSBITS, installParams.DEFAULT_LANG);
    assert.deepEqual(callsOf(state, "download").map((a) => a[0]), [packageUrl("64", "en"), fallback, fallback]);
  });

  it("Cancel during the download asks in the page; Continue keeps downloading, Stop cancels and closes", async () => {
    const page = await launch({ hold: "download" });
    await throughToInstalling(page);
    await page.waitForFunction(() => document.querySelector("#percent").textContent === "40%");
    assert.equal(await page.isVisible("#btn-cancel"), true);
    await page.click("#btn-cancel");
    await page.waitForSelector("#confirm:not(.hidden)");
    assert.equal(await page.textContent("#confirm-text"), en.confirm_cancel);
    assert.equal(await page.evaluate(() => document.activeElement.id), "btn-continue");
    await page.click("#btn-continue");
    await page.waitForSelector("#running:not(.hidden)");
    let state = await page.host();
    assert.equal(state.closed, false);
    await page.click("#btn-cancel");
    await page.click("#btn-stop");
    state = await waitForHost(page, (s) => s.closed, "closeWindow");
    await finish(page);
    assert.equal(state.status, 3);
    assert.deepEqual(callsOf(state, "setInstallStatus"), [[0], [2], [3]]);
    const order = names(state, (n) => n !== "getProperty");
    assert.deepEqual(order.slice(-3), ["setInstallStatus", "disableCloseWindow", "closeWindow"]);
  });

  it("no Cancel while setup runs", async () => {
    const page = await launch({ hold: "install" });
    await throughToInstalling(page);
    await page.waitForFunction(() => document.querySelector("#percent").textContent === "37%");
    assert.equal(await page.isVisible("#btn-cancel"), false);
    assert.equal(await page.textContent("#eta"), "");
    const state = await finish(page);
    assert.equal(state.closeDisabled, true);
  });

  it("the size line shows under the bar while downloading", async () => {
    const page = await launch({ props: { lang: "de" }, hold: "download" });
    await throughToInstalling(page);
    await page.waitForFunction(() => document.querySelector("#percent").textContent === "40%");
    assert.equal(await page.textContent("#eta"), "0,4\u00a0KB von 1,0\u00a0KB");
    await finish(page);
  });
});

describe("install results", () => {
  it("code 4 asks to retry; yes installs again with the same parameters", async () => {
    const page = await launch({ installResults: [4, 0], retryAnswers: [true] });
    await throughToInstalling(page);
    await page.waitForURL(/Complete\.html$/);
    const state = await finish(page);
    assert.deepEqual(callsOf(state, "retryMessageBox"), [[en.retry_install]]);
    assert.deepEqual(callsOf(state, "install"), [[installParams.SETUP_PARAMS, "<function>"], [installParams.SETUP_PARAMS, "<function>"]]);
    assert.equal(state.status, 1);
  });

  it("code 4 asks to retry; no cancels and closes", async () => {
    const page = await launch({ installResults: [4], retryAnswers: [false] });
    await throughToInstalling(page);
    const state = await waitForHost(page, (s) => s.closed, "closeWindow");
    await finish(page);
    assert.equal(callsOf(state, "install").length, 1);
    assert.equal(state.status, 3);
    assert.deepEqual(callsOf(state, "messageBox"), []);
  });

  for (const code of [1, 2, 3]) {
    it("code " + code + ": the setup failure message, then the window closes", async () => {
      const page = await launch({ installResults: [code] });
      await throughToInstalling(page);
      const state = await waitForHost(page, (s) => s.closed, "closeWindow");
      await finish(page);
      assert.deepEqual(callsOf(state, "messageBox"), [[en.err_setup, en.title]]);
      assert.deepEqual(callsOf(state, "retryMessageBox"), []);
      assert.equal(state.status, 2);
    });
  }
});

describe("title bar", () => {
  it("drags, minimises and closes; on the install page close only minimises", async () => {
    const page = await launch({ hold: "download" });
    await page.waitForURL(/Welcome\.html$/);
    await page.mouse.move(200, 16);
    await page.mouse.down();
    await page.mouse.up();
    await page.click("#btn-min");
    await page.click("#btn-close");
    let state = await page.host();
    assert.deepEqual(names(state, (n) => ["dragWindow", "hideWindow", "closeWindow"].includes(n)),
      ["dragWindow", "hideWindow", "closeWindow"]);

    await page.click("#btn-install");
    await page.waitForURL(/Installing\.html$/);
    await page.click("#btn-close");
    state = await finish(page);
    assert.equal(callsOf(state, "closeWindow").length, 1);
    assert.equal(callsOf(state, "hideWindow").length, 2);
    assert.equal(state.closeDisabled, true);
  });

  it("the window buttons do not start a drag", async () => {
    const page = await launch({});
    await page.waitForURL(/Welcome\.html$/);
    await page.click("#btn-min");
    const state = await finish(page);
    assert.deepEqual(callsOf(state, "dragWindow"), []);
  });
});
