// The page: one state object, drawn by render() after every change, and the engine spoken to as a
// manager speaks to it. The engine runs in a Web Worker, so the page never waits on it; when the
// worker fails, a fresh one takes its place.

import { addReport, createAnalysisPanel } from "./analysis.js";
import { createBoard } from "./board.js";
import { Engine } from "./engine.js";
import {
  MaxSide,
  MinSide,
  Rule,
  colourOfMove,
  createGame,
  followLine,
  gameResult,
  playMove,
  replayGame,
  sideToMove,
} from "./game.js";
import { FullStrength, Levels, levelSettings } from "./levels.js";
import { formatAddress, readAddress } from "./links.js";
import { createMoveList } from "./movelist.js";
import { formatMoves, formatPoint, parseMoves } from "./notation.js";
import { formatPsq, formatText, readGameFile } from "./record.js";
import { boardView, engineToMove, turnText } from "./view.js";

// An analysis runs until stopped; this is only the engine's outer bound.
const AnalysisTimeMs = 10 * 60 * 1000;
const TimeChoicesMs = [100, 300, 1000, 2000, 5000, 10000, 30000];
const RuleNames = {
  [Rule.freestyle]: "freestyle",
  [Rule.exactFive]: "exact five",
  [Rule.renju]: "Renju",
};
// Failures in a row without a request answered: after this many the page stops starting engines.
const FailuresToGiveUp = 3;

const state = {
  game: createGame(15, 15, Rule.freestyle), // the position shown
  line: [], // the game's moves: those of `game` and those taken back, still there to replay
  human: "black", // the colour the player plays: "black", "white" or "both"
  engineTimeMs: 1000,
  level: FullStrength,
  multipv: 1, // the lines an analysis shows
  showNumbers: false,
  result: null, // gameResult of the game, or { winner, resigned } after a resignation
  // "loading", "ready", "restarting" (after a failure) or "failed" (the page gave up); problem: why
  engine: { status: "loading", problem: "" },
  velkaWaits: false, // velka moves as soon as the engine is ready
  thinking: null, // "move" while velka chooses its move, "analyse" while it analyses
  analysing: false, // analysis follows the position until stopped
  forbidden: null, // points black may not play here (Renju, black to move); null while unknown
  // kind: "move" or "analyse"; depths: analysis.js addReport; pinned: the rank shown on the board
  analysis: { kind: "move", side: "black", depths: [], best: null, pinned: null },
  preview: null, // a line pointed at in the analysis panel
  message: { text: "", error: false },
  addressHeld: false, // a bad link stays in the address until the position changes
};

// Aborted whenever the position changes: answers to requests made for the old one are dropped.
let positionRequests = new AbortController();
// Settles when the forbidden points of the present position are known.
let forbiddenKnown = Promise.resolve();
let engine = null;
let failuresInRow = 0;

const $ = (id) => document.getElementById(id);
const pointName = (move) => formatPoint(move, state.game.height);
const snapshot = (game) => ({ ...game, moves: [...game.moves] });
const plural = (count, word) => `${count} ${word}${count === 1 ? "" : "s"}`;

const board = createBoard($("board"), { onPlay: (x, y) => humanMove(x, y) });
const moveList = createMoveList($("move-list"), { onGo: (count) => goTo(count) });
const analysisPanel = createAnalysisPanel($("analysis"), {
  onPreview: (pv) => {
    if (pv === state.preview) return;
    state.preview = pv;
    render();
  },
  onPin: (rank) => {
    state.analysis.pinned = rank;
    render();
  },
});

// The outcome of the player's last action (or velka's move), which replaces the one before.
function say(text, error = false) {
  state.message = { text, error };
  render();
}

function setText(node, text) {
  if (node.textContent !== text) node.textContent = text;
}

function render() {
  const { game, line } = state;
  board.render(boardView(state));
  // Live regions speak on every change of their text, so unchanged text is left alone.
  setText($("turn"), turnText(state));
  $("turn").classList.toggle("over", state.result !== null);
  setText($("message"), state.message.text);
  $("message").classList.toggle("error", state.message.error);
  analysisPanel.render({ ...state.analysis, height: game.height });
  moveList.render({ line, count: game.moves.length, height: game.height });
  setText($("move-count"), `Move ${game.moves.length} of ${line.length}`);
  const moves = formatMoves(game.moves, game.height);
  if ($("moves-out").value !== moves) $("moves-out").value = moves;
  if (!state.addressHeld && location.hash !== formatAddress(game)) {
    history.replaceState(null, "", formatAddress(game));
  }

  const ready = state.engine.status === "ready";
  const over = state.result !== null;
  $("take-back").disabled = game.moves.length === 0;
  $("resign").disabled = over || game.moves.length === 0;
  $("engine-move").disabled = !ready || over || state.thinking !== null;
  $("analyse").disabled = !ready || over || state.thinking !== null;
  $("stop").disabled = state.thinking === null;
  $("first").disabled = $("back").disabled = game.moves.length === 0;
  $("forward").disabled = $("last").disabled = game.moves.length === line.length;
  $("size").value = String(game.width);
  $("rule").value = String(game.rule);
  $("human").value = state.human;
  $("level").value = state.level;
  $("time").value = String(state.engineTimeMs);
  $("multipv").value = String(state.multipv);
  $("numbers").checked = state.showNumbers;
}

// The engine: a fresh worker, ready once it has answered ABOUT. A failure ends whatever it was
// doing and starts another, unless engines keep failing.
function startEngine() {
  const worker = new Worker("engine-worker.js");
  const started = new Engine(worker);
  engine = started;
  started.onError = (line) => console.warn(`velka: ${line}`);
  started.onNote = (text) => console.info(`velka: ${text}`);
  started.onFailure = (reason, detail) => {
    worker.terminate();
    if (engine === started) engineFailed(reason, detail);
  };
  started
    .about()
    .then(({ name, version }) => {
      if (engine !== started) return;
      state.engine = { status: "ready", problem: "" };
      $("engine-status").textContent = `${name} ${version}, running in your browser`;
      render();
      requestForbidden();
      if (state.velkaWaits) continuePlay();
    })
    .catch(() => {}); // onFailure has it
}

function engineFailed(reason, detail) {
  console.warn(`velka's engine failed: ${reason}${detail ? ` (${detail})` : ""}`);
  const wasThinking = state.thinking;
  positionRequests.abort();
  positionRequests = new AbortController();
  state.thinking = null;
  state.analysing = false;
  state.velkaWaits = false;
  failuresInRow += 1;
  if (failuresInRow >= FailuresToGiveUp) {
    state.engine = { status: "failed", problem: reason };
    $("engine-status").textContent = "The engine could not start.";
    say("");
    return;
  }
  state.engine = { status: "restarting", problem: reason };
  $("engine-status").textContent = "Starting the engine again…";
  const during =
    wasThinking === "move" ? " during its move" : wasThinking ? " during the analysis" : "";
  say(`The engine failed${during} (${reason}) and was restarted.`, true);
  setTimeout(startEngine, 250 * failuresInRow);
}

// Every change of the position comes through here: answers meant for the old one are dropped, the
// result is read, then the forbidden points and a running analysis follow the new position. The
// address follows the game, unless held for a bad link.
function positionChanged(holdAddress = false) {
  positionRequests.abort();
  positionRequests = new AbortController();
  state.thinking = null;
  state.velkaWaits = false;
  state.addressHeld = holdAddress;
  state.result = gameResult(state.game);
  state.forbidden = null;
  state.preview = null;
  state.analysis = newAnalysis("move");
  if (state.result !== null) state.analysing = false;
  render();
  requestForbidden();
  if (state.analysing) analyse();
}

function newAnalysis(kind) {
  return { kind, side: sideToMove(state.game), depths: [], best: null, pinned: null };
}

function requestForbidden() {
  const { game } = state;
  forbiddenKnown = Promise.resolve();
  const wanted =
    game.rule === Rule.renju &&
    state.result === null &&
    sideToMove(game) === "black" &&
    (state.analysing || !engineToMove(state));
  if (!wanted || state.engine.status !== "ready") return;
  const signal = positionRequests.signal;
  forbiddenKnown = engine
    .forbidden(snapshot(game), { signal })
    .then((points) => {
      failuresInRow = 0;
      if (signal.aborted || points === null) return;
      state.forbidden = points;
      render();
    })
    .catch((error) => {
      if (state.engine.status === "ready" && !signal.aborted) {
        say(`The forbidden points could not be found: ${error.message}`, true);
      }
    });
}

// velka's move (kind "move", at the game's level) or an analysis ("analyse", at full strength and
// with the lines asked for) of the position as it stands, its reports shown as they come; null
// when the position changed meanwhile or the engine failed.
async function think(kind, timeMs) {
  const signal = positionRequests.signal;
  state.analysis = newAnalysis(kind);
  render();
  const settings =
    kind === "move"
      ? [...levelSettings(state.level), ["multipv", 1]]
      : [...levelSettings(FullStrength), ["multipv", state.multipv]];
  const onAnalysis = (report) => {
    if (signal.aborted) return;
    addReport(state.analysis.depths, report);
    render();
  };
  try {
    const move = await engine.think(snapshot(state.game), timeMs, { signal, onAnalysis, settings });
    failuresInRow = 0;
    return signal.aborted ? null : move;
  } catch (error) {
    // A failed engine is reported by engineFailed; an engine that refused the request, here.
    if (state.engine.status === "ready" && !signal.aborted) {
      state.thinking = null;
      state.analysing = false;
      say(`velka could not think about this position: ${error.message}`, true);
    }
    return null;
  }
}

async function engineMove() {
  state.thinking = "move";
  const move = await think("move", state.engineTimeMs);
  if (move === null) return;
  const error = playMove(state.game, move.x, move.y);
  if (error !== null) {
    state.thinking = null;
    say(`velka answered ${move.x},${move.y}, which cannot be played: ${error}`, true);
    return;
  }
  state.line = followLine(state.line, state.game.moves);
  state.message = { text: `velka played ${pointName(move)}.`, error: false };
  positionChanged();
}

async function analyse() {
  state.analysing = true;
  state.thinking = "analyse";
  const move = await think("analyse", AnalysisTimeMs);
  if (move === null) return;
  state.thinking = null;
  state.analysing = false;
  state.analysis.best = move;
  say(`Analysis stopped. Best move: ${pointName(move)}.`);
}

async function humanMove(x, y) {
  const { game } = state;
  const name = pointName({ x, y });
  if (state.result !== null) {
    return say("The game is over: start a new game or take back a move.", true);
  }
  if (state.engine.status === "failed") {
    return say("No engine is running, so the page takes no move: reload it to try again.", true);
  }
  if (state.engine.status !== "ready") {
    return say("Moves wait until velka's engine is ready.", true);
  }
  if (state.thinking === "move") return say("velka is thinking. Press Stop to make it move now.");
  if (!state.analysing && engineToMove(state)) {
    return say("It is velka's turn: press Engine move, or choose You play: both sides.", true);
  }
  if (state.forbidden === null && game.rule === Rule.renju && sideToMove(game) === "black") {
    const moves = game.moves.length;
    say("Checking the forbidden points…");
    await forbiddenKnown;
    if (state.game !== game || game.moves.length !== moves || state.forbidden === null) return;
  }
  if (state.forbidden?.some((p) => p.x === x && p.y === y)) {
    return say(
      `Sorry, ${name} is forbidden for black under Renju (a double three, a double four or an overline). Please choose another point.`,
      true,
    );
  }
  const error = playMove(game, x, y);
  if (error !== null) return say(error, true);
  state.line = followLine(state.line, game.moves);
  state.message = { text: "", error: false };
  positionChanged();
  continuePlay();
}

// After a move of the player's, a game loaded or a change of sides or rule: velka moves if it is
// its turn, or as soon as its engine is ready.
function continuePlay() {
  if (state.analysing || state.result !== null || state.thinking !== null) return;
  if (!engineToMove(state)) return;
  if (state.engine.status === "ready") {
    engineMove();
  } else if (state.engine.status === "loading") {
    state.velkaWaits = true;
    render();
  }
}

// Shows the position after the first `count` moves of the game's line; velka does not move by
// itself there, so a game can be gone through.
function goTo(count) {
  const { game, line } = state;
  const target = Math.max(0, Math.min(line.length, count));
  if (target === game.moves.length) return;
  state.game = { ...game, moves: line.slice(0, target) };
  state.message = { text: "", error: false };
  positionChanged();
}

function showGame(game, text) {
  state.game = game;
  state.line = [...game.moves];
  state.analysing = false;
  state.message = { text, error: false };
  positionChanged();
  continuePlay();
}

function newGame(width, rule) {
  engine.newGame();
  showGame(createGame(width, width, rule), `New ${width} × ${width} game, ${RuleNames[rule]}.`);
}

function takeBack() {
  let count = state.game.moves.length - 1;
  if (count < 0) return;
  // Against velka, back to the player's own turn, or velka would at once play again.
  const against = !state.analysing && state.human !== "both";
  if (against && count > 0 && colourOfMove(count) !== state.human) count -= 1;
  goTo(count);
  say("Move taken back: Forward (or the right arrow) replays it.");
}

function resign() {
  if (state.result !== null) return;
  const loser = state.human === "both" ? sideToMove(state.game) : state.human;
  positionRequests.abort();
  positionRequests = new AbortController();
  state.thinking = null;
  state.analysing = false;
  state.result = { winner: loser === "black" ? "white" : "black", resigned: loser };
  say("");
}

function playOn() {
  if (state.human !== "both") state.human = sideToMove(state.game) === "black" ? "white" : "black";
  state.message = { text: "", error: false };
  engineMove();
}

function changeRule(rule) {
  const { game } = state;
  try {
    state.game = replayGame(game.width, game.height, rule, game.moves);
    state.line = followLine(state.line, state.game.moves);
    state.message = { text: `Rule: ${RuleNames[rule]}.`, error: false };
  } catch (error) {
    state.message = {
      text: `This game cannot go on under ${RuleNames[rule]}: ${error.message}`,
      error: true,
    };
  }
  positionChanged();
  continuePlay();
}

function changeSide(human) {
  state.human = human;
  state.message = { text: "", error: false };
  positionChanged(); // drops a think of velka's for a side it no longer plays
  continuePlay();
}

// Sets up the game of a text or file; on bad input says why and changes nothing.
function loadGame(read, source) {
  let game;
  try {
    const { width, height, moves } = read();
    game = replayGame(width, height, state.game.rule, moves);
  } catch (error) {
    return say(`${source}: ${error.message}`, true);
  }
  const size = `${game.width} × ${game.height}`;
  showGame(game, `${source}: ${plural(game.moves.length, "move")} on ${size}.`);
}

function loadText() {
  const side = state.game.width;
  loadGame(
    () => ({ width: side, height: side, moves: parseMoves($("moves-in").value, side, side) }),
    "Pasted",
  );
}

async function openFile(file) {
  const text = await file.text();
  loadGame(() => readGameFile(text, state.game.width), `Opened ${file.name}`);
}

function saveFile(name, text) {
  const link = document.createElement("a");
  link.href = URL.createObjectURL(new Blob([text], { type: "text/plain" }));
  link.download = name;
  link.click();
  setTimeout(() => URL.revokeObjectURL(link.href), 0);
  say(`Saved ${plural(state.game.moves.length, "move")} as ${name}.`);
}

// The game of the page's address; a bad link is kept in the address and the paste box, with what
// is wrong said beside the board.
function openAddress() {
  const link = readAddress(location.hash);
  if (link === null) return false;
  if (link.error) {
    $("moves-in").value = link.moves;
    const kept = link.moves === "" ? "" : " Its moves are in the paste box.";
    state.message = { text: `${link.error}${kept}`, error: true };
    positionChanged(true);
    return true;
  }
  const count = link.game.moves.length;
  showGame(link.game, count === 0 ? "" : `The link's game: ${plural(count, "move")}.`);
  return true;
}

async function copyGame() {
  try {
    await navigator.clipboard.writeText($("moves-out").value);
    say("The moves are copied.");
  } catch {
    $("moves-out").select();
    say("Select the moves and copy them with your keyboard.");
  }
}

// The arrows, Home and End go through the game, except where they have a job of their own.
function walkKeys(event) {
  const steps = { ArrowLeft: -1, ArrowRight: 1, Home: -Infinity, End: Infinity };
  const target = event.target;
  if (!(event.key in steps) || event.altKey || event.ctrlKey || event.metaKey) return;
  if (target.closest("input, select, textarea, .points")) return;
  event.preventDefault();
  goTo(state.game.moves.length + steps[event.key]);
  if (target.closest("#move-list")) moveList.focus();
}

function fillChoices() {
  for (let side = MinSide; side <= MaxSide; side++) {
    $("size").append(new Option(`${side} × ${side}`, String(side)));
  }
  for (const { id, name } of Levels) $("level").append(new Option(name, id));
  for (const ms of TimeChoicesMs) {
    $("time").append(new Option(ms < 1000 ? `${ms} ms` : `${ms / 1000} s`, String(ms)));
  }
}

function wireControls() {
  const on = (id, event, handler) => $(id).addEventListener(event, handler);
  on("size", "change", (e) => newGame(Number(e.target.value), state.game.rule));
  on("rule", "change", (e) => changeRule(Number(e.target.value)));
  on("human", "change", (e) => changeSide(e.target.value));
  on("level", "change", (e) => {
    state.level = e.target.value;
  });
  on("time", "change", (e) => {
    state.engineTimeMs = Number(e.target.value);
  });
  on("multipv", "change", (e) => {
    state.multipv = Number(e.target.value);
    if (state.analysing) positionChanged(state.addressHeld); // starts again with as many lines
  });
  on("numbers", "change", (e) => {
    state.showNumbers = e.target.checked;
    render();
  });
  on("new-game", "click", () => newGame(state.game.width, state.game.rule));
  on("take-back", "click", takeBack);
  on("resign", "click", resign);
  on("engine-move", "click", playOn);
  on("analyse", "click", () => {
    state.message = { text: "", error: false };
    analyse();
  });
  on("stop", "click", () => engine.stop());
  on("first", "click", () => goTo(0));
  on("back", "click", () => goTo(state.game.moves.length - 1));
  on("forward", "click", () => goTo(state.game.moves.length + 1));
  on("last", "click", () => goTo(state.line.length));
  on("load", "click", loadText);
  on("copy", "click", copyGame);
  on("save-text", "click", () => saveFile("velka-game.txt", formatText(state.game)));
  on("save-psq", "click", () => saveFile("velka-game.psq", formatPsq(state.game)));
  on("open-file", "change", (e) => {
    const [file] = e.target.files;
    e.target.value = "";
    if (file) openFile(file);
  });
  document.addEventListener("keydown", walkKeys);
  window.addEventListener("hashchange", () => {
    if (location.hash !== formatAddress(state.game)) openAddress();
  });
}

fillChoices();
wireControls();
startEngine();
if (!openAddress()) positionChanged();
