// The page speaks to velka only through its text protocol, as a tournament manager does: it posts
// command lines to the engine's worker and reads the answer lines that come back. Requests run one
// at a time, in the order they were made, because the protocol's answers carry no request id.
//
// A manager also watches its engine: an error in the worker, an answer that does not come within
// the request's time and a margin, or a worker that falls silent (it answers ABOUT at once even in
// the middle of a think, so a quiet spell is probed with one) ends this Engine for good; every
// request then fails, and the page starts a fresh one.

import { colourOfMove } from "./game.js";
import { parseScore } from "./score.js";

export const MaxMemoryBytes = 96 * 1024 * 1024;
// time_left's "no match clock": every move is bounded by the time per move alone.
const NoMatchClock = 2147483647;
// FORBID reads the engine's own board, and only BOARD sets a whole position, which starts a think;
// that think is kept short and its move taken back.
const SetupThinkMs = 10;
// Loading the script and building the engine's tables, before its first answer.
const LoadAllowanceMs = 60000;
// What an answer may take beyond the time its request gives the engine.
export const AnswerMarginMs = 5000;
// After this long without a line, the engine is asked ABOUT; it fails when that goes unanswered
// for SilenceMs.
export const QuietMs = 2000;
export const SilenceMs = 6000;
const WatchEveryMs = 500;

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

// The text of a "MESSAGE depth D [multipv I] score S nodes N nps R time T pv x,y ..." line after
// "MESSAGE ", or null for any other message. Keys are read by name, so added keys do no harm; a
// line without multipv is the best one (1).
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
  fields.multipv ??= "1";
  const numbers = ["depth", "multipv", "nodes", "nps", "time"].map((key) => Number(fields[key]));
  if (pv === null || score === null || numbers.some((n) => !Number.isFinite(n))) return null;
  const [depth, rank, nodes, nps, timeMs] = numbers;
  return { depth, rank, score, nodes, nps, timeMs, pv };
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
  // The INFO lines of the last think's settings, as sent.
  #settings = "";
  #failure = null; // why the engine failed, once it has
  #heardAt = null; // when the engine last sent a line (null: never, it is loading)
  #pingAt = null; // when an ABOUT went out to a quiet engine, until any line comes
  #watch = null; // the timer that checks a waiting request

  onError = () => {}; // an ERROR or UNKNOWN line nobody asked for
  onNote = () => {}; // a MESSAGE line that is not analysis
  onFailure = () => {}; // once, (reason, detail), when the engine has failed

  // port: a Worker, or anything with postMessage and message / error events like one.
  constructor(port) {
    this.#port = port;
    port.addEventListener("message", (event) => this.#receive(String(event.data)));
    port.addEventListener("error", (event) => {
      // Handled here: the page reports it, so the browser need not.
      event.preventDefault();
      this.#fail("it hit an error", event.message);
    });
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
  // thinking at most timeMs with `settings` ([key, value] pairs of INFO lines, sent when they differ
  // from the last think's). Aborting the signal stops a running think (its move still returns) or
  // drops a request still waiting its turn (null).
  think(game, timeMs, { signal, onAnalysis, settings = [] } = {}) {
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
        return await this.#search(game, colourOfMove(game.moves.length), timeMs, settings);
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
        const move = await this.#search(game, "white", SetupThinkMs, null);
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
    const run = this.#queue.then(() => {
      if (this.#failure !== null) throw new Error(this.#failure);
      return task();
    });
    this.#queue = run.catch(() => {});
    return run;
  }

  // The answer that `read` accepts, due within allowMs (and the loading time, if the engine has not
  // spoken yet).
  #expect(read, allowMs = AnswerMarginMs) {
    const deadline = Date.now() + allowMs + (this.#heardAt === null ? LoadAllowanceMs : 0);
    return new Promise((resolve, reject) => {
      this.#waiter = { read, resolve, reject, deadline };
      this.#watch ??= setInterval(() => this.#check(), WatchEveryMs);
    });
  }

  #check() {
    const now = Date.now();
    if (this.#waiter === null) {
      clearInterval(this.#watch);
      this.#watch = null;
    } else if (now > this.#waiter.deadline) {
      this.#fail("it did not answer in time");
    } else if (this.#pingAt !== null && now - this.#pingAt > SilenceMs) {
      this.#fail("it stopped answering");
    } else if (this.#heardAt !== null && this.#pingAt === null && now - this.#heardAt > QuietMs) {
      this.#pingAt = now;
      this.#send("ABOUT");
    }
  }

  #receive(line) {
    this.#heardAt = Date.now();
    this.#pingAt = null;
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

  // reason: words for the player; detail: the worker's own message, if any.
  #fail(reason, detail = "") {
    if (this.#failure !== null) return;
    this.#failure = reason;
    const waiter = this.#waiter;
    this.#waiter = null;
    this.#thinking = false;
    clearInterval(this.#watch);
    this.#watch = null;
    waiter?.reject(new Error(reason));
    this.onFailure(reason, detail);
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

  // Sets the engine's board to `game` with `own` as its side ("1") and waits for its move. A think
  // the page asked for comes with its settings (see think); a set-up (null) is not stoppable.
  async #search(game, own, timeMs, settings) {
    const stoppable = settings !== null;
    const size = `${game.width},${game.height}`;
    if (this.#size !== size) {
      this.#send(game.width === game.height ? `START ${game.width}` : `RECTSTART ${size}`);
      const answer = await this.#expect(readOk);
      if (answer.error) throw new Error(`velka: ${answer.error}`);
      this.#size = size;
      this.#stones.clear();
    }
    const infos = (settings ?? []).map(([key, value]) => `INFO ${key} ${value}`);
    if (stoppable && infos.join() !== this.#settings) {
      infos.forEach((line) => this.#send(line));
      this.#settings = infos.join();
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
      const move = await this.#expect(
        (line) => parseMove(line) ?? undefined,
        timeMs + AnswerMarginMs,
      );
      this.#stones.set(pointKey(move), 1);
      return move;
    } finally {
      this.#thinking = false;
    }
  }
}
