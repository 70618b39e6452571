import assert from "node:assert/strict";
import { mock, test } from "node:test";

import {
  AnswerMarginMs,
  Engine,
  MaxMemoryBytes,
  QuietMs,
  SilenceMs,
  parseAnalysis,
} from "../../engine.js";
import { Rule, replayGame } from "../../game.js";
import { parseMoves } from "../../notation.js";

// The worker's side of the conversation, played by the test: it records the lines the page sends.
class Port extends EventTarget {
  sent = [];
  postMessage = (line) => this.sent.push(line);
  // Answers with `lines`, lets the page react, and returns what it has sent since the last call,
  // joined by "; ".
  async reply(...lines) {
    for (const data of lines) this.dispatchEvent(new MessageEvent("message", { data }));
    await new Promise((resolve) => setImmediate(resolve));
    return this.sent.splice(0).join("; ");
  }
}

const gameOf = (text, rule = Rule.freestyle) => replayGame(15, 15, rule, parseMoves(text, 15, 15));

test("analysis lines are read by key, with scores, wins in N, the line's rank and moves", () => {
  assert.deepEqual(parseAnalysis("depth 7 score -35 nodes 12000 nps 400000 time 30 pv 7,7 8,8"), {
    depth: 7,
    rank: 1,
    score: { value: -35 },
    nodes: 12000,
    nps: 400000,
    timeMs: 30,
    pv: [
      { x: 7, y: 7 },
      { x: 8, y: 8 },
    ],
  });
  for (const [score, read] of [
    ["win5", { win: true, inMoves: 5 }],
    ["win", { win: true }],
    ["loss", { loss: true }],
  ]) {
    assert.deepEqual(parseAnalysis(`depth 3 score ${score} nodes 1 nps 0 time 0 pv`).score, read);
  }
  const second = parseAnalysis("depth 3 multipv 2 score loss4 nodes 1 nps 0 time 0 pv 1,2");
  assert.deepEqual([second.rank, second.score], [2, { loss: true, inMoves: 4 }]);
  assert.equal(parseAnalysis("should be run by a manager"), null);
  assert.equal(parseAnalysis("depth 3 score 10 nodes x nps 0 time 0 pv"), null);
  assert.equal(parseAnalysis("depth 3 score 10 nodes 1 nps 0 time 0 pv 1;2"), null);
});

test("a think sends the whole position from the engine's side and returns the move", async () => {
  const port = new Port();
  const engine = new Engine(port);
  const depths = [];
  const move = engine.think(gameOf("h8i9", Rule.renju), 300, {
    onAnalysis: (line) => depths.push(line.depth),
  });
  const settings = `INFO max_memory ${MaxMemoryBytes}; INFO analysis 1; INFO timeout_match 0`;
  assert.equal(await port.reply(), `${settings}; INFO time_left 2147483647; START 15`);
  // The engine plays black here: its own stones are "1".
  const position = "INFO rule 4; INFO timeout_turn 300; BOARD; 7,7,1; 8,6,2; DONE";
  assert.equal(await port.reply("OK"), position);
  const analysis = "MESSAGE depth 1 score 12 nodes 40 nps 4000 time 10 pv 6,6";
  await port.reply(analysis, "MESSAGE a note", "6,6");
  assert.deepEqual(await move, { x: 6, y: 6 });
  assert.deepEqual(depths, [1]);

  // The same size again needs no START; the think's settings go first, only when they change.
  const weak = [
    ["strong", 0],
    ["level", 2],
  ];
  engine.think(gameOf("h8i9g7"), 100, { settings: weak });
  assert.match(await port.reply(), /^INFO strong 0; INFO level 2; INFO rule 0;/);
  engine.think(gameOf("h8i9g7"), 100, { settings: weak });
  assert.match(await port.reply("1,1"), /^INFO rule 0;/);
  await port.reply("1,1");
  engine.newGame();
  const last = engine.think(gameOf(""), 100);
  assert.equal(await port.reply(), "START 15");

  // Stray errors are reported; an error in the worker fails the engine and its requests, once.
  const [errors, failures] = [[], []];
  engine.onError = (line) => errors.push(line);
  engine.onFailure = (...why) => failures.push(why.join(": "));
  await port.reply("OK");
  await port.reply("ERROR something odd");
  const error = Object.assign(new Event("error", { cancelable: true }), { message: "wasm trap" });
  port.dispatchEvent(error);
  port.dispatchEvent(error);
  await assert.rejects(last, /it hit an error/);
  await assert.rejects(engine.about(), /it hit an error/);
  assert.deepEqual(errors, ["ERROR something odd"]);
  assert.deepEqual(failures, ["it hit an error: wasm trap"]);
  assert.ok(error.defaultPrevented);
  assert.equal(await port.reply(), "");
});

test("an engine that answers late or falls silent has failed", async (t) => {
  t.mock.timers.enable({ apis: ["setInterval", "Date"] });
  const started = () => {
    const port = new Port();
    const engine = new Engine(port);
    const failures = [];
    engine.onFailure = (reason) => failures.push(reason);
    return { port, engine, failures };
  };

  // A think has its time and the margin; a quiet engine is asked ABOUT, which resets the clock of
  // silence when answered, and fails it when not.
  const { port, engine, failures } = started();
  const move = engine.think(gameOf("h8"), 20000);
  await port.reply();
  assert.match(await port.reply("OK"), /DONE$/);
  t.mock.timers.tick(QuietMs + 500);
  assert.equal(await port.reply(), "ABOUT");
  t.mock.timers.tick(SilenceMs - 1000);
  await port.reply('name="velka"');
  t.mock.timers.tick(QuietMs + 500);
  assert.equal(await port.reply(), "ABOUT");
  t.mock.timers.tick(SilenceMs);
  assert.deepEqual(failures, []);
  t.mock.timers.tick(1000);
  await assert.rejects(move, /stopped answering/);
  assert.deepEqual(failures, ["it stopped answering"]);

  // Answering pings does not stretch a think past its time and the margin.
  const late = started();
  const lateMove = late.engine.think(gameOf("h8"), 3000);
  await late.port.reply();
  await late.port.reply("OK");
  for (let ms = 0; ms < 3000 + AnswerMarginMs; ms += 1000) {
    t.mock.timers.tick(1000);
    await late.port.reply("MESSAGE depth 1 score 0 nodes 1 nps 1 time 1 pv 1,1");
  }
  t.mock.timers.tick(1000);
  await assert.rejects(lateMove, /did not answer in time/);
});

test("stop sends YXSTOP to a running think, and to a think still queued once it starts", async () => {
  const port = new Port();
  const engine = new Engine(port);
  const first = engine.think(gameOf("h8"), 5000);
  const second = engine.think(gameOf("h8i9"), 5000);
  await port.reply();
  await port.reply("OK");
  engine.stop();
  assert.equal(await port.reply(), "YXSTOP");
  assert.match(await port.reply("7,6"), /; DONE$/);
  assert.deepEqual(await first, { x: 7, y: 6 });
  await port.reply("9,9");
  await second;

  // Stopped before it begins: the YXSTOP follows its DONE.
  const controller = new AbortController();
  const third = engine.think(gameOf("h8i9g7"), 5000);
  const fourth = engine.think(gameOf("h8i9g7"), 5000, { signal: controller.signal });
  engine.stop();
  assert.match(await port.reply(), /; DONE; YXSTOP$/);
  // An aborted request that has not begun is dropped: nothing is sent for it.
  controller.abort();
  assert.equal(await port.reply("3,3"), "");
  assert.deepEqual(await third, { x: 3, y: 3 });
  assert.equal(await fourth, null);
});

test("forbidden points: the position is set up once, by a short think that is taken back", async () => {
  const port = new Port();
  const engine = new Engine(port);
  // Black to move, so the engine is told it is white (1) to take black as "2".
  const game = gameOf("f8a1g8a15h6o1h7", Rule.renju);
  const points = engine.forbidden(game);
  assert.match(await port.reply(), /; START 15$/);
  const setUp = /^INFO rule 4; INFO timeout_turn 10; BOARD; 5,7,2; 0,14,1; 6,7,2; 0,0,1; /;
  assert.match(await port.reply("OK"), setUp);
  assert.equal(await port.reply("10,10"), "TAKEBACK 10,10");
  assert.equal(await port.reply("OK"), "INFO rule 4; FORBID");
  await port.reply("FORBID 7,7");
  assert.deepEqual(await points, [{ x: 7, y: 7 }]);

  // The engine's board holds that position now: FORBID alone, with the rule.
  const again = engine.forbidden(game);
  assert.equal(await port.reply(), "INFO rule 4; FORBID");
  await port.reply("FORBID");
  assert.deepEqual(await again, []);

  // So it does after velka's own move as white, for the forbidden points of black's turn.
  engine.think(gameOf("h8", Rule.renju), 100);
  await port.reply();
  await port.reply("8,6");
  engine.forbidden(gameOf("h8i9", Rule.renju));
  assert.equal(await port.reply(), "INFO rule 4; FORBID");
});
