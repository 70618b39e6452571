// Games against velka, played as a person plays them: by clicking, by keyboard and by touch.

import assert from "node:assert/strict";
import { mkdir } from "node:fs/promises";
import path from "node:path";

import { OutputDirectory, pageTest } from "./harness.js";

const pointOf = (name) => ({ x: name.charCodeAt(0) - 97, y: 15 - Number(name.slice(1)) });

// The test's own player: the empty point nearest the centre, so that velka must block, and wins.
function chooseMove(board) {
  const distance = (name) => Math.hypot(pointOf(name).x - 7, pointOf(name).y - 7);
  return board.stones("empty").sort((a, b) => distance(a) - distance(b) || a.localeCompare(b))[0];
}

// Moves the board's focus to `target` with the arrow keys, then plays it with `key`.
async function playByKeyboard({ page }, target, key) {
  const focused = async () => /"([^,"]+)/.exec(await page.locator(":focus").ariaSnapshot())[1];
  await page.locator('.points button[tabindex="0"]').focus();
  const [from, to] = [pointOf(await focused()), pointOf(target)];
  const press = async (steps, back, forward) => {
    for (let i = 0; i < Math.abs(steps); i++) await page.keyboard.press(steps > 0 ? forward : back);
  };
  await press(to.x - from.x, "ArrowLeft", "ArrowRight");
  await press(to.y - from.y, "ArrowUp", "ArrowDown");
  assert.equal(await focused(), target);
  await page.keyboard.press(key);
}

async function newGame(ui, human) {
  await ui.choose({ size: 15, rule: 0, time: 100, human });
  await ui.button("New game").click();
  await ui.waitForTurn();
}

pageTest("a whole game by mouse and keyboard, to a five on the board", async (ui) => {
  await newGame(ui, "black");
  let board = await ui.board();
  for (let turn = 0; !/wins|Draw/.test(await ui.turn()); turn++) {
    assert.ok(turn < 120, "the game should end");
    const move = chooseMove(board);
    if (turn % 3 === 0) await ui.button(`${move}, empty`).click();
    else await playByKeyboard(ui, move, turn % 3 === 1 ? "Enter" : "Space");
    await ui.waitForTurn();

    // The player's stone, and velka's answer unless black has won: on an empty point, white,
    // marked as the last move and named. Nothing else changes.
    const next = await ui.board();
    const changes = [...next].filter(([name, p]) => p.content !== board.get(name).content);
    assert.equal(changes.length, /Black wins/.test(await ui.turn()) ? 1 : 2);
    assert.equal(next.get(move).content, "black");
    const [reply, point] = changes.find(([name]) => name !== move) ?? [];
    if (reply) {
      assert.equal(board.get(reply).content, "empty", reply);
      assert.deepEqual([point.content, point.last], ["white", true]);
      assert.equal(await ui.message(), `velka played ${reply}.`);
    }
    board = next;
  }

  // Five stones of the winner's colour, side by side in one line and named as such; no more play.
  const winner = /^(Black|White) .*wins with five/.exec(await ui.turn())[1].toLowerCase();
  const five = [...board].filter(([, p]) => p.five);
  const names = five.map(([name]) => name).join(" ");
  assert.ok(five.length === 5 && five.every(([, p]) => p.content === winner), names);
  const cells = five.map(([name]) => pointOf(name));
  const [dx, dy] = [cells[1].x - cells[0].x, cells[1].y - cells[0].y];
  const starts = new Set(cells.map(({ x, y }, i) => `${x - i * dx},${y - i * dy}`));
  assert.ok(Math.max(Math.abs(dx), Math.abs(dy)) === 1 && starts.size === 1, names);
  assert.ok(await ui.button("Engine move").isDisabled());

  await ui.page.evaluate(() => document.activeElement?.blur());
  await mkdir(OutputDirectory, { recursive: true });
  const screenshot = path.join(OutputDirectory, "final-board.png");
  await ui.page.locator("#board").screenshot({ path: screenshot });
});

const Phone = { viewport: { width: 390, height: 844 }, hasTouch: true, isMobile: true };

pageTest(
  "on a phone: the board fits, touch plays, take back, velka opens",
  { context: Phone },
  async (ui) => {
    await newGame(ui, "black");
    const box = await ui.page.locator(".points").boundingBox();
    assert.ok(box.x >= 0 && box.x + box.width <= 390 && box.width > 300, JSON.stringify(box));
    assert.ok(await ui.page.evaluate(() => document.documentElement.scrollWidth <= 390));

    await ui.button("h8, empty").tap();
    await ui.waitForTurn();
    const first = await ui.board();
    await ui.button(first.get("g6").content === "empty" ? "g6, empty" : "j10, empty").tap();
    await ui.waitForTurn();
    // The player's last stone and velka's answer to it are gone; the rest stays.
    await ui.button("Take back").tap();
    const taken = await ui.board();
    assert.deepEqual(taken.stones("black"), ["h8"]);
    assert.deepEqual(taken.stones("white"), first.stones("white"));
    assert.match(await ui.turn(), /Black to move: your turn/);

    // Playing white: velka opens with black at once.
    await newGame(ui, "white");
    const opened = await ui.board();
    assert.deepEqual([opened.stones("black").length, opened.stones("white").length], [1, 0]);
    assert.match(await ui.turn(), /White to move: your turn/);
  },
);
