import assert from "node:assert/strict";
import { test } from "node:test";

import { Rule, gameResult, replayGame } from "../../game.js";
import { parseMoves } from "../../notation.js";
import { boardView, turnText } from "../../view.js";

function stateOf(text, fields = {}) {
  const game = replayGame(15, 15, Rule.renju, parseMoves(text, 15, 15));
  return {
    game,
    human: "black",
    showNumbers: false,
    result: gameResult(game),
    thinking: null,
    forbidden: null,
    analysis: { lines: [], best: null },
    preview: null,
    ...fields,
  };
}

const pointsOf = (view) => new Map(view.points.map((p) => [p.name, p]));

test("the board view names every point and marks the last move, numbers and forbidden points", () => {
  const view = boardView(
    stateOf("h8i9", {
      showNumbers: true,
      forbidden: [{ x: 7, y: 6 }],
      analysis: { best: { x: 0, y: 0 } },
    }),
  );
  assert.equal(view.points.length, 225);
  assert.equal(view.turn, "black");
  const points = pointsOf(view);
  assert.deepEqual(
    [points.get("h8").content, points.get("h8").number, points.get("h8").last],
    ["black", 1, false],
  );
  assert.deepEqual([points.get("i9").content, points.get("i9").last], ["white", true]);
  assert.equal(points.get("h9").content, "forbidden");
  assert.equal(points.get("a15").hint, true);
  assert.equal(points.get("a1").content, "empty");
});

test("a variation shows numbered stones from the side to move, never over a stone", () => {
  const preview = parseMoves("h8j10k11", 15, 15);
  const points = pointsOf(boardView(stateOf("h8i9", { preview })));
  assert.equal(points.get("h8").ghost, null);
  assert.deepEqual(points.get("j10").ghost, { colour: "white", number: 2 });
  assert.deepEqual(points.get("k11").ghost, { colour: "black", number: 3 });
});

test("the end of the game: the five marked end to end, and who won", () => {
  const state = stateOf("a1h8b1h9c1h10d1h11e1");
  const view = boardView(state);
  assert.equal(view.turn, "");
  assert.deepEqual(view.winLine, [
    { x: 0, y: 14 },
    { x: 4, y: 14 },
  ]);
  assert.equal(view.points.filter((p) => p.win).length, 5);
  assert.equal(turnText(state), "Black (you) wins with five.");
  assert.equal(turnText({ ...state, human: "white" }), "Black (velka) wins with five.");
  assert.equal(turnText({ ...state, human: "both" }), "Black wins with five.");
});

test("the turn line says whose turn it is and what velka is doing", () => {
  assert.equal(turnText(stateOf("h8i9")), "Black to move: your turn.");
  assert.equal(turnText(stateOf("h8")), "White to move: velka's turn (press Engine move).");
  assert.equal(turnText(stateOf("h8", { thinking: "move" })), "White to move: velka is thinking…");
  assert.equal(turnText(stateOf("h8", { human: "both" })), "White to move: your turn.");
  assert.equal(
    turnText(stateOf("h8", { thinking: "analyse" })),
    "White to move: velka is analysing…",
  );
});
