// The page's address carries the game shown, "#size=15&rule=4&moves=h8i9", so a position can be
// shared as a link and survives a reload.

import { MaxSide, MinSide, Rule, replayGame } from "./game.js";
import { formatMoves, parseMoves } from "./notation.js";

const DefaultSide = 15;

export function formatAddress(game) {
  const moves = formatMoves(game.moves, game.height);
  return `#${new URLSearchParams({ size: game.width, rule: game.rule, moves })}`;
}

// The game a link names: null for an address without one, else { moves } (its move text, kept for
// the player when the link is bad) with { game } or { error }, a message for the player.
export function readAddress(hash) {
  const fields = new URLSearchParams(hash.replace(/^#/, ""));
  if (![...fields.keys()].some((key) => ["size", "rule", "moves"].includes(key))) return null;
  const moves = fields.get("moves") ?? "";
  const side = Number(fields.get("size") ?? DefaultSide);
  const rule = Number(fields.get("rule") ?? Rule.freestyle);
  if (!Number.isInteger(side) || side < MinSide || side > MaxSide) {
    const error = `This link asks for a board of size "${fields.get("size")}"; the page plays sizes ${MinSide} to ${MaxSide}.`;
    return { moves, error };
  }
  if (!Object.values(Rule).includes(rule)) {
    const error = `This link asks for rule "${fields.get("rule")}"; the page knows 0 (freestyle), 1 (exact five) and 4 (Renju).`;
    return { moves, error };
  }
  try {
    return { moves, game: replayGame(side, side, rule, parseMoves(moves, side, side)) };
  } catch (error) {
    return { moves, error: `This link's game cannot be shown: ${error.message}` };
  }
}
