// The browser's converter against the desktop's: the same rows in the format, mode and
// option tables that --tables-json prints, and the same bytes from the conversions that go through the
// libraries built for the browser (FreeType, giflib, the WOFF2 encoder).
//   WEB_SITE=build-web/site PIXCONV=build/pixconv DEFAULT_FONT=build/default.fnt HERO=assets/hero.spr \
//   node --test web_pixconv_test.js
'use strict';
const {test, before, after} = require('node:test');
const assert = require('node:assert');
const {execFileSync, spawnSync} = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const web = require('./web_support');

const pixconv = process.env.PIXCONV;
const defaultFont = fs.readFileSync(process.env.DEFAULT_FONT);
const hero = fs.readFileSync(process.env.HERO);
const xFont = '/usr/share/fonts/X11/misc/5x8.pcf.gz';

// The rows the desktop has on purpose and the browser has not, by table: watching
// files for changes needs Linux's inotify.
const desktopOnly = [['options', '--watch']];

let server;
let page;

before(async () => {
  server = await web.openSite(process.env.WEB_SITE);
  page = await server.browser.newPage();
  await page.goto(server.base + 'index.html');
  await page.addScriptTag({url: 'pixconv.js'});
  await page.evaluate(async () => {
    window.said = [];
    const say = line => window.said.push(line);
    window.converter = await createPixconv({print: say, printErr: say});
  });
});
after(async () => { await server.close(); });

// Runs the browser's pixconv on `inputs` ({name: bytes}) with `args`; returns its status,
// what it printed, and the bytes of the `outputs` it wrote (absent ones are null).
async function browserRun(inputs, args, outputs = []) {
  const result = await page.evaluate((inputs, args, outputs) => {
    const fs = window.converter.FS;
    for (const [name, bytes] of Object.entries(inputs))
      fs.writeFile(name, new Uint8Array(bytes));
    window.said = [];
    const status = window.converter.callMain(args);
    const files = outputs.map(name => fs.analyzePath(name).exists ? Array.from(fs.readFile(name)) : null);
    return {status, text: window.said.join('\n') + '\n', files};
  }, Object.fromEntries(Object.entries(inputs).map(([name, bytes]) => [name, Array.from(bytes)])), args, outputs);
  result.files = result.files.map(bytes => bytes && Buffer.from(bytes));
  return result;
}

// The same on the desktop, in a fresh folder.
function desktopRun(inputs, args, outputs = []) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'web-pixconv-'));
  for (const [name, bytes] of Object.entries(inputs))
    fs.writeFileSync(path.join(dir, name), bytes);
  const run = spawnSync(pixconv, args, {cwd: dir, encoding: 'latin1'});
  const files = outputs.map(name => {
    const file = path.join(dir, name);
    return fs.existsSync(file) ? fs.readFileSync(file) : null;
  });
  fs.rmSync(dir, {recursive: true});
  return {status: run.status, text: run.stdout + run.stderr, files};
}

// Every row of the three tables that --tables-json prints, as "table: row as JSON".
function tableRows(text) {
  const tables = JSON.parse(text);
  return Object.entries(tables).flatMap(([table, rows]) => rows.map(row => `${table}: ${JSON.stringify(row)}`));
}

function missingFrom(rows, others) {
  return others.filter(row => !rows.includes(row));
}

test('the format, mode and option tables hold the same rows in the browser as on the desktop', async () => {
  const desktop = execFileSync(pixconv, ['--tables-json'], {encoding: 'utf8'});
  const browser = await browserRun({}, ['--tables-json']);
  assert.strictEqual(browser.status, 0, browser.text);
  const desktopRows = tableRows(desktop);
  const browserRows = tableRows(browser.text);
  const allowed = row => desktopOnly.some(([table, name]) => row.startsWith(`${table}: {"name":"${name}"`));
  // The allowance names rows that exist, so that it never hides a row gone astray.
  for (const [table, name] of desktopOnly)
    assert.ok(desktopRows.some(row => row.startsWith(`${table}: {"name":"${name}"`)), `no desktop row ${table} ${name}`);
  assert.ok(desktopRows.some(row => row.startsWith('options: {"name":"--help"')), desktop);
  assert.deepStrictEqual(missingFrom(browserRows, desktopRows.filter(row => !allowed(row))), [],
                         'rows the browser lacks');
  assert.deepStrictEqual(missingFrom(desktopRows, browserRows), [], 'rows the desktop lacks');
  assert.deepStrictEqual(browserRows.filter(allowed), [], 'rows the browser should not have');
  // --help is made from the same rows: the one in the browser differs only by them.
  const help = execFileSync(pixconv, ['--help'], {encoding: 'utf8'});
  assert.strictEqual((await browserRun({}, ['--help'])).text, help.replace(/  --watch [^]*?\n(?=  --help)/, ''));
});

// What the desktop pixconv writes as `output`.
function desktopFile(inputs, args, output) {
  const run = desktopRun(inputs, args, [output]);
  assert.strictEqual(run.status, 0, run.text);
  return run.files[0];
}

test('FreeType, giflib and the WOFF2 encoder give the desktop\'s bytes', async () => {
  // Two frames that differ: the second walks every colour one step on.
  const frames = {'a.spr': hero, 'b.spr': hero.map((byte, i) => i < 2 || byte > 15 ? byte : (byte + 1) & 15)};
  const gifArgs = ['--scale', '2', '--delay', '250', '--loop', '3', 'a.spr', 'b.spr', 'walk.gif'];
  const cases = [
    ['an X11 PCF font read through FreeType', {'5x8.pcf.gz': fs.readFileSync(xFont)}, ['5x8.pcf.gz', 'x.fnt'], ['x.fnt']],
    ['TrueType outlines drawn by FreeType',
     {'font.ttf': desktopFile({'font.fnt': defaultFont}, ['font.fnt', 'font.ttf'], 'font.ttf')},
     ['--size', '8', 'font.ttf', 'back.fnt'], ['back.fnt']],
    ['a font packed as WOFF2', {'font.fnt': defaultFont}, ['font.fnt', 'font.woff2'], ['font.woff2']],
    ['sprites written as a GIF animation', frames, gifArgs, ['walk.gif']],
    ['a GIF animation cut into sprites', {'walk.gif': desktopFile(frames, gifArgs, 'walk.gif')},
     ['walk.gif', 'frame%02d.spr'], ['frame00.spr', 'frame01.spr']],
  ];
  for (const [what, inputs, args, outputs] of cases) {
    const desktop = desktopRun(inputs, args, outputs);
    assert.strictEqual(desktop.status, 0, `${what}, on the desktop: ${desktop.text}`);
    assert.ok(desktop.files.every(Boolean), `${what}: the desktop wrote ${outputs}`);
    const browser = await browserRun(inputs, args, outputs);
    assert.strictEqual(browser.status, 0, `${what}, in the browser: ${browser.text}`);
    assert.deepStrictEqual(browser.files, desktop.files, what);
  }
});
