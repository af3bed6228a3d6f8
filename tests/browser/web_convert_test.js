// The converter page against the desktop pixconv: every format row that writes and every
// mode gives the desktop's bytes (a .zip's files included), some cases through the form's
// controls, the rest through the command line; fonts from elsewhere come in as the same
// 2048 bytes; the converter's error line shows; a kept output opens in the editor.
//   WEB_SITE=build-web/site PIXCONV=build/pixconv DEFAULT_FONT=build/default.fnt HERO=assets/hero.spr \
//   node --test web_convert_test.js
'use strict';
const {test, before, after} = require('node:test');
const assert = require('node:assert');
const {execFileSync, spawnSync} = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const web = require('./web_support');
// The site's own copy of the .zip library reads what the page packed.
const {unzipSync} = require(path.resolve(process.env.WEB_SITE, 'fflate.js'));

const pixconv = process.env.PIXCONV;
const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'web-convert-'));
const file = (name, bytes) => (fs.writeFileSync(path.join(folder, name), bytes), name);

// A Windows FON holding one FNT (version 2, 8 x 8 pixels, one byte a row) made of `font`'s
// glyphs: an MZ stub whose NE resource table lists the FNT as a font resource.
function windowsFon(font) {
  const fnt = Buffer.alloc(118 + 257 * 4 + 256 * 8 + 9);
  for (let code = 0; code < 256; ++code) {
    fnt.writeUInt16LE(8, 118 + 4 * code);
    fnt.writeUInt16LE(118 + 257 * 4 + 8 * code, 118 + 4 * code + 2);
    font.copy(fnt, 118 + 257 * 4 + 8 * code, 8 * code, 8 * code + 8);
  }
  const nameAt = 118 + 257 * 4 + 256 * 8;
  fnt.writeUInt16LE(nameAt, 118 + 4 * 256 + 2); // the end of the last glyph
  fnt.write('Stepped\0', nameAt, 'latin1');
  fnt.writeUInt16LE(0x200, 0);
  fnt.writeUInt32LE(fnt.length, 2);
  for (const [at, value] of [[68, 8], [70, 72], [72, 72], [74, 7], [83, 400], [88, 8], [91, 8], [93, 8]])
    fnt.writeUInt16LE(value, at);
  fnt[96] = 255;
  fnt[98] = 32;
  fnt.writeUInt32LE(nameAt, 104);
  fnt.writeUInt32LE(118 + 257 * 4, 112);
  const stub = Buffer.alloc(160);
  stub.write('MZ', 0, 'latin1');
  stub.writeUInt32LE(64, 60);
  stub.write('NE', 64, 'latin1');
  stub.writeUInt16LE(64, 64 + 36);         // resource table, from the NE header
  stub.writeUInt16LE(64 + 24, 64 + 38);    // resident names, just after it
  const table = 128;
  for (const [at, value] of [[0, 4], [2, 0x8008], [4, 1], [10, 160 >> 4], [12, (fnt.length + 15) >> 4],
                             [14, 0x1C30], [16, 0x8001]])
    stub.writeUInt16LE(value, table + at);
  return Buffer.concat([stub, fnt]);
}

// A TrueType font of three square-cornered glyphs, made by fontTools.
function trueType() {
  const out = path.join(folder, 'boxes.ttf');
  execFileSync('/usr/bin/python3', ['-c', `import sys
from fontTools.fontBuilder import FontBuilder
from fontTools.pens.ttGlyphPen import TTGlyphPen
def box(x0, y0, x1, y1):
    pen = TTGlyphPen(None)
    pen.moveTo((x0, y0)); pen.lineTo((x0, y1)); pen.lineTo((x1, y1)); pen.lineTo((x1, y0)); pen.closePath()
    return pen.glyph()
boxes = {".notdef": (0, 0, 512, 512), "A": (128, 0, 512, 768), "B": (0, -128, 896, 896), "a": (256, 0, 768, 384)}
builder = FontBuilder(1024, isTTF=True)
builder.setupGlyphOrder(list(boxes))
builder.setupCharacterMap({0x41: "A", 0x42: "B", 0x61: "a"})
builder.setupGlyf({name: box(*b) for name, b in boxes.items()})
builder.setupHorizontalMetrics({name: (1024, b[0]) for name, b in boxes.items()})
builder.setupHorizontalHeader(ascent=896, descent=-128)
builder.setupNameTable({"familyName": "Boxes", "styleName": "Regular"})
builder.setupOS2(sTypoAscender=896, sTypoDescender=-128, usWinAscent=896, usWinDescent=128)
builder.setupPost()
builder.save(sys.argv[1])
`, out]);
  return 'boxes.ttf';
}

// Runs the desktop pixconv with `args` on `inputs` (names in `folder`), in a fresh folder
// with the folders it cuts into made; returns its status, stderr and the files it wrote.
function desktop(inputs, args) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'web-convert-desktop-'));
  for (const name of inputs)
    fs.copyFileSync(path.join(folder, name), path.join(dir, name));
  for (const word of args.filter(word => word.endsWith('/')))
    fs.mkdirSync(path.join(dir, word), {recursive: true});
  const run = spawnSync(pixconv, args, {cwd: dir, encoding: 'utf8'});
  const written = {};
  for (const name of fs.readdirSync(dir, {recursive: true}))
    if (!inputs.includes(name) && fs.statSync(path.join(dir, name)).isFile())
      written[name] = fs.readFileSync(path.join(dir, name));
  fs.rmSync(dir, {recursive: true});
  return {status: run.status, errors: run.stderr.trim(), written};
}

const hero = fs.readFileSync(process.env.HERO);
const font = fs.readFileSync(process.env.DEFAULT_FONT);
file('hero.spr', hero);
file('a.spr', hero);
file('b.spr', hero.map((byte, i) => i < 2 || byte > 15 ? byte : (byte + 1) & 15));
file('font.fnt', font);
file('5x8.pcf.gz', fs.readFileSync('/usr/share/fonts/X11/misc/5x8.pcf.gz'));
file('stepped.fon', windowsFon(font));
trueType();
for (const [name, bytes] of Object.entries(desktop(['a.spr', 'b.spr'], ['a.spr', 'b.spr', 'sheet.png']).written))
  file(name, bytes);
file('font.png', desktop(['font.fnt'], ['font.fnt', 'font.png']).written['font.png']);
file('hero.png', desktop(['hero.spr'], ['hero.spr', 'hero.png']).written['hero.png']);

// [what, chosen files, desktop command, form]: with `form` ({target, options: {label:
// value or true}}) the form's controls make the command and the test checks it is this
// one; without, the command is typed into "Command line".
const cases = [
  ['a sprite to a PNG, enlarged', ['hero.spr'], ['--scale', '2', 'hero.spr', 'hero.png'],
   {target: /^PNG/, options: {scale: '2'}}],
  ['sprites packed into a sheet and its atlas', ['a.spr', 'b.spr'], ['--columns', '1', 'a.spr', 'b.spr', 'a.png'],
   {target: /^Sprite sheets: SHEET\.png/, options: {columns: '1'}}],
  ['a sheet cut by its atlas into a folder', ['sheet.png', 'sheet.json'], ['sheet.png', 'sheet/'],
   {target: /FOLDER\//, options: {}}],
  ['a font to PSF version 1', ['font.fnt'], ['--psf1', 'font.fnt', 'font.psf'],
   {target: /\(\.psf\)/, options: {psf1: true}, shown: ['--psf1', '--charset'], hidden: ['--scale', '--columns']}],
  ['a sheet cut by a grid', ['sheet.png'],
   ['--cell', `${hero[0]}x${hero[1]}`, '--offset', '0x0', '--skip-empty', 'sheet.png', 'sheet%02d.spr'],
   {target: /NAME%02d/, options: {cell: `${hero[0]}x${hero[1]}`, offset: '0x0', 'skip-empty': true}}],
  ['a font to PSF 2 with its Unicode table', ['font.fnt'], ['--charset', 'cp437', 'font.fnt', 'font.psfu']],
  ['a font to BDF', ['font.fnt'], ['--name', 'Test Face', 'font.fnt', 'font.bdf']],
  ['a font to a C header', ['font.fnt'], ['font.fnt', 'font.h']],
  ['a sprite to a C header', ['hero.spr'], ['--name', 'knight', 'hero.spr', 'knight.h']],
  ['a font to a BMFont text descriptor and its page', ['font.fnt'], ['--bmfont', '--scale', '2', 'font.fnt', 'bm.fnt']],
  ['a font to a BMFont XML descriptor and its page', ['font.fnt'], ['font.fnt', 'font.xml']],
  ['a font to TrueType', ['font.fnt'], ['font.fnt', 'font.ttf']],
  ['a font to WOFF2', ['font.fnt'], ['font.fnt', 'font.woff2']],
  ['a font sheet to a font file', ['font.png'], ['font.png', 'back.fnt']],
  ['a PNG to a sprite file', ['hero.png'], ['hero.png', 'back.spr']],
  ['sprites to a GIF animation', ['a.spr', 'b.spr'], ['--delay', '250', '--loop', '3', 'a.spr', 'b.spr', 'walk.gif']],
  ['sprites to an animated PNG', ['a.spr', 'b.spr'], ['a.spr', 'b.spr', 'walk.apng']],
  ['sprites to a tileset', ['a.spr', 'b.spr'], ['--animation', 'a.spr', 'b.spr', 'tiles.tsx']],
  ['sprites to sprite frames', ['a.spr', 'b.spr'], ['--godot', '3', 'a.spr', 'b.spr', 'walk.tres']],
  ['the palette', [], ['--palette', 'colours.gpl']],
  ['an X11 PCF font in', ['5x8.pcf.gz'], ['5x8.pcf.gz', 'x.fnt']],
  ['a Windows FON in', ['stepped.fon'], ['stepped.fon', 'stepped.fnt']],
  ['a TrueType font in', ['boxes.ttf'], ['--size', '8', 'boxes.ttf', 'boxes.fnt']],
];

let site;
let visitor;
before(async () => {
  site = await web.openSite(process.env.WEB_SITE);
  visitor = await web.newVisitor(site);
});
after(async () => { await site.close(); fs.rmSync(folder, {recursive: true}); });

async function openConverter(query = '') {
  const page = await visitor.context.newPage();
  await page.goto(site.base + 'convert.html' + query);
  await page.waitForFunction(() => window.convertPage && convertPage.ready, {timeout: 60000, polling: 20});
  return page;
}

async function chooseFiles(page, names) {
  if (!names.length)
    return;
  await web.chooseFile(page, 'Files', names.map(name => path.join(folder, name)));
  await page.waitForFunction(n => document.querySelectorAll('#chosen li').length === n, {polling: 20}, names.length);
}

// Runs what the page's command line says; the status and, when it wrote files, the
// download's name and files ({path: bytes}, from inside a .zip too).
async function convert(page) {
  const runs = await page.evaluate(() => convertPage.converted);
  await web.click(page, 'Convert');
  await page.waitForFunction(n => convertPage.converted > n, {polling: 20}, runs);
  const status = await page.$eval('#status', element => element.textContent);
  if (await page.$eval('#result', element => element.hidden))
    return {status};
  const {name, bytes} = await visitor.download(page, await page.$eval('#download', element => element.textContent));
  const files = name.endsWith('.zip') ? unzipSync(new Uint8Array(bytes)) : {[name]: bytes};
  const asBuffers = Object.entries(files).map(([key, value]) => [key, Buffer.from(value)]);
  return {status, name, files: Object.fromEntries(asBuffers)};
}

async function accessibilityFaults(page) {
  await page.addScriptTag({path: require.resolve('axe-core/axe.min.js')});
  return page.evaluate(async () => (await axe.run()).violations.map(v => `${v.id}: ${v.help}`));
}

async function typeCommand(page, line) {
  const field = await web.control(page, 'Command line');
  await field.click();
  await page.keyboard.down('Control');
  await page.keyboard.press('KeyA');
  await page.keyboard.up('Control');
  await field.type(line);
}

// Chooses the output, then sets the options; the options that apply to it are in view,
// and `hidden` ones, which the converter refuses for it, are not.
async function useForm(page, {target, options, shown = [], hidden = []}) {
  const labels = await page.$$eval('#target option', list => list.map(option => option.value));
  const label = labels.find(text => target.test(text));
  assert.ok(label, `no output ${target} among ${labels.join('; ')}`);
  await (await web.control(page, 'Convert to')).select(label);
  await web.click(page, 'Options');
  // In view as a person sees it: laid out, not merely without the hidden attribute.
  const inView = await page.$$eval('#options .option input', list => list.filter(input => input.checkVisibility())
    .map(input => input.id.slice(6)));
  assert.deepStrictEqual(shown.filter(flag => !inView.includes(flag)), [], `options out of view for ${label}`);
  assert.deepStrictEqual(hidden.filter(flag => inView.includes(flag)), [], `options in view for ${label}`);
  for (const [name, value] of Object.entries(options))
    if (value === true)
      await web.click(page, name);
    else
      await (await web.control(page, name)).click({count: 3}).then(() => page.keyboard.type(value));
}

test('every format that writes and every mode gives the desktop\'s bytes', async () => {
  for (const [what, inputs, args, form] of cases) {
    const expected = desktop(inputs, args);
    assert.strictEqual(expected.status, 0, `${what}, on the desktop: ${expected.errors}`);
    const page = await openConverter();
    await chooseFiles(page, inputs);
    const line = ['pixconv', ...args].map(word => /\s/.test(word) ? `'${word}'` : word).join(' ');
    if (form) {
      await useForm(page, form);
      assert.strictEqual(await page.$eval('#command', field => field.value), line, `${what}: the command made`);
    } else {
      await typeCommand(page, line);
    }
    const got = await convert(page);
    assert.deepStrictEqual(Object.keys(got.files || {}).sort(), Object.keys(expected.written).sort(),
                           `${what}: the files written (${got.status})`);
    for (const [name, bytes] of Object.entries(expected.written))
      assert.ok(got.files[name].equals(bytes), `${what}: ${name} differs from the desktop's`);
    if (Object.keys(expected.written).length > 1)
      assert.match(got.name, /\.zip$/, what);
    if (/ in$/.test(what))
      assert.strictEqual(Object.values(got.files)[0].length, 2048, what);
    await page.close();
  }
});

test('an error shows the converter\'s own line; a picture shows before download; axe-core finds nothing', async () => {
  const page = await openConverter();
  await chooseFiles(page, ['hero.spr', 'b.spr']);
  const args = ['hero.spr', 'missing.spr', 'x.png'];
  await typeCommand(page, 'pixconv ' + args.join(' '));
  const {status, files} = await convert(page);
  assert.strictEqual(files, undefined);
  assert.strictEqual(status.trim(), desktop(['hero.spr'], args).errors);
  assert.match(status, /missing\.spr/);

  // A file dropped on the page is chosen like one from the file input.
  await web.click(page, 'Remove b.spr');
  await page.evaluate(bytes => {
    const dropped = new DataTransfer();
    dropped.items.add(new File([new Uint8Array(bytes)], 'dropped.spr'));
    document.querySelector('main').dispatchEvent(new DragEvent('drop', {dataTransfer: dropped, bubbles: true}));
  }, [...hero]);
  await page.waitForFunction(() => document.getElementById('command').value === 'pixconv hero.spr dropped.spr hero.png',
                             {polling: 20});
  await web.click(page, 'Remove dropped.spr');
  await typeCommand(page, 'pixconv hero.spr "knight picture.png"');
  await web.click(page, 'Convert');
  const shown = await page.waitForFunction(() => {
    const image = document.querySelector('#outputs img');
    return image && image.complete && image.naturalWidth && [image.alt, image.naturalWidth, image.naturalHeight];
  }, {polling: 20});
  assert.deepStrictEqual(await shown.jsonValue(), ['knight picture.png', hero[0], hero[1]]);
  // Shown enlarged at a whole scale: every pixel a square of screen pixels.
  const scale = await page.$eval('#outputs img', image => [image.getBoundingClientRect().width / image.naturalWidth,
                                                          image.getBoundingClientRect().height / image.naturalHeight]);
  assert.ok(Number.isInteger(scale[0]) && scale[0] > 1 && scale[1] === scale[0], `shown at ${scale}`);
  await web.click(page, 'Options');
  assert.deepStrictEqual(await accessibilityFaults(page), []);
  await page.close();
});

test('an output kept in the browser is listed by the editor, opens there, and exports back', async () => {
  const page = await openConverter();
  await chooseFiles(page, ['stepped.fon']);
  await typeCommand(page, 'pixconv stepped.fon stepped.fnt');
  await convert(page);
  await web.click(page, 'Keep stepped.fnt in this browser');
  await web.statusSays(page, 'Kept stepped.fnt in this browser');

  const editor = await web.openEditor(visitor, site.base, 'glyfmend');
  await page.close();
  await editor.waitForSelector('#files li[data-name="stepped.fnt"]');
  await web.restartBy(editor, 'Open stepped.fnt');
  assert.deepStrictEqual(await editor.evaluate(() => editorPage.args), ['stepped.fnt']);

  // Export… opens the converter in a tab of its own with the open file chosen.
  const opened = new Promise(resolve => visitor.context.once('targetcreated', target => resolve(target.page())));
  await web.click(editor, 'Export…');
  const converter = await opened;
  await converter.waitForFunction(() => window.convertPage && convertPage.ready, {timeout: 60000, polling: 20});
  assert.strictEqual(await converter.$eval('#command', field => field.value), 'pixconv stepped.fnt stepped.png');
  assert.ok((await converter.$eval('#chosen', list => list.textContent)).includes('kept in this browser (glyfmend)'));
  assert.deepStrictEqual(await accessibilityFaults(converter), [], 'with the files kept in the browser listed');
});
