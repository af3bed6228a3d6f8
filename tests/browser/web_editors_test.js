// The editors' web pages in headless Chromium: keys, the safe save into IndexedDB, reloads,
// downloads, the converter's exports against the desktop pixconv, a refused save, and keys
// typed into the page's own inputs.
//   WEB_SITE=build-web/site PIXCONV=build/pixconv DEFAULT_FONT=build/default.fnt node web_editors_test.js
'use strict';
const {test, before, after} = require('node:test');
const assert = require('node:assert');
const {execFileSync} = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const web = require('./web_support');

const site = process.env.WEB_SITE;
const pixconv = process.env.PIXCONV;
const defaultFont = fs.readFileSync(process.env.DEFAULT_FONT);
let server;

before(async () => { server = await web.openSite(site); });
after(async () => { await server.close(); });

// What the desktop pixconv writes for `bytes` (a file named `name`) with `options`.
function desktopConversion(name, bytes, ending, options = []) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'web-pixconv-'));
  const input = path.join(dir, name);
  fs.writeFileSync(input, bytes);
  const output = input.replace(/\.[^.]*$/, ending);
  execFileSync(pixconv, [input, output, ...options]);
  const result = fs.readFileSync(output);
  fs.rmSync(dir, {recursive: true});
  return result;
}

async function typeInto(page, name, text) {
  const input = await web.control(page, name);
  await input.click({count: 3});
  await input.type(text);
}

// The sprite editor's picture for a 16 x 16 sprite whose pixel (0, 0) is 12, selected
// colour 12, and the cursor (blinking, so not compared) at sprite pixel (cx, 0).
function spriteScreen(cx) {
  const blue = web.windowRgb(1);
  const frame = new Array(320 * 200).fill(blue);
  for (let y = 0; y < 16; ++y)
    for (let x = 0; x < 16; ++x)
      frame[(20 + y) * 320 + 20 + x] = web.windowRgb(~12 & 15); // the backdrop of transparent pixels
  frame[20 * 320 + 20] = web.windowRgb(12);
  frame[20 * 320 + 20 + cx] = null;
  return frame;
}

test('pixmend: a new sprite drawn, saved, downloaded, shown as on the desktop, kept over a reload', async () => {
  const visitor = await web.newVisitor(server);
  const page = await web.openEditor(visitor, server.base, 'pixmend');
  await typeInto(page, 'Width', '16');
  await typeInto(page, 'Height', '16');
  await web.restartBy(page, 'New');
  assert.deepStrictEqual(await page.evaluate(() => editorPage.args), ['sprite.spr', '16', '16']);

  await web.keys(page, ['KeyC', 'Space']);
  // Keys typed into the page's inputs stay there: 9 and Space here would paint pixel 0 in 9.
  await typeInto(page, 'Width', '9 ');
  await web.keys(page, ['F2']);
  await web.statusSays(page, 'Saved sprite.spr');
  const expected = Buffer.from([0x10, 0x10, 0x0C, ...new Array(255).fill(0xFF)]);
  const saved = await visitor.download(page, 'Download');
  assert.strictEqual(saved.name, 'sprite.spr');
  assert.deepStrictEqual(saved.bytes, expected);
  await web.keys(page, ['ArrowRight']);
  assert.strictEqual(await web.shows(page, spriteScreen(1)), '');

  const png = await (async () => {
    await typeInto(page, 'Scale', '3');
    return visitor.download(page, 'Export PNG');
  })();
  assert.strictEqual(png.name, 'sprite.png');
  assert.deepStrictEqual(png.bytes, desktopConversion('sprite.spr', expected, '.png', ['--scale', '3']));

  await page.reload();
  await web.waitForEditor(page);
  assert.deepStrictEqual(await page.evaluate(() => editorPage.args), ['sprite.spr']);
  assert.deepStrictEqual((await visitor.download(page, 'Download')).bytes, expected);
  await visitor.context.close();
});

test('glyfmend: the default font edited, saved, downloaded, exported as pixconv does, kept over a reload',
     async () => {
  const visitor = await web.newVisitor(server);
  const page = await web.openEditor(visitor, server.base, 'glyfmend');
  await web.restartBy(page, 'New');
  await web.restartBy(page, 'Default font');
  assert.deepStrictEqual(await page.evaluate(() => editorPage.args), ['default.fnt']);

  await web.keys(page, [...new Array(65).fill('NumpadAdd'), 'Space', 'ArrowRight', 'Space', 'ArrowDown', 'Space',
                        'F2']);
  await web.statusSays(page, 'Saved default.fnt');
  const expected = Buffer.from(defaultFont);
  expected[65 * 8] ^= 0x03;
  expected[65 * 8 + 1] ^= 0x02;
  assert.deepStrictEqual((await visitor.download(page, 'Download')).bytes, expected);

  await typeInto(page, 'Scale', '2');
  for (const [button, ending, options] of [['Export PNG', '.png', ['--scale', '2']], ['Export PSF', '.psf', []],
                                           ['Export BDF', '.bdf', []]]) {
    const exported = await visitor.download(page, button);
    assert.strictEqual(exported.name, 'default' + ending);
    assert.deepStrictEqual(exported.bytes, desktopConversion('default.fnt', expected, ending, options), button);
  }

  await page.reload();
  await web.waitForEditor(page);
  assert.deepStrictEqual(await page.evaluate(() => editorPage.args), ['default.fnt']);
  assert.deepStrictEqual((await visitor.download(page, 'Download')).bytes, expected);
  await visitor.context.close();
});

test('a save that the browser refuses says "Error while saving", and editing and saving go on', async () => {
  const visitor = await web.newVisitor(server);
  const page = await web.openEditor(visitor, server.base, 'pixmend');
  await web.restartBy(page, 'Sample knight');
  const knight = fs.readFileSync(path.join(site, 'hero.spr'));
  await page.evaluate(() => {
    window.realPut = IDBObjectStore.prototype.put;
    IDBObjectStore.prototype.put = () => { throw new DOMException('The quota is used up.', 'QuotaExceededError'); };
  });
  await web.keys(page, ['Digit5', 'Space', 'F2']);
  await web.statusSays(page, 'Error while saving');
  await page.evaluate(() => { IDBObjectStore.prototype.put = window.realPut; });

  await web.keys(page, ['ArrowRight', 'Space', 'F2']);
  await web.statusSays(page, 'Saved hero.spr');
  const expected = Buffer.from(knight);
  expected[2] = 5;
  expected[3] = 5;
  await page.reload();
  await web.waitForEditor(page);
  assert.deepStrictEqual((await visitor.download(page, 'Download')).bytes, expected);
  await visitor.context.close();
});

test('Open copies a file into storage and opens it; a file the editor refuses is not kept', async () => {
  const visitor = await web.newVisitor(server);
  const page = await web.openEditor(visitor, server.base, 'pixmend');
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'web-open-'));
  const mine = Buffer.from([2, 1, 5, 255]);
  fs.writeFileSync(path.join(dir, 'mine.spr'), mine);
  fs.writeFileSync(path.join(dir, 'short.spr'), Buffer.from([9]));
  const runs = await page.evaluate(() => editorPage.runs);
  await web.chooseFile(page, 'Open', path.join(dir, 'mine.spr'));
  await web.waitForEditor(page, runs + 1);
  assert.deepStrictEqual(await page.evaluate(() => editorPage.args), ['mine.spr']);
  assert.deepStrictEqual((await visitor.download(page, 'Download')).bytes, mine);

  await web.chooseFile(page, 'Open', path.join(dir, 'short.spr'));
  await web.statusSays(page, 'Error while loading'); // as on the desktop; the editor stays as it was
  await web.waitForEditor(page, runs + 1);
  assert.deepStrictEqual(await page.evaluate(() => editorPage.args), ['mine.spr']);
  await page.reload();
  await web.waitForEditor(page);
  assert.deepStrictEqual(await page.evaluate(() => editorPage.args), ['mine.spr']);
  assert.strictEqual(await page.$('::-p-aria(Open short.spr)'), null);
  fs.rmSync(dir, {recursive: true});
  await visitor.context.close();
});
