// The game's moves as a list to walk through: each move is a button that shows the position after
// it; the position shown is marked as the current one, and moves after it (taken back, still there
// to replay) are dimmed. The list is one tab stop, its current move.

import { colourOfMove } from "./game.js";
import { formatPoint } from "./notation.js";

// root: an empty <ol>. onGo(count) shows the position after the first `count` moves.
export function createMoveList(root, { onGo }) {
  let shownLine = null;
  let shownCount = -1;

  root.addEventListener("click", (event) => {
    const button = event.target.closest("button");
    if (button !== null) onGo(Number(button.dataset.count));
  });

  function build(line, height) {
    root.replaceChildren();
    line.forEach((move, index) => {
      const button = document.createElement("button");
      button.type = "button";
      button.dataset.count = String(index + 1);
      const name = formatPoint(move, height);
      button.textContent = `${index + 1}. ${name}`;
      button.setAttribute("aria-label", `${index + 1}. ${name}, ${colourOfMove(index)}`);
      const item = document.createElement("li");
      item.append(button);
      root.append(item);
    });
  }

  // The current move's button, or null before the first move.
  function current() {
    return root.children[shownCount - 1]?.firstChild ?? null;
  }

  // line: the game's moves (game.js followLine); count: how many of them the board shows.
  function render({ line, count, height }) {
    if (line === shownLine && count === shownCount) return;
    if (line !== shownLine) build(line, height);
    shownLine = line;
    shownCount = count;
    [...root.children].forEach((item, index) => {
      const button = item.firstChild;
      const isCurrent = index + 1 === count;
      if (isCurrent) button.setAttribute("aria-current", "step");
      else button.removeAttribute("aria-current");
      button.classList.toggle("ahead", index >= count);
      button.tabIndex = isCurrent || (count === 0 && index === 0) ? 0 : -1;
    });
    scrollToCurrent();
  }

  // Within the list only (it is positioned, see style.css): the page itself does not move.
  function scrollToCurrent() {
    const item = current()?.parentElement;
    if (!item) return;
    if (item.offsetTop < root.scrollTop) root.scrollTop = item.offsetTop;
    const bottom = item.offsetTop + item.offsetHeight;
    if (bottom > root.scrollTop + root.clientHeight) root.scrollTop = bottom - root.clientHeight;
  }

  // Moves the focus to the list's tab stop.
  function focus() {
    root.querySelector('button[tabindex="0"]')?.focus();
  }

  return { render, focus };
}
