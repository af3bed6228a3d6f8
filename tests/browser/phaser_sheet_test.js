// A real consumer of the sprite sheets pixconv packs: Phaser 3 in headless Chromium
// loads the sheet and its JSON Hash atlas with load.atlas, draws two frames by name,
// and every pixel of the canvas's screenshot must be what those two sprites hold.
//   node phaser_sheet_test.js PIXCONV
// The sheet is packed at scale 2 with 1 pixel of padding, and neighbouring frames
// differ, so a frame placed one pixel off in the atlas shows in the picture.
'use strict';
const childProcess = require('child_process');
const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');
const puppeteer = require('puppeteer-core');

const pixconv = process.argv[2];
const phaserScript = require.resolve('phaser/dist/phaser.min.js');
const background = [0x33, 0x55, 0x77]; // no sprite colour, so transparency shows
const spriteWidth = 7;
const spriteHeight = 5;
const scale = 2; // as packed, and again as drawn
const shown = [{ frame: 3, x: 4, y: 6 }, { frame: 6, x: 40, y: 2 }];
const canvasWidth = 72;
const canvasHeight = 30;

// End a hang only; every wait below is for a condition.
const watchdog = setTimeout(() => fail('no result within 120 s'), 120000);

function fail(message) {
    console.error('FAIL: ' + message);
    process.exit(1);
}

// The editors' colour of value v: intensity, red, green, blue bits.
function rgbOf(value) {
    const channel = (bit) => ((value & bit) ? 0xA0 : 0) + ((value & 8) ? 0x5F : 0);
    return [channel(4), channel(2), channel(1)];
}

// Sprite n: a diagonal of transparent pixels, other pixels a colour from n and place.
function spriteValues(n) {
    const values = [];
    for (let y = 0; y < spriteHeight; ++y)
        for (let x = 0; x < spriteWidth; ++x)
            values.push(x === y ? 255 : (n * 5 + x * 3 + y * 7) % 16);
    return values;
}

function makeSheet(dir) {
    const names = [];
    for (let n = 1; n <= 8; ++n) {
        const name = path.join(dir, `walk-${n}.spr`);
        fs.writeFileSync(name, Buffer.from([spriteWidth, spriteHeight, ...spriteValues(n)]));
        names.push(name);
    }
    const run = childProcess.spawnSync(pixconv, ['--scale', String(scale), '--padding', '1', ...names,
        path.join(dir, 'walk.png')], { encoding: 'utf8' });
    if (run.status !== 0)
        fail(`pixconv ended with status ${run.status}: ${run.stderr}`);
}

function pageHtml() {
    const draws = shown.map((s) =>
        `this.add.image(${s.x}, ${s.y}, 'walk', 'walk-${s.frame}').setOrigin(0, 0).setScale(${scale});`).join('\n');
    return `<!doctype html><html><head><link rel="icon" href="data:,"></head><body style="margin:0">
<script src="phaser.min.js"></script>
<script>
new Phaser.Game({
    type: Phaser.WEBGL, width: ${canvasWidth}, height: ${canvasHeight}, pixelArt: true, banner: false,
    backgroundColor: '#${background.map((c) => c.toString(16).padStart(2, '0')).join('')}',
    scene: {
        preload() { this.load.atlas('walk', 'walk.png', 'walk.json'); },
        create() {
            ${draws}
            this.game.events.once('postrender', () => { window.drawn = true; });
        },
    },
});
</script></body></html>`;
}

function serve(dir) {
    const types = { '.html': 'text/html', '.js': 'text/javascript', '.png': 'image/png', '.json': 'application/json' };
    const server = http.createServer((request, response) => {
        const name = path.basename(new URL(request.url, 'http://x').pathname) || 'index.html';
        const file = name === 'phaser.min.js' ? phaserScript : path.join(dir, name);
        if (!fs.existsSync(file)) {
            response.writeHead(404);
            response.end();
            return;
        }
        response.writeHead(200, { 'Content-Type': types[path.extname(name)] || 'application/octet-stream' });
        response.end(fs.readFileSync(file));
    });
    return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

// The colour the canvas must show at (x, y): a drawn sprite's pixel, else the background.
function expectedAt(x, y) {
    let colour = background;
    for (const s of shown) {
        const sx = Math.floor((x - s.x) / (scale * scale));
        const sy = Math.floor((y - s.y) / (scale * scale));
        if (x < s.x || y < s.y || sx >= spriteWidth || sy >= spriteHeight)
            continue;
        const value = spriteValues(s.frame)[sy * spriteWidth + sx];
        if (value !== 255)
            colour = rgbOf(value);
    }
    return colour;
}

// Decodes a PNG screenshot in the browser itself: RGBA bytes of every pixel.
async function decodePng(browser, png) {
    const page = await browser.newPage();
    const pixels = await page.evaluate(async (base64) => {
        const image = new Image();
        image.src = 'data:image/png;base64,' + base64;
        await image.decode();
        const canvas = document.createElement('canvas');
        canvas.width = image.width;
        canvas.height = image.height;
        const context = canvas.getContext('2d');
        context.drawImage(image, 0, 0);
        return { width: image.width, height: image.height, data: Array.from(context.getImageData(0, 0, image.width, image.height).data) };
    }, Buffer.from(png).toString('base64'));
    await page.close();
    return pixels;
}

async function main() {
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'phaser-sheet-'));
    let browser;
    let server;
    try {
        makeSheet(dir);
        fs.writeFileSync(path.join(dir, 'index.html'), pageHtml());
        server = await serve(dir);
        browser = await puppeteer.launch({
            executablePath: '/usr/bin/chromium',
            args: ['--no-sandbox', '--use-gl=swiftshader', '--enable-unsafe-swiftshader'],
        });
        const page = await browser.newPage();
        await page.setViewport({ width: 200, height: 100, deviceScaleFactor: 1 });
        const problems = [];
        page.on('pageerror', (error) => problems.push(error.message));
        page.on('console', (message) => { if (message.type() === 'error') problems.push(message.text()); });
        await page.goto(`http://127.0.0.1:${server.address().port}/index.html`);
        await page.waitForFunction('window.drawn === true', { timeout: 0 });
        if (problems.length)
            fail('the page reported: ' + problems.join('; '));
        const canvas = await page.$('canvas');
        const shot = await decodePng(browser, await canvas.screenshot({ type: 'png' }));
        if (shot.width !== canvasWidth || shot.height !== canvasHeight)
            fail(`the screenshot is ${shot.width} x ${shot.height}, not ${canvasWidth} x ${canvasHeight}`);
        let wrong = 0;
        let first = '';
        for (let y = 0; y < canvasHeight; ++y)
            for (let x = 0; x < canvasWidth; ++x) {
                const want = expectedAt(x, y);
                const at = (y * canvasWidth + x) * 4;
                const have = shot.data.slice(at, at + 3);
                if (have.some((c, i) => c !== want[i])) {
                    if (!wrong)
                        first = `(${x}, ${y}) is ${have} where ${want} was drawn`;
                    ++wrong;
                }
            }
        if (wrong)
            fail(`${wrong} pixels differ; the first: ${first}`);
        console.log(`Phaser drew frames walk-3 and walk-6 pixel for pixel (${canvasWidth} x ${canvasHeight})`);
    } finally {
        if (browser)
            await browser.close();
        if (server)
            server.close();
        fs.rmSync(dir, { recursive: true, force: true });
    }
    clearTimeout(watchdog);
}

main().catch((error) => fail(error.stack || String(error)));
