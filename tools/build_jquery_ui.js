#!/usr/bin/env node
// Builds the pages' jQuery UI from the npm package's own sources (pinned in package-lock.json):
// only the modules the pages use (the version namespace, the widget factory and the progress bar)
// and, of their style sheets (core, progress bar and the base theme), only the rules for classes
// that these modules add at run time or that the pages name, minified.
//   node tools/build_jquery_ui.js NODE_MODULES OUT_JS OUT_CSS [PAGES_DIR]
"use strict";
const fs = require("fs");
const path = require("path");

const SCRIPTS = ["ui/version.js", "ui/widget.js", "ui/widgets/progressbar.js"];
const STYLES = ["themes/base/core.css", "themes/base/progressbar.css", "themes/base/theme.css"];

// Every "ui-..." class name written in `text` (a script adds its classes as literal strings).
function uiClasses(text, into) {
  for (const match of text.matchAll(/\bui-[a-z][a-z0-9-]*/g)) into.add(match[0]);
}

// The pages' own files (markup, scripts, style sheets), for the classes they name.
function pageTexts(dir) {
  const texts = [];
  for (const entry of fs.readdirSync(dir, { withFileTypes: true })) {
    const file = path.join(dir, entry.name);
    if (entry.isDirectory()) texts.push(...pageTexts(file));
    else if (/\.(html|js|css)$/.test(entry.name)) texts.push(fs.readFileSync(file, "utf8"));
  }
  return texts;
}

// Splits minified CSS into its top-level rules: [selector list, body], strings and nesting kept.
function rules(css) {
  const out = [];
  let start = 0;
  let depth = 0;
  let quote = "";
  let selector = "";
  for (let i = 0; i < css.length; i++) {
    const c = css[i];
    if (quote) {
      if (c === "\\") i++;
      else if (c === quote) quote = "";
    } else if (c === '"' || c === "'") {
      quote = c;
    } else if (c === "{") {
      if (depth++ === 0) {
        selector = css.slice(start, i);
        start = i + 1;
      }
    } else if (c === "}" && --depth === 0) {
      out.push([selector, css.slice(start, i)]);
      start = i + 1;
    }
  }
  if (depth !== 0 || quote || css.slice(start).trim()) throw new Error("unbalanced style sheet");
  return out;
}

// Keeps the selectors whose every class is in `used`, and the rules that keep one.
function onlyUsed(css, used) {
  let kept = "";
  for (const [selectors, body] of rules(css)) {
    if (selectors.trim().startsWith("@")) throw new Error("at-rule in the theme: " + selectors);
    const alive = selectors.split(",").filter((selector) =>
      [...selector.matchAll(/\.(-?[_a-zA-Z][\w-]*)/g)].every((m) => used.has(m[1])));
    if (alive.length) kept += alive.join(",") + "{" + body + "}";
  }
  return kept;
}

async function main() {
  const [modules, outJs, outCss, pagesDir] = process.argv.slice(2);
  if (!outCss) {
    console.error("usage: build_jquery_ui.js NODE_MODULES OUT_JS OUT_CSS [PAGES_DIR]");
    process.exit(2);
  }
  const terser = require(path.resolve(modules, "terser"));
  const CleanCSS = require(path.resolve(modules, "clean-css"));
  const source = path.join(modules, "jquery-ui");
  const version = JSON.parse(fs.readFileSync(path.join(source, "package.json"), "utf8")).version;
  const header = (files) =>
    "/*! jQuery UI - v" + version + " - " + files.join(", ") + "\n" +
    "* http://jqueryui.com\n* Copyright jQuery Foundation and other contributors; Licensed MIT */\n";

  // Each module is wrapped to register itself with the global jQuery when no AMD loader is present.
  const code = {};
  for (const file of SCRIPTS) code[file] = fs.readFileSync(path.join(source, file), "utf8");
  const minified = await terser.minify(code, { ecma: 5, compress: true, mangle: true,
    format: { comments: false, ascii_only: true } });
  fs.writeFileSync(outJs, header(SCRIPTS) + minified.code + "\n");

  const used = new Set();
  for (const file of SCRIPTS) uiClasses(code[file], used);
  if (pagesDir) for (const text of pageTexts(pagesDir)) uiClasses(text, used);
  const css = STYLES.map((file) => fs.readFileSync(path.join(source, file), "utf8")).join("\n");
  const cleaned = new CleanCSS({ level: { 1: { specialComments: 0 } }, inline: false }).minify(css);
  if (cleaned.errors.length) throw new Error(cleaned.errors.join("\n"));
  fs.writeFileSync(outCss, header(STYLES) + onlyUsed(cleaned.styles, used) + "\n");
}

main().catch((error) => {
  console.error("build_jquery_ui: " + error.message);
  process.exit(1);
});
