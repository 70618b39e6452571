// Positions in and out as text: a game pasted as a move list, copied out again, and played on.

import assert from "node:assert/strict";
import { after, before, test } from "node:test";

import { loadMoves, openSite, readBoard, stones, turnText, waitForTurn } from "./harness.js";

let site;

before(async () => {
  site = await openSite();
});
after(() => site?.close());

test("a pasted game is set up on the board and comes out as the same text", async () => {
  const { page, problems, close } = await site.newPage();
  await page.locator("#size").selectOption("15");
  await page.locator("#human").selectOption("both");
  await loadMoves(page, "h8 I9, g7 j10 f6");
  let board = await readBoard(page);
  assert.deepEqual(stones(board, "black").sort(), ["f6", "g7", "h8"]);
  assert.deepEqual(stones(board, "white").sort(), ["i9", "j10"]);
  assert.ok(board.get("f6").last);
  assert.match(await turnText(page), /White to move/);
  const text = await page.getByLabel("Moves so far").inputValue();
  assert.equal(text, "h8i9g7j10f6");
  // The address carries the game: opened elsewhere, it shows the same board.
  assert.match(page.url(), /#size=15&rule=\d&moves=h8i9g7j10f6$/);
  const shared = await site.newPage({}, page.url());
  assert.deepEqual([...(await readBoard(shared.page))], [...board]);
  assert.deepEqual(shared.problems, []);
  await shared.close();

  // Through the text form and back: a new game, the copied text pasted, the same board.
  await page.getByRole("button", { name: "New game" }).click();
  assert.equal(stones(await readBoard(page), "black").length, 0);
  await loadMoves(page, text);
  const again = await readBoard(page);
  assert.deepEqual([...again], [...board]);

  // Bad text says why and changes nothing.
  for (const [bad, message] of [
    ["h8i9zz", /Cannot read "z" at character 5/],
    ["h8i9p3", /p3, is off the 15 × 15 board/],
    ["h8i9h8", /h8, is on a point already taken by move 1/],
  ]) {
    await loadMoves(page, bad);
    assert.match(await page.getByRole("alert").textContent(), message);
    assert.deepEqual([...(await readBoard(page))], [...board]);
  }

  // Play on from the pasted position: velka takes the side to move.
  await page.locator("#time").selectOption("100");
  await page.locator("#human").selectOption("white");
  assert.match(await turnText(page), /White to move: your turn/);
  await page.getByRole("button", { name: "Engine move" }).click();
  await waitForTurn(page);
  board = await readBoard(page);
  assert.equal(stones(board, "white").length, 3);
  assert.equal(await page.locator("#human").inputValue(), "black");
  assert.match(await turnText(page), /Black to move: your turn|wins/);

  // A 20 × 20 game: coordinates up to t20.
  await page.locator("#size").selectOption("20");
  await loadMoves(page, "j10t20a1");
  board = await readBoard(page);
  assert.equal(board.size, 400);
  assert.deepEqual(stones(board, "black").sort(), ["a1", "j10"]);
  assert.deepEqual(stones(board, "white"), ["t20"]);
  assert.deepEqual(problems, []);
  await close();
});
