import assert from "node:assert/strict";
import { test } from "node:test";

import {
  Rule,
  createGame,
  followLine,
  gameResult,
  playMove,
  replayGame,
  sideToMove,
} from "../../game.js";
import { formatPoint, parseMoves } from "../../notation.js";

const replay = (text, rule = Rule.freestyle) => replayGame(15, 15, rule, parseMoves(text, 15, 15));
const describe = (result) =>
  result ? `${result.winner} ${result.line.map((p) => formatPoint(p, 15)).join(" ")}` : "none";

// Black's five a1..e1 and six a1..f1 (d1 last), white's six a1..f1 (d1 last).
const Five = "a1h8b1h9c1h10d1h11e1";
const BlackSix = "a1h8b1h9c1h10e1h11f1h13d1";
const WhiteSix = "h8a1h9b1h10c1h12e1h13f1j9d1";

test("the winner and the line end to end: overlines win in freestyle and for Renju's white", () => {
  for (const [text, rule, expected] of [
    [Five, Rule.freestyle, "black a1 b1 c1 d1 e1"],
    [Five, Rule.exactFive, "black a1 b1 c1 d1 e1"],
    [Five, Rule.renju, "black a1 b1 c1 d1 e1"],
    ["a1d4a3e5a5g7a7h8a9f6", Rule.freestyle, "white d4 e5 f6 g7 h8"],
    ["a1h8b1h9c1h10d1", Rule.freestyle, "none"],
    [BlackSix, Rule.freestyle, "black a1 b1 c1 d1 e1 f1"],
    [BlackSix, Rule.exactFive, "none"],
    [BlackSix, Rule.renju, "none"],
    [WhiteSix, Rule.renju, "white a1 b1 c1 d1 e1 f1"],
    [WhiteSix, Rule.exactFive, "none"],
  ]) {
    assert.equal(describe(gameResult(replay(text, rule))), expected, `${text}, rule ${rule}`);
  }
});

test("a full board without five is a draw, and only a full one", () => {
  // On 5 × 5, black where (x + 2y) % 4 < 2 and white elsewhere make no five in any line.
  const cells = [...Array(25).keys()].map((i) => ({ x: i % 5, y: Math.floor(i / 5) }));
  const black = cells.filter(({ x, y }) => (x + 2 * y) % 4 < 2);
  const white = cells.filter((p) => !black.includes(p));
  const game = createGame(5, 5, Rule.freestyle);
  for (const { x, y } of black.flatMap((p, i) => [p, white[i]]).slice(0, 25)) {
    assert.equal(gameResult(game), null);
    assert.equal(playMove(game, x, y), null);
  }
  assert.deepEqual(gameResult(game), { draw: true });
  assert.match(playMove(game, 0, 0), /over/);
});

test("moves alternate from black; taken points, points off the board and moves past the end are refused", () => {
  const game = replay("h8i9");
  assert.equal(sideToMove(game), "black");
  assert.match(playMove(game, 8, 6), /i9 is already taken/);
  assert.match(playMove(game, 15, 0), /off the board/);
  assert.throws(() => replay("h8i9h8"), /Move 3, h8, is on a point already taken by move 1/);
  assert.throws(() => replay(`${Five}o15`), /already over after move 9; move 10, o15/);
});

test("the game's line stays while the position follows it, and a different move cuts it", () => {
  const line = replay("h8i9j10k11").moves;
  const at = (text) => followLine(line, replay(text).moves);
  assert.equal(at("h8i9"), line);
  assert.equal(at(""), line);
  assert.equal(at("h8i9j10k11"), line);
  // The new line is a copy: the position's moves grow on their own.
  for (const text of ["h8i9a1", "h8i9j10k11l12"]) {
    const moves = replay(text).moves;
    const cut = followLine(line, moves);
    assert.deepEqual(cut, moves);
    assert.notEqual(cut, moves);
  }
});
