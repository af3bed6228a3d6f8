// node serve.js FOLDER [PORT]: serves FOLDER over HTTP on 127.0.0.1, the .wasm files with
// the type browsers need. PORT 0 takes a free port. Prints the address as its first line.
'use strict';
const http = require('http');
const fs = require('fs');
const path = require('path');

const types = {'.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.css': 'text/css',
               '.wasm': 'application/wasm', '.json': 'application/json', '.png': 'image/png',
               '.webmanifest': 'application/manifest+json'};

function serve(folder, port) {
  const root = path.resolve(folder);
  const server = http.createServer((request, response) => {
    const wanted = decodeURIComponent(new URL(request.url, 'http://x').pathname);
    const file = path.join(root, wanted.endsWith('/') ? wanted + 'index.html' : wanted);
    if (!file.startsWith(root + path.sep)) {
      response.writeHead(403).end();
      return;
    }
    fs.readFile(file, (err, data) => {
      if (err) {
        response.writeHead(404).end('not found');
        return;
      }
      response.writeHead(200, {'Content-Type': types[path.extname(file)] || 'application/octet-stream',
                               'Cache-Control': 'no-cache'});
      response.end(data);
    });
  });
  return new Promise(resolve => server.listen(port, '127.0.0.1', () => resolve(server)));
}

module.exports = {serve};

if (require.main === module) {
  serve(process.argv[2] || '.', Number(process.argv[3] || 8080)).then(server => {
    console.log(`http://127.0.0.1:${server.address().port}/`);
  });
}
