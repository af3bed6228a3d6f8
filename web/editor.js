// The page glue shared by pixmend.html and glyfmend.html: it starts the editor program on
// a file kept in the browser's IndexedDB, offers the files for download and export, and
// shows the program's output lines. Only the program itself writes what F2 saves.
(() => {
'use strict';

const page = document.body.dataset;            // editor, ending (.spr or .fnt), sample
const folder = '/' + page.editor;              // this editor's IndexedDB-backed folder
const nextKey = page.editor + '.next';         // the command line the next start uses
const canvas = document.getElementById('canvas');
const statusArea = document.getElementById('status');
const statusLines = [];
let current = null;                            // the file the running editor was given
let copiedNow = false;                         // whether the page copied it in for this start

function say(line) {
  statusLines.push(line);
  if (statusLines.length > 4)
    statusLines.shift();
  statusArea.textContent = statusLines.join('\n');
}

// The largest whole-number scale at which the 640 x 400 picture fits the window.
function fitCanvas() {
  const used = document.querySelector('header').offsetHeight + 100;
  const room = Math.min((window.innerWidth - 24) / 640, (window.innerHeight - used) / 400);
  document.documentElement.style.setProperty('--scale', String(Math.max(1, Math.floor(room))));
}

const pathOf = name => folder + '/' + name;
const exists = name => FS.analyzePath(pathOf(name)).exists;
const persist = () => new Promise((resolve, reject) => FS.syncfs(false, err => (err ? reject(err) : resolve())));

function sameBytes(a, b) {
  return a.length === b.length && a.every((byte, i) => byte === b[i]);
}

// A name for `bytes` (or for a new file, when null) that replaces no other work in storage:
// NAME itself when it is free or already holds those bytes, else NAME-1, NAME-2, ...
function freeName(name, bytes) {
  const dot = name.lastIndexOf('.') > 0 ? name.lastIndexOf('.') : name.length;
  for (let n = 0; ; ++n) {
    const candidate = n === 0 ? name : `${name.slice(0, dot)}-${n}${name.slice(dot)}`;
    if (!exists(candidate) || (bytes && sameBytes(FS.readFile(pathOf(candidate)), bytes)))
      return candidate;
  }
}

// A plain file name: no folders, no leading dot (the safe save's temporary files have one).
function plainName(name, fallback) {
  const base = String(name).split(/[\\/]/).pop().replace(/^\.+/, '').trim();
  return base || fallback;
}

// The file saved or opened last in this editor's storage.
function newestFile() {
  const names = FS.readdir(folder).filter(n => !n.startsWith('.') && FS.isFile(FS.stat(pathOf(n)).mode));
  names.sort((a, b) => FS.stat(pathOf(b)).mtime - FS.stat(pathOf(a)).mtime);
  return names[0] || null;
}

async function copyIn(name, bytes) {
  const stored = freeName(plainName(name, 'file' + page.ending), bytes);
  if (!exists(stored))
    FS.writeFile(pathOf(stored), bytes);
  if (stored !== name)
    say(`${name} in this browser holds other work; this copy is ${stored}.`);
  await persist();
  return stored;
}

async function fetchSample() {
  const response = await fetch(page.sample);
  if (!response.ok)
    throw new Error(`${page.sample} did not load`);
  return new Uint8Array(await response.arrayBuffer());
}

// Starts the editor again, with the page reloaded, on the command line `args`.
function restartWith(args, copied) {
  sessionStorage.setItem(nextKey, JSON.stringify({args, copied}));
  location.reload();
}

// The command line of this start: what a button asked for, else the last saved file,
// else (a first visit) a copy of the sample.
async function startArguments() {
  const next = JSON.parse(sessionStorage.getItem(nextKey) || 'null');
  sessionStorage.removeItem(nextKey);
  if (next) {
    copiedNow = Boolean(next.copied);
    return next.args;
  }
  const last = newestFile();
  if (last)
    return [last];
  copiedNow = true;
  return [await copyIn(page.sample, await fetchSample())];
}

window.Module = {
  canvas,
  arguments: [],
  print: say,
  printErr: say,
  preRun: [() => {
    // Keys count only while the canvas has focus, not while the page's inputs do.
    ENV.SDL_EMSCRIPTEN_KEYBOARD_ELEMENT = '#canvas';
    FS.mkdir(folder);
    FS.mount(IDBFS, {}, folder);
    FS.chdir(folder);
    addRunDependency('storage');
    FS.syncfs(true, err => {
      if (err)
        say(`This browser's storage could not be read: ${err}`);
      startArguments().then(args => {
        current = args[0];
        Module.arguments.push(...args); // the array main's argv is made from
      }, err => say(String(err))).finally(() => removeRunDependency('storage'));
    });
  }],
  postRun: [() => canvas.focus()],
  // Every fsync of the safe save writes the folder to IndexedDB; the one of the folder
  // itself, after the rename, is what makes the save complete there.
  onStorageSync(path, ok, isDirectory) {
    if (!isDirectory)
      return;
    say(ok ? `Saved ${current} in this browser.` : 'Error while saving');
  },
  // The editor ends only when it could not start: a file the page copied in for it
  // is taken out again, so that the next visit does not stop on it too.
  onExit(status) {
    if (status !== 0 && copiedNow && current && exists(current)) {
      FS.unlink(pathOf(current));
      persist().catch(() => {});
    }
  },
};

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

function savedFile() {
  if (current && exists(current))
    return FS.readFile(pathOf(current));
  say(`${current} is not saved yet: press F2 in the editor first.`);
  return null;
}

let converter = null;
function loadConverter() {
  converter ??= new Promise((resolve, reject) => {
    const script = Object.assign(document.createElement('script'), {src: 'pixconv.js'});
    script.onload = () => createPixconv({print: say, printErr: say}).then(resolve, reject);
    script.onerror = () => reject(new Error('The converter did not load.'));
    document.head.append(script);
  });
  return converter;
}

// What `pixconv NAME OUT [--scale N]` writes for the saved file, offered for download.
async function exportAs(ending) {
  const bytes = savedFile();
  if (!bytes)
    return;
  const pixconv = await loadConverter();
  const stem = current.replace(/\.[^.]*$/, '') || 'file';
  const input = stem + page.ending;
  const output = stem + ending;
  pixconv.FS.writeFile(input, bytes);
  const args = [input, output];
  if (ending === '.png')
    args.push('--scale', document.getElementById('scale').value);
  const status = pixconv.callMain(args);
  if (status === 0)
    offer(output, pixconv.FS.readFile(output));
  for (const name of [input, output])
    if (pixconv.FS.analyzePath(name).exists)
      pixconv.FS.unlink(name);
}

function newArguments() {
  const name = freeName(plainName(document.getElementById('name').value, 'new' + page.ending), null);
  if (page.editor === 'glyfmend')
    return [name, 'new']; // a second argument starts the font blank
  return [name, document.getElementById('width').value || '0', document.getElementById('height').value || '0'];
}

const onClick = (id, action) => document.getElementById(id).addEventListener('click', action);
const reportErrors = action => () => action().catch(err => say(String(err.message || err)));

onClick('new', () => restartWith(newArguments(), false));
onClick('sample', reportErrors(async () => restartWith([await copyIn(page.sample, await fetchSample())], true)));
onClick('download', () => {
  const bytes = savedFile();
  if (bytes)
    offer(current, bytes);
});
for (const button of document.querySelectorAll('.export'))
  button.addEventListener('click', reportErrors(() => exportAs(button.dataset.ending)));
document.getElementById('open').addEventListener('change', reportErrors(async () => {
  const file = document.getElementById('open').files[0];
  if (file)
    restartWith([await copyIn(file.name, new Uint8Array(await file.arrayBuffer()))], true);
}));
canvas.addEventListener('click', () => canvas.focus());
window.addEventListener('resize', fitCanvas);
fitCanvas();
if (navigator.storage && navigator.storage.persist)
  navigator.storage.persist().catch(() => {});

document.head.append(Object.assign(document.createElement('script'), {src: page.editor + '.js'}));
})();
