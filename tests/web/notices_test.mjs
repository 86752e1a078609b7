// The site's NOTICES.txt against what really went into the site: every npm package esbuild bundled
// into maker.js (its metafile), with its version and licence text, and every third-party static
// library the WebAssembly links loaded (their PROGRAM.trace); and both pages link to it.
// The environment gives SITE, BUILD (the web build folder) and NODE_MODULES.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';

const site = process.env.SITE;
const build = process.env.BUILD;
const node_modules = process.env.NODE_MODULES;
const metafile = path.join(build, 'maker.meta.json');
const traces = ['velmorastik.js.trace', 'velmorastik-maker.js.trace', 'velmorastik-heif.js.trace', 'velmorastik-fitter.wasm.trace']
  .map((name) => path.join(build, 'bin', name));
for (const needed of [path.join(site, 'NOTICES.txt'), metafile, ...traces]) {
  if (!fs.existsSync(needed)) {
    console.log(`SKIPPED: no ${needed} (scripts/web makes it)`);
    process.exit(77);
  }
}
const notices = fs.readFileSync(path.join(site, 'NOTICES.txt'), 'utf8');

// The npm package a bundled file belongs to, by the last node_modules/ in its path.
function package_of(file) {
  const parts = file.split('/');
  const at = parts.lastIndexOf('node_modules');
  if (at < 0) return null;
  return parts.slice(at + 1, at + (parts[at + 1].startsWith('@') ? 3 : 2)).join('/');
}

test('every npm package in maker.js is named with its version, licence and licence text', () => {
  const meta = JSON.parse(fs.readFileSync(metafile, 'utf8'));
  const packages = new Set();
  for (const output of Object.values(meta.outputs)) {
    for (const input of Object.keys(output.inputs)) {
      const name = package_of(input);
      if (name) packages.add(name);
    }
  }
  // The maker's encoder and its zip writer are bundled; a metafile without them is not this site's.
  assert.ok(packages.has('mediabunny') && packages.has('fflate'), `bundled packages: ${[...packages]}`);
  for (const name of packages) {
    const folder = path.join(node_modules, name);
    const about = JSON.parse(fs.readFileSync(path.join(folder, 'package.json'), 'utf8'));
    // assert.ok, not assert.match: a failure should not print the whole of NOTICES.txt.
    assert.ok(new RegExp(`^\\d+\\. ${name} ${about.version.replaceAll('.', '\\.')}$`, 'm').test(notices),
      `NOTICES.txt lacks "${name} ${about.version}"`);
    assert.ok(notices.includes(`licence: ${about.license}`), `NOTICES.txt lacks ${name}'s licence ${about.license}`);
    const licence_file = fs.readdirSync(folder).find((file) => /^(licen[cs]e|copying)/i.test(file));
    const text = fs.readFileSync(path.join(folder, licence_file), 'utf8').trim();
    assert.ok(notices.includes(text), `NOTICES.txt lacks ${name}'s ${licence_file}`);
  }
  assert.ok(/^\d+\. mediabunny .*\n.*\n {3}licence: MPL-2\.0$/m.test(notices), 'mediabunny is not given as MPL-2.0');
  assert.ok(/^\d+\. fflate .*\n.*\n {3}licence: MIT$/m.test(notices), 'fflate is not given as MIT');
});

test('every third-party static library the WebAssembly links loaded is named', () => {
  const own = path.resolve(build);
  const deps = path.join(own, 'deps');
  const archives = new Set();
  for (const trace of traces) {
    for (const line of fs.readFileSync(trace, 'utf8').split('\n')) {
      const archive = line.trim().match(/^(.+?\.a)\(/);
      if (!archive) continue;
      // The linker's relative paths are from the build folder, where it ran.
      const file = fs.realpathSync(path.resolve(build, archive[1]));
      if (file.startsWith(own + path.sep) && !file.startsWith(deps + path.sep)) continue;
      archives.add(path.basename(file));
    }
  }
  // The show decodes with libjpeg-turbo, the maker encodes with LAME and decodes HEIC with libheif,
  // libde265 and lcms2, all linked statically.
  const statics = [['libjpeg-turbo', 'libjpeg.a'], ['lame', 'libmp3lame.a'], ['libheif', 'libheif.a'],
    ['libde265', 'libde265.a'], ['lcms2', 'liblcms2.a']];
  assert.ok(statics.every(([, archive]) => archives.has(archive)), `static libraries: ${[...archives]}`);
  const linked = new Set(notices.split('\n').filter((line) => line.startsWith('   linked: '))
    .flatMap((line) => line.slice('   linked: '.length).split(', ')));
  for (const archive of archives) assert.ok(linked.has(archive), `NOTICES.txt does not name ${archive}`);
  // Each under its Debian source package at the version pinned for the cross builds.
  const pins = fs.readFileSync(new URL('../../scripts/lib/pins', import.meta.url), 'utf8');
  for (const [name, archive] of statics) {
    const version = pins.match(new RegExp(`^${name} (\\S+) `, 'm'))[1];
    assert.ok(notices.includes(`. ${name} ${version}\n   linked: `) &&
      new RegExp(`^\\d+\\. ${name} .*\\n {3}linked: .*${archive.replace('.', '\\.')}`, 'm').test(notices),
      `NOTICES.txt does not give ${archive} as ${name} ${version}`);
  }
});

test('the show\'s page and the maker\'s page link to NOTICES.txt', () => {
  for (const page of ['index.html', 'maker.html']) {
    const html = fs.readFileSync(path.join(site, page), 'utf8');
    assert.match(html, /<a [^>]*href="NOTICES\.txt"[^>]*>Notices<\/a>/, `${page} has no link to NOTICES.txt`);
  }
});
