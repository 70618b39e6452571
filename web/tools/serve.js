// A small static file server for the page: node tools/serve.js DIRECTORY [PORT]
// It listens on localhost only and sends each file with its type (the engine's .wasm, where a
// build has one, as application/wasm).

import { createReadStream } from "node:fs";
import { stat } from "node:fs/promises";
import { createServer } from "node:http";
import path from "node:path";
import { fileURLToPath } from "node:url";

export const MimeTypes = {
  ".html": "text/html; charset=utf-8",
  ".js": "text/javascript; charset=utf-8",
  ".mjs": "text/javascript; charset=utf-8",
  ".css": "text/css; charset=utf-8",
  ".json": "application/json; charset=utf-8",
  ".wasm": "application/wasm",
  ".svg": "image/svg+xml",
  ".png": "image/png",
  ".ico": "image/x-icon",
  ".txt": "text/plain; charset=utf-8",
  ".zip": "application/zip",
};

// A page under development must not be served stale.
const Headers = { "Cache-Control": "no-cache" };

// The file under root that a request path names, or null when it would leave root.
export function resolvePath(root, urlPath) {
  let decoded;
  try {
    decoded = decodeURIComponent(urlPath.split("?")[0]);
  } catch {
    return null;
  }
  if (decoded.includes("\0")) return null;
  const file = path.join(root, path.normalize(decoded));
  const relative = path.relative(root, file);
  if (relative.startsWith("..") || path.isAbsolute(relative)) return null;
  return decoded.endsWith("/") ? path.join(file, "index.html") : file;
}

async function handle(root, request, response) {
  const fail = (status, text) => {
    response.writeHead(status, { "Content-Type": MimeTypes[".txt"] });
    response.end(text);
  };
  if (request.method !== "GET" && request.method !== "HEAD") return fail(405, "GET only\n");
  let file = resolvePath(root, request.url);
  if (file === null) return fail(403, "Forbidden\n");
  let info = await stat(file).catch(() => null);
  if (info?.isDirectory()) {
    file = path.join(file, "index.html");
    info = await stat(file).catch(() => null);
  }
  if (!info?.isFile()) return fail(404, "Not found\n");
  const type = MimeTypes[path.extname(file).toLowerCase()] ?? "application/octet-stream";
  response.writeHead(200, { ...Headers, "Content-Type": type, "Content-Length": info.size });
  if (request.method === "HEAD") return response.end();
  createReadStream(file).pipe(response);
}

// Serves root on 127.0.0.1:port (0: any free port); resolves to { server, url }.
export function startServer(root, port = 0) {
  const directory = path.resolve(root);
  const server = createServer((request, response) => {
    handle(directory, request, response).catch(() => {
      if (!response.headersSent) response.writeHead(500);
      response.end();
    });
  });
  return new Promise((resolve, reject) => {
    server.once("error", reject);
    server.listen(port, "127.0.0.1", () => {
      resolve({ server, url: `http://127.0.0.1:${server.address().port}/` });
    });
  });
}

if (process.argv[1] === fileURLToPath(import.meta.url)) {
  const [root = ".", port = "8080"] = process.argv.slice(2);
  const { url } = await startServer(root, Number(port)).catch((error) => {
    console.error(`cannot serve on port ${port}: ${error.message}`);
    process.exit(1);
  });
  console.log(`velka's page is served at ${url} (Ctrl+C stops the server)`);
}
