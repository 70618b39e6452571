// The page: one state object, drawn by render() after every change, and the engine spoken to as a
// manager speaks to it. The engine runs in a Web Worker, so the page never waits on it.

import { createAnalysisPanel } from "./analysis.js";
import { createBoard } from "./board.js";
import { Engine } from "./engine.js";
import {
  MaxSide,
  MinSide,
  Rule,
  createGame,
  gameResult,
  playMove,
  replayGame,
  sideToMove,
  takeBackMove,
} from "./game.js";
import { formatMoves, formatPoint, parseMoves } from "./notation.js";
import { boardView, engineToMove, turnText } from "./view.js";

// An analysis runs until stopped; this is only the engine's outer bound.
const AnalysisTimeMs = 10 * 60 * 1000;
const TimeChoicesMs = [100, 300, 1000, 2000, 5000, 10000, 30000];
const RuleNames = {
  [Rule.freestyle]: "freestyle",
  [Rule.exactFive]: "exact five",
  [Rule.renju]: "Renju",
};

const state = {
  game: createGame(15, 15, Rule.freestyle),
  human: "black", // the colour the player plays: "black", "white" or "both"
  engineTimeMs: 1000,
  showNumbers: false,
  result: null, // gameResult of the game
  engine: "loading", // "loading", "ready" or "failed"
  thinking: null, // "move" while velka chooses its move, "analyse" while it analyses
  analysing: false, // analysis follows the position until stopped
  forbidden: null, // points black may not play here (Renju, black to move); null while unknown
  analysis: { lines: [], side: "black", best: null },
  preview: null, // a variation shown on the board
  message: "",
};

// Aborted whenever the position changes: answers to requests made for the old one are dropped.
let positionRequests = new AbortController();
// Settles when the forbidden points of the present position are known.
let forbiddenKnown = Promise.resolve();

const $ = (id) => document.getElementById(id);
const pointName = (move) => formatPoint(move, state.game.height);
const snapshot = (game) => ({ ...game, moves: [...game.moves] });

const engine = new Engine(new Worker("engine-worker.js"));
const board = createBoard($("board"), { onPlay: (x, y) => humanMove(x, y) });
const analysisPanel = createAnalysisPanel($("analysis"), {
  onPreview: (pv) => {
    if (pv === state.preview) return;
    state.preview = pv;
    render();
  },
});

function say(message) {
  state.message = message;
  render();
}

function setText(node, text) {
  if (node.textContent !== text) node.textContent = text;
}

function render() {
  const { game } = state;
  board.render(boardView(state));
  // Live regions speak on every change of their text, so unchanged text is left alone.
  setText($("turn"), turnText(state));
  $("turn").classList.toggle("over", state.result !== null);
  setText($("message"), state.message);
  analysisPanel.render({ ...state.analysis, height: game.height });
  const moves = formatMoves(game.moves, game.height);
  if ($("moves-out").value !== moves) $("moves-out").value = moves;
  if (location.hash !== gameAddress()) history.replaceState(null, "", gameAddress());

  const ready = state.engine === "ready";
  const over = state.result !== null;
  $("take-back").disabled = game.moves.length === 0;
  $("engine-move").disabled = !ready || over || state.thinking !== null;
  $("analyse").disabled = !ready || over || state.thinking !== null;
  $("stop").disabled = state.thinking === null;
  $("size").value = String(game.width);
  $("rule").value = String(game.rule);
  $("human").value = state.human;
  $("time").value = String(state.engineTimeMs);
  $("numbers").checked = state.showNumbers;
}

function reportEngineError(error) {
  console.warn(error);
  say(`The engine failed: ${error.message ?? error}. Reload the page to start it again.`);
}

// Every change of the position comes through here: answers meant for the old one are dropped, the
// result is read, then the forbidden points and a running analysis follow the new position.
function positionChanged() {
  positionRequests.abort();
  positionRequests = new AbortController();
  state.thinking = null;
  state.result = gameResult(state.game);
  state.forbidden = null;
  state.preview = null;
  state.analysis = { lines: [], side: sideToMove(state.game), best: null };
  if (state.result !== null) state.analysing = false;
  render();
  requestForbidden();
  if (state.analysing) analyse();
}

function requestForbidden() {
  const { game } = state;
  forbiddenKnown = Promise.resolve();
  const wanted =
    game.rule === Rule.renju &&
    state.result === null &&
    sideToMove(game) === "black" &&
    (state.analysing || !engineToMove(state));
  if (!wanted || state.engine === "failed") return;
  const signal = positionRequests.signal;
  forbiddenKnown = engine
    .forbidden(snapshot(game), { signal })
    .then((points) => {
      if (signal.aborted || points === null) return;
      state.forbidden = points;
      render();
    })
    .catch(reportEngineError);
}

function onAnalysis(signal) {
  return (line) => {
    if (signal.aborted) return;
    state.analysis.lines.push(line);
    render();
  };
}

// The engine's move on the position as it stands, with its analysis lines shown as they come; null
// when the position changed meanwhile or the engine failed (which is reported).
async function think(timeMs) {
  const signal = positionRequests.signal;
  render();
  try {
    const move = await engine.think(snapshot(state.game), timeMs, {
      signal,
      onAnalysis: onAnalysis(signal),
    });
    return signal.aborted ? null : move;
  } catch (error) {
    if (!signal.aborted) reportEngineError(error);
    return null;
  }
}

async function engineMove() {
  state.thinking = "move";
  const move = await think(state.engineTimeMs);
  if (move === null) return;
  const error = playMove(state.game, move.x, move.y);
  if (error !== null) {
    state.thinking = null;
    say(`velka answered ${move.x},${move.y}, which cannot be played: ${error}`);
    return;
  }
  state.message = `velka played ${pointName(move)}.`;
  positionChanged();
}

async function analyse() {
  state.analysing = true;
  state.thinking = "analyse";
  const move = await think(AnalysisTimeMs);
  if (move === null) return;
  state.thinking = null;
  state.analysing = false;
  state.analysis.best = move;
  say(`Analysis stopped. Best move: ${pointName(move)}.`);
}

async function humanMove(x, y) {
  const { game } = state;
  const name = pointName({ x, y });
  if (state.result !== null) return say("The game is over: start a new game or take back a move.");
  if (state.thinking === "move") return say("velka is thinking. Press Stop to make it move now.");
  if (!state.analysing && engineToMove(state)) {
    return say("It is velka's turn: press Engine move, or choose You play: both sides.");
  }
  if (state.forbidden === null && game.rule === Rule.renju && sideToMove(game) === "black") {
    const moves = game.moves.length;
    say("Checking the forbidden points…");
    await forbiddenKnown;
    if (state.game !== game || game.moves.length !== moves) return;
  }
  if (state.forbidden?.some((p) => p.x === x && p.y === y)) {
    return say(
      `Sorry, ${name} is forbidden for black under Renju (a double three, a double four or an overline). Please choose another point.`,
    );
  }
  const error = playMove(game, x, y);
  if (error !== null) return say(error);
  state.message = "";
  positionChanged();
  continuePlay();
}

// After the player's move or a change of sides or rule: velka moves if it is its turn.
function continuePlay() {
  if (!state.analysing && state.result === null && state.thinking === null && engineToMove(state)) {
    engineMove();
  }
}

function newGame(width, rule) {
  engine.newGame();
  state.game = createGame(width, width, rule);
  state.analysing = false;
  state.message = `New ${width} × ${width} game, ${RuleNames[rule]}.`;
  positionChanged();
  continuePlay();
}

function takeBack() {
  const { game } = state;
  if (game.moves.length === 0) return;
  takeBackMove(game);
  // Against velka, back to the player's own turn, or velka would at once play again.
  if (!state.analysing && engineToMove(state) && game.moves.length > 0) takeBackMove(game);
  state.message = "Move taken back.";
  positionChanged();
}

function playOn() {
  if (state.human !== "both") state.human = sideToMove(state.game) === "black" ? "white" : "black";
  state.message = "";
  engineMove();
}

function changeRule(rule) {
  const { game } = state;
  try {
    state.game = replayGame(game.width, game.height, rule, game.moves);
    state.message = `Rule: ${RuleNames[rule]}.`;
  } catch (error) {
    state.message = `This game cannot go on under ${RuleNames[rule]}: ${error.message}`;
  }
  positionChanged();
  continuePlay();
}

function changeSide(human) {
  state.human = human;
  state.message = "";
  positionChanged(); // drops a think of velka's for a side it no longer plays
  continuePlay();
}

// Sets up a game from its text and returns true; on bad text says why and changes nothing.
function loadGame(text, side = state.game.width, rule = state.game.rule) {
  try {
    state.game = replayGame(side, side, rule, parseMoves(text, side, side));
  } catch (error) {
    $("position-error").textContent = error.message;
    return false;
  }
  $("position-error").textContent = "";
  const count = state.game.moves.length;
  state.message = `Loaded ${count} move${count === 1 ? "" : "s"}.`;
  positionChanged();
  return true;
}

// The address carries the game (#size=15&rule=4&moves=h8i9), so a position can be shared as a
// link and survives a reload.
function gameAddress() {
  const { game } = state;
  const moves = formatMoves(game.moves, game.height);
  return `#${new URLSearchParams({ size: game.width, rule: game.rule, moves })}`;
}

function loadAddress() {
  const fields = new URLSearchParams(location.hash.slice(1));
  const side = Number(fields.get("size"));
  const rule = Number(fields.get("rule"));
  const moves = fields.get("moves") ?? "";
  if (side < MinSide || side > MaxSide || !Object.values(Rule).includes(rule)) return false;
  return loadGame(moves, side, rule);
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

function fillChoices() {
  for (let side = MinSide; side <= MaxSide; side++) {
    $("size").append(new Option(`${side} × ${side}`, String(side)));
  }
  for (const ms of TimeChoicesMs) {
    $("time").append(new Option(ms < 1000 ? `${ms} ms` : `${ms / 1000} s`, String(ms)));
  }
}

function wireControls() {
  $("size").addEventListener("change", (e) => newGame(Number(e.target.value), state.game.rule));
  $("rule").addEventListener("change", (e) => changeRule(Number(e.target.value)));
  $("human").addEventListener("change", (e) => changeSide(e.target.value));
  $("time").addEventListener("change", (e) => {
    state.engineTimeMs = Number(e.target.value);
  });
  $("numbers").addEventListener("change", (e) => {
    state.showNumbers = e.target.checked;
    render();
  });
  $("new-game").addEventListener("click", () => newGame(state.game.width, state.game.rule));
  $("take-back").addEventListener("click", takeBack);
  $("engine-move").addEventListener("click", playOn);
  $("analyse").addEventListener("click", () => {
    state.message = "";
    analyse();
  });
  $("stop").addEventListener("click", () => engine.stop());
  $("load").addEventListener("click", () => loadGame($("moves-in").value));
  $("copy").addEventListener("click", copyGame);
  window.addEventListener("hashchange", () => {
    if (location.hash !== gameAddress()) loadAddress();
  });
}

engine.onError = (line) => console.warn(`velka: ${line}`);
engine.onNote = (text) => console.info(`velka: ${text}`);

fillChoices();
wireControls();
if (!loadAddress()) positionChanged();
engine
  .about()
  .then(({ name, version }) => {
    state.engine = "ready";
    $("engine-status").textContent = `${name} ${version}, running in your browser`;
    render();
  })
  .catch((error) => {
    state.engine = "failed";
    $("engine-status").textContent = "The engine could not start.";
    reportEngineError(error);
  });
