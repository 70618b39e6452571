// The analysis panel: what the engine reports after each depth of its search. The score of the
// best line in words and as a bar, the search's figures, the best lines (1 to 5, each with its
// score and moves; clicking one shows it on the board until clicked again, pointing at it shows it
// while pointed at) and the depths searched so far, newest first.

import { formatPoint } from "./notation.js";
import { describeScore, smoothScore } from "./score.js";

// Adds a parsed analysis line to `depths` ([{ depth, lines }], oldest first): the best line of a
// depth (rank 1) starts a new one, the others join it.
export function addReport(depths, report) {
  if (report.rank === 1 || depths.length === 0) depths.push({ depth: report.depth, lines: [] });
  depths.at(-1).lines.push(report);
}

// The score shown for the line of this rank after the depth at `index`: smoothed with the depth
// before it (score.js).
export function shownScore(depths, index, rank) {
  const latest = depths[index].lines.find((line) => line.rank === rank);
  const previous = depths[index - 1]?.lines.find((line) => line.rank === rank);
  return latest && smoothScore(latest.score, previous?.score);
}

export function formatCount(count) {
  if (count >= 1e9) return `${(count / 1e9).toFixed(2)} G`;
  if (count >= 1e6) return `${(count / 1e6).toFixed(2)} M`;
  if (count >= 1e4) return `${(count / 1e3).toFixed(1)} k`;
  return String(count);
}

export function formatSeconds(ms) {
  return `${(ms / 1000).toFixed(ms < 10000 ? 2 : 1)} s`;
}

export function formatLine(pv, height) {
  return pv.map((move) => formatPoint(move, height)).join(" ");
}

// Not a scrolled box, which a browser would make a tab stop of its own.
const ShownDepths = 8;

// root holds the panel's fixed markup (see index.html). onPreview(pv or null) shows a line while it
// is pointed at; onPin(rank or null) shows one until unpinned.
export function createAnalysisPanel(root, { onPreview, onPin }) {
  const field = (name) => root.querySelector(`[data-field="${name}"]`);
  const lines = root.querySelector(".lines");
  const iterations = root.querySelector(".iterations");
  // What was last drawn: the panel is left alone when nothing changed.
  let shown = null;

  function previewOnHover(node, pv) {
    node.addEventListener("pointerenter", () => onPreview(pv));
    node.addEventListener("pointerleave", () => onPreview(null));
  }

  function drawLines(analysis, latest) {
    lines.replaceChildren();
    const index = analysis.depths.length - 1;
    for (const line of latest?.lines ?? []) {
      const score = describeScore(shownScore(analysis.depths, index, line.rank), analysis.side);
      const button = document.createElement("button");
      button.type = "button";
      button.className = "line";
      button.setAttribute("aria-pressed", String(analysis.pinned === line.rank));
      const moves = formatLine(line.pv, analysis.height);
      button.append(`${line.rank}. ${score.words}: `);
      const text = document.createElement("span");
      text.className = "line-moves";
      text.textContent = moves;
      button.append(text);
      button.addEventListener("click", () =>
        onPin(analysis.pinned === line.rank ? null : line.rank),
      );
      previewOnHover(button, line.pv);
      const item = document.createElement("li");
      item.append(button);
      lines.append(item);
    }
  }

  function drawDepths(analysis) {
    iterations.replaceChildren();
    const { depths } = analysis;
    for (let i = depths.length - 1; i >= Math.max(0, depths.length - ShownDepths); i--) {
      const best = depths[i].lines[0];
      const score = describeScore(shownScore(depths, i, best.rank), analysis.side);
      const item = document.createElement("li");
      item.textContent = `${depths[i].depth}: ${score.words} — ${formatLine(best.pv, analysis.height)}`;
      previewOnHover(item, best.pv);
      iterations.append(item);
    }
  }

  // analysis: { depths (see addReport), side: the engine's side, height, pinned: a rank or null }.
  function render(analysis) {
    const { depths } = analysis;
    const key = [depths, depths.length, depths.at(-1)?.lines.length, analysis.pinned];
    if (shown !== null && key.every((part, i) => part === shown[i])) return;
    shown = key;
    const latest = depths.at(-1);
    const report = latest?.lines[0];
    const score = report && describeScore(shownScore(depths, depths.length - 1, 1), analysis.side);
    field("score").textContent = score ? score.words : "–";
    field("bar").style.width = `${score ? score.black * 100 : 0}%`;
    field("chance").textContent = score
      ? `Black's chance to win: ${Math.round(score.black * 100)} %`
      : "";
    field("depth").textContent = report ? report.depth : "–";
    field("nodes").textContent = report ? formatCount(report.nodes) : "–";
    field("speed").textContent = report ? `${formatCount(report.nps)}/s` : "–";
    field("time").textContent = report ? formatSeconds(report.timeMs) : "–";
    // The items are drawn anew, and one taken away under the pointer sends no pointerleave.
    onPreview(null);
    drawLines(analysis, latest);
    drawDepths(analysis);
  }

  return { render };
}
