import assert from "node:assert/strict";
import { test } from "node:test";

import { Rule, gameResult, replayGame } from "../../game.js";
import { formatPoint, parseMoves } from "../../notation.js";
import { boardView, turnText } from "../../view.js";

function stateOf(text, fields = {}) {
  const game = replayGame(15, 15, Rule.renju, parseMoves(text, 15, 15));
  const state = { game, human: "black", showNumbers: false, thinking: null, forbidden: null };
  return { ...state, result: gameResult(game), analysis: { best: null }, preview: null, ...fields };
}

// A point as "content [number] [last] [best] [variation stone]".
const describePoint = ({ content, number, last, hint, ghost }) =>
  [content, number, last && "last", hint && "best", ghost && `${ghost.colour} ${ghost.number}`]
    .filter(Boolean)
    .join(" ");

test("every point is named, with its stone, number, last move, forbidden, best move and variation marks", () => {
  const state = stateOf("h8i9", {
    showNumbers: true,
    forbidden: [{ x: 7, y: 6 }],
    analysis: { best: { x: 0, y: 0 } },
    preview: parseMoves("h8j10k11", 15, 15),
  });
  const points = new Map(boardView(state).points.map((p) => [p.name, describePoint(p)]));
  const expected = { h8: "black 1", i9: "white 2 last", h9: "forbidden", a15: "empty best" };
  // The variation runs from the side to move on and is never drawn over a stone (h8).
  Object.assign(expected, { j10: "empty white 2", k11: "empty black 3", a1: "empty" });
  for (const [name, marks] of Object.entries(expected)) assert.equal(points.get(name), marks, name);
});

test("the turn line says whose turn it is, what velka does and who won", () => {
  const won = stateOf("a1h8b1h9c1h10d1h11e1");
  const view = boardView(won);
  assert.deepEqual([view.turn, ...view.winLine.map((p) => formatPoint(p, 15))], ["", "a1", "e1"]);
  assert.equal(view.points.filter((p) => p.win).length, 5);
  for (const [state, text] of [
    [won, "Black (you) wins with five."],
    [{ ...won, human: "white" }, "Black (velka) wins with five."],
    [{ ...won, human: "both" }, "Black wins with five."],
    [stateOf("h8i9"), "Black to move: your turn."],
    [stateOf("h8"), "White to move: velka's turn (press Engine move)."],
    [stateOf("h8", { human: "both" }), "White to move: your turn."],
    [stateOf("h8", { thinking: "move" }), "White to move: velka is thinking…"],
    [stateOf("h8", { thinking: "analyse" }), "White to move: velka is analysing…"],
  ]) {
    assert.equal(turnText(state), text);
  }
});
