// Game files. Two forms are read and written:
// - the move text players exchange, "h8i9j10" (notation.js), for the board size and rule chosen
//   on the page;
// - the .psq record that Gomocup's tournament manager writes: a header with the board size, one
//   "x,y,time" line per move (columns and rows counted from 1 at the top left, the move's time in
//   ms), then lines of its own (the players, numbers) that are not moves:
//
//     Piskvorky 15x15, 11:11, 0
//     8,8,0
//     9,7,0
//     pbrain-velka.exe
//
// A .psq does not say the rule, so an opened one is played under the rule chosen on the page.

import { MaxSide, MinSide } from "./game.js";
import { formatMoves, parseMoves } from "./notation.js";

export class RecordError extends Error {}

const PsqHeader = /^Piskvorky\s+(\d+)\s*x\s*(\d+)\b/i;
const PsqMove = /^\s*(\d+)\s*,\s*(\d+)\s*,\s*-?\d+\s*$/;

// The game in a file's text: { width, height, moves }, the size from a .psq header, else `side`.
// Throws RecordError or NotationError with a message for the player.
export function readGameFile(text, side) {
  const lines = text.split(/\r?\n/);
  const header = PsqHeader.exec(lines[0].trim());
  if (header === null) return { width: side, height: side, moves: parseMoves(text, side, side) };
  const [width, height] = [Number(header[1]), Number(header[2])];
  if (width !== height || width < MinSide || width > MaxSide) {
    throw new RecordError(
      `The record is for a ${width} × ${height} board; the page plays square boards from ${MinSide} to ${MaxSide}.`,
    );
  }
  const moves = [];
  for (const line of lines.slice(1)) {
    const move = PsqMove.exec(line);
    if (move === null) break;
    const [x, y] = [Number(move[1]) - 1, Number(move[2]) - 1];
    if (x < 0 || y < 0 || x >= width || y >= height) {
      throw new RecordError(
        `Move ${moves.length + 1}, "${line.trim()}", is off the ${width} × ${height} board.`,
      );
    }
    moves.push({ x, y });
  }
  return { width, height, moves };
}

// The .psq record of `game`, in the manager's shape; the page keeps no times, so they are 0.
export function formatPsq(game) {
  const header = `Piskvorky ${game.width}x${game.height}, 11:11, 0`;
  const moves = game.moves.map(({ x, y }) => `${x + 1},${y + 1},0`);
  return [header, ...moves, ""].join("\n");
}

export function formatText(game) {
  return `${formatMoves(game.moves, game.height)}\n`;
}
