// A game as the page keeps it: the board size, the rule and the moves in order. Black makes the
// first move, so a move's colour follows from its index. Everything else (whose turn, the stones,
// the result) is read off these.

import { formatPoint } from "./notation.js";

// The values of INFO rule.
export const Rule = Object.freeze({ freestyle: 0, exactFive: 1, renju: 4 });

export const MinSide = 5;
export const MaxSide = 22;

const Directions = [
  [1, 0],
  [0, 1],
  [1, 1],
  [1, -1],
];

export function createGame(width, height, rule) {
  return { width, height, rule, moves: [] };
}

export function colourOfMove(index) {
  return index % 2 === 0 ? "black" : "white";
}

export function sideToMove(game) {
  return colourOfMove(game.moves.length);
}

// The colour on (x, y), or null when the point is empty.
export function stoneAt(game, x, y) {
  const index = game.moves.findIndex((move) => move.x === x && move.y === y);
  return index < 0 ? null : colourOfMove(index);
}

// For each point (index y * width + x), the index of the move played there, or -1.
export function moveIndexGrid(game) {
  const grid = new Array(game.width * game.height).fill(-1);
  game.moves.forEach(({ x, y }, index) => {
    grid[y * game.width + x] = index;
  });
  return grid;
}

function onBoard(game, x, y) {
  return x >= 0 && y >= 0 && x < game.width && y < game.height;
}

// Overlines win in freestyle and for white under Renju; exact five and Renju black need exactly five.
function needsExactFive(rule, colour) {
  return rule === Rule.exactFive || (rule === Rule.renju && colour === "black");
}

// The winning line made by the last move, from one end to the other, or null.
function lineOfLastMove(game) {
  const count = game.moves.length;
  if (count === 0) return null;
  const last = game.moves[count - 1];
  const colour = colourOfMove(count - 1);
  const grid = moveIndexGrid(game);
  const sameColour = (x, y) => {
    const index = onBoard(game, x, y) ? grid[y * game.width + x] : -1;
    return index >= 0 && colourOfMove(index) === colour;
  };
  for (const [dx, dy] of Directions) {
    const line = [last];
    for (const sign of [1, -1]) {
      let x = last.x + sign * dx;
      let y = last.y + sign * dy;
      while (sameColour(x, y)) {
        if (sign > 0) line.push({ x, y });
        else line.unshift({ x, y });
        x += sign * dx;
        y += sign * dy;
      }
    }
    const wins = needsExactFive(game.rule, colour) ? line.length === 5 : line.length >= 5;
    if (wins) return line;
  }
  return null;
}

// { winner, line } after a five, { draw: true } on a full board, null while the game goes on.
export function gameResult(game) {
  const line = lineOfLastMove(game);
  if (line !== null) return { winner: colourOfMove(game.moves.length - 1), line };
  if (game.moves.length === game.width * game.height) return { draw: true };
  return null;
}

// Adds a move for the side to move; returns null, or the reason the move cannot be played.
export function playMove(game, x, y) {
  if (gameResult(game) !== null) return "The game is over.";
  if (!onBoard(game, x, y)) return "That point is off the board.";
  if (stoneAt(game, x, y) !== null) {
    return `${formatPoint({ x, y }, game.height)} is already taken.`;
  }
  game.moves.push({ x, y });
  return null;
}

// A game from a list of moves, checked move by move; throws an Error with a message for the player.
export function replayGame(width, height, rule, moves) {
  const game = createGame(width, height, rule);
  for (const [index, move] of moves.entries()) {
    const name = formatPoint(move, height);
    if (gameResult(game) !== null) {
      throw new Error(
        `The game is already over after move ${index}; move ${index + 1}, ${name}, is one too many.`,
      );
    }
    if (stoneAt(game, move.x, move.y) !== null) {
      const first = game.moves.findIndex((m) => m.x === move.x && m.y === move.y);
      throw new Error(
        `Move ${index + 1}, ${name}, is on a point already taken by move ${first + 1}.`,
      );
    }
    playMove(game, move.x, move.y);
  }
  return game;
}

// The game's line, the moves played and those taken back, once the position holds `moves`: the
// same line while `moves` follows it, else `moves` itself (a different move ends the old line).
export function followLine(line, moves) {
  const follows =
    moves.length <= line.length && moves.every((m, i) => m.x === line[i].x && m.y === line[i].y);
  return follows ? line : [...moves];
}
