// Chromium's own GIF and APNG decoders, through WebCodecs' ImageDecoder in headless
// Chromium, read every frame pixconv writes: the frame count, each frame's pixels (the
// sprite's colours, transparent where the sprite is), durations and repetitions. Then
// GIFs made by Pillow and ImageMagick with every disposal method are decoded the same
// way, and each frame must equal the sprite pixconv cut from it; so must the GIFs put
// together byte by byte (no trailer, disposal 4-7, a first frame past the screen). The
// damaged ones, which Chromium cannot show whole, pixconv refuses in one line, writing
// nothing.
//   node animation_decoder_test.js PIXCONV TESTS_DIR
'use strict';
const childProcess = require('child_process');
const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');
const puppeteer = require('puppeteer-core');

const [pixconv, testsDir] = process.argv.slice(2).map((name) => path.resolve(name));

// Ends a hang only; every wait below is for a condition.
const watchdog = setTimeout(() => fail('no result within 240 s'), 240000);

function fail(message) {
    console.error('FAIL: ' + message);
    process.exit(1);
}

function run(program, args, cwd, status = 0) {
    const result = childProcess.spawnSync(program, args, { cwd, encoding: 'utf8' });
    if (result.status !== status)
        fail(`${program} ${args.join(' ')} ended with status ${result.status}: ${result.stderr}`);
    return result;
}

// The editors' colour of value v (its low four bits) as RGBA; 255 is transparent.
function rgbaOf(value) {
    if (value === 255)
        return [0, 0, 0, 0];
    const channel = (bit) => ((value & bit) ? 0xA0 : 0) + ((value & 8) ? 0x5F : 0);
    return [channel(4), channel(2), channel(1), 255];
}

function readSprite(file) {
    const bytes = fs.readFileSync(file);
    return { width: bytes[0], height: bytes[1], values: Array.from(bytes.subarray(2)) };
}

// What a browser must show of each sprite on a width x height canvas, at its top left.
function expectedFrame(sprite, width, height) {
    const pixels = [];
    for (let y = 0; y < height; ++y)
        for (let x = 0; x < width; ++x) {
            const inside = x < sprite.width && y < sprite.height;
            pixels.push(...rgbaOf(inside ? sprite.values[y * sprite.width + x] : 255));
        }
    return pixels;
}

// Three sprites of two sizes, with transparent pixels.
function writeWalk(dir) {
    const names = [];
    for (let n = 0; n < 3; ++n) {
        const width = n === 1 ? 3 : 5;
        const height = n === 1 ? 6 : 4;
        const values = [];
        for (let i = 0; i < width * height; ++i)
            values.push(i % 7 === n ? 255 : (i * 5 + n * 3) % 16);
        names.push(path.join(dir, `walk-${n}.spr`));
        fs.writeFileSync(names[n], Buffer.from([width, height, ...values]));
    }
    return names;
}

function serve(dir) {
    const server = http.createServer((request, response) => {
        const name = path.basename(new URL(request.url, 'http://x').pathname);
        const file = path.join(dir, name);
        if (name === '' || !fs.existsSync(file)) {
            response.writeHead(name === '' ? 200 : 404, { 'Content-Type': 'text/html' });
            response.end('<!doctype html><title>decoder</title>');
            return;
        }
        response.writeHead(200, { 'Content-Type': 'application/octet-stream' });
        response.end(fs.readFileSync(file));
    });
    return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

// Every frame of `name` as Chromium decodes it: RGBA pixels, duration in microseconds.
function decodeAll(page, name, type) {
    return page.evaluate(async (url, mime) => {
        const data = new Uint8Array(await (await fetch(url)).arrayBuffer());
        const decoder = new ImageDecoder({ data, type: mime, colorSpaceConversion: 'none' });
        await decoder.tracks.ready;
        await decoder.completed;
        const track = decoder.tracks.selectedTrack;
        const frames = [];
        for (let i = 0; i < track.frameCount; ++i) {
            const { image } = await decoder.decode({ frameIndex: i });
            const canvas = new OffscreenCanvas(image.displayWidth, image.displayHeight);
            const context = canvas.getContext('2d');
            context.drawImage(image, 0, 0);
            frames.push({
                width: image.displayWidth, height: image.displayHeight, duration: image.duration,
                pixels: Array.from(context.getImageData(0, 0, canvas.width, canvas.height).data),
            });
            image.close();
        }
        return { repetitions: track.repetitionCount, frames };
    }, name, type);
}

// The first pixel where `have` differs from `want`, transparent pixels alike whatever their colour.
function difference(have, want, width) {
    for (let i = 0; i < want.length; i += 4) {
        const same = (have[i + 3] === 0 && want[i + 3] === 0) ||
            [0, 1, 2, 3].every((c) => have[i + c] === want[i + c]);
        if (!same)
            return `(${(i / 4) % width}, ${Math.floor(i / 4 / width)}) is ${have.slice(i, i + 4)}, not ${want.slice(i, i + 4)}`;
    }
    return '';
}

// How many frames Chromium decodes before the first it cannot, and what it said then.
function decodeUntilFailure(page, name) {
    return page.evaluate(async (url) => {
        const data = new Uint8Array(await (await fetch(url)).arrayBuffer());
        let decoded = 0;
        try {
            const decoder = new ImageDecoder({ data, type: 'image/gif' });
            await decoder.tracks.ready;
            for (; decoded < 8; ++decoded)
                (await decoder.decode({ frameIndex: decoded, completeFramesOnly: true })).image.close();
            return { decoded, error: '' };
        } catch (error) {
            return { decoded, error: String(error) };
        }
    }, name);
}

async function checkDamagedGifs(page, dir, problems) {
    const damaged = fs.readdirSync(dir).filter((name) => name.startsWith('damaged-'));
    for (const gif of damaged) {
        const result = run(pixconv, [gif, 'out-%d.spr'], dir, 1);
        if (result.stderr.split('\n').length !== 2 || !result.stderr.startsWith(`pixconv: ${gif}: `))
            problems.push(`${gif}: pixconv said ${JSON.stringify(result.stderr)}, not one line`);
        if (fs.readdirSync(dir).some((name) => name.startsWith('out-')))
            problems.push(`${gif}: pixconv wrote a sprite`);
        // Each holds one sound frame, then a damaged one.
        const shown = await decodeUntilFailure(page, gif);
        if (shown.decoded !== 1 || !shown.error)
            problems.push(`${gif}: Chromium decoded ${shown.decoded} frames (${shown.error || 'no error'}), not 1`);
    }
    if (damaged.length !== 3)
        problems.push(`${damaged.length} damaged GIFs were made, not 3`);
}

async function checkOurAnimations(page, dir, problems) {
    const names = writeWalk(dir);
    const sprites = names.map(readSprite);
    for (const [file, type] of [['walk.gif', 'image/gif'], ['walk.apng', 'image/apng']]) {
        run(pixconv, ['--delay', '120', '--loop', '3', ...names, file], dir);
        const decoded = await decodeAll(page, file, type);
        if (decoded.frames.length !== 3)
            problems.push(`${file}: ${decoded.frames.length} frames, not 3`);
        // Both formats are stored so that the browser plays three times: two repetitions.
        if (decoded.repetitions !== 2)
            problems.push(`${file}: ${decoded.repetitions} repetitions, not 2`);
        decoded.frames.forEach((frame, n) => {
            if (frame.width !== 5 || frame.height !== 6)
                problems.push(`${file} frame ${n}: ${frame.width} x ${frame.height}, not 5 x 6`);
            if (frame.duration !== 120000)
                problems.push(`${file} frame ${n}: ${frame.duration} µs, not 120000`);
            const wrong = difference(frame.pixels, expectedFrame(sprites[n], 5, 6), 5);
            if (wrong)
                problems.push(`${file} frame ${n}: ${wrong}`);
        });
    }
}

async function checkGifsFromElsewhere(page, dir, problems) {
    run('/usr/bin/python3', [path.join(testsDir, 'animations', 'make_gifs.py'), dir], dir);
    const gifs = fs.readdirSync(dir).filter((name) => name.endsWith('.gif') && !name.startsWith('walk') &&
        !name.startsWith('damaged-'));
    if (gifs.length < 17)
        problems.push(`only ${gifs.length} GIFs were made`);
    for (const gif of gifs) {
        const stem = gif.slice(0, -4);
        run(pixconv, [gif, `${stem}-%d.spr`], dir);
        const decoded = await decodeAll(page, gif, 'image/gif');
        decoded.frames.forEach((frame, n) => {
            const spriteFile = path.join(dir, `${stem}-${n}.spr`);
            if (!fs.existsSync(spriteFile)) {
                problems.push(`${gif}: Chromium shows frame ${n}, pixconv cut none`);
                return;
            }
            const sprite = readSprite(spriteFile);
            const wrong = difference(frame.pixels, expectedFrame(sprite, frame.width, frame.height), frame.width);
            if (wrong)
                problems.push(`${gif} frame ${n}: Chromium shows ${wrong}`);
        });
        if (fs.existsSync(path.join(dir, `${stem}-${decoded.frames.length}.spr`)))
            problems.push(`${gif}: pixconv cut more frames than Chromium shows`);
    }
    return gifs.length;
}

async function main() {
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'animation-decoder-'));
    let browser;
    let server;
    try {
        server = await serve(dir);
        browser = await puppeteer.launch({
            executablePath: '/usr/bin/chromium',
            args: ['--no-sandbox', '--use-gl=swiftshader', '--enable-unsafe-swiftshader'],
        });
        const page = await browser.newPage();
        await page.goto(`http://127.0.0.1:${server.address().port}/`);
        const problems = [];
        await checkOurAnimations(page, dir, problems);
        const count = await checkGifsFromElsewhere(page, dir, problems);
        await checkDamagedGifs(page, dir, problems);
        if (problems.length)
            fail(problems.slice(0, 20).join('\n'));
        console.log(`Chromium decoded the GIF and APNG written frame for frame, and ${count} GIFs from elsewhere ` +
            'as pixconv cut them, and pixconv refused the 3 that Chromium cannot show whole');
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
