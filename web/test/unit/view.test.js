import assert from "node:assert/strict";
import { test } from "node:test";

import { Rule, gameResult, replayGame } from "../../game.js";
import { formatPoint, parseMoves } from "../../notation.js";
import { boardView, turnText } from "../../view.js";

const analysisOf = (fields) => ({ kind: "move", depths: [], best: null, pinned: null, ...fields });

function stateOf(text, fields = {}) {
  const game = replayGame(15, 15, Rule.renju, parseMoves(text, 15, 15));
  const state = { game, human: "black", showNumbers: false, thinking: null, forbidden: null };
  Object.assign(state, { engine: { status: "ready" }, velkaWaits: false, preview: null });
  return { ...state, result: gameResult(game), analysis: analysisOf(), ...fields };
}

// A point as "content [number] [last] [best] [line N] [variation stone]".
const describePoint = ({ content, number, last, hint, candidate, ghost }) =>
  [
    content,
    number,
    last && "last",
    hint && "best",
    candidate && `line ${candidate}`,
    ghost && `${ghost.colour} ${ghost.number}`,
  ]
    .filter(Boolean)
    .join(" ");

const marks = (state) => new Map(boardView(state).points.map((p) => [p.name, describePoint(p)]));
const line = (rank, text) => ({ rank, pv: parseMoves(text, 15, 15) });

test("every point is named, with its stone, number, last move, forbidden, best move and variation marks", () => {
  const state = stateOf("h8i9", {
    showNumbers: true,
    forbidden: [{ x: 7, y: 6 }],
    analysis: analysisOf({ best: { x: 0, y: 0 } }),
    preview: parseMoves("h8j10k11", 15, 15),
  });
  const points = marks(state);
  const expected = { h8: "black 1", i9: "white 2 last", h9: "forbidden", a15: "empty best" };
  // The variation runs from the side to move on and is never drawn over a stone (h8).
  Object.assign(expected, { j10: "empty white 2", k11: "empty black 3", a1: "empty" });
  for (const [name, marks] of Object.entries(expected)) assert.equal(points.get(name), marks, name);
});

test("an analysis numbers its lines' first moves, and shows a pinned line as a variation", () => {
  const depths = [{ depth: 4, lines: [line(1, "g7h7"), line(2, "j10"), line(3, "")] }];
  const analysing = stateOf("h8i9", { analysis: analysisOf({ kind: "analyse", depths }) });
  const points = marks(analysing);
  assert.deepEqual([points.get("g7"), points.get("j10")], ["empty line 1", "empty line 2"]);
  assert.equal([...points.values()].filter((p) => p.includes("line")).length, 2);
  // velka's own think marks nothing; a pinned line is drawn instead of the numbers.
  const thinking = stateOf("h8i9", { analysis: analysisOf({ depths }) });
  assert.ok(![...marks(thinking).values()].some((p) => p.includes("line")));
  analysing.analysis.pinned = 1;
  assert.deepEqual(
    [marks(analysing).get("g7"), marks(analysing).get("h7")],
    ["empty black 1", "empty white 2"],
  );
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
    [
      stateOf("h8", { engine: { status: "loading" }, velkaWaits: true }),
      "White to move: the engine is starting; velka moves once it is ready…",
    ],
  ]) {
    assert.equal(turnText(state), text);
  }
});
