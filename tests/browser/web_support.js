// What the browser tests share: the site served on 127.0.0.1, Debian's Chromium driven by
// puppeteer-core, downloads caught into a folder, waits on conditions, and the canvas read
// back as the 320 x 200 frame-buffer picture it shows.
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const puppeteer = require('puppeteer-core');
const {serve} = require('./serve');

// Only ends a real hang: every wait returns as soon as its condition holds.
const hangLimit = 60000;

async function openSite(site) {
  const server = await serve(site, 0);
  const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    // Without the address bar's popup: with every new tab, headless Chromium loads that
    // popup's page again, in a renderer of its own, which keeps one of CI's two cores busy
    // through most of the new page's first 200 ms. No headless page can ever show it.
    args: ['--no-sandbox', '--use-gl=swiftshader', '--enable-unsafe-swiftshader', '--window-size=1000,800',
           '--disable-features=WebUIOmniboxPopup,WebUIOmniboxFullPopup,WebUIOmniboxAimPopup'],
    defaultViewport: {width: 1000, height: 800},
  });
  const base = `http://127.0.0.1:${server.address().port}/`;
  // stop() ends the server and its open connections, as a network gone away would.
  const stop = () => { server.close(); server.closeAllConnections(); };
  return {browser, base, stop, close: async () => { await browser.close(); stop(); }};
}

// A fresh profile (its own IndexedDB) whose downloads land in a temporary folder.
async function newVisitor(site) {
  const context = await site.browser.createBrowserContext();
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'web-downloads-'));
  const cdp = await site.browser.target().createCDPSession();
  await cdp.send('Browser.setDownloadBehavior',
                 {behavior: 'allowAndName', downloadPath: folder, eventsEnabled: true, browserContextId: context.id});
  const done = new Map();
  const names = new Map();
  cdp.on('Browser.downloadWillBegin', e => names.set(e.guid, e.suggestedFilename));
  cdp.on('Browser.downloadProgress', e => {
    if (e.state === 'completed')
      done.set(e.guid, true);
  });
  const taken = new Set();
  // Clicks `button` and returns {name, bytes} of the download it starts.
  async function download(page, button) {
    await click(page, button);
    const guid = await waitUntil(() => [...done.keys()].find(g => !taken.has(g)), `a download from ${button}`);
    taken.add(guid);
    return {name: names.get(guid), bytes: fs.readFileSync(path.join(folder, guid))};
  }
  return {context, download};
}

async function waitUntil(condition, what) {
  const deadline = Date.now() + hangLimit;
  for (;;) {
    const value = await condition();
    if (value)
      return value;
    if (Date.now() > deadline)
      throw new Error(`gave up waiting for ${what}`);
    await new Promise(resolve => setTimeout(resolve, 20));
  }
}

// Finds a control by its accessible name, as a person using a screen reader would.
// The page comes to the front first, as a person switches to the tab they use: Chromium
// keeps no accessibility tree for a tab in the background.
async function control(page, name) {
  await page.bringToFront();
  return page.waitForSelector(`::-p-aria(${name})`, {timeout: hangLimit});
}

// Chooses `file` (a path, or a list of them) in the file input named `name`. Chromium's accessibility tree names a file
// input, but its search by name alone does not find one, so the search goes by role.
async function chooseFile(page, name, file) {
  const cdp = await page.createCDPSession();
  const {root} = await cdp.send('DOM.getDocument', {depth: 0});
  const {nodes} = await cdp.send('Accessibility.queryAXTree', {nodeId: root.nodeId, role: 'button'});
  const input = nodes.find(node => node.name && node.name.value === name);
  if (!input)
    throw new Error(`no file input named ${name}`);
  await cdp.send('DOM.setFileInputFiles', {files: [].concat(file), backendNodeId: input.backendDOMNodeId});
  await cdp.detach();
}

async function click(page, name) {
  await (await control(page, name)).click();
}

// Opens an editor page and waits until its program runs (main has reached its first wait).
async function openEditor(visitor, base, editor) {
  const page = await visitor.context.newPage();
  await page.goto(base + editor + '.html');
  await waitForEditor(page);
  return page;
}

// Waits until the page's program runs, the page has done what it was asked and its list of
// files has been filled; with `runs`, until that many programs have run in the page.
async function waitForEditor(page, runs = 1) {
  // Polled by time, not by animation frames: a tab in the background draws none.
  await page.waitForFunction(n => window.editorPage && editorPage.runs >= n && editorPage.running && editorPage.idle &&
                                  !document.querySelector('#files[aria-busy]'),
                             {timeout: hangLimit, polling: 20}, runs);
}

// Clicks a control that starts the editor on another file inside the page, and waits for
// that program to run. A navigation on the way fails the test: the page must stay.
async function restartBy(page, name) {
  const runs = await page.evaluate(() => editorPage.runs);
  const navigated = [];
  const onNavigation = frame => { if (frame === page.mainFrame()) navigated.push(frame.url()); };
  page.on('framenavigated', onNavigation);
  await click(page, name);
  await waitForEditor(page, runs + 1);
  page.off('framenavigated', onNavigation);
  if (navigated.length)
    throw new Error(`${name} reloaded the page`);
}

async function statusSays(page, text) {
  await page.waitForFunction(t => document.getElementById('status').textContent.includes(t),
                             {timeout: hangLimit, polling: 20}, text);
}

// Types keys into the canvas, after a click has given it the focus.
async function keys(page, list) {
  await page.bringToFront();
  await page.click('#canvas');
  for (const key of list)
    await page.keyboard.press(key);
}

// The screen pixels of a screenshot (base64 PNG), as {width, height, rgb: [0xRRGGBB, ...]};
// with `grid` ({columns, rows}), only the pixel at the centre of each cell of that grid.
function pixelsOf(page, png, grid = null) {
  return page.evaluate(async (data, cells) => {
    const image = new Image();
    image.src = 'data:image/png;base64,' + data;
    await image.decode();
    const board = Object.assign(document.createElement('canvas'), {width: image.width, height: image.height});
    const context = board.getContext('2d');
    context.drawImage(image, 0, 0);
    const bytes = context.getImageData(0, 0, image.width, image.height).data;
    const {columns, rows} = cells || {columns: image.width, rows: image.height};
    const rgb = [];
    for (let y = 0; y < rows; ++y)
      for (let x = 0; x < columns; ++x) {
        const i = 4 * (Math.floor((y + 0.5) * image.height / rows) * image.width +
                       Math.floor((x + 0.5) * image.width / columns));
        rgb.push(bytes[i] << 16 | bytes[i + 1] << 8 | bytes[i + 2]);
      }
    return {width: columns, height: rows, rgb};
  }, png, grid);
}

// The 320 x 200 picture the canvas shows on screen, as 0xRRGGBB numbers: each
// frame-buffer pixel is a square block there.
async function picture(page) {
  const canvas = await page.$('#canvas');
  return (await pixelsOf(page, await canvas.screenshot({encoding: 'base64'}), {columns: 320, rows: 200})).rgb;
}

// Colour index to the RGB the editors' window shows (0xA0 a channel, 0x5F added for 8-15).
function windowRgb(color) {
  const bright = color & 8 ? 0x5F : 0;
  return ((color & 4 ? 0xA0 : 0) + bright) << 16 | ((color & 2 ? 0xA0 : 0) + bright) << 8 |
         ((color & 1 ? 0xA0 : 0) + bright);
}

// Waits until the canvas shows `expected` (320 x 200 RGB, null where anything goes);
// returns the first difference found in the last picture, or "".
async function shows(page, expected) {
  let last = '';
  const deadline = Date.now() + hangLimit;
  for (;;) {
    const seen = await picture(page);
    const at = seen.findIndex((rgb, i) => expected[i] !== null && rgb !== expected[i]);
    if (at < 0)
      return '';
    last = `at ${at % 320}, ${Math.floor(at / 320)}: ${seen[at].toString(16)} instead of ${expected[at].toString(16)}`;
    if (Date.now() > deadline)
      return last;
  }
}

module.exports = {openSite, newVisitor, openEditor, waitForEditor, restartBy, chooseFile, statusSays, keys, click, control, picture, pixelsOf,
                  windowRgb, shows, waitUntil};
