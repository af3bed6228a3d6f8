// Shows FOLDER/index.html in headless Chromium, served over HTTP on 127.0.0.1, once the
// page sets `window.pageResult`, and prints what it saw:
//   result JSON      the page's own findings (pageResult)
//   colours N        how many different colours the WIDTH x HEIGHT top-left corner has
//   a row per line   of that corner: 'X' white, '.' black, '?' anything else
// Usage: node font_page.mjs FOLDER WIDTH HEIGHT. Exit status 0 when all went through.
import { createServer } from 'node:http';
import { readFile } from 'node:fs/promises';
import { extname, join, normalize } from 'node:path';
import puppeteer from 'puppeteer-core';

const [folder, width, height] = [process.argv[2], Number(process.argv[3]), Number(process.argv[4])];
const types = { '.html': 'text/html', '.woff2': 'font/woff2', '.xml': 'application/xml', '.png': 'image/png' };

const server = createServer(async (request, response) => {
    const path = normalize(decodeURIComponent(new URL(request.url, 'http://x').pathname)).replace(/^(\.\.[/\\])+/, '');
    try {
        const body = await readFile(join(folder, path));
        response.writeHead(200, { 'Content-Type': types[extname(path)] ?? 'application/octet-stream' });
        response.end(body);
    } catch {
        response.writeHead(404);
        response.end();
    }
});
await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));

const browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--use-gl=swiftshader', '--enable-unsafe-swiftshader'],
});
try {
    const page = await browser.newPage();
    await page.setViewport({ width, height, deviceScaleFactor: 1 });
    await page.goto(`http://127.0.0.1:${server.address().port}/index.html`);
    await page.waitForFunction(() => window.pageResult !== undefined, { timeout: 60000 });
    const result = await page.evaluate(() => window.pageResult);
    const shot = await page.screenshot({ clip: { x: 0, y: 0, width, height }, encoding: 'base64' });
    // The page decodes its own screenshot: a canvas reads PNG without any npm package.
    const pixels = await page.evaluate(async (data, w, h) => {
        const image = new Image();
        image.src = `data:image/png;base64,${data}`;
        await image.decode();
        const canvas = document.createElement('canvas');
        canvas.width = w;
        canvas.height = h;
        const context = canvas.getContext('2d');
        context.drawImage(image, 0, 0);
        const rgba = context.getImageData(0, 0, w, h).data;
        const colours = new Set();
        const rows = [];
        for (let y = 0; y < h; ++y) {
            let row = '';
            for (let x = 0; x < w; ++x) {
                const at = 4 * (y * w + x);
                const rgb = (rgba[at] << 16) | (rgba[at + 1] << 8) | rgba[at + 2];
                colours.add(rgb);
                row += rgb === 0xffffff ? 'X' : rgb === 0 ? '.' : '?';
            }
            rows.push(row);
        }
        return { colours: colours.size, rows };
    }, shot, width, height);
    console.log(`result ${JSON.stringify(result)}`);
    console.log(`colours ${pixels.colours}`);
    for (const row of pixels.rows)
        console.log(row);
} finally {
    await browser.close();
    server.close();
}
