// The engine's score in a player's words. The engine reports, for the side it plays (the side to
// move), either a proven result (win, loss, a win or loss in K of its moves) or an integer in
// -9999 … 9999. The page reads that integer as a chance to win, p = 1 / (1 + e^(-s / ScoreScale)),
// always from black's view, and names the side ahead by bands of its chance.

// The score at which the side ahead wins about 73 % of games (p = 1 / (1 + e^-1)).
export const ScoreScale = 300;

// Bands of the chance of the side ahead, from the top: at least `from`, these words.
const Bands = [
  { from: 0.85, words: "is winning" },
  { from: 0.65, words: "is better" },
  { from: 0.55, words: "is slightly better" },
];

const Capitalised = { black: "Black", white: "White" };
const other = (side) => (side === "black" ? "white" : "black");

export function winChance(value) {
  return 1 / (1 + Math.exp(-value / ScoreScale));
}

// A score word of the engine: { value }, { win: true, inMoves? } or { loss: true, inMoves? }, or
// null when the word is none of them.
export function parseScore(word) {
  const proven = /^(win|loss)(\d*)$/.exec(word);
  if (proven !== null) {
    const score = { [proven[1]]: true };
    if (proven[2] !== "") score.inMoves = Number(proven[2]);
    return score;
  }
  return /^-?\d+$/.test(word) ? { value: Number(word) } : null;
}

// The score `score` of the side `side` as the page shows it: { words, black }, black's chance
// from 0 to 1, and { winner, inMoves } for a proven result.
export function describeScore(score, side) {
  if (score.win || score.loss) {
    const winner = score.win ? side : other(side);
    const inMoves = score.inMoves ? ` in ${score.inMoves}` : "";
    return { words: `${Capitalised[winner]} wins${inMoves}`, black: winner === "black" ? 1 : 0 };
  }
  const black = winChance(side === "black" ? score.value : -score.value);
  const ahead = black >= 0.5 ? "black" : "white";
  const band = Bands.find(({ from }) => Math.max(black, 1 - black) >= from);
  return { words: band ? `${Capitalised[ahead]} ${band.words}` : "About even", black };
}

// The score shown after a depth: the mean of its value and the previous depth's, which cancels the
// swing between odd and even depths of a quiet position; a proven result as it is.
export function smoothScore(latest, previous) {
  if (latest.value === undefined || previous?.value === undefined) return latest;
  return { value: (latest.value + previous.value) / 2 };
}
