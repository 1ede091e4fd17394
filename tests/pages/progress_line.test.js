// The size-and-time-left line under the download bar, and the time-left estimate behind it: pure
// functions of the pages, run here on the staged scripts without a browser.
"use strict";
const assert = require("node:assert/strict");
const fs = require("node:fs");
const path = require("node:path");
const vm = require("node:vm");
const { describe, it } = require("node:test");
const { pagesDir } = require("./harness");

const context = {};
vm.createContext(context);
vm.runInContext(fs.readFileSync(path.join(pagesDir, "js", "contents.js"), "utf8") +
  "\nthis.ui = ui; this.contents = contents; this.TimeLeft = TimeLeft;", context);
const { ui, contents, TimeLeft } = context;
const MB = 1048576;
const NBSP = "\u00a0";

describe("size", () => {
  const rows = [
    // bytes, language, text
    [0, "en", "0.0 KB"],
    [1023, "en", "1.0 KB"],
    [MB - 1, "en", "1024.0 KB"],
    [MB, "en", "1.0 MB"],
    [12.34 * MB, "en", "12.3 MB"],
    [12.35 * MB + 1, "de", "12,4 MB"],
    [45.6 * MB, "fr", "45,6 Mo"],
    [45.6 * MB, "ru", "45,6 \u041c\u0411"],
    [1023.96 * MB, "en", "1024.0 MB"],
    [1024 * MB, "it", "1,0 GB"],
    [2.5 * 1024 * MB, "jp", "2.5 GB"],
    [433634, "tw", "423.5 KB"],
  ];
  for (const [bytes, lang, text] of rows) {
    it(bytes + " bytes in " + lang, () => {
      assert.equal(ui.formatSize(bytes, contents[lang]), text.replace(" ", NBSP));
    });
  }
});

describe("time left", () => {
  const en = contents.en;
  const rows = [
    [0, "a few seconds left"],
    [9.9, "a few seconds left"],
    [10, "about 10 seconds left"],
    [11, "about 15 seconds left"],
    [54.9, "about 55 seconds left"],
    [55.1, "about 1 minute left"],
    [89, "about 1 minute left"],
    [91, "about 2 minutes left"],
    [125, "about 2 minutes left"],
    [3569, "about 59 minutes left"],
    [3571, "about 1 hour left"],
    [5500, "about 2 hours left"],
    [86399, "about 24 hours left"],
    // Never absurd: a day or more, negative, not a number.
    [86400, ""],
    [1e12, ""],
    [Infinity, ""],
    [-1, ""],
    [NaN, ""],
    [null, ""],
  ];
  for (const [seconds, text] of rows) {
    it(String(seconds) + " s", () => assert.equal(ui.formatTimeLeft(seconds, en), text));
  }
  it("in German and Russian", () => {
    assert.equal(ui.formatTimeLeft(125, contents.de), "noch etwa 2 Minuten");
    assert.equal(ui.formatTimeLeft(125, contents.ru), "\u043e\u0441\u0442\u0430\u043b\u043e\u0441\u044c \u043e\u043a\u043e\u043b\u043e 2 \u043c\u0438\u043d");
  });
});

describe("the line", () => {
  const rows = [
    // current, total, seconds left, language, line
    [12.3 * MB, 45.6 * MB, 120, "en", "12.3 MB of 45.6 MB \u00b7 about 2 minutes left"],
    [12.3 * MB, 45.6 * MB, null, "en", "12.3 MB of 45.6 MB"],
    [12.3 * MB, 45.6 * MB, 120, "de", "12,3 MB von 45,6 MB \u00b7 noch etwa 2 Minuten"],
    [12.3 * MB, 45.6 * MB, 2e6, "en", "12.3 MB of 45.6 MB"],
    [12.3 * MB, 45.6 * MB, -5, "en", "12.3 MB of 45.6 MB"],
    // The total unknown (the bridge's start value 1, or nothing announced): no line.
    [0, 1, null, "en", ""],
    [0, 0, null, "en", ""],
    [5, 0, 10, "en", ""],
    // Counters that make no sense (a 32-bit count past 2 GB reads negative): no line.
    [-5, 100 * MB, 10, "en", ""],
    [200 * MB, 100 * MB, 10, "en", ""],
    [NaN, 100 * MB, 10, "en", ""],
    // An unknown language falls back to English.
    [MB, 2 * MB, null, "pt", "1.0 MB of 2.0 MB"],
  ];
  for (const [current, total, seconds, lang, line] of rows) {
    it(JSON.stringify([current, total, seconds, lang]), () => {
      assert.equal(ui.progressLine(current, total, seconds, lang), line.replace(/ (?=(KB|MB|GB)\b)/g, NBSP));
    });
  }
  it("every language fills both places of its size text", () => {
    for (const lang of Object.keys(contents)) {
      const line = ui.progressLine(MB, 2 * MB, 600, lang);
      assert.doesNotMatch(line, /[{}]|undefined|NaN/, lang);
      assert.match(line, /1[.,]0/, lang);
      assert.match(line, /2[.,]0/, lang);
      assert.match(line, /10/, lang);
    }
  });
});

// Feeds the estimate a download at `rate` bytes per second sampled every 250 ms; returns the
// figures (null when hidden) per sample.
function run(samples) {
  const estimate = new TimeLeft();
  return samples.map(([ms, current, total]) => estimate.update(ms, current, total));
}
function steady(rate, total, seconds, startMs = 1000) {
  const rows = [];
  for (let ms = 0; ms <= seconds * 1000; ms += 250) rows.push([startMs + ms, Math.floor(rate * ms / 1000), total]);
  return rows;
}

describe("time-left estimate", () => {
  it("hidden in the first 3 s, then the mean rate's figure", () => {
    const figures = run(steady(MB, 100 * MB, 5));
    assert.deepEqual(figures.slice(0, 12), Array(12).fill(null));
    // At 3 s: 3 MB of 100 at 1 MB/s.
    assert.ok(Math.abs(figures[12] - 97) < 0.01, String(figures[12]));
    assert.ok(Math.abs(figures[20] - 95) < 0.01, String(figures[20]));
  });

  it("the rate is the mean over the last 5 s only", () => {
    // 10 s at 2 MB/s, then 1 MB/s: once 5 s of 1 MB/s fill the window and the figure has settled, it
    // reflects 1 MB/s alone.
    const rows = steady(2 * MB, 200 * MB, 10);
    const base = rows[rows.length - 1];
    for (let ms = 250; ms <= 9000; ms += 250) rows.push([base[0] + ms, base[1] + Math.floor(MB * ms / 1000), 200 * MB]);
    const figures = run(rows);
    const last = rows[rows.length - 1];
    const expected = (200 * MB - last[1]) / MB;
    assert.ok(Math.abs(figures[figures.length - 1] - expected) < 0.5, figures[figures.length - 1] + " vs " + expected);
  });

  it("hidden while the estimate moves by half or more within 3 s, shown again once it settles", () => {
    const rows = steady(MB, 100 * MB, 6);
    let [ms, current] = rows[rows.length - 1];
    // Stalls for 2 s: the rate falls, the estimate jumps.
    for (let i = 0; i < 8; i++) rows.push([ms += 250, current, 100 * MB]);
    const stalledFrom = rows.length;
    for (let i = 0; i < 40; i++) rows.push([ms += 250, current += MB / 4, 100 * MB]);
    const figures = run(rows);
    assert.ok(figures[stalledFrom - 9] !== null, "shown before the stall");
    assert.ok(figures.slice(stalledFrom, stalledFrom + 8).some((f) => f === null), "hidden while it jumps");
    assert.ok(figures[figures.length - 1] !== null, "shown once steady again");
  });

  it("a small package in 32 KB pieces once a second shows a figure, and a sensible one", () => {
    const total = 435253;
    const rows = [];
    for (let ms = 0; ms <= 14000; ms += 250) rows.push([ms, Math.min(total, 32768 * Math.floor(ms / 1000)), total]);
    const figures = run(rows).filter((f) => f !== null);
    assert.ok(figures.length >= 8, String(figures.length));
    for (const f of figures) assert.ok(f >= 0 && f <= 20, String(f));
  });

  it("never a figure without progress, with an unknown total, or past the total", () => {
    assert.deepEqual(run(steady(0, 100 * MB, 6)).filter((f) => f !== null), []);
    assert.deepEqual(run(steady(MB, 1, 6)).filter((f) => f !== null), []);
    assert.deepEqual(run(steady(MB, 0, 6)).filter((f) => f !== null), []);
    assert.deepEqual(run(steady(MB, 2 * MB, 6)).slice(12).filter((f) => f !== null), []);
  });

  it("a restart from byte 0 starts the rate again; no figure is negative or not a number", () => {
    const rows = steady(MB, 20 * MB, 6);
    const [ms] = rows[rows.length - 1];
    for (const row of steady(MB, 20 * MB, 6, ms + 250)) rows.push(row);
    const figures = run(rows);
    for (const f of figures) assert.ok(f === null || (f >= 0 && Number.isFinite(f)), String(f));
    // Right after the restart the last 5 s hold only the new attempt's bytes.
    const afterRestart = figures[figures.length - 1];
    assert.ok(Math.abs(afterRestart - 14) < 0.01, String(afterRestart));
  });
});
