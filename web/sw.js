// The site's service worker: after one visit the editors start without a network. It
// keeps one cache per version of the site, filled whole when it installs, every file
// checked against the hash the build wrote here, and answers from that cache alone; the
// cache of an older version goes only once this one is active. A page thus never mixes
// files of two versions. The build fills in the version and the files.
'use strict';
const version = '@VERSION@';
const files = {/* @FILES@ */};
const cacheName = 'pixel-editors-' + version;

const hex = buffer => [...new Uint8Array(buffer)].map(byte => byte.toString(16).padStart(2, '0')).join('');

self.addEventListener('install', event => {
  // Where the browser can, it answers for these files from this version's cache itself,
  // without starting this worker first; the fetch handler below answers in the others.
  if (event.addRoutes) {
    const scope = new URL(self.registration.scope).pathname;
    event.waitUntil(event.addRoutes(Object.keys(files).map(name => ({
      condition: {urlPattern: new URLPattern({pathname: scope + name}), requestMethod: 'GET'},
      source: {cacheName},
    }))).catch(() => {}));
  }
  event.waitUntil((async () => {
    const cache = await caches.open(cacheName);
    await Promise.all(Object.entries(files).map(async ([name, hash]) => {
      const response = await fetch(name, {cache: 'no-store'});
      if (!response.ok)
        throw new Error(`${name}: ${response.status}`);
      // A file of another version (the site changed while this one installed) fails the
      // install; the browser tries again on a later visit.
      if (hex(await crypto.subtle.digest('SHA-256', await response.clone().arrayBuffer())) !== hash)
        throw new Error(`${name} is not the file this version holds`);
      await cache.put(name, response);
    }));
  })());
});

self.addEventListener('activate', event => {
  event.waitUntil((async () => {
    for (const name of await caches.keys())
      if (name.startsWith('pixel-editors-') && name !== cacheName)
        await caches.delete(name);
    await self.clients.claim();
  })());
});

// This version's cache, opened once for all the requests a page makes.
let opened = null;
const cache = () => opened ??= caches.open(cacheName);

self.addEventListener('fetch', event => {
  const url = new URL(event.request.url);
  const scope = new URL(self.registration.scope);
  if (event.request.method !== 'GET' || url.origin !== scope.origin || !url.pathname.startsWith(scope.pathname))
    return;
  const name = url.pathname.slice(scope.pathname.length) || 'index.html';
  if (!(name in files))
    return;
  event.respondWith((async () => {
    const cached = await (await cache()).match(name);
    return cached || fetch(event.request);
  })());
});
