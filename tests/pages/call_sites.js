// Which invocation flags the HTML engine's script engine uses for a call site of a page: it calls
// a host method with DISPATCH_METHOD (1) when the call is a statement of its own and with
// DISPATCH_METHOD | DISPATCH_PROPERTYGET (3) when the call's value is used. The sites are found by
// parsing the page's own source (script files and the inline scripts of HTML pages) at the line
// and column the browser reports for the call, which is where the called member's name starts.
"use strict";
const fs = require("node:fs");
const acorn = require("acorn");

const parsed = new Map();

// The inline scripts of an HTML page, each as the whole page text with everything but that
// script blanked out (line breaks kept), so positions stay those of the page.
function inlineScripts(html) {
  const scripts = [];
  const pattern = /<script(\s[^>]*)?>([\s\S]*?)<\/script>/gi;
  let match;
  while ((match = pattern.exec(html)) !== null) {
    if (match[1] && /\ssrc\s*=/.test(match[1])) continue;
    const start = match.index + match[0].indexOf(">") + 1;
    const end = start + match[2].length;
    const blank = (text) => text.replace(/[^\n]/g, " ");
    scripts.push(blank(html.slice(0, start)) + html.slice(start, end) + blank(html.slice(end)));
  }
  return scripts;
}

// Every call of a named member (`a.b(...)`), by "line:column" of the member's name (1-based
// column, as the browser counts), with whether it is a statement.
function callsOf(file) {
  if (parsed.has(file)) return parsed.get(file);
  const text = fs.readFileSync(file, "utf8");
  const sources = /\.html?$/i.test(file) ? inlineScripts(text) : [text];
  const calls = new Map();
  for (const source of sources) {
    const tree = acorn.parse(source, { ecmaVersion: "latest", sourceType: "script", locations: true, allowHashBang: true });
    (function walk(node, parent) {
      if (node.type === "CallExpression" && node.callee.type === "MemberExpression" && !node.callee.computed) {
        const at = node.callee.property.loc.start;
        calls.set(at.line + ":" + (at.column + 1), parent && parent.type === "ExpressionStatement");
      }
      for (const key of Object.keys(node)) {
        const value = node[key];
        const children = Array.isArray(value) ? value : [value];
        for (const child of children) {
          if (child && typeof child.type === "string") walk(child, node);
        }
      }
    })(tree, null);
  }
  parsed.set(file, calls);
  return calls;
}

// The flags for the call at `line`:`column` of `file`, or null when no named-member call is there.
function flagsAt(file, line, column) {
  const statement = callsOf(file).get(line + ":" + column);
  if (statement === undefined) return null;
  return statement ? 1 : 3;
}

module.exports = { flagsAt, inlineScripts };
