import assert from "node:assert/strict";
import { test } from "node:test";

import { NotationError, formatMoves, formatPoint, parseMoves } from "../../notation.js";

test("points are a column letter, no letter skipped, and a row counted from the bottom", () => {
  for (const [point, side, name] of [
    [{ x: 0, y: 14 }, 15, "a1"],
    [{ x: 14, y: 0 }, 15, "o15"],
    [{ x: 8, y: 0 }, 20, "i20"],
    [{ x: 21, y: 21 }, 22, "v1"],
  ]) {
    assert.equal(formatPoint(point, side), name);
    assert.deepEqual(parseMoves(name, side, side), [point]);
  }
  const moves = parseMoves("  H8, i9; J10\n a15 ", 15, 15);
  assert.equal(formatMoves(moves, 15), "h8i9j10a15");
  assert.deepEqual(parseMoves("", 15, 15), []);
});

test("bad move lists are refused with a message that says where", () => {
  for (const [text, message] of [
    ["h8 9", /"9" at character 4/],
    ["h8?i9", /"\?" at character 3/],
    ["h8p8", /Move 2, p8, is off the 15 × 15 board/],
    ["h16", /Move 1, h16, is off/],
    ["h0", /Move 1, h0, is off/],
  ]) {
    assert.throws(
      () => parseMoves(text, 15, 15),
      (e) => e instanceof NotationError && message.test(e.message),
    );
  }
});
