import assert from "node:assert/strict";
import { test } from "node:test";

import {
  Rule,
  createGame,
  gameResult,
  playMove,
  replayGame,
  sideToMove,
  stoneAt,
  takeBackMove,
} from "../../game.js";
import { parseMoves } from "../../notation.js";

const replay = (text, rule, side = 15) =>
  replayGame(side, side, rule, parseMoves(text, side, side));

test("moves alternate from black, and take back pops the last one", () => {
  const game = createGame(15, 15, Rule.freestyle);
  assert.equal(sideToMove(game), "black");
  assert.equal(playMove(game, 7, 7), null);
  assert.equal(playMove(game, 8, 8), null);
  assert.equal(stoneAt(game, 7, 7), "black");
  assert.equal(stoneAt(game, 8, 8), "white");
  assert.equal(sideToMove(game), "black");
  assert.match(playMove(game, 7, 7), /h8 is already taken/);
  assert.match(playMove(game, 15, 0), /off the board/);
  assert.deepEqual(takeBackMove(game), { x: 8, y: 8 });
  assert.equal(stoneAt(game, 8, 8), null);
  assert.equal(sideToMove(game), "white");
});

test("five in a row wins in every direction, and the line runs end to end", () => {
  // Black a1..e1 along the bottom row, white far away.
  const row = replay("a1h8b1h9c1h10d1h11e1", Rule.freestyle);
  assert.equal(gameResult(row).winner, "black");
  assert.deepEqual(
    gameResult(row).line,
    [0, 1, 2, 3, 4].map((x) => ({ x, y: 14 })),
  );
  // White on the anti-diagonal d4 e5 f6 g7 h8, last stone in the middle.
  const diagonal = replay("a1d4a3e5a5g7a7h8a9f6", Rule.freestyle);
  assert.equal(gameResult(diagonal).winner, "white");
  assert.deepEqual(gameResult(diagonal).line[0], { x: 3, y: 11 });
  assert.deepEqual(gameResult(diagonal).line[4], { x: 7, y: 7 });
  // Four is not five.
  assert.equal(gameResult(replay("a1h8b1h9c1h10d1", Rule.freestyle)), null);
});

test("overlines win in freestyle, not under exact five, and only for white under Renju", () => {
  // Black makes six: a1 b1 c1 e1 f1 then d1.
  const blackSix = "a1h8b1h9c1h10e1h11f1h13d1";
  assert.equal(gameResult(replay(blackSix, Rule.freestyle)).winner, "black");
  assert.equal(gameResult(replay(blackSix, Rule.freestyle)).line.length, 6);
  assert.equal(gameResult(replay(blackSix, Rule.exactFive)), null);
  assert.equal(gameResult(replay(blackSix, Rule.renju)), null);
  // White makes six the same way.
  const whiteSix = "h8a1h9b1h10c1h12e1h13f1j9d1";
  assert.equal(gameResult(replay(whiteSix, Rule.renju)).winner, "white");
  assert.equal(gameResult(replay(whiteSix, Rule.exactFive)), null);
  // Exactly five wins under every rule.
  for (const rule of [Rule.freestyle, Rule.exactFive, Rule.renju]) {
    assert.equal(gameResult(replay("a1h8b1h9c1h10d1h11e1", rule)).winner, "black");
  }
});

test("a full board without five is a draw", () => {
  // On 5 × 5, columns in the pattern a a b b a (by colour) never line up five.
  const game = createGame(5, 5, Rule.freestyle);
  const colourAt = (x, y) => ((x + 2 * y) % 4 < 2 ? "black" : "white");
  const black = [];
  const white = [];
  for (let y = 0; y < 5; y++) {
    for (let x = 0; x < 5; x++) (colourAt(x, y) === "black" ? black : white).push({ x, y });
  }
  assert.equal(black.length, 13);
  for (let i = 0; i < 25; i++) {
    const { x, y } = i % 2 === 0 ? black[i / 2] : white[(i - 1) / 2];
    assert.equal(playMove(game, x, y), null);
    if (i < 24) assert.equal(gameResult(game), null);
  }
  assert.deepEqual(gameResult(game), { draw: true });
  assert.match(playMove(game, 0, 0), /over/);
});

test("replaying refuses moves on taken points and moves after the end", () => {
  assert.throws(
    () => replay("h8i9h8", Rule.freestyle),
    /Move 3, h8, is on a point already taken by move 1/,
  );
  assert.throws(
    () => replay("a1h8b1h9c1h10d1h11e1o15", Rule.freestyle),
    /already over after move 9; move 10, o15/,
  );
});
