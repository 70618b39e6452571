// The board as a view: it draws what it is given and reports which point was chosen. Every point
// is a real button named by its coordinate and content ("h8, black"), so the board can be played by
// keyboard and read by a screen reader; one point at a time is in the tab order (a roving
// tabindex) and the arrow keys move between points.

const SvgNamespace = "http://www.w3.org/2000/svg";

const ArrowSteps = {
  ArrowLeft: [-1, 0],
  ArrowRight: [1, 0],
  ArrowUp: [0, -1],
  ArrowDown: [0, 1],
};

function element(tag, className, parent) {
  const node = document.createElement(tag);
  if (className) node.className = className;
  parent?.append(node);
  return node;
}

function svgElement(tag, attributes, parent) {
  const node = document.createElementNS(SvgNamespace, tag);
  for (const [name, value] of Object.entries(attributes)) node.setAttribute(name, value);
  parent.append(node);
  return node;
}

// The traditional marked points: the centre and, on boards big enough, four points 3 in from the
// edges (on 15 × 15: d4, d12, l4, l12 and h8).
function starPoints(width, height) {
  const points = [{ x: (width - 1) / 2, y: (height - 1) / 2 }];
  if (width >= 13 && height >= 13) {
    for (const x of [3, width - 4]) for (const y of [3, height - 4]) points.push({ x, y });
  }
  return points.filter((p) => Number.isInteger(p.x) && Number.isInteger(p.y));
}

// One point's accessible name: its coordinate and content, then what else a sighted player sees.
export function pointLabel(point) {
  const parts = [point.name, point.content];
  if (point.last) parts.push("last move");
  if (point.win) parts.push("five");
  if (point.hint) parts.push("best move");
  if (point.candidate) parts.push(`analysis line ${point.candidate}`);
  return parts.join(", ");
}

// root: an empty element. onPlay(x, y) is called when a point is clicked or pressed.
export function createBoard(root, { onPlay }) {
  let width = 0;
  let height = 0;
  let buttons = [];
  let focusIndex = 0;

  const frame = element("div", "board-frame", root);
  const rowLabels = element("div", "row-labels", frame);
  const points = element("div", "points", frame);
  const columnLabels = element("div", "column-labels", frame);
  rowLabels.setAttribute("aria-hidden", "true");
  columnLabels.setAttribute("aria-hidden", "true");
  points.setAttribute("role", "group");
  const lines = svgElement("svg", { class: "grid", "aria-hidden": "true" }, points);
  // Drawn over the stones, so it is built after the buttons.
  let overlay = null;
  let winLine = null;

  function moveFocus(index) {
    buttons[focusIndex].tabIndex = -1;
    focusIndex = index;
    buttons[index].tabIndex = 0;
    buttons[index].focus();
  }

  points.addEventListener("keydown", (event) => {
    const at = buttons.indexOf(event.target);
    if (at < 0) return;
    let x = at % width;
    let y = Math.floor(at / width);
    if (event.key in ArrowSteps) {
      const [dx, dy] = ArrowSteps[event.key];
      x = Math.min(width - 1, Math.max(0, x + dx));
      y = Math.min(height - 1, Math.max(0, y + dy));
    } else if (event.key === "Home") {
      x = 0;
    } else if (event.key === "End") {
      x = width - 1;
    } else {
      return;
    }
    event.preventDefault();
    moveFocus(y * width + x);
  });

  points.addEventListener("click", (event) => {
    const button = event.target.closest("button");
    const at = buttons.indexOf(button);
    if (at < 0) return;
    if (at !== focusIndex) moveFocus(at);
    onPlay(at % width, Math.floor(at / width));
  });

  function build(newWidth, newHeight) {
    width = newWidth;
    height = newHeight;
    for (const button of buttons) button.remove();
    overlay?.remove();
    lines.replaceChildren();
    rowLabels.replaceChildren();
    columnLabels.replaceChildren();
    frame.style.setProperty("--columns", width);
    frame.style.setProperty("--rows", height);
    points.setAttribute("aria-label", `Board, ${width} by ${height}`);

    lines.setAttribute("viewBox", `0 0 ${width} ${height}`);
    for (let x = 0; x < width; x++) {
      const at = x + 0.5;
      svgElement("line", { x1: at, y1: 0.5, x2: at, y2: height - 0.5 }, lines);
    }
    for (let y = 0; y < height; y++) {
      const at = y + 0.5;
      svgElement("line", { x1: 0.5, y1: at, x2: width - 0.5, y2: at }, lines);
    }
    for (const { x, y } of starPoints(width, height)) {
      svgElement("circle", { class: "star", cx: x + 0.5, cy: y + 0.5, r: 0.09 }, lines);
    }

    for (let row = height; row >= 1; row--) element("span", "", rowLabels).textContent = row;
    for (let x = 0; x < width; x++) {
      element("span", "", columnLabels).textContent = String.fromCharCode(97 + x);
    }

    buttons = [];
    for (let i = 0; i < width * height; i++) {
      const button = element("button", "point", points);
      button.type = "button";
      button.tabIndex = -1;
      element("span", "number", button).setAttribute("aria-hidden", "true");
      buttons.push(button);
    }
    focusIndex = Math.floor(height / 2) * width + Math.floor(width / 2);
    buttons[focusIndex].tabIndex = 0;
    overlay = svgElement("svg", { class: "overlay", "aria-hidden": "true" }, points);
    overlay.setAttribute("viewBox", `0 0 ${width} ${height}`);
    winLine = svgElement("line", { class: "win-line", visibility: "hidden" }, overlay);
  }

  // view: { width, height, turn, showNumbers, points: [{ name, content, stone, number, last, win,
  // hint, candidate, ghost: { colour, number } }] in row order, winLine: [from, to] or null }.
  function render(view) {
    if (view.width !== width || view.height !== height) build(view.width, view.height);
    frame.classList.toggle("show-numbers", view.showNumbers);
    frame.dataset.turn = view.turn;
    view.points.forEach((point, i) => {
      const button = buttons[i];
      const label = pointLabel(point);
      if (button.getAttribute("aria-label") !== label) button.setAttribute("aria-label", label);
      button.dataset.stone = point.stone ?? "";
      button.dataset.ghost = point.ghost?.colour ?? "";
      button.classList.toggle("last", Boolean(point.last));
      button.classList.toggle("win", Boolean(point.win));
      button.classList.toggle("hint", Boolean(point.hint));
      button.classList.toggle("forbidden", point.content === "forbidden");
      button.classList.toggle("candidate", Boolean(point.candidate));
      button.firstChild.textContent = point.ghost?.number ?? point.candidate ?? point.number ?? "";
    });
    if (view.winLine === null) {
      winLine.setAttribute("visibility", "hidden");
    } else {
      const [from, to] = view.winLine;
      winLine.setAttribute("x1", from.x + 0.5);
      winLine.setAttribute("y1", from.y + 0.5);
      winLine.setAttribute("x2", to.x + 0.5);
      winLine.setAttribute("y2", to.y + 0.5);
      winLine.setAttribute("visibility", "visible");
    }
  }

  return { render };
}
