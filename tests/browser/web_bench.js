// Measures the editors' web pages in headless Chromium (a benchmark, not a test): the time
// from navigation to the first frame, keydown to the changed pixel on screen in animation
// frames, the idle CPU of an editor page beside a blank page measured in the same run,
// and each editor page's size with all it loads, gzipped.
//   node web_bench.js SITE
'use strict';
const fs = require('fs');
const path = require('path');
const zlib = require('zlib');
const web = require('./web_support');

const site = process.argv[2];
const median = list => [...list].sort((a, b) => a - b)[Math.floor(list.length / 2)];

// Main-thread busy time of `page` over `seconds`, as a share of one core.
async function cpuShare(page, seconds) {
  const cdp = await page.createCDPSession();
  await cdp.send('Performance.enable');
  const busy = async () => (await cdp.send('Performance.getMetrics')).metrics.find(m => m.name === 'TaskDuration').value;
  const before = await busy();
  const start = Date.now();
  await new Promise(resolve => setTimeout(resolve, seconds * 1000)); // a measuring span, not a wait for a condition
  return (await busy() - before) / ((Date.now() - start) / 1000);
}

// From navigation start to the first animation frame after the program drew its first
// picture, in a new tab of `context`.
async function firstFrame(context, base, editor) {
  const page = await context.newPage();
  await page.goto(base + editor + '.html');
  await page.waitForFunction(() => performance.getEntriesByName('editor-first-frame').length > 0,
                             {timeout: 60000, polling: 10});
  const at = await page.evaluate(() => performance.getEntriesByName('editor-first-frame')[0].startTime);
  return {page, at};
}

// The same for a page with no program, the reference measured in the same run.
async function plainFrame(context, base) {
  const page = await context.newPage();
  await page.goto(base + 'index.html');
  const at = await page.evaluate(() => new Promise(resolve => requestAnimationFrame(() => resolve(performance.now()))));
  await page.close();
  return at;
}

// Cold: each visit in a new profile (no cache, no service worker). Warm: visits after one
// visit in the same profile has installed the service worker.
async function startUp(server, editor) {
  const cold = [];
  const plain = [];
  for (let i = 0; i < 5; ++i) {
    const context = await server.browser.createBrowserContext();
    cold.push((await firstFrame(context, server.base, editor)).at);
    await context.close();
    const other = await server.browser.createBrowserContext();
    plain.push(await plainFrame(other, server.base));
    await other.close();
  }
  const context = await server.browser.createBrowserContext();
  const {page} = await firstFrame(context, server.base, editor);
  await page.waitForFunction(() => navigator.serviceWorker.controller, {timeout: 60000, polling: 10});
  await page.close();
  const warm = [];
  for (let i = 0; i < 6; ++i) {
    const visit = await firstFrame(context, server.base, editor);
    if (i > 0) // the first of them gives the browser the chance to cache the compiled code
      warm.push(visit.at);
    await visit.page.close();
  }
  await context.close();
  return {cold: median(cold), warm: median(warm), plain: median(plain)};
}

// Animation frames from a keydown to the first frame whose picture shows its effect: key 0
// and key G turn the backdrop of the sprite's transparent pixels white and black.
async function keyLatencies(page, presses) {
  await page.click('#canvas');
  const frames = [];
  for (let i = 0; i < presses; ++i) {
    const key = i % 2 ? 'KeyG' : 'Digit0';
    const want = i % 2 ? 0x000000 : 0xFFFFFF;
    await page.evaluate(() => {
      window.keyFrames = null;
      window.addEventListener('keydown', () => { window.keyAt = performance.now(); }, {once: true, capture: true});
    });
    await page.keyboard.press(key);
    // The picture is read from the screen once per animation frame until it changes.
    for (let frame = 1; ; ++frame) {
      await page.evaluate(() => new Promise(resolve => requestAnimationFrame(resolve)));
      const shown = await web.picture(page);
      if (shown[30 * 320 + 30] === want) {
        frames.push(frame);
        break;
      }
      if (frame > 600)
        throw new Error('the key never showed');
    }
  }
  return frames;
}

function gzippedSize(files) {
  return files.reduce((sum, file) => sum + zlib.gzipSync(fs.readFileSync(path.join(site, file)), {level: 9}).length, 0);
}

(async () => {
  const server = await web.openSite(site);
  const visitor = await web.newVisitor(server);
  for (const editor of ['pixmend', 'glyfmend']) {
    const {cold, warm, plain} = await startUp(server, editor);
    console.log(`navigation to first frame (${editor}, median of 5): cold ${cold.toFixed(0)} ms (goal <= 250 ms), ` +
                `warm ${warm.toFixed(0)} ms (goal <= 150 ms); the index page's first frame, cold, ` +
                `${plain.toFixed(0)} ms (cold ${(cold / plain).toFixed(1)} times that)`);
  }

  const {page} = await firstFrame(visitor.context, server.base, 'pixmend');
  await web.restartBy(page, 'New'); // a 16 x 16 sprite, all transparent
  const frames = await keyLatencies(page, 20);
  console.log(`keydown to the changed pixel on screen (median of 20): ${median(frames)} animation frames (goal <= 2)`);

  const blank = await visitor.context.newPage();
  await blank.goto(server.base + 'index.html');
  const [editorCpu, blankCpu] = await Promise.all([cpuShare(page, 10), cpuShare(blank, 10)]);
  console.log(`idle CPU over 10 s: editor page ${(100 * editorCpu).toFixed(2)} % of a core, ` +
              `a plain page ${(100 * blankCpu).toFixed(2)} % (goal <= 1 %)`);
  await server.close();

  for (const editor of ['pixmend', 'glyfmend']) {
    const files = [`${editor}.html`, 'files.js', 'editor.js', 'site.css', `${editor}.js`, `${editor}.wasm`];
    console.log(`${editor} page with all it loads, gzipped: ${(gzippedSize(files) / 1024).toFixed(0)} KB ` +
                `(goal <= 350 KB; the converter, loaded on the first export: ` +
                `${(gzippedSize(['pixconv.js', 'pixconv.wasm']) / 1024).toFixed(0)} KB)`);
  }
  const converterPage = ['convert.html', 'files.js', 'convert.js', 'site.css', 'pixconv.js', 'pixconv.wasm', 'fflate.js'];
  console.log(`converter page with all it loads, gzipped: ${(gzippedSize(converterPage) / 1024).toFixed(0)} KB ` +
              '(aim <= 1.2 MB)');
  const cached = fs.readdirSync(site).filter(name => fs.statSync(path.join(site, name)).isFile());
  console.log(`the whole site the service worker keeps: ${cached.length} files, ` +
              `${(cached.reduce((sum, name) => sum + fs.statSync(path.join(site, name)).size, 0) / 1024).toFixed(0)} KB, ` +
              `${(gzippedSize(cached) / 1024).toFixed(0)} KB gzipped`);
})().catch(err => {
  console.error(err);
  process.exit(1);
});
