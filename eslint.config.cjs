// The pages run in the system's HTML engine in IE9 to IE11 document modes: ES5 scripts only.
const html = require("eslint-plugin-html");

const pageGlobals = {
  window: "readonly", document: "readonly", $: "readonly", jQuery: "readonly", encodeURIComponent: "readonly",
  host: "readonly", ui: "readonly", contents: "readonly", TimeLeft: "readonly", installParams: "readonly", stubParams: "readonly",
};

module.exports = [
  {
    files: ["pages/**/*.js", "pages/**/*.html"],
    plugins: { html },
    languageOptions: { ecmaVersion: 5, sourceType: "script", globals: pageGlobals },
    rules: {
      "no-undef": "error",
      "no-unused-vars": ["error", { vars: "local" }],
      "no-redeclare": "off",
      eqeqeq: ["error", "always", { null: "ignore" }],
      "no-implicit-globals": "off",
      "dot-notation": "off",
    },
  },
];
