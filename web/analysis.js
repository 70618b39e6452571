// The analysis panel: what the engine reports after each depth of its search (depth, score, nodes,
// speed, principal variation), newest first. Pointing at a line, or focusing it, shows its
// variation on the board.

import { formatPoint } from "./notation.js";

const Capitalised = { black: "Black", white: "White" };

// The score is the engine's view for the side to move.
export function formatScore(score, side) {
  const who = Capitalised[side];
  if (score.win) return score.inMoves ? `${who} wins in ${score.inMoves}` : `${who} wins`;
  if (score.loss) return `${who} loses`;
  return `${who} ${score.value > 0 ? "+" : score.value < 0 ? "−" : "±"}${Math.abs(score.value)}`;
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

const ShownIterations = 12;

// root holds the panel's fixed markup (see index.html); onPreview(pv or null) shows a variation.
export function createAnalysisPanel(root, { onPreview }) {
  const field = (name) => root.querySelector(`[data-field="${name}"]`);
  const pvText = field("pv");
  const iterations = root.querySelector("ol");
  // The lines last drawn, and how many: the panel is left alone when nothing changed.
  let shownLines = null;
  let shownCount = 0;

  function previewOnHover(node, pv) {
    node.tabIndex = 0;
    node.addEventListener("pointerenter", () => onPreview(pv));
    node.addEventListener("pointerleave", () => onPreview(null));
    node.addEventListener("focus", () => onPreview(pv));
    node.addEventListener("blur", () => onPreview(null));
  }

  // analysis: { lines: [...], side, height }; lines as engine.parseAnalysis gives them, oldest first.
  function render(analysis) {
    if (shownLines === analysis.lines && shownCount === analysis.lines.length) return;
    shownLines = analysis.lines;
    shownCount = analysis.lines.length;
    const latest = analysis.lines.at(-1);
    field("depth").textContent = latest ? latest.depth : "–";
    field("score").textContent = latest ? formatScore(latest.score, analysis.side) : "–";
    field("nodes").textContent = latest ? formatCount(latest.nodes) : "–";
    field("speed").textContent = latest ? `${formatCount(latest.nps)}/s` : "–";
    field("time").textContent = latest ? formatSeconds(latest.timeMs) : "–";
    pvText.textContent = latest ? formatLine(latest.pv, analysis.height) : "–";
    pvText.onpointerenter = latest ? () => onPreview(latest.pv) : null;
    pvText.onfocus = pvText.onpointerenter;
    // The items are drawn anew, and one taken away under the pointer sends no pointerleave.
    const pointedAt = pvText.matches(":hover, :focus");
    onPreview(pointedAt && latest ? latest.pv : null);

    iterations.replaceChildren();
    for (const line of analysis.lines.slice(-ShownIterations).reverse()) {
      const item = document.createElement("li");
      item.textContent = `${line.depth}: ${formatScore(line.score, analysis.side)} — ${formatLine(line.pv, analysis.height)}`;
      previewOnHover(item, line.pv);
      iterations.append(item);
    }
  }

  pvText.tabIndex = 0;
  pvText.addEventListener("pointerleave", () => onPreview(null));
  pvText.addEventListener("blur", () => onPreview(null));
  return { render };
}
