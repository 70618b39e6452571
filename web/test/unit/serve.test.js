import assert from "node:assert/strict";
import { mkdtemp, mkdir, writeFile } from "node:fs/promises";
import { request } from "node:http";
import { tmpdir } from "node:os";
import path from "node:path";
import { test } from "node:test";

import { startServer } from "../../tools/serve.js";

// A raw GET, so that the path reaches the server exactly as written.
function get(url, rawPath) {
  return new Promise((resolve, reject) => {
    const { port } = new URL(url);
    request({ host: "127.0.0.1", port, path: rawPath }, (response) => {
      let body = "";
      response.on("data", (chunk) => (body += chunk));
      response.on("end", () =>
        resolve({ status: response.statusCode, headers: response.headers, body }),
      );
    })
      .on("error", reject)
      .end();
  });
}

test("the server sends the page's files with their types and nothing outside its folder", async (t) => {
  const top = await mkdtemp(path.join(tmpdir(), "velka-serve-"));
  const root = path.join(top, "site");
  await mkdir(path.join(root, "sub"), { recursive: true });
  await writeFile(path.join(root, "index.html"), "<!doctype html>");
  await writeFile(path.join(root, "engine.wasm"), Buffer.from([0, 97, 115, 109]));
  await writeFile(path.join(root, "app.js"), "export {};");
  await writeFile(path.join(root, "sub", "index.html"), "sub");
  await writeFile(path.join(top, "secret.txt"), "secret");
  const { server, url } = await startServer(root, 0);
  t.after(() => server.close());

  const index = await get(url, "/");
  assert.equal(index.status, 200);
  assert.equal(index.headers["content-type"], "text/html; charset=utf-8");
  assert.equal(index.headers["cache-control"], "no-cache");
  assert.equal((await get(url, "/engine.wasm")).headers["content-type"], "application/wasm");
  assert.equal(
    (await get(url, "/app.js?v=1")).headers["content-type"],
    "text/javascript; charset=utf-8",
  );
  assert.equal((await get(url, "/sub")).body, "sub");
  assert.equal((await get(url, "/missing.js")).status, 404);
  for (const sneaky of [
    "/../secret.txt",
    "/%2e%2e/secret.txt",
    "/sub/..%2f..%2fsecret.txt",
    "/%00",
  ]) {
    const answer = await get(url, sneaky);
    assert.notEqual(answer.status, 200, sneaky);
    assert.notEqual(answer.body, "secret", sneaky);
  }
});
