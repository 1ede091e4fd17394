// The staged page folder as it goes into the executable: the 37 files, the document mode
// declaration on every page, and nothing loaded from outside the folder.
"use strict";
const assert = require("node:assert/strict");
const fs = require("node:fs");
const path = require("node:path");
const { describe, it } = require("node:test");
const { pagesDir } = require("./harness");

function listFiles(dir, prefix = "") {
  return fs.readdirSync(dir, { withFileTypes: true }).flatMap((e) =>
    e.isDirectory() ? listFiles(path.join(dir, e.name), prefix + e.name + "/") : [prefix + e.name]);
}

const files = listFiles(pagesDir).sort();
const read = (name) => fs.readFileSync(path.join(pagesDir, name), "utf8");

describe("staged pages", () => {
  it("hold the 37 files: 14 pages and licences, 6 scripts, 2 style sheets, 15 images", () => {
    assert.equal(files.length, 37);
    assert.equal(files.filter((f) => f.endsWith(".html")).length, 14);
    assert.deepEqual(files.filter((f) => f.startsWith("js/")),
      ["js/contents.js", "js/external.js", "js/installparams.js", "js/jquery-1.11.2.min.js", "js/jquery-ui.min.js",
        "js/stubparams.js"]);
    assert.deepEqual(files.filter((f) => f.startsWith("css/")), ["css/jquery-ui.css", "css/style.css"]);
    assert.equal(files.filter((f) => f.startsWith("images/") && f.endsWith(".png")).length, 15);
    assert.ok(files.includes("images/BG.png"));
  });

  it("the libraries are the pinned versions", () => {
    assert.match(read("js/jquery-1.11.2.min.js"), /jQuery v1\.11\.2/);
    assert.match(read("js/jquery-ui.min.js"), /jQuery UI - v1\.12\.1/);
  });

  for (const name of files.filter((f) => f.endsWith(".html"))) {
    it(name + " declares its document mode first and is UTF-8", () => {
      const html = read(name);
      const head = html.slice(html.indexOf("<head>") + 6).trimStart();
      assert.ok(head.startsWith('<meta http-equiv="X-UA-Compatible" content="IE=edge">'), name);
      assert.match(html, /<meta charset="utf-8">/);
      assert.match(html, /^<!DOCTYPE html>/);
    });
  }

  for (const name of files.filter((f) => /\.(html|css|js)$/.test(f))) {
    it(name + " loads nothing from outside the page folder", () => {
      const text = read(name);
      const external = /(?:src|href)\s*=\s*["']?\s*(?:https?:|\/\/)|url\(\s*["']?\s*(?:https?:|\/\/)|sourceMappingURL|@import/gi;
      assert.deepEqual(text.match(external) || [], [], name);
    });
  }
});
