import assert from "node:assert/strict";
import { test } from "node:test";

import { Rule, replayGame } from "../../game.js";
import { formatAddress, readAddress } from "../../links.js";
import { formatMoves, parseMoves } from "../../notation.js";

test("a game's address reads back as the same game; an address without one is no link", () => {
  const game = replayGame(19, 19, Rule.renju, parseMoves("j10k11s19", 19, 19));
  const address = formatAddress(game);
  assert.equal(address, "#size=19&rule=4&moves=j10k11s19");
  assert.deepEqual(readAddress(address).game, game);
  // Fields left out take the page's defaults.
  const bare = readAddress("#moves=h8").game;
  assert.deepEqual([bare.width, bare.rule, formatMoves(bare.moves, 15)], [15, 0, "h8"]);
  assert.equal(readAddress(""), null);
  assert.equal(readAddress("#top"), null);
});

test("a bad link says what is wrong and keeps its moves for the player", () => {
  for (const [hash, message] of [
    ["#size=15&rule=0&moves=h8h8", /Move 2, h8, is on a point already taken by move 1/],
    ["#size=15&rule=0&moves=zz99", /Cannot read "z" at character 1/],
    ["#size=99&rule=0&moves=h8", /board of size "99"; the page plays sizes 5 to 22/],
    ["#size=abc&moves=h8", /board of size "abc"/],
    ["#size=15&rule=7&moves=h8", /rule "7"; the page knows 0 \(freestyle\), 1 \(exact five\)/],
  ]) {
    const link = readAddress(hash);
    assert.equal(link.game, undefined, hash);
    assert.match(link.error, message);
    assert.equal(link.moves, new URLSearchParams(hash.slice(1)).get("moves"));
  }
});
