import assert from "node:assert/strict";
import { mkdtemp, mkdir, writeFile } from "node:fs/promises";
import { tmpdir } from "node:os";
import path from "node:path";
import { test } from "node:test";

import { resolvePath, startServer } from "../../tools/serve.js";

test("the server sends the page's files with their types, and nothing outside its folder", async (t) => {
  const root = path.join(await mkdtemp(path.join(tmpdir(), "velka-serve-")), "site");
  await mkdir(path.join(root, "sub"), { recursive: true });
  for (const name of ["index.html", "engine.wasm", "app.js", "sub/index.html"]) {
    await writeFile(path.join(root, name), name);
  }
  await writeFile(path.join(root, "..", "secret.txt"), "secret");
  const { server, url } = await startServer(root, 0);
  t.after(() => server.close());

  for (const [address, status, type, body] of [
    ["", 200, "text/html; charset=utf-8", "index.html"],
    ["engine.wasm", 200, "application/wasm", "engine.wasm"],
    ["app.js?v=1", 200, "text/javascript; charset=utf-8", "app.js"],
    ["sub", 200, "text/html; charset=utf-8", "sub/index.html"],
    ["missing.js", 404],
    ["sub/..%2f..%2fsecret.txt", 404],
    ["%00", 403],
  ]) {
    const response = await fetch(url + address);
    assert.equal(response.status, status, address);
    if (status !== 200) continue;
    assert.equal(response.headers.get("content-type"), type);
    assert.equal(response.headers.get("cache-control"), "no-cache");
    assert.equal(await response.text(), body);
  }
  // Paths as a request may spell them, before a client's URL parser tidies them.
  for (const sneaky of ["../secret.txt", "/../secret.txt", "/sub/..%2f..%2fsecret.txt"]) {
    const file = resolvePath(root, sneaky);
    assert.ok(file === null || file.startsWith(root + path.sep), `${sneaky} -> ${file}`);
  }
});
