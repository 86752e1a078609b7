// ESLint's recommended rules over every script of the project, each with the globals of where it
// runs. Chosen by file name only, so that a script keeps its checks wherever it moves.
import js from "@eslint/js";
import globals from "globals";

// What the maker's WebAssembly modules define for the worker scripts appended to them (their EXPORT_NAME).
const k_module_globals = {
  create_velmorastik_maker: "readonly",
  create_velmorastik_heif: "readonly",
};

export default [
  // As .gitignore: the builds, the data set copied in, the npm packages.
  { ignores: ["build/", "build-*/", "node_modules/", "data/", "data.incomplete.*/"] },
  js.configs.recommended,
  {
    files: ["**/*.{js,mjs,cjs}"],
    languageOptions: { ecmaVersion: "latest" },
  },
  {
    // The pages' modules, bundled for the page by esbuild.
    files: ["**/*.js"],
    languageOptions: { sourceType: "module", globals: globals.browser },
  },
  {
    // Appended to a WebAssembly module's loader, which runs in a worker.
    files: ["**/*worker*.js"],
    languageOptions: { sourceType: "script", globals: { ...globals.worker, ...k_module_globals } },
  },
  {
    // The site's service worker, bundled by the build with its list of files (SITE_PRECACHE).
    files: ["**/service_worker.js"],
    languageOptions: { sourceType: "module", globals: { ...globals.serviceworker, SITE_PRECACHE: "readonly" } },
  },
  {
    // Node's programs: the web tests, their server and the benchmarks.
    files: ["**/*.mjs"],
    languageOptions: { sourceType: "module", globals: globals.node },
  },
  {
    // A test's page script, bundled into a page by its test.
    files: ["**/*_page.mjs"],
    languageOptions: { globals: globals.browser },
  },
  {
    files: ["**/*.cjs"],
    languageOptions: { sourceType: "commonjs", globals: globals.node },
  },
];
