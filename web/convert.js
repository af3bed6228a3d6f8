// The converter page: the browser's pixconv run on files from the disk or kept in the
// browser. What it offers comes from the converter's own tables (its format, mode and
// option rows, printed as JSON by --tables-json), read once it has loaded, so that a new
// row there is a new choice here.
// The choices make a command line, which is what runs: the user may edit it first.
(() => {
'use strict';

const $ = id => document.getElementById(id);
const files = window.browserFiles;
const statusArea = $('status');
const editors = {pixmend: 'sprite', glyfmend: 'font'};

function say(line) {
  statusArea.textContent += (statusArea.textContent ? '\n' : '') + line;
}
const reasonOf = err => String((err && err.message) || err || 'unknown reason');

// ---- The converter, one instance for the page; each run works in a folder of its own.

let printed = [];
let factory = null;
let converter = null;
function loadConverter() {
  factory ??= files.loadScript('pixconv.js', 'The converter').then(() => window.createPixconv)
    .catch(err => { factory = null; throw err; });
  const keep = line => printed.push(line);
  converter ??= factory.then(create => create({print: keep, printErr: keep}));
  converter.then(instance => { converterNow = instance; }, () => { converter = null; });
  return converter;
}
let converterNow = null; // the instance, once it has loaded

// ---- The tables, as the converter prints them for programs (`--tables-json`)

// The format table: {endings, flags, text, read, write, kinds} a row, for the rows whose
// ending their --help line names (a .gz one is read as what it packs).
function formatsOf(tables) {
  const sprite = list => list.includes('sprite') || list.includes('font');
  return tables.formats.filter(row => row.shown).map(row => ({
    endings: [row.ending], flags: row.asked_by ? [row.asked_by] : [],
    // The label of what it writes: without its uses, nor the half that only reads.
    text: row.help.replace(/\s*\([^)]*\)\s*$/, '').replace(/(:\s*)[^:]*\(read\),\s*/, '$1'),
    read: sprite(row.read), write: sprite(row.write),
    kinds: row.holds === 'either' ? ['sprite', 'font'] : [row.holds]}));
}

// The modes that read files: {section, inputs: [{ending, many}], outputs: [pattern],
// options: [flag], text}.
function modesOf(tables) {
  return tables.modes.filter(mode => mode.inputs.length && mode.help).map(mode => ({
    section: mode.section.replace(/\s*\(.*/, ''), inputs: mode.inputs, outputs: mode.outputs,
    options: mode.needs, text: mode.help}));
}

// The options: {flag, value (what it stands for, or ''), help} each; --help and the
// like convert nothing, and --watch has no use here.
function optionsOf(tables) {
  return tables.options.filter(option => !option.action && option.name !== '--watch')
    .map(option => ({flag: option.name, value: option.value, help: option.help}));
}

// ---- The chosen files: {name, bytes, from} in the order chosen, from 'disk' or an editor.

const chosen = [];
let formats = [];
let modes = [];
let options = [];

const endsWith = (name, ending) => name.toLowerCase().endsWith(ending.toLowerCase());
// The format row that reads `name` (a .gz one as what it packs), or null.
function readerOf(name) {
  const plain = name.replace(/\.gz$/i, '');
  return formats.find(row => row.read && row.endings.some(ending => endsWith(name, ending) || endsWith(plain, ending)))
         || null;
}
const stemOf = name => name.replace(/\.gz$/i, '').replace(/\.[^./]*$/, '') || 'file';

// The files named on the command line; the others (an atlas beside its sheet) only go in
// the converter's folder.
function inputsOf() {
  const modeEndings = modes.flatMap(mode => mode.inputs.map(input => input.ending));
  return chosen.filter(file => readerOf(file.name) || modeEndings.some(ending => endsWith(file.name, ending)));
}

// What the chosen inputs can become: {label, output, flags, options} each. One file
// becomes another first; several are what the modes take.
function targetsFor(inputs) {
  const modeTargets = [];
  const formatTargets = [];
  for (const mode of modes) {
    const [input] = mode.inputs;
    const fits = mode.inputs.length === 1 && inputs.every(file => endsWith(file.name, input.ending)) &&
                 (input.many ? inputs.length > 1 : inputs.length === 1);
    if (!fits)
      continue;
    for (const pattern of mode.outputs) {
      const stem = stemOf(inputs[0].name);
      const output = pattern.endsWith('/') ? stem + '/' : pattern.replace(/^[A-Z]+/, stem);
      modeTargets.push({label: `${mode.section}: ${pattern}, ${mode.text}`, output, flags: [], options: mode.options});
    }
  }
  const reader = inputs.length === 1 && readerOf(inputs[0].name);
  if (reader)
    for (const row of formats.filter(row => row.write && row.kinds.some(kind => reader.kinds.includes(kind))))
      for (const ending of row.endings) {
        if (endsWith(inputs[0].name, ending) && !row.flags.length)
          continue;
        // The same name as the input (a BMFont from a font file) gets what makes it differ.
        const stem = stemOf(inputs[0].name);
        const output = endsWith(inputs[0].name, ending) ?
          `${stem}-${row.flags.map(flag => flag.slice(2)).join('-')}${ending}` : stem + ending;
        formatTargets.push({label: `${row.text} (${[ending, ...row.flags].join(' ')})`, output, flags: row.flags,
                            options: []});
      }
  return [...formatTargets, ...modeTargets];
}

// ---- The command line

const plainWord = /^[A-Za-z0-9._%/+=:,@-]+$/;
const quote = word => plainWord.test(word) ? word : `'${word.replace(/'/g, `'\\''`)}'`;

// Words as a shell splits them: spaces part them; '...' keeps everything, "..." and a
// backslash keep the next character.
function wordsOf(line) {
  const words = [];
  let word = null;
  let quoting = '';
  for (let i = 0; i < line.length; ++i) {
    const c = line[i];
    if (quoting && c === quoting) {
      quoting = '';
    } else if (quoting === "'") {
      word += c;
    } else if (c === '\\' && i + 1 < line.length) {
      word = (word ?? '') + line[++i];
    } else if (quoting) {
      word += c;
    } else if (c === "'" || c === '"') {
      quoting = c;
      word ??= '';
    } else if (/\s/.test(c)) {
      if (word !== null)
        words.push(word);
      word = null;
    } else {
      word = (word ?? '') + c;
    }
  }
  if (quoting)
    throw new Error(`The command line has a ${quoting} that is not closed.`);
  if (word !== null)
    words.push(word);
  return words;
}

let targets = [];

function optionWords() {
  const words = [];
  for (const option of options) {
    const control = $(controlId(option.flag));
    if (option.value && control.value.trim())
      words.push(option.flag, control.value.trim());
    else if (!option.value && control.checked)
      words.push(option.flag);
  }
  return words;
}

function commandFor() {
  const target = targets[$('target').selectedIndex];
  const words = optionWords();
  if (target)
    for (const flag of target.flags)
      if (!words.includes(flag))
        words.push(flag);
  const inputs = inputsOf().map(file => file.name);
  const output = $('output').value.trim();
  return ['pixconv', ...words, ...inputs, ...(inputs.length && output ? [output] : [])].map(quote).join(' ');
}

function showCommand() {
  $('command').value = commandFor();
}

// New inputs: the outputs they can become, the first chosen unless the one before fits.
function showTargets() {
  const select = $('target');
  const before = targets[select.selectedIndex];
  targets = targetsFor(inputsOf());
  // An empty list says why it is empty.
  select.replaceChildren(...(targets.length ? targets.map(target => new Option(target.label)) :
                                              [new Option('Choose files first')]));
  const again = before ? targets.findIndex(target => target.label === before.label) : -1;
  select.selectedIndex = again >= 0 ? again : 0;
  select.disabled = targets.length === 0;
  showTarget();
}

// A mode that needs an option (--cell WxH) starts it filled in; another mode empties it
// again unless the user has changed it.
const filledIn = new Map(); // flag -> the value the page put there
function showTarget() {
  const target = targets[$('target').selectedIndex];
  const needed = target ? target.options : [];
  $('output').value = target ? target.output : '';
  for (const [flag, value] of filledIn)
    if (!needed.includes(flag)) {
      if ($(controlId(flag)).value === value)
        $(controlId(flag)).value = '';
      filledIn.delete(flag);
    }
  for (const flag of needed) {
    const option = options.find(o => o.flag === flag);
    const control = option && $(controlId(flag));
    if (control && option.value && !control.value) {
      control.value = '8x8';
      filledIn.set(flag, control.value);
    }
  }
  showCommand();
  showApplying(target);
}

// A value the converter takes for an option, to ask it whether the option applies: the
// one given, else one its metavar or its help line's default names.
function sampleValue(option) {
  const given = $(controlId(option.flag)).value.trim();
  if (given)
    return given;
  if (/^(N|MS)$/.test(option.value))
    return '1';
  if (option.value.includes('|'))
    return option.value.split('|')[0];
  if (/^[A-Z]x[A-Z]$/.test(option.value))
    return '1x1';
  return /([\w-]+)(?: \(default\)|, the default)/.exec(option.help)?.[1] || 'x';
}

// Shows only the options that apply to the target, as the converter itself says: it
// checks them before it reads a file, so it runs here on the file names alone, in an empty
// folder, and refuses an option that does not apply as a usage error (status 2). An
// option the user has set stays in view.
function showApplying(target) {
  const pixconv = converterNow;
  const inputs = inputsOf().map(file => file.name);
  if (!pixconv || !target || !inputs.length) {
    for (const row of document.querySelectorAll('#options .option'))
      row.hidden = false;
    return;
  }
  const {FS} = pixconv;
  const dir = `/probe${++runs}`;
  FS.mkdir(dir);
  FS.chdir(dir);
  if (target.output.endsWith('/'))
    FS.mkdir(target.output);
  const wordsFor = option => option.value ? [option.flag, sampleValue(option)] : [option.flag];
  // What the target itself needs (--cell WxH to cut a grid) goes in every question.
  const needed = options.filter(option => target.options.includes(option.flag)).flatMap(wordsFor);
  const ask = extra => pixconv.callMain([...extra, ...needed, ...target.flags, ...inputs, target.output]);
  const plain = ask([]);
  for (const option of options) {
    const control = $(controlId(option.flag));
    const set = option.value ? control.value.trim() !== '' : control.checked;
    control.closest('.option').hidden = !set && plain !== 2 && !target.options.includes(option.flag) &&
                                         ask(wordsFor(option)) === 2;
  }
  printed = [];
  FS.chdir('/');
  removeTree(FS, dir);
}

// ---- Choosing files

function showChosen() {
  $('chosen').replaceChildren(...chosen.map(file => {
    const item = document.createElement('li');
    const remove = Object.assign(document.createElement('button'), {type: 'button', textContent: 'Remove'});
    remove.setAttribute('aria-label', `Remove ${file.name}`);
    remove.addEventListener('click', () => unchoose(file.name));
    const from = file.from === 'disk' ? 'from the disk' : `kept in this browser (${file.from})`;
    item.append(Object.assign(document.createElement('span'), {className: 'file-name', textContent: file.name}),
                ` ${file.bytes.length} bytes, ${from} `, remove);
    return item;
  }));
  $('none-chosen').hidden = chosen.length > 0;
  for (const box of document.querySelectorAll('#kept input'))
    box.checked = chosen.some(file => file.name === box.dataset.name && file.from === box.dataset.editor);
  showTargets();
}

// A file of the same name replaces the one chosen before: the command line names it once.
function choose(name, bytes, from) {
  const at = chosen.findIndex(file => file.name === name);
  if (at >= 0)
    chosen.splice(at, 1, {name, bytes, from});
  else
    chosen.push({name, bytes, from});
}

function unchoose(name) {
  const at = chosen.findIndex(file => file.name === name);
  if (at >= 0)
    chosen.splice(at, 1);
  showChosen();
}

async function chooseFromDisk(list) {
  for (const file of list)
    choose(file.name.split(/[\\/]/).pop(), new Uint8Array(await file.arrayBuffer()), 'disk');
  showChosen();
}

async function chooseKept(editor, name) {
  const record = await files.get(editor, name);
  if (!record) {
    say(`${name} is not in this browser: save it there first (F2 in the editor).`);
    return;
  }
  choose(name, record.bytes, editor);
  showChosen();
}

// The files kept in the browser, a group of check boxes an editor.
async function showKept() {
  const groups = [];
  for (const [editor, what] of Object.entries(editors)) {
    const records = (await files.list(editor)).sort((a, b) => a.name.localeCompare(b.name));
    if (!records.length)
      continue;
    const group = document.createElement('fieldset');
    const title = `${what[0].toUpperCase() + what.slice(1)}s in this browser (${editor})`;
    group.append(Object.assign(document.createElement('legend'), {textContent: title}));
    for (const record of records) {
      const box = Object.assign(document.createElement('input'), {type: 'checkbox'});
      Object.assign(box.dataset, {editor, name: record.name});
      box.checked = chosen.some(file => file.name === record.name && file.from === editor);
      box.addEventListener('change', () => act(() => box.checked ? chooseKept(editor, record.name) :
                                                                     unchoose(record.name)));
      const label = document.createElement('label');
      label.append(box, ` ${record.name}`);
      group.append(label);
    }
    groups.push(group);
  }
  $('kept').replaceChildren(...groups);
}

// ---- The options, as controls

const controlId = flag => 'option' + flag;

function showOptions() {
  $('options').replaceChildren(...options.map(option => {
    const row = Object.assign(document.createElement('p'), {className: 'option'});
    const usage = [option.flag, option.value].join(' ').trim();
    const help = Object.assign(document.createElement('span'), {id: controlId(option.flag) + '-help', className: 'note',
                                                                 textContent: `${usage}: ${option.help}`});
    const control = Object.assign(document.createElement('input'), {id: controlId(option.flag)});
    if (option.value) {
      Object.assign(control, {type: 'text', size: 10, spellcheck: false, autocomplete: 'off'});
      if (/^(N|MS)$/.test(option.value))
        control.inputMode = 'numeric';
    } else {
      control.type = 'checkbox';
    }
    control.setAttribute('aria-describedby', help.id);
    control.addEventListener('input', showCommand);
    control.addEventListener('change', () => showApplying(targets[$('target').selectedIndex]));
    const label = document.createElement('label');
    const name = option.flag.slice(2);
    label.append(...option.value ? [`${name} `, control] : [control, ` ${name}`]);
    row.append(label, ' ', help);
    return row;
  }));
}

// ---- Running the command line

let runs = 0;
const sameBytes = (a, b) => a.length === b.length && a.every((byte, i) => byte === b[i]);

// Every file under `dir` of the converter's file system, by its path below it.
function filesUnder(FS, dir, prefix = '', found = new Map()) {
  for (const name of FS.readdir(dir)) {
    if (name === '.' || name === '..')
      continue;
    const path = `${dir}/${name}`;
    if (FS.isDir(FS.stat(path).mode))
      filesUnder(FS, path, `${prefix}${name}/`, found);
    else
      found.set(prefix + name, FS.readFile(path));
  }
  return found;
}

function removeTree(FS, dir) {
  for (const name of FS.readdir(dir))
    if (name !== '.' && name !== '..') {
      const path = `${dir}/${name}`;
      FS.isDir(FS.stat(path).mode) ? removeTree(FS, path) : FS.unlink(path);
    }
  FS.rmdir(dir);
}

// Runs `line` on the chosen files; resolves to the files the run wrote or changed, by path.
async function run(line) {
  const words = wordsOf(line);
  if (words[0] !== 'pixconv')
    throw new Error('The command line starts with pixconv.');
  const pixconv = await loadConverter();
  const {FS} = pixconv;
  const dir = `/run${++runs}`;
  FS.mkdir(dir);
  FS.chdir(dir);
  try {
    for (const file of chosen)
      FS.writeFile(file.name, file.bytes);
    // A folder to cut into is made first, as a user does on the desktop.
    for (const word of words.slice(1))
      if (word.endsWith('/') && !word.startsWith('-') && !word.startsWith('/'))
        word.split('/').filter(Boolean).reduce((path, part) => {
          path += part + '/';
          if (!FS.analyzePath(path).exists)
            FS.mkdir(path);
          return path;
        }, '');
    const before = filesUnder(FS, dir);
    printed = [];
    let status;
    try {
      status = pixconv.callMain(words.slice(1));
    } catch (err) {
      // An abort (out of memory, say) ends the instance: the next run starts a new one.
      converter = converterNow = null;
      throw new Error(`The converter stopped: ${reasonOf(err)}`);
    }
    const after = filesUnder(FS, dir);
    for (const line of printed)
      say(line);
    if (status !== 0)
      return null;
    return new Map([...after].filter(([path, bytes]) => !before.has(path) || !sameBytes(before.get(path), bytes)));
  } finally {
    if (converter) {
      FS.chdir('/');
      removeTree(FS, dir);
    }
  }
}

// ---- The result

let download = null; // {name, bytes}
const urls = [];
const pictureTypes = {'.png': 'image/png', '.gif': 'image/gif', '.apng': 'image/apng'};

let zipper = null;
function loadZipper() {
  zipper ??= files.loadScript('fflate.js', 'The zip packer').then(() => window.fflate)
    .catch(err => { zipper = null; throw err; });
  return zipper;
}

// The name a .zip of the outputs of `line` gets: its last word's, without ending or folder.
function zipName(line) {
  const last = wordsOf(line).at(-1) || 'pixconv';
  const stem = last.replace(/\/+$/, '').split('/').pop().replace(/\.[^.]*$/, '').replace(/%0?\d*d/g, '');
  return (stem.replace(/[_-]+$/, '') || 'pixconv') + '.zip';
}

// What a kept output is to the editors: a sprite, a 2048-byte font, or nothing they open.
function editorFor(path, bytes) {
  if (endsWith(path, '.spr') && bytes.length >= 2 && bytes.length === 2 + bytes[0] * bytes[1])
    return 'pixmend';
  if (endsWith(path, '.fnt') && bytes.length === 2048)
    return 'glyfmend';
  return null;
}

async function keep(editor, path, bytes) {
  const name = path.split('/').pop();
  const stored = await files.add(editor, name, bytes);
  say(stored === name ? `Kept ${name} in this browser: ${editor} lists it.` :
                        `Kept ${name} in this browser as ${stored}: ${editor} lists it.`);
  await showKept();
}

// A picture shown at the largest whole scale, up to 8, that fits the page's width: every
// pixel a square of whole screen pixels. One wider than the page stays at 1 and scrolls.
function wholeScale(picture) {
  const room = picture.parentElement.clientWidth;
  const scale = Math.max(1, Math.min(8, Math.floor(room / picture.naturalWidth)));
  picture.width = picture.naturalWidth * scale;
  picture.height = picture.naturalHeight * scale;
}

async function showResult(outputs, line) {
  for (const url of urls.splice(0))
    URL.revokeObjectURL(url);
  const items = [];
  for (const [path, bytes] of outputs) {
    const item = document.createElement('li');
    item.append(Object.assign(document.createElement('span'), {className: 'file-name', textContent: path}),
                ` ${bytes.length} bytes `);
    const type = Object.entries(pictureTypes).find(([ending]) => endsWith(path, ending));
    if (type) {
      const url = URL.createObjectURL(new Blob([bytes], {type: type[1]}));
      urls.push(url);
      const picture = Object.assign(document.createElement('img'), {src: url, alt: path, className: 'picture'});
      picture.addEventListener('load', () => wholeScale(picture), {once: true});
      item.append(Object.assign(document.createElement('div'), {className: 'picture-box'}));
      item.lastChild.append(picture);
    }
    const editor = editorFor(path, bytes);
    if (editor) {
      const button = Object.assign(document.createElement('button'),
                                   {type: 'button', textContent: 'Keep in this browser'});
      button.setAttribute('aria-label', `Keep ${path} in this browser`);
      button.addEventListener('click', () => act(() => keep(editor, path, bytes)));
      item.append(' ', button);
    }
    items.push(item);
  }
  $('outputs').replaceChildren(...items);
  if (outputs.size === 1) {
    const [[path, bytes]] = outputs;
    download = {name: path.split('/').pop(), bytes};
  } else {
    const {zipSync} = await loadZipper();
    download = {name: zipName(line), bytes: zipSync(Object.fromEntries(outputs), {level: 9})};
  }
  $('download').textContent = `Download ${download.name}`;
  $('result').hidden = outputs.size === 0;
}

let converted = 0; // runs finished, however they ended
async function convert() {
  $('result').hidden = true;
  try {
    const line = $('command').value;
    const outputs = await run(line);
    if (!outputs)
      return;
    if (!outputs.size) {
      say('The command wrote no file.');
      return;
    }
    await showResult(outputs, line);
    say(outputs.size === 1 ? 'Converted: one file.' :
                             `Converted: ${outputs.size} files; Download gives them as one .zip.`);
  } finally {
    ++converted;
  }
}

// ---- The page

// One action at a time, in the order asked; each starts the status line afresh.
let acting = Promise.resolve();
function act(action) {
  acting = acting.then(() => { statusArea.textContent = ''; return action(); }).catch(err => say(reasonOf(err)));
  return acting;
}

$('pick').addEventListener('change', () => act(async () => {
  await chooseFromDisk([...$('pick').files]);
  $('pick').value = '';
}));
document.addEventListener('dragover', event => event.preventDefault());
document.addEventListener('drop', event => {
  event.preventDefault();
  act(() => chooseFromDisk([...event.dataTransfer.files]));
});
$('target').addEventListener('change', showTarget);
$('output').addEventListener('input', showCommand);
$('convert').addEventListener('click', () => act(convert));
$('download').addEventListener('click', () => download && files.offer(download.name, download.bytes));
files.watch(() => showKept().catch(() => {}));
if ('serviceWorker' in navigator)
  navigator.serviceWorker.register('sw.js').catch(() => {});

// What the tests watch: whether the tables are read, and how many runs have finished.
window.convertPage = {ready: false, get converted() { return converted; }};

act(async () => {
  const pixconv = await loadConverter();
  printed = [];
  pixconv.callMain(['--tables-json']);
  const tables = JSON.parse(printed.join('\n'));
  [formats, modes, options] = [formatsOf(tables), modesOf(tables), optionsOf(tables)];
  showOptions();
  await showKept();
  // convert.html?pixmend=NAME: an editor's Export… with its open file chosen.
  for (const [editor, name] of new URLSearchParams(location.search))
    if (editor in editors)
      await chooseKept(editor, name);
  showChosen();
  window.convertPage.ready = true;
  document.body.dataset.ready = 'true';
});
})();
