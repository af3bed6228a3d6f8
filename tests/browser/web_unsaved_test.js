// Nothing drawn is lost by switching files: a file the editor refuses leaves the running
// editor as it was, unsaved changes included; anything else that would replace a file with
// unsaved changes asks first (Save, Discard changes, Cancel), and so does leaving the tab.
//   WEB_SITE=build-web/site DEFAULT_FONT=build/default.fnt node --test web_unsaved_test.js
'use strict';
const {test, before, after} = require('node:test');
const assert = require('node:assert');
const fs = require('fs');
const os = require('os');
const path = require('path');
const web = require('./web_support');

const site = process.env.WEB_SITE;
const defaultFont = fs.readFileSync(process.env.DEFAULT_FONT);
let server;
let scratch;

before(async () => {
  server = await web.openSite(site);
  scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'web-unsaved-'));
});
after(async () => {
  await server.close();
  fs.rmSync(scratch, {recursive: true});
});

function fileOf(name, bytes) {
  const file = path.join(scratch, name);
  fs.writeFileSync(file, bytes);
  return file;
}

async function typeInto(page, name, text) {
  const input = await web.control(page, name);
  await input.click({count: 3});
  await page.keyboard.press('Backspace');
  await input.type(text);
}

const stored = (page, editor, name) => page.evaluate(async (e, n) => {
  const record = await browserFiles.get(e, n);
  return record ? Array.from(record.bytes) : null;
}, editor, name);
const state = page => page.evaluate(() => ({args: editorPage.args, unsaved: editorPage.unsaved,
                                            editing: document.getElementById('editing').textContent}));
// The page has done what it was asked, and the program has handled every key typed.
const idle = page => page.waitForFunction(() => editorPage.idle && editorPage.running && editorPage.settled,
                                          {polling: 20});

async function newSprite(page, name, width, height) {
  await typeInto(page, 'Name', name);
  await typeInto(page, 'Width', String(width));
  await typeInto(page, 'Height', String(height));
  await web.restartBy(page, 'New');
}

// Opens each refused file in turn; each time the editor stays on `args` with its change.
async function refuseAll(page, args) {
  const refused = [['empty.spr', Buffer.alloc(0), 'Error while loading'],
                   ['short.spr', Buffer.from([4, 4, 1, 2]), 'Error while loading'],
                   ['picture.png', fs.readFileSync(path.join(site, 'icon-192.png')), 'is a PNG image']];
  for (const [file, bytes, says] of refused) {
    await web.chooseFile(page, 'Open', fileOf(file, bytes));
    await web.statusSays(page, says);
    await idle(page);
    assert.match(await page.$eval('#status', p => p.textContent), new RegExp(file.replace('.', '\\.')));
    assert.deepStrictEqual(await state(page), {args, unsaved: true, editing: `Editing ${args[0]}, not saved`});
  }
}

test('pixmend: refused files leave the editor on its file with its unsaved change; F2 then stores it', async () => {
  const visitor = await web.newVisitor(server);
  const page = await web.openEditor(visitor, server.base, 'pixmend');
  await newSprite(page, 'a.spr', 4, 3);
  await web.keys(page, ['Digit4', 'Space', 'F2']);
  await web.statusSays(page, 'Saved a.spr in this browser.');
  await web.keys(page, ['ArrowDown', 'Digit6', 'Space']);
  await page.waitForFunction(() => editorPage.unsaved, {polling: 20});
  await refuseAll(page, ['a.spr', '4', '3']);
  await web.keys(page, ['F2']);
  await web.statusSays(page, 'Saved a.spr in this browser.');
  const expected = [4, 3, 4, 255, 255, 255, 6, 255, 255, 255, 255, 255, 255, 255];
  assert.deepStrictEqual(await stored(page, 'pixmend', 'a.spr'), expected);

  // A new file never stored: the same, and nothing of it is stored until F2.
  await newSprite(page, 'b.spr', 4, 3);
  await web.keys(page, ['Digit9', 'Space']);
  await page.waitForFunction(() => editorPage.unsaved, {polling: 20});
  await refuseAll(page, ['b.spr', '4', '3']);
  assert.strictEqual(await stored(page, 'pixmend', 'b.spr'), null);
  await web.keys(page, ['F2']);
  await web.statusSays(page, 'Saved b.spr in this browser.');
  assert.deepStrictEqual(await stored(page, 'pixmend', 'b.spr'), [4, 3, 9, ...Array(11).fill(255)]);
  assert.deepStrictEqual(await stored(page, 'pixmend', 'a.spr'), expected);
  await visitor.context.close();
});

test('pixmend: switching with unsaved changes asks; Cancel, Esc, Save and Discard each do what they say',
     async () => {
  const visitor = await web.newVisitor(server);
  const page = await web.openEditor(visitor, server.base, 'pixmend'); // on hero.spr
  await newSprite(page, 'a.spr', 2, 1);
  await web.keys(page, ['F2']);
  await web.statusSays(page, 'Saved a.spr in this browser.');
  const question = () => page.waitForSelector('dialog[open]');

  // Moving and choosing a colour, or drawing a pixel and drawing it back, changes nothing.
  await web.keys(page, ['ArrowRight', 'Digit3', 'Space', 'KeyG', 'Space', 'ArrowLeft']);
  await idle(page);
  assert.strictEqual((await state(page)).unsaved, false);
  await web.restartBy(page, 'Open hero.spr');
  await web.restartBy(page, 'Open a.spr');

  await web.keys(page, ['Digit5', 'Space']);
  await page.waitForFunction(() => editorPage.unsaved, {polling: 20});
  await web.click(page, 'Open hero.spr');
  await question();
  await web.click(page, 'Cancel');
  await idle(page);
  await web.click(page, 'Open hero.spr');
  await question();
  await page.keyboard.press('Escape');
  await idle(page);
  assert.deepStrictEqual(await state(page), {args: ['a.spr'], unsaved: true, editing: 'Editing a.spr, not saved'});
  assert.deepStrictEqual(await stored(page, 'pixmend', 'a.spr'), [2, 1, 255, 255]);

  const runs = await page.evaluate(() => editorPage.runs);
  await web.click(page, 'Open hero.spr');
  await question();
  await web.click(page, 'Save a.spr');
  await web.waitForEditor(page, runs + 1);
  await idle(page);
  assert.deepStrictEqual(await state(page), {args: ['hero.spr'], unsaved: false, editing: 'Editing hero.spr'});
  assert.deepStrictEqual(await stored(page, 'pixmend', 'a.spr'), [2, 1, 5, 255]);

  await web.restartBy(page, 'Open a.spr');
  await web.keys(page, ['Digit7', 'Space']);
  await page.waitForFunction(() => editorPage.unsaved, {polling: 20});
  await web.click(page, 'New');
  await question();
  await web.click(page, 'Discard changes');
  await web.waitForEditor(page, runs + 3);
  await idle(page);
  assert.deepStrictEqual((await state(page)).args, ['a-1.spr', '2', '1']);
  assert.deepStrictEqual(await stored(page, 'pixmend', 'a.spr'), [2, 1, 5, 255]);
  await visitor.context.close();
});

test('leaving the tab asks only while there are unsaved changes', async () => {
  const visitor = await web.newVisitor(server);
  const page = await web.openEditor(visitor, server.base, 'pixmend');
  const asked = [];
  page.on('dialog', dialog => {
    asked.push(dialog.type());
    dialog.dismiss();
  });
  await web.keys(page, ['ArrowRight']);
  await idle(page);
  await page.reload();
  await web.waitForEditor(page);
  assert.deepStrictEqual(asked, []);

  await web.keys(page, ['Digit1', 'Space']);
  await page.waitForFunction(() => editorPage.unsaved, {polling: 20});
  await page.evaluate(() => { setTimeout(() => location.reload(), 0); });
  await web.waitUntil(() => asked.length === 1, 'the leave-page question');
  assert.deepStrictEqual(asked, ['beforeunload']);
  assert.strictEqual(await page.evaluate(() => editorPage.unsaved), true); // the page stayed
  await visitor.context.close();
});

test('glyfmend: a change drawn back is no change; Discard switches and leaves the stored font alone', async () => {
  const visitor = await web.newVisitor(server);
  const page = await web.openEditor(visitor, server.base, 'glyfmend'); // on default.fnt
  await typeInto(page, 'Name', 'blank.fnt');
  await web.restartBy(page, 'New');
  await web.keys(page, ['F2']);
  await web.statusSays(page, 'Saved blank.fnt in this browser.');
  await web.restartBy(page, 'Open default.fnt');

  await web.keys(page, ['Space', 'Space', 'NumpadAdd']);
  await idle(page);
  assert.strictEqual((await state(page)).unsaved, false);
  await web.keys(page, ['Space']);
  await page.waitForFunction(() => editorPage.unsaved, {polling: 20});
  assert.strictEqual((await state(page)).editing, 'Editing default.fnt, not saved');
  const runs = await page.evaluate(() => editorPage.runs);
  await web.click(page, 'Open blank.fnt');
  await page.waitForSelector('dialog[open]');
  await web.click(page, 'Discard changes');
  await web.waitForEditor(page, runs + 1);
  assert.deepStrictEqual((await state(page)).args, ['blank.fnt']);
  assert.deepStrictEqual(Buffer.from(await stored(page, 'glyfmend', 'default.fnt')), defaultFont);
  await visitor.context.close();
});

test('two tabs on one file: Reopen after the other tab saved asks too; a fresh tab finds what was chosen', async () => {
  const visitor = await web.newVisitor(server);
  const a = await web.openEditor(visitor, server.base, 'pixmend');
  await newSprite(a, 'a.spr', 2, 1);
  await web.keys(a, ['F2']);
  await web.statusSays(a, 'Saved a.spr in this browser.');
  const b = await web.openEditor(visitor, server.base, 'pixmend'); // the file saved last: a.spr
  const saveIn = async (page, keys) => {
    await web.keys(page, [...keys, 'F2']);
    await web.statusSays(page, 'Saved a.spr in this browser.');
  };

  await web.keys(a, ['Digit1', 'Space']); // unsaved in A
  await saveIn(b, ['ArrowRight', 'Digit2', 'Space']);
  await web.click(a, 'Reopen a.spr');
  await a.waitForSelector('dialog[open]');
  await web.click(a, 'Cancel');
  await idle(a);
  assert.deepStrictEqual(await stored(a, 'pixmend', 'a.spr'), [2, 1, 255, 2]);
  await web.click(a, 'Reopen a.spr');
  await a.waitForSelector('dialog[open]');
  await web.click(a, 'Save a.spr');
  await web.statusSays(a, 'Saved a.spr in this browser.');
  await idle(a);
  assert.deepStrictEqual(await state(a), {args: ['a.spr'], unsaved: false, editing: 'Editing a.spr'});

  await saveIn(b, ['Digit3', 'Space']); // B's version over A's
  await web.keys(a, ['Digit4', 'Space']);
  await web.click(a, 'Reopen a.spr');
  await a.waitForSelector('dialog[open]');
  await web.click(a, 'Discard changes');
  await idle(a);
  await web.keys(a, ['F2']); // A now holds B's version
  await web.statusSays(a, 'Saved a.spr in this browser.');
  const fresh = await web.openEditor(visitor, server.base, 'pixmend');
  assert.deepStrictEqual(await stored(fresh, 'pixmend', 'a.spr'), [2, 1, 255, 3]);
  await visitor.context.close();
});
