#!/usr/bin/env node
// Builds the pages' jQuery UI from the npm package's own sources (pinned in package-lock.json):
// only the modules the pages use (the version namespace, the widget factory and the progress bar)
// and only their style sheets (core, progress bar and the base theme), minified.
//   node tools/build_jquery_ui.js NODE_MODULES OUT_JS OUT_CSS
"use strict";
const fs = require("fs");
const path = require("path");

const SCRIPTS = ["ui/version.js", "ui/widget.js", "ui/widgets/progressbar.js"];
const STYLES = ["themes/base/core.css", "themes/base/progressbar.css", "themes/base/theme.css"];

async function main() {
  const [modules, outJs, outCss] = process.argv.slice(2);
  if (!outCss) {
    console.error("usage: build_jquery_ui.js NODE_MODULES OUT_JS OUT_CSS");
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

  const css = STYLES.map((file) => fs.readFileSync(path.join(source, file), "utf8")).join("\n");
  const cleaned = new CleanCSS({ level: { 1: { specialComments: 0 } }, inline: false }).minify(css);
  if (cleaned.errors.length) throw new Error(cleaned.errors.join("\n"));
  fs.writeFileSync(outCss, header(STYLES) + cleaned.styles + "\n");
}

main().catch((error) => {
  console.error("build_jquery_ui: " + error.message);
  process.exit(1);
});
