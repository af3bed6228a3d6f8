// The files the editors keep in the browser, used as people use them: several tabs of one
// page in one profile saving in every order, stale tabs, the list of files, and the files
// an earlier version of the site stored. A fresh tab then checks every file and its bytes.
//   WEB_SITE=build-web/site node --test web_storage_test.js
'use strict';
const {test, before, after} = require('node:test');
const assert = require('node:assert');
const fs = require('fs');
const os = require('os');
const path = require('path');
const web = require('./web_support');

const site = process.env.WEB_SITE;
const knight = fs.readFileSync(path.join(site, 'hero.spr'));
let server;

before(async () => { server = await web.openSite(site); });
after(async () => { await server.close(); });

async function typeInto(page, name, text) {
  const input = await web.control(page, name);
  await input.click({count: 3});
  await input.type(text);
}

async function newFile(page, name) {
  await typeInto(page, 'Name', name);
  await web.restartBy(page, 'New');
  assert.strictEqual(await page.evaluate(() => editorPage.args[0]), name);
}

// Types `keys` into the picture, then F2, and waits until the browser has the file.
async function save(page, name, keys = []) {
  await page.evaluate(() => { document.getElementById('status').textContent = ''; });
  await web.keys(page, [...keys, 'F2']);
  await web.statusSays(page, `Saved ${name} in this browser.`);
}

// A new 16 x 16 sprite whose pixel (x, 0) holds `color`, as F2 writes it.
function sprite(pixels) {
  const bytes = Buffer.from([16, 16, ...new Array(256).fill(255)]);
  for (const [x, color] of pixels)
    bytes[2 + x] = color;
  return bytes;
}

// What a fresh tab of the profile finds: every stored file by name, with its bytes.
async function storedFiles(visitor, editor) {
  const page = await web.openEditor(visitor, server.base, editor);
  const names = await page.$$eval('#files li', items => items.map(item => item.dataset.name));
  const found = {};
  for (const name of names)
    found[name] = (await visitor.download(page, `Download ${name}`)).bytes;
  await page.close();
  return found;
}

for (const order of [['A', 'B'], ['B', 'A']])
  test(`two tabs that save in turn (${order.join(' then ')}) keep both files`, async () => {
    const visitor = await web.newVisitor(server);
    const tabs = {A: await web.openEditor(visitor, server.base, 'pixmend'),
                  B: await web.openEditor(visitor, server.base, 'pixmend')};
    await newFile(tabs.A, 'a.spr');
    await newFile(tabs.B, 'b.spr');
    const drawn = {A: ['Digit4', 'Space'], B: ['Digit7', 'Space']};
    for (const tab of order)
      await save(tabs[tab], tab.toLowerCase() + '.spr', drawn[tab]);
    assert.deepStrictEqual(await storedFiles(visitor, 'pixmend'),
                           {'a.spr': sprite([[0, 4]]), 'b.spr': sprite([[0, 7]]), 'hero.spr': knight});
    await visitor.context.close();
  });

test('glyfmend: two tabs saving two fonts keep both', async () => {
  const visitor = await web.newVisitor(server);
  const a = await web.openEditor(visitor, server.base, 'glyfmend');
  const b = await web.openEditor(visitor, server.base, 'glyfmend');
  await newFile(a, 'a.fnt');
  await newFile(b, 'b.fnt');
  await save(b, 'b.fnt', ['ArrowRight', 'Space']);
  await save(a, 'a.fnt', ['Space']);
  const stored = await storedFiles(visitor, 'glyfmend');
  assert.deepStrictEqual(Object.keys(stored).sort(), ['a.fnt', 'b.fnt', 'default.fnt']);
  assert.deepStrictEqual(stored['a.fnt'], Buffer.concat([Buffer.from([1]), Buffer.alloc(2047)]));
  assert.deepStrictEqual(stored['b.fnt'], Buffer.concat([Buffer.from([2]), Buffer.alloc(2047)]));
  await visitor.context.close();
});

test('a stale tab\'s Sample, Open and F2 delete nothing and roll nothing back; ' +
     'of two saves of one file the later wins and the other tab is told', async () => {
  const visitor = await web.newVisitor(server);
  const a = await web.openEditor(visitor, server.base, 'pixmend');
  const b = await web.openEditor(visitor, server.base, 'pixmend');
  await newFile(b, 'b.spr');
  await newFile(a, 'a.spr');
  await save(a, 'a.spr', ['Digit4', 'Space']);

  // B has not reloaded since a.spr was made.
  await web.restartBy(b, 'Sample knight');
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'web-stale-'));
  fs.writeFileSync(path.join(dir, 'mine.spr'), Buffer.from([1, 1, 3]));
  const runs = await b.evaluate(() => editorPage.runs);
  await web.chooseFile(b, 'Open', path.join(dir, 'mine.spr'));
  await web.waitForEditor(b, runs + 1);
  await save(a, 'a.spr', ['ArrowRight', 'Digit5', 'Space']); // a.spr's second version
  await save(b, 'mine.spr', ['Digit6', 'Space']);
  assert.deepStrictEqual(await storedFiles(visitor, 'pixmend'),
                         {'a.spr': sprite([[0, 4], [1, 5]]), 'hero.spr': knight, 'mine.spr': Buffer.from([1, 1, 6])});

  // Both tabs on a.spr: A saves, B is told; B saves after, and its version stays.
  await web.restartBy(b, 'Open a.spr');
  await save(a, 'a.spr', ['ArrowRight', 'Digit8', 'Space']);
  await web.statusSays(b, 'a.spr was changed in another tab.');
  await web.control(b, 'Reopen a.spr');
  await save(b, 'a.spr', ['Digit9', 'Space']);
  await web.statusSays(a, 'a.spr was changed in another tab.');
  assert.deepStrictEqual((await storedFiles(visitor, 'pixmend'))['a.spr'], sprite([[0, 9], [1, 5]]));
  await web.restartBy(a, 'Reopen a.spr');
  assert.deepStrictEqual((await visitor.download(a, 'Download')).bytes, sprite([[0, 9], [1, 5]]));
  fs.rmSync(dir, {recursive: true});
  await visitor.context.close();
});

test('the list: saves in another tab appear; Open, Download and Delete by name; only Delete deletes', async () => {
  const visitor = await web.newVisitor(server);
  const a = await web.openEditor(visitor, server.base, 'pixmend');
  const b = await web.openEditor(visitor, server.base, 'pixmend');
  await newFile(a, 'c.spr');
  await save(a, 'c.spr', ['Digit3', 'Space']);
  await web.control(b, 'Open c.spr'); // no reload in B
  assert.match(await b.$eval('#files li[data-name="c.spr"]', item => item.textContent),
               /258 bytes, sprite 16 × 16, saved /);
  assert.match(await b.$eval('#editing', p => p.textContent), /hero\.spr/);
  await web.restartBy(b, 'Open c.spr');
  assert.match(await b.$eval('#editing', p => p.textContent), /c\.spr/);
  assert.deepStrictEqual((await visitor.download(b, 'Download c.spr')).bytes, sprite([[0, 3]]));

  const dialogs = [];
  b.on('dialog', dialog => {
    dialogs.push(dialog.message());
    return dialogs.length === 1 ? dialog.dismiss() : dialog.accept();
  });
  await web.click(b, 'Delete c.spr'); // dismissed: nothing changes
  await web.waitUntil(() => dialogs.length === 1, 'the question');
  await web.click(b, 'Delete c.spr');
  await web.statusSays(b, 'Deleted c.spr from this browser');
  assert.deepStrictEqual(dialogs.map(m => m.includes('Delete c.spr')), [true, true]);
  await a.waitForFunction(() => !document.querySelector('#files li[data-name="c.spr"]'));
  await web.statusSays(a, 'c.spr was deleted in another tab');
  assert.deepStrictEqual(Object.keys(await storedFiles(visitor, 'pixmend')), ['hero.spr']);
  await visitor.context.close();
});

// Writes files the way the earlier version of the site stored them: its in-memory folder
// mirrored into a database named after the folder, one record per path.
async function writeOldSite(page, editor, entries) {
  await page.evaluate((folder, list) => new Promise((resolve, reject) => {
    const request = indexedDB.open(folder, 21);
    request.onupgradeneeded = () => {
      request.result.createObjectStore('FILE_DATA').createIndex('timestamp', 'timestamp', {unique: false});
    };
    request.onsuccess = () => {
      const transaction = request.result.transaction('FILE_DATA', 'readwrite');
      const store = transaction.objectStore('FILE_DATA');
      store.put({timestamp: new Date(2026, 0, 1), mode: 0o40777}, folder);
      for (const [name, bytes, when] of list)
        store.put({timestamp: new Date(when), mode: 0o100644, contents: new Uint8Array(bytes)}, `${folder}/${name}`);
      transaction.oncomplete = () => { request.result.close(); resolve(); };
      transaction.onerror = () => reject(transaction.error);
    };
    request.onerror = () => reject(request.error);
  }), '/' + editor, entries);
}

test('the files an earlier version of the site stored are all listed and intact', async () => {
  const visitor = await web.newVisitor(server);
  const first = await visitor.context.newPage();
  await first.goto(server.base + 'index.html');
  const font = [...Buffer.alloc(2048, 0x5A)];
  await writeOldSite(first, 'pixmend', [['old.spr', [2, 1, 3, 4], '2026-02-01'],
                                        ['hero.spr', [...knight], '2025-06-01'],
                                        ['.old.spr.AbC123', [9], '2026-03-01']]);
  await writeOldSite(first, 'glyfmend', [['mine.fnt', font, '2026-01-01']]);
  await first.close();

  const sprites = await storedFiles(visitor, 'pixmend');
  assert.deepStrictEqual(sprites, {'hero.spr': knight, 'old.spr': Buffer.from([2, 1, 3, 4])});
  const fonts = await storedFiles(visitor, 'glyfmend');
  assert.deepStrictEqual(fonts, {'mine.fnt': Buffer.from(font)});
  // The newest of them is what the editor opens, as the earlier version did.
  const page = await web.openEditor(visitor, server.base, 'pixmend');
  assert.deepStrictEqual(await page.evaluate(() => editorPage.args), ['old.spr']);
  await visitor.context.close();
});
