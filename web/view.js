// What the page shows, read off its state: the board's points and the line that says whose turn
// it is. Pure functions, so the page draws the same state the same way every time.

import { colourOfMove, moveIndexGrid, sideToMove } from "./game.js";
import { formatPoint } from "./notation.js";

const Capitalised = { black: "Black", white: "White" };

// True when velka plays the side to move (in a game, not while analysing).
export function engineToMove(state) {
  return state.human !== "both" && sideToMove(state.game) !== state.human;
}

// The line shown on the board: the one pointed at in the panel, else the one pinned there.
function shownLine(state) {
  if (state.preview !== null) return state.preview;
  const lines = state.analysis.depths.at(-1)?.lines ?? [];
  return lines.find((line) => line.rank === state.analysis.pinned)?.pv ?? [];
}

// The board as board.js draws it: every point's name and content with its marks.
export function boardView(state) {
  const { game, analysis } = state;
  const index = ({ x, y }) => y * game.width + x;
  const last = game.moves.length - 1;
  const win = new Set((state.result?.line ?? []).map(index));
  const forbidden = new Set((state.forbidden ?? []).map(index));
  // A line from the panel: numbered stones from the side to move on.
  const ghosts = new Map(
    shownLine(state).map((move, i) => [
      index(move),
      { colour: colourOfMove(game.moves.length + i), number: i + 1 },
    ]),
  );
  // An analysis marks the first move of each of its best lines with the line's number.
  const candidates = new Map();
  if (analysis.kind === "analyse" && ghosts.size === 0) {
    for (const line of analysis.depths.at(-1)?.lines ?? []) {
      if (line.pv.length > 0) candidates.set(index(line.pv[0]), line.rank);
    }
  }
  const best = analysis.best;
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
      candidate: stone ? null : (candidates.get(i) ?? null),
      ghost: stone ? null : ghosts.get(i),
    };
  });
  const line = state.result?.line;
  return {
    width: game.width,
    height: game.height,
    // Whose stone the pointer shows: none while the game is over or no engine takes moves.
    turn: state.result === null && state.engine.status === "ready" ? sideToMove(game) : "",
    showNumbers: state.showNumbers,
    points,
    winLine: line ? [line[0], line.at(-1)] : null,
  };
}

function whoIs(state, colour) {
  if (state.human === "both") return "";
  return state.human === colour ? " (you)" : " (velka)";
}

export function turnText(state) {
  const { game, result, engine } = state;
  if (result?.draw) return "Draw: the board is full.";
  if (result?.resigned) {
    const loser = Capitalised[result.resigned];
    return `${Capitalised[result.winner]}${whoIs(state, result.winner)} wins: ${loser} resigned.`;
  }
  if (result) return `${Capitalised[result.winner]}${whoIs(state, result.winner)} wins with five.`;
  if (engine.status === "failed") {
    return `The engine could not start (${engine.problem}). Reload the page to try again.`;
  }
  const side = Capitalised[sideToMove(game)];
  if (engine.status === "restarting") {
    return `${side} to move: the engine failed (${engine.problem}); a fresh one is starting…`;
  }
  if (engine.status === "loading") {
    const then = state.velkaWaits ? "; velka moves once it is ready" : "";
    return `${side} to move: the engine is starting${then}…`;
  }
  if (state.thinking === "move") return `${side} to move: velka is thinking…`;
  if (state.thinking === "analyse") return `${side} to move: velka is analysing…`;
  if (!engineToMove(state)) return `${side} to move: your turn.`;
  return `${side} to move: velka's turn (press Engine move).`;
}
