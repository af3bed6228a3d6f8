// The files the editors keep in this browser: one IndexedDB record per file, each written
// in a transaction of its own. A save stores that one file whole or not at all and leaves
// every other file alone, so two tabs cannot undo each other's saves; nothing here deletes
// a file but remove(), which only the user's own Delete calls. Every change is announced
// to the site's other tabs, which keep their lists current from it. offer() puts a file
// on the user's disk, as a download; loadScript() brings in what a page needs only later.
'use strict';
window.browserFiles = (() => {
const databaseName = 'pixel-editors';
const editors = ['pixmend', 'glyfmend'];
const movedStore = 'moved'; // one record per editor once its old files have been moved over
const channel = 'BroadcastChannel' in window ? new BroadcastChannel('pixel-editors-files') : null;

const done = request => new Promise((resolve, reject) => {
  request.onsuccess = () => resolve(request.result);
  request.onerror = () => reject(request.error);
});
const finished = transaction => new Promise((resolve, reject) => {
  transaction.oncomplete = () => resolve();
  transaction.onabort = transaction.onerror = () => reject(transaction.error || new Error('The browser refused.'));
});

let database = null;
function open() {
  database ??= new Promise((resolve, reject) => {
    const request = indexedDB.open(databaseName, 1);
    request.onupgradeneeded = () => {
      for (const editor of editors)
        request.result.createObjectStore(editor, {keyPath: 'name'});
      request.result.createObjectStore(movedStore, {keyPath: 'editor'});
    };
    request.onsuccess = () => {
      // A newer version of the site in another tab wants the database: let it have it.
      request.result.onversionchange = () => { request.result.close(); database = null; };
      resolve(request.result);
    };
    request.onerror = () => reject(request.error);
    request.onblocked = () => reject(new Error('Another tab holds an older version of this site open.'));
  });
  return database;
}

const sameBytes = (a, b) => a.length === b.length && a.every((byte, i) => byte === b[i]);

// NAME, NAME-1, NAME-2, ...: the candidates for a file that must not replace other work.
function* namesFor(name) {
  const dot = name.lastIndexOf('.') > 0 ? name.lastIndexOf('.') : name.length;
  yield name;
  for (let n = 1; ; ++n)
    yield `${name.slice(0, dot)}-${n}${name.slice(dot)}`;
}

function announce(editor, name, change) {
  if (channel)
    channel.postMessage({editor, name, change});
}

// Within one transaction: the first candidate name that is free or already holds `bytes`,
// stored there. Two tabs adding at once get different names, never one over the other.
async function placeIn(store, name, bytes, saved) {
  for (const candidate of namesFor(name)) {
    const found = await done(store.get(candidate));
    if (found && sameBytes(found.bytes, bytes))
      return candidate;
    if (!found) {
      store.put({name: candidate, bytes, size: bytes.length, saved});
      return candidate;
    }
  }
}

// The files of the old site, kept by its in-memory file system's mirror in the database
// named after its folder (FILE_DATA: one record per path, {timestamp, mode, contents}).
async function oldFiles(editor) {
  // Listing the databases is quicker than opening one that is not there, where it exists.
  if (indexedDB.databases && !(await indexedDB.databases()).some(found => found.name === '/' + editor))
    return [];
  const request = indexedDB.open('/' + editor);
  // Opening creates a database that is not there: abort that, there is nothing to move.
  request.onupgradeneeded = () => request.transaction.abort();
  let old;
  try {
    old = await done(request);
  } catch {
    return [];
  }
  try {
    if (!old.objectStoreNames.contains('FILE_DATA'))
      return [];
    const store = old.transaction('FILE_DATA').objectStore('FILE_DATA');
    const [keys, values] = await Promise.all([done(store.getAllKeys()), done(store.getAll())]);
    const prefix = `/${editor}/`;
    return keys.map((key, i) => ({path: String(key), entry: values[i]}))
      .filter(({path, entry}) => path.startsWith(prefix) && !path.slice(prefix.length).includes('/') &&
                                 !path.slice(prefix.length).startsWith('.') && entry && entry.contents)
      .map(({path, entry}) => ({name: path.slice(prefix.length), bytes: new Uint8Array(entry.contents),
                                saved: new Date(entry.timestamp).getTime() || Date.now()}));
  } finally {
    old.close();
  }
}

// Moves what the old site stored for `editor` into this storage, once. The old database
// is left as it was. A name already taken here gets the old file as NAME-1.
async function moveOldFiles(editor) {
  const db = await open();
  const already = await done(db.transaction(movedStore).objectStore(movedStore).get(editor));
  if (already)
    return [];
  const found = await oldFiles(editor);
  const transaction = db.transaction([editor, movedStore], 'readwrite');
  const moved = (async () => {
    if (await done(transaction.objectStore(movedStore).get(editor)))
      return []; // another tab moved them while this one read
    const names = [];
    for (const file of found)
      names.push(await placeIn(transaction.objectStore(editor), file.name, file.bytes, file.saved));
    transaction.objectStore(movedStore).put({editor, at: Date.now()});
    return names;
  })();
  await finished(transaction);
  const names = await moved;
  for (const name of names)
    announce(editor, name, 'saved');
  return names;
}

// Every file of `editor`, once the old site's files have been moved over (a failure to move
// them is handed to `moveFailed`, and the files here are listed all the same). On every visit
// but the first this is one read.
async function startingList(editor, moveFailed) {
  const db = await open();
  const transaction = db.transaction([editor, movedStore]);
  const [moved, records] = await Promise.all([done(transaction.objectStore(movedStore).get(editor)),
                                              done(transaction.objectStore(editor).getAll())]);
  if (moved)
    return records;
  await moveOldFiles(editor).catch(moveFailed);
  return list(editor);
}

async function list(editor) {
  const db = await open();
  return done(db.transaction(editor).objectStore(editor).getAll());
}

async function get(editor, name) {
  const db = await open();
  return done(db.transaction(editor).objectStore(editor).get(name));
}

// Stores `bytes` as NAME, replacing what NAME held: the later save of one file wins.
async function put(editor, name, bytes) {
  const db = await open();
  const transaction = db.transaction(editor, 'readwrite');
  transaction.objectStore(editor).put({name, bytes, size: bytes.length, saved: Date.now()});
  await finished(transaction);
  announce(editor, name, 'saved');
}

// Stores `bytes` under NAME or the first free NAME-N unless one of them already holds
// exactly these bytes; returns the name they are under.
async function add(editor, name, bytes) {
  const db = await open();
  const transaction = db.transaction(editor, 'readwrite');
  const placed = placeIn(transaction.objectStore(editor), name, bytes, Date.now());
  await finished(transaction);
  const stored = await placed;
  announce(editor, stored, 'saved');
  return stored;
}

// The first of NAME, NAME-1, ... that no stored file has.
async function freeName(editor, name) {
  const taken = new Set((await list(editor)).map(file => file.name));
  for (const candidate of namesFor(name))
    if (!taken.has(candidate))
      return candidate;
}

async function remove(editor, name) {
  const db = await open();
  const transaction = db.transaction(editor, 'readwrite');
  transaction.objectStore(editor).delete(name);
  await finished(transaction);
  announce(editor, name, 'deleted');
}

// Offers `bytes` for download as NAME. The last offer's object URL is let go at the next.
let offered = null;
function offer(name, bytes) {
  if (offered)
    URL.revokeObjectURL(offered);
  offered = URL.createObjectURL(new Blob([bytes], {type: 'application/octet-stream'}));
  const link = Object.assign(document.createElement('a'), {href: offered, download: name});
  document.body.append(link);
  link.click();
  link.remove();
}

// Runs the script at `src`, resolving once it has run. `pending`, a script element of the
// page's own still on its way, is waited for instead of fetched again. A script that fails
// is taken away, so that the next call fetches it anew.
function loadScript(src, what, pending = null) {
  return new Promise((resolve, reject) => {
    const script = pending || Object.assign(document.createElement('script'), {src});
    script.addEventListener('load', resolve);
    script.addEventListener('error', () => {
      script.remove();
      reject(new Error(`${what} did not load.`));
    });
    if (!pending)
      document.head.append(script);
  });
}

// Calls back with {editor, name, change} for every change made in another tab.
function watch(callback) {
  if (channel)
    channel.addEventListener('message', event => callback(event.data));
}

// Opened at once: the page that loads this in its head reads its files while the rest arrives.
open().catch(() => {});

return {moveOldFiles, startingList, list, get, put, add, freeName, remove, offer, loadScript, watch};
})();
