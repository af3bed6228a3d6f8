// Screenshots of the site's pages as a new visitor first sees them, in headless Chromium: each
// page at 390 x 844 (a phone) and 1280 x 1000 (a laptop), in the light and the dark scheme.
//   node page_shots.js SITE FOLDER   writes FOLDER/web-PAGE-WIDTH-SCHEME.png
'use strict';
const path = require('path');
const web = require('./web_support');

const [site, folder] = process.argv.slice(2);
const pages = ['index', 'pixmend', 'glyfmend', 'convert'];
const screens = [{width: 390, height: 844, hasTouch: true, isMobile: true}, {width: 1280, height: 1000}];

// Waits until the page shows what a visitor sees once it has settled.
async function settled(page, name) {
  if (name === 'pixmend' || name === 'glyfmend')
    await web.waitForEditor(page);
  else if (name === 'convert')
    await page.waitForFunction(() => window.convertPage && convertPage.ready, {timeout: 60000, polling: 20});
  await page.evaluate(() => document.fonts.ready);
  await page.evaluate(() => Promise.all([...document.images].map(image => image.decode().catch(() => {}))));
}

(async () => {
  const server = await web.openSite(site);
  for (const name of pages)
    for (const screen of screens)
      for (const scheme of ['light', 'dark']) {
        const visitor = await web.newVisitor(server); // a first visit each time
        const page = await visitor.context.newPage();
        await page.setViewport(screen);
        await page.emulateMediaFeatures([{name: 'prefers-color-scheme', value: scheme}]);
        await page.goto(server.base + name + '.html');
        await settled(page, name);
        const file = path.join(folder, `web-${name}-${screen.width}-${scheme}.png`);
        await page.screenshot({path: file});
        console.log(file);
        await visitor.context.close();
      }
  await server.close();
})().catch(err => {
  console.error(err);
  process.exit(1);
});
