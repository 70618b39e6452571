// The page speaks to velka only through its text protocol, as a tournament manager does: it posts
// command lines to the engine's worker and reads the answer lines that come back. Requests run one
// at a time, in the order they were made, because the protocol's answers carry no request id.

import { colourOfMove } from "./game.js";

export const MaxMemoryBytes = 96 * 1024 * 1024;
// time_left's "no match clock": every move is bounded by the time per move alone.
const NoMatchClock = 2147483647;
// FORBID reads the engine's own board, and only BOARD sets a whole position, which starts a think;
// that think is kept short and its move taken back.
const SetupThinkMs = 10;

// The stones as BOARD lines: "1" for the colour `own`, "2" for the other.
export function boardLines(moves, own) {
  return moves.map(({ x, y }, index) => `${x},${y},${colourOfMove(index) === own ? 1 : 2}`);
}

export function parseMove(text) {
  const match = /^\s*(\d+),(\d+)\s*$/.exec(text);
  return match === null ? null : { x: Number(match[1]), y: Number(match[2]) };
}

function parseMoves(words) {
  const moves = words.map(parseMove);
  return moves.includes(null) ? null : moves;
}

// { value } in the engine's units, { win: true, inMoves? } or { loss: true }: for the side to move.
export function parseScore(word) {
  if (word === "win") return { win: true };
  if (word === "loss") return { loss: true };
  const winIn = /^win(\d+)$/.exec(word);
  if (winIn !== null) return { win: true, inMoves: Number(winIn[1]) };
  return /^-?\d+$/.test(word) ? { value: Number(word) } : null;
}

// The text of a "MESSAGE depth D score S nodes N nps R time T pv x,y ..." line after "MESSAGE ",
// or null for any other message. Keys are read by name, so added keys do no harm.
export function parseAnalysis(text) {
  const words = text.trim().split(/\s+/);
  if (words[0] !== "depth") return null;
  const fields = {};
  let pv = [];
  for (let i = 0; i < words.length; i += 2) {
    if (words[i] === "pv") {
      pv = parseMoves(words.slice(i + 1));
      break;
    }
    fields[words[i]] = words[i + 1];
  }
  const score = parseScore(fields.score ?? "");
  const numbers = ["depth", "nodes", "nps", "time"].map((key) => Number(fields[key]));
  if (pv === null || score === null || numbers.some((n) => !Number.isFinite(n))) return null;
  const [depth, nodes, nps, timeMs] = numbers;
  return { depth, score, nodes, nps, timeMs, pv };
}

const pointKey = ({ x, y }) => `${x},${y}`;

function readOk(line) {
  if (line === "OK") return { ok: true };
  return /^ERROR\b/.test(line) ? { error: line } : undefined;
}

function readForbid(line) {
  if (!/^FORBID\b/.test(line)) return undefined;
  return parseMoves(line.split(/\s+/).slice(1).filter(Boolean)) ?? undefined;
}

function readAbout(line) {
  if (!/^name=/.test(line)) return undefined;
  const field = (key) => new RegExp(`${key}="([^"]*)"`).exec(line)?.[1] ?? "";
  return { name: field("name"), version: field("version") };
}

export class Engine {
  #port;
  #queue = Promise.resolve();
  #waiter = null; // { read, resolve, reject } for the answer the running request awaits
  #listener = null; // receives the analysis lines of the running think (null: no think request runs)
  #thinking = false;
  #thinksWaiting = 0; // think requests queued behind the running one
  #stopNextThink = false; // a stop asked for before the think it meant had begun
  // The engine's board as far as this side knows: its size ("w,h", null before the first START)
  // and its stones, "x,y" -> 1 or 2 from the engine's side.
  #size = null;
  #stones = new Map();

  onError = () => {}; // an ERROR or UNKNOWN line nobody asked for, or the worker failing
  onNote = () => {}; // a MESSAGE line that is not analysis

  // port: a Worker, or anything with postMessage and message / error events like one.
  constructor(port) {
    this.#port = port;
    port.addEventListener("message", (event) => this.#receive(String(event.data)));
    port.addEventListener("error", (event) => this.#fail(event.message || "the engine failed"));
    this.#send(`INFO max_memory ${MaxMemoryBytes}`);
    this.#send("INFO analysis 1");
    this.#send("INFO timeout_match 0");
    this.#send(`INFO time_left ${NoMatchClock}`);
  }

  // { name, version } once the engine has loaded and answered ABOUT.
  about() {
    return this.#enqueue(() => {
      this.#send("ABOUT");
      return this.#expect(readAbout);
    });
  }

  // The next request starts a fresh game (START), as after a change of board size.
  newGame() {
    this.#size = null;
  }

  // The engine's move for the side to move in `game` (a snapshot the caller no longer changes),
  // thinking at most timeMs. Aborting the signal stops a running think (its move still returns) or
  // drops a request still waiting its turn (null).
  think(game, timeMs, { signal, onAnalysis } = {}) {
    this.#thinksWaiting += 1;
    return this.#enqueue(async () => {
      this.#thinksWaiting -= 1;
      if (signal?.aborted) {
        this.#stopNextThink = false;
        return null;
      }
      const stop = () => this.stop();
      signal?.addEventListener("abort", stop);
      this.#listener = onAnalysis ?? (() => {});
      try {
        return await this.#search(game, colourOfMove(game.moves.length), timeMs, true);
      } finally {
        this.#listener = null;
        signal?.removeEventListener("abort", stop);
      }
    });
  }

  // The points where black may not play in `game` (black to move, Renju), as the engine finds them.
  forbidden(game, { signal } = {}) {
    return this.#enqueue(async () => {
      if (signal?.aborted) return null;
      // FORBID takes black as the side of the "2" stones when both have as many.
      const wanted = new Map(boardLines(game.moves, "white").map((line) => this.#stoneEntry(line)));
      if (!this.#holds(game, wanted)) {
        const move = await this.#search(game, "white", SetupThinkMs, false);
        this.#send(`TAKEBACK ${move.x},${move.y}`);
        const answer = await this.#expect(readOk);
        if (answer.error) throw new Error(`velka: ${answer.error}`);
        this.#stones.delete(pointKey(move));
      }
      this.#send(`INFO rule ${game.rule}`);
      this.#send("FORBID");
      return this.#expect(readForbid);
    });
  }

  // Asks the running think, or else the next one asked for, for its best move at once (YXSTOP).
  stop() {
    if (this.#thinking) this.#send("YXSTOP");
    else if (this.#listener !== null || this.#thinksWaiting > 0) this.#stopNextThink = true;
  }

  #send(line) {
    this.#port.postMessage(line);
  }

  #enqueue(task) {
    const run = this.#queue.then(task);
    this.#queue = run.catch(() => {});
    return run;
  }

  #expect(read) {
    return new Promise((resolve, reject) => {
      this.#waiter = { read, resolve, reject };
    });
  }

  #receive(line) {
    if (/^MESSAGE\b/.test(line)) {
      const text = line.slice("MESSAGE".length).trim();
      const analysis = parseAnalysis(text);
      if (analysis === null) this.onNote(text);
      else this.#listener?.(analysis);
      return;
    }
    const waiter = this.#waiter;
    const answer = waiter?.read(line);
    if (answer !== undefined) {
      this.#waiter = null;
      waiter.resolve(answer);
    } else if (/^(ERROR|UNKNOWN)\b/.test(line)) {
      this.onError(line);
    }
  }

  #fail(reason) {
    const waiter = this.#waiter;
    this.#waiter = null;
    this.#thinking = false;
    this.onError(reason);
    waiter?.reject(new Error(reason));
  }

  #stoneEntry(line) {
    const [x, y, who] = line.split(",");
    return [`${x},${y}`, Number(who)];
  }

  #holds(game, stones) {
    if (this.#size !== `${game.width},${game.height}` || this.#stones.size !== stones.size) {
      return false;
    }
    for (const [key, who] of stones) if (this.#stones.get(key) !== who) return false;
    return true;
  }

  // Sets the engine's board to `game` with `own` as its side ("1") and waits for its move. Only a
  // think the page asked for (not a set-up) is `stoppable`.
  async #search(game, own, timeMs, stoppable) {
    const size = `${game.width},${game.height}`;
    if (this.#size !== size) {
      this.#send(game.width === game.height ? `START ${game.width}` : `RECTSTART ${size}`);
      const answer = await this.#expect(readOk);
      if (answer.error) throw new Error(`velka: ${answer.error}`);
      this.#size = size;
      this.#stones.clear();
    }
    const lines = boardLines(game.moves, own);
    this.#send(`INFO rule ${game.rule}`);
    this.#send(`INFO timeout_turn ${Math.round(timeMs)}`);
    this.#send("BOARD");
    for (const line of lines) this.#send(line);
    this.#send("DONE");
    this.#stones = new Map(lines.map((line) => this.#stoneEntry(line)));
    if (stoppable && this.#stopNextThink) {
      this.#send("YXSTOP");
      this.#stopNextThink = false;
    }
    this.#thinking = stoppable;
    try {
      const move = await this.#expect((line) => parseMove(line) ?? undefined);
      this.#stones.set(pointKey(move), 1);
      return move;
    } finally {
      this.#thinking = false;
    }
  }
}
