import assert from "node:assert/strict";
import { test } from "node:test";

import { NotationError, formatMoves, formatPoint, parseMoves } from "../../notation.js";

test("points are named by column letter and row counted from the bottom", () => {
  assert.equal(formatPoint({ x: 7, y: 7 }, 15), "h8");
  assert.equal(formatPoint({ x: 0, y: 14 }, 15), "a1");
  assert.equal(formatPoint({ x: 14, y: 0 }, 15), "o15");
  // No letter is skipped: x 8 is i, and a 22-wide board ends at v.
  assert.equal(formatPoint({ x: 8, y: 0 }, 20), "i20");
  assert.equal(formatPoint({ x: 21, y: 21 }, 22), "v1");
});

test("move lists round-trip, with two-digit rows and any separators", () => {
  const moves = [
    { x: 7, y: 7 },
    { x: 8, y: 6 },
    { x: 9, y: 5 },
    { x: 0, y: 0 },
  ];
  assert.equal(formatMoves(moves, 15), "h8i9j10a15");
  assert.deepEqual(parseMoves("h8i9j10a15", 15, 15), moves);
  assert.deepEqual(parseMoves("  H8, i9; J10\n a15 ", 15, 15), moves);
  assert.deepEqual(parseMoves("", 15, 15), []);
  assert.deepEqual(parseMoves("t20", 20, 20), [{ x: 19, y: 0 }]);
});

test("bad move lists are refused with a message that says where", () => {
  const cases = [
    ["h8 9", /"9" at character 4/],
    ["h8x", /"x" at character 3/],
    ["h8?i9", /"\?" at character 3/],
    ["h8p8", /Move 2, p8, is off the 15 × 15 board/],
    ["h16", /Move 1, h16, is off/],
    ["h0", /Move 1, h0, is off/],
  ];
  for (const [text, message] of cases) {
    assert.throws(
      () => parseMoves(text, 15, 15),
      (error) => {
        assert.ok(error instanceof NotationError);
        assert.match(error.message, message);
        return true;
      },
    );
  }
});
