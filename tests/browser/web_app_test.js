// The editors' pages as an app: files switch inside the page, refused files and bad fields
// leave a working editor, the keyboard alone reaches everything (axe-core agrees), the
// on-screen keys drive the programs, a phone-sized screen, offline starts and installing,
// and files on the user's disk (the pickers replaced by origin-private files).
//   WEB_SITE=build-web/site DEFAULT_FONT=build/default.fnt node --test web_app_test.js
'use strict';
const {test, before, after} = require('node:test');
const assert = require('node:assert');
const {execFileSync} = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const web = require('./web_support');

const site = process.env.WEB_SITE;
const knight = fs.readFileSync(path.join(site, 'hero.spr'));
const defaultFont = fs.readFileSync(process.env.DEFAULT_FONT);
let server;
let scratch;

before(async () => {
  server = await web.openSite(site);
  scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'web-app-'));
});
after(async () => {
  await server.close();
  fs.rmSync(scratch, {recursive: true});
});

async function typeInto(page, name, text) {
  const input = await web.control(page, name);
  await input.click({count: 3});
  await page.keyboard.press('Backspace');
  await input.type(text);
}

function fileOf(name, bytes) {
  const file = path.join(scratch, name);
  fs.writeFileSync(file, bytes);
  return file;
}

const status = page => page.$eval('#status', p => p.textContent);
const runs = page => page.evaluate(() => editorPage.runs);

// Records the page's own navigations; the list must stay empty while files switch.
function navigations(page) {
  const seen = [];
  page.on('framenavigated', frame => { if (frame === page.mainFrame()) seen.push(frame.url()); });
  return seen;
}

test('switching: Open, New and the list\'s Open stay in the page; the notice of a copy stays', async () => {
  const visitor = await web.newVisitor(server);
  const page = await web.openEditor(visitor, server.base, 'pixmend');
  const seen = navigations(page);
  const before = await runs(page);
  await web.chooseFile(page, 'Open', fileOf('hero.spr', Buffer.from([1, 1, 2])));
  await web.waitForEditor(page, before + 1);
  assert.deepStrictEqual(await page.evaluate(() => editorPage.args), ['hero-1.spr']);
  assert.match(await status(page), /hero\.spr in this browser holds other work; this copy is hero-1\.spr\./);
  assert.match(await page.$eval('#editing', p => p.textContent), /hero-1\.spr/);

  await web.restartBy(page, 'New');
  await web.restartBy(page, 'Open hero.spr');
  assert.strictEqual(await page.evaluate(() => document.activeElement.getAttribute('aria-label')), 'Open hero.spr');
  assert.deepStrictEqual(seen, []);
  await visitor.context.close();
});

test('refused files and bad fields: the reason, and the previous file still editable', async () => {
  const visitor = await web.newVisitor(server);
  const page = await web.openEditor(visitor, server.base, 'pixmend');
  let before = await runs(page);
  await web.chooseFile(page, 'Open', path.join(site, 'icon-192.png'));
  await web.statusSays(page, 'icon-192.png is a PNG image, not a sprite file: bring it in through the converter');
  assert.strictEqual(await runs(page), before); // the editor was left alone

  await web.chooseFile(page, 'Open', fileOf('empty.spr', Buffer.alloc(0)));
  await web.statusSays(page, 'Error while loading');
  await web.waitForEditor(page, before);
  assert.match(await status(page), /empty\.spr cannot be opened: the file is empty\.\nError while loading/);
  await web.chooseFile(page, 'Open', fileOf('cut.spr', Buffer.from([4, 4, 1, 2])));
  await web.statusSays(page, 'Error while loading');
  await web.waitForEditor(page, before);
  assert.match(await status(page), /cut\.spr cannot be opened: the file is shorter than its size says/);
  assert.strictEqual(await runs(page), before); // the running editor was never replaced
  assert.deepStrictEqual(await page.evaluate(() => editorPage.args), ['hero.spr']);
  await web.keys(page, ['Digit5', 'Space', 'F2']);
  await web.statusSays(page, 'Saved hero.spr in this browser.');
  assert.strictEqual((await visitor.download(page, 'Download')).bytes[2], 5);

  before = await runs(page);
  for (const [field, text, says] of [['Width', '300', 'Width: '], ['Width', '1e3', 'Width: '],
                                     ['Width', '', 'Width: '], ['Height', '2.5', 'Height: ']]) {
    await typeInto(page, 'Width', '16');
    await typeInto(page, 'Height', '16');
    await typeInto(page, field, text);
    await web.click(page, 'New');
    const message = await page.$eval(field === 'Width' ? '#width' : '#height', input => input.validationMessage);
    assert.ok(message);
    await web.statusSays(page, says + message);
  }
  await typeInto(page, 'Scale', '0');
  await web.click(page, 'Export PNG');
  await web.statusSays(page, 'Scale: ');
  assert.strictEqual(await runs(page), before);
  assert.doesNotMatch(await status(page), /--help|pixconv/);
  await visitor.context.close();
});

// The element that has the focus, as "tag#id" or its accessible label.
const focused = page => page.evaluate(() => {
  const e = document.activeElement;
  return e.getAttribute('aria-label') || e.id || e.textContent.trim() || e.tagName;
});

for (const editor of ['pixmend', 'glyfmend'])
  test(`${editor}: Tab goes into the picture and out again and reaches every control; axe-core finds nothing`,
       async () => {
    const visitor = await web.newVisitor(server);
    const page = await web.openEditor(visitor, server.base, editor);
    assert.strictEqual(await focused(page), 'Editor picture'); // the first start only
    await page.keyboard.press('Tab');
    assert.notStrictEqual(await focused(page), 'Editor picture');
    await page.keyboard.down('Shift');
    await page.keyboard.press('Tab');
    assert.strictEqual(await focused(page), 'Editor picture');
    await page.keyboard.press('Tab');
    await page.keyboard.up('Shift');
    assert.notStrictEqual(await focused(page), 'Editor picture');

    // From the top of the page, Tab alone visits every control and the picture.
    const controls = await page.$$eval('a, button, input, canvas[tabindex]', list => list
      .filter(e => !e.hidden && e.getClientRects().length > 0)
      .map(e => e.getAttribute('aria-label') || e.id || e.textContent.trim()));
    await page.evaluate(() => document.activeElement.blur());
    const reached = new Set();
    for (let i = 0; i < controls.length + 2; ++i) {
      await page.keyboard.press('Tab');
      reached.add(await focused(page));
    }
    assert.deepStrictEqual(controls.filter(name => !reached.has(name)), []);
    // Keys typed after tabbing into the picture reach the program.
    await page.focus('#canvas');
    await page.keyboard.press('Space');
    await page.keyboard.press('F2');
    await web.statusSays(page, 'Saved');

    await page.addScriptTag({path: require.resolve('axe-core/axe.min.js')});
    const found = await page.evaluate(async () => (await axe.run()).violations.map(v => `${v.id}: ${v.help}`));
    assert.deepStrictEqual(found, []);
    await visitor.context.close();
  });

test('the index page: axe-core finds nothing', async () => {
  const visitor = await web.newVisitor(server);
  const page = await visitor.context.newPage();
  await page.goto(server.base + 'index.html');
  await page.addScriptTag({path: require.resolve('axe-core/axe.min.js')});
  assert.deepStrictEqual(await page.evaluate(async () => (await axe.run()).violations.map(v => v.id)), []);
  await visitor.context.close();
});

test('on-screen keys: glyfmend edits glyph 0x41 without a keypad, and the font saved has just that change',
     async () => {
  const visitor = await web.newVisitor(server);
  const page = await web.openEditor(visitor, server.base, 'glyfmend');
  const next = await web.control(page, 'Next glyph');
  for (let i = 0; i < 66; ++i)
    await next.click();
  await web.click(page, 'Previous glyph');
  await web.click(page, 'Right');
  await web.click(page, 'Space');
  await web.click(page, 'F2');
  await web.statusSays(page, 'Saved default.fnt in this browser.');
  const expected = Buffer.from(defaultFont);
  expected[0x41 * 8] ^= 0x02;
  assert.deepStrictEqual((await visitor.download(page, 'Download')).bytes, expected);
  await web.click(page, 'Clear glyph');
  await web.click(page, 'F2');
  await web.waitUntil(async () => (await visitor.download(page, 'Download')).bytes[0x41 * 8 + 1] === 0,
                      'glyph 0x41 cleared');
  await visitor.context.close();
});

test('a phone-sized screen: the picture at half size, sharp, within the width; drawn with the on-screen keys',
     async () => {
  const visitor = await web.newVisitor(server);
  const page = await visitor.context.newPage();
  await page.setViewport({width: 390, height: 844, hasTouch: true, isMobile: true});
  await page.goto(server.base + 'pixmend.html');
  await web.waitForEditor(page);
  const box = await page.$eval('#canvas', canvas => canvas.getBoundingClientRect().toJSON());
  assert.deepStrictEqual([box.width, box.height], [320, 200]);
  assert.ok(await page.evaluate(() => document.documentElement.scrollWidth <= 390));
  for (const key of ['4', 'Right', 'Space', 'F2'])
    await (await web.control(page, key)).tap();
  await web.statusSays(page, 'Saved hero.spr in this browser.');
  const expected = Buffer.from(knight);
  expected[3] = 4;
  assert.deepStrictEqual((await visitor.download(page, 'Download')).bytes, expected);
  // One screen pixel per picture pixel: the pixel drawn shows in its colour once the
  // cursor has moved off it.
  await (await web.control(page, 'Left')).tap();
  await web.waitUntil(async () => (await web.picture(page))[20 * 320 + 21] === web.windowRgb(4), 'the pixel drawn');
  await visitor.context.close();
});

test('offline after one visit: the editors start and save with the server gone; installable', async t => {
  const own = await web.openSite(site);
  t.after(() => own.close()); // a browser left open would keep the test process alive
  // The browser's own profile: Chromium installs nothing from an incognito one.
  const visitor = {context: own.browser.defaultBrowserContext()};
  const page = await web.openEditor(visitor, own.base, 'pixmend');
  await page.waitForFunction(() => navigator.serviceWorker.controller, {timeout: 60000, polling: 50});
  const cdp = await page.createCDPSession();
  assert.deepStrictEqual((await cdp.send('Page.getInstallabilityErrors')).installabilityErrors, []);
  own.stop();
  await page.reload();
  await web.waitForEditor(page);
  await web.keys(page, ['Digit3', 'Space', 'F2']);
  await web.statusSays(page, 'Saved hero.spr in this browser.');
  const fonts = await web.openEditor(visitor, own.base, 'glyfmend');
  await fonts.close();
});

// Pickers that hand out files of the origin-private file system, which offer the same
// createWritable() as files on the disk.
async function withPickers(page) {
  await page.evaluateOnNewDocument(() => {
    const root = () => navigator.storage.getDirectory();
    window.showOpenFilePicker = async () => [await (await root()).getFileHandle('disk.spr')];
    window.showSaveFilePicker = async () => (await root()).getFileHandle('saved.spr', {create: true});
  });
}

const diskFile = (page, name) => page.evaluate(async n => {
  const file = await (await (await navigator.storage.getDirectory()).getFileHandle(n)).getFile();
  return [...new Uint8Array(await file.arrayBuffer())];
}, name);

test('files on the disk: F2 writes the opened file and the one saved there; a refusal keeps the browser\'s copy',
     async () => {
  const visitor = await web.newVisitor(server);
  const page = await visitor.context.newPage();
  await withPickers(page);
  await page.goto(server.base + 'pixmend.html');
  await web.waitForEditor(page);
  await page.evaluate(async () => {
    const handle = await (await navigator.storage.getDirectory()).getFileHandle('disk.spr', {create: true});
    const writable = await handle.createWritable();
    await writable.write(new Uint8Array([2, 1, 7, 7]));
    await writable.close();
  });
  await web.restartBy(page, 'Open from disk…');
  assert.deepStrictEqual(await page.evaluate(() => editorPage.args), ['disk.spr']);
  await web.keys(page, ['Digit9', 'Space', 'F2']);
  await web.statusSays(page, 'Saved disk.spr to disk.spr on disk.');
  assert.deepStrictEqual(await diskFile(page, 'disk.spr'), [2, 1, 9, 7]);

  await page.evaluate(() => {
    const handle = FileSystemHandle.prototype;
    window.realPermissions = [handle.queryPermission, handle.requestPermission];
    handle.queryPermission = async () => 'prompt';
    handle.requestPermission = async () => 'denied';
  });
  await web.keys(page, ['ArrowRight', 'Space', 'F2']);
  await web.statusSays(page, 'not allowed');
  assert.match(await status(page), /Saved disk\.spr in this browser\./);
  assert.deepStrictEqual(await diskFile(page, 'disk.spr'), [2, 1, 9, 7]);
  assert.deepStrictEqual([...(await visitor.download(page, 'Download')).bytes], [2, 1, 9, 9]);
  await page.evaluate(() => {
    [FileSystemHandle.prototype.queryPermission, FileSystemHandle.prototype.requestPermission] = window.realPermissions;
  });

  await web.restartBy(page, 'Open hero.spr');
  await web.click(page, 'Save to disk…');
  await web.statusSays(page, 'Saved hero.spr to saved.spr on disk.');
  await page.evaluate(() => { document.getElementById('status').textContent = ''; });
  await web.keys(page, ['Digit1', 'Space', 'F2']);
  await web.statusSays(page, 'Saved hero.spr to saved.spr on disk.');
  const expected = [...knight];
  expected[2] = 1;
  assert.deepStrictEqual(await diskFile(page, 'saved.spr'), expected);
  await visitor.context.close();
});

test('a new version of the site takes over whole, once no tab runs the old one', async t => {
  const copy = fs.mkdtempSync(path.join(os.tmpdir(), 'web-site-'));
  fs.cpSync(site, copy, {recursive: true});
  const own = await web.openSite(copy);
  t.after(async () => {
    await own.close();
    fs.rmSync(copy, {recursive: true});
  });
  const context = await own.browser.createBrowserContext();
  const text = (page, name) => page.evaluate(async n => (await fetch(n)).text(), name);
  const old = await context.newPage();
  await old.goto(own.base + 'pixmend.html');
  await old.waitForFunction(() => navigator.serviceWorker.controller, {timeout: 60000, polling: 50});

  // The next version changes two files; the build writes its service worker anew.
  const cached = Object.keys(JSON.parse(/const files = (\{[^}]*\});/.exec(
    fs.readFileSync(path.join(copy, 'sw.js'), 'utf8'))[1]));
  for (const name of ['editor.js', 'site.css'])
    fs.appendFileSync(path.join(copy, name), '\n/* the next version */\n');
  execFileSync('node', [path.join(__dirname, '../../web/make-sw.js'), path.join(__dirname, '../../web/sw.js'), copy,
                        ...cached]);
  const second = await context.newPage();
  await second.goto(own.base + 'pixmend.html');
  await web.waitForEditor(second);
  for (const name of ['editor.js', 'site.css'])
    assert.doesNotMatch(await text(second, name), /the next version/, name); // the old version, whole
  await second.waitForFunction(async () => (await navigator.serviceWorker.getRegistration()).waiting,
                               {timeout: 60000, polling: 50});
  await old.close();
  await second.close();

  const fresh = await context.newPage();
  await fresh.goto(own.base + 'pixmend.html');
  await web.waitForEditor(fresh);
  for (const name of ['editor.js', 'site.css'])
    assert.match(await text(fresh, name), /the next version/, name);
  assert.strictEqual((await fresh.evaluate(() => caches.keys())).length, 1);
});
