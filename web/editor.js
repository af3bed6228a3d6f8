// The page glue shared by pixmend.html and glyfmend.html. It runs the editor program on one
// file at a time, each file in a new instance of the program started after the last one
// has ended, so the page itself (its list, status line and focus) stays. The files live in
// the browser (files.js); the program reads its file from, and saves it to, an in-memory
// folder, and the page stores each save in the browser before the save completes.
(() => {
'use strict';

const page = document.body.dataset;            // editor, ending (.spr or .fnt), sample
const editor = page.editor;
const folder = '/' + editor;                   // the program's working folder, in memory
const files = window.browserFiles;
const statusArea = document.getElementById('status');
const noticeActions = document.getElementById('notice-actions');
const editing = document.getElementById('editing');
const fileList = document.getElementById('files');
const $ = id => document.getElementById(id);

// ---- The status line: what the last action said. The next action starts it afresh.

function clearStatus() {
  statusArea.textContent = '';
  noticeActions.replaceChildren();
}

function say(line) {
  statusArea.textContent += (statusArea.textContent ? '\n' : '') + line;
}

const reasonOf = err => String((err && err.message) || err || 'unknown reason');

// ---- Files

// A plain file name: no folders, no leading dot (the safe save's temporary files have one).
function plainName(name, fallback) {
  const base = String(name).split(/[\\/]/).pop().replace(/^\.+/, '').trim();
  return base || fallback;
}

const pngSignature = [0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A];
const isPng = bytes => bytes.length >= 8 && pngSignature.every((byte, i) => bytes[i] === byte);

// Why the editor would refuse `bytes`, in a user's words, or '' when it takes them. A
// font file of any length opens: what a short one lacks stays blank.
function refusalOf(bytes) {
  if (editor !== 'pixmend')
    return '';
  if (bytes.length === 0)
    return 'the file is empty';
  if (bytes.length < 2 || bytes.length < 2 + bytes[0] * bytes[1])
    return `the file is shorter than its size says (${bytes.length} bytes; a ${bytes[0]} × ${bytes[1] ?? 0} ` +
           `sprite takes ${2 + bytes[0] * (bytes[1] ?? 0)})`;
  return '';
}

function describe(record) {
  const what = editor === 'pixmend' && record.bytes.length >= 2 ?
    `sprite ${record.bytes[0]} × ${record.bytes[1]}` : editor === 'pixmend' ? 'sprite' : 'font';
  const size = record.size === 1 ? '1 byte' : `${record.size} bytes`;
  return `${size}, ${what}, saved ${new Date(record.saved).toLocaleString()}`;
}

// ---- The program

// The program's factory, from the script the page's head loads (or from a new copy of it,
// when that one failed and took itself away).
let factory = null;
function loadFactory() {
  const name = 'create' + editor[0].toUpperCase() + editor.slice(1);
  factory ??= window[name] ? Promise.resolve(window[name]) :
    files.loadScript(editor + '.js', editor + '.js', $('program')).then(() => window[name])
      .catch(err => { factory = null; throw err; });
  return factory;
}

// The WebAssembly module is compiled once and instantiated afresh for every file. The page
// starts compiling it in its head; when that fails (a server that gives .wasm files another
// type, say), it is fetched again and compiled from its bytes.
let compiled = null;
function compile() {
  compiled ??= (async () => {
    if (window.programCompiling) {
      try {
        return await window.programCompiling;
      } catch {}
    }
    const response = await fetch(editor + '.wasm');
    if (!response.ok)
      throw new Error(`${editor}.wasm did not load.`);
    try {
      return await WebAssembly.compileStreaming(response.clone());
    } catch {
      return WebAssembly.compile(await response.arrayBuffer());
    }
  })();
  compiled.catch(() => { compiled = null; });
  return compiled;
}

let program = null;      // the running instance: {module, args, running, exited, ended: Promise<status>}
let runs = 0;            // instances that have run so far, for whoever waits for the next one

// Makes `canvas` ready for an instance: the program puts its whole picture into the canvas
// each time, and a canvas kept in memory takes that at once, where one kept on the graphics
// card must first be set up there. The program's own request for the context gets this one.
function prepare(canvas) {
  canvas.addEventListener('click', () => canvas.focus());
  canvas.getContext('2d', {willReadFrequently: true});
  return canvas;
}

// The canvas for a new instance. The first takes the page's own; a later one gets a hidden
// copy beside the running one, so that a file the program refuses changes nothing. SDL
// finds its canvas and its keyboard by the id "canvas" as it starts: the running one lends
// that id to the newcomer until the newcomer runs or ends (swapIn, dropInstance).
function canvasFor() {
  const old = $('canvas');
  if (!program)
    return prepare(old);
  const canvas = prepare(old.cloneNode(false));
  canvas.style.setProperty('display', 'none', 'important');
  old.id = 'canvas-running';
  old.after(canvas);
  return canvas;
}

// Puts a new instance that runs in place of the running one, which ends as it would when
// its window closes. SDL tears the old window down by the id, so the old canvas has it back
// until then.
async function swapIn(state) {
  const old = program;
  const canvas = state.module.canvas;
  canvas.id = 'canvas-next';
  old.module.canvas.id = 'canvas';
  program = state;
  await stopInstance(old);
  const hadFocus = document.activeElement === old.module.canvas;
  old.module.canvas.replaceWith(canvas);
  canvas.id = 'canvas';
  canvas.style.removeProperty('display');
  if (hadFocus)
    canvas.focus();
}

// An instance that did not run: its canvas goes, and the running one has its id back.
function dropInstance(state) {
  const canvas = state.module.canvas;
  if (!program) { // the page's own canvas: a fresh copy for the next instance
    canvas.replaceWith(canvas.cloneNode(false));
    return;
  }
  canvas.remove();
  program.module.canvas.id = 'canvas';
}

async function stopInstance(running) {
  if (running.exited)
    return;
  running.module.quitAsked = true; // the program ends as it would when its window closes
  if (running.module.webWake)
    running.module.webWake();
  await running.ended;
}

// Starts an instance on `file`: {args, bytes}, the file args[0] holding `bytes` (none for
// a new file), or a promise of them, which the instance waits for as it loads. Resolves to
// {outcome, state}: outcome 'running' once the program has drawn and waits for keys, or
// its exit status. The running instance, if any, is left alone.
async function launch(file) {
  const make = await loadFactory();
  const canvas = canvasFor();
  let settle;
  let ended;
  const outcome = new Promise(resolve => { settle = resolve; });
  const state = {args: null, running: false, exited: false, ended: new Promise(resolve => { ended = resolve; })};
  // However the instance ends (its exit, a failed load, an abort), the next can start.
  const end = status => {
    state.exited = true;
    state.running = false;
    ended(status);
    settle(status);
  };
  const module = {
    canvas,
    arguments: [],
    print: programSays,
    printErr: programSays,
    instantiateWasm(imports, receive) {
      compile().then(wasm => WebAssembly.instantiate(wasm, imports).then(instance => receive(instance, wasm)))
        .catch(err => { say(reasonOf(err)); end(1); });
      return {};
    },
    preRun: [m => {
      // Keys count only while the canvas has focus, not while the page's inputs do.
      m.ENV.SDL_EMSCRIPTEN_KEYBOARD_ELEMENT = '#canvas';
      m.FS.mkdir(folder);
      m.FS.chdir(folder);
      m.addRunDependency('file');
      Promise.resolve(file).then(({args, bytes}) => {
        state.args = args;
        m.arguments.push(...args); // the array main's argv is made from
        if (bytes)
          m.FS.writeFile(folder + '/' + args[0], bytes);
      }).catch(err => say(reasonOf(err))).finally(() => m.removeRunDependency('file'));
    }],
    onWait() {
      if (!state.running) {
        state.running = true;
        settle('running');
      } else if (state === program) {
        checkUnsaved();
      }
    },
    onExit: end,
    onAbort: () => end(1),
    storeFile: path => storeSaved(module, path),
  };
  state.module = module;
  make(module).catch(err => { say(reasonOf(err)); end(1); });
  return {outcome: await outcome, state};
}

// ---- Changes not yet saved: the bytes F2 would write now against those of the file as it
// was opened or last stored. Only keys change them, so they are compared after keys.

let baseline = null;     // what F2 would have written when the file was opened or last stored
let unsaved = false;
let keysSince = false;   // keys have reached the program since the last comparison

function fileNow(module) {
  const at = module._web_file_now();
  return module.HEAPU8.slice(at, at + module._web_file_size());
}

const sameBytes = (a, b) => a.length === b.length && a.every((byte, i) => byte === b[i]);

// Closing or reloading the tab asks first, but only while there is something to lose.
const holdLeave = event => {
  event.preventDefault();
  event.returnValue = '';
};

function setUnsaved(changed) {
  if (changed === unsaved)
    return;
  unsaved = changed;
  if (unsaved)
    window.addEventListener('beforeunload', holdLeave);
  else
    window.removeEventListener('beforeunload', holdLeave);
  showEditing();
}

function checkUnsaved() {
  if (!keysSince || !program || !program.running)
    return;
  keysSince = false;
  setUnsaved(!sameBytes(fileNow(program.module), baseline));
}

// Keys that reach the running program (Tab never does): the page compares the file after
// them, and follows the colour or glyph they choose.
for (const type of ['keydown', 'keyup'])
  window.addEventListener(type, event => {
    if (!program || event.target !== program.module.canvas || event.key === 'Tab')
      return;
    keysSince = true;
    if (type === 'keydown')
      followKey(event.code);
  }, true);

// The question before anything replaces a file with unsaved changes: a modal dialog whose
// three buttons say what each does. Resolves to 'save', 'discard' or 'cancel' (also Esc).
const question = document.createElement('dialog');
question.id = 'unsaved-question';
question.setAttribute('aria-labelledby', 'unsaved-text');
question.innerHTML = '<form method="dialog"><p id="unsaved-text"></p><p class="buttons">' +
  '<button value="save" id="unsaved-save"></button> <button value="discard">Discard changes</button> ' +
  '<button value="cancel">Cancel</button></p></form>';
document.body.append(question);

function ask(name) {
  question.querySelector('#unsaved-text').textContent = `${name} has changes that are not saved.`;
  question.querySelector('#unsaved-save').textContent = `Save ${name}`;
  question.returnValue = '';
  question.showModal();
  return new Promise(resolve => question.addEventListener('close', () => resolve(question.returnValue || 'cancel'),
                                                          {once: true}));
}

// What a save started from the page waits for: the next store of the program's file, or
// the program's own word that the save failed.
let saveWaiter = null;

function programSays(line) {
  say(line);
  if (line === 'Error while saving' && saveWaiter) {
    saveWaiter(false);
    saveWaiter = null;
  }
}

// Saves the open file as F2 does; true once it is stored.
function saveNow() {
  const saved = new Promise(resolve => { saveWaiter = resolve; });
  pressKey(keyTable.find(entry => entry.name === 'F2'));
  return saved;
}

// Whether the open file may be replaced: true at once without unsaved changes, else as the
// user answers (after a save that worked, for Save).
async function mayReplace() {
  keysSince = true;
  checkUnsaved();
  if (!unsaved)
    return true;
  const answer = await ask(current);
  if (answer === 'discard')
    return true;
  if (answer === 'save' && await saveNow())
    return true;
  say(`Still editing ${current}.`);
  return false;
}

// ---- Saving: the program's fsync of its finished temporary file lands here.

async function storeSaved(module, path) {
  const base = path.split('/').pop();
  const temporary = /^\.(.+)\.[A-Za-z0-9]{6}$/.exec(base);
  const name = temporary ? temporary[1] : base;
  const bytes = module.FS.readFile(path);
  const waiter = saveWaiter;
  saveWaiter = null;
  clearStatus();
  try {
    await files.put(editor, name, bytes);
  } catch (err) {
    say(`The browser did not store ${name}: ${reasonOf(err)}`);
    if (waiter)
      waiter(false);
    throw err;
  }
  say(`Saved ${name} in this browser.`);
  // The program waits in this save, so the bytes stored are those it holds now.
  baseline = bytes;
  drawFontTable(bytes);
  setUnsaved(false);
  showEditing();
  refreshList();
  if (waiter)
    waiter(true);
  const handle = diskHandles.get(name);
  if (handle)
    writeToDisk(name, handle, bytes);
}

// ---- Opening files

let current = null;      // the file the running program edits

function showEditing() {
  editing.textContent = !current ? 'No file is open.' : unsaved ? `Editing ${current}, not saved` :
                                                                  `Editing ${current}`;
}

// Runs the program on `file` beside the running one and puts it in its place once it runs.
// A file the program refuses leaves the running editor as it was, unsaved changes and all.
async function start(file) {
  const {outcome, state} = await launch(file);
  if (outcome !== 'running') {
    dropInstance(state);
    return false;
  }
  const first = !program;
  if (first)
    program = state;
  else
    await swapIn(state);
  document.body.dataset.runs = String(++runs);
  current = state.args[0];
  baseline = fileNow(state.module);
  tableFont = baseline;
  resetFollowed();
  keysSince = false;
  setUnsaved(false);
  showEditing();
  if (!first) {
    refreshList(); // the first start's list comes once its picture is on screen
    return true;
  }
  if (document.activeElement === document.body)
    state.module.canvas.focus(); // the first start only, when nothing else has the focus
  // For scripts/web-bench: the first frame the browser shows with the picture.
  requestAnimationFrame(() => performance.mark('editor-first-frame'));
  return true;
}

// The page's first file; when the program refuses that, a copy of the sample, so that the
// page always ends with a working editor.
async function startFirst() {
  if (await start(choose()))
    return;
  const sample = await fetchSample();
  await start({args: [await files.add(editor, page.sample, sample)], bytes: sample});
}

// Opens bytes from elsewhere (a file chosen on the disk, a sample): refused ones are named
// with the reason and never stored; others are stored, under NAME-1 if NAME holds other work.
async function openBytes(name, bytes) {
  name = plainName(name, 'file' + page.ending);
  if (isPng(bytes)) {
    say(`${name} is a PNG image, not a ${editor === 'pixmend' ? 'sprite' : 'font'} file: bring it in through ` +
        'the converter, which turns pictures into sprites and fonts.');
    return null;
  }
  const refusal = refusalOf(bytes);
  if (refusal) {
    say(`${name} cannot be opened: ${refusal}.`);
    await start({args: [name], bytes}); // for the program's own word on it; nothing changes
    return null;
  }
  if (!await mayReplace())
    return null;
  const stored = await files.add(editor, name, bytes);
  if (stored !== name)
    say(`${name} in this browser holds other work; this copy is ${stored}.`);
  return (await start({args: [stored], bytes})) ? stored : null;
}

// Opens the stored file `name`; true once its editor runs.
async function openStored(name) {
  const record = await files.get(editor, name);
  if (!record) {
    say(`${name} is no longer in this browser.`);
    refreshList();
    return true; // nothing left to reopen
  }
  return await mayReplace() && await start({args: [name], bytes: record.bytes});
}

async function fetchSample() {
  const response = await fetch(page.sample);
  if (!response.ok)
    throw new Error(`${page.sample} did not load.`);
  return new Uint8Array(await response.arrayBuffer());
}

// Checks a number field; says what is wrong with it (the browser's own words) when it fails.
function valid(input, label) {
  if (input.checkValidity())
    return true;
  say(`${label}: ${input.validationMessage}`);
  input.reportValidity();
  return false;
}

async function newFile() {
  if (editor === 'pixmend' && !(valid($('width'), 'Width') && valid($('height'), 'Height')))
    return;
  if (!await mayReplace())
    return;
  const wanted = plainName($('name').value, 'new' + page.ending);
  const name = await files.freeName(editor, wanted);
  if (name !== wanted)
    say(`${wanted} in this browser holds other work; the new file is ${name}.`);
  // A second argument starts the font blank; the sprite's are its width and height.
  await start({args: editor === 'pixmend' ?
                 [name, String(Number($('width').value)), String(Number($('height').value))] : [name, 'new'],
               bytes: null});
}

// What the page opens by itself: the file saved last, else a copy of the sample. The
// program loads while the storage is read.
async function choose() {
  const sample = fetchSample(); // needed on a first visit only, fetched meanwhile
  sample.catch(() => {});
  const moveFailed = err => say(`The files of the earlier version of this site could not be read: ${reasonOf(err)}`);
  try {
    const stored = (await files.startingList(editor, moveFailed)).filter(record => !refusalOf(record.bytes));
    stored.sort((a, b) => b.saved - a.saved);
    if (stored.length)
      return {args: [stored[0].name], bytes: stored[0].bytes};
    return {args: [await files.add(editor, page.sample, await sample)], bytes: await sample};
  } catch (err) {
    say(`This browser's storage could not be read: ${reasonOf(err)}`);
    return {args: [page.sample], bytes: await sample};
  }
}

// ---- The list of files in this browser

function entryFor(name) {
  const item = document.createElement('li');
  item.dataset.name = name;
  const label = Object.assign(document.createElement('span'), {className: 'file-name', textContent: name});
  const details = Object.assign(document.createElement('span'), {className: 'file-details'});
  const button = (text, action) => {
    const b = Object.assign(document.createElement('button'), {type: 'button', textContent: text});
    b.setAttribute('aria-label', `${text} ${name}`);
    b.addEventListener('click', () => act(() => action(name)));
    return b;
  };
  item.append(label, ' ', details, ' ', button('Open', openStored), button('Download', downloadStored),
              button('Delete', deleteStored));
  return item;
}

// Brings the list up to date in place: entries are kept, so a focused button keeps the focus.
let listing = Promise.resolve();
function refreshList() {
  listing = listing.then(async () => {
    const records = await files.list(editor);
    const byName = new Map(records.map(record => [record.name, record]));
    for (const item of [...fileList.children])
      if (!byName.has(item.dataset.name))
        item.remove();
    const names = [...byName.keys()].sort((a, b) => a.localeCompare(b));
    let next = fileList.firstElementChild;
    for (const name of names) {
      let item = next && next.dataset.name === name ? next : null;
      if (!item)
        fileList.insertBefore(item = entryFor(name), next);
      next = item.nextElementSibling;
      item.querySelector('.file-details').textContent = describe(byName.get(name));
      item.classList.toggle('current', name === current);
      if (name === current)
        item.setAttribute('aria-current', 'true');
      else
        item.removeAttribute('aria-current');
    }
    $('no-files').hidden = names.length > 0;
  }).catch(err => say(`The files in this browser could not be listed: ${reasonOf(err)}`))
    .finally(() => fileList.removeAttribute('aria-busy'));
  return listing;
}

async function downloadStored(name) {
  const record = await files.get(editor, name);
  if (record)
    files.offer(name, record.bytes);
  else
    say(`${name} is no longer in this browser.`);
}

async function deleteStored(name) {
  if (!window.confirm(`Delete ${name} from this browser? This cannot be undone.`))
    return;
  await files.remove(editor, name);
  say(name === current ? `Deleted ${name} from this browser; it stays open, and F2 stores it again.` :
                         `Deleted ${name} from this browser.`);
  await refreshList();
}

// Another tab saved or deleted a file: the list follows, and the file open here is flagged.
files.watch(change => {
  if (change.editor !== editor)
    return;
  refreshList();
  if (change.name !== current)
    return;
  if (change.change === 'deleted') {
    say(`${current} was deleted in another tab; F2 here stores it again.`);
    return;
  }
  changedElsewhere(current);
});

// The notice of another tab's save, with a button that opens the stored version here. It
// stays when the user chose to keep editing instead.
function changedElsewhere(name) {
  say(`${name} was changed in another tab.`);
  const reopen = Object.assign(document.createElement('button'), {type: 'button', textContent: `Reopen ${name}`});
  reopen.addEventListener('click', () => act(async () => {
    if (!await openStored(name))
      changedElsewhere(name);
  }));
  noticeActions.replaceChildren(reopen);
}

// ---- Download and export

async function savedFile() {
  const record = current && await files.get(editor, current);
  if (record)
    return record.bytes;
  say(`${current} is not saved yet: press F2 in the editor first.`);
  return null;
}

let converter = null;
let converterSaid = []; // what the converter printed in the run under way
function loadConverter() {
  const relay = line => converterSaid.push(line);
  converter ??= files.loadScript('pixconv.js', 'The converter')
    .catch(err => { converter = null; throw err; })
    .then(() => createPixconv({print: relay, printErr: relay}));
  return converter;
}

// What the converter writes for the saved file, offered for download.
async function exportAs(ending) {
  if (ending === '.png' && !valid($('scale'), 'Scale'))
    return;
  const bytes = await savedFile();
  if (!bytes)
    return;
  const pixconv = await loadConverter();
  const stem = current.replace(/\.[^.]*$/, '') || 'file';
  const input = stem + page.ending;
  const output = stem + ending;
  pixconv.FS.writeFile(input, bytes);
  const args = [input, output];
  if (ending === '.png')
    args.push('--scale', String(Number($('scale').value)));
  converterSaid = [];
  const status = pixconv.callMain(args);
  // A usage error (status 2) names the converter's command line, which the page has none
  // of: it says what could not be made instead.
  for (const line of status === 2 ? [`The converter cannot make ${output} from ${input}.`] : converterSaid)
    say(line);
  if (status === 0)
    files.offer(output, pixconv.FS.readFile(output));
  for (const name of [input, output])
    if (pixconv.FS.analyzePath(name).exists)
      pixconv.FS.unlink(name);
}

// Every other output: the converter page, in a tab of its own, with the open file chosen.
$('export-more').addEventListener('click', () => {
  $('export-more').href = 'convert.html' + (current ? '?' + new URLSearchParams({[editor]: current}) : '');
});

// ---- Files on the user's disk, where the browser lets a page write them

const diskHandles = new Map(); // stored name -> the disk file F2 also writes
const pickerTypes = [{description: editor === 'pixmend' ? 'Sprite' : 'Font',
                      accept: {'application/octet-stream': [page.ending]}}];

async function writeToDisk(name, handle, bytes) {
  try {
    let permission = handle.queryPermission ? await handle.queryPermission({mode: 'readwrite'}) : 'granted';
    if (permission !== 'granted' && handle.requestPermission)
      permission = await handle.requestPermission({mode: 'readwrite'});
    if (permission !== 'granted') {
      say(`${name} was not written to ${handle.name} on disk: this browser was not allowed to; ` +
          'the copy in this browser is kept.');
      return;
    }
    const writable = await handle.createWritable();
    await writable.write(bytes);
    await writable.close(); // the browser puts the whole new file in place only now
    say(`Saved ${name} to ${handle.name} on disk.`);
  } catch (err) {
    say(`${name} was not written to ${handle.name} on disk (${reasonOf(err)}); the copy in this browser is kept.`);
  }
}

async function openFromDisk() {
  let handle;
  try {
    [handle] = await window.showOpenFilePicker({types: pickerTypes, multiple: false});
  } catch (err) {
    if (err.name !== 'AbortError')
      say(`No file was opened: ${reasonOf(err)}`);
    return;
  }
  const file = await handle.getFile();
  const stored = await openBytes(file.name, new Uint8Array(await file.arrayBuffer()));
  if (stored) {
    diskHandles.set(stored, handle);
    say(`F2 saves ${stored} in this browser and to ${handle.name} on disk.`);
  }
}

async function saveToDisk() {
  const bytes = await savedFile();
  if (!bytes)
    return;
  let handle;
  try {
    handle = await window.showSaveFilePicker({suggestedName: current, types: pickerTypes});
  } catch (err) {
    if (err.name !== 'AbortError')
      say(`No place on the disk was chosen: ${reasonOf(err)}`);
    return;
  }
  diskHandles.set(current, handle);
  await writeToDisk(current, handle, bytes);
}

// ---- Keys: Tab belongs to the page; the on-screen keys belong to the program.

// SDL cancels Tab on its canvas, and the editors' key maps use neither Tab nor Shift+Tab:
// stopped before SDL sees them, they move the focus as on any other page.
for (const type of ['keydown', 'keyup'])
  window.addEventListener(type, event => {
    if (event.key === 'Tab' && event.target.tagName === 'CANVAS')
      event.stopImmediatePropagation();
  }, true);

// Each key's name is its button's accessible name; `shows` what the button shows instead
// (an arrow); `place` where it goes: the direction pad, the actions or the swatches. Location
// 3 is the keypad.
const keyTable = [
  {name: 'Up', code: 'ArrowUp', key: 'ArrowUp', keyCode: 38, shows: '↑', place: 'pad'},
  {name: 'Left', code: 'ArrowLeft', key: 'ArrowLeft', keyCode: 37, shows: '←', place: 'pad'},
  {name: 'Right', code: 'ArrowRight', key: 'ArrowRight', keyCode: 39, shows: '→', place: 'pad'},
  {name: 'Down', code: 'ArrowDown', key: 'ArrowDown', keyCode: 40, shows: '↓', place: 'pad'},
  {name: 'Space', code: 'Space', key: ' ', keyCode: 32, place: 'actions'},
  {name: 'F2', code: 'F2', key: 'F2', keyCode: 113, place: 'actions'},
  ...(editor === 'pixmend' ? [
    ...'0123456789'.split('').map(d => ({name: d, code: 'Digit' + d, key: d, keyCode: 48 + Number(d), place: 'swatches'})),
    ...'ABCDEFG'.split('').map(l => ({name: l, code: 'Key' + l, key: l.toLowerCase(), keyCode: l.charCodeAt(0),
                                      place: 'swatches'})),
  ] : [
    {name: 'Next glyph', code: 'NumpadAdd', key: '+', keyCode: 107, location: 3, place: 'actions'},
    {name: 'Previous glyph', code: 'NumpadSubtract', key: '-', keyCode: 109, location: 3, place: 'actions'},
    {name: 'Clear glyph', code: 'Digit0', key: '0', keyCode: 48, place: 'actions'},
  ]),
];

// A key as the keyboard would give it: the same events the program's key map reads.
function pressKey(entry) {
  const canvas = program ? program.module.canvas : $('canvas');
  for (const type of ['keydown', 'keyup'])
    canvas.dispatchEvent(new KeyboardEvent(type, {code: entry.code, key: entry.key, keyCode: entry.keyCode,
                                                  which: entry.keyCode, location: entry.location || 0,
                                                  bubbles: true, cancelable: true}));
}

// The editors' palette: a channel is 0xA0 when its colour bit is set (red 4, green 2,
// blue 1), and bit 8 adds 0x5F to all three. Colour 16 is transparent.
const paletteRgb = color => [4, 2, 1].map(bit => (color & bit ? 0xA0 : 0) + (color & 8 ? 0x5F : 0));
const transparent = 16;

// The swatch's digit in black or white, whichever stands out more from its colour.
function swatchStyle(button, color) {
  const [r, g, b] = paletteRgb(color);
  const linear = c => (c /= 255) <= 0.03928 ? c / 12.92 : ((c + 0.055) / 1.055) ** 2.4;
  const luminance = 0.2126 * linear(r) + 0.7152 * linear(g) + 0.0722 * linear(b);
  button.style.background = `rgb(${r}, ${g}, ${b})`;
  button.style.color = luminance > 0.18 ? '#000' : '#fff';
}

const keyGroups = {
  pad: Object.assign(document.createElement('div'), {className: 'pad'}),
  actions: Object.assign(document.createElement('div'), {className: 'actions'}),
  swatches: Object.assign(document.createElement('div'), {className: 'swatches'}),
};
keyGroups.swatches.setAttribute('role', 'group');
keyGroups.swatches.setAttribute('aria-label', 'Colours');
for (const entry of keyTable) {
  const button = Object.assign(document.createElement('button'), {type: 'button', textContent: entry.shows || entry.name});
  button.dataset.key = entry.name;
  if (entry.shows)
    button.setAttribute('aria-label', entry.name);
  if (entry.place === 'swatches') {
    const color = parseInt(entry.name, 17);
    button.setAttribute('aria-pressed', 'false');
    if (color === transparent) {
      button.setAttribute('aria-label', entry.name);
      button.title = 'Transparent';
      button.replaceChildren(Object.assign(document.createElement('span'), {textContent: 'Transparent (G)'}));
    } else {
      button.title = `Colour ${color}`;
      swatchStyle(button, color);
    }
  }
  button.addEventListener('click', () => pressKey(entry));
  keyGroups[entry.place].append(button);
}
$('keys').append(...Object.values(keyGroups).filter(group => group.childElementCount));

// ---- What the page shows of the program's state, learnt from the keys it passes on: the
// colour selected (pixmend) or the glyph under edit (glyfmend). Each instance starts at 1
// (dark blue) and at glyph 0, as the programs do.

let selected = 1;
let glyph = 0;

const colorOfCode = code => /^(Digit[0-9]|Key[A-G])$/.test(code) ? parseInt(code.slice(-1), 17) : null;

function showSelected() {
  for (const button of keyGroups.swatches.children)
    button.setAttribute('aria-pressed', String(parseInt(button.dataset.key, 17) === selected));
}

function followKey(code) {
  if (editor === 'pixmend') {
    const color = colorOfCode(code);
    if (color !== null && color !== selected) {
      selected = color;
      showSelected();
    }
  } else if (code === 'NumpadAdd' || code === 'NumpadSubtract') {
    glyph = (glyph + (code === 'NumpadAdd' ? 1 : 255)) % 256; // both ends wrap, as in the program
    drawFontTable();
  }
}

function resetFollowed() {
  selected = 1;
  glyph = 0;
  if (editor === 'pixmend')
    showSelected();
  else
    drawFontTable();
}

// glyfmend's font as stored, 16 glyphs to a row, each in a 10 x 10 cell with a pixel of
// ground round it; the glyph under edit on the mark colour. Row bit c is column c.
let tableFont = new Uint8Array(0);

function drawFontTable(bytes = tableFont) {
  tableFont = bytes;
  const table = $('font-table');
  if (!table)
    return;
  const colors = getComputedStyle(document.documentElement);
  const context = table.getContext('2d');
  context.fillStyle = colors.getPropertyValue('--panel');
  context.fillRect(0, 0, 160, 160);
  context.fillStyle = colors.getPropertyValue('--mark');
  context.fillRect(glyph % 16 * 10, (glyph >> 4) * 10, 10, 10);
  context.fillStyle = colors.getPropertyValue('--text');
  for (let index = 0; index < 256; ++index)
    for (let row = 0; row < 8; ++row)
      for (let column = 0; column < 8; ++column)
        if (tableFont[index * 8 + row] >> column & 1)
          context.fillRect(index % 16 * 10 + 1 + column, (index >> 4) * 10 + 1 + row, 1, 1);
  const char = glyph >= 0x20 && glyph < 0x7F ? `, ${String.fromCharCode(glyph)}` : '';
  $('glyph-now').textContent = `Marked: glyph ${glyph} (0x${glyph.toString(16).toUpperCase().padStart(2, '0')}${char}), ` +
                               'the one under edit.';
}
window.matchMedia('(prefers-color-scheme: dark)').addEventListener('change', () => drawFontTable());

// ---- The page

// The largest whole multiple of the 320 x 200 picture that fits the picture's column and
// the window below the picture's top, at least 1 x: every picture pixel a square of whole
// screen pixels. The column's width never depends on the picture's (site.css).
function fitCanvas() {
  const stage = $('stage');
  const width = stage.clientWidth;
  const height = window.innerHeight - (stage.getBoundingClientRect().top + window.scrollY);
  const scale = Math.max(1, Math.floor(Math.min(width / 320, height / 200)));
  document.documentElement.style.setProperty('--scale', String(scale));
}

// One action at a time, in the order asked; each starts the status line afresh.
let acting = Promise.resolve();
let actions = 0;         // asked for and not yet done
function act(action) {
  ++actions;
  acting = acting.then(() => { clearStatus(); return action(); }).catch(err => say(reasonOf(err)))
    .finally(() => { --actions; });
  return acting;
}

const onClick = (id, action) => $(id).addEventListener('click', () => act(action));
$('new-file').addEventListener('submit', event => {
  event.preventDefault();
  act(newFile);
});
onClick('sample', async () => { await openBytes(page.sample, await fetchSample()); });
onClick('download', async () => {
  const bytes = await savedFile();
  if (bytes)
    files.offer(current, bytes);
});
for (const button of document.querySelectorAll('.export'))
  button.addEventListener('click', () => act(() => exportAs(button.dataset.ending)));
$('open').addEventListener('change', () => act(async () => {
  const file = $('open').files[0];
  $('open').value = '';
  if (file)
    await openBytes(file.name, new Uint8Array(await file.arrayBuffer()));
}));
if ('showOpenFilePicker' in window && 'showSaveFilePicker' in window) {
  onClick('open-disk', openFromDisk);
  onClick('save-disk', saveToDisk);
  $('open-disk').hidden = $('save-disk').hidden = false;
}
window.addEventListener('resize', fitCanvas);
// A scroll bar that comes or goes changes the column's width without resizing the window.
// The observer's first call comes with the first frame, where the page is laid out anyway:
// measured any earlier, the page's first layout would hold back the program's start.
new ResizeObserver(fitCanvas).observe($('stage'));

// What the tests and the benchmark watch: the instance that runs, and its command line.
window.editorPage = {
  get running() { return Boolean(program && program.running); },
  get args() { return program ? program.args : null; },
  get current() { return current; },
  get runs() { return runs; },
  get unsaved() { return unsaved; },
  // The program has handled every key sent so far and the page has compared its file since.
  get settled() { return !keysSince; },
  get idle() { return actions === 0; },
};

// Runs `task` once the frame being prepared is on screen; at once in a tab that is or goes
// into the background, where no frames are drawn.
function afterNextFrame(task) {
  let ran = false;
  const once = () => {
    if (!ran)
      setTimeout(task, 0);
    ran = true;
  };
  if (document.hidden)
    return once();
  requestAnimationFrame(once);
  document.addEventListener('visibilitychange', once, {once: true});
}

// The program's WebAssembly compiles while its script loads. What can wait comes after the
// first picture: the list (its dates' formatting alone takes tens of milliseconds on a first
// use), the request for lasting storage, and the service worker, whose first install
// fetches and checks the whole site.
compile().catch(() => {});
act(startFirst).finally(() => afterNextFrame(() => {
  refreshList();
  if (navigator.storage && navigator.storage.persist)
    navigator.storage.persist().catch(() => {});
  if ('serviceWorker' in navigator)
    navigator.serviceWorker.register('sw.js').catch(() => {});
}));
})();
