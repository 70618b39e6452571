// Whole games against velka, played as a person plays them: by clicking and by keyboard.

import assert from "node:assert/strict";
import { mkdir } from "node:fs/promises";
import path from "node:path";
import { after, before, test } from "node:test";

import {
  OutputDirectory,
  nameOf,
  openSite,
  pointOf,
  readBoard,
  stones,
  turnText,
  waitForTurn,
} from "./harness.js";

const Size = 15;
const Other = { black: "white", white: "black" };
let site;

before(async () => {
  site = await openSite();
});
after(() => site?.close());

// The test's own player: the empty point that makes its longest line, or blocks the opponent's
// longest one, nearer the centre on ties. Weak, but it makes fives when left alone.
function chooseMove(board, colour) {
  const at = (x, y) => board.get(nameOf({ x, y }, Size))?.content;
  let best = null;
  for (const [name, point] of board) {
    if (point.content !== "empty") continue;
    const { x, y } = pointOf(name, Size);
    let score = 0;
    for (const [dx, dy] of [
      [1, 0],
      [0, 1],
      [1, 1],
      [1, -1],
    ]) {
      for (const [who, weight] of [
        [colour, 0],
        [Other[colour], 0.5],
      ]) {
        let run = 1;
        for (const sign of [1, -1]) {
          for (let k = 1; at(x + sign * k * dx, y + sign * k * dy) === who; k++) run++;
        }
        score = Math.max(score, run - weight);
      }
    }
    score -= (Math.abs(x - 7) + Math.abs(y - 7)) / 100;
    if (best === null || score > best.score) best = { name, score };
  }
  return best.name;
}

async function focusedName(page) {
  const snapshot = await page.locator(":focus").ariaSnapshot();
  return /button "([^,"]+)/.exec(snapshot)[1];
}

// Moves the board's focus to `target` with the arrow keys, then plays it with Enter or Space.
async function playByKeyboard(page, target, key) {
  await page.locator('.points button[tabindex="0"]').focus();
  const from = pointOf(await focusedName(page), Size);
  const to = pointOf(target, Size);
  for (let i = 0; i < Math.abs(to.x - from.x); i++) {
    await page.keyboard.press(to.x > from.x ? "ArrowRight" : "ArrowLeft");
  }
  for (let i = 0; i < Math.abs(to.y - from.y); i++) {
    await page.keyboard.press(to.y > from.y ? "ArrowDown" : "ArrowUp");
  }
  assert.equal(await focusedName(page), target);
  await page.keyboard.press(key);
}

async function newGame(page, human) {
  await page.locator("#size").selectOption(String(Size));
  await page.locator("#rule").selectOption("0");
  await page.locator("#time").selectOption("100");
  await page.locator("#human").selectOption(human);
  await page.getByRole("button", { name: "New game" }).click();
  await waitForTurn(page);
}

test("a whole game against velka, by mouse and keyboard, ends with a five on the board", async () => {
  const { page, problems, close } = await site.newPage();
  await newGame(page, "black");
  let board = await readBoard(page);
  assert.equal(board.size, Size * Size);
  assert.equal(stones(board, "black").length + stones(board, "white").length, 0);
  // Exactly one point is in the tab order.
  assert.equal(await page.locator('.points button[tabindex="0"]').count(), 1);

  for (let turn = 0; !/wins|Draw/.test(await turnText(page)); turn++) {
    assert.ok(turn < 120, "the game should end");
    const move = chooseMove(board, "black");
    if (turn % 3 === 0) await page.getByRole("button", { name: `${move}, empty` }).click();
    else await playByKeyboard(page, move, turn % 3 === 1 ? "Enter" : "Space");
    await waitForTurn(page);

    const next = await readBoard(page);
    const added = [...next].filter(([name, p]) => p.content !== board.get(name).content);
    assert.equal(board.get(move).content, "empty");
    assert.equal(next.get(move).content, "black", `${move} should be black`);
    const won = /Black wins/.test(await turnText(page));
    assert.equal(added.length, won ? 1 : 2, "one stone from each side");
    if (!won) {
      const [reply, point] = added.find(([name]) => name !== move);
      assert.equal(point.content, "white", `velka's move ${reply} is white`);
      assert.ok(point.last, `velka's move ${reply} is marked as the last move`);
      assert.match(
        await page.locator("#message").textContent(),
        new RegExp(`velka played ${reply}\\.`),
      );
    }
    for (const [name, point] of board) {
      if (point.content === "black" || point.content === "white") {
        assert.equal(next.get(name).content, point.content, `${name} keeps its stone`);
      }
    }
    board = next;
  }

  // The five: five stones of the winner's colour in one line, named as such.
  const text = await turnText(page);
  const winner = /^Black/.test(text) ? "black" : "white";
  assert.match(text, /wins with five/);
  const five = [...board].filter(([, p]) => p.five);
  assert.equal(five.length, 5);
  assert.ok(five.every(([, p]) => p.content === winner));
  const cells = five.map(([name]) => pointOf(name, Size)).sort((a, b) => a.x - b.x || a.y - b.y);
  const step = { x: cells[1].x - cells[0].x, y: cells[1].y - cells[0].y };
  assert.ok(Math.abs(step.x) <= 1 && Math.abs(step.y) <= 1);
  cells.forEach((cell, i) => {
    assert.deepEqual(cell, { x: cells[0].x + i * step.x, y: cells[0].y + i * step.y });
  });
  // Nothing more can be played.
  assert.ok(await page.getByRole("button", { name: "Engine move" }).isDisabled());

  await page.evaluate(() => document.activeElement?.blur());
  await mkdir(OutputDirectory, { recursive: true });
  await page.locator("#board").screenshot({ path: path.join(OutputDirectory, "final-board.png") });
  assert.deepEqual(problems, []);
  await close();
});

test("take back returns to the player's turn; velka can open as black", async () => {
  const { page, problems, close } = await site.newPage();
  await newGame(page, "black");
  for (const choices of [["h8"], ["g6", "j10", "f5"]]) {
    const board = await readBoard(page);
    const move = choices.find((name) => board.get(name).content === "empty");
    await page.getByRole("button", { name: `${move}, empty` }).click();
    await waitForTurn(page);
    const after = await readBoard(page);
    assert.equal(stones(after, "white").length, stones(board, "white").length + 1);
  }
  const before = await readBoard(page);
  assert.equal(stones(before, "black").length, 2);
  await page.getByRole("button", { name: "Take back" }).click();
  const taken = await readBoard(page);
  // The player's last stone and velka's answer to it are gone; the rest stays.
  assert.deepEqual(stones(taken, "black"), ["h8"]);
  assert.equal(stones(taken, "white").length, 1);
  assert.ok(stones(before, "white").includes(stones(taken, "white")[0]));
  assert.match(await turnText(page), /Black to move: your turn/);

  // Playing white: velka opens with black at once.
  await newGame(page, "white");
  const opened = await readBoard(page);
  assert.equal(stones(opened, "black").length, 1);
  assert.equal(stones(opened, "white").length, 0);
  assert.match(await turnText(page), /White to move: your turn/);
  assert.deepEqual(problems, []);
  await close();
});

test("on a phone the board fits the screen and is played by touch", async () => {
  const { page, problems, close } = await site.newPage({
    viewport: { width: 390, height: 844 },
    hasTouch: true,
    isMobile: true,
  });
  await newGame(page, "black");
  const box = await page.locator(".points").boundingBox();
  assert.ok(box.x >= 0 && box.x + box.width <= 390, `board at ${box.x}..${box.x + box.width}`);
  assert.ok(box.width > 300, `board ${box.width} px wide`);
  const scrollWidth = await page.evaluate(() => document.documentElement.scrollWidth);
  assert.ok(scrollWidth <= 390, `page ${scrollWidth} px wide`);
  await page.getByRole("button", { name: "h8, empty" }).tap();
  await waitForTurn(page);
  const board = await readBoard(page);
  assert.equal(board.get("h8").content, "black");
  assert.equal(stones(board, "white").length, 1);
  assert.deepEqual(problems, []);
  await close();
});
