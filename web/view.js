// What the page shows, read off its state: the board's points and the line that says whose turn
// it is. Pure functions, so the page draws the same state the same way every time.

import { colourOfMove, moveIndexGrid, sideToMove } from "./game.js";
import { formatPoint } from "./notation.js";

const Capitalised = { black: "Black", white: "White" };

// True when velka plays the side to move (in a game, not while analysing).
export function engineToMove(state) {
  return state.human !== "both" && sideToMove(state.game) !== state.human;
}

// The board as board.js draws it: every point's name and content with its marks.
export function boardView(state) {
  const { game } = state;
  const index = ({ x, y }) => y * game.width + x;
  const last = game.moves.length - 1;
  const win = new Set((state.result?.line ?? []).map(index));
  const forbidden = new Set((state.forbidden ?? []).map(index));
  // A variation from the panel: numbered stones from the side to move on.
  const ghosts = new Map(
    (state.preview ?? []).map((move, i) => [
      index(move),
      { colour: colourOfMove(game.moves.length + i), number: i + 1 },
    ]),
  );
  const best = state.analysis.best;
  const points = moveIndexGrid(game).map((moveIndex, i) => {
    const x = i % game.width;
    const y = Math.floor(i / game.width);
    const stone = moveIndex >= 0 ? colourOfMove(moveIndex) : null;
    return {
      name: formatPoint({ x, y }, game.height),
      stone,
      content: stone ?? (forbidden.has(i) ? "forbidden" : "empty"),
      number: stone && state.showNumbers ? moveIndex + 1 : null,
      last: moveIndex >= 0 && moveIndex === last,
      win: win.has(i),
      hint: best !== null && best.x === x && best.y === y,
      ghost: stone ? null : ghosts.get(i),
    };
  });
  const line = state.result?.line;
  return {
    width: game.width,
    height: game.height,
    turn: state.result === null ? sideToMove(game) : "",
    showNumbers: state.showNumbers,
    points,
    winLine: line ? [line[0], line.at(-1)] : null,
  };
}

export function turnText(state) {
  const { game, result } = state;
  if (result?.draw) return "Draw: the board is full.";
  if (result) {
    const who = state.human === "both" ? "" : state.human === result.winner ? " (you)" : " (velka)";
    return `${Capitalised[result.winner]}${who} wins with five.`;
  }
  const side = Capitalised[sideToMove(game)];
  if (state.thinking === "move") return `${side} to move: velka is thinking…`;
  if (state.thinking === "analyse") return `${side} to move: velka is analysing…`;
  if (!engineToMove(state)) return `${side} to move: your turn.`;
  return `${side} to move: velka's turn (press Engine move).`;
}
