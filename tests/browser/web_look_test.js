// What the pages look like: the picture at the largest whole scale that fits, live, at four
// widths; the colours as swatches that follow the selection; the key map in view and keys a
// finger can hit; glyfmend's font table; axe-core in both colour schemes.
//   WEB_SITE=build-web/site DEFAULT_FONT=build/default.fnt node --test web_look_test.js
'use strict';
const {test, before, after} = require('node:test');
const assert = require('node:assert');
const fs = require('fs');
const path = require('path');
const web = require('./web_support');

const site = process.env.WEB_SITE;
const defaultFont = fs.readFileSync(process.env.DEFAULT_FONT);
let server;

before(async () => { server = await web.openSite(site); });
after(() => server.close());

const screens = [{width: 390, height: 844, hasTouch: true, isMobile: true}, {width: 768, height: 1024},
                 {width: 1280, height: 1000}, {width: 1920, height: 1080}];

// The screen pixels of the page inside `box`, as {width, height, rgb: [0xRRGGBB, ...]}.
async function pixelsIn(page, box) {
  return web.pixelsOf(page, await page.screenshot({encoding: 'base64', clip: box, captureBeyondViewport: true}));
}

const boxOf = (page, selector) => page.$eval(selector, e => {
  const r = e.getBoundingClientRect();
  return {x: r.x + window.scrollX, y: r.y + window.scrollY, width: r.width, height: r.height};
});

// Whether the picture is a whole multiple of 320 x 200 that fits its column and the window
// below its top, and the next multiple would not; `why` says what does not hold.
const fitted = () => {
  const canvas = document.getElementById('canvas').getBoundingClientRect();
  const stage = document.getElementById('stage');
  const room = {width: stage.clientWidth, height: window.innerHeight - stage.getBoundingClientRect().top - scrollY};
  const scale = canvas.width / 320;
  const fits = s => 320 * s <= room.width && (200 * s <= room.height || s === 1);
  const why = !Number.isInteger(scale) || canvas.height !== 200 * scale ? `${canvas.width} x ${canvas.height}` :
    !fits(scale) ? `${scale} x does not fit ${JSON.stringify(room)}` : fits(scale + 1) ? `${scale + 1} x fits` :
    document.documentElement.scrollWidth > window.innerWidth ? 'the page scrolls sideways' : '';
  return {scale, why};
};

for (const editor of ['pixmend', 'glyfmend'])
  test(`${editor}: the largest whole scale at four widths, live; square pixels; no sideways scrolling`, async () => {
    const visitor = await web.newVisitor(server);
    const page = await web.openEditor(visitor, server.base, editor);
    for (const screen of screens) {
      await page.setViewport(screen);
      const {scale} = await page.waitForFunction(`(${fitted})().why === ''`, {timeout: 60000, polling: 50})
        .catch(async () => assert.fail(`${screen.width} x ${screen.height}: ${(await page.evaluate(fitted)).why}`))
        .then(() => page.evaluate(fitted));
      // Every picture pixel is a scale x scale square of one colour, on whole screen pixels.
      const shot = await pixelsIn(page, await boxOf(page, '#canvas'));
      assert.deepStrictEqual([shot.width, shot.height], [320 * scale, 200 * scale]);
      const blurred = shot.rgb.findIndex((rgb, i) => {
        const x = i % shot.width;
        const y = Math.floor(i / shot.width);
        return rgb !== shot.rgb[(y - y % scale) * shot.width + x - x % scale];
      });
      assert.strictEqual(blurred, -1, `${screen.width} px wide, at ${scale} x: screen pixel ${blurred % shot.width}, ` +
                                      `${Math.floor(blurred / shot.width)} differs from its square`);
      if (screen.hasTouch) {
        const small = await page.$$eval('#keys button', list => list.map(b => b.getBoundingClientRect())
          .filter(r => r.width < 44 || r.height < 44).length);
        assert.strictEqual(small, 0, 'on-screen keys smaller than 44 x 44');
        // A direction pad, with the action keys beside it.
        const at = name => page.$eval(`#keys [data-key="${name}"]`, b => b.getBoundingClientRect().toJSON());
        const [up, down, left, right, space] = await Promise.all(['Up', 'Down', 'Left', 'Right', 'Space'].map(at));
        assert.ok(up.bottom <= left.top && left.bottom <= down.top && left.right <= up.left && up.right <= right.left);
        assert.ok(space.left >= right.right && space.top < down.bottom, 'the action keys beside the pad');
      }
    }
    await visitor.context.close();
  });

// The rows of the README's key table for `editor`: [keys, effect], without the markup.
function readmeKeys(editor) {
  const readme = fs.readFileSync(path.join(__dirname, '../../README.md'), 'utf8');
  const section = readme.split(/^## /m).find(part => part.startsWith(editor));
  return section.split('\n').filter(line => /^\| (?!Key |---)/.test(line))
    .map(line => line.split('|').slice(1, 3).map(cell => cell.trim().replace(/`/g, '')));
}

test('pixmend: swatches in the palette\'s colours; exactly one pressed, whether chosen by key or by swatch; ' +
     'the key map in view', async () => {
  const visitor = await web.newVisitor(server);
  const page = await web.openEditor(visitor, server.base, 'pixmend');
  await page.setViewport({width: 1280, height: 1000});
  const legend = await page.$eval('.legend', table => table.innerText.replace(/\s+/g, ' '));
  for (const [keys, effect] of [...readmeKeys('pixmend'), ['Tab, Shift+Tab', '']])
    assert.ok(legend.includes(keys) && legend.includes(effect), `${keys}: ${effect} is not in the legend`);

  const names = '0123456789ABCDEFG'.split('');
  for (const [color, name] of names.entries()) {
    const button = await web.control(page, name);
    const box = await button.boundingBox();
    const corner = await pixelsIn(page, {x: box.x + 4, y: box.y + 4, width: 1, height: 1});
    const expected = color === 16 ? [0x808080, 0xB0B0B0] : [web.windowRgb(color)]; // transparent: a checkerboard
    assert.ok(expected.includes(corner.rgb[0]), `swatch ${name}: ${corner.rgb[0].toString(16)}`);
  }
  assert.strictEqual(await page.$eval('[data-key=G]', b => b.textContent), 'Transparent (G)');

  const pressed = () => page.$$eval('#keys [aria-pressed=true]', list => list.map(b => b.getAttribute('aria-label') ||
                                                                                    b.textContent));
  assert.deepStrictEqual(await pressed(), ['1']); // the editor's own first colour
  await web.keys(page, ['KeyC']);
  assert.deepStrictEqual(await pressed(), ['C']);
  await web.click(page, '4');
  assert.deepStrictEqual(await pressed(), ['4']);
  await web.keys(page, ['Space', 'F2']);
  await web.statusSays(page, 'Saved hero.spr in this browser.');
  assert.strictEqual((await visitor.download(page, 'Download')).bytes[2], 4);
  await web.restartBy(page, 'New'); // a new instance starts with its own first colour
  assert.deepStrictEqual(await pressed(), ['1']);
  await visitor.context.close();
});

// The font table's glyphs read from the screen: a 2048-byte font, or `why` it is not one.
async function fontTable(page) {
  const shot = await pixelsIn(page, await boxOf(page, '#font-table'));
  const colors = await page.evaluate(() => ['--text', '--mark'].map(name => {
    const probe = Object.assign(document.createElement('i'), {style: `color: var(${name})`});
    document.body.append(probe);
    const [r, g, b] = getComputedStyle(probe).color.match(/\d+/g).map(Number);
    probe.remove();
    return r << 16 | g << 8 | b;
  }));
  const scale = shot.width / 160; // each table pixel a square of screen pixels
  const at = (x, y) => shot.rgb[(y * scale + scale / 2 | 0) * shot.width + (x * scale + scale / 2 | 0)];
  const font = new Uint8Array(2048);
  let marked = -1;
  for (let glyph = 0; glyph < 256; ++glyph) {
    const left = glyph % 16 * 10;
    const top = (glyph >> 4) * 10;
    if (at(left, top) === colors[1])
      marked = glyph;
    for (let row = 0; row < 8; ++row)
      for (let column = 0; column < 8; ++column)
        if (at(left + 1 + column, top + 1 + row) === colors[0])
          font[glyph * 8 + row] |= 1 << column;
  }
  return {font, marked};
}

test('glyfmend: the font table shows the stored font, follows the glyph keys, and is redrawn after a save',
     async () => {
  const visitor = await web.newVisitor(server);
  const page = await web.openEditor(visitor, server.base, 'glyfmend');
  const legend = await page.$eval('.legend', table => table.innerText.replace(/\s+/g, ' '));
  for (const [keys, effect] of readmeKeys('glyfmend'))
    assert.ok(legend.includes(keys) && legend.includes(effect), `${keys}: ${effect} is not in the legend`);
  let table = await fontTable(page);
  assert.deepStrictEqual(Buffer.from(table.font), defaultFont);
  assert.strictEqual(table.marked, 0);
  await web.click(page, 'Previous glyph'); // 0 wraps to 255
  table = await fontTable(page);
  assert.strictEqual(table.marked, 255);
  await web.click(page, 'Next glyph');
  await web.click(page, 'Next glyph');
  await web.keys(page, ['NumpadAdd', 'Space', 'F2']); // the keyboard's keys count as the buttons do
  await web.statusSays(page, 'Saved default.fnt in this browser.');
  const expected = Buffer.from(defaultFont);
  expected[2 * 8] ^= 1;
  table = await web.waitUntil(async () => {
    const seen = await fontTable(page);
    return Buffer.from(seen.font).equals(expected) && seen;
  }, 'the saved glyph in the table');
  assert.strictEqual(table.marked, 2);
  await visitor.context.close();
});

test('every page in both colour schemes: axe-core finds nothing; the focus shows; Convert to says why it is empty',
     async () => {
  const visitor = await web.newVisitor(server);
  for (const scheme of ['light', 'dark'])
    for (const name of ['index', 'pixmend', 'glyfmend', 'convert']) {
      const page = await visitor.context.newPage();
      await page.emulateMediaFeatures([{name: 'prefers-color-scheme', value: scheme}]);
      await page.goto(server.base + name + '.html');
      if (name.endsWith('mend'))
        await web.waitForEditor(page);
      if (name === 'convert') {
        await page.waitForFunction(() => window.convertPage && convertPage.ready, {timeout: 60000, polling: 20});
        assert.deepStrictEqual(await page.$eval('#target', s => [s.disabled, s.textContent]), [true, 'Choose files first']);
      }
      await page.addScriptTag({path: require.resolve('axe-core/axe.min.js')});
      const found = await page.evaluate(async () => (await axe.run()).violations
        .map(v => `${v.id}: ${v.nodes.map(n => n.target.join(' ')).join(', ')}`));
      assert.deepStrictEqual(found, [], `${name}, ${scheme}`);
      for (const screen of screens) {
        await page.setViewport(screen);
        assert.ok(await page.evaluate(() => document.documentElement.scrollWidth <= innerWidth),
                  `${name} scrolls sideways at ${screen.width} px`);
      }
      // Everything Tab reaches, to the end of the page, shows an outline.
      await page.evaluate(() => document.activeElement.blur());
      for (let stops = 0; ; ++stops) {
        await page.keyboard.press('Tab');
        const outline = await page.evaluate(() => {
          const style = getComputedStyle(document.activeElement);
          return `${document.activeElement.tagName} ${style.outlineStyle} ${style.outlineWidth}`;
        });
        if (outline.startsWith('BODY') || stops === 60)
          break;
        assert.doesNotMatch(outline, / none | 0px$/, `${name}, ${scheme}: ${outline}`);
      }
      await page.close();
    }
  await visitor.context.close();
});
