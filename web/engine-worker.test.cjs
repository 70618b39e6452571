// engine-worker.js without a browser: a Node worker thread plays the Web Worker, with the few
// worker globals the script uses (self, postMessage, onmessage, importScripts, close) and without
// setImmediate, so the engine yields to the event loop the way it does in a browser. Run with
// `node --test web/engine-worker.test.cjs`; VELKA_WASM_ENGINE names the engine
// (default build/wasm/pbrain-velka.js).
"use strict";

const assert = require("node:assert/strict");
const { on } = require("node:events");
const path = require("node:path");
const { test } = require("node:test");
const { Worker } = require("node:worker_threads");

const engine = path.resolve(
  process.env.VELKA_WASM_ENGINE || path.join(__dirname, "..", "build", "wasm", "pbrain-velka.js"),
);

const workerGlobals = `{
const { parentPort, workerData } = require("node:worker_threads");
const fs = require("node:fs");
const vm = require("node:vm");
globalThis.require = require;
globalThis.self = globalThis;
delete globalThis.setImmediate;
self.postMessage = (data) => parentPort.postMessage(data);
self.close = () => parentPort.postMessage({ closed: true });
self.importScripts = (name) => {
  if (name !== "pbrain-velka.js") throw new Error("unexpected script " + name);
  vm.runInThisContext(fs.readFileSync(workerData.engine, "utf8"), { filename: workerData.engine });
};
parentPort.on("message", (data) => self.onmessage({ data }));
vm.runInThisContext(fs.readFileSync(workerData.script, "utf8"), { filename: workerData.script });
}`;

// The worker, and its messages in order: next() resolves to the next one.
function startWorker() {
  const script = path.join(__dirname, "engine-worker.js");
  const worker = new Worker(workerGlobals, { eval: true, workerData: { engine, script } });
  const messages = on(worker, "message");
  return {
    send: (...lines) => lines.forEach((line) => worker.postMessage(line)),
    next: async () => (await messages.next()).value[0],
    exited: new Promise((resolve) => worker.on("exit", resolve)),
  };
}

const move = /^\d+,\d+$/;

test("queued lines, ABOUT during a think, YXSTOP and END", { timeout: 30000 }, async () => {
  const worker = startWorker();
  worker.send("ABOUT", "START 15", "PLAY 7,7", "BEGIN", "FOO bar");
  assert.match(await worker.next(), /^name="velka", version="\d{8}", /);
  assert.equal(await worker.next(), "OK");
  assert.equal(await worker.next(), "7,7");
  assert.match(await worker.next(), move);
  assert.equal(await worker.next(), "UNKNOWN FOO bar");

  // A middle game with no forced win, and a long think.
  worker.send("INFO timeout_turn 30000", "INFO time_left 100000000", "START 20", "BOARD");
  worker.send("9,9,1", "10,9,1", "12,12,1", "10,10,2", "11,11,2", "8,9,2", "DONE");
  assert.equal(await worker.next(), "OK");
  await new Promise((resolve) => setTimeout(resolve, 300));
  const asked = Date.now();
  worker.send("ABOUT", "INFO max_memory 67108864", "YXSTOP", "RESTART");
  assert.match(await worker.next(), /^name="velka"/);
  // RESTART waits for the move that YXSTOP asks for, then empties the board.
  assert.match(await worker.next(), move);
  assert.ok(Date.now() - asked < 2000);
  assert.equal(await worker.next(), "OK");
  worker.send("END");
  assert.deepEqual(await worker.next(), { closed: true });
  assert.equal(await worker.exited, 0);
});
