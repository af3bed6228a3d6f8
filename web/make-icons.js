// node make-icons.js SPRITE FOLDER: draws the site's icons (icon-192.png, icon-512.png) from
// a sprite file: its pixels as whole squares in the editors' colours, centred on the blue
// the sprite editor shows behind its work. Transparent pixels show that blue.
'use strict';
const fs = require('fs');
const path = require('path');
const zlib = require('zlib');

const [spritePath, folder] = process.argv.slice(2);
const sprite = fs.readFileSync(spritePath);
const [width, height] = sprite;

function rgbOf(color) {
  const bright = color & 8 ? 0x5F : 0;
  return [(color & 4 ? 0xA0 : 0) + bright, (color & 2 ? 0xA0 : 0) + bright, (color & 1 ? 0xA0 : 0) + bright];
}

const crcTable = Array.from({length: 256}, (_, n) => {
  let c = n;
  for (let k = 0; k < 8; ++k)
    c = c & 1 ? 0xEDB88320 ^ (c >>> 1) : c >>> 1;
  return c >>> 0;
});
function crc32(bytes) {
  let c = 0xFFFFFFFF;
  for (const byte of bytes)
    c = crcTable[(c ^ byte) & 0xFF] ^ (c >>> 8);
  return (c ^ 0xFFFFFFFF) >>> 0;
}

function chunk(type, data) {
  const body = Buffer.concat([Buffer.from(type, 'latin1'), data]);
  const out = Buffer.alloc(12 + data.length);
  out.writeUInt32BE(data.length, 0);
  body.copy(out, 4);
  out.writeUInt32BE(crc32(body), 8 + data.length);
  return out;
}

function icon(size) {
  // A whole-number scale with a margin of a sixth of the icon, so the knight stays sharp.
  const scale = Math.max(1, Math.floor((size * 2 / 3) / Math.max(width, height, 1)));
  const left = Math.floor((size - width * scale) / 2);
  const top = Math.floor((size - height * scale) / 2);
  const backdrop = rgbOf(1);
  const rows = [];
  for (let y = 0; y < size; ++y) {
    const row = Buffer.alloc(1 + 3 * size); // filter byte 0: none
    for (let x = 0; x < size; ++x) {
      const sx = Math.floor((x - left) / scale);
      const sy = Math.floor((y - top) / scale);
      const inside = x >= left && y >= top && sx < width && sy < height;
      const value = inside ? sprite[2 + sy * width + sx] : 255;
      Buffer.from(value === 255 ? backdrop : rgbOf(value)).copy(row, 1 + 3 * x);
    }
    rows.push(row);
  }
  const header = Buffer.alloc(13);
  header.writeUInt32BE(size, 0);
  header.writeUInt32BE(size, 4);
  header[8] = 8; // bits per channel
  header[9] = 2; // truecolour
  return Buffer.concat([Buffer.from([0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A]), chunk('IHDR', header),
                        chunk('IDAT', zlib.deflateSync(Buffer.concat(rows), {level: 9})), chunk('IEND', Buffer.alloc(0))]);
}

for (const size of [192, 512])
  fs.writeFileSync(path.join(folder, `icon-${size}.png`), icon(size));
