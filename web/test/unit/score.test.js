import assert from "node:assert/strict";
import { test } from "node:test";

import { addReport, shownScore } from "../../analysis.js";
import { parseAnalysis } from "../../engine.js";
import { ScoreScale, describeScore, parseScore, smoothScore, winChance } from "../../score.js";

const words = (word, side) => describeScore(parseScore(word), side).words;

test("a score is a chance to win from black's view, named by bands for the side ahead", () => {
  assert.equal(winChance(0), 0.5);
  assert.ok(Math.abs(winChance(ScoreScale) - 1 / (1 + Math.exp(-1))) < 1e-12);
  assert.ok(Math.abs(winChance(-123) + winChance(123) - 1) < 1e-12);
  // The engine's score is for the side it plays; black's chance turns with it.
  assert.equal(describeScore({ value: 300 }, "white").black, winChance(-300));
  for (const [word, side, expected] of [
    ["0", "black", "About even"],
    ["-60", "white", "About even"], // 0.55 is the first band's edge: just below it
    ["62", "black", "Black is slightly better"],
    ["62", "white", "White is slightly better"],
    ["-200", "black", "White is better"],
    ["520", "black", "Black is better"],
    ["530", "white", "White is winning"],
    ["9999", "black", "Black is winning"],
  ]) {
    assert.equal(words(word, side), expected, `${word} for ${side}`);
  }
});

test("proven results name the winner, with its moves to five when known", () => {
  for (const [word, side, expected, black] of [
    ["win", "black", "Black wins", 1],
    ["win3", "white", "White wins in 3", 0],
    ["loss", "white", "Black wins", 1],
    ["loss12", "black", "White wins in 12", 0],
  ]) {
    const score = describeScore(parseScore(word), side);
    assert.deepEqual([score.words, score.black], [expected, black], word);
  }
  assert.equal(parseScore("winner"), null);
  assert.equal(parseScore("+5"), null);
});

test("shown scores are the mean of the last two depths, per line; proven ones as they are", () => {
  assert.deepEqual(smoothScore({ value: 469 }, { value: -268 }), { value: 100.5 });
  assert.deepEqual(smoothScore({ value: 469 }, undefined), { value: 469 });
  assert.deepEqual(smoothScore({ win: true, inMoves: 4 }, { value: 30 }), {
    win: true,
    inMoves: 4,
  });
  assert.deepEqual(smoothScore({ value: 30 }, { loss: true }), { value: 30 });

  // Three lines at depth 5, two at depth 6 (a line without multipv is the best one).
  const depths = [];
  for (const text of [
    "depth 5 score 400 nodes 9 nps 9 time 1 pv 7,7",
    "depth 5 multipv 2 score 100 nodes 9 nps 9 time 1 pv 8,8",
    "depth 5 multipv 3 score -50 nodes 9 nps 9 time 1 pv 9,9",
    "depth 6 multipv 1 score -200 nodes 9 nps 9 time 1 pv 7,7 8,8",
    "depth 6 multipv 2 score 40 nodes 9 nps 9 time 1 pv 6,6",
  ]) {
    addReport(depths, parseAnalysis(text));
  }
  assert.deepEqual(
    depths.map(({ depth, lines }) => `${depth}: ${lines.map((l) => l.rank).join()}`),
    ["5: 1,2,3", "6: 1,2"],
  );
  assert.deepEqual(
    [1, 2, 3].map((rank) => shownScore(depths, 1, rank)),
    [{ value: 100 }, { value: 70 }, undefined],
  );
  assert.deepEqual(shownScore(depths, 0, 3), { value: -50 });
});
