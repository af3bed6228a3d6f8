// node make-sw.js TEMPLATE FOLDER FILE...: writes FOLDER/sw.js from the service worker's
// TEMPLATE with the SHA-256 of every FILE of the site in it. Any change to the site thus
// changes sw.js, which is what makes browsers install the new version.
'use strict';
const crypto = require('crypto');
const fs = require('fs');
const path = require('path');

const [template, folder, ...names] = process.argv.slice(2);
const hashes = Object.fromEntries(names.sort().map(name => [
  name, crypto.createHash('sha256').update(fs.readFileSync(path.join(folder, name))).digest('hex')]));
const version = crypto.createHash('sha256').update(JSON.stringify(hashes)).digest('hex').slice(0, 16);
const text = fs.readFileSync(template, 'utf8')
  .replace("'@VERSION@'", JSON.stringify(version))
  .replace("{/* @FILES@ */}", JSON.stringify(hashes, null, 1));
fs.writeFileSync(path.join(folder, 'sw.js'), text);
