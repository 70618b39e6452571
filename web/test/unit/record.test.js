import assert from "node:assert/strict";
import { readFile } from "node:fs/promises";
import { test } from "node:test";

import { Rule, replayGame } from "../../game.js";
import { formatMoves, parseMoves } from "../../notation.js";
import { formatPsq, formatText, readGameFile } from "../../record.js";

const fixture = (name) => readFile(new URL(`fixtures/${name}`, import.meta.url), "utf8");
const movesOf = ({ moves, height }) => formatMoves(moves, height);

test("a manager's .psq: its size, its moves up to the first other line, CR LF or LF", async () => {
  // 20 × 20, five moves, then the players and a number.
  const game = readGameFile(await fixture("tournament.psq"), 15);
  assert.deepEqual([game.width, game.height, movesOf(game)], [20, 20, "j11k10i10l9j9"]);
  // A line that is not x,y,time ends the moves, even when moves follow it.
  const short = readGameFile(await fixture("short-line.psq"), 20);
  assert.deepEqual([short.width, movesOf(short)], [15, "h8i7"]);
});

test("a text file is a move list on the page's board size", async () => {
  const game = readGameFile(await fixture("moves.txt"), 15);
  assert.deepEqual([game.width, movesOf(game)], [15, "h8i9j10i10"]);
  assert.throws(() => readGameFile("h8 p8", 15), /Move 2, p8, is off the 15 × 15 board/);
});

test("records the page cannot play are refused with the reason", () => {
  for (const [text, message] of [
    ["Piskvorky 20x15, 11:11, 0\n1,1,0\n", /20 × 15 board; the page plays square boards/],
    ["Piskvorky 30x30, 11:11, 0\n", /30 × 30/],
    ["Piskvorky 15x15, 11:11, 0\n8,8,0\n16,1,0\n", /Move 2, "16,1,0", is off the 15 × 15 board/],
    ["Piskvorky 15x15, 11:11, 0\n0,3,0\n", /Move 1, "0,3,0", is off/],
  ]) {
    assert.throws(() => readGameFile(text, 15), message);
  }
});

test("a saved game reads back the same, in either form", () => {
  const game = replayGame(15, 15, Rule.renju, parseMoves("h8i9a1o15", 15, 15));
  const psq = formatPsq(game);
  assert.equal(psq, "Piskvorky 15x15, 11:11, 0\n8,8,0\n9,7,0\n1,15,0\n15,1,0\n");
  assert.equal(formatText(game), "h8i9a1o15\n");
  for (const text of [psq, formatText(game)]) {
    const read = readGameFile(text, 15);
    assert.deepEqual([read.width, read.height, read.moves], [15, 15, game.moves]);
  }
});
