// The text form of points and games used by players and opening books: "h8" is column h (a = x 0,
// no letter skipped) and row 8 counted from the bottom, so on 15 × 15 "h8" is the centre (7,7).
// A game is its moves written one after the other: "h8i9j10".

const FirstLetter = "a".charCodeAt(0);

export class NotationError extends Error {}

export function formatPoint({ x, y }, height) {
  return String.fromCharCode(FirstLetter + x) + String(height - y);
}

export function formatMoves(moves, height) {
  return moves.map((move) => formatPoint(move, height)).join("");
}

// Reads a move list for a width × height board. Spaces, commas and semicolons between moves are
// allowed, letters in either case. Throws NotationError with a message meant for the player.
export function parseMoves(text, width, height) {
  const moves = [];
  const move = /([a-z])(\d{1,2})/iy;
  const separator = /[\s,;]*/y;
  let at = 0;
  for (;;) {
    separator.lastIndex = at;
    separator.exec(text);
    at = separator.lastIndex;
    if (at >= text.length) return moves;
    move.lastIndex = at;
    const match = move.exec(text);
    if (match === null) {
      throw new NotationError(
        `Cannot read "${text[at]}" at character ${at + 1}: write moves like h8i9 (a column letter, then the row number).`,
      );
    }
    at = move.lastIndex;
    const name = match[0].toLowerCase();
    const x = name.charCodeAt(0) - FirstLetter;
    const row = Number(match[2]);
    if (x >= width || row < 1 || row > height) {
      throw new NotationError(
        `Move ${moves.length + 1}, ${name}, is off the ${width} × ${height} board. Choose a larger board first.`,
      );
    }
    moves.push({ x, y: height - row });
  }
}
