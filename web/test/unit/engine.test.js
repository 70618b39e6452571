import assert from "node:assert/strict";
import { test } from "node:test";

import { Engine, MaxMemoryBytes, boardLines, parseAnalysis } from "../../engine.js";
import { Rule, createGame } from "../../game.js";
import { parseMoves } from "../../notation.js";

// The worker's side of the conversation, played by the test: it records the lines the page sends
// and answers when told to.
class Port extends EventTarget {
  sent = [];
  postMessage(line) {
    this.sent.push(line);
  }
  answer(line) {
    this.dispatchEvent(new MessageEvent("message", { data: line }));
  }
  take() {
    return this.sent.splice(0);
  }
}

const settle = () => new Promise((resolve) => setImmediate(resolve));
const gameOf = (text, rule = Rule.freestyle) => ({
  ...createGame(15, 15, rule),
  moves: parseMoves(text, 15, 15),
});

test("analysis lines are read by key, with scores, wins in N and the variation", () => {
  assert.deepEqual(parseAnalysis("depth 7 score -35 nodes 12000 nps 400000 time 30 pv 7,7 8,8"), {
    depth: 7,
    score: { value: -35 },
    nodes: 12000,
    nps: 400000,
    timeMs: 30,
    pv: [
      { x: 7, y: 7 },
      { x: 8, y: 8 },
    ],
  });
  assert.deepEqual(parseAnalysis("depth 3 score win5 nodes 1 nps 0 time 0 pv 1,2").score, {
    win: true,
    inMoves: 5,
  });
  assert.deepEqual(parseAnalysis("depth 9 score loss nodes 1 nps 0 time 0 pv").score, {
    loss: true,
  });
  assert.equal(parseAnalysis("should be run by a manager"), null);
  assert.equal(parseAnalysis("depth 3 score 10 nodes x nps 0 time 0 pv"), null);
  assert.equal(parseAnalysis("depth 3 score 10 nodes 1 nps 0 time 0 pv 1;2"), null);
});

test("stones go to BOARD from the engine's side: its own colour is 1", () => {
  const moves = parseMoves("h8i9j10", 15, 15);
  assert.deepEqual(boardLines(moves, "black"), ["7,7,1", "8,6,2", "9,5,1"]);
  assert.deepEqual(boardLines(moves, "white"), ["7,7,2", "8,6,1", "9,5,2"]);
});

test("a think sends the whole position and returns the move; analysis goes to its listener", async () => {
  const port = new Port();
  const engine = new Engine(port);
  assert.deepEqual(port.take(), [
    `INFO max_memory ${MaxMemoryBytes}`,
    "INFO analysis 1",
    "INFO timeout_match 0",
    "INFO time_left 2147483647",
  ]);
  const lines = [];
  const move = engine.think(gameOf("h8i9", Rule.renju), 300, { onAnalysis: (l) => lines.push(l) });
  await settle();
  assert.deepEqual(port.take(), ["START 15"]);
  port.answer("OK");
  await settle();
  assert.deepEqual(port.take(), [
    "INFO rule 4",
    "INFO timeout_turn 300",
    "BOARD",
    "7,7,1",
    "8,6,2",
    "DONE",
  ]);
  port.answer("MESSAGE depth 1 score 12 nodes 40 nps 4000 time 10 pv 6,6");
  port.answer("MESSAGE some other note");
  port.answer("6,6");
  assert.deepEqual(await move, { x: 6, y: 6 });
  assert.deepEqual(
    lines.map((l) => l.depth),
    [1],
  );

  // The same size again needs no START; a new game does.
  engine.think(gameOf("h8i9g7"), 100);
  await settle();
  assert.equal(port.take()[0], "INFO rule 0");
  port.answer("1,1");
  await settle();
  engine.newGame();
  engine.think(gameOf(""), 100);
  await settle();
  assert.deepEqual(port.take(), ["START 15"]);
});

test("stop sends YXSTOP to a running think, and to a think still queued once it starts", async () => {
  const port = new Port();
  const engine = new Engine(port);
  port.take();
  const first = engine.think(gameOf("h8"), 5000);
  const second = engine.think(gameOf("h8i9"), 5000);
  await settle();
  port.answer("OK");
  await settle();
  port.take();
  engine.stop();
  assert.deepEqual(port.take(), ["YXSTOP"]);
  port.answer("7,6");
  assert.deepEqual(await first, { x: 7, y: 6 });
  await settle();
  assert.equal(port.take().at(-1), "DONE");
  port.answer("9,9");
  await second;

  // Stopped before it begins: the YXSTOP follows its DONE.
  const controller = new AbortController();
  const third = engine.think(gameOf("h8i9g7"), 5000);
  const fourth = engine.think(gameOf("h8i9g7"), 5000, { signal: controller.signal });
  engine.stop();
  await settle();
  assert.deepEqual(port.take().slice(-2), ["DONE", "YXSTOP"]);
  // An aborted request that has not begun is dropped: nothing is sent for it.
  controller.abort();
  port.answer("3,3");
  assert.deepEqual(await third, { x: 3, y: 3 });
  assert.equal(await fourth, null);
  assert.deepEqual(port.take(), []);
});

test("forbidden points: the position is set up by a short think that is taken back", async () => {
  const port = new Port();
  const engine = new Engine(port);
  port.take();
  // Black to move in this position, so the engine is told it is white (1) to take black as "2".
  const game = gameOf("f8a1g8a15h6o1h7", Rule.renju);
  const points = engine.forbidden(game);
  await settle();
  port.answer("OK");
  await settle();
  const sent = port.take();
  assert.deepEqual(sent.slice(0, 4), ["START 15", "INFO rule 4", "INFO timeout_turn 10", "BOARD"]);
  assert.deepEqual(sent.slice(4, 7), ["5,7,2", "0,14,1", "6,7,2"]);
  port.answer("10,10");
  await settle();
  assert.deepEqual(port.take(), ["TAKEBACK 10,10"]);
  port.answer("OK");
  await settle();
  assert.deepEqual(port.take(), ["INFO rule 4", "FORBID"]);
  port.answer("FORBID 7,7");
  assert.deepEqual(await points, [{ x: 7, y: 7 }]);

  // The engine's board is known to hold that position now: FORBID alone, with the rule.
  const again = engine.forbidden(game);
  await settle();
  assert.deepEqual(port.take(), ["INFO rule 4", "FORBID"]);
  port.answer("FORBID");
  assert.deepEqual(await again, []);
});

test("the engine's own move leaves its board ready for FORBID when the player is black", async () => {
  const port = new Port();
  const engine = new Engine(port);
  const game = gameOf("h8", Rule.renju);
  engine.think(game, 100);
  await settle();
  port.answer("OK");
  await settle();
  port.answer("8,6"); // white's move, i9
  await settle();
  port.take();
  await Promise.all([
    engine.forbidden(gameOf("h8i9", Rule.renju)),
    settle().then(() => port.answer("FORBID")),
  ]);
  assert.deepEqual(port.take(), ["INFO rule 4", "FORBID"]);
});

test("the worker failing rejects the waiting request and is reported", async () => {
  const port = new Port();
  const engine = new Engine(port);
  const errors = [];
  engine.onError = (line) => errors.push(line);
  const about = engine.about();
  await settle();
  port.answer("ERROR something odd");
  const error = new Event("error");
  error.message = "wasm failed to load";
  port.dispatchEvent(error);
  await assert.rejects(about, /wasm failed to load/);
  assert.deepEqual(errors, ["ERROR something odd", "wasm failed to load"]);
});
